// Sending under client references against the sandbox: whatever happens to a reply, a message goes
// out once and ends with its identifier; a hard-killed sender that is started again sends nothing
// twice.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fcntl.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <random>
#include <set>
#include <sstream>

#include "WorkerTestSupport.h"
#include "core/CrashReport.h"

extern char** environ;

namespace quillon::test {
namespace {

class ExactlyOnce : public WorkerFixture {
protected:
    void SetUp() override {
        WorkerFixture::SetUp();
        WorkerOptions options = QuickOptions();
        options.retryPause = std::chrono::milliseconds(5);
        worker_ = MakeWorker(options);
    }
    size_t MessagesAtGateway() { return sandbox_.Listing("messages").size(); }
};

TEST_F(ExactlyOnce, UnknownOutcomesGoAgainUnderTheSameReference) {
    struct Case {
        const char* kind;
        int value;
        const char* timeoutMs;  // the client's limit for the case
    };
    const Case cases[] = {{"lost", 0, "10000"},
                          {"late", 1500, "400"},
                          {"status", 500, "10000"},
                          {"drop", 0, "10000"},
                          {"garbage", 0, "10000"}};
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        setenv("QUILLON_GATEWAY_TIMEOUT_MS", c.timeoutMs, 1);
        const size_t before = MessagesAtGateway();
        const int32_t single = AddPending("07110000" + std::to_string(10 + n++), "One");
        ASSERT_TRUE(sandbox_.InjectFault(c.kind, 1, c.value, "sendmsg"));
        worker_->SendQueuedSMSs(single);
        EXPECT_EQ(Row(single).Stat, StatusCode(MessageStatus::Unknown));
        EXPECT_EQ(Row(single).ApiMsgID.substr(0, 5), ",ID: ");

        const int32_t batch = AddPending(",07120000" + std::to_string(10 + n) + ",07130000" + std::to_string(10 + n) +
                                             ",0714 000 0" + std::to_string(10 + n),
                                         "Three");
        ++n;
        ASSERT_TRUE(sandbox_.InjectFault(c.kind, 1, c.value, "quicksend"));
        worker_->SendQueuedSMSs(batch);
        EXPECT_EQ(Row(batch).Stat, StatusCode(MessageStatus::Expanded));
        const std::vector<SmsRecord> children = Children(batch);
        EXPECT_EQ(children.size(), 3u);
        for (const SmsRecord& child : children)
            EXPECT_EQ(child.Stat, StatusCode(MessageStatus::Unknown)) << child.To;
        EXPECT_EQ(MessagesAtGateway(), before + 4) << "each recipient sent exactly once";
    }
    setenv("QUILLON_GATEWAY_TIMEOUT_MS", "10000", 1);
    EXPECT_EQ(sink_.failureBoxes.load(), 0);

    // A gateway silent for every attempt of a pass: the message waits (Pending, not Failed), the
    // older one is not tried in that pass, and the next pass sends each once.
    const int32_t older = AddPending("0715000001", "Older");
    const int32_t newer = AddPending("0715000002", "Newer");
    const size_t before = MessagesAtGateway();
    const size_t tried = sandbox_.Received("sendmsg").size();
    ASSERT_TRUE(sandbox_.InjectFault("lost", 3, 0, "sendmsg"));
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(newer).Stat, StatusCode(MessageStatus::Pending));
    EXPECT_EQ(Row(older).Stat, StatusCode(MessageStatus::Pending));
    EXPECT_EQ(sandbox_.Received("sendmsg").size(), tried + 3);
    EXPECT_EQ(sink_.failureBoxes.load(), 1);
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(newer).Stat, StatusCode(MessageStatus::Unknown));
    EXPECT_EQ(Row(older).Stat, StatusCode(MessageStatus::Unknown));
    EXPECT_EQ(MessagesAtGateway(), before + 2);
}

TEST_F(ExactlyOnce, RowLeftInProcessingGoesAgainUnderItsReference) {
    // The earlier run sent it and was killed before it wrote the result.
    const int32_t id = store_->Outbox().AddSms(StatusCode(MessageStatus::Processing), static_cast<int32_t>(now_), 0, 0,
                                               "0716000001", "In flight", "", 0, "?");
    std::string first;
    {
        GatewayHandle gateway = GatewayApi::Instance();
        auto guard = gateway->Guard();
        ASSERT_TRUE(gateway->HonoursReferences());
        gateway->Put_smsCLIENT_REF(EnsureInstallationId() + "-" + std::to_string(id) + "-0");
        ASSERT_GE(gateway->SendMsg(true, "In flight", "0716000001", first), 0);
    }
    worker_.reset();
    store_.reset();
    store_ = std::make_unique<MessageStore>(dir_.Path());
    worker_ = MakeWorker(QuickOptions());
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Processing));
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(id).Stat, StatusCode(MessageStatus::Unknown));
    EXPECT_EQ(Row(id).ApiMsgID, ("," + first).substr(0, 37));
    EXPECT_EQ(MessagesAtGateway(), 1u);
    EXPECT_NE(LogText().find("goes again under its client reference"), std::string::npos);
}

