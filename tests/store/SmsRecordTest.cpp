// Message rows: adding, editing, copying, counting, recipient texts, the clipboard text, log lines.
#include <gtest/gtest.h>

#include <ctime>

#include "compose/ClipboardText.h"
#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/TextUtil.h"
#include "store/MessageStore.h"
#include "store/StoreTestUtil.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::Fields;
using test::TempDir;

class SmsRecordTest : public ::testing::Test {
protected:
    void SetUp() override { Settings().prefix.clear(); }
    void TearDown() override { Settings().prefix.clear(); }

    int32_t Contact(const std::string& name, const std::string& surname, const std::string& mobile) {
        return store.Book().AddContact({name, surname, "", "", mobile, {1}});
    }
    int32_t Add(int32_t stat, const std::string& to = "1") {
        return store.Outbox().AddSms(stat, 0, 0, 0, to, "m", "", 0, "?");
    }
    SmsRecord Get(int32_t id) {
        SmsRecord r;
        EXPECT_TRUE(store.Outbox().GetSms(id, r)) << id;
        return r;
    }

    TempDir dir;
    MessageStore store{dir.Path()};
};

TEST_F(SmsRecordTest, AddSmsFillsRefIdTimeAndToInfo) {
    int32_t before = static_cast<int32_t>(std::time(nullptr));
    int32_t a = store.Outbox().AddSms(0, 0, 2, 0, ",0821,0822", "hello", "ACME", 86400, "?");
    int32_t after = static_cast<int32_t>(std::time(nullptr));
    int32_t b = store.Outbox().AddSms(4, 1700000000, 0, 7, "0821", "later", "", 0, "");
    ASSERT_EQ(std::make_pair(a, b), std::make_pair(1, 2));
    EXPECT_TRUE(Get(a).Time >= before && Get(a).Time <= after) << Get(a).Time;
    EXPECT_EQ(Fields(Get(a)), "0|2|1|,0821,0822|0821,0822|hello||0|ACME|86400|0|0|?");
    EXPECT_EQ(Get(b).Time, 1700000000);
    EXPECT_EQ(Fields(Get(b)), "4|0|7|0821|0821|later||0||0|0|0|");
}

TEST_F(SmsRecordTest, StatusChangesEditsAndScansOnKnownRowsOnly) {
    int32_t id = Add(3);
    ASSERT_TRUE(store.Outbox().BeginEditSms(id));
    EXPECT_TRUE(store.Outbox().SetSmsStatus(id, 9));
    EXPECT_EQ(Get(id).Stat, 9);
    EXPECT_EQ(Get(id).SavedStat, 3);
    EXPECT_FALSE(store.Outbox().SetSmsStatus(99, 1));
    EXPECT_FALSE(store.Outbox().BeginEditSms(99));

    int32_t editing = Add(4);
    store.Outbox().BeginEditSms(editing);
    int32_t processing = Add(10), queued = Add(1);
    store.Outbox().RestoreEditedSms();
    EXPECT_EQ(Get(editing).Stat, 4);
    EXPECT_EQ(Get(processing).Stat, 10);
    store.Outbox().FailInterruptedSms();
    EXPECT_EQ(Get(processing).Stat, 2);
    EXPECT_EQ(Get(queued).Stat, 1);
}

