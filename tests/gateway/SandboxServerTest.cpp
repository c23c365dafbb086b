// The sandbox gateway over loopback: replies, timeline, withdrawal, charges, vouchers, bad requests,
// faults, references, configuration and shutdown (how the component reads them is ComponentTest).
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/SandboxProcess.h"
#include "support/TempDir.h"
#include "support/Waits.h"

namespace quillon::test {
namespace {

using Params = std::map<std::string, std::string>;
using ::testing::StartsWith;

// True while the server side of a connection to the loopback port is established.
bool ServerHoldsAConnection(int port) {
    char local[32];
    std::snprintf(local, sizeof local, "0100007F:%04X", port);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, localAddress, remoteAddress, state;
        fields >> slot >> localAddress >> remoteAddress >> state;
        if (localAddress == local && state == "01")
            return true;
    }
    return false;
}

class SandboxServerTest : public ::testing::Test {
protected:
    void SetUp() override { Start({"--timeline", "10,20,30"}); }

    void Start(const std::vector<std::string>& args) {
        sandbox_.Stop();
        ASSERT_TRUE(sandbox_.Start(args)) << sandbox_.LastError();
        session_ = Login();
    }
    std::string Login(const std::string& user = "demo", const std::string& password = "demo") {
        std::string reply = sandbox_.Request("auth", {{"user", user}, {"password", password}, {"client_id", "QLNX"}});
        return reply.rfind("OK: ", 0) == 0 && reply.size() >= 36 ? reply.substr(4, 32) : std::string();
    }
    std::string Call(const std::string& endpoint, Params params) {
        params.emplace("session", session_);
        std::string reply = sandbox_.Request(endpoint, params);
        while (!reply.empty() && reply.back() == '\n')
            reply.pop_back();
        return reply;
    }
    // Sends and returns the 32-character id ("" on refusal; the reply in lastReply_).
    std::string Send(const std::string& to, const std::string& text = "Hello", Params extra = {}) {
        extra["to"] = to;
        extra["text"] = text;
        extra.emplace("concat", "3");
        lastReply_ = Call("sendmsg", extra);
        return lastReply_.rfind("ID: ", 0) == 0 ? lastReply_.substr(4, 32) : std::string();
    }
    // A field of the message's status reply ("" when missing; the status 0).
    std::string Field(const std::string& id, const std::string& name) {
        std::string reply = Call("getmsgcharge", {{"id", id}});
        auto at = reply.find(name + ": ");
        return at == std::string::npos ? std::string() : reply.substr(at + name.size() + 2);
    }
    int Status(const std::string& id) { return atoi(Field(id, "status").c_str()); }
    std::string Charge(const std::string& id) { return Field(id, "charge"); }
    std::string Balance() { return Call("getbalance", {}); }

