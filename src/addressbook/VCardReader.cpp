// The vCard source of the external book: the vCard text reader, .vcf files and folders of them.
#include "addressbook/ExternalBook.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "addressbook/ExternalBookParts.h"
#include "core/TextUtil.h"

namespace quillon {

namespace fs = std::filesystem;
using namespace external;

namespace {

// A vCard file larger than this is refused rather than read into memory (photos make cards big,
// but no address book a person keeps comes near it).
constexpr uintmax_t kMaxVCardFileSize = 64u * 1024 * 1024;
// Folders below the configured vCard folder are read this deep.
constexpr int kMaxFolderDepth = 8;

// ---------------------------------------------------------------------------------------------
// vCard text

// Joins folded lines (a line break followed by a blank or tab continues the line) and splits.
std::vector<std::string> UnfoldLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string current;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            size_t j = i + 1;
            if (c == '\r' && j < n && text[j] == '\n')
                ++j;
            if (j < n && (text[j] == ' ' || text[j] == '\t')) {
                i = j + 1;  // continuation: drop the break and the one folding blank
                continue;
            }
            lines.push_back(current);
            current.clear();
            i = j;
            continue;
        }
        current.push_back(c);
        ++i;
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

std::string DecodeQuotedPrintable(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=' && i + 2 < s.size()) {
            int hi = HexDigitValue(s[i + 1]);
            int lo = HexDigitValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(s[i]);
    }
    return out;
}

// Text values escape "," ";" "\" and line breaks with a backslash.
std::string Unescape(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out.push_back(n == 'n' || n == 'N' ? ' ' : n);
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// Unescapes a text value keeping its line breaks.
std::string UnescapeText(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            char n = s[++i];
            out.push_back(n == 'n' || n == 'N' ? '\n' : n);
        } else {
            out.push_back(s[i]);
        }
    }
    return out;
}

// Splits a structured value at unescaped `separator` (";" between parts, "," in a list).
std::vector<std::string> SplitStructured(const std::string& s, char separator = ';') {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            parts.back().push_back(s[i]);
            parts.back().push_back(s[++i]);
        } else if (s[i] == separator) {
            parts.emplace_back();
        } else {
            parts.back().push_back(s[i]);
        }
    }
    return parts;
}

struct VCardProperty {
    std::string name;                 // upper case, group prefix removed
    std::vector<std::string> params;  // lower case, each "key=value" or a bare word
    std::string value;

    // Whether a TYPE parameter (or a bare 2.1-style word) names `type`.
    bool HasType(const std::string& type) const {
        for (const auto& p : params) {
            std::string list = p;
            if (StartsWithIgnoreCase(p, "type="))
                list = p.substr(5);
            else if (p.find('=') != std::string::npos)
                continue;
            std::stringstream ss(list);
            std::string t;
            while (std::getline(ss, t, ','))
                if (Trim(t) == type)
                    return true;
        }
        return false;
    }
};

bool ParseProperty(const std::string& line, VCardProperty& prop) {
    // The name and parameters end at the first ":" outside double quotes.
    bool quoted = false;
    size_t colon = std::string::npos;
    for (size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon == std::string::npos)
        return false;
    const std::string head = line.substr(0, colon);
    prop.value = line.substr(colon + 1);
    prop.params.clear();
    std::vector<std::string> pieces;
    std::string piece;
    quoted = false;
    for (char c : head) {
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (c == ';' && !quoted) {
            pieces.push_back(piece);
            piece.clear();
        } else {
            piece.push_back(c);
        }
    }
    pieces.push_back(piece);
    std::string name = pieces[0];
    size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name = name.substr(dot + 1);
    prop.name = AsciiUpper(Trim(name));
    bool quotedPrintable = false;
    for (size_t i = 1; i < pieces.size(); ++i) {
        std::string p = AsciiLower(Trim(pieces[i]));
        if (p == "encoding=quoted-printable" || p == "quoted-printable")
            quotedPrintable = true;
        prop.params.push_back(p);
    }
    if (quotedPrintable)
        prop.value = DecodeQuotedPrintable(prop.value);
    return true;
}

// A member or uid reference: "urn:uuid:X" and "X" name the same card.
std::string UidKey(const std::string& value) {
    std::string v = Trim(value);
    if (StartsWithIgnoreCase(v, "urn:uuid:"))
        v = v.substr(9);
    return AsciiLower(v);
}