TEST_F(SmsRecordTest, UpdateSmsKeepsEveryScheduledRowWaitingForItsTime) {
    int32_t onServer = store.Outbox().AddSms(7, 1800000000, 0, 0, "1", "a", "S", 172800, "?");
    int32_t scheduled = store.Outbox().AddSms(4, 1800000000, 0, 0, "1", "b", "", 0, "?");
    int32_t delay = store.Outbox().AddSms(6, 1800000000, 0, 0, "1", "c", "", 86400, "?");
    for (int32_t id : {onServer, scheduled, delay}) {
        ASSERT_TRUE(store.Outbox().BeginEditSms(id));
        store.Outbox().UpdateSms(id, 2, ",0830,A99", "new text");
    }
    // A missing contact adds an empty item to the display text.
    EXPECT_EQ(Fields(Get(onServer)), "6|2|1|,0830,A99|0830,|new text||7|S|172800|0|0|?");
    EXPECT_EQ(Get(onServer).Time, 1800000000);
    EXPECT_EQ(Get(scheduled).Stat, 4);  // still waits for its time, not sent at once
    EXPECT_EQ(Get(delay).Stat, 6);
    store.Outbox().UpdateSms(99, 0, "1", "x");
    EXPECT_EQ(store.Outbox().SmsRowCount(), 3);
}

TEST_F(SmsRecordTest, CopiesGetAFreshIdAndTimeAndKeepRefIdChargeAndDelay) {
    int32_t src = store.Outbox().AddSms(9, 1000, 1, 0, ",0821,0822", "body", "SND", 86400, "1.25");
    store.Outbox().SetSmsApiMsgID(src, ",ID: 0123456789abcdef0123456789abcdef");
    store.Outbox().SetSmsQuerySchedule(src, 600, 2000);
    int32_t copy = store.Outbox().CopySms(src, false, 0);
    int32_t resend = store.Outbox().CopySms(src, true, 0);
    int32_t child = store.Outbox().CopySmsForRecipient(src, 11, "0822");
    EXPECT_EQ(store.Outbox().CopySms(99, true, 0), -1);
    EXPECT_EQ(store.Outbox().CopySmsForRecipient(99, 0, "1"), -1);
    EXPECT_EQ(copy, src + 1);
    EXPECT_NE(Get(copy).Time, 1000);
    EXPECT_EQ(Fields(Get(copy)), "9|1|1|,0821,0822|0821,0822|body||0|SND|86400|0|0|1.25");
    EXPECT_EQ(Get(resend).Stat, 0);
    EXPECT_EQ(Fields(Get(child)), "11|1|1|0822|0822|body||0|SND|86400|0|0|1.25");
}

TEST_F(SmsRecordTest, CountOutboxFollowsEveryChangeOfState) {
    for (int32_t stat = 0; stat < 18; ++stat)
        Add(stat);
    EXPECT_EQ(store.Outbox().CountOutbox(), 3);
    store.Outbox().SetSmsStatus(1, 3);  // 0 -> 3 leaves the outbox
    EXPECT_EQ(store.Outbox().CountOutbox(), 2);
    store.Outbox().SetSmsStatus(2, 4);  // 1 -> 4 joins it
    EXPECT_EQ(store.Outbox().CountOutbox(), 3);
    store.Outbox().SetSmsStatus(5, 0);  // 4 -> 0 stays
    EXPECT_EQ(store.Outbox().CountOutbox(), 3);
    store.Outbox().DeleteSms(7);  // a 6 row
    store.Outbox().DeleteSms(7);  // already gone: nothing
    store.Outbox().DeleteSms(500);
    EXPECT_EQ(store.Outbox().CountOutbox(), 2);
    SmsRecord r = Get(3);
    r.Stat = 6;
    ASSERT_TRUE(store.Outbox().PutSms(r));
    EXPECT_EQ(store.Outbox().CountOutbox(), 3);
    int32_t ed = Add(0);
    store.Outbox().BeginEditSms(ed);  // Editing does not wait to be sent
    EXPECT_EQ(store.Outbox().CountOutbox(), 3);
    store.Outbox().UpdateSms(ed, 0, "1", "n");
    EXPECT_EQ(store.Outbox().CountOutbox(), 4);
}

