// quillon-cli gateway against the sandbox gateway.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/CliRunner.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::CliResult;
using test::RunCli;

class GatewayApiCliTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sandbox_.Start()) << sandbox_.LastError(); }
    // gateway ARGS... --url <the sandbox>
    std::vector<std::string> Gateway(std::vector<std::string> args) {
        args.insert(args.begin(), "gateway");
        args.insert(args.end(), {"--url", sandbox_.BaseUrl()});
        return args;
    }

    test::SandboxProcess sandbox_;
    test::TempDir data_;
};

TEST_F(GatewayApiCliTest, CallPrintsTheResultThenSmsError) {
    CliResult balance =
        RunCli(data_.Path(), Gateway({"call", "--login", "--user", "demo", "--password", "demo", "QueryBalance"}));
    EXPECT_EQ(balance.rc, 0);
    EXPECT_EQ(balance.out, "100.0\nsmsERROR: 0\n");

    CliResult send = RunCli(data_.Path(), Gateway({"call", "--login", "--user", "demo", "--password", "demo", "SendMsg",
                                                   "bool:true", "Hi there", "4477009"}));
    EXPECT_EQ(send.rc, 0);
    EXPECT_EQ(send.out.rfind("ID: ", 0), 0u) << send.out;
    auto received = sandbox_.Received("sendmsg");
    ASSERT_EQ(received.size(), 1u);

    // Without a login the gateway refuses the session: smsERROR 99, exit 1.
    CliResult ping = RunCli(data_.Path(), Gateway({"call", "Ping"}));
    EXPECT_EQ(ping.rc, 1);
    EXPECT_NE(ping.out.find("smsERROR: 99\n"), std::string::npos) << ping.out;
}

TEST_F(GatewayApiCliTest, PropertiesLoginAndUsageErrors) {
    EXPECT_EQ(RunCli(data_.Path(), Gateway({"put", "smsCONCAT", "long:3"})).rc, 0);
    CliResult error = RunCli(data_.Path(), Gateway({"get", "smserror"}));
    EXPECT_EQ(error.rc, 0);
    EXPECT_EQ(error.out, "0\n");

    CliResult login = RunCli(data_.Path(), Gateway({"login", "--user", "demo", "--password", "demo"}));
    EXPECT_EQ(login.rc, 0);
    EXPECT_EQ(login.out, "Balance: 100.0\n");
    EXPECT_EQ(RunCli(data_.Path(), Gateway({"login", "--user", "demo", "--password", "wrong"})).rc, 1);

    EXPECT_EQ(RunCli(data_.Path(), Gateway({"put", "smsCONCAT", "long:three"})).rc, 2);
    EXPECT_EQ(RunCli(data_.Path(), Gateway({"call", "NoSuchMember"})).rc, 2);
    EXPECT_EQ(RunCli(data_.Path(), Gateway({"call", "SendMsg", "byte:300"})).rc, 2);
    EXPECT_EQ(RunCli(data_.Path(), {"gateway", "--help"}).rc, 0);
}

}  // namespace
}  // namespace quillon
