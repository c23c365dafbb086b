// The send engine's reading of recipient lists and batch replies (its chunking is tested end to end).
#include <gtest/gtest.h>

#include "gateway/SendEngine.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

TEST(SendEngine, RecipientsExpandWithContactsPrefixAndSixteenCharacters) {
    test::TempDir dir;
    MessageStore store(dir.Path());
    ContactRecord ann;
    ann.Name = "Ann";
    ann.Mobile = "0044712345678901234";
    ann.groups = {1};
    int32_t cid = store.Book().AddContact(ann);
    const std::string to = ",A" + std::to_string(cid) + ",00712345678,,A999,+4471234567890123456,A12x";
    auto entries = ExpandRecipients(store, to, "27");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].contactId, cid);
    EXPECT_EQ(entries[0].token, "A" + std::to_string(cid));
    EXPECT_EQ(entries[0].number, "2744712345678901");  // 16 characters of the mobile, then the prefix
    EXPECT_EQ(entries[1].contactId, -1);
    EXPECT_EQ(entries[1].number, "27712345678");
    EXPECT_EQ(entries[2].number, "+447123456789012");
    EXPECT_EQ(entries[2].token, "+4471234567890123456");

    // Without a prefix numbers stay as written; no leading comma is needed.
    entries = ExpandRecipients(store, "0711,0722", "");
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].number, "0711");
    EXPECT_TRUE(ExpandRecipients(store, "", "27").empty());
    EXPECT_TRUE(ExpandRecipients(store, ",", "27").empty());
}

TEST(SendEngine, BatchReplyIsReadWordByWord) {
    auto results = ParseBatchReply(
        "ID: 0123456789abcdef0123456789abcdef To: 44700000001\n"
        "err: 303, Invalid destination number To: 12\r\n"
        "Id:   fedcba  To: 44700000003");
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(results[0].accepted);
    EXPECT_EQ(results[0].number, "44700000001");
    EXPECT_EQ(results[0].text, "0123456789abcdef0123456789abcdef");
    EXPECT_FALSE(results[1].accepted);
    EXPECT_EQ(results[1].number, "12");
    EXPECT_EQ(results[1].text, "303, Invalid destination number");
    EXPECT_EQ(results[2].number, "44700000003");

    // A result closes with the number named last, whichever that is; words before the first
    // marker and a dangling "To:" are ignored.
    results = ParseBatchReply("junk To: 1 ID: a ID: b To:");
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(results[0].number, "1");
    EXPECT_EQ(results[1].number, "1");
    // Only the result markers are read in any letter case: a "to:" inside a result's text is text.
    results = ParseBatchReply("ERR: 114, cannot route to: 0 To: 447 TO: 9");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].number, "447");
    EXPECT_EQ(results[0].text, "114, cannot route to: 0 TO: 9");
    EXPECT_TRUE(ParseBatchReply("").empty());
    EXPECT_TRUE(ParseBatchReply("<html>Bad gateway</html>").empty());
}

}  // namespace
}  // namespace quillon