// Count triggers written with "IN (...)" lists are replaced at open, once, and the count still follows the rows.
TEST(SmsRecordFileTest, OlderCountTriggersAreReplacedAtOpen) {
    TempDir dir;
    const std::string path = dir.Path() + "/SMS.db";
    { MessageStore store(dir.Path()); }
    test::RawQuery(path,
                   "DROP TRIGGER OutboxWaiting_Update; CREATE TRIGGER OutboxWaiting_Update AFTER UPDATE OF Stat ON "
                   "SMS WHEN (OLD.Stat IN (0, 4, 6)) <> (NEW.Stat IN (0, 4, 6)) BEGIN UPDATE OutboxWaiting SET n = "
                   "n + 7; END");
    const std::string countTriggers = "SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND sql LIKE ";
    ASSERT_EQ(test::RawInt(path, countTriggers + "'% IN (%'"), 1);
    for (int open = 0; open < 2; ++open) {
        const int schema = test::RawInt(path, "PRAGMA schema_version");
        MessageStore store(dir.Path());
        EXPECT_EQ(test::RawInt(path, countTriggers + "'% IN (%'"), 0);
        EXPECT_EQ(test::RawInt(path, countTriggers + "'%OutboxWaiting%'"), 3);
        if (open == 1) {  // already current: the schema is left alone
            EXPECT_EQ(test::RawInt(path, "PRAGMA schema_version"), schema);
        }
        const int32_t id = store.Outbox().AddSms(0, 0, 0, 0, "1", "m", "", 0, "?");
        EXPECT_EQ(store.Outbox().CountOutbox(), open + 1);
        for (int32_t stat : {1, 4, 5})
            store.Outbox().SetSmsStatus(id, stat);
        EXPECT_EQ(store.Outbox().CountOutbox(), open);
        store.Outbox().SetSmsStatus(id, 6);
    }
}

TEST_F(SmsRecordTest, BuildToInfoNamesContactsAndShortensLongLists) {
    const std::string ann = std::to_string(Contact("Ann", "Lee", "0821"));
    const std::string solo = std::to_string(Contact("Solo", "", "0822"));
    const std::pair<std::string, std::string> cases[] = {
        {"0831234567", "0831234567"},
        {",A" + ann + ",0831234567", "Ann Lee,0831234567"},
        {",1,2,3,4", "1,2,3 ..."},
        {",1,2,3", "1,2,3"},
        {",A" + solo, "Solo "},
        {",A77,5", "5"},  // the comma only separates items already there
        {"", ""},
        {",", ""},
    };
    for (const auto& [to, info] : cases)
        EXPECT_EQ(store.Outbox().BuildToInfo(to), info) << to;
}

TEST_F(SmsRecordTest, ToInfoIsCutAt127BytesOnAWholeCharacter) {
    // Names of two-byte letters at the record's limit: far over 127 bytes, and byte 127 falls inside a letter.
    std::string e16;
    for (int i = 0; i < 16; ++i)
        e16 += "\xc3\xa9";  // é, 32 bytes
    const std::string e15 = e16.substr(2);
    std::string to = ",A" + std::to_string(Contact("x" + e15, e16, "1"));
    for (int i = 0; i < 2; ++i)
        to += ",A" + std::to_string(Contact(e16, e16, "1"));
    std::string info = store.Outbox().BuildToInfo(to);
    EXPECT_EQ(info.size(), 126u);  // 64 + "," + 61 bytes; the letter at bytes 126-127 is dropped whole
    EXPECT_EQ(info, "x" + e15 + " " + e16 + "," + e16 + " " + e16.substr(0, 28));
    EXPECT_EQ(Get(Add(0, to)).ToInfo, info);
}

