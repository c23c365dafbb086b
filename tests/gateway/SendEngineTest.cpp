// The send engine's reading of recipient lists and batch replies (its chunking is tested end to end).
#include <gtest/gtest.h>

#include "FakeComponent.h"
#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/SendEngine.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

// Each entry as "position token number", with " #<contact>" when it names one.
std::string Describe(const std::vector<RecipientEntry>& entries) {
    std::string out;
    for (const RecipientEntry& e : entries)
        out += (out.empty() ? "" : "; ") + std::to_string(e.position) + " " + e.token + " " + e.number +
               (e.contactId >= 0 ? " #" + std::to_string(e.contactId) : "");
    return out;
}

// Each result as "ID|ERR number [text] ref".
std::string Describe(const std::vector<BatchResult>& results) {
    std::string out;
    for (const BatchResult& r : results)
        out += std::string(out.empty() ? "" : "; ") + (r.accepted ? "ID " : "ERR ") + r.number + " [" + r.text + "] " +
               r.ref;
    return out;
}

// `text` with each two-character token replaced by its value.
std::string Fill(std::string text, std::initializer_list<std::pair<const char*, std::string>> values) {
    for (const auto& [token, value] : values)
        for (size_t at = text.find(token); at != std::string::npos; at = text.find(token))
            text.replace(at, 2, value);
    return text;
}

TEST(SendEngine, RecipientsExpandWithContactsPrefixAndSixteenCharacters) {
    test::TempDir dir;
    MessageStore store(dir.Path());
    ASSERT_EQ(store.Book().AddContact({"Ann", "", "", "", "0044712345678901234", {1}}), 1);
    ASSERT_EQ(store.Book().AddContact({"Bea", "", "", "", "(082) 123-45.68", {1}}), 2);
    const struct {
        const char* to;
        const char* prefix;
        const char* expected;
    } cases[] = {
        // 16 characters of a contact's mobile, then the prefix; unknown or malformed contacts give nothing.
        {",A1,00712345678,,A999,+4471234567890123456,A12x", "27",
         "0 A1 2744712345678901 #1; 1 00712345678 27712345678; 4 +4471234567890123456 +447123456789012"},
        {"0711,0722", "", "0 0711 0711; 1 0722 0722"},  // no prefix: numbers stay as written
        {"", "27", ""},
        {",", "27", ""},
        // Blanks, dashes, dots and brackets go before the cut and the prefix; positions count every entry.
        {",A999,A2,+44 (0) 7700-900-123-4567", "27",
         "1 A2 27821234568 #2; 2 +44 (0) 7700-900-123-4567 +440770090012345"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Describe(ExpandRecipients(store, c.to, c.prefix)), c.expected) << c.to;
    EXPECT_EQ(store.Book().GetContactMobile(2, 64), "(082) 123-45.68");  // the stored contact keeps its own
}

TEST(SendEngine, BatchReplyIsReadWordByWord) {
    const struct {
        const char* reply;
        const char* expected;
    } cases[] = {
        {"ID: 0123456789abcdef0123456789abcdef To: 44700000001\nerr: 303, Invalid destination number To: 12\r\n"
         "Id:   fedcba  To: 44700000003",
         "ID 44700000001 [0123456789abcdef0123456789abcdef] ; ERR 12 [303, Invalid destination number] ; "
         "ID 44700000003 [fedcba] "},
        // A result closes with the number named last; words before the first marker and a dangling "To:" are ignored.
        {"junk To: 1 ID: a ID: b To:", "ID 1 [a] ; ID 1 [b] "},
        // Only the markers are read in any letter case: a "to:" inside a result's text is text.
        {"ERR: 114, cannot route to: 0 To: 447 TO: 9", "ERR 447 [114, cannot route to: 0 TO: 9] "},
        {"", ""},
        {"<html>Bad gateway</html>", ""},
        // "Ref:" belongs to the result it follows, never to the next one.
        {"ID: a To: 1 Ref: r-1\nID: b To: 2\nERR: 304, no To: 3 Ref: r-3",
         "ID 1 [a] r-1; ID 2 [b] ; ERR 3 [304, no] r-3"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Describe(ParseBatchReply(c.reply)), c.expected) << c.reply;
}

// A gateway that honours references but answers unclearly: every recipient still gets a row, and one
// whose answer is unclear goes again under its own reference, never Failed nor counted as sent.
class UnclearReplies : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings();
        Settings().InstallationID = "inst";
        Settings().prefix.clear();
        component_ = std::make_shared<test::FakeComponent>();
        component_->properties["smsHONOURS_REFS"] = Variant::FromBool(true);
        component_->script["StartBatch"] = {"ID: " + std::string(32, 'b')};
        component_->script["EndBatch"] = {"OK: 2 messages"};
        WorkerOptions options;
        options.retryPause = std::chrono::milliseconds(1);
        options.submitAttempts = 2;
        worker_ = std::make_unique<CommsWorker>(&store_, std::make_shared<GatewayApi>(ComponentHandle(component_)),
                                                nullptr, options);
    }
    void TearDown() override { Settings() = saved_; }

    SmsRecord Row(int32_t id) {
        SmsRecord r;
        EXPECT_TRUE(store_.Outbox().GetSms(id, r));
        return r;
    }
    size_t CallsOf(const std::string& method) {
        auto calls = component_->Calls();
        return static_cast<size_t>(std::count(calls.begin(), calls.end(), method));
    }

    test::TempDir dir_;
    MessageStore store_{dir_.Path()};
    AppSettings saved_;
    std::shared_ptr<test::FakeComponent> component_;
    std::unique_ptr<CommsWorker> worker_;
};

