// quillon-cli groups, contacts and outbox, run as a separate program on a temporary data directory.
#include <gtest/gtest.h>

#include "store/MessageStore.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::RunCli;
using test::TempDir;

TEST(CliStore, GroupsContactsAndOutboxRoundTrip) {
    TempDir dir;
    const std::pair<std::vector<std::string>, const char*> steps[] = {
        {{"groups", "add", "Friends"}, "2\n"},
        {{"contacts", "add", "--name", "Ann", "--surname", "Lee", "--mobile", "0821", "--group", "2", "--group", "1"},
         "1\n"},
        {{"groups", "list"}, "1\tAll Contacts (1)\n2\tFriends (1)\n"},
        {{"outbox", "add", "--to", ",A1,0831", "--text", "tab\there", "--time", "1700000000", "--stat", "4", "--type",
          "2", "--delay", "86400", "--charge", "1.5"},
         "1\n"},
        {{"outbox", "add", "--to", "0821", "--text", "second", "--ref", "1"}, "2\n"},
    };
    for (const auto& [args, out] : steps) {
        auto r = RunCli(dir.Path(), args);
        ASSERT_EQ(r.rc, 0) << args[0] << ": " << r.err;
        EXPECT_EQ(r.out, out) << args[0];
    }
    auto r = RunCli(dir.Path(), {"outbox", "dump"});
    ASSERT_EQ(r.rc, 0) << r.err;
    auto nl = r.out.find('\n');
    ASSERT_NE(nl, std::string::npos);
    EXPECT_EQ(r.out.substr(0, nl),
              "1\t1700000000\t4\t2\t1\t,A1,0831\tAnn Lee,0831\ttab\there\t\t0\t\t86400\t0\t0\t1.5");
    // Only the time of adding varies; Stat and Type default to 0, Charge to "?".
    const std::string second = r.out.substr(nl + 1);
    EXPECT_EQ(second.substr(0, 2), "2\t");
    EXPECT_EQ(second.substr(second.find('\t', 2)), "\t0\t0\t1\t0821\t0821\tsecond\t\t0\t\t0\t0\t0\t?\n");
    MessageStore store(dir.Path());
    EXPECT_EQ(store.Outbox().CountOutbox(), 2);
}

TEST(CliStore, UsageErrorsExitTwoAndHelpExitsZero) {
    TempDir dir;
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"outbox", "add", "--text", "no recipients"},
                                               {"outbox", "add", "--to", "1", "--text", "x", "--stat", "pending"},
                                               {"outbox", "add", "--to", "1", "--text", "x", "--bogus", "1"},
                                               {"outbox", "frobnicate"},
                                               {"groups"},
                                               {"groups", "add"},
                                               {"contacts", "add", "--group", "zero"}}) {
        auto r = RunCli(dir.Path(), args);
        EXPECT_EQ(r.rc, 2) << args[0] << " " << args[1];
        EXPECT_EQ(r.err.rfind("quillon-cli: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    auto r = RunCli(dir.Path(), {"outbox", "--help"});
    EXPECT_EQ(r.rc, 0);
    EXPECT_NE(r.out.find("outbox dump"), std::string::npos);
}

// A file that is not a database stays as it is until the user salvages it.
TEST(CliStore, AnUnreadableDatabaseIsReportedUntilSalvaged) {
    TempDir dir;
    const std::string garbage(4096, 'z');
    test::WriteFile(dir.File("SMS.db"), garbage);
    for (const char* command : {"groups", "outbox"}) {
        auto r = RunCli(dir.Path(), {command, command == std::string("groups") ? "list" : "dump"});
        EXPECT_EQ(r.rc, 1);
        EXPECT_NE(r.err.find("is damaged: file is not a database"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("quillon-cli store salvage"), std::string::npos) << r.err;
    }
    EXPECT_EQ(test::ReadFile(dir.File("SMS.db")), garbage);
    auto r = RunCli(dir.Path(), {"store", "salvage"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_NE(r.out.find("SMS.db.corrupt-"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("0 messages, 0 groups"), std::string::npos) << r.out;
    r = RunCli(dir.Path(), {"groups", "list"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "1\tAll Contacts\n");
}

}  // namespace
}  // namespace quillon
