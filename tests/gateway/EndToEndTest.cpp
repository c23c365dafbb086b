// The road of a message through the worker's engines to the sandbox gateway on loopback and back:
// sending, expansion, batches, personalisation, polling, cancellation.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <tuple>

#include "gateway/SendEngine.h"
#include "gateway/StatusQueryEngine.h"
#include "gateway/WorkerTestSupport.h"

namespace quillon::test {
namespace {

using EndToEnd = WorkerFixture;
using LegacyEndToEnd = LegacyGatewayFixture;

// A row's status and polling schedule, compared in one go.
std::tuple<int32_t, int32_t, int64_t> Polling(const SmsRecord& r) {
    return {r.Stat, r.QueryTime, r.StatQryTm};
}

TEST_F(EndToEnd, PendingMessageIsSentPolledAndDeliveredWithItsCharge) {
    Settings().SpanSMS = true;
    Settings().DeliveryAcks = true;
    int32_t id = store_->Outbox().AddSms(0, static_cast<int32_t>(now_.load()), 0, 0, "0712345678", "Hello there",
                                         "Quillon", 0, "?");
    worker_->SendQueuedSMSs(-1);

    const int32_t unknown = StatusCode(MessageStatus::Unknown);
    EXPECT_EQ(Polling(Row(id)), std::make_tuple(unknown, 60, now_ + 60));
    EXPECT_EQ(Row(id).ApiMsgID.size(), 37u) << Row(id).ApiMsgID;
    EXPECT_EQ(Row(id).ApiMsgID.substr(0, 5), ",ID: ");
    ASSERT_EQ(NumbersSent("sendmsg"), std::vector<std::string>{"0712345678"});
    const std::map<std::string, std::string> params = {
        {"text", "Hello there"}, {"msg_type", "0"}, {"delivery_time", "0"}, {"concat", "3"},
        {"from", "Quillon"},     {"unicode", "0"},  {"delivery_ack", "1"}};
    for (const auto& [name, value] : params)
        EXPECT_EQ(sandbox_.Received("sendmsg")[0].Param(name), value) << name;
    EXPECT_FALSE(sink_.NotesOf(Note::BalanceChanged).empty());
    EXPECT_NE(LogText().find("SMS sent ok: Mobile:0712345678 Msg:Hello there API_ID:ID: "), std::string::npos);

    // Not due yet: nothing is asked.
    worker_->QueryMessageStatus(-1);
    EXPECT_TRUE(sandbox_.Received("getmsgcharge").empty());

    Advance(60);
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(Polling(Row(id)), std::make_tuple(unknown, 300, now_ + 300));  // the gateway still says 001
    EXPECT_EQ(std::atof(Row(id).Charge.c_str()), 1.0) << Row(id).Charge;

    Advance(300);
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(Polling(Row(id)), std::make_tuple(StatusCode(MessageStatus::DeliveredToGateway), 1800, now_ + 1800));

    Advance(1800);
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Delivered));
    EXPECT_EQ(std::atof(Row(id).Charge.c_str()), 1.0);
    auto progress = sink_.NotesOf(Note::Progress);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back().second, 0);  // querying reports rows only

    // Delivered is no longer polled.
    Advance(2700);
    size_t asked = sandbox_.Received("getmsgcharge").size();
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(sandbox_.Received("getmsgcharge").size(), asked);
}

