// A damaged SMS.db: found and reported, never moved aside on its own, salvaged row by row; and a sound
// file whose write-ahead log still holds pages (a full disk, a kill mid-checkpoint) is not taken for damaged.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <vector>

#include "core/FileUtil.h"
#include "store/MessageStore.h"
#include "store/StoreSalvage.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace quillon::test {
namespace {

const std::string kFiller(300, 'x');  // a few rows per page, so the outbox spans many pages

// A store of `rows` messages and a few contacts in groups, closed (its log folded in).
void Fill(const std::string& dir, int rows) {
    MessageStore store(dir);
    StoreTransaction batch(store);
    for (int i = 1; i <= rows; ++i)
        store.Outbox().AddSms(0, 0, 0, 0, "0712345678", "message " + std::to_string(i) + kFiller, "", 0, "?");
    int32_t gid = store.Book().ListGroups().empty() ? 1 : store.Book().ListGroups()[0].GID;
    for (int i = 0; i < 5; ++i)
        store.Book().AddContact({"Name" + std::to_string(i), "", "", "", "08212345" + std::to_string(i), {gid}});
}

// The messages whose every property a lookup by ID can still read straight from the file: ID -> Msg.
std::map<int, std::string> ReadableMessages(const std::string& path, int rows) {
    std::map<int, std::string> found;
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT Msg, * FROM SMS WHERE ID = ?", -1, &stmt, nullptr) == SQLITE_OK) {
        for (int id = 1; id <= rows; ++id) {
            sqlite3_reset(stmt);
            sqlite3_bind_int(stmt, 1, id);
            if (sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
                found[id] = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
        }
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return found;
}

// The first column of each line of a dump: the IDs it shows.
std::set<std::string> DumpedIds(const std::string& out) {
    std::set<std::string> ids;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        ids.insert(line.substr(0, line.find('\t')));
    return ids;
}

void FlipBits(std::string& bytes, unsigned seed, int count) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<size_t> at(4096, bytes.size() - 1);  // page 1 stays: the file opens
    for (int i = 0; i < count; ++i)
        bytes[at(random)] ^= static_cast<char>(1 << (random() % 8));
}

TEST(StoreDamage, DamagedFilesAreLeftAsTheyAreAndSalvageKeepsEveryReadableRow) {
    const int rows = 200;
    struct Case {
        const char* name;
        void (*damage)(std::string& bytes);
    };
    const Case cases[] = {
        {"not a database", [](std::string& b) { b = "this is not a database\n" + std::string(8192, 'x'); }},
        {"schema page", [](std::string& b) { b.replace(100, 900, std::string(900, 'z')); }},
        {"a leaf in the middle", [](std::string& b) { b.replace(b.size() / 2 / 4096 * 4096, 4096, 4096, '\xff'); }},
        {"the last page", [](std::string& b) { b.replace(b.size() - 4096, 4096, 4096, '\x07'); }},
        {"bit flips 1", [](std::string& b) { FlipBits(b, 1, 30); }},
        {"bit flips 2", [](std::string& b) { FlipBits(b, 2, 300); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        Fill(dir.Path(), rows);
        std::string bytes = ReadFile(dir.File("SMS.db"));
        c.damage(bytes);
        WriteFile(dir.File("SMS.db"), bytes);
        {
            // Damage the open finds leaves the file as it was; damage it misses lets the store open as usual.
            MessageStore store(dir.Path());
            if (store.Damaged()) {
                EXPECT_FALSE(store.IsOpen());
                EXPECT_NE(store.DamageText().find(dir.File("SMS.db")), std::string::npos);
                EXPECT_TRUE(ReadFile(dir.File("SMS.db")) == bytes) << "the open changed a damaged file";
            }
        }
        bytes = ReadFile(dir.File("SMS.db"));
        const auto readable = ReadableMessages(dir.File("SMS.db"), rows);

        const SalvageReport report = SalvageStore(dir.Path());
        ASSERT_TRUE(report.ok) << report.error;
        EXPECT_TRUE(ReadFile(report.keptAs) == bytes) << "the damaged file was not kept as it was";
        EXPECT_NE(report.Text().find(report.keptAs), std::string::npos);
        MessageStore saved(dir.Path());
        ASSERT_TRUE(saved.IsOpen());
        EXPECT_FALSE(saved.Damaged());
        EXPECT_EQ(saved.Outbox().SmsRowCount(), report.messages);
        for (const auto& [id, msg] : readable) {
            SmsRecord r;
            EXPECT_TRUE(saved.Outbox().GetSms(id, r) && r.Msg == msg) << "lost message " << id;
        }
        // Ids are never handed out twice, and the book is there (the catch-all group at least).
        EXPECT_GT(saved.Outbox().AddSms(0, 0, 0, 0, "1", "new", "", 0, "?"),
                  readable.empty() ? 0 : readable.rbegin()->first);
        EXPECT_FALSE(saved.Book().ListGroups().empty());
    }
}

// Damage that the open does not reach shows when an operation meets it: from then on the store
// fails every operation, tells its handler once, and the next open knows without looking.
TEST(StoreDamage, DamageMetInUseFailsEveryLaterOperationAndIsRememberedForTheNextOpen) {
    TempDir dir;
    Fill(dir.Path(), 200);
    std::string bytes = ReadFile(dir.File("SMS.db"));
    bytes.replace(bytes.size() / 2 / 4096 * 4096, 4096, 4096, '\xff');
    WriteFile(dir.File("SMS.db"), bytes);
    {
        MessageStore store(dir.Path());
        ASSERT_TRUE(store.IsOpen());
        ASSERT_FALSE(store.Damaged());
        std::vector<std::string> told;
        store.Database().SetDamageHandler([&told](const std::string& reason) { told.push_back(reason); });
        const auto rows = store.Outbox().LoadAllSms();
        EXPECT_LT(rows.size(), 200u);
        EXPECT_TRUE(store.Damaged()) << "a short list passed for the whole outbox";
        EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, "1", "after", "", 0, "?"), 0);
        SmsRecord first;
        EXPECT_FALSE(store.Outbox().GetSms(1, first));
        ASSERT_EQ(told.size(), 1u);
        EXPECT_NE(told[0].find("malformed"), std::string::npos) << told[0];
    }
    MessageStore again(dir.Path());
    EXPECT_TRUE(again.Damaged());
    EXPECT_FALSE(again.IsOpen());
}

// With bits flipped inside the file, each command fails (exit 1, saying so) or gives its whole result:
// dump never prints part of the outbox as all of it, and an ID add reports is in every later dump.
TEST(StoreDamage, EveryCommandOnAFlippedFileFailsOrGivesTheWholeResult) {
    const size_t rows = 50;
    for (unsigned seed = 1; seed <= 6; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempDir dir;
        Fill(dir.Path(), rows);
        std::string bytes = ReadFile(dir.File("SMS.db"));
        FlipBits(bytes, seed, 20 * static_cast<int>(seed));
        WriteFile(dir.File("SMS.db"), bytes);
        std::set<std::string> added;
        for (int round = 0; round < 3; ++round) {
            CliResult dump = RunCli(dir.Path(), {"outbox", "dump"});
            if (dump.rc == 0) {
                const std::set<std::string> ids = DumpedIds(dump.out);
                EXPECT_EQ(ids.size(), rows + added.size());
                for (const std::string& id : added)
                    EXPECT_EQ(ids.count(id), 1u) << "added " << id << " but not shown";
            } else {
                EXPECT_EQ(dump.rc, 1);
                EXPECT_TRUE(dump.out.empty()) << dump.out;
                EXPECT_NE(dump.err.find("damaged"), std::string::npos) << dump.err;
            }
            CliResult add = RunCli(dir.Path(), {"outbox", "add", "--to", "1", "--text", "more"});
            if (add.rc == 0) {
                added.insert(add.out.substr(0, add.out.find('\n')));
            } else {
                EXPECT_EQ(add.rc, 1);
                EXPECT_NE(add.err.find("damaged"), std::string::npos) << add.err;
            }
        }
        CliResult salvage = RunCli(dir.Path(), {"store", "salvage"});
        EXPECT_EQ(salvage.rc, 0) << salvage.err;
        EXPECT_EQ(RunCli(dir.Path(), {"store", "check"}).out, "ok\n");
    }
}

// Adds rows and checkpoints often, telling the parent each ID once its add has returned.
[[noreturn]] void AddAndCheckpoint(const std::string& dir, int fd) {
    MessageStore store(dir);
    for (int i = 0;; ++i) {
        int32_t id = store.Outbox().AddSms(0, 0, 0, 0, "0712345678", "row" + kFiller, "", 0, "?");
        if (id > 0 && write(fd, &id, sizeof id) != static_cast<ssize_t>(sizeof id))
            _exit(3);
        if (i % 4 == 0)
            store.Commit();
    }
}

TEST(StoreDamage, AKillDuringACheckpointNeverMakesASoundFileLookDamaged) {
    TempDir dir;
    { MessageStore init(dir.Path()); }
    std::mt19937 random(7);
    std::set<int32_t> acknowledged;
    for (int kill = 0; kill < 15; ++kill) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            AddAndCheckpoint(dir.Path(), fds[1]);
        }
        close(fds[1]);
        const int wanted = 5 + static_cast<int>(random() % 40);
        int32_t id = 0;
        for (int i = 0; i < wanted && read(fds[0], &id, sizeof id) == static_cast<ssize_t>(sizeof id); ++i)
            acknowledged.insert(id);
        usleep(random() % 3000);
        ::kill(child, SIGKILL);
        while (read(fds[0], &id, sizeof id) == static_cast<ssize_t>(sizeof id))
            acknowledged.insert(id);
        waitpid(child, nullptr, 0);
        close(fds[0]);

