// quillon-cli send, worker, outbox query and outbox cancel against the sandbox gateway.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <string>
#include <vector>

#include "support/SandboxProcess.h"
#include "support/TempDir.h"

extern char** environ;

namespace quillon::test {
namespace {

struct CliRun {
    int rc = -1;
    std::string out, err;
};

class WorkerCli : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sandbox_.Start({"--timeline", "1,2,3"})) << sandbox_.LastError(); }

    CliRun Run(std::vector<std::string> args) {
        args.insert(args.begin(), {QUILLON_CLI_EXE, "--data-dir", dir_.Path()});
        if (args[3] != "outbox" || args[4] == "query" || args[4] == "cancel")
            args.insert(args.end(), {"--url", sandbox_.BaseUrl(), "--user", "demo", "--password", "demo"});
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const std::string outPath = dir_.File("cli.out"), errPath = dir_.File("cli.err");
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        CliRun run;
        pid_t pid = 0;
        if (posix_spawn(&pid, QUILLON_CLI_EXE, &actions, nullptr, argv.data(), environ) == 0) {
            int status = 0;
            waitpid(pid, &status, 0);
            run.rc = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        run.out = ReadFile(outPath);
        run.err = ReadFile(errPath);
        return run;
    }

    TempDir dir_;
    SandboxProcess sandbox_;
};

TEST_F(WorkerCli, SendFollowsTheMessageAndItsChildrenToTheirFinalStates) {
    // ...9993 ends in a delivery error.
    CliRun r = Run({"send", "--to", ",0712345678,0712349993", "--text", "Hello", "--poll", "1", "--timeout", "60"});
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
    CliRun r = Run({"worker", "--until-idle", "--interval", "0"});
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

}  // namespace
}  // namespace quillon::test
