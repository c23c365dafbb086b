// quillon-cli external-book, run as a separate program.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::RunCli;
using test::TempDir;

TEST(ExternalBookCli, PrintsTheTreeIndentedAndReportsFailures) {
    TempDir dir;
    std::filesystem::create_directories(dir.File("cards/family"));
    test::WriteFile(dir.File("cards/a.vcf"), "BEGIN:VCARD\nFN:Abe\nTEL;TYPE=cell:0820000001\nEND:VCARD\n");
    test::WriteFile(dir.File("cards/family/b.vcf"), "BEGIN:VCARD\nFN:Bea\nTEL;TYPE=cell:0820000002\nEND:VCARD\n");
    auto r = RunCli(dir.Path(), {"external-book", "--source", "vcard", "--vcard", dir.File("cards")});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "Abe (0820000001)\nfamily\n  Bea (0820000002)\n");

    r = RunCli(dir.Path(), {"external-book", "--source", "mail", "--profile-root", dir.File("none")});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("Failed to open the Outlook/MAPI Address Book."), std::string::npos);
    EXPECT_EQ(RunCli(dir.Path(), {"external-book", "--source", "other"}).rc, 2);
}

}  // namespace
}  // namespace quillon
