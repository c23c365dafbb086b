// Shared by the worker and engine tests: a sink recording what the worker tells the interface, and a
// fixture with a fresh store, the loopback sandbox gateway, a session and a worker on the test's clock.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ctime>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/TestSeams.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/MessageSink.h"
#include "gateway/Session.h"
#include "store/MessageStore.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"
#include "support/Waits.h"

namespace quillon::test {

// One notification the worker gave, with its arguments in order (a phase as its enum value).
enum class Note {
    CycleBegan,
    CycleEnded,
    PhaseBegan,
    Progress,
    BalanceChanged,
    WentOffLine,
    CancellationsRefused,
    GoOffLine,
    CancelListFinished,
    WorkerStopped
};

struct Noted {
    Note what;
    int64_t first;
    int64_t second;
    bool afterStop;  // the worker had been asked to stop when this was given
};

class RecordingSink : public MessageSink {
public:
    void CycleBegan() override { Record(Note::CycleBegan); }
    void CycleEnded() override { Record(Note::CycleEnded); }
    void PhaseBegan(WorkerPhase phase) override { Record(Note::PhaseBegan, static_cast<int64_t>(phase)); }
    void Progress(int itemsLeft, int recipientsLeft) override { Record(Note::Progress, itemsLeft, recipientsLeft); }
    void BalanceChanged() override { Record(Note::BalanceChanged); }
    void WentOffLine() override { Record(Note::WentOffLine); }
    void CancellationsRefused(int count) override { Record(Note::CancellationsRefused, count); }
    void GoOffLine() override { Record(Note::GoOffLine); }
    void CancelListFinished() override { Record(Note::CancelListFinished); }
    void WorkerStopped(StopWindow window) override { Record(Note::WorkerStopped, static_cast<int64_t>(window)); }
    void OutboxChanged(int32_t mode) override {
        std::lock_guard<std::mutex> guard(lock_);
        refreshes_.push_back(mode);
    }
    void ShowCommunicationFailure() override { ++failureBoxes; }

    std::vector<Noted> Notes() const {
        std::lock_guard<std::mutex> guard(lock_);
        return notes_;
    }
    std::vector<Noted> NotesOf(Note what, int64_t first = -1) const {
        std::vector<Noted> out;
        for (const Noted& n : Notes())
            if (n.what == what && (first < 0 || n.first == first))
                out.push_back(n);
        return out;
    }
    std::vector<Noted> PhasesOf(WorkerPhase phase) const {
        return NotesOf(Note::PhaseBegan, static_cast<int64_t>(phase));
    }
    std::vector<int32_t> Refreshes() const {
        std::lock_guard<std::mutex> guard(lock_);
        return refreshes_;
    }
    void Clear() {
        std::lock_guard<std::mutex> guard(lock_);
        notes_.clear();
        refreshes_.clear();
        failureBoxes = 0;
    }

    std::atomic<int> failureBoxes{0};
    std::atomic<CommsWorker*> worker{nullptr};  // when set, notes record whether it was stopping

private:
    void Record(Note what, int64_t first = 0, int64_t second = 0) {
        CommsWorker* w = worker.load();
        const bool afterStop = w && w->StopRequested();
        std::lock_guard<std::mutex> guard(lock_);
        notes_.push_back({what, first, second, afterStop});
    }

    mutable std::mutex lock_;
    std::vector<Noted> notes_;
    std::vector<int32_t> refreshes_;
};

class WorkerFixture : public ::testing::Test {
protected:
    // Sessions outlive the tests' clock jumps; a message is queued at 100 s, sent at 200 s, delivered at 400 s.
    virtual std::vector<std::string> SandboxArgs() const {
        return {"--session-idle", "100000000", "--timeline", "100,200,400"};
    }

