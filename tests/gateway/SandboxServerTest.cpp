// The sandbox gateway over loopback: protocol replies, timeline, charges, vouchers, control endpoints.
#include <gtest/gtest.h>

#include "support/SandboxProcess.h"

namespace quillon::test {
namespace {

class SandboxServerTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(sandbox_.Start()) << sandbox_.LastError(); }

    std::string Login() {
        std::string reply = sandbox_.Request("auth", {{"user", "demo"}, {"password", "demo"}, {"client_id", "QLNX"}});
        EXPECT_EQ(0u, reply.rfind("OK: ", 0)) << reply;
        return reply.size() >= 36 ? reply.substr(4, 32) : std::string();
    }

    SandboxProcess sandbox_;
};

TEST_F(SandboxServerTest, LogsInWithTheDemoAccountAndRefusesAWrongPassword) {
    std::string session = Login();
    EXPECT_EQ(32u, session.size());
    std::string wrong = sandbox_.Request("auth", {{"user", "demo"}, {"password", "nope"}});
    EXPECT_EQ(0u, wrong.rfind("ERR: 201, ", 0)) << wrong;
    auto received = sandbox_.Received("auth");
    ASSERT_EQ(2u, received.size());
    EXPECT_EQ("demo", received[0].Param("user"));
    EXPECT_EQ("QLNX", received[0].Param("client_id"));
    EXPECT_EQ("nope", received[1].Param("password"));
}

}  // namespace
}  // namespace quillon::test
