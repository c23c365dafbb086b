// The HTTP gateway component against the sandbox gateway over loopback: every member, the error
// mapping under injected faults and a closed port, calls from two threads, and proxy kind 4
// through a real proxy. What the gateway answers is the sandbox's own test; here it is what the
// component sends and how it reads the reply.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <map>
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

class LoadedComponent {
public:
    LoadedComponent() {
        library_ = dlopen(QUILLON_COMPONENT_LIB, RTLD_NOW | RTLD_LOCAL);
        if (!library_)
            return;
        auto create = reinterpret_cast<QuillonCreateObjectFn>(dlsym(library_, kCreateObjectSymbol));
        if (create)
            object_.reset(create("SMS_COMAPI.SMS"));
    }
    ~LoadedComponent() {
        object_.reset();
        if (library_)
            dlclose(library_);
    }
    LoadedComponent(const LoadedComponent&) = delete;
    LoadedComponent& operator=(const LoadedComponent&) = delete;

    IDispatchObject* Object() const { return object_.get(); }
    void* Library() const { return library_; }

    // Method call by name with the arguments first-first; the text result ("" when none).
    std::string Call(const std::string& name, std::vector<Variant> args = {}, int32_t* status = nullptr) {
        DispId id = 0;
        int32_t s = object_->GetIDsOfNames(name, id);
        Variant result;
        if (s == kDispOk) {
            std::vector<Variant> lastFirst(args.rbegin(), args.rend());
            s = object_->Invoke(id, InvokeKind::Method, lastFirst, &result);
        }
        if (status)
            *status = s;
        return result.text;
    }
    Variant Get(const std::string& name) {
        DispId id = 0;
        Variant result;
        if (object_->GetIDsOfNames(name, id) == kDispOk)
            object_->Invoke(id, InvokeKind::PropertyGet, {}, &result);
        return result;
    }
    int32_t Put(const std::string& name, const Variant& value) {
        DispId id = 0;
        int32_t s = object_->GetIDsOfNames(name, id);
        return s != kDispOk ? s : object_->Invoke(id, InvokeKind::PropertyPut, {value}, nullptr);
    }
    int32_t Error() { return Get("smsERROR").number; }

    bool Login(const std::string& user = "demo", const std::string& password = "demo") {
        Call("AuthenticateClient", {Variant::FromText("QLNX"), Variant::FromText(user), Variant::FromText(password)});
        return Error() == 0;
    }

private:
    void* library_ = nullptr;
    std::unique_ptr<IDispatchObject> object_;
};

namespace {

Variant T(const std::string& text) {
    return Variant::FromText(text);
}

class ComponentTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(nullptr, component_.Object()) << dlerror();
        StartSandbox({});
    }

    void StartSandbox(const std::vector<std::string>& args) {
        ASSERT_TRUE(sandbox_.Start(args)) << sandbox_.LastError();
        component_.Call("SetBaseURL", {T(sandbox_.BaseUrl())});
        ASSERT_EQ(0, component_.Error());
    }

    std::string SendTo(const std::string& number, const std::string& text = "Hello") {
        return component_.Call("SendMsg", {Variant::FromBool(true), T(text), T(number)});
    }

    GatewayTimeout timeout_;
    int32_t Configure(int kind, const std::string& host, const std::string& port, const std::string& user,
                      const std::string& password, bool verify = true) {
        component_.Call("ConfigureProxyEx",
                        {Variant::FromBool(verify), Variant::FromLong(kind), T(host), T(port), T(user), T(password)});
        return component_.Error();
    }

    SandboxProcess sandbox_;
    LoadedComponent component_;
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
        DispId id = 0, lowerId = 0;
        ASSERT_EQ(kDispOk, component_.Object()->GetIDsOfNames(name, id)) << name;
        std::string lower = name;
        for (auto& c : lower)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        ASSERT_EQ(kDispOk, component_.Object()->GetIDsOfNames(lower, lowerId)) << lower;
        EXPECT_EQ(id, lowerId);
        EXPECT_NE(0, id) << name;
        EXPECT_TRUE(seen.insert(id).second) << name;
    }
    DispId id = 0;
    EXPECT_EQ(kDispUnknownName, component_.Object()->GetIDsOfNames("NoSuchMember", id));

    int32_t status = 0;
    component_.Call("SendMsg", {Variant::FromBool(true), T("only two")}, &status);
    EXPECT_EQ(kDispBadParamCount, status);
    component_.Call("AuthenticateClient", {T("QLNX"), Variant(), T("demo")}, &status);
    EXPECT_EQ(kDispTypeMismatch, status);
    EXPECT_EQ(kDispMemberNotFound, component_.Put("smsERROR", Variant::FromLong(5)));
    EXPECT_EQ(kDispTypeMismatch, component_.Put("smsCONCAT", T("three")));
    EXPECT_EQ(kDispOk, component_.Put("smsCONCAT", T("3")));
    EXPECT_EQ(3, component_.Get("smsCONCAT").number);
    EXPECT_EQ(kDispMemberNotFound, component_.Object()->Invoke(12345, InvokeKind::Method, {}, nullptr));
    // Nothing went over the wire for the refused calls.
    EXPECT_TRUE(sandbox_.Received().empty());
}

