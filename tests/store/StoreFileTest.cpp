// The store file: layout, counters, the open sequence, older layouts and unreadable files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <set>

#include "store/MessageStore.h"
#include "store/StoreTestUtil.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::RawInt;
using test::RawQuery;
using test::TempDir;

TEST(StoreFile, FreshStoreHasSevenTablesCountersAndTheCatchAllGroup) {
    TempDir dir;
    {
        MessageStore store(dir.Path());
        ASSERT_TRUE(store.IsOpen());
        EXPECT_TRUE(store.DatabaseFileExists());
        EXPECT_FALSE(store.Damaged());
        auto groups = store.Book().ListGroups();
        ASSERT_EQ(groups.size(), 1u);
        EXPECT_EQ(groups[0].GID, 1);
        EXPECT_EQ(groups[0].Name, "All Contacts");
        EXPECT_EQ(groups[0].Cnt, 0);
        EXPECT_EQ(store.Book().PeekNextContactId(), 1);
    }
    const std::string db = dir.File("SMS.db");
    for (const char* table :
         {"SMS", "NextSMSID", "GROUP", "NextGroupID", "CONTACTS", "CONTACT_GROUP_MAP", "NextContactID"}) {
        EXPECT_EQ(
            RawInt(db, std::string("SELECT count(*) FROM sqlite_master WHERE type='table' AND name='") + table + "'"),
            1)
            << table;
    }
    EXPECT_EQ(RawInt(db, "SELECT ID FROM NextSMSID"), 1);
    EXPECT_EQ(RawInt(db, "SELECT ID FROM NextGroupID"), 2);
    EXPECT_EQ(RawInt(db, "SELECT ID FROM NextContactID"), 1);
    // Properties in stored order with their types; the key is the rowid.
    EXPECT_EQ(RawQuery(db, "SELECT group_concat(name || ':' || type, ',') FROM pragma_table_info('SMS')"),
              "ID:INTEGER,Time:INTEGER,Stat:INTEGER,Type:INTEGER,RefID:INTEGER,To:TEXT,ToInfo:TEXT,Msg:TEXT,"
              "ApiMsgID:TEXT,SavedStat:INTEGER,SenderID:TEXT,Delay:INTEGER,QueryTime:INTEGER,StatQryTm:INTEGER,"
              "Charge:TEXT");
    EXPECT_EQ(RawInt(db, "SELECT pk FROM pragma_table_info('CONTACTS') WHERE name='CID'"), 1);
    EXPECT_EQ(RawQuery(db, "PRAGMA journal_mode"), "wal");
}

TEST(StoreFile, ReopenAddsNoSecondCounterRowOrGroupAndIdsAreNeverReusedEvenWithACounterBehind) {
    TempDir dir;
    int32_t first = 0;
    {
        MessageStore store(dir.Path());
        first = store.Outbox().AddSms(0, 0, 0, 0, "123", "a", "", 0, "?");
        store.Outbox().DeleteSms(first);
    }
    {
        MessageStore store(dir.Path());
        EXPECT_EQ(store.Book().ListGroups().size(), 1u);
        EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, "123", "b", "", 0, "?"), first + 1);
    }
    const std::string db = dir.File("SMS.db");
    EXPECT_EQ(RawInt(db, "SELECT count(*) FROM NextSMSID"), 1);
    EXPECT_EQ(RawInt(db, "SELECT count(*) FROM NextGroupID"), 1);
    EXPECT_EQ(RawInt(db, "SELECT count(*) FROM NextContactID"), 1);
    // A counter set back onto the last id in use is moved past it at the next open.
    RawQuery(db, "UPDATE NextSMSID SET ID = " + std::to_string(first + 1));
    MessageStore store(dir.Path());
    EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, "1", "c", "", 0, "?"), first + 2);
}

TEST(StoreFile, DeletingEveryGroupGivesANewCatchAllGroupWithTheNextGidAtTheNextOpen) {
    TempDir dir;
    {
        MessageStore store(dir.Path());
        store.Book().AddGroup("Friends");
        store.Book().DeleteGroup(1);
        store.Book().DeleteGroup(2);
        EXPECT_TRUE(store.Book().ListGroups().empty());
    }
    MessageStore store(dir.Path());
    auto groups = store.Book().ListGroups();
    ASSERT_EQ(groups.size(), 1u);
    EXPECT_EQ(groups[0].GID, 3);
    EXPECT_EQ(groups[0].Name, "All Contacts");
}

