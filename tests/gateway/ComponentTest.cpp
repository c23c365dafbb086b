// The HTTP gateway component, loaded as the program loads it, against the sandbox gateway over
// loopback: what it sends, how it reads replies and faults, calls from two threads, real proxies.
#include <dlfcn.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "gateway/Dispatch.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"
#include "support/Tools.h"
#include "support/Waits.h"

namespace quillon::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

Variant T(const std::string& text) {
    return Variant::FromText(text);
}

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        library_ = dlopen(QUILLON_COMPONENT_LIB, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(nullptr, library_) << dlerror();
        auto create = reinterpret_cast<QuillonCreateObjectFn>(dlsym(library_, kCreateObjectSymbol));
        ASSERT_NE(nullptr, create) << dlerror();
        object_.reset(create("SMS_COMAPI.SMS"));
        ASSERT_NE(nullptr, object_);
        StartSandbox({});
    }
    void TearDown() override {
        object_.reset();  // before the sandbox stops: its open connections would hold that up
        if (library_)
            dlclose(library_);
    }

    void StartSandbox(const std::vector<std::string>& args) {
        ASSERT_TRUE(sandbox_.Start(args)) << sandbox_.LastError();
        ASSERT_EQ(0, Code("SetBaseURL", {T(sandbox_.BaseUrl())}));
    }
    // A member by name with the arguments first-first; the result (Empty when none).
    Variant Invoke(const std::string& name, InvokeKind kind, std::vector<Variant> args, int32_t* status = nullptr) {
        DispId id = 0;
        Variant result;
        int32_t s = object_->GetIDsOfNames(name, id);
        if (s == kDispOk)
            s = object_->Invoke(id, kind, std::vector<Variant>(args.rbegin(), args.rend()), &result);
        if (status)
            *status = s;
        return result;
    }
    std::string Call(const std::string& name, std::vector<Variant> args = {}, int32_t* status = nullptr) {
        return Invoke(name, InvokeKind::Method, std::move(args), status).text;
    }
    Variant Get(const std::string& name) { return Invoke(name, InvokeKind::PropertyGet, {}); }
    int32_t Put(const std::string& name, const Variant& value) {
        int32_t status = 0;
        Invoke(name, InvokeKind::PropertyPut, {value}, &status);
        return status;
    }
    int32_t Error() { return Get("smsERROR").number; }
    // The smsERROR a method call leaves.
    int32_t Code(const std::string& name, std::vector<Variant> args = {}) {
        Call(name, std::move(args));
        return Error();
    }
    int32_t LogIn(const std::string& password = "demo") {
        return Code("AuthenticateClient", {T("QLNX"), T("demo"), T(password)});
    }
    std::string SendTo(const std::string& number, const std::string& text = "Hello") {
        return Call("SendMsg", {Variant::FromBool(true), T(text), T(number)});
    }
    int32_t Configure(int kind, const std::string& host, const std::string& port, const std::string& user,
                      const std::string& password, bool verify = true) {
        return Code("ConfigureProxyEx",
                    {Variant::FromBool(verify), Variant::FromLong(kind), T(host), T(port), T(user), T(password)});
    }
    std::string Url(const std::string& scheme, int port) {
        return scheme + "://127.0.0.1:" + std::to_string(port) + "/";
    }

    GatewayTimeout timeout_;
    SandboxProcess sandbox_;
    void* library_ = nullptr;
    std::unique_ptr<IDispatchObject> object_;
};