TEST_F(UnclearReplies, BatchRecipientsWithoutOneClearAnswerGoAgainUnderTheirReference) {
    const std::string a(32, 'a'), c(32, 'c');
    struct Case {
        const char* what;
        const char* reply;  // R0/R1: the recipients' references, @a/@c: message IDs
        std::string first;  // the first recipient's child: "ID", "ERR" or "REF" (goes again)
        std::string second;
    };
    const Case cases[] = {
        {"both clear", "ID: @a To: 0711111111 Ref: R0\nID: @c To: 0722222222 Ref: R1", "ID", "ID"},
        {"a refusal", "ERR: 304, Destination rejected To: 0711111111 Ref: R0\nID: @c To: 0722222222 Ref: R1", "ERR",
         "ID"},
        {"echoed for the wrong row", "ID: @a To: 0711111111 Ref: R0\nID: @c To: 0711111111 Ref: R1", "ID", "REF"},
        {"named twice",
         "ID: @a To: 0711111111 Ref: R0\nERR: 304, x To: 0711111111 Ref: R0\nID: @c To: 0722222222 Ref: R1", "REF",
         "ID"},
        {"one reference twice", "ID: @a To: 0711111111 Ref: R0\nID: @c To: 0722222222 Ref: R0", "REF", "REF"},
        {"a reference we never sent", "ID: @a To: 0711111111 Ref: zz\nID: @c To: 0722222222 Ref: R1", "REF", "ID"},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        component_->invocations.clear();
        const int32_t id = store_.Outbox().AddSms(0, 0, 0, 0, ",0711111111,0722222222", "Hi", "", 0, "?");
        const std::string r0 = "inst-" + std::to_string(id) + "-0", r1 = "inst-" + std::to_string(id) + "-1";
        component_->script["QuickBatchSend"] = {Fill(k.reply, {{"R0", r0}, {"R1", r1}, {"@a", a}, {"@c", c}})};
        worker_->SendQueuedSMSs(id);

        const bool unclear = k.first == "REF" || k.second == "REF";
        EXPECT_EQ(CallsOf("QuickBatchSend"), unclear ? 2u : 1u) << "asked again in the same pass";
        std::vector<SmsRecord> children;
        for (const SmsRecord& r : store_.Outbox().LoadAllSms())
            if (r.RefID == id && r.ID != id)
                children.push_back(r);
        if (k.first == "REF" && k.second == "REF") {
            // Nothing known of anyone: the message itself waits for the next pass.
            EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Pending));
            EXPECT_TRUE(children.empty());
            store_.Outbox().DeleteSms(id);
            continue;
        }
        EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Expanded));
        ASSERT_EQ(children.size(), 2u) << "every recipient has a row";
        for (const SmsRecord& child : children) {
            const bool first = child.To == "0711111111";
            const std::string& expected = first ? k.first : k.second;
            const bool sent = expected == "ID", err = expected == "ERR";
            EXPECT_EQ(child.ApiMsgID, sent  ? ",ID: " + (first ? a : c)
                                      : err ? std::string(",ERR: 304, Destination rejected")
                                            : ",REF: " + (first ? r0 : r1));
            EXPECT_EQ(child.Stat, StatusCode(sent  ? MessageStatus::Unknown
                                             : err ? MessageStatus::Failed
                                                   : MessageStatus::Pending));
            store_.Outbox().DeleteSms(child.ID);
        }
        store_.Outbox().DeleteSms(id);
    }

    // A recipient left to go again is sent on its own under the reference it had in its parent.
    const int32_t id = store_.Outbox().AddSms(0, 0, 0, 0, ",0711111111,0722222222", "Hi", "", 0, "?");
    const std::string r1 = "inst-" + std::to_string(id) + "-1";
    component_->script["QuickBatchSend"] = {"ID: " + a + " To: 0711111111 Ref: inst-" + std::to_string(id) + "-0"};
    worker_->SendQueuedSMSs(id);
    component_->script["SendMsg"] = {"ID: " + c + " Ref: " + r1};
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(GatewayApi::VariantText(component_->properties["smsCLIENT_REF"]), r1);
    for (const SmsRecord& r : store_.Outbox().LoadAllSms()) {
        if (r.ID != id) {
            EXPECT_EQ(r.Stat, StatusCode(MessageStatus::Unknown)) << r.To;
        }
    }
}

