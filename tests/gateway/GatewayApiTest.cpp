// GatewayApi against an in-process component that records what it is asked.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "core/AppSettings.h"
#include "core/TestSeams.h"
#include "gateway/ComponentRegistry.h"
#include "gateway/FakeComponent.h"
#include "gateway/GatewayApi.h"

namespace quillon {
namespace {

using test::FakeComponent;

struct Bound {
    FakeComponent* component;
    GatewayHandle api;
};

Bound Bind(const std::vector<std::string>& names = FakeComponent::AllNames()) {
    auto* c = new FakeComponent(names);
    c->fallback.reply = "OK";
    auto api = std::make_shared<GatewayApi>(ComponentHandle(c));
    c->invocations.clear();
    return {c, api};
}

TEST(GatewayApiTest, NamesTheComponentDoesNotKnowAreStoredAsZeroAndNeverCalled) {
    auto names = FakeComponent::AllNames();
    names.erase(std::remove(names.begin(), names.end(), "QueryBalance"), names.end());
    names.erase(std::remove(names.begin(), names.end(), "smsSESSION_ID"), names.end());
    Bound b = Bind(names);
    EXPECT_TRUE(b.api->Ready());

    DispId id = -1;
    bool known = true;
    ASSERT_TRUE(b.api->LookupMethod("QueryBalance", id, known));
    EXPECT_TRUE(id == 0 && !known);
    ASSERT_TRUE(b.api->LookupProperty("smsSESSION_ID", id, known));
    EXPECT_TRUE(id == 0 && !known);
    ASSERT_TRUE(b.api->LookupMethod("Ping", id, known));
    EXPECT_TRUE(id != 0 && known);

    std::string reply = "untouched";
    EXPECT_EQ(b.api->QueryBalance(reply), kDispFail);
    EXPECT_EQ(b.api->Get_smsSESSION_ID(reply), kDispFail);
    EXPECT_EQ(reply, "untouched");
    EXPECT_TRUE(b.component->invocations.empty());
}

TEST(GatewayApiTest, PassesArgumentsLastFirstWithTheirKinds) {
    Bound b = Bind();
    const size_t lookups = b.component->asked.size();
    std::string reply;
    ASSERT_EQ(b.api->SendMsg(true, "hello", "+4479001", reply), kDispOk);
    ASSERT_EQ(b.component->invocations.size(), 1u);

    const auto& send = b.component->invocations[0];
    EXPECT_EQ(send.name, "SendMsg");
    EXPECT_EQ(send.kind, InvokeKind::Method);
    ASSERT_EQ(send.argsLastFirst.size(), 3u);
    EXPECT_EQ(send.argsLastFirst[0].kind, Variant::Kind::Text);
    EXPECT_EQ(send.argsLastFirst[0].text, "+4479001");
    EXPECT_EQ(send.argsLastFirst[1].text, "hello");
    EXPECT_EQ(send.argsLastFirst[2].kind, Variant::Kind::Bool);
    EXPECT_EQ(send.argsLastFirst[2].number, -1);  // true with all bits set
    // Calls use the numbers resolved once at binding: no further lookups.
    EXPECT_EQ(b.component->asked.size(), lookups);
}

TEST(GatewayApiTest, LateBoundCallsAreCaseInsensitiveAndNormaliseKinds) {
    Bound b = Bind();
    // A BOOL written as 1 still reaches the component with all bits set; a byte keeps its low eight bits.
    const Variant one{Variant::Kind::Bool, "", 1}, bigByte{Variant::Kind::Byte, "", 0x1FF};
    Variant result;
    ASSERT_EQ(b.api->Call("sendmsg", {one, Variant::FromText("t"), Variant::FromText("1")}, result), kDispOk);
    EXPECT_EQ(result.text, "OK");
    ASSERT_EQ(b.api->Call("SENDSIMPLESMS", {bigByte}, result), kDispOk);
    ASSERT_EQ(b.api->PutProperty("SMSconcat", Variant::FromLong(3)), kDispOk);

    ASSERT_EQ(b.component->invocations.size(), 3u);
    EXPECT_EQ(b.component->invocations[0].argsLastFirst[2].number, -1);
    EXPECT_EQ(b.component->invocations[1].name, "SendSimpleSMS");
    EXPECT_EQ(b.component->invocations[1].argsLastFirst[0].number, 0xFF);
    EXPECT_EQ(b.component->invocations[2].name, "smsCONCAT");
    EXPECT_EQ(b.component->invocations[2].kind, InvokeKind::PropertyPut);
    EXPECT_EQ(b.component->properties["smsCONCAT"].number, 3);
}

TEST(GatewayApiTest, GenericFailureForMissingObjectArgumentOrName) {
    GatewayApi none{ComponentHandle()};
    EXPECT_FALSE(none.Ready());
    std::string reply = "untouched";
    int32_t error = 12345;
    EXPECT_EQ(none.SendMsg(true, "x", "1", reply), kDispFail);
    EXPECT_EQ(none.Get_smsERROR(error), kDispFail);
    EXPECT_EQ(none.Put_smsCONCAT(3), kDispFail);
    EXPECT_TRUE(reply == "untouched" && error == 12345);

    Bound b = Bind();
    Variant result = Variant::FromText("untouched");
    // Too few arguments, an Empty one, a name outside the tables, a property put without a value.
    EXPECT_EQ(b.api->Call("SendMsg", {Variant::FromBool(true), Variant::FromText("x")}, result), kDispFail);
    EXPECT_EQ(b.api->Call("TokenPay", {Variant()}, result), kDispFail);
    EXPECT_EQ(b.api->Call("SendFax", {}, result), kDispFail);
    EXPECT_EQ(b.api->GetProperty("smsNOPE", result), kDispFail);
    EXPECT_EQ(b.api->PutProperty("smsFROM", Variant()), kDispFail);
    EXPECT_EQ(result.text, "untouched");
    EXPECT_TRUE(b.component->invocations.empty());
}

TEST(GatewayApiTest, ComponentStatusAndResultsComeBackRaw) {
    Bound b = Bind();
    b.component->fallback.status = kDispTypeMismatch;
    std::string reply = "untouched";
    EXPECT_EQ(b.api->QueryBalance(reply), kDispTypeMismatch);
    EXPECT_EQ(reply, "untouched");

    b.component->fallback = {"12.5\r\n", 0, 1};  // a positive status is not a failure
    EXPECT_EQ(b.api->QueryBalance(reply), 1);
    EXPECT_EQ(reply, "12.5\r\n");

    b.component->fallback = {"", 0, kDispOk};
    b.component->nonText = Variant::FromLong(-7);
    EXPECT_EQ(b.api->EndBatch(reply), kDispOk);
    EXPECT_EQ(reply, "-7");

    b.component->properties["smsERROR"] = Variant::FromLong(99);
    b.component->properties["smsSESSION_ID"] = Variant::FromText("0123456789abcdef0123456789abcdef");
    int32_t error = 0;
    EXPECT_EQ(b.api->Get_smsERROR(error), kDispOk);
    EXPECT_EQ(error, 99);
    EXPECT_EQ(b.api->Get_smsSESSION_ID(reply), kDispOk);
    EXPECT_EQ(reply, "0123456789abcdef0123456789abcdef");
}

// A call and the smsERROR read that judges it stay together under the guard: both threads start
// together and yield in between, so without it the other thread's call lands there almost every round.
TEST(GatewayApiTest, GuardKeepsACallAndItsErrorReadTogether) {
    Bound b = Bind();
    b.component->echoFirstArgToError = true;
    std::atomic<int> mismatches{0};
    std::atomic<int> waiting{2};
    auto run = [&](int32_t mine) {
        --waiting;
        while (waiting.load() > 0)
            std::this_thread::yield();
        for (int i = 0; i < 2000; ++i) {
            auto guard = b.api->Guard();
            Variant result;
            b.api->Call("Version", {Variant::FromLong(mine)}, result);
            std::this_thread::yield();
            int32_t error = 0;
            b.api->Get_smsERROR(error);
            if (error != mine)
                ++mismatches;
        }
    };
    std::thread ui(run, 1);
    std::thread worker(run, 2);
    ui.join();
    worker.join();
    EXPECT_EQ(mismatches.load(), 0);
}

class GatewayInstanceTest : public ::testing::Test {
protected:
    void TearDown() override {
        TestSeams::UnregisterComponentFactory(ComponentRegistry::Instance(), GatewayApi::kProgId);
        TestSeams::ResetGatewayInstance();
        Settings().COMBaseURL.clear();
    }
};

// The test factory (registered in another letter case) takes precedence over the registration file.
TEST_F(GatewayInstanceTest, InstanceCreatesByProgIdAndHandsTheComponentItsBaseUrl) {
    FakeComponent* created = nullptr;
    int creations = 0;
    TestSeams::RegisterComponentFactory(ComponentRegistry::Instance(), "sms_comapi.sms", [&]() -> IDispatchObject* {
        ++creations;
        created = new FakeComponent();
        return created;
    });
    Settings().COMBaseURL = "http://127.0.0.1:9/api/";
    TestSeams::ResetGatewayInstance();

    GatewayHandle first = GatewayApi::Instance();
    ASSERT_TRUE(GatewayApi::IsAvailable(first));
    EXPECT_EQ(GatewayApi::Instance(), first);
    EXPECT_EQ(creations, 1);
    ASSERT_EQ(created->invocations.size(), 1u);
    EXPECT_EQ(created->invocations[0].name, "SetBaseURL");
    EXPECT_EQ(created->invocations[0].argsLastFirst.at(0).text, "http://127.0.0.1:9/api/");
    // A handle outlives a reset; the next Instance() is a new object.
    TestSeams::ResetGatewayInstance();
    std::string reply;
    EXPECT_EQ(first->Ping(reply), kDispOk);
    EXPECT_NE(GatewayApi::Instance(), first);
    EXPECT_EQ(creations, 2);
}

TEST_F(GatewayInstanceTest, FailedCreationGivesAnEmptyHandleAndIsNotRetried) {
    int creations = 0;
    TestSeams::RegisterComponentFactory(ComponentRegistry::Instance(), GatewayApi::kProgId, [&]() -> IDispatchObject* {
        ++creations;
        return nullptr;
    });
    TestSeams::ResetGatewayInstance();
    EXPECT_FALSE(GatewayApi::IsAvailable(GatewayApi::Instance()));
    EXPECT_FALSE(GatewayApi::IsAvailable());
    EXPECT_EQ(creations, 1);
}

}  // namespace
}  // namespace quillon
