// The form encoding ("a=1&b=x%20y") the sandbox speaks on both sides: it decodes the gateway protocol's
// requests with it, and encodes the request history it hands back to tests, which the test launcher
// (tests/support/SandboxProcess) decodes again. Header-only, so the launcher shares it without
// linking the sandbox.
#pragma once

#include <cctype>
#include <string>

namespace quillon::sandbox {

// Percent-encodes every byte but letters, digits and "-_.~".
inline std::string FormEscape(const std::string& text) {
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

inline int FormHexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "+" is a space and "%XX" a byte; a "%" without two hex digits after it stays as it is.
inline std::string FormUnescape(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && FormHexValue(text[i + 1]) >= 0 &&
                   FormHexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(FormHexValue(text[i + 1]) * 16 + FormHexValue(text[i + 2]));
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

}  // namespace quillon::sandbox