TEST_F(UnclearReplies, SingleMessageCountsOnlyAnAnswerUnderItsOwnReference) {
    struct Case {
        const char* reply;  // @r: the message's reference, @d: a message ID
        int32_t error;
        MessageStatus status;
        size_t calls;
    };
    const std::string id32(32, 'd');
    const Case cases[] = {
        {"ID: @d Ref: @r", 0, MessageStatus::Unknown, 1},
        {"ID: @d Ref: inst-1-0x", 0, MessageStatus::Pending, 2},  // another message's answer
        {"ID: @d", 0, MessageStatus::Pending, 2},                 // no reference named
        {"ERR: 99, Timeout", 99, MessageStatus::Pending, 2},
        {"ERR: 98, Unexpected reply", 98, MessageStatus::Pending, 2},
        {"ERR: 303, Invalid destination number Ref: @r", 303, MessageStatus::Failed, 1},
        {"ERR: 100, Invalid ref", 100, MessageStatus::Failed, 1},  // refused before reading it
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.reply);
        component_->invocations.clear();
        const int32_t id = store_.Outbox().AddSms(0, 0, 0, 0, "0711111111", "Hi", "", 0, "?");
        component_->script["SendMsg"] = {Fill(k.reply, {{"@r", "inst-" + std::to_string(id) + "-0"}, {"@d", id32}}),
                                         k.error};
        worker_->SendQueuedSMSs(id);
        EXPECT_EQ(Row(id).Stat, StatusCode(k.status));
        EXPECT_EQ(CallsOf("SendMsg"), k.calls);
        if (k.status == MessageStatus::Unknown) {
            EXPECT_EQ(Row(id).ApiMsgID, ",ID: " + id32);
        }
        store_.Outbox().DeleteSms(id);
    }
}

}  // namespace
}  // namespace quillon