TEST_F(ComponentTest, ResolvesEveryContractNameCaseInsensitivelyAndChecksCalls) {
    // The contract's member names, written out: not taken from any table of the code.
    std::istringstream names(
        "SendSimpleSMS SendMsg Authenticate AuthenticateClient Ping QueryMsg QueryBalance ResetSMS RecoverPassword "
        "TokenPay TokenPayWithURL EncodeToUnicode StopMsgAPIID StartBatch QuickBatchSend EndBatch SetBaseURL "
        "ConfigureProxy ConfigureProxyEx Version GetMsgCharge smsUSER smsPASSWORD smsTEXT smsFROM smsTO "
        "smsIsLoggedIn smsERROR smsMSG_TYPE smsCONCAT smsSESSION_ID smsUNICODE smsDELIVERY_ACK smsDELIVERY_TIME");
    std::set<DispId> seen;
    for (std::string name; names >> name;) {
        std::string lower = name;
        std::transform(name.begin(), name.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        DispId id = 0, lowerId = 0;
        ASSERT_EQ(kDispOk, object_->GetIDsOfNames(name, id)) << name;
        ASSERT_EQ(kDispOk, object_->GetIDsOfNames(lower, lowerId)) << lower;
        EXPECT_EQ(id, lowerId);
        EXPECT_NE(0, id) << name;
        EXPECT_TRUE(seen.insert(id).second) << name;
    }
    DispId id = 0;
    EXPECT_EQ(kDispUnknownName, object_->GetIDsOfNames("NoSuchMember", id));

    int32_t status = 0;
    Call("SendMsg", {Variant::FromBool(true), T("only two")}, &status);
    EXPECT_EQ(kDispBadParamCount, status);
    Call("AuthenticateClient", {T("QLNX"), Variant(), T("demo")}, &status);
    EXPECT_EQ(kDispTypeMismatch, status);
    EXPECT_EQ(kDispMemberNotFound, Put("smsERROR", Variant::FromLong(5)));
    EXPECT_EQ(kDispTypeMismatch, Put("smsCONCAT", T("three")));
    EXPECT_EQ(kDispOk, Put("smsCONCAT", T("3")));
    EXPECT_EQ(3, Get("smsCONCAT").number);
    EXPECT_EQ(kDispMemberNotFound, object_->Invoke(12345, InvokeKind::Method, {}, nullptr));
    EXPECT_TRUE(sandbox_.Received().empty());  // nothing went over the wire for the refused calls
}

TEST_F(ComponentTest, LogsInAndTellsAWrongPasswordFromAnUnreachableGateway) {
    // Calls that need a session fail with 99 before login, without a word on the wire.
    EXPECT_EQ(99, Code("SendMsg", {Variant::FromBool(true), T("Hello"), T("447700900123")}));
    EXPECT_EQ(99, Code("QueryBalance"));
    EXPECT_TRUE(sandbox_.Received().empty());

    const int32_t wrong = LogIn("wrong");
    EXPECT_TRUE(wrong != 0 && wrong != 99) << wrong;
    EXPECT_EQ("", Get("smsSESSION_ID").text);
    EXPECT_FALSE(Get("smsIsLoggedIn").AsBool());

    ASSERT_EQ(0, LogIn());
    const std::string session = Get("smsSESSION_ID").text;
    EXPECT_EQ(32u, session.size());
    EXPECT_TRUE(Get("smsIsLoggedIn").AsBool());
    auto auth = sandbox_.Received("auth");
    ASSERT_EQ(2u, auth.size());
    for (auto [name, value] : {std::pair{"client_id", "QLNX"}, {"user", "demo"}, {"password", "demo"}})
        EXPECT_EQ(value, auth[1].Param(name)) << name;
    EXPECT_EQ(0, Code("Ping"));
    EXPECT_EQ(session, sandbox_.Received("ping").at(0).Param("session"));
    // The older form takes the account from the properties.
    Put("smsUSER", T("demo"));
    Put("smsPASSWORD", T("demo"));
    EXPECT_EQ(0, Code("Authenticate"));
    EXPECT_NE(session, Get("smsSESSION_ID").text);
}

TEST_F(ComponentTest, SendMsgCarriesTheSendPropertiesAndHandsBackTheReply) {
    ASSERT_EQ(0, LogIn());
    Put("smsCONCAT", Variant::FromLong(3));
    Put("smsMSG_TYPE", Variant::FromLong(1));
    Put("smsFROM", T("Quillon"));
    Put("smsUNICODE", Variant::FromBool(false));
    Put("smsDELIVERY_ACK", Variant::FromBool(true));
    Put("smsDELIVERY_TIME", Variant::FromLong(0));
    std::string reply = SendTo("+44 7700 900123", "Grüße & more=text");
    EXPECT_EQ(0, Error()) << reply;
    ASSERT_EQ(36u, reply.size()) << reply;
    EXPECT_THAT(reply, StartsWith("ID: "));
    auto sent = sandbox_.Received("sendmsg");
    ASSERT_EQ(1u, sent.size());
    std::string params;
    for (auto name :
         {"to", "text", "from", "concat", "msg_type", "unicode", "delivery_ack", "delivery_time", "session"})
        params += sent[0].Param(name) + "|";
    EXPECT_EQ("+44 7700 900123|Grüße & more=text|Quillon|3|1|0|1|0|" + Get("smsSESSION_ID").text + "|", params);
    // A refusal by the gateway hands back its code and text.
    EXPECT_THAT(SendTo("447700909991"), StartsWith("ERR: 304, "));
    EXPECT_EQ(304, Error());
    // The simple form takes number and text from the properties.
    Put("smsTO", T("447700900555"));
    Put("smsTEXT", T("simple"));
    reply = Call("SendSimpleSMS");
    EXPECT_EQ(0, Error()) << reply;
    EXPECT_EQ("447700900555", sandbox_.Received("sendmsg").back().Param("to"));
    // ResetSMS clears the send properties.
    Call("ResetSMS");
    EXPECT_EQ(0, Get("smsCONCAT").number);
    EXPECT_EQ("", Get("smsFROM").text);
    EXPECT_FALSE(Get("smsDELIVERY_ACK").AsBool());
}

TEST_F(ComponentTest, BatchStartsSendsPerNumberAndEnds) {
    ASSERT_EQ(0, LogIn());
    Put("smsCONCAT", Variant::FromLong(3));
    const std::string batch = Call("StartBatch", {T("Batch text")});
    ASSERT_EQ(0, Error()) << batch;
    EXPECT_EQ(36u, batch.size());
    const std::string reply = Call("QuickBatchSend", {T("447700900001,447700909991,447700900002")});
    ASSERT_EQ(0, Error()) << reply;
    EXPECT_THAT(reply, HasSubstr(" To: 447700900001"));
    EXPECT_THAT(reply, HasSubstr("ERR: 304, Destination rejected To: 447700909991"));
    EXPECT_EQ(2, std::count(reply.begin(), reply.end(), 'I'));  // two "ID:" lines
    EXPECT_THAT(Call("EndBatch"), StartsWith("OK: 2 messages"));
    EXPECT_EQ(0, Error());
    // After its end the batch takes no more numbers.
    EXPECT_EQ(501, Code("QuickBatchSend", {T("447700900003")}));

    auto start = sandbox_.Received("startbatch");
    auto quick = sandbox_.Received("quicksend");
    ASSERT_EQ(1u, start.size());
    ASSERT_EQ(2u, quick.size());
    EXPECT_EQ("Batch text", start[0].Param("text"));
    EXPECT_EQ("3", start[0].Param("concat"));
    EXPECT_EQ(batch.substr(4), quick[0].Param("batch"));
    EXPECT_EQ("447700900001,447700909991,447700900002", quick[0].Param("to"));
}

// Identifiers come as the send reply, or followed by "|" and the number, or bare (QueryMsg).
TEST_F(ComponentTest, GetMsgChargeAndStopMsgAPIIDTakeTheSendReplyAsIdentifier) {
    ASSERT_EQ(0, LogIn());
    const std::string now = SendTo("447700900123");
    ASSERT_EQ(0, Error());
    EXPECT_THAT(Call("GetMsgCharge", {Variant::FromBool(true), T(now)}), HasSubstr("status: 001"));
    ASSERT_TRUE(sandbox_.AdvanceClock(60));
    const std::string reply = Call("GetMsgCharge", {Variant::FromBool(true), T(now + "|447700900123")});
    EXPECT_EQ(0, Error());
    EXPECT_THAT(reply, HasSubstr("status: 004"));
    EXPECT_THAT(reply, HasSubstr("charge: 1.0"));
    EXPECT_THAT(Call("QueryMsg", {T(now.substr(4))}), HasSubstr("status: 004"));
    EXPECT_EQ(402, Code("StopMsgAPIID", {T(now)}));  // delivered: too late to withdraw
}

// Each member reaches its endpoint and hands back the gateway's code in smsERROR, in order.
TEST_F(ComponentTest, MembersReachTheirEndpointAndReportTheGatewayCode) {
    ASSERT_EQ(0, LogIn());
    const std::string unknownId = "ID: 0123456789abcdef0123456789abcdef";
    struct Case {
        const char* member;
        std::vector<Variant> args;
        const char* endpoint;
        int32_t error;
        const char* reply;  // the whole text result, when it matters
    };
    const Case cases[] = {
        {"QueryBalance", {}, "getbalance", 0, "100.0"},
        {"TokenPay", {T("QLNVOUCHER000010")}, "token_pay", 0, nullptr},
        {"QueryBalance", {}, "getbalance", 0, "110.0"},
        {"TokenPay", {T("QLNVOUCHER000010")}, "token_pay", 607, nullptr},
        {"TokenPayWithURL", {T("QLNVOUCHER000010")}, "token_pay", 607, nullptr},
        {"TokenPay", {T("NOSUCHVOUCHER000")}, "token_pay", 601, nullptr},
        {"RecoverPassword", {T("demo"), T("Demo@Example.com")}, "forgot_password", 0, nullptr},
        {"RecoverPassword", {T("demo"), T("someone@else.org")}, "forgot_password", 701, nullptr},
        {"GetMsgCharge", {Variant::FromBool(true), T(unknownId)}, "getmsgcharge", 401, nullptr},
        {"StopMsgAPIID", {T(unknownId)}, "delmsg", 401, nullptr},
        {"Ping", {}, "ping", 0, nullptr},
    };
    for (const Case& c : cases) {
        const std::string reply = Call(c.member, c.args);
        EXPECT_EQ(c.error, Error()) << c.member << ": " << reply;
        EXPECT_EQ(c.reply ? c.reply : reply, reply) << c.member;
        auto received = sandbox_.Received();
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(c.endpoint, received.back().endpoint) << c.member;
    }
    auto asked = sandbox_.Received("forgot_password");
    ASSERT_EQ(2u, asked.size());
    EXPECT_EQ("demo", asked[0].Param("user"));
    EXPECT_EQ("Demo@Example.com", asked[0].Param("email"));
}

TEST_F(ComponentTest, EncodeToUnicodeAndVersionAnswerWithoutTheGateway) {
    EXPECT_EQ("0048", Call("EncodeToUnicode", {T("H")}));
    EXPECT_EQ(0, Error());
    // é, the euro sign, and a character beyond the basic plane as a surrogate pair.
    EXPECT_EQ("00E920ACD83DDE00", Call("EncodeToUnicode", {T("é€\xF0\x9F\x98\x80")}));
    EXPECT_EQ("", Call("EncodeToUnicode", {T("")}));
    // Each byte of broken UTF-8 (a lone continuation byte, a cut-off sequence) becomes U+FFFD.
    EXPECT_EQ("FFFD0041FFFDFFFD", Call("EncodeToUnicode", {T(std::string("\x80") + "A\xE2\x82")}));
    // Big-endian UCS-2 hex above; the version comes after a four-character prefix.
    const std::string version = Call("Version", {Variant::FromBool(false)});
    ASSERT_GT(version.size(), 4u);
    EXPECT_EQ(QUILLON_VERSION, version.substr(4));
}

// The sandbox's sessions end after their idle time; use keeps them alive. An ended one is 99 and
// logged out.
TEST_F(ComponentTest, SessionExpiryIsReportedAs99) {
    sandbox_.Stop();
    StartSandbox({"--session-idle", "60"});
    ASSERT_EQ(0, LogIn());
    for (int seconds : {50, 50, 61}) {
        ASSERT_TRUE(sandbox_.AdvanceClock(seconds));
        EXPECT_EQ(seconds > 60 ? 99 : 0, Code("Ping")) << seconds;
    }
    EXPECT_FALSE(Get("smsIsLoggedIn").AsBool());
    ASSERT_EQ(0, LogIn());
    EXPECT_EQ(0, Code("Ping"));
}

using ComponentFaultTest = ComponentTest;

TEST_F(ComponentFaultTest, TransportFailuresAre99AndMalformedRepliesAreNonZero) {
    ASSERT_EQ(0, LogIn());
    struct Case {
        const char* kind;
        int value;
        int32_t expected;
    };
    const Case cases[] = {
        {"drop", 0, 99},      // connection closed without a reply
        {"status", 500, 99},  // server error
        {"status", 503, 99},  //
        {"status", 404, 98},  // an unexpected status line
        {"status", 302, 98},  // redirects are not followed
        {"garbage", 0, 98},   // a reply of none of the protocol's shapes
        {"oversize", 0, 98},  // larger than the reply cap
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(sandbox_.InjectFault(c.kind, 1, c.value, "sendmsg"));
        const std::string reply = SendTo("447700900123");
        EXPECT_EQ(c.expected, Error()) << c.kind << " " << c.value << ": " << reply;
        EXPECT_LT(reply.size(), 1000u);
        SendTo("447700900123");  // the next call goes through again on the same object
        EXPECT_EQ(0, Error()) << "after " << c.kind;
    }
    // A balance reply that is no number is no balance.
    ASSERT_TRUE(sandbox_.InjectFault("garbage", 1, 0, "getbalance"));
    EXPECT_EQ(98, Code("QueryBalance"));
}

TEST_F(ComponentFaultTest, AClosedPortIs99AndAnAddressThatIsNoHttpIs97) {
    EXPECT_EQ(97, Code("SetBaseURL", {T("ftp://127.0.0.1/")}));
    EXPECT_EQ(0, LogIn());  // the old address still works

    ASSERT_EQ(0, Code("SetBaseURL", {T(Url("http", ClosedPort()))}));
    EXPECT_EQ(99, LogIn());
    // https against a plain HTTP server fails the handshake: no reply, no crash.
    Call("SetBaseURL", {T(Url("https", sandbox_.Port()))});
    EXPECT_EQ(99, LogIn());
}

TEST_F(ComponentFaultTest, TwoThreadsEachReadTheirOwnResult) {
    ASSERT_EQ(0, LogIn());
    std::atomic<int> mismatches{0};
    auto run = [&](const std::string& number, int32_t expected) {
        for (int i = 0; i < 25; ++i) {
            SendTo(number);
            if (Error() != expected)
                ++mismatches;
        }
    };
    std::thread accepted(run, "447700900123", 0);
    std::thread rejected(run, "447700909991", 304);
    accepted.join();
    rejected.join();
    EXPECT_EQ(0, mismatches.load());
    EXPECT_EQ(50u, sandbox_.Received("sendmsg").size());
}

// A loopback server that answers every connection with fixed bytes, or holds it open without a word
// (hang), for replies no HTTP server library would send.
class RawServer {
public:
    explicit RawServer(std::string answer, bool hang = false) : answer_(std::move(answer)), hang_(hang) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 && listen(fd_, 8) == 0 &&
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) == 0) {
            port_ = ntohs(addr.sin_port);
            thread_ = std::thread([this] { Serve(); });
        }
    }
    ~RawServer() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        if (thread_.joinable())
            thread_.join();
    }
    int Port() const { return port_; }

