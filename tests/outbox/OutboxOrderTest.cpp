// The outbox view's order (sort rules, reversal, re-sort on a status change, filters) and the
// export file, against a real store in a temporary data directory.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/AppSettings.h"
#include "core/StringTable.h"
#include "outbox/OutboxExport.h"
#include "outbox/OutboxOrder.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::TempDir;

struct Row {
    int32_t time, stat;
    const char* to;
    const char* msg;
};

// IDs 1..5 in this order.
const Row kRows[] = {
    {300, 9, "bob", "b text"},     // 1
    {100, 0, "Cat", "a text"},     // 2
    {300, 2, "cat", "TAB\there"},  // 3
    {200, 0, "Bob", "c text"},     // 4
    {100, 99, "Cat", "x"},         // 5: a state outside the table
};

std::unique_ptr<MessageStore> MakeStore(const TempDir& dir) {
    auto store = std::make_unique<MessageStore>(dir.Path());
    for (const Row& r : kRows)
        store->Outbox().AddSms(r.stat, r.time, 0, 0, r.to, r.msg, "", 0, "?");
    return store;
}

class OutboxOrderTest : public ::testing::Test {
protected:
    TempDir dir_;
    std::unique_ptr<MessageStore> store_ = MakeStore(dir_);
};

// Each step: a column click (0..4), -1 a rebuild, or -2 a status change of message 2 to Delivered.
struct OrderCase {
    const char* name;
    std::vector<int> steps;
    std::vector<int32_t> expected;
};

TEST(OutboxOrder, SortRules) {
    const OrderCase cases[] = {
        {"time ascending, equal times in ID order", {}, {2, 5, 4, 1, 3}},
        {"second click reverses the list as it stands", {0}, {3, 1, 4, 5, 2}},
        {"status ascending, equal states in ID order", {2}, {2, 4, 3, 1, 5}},
        {"status twice is descending", {2, 2}, {5, 1, 3, 4, 2}},
        {"a rebuild sorts ascending again", {2, 2, -1}, {2, 4, 3, 1, 5}},
        {"recipient compares case-sensitively", {1}, {4, 2, 5, 1, 3}},
        {"message text", {4}, {3, 2, 1, 4, 5}},
        {"sorted by status, a status change sorts again", {2, -2}, {4, 3, 1, 2, 5}},
        {"sorted by status descending, a status change sorts ascending", {2, 2, -2}, {4, 3, 1, 2, 5}},
        {"sorted by recipient, a status change keeps the order", {1, -2}, {4, 2, 5, 1, 3}},
    };
    for (const OrderCase& c : cases) {
        TempDir dir;
        auto store = MakeStore(dir);
        OutboxOrder order(*store);
        ASSERT_TRUE(order.Rebuild());
        for (int step : c.steps) {
            if (step == -1) {
                order.Rebuild();
            } else if (step == -2) {
                store->Outbox().SetSmsStatus(2, StatusCode(MessageStatus::Delivered));
                order.StatusChanged({2});
            } else {
                order.ClickColumn(step);
            }
        }
        EXPECT_EQ(order.Ids(), c.expected) << c.name;
        for (size_t row = 0; row < c.expected.size(); ++row)
            EXPECT_EQ(order.RowOf(c.expected[row]), static_cast<int>(row)) << c.name;
    }
}

TEST_F(OutboxOrderTest, FiltersByTextAndStatusGroup) {
    const std::tuple<const char*, StatusGroup, std::vector<int32_t>> cases[] = {
        {"", StatusGroup::All, {2, 5, 4, 1, 3}}, {"cat", StatusGroup::All, {2, 5, 3}},  // letter case ignored
        {"TEXT", StatusGroup::All, {2, 4, 1}},                                          // in the message
        {"", StatusGroup::Waiting, {2, 4}},      {"", StatusGroup::Delivered, {1}},    {"", StatusGroup::Failed, {3}},
        {"bob", StatusGroup::Waiting, {4}},      {"%", StatusGroup::All, {}},  // no pattern characters
    };
    OutboxOrder order(*store_);
    for (const auto& [text, group, expected] : cases) {
        order.SetFilter({text, group});
        ASSERT_TRUE(order.Rebuild());
        EXPECT_EQ(order.Ids(), expected) << text << " / " << static_cast<int>(group);
    }
}

TEST_F(OutboxOrderTest, ExportQuotesWhatWouldBreakARecordAndKeepsTheRest) {
    Settings().prefix = "+27";
    const int32_t id = store_->Outbox().AddSms(0, 1700000000, 0, 0, "0821234567", "say \"hi\"\nbye", "", 0, "?");
    const std::string when = FormatSmsTime(1700000000);
    const std::pair<std::string, std::string> fields[] = {
        {"plain", "plain"},
        {"a\tb", "\"a\tb\""},
        {"two\r\nlines", "\"two\r\nlines\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
    };
    for (const auto& [in, out] : fields)
        EXPECT_EQ(ExportField(in), out) << in;

    const std::string path = dir_.Path() + "/out.txt";
    const std::vector<int32_t> ids = {id, 77, 3};  // 77 does not exist: left out
    ASSERT_EQ(ExportOutbox(*store_, path, &ids), ExportResult::Ok);
    std::ifstream in(path, std::ios::binary);
    std::stringstream content;
    content << in.rdbuf();
    EXPECT_EQ(content.str(), "ID\tTime\tStatus\tType\tCharge\tTo\tMsg\r\n" + std::to_string(id) + "\t" + when +
                                 "\tPending\tText\t?\t+27821234567\t\"say \"\"hi\"\"\nbye\"\r\n3\t" +
                                 FormatSmsTime(300) + "\tFailed\tText\t?\tcat\t\"TAB\there\"\r\n" +
                                 LoadResourceString(1285));
    Settings().prefix.clear();

    EXPECT_EQ(ExportOutbox(*store_, dir_.Path() + "/no/such/dir/x.txt", nullptr), ExportResult::CannotOpen);
    OutboxExportProgress progress;
    progress.cancel = true;
    EXPECT_EQ(ExportOutbox(*store_, path, nullptr, &progress), ExportResult::Cancelled);
}

}  // namespace
}  // namespace quillon
