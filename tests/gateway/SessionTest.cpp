// The session: login, balance and proxy set-up, against a scripted component and against the
// sandbox gateway over loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

#include "core/AppSettings.h"
#include "core/StringTable.h"
#include "core/TestSeams.h"
#include "gateway/FakeComponent.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "support/SandboxProcess.h"
#include "support/Waits.h"

namespace quillon {
namespace {

// Records what the session shows; every wait must end (depth back at 0).
class RecordingUi : public SessionUi {
public:
    void BeginWait() override { ++begins, ++depth; }
    void EndWait() override { --depth; }
    void ShowMessage(const SessionMessage& message) override {
        EXPECT_EQ(depth, 0) << "a message box under the wait cursor";
        messages.push_back(message);
    }
    int begins = 0;
    int depth = 0;
    std::vector<SessionMessage> messages;
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings();
        component_ = new test::FakeComponent;
        TestSeams::SetGatewayInstance(std::make_shared<GatewayApi>(ComponentHandle(component_)));
        SetOnLine(true);
    }
    void TearDown() override {
        TestSeams::ResetGatewayInstance();
        SetAfterLoginAction(nullptr);
        SetOnLine(false);
        Settings() = saved_;
    }

    test::FakeComponent* component_ = nullptr;
    RecordingUi ui_;
    AppSettings saved_;
};

TEST(BalanceParseTest, WholeAndTenths) {
    struct Case {
        const char* reply;
        int32_t tenths;
        bool fraction;
    } cases[] = {{"12.5", 125, true},
                 {"12", 120, false},
                 {"12.05", 120, true},
                 {"12.99", 129, true},
                 {"0.9", 9, true},
                 {"  7.3\r\n", 73, true},
                 {"12.", 120, true},
                 {"1.2.7", 17, true},
                 {"-1.5", -15, true},
                 {"-0.5", -5, true},
                 {"", 0, false},
                 {"credit", 0, false},
                 {"99999999999", INT32_MAX, false},
                 {"-99999999999.9", INT32_MIN, true}};
    for (const auto& c : cases) {
        int32_t tenths = 777;
        bool fraction = !c.fraction;
        ParseBalanceReply(c.reply, tenths, fraction);
        EXPECT_EQ(tenths, c.tenths) << c.reply;
        EXPECT_EQ(fraction, c.fraction) << c.reply;
    }
}

TEST(BalanceParseTest, BalanceTextShowsTenthsAndTheOfflineMark) {
    EXPECT_EQ(BalanceText(1398, 125, true), "Balance: 12.5");
    EXPECT_EQ(BalanceText(1398, 120, true), "Balance: 12.0");
    EXPECT_EQ(BalanceText(1398, 125, false), "Balance: 12.5?");
    EXPECT_EQ(BalanceText(1333, 7, true), "Balance: 0.7");
    EXPECT_EQ(BalanceText(1398, -15, true), "Balance: -1.5");
}

TEST_F(SessionTest, RefreshBalanceStoresTenthsKeepsThemOnFailureAndAsksNothingOffLine) {
    component_->script["QueryBalance"] = {"12.5", 0};
    EXPECT_EQ(RefreshBalance(), 125);
    EXPECT_EQ(Settings().LastBalance, 125);
    EXPECT_TRUE(Settings().BalanceWithFraction);
    EXPECT_EQ(BalanceText(), "Balance: 12.5");

    component_->script["QueryBalance"] = {"3", 99};
    EXPECT_EQ(RefreshBalance(), 125);
    component_->script["QueryBalance"] = {"3", 0, kDispFail};
    EXPECT_EQ(RefreshBalance(), 125);
    EXPECT_TRUE(Settings().BalanceWithFraction);

    component_->script["QueryBalance"] = {"12", 0};
    EXPECT_EQ(RefreshBalance(), 120);
    EXPECT_FALSE(Settings().BalanceWithFraction);
    // Off line nothing is asked.
    SetOnLine(false);
    component_->invocations.clear();
    Settings().LastBalance = 42;
    component_->script["QueryBalance"] = {"12.5", 0};
    EXPECT_EQ(RefreshBalance(), 42);
    EXPECT_TRUE(component_->Calls().empty());
    EXPECT_EQ(BalanceText(), "Balance: 4.2?");
}

TEST_F(SessionTest, LoginSuccessRefreshesTheBalanceAndRunsTheAfterLoginAction) {
    Settings().client_id = "QLNX";
    component_->script["AuthenticateClient"] = {"OK", 0};
    component_->script["QueryBalance"] = {"100.0", 0};
    int afterLogin = 0;
    SetAfterLoginAction([&] { ++afterLogin; });
    EXPECT_TRUE(LogInToGateway("demo", "pw", ui_));
    ASSERT_EQ(component_->Calls(), (std::vector<std::string>{"AuthenticateClient", "QueryBalance"}));
    const auto args = component_->LastArgs("AuthenticateClient");
    ASSERT_EQ(args.size(), 3u);
    EXPECT_EQ(args[0].text + "|" + args[1].text + "|" + args[2].text, "QLNX|demo|pw");
    EXPECT_EQ(Settings().LastBalance, 1000);
    EXPECT_EQ(afterLogin, 1);
    EXPECT_EQ(ui_.begins, 1);
    EXPECT_EQ(ui_.depth, 0);
    EXPECT_TRUE(ui_.messages.empty());
}

TEST_F(SessionTest, LoginFailuresOnlyTellAboutAnUnreachableGateway) {
    component_->script["AuthenticateClient"] = {"ERR: 401", 1};
    EXPECT_FALSE(LogInToGateway("demo", "wrong", ui_));
    EXPECT_TRUE(ui_.messages.empty());

    component_->script["AuthenticateClient"] = {"", 99};
    EXPECT_FALSE(LogInToGateway("demo", "pw", ui_));
    // A call that failed as a call never passes for a login, whatever smsERROR held before.
    component_->SetError(0);
    component_->script["AuthenticateClient"] = {"", 0, kDispTypeMismatch};
    EXPECT_FALSE(LogInToGateway("demo", "pw", ui_));

    ASSERT_EQ(ui_.messages.size(), 2u);
    for (const auto& m : ui_.messages) {
        EXPECT_EQ(m.textId, 1027);
        EXPECT_EQ(m.captionId, 1028);
        EXPECT_EQ(m.text, LoadResourceString(1027));
        EXPECT_EQ(m.caption, "Login failed ...");
        EXPECT_EQ(m.icon, MessageIcon::Error);
    }
    EXPECT_EQ(ui_.begins, 3);
    EXPECT_EQ(ui_.depth, 0);
    const auto calls = component_->Calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "QueryBalance"), 0);
}

