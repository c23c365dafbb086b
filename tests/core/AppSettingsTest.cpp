// The process-wide settings: defaults, limits, save orders and the recent-recipient letters.
#include <gtest/gtest.h>

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

TEST_F(AppSettingsTest, SaveSettingsRoundTripsAndLeavesLoginAlone) {
    TheSettingsFile().SetString("help_url", "https://help.example/");
    AppSettings& s = Settings();
    s.prefix = "+27";
    s.Sig = "-- sent by me";
    s.WriteLog = true;
    s.SpanSMS = true;
    s.DeliveryAcks = true;
    s.StartMinimized = true;
    s.sender_id = "ACME";
    s.set_sender = true;
    s.Outlook_Name = "profile";
    s.Outlook_Password = "pw";
    s.MAPI_AddressBook = true;
    s.display_credits = true;
    s.bg_image_path = "http://img.example/b.png";
    s.fontcol = 0x123456;
    s.LastBalance = -15;
    s.BalanceWithFraction = true;
    s.WorkingOnLine = false;
    s.ScheduleToServer = true;
    s.UploadToServerXDaysBefore = 7;
    s.ProxyType = 4;
    s.ProxyHost = "proxy.example";
    s.ProxyPort = "3128";
    s.ProxyUsername = "pu";
    s.ProxyPassword = "pp";
    s.IndividualSMSTracking = false;
    s.voucher_url = "https://shop.example/";
    s.Login = "not saved here";
    s.NumRecent = 2;
    s.recent[0].fill(0xA5);
    s.recent[1][107] = 0xFF;
    SaveSettings();
    EXPECT_FALSE(TheSettingsFile().Has("Login"));
    EXPECT_FALSE(TheSettingsFile().Has("Recent2"));
    EXPECT_EQ(Stored("WriteLog"), "1");
    EXPECT_EQ(Stored("IndividualSMSTracking"), "0");

    const AppSettings saved = s;
    Settings() = AppSettings{};
    TheSettingsFile().Open(dir_.File("SMS.dat"), false);
    LoadSettings(true);
    const AppSettings& r = Settings();
    EXPECT_EQ(r.prefix, saved.prefix);
    EXPECT_EQ(r.Sig, saved.Sig);
    EXPECT_EQ(r.WriteLog, saved.WriteLog);
    EXPECT_EQ(r.SpanSMS, saved.SpanSMS);
    EXPECT_EQ(r.DeliveryAcks, saved.DeliveryAcks);
    EXPECT_EQ(r.StartMinimized, saved.StartMinimized);
    EXPECT_EQ(r.sender_id, saved.sender_id);
    EXPECT_EQ(r.set_sender, saved.set_sender);
    EXPECT_EQ(r.Outlook_Name, saved.Outlook_Name);
    EXPECT_EQ(r.Outlook_Password, saved.Outlook_Password);
    EXPECT_EQ(r.MAPI_AddressBook, saved.MAPI_AddressBook);
    EXPECT_EQ(r.display_credits, saved.display_credits);
    EXPECT_EQ(r.bg_image_path, saved.bg_image_path);
    EXPECT_EQ(r.fontcol, saved.fontcol);
    EXPECT_EQ(r.LastBalance, saved.LastBalance);
    EXPECT_EQ(r.BalanceWithFraction, saved.BalanceWithFraction);
    EXPECT_EQ(r.WorkingOnLine, saved.WorkingOnLine);
    EXPECT_EQ(r.ScheduleToServer, saved.ScheduleToServer);
    EXPECT_EQ(r.UploadToServerXDaysBefore, saved.UploadToServerXDaysBefore);
    EXPECT_EQ(r.ProxyType, saved.ProxyType);
    EXPECT_EQ(r.ProxyHost, saved.ProxyHost);
    EXPECT_EQ(r.ProxyPort, saved.ProxyPort);
    EXPECT_EQ(r.ProxyUsername, saved.ProxyUsername);
    EXPECT_EQ(r.ProxyPassword, saved.ProxyPassword);
    EXPECT_EQ(r.IndividualSMSTracking, saved.IndividualSMSTracking);
    EXPECT_EQ(r.voucher_url, saved.voucher_url);
    EXPECT_EQ(r.help_url, "https://help.example/");
    EXPECT_EQ(r.Login, "");
    EXPECT_EQ(r.NumRecent, 2);
    EXPECT_EQ(r.recent[0], saved.recent[0]);
    EXPECT_EQ(r.recent[1], saved.recent[1]);
    EXPECT_EQ(r.recent[2], RecentRecord{});
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
