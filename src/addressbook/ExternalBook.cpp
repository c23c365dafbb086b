#include "addressbook/ExternalBook.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "core/AppLog.h"
#include "core/AppSettings.h"

namespace quillon {

namespace fs = std::filesystem;

namespace {

// String ids of the failure texts.
constexpr int kIdCannotAccessCaption = 1504;
constexpr int kIdMailClientFailed = 1505;
constexpr int kIdVCardFailed = 1506;
constexpr int kIdSearchFailedCaption = 1336;
constexpr int kIdQueryFailed = 1337;

// A vCard file larger than this is refused rather than read into memory (photos make cards big,
// but no address book a person keeps comes near it).
constexpr uintmax_t kMaxVCardFileSize = 64u * 1024 * 1024;
// Folders below the configured vCard folder are read this deep.
constexpr int kMaxFolderDepth = 8;

const char* const kDefaultVCardPath = "~/.local/share/contacts";

std::string Lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b])))
        ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1])))
        --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == Lower(prefix);
}

ExternalBookTree MakeNode(const std::string& name) {
    return ExternalBookTree{name, "", false, {}};
}

ExternalBookTree MakeLeaf(const std::string& name, const std::string& mobile) {
    return ExternalBookTree{name, mobile, true, {}};
}

ExternalBookResult Fail(ExternalBookStatus status, std::string detail) {
    ExternalBookResult r;
    r.status = status;
    r.detail = std::move(detail);
    return r;
}

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

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string DecodeQuotedPrintable(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '=' && i + 2 < s.size()) {
            int hi = HexValue(s[i + 1]);
            int lo = HexValue(s[i + 2]);
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

// Splits a structured value at unescaped ";".
std::vector<std::string> SplitStructured(const std::string& s) {
    std::vector<std::string> parts(1);
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            parts.back().push_back(s[i]);
            parts.back().push_back(s[++i]);
        } else if (s[i] == ';') {
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
            if (StartsWithNoCase(p, "type="))
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
    prop.name.clear();
    for (char c : Trim(name))
        prop.name.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    bool quotedPrintable = false;
    for (size_t i = 1; i < pieces.size(); ++i) {
        std::string p = Lower(Trim(pieces[i]));
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
    if (StartsWithNoCase(v, "urn:uuid:"))
        v = v.substr(9);
    return Lower(v);
}

// A TEL value in URI form ("tel:+44-20;ext=1") gives its number part.
std::string TelNumber(const std::string& value) {
    std::string v = Trim(value);
    if (StartsWithNoCase(v, "tel:")) {
        v = v.substr(4);
        size_t semi = v.find(';');
        if (semi != std::string::npos)
            v = v.substr(0, semi);
    }
    return Trim(v);
}

// ---------------------------------------------------------------------------------------------
// Files

enum class ReadStatus { kOk, kMissing, kFailed };

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

// Turns the cards of one address book into leaves and group nodes, in the order they were read.
// Cards without a mobile number are left out; so are group members without one.
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

bool IsVCardFile(const fs::path& p) {
    return Lower(p.extension().string()) == ".vcf";
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

// ---------------------------------------------------------------------------------------------
// Mail client profiles

struct IniSection {
    std::string name;
    std::map<std::string, std::string> values;  // keys in lower case
};

std::vector<IniSection> ParseIni(const std::string& text) {
    std::vector<IniSection> sections;
    std::stringstream ss(text);
    std::string line;
    while (std::getline(ss, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            size_t end = line.find(']');
            sections.push_back(IniSection{line.substr(1, end == std::string::npos ? std::string::npos : end - 1), {}});
            continue;
        }
        size_t eq = line.find('=');
        if (eq == std::string::npos || sections.empty())
            continue;
        sections.back().values[Lower(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
    }
    return sections;
}

struct Profile {
    std::string name;
    fs::path path;
    std::string relPath;
    bool isDefault = false;
};

std::string Value(const IniSection& s, const std::string& key) {
    auto it = s.values.find(key);
    return it == s.values.end() ? std::string() : it->second;
}

// Chooses the profile: the one named `wanted` when it exists, else the default one (the install
// default, else the profile marked Default=1, else the first).
bool ChooseProfile(const fs::path& root, const std::string& iniText, const std::string& wanted, Profile& chosen) {
    auto sections = ParseIni(iniText);
    std::vector<Profile> profiles;
    std::string installDefault;
    for (const auto& s : sections) {
        if (StartsWithNoCase(s.name, "Install") && installDefault.empty())
            installDefault = Value(s, "default");
        if (!StartsWithNoCase(s.name, "Profile"))
            continue;
        Profile p;
        p.name = Value(s, "name");
        p.relPath = Value(s, "path");
        if (p.relPath.empty())
            continue;
        std::string rel = Value(s, "isrelative");
        p.path = (rel.empty() || std::atoi(rel.c_str()) != 0) ? root / p.relPath : fs::path(p.relPath);
        p.isDefault = std::atoi(Value(s, "default").c_str()) != 0;
        profiles.push_back(std::move(p));
    }
    auto usable = [](const Profile& p) {
        std::error_code ec;
        return fs::is_directory(p.path, ec);
    };
    if (!wanted.empty()) {
        for (const auto& p : profiles)
            if (p.name == wanted && usable(p)) {
                chosen = p;
                return true;
            }
    }
    if (!installDefault.empty()) {
        for (const auto& p : profiles)
            if (p.relPath == installDefault && usable(p)) {
                chosen = p;
                return true;
            }
    }
    for (const auto& p : profiles)
        if (p.isDefault && usable(p)) {
            chosen = p;
            return true;
        }
    for (const auto& p : profiles)
        if (usable(p)) {
            chosen = p;
            return true;
        }
    return false;
}

// Display names of the address books from the profile's prefs.js: ldap_2.servers.X.filename and
// ldap_2.servers.X.description.
std::map<std::string, std::string> BookNamesFromPrefs(const fs::path& profile) {
    std::map<std::string, std::string> fileOf, descriptionOf;
    std::string text, detail;
    if (ReadWholeFile(profile / "prefs.js", text, detail) != ReadStatus::kOk)
        return {};
    std::stringstream ss(text);
    std::string line;
    const std::string marker = "user_pref(\"ldap_2.servers.";
    while (std::getline(ss, line)) {
        line = Trim(line);
        if (line.rfind(marker, 0) != 0)
            continue;
        size_t keyEnd = line.find('"', marker.size());
        if (keyEnd == std::string::npos)
            continue;
        std::string key = line.substr(marker.size(), keyEnd - marker.size());
        size_t dot = key.rfind('.');
        if (dot == std::string::npos)
            continue;
        std::string server = key.substr(0, dot), field = key.substr(dot + 1);
        size_t q1 = line.find('"', keyEnd + 1);
        size_t q2 = line.rfind('"');
        if (q1 == std::string::npos || q2 == std::string::npos || q2 <= q1)
            continue;
        std::string value = line.substr(q1 + 1, q2 - q1 - 1);
        std::string unescaped;
        for (size_t i = 0; i < value.size(); ++i) {
            if (value[i] == '\\' && i + 1 < value.size())
                ++i;
            unescaped.push_back(value[i]);
        }
        if (field == "filename")
            fileOf[server] = unescaped;
        if (field == "description")
            descriptionOf[server] = unescaped;
    }
    std::map<std::string, std::string> names;
    for (const auto& [server, file] : fileOf) {
        auto d = descriptionOf.find(server);
        // An unset description holds a locale reference rather than a name.
        if (d != descriptionOf.end() && !d->second.empty() && d->second.rfind("chrome://", 0) != 0)
            names[file] = d->second;
    }
    return names;
}

// abook.sqlite first, then abook-1.sqlite, abook-2.sqlite ... in number order.
bool BookFileLess(const fs::path& a, const fs::path& b) {
    auto number = [](const std::string& name) -> long {
        if (name == "abook.sqlite")
            return -1;
        size_t dash = name.find('-');
        if (dash == std::string::npos)
            return 1L << 30;
        return std::strtol(name.c_str() + dash + 1, nullptr, 10);
    };
    long na = number(a.filename().string()), nb = number(b.filename().string());
    if (na != nb)
        return na < nb;
    return a < b;
}

class Database {
public:
    ~Database() {
        if (db_)
            sqlite3_close(db_);
    }
    bool Open(const fs::path& path, int busyTimeoutMs, std::string& detail) {
        int rc = sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READONLY, nullptr);
        if (rc != SQLITE_OK) {
            detail = "cannot open " + path.string() + ": " + (db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
            return false;
        }
        sqlite3_busy_timeout(db_, busyTimeoutMs);
        return true;
    }
    sqlite3* Handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

class Statement {
public:
    Statement(sqlite3* db, const char* sql) { rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    bool Prepared() const { return rc_ == SQLITE_OK && stmt_; }
    sqlite3_stmt* Get() const { return stmt_; }
    static std::string Text(sqlite3_stmt* s, int col) {
        const unsigned char* t = sqlite3_column_text(s, col);
        return t ? reinterpret_cast<const char*>(t) : "";
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

struct Card {
    std::map<std::string, std::string> props;
    std::string name;
    std::string mobile;
};

bool TableExists(sqlite3* db, const char* table) {
    Statement st(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?");
    if (!st.Prepared())
        return false;
    sqlite3_bind_text(st.Get(), 1, table, -1, SQLITE_STATIC);
    return sqlite3_step(st.Get()) == SQLITE_ROW;
}

std::string DbError(sqlite3* db, const fs::path& path) {
    return path.string() + ": " + sqlite3_errmsg(db);
}

// One address book database: a leaf per card with a mobile number, a node per mailing list.
bool ReadBookDatabase(const fs::path& path, int busyTimeoutMs, ExternalBookTree& node, std::string& detail) {
    Database db;
    if (!db.Open(path, busyTimeoutMs, detail))
        return false;
    sqlite3* h = db.Handle();

    std::vector<std::string> order;
    std::map<std::string, Card> cards;
    {
        Statement st(h, "SELECT card, name, value FROM properties ORDER BY rowid");
        if (!st.Prepared()) {
            detail = DbError(h, path);
            return false;
        }
        int rc;
        while ((rc = sqlite3_step(st.Get())) == SQLITE_ROW) {
            std::string card = Statement::Text(st.Get(), 0);
            auto [it, added] = cards.try_emplace(card);
            if (added)
                order.push_back(card);
            it->second.props[Statement::Text(st.Get(), 1)] = Statement::Text(st.Get(), 2);
        }
        if (rc != SQLITE_DONE) {
            detail = DbError(h, path);
            return false;
        }
    }
    for (auto& [uid, card] : cards) {
        auto prop = [&card](const char* key) {
            auto it = card.props.find(key);
            return it == card.props.end() ? std::string() : Trim(it->second);
        };
        card.mobile = prop("CellularNumber");
        std::string vcardName;
        if (card.mobile.empty() || prop("DisplayName").empty()) {
            // Newer profiles keep most fields only in the card's own vCard text.
            auto parsed = ParseVCards(prop("_vCard"));
            if (!parsed.empty()) {
                if (card.mobile.empty())
                    card.mobile = parsed.front().mobile;
                vcardName = parsed.front().name;
            }
        }
        card.name = prop("DisplayName");
        if (card.name.empty())
            card.name = vcardName;
        if (card.name.empty())
            card.name = Trim(prop("FirstName") + " " + prop("LastName"));
        if (card.name.empty())
            card.name = prop("PrimaryEmail");
        if (card.name.empty())
            card.name = card.mobile;
    }
    for (const auto& uid : order) {
        const Card& c = cards[uid];
        if (!c.mobile.empty())
            node.children.push_back(MakeLeaf(c.name, c.mobile));
    }

    if (!TableExists(h, "lists"))
        return true;
    const bool haveMembers = TableExists(h, "list_cards");
    Statement lists(h, "SELECT uid, name FROM lists ORDER BY rowid");
    if (!lists.Prepared()) {
        detail = DbError(h, path);
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(lists.Get())) == SQLITE_ROW) {
        std::string listUid = Statement::Text(lists.Get(), 0);
        ExternalBookTree list = MakeNode(Statement::Text(lists.Get(), 1));
        if (haveMembers) {
            Statement members(h, "SELECT card FROM list_cards WHERE list = ? ORDER BY rowid");
            if (!members.Prepared()) {
                detail = DbError(h, path);
                return false;
            }
            sqlite3_bind_text(members.Get(), 1, listUid.c_str(), -1, SQLITE_TRANSIENT);
            int mrc;
            while ((mrc = sqlite3_step(members.Get())) == SQLITE_ROW) {
                auto it = cards.find(Statement::Text(members.Get(), 0));
                if (it != cards.end() && !it->second.mobile.empty())
                    list.children.push_back(MakeLeaf(it->second.name, it->second.mobile));
            }
            if (mrc != SQLITE_DONE) {
                detail = DbError(h, path);
                return false;
            }
        }
        node.children.push_back(std::move(list));
    }
    if (rc != SQLITE_DONE) {
        detail = DbError(h, path);
        return false;
    }
    return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------

size_t ExternalBookTree::LeafCount() const {
    if (leaf)
        return 1;
    size_t n = 0;
    for (const auto& c : children)
        n += c.LeafCount();
    return n;
}

int ExternalBookResult::CaptionId() const {
    switch (status) {
        case ExternalBookStatus::kOk:
            return 0;
        case ExternalBookStatus::kMailClientUnavailable:
        case ExternalBookStatus::kVCardUnavailable:
            return kIdCannotAccessCaption;
        case ExternalBookStatus::kReadFailed:
            return kIdSearchFailedCaption;
    }
    return 0;
}

int ExternalBookResult::TextId() const {
    switch (status) {
        case ExternalBookStatus::kOk:
            return 0;
        case ExternalBookStatus::kMailClientUnavailable:
            return kIdMailClientFailed;
        case ExternalBookStatus::kVCardUnavailable:
            return kIdVCardFailed;
        case ExternalBookStatus::kReadFailed:
            return kIdQueryFailed;
    }
    return 0;
}

std::string ExpandHome(const std::string& path) {
    if (path == "~" || path.rfind("~/", 0) == 0) {
        const char* home = std::getenv("HOME");
        return std::string(home ? home : "") + path.substr(1);
    }
    return path;
}

std::vector<std::string> DefaultProfileRoots() {
    return {ExpandHome("~/.thunderbird"), ExpandHome("~/.var/app/org.mozilla.Thunderbird/.thunderbird"),
            ExpandHome("~/snap/thunderbird/common/.thunderbird")};
}

std::vector<VCardEntry> ParseVCards(const std::string& text) {
    std::vector<VCardEntry> entries;
    VCardEntry current;
    std::string fn, structuredName, org, email;
    int depth = 0;
    const std::vector<std::string> lines = UnfoldLines(text);
    for (size_t n = 0; n < lines.size(); ++n) {
        std::string line = lines[n];
        // A quoted-printable value (vCard 2.1) continues on the next line after a closing "=".
        if (Lower(line.substr(0, line.find(':'))).find("quoted-printable") != std::string::npos) {
            while (!line.empty() && line.back() == '=' && n + 1 < lines.size()) {
                line.pop_back();
                line += lines[++n];
            }
        }
        VCardProperty prop;
        if (!ParseProperty(line, prop))
            continue;
        const std::string value = Trim(prop.value);
        if (prop.name == "BEGIN" && Lower(value) == "vcard") {
            if (depth++ == 0) {
                current = VCardEntry{};
                fn.clear(), structuredName.clear(), org.clear(), email.clear();
            }
            continue;
        }
        if (depth == 0)
            continue;
        if (prop.name == "END" && Lower(value) == "vcard") {
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
            current.group = Lower(value) == "group";
        } else if (prop.name == "MEMBER" || prop.name == "X-ADDRESSBOOKSERVER-MEMBER") {
            current.members.push_back(value);
        }
    }
    return entries;
}

ExternalBookResult ReadMailClientBook(const ExternalBookOptions& options, std::string& profileName,
                                      ExternalBookTree& tree) {
    tree = MakeNode("root");
    const auto roots = options.profileRoots.empty() ? DefaultProfileRoots() : options.profileRoots;
    for (const auto& rootText : roots) {
        const fs::path root(rootText);
        std::string ini, detail;
        ReadStatus rs = ReadWholeFile(root / "profiles.ini", ini, detail);
        if (rs == ReadStatus::kMissing)
            continue;
        if (rs == ReadStatus::kFailed)
            return Fail(ExternalBookStatus::kMailClientUnavailable, detail);
        Profile profile;
        if (!ChooseProfile(root, ini, profileName, profile))
            return Fail(ExternalBookStatus::kMailClientUnavailable,
                        "no usable profile in " + (root / "profiles.ini").string());

        std::vector<fs::path> books;
        std::error_code ec;
        for (fs::directory_iterator it(profile.path, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
            const std::string name = it->path().filename().string();
            if (name.rfind("abook", 0) == 0 && name.size() > 7 && name.compare(name.size() - 7, 7, ".sqlite") == 0)
                books.push_back(it->path());
        }
        if (ec)
            return Fail(ExternalBookStatus::kMailClientUnavailable, "cannot list " + profile.path.string());
        std::sort(books.begin(), books.end(), BookFileLess);
        const auto names = BookNamesFromPrefs(profile.path);

        ExternalBookTree built = MakeNode("root");
        for (const auto& book : books) {
            const std::string file = book.filename().string();
            auto n = names.find(file);
            ExternalBookTree node = MakeNode(n != names.end() ? n->second : book.stem().string());
            if (!ReadBookDatabase(book, options.busyTimeoutMs, node, detail))
                return Fail(ExternalBookStatus::kReadFailed, detail);
            built.children.push_back(std::move(node));
        }
        tree = std::move(built);
        profileName = profile.name.empty() ? profile.relPath : profile.name;
        return {};
    }
    return Fail(ExternalBookStatus::kMailClientUnavailable, "no profiles.ini found");
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

// ---------------------------------------------------------------------------------------------

ExternalBookOptions ExternalBook::EffectiveOptions() const {
    ExternalBookOptions o = options_;
    if (o.vcardPath.empty())
        o.vcardPath = Settings().VCardPath;
    if (o.vcardPath.empty())
        o.vcardPath = kDefaultVCardPath;
    return o;
}

bool ExternalBook::Configured() const {
    const ExternalBookOptions o = EffectiveOptions();
    std::error_code ec;
    if (Settings().MAPI_AddressBook) {
        for (const auto& root : o.profileRoots.empty() ? DefaultProfileRoots() : o.profileRoots)
            if (fs::exists(fs::path(root) / "profiles.ini", ec))
                return true;
        return false;
    }
    return fs::exists(ExpandHome(o.vcardPath), ec);
}

ExternalBookResult ExternalBook::Load(bool force) {
    const ExternalBookOptions o = EffectiveOptions();
    AppSettings& settings = Settings();
    const ExternalBookSource source =
        settings.MAPI_AddressBook ? ExternalBookSource::kMailClient : ExternalBookSource::kVCard;
    const std::string key = source == ExternalBookSource::kMailClient ? settings.Outlook_Name : o.vcardPath;
    if (!force && loaded_ && source == source_ && key == sourceKey_)
        return {};

    ExternalBookResult result;
    if (source == ExternalBookSource::kMailClient) {
        std::string profile = settings.Outlook_Name;
        result = ReadMailClientBook(o, profile, tree_);
        // As after a logon: the name of the profile actually used is kept for the next time.
        if (result.Ok())
            settings.Outlook_Name = profile;
    } else {
        result = ReadVCardBook(o, tree_);
    }
    if (!result.Ok())
        LogLine("External address book not read: %s\n", result.detail.c_str());
    loaded_ = result.Ok();
    source_ = source;
    sourceKey_ = source == ExternalBookSource::kMailClient ? settings.Outlook_Name : o.vcardPath;
    return result;
}

ExternalBook& TheExternalBook() {
    static ExternalBook book;
    return book;
}

const ExternalBookTree& LoadExternalBook(bool force, ExternalBookResult* result) {
    ExternalBookResult r = TheExternalBook().Load(force);
    if (result)
        *result = r;
    return TheExternalBook().Tree();
}

}  // namespace quillon