TEST_F(EndToEnd, MultiRecipientMessageGoesAsBatchAndSplitsIntoChildren) {
    Settings().prefix = "44";
    const int32_t cid = store_->Book().AddContact({"Ann", "", "", "", "0712345601", {1}});
    const std::string to = ",A" + std::to_string(cid) + ",0012345678,A99999";
    int32_t id = AddPending(to, "Plain text for all");
    worker_->SendQueuedSMSs(id);

    ASSERT_EQ(sandbox_.Received("startbatch").size(), 1u);
    for (const char* param : {"concat", "msg_type", "delivery_ack"})
        EXPECT_EQ(sandbox_.Received("startbatch")[0].Param(param), "0") << param;
    EXPECT_EQ(NumbersSent("quicksend"), std::vector<std::string>{"44712345601,4412345678"});
    EXPECT_EQ(sandbox_.Received("endbatch").size(), 1u);
    EXPECT_TRUE(sandbox_.Received("sendmsg").empty());

    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Expanded));
    auto children = Children(id);
    ASSERT_EQ(children.size(), 2u);
    const std::string numbers[] = {"A" + std::to_string(cid), "0012345678"};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(children[i].To + "|" + children[i].Msg, numbers[i] + "|Plain text for all");
        EXPECT_EQ(Polling(children[i]), std::make_tuple(StatusCode(MessageStatus::Unknown), 60, now_ + 60));
        EXPECT_EQ(SplitApiMsgID(children[i].ApiMsgID).size(), 1u) << children[i].ApiMsgID;
    }
    EXPECT_NE(children[0].ApiMsgID, children[1].ApiMsgID);
    EXPECT_NE(LogText().find("EndBatch SMS ok"), std::string::npos);
    auto refreshes = sink_.Refreshes();
    EXPECT_NE(std::find(refreshes.begin(), refreshes.end(), kRefreshWholeOutbox), refreshes.end());
}

// A chunk closes once it holds 512 characters, counting one comma per number: one that reaches
// 511 takes the next number too, 512 and 513 close there. The send pass and BatchChunkSizes agree.
TEST_F(EndToEnd, BatchChunksCloseOnceTheyHold512Characters) {
    struct Case {
        const char* name;
        std::vector<std::pair<size_t, size_t>> runs;  // the numbers' lengths: how many of each, in order
        std::vector<size_t> chunks;                   // numbers per quicksend call
    };
    const Case cases[] = {
        {"511", {{31, 15}, {1, 14}, {2, 15}}, {33, 1}},  // 31*16 + 15 = 511
        {"512", {{32, 15}, {1, 15}}, {32, 1}},           // 32*16 = 512
        {"513", {{31, 15}, {1, 16}, {1, 15}}, {32, 1}},  // 31*16 + 17 = 513
        {"100 of 11", {{100, 11}}, {43, 43, 14}},        // 43*12 = 516
    };
    long long serial = 0;
    for (const Case& c : cases) {
        std::vector<std::string> numbers;
        std::string to;
        for (auto [count, length] : c.runs)
            for (size_t i = 0; i < count; ++i) {
                std::string n = std::to_string(++serial);
                numbers.push_back("44" + std::string(length - 2 - n.size(), '7') + n);
                to += "," + numbers.back();
            }
        sandbox_.Reset();
        ASSERT_TRUE(sandbox_.SetCredit("demo", 100000));
        ASSERT_TRUE(LogInToGateway("demo", "demo"));
        const int32_t id = AddPending(to, "Chunked");
        worker_->SendQueuedSMSs(id);
        std::vector<size_t> sent;
        for (const std::string& chunk : NumbersSent("quicksend"))
            sent.push_back(std::count(chunk.begin(), chunk.end(), ',') + 1);
        EXPECT_EQ(sent, c.chunks) << c.name;
        EXPECT_EQ(BatchChunkSizes(numbers), c.chunks) << c.name;
        // Every number's result lands on its own child, across the chunks.
        auto children = Children(id);
        ASSERT_EQ(children.size(), numbers.size()) << c.name;
        for (size_t i = 0; i < numbers.size(); ++i) {
            EXPECT_EQ(children[i].To, numbers[i]) << c.name;
            EXPECT_EQ(children[i].Stat, StatusCode(MessageStatus::Unknown)) << c.name;
        }
    }
}

// A reply longer than "ID: " and 32 characters is cut: the row keeps ",ID: " and the identifier.
class LongIdReplies : public WorkerFixture {
protected:
    std::vector<std::string> SandboxArgs() const override {
        WriteFile(dir_.File("sandbox.conf"), "id-suffix trailing\n");
        std::vector<std::string> args = WorkerFixture::SandboxArgs();
        args.insert(args.end(), {"--config", dir_.File("sandbox.conf")});
        return args;
    }
};

TEST_F(LongIdReplies, AreCutTo37CharactersOneByOneAndInABatch) {
    int32_t single = AddPending("0712345678", "One");
    int32_t batch = AddPending(",0712345601,0712345602", "Two");
    worker_->SendQueuedSMSs(-1);
    std::vector<std::string> ids = {Row(single).ApiMsgID};
    for (const SmsRecord& child : Children(batch))
        ids.push_back(child.ApiMsgID);
    ASSERT_EQ(ids.size(), 3u);
    for (const std::string& id : ids) {
        EXPECT_EQ(id.size(), 37u) << id;
        EXPECT_EQ(id.substr(0, 5), ",ID: ") << id;
        EXPECT_EQ(id.find("trailing"), std::string::npos) << id;
    }
}