TEST_F(ComponentTest, LogsInAndTellsAWrongPasswordFromAnUnreachableGateway) {
    // Calls that need a session fail with 99 before login, without a word on the wire.
    SendTo("447700900123");
    EXPECT_EQ(99, component_.Error());
    component_.Call("QueryBalance");
    EXPECT_EQ(99, component_.Error());
    EXPECT_TRUE(sandbox_.Received().empty());

    component_.Call("AuthenticateClient", {T("QLNX"), T("demo"), T("wrong")});
    int32_t error = component_.Error();
    EXPECT_NE(0, error);
    EXPECT_NE(99, error);
    EXPECT_EQ("", component_.Get("smsSESSION_ID").text);
    EXPECT_FALSE(component_.Get("smsIsLoggedIn").AsBool());

    ASSERT_TRUE(component_.Login());
    std::string session = component_.Get("smsSESSION_ID").text;
    EXPECT_EQ(32u, session.size());
    EXPECT_TRUE(component_.Get("smsIsLoggedIn").AsBool());
    auto auth = sandbox_.Received("auth");
    ASSERT_EQ(2u, auth.size());
    EXPECT_EQ("QLNX", auth[1].Param("client_id"));
    EXPECT_EQ("demo", auth[1].Param("user"));
    EXPECT_EQ("demo", auth[1].Param("password"));

    component_.Call("Ping");
    EXPECT_EQ(0, component_.Error());
    EXPECT_EQ(session, sandbox_.Received("ping").at(0).Param("session"));

    // The older form takes the account from the properties.
    component_.Put("smsUSER", T("demo"));
    component_.Put("smsPASSWORD", T("demo"));
    component_.Call("Authenticate");
    EXPECT_EQ(0, component_.Error());
    EXPECT_NE(session, component_.Get("smsSESSION_ID").text);
}

