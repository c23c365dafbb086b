// quillon-cli send, worker, outbox query and outbox cancel against the sandbox gateway.
#include <gtest/gtest.h>

#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "core/DataDirLock.h"

#include "support/CliRunner.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"

namespace quillon::test {
namespace {

class WorkerCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sandbox_.Start({"--timeline", "1,2,3"})) << sandbox_.LastError(); }

    CliResult Run(std::vector<std::string> args) {
        if (args[0] != "outbox" || args[1] == "query" || args[1] == "cancel")
            args.insert(args.end(), {"--url", sandbox_.BaseUrl(), "--user", "demo", "--password", "demo"});
        return RunCli(dir_.Path(), args);
    }

    TempDir dir_;
    SandboxProcess sandbox_;
};

TEST_F(WorkerCli, SendFollowsTheMessageAndItsChildrenToTheirFinalStates) {
    // ...9993 ends in a delivery error.
    CliResult r = Run({"send", "--to", ",0712345678,0712349993", "--text", "Hello", "--poll", "1", "--timeout", "60"});
    ASSERT_EQ(r.rc, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("stored message 1\n", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("1\tExpanded (12)\t,0712345678,0712349993\tcharge ?\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("2\tDelivered (9)\t0712345678\tcharge 1.0\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("3\tError delivering message (15)\t0712349993\tcharge 1.0\n"), std::string::npos) << r.out;

    r = Run({"outbox", "query", "2", "99"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out, "2\tDelivered (9)\t0712345678\tcharge 1.0\n99\tno such message\n");

    // A delivered message can no longer be withdrawn: refused, queried, still there.
    r = Run({"outbox", "cancel", "2"});
    EXPECT_EQ(r.rc, 1);
    EXPECT_EQ(r.out.rfind("2\trefused by the gateway\n", 0), 0u) << r.out;
    EXPECT_NE(r.err.find("could not withdraw 1 message(s)"), std::string::npos);

    r = Run({"send", "--text", "no recipients"});
    EXPECT_EQ(r.rc, 2);
}

TEST_F(WorkerCli, WorkerServesTheOutboxUntilIdle) {
    ASSERT_EQ(Run({"outbox", "add", "--to", "0712345678", "--text", "one"}).rc, 0);
    ASSERT_EQ(Run({"outbox", "add", "--to", ",0712345679,0712345680", "--text", "two"}).rc, 0);
    CliResult r = Run({"worker", "--until-idle", "--interval", "0"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "cycle 1: 0 pending, 3 polled (0 due)\n");
    EXPECT_EQ(sandbox_.Received("sendmsg").size(), 1u);
    EXPECT_EQ(sandbox_.Received("quicksend").size(), 1u);

    r = Run({"worker", "--cycles", "2", "--interval", "0"});
    ASSERT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out, "cycle 1: 0 pending, 3 polled (0 due)\ncycle 2: 0 pending, 3 polled (0 due)\n");

    r = Run({"worker", "--password", "wrong", "--cycles", "1"});
    EXPECT_EQ(r.rc, 1);
}

TEST_F(WorkerCli, OnlyOneProgramSendsFromADataDirectory) {
    ASSERT_EQ(Run({"outbox", "add", "--to", "0712345678", "--text", "one"}).rc, 0);
    auto desktop = std::make_unique<DataDirLock>();
    ASSERT_TRUE(desktop->Acquire(dir_.Path(), "Quillon", "/nowhere"));
    const std::string held = "is in use by Quillon (process " + std::to_string(::getpid()) + ")";
    for (const char* sender : {"worker", "send"}) {
        std::vector<std::string> args = {sender, "--cycles", "1"};
        if (args[0] == "send")
            args = {"send", "--to", "0712345679", "--text", "two"};
        CliResult r = Run(args);
        EXPECT_EQ(r.rc, 1) << sender;
        EXPECT_NE(r.err.find(held), std::string::npos) << sender << ": " << r.err;
    }
    EXPECT_TRUE(sandbox_.Received("sendmsg").empty());
    // Commands that only read (or only add rows) work beside the running program.
    CliResult r = Run({"outbox", "dump"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(r.out.rfind("1\t", 0), 0u) << r.out;
    EXPECT_EQ(RunCli(dir_.Path(), {"groups", "list"}).rc, 0);

    // The lock goes with its holder; the file it leaves names a process that is gone.
    desktop.reset();
    r = Run({"worker", "--cycles", "1", "--interval", "0"});
    EXPECT_EQ(r.rc, 0) << r.err;
    EXPECT_EQ(sandbox_.Received("sendmsg").size(), 1u);
}

TEST(WorkerCliMessages, WorkerPrintsWhatTheDesktopWouldShowInABox) {
    // Sessions die after a second without use. The send is lost (error 99); by the fourth cycle the
    // session has died, and the new login takes the stored account (none here), so the run goes off line.
    TempDir dir;
    SandboxProcess sandbox;
    // A gateway without client references: the lost send is not tried again, so its box shows.
    ASSERT_TRUE(sandbox.Start({"--session-idle", "1", "--references", "0"})) << sandbox.LastError();
    ASSERT_EQ(RunCli(dir.Path(), {"outbox", "add", "--to", "0712345678", "--text", "lost"}).rc, 0);
    ASSERT_TRUE(sandbox.InjectFault("drop", 1, 0, "sendmsg"));
    CliResult r = RunCli(dir.Path(), {"worker", "--cycles", "4", "--interval", "1", "--url", sandbox.BaseUrl(),
                                      "--user", "demo", "--password", "demo"});
    EXPECT_EQ(r.rc, 1) << r.out << r.err;
    EXPECT_NE(r.err.find("Login failed ... Failed to communicate with the the server."), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Went off line"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace quillon::test