private:
    void Serve() {
        for (int served = 0; served < 20 && !stop_; ++served) {  // bounded: a test makes a handful of requests
            int client = accept(fd_, nullptr, nullptr);
            if (client < 0)
                return;
            char buffer[4096];
            timeval wait{0, 200000};
            setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            (void)!recv(client, buffer, sizeof buffer, 0);
            while (hang_ && !stop_ && recv(client, buffer, sizeof buffer, 0) != 0) {
            }
            if (!hang_)
                (void)!send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
            close(client);
        }
    }

    std::string answer_;
    bool hang_;
    int fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

TEST_F(ComponentFaultTest, MalformedStatusLinesCutRepliesAndAHangingServerFailWithoutBlocking) {
    struct Case {
        const char* answer;
        int32_t expected;
        bool hang = false;
    };
    const Case cases[] = {
        {"not http at all\r\n\r\n", 99},
        {"HTTP/1.1 abc\r\n\r\n", 99},
        {"HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nOK: cut", 99},
        {"HTTP/1.1 200 OK\r\nContent-Length: 6\r\n\r\nOK: 12", 98},  // a session id that is none
        {"HTTP/1.1 200 OK\r\nContent-Length: 3\r\n\r\nERR", 98},
        {"HTTP/1.1 200 OK\r\nContent-Length: 12\r\n\r\nERR: x, what", 98},
        {"HTTP/1.1 200 OK\r\nContent-Length: 26\r\n\r\nERR: 201, Wrong password\r\n", 201},
        {"HTTP/1.1 407 Proxy Authentication Required\r\nContent-Length: 0\r\n\r\n", 98},
        {"", 99, true},
    };
    for (const auto& c : cases) {
        RawServer server(c.answer, c.hang);
        Call("SetBaseURL", {T(Url("http", server.Port()))});
        EXPECT_EQ(c.expected, LogIn()) << c.answer;
    }
}

