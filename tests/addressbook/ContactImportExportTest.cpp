// Contact import and export: reading awkward files, the report's counts, and export-then-import
// round trips.
#include <gtest/gtest.h>

#include <filesystem>

#include "addressbook/ContactExport.h"
#include "addressbook/ContactImport.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::TempDir;

// A store with one group besides "All Contacts" (GID 2).
struct Book {
    TempDir dir;
    MessageStore store{dir.Path()};
    Book() { store.Book().AddGroup("Friends"); }

    ImportReport Import(const std::string& bytes, ContactImportOptions options = {},
                        const ImportProgress& progress = {}, const std::atomic<bool>* cancel = nullptr) {
        const std::string path = dir.File(options.format == ImportFormat::kVCard ? "in.vcf" : "in.csv");
        test::WriteFile(path, bytes);
        options.path = path;
        if (options.groups.empty())
            options.groups = {2};
        return ImportContacts(store, options, progress, cancel);
    }
    // Every contact as "Name|Surname|Title|Custom|Mobile|gid,gid", joined by " / ".
    std::string Contacts(bool withGroups = true) {
        std::string out;
        for (const auto& row : store.Book().ListContacts()) {
            const auto& c = row.contact;
            out += (out.empty() ? "" : " / ") + c.Name + "|" + c.Surname + "|" + c.Title + "|" + c.Custom + "|";
            out += c.Mobile;
            for (size_t i = 0; withGroups && i < c.groups.size(); ++i)
                out += (i ? "," : "|") + std::to_string(c.groups[i]);
        }
        return out;
    }
};

TEST(ContactImport, ReadsAwkwardFilesAndCountsWhatItSkipped) {
    const struct {
        const char* what;
        std::string file;
        char separator;
        ImportStatus status;
        int64_t inserted, discarded;
        std::string contacts;
    } cases[] = {
        {"quoted values hold the separator, quotes and line breaks; a bare quote is a character",
         "fname,sname,mobile\r\n\"Smith, John\",\"O\"\"Neil\",0821\r\n\"two\nlines\",say \"hi\",0822\n", ',',
         ImportStatus::kOk, 2, 0, "Smith, John|O\"Neil|||0821|2 / two\nlines|say \"hi\"|||0822|2"},
        {"blank lines are skipped; a short line and an empty mobile are discarded; no final line break",
         "FNAME,Mobile\n\nAnn,1\nBea\n\nCid,\nDan,4", ',', ImportStatus::kOk, 2, 2, "Ann||||1|2 / Dan||||4|2"},
        {"blanks around header names, unknown columns ignored, byte-order mark skipped",
         "\xEF\xBB\xBF junk , fname\t,MOBILE \nzzz,Eve,9\n", ',', ImportStatus::kOk, 1, 0, "Eve||||9|2"},
        {"values are cut to what the address book keeps; cells beyond the header are ignored",
         "title,mobile\nProfessor,012345678901234567890,extra,more\n", ',', ImportStatus::kOk, 1, 0,
         "||Professo||0123456789012345|2"},
        {"tab separates; commas and semicolons are text", "fname\tmobile\na,b;c\t5\n", '\t', ImportStatus::kOk, 1, 0,
         "a,b;c||||5|2"},
        {"not UTF-8: read as Windows-1252", "fname;mobile\n\xE9mile \x80;1\n", ';', ImportStatus::kOk, 1, 0,
         "\xC3\xA9mile \xE2\x82\xAC||||1|2"},
        {"mixed separators: no mobile column with the one chosen", "fname;mobile\nA;1\n", ',',
         ImportStatus::kNoMobileColumn, 0, 0, ""},
        {"empty file", "", ',', ImportStatus::kNoHeader, 0, 0, ""},
        {"binary", std::string("\x00\x01\xFF\xFE\x00mobile", 11), ',', ImportStatus::kNoMobileColumn, 0, 0, ""},
        {"cut off inside a quoted value", "fname,mobile\nAnn,1\n\"Bo", ',', ImportStatus::kOk, 1, 1, "Ann||||1|2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Book book;
        ContactImportOptions options;
        options.separator = c.separator;
        ImportReport r = book.Import(c.file, options);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.inserted, c.inserted);
        EXPECT_EQ(r.discarded, c.discarded);
        EXPECT_EQ(book.Contacts(), c.contacts);
    }
}

TEST(ContactImport, AThousandColumnsAndAVeryLongLine) {
    Book book;
    std::string header, row;
    for (int i = 0; i < 1000; ++i) {
        header += (i ? "," : "") + (i == 999 ? std::string("mobile") : "c" + std::to_string(i));
        row += (i ? "," : "") + std::string(i == 999 ? "77" : std::string(5000, 'x'));
    }
    EXPECT_EQ(book.Import(header + "\n" + row + "\n").inserted, 1);
    EXPECT_EQ(book.Contacts(), "||||77|2");
}

TEST(ContactImport, DuplicatesArePreventedAgainstTheStoreAndWithinTheFile) {
    Book book;
    const std::string file = "fname,mobile\nA,1\nB,2\nC,1\n";
    ContactImportOptions options;
    options.preventDuplicates = true;
    ImportReport first = book.Import(file, options);
    EXPECT_EQ(first.inserted, 2);
    EXPECT_EQ(first.duplicates, 1);
    ImportReport second = book.Import(file, options);
    EXPECT_EQ(second.inserted, 0);
    EXPECT_EQ(second.duplicates, 3);
    EXPECT_EQ(second.discarded, 0);
    EXPECT_NE(ImportReportText(second).find("(3) items were skipped as duplicates."), std::string::npos);
}

