// The comms worker: its thread and inbox, the cycle, promotion of due messages, the keep-alive,
// requests while off line, the stop handshake, a fault inside a send pass and a hard kill mid-pass.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <future>
#include <set>

#ifdef __SANITIZE_ADDRESS__
#include <sanitizer/lsan_interface.h>
#endif

#include "core/CrashReport.h"
#include "core/TestSeams.h"
#include "gateway/SendEngine.h"
#include "gateway/WorkerTestSupport.h"

namespace quillon::test {
namespace {

using Worker = WorkerFixture;
using LegacyWorker = LegacyGatewayFixture;

// Stops the pass at a known point: at the first progress post the worker waits until the test holds
// the gateway, so a stop requested then is seen after exactly one more send.
class HoldAtFirstProgress : public RecordingSink {
public:
    void Progress(int itemsLeft, int recipientsLeft) override {
        RecordingSink::Progress(itemsLeft, recipientsLeft);
        if (!reached.exchange(true))
            WaitUntil([this] { return held.load(); });
    }
    std::atomic<bool> reached{false};
    std::atomic<bool> held{false};
};

// Starts the worker and asks it to stop while it is held as above.
void StopAtFirstProgress(CommsWorker& worker, HoldAtFirstProgress& sink, StopWindow window = 0) {
    ASSERT_TRUE(worker.Start());
    ASSERT_TRUE(WaitUntil([&] { return sink.reached.load(); }));
    auto guard = GatewayApi::Instance()->Guard();
    sink.held = true;
    worker.RequestStop(window);  // waits for the progress post to return
}

bool LockIsFreeForAnotherThread(std::recursive_mutex& mutex) {
    auto probe = [&mutex] {
        const bool free = mutex.try_lock();
        if (free)
            mutex.unlock();
        return free;
    };
    return std::async(std::launch::async, probe).get();
}

TEST_F(Worker, RequestsAreDroppedWhileOffLine) {
    SetOnLine(false);
    worker_->PostSendOne(-1);
    worker_->PostSendList(IdList{true, {1, 2}});
    worker_->PostQueryOne(1);
    worker_->PostQueryList(IdList{false, {1}});
    worker_->PostDeleteList(IdList{false, {1}});
    EXPECT_EQ(worker_->QueuedRequests(), 0u);

    Settings().sender_id = "Quillon";
    const SmsRecord row = Row(worker_->StoreAndSend(0, 0, 0, 0, "0712345678", "Stored only", 0));
    EXPECT_EQ(row.Stat, 0);
    EXPECT_EQ(row.SenderID, "Quillon");
    EXPECT_EQ(row.Charge, "?");
    EXPECT_EQ(worker_->QueuedRequests(), 0u);

    // The same while on line: every request waits in the inbox (no thread runs yet).
    SetOnLine(true);
    worker_->PostSendOne(-1);
    worker_->PostQueryOne(1);
    worker_->StoreAndSend(0, 0, 0, 0, "0712345678", "Queued", 0);
    worker_->StoreAndSend(4, 0, 0, 0, "0712345678", "Scheduled: not queued", 0);
    EXPECT_EQ(worker_->QueuedRequests(), 3u);
    EXPECT_TRUE(sandbox_.Received("sendmsg").empty());
}

TEST_F(Worker, StartSendsWhatIsPendingAndRequestsRunInArrivalOrder) {
    int32_t first = AddPending("0712345601", "Sent before");
    worker_->SendQueuedSMSs(first);
    int32_t second = AddPending("0712345602", "Second");
    int32_t third = AddPending("0712345603", "Third");
    int32_t fourth = AddPending("0712345604", "By the start");
    // Queued before the thread exists, so they run in one turn, in this order.
    worker_->PostQueryOne(first);
    worker_->PostSendList(IdList{true, {third, second}});
    ASSERT_TRUE(worker_->Start());
    ASSERT_TRUE(WaitUntil([&] { return Row(fourth).Stat == StatusCode(MessageStatus::Unknown); }));
    worker_->RequestStop();
    ASSERT_TRUE(worker_->WaitForExit());

    std::vector<std::string> order;
    for (const ReceivedRequest& r : sandbox_.Received())
        if (r.endpoint == "getmsgcharge" || r.endpoint == "sendmsg")
            order.push_back(r.endpoint == "sendmsg" ? r.Param("to") : "query");
    EXPECT_EQ(order, (std::vector<std::string>{"0712345601", "query", "0712345603", "0712345602", "0712345604"}));
    EXPECT_EQ(sink_.NotesOf(Note::GoOffLine).size(), 1u);
    EXPECT_FALSE(sink_.NotesOf(Note::CycleBegan).empty());
}

TEST_F(Worker, TimerCyclesPromoteSendPollAndCheckTheSessionEveryFourth) {
    WorkerOptions options = QuickOptions();
    options.cycleLength = std::chrono::milliseconds(20);
    worker_ = MakeWorker(options);
    SetOnLine(false);  // Start queues nothing; the cycles do all the work
    int32_t scheduled =
        store_->Outbox().AddSms(4, static_cast<int32_t>(now_ - 1), 0, 0, "0712345678", "Due", "", 0, "?");
    int32_t future =
        store_->Outbox().AddSms(4, static_cast<int32_t>(now_ + 3600), 0, 0, "0712345679", "Later", "", 0, "?");
    ASSERT_TRUE(worker_->Start());
    SetOnLine(true);
    ASSERT_TRUE(WaitUntil([&] { return sandbox_.Received("ping").size() >= 2; }));
    worker_->RequestStop();
    ASSERT_TRUE(worker_->WaitForExit());

    EXPECT_EQ(Row(scheduled).Stat, StatusCode(MessageStatus::Unknown));
    EXPECT_EQ(Row(future).Stat, StatusCode(MessageStatus::Scheduled));
    const size_t cycles = sink_.PhasesOf(WorkerPhase::Promoting).size();
    const size_t pings = sandbox_.Received("ping").size();
    EXPECT_LE(pings * 4, cycles);  // at least eight cycles, as two pings were awaited
    EXPECT_LE(cycles, pings * 4 + 4);
    // Each cycle is bracketed by its begin and end.
    int depth = 0;
    for (const Noted& n : sink_.Notes()) {
        depth += n.what == Note::CycleBegan ? 1 : n.what == Note::CycleEnded ? -1 : 0;
        EXPECT_TRUE(depth == 0 || depth == 1) << depth;
    }
}

TEST_F(Worker, DueMessagesArePromotedOnlyByTheirRules) {
    constexpr int64_t kDay = 86400;
    // Status, time from now, repeat delay, status after promotion.
    const int64_t cases[][4] = {{4, 0, 0, 0},
                                {4, 1, 0, 4},
                                {6, 2 * kDay, 3 * kDay, 0},
                                {6, 4 * kDay, 3 * kDay, 6},
                                {6, 0, kDay * 3 / 2, 6},
                                {6, 0, 8 * kDay, 6},
                                {6, 7 * kDay, 7 * kDay, 0}};
    std::vector<int32_t> ids;
    for (const auto& c : cases)
        ids.push_back(store_->Outbox().AddSms(static_cast<int32_t>(c[0]), static_cast<int32_t>(now_ + c[1]), 0, 0,
                                              "0712345678", "x", "", static_cast<int32_t>(c[2]), "?"));
    worker_->PromoteDueMessages();
    for (size_t i = 0; i < ids.size(); ++i)
        EXPECT_EQ(Row(ids[i]).Stat, cases[i][3]) << "case " << i;
    EXPECT_EQ(sink_.PhasesOf(WorkerPhase::Promoting).size(), 1u);
}

TEST_F(Worker, LostSessionIsRenewedOrTheProgramGoesOffLine) {
    worker_->KeepAlive();
    EXPECT_EQ(sandbox_.Received("ping").size(), 1u);
    EXPECT_EQ(sandbox_.Received("auth").size(), 1u);  // the fixture's login only

    ASSERT_TRUE(sandbox_.Reset());  // every session is gone
    worker_->KeepAlive();
    EXPECT_EQ(sandbox_.Received("auth").size(), 1u);  // logged in again
    EXPECT_TRUE(IsOnLine());

    ASSERT_TRUE(sandbox_.Reset());
    Settings().Password = "not-any-more";
    worker_->KeepAlive();
    EXPECT_FALSE(IsOnLine());
    EXPECT_EQ(sink_.NotesOf(Note::GoOffLine).size(), 1u);
    EXPECT_EQ(sink_.NotesOf(Note::WentOffLine).size(), 1u);

    // Off line the keep-alive asks nothing.
    size_t before = sandbox_.Received().size();
    worker_->KeepAlive();
    EXPECT_EQ(sandbox_.Received().size(), before);
}

TEST_F(Worker, StopEndsThePassAtTheNextMessageAndPostsQuitOnce) {
    for (int i = 0; i < 40; ++i)
        AddPending("07123456" + std::to_string(10 + i), "Many");
    HoldAtFirstProgress sink;
    CommsWorker worker(store_.get(), GatewayApi::Instance(), &sink, QuickOptions());
    sink.worker = &worker;
    StopAtFirstProgress(worker, sink, 77);
    ASSERT_TRUE(worker.WaitForExit());
    EXPECT_FALSE(worker.IsRunning());

    std::vector<Noted> after;
    for (const Noted& n : sink.Notes())
        if (n.afterStop)
            after.push_back(n);
    ASSERT_EQ(after.size(), 1u) << "only the stop report follows the stop request";
    EXPECT_EQ(after[0].what, Note::WorkerStopped);
    EXPECT_EQ(after[0].first, 77);

    int sent = 0, pending = 0;
    for (const SmsRecord& r : store_->Outbox().LoadAllSms()) {  // none left in Processing
        sent += r.Stat == StatusCode(MessageStatus::Unknown);
        pending += r.Stat == StatusCode(MessageStatus::Pending);
    }
    EXPECT_GT(pending, 0);
    EXPECT_EQ(sent + pending, 40);
    EXPECT_EQ(static_cast<size_t>(sent), sandbox_.Received("sendmsg").size());

    // A worker that is told to stop while it waits ends at once, also without a stop window.
    SetOnLine(false);
    RecordingSink quiet;
    CommsWorker idle(store_.get(), GatewayApi::Instance(), &quiet, WorkerOptions{});
    ASSERT_TRUE(idle.Start());
    EXPECT_TRUE(idle.WaitForExit());
    EXPECT_TRUE(quiet.NotesOf(Note::WorkerStopped).empty());
}

TEST_F(Worker, StopBetweenBatchChunksLeavesTheRestPendingForALaterPass) {
    std::string to;
    for (int i = 0; i < 100; ++i)
        to += "," + std::to_string(44700000000LL + i);
    int32_t id = AddPending(to, "Stopped batch");
    HoldAtFirstProgress sink;
    CommsWorker worker(store_.get(), GatewayApi::Instance(), &sink, QuickOptions());
    StopAtFirstProgress(worker, sink);
    ASSERT_TRUE(worker.WaitForExit());

    const size_t chunksSent = sandbox_.Received("quicksend").size();
    ASSERT_EQ(chunksSent, 1u);
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Expanded));
    auto children = Children(id);
    ASSERT_EQ(children.size(), 100u);
    for (size_t i = 0; i < children.size(); ++i) {
        const bool sent = i < chunksSent * 43;
        EXPECT_EQ(children[i].Stat, StatusCode(sent ? MessageStatus::Unknown : MessageStatus::Pending)) << i;
        EXPECT_EQ(children[i].To, std::to_string(44700000000LL + i));
    }
    EXPECT_EQ(sandbox_.Received("endbatch").size(), 1u);
}