TEST_F(SessionTest, ProxySettingsGoToTheComponentAndErrorsPickTheirText) {
    Settings().ProxyType = 4;
    Settings().ProxyHost = "proxy.example";
    Settings().ProxyPort = "3128";
    Settings().ProxyUsername = "me";
    Settings().ProxyPassword = "secret";
    Settings().help_url = "https://help.example/";
    component_->script["ConfigureProxyEx"] = {"", 0};
    EXPECT_EQ(ApplyProxySettings(true, ui_), 0);
    const auto args = component_->LastArgs("ConfigureProxyEx");
    ASSERT_EQ(args.size(), 6u);
    EXPECT_EQ(args[0].kind, Variant::Kind::Bool);
    EXPECT_EQ(args[0].number, -1);
    EXPECT_EQ(args[1].kind, Variant::Kind::Long);
    EXPECT_EQ(args[1].number, 4);
    EXPECT_EQ(args[2].text + args[3].text + args[4].text + args[5].text, "proxy.example3128mesecret");
    EXPECT_TRUE(ui_.messages.empty());
    // An unreachable gateway (99) is no proxy matter: it says so, without the support link.
    struct Choice {
        int32_t code;
        int textId, captionId;
        bool link;
    };
    const Choice choices[] = {{95, 1140, 1137, true},
                              {96, 1141, 1137, true},
                              {99, kTextGatewayUnreachableText, kTextGatewayUnreachableCaption, false},
                              {7, 1136, 1137, true}};
    for (const Choice& c : choices) {
        component_->script["ConfigureProxyEx"] = {"", c.code};
        EXPECT_EQ(ApplyProxySettings(false, ui_), c.code);
        ASSERT_FALSE(ui_.messages.empty());
        const auto& m = ui_.messages.back();
        EXPECT_EQ(m.textId, c.textId) << c.code;
        EXPECT_EQ(m.text, LoadResourceString(c.textId));
        EXPECT_EQ(m.captionId, c.captionId);
        EXPECT_EQ(m.withLink, c.link);
        EXPECT_EQ(m.link, c.link ? "https://help.example/" : m.link);
    }
    EXPECT_EQ(component_->LastArgs("ConfigureProxyEx").at(0).number, 0);

    component_->SetError(0);
    component_->script["ConfigureProxyEx"] = {"", 0, kDispFail};
    EXPECT_EQ(ApplyProxySettings(true, ui_), kDispFail);
    EXPECT_EQ(ui_.messages.back().textId, 1136);
}