TEST(CutUtf8, KeepsWholeCharactersUpToTheLimit) {
    const std::string euro = "\xe2\x82\xac", smile = "\xf0\x9f\x98\x80", e = "\xc3\xa9";
    struct Case {
        std::string text;
        size_t limit;
        std::string cut;
    };
    const Case cases[] = {
        {"abc", 2, "ab"},
        {"a" + euro, 3, "a"},  // € is three bytes
        {"a" + euro, 4, "a" + euro},
        {"a" + smile, 4, "a"},  // the cut falls three bytes into a four-byte character
        {"a" + smile, 2, "a"},
        {"a" + smile + "b", 5, "a" + smile},
        {e + "\x80", 2, e},  // a stray continuation byte after a whole character
        // Bytes that are not UTF-8 (a legacy 8-bit text) are cut at the limit, not walked back to nothing.
        {std::string(40, '\xa3'), 32, std::string(32, '\xa3')},
        {"ab" + euro + "\x80\x80", 6, "ab" + euro + "\x80"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CutUtf8(c.text, c.limit), c.cut) << c.limit << " of " << c.text.size() << " bytes";
}

TEST_F(SmsRecordTest, RecipientNumbersUseContactsAndThePrefix) {
    const std::string ann = std::to_string(Contact("Ann", "Lee", "0821112222"));
    const std::string longMobile = std::to_string(Contact("L", "M", "01234567890123456789"));
    EXPECT_EQ(store.Outbox().SendingFormOfRecipients(",A" + ann + ",00442,12345678901234567890"),
              "0821112222,00442,1234567890123456");
    Settings().prefix = "27";
    EXPECT_EQ(store.Outbox().SendingFormOfRecipients(",A" + ann + ",00442,5550"), "27821112222,27442,5550");
    EXPECT_EQ(store.Outbox().SendingFormOfRecipients("A" + longMobile), "27123456789012345");
    EXPECT_EQ(store.Outbox().SendingFormOfRecipients(",A404"), "");
    // A contact that no longer exists adds no number, wherever it stands, as in sending.
    EXPECT_EQ(store.Outbox().SendingFormOfRecipients(",5550,A404,5551"), "5550,5551");
    EXPECT_EQ(store.Outbox().RecipientNumbers(",A404,5551"), std::vector<std::string>{"5551"});
    EXPECT_EQ(ApplyNumberPrefix("000", "27"), "27");
    EXPECT_EQ(ApplyNumberPrefix("0821", ""), "0821");
}

TEST_F(SmsRecordTest, ClipboardTextHasEveryPartInOrderAndGoesToTheSink) {
    Settings().prefix = "27";
    int32_t ann = Contact("Ann", "Lee", "0821112222");
    const std::time_t t = 1700000000;
    char when[64];
    std::strftime(when, sizeof when, "%d/%m/%Y %H:%M", std::localtime(&t));
    int32_t id = store.Outbox().AddSms(9, 1700000000, 0, 0, ",A" + std::to_string(ann) + ",0831234567", "Hi there", "",
                                       0, "1.5");
    store.Outbox().SetSmsApiMsgID(
        id, ",ID: 0123456789abcdef0123456789abcdef|27821112222,id: fedcba9876543210fedcba9876543210");
    EXPECT_EQ(*ClipboardTextOfSms(store, id),
              std::string("Time:     ") + when +
                  "\r\nStatus:   Delivered\r\nCharge:   1.5\r\nTo:       "
                  "27821112222,27831234567\r\nMessage:  Hi there\r\nApiMsgID: "
                  "0123456789abcdef0123456789abcdef,fedcba9876543210fedcba9876543210\r\n");
    // A binary kind shows a placeholder; an empty identifier list stays empty.
    int32_t vcard = store.Outbox().AddSms(0, 1700000000, 3, 0, "1", "BEGIN:VCARD", "", 0, "?");
    EXPECT_NE(ClipboardTextOfSms(store, vcard)->find("\r\nMessage:  Binary message\r\nApiMsgID: \r\n"),
              std::string::npos);
    int32_t unknownKind = store.Outbox().AddSms(0, 1700000000, 12, 0, "1", "raw", "", 0, "?");
    EXPECT_NE(ClipboardTextOfSms(store, unknownKind)->find("Message:  raw"), std::string::npos);
    EXPECT_FALSE(ClipboardTextOfSms(store, 404).has_value());

    SetClipboardSink(nullptr);
    EXPECT_FALSE(CopySmsToClipboard(store, id));
    std::string got;
    SetClipboardSink([&](const std::string& text) {
        got = text;
        return true;
    });
    EXPECT_FALSE(CopySmsToClipboard(store, 404));
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(CopySmsToClipboard(store, id));
    EXPECT_EQ(got, *ClipboardTextOfSms(store, id));
    SetClipboardSink([](const std::string&) { return false; });
    EXPECT_FALSE(CopySmsToClipboard(store, id));
    SetClipboardSink(nullptr);
}

TEST_F(SmsRecordTest, SelectSmsFiltersLikeTheEnginesAndSettersRefuseUnknownRows) {
    int32_t a = Add(11), b = Add(11), c = Add(0);
    store.Outbox().SetSmsQuerySchedule(a, 60, 100);
    store.Outbox().SetSmsQuerySchedule(b, 60, 5000);
    auto ids = [](const std::vector<SmsRecord>& rows) {
        std::vector<int32_t> out;
        for (const SmsRecord& r : rows)
            out.push_back(r.ID);
        return out;
    };
    const auto none = std::nullopt;
    EXPECT_EQ(ids(store.Outbox().SelectSms({{11}, none, 1, none, 0, 1000, none, none})), std::vector<int32_t>{a});
    EXPECT_EQ(ids(store.Outbox().SelectSms({{0}, none, none, none, none, none, none, none})), std::vector<int32_t>{c});
    EXPECT_EQ(ids(store.Outbox().LoadAllSms()), (std::vector<int32_t>{a, b, c}));
    EXPECT_TRUE(store.Outbox().SetSmsStatusAndCharge(b, 9, "0.8"));
    EXPECT_EQ(Get(b).Charge, "0.8");
    EXPECT_FALSE(store.Outbox().SetSmsCharge(404, "1"));
    EXPECT_FALSE(store.Outbox().SetSmsApiMsgID(404, ""));
    EXPECT_FALSE(store.Outbox().SetSmsQuerySchedule(404, 0, 0));
    SmsRecord ghost;
    ghost.ID = 404;
    EXPECT_FALSE(store.Outbox().PutSms(ghost));
}

TEST_F(SmsRecordTest, OperationsWriteTheirLogLinesWhenLoggingIsOn) {
    AppLog log(dir.File("SMS.log"));
    SetTheLog(&log);
    const bool was = Settings().WriteLog;
    Settings().WriteLog = true;
    int32_t id = store.Outbox().AddSms(0, 0, 0, 0, ",0821", "hello", "", 0, "?");
    store.Outbox().SetSmsStatus(404, 3);
    store.Outbox().UpdateSms(id, 0, ",0822", "changed");
    Settings().WriteLog = was;
    SetTheLog(nullptr);
    std::string text = test::ReadFile(dir.File("SMS.log"));
    EXPECT_NE(text.find("Added SMS: SMS_ID (1) Mobile:,0821 Msg:hello\n"), std::string::npos);
    EXPECT_NE(text.find("FAILED:Can't change SMS status SMS_ID (404) Status:3"), std::string::npos);
    EXPECT_NE(text.find("Updated SMS: SMS_ID (1) Mobile:,0822 Msg:changed"), std::string::npos);
}

TEST(MessageStatusNames, ExactlyEighteenCodesHaveNames) {
    for (int32_t code : {-1, 0, 17, 18})
        EXPECT_EQ(StatusDisplayName(code).empty(), code < 0 || code > 17) << code;
    EXPECT_EQ(StatusExplanation(18), "");
    LoadStatusNames();
    EXPECT_EQ(StatusDisplayName(17), "Message expired");
    EXPECT_EQ(StatusDisplayName(18), "");
}

}  // namespace
}  // namespace quillon
