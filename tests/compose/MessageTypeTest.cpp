#include "store/MessageType.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(MessageType, NamesGatewayCodesAndLayout) {
    ReloadMessageTypeNames();
    const auto& names = MessageTypeNames();
    EXPECT_EQ(names[0], "Text");
    EXPECT_EQ(names[6], "Nokia vCard");
    EXPECT_EQ(names[8], "Binary");
    EXPECT_EQ(MessageTypeName(9), "");
    EXPECT_EQ(MessageTypeName(-1), "");

    const long expected[] = {0, 1, 0, 6, 5, 3, 8, 9, 0};
    for (int code = 0; code < kMessageTypeCount; ++code)
        EXPECT_EQ(GatewayKindCode(code), expected[code]) << code;
    EXPECT_EQ(GatewayKindCode(-3), 0);
    EXPECT_EQ(GatewayKindCode(42), 0);

    // Selector order: Text, Flash, Unicode, vCard, vCal.
    const int32_t order[] = {0, 1, 2, 6, 7};
    for (size_t i = 0; i < kSelectableMessageTypes.size(); ++i)
        EXPECT_EQ(static_cast<int32_t>(kSelectableMessageTypes[i]), order[i]);

    for (int32_t typed : {0, 1, 2})
        EXPECT_EQ(LayoutMask(typed), 63u);
    for (int32_t file : {6, 7}) {
        EXPECT_EQ(LayoutMask(file), 192u);
        EXPECT_TRUE(IsFileBasedType(file));
    }
    EXPECT_EQ(LayoutMask(kNoKindSelected), 0u);
    EXPECT_FALSE(IsFileBasedType(0));
}

}  // namespace
}  // namespace quillon