    SandboxProcess sandbox_;
    std::string session_;
    std::string lastReply_;
};

TEST_F(SandboxServerTest, MessagesWalkTheTimelineAndNumbersPickTheirFailures) {
    struct Case {
        const char* number;
        int states[4];  // at sending, then 12, 22 and 32 seconds on
    };
    const Case cases[] = {
        {"447700900123", {1, 2, 3, 4}},   // delivered
        {"447700909992", {1, 9, 9, 9}},   // routing error
        {"447700909995", {1, 5, 5, 5}},   // error with message
        {"447700909993", {1, 2, 3, 7}},   // delivery error
        {"447700909994", {1, 2, 3, 10}},  // expired
        {"447700909996", {1, 2, 3, 8}},   // a code the client leaves alone
        {"447700909997", {1, 2, 3, 3}},   // never confirmed
    };
    std::vector<std::string> ids;
    for (const auto& c : cases) {
        ids.push_back(Send(c.number));
        ASSERT_FALSE(ids.back().empty()) << lastReply_;
    }
    for (int step : {0, 1, 2, 3}) {
        ASSERT_TRUE(step == 0 || sandbox_.AdvanceClock(step == 1 ? 12 : 10));
        for (size_t i = 0; i < ids.size(); ++i)
            EXPECT_EQ(cases[i].states[step], Status(ids[i])) << cases[i].number << " at step " << step;
    }
    EXPECT_EQ("", Send("447700909991"));
    EXPECT_EQ("ERR: 304, Destination rejected", lastReply_);
    EXPECT_EQ("", Send("12ab"));
    EXPECT_THAT(lastReply_, StartsWith("ERR: 303, "));
    // Only accepted messages cost: seven of them.
    EXPECT_EQ("OK: 93.0", Balance());
}

TEST_F(SandboxServerTest, DeferredMessagesWaitAndCanBeWithdrawnOnlyUntilTenMinutesBefore) {
    std::string early = Send("447700900123", "Later", {{"delivery_time", "30"}});
    std::string close = Send("447700900124", "Later", {{"delivery_time", "15"}});
    ASSERT_FALSE(early.empty() || close.empty()) << lastReply_;
    EXPECT_EQ(11, Status(early));
    EXPECT_EQ("OK: 98.0", Balance());

    ASSERT_TRUE(sandbox_.AdvanceClock(6 * 60));  // 9 minutes before the second one's delivery
    EXPECT_EQ(11, Status(close));
    EXPECT_THAT(Call("delmsg", {{"id", close}}), StartsWith("ERR: 402, "));
    EXPECT_EQ("OK: Message cancelled", Call("delmsg", {{"id", early}}));
    EXPECT_EQ(6, Status(early));
    EXPECT_EQ("0.0", Charge(early));
    EXPECT_EQ("OK: 99.0", Balance());  // the withdrawn one is refunded
    EXPECT_THAT(Call("delmsg", {{"id", early}}), StartsWith("ERR: 402, "));
    // At its delivery time the timeline starts.
    ASSERT_TRUE(sandbox_.AdvanceClock(9 * 60 + 1));
    EXPECT_EQ(1, Status(close));
    ASSERT_TRUE(sandbox_.AdvanceClock(30));
    EXPECT_EQ(4, Status(close));
    EXPECT_THAT(Call("delmsg", {{"id", close}}), StartsWith("ERR: 402, "));
    EXPECT_THAT(Call("delmsg", {{"id", "0123456789abcdef0123456789abcdef"}}), StartsWith("ERR: 401, "));
}

TEST_F(SandboxServerTest, ChargesPerPart) {
    std::string hex70, euros80;
    for (int i = 0; i < 80; ++i) {
        hex70 += i < 70 ? "0041" : "";
        euros80 += "\xE2\x82\xAC";
    }
    struct Case {
        std::string text;
        Params extra;
        const char* charge;
    };
    const Case cases[] = {
        {std::string(160, 'a'), {}, "1.0"},
        {std::string(161, 'a'), {}, "2.0"},
        {std::string(306, 'a'), {}, "2.0"},
        {std::string(307, 'a'), {}, "3.0"},
        {euros80, {}, "1.0"},  // an escape character counts twice
        {euros80 + "\xE2\x82\xAC", {}, "2.0"},
        {"Ω" + std::string(69, 'a'), {}, "1.0"},  // Greek capitals are in the GSM alphabet
        {"Ж" + std::string(69, 'a'), {}, "1.0"},  // Cyrillic is not: UCS-2, 70 in one part
        {"Ж" + std::string(70, 'a'), {}, "2.0"},
        {hex70, {{"unicode", "1"}}, "1.0"},
        {hex70 + "0041", {{"unicode", "1"}}, "2.0"},
        {std::string(280, 'A'), {{"msg_type", "8"}}, "1.0"},  // 140 octets of data
        {std::string(282, 'A'), {{"msg_type", "8"}}, "2.0"},
    };
    for (const auto& c : cases) {
        std::string id = Send("447700900123", c.text, c.extra);
        ASSERT_FALSE(id.empty()) << lastReply_;
        EXPECT_EQ(c.charge, Charge(id)) << c.text.substr(0, 20) << " (" << c.text.size() << " bytes)";
    }
    // Without concatenation only one part is allowed.
    EXPECT_EQ("", Send("447700900123", std::string(161, 'a'), {{"concat", "0"}}));
    EXPECT_THAT(lastReply_, StartsWith("ERR: 302, "));
    EXPECT_EQ("OK: 79.0", Balance());
    // Not enough credit left for two parts.
    ASSERT_TRUE(sandbox_.SetCredit("demo", 1.5));
    EXPECT_EQ("", Send("447700900123", std::string(200, 'a')));
    EXPECT_THAT(lastReply_, StartsWith("ERR: 301, "));
    EXPECT_FALSE(Send("447700900123", "one part").empty());
    EXPECT_EQ("OK: 0.5", Balance());
}

TEST_F(SandboxServerTest, VouchersCreditOnce) {
    EXPECT_THAT(Call("token_pay", {{"voucher", "QLNVOUCHER000050"}}), StartsWith("OK: 50.0 credits added"));
    EXPECT_EQ("OK: 150.0", Balance());
    EXPECT_THAT(Call("token_pay", {{"voucher", "QLNVOUCHER000050"}}), StartsWith("ERR: 607, "));
    EXPECT_THAT(Call("token_pay", {{"voucher", "QLNVOUCHER999999"}}), StartsWith("ERR: 601, "));
    EXPECT_EQ("OK: 150.0", Balance());
    // A reset makes them new again.
    ASSERT_TRUE(sandbox_.Reset());
    session_ = Login();
    EXPECT_THAT(Call("token_pay", {{"voucher", "QLNVOUCHER000050"}}), StartsWith("OK: "));
}

TEST_F(SandboxServerTest, BadRequestsGetAnErrReplyAndTheServerKeepsServing) {
    long status = 0;
    for (const char* endpoint : {"nosuchcommand", "no/such/path"})
        EXPECT_THAT(sandbox_.Request(endpoint, {}, &status), StartsWith("ERR: 101, ")) << endpoint;
    EXPECT_THAT(Call("sendmsg", {{"to", "447700900123"}}), StartsWith("ERR: 100, "));  // no text
    EXPECT_THAT(Call("sendmsg", {{"to", "447700900123"}, {"text", "x"}, {"concat", "many"}}), StartsWith("ERR: 100, "));
    EXPECT_THAT(Call("sendmsg", {{"to", "447700900123"}, {"text", "x"}, {"delivery_time", "-5"}}),
                StartsWith("ERR: 100"));
    EXPECT_THAT(Call("sendmsg", {{"to", "447700900123"}, {"text", "x"}, {"from", std::string(40, 'F')}}),
                StartsWith("ERR: 305, "));
    EXPECT_THAT(Call("sendmsg", {{"session", std::string(32, 'a')}, {"to", "1"}, {"text", "x"}}),
                StartsWith("ERR: 99, "));
    EXPECT_THAT(sandbox_.Request("sendmsg", {{"session", session_}, {"text", std::string(100 * 1024, 'x')}}, &status),
                StartsWith("ERR: 102, "));
    EXPECT_EQ(413, status);
    EXPECT_THAT(Call("forgot_password", {{"user", "demo"}, {"email", "x@y"}}), StartsWith("ERR: 701, "));
    EXPECT_EQ("OK: Password sent to demo@example.com",
              Call("forgot_password", {{"user", "demo"}, {"email", "demo@example.com"}}));
    EXPECT_FALSE(Send("447700900123").empty());
}

TEST_F(SandboxServerTest, ClientReferencesAreAnsweredFromMemoryAndSentOnce) {
    EXPECT_NE(sandbox_.Request("auth", {{"user", "demo"}, {"password", "demo"}}).find(" Refs: 7"), std::string::npos);
    const std::string first = Send("0712345678", "Hello", {{"ref", "r-1"}});
    ASSERT_FALSE(first.empty()) << lastReply_;
    EXPECT_EQ(lastReply_, "ID: " + first + " Ref: r-1");
    // A repeat, even with another text, gets the first answer; a refusal is remembered too.
    EXPECT_EQ(Send("0712345678", "Changed", {{"ref", "r-1"}}), first);
    EXPECT_EQ(Send("0712349991", "No", {{"ref", "r-2"}}), "");
    EXPECT_EQ(lastReply_, "ERR: 304, Destination rejected Ref: r-2");
    EXPECT_EQ(Send("0712345679", "No", {{"ref", "r-2"}}), "");

    const std::string batch = Call("startbatch", {{"text", "Batch"}, {"concat", "3"}}).substr(4, 32);
    // One reference twice in one call is sent once; a reference first used by sendmsg is answered.
    const std::string reply =
        Call("quicksend", {{"batch", batch}, {"to", "0711000001,0711000002,0711000001"}, {"refs", "r-3,r-1,r-3"}});
    const std::vector<std::string> lines = SandboxProcess::ListingLines("\n" + reply);
    ASSERT_EQ(lines.size(), 3u) << reply;
    EXPECT_EQ(lines[0].substr(0, 36), lines[2].substr(0, 36));
    EXPECT_EQ(lines[1], "ID: " + first + " To: 0711000002 Ref: r-1");
    EXPECT_EQ(Call("quicksend", {{"batch", batch}, {"to", "0711000001,0711000002"}, {"refs", "r-4"}}).substr(0, 8),
              "ERR: 100");
    EXPECT_EQ(Send("0712345678", "Bad", {{"ref", "no,commas"}}), "");
    EXPECT_EQ(lastReply_.substr(0, 8), "ERR: 100");

    EXPECT_EQ(sandbox_.Listing("messages").size(), 2u);  // r-1 and r-3
    const std::vector<std::string> refs = sandbox_.Listing("references");
    ASSERT_EQ(refs.size(), 3u);
    EXPECT_EQ(refs[0], "demo r-1 " + first + " repeats: 2");
    EXPECT_EQ(refs[1], "demo r-2 ERR:304 repeats: 1");
    EXPECT_EQ(refs[2].substr(refs[2].size() - 10), "repeats: 1");
    // References are kept seven days, then a reference is new again.
    ASSERT_TRUE(sandbox_.AdvanceClock(7 * 86400 + 1));
    session_ = Login();
    const std::string later = Send("0712345678", "Hello", {{"ref", "r-1"}});
    EXPECT_FALSE(later.empty());
    EXPECT_NE(later, first);
    // A gateway that does not honour references says nothing of them and sends every request.
    Start({"--references", "0"});
    EXPECT_EQ(sandbox_.Request("auth", {{"user", "demo"}, {"password", "demo"}}).find("Refs"), std::string::npos);
    EXPECT_NE(Send("0712345678", "Hello", {{"ref", "r-1"}}), Send("0712345678", "Hello", {{"ref", "r-1"}}));
    EXPECT_EQ(lastReply_.find("Ref:"), std::string::npos);
}

// Faults hit only the given number, or share, of requests; "lost" and "late" come after handling,
// so the message is sent. What each kind does to a reply is the component's fault test.
TEST_F(SandboxServerTest, InjectedFaultsHitOnlyTheirRequestsAndLostRepliesStillSend) {
    ASSERT_TRUE(sandbox_.InjectFault("status", 2, 503, "ping"));
    for (auto [endpoint, expected] : {std::pair{"getbalance", 200L}, {"ping", 503L}, {"ping", 503L}, {"ping", 200L}}) {
        long status = 0;
        sandbox_.Request(endpoint, {{"session", session_}}, &status);
        EXPECT_EQ(expected, status) << endpoint;
    }
    ASSERT_TRUE(sandbox_.InjectFault("lost", 1, 0, "sendmsg"));
    Send("0712345678", "A");
    EXPECT_EQ(lastReply_.find("ID: "), std::string::npos) << lastReply_;
    EXPECT_EQ(sandbox_.Listing("messages").size(), 1u) << "handled although its reply was lost";
    ASSERT_TRUE(sandbox_.InjectFault("late", 1, 50, "sendmsg"));
    EXPECT_FALSE(Send("0712345679").empty());
    EXPECT_EQ(sandbox_.Listing("messages").size(), 2u);

    bool ok = false;
    sandbox_.Control("fault", {{"kind", "lost"}, {"count", "1000"}, {"percent", "50"}, {"endpoint", "ping"}}, &ok);
    ASSERT_TRUE(ok);
    int answered = 0;
    for (int i = 0; i < 40; ++i)
        answered += Call("ping", {}) == "OK: Session valid";
    EXPECT_GT(answered, 0);
    EXPECT_LT(answered, 40);
    // Refused: an unknown kind, no count, a chance outside 1..100.
    sandbox_.Control("fault", {{"kind", "explode"}, {"count", "1"}}, &ok);
    EXPECT_FALSE(ok);
    EXPECT_FALSE(sandbox_.InjectFault("status", 0));
    sandbox_.Control("fault", {{"kind", "lost"}, {"count", "1"}, {"percent", "0"}}, &ok);
    EXPECT_FALSE(ok);
}

TEST_F(SandboxServerTest, ReadsAccountsAndVouchersFromItsConfigurationFile) {
    TempDir dir;
    WriteFile(dir.File("sandbox.conf"),
              "# test accounts\n"
              "account alice s3cret 2.5 alice@example.org\n"
              "voucher ALICEVOUCHER0001 7.25\n"
              "client-id QLNX\n"
              "part-price 0.5\n");
    Start({"--config", dir.File("sandbox.conf")});
    EXPECT_EQ("", Login("demo", "demo"));  // the file's accounts replace the built-in one
    session_ = Login("alice", "s3cret");
    ASSERT_EQ(32u, session_.size());
    EXPECT_THAT(sandbox_.Request("auth", {{"user", "alice"}, {"password", "s3cret"}, {"client_id", "OTHER"}}),
                StartsWith("ERR: 202, "));
    EXPECT_EQ("OK: 2.5", Balance());
    EXPECT_FALSE(Send("447700900123").empty());
    EXPECT_EQ("OK: 2.0", Balance());
    EXPECT_THAT(Call("token_pay", {{"voucher", "ALICEVOUCHER0001"}}), StartsWith("OK: 7.25 credits added"));
    EXPECT_THAT(Call("token_pay", {{"voucher", "QLNVOUCHER000010"}}), StartsWith("ERR: 601, "));

    WriteFile(dir.File("bad.conf"), "account onlyname\n");
    sandbox_.Stop();
    EXPECT_FALSE(sandbox_.Start({"--config", dir.File("bad.conf")}));
}

TEST_F(SandboxServerTest, StopsCleanlyOnSigterm) {
    // A request held in a delay must not keep the server from stopping.
    ASSERT_TRUE(sandbox_.InjectFault("delay", 1, 600000));
    std::thread held([this] { sandbox_.Request("ping", {{"session", session_}}); });
    EXPECT_TRUE(WaitUntil([this] { return ServerHoldsAConnection(sandbox_.Port()); }));
    sandbox_.Stop();
    held.join();
    EXPECT_EQ(0, sandbox_.ExitCode());
}

}  // namespace
}  // namespace quillon::test
