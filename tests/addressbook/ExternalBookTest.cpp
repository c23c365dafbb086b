#include "addressbook/ExternalBook.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <filesystem>
#include <iterator>
#include <string>

#include "core/AppSettings.h"
#include "support/TempDir.h"
#include "support/Unprivileged.h"

namespace quillon {
namespace {

using test::TempDir;
using test::WriteFile;
namespace fs = std::filesystem;

// Runs SQL on a database file, creating it.
void Sql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* err = nullptr;
    int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err);
    std::string message = err ? err : "";
    sqlite3_free(err);
    sqlite3_close(db);
    ASSERT_EQ(rc, SQLITE_OK) << message;
}

const char* const kBookSchema =
    "CREATE TABLE properties (card TEXT, name TEXT, value TEXT);"
    "CREATE TABLE lists (uid TEXT PRIMARY KEY, localId INTEGER, name TEXT, nickName TEXT, description TEXT);"
    "CREATE TABLE list_cards (list TEXT, card TEXT, PRIMARY KEY(list, card));";

void AddCard(const std::string& db, const std::string& uid,
             std::initializer_list<std::pair<const char*, std::string>> props) {
    std::string sql;
    for (const auto& [name, value] : props)
        sql += "INSERT INTO properties VALUES('" + uid + "','" + name + "','" + value + "');";
    Sql(db, sql);
}

std::string Describe(const ExternalBookTree& node, int depth = 0) {
    std::string out(static_cast<size_t>(depth) * 2, ' ');
    out += node.leaf ? node.name + " (" + node.mobile + ")" : node.name;
    out += "\n";
    for (const auto& c : node.children)
        out += Describe(c, depth + 1);
    return out;
}

// A profile folder with the two usual books: the personal one with a list, and a second one.
struct MailProfileFixture {
    TempDir dir;
    std::string root = dir.Path() + "/tb";
    std::string profile = root + "/x1y2.default-release";
    std::string other = root + "/q9.work";

    MailProfileFixture() {
        fs::create_directories(profile);
        fs::create_directories(other);
        WriteFile(root + "/profiles.ini",
                  "[Profile1]\nName=work\nIsRelative=1\nPath=q9.work\n\n"
                  "[Profile0]\nName=default-release\nIsRelative=1\nPath=x1y2.default-release\nDefault=1\n\n"
                  "[General]\nStartWithLastProfile=1\nVersion=2\n\n"
                  "[Install4F96D1932A9F858E]\nDefault=x1y2.default-release\nLocked=1\n");
        WriteFile(profile + "/prefs.js",
                  "user_pref(\"ldap_2.servers.pab.description\", \"chrome://messenger/locale/addressbook/"
                  "addressBook.properties\");\n"
                  "user_pref(\"ldap_2.servers.pab.filename\", \"abook.sqlite\");\n"
                  "user_pref(\"ldap_2.servers.Work.description\", \"Work \\\"Team\\\"\");\n"
                  "user_pref(\"ldap_2.servers.Work.filename\", \"abook-1.sqlite\");\n");
        const std::string personal = profile + "/abook.sqlite";
        Sql(personal, kBookSchema);
        AddCard(
            personal, "u-ann",
            {{"FirstName", "Ann"}, {"LastName", "Lee"}, {"DisplayName", "Ann Lee"}, {"CellularNumber", "0821234567"}});
        AddCard(personal, "u-bob",
                {{"DisplayName", "Bob Roe"}, {"PrimaryEmail", "bob@example.org"}, {"WorkPhone", "0215550000"}});
        // Newer clients keep the number only inside the card's vCard.
        AddCard(personal, "u-cat",
                {{"_vCard",
                  "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Cat Poe\r\n"
                  "TEL;TYPE=work:0110000000\r\nTEL;TYPE=cell:0831112222\r\nEND:VCARD\r\n"}});
        Sql(personal,
            "INSERT INTO lists VALUES('l-friends', 1, 'Friends', '', '');"
            "INSERT INTO list_cards VALUES('l-friends','u-bob');"
            "INSERT INTO list_cards VALUES('l-friends','u-ann');");
        const std::string work = profile + "/abook-1.sqlite";
        Sql(work, kBookSchema);
        AddCard(work, "u-dan", {{"DisplayName", "Dan Fox"}, {"CellularNumber", " 0849998888 "}});
        // A file that is not an address book by name is not read.
        WriteFile(profile + "/history.sqlite", "not read");

        const std::string otherBook = other + "/abook.sqlite";
        Sql(otherBook, kBookSchema);
        AddCard(otherBook, "u-eve", {{"DisplayName", "Eve Work"}, {"CellularNumber", "0860000000"}});
    }

