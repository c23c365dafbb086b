// The status query engine's reading of identifiers and replies (its schedule is tested end to end).
#include <gtest/gtest.h>

#include "gateway/StatusQueryEngine.h"
#include "store/MessageStatus.h"

namespace quillon {
namespace {

TEST(StatusQuery, ReplyFieldsAreReadInAnyLetterCase) {
    ChargeReply r = ParseChargeReply("ID: x Status: 004 Charge: 1.5");
    EXPECT_TRUE(r.answered);
    EXPECT_EQ(r.code, 4);
    EXPECT_TRUE(r.hasCharge);
    EXPECT_EQ(r.charge, "1.5");
    EXPECT_EQ(StatusOfGatewayCode(r.code), StatusCode(MessageStatus::Delivered));

    r = ParseChargeReply("CHARGE:   2.25 more STATUS: 011\r\n");
    EXPECT_EQ(r.code, 11);
    EXPECT_EQ(r.charge, "2.25");

    r = ParseChargeReply("charge: 0.5");
    EXPECT_FALSE(r.answered);
    EXPECT_TRUE(r.hasCharge);
    r = ParseChargeReply("ERR: 402, Unknown message");
    EXPECT_FALSE(r.answered);
    EXPECT_FALSE(r.hasCharge);
    r = ParseChargeReply("status:");  // nothing after the marker
    EXPECT_TRUE(r.answered);
    EXPECT_EQ(r.code, 0);
}

TEST(StatusQuery, GatewayCodesMapOrLeaveTheStatus) {
    const int32_t expected[] = {-1, 11, 1, 8, 9, 13, 14, 15, -1, 16, 17, 7, -1};
    for (long code = 0; code <= 12; ++code)
        EXPECT_EQ(StatusOfGatewayCode(code), expected[code]) << code;
    EXPECT_EQ(StatusOfGatewayCode(-4), -1);
}

TEST(StatusQuery, ApiMsgIdSplitsIntoIdentifiers) {
    const std::string a(32, 'a'), b(32, 'b'), c(32, 'c');
    auto ids = SplitApiMsgID(",ID: " + a + ",ID: " + b + "|0712345678,junk,ID: " + c);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[0].id, a);
    EXPECT_EQ(ids[0].number, "");
    EXPECT_EQ(ids[1].id, b);
    EXPECT_EQ(ids[1].number, "0712345678");
    EXPECT_EQ(ids[1].piece, "ID: " + b + "|0712345678");
    EXPECT_EQ(ids[2].id, c);
    EXPECT_TRUE(SplitApiMsgID("").empty());
    EXPECT_TRUE(SplitApiMsgID(",").empty());
}

}  // namespace
}  // namespace quillon
