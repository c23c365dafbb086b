// The length and schedule commands of quillon-cli, run as a user would run them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

// The schedule's times are local: run in one fixed zone so the expected texts hold anywhere.
test::CliResult Cli(const test::TempDir& dir, const std::vector<std::string>& args) {
    test::RunOptions options;
    options.env = {{"TZ", "Europe/Berlin"}};
    return test::RunCli(dir.Path(), args, options);
}

TEST(LengthScheduleCli, LengthPrintsTheCounter) {
    test::TempDir dir;
    test::CliResult r = Cli(dir, {"length", "Price: 5\xE2\x82\xAC {net}"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out, "18 (1)\n");

    r = Cli(dir, {"length", "--span", "on", std::string(307, 'x')});
    EXPECT_EQ(r.out, "307 (3)\n");

    r = Cli(dir, {"length", "--span", "off", "--show-text", std::string(150, 'a') + "{{{{{{"});
    EXPECT_EQ(r.out, "160 (1)\n" + std::string(150, 'a') + "{{{{{\n");

    r = Cli(dir, {"length", "--explain", "--kind", "0", "caf\xC3\xA9 \xE2\x80\x9Cok\xE2\x80\x9D"});
    EXPECT_EQ(r.out,
              "9 (1)\nalphabet: UCS-2 (UTF-16 units)\nunits: 9 (one SMS 70, 67 per part, at most 1 part(s))\n"
              "forcing UCS-2: \xE2\x80\x9C (U+201C) \xE2\x80\x9D (U+201D)\n");
    const std::string card = dir.File("card.vcf");
    test::WriteFile(card, std::string(141, 'v'));
    r = Cli(dir, {"length", "--span", "off", "--file", card});
    EXPECT_EQ(r.rc, 1);  // one octet too many for one SMS
    EXPECT_EQ(r.out, "141 (2)\n");
    EXPECT_EQ(Cli(dir, {"length", "--span", "on", "--file", card}).out, "141 (2)\n");

    EXPECT_EQ(Cli(dir, {"length"}).rc, 2);
    EXPECT_EQ(Cli(dir, {"length", "--span", "maybe", "x"}).rc, 2);
}

TEST(LengthScheduleCli, SchedulePrintsEveryOccurrence) {
    test::TempDir dir;
    test::CliResult r = Cli(dir, {"schedule", "--now", "2026-12-06 10:00", "--mode", "weekly", "--every", "2", "--days",
                                  "mon,wed", "--start", "01-05 07:00", "--count", "3"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_EQ(r.out,
              "1799215200\t06/01/2027 07:00\n"
              "1800252000\t18/01/2027 07:00\n"
              "1800424800\t20/01/2027 07:00\n");

    // Restored from a SchedulingInfo text: monthly, day 30, every month, three times, from January.
    r = Cli(dir,
            {"schedule", "--now", "1796550000", "--info", "1,1,13,1,0,0,0,1,0,1,0,0,0,0,0,0,0,0,0,1,29,0,0,0,0,0,2"});
    EXPECT_EQ(r.out,
              "1801306800\t30/01/2027 12:00\n"
              "1806400800\t30/03/2027 12:00\n"
              "1809079200\t30/04/2027 12:00\n");
}

TEST(LengthScheduleCli, ScheduleRefusals) {
    test::TempDir dir;
    EXPECT_EQ(Cli(dir, {"schedule", "--mode", "weekly"}).rc, 1);
    EXPECT_EQ(Cli(dir, {"schedule", "--mode", "hourly"}).rc, 2);
    EXPECT_EQ(Cli(dir, {"schedule", "--count", "13"}).rc, 2);
    EXPECT_EQ(Cli(dir, {"schedule", "--start", "2027-01-05 07:00"}).rc, 2);
    EXPECT_EQ(Cli(dir, {"schedule", "--every", "3"}).rc, 2);
    test::CliResult help = Cli(dir, {"schedule", "--help"});
    EXPECT_EQ(help.rc, 0);
    EXPECT_NE(help.out.find("--days"), std::string::npos);
}

}  // namespace
}  // namespace quillon
