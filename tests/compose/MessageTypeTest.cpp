#include "store/MessageType.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(MessageType, NamesComeFromTheStringTableAndOnlyForKnownKinds) {
    ReloadMessageTypeNames();
    const auto& names = MessageTypeNames();
    EXPECT_EQ(names[0], "Text");
    EXPECT_EQ(names[6], "Nokia vCard");
    EXPECT_EQ(names[8], "Binary");
    EXPECT_EQ(MessageTypeName(9), "");
    EXPECT_EQ(MessageTypeName(-1), "");
}

}  // namespace
}  // namespace quillon
