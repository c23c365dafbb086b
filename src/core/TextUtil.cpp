#include "core/TextUtil.h"

#include <cctype>
#include <cstdint>

namespace quillon {

namespace {

// The lower-case letter of a code point, for the Latin, Greek and Cyrillic letters that group
// names are written in; any other code point is its own.
uint32_t LowerLetter(uint32_t c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7) || (c >= 0x391 && c <= 0x3AB && c != 0x3A2) ||
        (c >= 0x410 && c <= 0x42F))
        return c + 0x20;
    if ((c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177))
        return c | 1;
    if ((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E))
        return (c & 1) ? c + 1 : c;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    switch (c) {
        case 0x178:
            return 0xFF;
        case 0x386:
            return 0x3AC;
        case 0x388:
        case 0x389:
        case 0x38A:
            return c + 0x25;
        case 0x38C:
            return 0x3CC;
        case 0x38E:
        case 0x38F:
            return c + 0x3F;
        case 0x3C2:
            return 0x3C3;  // final sigma
        default:
            return c;
    }
}

}  // namespace

std::string Trim(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return text.substr(begin, end - begin);
}

std::string Trim(const std::string& text, const char* whiteSpace) {
    size_t begin = text.find_first_not_of(whiteSpace);
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(whiteSpace) - begin + 1);
}

// Letter case by ASCII alone, whatever the process locale says of the other bytes.
std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::string AsciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && AsciiLower(a) == AsciiLower(b);
}

bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

std::string FoldCase(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        size_t length = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        bool whole = length > 0 && i + length <= text.size();
        for (size_t k = 1; whole && k < length; ++k)
            whole = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!whole) {
            out += text[i++];
            continue;
        }
        uint32_t c = length == 1 ? b : b & (0x7F >> length);
        for (size_t k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        uint32_t lower = LowerLetter(c);
        if (lower == c || c < 0x80) {
            out.append(text, i, length);
            if (c < 0x80)
                out.back() = static_cast<char>(lower);
        } else if (lower < 0x800) {  // every letter folded here is two bytes long
            out += static_cast<char>(0xC0 | (lower >> 6));
            out += static_cast<char>(0x80 | (lower & 0x3F));
        } else {
            out.append(text, i, length);
        }
        i += length;
    }
    return out;
}

bool EqualsFolded(const std::string& a, const std::string& b) {
    return FoldCase(a) == FoldCase(b);
}

std::string CutUtf8(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    // Walk back to the lead byte of the character that the cut falls in (at most three steps);
    // drop that character only when it is a whole one that reaches past the cut. Bytes that are
    // not UTF-8 are cut at the limit.
    size_t start = maxBytes;
    while (start > 0 && maxBytes - start < 3 && (byte(start) & 0xC0) == 0x80)
        --start;
    if (start == maxBytes)
        return text.substr(0, maxBytes);
    unsigned char lead = byte(start);
    size_t length = (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    return text.substr(0, start + length > maxBytes ? start : maxBytes);
}

}  // namespace quillon