TEST_F(LegacyEndToEnd, BatchRecordsAcceptedThenFailedChildrenAndReportsCommunicationFailure) {
    // ...9991 is refused at send by the sandbox.
    int32_t id = AddPending(",0712349991,0712345678", "Some fail");
    worker_->SendQueuedSMSs(id);
    auto children = Children(id);
    ASSERT_EQ(children.size(), 2u);
    // Accepted ones first; the refused one keeps the gateway's reason.
    EXPECT_EQ(std::tie(children[0].To, children[0].Stat),
              std::make_tuple("0712345678", StatusCode(MessageStatus::Unknown)));
    EXPECT_EQ(std::tie(children[1].To, children[1].Stat, children[1].ApiMsgID),
              std::make_tuple("0712349991", StatusCode(MessageStatus::Failed), ",ERR: 304, Destination rejected"));

    // A 500 to the batch start: the box, and the message ends Failed rather than as an empty Expanded row.
    ASSERT_TRUE(sandbox_.InjectFault("status", 1, 500, "startbatch"));
    int32_t second = AddPending(",0712345670,0712345671", "Unlucky");
    worker_->SendQueuedSMSs(second);
    EXPECT_EQ(sink_.failureBoxes.load(), 1);
    EXPECT_EQ(Row(second).Stat, StatusCode(MessageStatus::Failed));
    EXPECT_TRUE(Children(second).empty());
    EXPECT_NE(LogText().find("SMS Batch start failed: Error:"), std::string::npos);

    // A chunk answered with garbage names nobody and cannot safely go again: a Failed row for each number.
    ASSERT_TRUE(sandbox_.InjectFault("garbage", 1, 0, "quicksend"));
    int32_t third = AddPending(",0712345672,0712345673", "Garbled");
    worker_->SendQueuedSMSs(third);
    EXPECT_EQ(Row(third).Stat, StatusCode(MessageStatus::Expanded));
    ASSERT_EQ(Children(third).size(), 2u);
    for (const SmsRecord& child : Children(third))
        EXPECT_EQ(child.Stat, StatusCode(MessageStatus::Failed));
}

TEST_F(EndToEnd, PersonalisedMessageGoesRecipientByRecipient) {
    const int32_t a = store_->Book().AddContact({"Ann", "", "", "", "0711111111", {1}});
    const int32_t b = store_->Book().AddContact({"Bob", "Lee", "", "", "0722222222", {1}});
    int32_t id = AddPending(",A" + std::to_string(a) + ",A" + std::to_string(b) + ",0733333333",
                            "Hi <<FIRSTNAME>> <<SURNAME>>!");
    worker_->SendQueuedSMSs(id);

    EXPECT_TRUE(sandbox_.Received("startbatch").empty());
    std::map<std::string, std::string> texts;
    for (const ReceivedRequest& r : sandbox_.Received("sendmsg"))
        texts[r.Param("to")] = r.Param("text");
    const std::map<std::string, std::string> expected = {
        {"0711111111", "Hi Ann !"},
        {"0722222222", "Hi Bob Lee!"},
        {"0733333333", "Hi <<FIRSTNAME>> <<SURNAME>>!"}};  // no contact: as typed
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(Children(id).size(), 3u);
    EXPECT_NE(LogText().find("ComplexSMS sent ok: Mobile:0711111111 Msg:Hi Ann ! API_ID:ID: "), std::string::npos);

    // A Unicode message is personalised before it is encoded: "Hi Ann" as UCS-2 big-endian hex.
    AddPending(",A" + std::to_string(a), "Hi <<FIRSTNAME>>", 2);
    worker_->SendQueuedSMSs(-1);
    const ReceivedRequest unicode = sandbox_.Received("sendmsg").back();
    EXPECT_EQ(unicode.Param("unicode"), "1");
    EXPECT_EQ(unicode.Param("text"), "0048006900200041006E006E");
}

