// The process-wide settings: defaults, limits, save orders and the recent-recipient letters.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/AppSettings.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::TempDir;

class AppSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Settings() = AppSettings{};
        TheSettingsFile().Open(dir_.File("SMS.dat"), false);
    }
    void TearDown() override {
        TheSettingsFile().Close();
        Settings() = AppSettings{};
    }

    // Stores `text` under `key` in the file and reloads the settings from it.
    void StoreAndLoad(const std::string& key, const std::string& text, bool withLogin = true) {
        TheSettingsFile().SetString(key, text);
        ASSERT_TRUE(TheSettingsFile().Save());
        TheSettingsFile().Open(dir_.File("SMS.dat"), false);
        LoadSettings(withLogin);
    }

    std::string Stored(const std::string& key) {
        std::string value;
        TheSettingsFile().Lookup(key, value);
        return value;
    }

    TempDir dir_;
};

TEST_F(AppSettingsTest, EmptyFileGivesTheDefaults) {
    Settings().ProxyType = 0;
    Settings().i18n = false;
    LoadSettings(true);
    const AppSettings& s = Settings();
    EXPECT_EQ(s.voucher_url, kDefaultVoucherUrl);
    EXPECT_EQ(s.COMBaseURL, kDefaultComBaseUrl);
    EXPECT_EQ(std::string(kDefaultVoucherUrl).rfind("https://", 0), 0u);
    EXPECT_EQ(std::string(kDefaultComBaseUrl).rfind("https://", 0), 0u);
    EXPECT_EQ(s.ProxyType, 1);
    EXPECT_EQ(s.UploadToServerXDaysBefore, 1);
    EXPECT_TRUE(s.WorkingOnLine);
    EXPECT_TRUE(s.IndividualSMSTracking);
    EXPECT_TRUE(s.i18n);
    EXPECT_FALSE(s.WriteLog);
    EXPECT_EQ(s.NumRecent, 0);
    EXPECT_EQ(s.prefix, "");
}

TEST_F(AppSettingsTest, LimitsApplyAfterLoading) {
    StoreAndLoad("NumRecent", "25");
    EXPECT_EQ(Settings().NumRecent, 10);
    StoreAndLoad("NumRecent", "-3");
    EXPECT_EQ(Settings().NumRecent, 0);
    StoreAndLoad("ProxyType", "0");
    EXPECT_EQ(Settings().ProxyType, 1);
    StoreAndLoad("ProxyType", "9");
    EXPECT_EQ(Settings().ProxyType, 4);
    StoreAndLoad("ProxyType", "3");
    EXPECT_EQ(Settings().ProxyType, 3);
    StoreAndLoad("COMBaseURL", "");
    EXPECT_EQ(Settings().COMBaseURL, kDefaultComBaseUrl);
    StoreAndLoad("comBASEurl", "http://gw.example/api/");
    EXPECT_EQ(Settings().COMBaseURL, "http://gw.example/api/");
}

TEST_F(AppSettingsTest, LoginValuesLoadOnlyWhenAsked) {
    TheSettingsFile().SetString("Login", "alice");
    TheSettingsFile().SetString("Password", "secret");
    TheSettingsFile().SetString("RememberPassword", "1");
    TheSettingsFile().SetString("WorkingOnLine", "0");
    Settings().Login = "in-memory";
    LoadSettings(false);
    EXPECT_EQ(Settings().Login, "in-memory");
    EXPECT_TRUE(Settings().WorkingOnLine);
    LoadSettings(true);
    EXPECT_EQ(Settings().Login, "alice");
    EXPECT_EQ(Settings().Password, "secret");
    EXPECT_TRUE(Settings().RememberPassword);
    EXPECT_FALSE(Settings().WorkingOnLine);
}

