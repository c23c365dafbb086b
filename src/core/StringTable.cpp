#include "core/StringTable.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/StringTableData.h"

namespace quillon {

namespace {

using LanguageTable = std::unordered_map<int, std::string>;

// Both threads read texts; the table is replaced whole, never changed in place.
std::shared_mutex g_languageLock;
std::shared_ptr<const LanguageTable> g_language;

// A language module larger than this is not a string table.
constexpr std::streamoff kMaxLanguageModuleSize = 16 * 1024 * 1024;

bool IsValidUtf8(const std::string& s) {
    size_t i = 0;
    while (i < s.size()) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        size_t extra;
        uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            extra = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            extra = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + extra >= s.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not text.
        if ((extra == 1 && cp < 0x80) || (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

// One line "ID<TAB>text" of a language module; false for a line that is not one.
bool ParseLanguageLine(const std::string& line, int& id, std::string& text) {
    size_t tab = line.find('\t');
    if (tab == std::string::npos || tab == 0 || tab > 5)
        return false;
    long value = 0;
    for (size_t i = 0; i < tab; ++i) {
        if (line[i] < '0' || line[i] > '9')
            return false;
        value = value * 10 + (line[i] - '0');
    }
    if (value < 1 || value > 65535)
        return false;
    text.clear();
    for (size_t i = tab + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= line.size())
            return false;
        switch (line[i]) {
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            case '\\':
                text += '\\';
                break;
            default:
                return false;
        }
    }
    if (!IsValidUtf8(text))
        return false;
    id = static_cast<int>(value);
    return true;
}

std::shared_ptr<const LanguageTable> CurrentLanguage() {
    std::shared_lock<std::shared_mutex> lock(g_languageLock);
    return g_language;
}

// A printf conversion after '%' or inside "!...!": flags, width, precision, length, conversion.
struct Conversion {
    std::string flags;      // "-", "0", "+", " ", "#"
    std::string width;      // digits
    std::string precision;  // digits after '.', or empty
    bool hasPrecision = false;
    char type = 's';
};

// Parses a conversion at text[pos]; on success pos is past it.
bool ParseConversion(const std::string& text, size_t& pos, Conversion& conv) {
    size_t p = pos;
    while (p < text.size() && std::string("-0+ #").find(text[p]) != std::string::npos)
        conv.flags += text[p++];
    while (p < text.size() && text[p] >= '0' && text[p] <= '9' && conv.width.size() < 3)
        conv.width += text[p++];
    if (p < text.size() && text[p] == '.') {
        conv.hasPrecision = true;
        ++p;
        while (p < text.size() && text[p] >= '0' && text[p] <= '9' && conv.precision.size() < 3)
            conv.precision += text[p++];
    }
    while (p < text.size() && (text[p] == 'l' || text[p] == 'h' || text[p] == 'I' || text[p] == 'z'))
        ++p;
    if (p >= text.size())
        return false;
    char t = text[p];
    if (std::string("sdiuxXcS").find(t) == std::string::npos)
        return false;
    conv.type = (t == 'S') ? 's' : t;
    pos = p + 1;
    return true;
}

std::string ApplyConversion(const Conversion& conv, const FormatArg& arg) {
    std::string spec = "%" + conv.flags + conv.width;
    if (conv.hasPrecision)
        spec += "." + conv.precision;
    char buffer[512];
    if (conv.type == 's') {
        std::string text = arg.IsText() ? arg.Text() : std::to_string(arg.Number());
        if (conv.flags.empty() && conv.width.empty() && !conv.hasPrecision)
            return text;
        // Widths above three digits are not parsed, so a padded text fits easily beside the value itself.
        spec += "s";
        std::vector<char> out(text.size() + 1024);
        std::snprintf(out.data(), out.size(), spec.c_str(), text.c_str());
        return out.data();
    }
    long long number = arg.IsText() ? std::strtoll(arg.Text().c_str(), nullptr, 10) : arg.Number();
    if (conv.type == 'c') {
        spec += "c";
        std::snprintf(buffer, sizeof buffer, spec.c_str(), static_cast<int>(static_cast<unsigned char>(number)));
        return buffer;
    }
    if (conv.type == 'u' || conv.type == 'x' || conv.type == 'X') {
        // The number as the 32-bit word it was on the wire; wider values print whole.
        unsigned long long u = (number >= INT32_MIN && number < 0) ? static_cast<uint32_t>(number)
                                                                   : static_cast<unsigned long long>(number);
        spec += std::string("ll") + conv.type;
        std::snprintf(buffer, sizeof buffer, spec.c_str(), u);
        return buffer;
    }
    spec += "lld";
    std::snprintf(buffer, sizeof buffer, spec.c_str(), number);
    return buffer;
}

}  // namespace

std::string LoadResourceString(int id) {
    if (auto language = CurrentLanguage()) {
        auto it = language->find(id);
        if (it != language->end())
            return it->second;
    }
    if (const char* text = FindBuiltInString(id))
        return text;
    return "String [" + std::to_string(id) + "]";
}

std::string FormatMessageText(const std::string& format, std::initializer_list<FormatArg> args) {
    const std::vector<const FormatArg*> list = [&] {
        std::vector<const FormatArg*> v;
        for (const auto& a : args)
            v.push_back(&a);
        return v;
    }();
    std::string out;
    out.reserve(format.size() + 32);
    size_t sequential = 0;  // the next argument of an unnumbered "%d" / "%s"
    size_t i = 0;
    while (i < format.size()) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            ++i;
            continue;
        }
        char next = format[i + 1];
        if (next == '%') {
            out += '%';
            i += 2;
            continue;
        }
        if (next >= '1' && next <= '9') {
            // A numbered insert: "%N" or "%N!conversion!", N from 1 to 99.
            size_t p = i + 1;
            int number = 0;
            while (p < format.size() && format[p] >= '0' && format[p] <= '9' && p < i + 3)
                number = number * 10 + (format[p++] - '0');
            Conversion conv;
            size_t end = p;
            if (p < format.size() && format[p] == '!') {
                size_t q = p + 1;
                if (ParseConversion(format, q, conv) && q < format.size() && format[q] == '!') {
                    end = q + 1;
                } else {
                    conv = Conversion{};
                }
            }
            if (number >= 1 && static_cast<size_t>(number) <= list.size()) {
                out += ApplyConversion(conv, *list[number - 1]);
            } else {
                // No such argument: the insert stays visible rather than inventing a value.
                out.append(format, i, end - i);
            }
            i = end;
            continue;
        }
        // An unnumbered printf conversion ("Outbox (%d)") takes the arguments in order.
        size_t q = i + 1;
        Conversion conv;
        // Only plain flags here, so prose such as "100% sure" is never taken for a conversion.
        if (ParseConversion(format, q, conv) && conv.flags.find_first_of(" +#") == std::string::npos &&
            sequential < list.size()) {
            out += ApplyConversion(conv, *list[sequential++]);
            i = q;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

std::string FormatResourceString(int id, std::initializer_list<FormatArg> args) {
    return FormatMessageText(LoadResourceString(id), args);
}

bool LoadLanguageModule(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    in.seekg(0, std::ios::end);
    std::streamoff size = in.tellg();
    if (size < 0 || size > kMaxLanguageModuleSize)
        return false;
    in.seekg(0, std::ios::beg);
    std::string content(static_cast<size_t>(size), '\0');
    if (size > 0 && !in.read(&content[0], size))
        return false;
    if (content.compare(0, 3, "\xEF\xBB\xBF") == 0)
        content.erase(0, 3);

    auto table = std::make_shared<LanguageTable>();
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        std::string line = content.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        int id = 0;
        std::string text;
        if (ParseLanguageLine(line, id, text))
            (*table)[id] = std::move(text);
    }
    if (table->empty())
        return false;
    std::unique_lock<std::shared_mutex> lock(g_languageLock);
    g_language = std::move(table);
    return true;
}

void UnloadLanguageModule() {
    std::unique_lock<std::shared_mutex> lock(g_languageLock);
    g_language.reset();
}

bool LoadConfiguredLanguageModule() {
    if (!Settings().i18n)
        return false;
    return LoadLanguageModule(DataFile("Language.dll"));
}

}  // namespace quillon
