// Two threads at once, a process killed hard, and batches.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <thread>

#include "store/MessageStore.h"
#include "support/TempDir.h"
#include "support/Waits.h"

namespace quillon {
namespace {

using test::TempDir;

// While alive, no file of this process can grow by a byte: every commit fails as on a full disk.
class NoFileGrowth {
public:
    NoFileGrowth() {
        getrlimit(RLIMIT_FSIZE, &saved_);
        oldHandler_ = signal(SIGXFSZ, SIG_IGN);
        rlimit none = saved_;
        none.rlim_cur = 0;
        setrlimit(RLIMIT_FSIZE, &none);
    }
    ~NoFileGrowth() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        signal(SIGXFSZ, oldHandler_);
    }

private:
    rlimit saved_{};
    void (*oldHandler_)(int) = nullptr;
};

TEST(StoreThreads, TwoThreadsAddingAtOnceGetUniqueIdsAndLoseNothing) {
    TempDir dir;
    MessageStore store(dir.Path());
    constexpr int kPerThread = 300;
    std::vector<int32_t> ids[2];
    auto add = [&](int t) {
        for (int i = 0; i < kPerThread; ++i) {
            ids[t].push_back(
                store.Outbox().AddSms(0, 0, 0, 0, "1", std::to_string(t) + ":" + std::to_string(i), "", 0, "?"));
            if (i % 50 == 0)
                store.Outbox().CountOutbox();
        }
    };
    // The second thread also reads and rewrites rows while the first adds.
    std::thread first(add, 0);
    std::thread second([&] {
        add(1);
        for (int32_t id : ids[1])
            store.Outbox().SetSmsStatus(id, 3);
    });
    first.join();
    second.join();
    std::set<int32_t> unique(ids[0].begin(), ids[0].end());
    unique.insert(ids[1].begin(), ids[1].end());
    EXPECT_EQ(unique.size(), 2u * kPerThread);
    EXPECT_GT(*unique.begin(), 0);
    std::set<std::string> texts;
    for (const auto& r : store.Outbox().LoadAllSms())
        texts.insert(r.Msg);
    EXPECT_EQ(texts.size(), 2u * kPerThread);
    EXPECT_EQ(store.Outbox().CountOutbox(), kPerThread);
}

// The other thread, released halfway through the batch, must wait for the batch to end to write.
TEST(StoreThreads, ABatchOnOneThreadKeepsTheOtherThreadOutUntilItEnds) {
    TempDir dir;
    MessageStore store(dir.Path());
    std::atomic<bool> released{false}, writing{false}, written{false};
    int32_t other = 0;
    std::thread t([&] {
        test::WaitUntil([&] { return released.load(); });
        writing = true;
        other = store.Outbox().AddSms(0, 0, 0, 0, "1", "other", "", 0, "?");
        written = true;
    });
    {
        StoreTransaction batch(store);
        for (int i = 0; i < 50; ++i)
            store.Outbox().AddSms(0, 0, 0, 0, "1", "batch", "", 0, "?");
        released = true;
        ASSERT_TRUE(test::WaitUntil([&] { return writing.load(); }));
        // Give a write that slipped past the lock the chance to finish; a correct store blocks it.
        EXPECT_FALSE(test::WaitUntil([&] { return written.load(); }, 200)) << "the other thread wrote into the batch";
        for (int i = 0; i < 50; ++i)
            store.Outbox().AddSms(0, 0, 0, 0, "1", "batch", "", 0, "?");
        EXPECT_TRUE(batch.Commit());
    }
    t.join();
    EXPECT_EQ(other, 101);
    EXPECT_EQ(store.Outbox().SmsRowCount(), 101);
}

TEST(StoreBatch, RollbackDropsEverythingInTheBatchAndNestedBatchesJoinTheOuter) {
    TempDir dir;
    MessageStore store(dir.Path());
    {
        StoreTransaction batch(store);
        store.Outbox().AddSms(0, 0, 0, 0, "1", "gone", "", 0, "?");
        store.Book().AddGroup("gone too");
        batch.Rollback();
    }
    EXPECT_EQ(store.Outbox().SmsRowCount(), 0);
    EXPECT_EQ(store.Book().ListGroups().size(), 1u);
    {
        StoreTransaction outer(store);
        {
            StoreTransaction inner(store);
            store.Outbox().AddSms(0, 0, 0, 0, "1", "kept", "", 0, "?");
        }
        store.Outbox().AddSms(0, 0, 0, 0, "1", "kept", "", 0, "?");
    }
    EXPECT_EQ(store.Outbox().SmsRowCount(), 2);
    EXPECT_EQ(store.Outbox().CountOutbox(), 2);
}

// The child tells the parent each row once AddSms returned, then is killed without closing the store:
// every such row must be in the file.
TEST(StoreDurability, RowsSurviveAProcessKilledHard) {
    TempDir dir;
    { MessageStore init(dir.Path()); }
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        MessageStore store(dir.Path());
        auto tell = [&](int32_t id) {
            if (write(fds[1], &id, sizeof id) != sizeof id)
                _exit(3);
        };
        for (int i = 0; i < 40; ++i)
            tell(store.Outbox().AddSms(0, 0, 0, 0, ",0821", "row " + std::to_string(i), "", 0, "?"));
        tell(store.Book().AddContact({"Kept", "", "", "", "", {1}}));
        for (;;)
            pause();
    }
    close(fds[1]);
    std::vector<int32_t> acknowledged;
    int32_t id = 0;
    for (int i = 0; i < 41 && read(fds[0], &id, sizeof id) == static_cast<ssize_t>(sizeof id); ++i)
        acknowledged.push_back(id);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    close(fds[0]);
    ASSERT_EQ(acknowledged.size(), 41u);
    EXPECT_TRUE(WIFSIGNALED(status));

