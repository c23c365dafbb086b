#include "core/LogEscape.h"

#include <cstdio>

namespace quillon {

std::string EscapeLogText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    char hex[8];
    for (size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
            case '\n':
                out += "\\n";
                continue;
            case '\r':
                out += "\\r";
                continue;
            case '\t':
                out += "\\t";
                continue;
            case '\\':
                out += "\\\\";
                continue;
            default:
                break;
        }
        if (c < 0x20 || c == 0x7F) {
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
            continue;
        }
        // C1 controls are two bytes C2 80..9F; U+2028 and U+2029 are E2 80 A8 and E2 80 A9.
        const unsigned char next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
            std::snprintf(hex, sizeof hex, "\\u%04x", next);
            out += hex;
            ++i;
            continue;
        }
        if (c == 0xE2 && next == 0x80 && i + 2 < text.size()) {
            const unsigned char last = static_cast<unsigned char>(text[i + 2]);
            if (last == 0xA8 || last == 0xA9) {
                std::snprintf(hex, sizeof hex, "\\u%04x", 0x2000 + (last - 0x80));
                out += hex;
                i += 2;
                continue;
            }
        }
        out += static_cast<char>(c);
    }
    return out;
}

}  // namespace quillon
