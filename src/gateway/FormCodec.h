// The form encoding ("a=1&b=x%20y") of the gateway protocol: the component encodes its requests with
// it, the sandbox gateway decodes them (and encodes the request history it hands back to tests, which
// the test launcher decodes again). Header-only, so the three share it without linking each other.
#pragma once

#include <string>

#include "core/TextUtil.h"

namespace quillon {

// Appends `text` percent-encoded: every byte but ASCII letters, digits and "-_.~" becomes "%XX".
inline void AppendFormEscaped(std::string& out, const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    out.reserve(out.size() + text.size() + text.size() / 2);
    for (unsigned char c : text) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                           c == '_' || c == '.' || c == '~';
        if (plain) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
}

inline std::string FormEscape(const std::string& text) {
    std::string out;
    AppendFormEscaped(out, text);
    return out;
}

// "+" is a space and "%XX" a byte; a "%" without two hex digits after it stays as it is.
inline std::string FormUnescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
                   HexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

// Calls fn(key, value) for each "key=value" pair of a form, decoded, in order; a pair without "=" has
// the value "".
template <typename Fn>
void ForEachFormPair(const std::string& form, Fn fn) {
    size_t pos = 0;
    while (pos < form.size()) {
        size_t amp = form.find('&', pos);
        if (amp == std::string::npos)
            amp = form.size();
        const std::string pair = form.substr(pos, amp - pos);
        const size_t eq = pair.find('=');
        fn(FormUnescape(pair.substr(0, eq)),
           eq == std::string::npos ? std::string() : FormUnescape(pair.substr(eq + 1)));
        pos = amp + 1;
    }
}

// Key-value pairs of strings (a map or multimap), in their order, as one form.
template <typename Pairs>
std::string FormEncode(const Pairs& params) {
    std::string form;
    for (const auto& [key, value] : params) {
        if (!form.empty())
            form += '&';
        form += FormEscape(key) + "=" + FormEscape(value);
    }
    return form;
}

}  // namespace quillon