// A TEL value in URI form ("tel:+44-20;ext=1") gives its number part.
std::string TelNumber(const std::string& value) {
    std::string v = Trim(value);
    if (StartsWithIgnoreCase(v, "tel:")) {
        v = v.substr(4);
        size_t semi = v.find(';');
        if (semi != std::string::npos)
            v = v.substr(0, semi);
    }
    return Trim(v);
}

}  // namespace

namespace external {

ReadStatus ReadWholeFile(const fs::path& path, std::string& text, std::string& detail) {
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        detail = "no such file: " + path.string();
        return ReadStatus::kMissing;
    }
    if (!fs::is_regular_file(path, ec)) {
        detail = "not a regular file: " + path.string();
        return ReadStatus::kFailed;
    }
    uintmax_t size = fs::file_size(path, ec);
    if (ec) {
        detail = "cannot size " + path.string() + ": " + ec.message();
        return ReadStatus::kFailed;
    }
    if (size > kMaxVCardFileSize) {
        detail = "file too large: " + path.string();
        return ReadStatus::kFailed;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        detail = "cannot open " + path.string();
        return ReadStatus::kFailed;
    }
    text.assign(static_cast<size_t>(size), '\0');
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) {
        detail = "cannot read " + path.string();
        return ReadStatus::kFailed;
    }
    return ReadStatus::kOk;
}

void AddVCardEntries(const std::vector<VCardEntry>& entries, ExternalBookTree& node) {
    std::map<std::string, const VCardEntry*> byUid;
    for (const auto& e : entries)
        if (!e.group && !e.uid.empty())
            byUid.emplace(UidKey(e.uid), &e);
    for (const auto& e : entries) {
        if (e.group) {
            ExternalBookTree list = MakeNode(e.name);
            for (const auto& member : e.members) {
                auto it = byUid.find(UidKey(member));
                if (it != byUid.end() && !it->second->mobile.empty())
                    list.children.push_back(MakeLeaf(it->second->name, it->second->mobile));
            }
            node.children.push_back(std::move(list));
        } else if (!e.mobile.empty()) {
            node.children.push_back(MakeLeaf(e.name, e.mobile));
        }
    }
}

}  // namespace external

namespace {

bool IsVCardFile(const fs::path& p) {
    return AsciiLower(p.extension().string()) == ".vcf";
}

// One folder: its .vcf files (in name order) are its entries, its sub-folders become nodes.
// Hidden entries (synchronisation state and the like) are skipped; empty sub-folders are left out.
bool ReadVCardFolder(const fs::path& folder, int depth, ExternalBookTree& node, std::string& detail) {
    std::error_code ec;
    std::vector<fs::path> files, folders;
    fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec);
    if (ec) {
        detail = "cannot list " + folder.string() + ": " + ec.message();
        return false;
    }
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) {
            detail = "cannot list " + folder.string() + ": " + ec.message();
            return false;
        }
        const fs::path p = it->path();
        if (p.filename().string().rfind('.', 0) == 0)
            continue;
        std::error_code e2;
        if (it->is_directory(e2)) {
            if (!it->is_symlink(e2))
                folders.push_back(p);
        } else if (IsVCardFile(p) && it->is_regular_file(e2)) {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    std::sort(folders.begin(), folders.end());
    std::vector<VCardEntry> entries;
    for (const auto& f : files) {
        std::string text;
        if (ReadWholeFile(f, text, detail) != ReadStatus::kOk)
            return false;
        auto parsed = ParseVCards(text);
        entries.insert(entries.end(), std::make_move_iterator(parsed.begin()), std::make_move_iterator(parsed.end()));
    }
    AddVCardEntries(entries, node);
    if (depth < kMaxFolderDepth) {
        for (const auto& sub : folders) {
            ExternalBookTree child = MakeNode(sub.filename().string());
            if (!ReadVCardFolder(sub, depth + 1, child, detail))
                return false;
            if (!child.children.empty())
                node.children.push_back(std::move(child));
        }
    }
    return true;
}

}  // namespace