    MessageStore store(dir.Path());
    ASSERT_TRUE(store.IsOpen());
    EXPECT_FALSE(store.Damaged());
    auto rows = store.Outbox().LoadAllSms();
    ASSERT_EQ(rows.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        EXPECT_EQ(rows[i].ID, acknowledged[i]);
        EXPECT_EQ(rows[i].Msg, "row " + std::to_string(i));
    }
    EXPECT_EQ(store.Outbox().CountOutbox(), 40);
    EXPECT_EQ(*store.Book().GetContactDisplayName(acknowledged.back()), "Kept ");
    EXPECT_EQ(store.Book().MembersOfGroup(1), std::vector<int32_t>{acknowledged.back()});
    EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, "1", "next", "", 0, "?"), 41);
}

// A change counts only once on the disk: when the commit cannot be written the operation reports
// failure and the store is as it was.
TEST(StoreDurability, AChangeThatCannotReachTheDiskIsReportedAsFailed) {
    TempDir dir;
    MessageStore store(dir.Path());
    int32_t kept = store.Outbox().AddSms(0, 0, 0, 0, ",0821", "kept", "", 0, "?");
    const ContactRecord c{"Ann", "", "", "", "", {1}};
    int32_t ann = store.Book().AddContact(c);
    ASSERT_GT(ann, 0);
    {
        NoFileGrowth full;
        EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, ",0822", "lost", "", 0, "?"), 0);
        EXPECT_FALSE(store.Outbox().SetSmsStatus(kept, 3));
        EXPECT_FALSE(store.Outbox().BeginEditSms(kept));
        EXPECT_FALSE(store.Outbox().SetSmsApiMsgID(kept, ",ID: 0123456789abcdef0123456789abcdef"));
        EXPECT_EQ(store.Outbox().CopySms(kept, true, 4), 0);
        EXPECT_EQ(store.Outbox().CopySmsForRecipient(kept, 11, "0821"), 0);
        EXPECT_EQ(store.Book().AddContact(c), 0);
        EXPECT_EQ(store.Book().AddGroup("Lost"), -1);
        EXPECT_EQ(store.Book().FindOrAddGroup("Lost"), 0);
        EXPECT_FALSE(store.Book().RemoveMembership(ann, 1));
        EXPECT_TRUE(store.Book().MoveContactToGroup(ann, 1, 1));  // already there: nothing to write
        EXPECT_FALSE(store.Book().MoveContactToGroup(ann, 2, 1));
    }
    auto rows = store.Outbox().LoadAllSms();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Stat, 0);
    EXPECT_EQ(rows[0].ApiMsgID, "");
    EXPECT_EQ(store.Outbox().CountOutbox(), 1);
    EXPECT_EQ(store.Book().ContactCount(), 1);
    EXPECT_EQ(store.Book().GroupsOfContact(ann), std::vector<int32_t>{1});
    EXPECT_EQ(store.Book().ListGroups().size(), 1u);
    // The store works on once the disk takes writes again.
    EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, ",0822", "next", "", 0, "?"), kept + 1);
    EXPECT_TRUE(store.Outbox().SetSmsStatus(kept, 3));
}

}  // namespace
}  // namespace quillon