// Only the last program out leaves rows behind: a second program on the same data directory (the
// command line beside the desktop) must not take the desktop's message under edit back to the outbox,
// nor take the one its worker is sending. The next lone open restores the edited row and hands the
// interrupted one to its send engine (which decides, knowing the gateway, whether it may go again).
TEST(StoreFile, OpenRestoresEditedAndTakesInterruptedRowsOnlyWhenNoOtherStoreUsesThem) {
    TempDir dir;
    auto first = std::make_unique<MessageStore>(dir.Path());
    int32_t edited = first->Outbox().AddSms(3, 0, 0, 0, "1", "edited", "", 0, "?");
    ASSERT_TRUE(first->Outbox().BeginEditSms(edited));
    int32_t processing = first->Outbox().AddSms(10, 0, 0, 0, "1", "processing", "", 0, "?");
    int32_t sent = first->Outbox().AddSms(3, 0, 0, 0, "1", "sent", "", 0, "?");
    auto stat = [](MessageStore& store, int32_t id) {
        SmsRecord r;
        EXPECT_TRUE(store.Outbox().GetSms(id, r));
        return r.Stat;
    };
    {
        MessageStore second(dir.Path());
        ASSERT_TRUE(second.IsOpen());
        EXPECT_EQ(stat(second, edited), 5);
        EXPECT_EQ(stat(second, processing), 10);
        EXPECT_TRUE(second.TakeInterruptedSms().empty());
    }
    EXPECT_EQ(stat(*first, edited), 5);
    first.reset();
    MessageStore alone(dir.Path());
    EXPECT_EQ(stat(alone, edited), 3);
    EXPECT_EQ(stat(alone, processing), 10);
    EXPECT_EQ(alone.TakeInterruptedSms(), std::vector<int32_t>{processing});
    EXPECT_TRUE(alone.TakeInterruptedSms().empty());
    EXPECT_EQ(stat(alone, sent), 3);
}

TEST(StoreFile, AnOlderFileGainsMissingPropertiesAndKeepsItsRows) {
    TempDir dir;
    const std::string db = dir.File("SMS.db");
    RawQuery(db,
             "CREATE TABLE SMS (ID INTEGER PRIMARY KEY, Time INTEGER, Stat INTEGER, Type INTEGER, RefID INTEGER, "
             "\"To\" TEXT, ToInfo TEXT, Msg TEXT);"
             "INSERT INTO SMS VALUES (4, 1000, 0, 0, 4, ',0821', '0821', 'old');"
             "CREATE TABLE NextSMSID (ID INTEGER);"
             "INSERT INTO NextSMSID VALUES (5);"
             "CREATE TABLE CONTACTS (CID INTEGER PRIMARY KEY, Name TEXT);"
             "INSERT INTO CONTACTS VALUES (2, 'Ann');");
    MessageStore store(dir.Path());
    ASSERT_TRUE(store.IsOpen());
    SmsRecord r;
    ASSERT_TRUE(store.Outbox().GetSms(4, r));
    EXPECT_EQ(r.Msg, "old");
    EXPECT_EQ(r.Charge, "");
    EXPECT_EQ(r.QueryTime, 0);
    EXPECT_EQ(r.SenderID, "");
    EXPECT_EQ(store.Outbox().CountOutbox(), 1);
    EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, "1", "new", "", 0, "1.5"), 5);
    ASSERT_TRUE(store.Outbox().GetSms(5, r));
    EXPECT_EQ(r.Charge, "1.5");
    EXPECT_EQ(*store.Book().GetContactDisplayName(2), "Ann ");
    EXPECT_EQ(RawInt(db, "SELECT count(*) FROM pragma_table_info('SMS')"), 15);
    EXPECT_EQ(RawInt(db, "SELECT count(*) FROM pragma_table_info('CONTACTS')"), 6);
}

TEST(StoreFile, AStoreThatCannotBeCreatedIsReportedNotThrown) {
    TempDir dir;
    MessageStore store(dir.File("missing/deeper"));
    EXPECT_FALSE(store.IsOpen());
    EXPECT_FALSE(store.DatabaseFileExists());
    EXPECT_EQ(store.Outbox().AddSms(0, 0, 0, 0, "1", "a", "", 0, "?"), 0);
    EXPECT_EQ(store.Outbox().CopySms(1, false, 0), -1);
    EXPECT_FALSE(store.Outbox().SetSmsStatus(1, 2));
    EXPECT_EQ(store.Outbox().CountOutbox(), 0);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

}  // namespace
}  // namespace quillon

namespace quillon {
namespace {

// The database and its write-ahead files hold every message: the user's alone under any umask, and a
// database an older version left readable is narrowed when opened.
TEST(StoreFile, DatabaseFilesAreOwnerOnlyWhateverTheUmask) {
    for (mode_t mask : {mode_t{022}, mode_t{002}}) {
        SCOPED_TRACE(mask);
        const mode_t old = ::umask(mask);
        TempDir dir;
        {
            MessageStore store(dir.Path());
            ASSERT_TRUE(store.DatabaseFileExists());
            for (const char* name : {"SMS.db", "SMS.db-wal", "SMS.db-shm"}) {
                struct stat st {};
                ASSERT_EQ(::stat(dir.File(name).c_str(), &st), 0) << name;
                EXPECT_EQ(st.st_mode & 07777, 0600u) << name;
            }
        }
        ::chmod(dir.File("SMS.db").c_str(), 0644);
        { MessageStore reopened(dir.Path()); }
        struct stat st {};
        ASSERT_EQ(::stat(dir.File("SMS.db").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0600u);
        ::umask(old);
    }
}

}  // namespace
}  // namespace quillon
