// The string table, the message formatter and the language module.
#include <gtest/gtest.h>

#include <string>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/StringTable.h"
#include "core/StringTableData.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::TempDir;
using test::WriteFile;

TEST(StringTable, BuiltInTableIsSortedAndComplete) {
    size_t count = 0;
    const BuiltInString* table = BuiltInStrings(count);
    ASSERT_GT(count, 200u);
    for (size_t i = 1; i < count; ++i)
        EXPECT_LT(table[i - 1].id, table[i].id) << table[i].id;
    // Whole ranges that code indexes by offset.
    for (auto [first, last] : {std::pair{1216, 1233}, {1520, 1537}, {1312, 1320}, {1456, 1482}})
        for (int id = first; id <= last; ++id)
            EXPECT_NE(FindBuiltInString(id), nullptr) << id;
    EXPECT_EQ(LoadResourceString(1216), "Pending");
    // A missing id names itself.
    EXPECT_EQ(LoadResourceString(221), "String [221]");
    EXPECT_EQ(LoadResourceString(-4), "String [-4]");
    EXPECT_EQ(FormatResourceString(99999, {1}), "String [99999]");
}

TEST(Formatter, NumberedInserts) {
    EXPECT_EQ(FormatResourceString(1033, {5, 12, 2026, 9, 3}), "05/12/2026 09:03");
    EXPECT_EQ(FormatResourceString(1333, {12, 5, "?"}), "Balance: 12.5?");
    EXPECT_EQ(FormatResourceString(1333, {0, 0, ""}), "Balance: 0.0");
    EXPECT_EQ(FormatResourceString(1188, {"Sending SMS", 4, 2}), "Sending SMS:4 SMS to go. Expanding(2)");
    EXPECT_EQ(FormatResourceString(1177, {"Friends", 12}),
              "Are you sure you want to delete the Friends group and all its 12 members?");
    EXPECT_EQ(FormatMessageText("%2 before %1", {"one", "two"}), "two before one");
    EXPECT_EQ(FormatMessageText("%1!s!%1!s!", {"ab"}), "abab");
    EXPECT_EQ(FormatMessageText("%1!d!|%1!x!|%1!5d!|%1!-4d!|", {-26}), "-26|ffffffe6|  -26|-26 |");
    EXPECT_EQ(FormatMessageText("%1!x! %2!X!", {26, 255}), "1a FF");
    EXPECT_EQ(FormatMessageText("[%1!5s!][%1!-5s!]", {"ab"}), "[   ab][ab   ]");
    EXPECT_EQ(FormatMessageText("%1!s! and %1!d!", {42}), "42 and 42");
    EXPECT_EQ(FormatMessageText("%10", {1, 2, 3, 4, 5, 6, 7, 8, 9, "ten"}), "ten");
}

TEST(Formatter, PercentSignsAndOddInserts) {
    EXPECT_EQ(FormatMessageText("100%% sure", {}), "100% sure");
    EXPECT_EQ(FormatMessageText("50% off", {}), "50% off");
    EXPECT_EQ(FormatMessageText("%1!d!% sure", {100}), "100% sure");
    EXPECT_EQ(FormatMessageText("ends with %", {}), "ends with %");
    EXPECT_EQ(FormatMessageText("%2!d! missing", {1}), "%2!d! missing");
    EXPECT_EQ(FormatMessageText("%1!q! unknown", {7}), "7!q! unknown");
    EXPECT_EQ(FormatMessageText("Outbox (%d)", {17}), "Outbox (17)");
    EXPECT_EQ(FormatResourceString(1179, {3}), "Are you sure you want to delete 3 contact(s)?");
    EXPECT_EQ(FormatMessageText("%s %s (%s)", {"Ann", "Lee", "0123"}), "Ann Lee (0123)");
    EXPECT_EQ(FormatMessageText("no args %d", {}), "no args %d");
}

class LanguageModuleTest : public ::testing::Test {
protected:
    void TearDown() override {
        UnloadLanguageModule();
        Settings() = AppSettings{};
        SetDataDirectory("");
    }
    TempDir dir_;
};

TEST_F(LanguageModuleTest, ReplacesIdsItHoldsAndFallsBackForOthers) {
    WriteFile(dir_.File("Language.dll"),
              "\xEF\xBB\xBF# Deutsch\r\n"
              "1216\tAusstehend\r\n"
              "1250\t\\r\\nNachricht:  \r\n"
              "1033\t%3!d!-%2!02d!-%1!02d! %4!02d!:%5!02d!\n"
              "1341\tTab\\there, backslash \\\\ end\n"
              "\n");
    ASSERT_TRUE(LoadLanguageModule(dir_.File("Language.dll")));
    EXPECT_EQ(LoadResourceString(1216), "Ausstehend");
    EXPECT_EQ(LoadResourceString(1250), "\r\nNachricht:  ");
    EXPECT_EQ(LoadResourceString(1341), "Tab\there, backslash \\ end");
    EXPECT_EQ(FormatResourceString(1033, {5, 12, 2026, 9, 3}), "2026-12-05 09:03");
    EXPECT_EQ(LoadResourceString(1217), "Queued");
    EXPECT_EQ(LoadResourceString(221), "String [221]");
    UnloadLanguageModule();
    EXPECT_EQ(LoadResourceString(1216), "Pending");
}

TEST_F(LanguageModuleTest, MalformedLinesAreSkipped) {
    WriteFile(dir_.File("Language.dll"),
              "1216 no tab here\n"
              "abc\tnot a number\n"
              "0\tzero is no id\n"
              "70000\ttoo large\n"
              "\tno id\n"
              "1217\tbad escape \\q\n"
              "1218\ttrailing backslash \\\n"
              "1219\tinvalid \xC3\x28 utf-8\n"
              "1220\tGeplant\n"
              "1220\tZuletzt gewinnt\n"
              "1221\t\n");
    ASSERT_TRUE(LoadLanguageModule(dir_.File("Language.dll")));
    for (int id = 1216; id <= 1219; ++id)
        EXPECT_EQ(LoadResourceString(id), FindBuiltInString(id)) << id;
    EXPECT_EQ(LoadResourceString(1220), "Zuletzt gewinnt");
    EXPECT_EQ(LoadResourceString(1221), "");
}

TEST_F(LanguageModuleTest, MissingEmptyOrBinaryFileKeepsBuiltInTable) {
    EXPECT_FALSE(LoadLanguageModule(dir_.File("none.dll")));
    WriteFile(dir_.File("empty.dll"), "");
    EXPECT_FALSE(LoadLanguageModule(dir_.File("empty.dll")));
    WriteFile(dir_.File("binary.dll"), std::string("MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFF", 14));
    EXPECT_FALSE(LoadLanguageModule(dir_.File("binary.dll")));
    EXPECT_EQ(LoadResourceString(1216), "Pending");
}

TEST_F(LanguageModuleTest, LoadedFromTheDataDirectoryOnlyWhenI18nIsOn) {
    WriteFile(dir_.File("Language.dll"), "1216\tEn attente\n");
    SetDataDirectory(dir_.Path());
    Settings().i18n = false;
    EXPECT_FALSE(LoadConfiguredLanguageModule());
    EXPECT_EQ(LoadResourceString(1216), "Pending");
    Settings().i18n = true;
    EXPECT_TRUE(LoadConfiguredLanguageModule());
    EXPECT_EQ(LoadResourceString(1216), "En attente");
}

}  // namespace
}  // namespace quillon