TEST_F(AppSettingsTest, EverySavedKeyRoundTripsAndLoginKeysAreLeftAlone) {
    RecentRecord record{};
    record.fill(0xA5);
    // Every key SaveSettings writes, with a value that differs from its default.
    const std::map<std::string, std::string> saved = {{"PREFIX", "+27"},
                                                      {"SIG", "-- me"},
                                                      {"WRITELOG", "1"},
                                                      {"SPANSMS", "1"},
                                                      {"DELIVERYACKS", "1"},
                                                      {"STARTMINIMIZED", "1"},
                                                      {"OUTLOOK_NAME", "profile"},
                                                      {"OUTLOOK_PASSWORD", "pw"},
                                                      {"MAPI_ADDRESSBOOK", "1"},
                                                      {"VCARDPATH", "/srv/cards"},
                                                      {"SENDER_ID", "ACME"},
                                                      {"SET_SENDER", "1"},
                                                      {"VOUCHER_URL", "https://shop.example/"},
                                                      {"DISPLAY_CREDITS", "1"},
                                                      {"BG_IMAGE_PATH", "http://img.example/b.png"},
                                                      {"FONTCOL", "1193046"},
                                                      {"LASTBALANCE", "-15"},
                                                      {"BALANCEWITHFRACTION", "1"},
                                                      {"NUMRECENT", "1"},
                                                      {"WORKINGONLINE", "0"},
                                                      {"SCHEDULETOSERVER", "1"},
                                                      {"UPLOADTOSERVERXDAYSBEFORE", "7"},
                                                      {"PROXYTYPE", "4"},
                                                      {"PROXYHOST", "proxy.example"},
                                                      {"PROXYPORT", "3128"},
                                                      {"PROXYUSERNAME", "pu"},
                                                      {"PROXYPASSWORD", "pp"},
                                                      {"INDIVIDUALSMSTRACKING", "0"},
                                                      {"RECENT0", EncodeRecentRecord(record)}};
    for (const auto& [key, value] : saved)
        TheSettingsFile().SetString(key, value);
    TheSettingsFile().SetString("help_url", "https://help.example/");
    TheSettingsFile().SetString("Login", "alice");
    LoadSettings(true);
    EXPECT_EQ(Settings().recent[0], record);

    // Saved into an empty map, the loaded values reproduce the file exactly, minus the login keys.
    Settings().Login = "changed in memory";
    TheSettingsFile().Open(dir_.File("other.dat"), false);
    SaveSettings();
    EXPECT_EQ(TheSettingsFile().Entries(), saved);

    // Saved over the original, keys the program does not write survive.
    TheSettingsFile().Open(dir_.File("SMS.dat"), false);
    TheSettingsFile().SetString("help_url", "https://help.example/");
    TheSettingsFile().SetString("Login", "alice");
    SaveSettings();
    TheSettingsFile().Open(dir_.File("SMS.dat"), false);
    EXPECT_EQ(Stored("HELP_URL"), "https://help.example/");
    EXPECT_EQ(Stored("LOGIN"), "alice");
}

TEST_F(AppSettingsTest, SaveLoginSettingsWritesTheFourLoginKeys) {
    Settings().Login = "bob";
    Settings().Password = "pw";
    Settings().RememberPassword = true;
    Settings().WorkingOnLine = false;
    Settings().prefix = "+1";
    SaveLoginSettings();
    TheSettingsFile().Open(dir_.File("SMS.dat"), false);
    EXPECT_EQ(Stored("LOGIN"), "bob");
    EXPECT_EQ(Stored("PASSWORD"), "pw");
    EXPECT_EQ(Stored("REMEMBERPASSWORD"), "1");
    EXPECT_EQ(Stored("WORKINGONLINE"), "0");
    EXPECT_FALSE(TheSettingsFile().Has("prefix"));
}

TEST_F(AppSettingsTest, RecentRecordLetters) {
    RecentRecord record{};
    record[0] = 0xA5;
    record[1] = 0x0F;
    record[107] = 0xF0;
    const std::string letters = EncodeRecentRecord(record);
    ASSERT_EQ(letters.size(), 216u);
    EXPECT_EQ(letters.substr(0, 4), "KFAP");
    EXPECT_EQ(letters.substr(214), "PA");
    EXPECT_EQ(letters.substr(4, 4), "AAAA");

    RecentRecord back{};
    EXPECT_TRUE(DecodeRecentRecord(letters, back));
    EXPECT_EQ(back, record);
    EXPECT_FALSE(DecodeRecentRecord(letters.substr(1), back));
    EXPECT_FALSE(DecodeRecentRecord(letters + "A", back));
}

TEST_F(AppSettingsTest, BadRecentValueLeavesItsSlotEmpty) {
    RecentRecord record{};
    record.fill(0x11);
    TheSettingsFile().SetString("Recent0", "TOO SHORT");
    TheSettingsFile().SetString("Recent1", EncodeRecentRecord(record));
    StoreAndLoad("NumRecent", "2");
    EXPECT_EQ(Settings().NumRecent, 2);
    EXPECT_EQ(Settings().recent[0], RecentRecord{});
    EXPECT_EQ(Settings().recent[1], record);
}

}  // namespace
}  // namespace quillon
