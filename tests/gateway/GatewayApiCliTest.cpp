// quillon-cli gateway against the sandbox gateway.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <string>

#include "support/SandboxProcess.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
};

// Runs quillon-cli with a shell-quoted argument string; stdout only.
CliRun RunCli(const std::string& dataDir, const std::string& arguments) {
    std::string command =
        std::string("'") + QUILLON_CLI_EXE + "' --data-dir '" + dataDir + "' " + arguments + " 2>/dev/null";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        run.out.append(buffer, n);
    int status = ::pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

class GatewayApiCliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sandbox_.Start()) << sandbox_.LastError(); }
    std::string Gateway(const std::string& sub) { return "gateway " + sub + " --url " + sandbox_.BaseUrl(); }

    test::SandboxProcess sandbox_;
    test::TempDir data_;
};

TEST_F(GatewayApiCliTest, CallPrintsTheResultThenSmsError) {
    CliRun balance = RunCli(data_.Path(), Gateway("call --login --user demo --password demo QueryBalance"));
    EXPECT_EQ(balance.exitCode, 0);
    EXPECT_EQ(balance.out, "100.0\nsmsERROR: 0\n");

    CliRun send =
        RunCli(data_.Path(), Gateway("call --login --user demo --password demo SendMsg bool:true 'Hi there' 4477009"));
    EXPECT_EQ(send.exitCode, 0);
    EXPECT_EQ(send.out.rfind("ID: ", 0), 0u) << send.out;
    auto received = sandbox_.Received("sendmsg");
    ASSERT_EQ(received.size(), 1u);

    // Without a login the gateway refuses the session: smsERROR 99, exit 1.
    CliRun ping = RunCli(data_.Path(), Gateway("call Ping"));
    EXPECT_EQ(ping.exitCode, 1);
    EXPECT_NE(ping.out.find("smsERROR: 99\n"), std::string::npos) << ping.out;
}

TEST_F(GatewayApiCliTest, PropertiesLoginAndUsageErrors) {
    EXPECT_EQ(RunCli(data_.Path(), Gateway("put smsCONCAT long:3")).exitCode, 0);
    CliRun error = RunCli(data_.Path(), Gateway("get smserror"));
    EXPECT_EQ(error.exitCode, 0);
    EXPECT_EQ(error.out, "0\n");

    CliRun login = RunCli(data_.Path(), Gateway("login --user demo --password demo"));
    EXPECT_EQ(login.exitCode, 0);
    EXPECT_EQ(login.out, "Balance: 100.0\n");
    EXPECT_EQ(RunCli(data_.Path(), Gateway("login --user demo --password wrong")).exitCode, 1);

    EXPECT_EQ(RunCli(data_.Path(), Gateway("put smsCONCAT long:three")).exitCode, 2);
    EXPECT_EQ(RunCli(data_.Path(), Gateway("call NoSuchMember")).exitCode, 2);
    EXPECT_EQ(RunCli(data_.Path(), Gateway("call SendMsg byte:300")).exitCode, 2);
    EXPECT_EQ(RunCli(data_.Path(), "gateway --help").exitCode, 0);
}

}  // namespace
}  // namespace quillon
