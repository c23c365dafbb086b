// Text helpers shared by every layer. Text is UTF-8 in std::string throughout.
#pragma once

#include <cstddef>
#include <string>

namespace quillon {

// Without leading and trailing white space (ASCII).
std::string Trim(const std::string& text);
// ASCII letters in lower / upper case; other bytes unchanged.
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);
// Equal but for the letter case of ASCII letters.
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
// The text with every Latin, Greek and Cyrillic letter in lower case; bytes that are not UTF-8 stay
// as they are.
std::string FoldCase(const std::string& text);
// Equal after FoldCase.
bool EqualsFolded(const std::string& a, const std::string& b);
// Cuts text to at most maxBytes bytes without splitting a UTF-8 character.
std::string CutUtf8(const std::string& text, size_t maxBytes);

}  // namespace quillon
