#include "addressbook/ExternalBook.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <system_error>

#include "addressbook/ExternalBookParts.h"
#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"

namespace quillon {

namespace fs = std::filesystem;
using namespace external;

namespace {

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
        sections.back().values[AsciiLower(Trim(line.substr(0, eq)))] = Trim(line.substr(eq + 1));
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
        if (StartsWithIgnoreCase(s.name, "Install") && installDefault.empty())
            installDefault = Value(s, "default");
        if (!StartsWithIgnoreCase(s.name, "Profile"))
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
    bool Open(const fs::path& path, int busyTimeoutMs, std::string& detail, int flags = SQLITE_OPEN_READONLY) {
        int rc = sqlite3_open_v2(path.c_str(), &db_, flags, nullptr);
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

// The cards of a database in their first row's order, each with its properties.
bool ReadCards(sqlite3* h, const fs::path& path, std::vector<std::string>& order, std::map<std::string, Card>& cards,
               std::string& detail) {
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
    return true;
}

// The card's mobile number and the name it is shown by.
void NameCard(Card& card) {
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

// The members with a mobile number of list `listUid`, as leaves of `list`.
bool ReadListMembers(sqlite3* h, const fs::path& path, const std::string& listUid,
                     const std::map<std::string, Card>& cards, ExternalBookTree& list, std::string& detail) {
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
    return true;
}

// The mailing lists of a database as nodes of `node`.
bool ReadLists(sqlite3* h, const fs::path& path, const std::map<std::string, Card>& cards, ExternalBookTree& node,
               std::string& detail) {
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
        if (haveMembers && !ReadListMembers(h, path, listUid, cards, list, detail))
            return false;
        node.children.push_back(std::move(list));
    }
    if (rc != SQLITE_DONE) {
        detail = DbError(h, path);
        return false;
    }
    return true;
}

// One address book database: a leaf per card with a mobile number, a node per mailing list.
// A private copy of a mail client's database and its write-ahead log. Opening the profile's own file,
// even read-only, leaves -wal and -shm files in the profile (owned by whoever ran us) and may take
// part in the mail client's checkpoints; the copy is read instead and removed afterwards.
class PrivateCopy {
public:
    ~PrivateCopy() {
        std::error_code ec;
        if (!dir_.empty())
            fs::remove_all(dir_, ec);
    }
    bool Make(const fs::path& source, std::string& detail) {
        std::error_code ec;
        std::string pattern = (fs::temp_directory_path(ec) / "quillon-book-XXXXXX").string();
        if (ec || !mkdtemp(pattern.data())) {
            detail = "cannot create a temporary folder for " + source.string();
            return false;
        }
        dir_ = pattern;
        copy_ = dir_ / source.filename();
        if (!fs::copy_file(source, copy_, ec)) {
            detail = "cannot copy " + source.string() + ": " + ec.message();
            return false;
        }
        // The log of a WAL database holds the latest changes; a rollback journal beside the file undoes
        // a half-written transaction when the copy is opened.
        for (const char* suffix : {"-wal", "-journal"}) {
            fs::path side = source;
            side += suffix;
            fs::path sideCopy = copy_;
            sideCopy += suffix;
            if (fs::exists(side, ec))
                fs::copy_file(side, sideCopy, ec);
        }
        return true;
    }
    const fs::path& Path() const { return copy_; }

private:
    fs::path dir_;
    fs::path copy_;
};

bool ReadBookDatabase(const fs::path& path, int busyTimeoutMs, ExternalBookTree& node, std::string& detail) {
    PrivateCopy copy;
    if (!copy.Make(path, detail))
        return false;
    Database db;
    // Read-write on the copy only, so that SQLite can take in the copied log.
    if (!db.Open(copy.Path(), busyTimeoutMs, detail, SQLITE_OPEN_READWRITE))
        return false;
    sqlite3* h = db.Handle();
    std::vector<std::string> order;
    std::map<std::string, Card> cards;
    if (!ReadCards(h, path, order, cards, detail))
        return false;
    for (auto& entry : cards)
        NameCard(entry.second);
    for (const auto& uid : order) {
        const Card& c = cards[uid];
        if (!c.mobile.empty())
            node.children.push_back(MakeLeaf(c.name, c.mobile));
    }
    return ReadLists(h, path, cards, node, detail);
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
            return kIdCannotAccessBookCaption;
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
            // The default book has no description of its own; the mail client shows it by this name.
            std::string bookName = n != names.end()         ? n->second
                                   : file == "abook.sqlite" ? LoadResourceString(kTextPersonalAddressBook)
                                                            : book.stem().string();
            ExternalBookTree node = MakeNode(bookName);
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