TEST_F(Worker, FaultInSendPassIsReportedAndTheWorkerCarriesOn) {
    struct Case {
        InjectedFault kind;
        const char* code;
    };
    for (Case c : {Case{InjectedFault::BadAccess, "b"}, Case{InjectedFault::DivideByZero, "8"},
                   Case{InjectedFault::CxxException, "0"}}) {
        SCOPED_TRACE(c.code);
        int32_t older = AddPending("0712345601", "Older");
        int32_t newer = AddPending("0712345602", "Newer");
        sink_.Clear();
        TestSeams::InjectFault(worker_->Sender(), c.kind);
        {
            // A trapped fault skips the pass's destructors, so what they owned stays allocated: not a leak.
#ifdef __SANITIZE_ADDRESS__
            __lsan::ScopedDisabler disabler;
            __lsan_ignore_object(GatewayApi::Instance().get());
#endif
            worker_->SendQueuedSMSs(-1);
        }

        // The newest message was in hand when the fault hit; the pass stopped there.
        EXPECT_EQ(Row(newer).Stat, StatusCode(MessageStatus::Processing));
        EXPECT_EQ(Row(older).Stat, StatusCode(MessageStatus::Pending));
        EXPECT_TRUE(LockIsFreeForAnotherThread(worker_->Lock()));
        EXPECT_TRUE(LockIsFreeForAnotherThread(store_->SmsLock()));
        const std::string log = LogText();
        EXPECT_NE(log.find(std::string("CRITICAL ERROR: Catch in SendQueuedSMSs. Exception ") + c.code + " occurred"),
                  std::string::npos);
        auto refreshes = sink_.Refreshes();
        EXPECT_NE(std::find(refreshes.begin(), refreshes.end(), kRefreshWholeOutbox), refreshes.end());

        worker_->SendQueuedSMSs(-1);
        EXPECT_EQ(Row(older).Stat, StatusCode(MessageStatus::Unknown));
        store_->Outbox().DeleteSms(older);
        store_->Outbox().DeleteSms(newer);
    }
    for (const char* line : {"ExceptionRecord: ExCode=b ExFlags=", "ExParams=2  ExParam(0)=1 ExParam(1)=10",
                             "ExceptionRecord: ExCode=8 ExFlags=", "Stacktrace, caller : 0x",
                             "Stacktrace, hInstance : 0x", "             Rbp = "})
        EXPECT_NE(LogText().find(line), std::string::npos) << line;
}