TEST_F(ComponentTest, SendMsgCarriesTheSendPropertiesAndHandsBackTheReply) {
    ASSERT_TRUE(component_.Login());
    component_.Put("smsCONCAT", Variant::FromLong(3));
    component_.Put("smsMSG_TYPE", Variant::FromLong(1));
    component_.Put("smsFROM", T("Quillon"));
    component_.Put("smsUNICODE", Variant::FromBool(false));
    component_.Put("smsDELIVERY_ACK", Variant::FromBool(true));
    component_.Put("smsDELIVERY_TIME", Variant::FromLong(0));
    std::string reply = SendTo("+44 7700 900123", "Grüße & more=text");
    EXPECT_EQ(0, component_.Error()) << reply;
    ASSERT_EQ(36u, reply.size()) << reply;
    EXPECT_EQ("ID: ", reply.substr(0, 4));

    auto sent = sandbox_.Received("sendmsg");
    ASSERT_EQ(1u, sent.size());
    const std::map<std::string, std::string> params = {{"to", "+44 7700 900123"},
                                                       {"text", "Grüße & more=text"},
                                                       {"from", "Quillon"},
                                                       {"concat", "3"},
                                                       {"msg_type", "1"},
                                                       {"unicode", "0"},
                                                       {"delivery_ack", "1"},
                                                       {"delivery_time", "0"},
                                                       {"session", component_.Get("smsSESSION_ID").text}};
    for (const auto& [name, value] : params)
        EXPECT_EQ(value, sent[0].Param(name)) << name;

    // A refusal by the gateway hands back its code and text.
    reply = SendTo("447700909991");
    EXPECT_EQ(304, component_.Error());
    EXPECT_EQ("ERR: 304, ", reply.substr(0, 10));

    // The simple form takes number and text from the properties.
    component_.Put("smsTO", T("447700900555"));
    component_.Put("smsTEXT", T("simple"));
    reply = component_.Call("SendSimpleSMS");
    EXPECT_EQ(0, component_.Error()) << reply;
    EXPECT_EQ("447700900555", sandbox_.Received("sendmsg").back().Param("to"));

    // ResetSMS clears the send properties.
    component_.Call("ResetSMS");
    EXPECT_EQ(0, component_.Get("smsCONCAT").number);
    EXPECT_EQ("", component_.Get("smsFROM").text);
    EXPECT_FALSE(component_.Get("smsDELIVERY_ACK").AsBool());
}

TEST_F(ComponentTest, BatchStartsSendsPerNumberAndEnds) {
    ASSERT_TRUE(component_.Login());
    component_.Put("smsCONCAT", Variant::FromLong(3));
    std::string batch = component_.Call("StartBatch", {T("Batch text")});
    ASSERT_EQ(0, component_.Error()) << batch;
    EXPECT_EQ(36u, batch.size());
    std::string reply = component_.Call("QuickBatchSend", {T("447700900001,447700909991,447700900002")});
    ASSERT_EQ(0, component_.Error()) << reply;
    EXPECT_NE(std::string::npos, reply.find(" To: 447700900001"));
    EXPECT_NE(std::string::npos, reply.find("ERR: 304, Destination rejected To: 447700909991"));
    EXPECT_EQ(2, std::count(reply.begin(), reply.end(), 'I'));  // two "ID:" lines
    EXPECT_EQ("OK: 2 messages", component_.Call("EndBatch").substr(0, 14));
    EXPECT_EQ(0, component_.Error());
    // After its end the batch takes no more numbers.
    component_.Call("QuickBatchSend", {T("447700900003")});
    EXPECT_EQ(501, component_.Error());

    auto start = sandbox_.Received("startbatch");
    auto quick = sandbox_.Received("quicksend");
    ASSERT_EQ(1u, start.size());
    ASSERT_EQ(2u, quick.size());
    EXPECT_EQ("Batch text", start[0].Param("text"));
    EXPECT_EQ("3", start[0].Param("concat"));
    EXPECT_EQ(batch.substr(4), quick[0].Param("batch"));
    EXPECT_EQ("447700900001,447700909991,447700900002", quick[0].Param("to"));
}

TEST_F(ComponentTest, GetMsgChargeAndStopMsgAPIIDTakeTheSendReplyAsIdentifier) {
    ASSERT_TRUE(component_.Login());
    std::string now = SendTo("447700900123");
    ASSERT_EQ(0, component_.Error());
    EXPECT_NE(std::string::npos,
              component_.Call("GetMsgCharge", {Variant::FromBool(true), T(now)}).find("status: 001"));
    // Identifiers come as the send reply or followed by "|" and the number.
    ASSERT_TRUE(sandbox_.AdvanceClock(60));
    std::string reply = component_.Call("GetMsgCharge", {Variant::FromBool(true), T(now + "|447700900123")});
    EXPECT_EQ(0, component_.Error());
    EXPECT_NE(std::string::npos, reply.find("status: 004")) << reply;
    EXPECT_NE(std::string::npos, reply.find("charge: 1.0")) << reply;
    EXPECT_NE(std::string::npos, component_.Call("QueryMsg", {T(now.substr(4))}).find("status: 004"));

    // Delivered: too late to withdraw (when it may be withdrawn is the sandbox's test).
    component_.Call("StopMsgAPIID", {T(now)});
    EXPECT_EQ(402, component_.Error());
}