TEST_F(EndToEnd, FlashMessageIsNeverBatched) {
    int32_t id = AddPending(",0712345678,0712345679", "Flash!", 1);
    worker_->SendQueuedSMSs(id);
    EXPECT_TRUE(sandbox_.Received("startbatch").empty());
    EXPECT_EQ(NumbersSent("sendmsg", "msg_type"), (std::vector<std::string>{"1", "1"}));
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Expanded));
    EXPECT_EQ(Children(id).size(), 2u);
}

TEST_F(EndToEnd, ServerScheduledMessageWaitsInState7AndIsCancelled) {
    // Due in one day and an hour, handed to the gateway one day ahead.
    const int32_t due = static_cast<int32_t>(now_ + 86400 + 3600);
    int32_t id = store_->Outbox().AddSms(6, due, 0, 0, "0712345678", "Later", "", 86400, "?");
    worker_->PromoteDueMessages();
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::DelayScheduled));

    Advance(3600);
    worker_->PromoteDueMessages();
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Pending));
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::ScheduledOnServer));
    EXPECT_EQ(NumbersSent("sendmsg", "delivery_time"), std::vector<std::string>{"1440"});  // minutes ahead

    Advance(60);
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(Polling(Row(id)), std::make_tuple(StatusCode(MessageStatus::ScheduledOnServer), 300, now_ + 300));

    sink_.Clear();
    worker_->RunRequest(WorkerRequest{RequestKind::DeleteList, -1, IdList{false, {id}}});
    EXPECT_EQ(store_->Outbox().SmsRowCount(), 0);
    EXPECT_TRUE(sink_.NotesOf(Note::CancellationsRefused).empty());
    EXPECT_TRUE(sink_.NotesOf(Note::CancelListFinished).empty());
    ASSERT_EQ(sandbox_.Received("delmsg").size(), 1u);
    EXPECT_NE(LogText().find("SMS delete from server ok: API_ID:"), std::string::npos);
}

TEST_F(EndToEnd, RefusedCancellationsAreCountedAndQueried) {
    const int32_t due = static_cast<int32_t>(now_ + 2 * 86400);
    int32_t later = store_->Outbox().AddSms(0, due, 0, 0, "0712345601", "Later", "", 86400, "?");
    int32_t now1 = AddPending("0712345602", "Now one");
    int32_t now2 = AddPending("0712345603", "Now two");
    int32_t never = AddPending("0712345604", "Never sent");
    for (int32_t id : {later, now1, now2})
        worker_->SendQueuedSMSs(id);
    ASSERT_EQ(Row(later).Stat, StatusCode(MessageStatus::ScheduledOnServer));
    // A message the gateway never saw has nothing to withdraw: success, nothing deleted here.
    store_->Outbox().SetSmsStatus(never, StatusCode(MessageStatus::Failed));

    sink_.Clear();
    worker_->RunRequest(WorkerRequest{RequestKind::DeleteList, -1, IdList{true, {later, now1, never, now2}}});
    std::vector<int32_t> left;
    for (const SmsRecord& r : store_->Outbox().LoadAllSms())
        left.push_back(r.ID);
    EXPECT_EQ(left, (std::vector<int32_t>{now1, now2, never}));
    std::vector<Noted> errors;
    for (const Noted& n : sink_.Notes())
        if (n.what == Note::CancellationsRefused || n.what == Note::CancelListFinished)
            errors.push_back(n);
    ASSERT_EQ(errors.size(), 2u);
    EXPECT_EQ(std::make_pair(errors[0].what, errors[0].first), std::make_pair(Note::CancellationsRefused, int64_t{2}));
    EXPECT_EQ(errors[1].what, Note::CancelListFinished);
    // Both refused messages were asked for their state afterwards.
    EXPECT_EQ(sandbox_.Received("getmsgcharge").size(), 2u);
    EXPECT_TRUE(Row(now1).Charge != "?" && Row(now2).Charge != "?");
}