    ExternalBookOptions Options() const {
        ExternalBookOptions o;
        o.profileRoots = {root};
        o.busyTimeoutMs = 50;
        return o;
    }

    // The tree read for the profile asked for (which becomes the one used), or the failure and what is left.
    std::string Read(std::string& profile) const {
        ExternalBookTree tree;
        const ExternalBookResult r = ReadMailClientBook(Options(), profile, tree);
        return (r.Ok() ? "" : "failed " + std::to_string(static_cast<int>(r.status)) + ": ") + Describe(tree);
    }
};

class ExternalBookMailClient : public ::testing::Test, protected MailProfileFixture {};

const char* const kDefaultProfileTree =
    "root\n"
    "  Personal Address Book\n"
    "    Ann Lee (0821234567)\n"
    "    Cat Poe (0831112222)\n"
    "    Friends\n"
    "      Ann Lee (0821234567)\n"
    "  Work \"Team\"\n"
    "    Dan Fox (0849998888)\n";

std::string Failed(ExternalBookStatus status) {
    return "failed " + std::to_string(static_cast<int>(status)) + ": root\n";
}

TEST_F(ExternalBookMailClient, BooksListsAndOnlyEntriesWithMobileNumbers) {
    std::string profile;
    EXPECT_EQ(Read(profile), kDefaultProfileTree);
    EXPECT_EQ(profile, "default-release");
}

TEST_F(ExternalBookMailClient, NamedProfileIsUsedAndUnknownNameFallsBackToDefault) {
    std::string profile = "work";
    EXPECT_EQ(Read(profile), "root\n  Personal Address Book\n    Eve Work (0860000000)\n");
    EXPECT_EQ(profile, "work");
    profile = "no such profile";
    EXPECT_EQ(Read(profile), kDefaultProfileTree);
    EXPECT_EQ(profile, "default-release");

    // Without the install section the profile marked Default=1 is the default.
    WriteFile(root + "/profiles.ini",
              "[Profile0]\nName=work\nIsRelative=1\nPath=q9.work\nDefault=1\n"
              "[Profile1]\nName=default-release\nIsRelative=1\nPath=x1y2.default-release\n");
    profile.clear();
    Read(profile);
    EXPECT_EQ(profile, "work");
}

// Each failure gives its status and leaves an empty root; a missing profile keeps the name asked for.
TEST_F(ExternalBookMailClient, DamagedBooksAndMissingProfilesFailWithAnEmptyRoot) {
    const std::string book = profile + "/abook-1.sqlite";
    std::string asked = "x";
    WriteFile(book, std::string(4096, '\x5a'));
    EXPECT_EQ(Read(asked), Failed(ExternalBookStatus::kReadFailed));
    fs::remove(book);
    Sql(book, "CREATE TABLE other (x);");  // without the address-book tables
    EXPECT_EQ(Read(asked), Failed(ExternalBookStatus::kReadFailed));
    WriteFile(root + "/profiles.ini", "[Profile0]\nName=a\nIsRelative=1\nPath=gone\nDefault=1\n");
    asked = "x";
    EXPECT_EQ(Read(asked), Failed(ExternalBookStatus::kMailClientUnavailable));
    EXPECT_EQ(asked, "x");
    fs::remove_all(root);
    EXPECT_EQ(Read(asked), Failed(ExternalBookStatus::kMailClientUnavailable));
    EXPECT_EQ(asked, "x");
}