// Each member reaches its endpoint and hands back the gateway's code in smsERROR, in order.
TEST_F(ComponentTest, MembersReachTheirEndpointAndReportTheGatewayCode) {
    ASSERT_TRUE(component_.Login());
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
        std::string reply = component_.Call(c.member, c.args);
        EXPECT_EQ(c.error, component_.Error()) << c.member << ": " << reply;
        if (c.reply) {
            EXPECT_EQ(c.reply, reply) << c.member;
        }
        auto received = sandbox_.Received();
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(c.endpoint, received.back().endpoint) << c.member;
    }
    auto asked = sandbox_.Received("forgot_password");
    ASSERT_EQ(2u, asked.size());
    EXPECT_EQ("demo", asked[0].Param("user"));
    EXPECT_EQ("Demo@Example.com", asked[0].Param("email"));
}

TEST_F(ComponentTest, EncodeToUnicodeGivesBigEndianUcs2Hex) {
    EXPECT_EQ("0048", component_.Call("EncodeToUnicode", {T("H")}));
    EXPECT_EQ(0, component_.Error());
    // é, the euro sign, and a character beyond the basic plane as a surrogate pair.
    EXPECT_EQ("00E920ACD83DDE00", component_.Call("EncodeToUnicode", {T("é€\xF0\x9F\x98\x80")}));
    EXPECT_EQ("", component_.Call("EncodeToUnicode", {T("")}));
    // Each byte of broken UTF-8 (a lone continuation byte, a cut-off sequence) becomes U+FFFD.
    EXPECT_EQ("FFFD0041FFFDFFFD", component_.Call("EncodeToUnicode", {T("\x80"
                                                                        "A\xE2\x82")}));
}

TEST_F(ComponentTest, VersionHasAFourCharacterPrefix) {
    std::string version = component_.Call("Version", {Variant::FromBool(false)});
    ASSERT_GT(version.size(), 4u);
    EXPECT_EQ(QUILLON_VERSION, version.substr(4));
}

// The sandbox's sessions end after their idle time; use keeps them alive. An ended one is 99 and
// logged out.
TEST_F(ComponentTest, SessionExpiryIsReportedAs99) {
    sandbox_.Stop();
    StartSandbox({"--session-idle", "60"});
    ASSERT_TRUE(component_.Login());
    for (int seconds : {50, 50}) {
        ASSERT_TRUE(sandbox_.AdvanceClock(seconds));
        component_.Call("Ping");
        EXPECT_EQ(0, component_.Error());
    }
    ASSERT_TRUE(sandbox_.AdvanceClock(61));
    component_.Call("Ping");
    EXPECT_EQ(99, component_.Error());
    EXPECT_FALSE(component_.Get("smsIsLoggedIn").AsBool());
    ASSERT_TRUE(component_.Login());
    component_.Call("Ping");
    EXPECT_EQ(0, component_.Error());
}

using ComponentFaultTest = ComponentTest;

TEST_F(ComponentFaultTest, TransportFailuresAre99AndMalformedRepliesAreNonZero) {
    ASSERT_TRUE(component_.Login());
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
        std::string reply = SendTo("447700900123");
        EXPECT_EQ(c.expected, component_.Error()) << c.kind << " " << c.value << ": " << reply;
        EXPECT_LT(reply.size(), 1000u);
        // The next call goes through again on the same object.
        SendTo("447700900123");
        EXPECT_EQ(0, component_.Error()) << "after " << c.kind;
    }
    // A balance reply that is no number is no balance.
    ASSERT_TRUE(sandbox_.InjectFault("garbage", 1, 0, "getbalance"));
    component_.Call("QueryBalance");
    EXPECT_EQ(98, component_.Error());
}

