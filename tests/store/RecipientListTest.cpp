// The one parser of a recipient list: entry boundaries and what counts as a contact entry.
#include <gtest/gtest.h>

#include "store/RecipientList.h"

namespace quillon {
namespace {

TEST(RecipientList, SplitsEntriesAndRecognisesContactEntries) {
    struct Case {
        std::string to;
        std::vector<std::string> texts;
        std::vector<int32_t> contacts;  // -1: not a contact entry
    };
    const Case cases[] = {
        {"", {}, {}},
        {",", {}, {}},
        {",A7,0821", {"A7", "0821"}, {7, -1}},
        {"A7,,5,", {"A7", "", "5"}, {7, -1, -1}},
        {",,5", {"", "5"}, {-1, -1}},
        {"A2147483647,A2147483648,A02", {"A2147483647", "A2147483648", "A02"}, {2147483647, -1, 2}},
        {"A,A12x,a5,A-5,A 5", {"A", "A12x", "a5", "A-5", "A 5"}, {-1, -1, -1, -1, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        auto entries = ParseRecipientList(c.to);
        ASSERT_EQ(entries.size(), c.texts.size());
        for (size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].text, c.texts[i]);
            EXPECT_EQ(entries[i].contactId.value_or(-1), c.contacts[i]);
        }
    }
    EXPECT_TRUE(ParseRecipientList("A12x")[0].LooksLikeContact());
    EXPECT_FALSE(ParseRecipientList("A12")[0].LooksLikeContact());
    EXPECT_FALSE(ParseRecipientList("a12")[0].LooksLikeContact());
}

}  // namespace
}  // namespace quillon
