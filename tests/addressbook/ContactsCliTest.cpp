// quillon-cli contacts import / export / delete and groups rename / delete, run as a separate program.
#include <gtest/gtest.h>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::RunCli;
using test::TempDir;

TEST(ContactsCli, ImportExportDeleteAndGroupChanges) {
    TempDir dir;
    test::WriteFile(dir.File("in.csv"), "fname;mobile;group\nAnn;1;Work\nBea;;\nCid;3;\n");
    const std::string out = dir.File("out.csv");
    struct Step {
        std::vector<std::string> args;
        int rc;
        const char* out;
    };
    const Step steps[] = {
        {{"groups", "add", "Friends"}, 0, "2\n"},
        {{"contacts", "import", dir.File("in.csv"), "--separator", "semicolon", "--group", "2", "--auto-groups"},
         0,
         "inserted 2\ndiscarded 1\nduplicates 0\nencoding utf-8\n"},
        {{"contacts", "import", dir.File("in.csv"), "--separator", "semicolon", "--group", "2", "--prevent-duplicates"},
         0,
         "inserted 0\ndiscarded 1\nduplicates 2\nencoding utf-8\n"},
        {{"contacts", "import", dir.File("in.csv"), "--group", "2"},
         1,
         "inserted 0\ndiscarded 0\nduplicates 0\nencoding utf-8\n"},  // comma: no mobile column
        {{"contacts", "export", out, "--with-groups"}, 0, "written 2\n"},
        {{"groups", "rename", "3", "Office"}, 0, ""},
        {{"contacts", "delete", "2", "--from", "2"}, 0, ""},
        {{"groups", "list"}, 0, "1\tAll Contacts\n2\tFriends (0)\n3\tOffice (1)\n"},
        {{"groups", "delete", "3"}, 0, ""},
        {{"contacts", "list"}, 0, ""},
        {{"groups", "delete", "1"}, 1, ""},
        {{"contacts", "import", dir.File("in.csv")}, 2, ""},
        {{"contacts", "import", dir.File("in.csv"), "--group", "9"}, 1, ""},
        {{"contacts", "export", out, "--group", "2", "--contact", "1"}, 2, ""},
        {{"contacts", "delete", "x"}, 2, ""},
    };
    for (const auto& s : steps) {
        auto r = RunCli(dir.Path(), s.args);
        EXPECT_EQ(r.rc, s.rc) << s.args[0] << " " << s.args[1] << ": " << r.err;
        EXPECT_EQ(r.out, s.out) << s.args[0] << " " << s.args[1];
    }
    EXPECT_EQ(test::ReadFile(out), "FName,SName,Title,Custom,Mobile,Group\r\nCid,,,,3,Friends\r\nAnn,,,,1,Work\r\n");
}

}  // namespace
}  // namespace quillon
