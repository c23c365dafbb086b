// The length and schedule commands of quillon-cli, run as a user would run them.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/TempDir.h"

namespace quillon {
namespace {

struct CliRun {
    int status = -1;
    std::string out;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

CliRun Cli(const test::TempDir& dir, const std::string& args, const char* zone = "Europe/Berlin") {
    const std::string command = std::string("TZ=") + zone + " " + Quote(QUILLON_CLI_EXE) + " --data-dir " +
                                Quote(dir.Path()) + " " + args + " 2>/dev/null";
    CliRun run;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

TEST(LengthScheduleCli, LengthPrintsTheCounter) {
    test::TempDir dir;
    CliRun r = Cli(dir, "length " + Quote("Price: 5\xE2\x82\xAC {net}"));
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "18 (1)\n");

    r = Cli(dir, "length --span on " + Quote(std::string(307, 'x')));
    EXPECT_EQ(r.out, "307 (3)\n");

    r = Cli(dir, "length --span off --show-text " + Quote(std::string(150, 'a') + "{{{{{{"));
    EXPECT_EQ(r.out, "160 (1)\n" + std::string(150, 'a') + "{{{{{\n");

    EXPECT_EQ(Cli(dir, "length").status, 2);
    EXPECT_EQ(Cli(dir, "length --span maybe x").status, 2);
}

TEST(LengthScheduleCli, SchedulePrintsEveryOccurrence) {
    test::TempDir dir;
    CliRun r = Cli(dir,
                   "schedule --now '2026-12-06 10:00' --mode weekly --every 2 --days mon,wed --start '01-05 07:00' "
                   "--count 3");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "1799215200\t06/01/2027 07:00\n"
              "1800252000\t18/01/2027 07:00\n"
              "1800424800\t20/01/2027 07:00\n");

    // Restored from a SchedulingInfo text: monthly, day 30, every month, three times, from January.
    r = Cli(dir, "schedule --now 1796550000 --info '1,1,13,1,0,0,0,1,0,1,0,0,0,0,0,0,0,0,0,1,29,0,0,0,0,0,2'");
    EXPECT_EQ(r.out,
              "1801306800\t30/01/2027 12:00\n"
              "1806400800\t30/03/2027 12:00\n"
              "1809079200\t30/04/2027 12:00\n");
}

TEST(LengthScheduleCli, ScheduleRefusals) {
    test::TempDir dir;
    EXPECT_EQ(Cli(dir, "schedule --mode weekly").status, 1);
    EXPECT_EQ(Cli(dir, "schedule --mode hourly").status, 2);
    EXPECT_EQ(Cli(dir, "schedule --count 13").status, 2);
    EXPECT_EQ(Cli(dir, "schedule --start '2027-01-05 07:00'").status, 2);
    EXPECT_EQ(Cli(dir, "schedule --every 3").status, 2);
    CliRun help = Cli(dir, "schedule --help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("--days"), std::string::npos);
}

}  // namespace
}  // namespace quillon