TEST_F(ExternalBookMailClient, ReadsAPrivateCopyAndLeavesTheProfileAlone) {
    const std::string path = profile + "/abook.sqlite";
    Sql(path, "PRAGMA journal_mode=WAL;");
    auto files = [&] { return std::distance(fs::directory_iterator(profile), fs::directory_iterator{}); };
    const auto before = files();
    std::string name;
    EXPECT_EQ(Read(name), kDefaultProfileTree);
    EXPECT_EQ(files(), before);  // no -wal or -shm left behind

    // The mail client is running: its latest change is still in the log, and it holds a write lock.
    sqlite3* writer = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &writer), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(writer,
                           "PRAGMA wal_autocheckpoint=0;"
                           "INSERT INTO properties VALUES('u-new','DisplayName','New One');"
                           "INSERT INTO properties VALUES('u-new','CellularNumber','0871234567');"
                           "BEGIN IMMEDIATE;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    const std::string tree = Read(name);
    sqlite3_exec(writer, "ROLLBACK;", nullptr, nullptr, nullptr);
    sqlite3_close(writer);
    EXPECT_EQ(tree.rfind("root\n", 0), 0u) << tree;  // not a failure
    EXPECT_NE(tree.find("New One (0871234567)"), std::string::npos) << tree;
}

TEST(VCardParsing, NamesNumbersAndGroups) {
    const std::string text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Lee;Ann;;;\r\nTEL;TYPE=\"voice,CELL\":+27 82 123\r\n 4567\r\n"
        "UID:a-1\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\nVERSION:2.1\nFN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Ren=C3=\n=A9 Roux\n"
        "TEL;HOME:0210000000\nTEL;CELL;PREF:0829990000\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:4.0\nFN:Home only\nTEL;VALUE=uri;TYPE=home:tel:+27-21-000\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:4.0\nFN:Uri\\, cell\nTEL;VALUE=uri;TYPE=cell:tel:+27-83-555;ext=9\nEND:VCARD\n"
        "BEGIN:VCARD\nVERSION:4.0\nKIND:group\nFN:Team\nMEMBER:urn:uuid:A-1\nEND:VCARD\n"
        "garbage line without a card\n"
        "BEGIN:VCARD\nFN:Cut short\nTEL;TYPE=cell:0001\n";
    auto cards = ParseVCards(text);
    std::string got;
    for (const auto& c : cards)
        got += c.name + "|" + c.mobile + (c.group ? "|members " + std::to_string(c.members.size()) : "") + "\n";
    EXPECT_EQ(
        got,
        "Ann Lee|+27 82 1234567\nRen\xC3\xA9 Roux|0829990000\nHome only|\nUri, cell|+27-83-555\nTeam||members 1\n");
}

TEST(ExternalBookVCard, FolderFilesSubfoldersAndGroups) {
    TempDir dir;
    const std::string root = dir.Path() + "/contacts";
    fs::create_directories(root + "/work");
    fs::create_directories(root + "/empty");
    fs::create_directories(root + "/.sync-state");
    WriteFile(root + "/b.vcf", "BEGIN:VCARD\nFN:Bea\nTEL;TYPE=cell:0820000002\nEND:VCARD\n");
    WriteFile(root + "/a.vcf",
              "BEGIN:VCARD\nFN:Abe\nTEL;TYPE=cell:0820000001\nEND:VCARD\n"
              "BEGIN:VCARD\nFN:No Mobile\nTEL;TYPE=home:0210000000\nEND:VCARD\n");
    WriteFile(root + "/notes.txt", "BEGIN:VCARD\nFN:Not a vcf\nTEL;TYPE=cell:1\nEND:VCARD\n");
    WriteFile(root + "/.sync-state/x.vcf", "BEGIN:VCARD\nFN:Hidden\nTEL;TYPE=cell:1\nEND:VCARD\n");
    WriteFile(root + "/work/team.vcf",
              "BEGIN:VCARD\nVERSION:4.0\nUID:urn:uuid:c1\nFN:Cid\nTEL;TYPE=cell:0820000003\nEND:VCARD\n"
              "BEGIN:VCARD\nVERSION:4.0\nUID:urn:uuid:c2\nFN:Dee\nEMAIL:dee@example.org\nEND:VCARD\n"
              "BEGIN:VCARD\nVERSION:4.0\nKIND:group\nFN:Team\nMEMBER:urn:uuid:c1\nMEMBER:urn:uuid:c2\n"
              "MEMBER:urn:uuid:missing\nEND:VCARD\n");
    ExternalBookOptions o;
    o.vcardPath = root;
    ExternalBookTree tree;
    ExternalBookResult r = ReadVCardBook(o, tree);
    ASSERT_TRUE(r.Ok()) << r.detail;
    EXPECT_EQ(Describe(tree),
              "root\n"
              "  Abe (0820000001)\n"
              "  Bea (0820000002)\n"
              "  work\n"
              "    Cid (0820000003)\n"
              "    Team\n"
              "      Cid (0820000003)\n");

    // One file as the source.
    o.vcardPath = root + "/b.vcf";
    ASSERT_TRUE(ReadVCardBook(o, tree).Ok());
    EXPECT_EQ(Describe(tree), "root\n  Bea (0820000002)\n");
}