TEST_F(EndToEnd, PollingFollowsTheFallingIntervalsThenStops) {
    // ...9997 stays at 003 (delivered to gateway) for ever, so every poll is answered.
    int32_t id = AddPending("0712349997", "Stuck");
    worker_->SendQueuedSMSs(-1);
    const int64_t t = now_;
    const int expected[] = {60, 360, 2160, 4860, 8460};
    size_t polls = 0;
    for (int at : expected) {
        Advance(static_cast<int>(t + at - 1 - now_));
        worker_->QueryMessageStatus(-1);
        EXPECT_EQ(sandbox_.Received("getmsgcharge").size(), polls) << "polled early, before t+" << at;
        Advance(1);
        worker_->QueryMessageStatus(-1);
        EXPECT_EQ(sandbox_.Received("getmsgcharge").size(), ++polls) << "not polled at t+" << at;
    }
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::DeliveredToGateway));
    EXPECT_EQ(Row(id).QueryTime, 0);  // run down
    Advance(100000);
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(sandbox_.Received("getmsgcharge").size(), polls);

    // A query by ID asks whatever the schedule holds (run down included) and leaves it alone.
    const SmsRecord before = Row(id);
    const struct {
        int32_t queryTime, statQryTm;
    } schedules[] = {{0, before.StatQryTm}, {300, before.StatQryTm + 999999}};
    for (const auto& schedule : schedules) {
        store_->Outbox().SetSmsQuerySchedule(id, schedule.queryTime, schedule.statQryTm);
        worker_->RunRequest(WorkerRequest{RequestKind::QueryOne, id, {}});
        EXPECT_EQ(sandbox_.Received("getmsgcharge").size(), ++polls) << "QueryTime " << schedule.queryTime;
        EXPECT_EQ(std::make_pair(Row(id).QueryTime, Row(id).StatQryTm),
                  std::make_pair(schedule.queryTime, schedule.statQryTm));
    }
    // The timer's poll still leaves a run-down row alone.
    store_->Outbox().SetSmsQuerySchedule(id, 0, 0);
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(sandbox_.Received("getmsgcharge").size(), polls);
}

TEST_F(EndToEnd, RowWithSeveralIdentifiersIsSplitOnItsFirstAnsweredPoll) {
    int32_t a = AddPending("0712345601", "One");
    int32_t b = AddPending("0712345602", "Two");
    int32_t c = AddPending("0712345603", "Three");
    worker_->SendQueuedSMSs(-1);
    // Gather the three identifiers on one row, the second with its number appended.
    const std::string ids = Row(a).ApiMsgID + Row(b).ApiMsgID + "|0712345602" + Row(c).ApiMsgID;
    store_->Outbox().SetSmsApiMsgID(a, ids);
    store_->Outbox().DeleteSms(b);
    store_->Outbox().DeleteSms(c);
    Advance(60);
    worker_->QueryMessageStatus(-1);

    std::vector<SmsRecord> rows = store_->Outbox().LoadAllSms();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].ID, a);
    EXPECT_EQ(rows[0].ApiMsgID.size(), 37u) << rows[0].ApiMsgID;
    std::string joined;
    for (const SmsRecord& r : rows) {
        EXPECT_EQ(SplitApiMsgID(r.ApiMsgID).size(), 1u);
        EXPECT_EQ(r.QueryTime, 300) << "a split-off row keeps being polled";
        joined += r.ApiMsgID;
    }
    EXPECT_NE(joined.find("|0712345602"), std::string::npos);
}

TEST_F(LegacyEndToEnd, DeadGatewayFailsTheMessageAndShowsTheBoxWithoutStoppingTheWorker) {
    ASSERT_TRUE(sandbox_.InjectFault("drop", 1, 0, "sendmsg"));
    int32_t id = AddPending("0712345678", "Dropped");
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Failed));
    EXPECT_EQ(sink_.failureBoxes.load(), 1);
    EXPECT_NE(LogText().find("SMS failed: Error:"), std::string::npos);

    // Garbage to a status query leaves the row as it was; the next pass goes on.
    int32_t next = AddPending("0712345679", "Next");
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(next).Stat, StatusCode(MessageStatus::Unknown));
    ASSERT_TRUE(sandbox_.InjectFault("garbage", 1, 0, "getmsgcharge"));
    Advance(60);
    worker_->QueryMessageStatus(-1);
    EXPECT_EQ(Polling(Row(next)), std::make_tuple(StatusCode(MessageStatus::Unknown), 300, now_ + 300));
    EXPECT_EQ(Row(next).Charge, "?");
}

}  // namespace
}  // namespace quillon::test