TEST_F(LegacyWorker, HardKillMidPassNeverSendsTwice) {
    constexpr int kMessages = 120;
    for (int i = 0; i < kMessages; ++i)
        AddPending("0712" + std::to_string(100000 + i), "Once only");
    ASSERT_TRUE(sandbox_.InjectFault("delay", 10000, 10, "sendmsg"));

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // A separate program in all but name: its own store connection, component and session.
        MessageStore store(dir_.Path());
        TestSeams::ResetGatewayInstance();
        if (!LogInToGateway("demo", "demo"))
            _exit(3);
        CommsWorker worker(&store, GatewayApi::Instance(), nullptr, WorkerOptions{});
        worker.SendQueuedSMSs(-1);
        _exit(0);
    }
    const bool midPass = WaitUntil([&] { return sandbox_.Received("sendmsg").size() >= 15; });
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(midPass);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the pass ended before the kill";

    // The restart fails the rows left in Processing (this gateway cannot tell if it sent them), sends the rest.
    worker_.reset();
    store_.reset();
    store_ = std::make_unique<MessageStore>(dir_.Path());
    worker_ = MakeWorker(QuickOptions());
    worker_->SendQueuedSMSs(-1);
    std::set<std::string> sent;
    for (const std::string& n : NumbersSent("sendmsg"))
        EXPECT_TRUE(sent.insert(n).second) << n << " went out twice";
    int failed = 0, unknown = 0;
    for (const SmsRecord& r : store_->Outbox().LoadAllSms()) {
        if (r.Stat == StatusCode(MessageStatus::Unknown)) {
            ++unknown;
            EXPECT_EQ(sent.count(r.To), 1u);
        } else {
            ++failed;
            EXPECT_EQ(r.Stat, StatusCode(MessageStatus::Failed));
        }
    }
    EXPECT_LE(failed, 1);
    EXPECT_EQ(failed == 1, LogText().find("does not take client references") != std::string::npos);
    EXPECT_EQ(unknown + failed, kMessages);
}

}  // namespace
}  // namespace quillon::test
