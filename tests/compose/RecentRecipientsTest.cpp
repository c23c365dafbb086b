// The recent-recipient table: adding, de-duplicating, overflow, labels, clearing, the settings file.
#include "compose/RecentRecipients.h"

#include <gtest/gtest.h>

#include "core/AppSettings.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

TEST(RecentRecipients, AddPutsNewestFirstWithItsLabel) {
    AppSettings s;
    RecentRecipients recent(s);
    recent.ClearRecent();
    recent.AddRecent("Direct", "", "0821234567");
    recent.AddRecent("Ann", "Smith", "0831112222");
    ASSERT_EQ(recent.Count(), 2);
    EXPECT_EQ(s.NumRecent, 2);
    EXPECT_EQ(recent.Label(0), "Ann Smith (0831112222)");
    EXPECT_EQ(recent.Number(0), "0831112222");
    EXPECT_EQ(recent.Label(1), "Direct (0821234567)");
    EXPECT_TRUE(recent.InUse(0));
    EXPECT_TRUE(recent.InUse(1));
    EXPECT_FALSE(recent.InUse(2));
    EXPECT_EQ(s.recent[0][0], 3);  // state byte of a filled slot
    EXPECT_EQ(RecentRecipients::MakeLabel("", "", "5"), "(5)");
    EXPECT_EQ(RecentRecipients::MakeLabel("", "Lee", "5"), "Lee (5)");
}

TEST(RecentRecipients, KnownNumberIsNotAddedOrMovedAndTheTableKeepsTen) {
    AppSettings s;
    RecentRecipients recent(s);
    recent.ClearRecent();
    for (int i = 0; i < 4; ++i)
        recent.AddRecent("Direct", "", "08200000" + std::to_string(i));
    recent.AddRecent("Someone", "Else", "082000002");  // in slot 1 already
    EXPECT_EQ(recent.Count(), 4);
    EXPECT_EQ(recent.Number(0), "082000003");
    EXPECT_EQ(recent.Number(1), "082000002");

    for (int i = 4; i < 11; ++i)
        recent.AddRecent("Direct", "", "08200000" + std::to_string(i));
    EXPECT_EQ(recent.Count(), 10);
    EXPECT_EQ(recent.Number(0), "0820000010");
    EXPECT_EQ(recent.Number(9), "082000001");  // 082000000 dropped out
    for (int i = 0; i < 10; ++i)
        EXPECT_NE(recent.Number(i), "082000000");

    // Empty numbers are never entries.
    recent.AddRecent("Nobody", "", "");
    EXPECT_EQ(recent.Number(0), "0820000010");
}

TEST(RecentRecipients, LongNumbersAndLabelsAreCutOnWholeCharacters) {
    AppSettings s;
    RecentRecipients recent(s);
    recent.ClearRecent();
    const std::string longNumber = "12345678901234567890";
    recent.AddRecent("Direct", "", longNumber);
    recent.AddRecent("Direct", "", longNumber);  // matches its own cut form
    EXPECT_EQ(recent.Count(), 1);
    EXPECT_EQ(recent.Number(0), "1234567890123456");

    auto e = [](int n) {
        std::string s;
        for (int i = 0; i < n; ++i)
            s += "\xC3\xA9";  // two bytes each
        return s;
    };
    recent.AddRecent(e(40), "Surname", "0821234567");
    // 85 bytes less the number leave 73 for the names: 36 whole characters, not half of the 37th.
    EXPECT_EQ(recent.Label(0), e(36) + "(0821234567)");
}

TEST(RecentRecipients, SelectionMovesWithItsSlotAndClearRecentEmptiesAll) {
    AppSettings s;
    RecentRecipients recent(s);
    recent.ClearRecent();
    recent.AddRecent("A", "", "1");
    recent.AddRecent("B", "", "2");
    recent.SetSelected(1, true);
    recent.AddRecent("C", "", "3");
    EXPECT_TRUE(recent.Selected(2));
    EXPECT_FALSE(recent.Selected(0));
    EXPECT_EQ(recent.SelectedCount(), 1);
    recent.ClearSelection();
    EXPECT_EQ(recent.SelectedCount(), 0);

    recent.SetSelected(0, true);
    recent.ClearRecent();
    EXPECT_EQ(recent.Count(), 0);
    EXPECT_EQ(s.NumRecent, 0);
    EXPECT_EQ(recent.SelectedCount(), 0);
    for (int i = 0; i < kRecentSlots; ++i) {
        EXPECT_FALSE(recent.InUse(i));
        EXPECT_EQ(s.recent[i][0], 3);
        EXPECT_EQ(s.recent[i][1], 1);
    }
    recent.AddRecent("D", "", "4");
    EXPECT_EQ(recent.Count(), 1);
    EXPECT_TRUE(recent.InUse(0));
}

TEST(RecentRecipients, SurviveTheSettingsFile) {
    test::TempDir dir;
    const AppSettings saved = Settings();
    TheSettingsFile().Open(dir.File("SMS.dat"), false);
    RecentRecipients recent(Settings());
    recent.ClearRecent();
    recent.AddRecent("Direct", "", "0821234567");
    recent.AddRecent("Ren\xC3\xA9", "Roux", "0831112222");
    recent.SetSelected(1, true);
    SaveSettings();

    Settings() = AppSettings();
    TheSettingsFile().Open(dir.File("SMS.dat"), false);
    LoadSettings(false);
    EXPECT_EQ(Settings().NumRecent, 2);
    EXPECT_EQ(recent.Label(0), "Ren\xC3\xA9 Roux (0831112222)");
    EXPECT_EQ(recent.Number(1), "0821234567");
    EXPECT_TRUE(recent.Selected(1));
    EXPECT_TRUE(recent.InUse(1));
    EXPECT_FALSE(recent.InUse(2));
    TheSettingsFile().Close();
    Settings() = saved;
}

}  // namespace
}  // namespace quillon