// Results are written on a thread of their own beside the sending. A fault there rolls its group
// back and ends the pass; the message already sent stays Processing and, at the next start, goes
// again under its reference, which the gateway answers without sending it twice.
TEST_F(ExactlyOnce, AFaultWhileAGroupIsWrittenLosesNothingAndSendsNothingTwice) {
    const int32_t older = AddPending("0717000001", "Older");
    const int32_t newer = AddPending("0717000002", "Newer");
    TestSeams::InjectWriteFault(worker_->Sender(), InjectedFault::BadAccess);
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(newer).Stat, StatusCode(MessageStatus::Processing));
    EXPECT_EQ(Row(older).Stat, StatusCode(MessageStatus::Pending)) << "its claim was rolled back with the group";
    const std::string log = LogText();
    EXPECT_NE(log.find("ExceptionRecord: ExCode=b"), std::string::npos);
    EXPECT_NE(log.find("CRITICAL ERROR: Catch in SendQueuedSMSs while writing results. Exception b occurred"),
              std::string::npos);

    worker_.reset();
    store_.reset();
    store_ = std::make_unique<MessageStore>(dir_.Path());
    worker_ = MakeWorker(QuickOptions());
    worker_->SendQueuedSMSs(-1);
    EXPECT_EQ(Row(newer).Stat, StatusCode(MessageStatus::Unknown));
    EXPECT_EQ(Row(older).Stat, StatusCode(MessageStatus::Unknown));
    EXPECT_EQ(MessagesAtGateway(), 2u);
}

// A separate sender (quillon-cli worker) is killed hard at random moments and started again while
// the sandbox loses some replies after handling their requests. At the end every message is
// Delivered, and the gateway sent and charged each reference once. QUILLON_KILL_TEST_KILLS sets
// the number of kills (scripts/kill-test.sh runs a long one).
class KillTest : public WorkerFixture {
protected:
    std::vector<std::string> SandboxArgs() const override {
        return {"--session-idle", "100000000", "--timeline", "0,0,0"};
    }

    pid_t StartSender() {
        std::vector<std::string> args = {QUILLON_CLI_EXE, "--data-dir", dir_.Path(), "worker",           "--until-idle",
                                         "--interval",    "0",          "--url",     sandbox_.BaseUrl(), "--user",
                                         "demo",          "--password", "demo"};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        pid_t pid = -1;
        if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
            pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        return pid;
    }
};

TEST_F(KillTest, HardKilledSenderSendsEveryMessageExactlyOnce) {
    const char* killsText = std::getenv("QUILLON_KILL_TEST_KILLS");
    const int kills = killsText && std::atoi(killsText) > 0 ? std::atoi(killsText) : 20;
    for (int i = 0; i < 200; ++i)
        AddPending("0717" + std::to_string(100000 + i), "Single");
    for (int b = 0; b < 2; ++b) {
        std::string to;
        for (int i = 0; i < 100; ++i)
            to += ",0718" + std::to_string(b) + std::to_string(10000 + i);
        AddPending(to, "Batch");
    }
    // Each submission is held back a little, so that the work spreads over the runs and the kills
    // land in the middle of it.
    const std::string hold = std::to_string(std::max(1, kills * 6 / 10));
    for (const char* endpoint : {"sendmsg", "quicksend"}) {
        bool ok = false;
        sandbox_.Control("fault", {{"kind", "lost"}, {"count", "1000000"}, {"percent", "5"}, {"endpoint", endpoint}},
                         &ok);
        ASSERT_TRUE(ok);
        sandbox_.Control("fault", {{"kind", "delay"}, {"count", "1000000"}, {"value", hold}, {"endpoint", endpoint}},
                         &ok);
        ASSERT_TRUE(ok);
    }
    // The senders must be the only store on the data directory, or they would leave its
    // interrupted rows alone.
    worker_.reset();
    store_.reset();

    std::mt19937 random(std::random_device{}());
    int hardKills = 0;
    for (int k = 0; k < kills; ++k) {
        const pid_t pid = StartSender();
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(30 + random() % 250));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        hardKills += WIFSIGNALED(status);
    }
    // The last run finishes the outbox.
    const pid_t last = StartSender();
    ASSERT_GT(last, 0);
    int status = 0;
    const bool ended = WaitUntil([&] { return waitpid(last, &status, WNOHANG) == last; }, 120000);
    if (!ended) {
        kill(last, SIGKILL);
        waitpid(last, &status, 0);
    }
    ASSERT_TRUE(ended);
    EXPECT_GT(hardKills, 0);

    // Poll every row to its end state (the timeline delivers at once).
    store_ = std::make_unique<MessageStore>(dir_.Path());
    worker_ = MakeWorker(QuickOptions());
    Advance(600);  // past every first poll the senders scheduled by the real clock
    worker_->QueryMessageStatus(-1);

    std::set<std::string> ids;
    int delivered = 0, parents = 0;
    for (const SmsRecord& r : store_->Outbox().LoadAllSms()) {
        if (r.Stat == StatusCode(MessageStatus::Expanded)) {
            ++parents;
            continue;
        }
        EXPECT_EQ(r.Stat, StatusCode(MessageStatus::Delivered)) << r.ID << " " << r.To;
        delivered += r.Stat == StatusCode(MessageStatus::Delivered);
        ids.insert(r.ApiMsgID.substr(5, 32));
    }
    EXPECT_EQ(parents, 2);
    EXPECT_EQ(delivered, 400);
    EXPECT_EQ(ids.size(), 400u) << "two rows share a gateway message";

    const std::vector<std::string> references = sandbox_.Listing("references");
    const std::vector<std::string> messages = sandbox_.Listing("messages");
    EXPECT_EQ(references.size(), 400u);
    EXPECT_EQ(messages.size(), 400u) << "sent and charged once per reference";
    int repeats = 0;
    for (const std::string& line : references) {
        std::istringstream words(line);
        std::string user, ref, result, label;
        int count = 0;
        words >> user >> ref >> result >> label >> count;
        EXPECT_EQ(ids.count(result), 1u) << line;
        repeats += count;
    }
    std::cout << "kills: " << hardKills << " of " << kills << ", repeats answered from memory: " << repeats
              << std::endl;
}

}  // namespace
}  // namespace quillon::test