TEST_F(ComponentFaultTest, AClosedPortIs99AndAnAddressThatIsNoHttpIs97) {
    component_.Call("SetBaseURL", {T("ftp://127.0.0.1/")});
    EXPECT_EQ(97, component_.Error());
    EXPECT_TRUE(component_.Login());  // the old address still works

    component_.Call("SetBaseURL", {T("http://127.0.0.1:" + std::to_string(ClosedPort()) + "/")});
    ASSERT_EQ(0, component_.Error());
    EXPECT_FALSE(component_.Login());
    EXPECT_EQ(99, component_.Error());
    // https against a plain HTTP server fails the handshake: no reply, no crash.
    component_.Call("SetBaseURL", {T("https://127.0.0.1:" + std::to_string(sandbox_.Port()) + "/")});
    EXPECT_FALSE(component_.Login());
    EXPECT_EQ(99, component_.Error());
}

TEST_F(ComponentFaultTest, TwoThreadsEachReadTheirOwnResult) {
    ASSERT_TRUE(component_.Login());
    std::atomic<int> mismatches{0};
    auto run = [&](const std::string& number, int32_t expected) {
        for (int i = 0; i < 25; ++i) {
            SendTo(number);
            if (component_.Error() != expected)
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

// A loopback server that answers every connection with fixed bytes (or nothing at all), for replies
// no HTTP server library would send.
class RawServer {
public:
    explicit RawServer(std::string answer, bool hang = false) : answer_(std::move(answer)), hang_(hang) {
        fd_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof addr;
        if (bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd_, 8) != 0 ||
            getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &length) != 0) {
            return;
        }
        port_ = ntohs(addr.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~RawServer() {
        stop_ = true;
        shutdown(fd_, SHUT_RDWR);
        close(fd_);
        if (thread_.joinable())
            thread_.join();
    }
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/"; }

private:
    void Serve() {
        // Bounded: a test makes a handful of requests.
        for (int served = 0; served < 20 && !stop_; ++served) {
            int client = accept(fd_, nullptr, nullptr);
            if (client < 0)
                return;
            char buffer[4096];
            timeval wait{0, 200000};
            setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
            (void)!recv(client, buffer, sizeof buffer, 0);
            if (hang_) {
                // Hold the connection open without a word until the client gives up.
                while (!stop_ && recv(client, buffer, sizeof buffer, 0) != 0) {
                }
            } else {
                (void)!send(client, answer_.data(), answer_.size(), MSG_NOSIGNAL);
            }
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
    };
    for (const auto& c : cases) {
        RawServer server(c.answer);
        component_.Call("SetBaseURL", {T(server.Url())});
        EXPECT_FALSE(component_.Login());
        EXPECT_EQ(c.expected, component_.Error()) << c.answer;
    }
    RawServer hanging("", true);
    component_.Call("SetBaseURL", {T(hanging.Url())});
    EXPECT_FALSE(component_.Login());
    EXPECT_EQ(99, component_.Error());
}

TEST_F(ComponentFaultTest, HttpsRefusesAnUntrustedCertificate) {
    QUILLON_SKIP_WITHOUT_TOOL("/usr/bin/openssl");
    TempDir dir;
    std::string key = dir.File("key.pem"), cert = dir.File("cert.pem");
    std::string make = "/usr/bin/openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1 -keyout " + key +
                       " -out " + cert + " >/dev/null 2>&1";
    ASSERT_EQ(0, std::system(make.c_str()));
    int port = ClosedPort();
    // A TLS server that answers any request with its status page: with verification off the
    // component would get that page (98); verified, the handshake fails (99).
    pid_t pid = fork();
    if (pid == 0) {
        int null = open("/dev/null", O_RDWR);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        std::string accept = std::to_string(port);
        execl("/usr/bin/openssl", "openssl", "s_server", "-accept", accept.c_str(), "-cert", cert.c_str(), "-key",
              key.c_str(), "-www", "-quiet", static_cast<char*>(nullptr));
        _exit(127);
    }
    const bool up = WaitForListener(port);
    if (up) {
        component_.Call("SetBaseURL", {T("https://127.0.0.1:" + std::to_string(port) + "/")});
        EXPECT_FALSE(component_.Login());
        EXPECT_EQ(99, component_.Error());
    }
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
    ASSERT_TRUE(up) << "openssl s_server did not start";
}

// Proxy kind 4 through tinyproxy on loopback, with basic authentication.
constexpr const char* kTinyproxy = "/usr/bin/tinyproxy";

class ComponentProxyTest : public ComponentTest {
protected:
    void SetUp() override {
        ComponentTest::SetUp();
        QUILLON_SKIP_WITHOUT_TOOL(kTinyproxy);
    }
    void TearDown() override {
        StopProxy();
        ComponentTest::TearDown();
    }

    bool StartProxy() {
        proxyPort_ = ClosedPort();
        std::string conf = dir_.File("tinyproxy.conf");
        std::ofstream out(conf);
        out << "Port " << proxyPort_ << "\nListen 127.0.0.1\nTimeout 30\nMaxClients 20\n"
            << "Allow 127.0.0.1\nBasicAuth quser qpass\nLogLevel Critical\nSyslog Off\n";
        if (getuid() == 0)
            out << "User nobody\nGroup nogroup\n";
        out.close();
        proxyPid_ = fork();
        if (proxyPid_ == 0) {
            execl(kTinyproxy, kTinyproxy, "-d", "-c", conf.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        return WaitForListener(proxyPort_);
    }
    void StopProxy() {
        if (proxyPid_ <= 0)
            return;
        kill(proxyPid_, SIGTERM);
        if (!WaitUntil([this] { return waitpid(proxyPid_, nullptr, WNOHANG) == proxyPid_; }, 5000)) {
            kill(proxyPid_, SIGKILL);
            waitpid(proxyPid_, nullptr, 0);
        }
        proxyPid_ = -1;
    }
    TempDir dir_;
    pid_t proxyPid_ = -1;
    int proxyPort_ = 0;
};

TEST_F(ComponentProxyTest, GoesThroughTheProxyAndReportsItsRefusals) {
    ASSERT_TRUE(StartProxy()) << "tinyproxy did not start";
    std::string port = std::to_string(proxyPort_);
    EXPECT_EQ(96, Configure(4, "127.0.0.1", port, "quser", "wrong"));
    EXPECT_EQ(96, Configure(4, "127.0.0.1", port, "", ""));
    ASSERT_EQ(0, Configure(4, "127.0.0.1", port, "quser", "qpass"));
    ASSERT_TRUE(component_.Login());
    EXPECT_EQ("100.0", component_.Call("QueryBalance"));

    // With the proxy gone the gateway is out of reach, though it still runs.
    StopProxy();
    component_.Call("QueryBalance");
    EXPECT_EQ(99, component_.Error());
    EXPECT_EQ(95, Configure(4, "127.0.0.1", port, "quser", "qpass"));

    // Direct again.
    EXPECT_EQ(0, Configure(1, "", "", "", ""));
    EXPECT_EQ("100.0", component_.Call("QueryBalance"));
}

TEST_F(ComponentTest, ProxySettingsThatCannotWorkAreRefused) {
    EXPECT_EQ(95, Configure(4, "127.0.0.1", std::to_string(ClosedPort()), "quser", "qpass"));
    EXPECT_EQ(95, Configure(4, "", "3128", "", ""));
    EXPECT_EQ(95, Configure(4, "127.0.0.1", "port", "", ""));
    EXPECT_EQ(97, Configure(7, "", "", "", ""));
    // Without verify the settings are only taken.
    EXPECT_EQ(0, Configure(4, "127.0.0.1", std::to_string(ClosedPort()), "", "", false));
    EXPECT_FALSE(component_.Login());
    EXPECT_EQ(99, component_.Error());
}

TEST_F(ComponentProxyTest, EnvironmentKindsFollowTheProxyVariables) {
    ASSERT_TRUE(StartProxy()) << "tinyproxy did not start";
    setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxyPort_)).c_str(), 1);
    unsetenv("no_proxy");
    unsetenv("NO_PROXY");
    EXPECT_EQ(96, Configure(2, "", "", "", ""));
    EXPECT_EQ(0, Configure(3, "", "", "quser", "qpass"));
    EXPECT_TRUE(component_.Login());
    StopProxy();
    EXPECT_EQ(95, Configure(2, "", "", "quser", "qpass"));
    unsetenv("http_proxy");
    EXPECT_EQ(0, Configure(2, "", "", "", ""));
}

}  // namespace
}  // namespace quillon::test
