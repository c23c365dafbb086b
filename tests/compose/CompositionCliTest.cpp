// quillon-cli compose, run as a separate program on a temporary data directory.
#include <gtest/gtest.h>

#include "store/MessageStore.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::RunCli;
using test::TempDir;

TEST(CompositionCli, ComposesSchedulesEditsAndRemembersRecentRecipients) {
    TempDir dir;
    ASSERT_EQ(RunCli(dir.Path(), {"contacts", "add", "--name", "Ann", "--mobile", "0831112222", "--group", "1"}).rc, 0);

    auto r = RunCli(dir.Path(), {"compose", "--to", "0821", "--contact", "1", "--text", "Hello"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");
    r = RunCli(dir.Path(),
               {"compose", "--recent", "1", "--to", "0844", "--text", "Twice", "--schedule", "--mode", "daily",
                "--count", "2", "--now", "2030-01-01 08:00", "--start", "01-02 09:00", "--upload-days", "0"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "2\n3\n");
    r = RunCli(dir.Path(), {"compose", "--edit", "1", "--text", "Changed"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "1\n");

    r = RunCli(dir.Path(), {"compose", "--text", "Nobody"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_NE(r.err.find("No destination mobile numbers selected"), std::string::npos);
    EXPECT_EQ(RunCli(dir.Path(), {"compose", "--to", "08a", "--text", "x"}).rc, 2);
    EXPECT_EQ(RunCli(dir.Path(), {"compose", "--recent", "9", "--text", "x"}).rc, 2);
    EXPECT_EQ(RunCli(dir.Path(), {"compose", "--edit", "1", "--to", "1", "--schedule"}).rc, 2);

    MessageStore store(dir.Path());
    SmsRecord row;
    ASSERT_TRUE(store.Outbox().GetSms(1, row));
    EXPECT_EQ(row.To, ",0821,A1");
    EXPECT_EQ(row.Msg, "Changed");
    EXPECT_EQ(row.Stat, 0);
    // Recent after the first send: 0 Ann, 1 Direct (0821).
    ASSERT_TRUE(store.Outbox().GetSms(2, row));
    EXPECT_EQ(row.To, ",0844,0821");
    EXPECT_EQ(row.Stat, 4);
    EXPECT_EQ(row.RefID, 2);
    const int32_t firstTime = row.Time;
    ASSERT_TRUE(store.Outbox().GetSms(3, row));
    EXPECT_EQ(row.RefID, 2);
    EXPECT_EQ(row.Time, firstTime + 86400);
    EXPECT_EQ(store.Outbox().SmsRowCount(), 3);
}

}  // namespace
}  // namespace quillon