// Ids are handed out in memory and the counter written once a batch: no gaps or reuse afterwards.
TEST(ContactImport, ContactIdsFollowOnAcrossImports) {
    Book book;
    const int32_t first = book.store.Book().AddContact({"Z", "", "", "", "9", {2}});
    ContactImportOptions options;
    options.preventDuplicates = true;
    EXPECT_EQ(book.Import("fname,mobile\nA,1\nB,9\nC,2\n", options).inserted, 2);
    EXPECT_EQ(book.Import("fname,mobile\n", options).inserted, 0);
    EXPECT_EQ(book.store.Book().AddContact({"D", "", "", "", "3", {2}}), first + 3);
    std::vector<int32_t> cids;
    for (const auto& row : book.store.Book().ListContacts())
        cids.push_back(row.CID);
    EXPECT_EQ(cids, (std::vector<int32_t>{first, first + 1, first + 2, first + 3}));
}

TEST(ContactImport, AutomaticGroupsMatchIgnoringCaseAndEmptyCellsJoinTheChosenGroups) {
    Book book;
    ContactImportOptions options;
    options.autoCreateGroups = true;
    book.Import("fname,mobile,group\nA,1,FRIENDS\nB,2,Work\nC,3,\nD,4,work\n", options);
    EXPECT_EQ(book.Contacts(), "A||||1|2 / B||||2|3 / C||||3|2 / D||||4|3");
}

TEST(ContactImport, CancelKeepsNothingHalfDoneAndReportsIt) {
    Book book;
    std::string file = "fname,mobile\n";
    for (int i = 0; i < 3000; ++i)
        file += "n," + std::to_string(i) + "\n";
    std::atomic<bool> cancel{false};
    int64_t calls = 0;
    ImportReport r = book.Import(
        file, {}, [&](uint64_t, uint64_t) { cancel = ++calls == 2; }, &cancel);
    EXPECT_EQ(r.status, ImportStatus::kCancelled);
    EXPECT_GT(r.inserted, 0);
    EXPECT_EQ(book.store.Book().ContactCount(), r.inserted);
}

// Export then import gives the same contacts, in CSV and in vCard, with awkward texts.
TEST(ContactExport, RoundTripsAwkwardContacts) {
    const ContactRecord awkward[] = {
        {"Smith, John", "O\"Neil", "Dr.", "a;b", "0821", {2}},
        {"two\nlines", "\"quoted\"", "", "back\\slash", "0822", {2, 3}},
        {"\u0414\u043C\u0438\u0442\u0440\u0438\u0439", "\u738B", "", "\u0633\u0644\u0627\u0645", "+27 82 3", {3}},
        {" spaced ", "", "", "", "0824", {2}},
    };
    for (bool vcard : {false, true}) {
        SCOPED_TRACE(vcard ? "vcard" : "csv");
        Book from, to;
        for (Book* b : {&from, &to})
            b->store.Book().AddGroup("Work");
        for (const auto& c : awkward)
            from.store.Book().AddContact(c);
        ContactExportOptions out;
        out.path = from.dir.File(vcard ? "all.vcf" : "all.csv");
        out.selection = false;
        out.groups = {2, 3};
        out.vcard = vcard;
        ExportReport written = ExportContacts(from.store, out);
        ASSERT_EQ(written.status, ExportStatus::kOk);
        EXPECT_EQ(written.written, 4);

        ContactImportOptions in;
        in.path = out.path;
        in.format = FormatOfPath(out.path);
        in.groups = {2};
        in.autoCreateGroups = vcard;  // categories bring the groups back; a plain file carries none
        EXPECT_EQ(ImportContacts(to.store, in).inserted, 4);
        EXPECT_EQ(to.Contacts(vcard), from.Contacts(vcard));
    }
}

TEST(ContactExport, GroupColumnAndEmptyGroupsAndFailures) {
    Book book;
    AddressBook& ab = book.store.Book();
    ab.AddGroup("Work");   // 3
    ab.AddGroup("Empty");  // 4
    ab.AddContact({"Ann", "", "", "", "1", {2, 3}});
    ContactExportOptions out;
    out.selection = false;
    out.groups = {2, 3};
    out.withGroups = true;
    out.path = book.dir.File("g.csv");
    ASSERT_EQ(ExportContacts(book.store, out).status, ExportStatus::kOk);
    EXPECT_EQ(test::ReadFile(out.path),
              "FName,SName,Title,Custom,Mobile,Group\r\nAnn,,,,1,Friends\r\nAnn,,,,1,Work\r\n");
    out.withGroups = false;
    ASSERT_EQ(ExportContacts(book.store, out).status, ExportStatus::kOk);
    EXPECT_EQ(test::ReadFile(out.path), "FName,SName,Title,Custom,Mobile\r\nAnn,,,,1\r\n");

    out.groups = {4};
    out.path = book.dir.File("none.csv");
    EXPECT_EQ(ExportContacts(book.store, out).status, ExportStatus::kNothingToExport);
    EXPECT_FALSE(std::filesystem::exists(out.path));
    out.groups = {2};
    out.path = book.dir.File("no/such/dir.csv");
    EXPECT_EQ(ExportContacts(book.store, out).status, ExportStatus::kCannotOpen);
}

}  // namespace
}  // namespace quillon