TEST(ExternalBookVCard, MissingOrUnreadableSourceFails) {
    TempDir dir;
    ExternalBookOptions o;
    o.vcardPath = dir.Path() + "/missing.vcf";
    ExternalBookTree tree;
    ExternalBookResult r = ReadVCardBook(o, tree);
    EXPECT_EQ(r.status, ExternalBookStatus::kVCardUnavailable);
    EXPECT_EQ(Describe(tree), "root\n");

    // A folder with a card file its reader may not open.
    const std::string locked = dir.Path() + "/locked";
    fs::create_directories(locked);
    WriteFile(locked + "/a.vcf", "BEGIN:VCARD\nFN:A\nTEL;TYPE=cell:1\nEND:VCARD\n");
    ASSERT_EQ(chmod((locked + "/a.vcf").c_str(), 0), 0);
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    o.vcardPath = locked;
    EXPECT_TRUE(test::RunUnprivileged([&] {
        EXPECT_EQ(ReadVCardBook(o, tree).status, ExternalBookStatus::kReadFailed);
        EXPECT_TRUE(tree.children.empty());
    }));
}

TEST(ExternalBookCache, SourceFollowsTheSettingAndProfileNameIsRemembered) {
    MailProfileFixture fx;
    WriteFile(fx.dir.Path() + "/one.vcf", "BEGIN:VCARD\nFN:Vee\nTEL;TYPE=cell:0820000009\nEND:VCARD\n");
    AppSettings saved = Settings();
    ExternalBookOptions o = fx.Options();
    o.vcardPath = fx.dir.Path() + "/one.vcf";
    ExternalBook book(o);

    Settings().MAPI_AddressBook = false;
    ASSERT_TRUE(book.Load(false).Ok());
    EXPECT_EQ(Describe(book.Tree()), "root\n  Vee (0820000009)\n");

    Settings().MAPI_AddressBook = true;
    Settings().Outlook_Name = "gone";
    ASSERT_TRUE(book.Load(false).Ok());
    EXPECT_EQ(book.Tree().LeafCount(), 4u);
    EXPECT_EQ(Settings().Outlook_Name, "default-release");

    // Unchanged source: the tree is kept until a reload is forced.
    fs::remove(fx.profile + "/abook-1.sqlite");
    ASSERT_TRUE(book.Load(false).Ok());
    EXPECT_EQ(book.Tree().LeafCount(), 4u);
    ASSERT_TRUE(book.Load(true).Ok());
    EXPECT_EQ(book.Tree().LeafCount(), 3u);

    // A failed read leaves an empty root and is tried again next time.
    WriteFile(fx.profile + "/abook.sqlite", "corrupt");
    EXPECT_FALSE(book.Load(true).Ok());
    EXPECT_TRUE(book.Tree().children.empty());
    Settings() = saved;
}

}  // namespace
}  // namespace quillon