    void SetUp() override {
        saved_ = Settings();
        store_ = std::make_unique<MessageStore>(dir_.Path());
        ASSERT_TRUE(store_->IsOpen());
        log_ = std::make_unique<AppLog>(dir_.File("SMS.log"));
        SetTheLog(log_.get());
        Settings().WriteLog = true;
        ASSERT_TRUE(sandbox_.Start(SandboxArgs())) << sandbox_.LastError();
        ASSERT_TRUE(sandbox_.SetCredit("demo", 100000));
        Settings().COMBaseURL = sandbox_.BaseUrl();
        Settings().client_id = "QLNX";
        Settings().Login = "demo";
        Settings().Password = "demo";
        Settings().prefix.clear();
        TestSeams::ResetGatewayInstance();
        ASSERT_TRUE(GatewayApi::IsAvailable()) << "the gateway component could not be created";
        SetOnLine(true);
        ASSERT_TRUE(LogInToGateway("demo", "demo"));
        now_ = static_cast<int64_t>(std::time(nullptr));
        worker_ = MakeWorker(QuickOptions());
    }

    // The test's clock; cycles only when a test asks; no pauses.
    WorkerOptions QuickOptions() {
        WorkerOptions options;
        options.clock = [this] { return now_.load(); };
        options.cycleLength = std::chrono::milliseconds(3600000);
        options.startPause = std::chrono::milliseconds(0);
        options.postPause = std::chrono::milliseconds(0);
        return options;
    }

    // A worker over the fixture's store and the process-wide gateway binding.
    std::unique_ptr<CommsWorker> MakeWorker(WorkerOptions options) {
        return std::make_unique<CommsWorker>(store_.get(), GatewayApi::Instance(), &sink_, std::move(options));
    }

    void TearDown() override {
        if (worker_) {
            worker_->RequestStop();
            worker_->WaitForExit();
            worker_.reset();
        }
        // The component's open connections go first, so the sandbox stops at once.
        TestSeams::ResetGatewayInstance();
        sandbox_.Stop();
        SetOnLine(false);
        SetTheLog(nullptr);
        store_.reset();
        log_.reset();
        Settings() = saved_;
    }

    // Moves the worker's clock and the sandbox's clock forward together.
    void Advance(int seconds) {
        now_ += seconds;
        ASSERT_TRUE(sandbox_.AdvanceClock(seconds));
    }

    SmsRecord Row(int32_t id) {
        SmsRecord r;
        EXPECT_TRUE(store_->Outbox().GetSms(id, r)) << "no row " << id;
        return r;
    }

    int32_t AddPending(const std::string& to, const std::string& text, int32_t type = 0) {
        return store_->Outbox().AddSms(0, static_cast<int32_t>(now_.load()), type, 0, to, text, "", 0, "?");
    }

    // Children of a row (same RefID, other ID), in ID order.
    std::vector<SmsRecord> Children(int32_t parent) {
        std::vector<SmsRecord> out;
        for (const SmsRecord& r : store_->Outbox().LoadAllSms())
            if (r.RefID == parent && r.ID != parent)
                out.push_back(r);
        return out;
    }

    std::vector<std::string> NumbersSent(const std::string& endpoint, const std::string& param = "to") {
        std::vector<std::string> out;
        for (const ReceivedRequest& r : sandbox_.Received(endpoint))
            out.push_back(r.Param(param));
        return out;
    }

    std::string LogText() { return ReadFile(dir_.File("SMS.log")); }

    GatewayTimeout timeout_;
    TempDir dir_;
    AppSettings saved_;
    std::unique_ptr<MessageStore> store_;
    std::unique_ptr<AppLog> log_;
    SandboxProcess sandbox_;
    RecordingSink sink_;
    std::atomic<int64_t> now_{0};
    std::unique_ptr<CommsWorker> worker_;
};

// The same against a gateway that knows nothing of client references: the engines keep their
// one-commit-per-message way and fail what they cannot safely send again.
class LegacyGatewayFixture : public WorkerFixture {
protected:
    std::vector<std::string> SandboxArgs() const override {
        std::vector<std::string> args = WorkerFixture::SandboxArgs();
        args.insert(args.end(), {"--references", "0"});
        return args;
    }
};

}  // namespace quillon::test