TEST(ProxyKindTest, KindsNameTheirStringsAndOthersNone) {
    EXPECT_EQ(ProxyKindName(4), "Use proxy list");
    EXPECT_EQ(ProxyKindDescription(2), LoadResourceString(1379));
    EXPECT_EQ(ProxyKindName(0), "");
    EXPECT_EQ(ProxyKindDescription(5), "");
}

// ---- against the sandbox gateway through the real component ----

class SandboxSessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Settings();
        ASSERT_TRUE(sandbox_.Start()) << sandbox_.LastError();
        Settings().COMBaseURL = sandbox_.BaseUrl();
        Settings().client_id = "QLNX";
        TestSeams::ResetGatewayInstance();
        ASSERT_TRUE(GatewayApi::IsAvailable()) << "the gateway component could not be created";
        SetOnLine(true);
    }
    void TearDown() override {
        // The component goes first: its open connections would hold up the sandbox's stop.
        TestSeams::ResetGatewayInstance();
        sandbox_.Stop();
        SetOnLine(false);
        Settings() = saved_;
    }

    test::GatewayTimeout timeout_;
    test::SandboxProcess sandbox_;
    RecordingUi ui_;
    AppSettings saved_;
};

// Through the real component: the demo login reads the balance; a wrong password fails quietly;
// an unreachable gateway or a server error shows the login-failed box.
TEST_F(SandboxSessionTest, LoginReadsTheBalanceAndOnlyAnUnreachableGatewayShowsTheBox) {
    Settings().LastBalance = 0;
    EXPECT_FALSE(LogInToGateway("demo", "not-the-password", ui_));
    EXPECT_TRUE(ui_.messages.empty());
    EXPECT_TRUE(LogInToGateway("demo", "demo", ui_));
    EXPECT_EQ(Settings().LastBalance, 1000);
    EXPECT_EQ(BalanceText(), "Balance: 100.0");
    ASSERT_TRUE(sandbox_.SetCredit("demo", 12.5));
    EXPECT_EQ(RefreshBalance(), 125);

    ASSERT_TRUE(sandbox_.InjectFault("status", 1, 500, "auth"));
    EXPECT_FALSE(LogInToGateway("demo", "demo", ui_));
    ASSERT_EQ(ui_.messages.size(), 1u);
    EXPECT_EQ(ui_.messages[0].textId, 1027);
    EXPECT_EQ(ui_.messages[0].captionId, 1028);
    EXPECT_TRUE(LogInToGateway("demo", "demo", ui_));  // the fault is spent

    Settings().ProxyType = 4;
    Settings().ProxyHost = "127.0.0.1";
    Settings().ProxyPort = std::to_string(test::ClosedPort());
    EXPECT_EQ(ApplyProxySettings(true, ui_), 95);
    EXPECT_EQ(ui_.messages.back().textId, 1140);
    sandbox_.Stop();
    EXPECT_FALSE(LogInToGateway("demo", "demo", ui_));
    EXPECT_EQ(ui_.messages.size(), 3u);
}

}  // namespace
}  // namespace quillon