        MessageStore store(dir.Path());
        ASSERT_FALSE(store.Damaged()) << "after kill " << kill << ": " << store.DamageText();
        std::set<int32_t> present;
        for (const SmsRecord& r : store.Outbox().LoadAllSms())
            present.insert(r.ID);
        for (int32_t a : acknowledged)
            ASSERT_EQ(present.count(a), 1u) << "after kill " << kill << " lost " << a;
    }
}

// A 300 KiB tmpfs filled by outbox add cuts checkpoints short; the file still opens sound with every ID.
TEST(StoreDamage, AFullDiskNeverMakesASoundFileLookDamaged) {
    TempDir dir;
    const std::string mountPoint = dir.File("small");
    ASSERT_EQ(mkdir(mountPoint.c_str(), 0700), 0);
    if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=300k") != 0) {
        if (InCi())
            FAIL() << "cannot mount a small tmpfs (" << std::strerror(errno) << "): CI runs as root for this test";
        GTEST_SKIP() << "cannot mount a small tmpfs here (" << std::strerror(errno) << "); needs CAP_SYS_ADMIN";
    }
    WriteFile(mountPoint + "/room", std::string(64 * 1024, 'r'));  // freed at the end
    std::set<std::string> reported;
    int refused = 0;
    for (int i = 0; i < 600 && refused < 5; ++i) {
        CliResult r = RunCli(mountPoint, {"outbox", "add", "--to", "0712345678", "--text", kFiller + kFiller});
        if (r.rc == 0)
            reported.insert(r.out.substr(0, r.out.find('\n')));
        refused += r.rc != 0;
    }
    EXPECT_GE(refused, 1) << "the disk never filled";
    // With the disk still full a command may fail but never calls the file damaged; with room, all IDs are there.
    for (bool full : {true, false}) {
        SCOPED_TRACE(full ? "disk full" : "room again");
        CliResult dump = RunCli(mountPoint, {"outbox", "dump"});
        EXPECT_EQ(dump.err.find("damaged"), std::string::npos) << dump.err;
        if (!full || dump.rc == 0) {
            EXPECT_EQ(dump.rc, 0) << dump.err;
            EXPECT_EQ(DumpedIds(dump.out), reported);
        }
        unlink((mountPoint + "/room").c_str());
    }
    EXPECT_EQ(RunCli(mountPoint, {"store", "check"}).out, "ok\n");
    EXPECT_FALSE(FileExists(mountPoint + "/" + StoreDatabase::kDamageMarker));
    umount2(mountPoint.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace quillon::test
