// The pane's in-memory contact table: members per group and the quick search.
#include <gtest/gtest.h>

#include "addressbook/ContactTable.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

TEST(ContactTable, MembersAndSearch) {
    test::TempDir dir;
    MessageStore store(dir.Path());
    AddressBook& book = store.Book();
    book.AddGroup("A");  // 2
    book.AddGroup("B");  // 3
    book.AddContact({"Ann", "Lee", "", "", "0821", {3, 2}});
    book.AddContact({"\xC3\x89mile", "Zola", "Dr", "secret", "0931", {2}});
    book.AddContact({"Bob", "", "", "", "0821", {}});
    ContactTable table;
    table.Load(book);
    ASSERT_EQ(table.Size(), 3u);
    EXPECT_EQ(table.MembersOf(2), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(table.MembersOf(1), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_TRUE(table.MembersOf(9).empty());
    EXPECT_EQ(table.FirstGroup(0), 3);
    EXPECT_EQ(table.Field(1, ContactField::kSurname), "Zola");
    EXPECT_EQ(table.IndexOf(3), 2);
    EXPECT_EQ(table.IndexOf(4), -1);

    struct Case {
        const char* text;
        size_t start;
        int64_t hit;
    };
    const Case cases[] = {
        {"0821", 0, 0},
        {"0821", 1, 2},
        {"0821", 3, 0},          // continues after a hit and wraps round
        {"\xC3\xA9MILE", 0, 1},  // letter case folded beyond ASCII
        {"annlee", 0, -1},
        {"ann lee", 0, -1},  // never across two fields
        {"secret", 0, -1},
        {"dr", 0, -1},  // title and custom are not searched
        {"", 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ(table.Find(c.text, c.start), c.hit) << c.text << " from " << c.start;
}

}  // namespace
}  // namespace quillon
