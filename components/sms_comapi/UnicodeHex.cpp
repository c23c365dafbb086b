#include "UnicodeHex.h"

#include <cstdint>

namespace quillon::comapi {

namespace {

void AppendUnit(std::string& out, uint32_t unit) {
    static const char* hex = "0123456789ABCDEF";
    for (int shift = 12; shift >= 0; shift -= 4)
        out += hex[(unit >> shift) & 15];
}

}  // namespace

std::string EncodeUcs2Hex(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size() * 4);
    size_t i = 0;
    while (i < utf8.size()) {
        unsigned char c = utf8[i];
        int extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        uint32_t cp = 0xFFFD;
        size_t length = 1;
        if (extra == 0) {
            cp = c;
        } else if (extra > 0 && i + extra < utf8.size()) {
            uint32_t value = c & (0x3F >> extra);
            bool ok = true;
            for (int k = 1; k <= extra; ++k) {
                unsigned char d = utf8[i + k];
                if ((d & 0xC0) != 0x80) {
                    ok = false;
                    break;
                }
                value = (value << 6) | (d & 0x3F);
            }
            // Overlong forms, surrogates and values past U+10FFFF are not characters.
            static const uint32_t minimum[] = {0, 0x80, 0x800, 0x10000};
            if (ok && value >= minimum[extra] && value <= 0x10FFFF && (value < 0xD800 || value > 0xDFFF)) {
                cp = value;
                length = extra + 1;
            }
        }
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            AppendUnit(out, 0xD800 + (cp >> 10));
            AppendUnit(out, 0xDC00 + (cp & 0x3FF));
        } else {
            AppendUnit(out, cp);
        }
        i += length;
    }
    return out;
}

}  // namespace quillon::comapi
