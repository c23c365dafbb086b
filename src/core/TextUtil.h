// Text helpers shared by every layer. Text is UTF-8 in std::string throughout.
#pragma once

#include <cstddef>
#include <string>

namespace quillon {

// Without leading and trailing white space (ASCII).
std::string Trim(const std::string& text);
// Without the leading and trailing bytes that are in `whiteSpace`.
std::string Trim(const std::string& text, const char* whiteSpace);
// ASCII letters in lower / upper case; other bytes unchanged.
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);
// Equal but for the letter case of ASCII letters.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
// `text` begins with `prefix`, but for the letter case of ASCII letters.
bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix);
// The text with every Latin, Greek and Cyrillic letter in lower case; bytes that are not UTF-8 stay
// as they are.
std::string FoldCase(const std::string& text);
// Equal after FoldCase.
bool EqualsFolded(const std::string& a, const std::string& b);
// The value of a hexadecimal digit of either case; -1 for any other character. Inline, so code that
// links nothing of the core (the gateway component) may use it too.
inline int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Cuts text to at most maxBytes bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t maxBytes);

}  // namespace quillon