std::vector<VCardEntry> ParseVCards(const std::string& text) {
    std::vector<VCardEntry> entries;
    VCardEntry current;
    std::string fn, structuredName, org, email;
    int depth = 0;
    const std::vector<std::string> lines = UnfoldLines(text);
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string line = lines[n];
        // A quoted-printable value (vCard 2.1) continues on the next line after a closing "=".
        if (AsciiLower(line.substr(0, line.find(':'))).find("quoted-printable") != std::string::npos) {
            while (!line.empty() && line.back() == '=' && n + 1 < lines.size()) {
                line.pop_back();
                line += lines[++n];
            }
        }
        VCardProperty prop;
        if (!ParseProperty(line, prop))
            continue;
        const std::string value = Trim(prop.value);
        if (prop.name == "BEGIN" && AsciiLower(value) == "vcard") {
            if (depth++ == 0) {
                current = VCardEntry{};
                fn.clear(), structuredName.clear(), org.clear(), email.clear();
            }
            continue;
        }
        if (depth == 0)
            continue;
        if (prop.name == "END" && AsciiLower(value) == "vcard") {
            if (--depth == 0) {
                current.name = !fn.empty() ? fn : !structuredName.empty() ? structuredName : !org.empty() ? org : email;
                if (current.name.empty())
                    current.name = current.mobile;
                entries.push_back(std::move(current));
                current = VCardEntry{};
            }
            continue;
        }
        if (depth != 1)
            continue;  // an embedded card (2.1 AGENT) is not an entry of its own
        if (prop.name == "FN") {
            fn = Trim(Unescape(prop.value));
        } else if (prop.name == "N") {
            auto parts = SplitStructured(prop.value);
            std::string given = parts.size() > 1 ? Trim(Unescape(parts[1])) : "";
            std::string family = Trim(Unescape(parts[0]));
            structuredName = Trim(given + " " + family);
            current.family = UnescapeText(parts[0]);
            current.given = parts.size() > 1 ? UnescapeText(parts[1]) : "";
            current.prefix = parts.size() > 3 ? UnescapeText(parts[3]) : "";
        } else if (prop.name == "NOTE") {
            if (current.note.empty())
                current.note = UnescapeText(prop.value);
        } else if (prop.name == "CATEGORIES") {
            for (const auto& category : SplitStructured(prop.value, ','))
                if (!Trim(category).empty())
                    current.categories.push_back(Trim(UnescapeText(category)));
        } else if (prop.name == "ORG") {
            org = Trim(Unescape(SplitStructured(prop.value)[0]));
        } else if (prop.name == "EMAIL") {
            if (email.empty())
                email = Trim(Unescape(prop.value));
        } else if (prop.name == "TEL") {
            if (current.mobile.empty() && prop.HasType("cell"))
                current.mobile = TelNumber(prop.value);
        } else if (prop.name == "UID") {
            current.uid = value;
        } else if (prop.name == "KIND" || prop.name == "X-ADDRESSBOOKSERVER-KIND") {
            current.group = AsciiLower(value) == "group";
        } else if (prop.name == "MEMBER" || prop.name == "X-ADDRESSBOOKSERVER-MEMBER") {
            current.members.push_back(value);
        }
    }
    return entries;
}

ExternalBookResult ReadVCardBook(const ExternalBookOptions& options, ExternalBookTree& tree) {
    tree = MakeNode("root");
    const fs::path path(ExpandHome(options.vcardPath.empty() ? kDefaultVCardPath : options.vcardPath));
    std::error_code ec;
    if (!fs::exists(path, ec))
        return Fail(ExternalBookStatus::kVCardUnavailable, "no such file or folder: " + path.string());
    ExternalBookTree built = MakeNode("root");
    std::string detail;
    if (fs::is_directory(path, ec)) {
        if (!ReadVCardFolder(path, 0, built, detail))
            return Fail(ExternalBookStatus::kReadFailed, detail);
    } else {
        std::string text;
        ReadStatus rs = ReadWholeFile(path, text, detail);
        if (rs == ReadStatus::kMissing)
            return Fail(ExternalBookStatus::kVCardUnavailable, detail);
        if (rs == ReadStatus::kFailed)
            return Fail(ExternalBookStatus::kVCardUnavailable, detail);
        AddVCardEntries(ParseVCards(text), built);
    }
    tree = std::move(built);
    return {};
}

}  // namespace quillon