TEST_F(ComponentFaultTest, HttpsRefusesAnUntrustedCertificate) {
    QUILLON_SKIP_WITHOUT_TOOL("/usr/bin/openssl");
    TempDir dir;
    const int port = ClosedPort();
    ToolProcess server;
    // It answers any request with its status page: unverified the component would read that (98).
    ASSERT_TRUE(server.StartUntrustedTls(port, dir)) << "openssl s_server did not start";
    Call("SetBaseURL", {T(Url("https", port))});
    EXPECT_EQ(99, LogIn());
}

// Proxy kind 4 through tinyproxy on loopback, with basic authentication.
class ComponentProxyTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        QUILLON_SKIP_WITHOUT_TOOL("/usr/bin/tinyproxy");
        port_ = ClosedPort();
        ASSERT_TRUE(proxy_.StartProxy(port_, dir_)) << "tinyproxy did not start";
    }
    void TearDown() override {
        proxy_.Stop();
        ComponentTest::TearDown();
    }
    TempDir dir_;
    ToolProcess proxy_;
    int port_ = 0;
};

TEST_F(ComponentProxyTest, GoesThroughTheProxyAndReportsItsRefusals) {
    const std::string port = std::to_string(port_);
    EXPECT_EQ(96, Configure(4, "127.0.0.1", port, "quser", "wrong"));
    EXPECT_EQ(96, Configure(4, "127.0.0.1", port, "", ""));
    ASSERT_EQ(0, Configure(4, "127.0.0.1", port, "quser", "qpass"));
    ASSERT_EQ(0, LogIn());
    EXPECT_EQ("100.0", Call("QueryBalance"));
    // With the proxy gone the gateway is out of reach, though it still runs.
    proxy_.Stop();
    EXPECT_EQ(99, Code("QueryBalance"));
    EXPECT_EQ(95, Configure(4, "127.0.0.1", port, "quser", "qpass"));
    EXPECT_EQ(0, Configure(1, "", "", "", ""));  // direct again
    EXPECT_EQ("100.0", Call("QueryBalance"));
}

TEST_F(ComponentTest, ProxySettingsThatCannotWorkAreRefused) {
    EXPECT_EQ(95, Configure(4, "127.0.0.1", std::to_string(ClosedPort()), "quser", "qpass"));
    EXPECT_EQ(95, Configure(4, "", "3128", "", ""));
    EXPECT_EQ(95, Configure(4, "127.0.0.1", "port", "", ""));
    EXPECT_EQ(97, Configure(7, "", "", "", ""));
    // Without verify the settings are only taken.
    EXPECT_EQ(0, Configure(4, "127.0.0.1", std::to_string(ClosedPort()), "", "", false));
    EXPECT_EQ(99, LogIn());
}

TEST_F(ComponentProxyTest, EnvironmentKindsFollowTheProxyVariables) {
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(port_)).c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    EXPECT_EQ(96, Configure(2, "", "", "", ""));
    EXPECT_EQ(0, Configure(3, "", "", "quser", "qpass"));
    EXPECT_EQ(0, LogIn());
    proxy_.Stop();
    EXPECT_EQ(95, Configure(2, "", "", "quser", "qpass"));
    unsetenv("http_proxy");
    EXPECT_EQ(0, Configure(2, "", "", "", ""));
}

}  // namespace
}  // namespace quillon::test
