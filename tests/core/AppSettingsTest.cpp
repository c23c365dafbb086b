// The process-wide settings: defaults, limits, save orders and the recent-recipient letters.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

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

    TempDir dir_;
};

// Every key SaveSettings writes: its value in a fresh installation, as the settings documentation
// gives it (nullptr: not written), and a value that differs from it.
struct SavedKey {
    const char* key;
    const char* fresh;
    std::string changed;
};

std::vector<SavedKey> SavedKeys(const std::string& recent) {
    return {{"PREFIX", "", "+27"},
            {"SIG", "", "-- me"},
            {"WRITELOG", "0", "1"},
            {"SPANSMS", "0", "1"},
            {"DELIVERYACKS", "0", "1"},
            {"STARTMINIMIZED", "0", "1"},
            {"OUTLOOK_NAME", "", "profile"},
            {"OUTLOOK_PASSWORD", "", "pw"},
            {"MAPI_ADDRESSBOOK", "0", "1"},
            {"VCARDPATH", "~/.local/share/contacts", "/srv/cards"},
            {"SENDER_ID", "", "ACME"},
            {"SET_SENDER", "0", "1"},
            {"VOUCHER_URL", "https://www.quillon-sms.example/vouchers", "https://shop.example/"},
            {"DISPLAY_CREDITS", "0", "1"},
            {"BG_IMAGE_PATH", "", "http://img.example/b.png"},
            {"FONTCOL", "0", "1193046"},
            {"LASTBALANCE", "0", "-15"},
            {"BALANCEWITHFRACTION", "0", "1"},
            {"NUMRECENT", "0", "1"},
            {"WORKINGONLINE", "1", "0"},
            {"SCHEDULETOSERVER", "0", "1"},
            {"UPLOADTOSERVERXDAYSBEFORE", "1", "7"},
            {"CREDITSPERPART", "1", "2"},
            {"PROXYTYPE", "1", "4"},
            {"PROXYHOST", "", "proxy.example"},
            {"PROXYPORT", "", "3128"},
            {"PROXYUSERNAME", "", "pu"},
            {"PROXYPASSWORD", "", "pp"},
            {"INDIVIDUALSMSTRACKING", "1", "0"},
            {"RECENT0", nullptr, recent}};
}

TEST_F(AppSettingsTest, EveryKeyRoundTripsAndAnEmptyFileGivesTheDocumentedDefaults) {
    RecentRecord record{};
    record.fill(0xA5);
    std::map<std::string, std::string> fresh, changed;
    for (const SavedKey& k : SavedKeys(EncodeRecentRecord(record))) {
        if (k.fresh)
            fresh[k.key] = k.fresh;
        changed[k.key] = k.changed;
    }
    for (const auto& [key, value] : changed)
        TheSettingsFile().SetString(key, value);
    // Keys that are loaded but not saved, also away from their defaults.
    const std::map<std::string, std::string> unsaved = {{"LOGIN", "alice"},
                                                        {"PASSWORD", "pw"},
                                                        {"REMEMBERPASSWORD", "1"},
                                                        {"CLIENT_ID", "ACME"},
                                                        {"HELP_URL", "https://h/"},
                                                        {"UPDATEVERSIONURL", "u1"},
                                                        {"UPDATEFILEURL", "u2"},
                                                        {"UPDATEURL", "u3"},
                                                        {"COMBASEURL", "http://gw.example/"},
                                                        {"I18N", "0"}};
    for (const auto& [key, value] : unsaved)
        TheSettingsFile().SetString(key, value);
    LoadSettings(true);
    EXPECT_EQ(Settings().recent[0], record);
    EXPECT_EQ(Settings().COMBaseURL, "http://gw.example/");

    // Saved into an empty map, the loaded values reproduce the saved keys exactly.
    TheSettingsFile().Open(dir_.File("changed.dat"), false);
    SaveSettings();
    EXPECT_EQ(TheSettingsFile().Entries(), changed);

    // An empty file replaces every loaded value by its default.
    TheSettingsFile().Open(dir_.File("empty.dat"), false);
    LoadSettings(true);
    SaveSettings();
    EXPECT_EQ(TheSettingsFile().Entries(), fresh);
    const AppSettings& s = Settings();
    for (const std::string* text :
         {&s.Login, &s.Password, &s.client_id, &s.help_url, &s.UpdateVersionURL, &s.UpdateFileURL, &s.UpdateURL})
        EXPECT_EQ(*text, "");
    EXPECT_FALSE(s.RememberPassword);
    EXPECT_EQ(s.COMBaseURL, "https://api.quillon-sms.example/http/");
    EXPECT_TRUE(s.i18n);

    // The values a fresh structure holds before any load are the same, but for the voucher page
    // that loading fills in.
    Settings() = AppSettings{};
    Settings().voucher_url = "https://www.quillon-sms.example/vouchers";
    TheSettingsFile().Open(dir_.File("unloaded.dat"), false);
    SaveSettings();
    EXPECT_EQ(TheSettingsFile().Entries(), fresh);
    EXPECT_TRUE(Settings().i18n);
}

TEST_F(AppSettingsTest, LimitsApplyAfterLoading) {
    for (auto [text, value] : {std::pair{"25", 10}, {"10", 10}, {"-3", 0}}) {
        StoreAndLoad("NumRecent", text);
        EXPECT_EQ(Settings().NumRecent, value) << text;
    }
    for (auto [text, value] : {std::pair{"0", 1}, {"1", 1}, {"4", 4}, {"9", 4}, {"3", 3}}) {
        StoreAndLoad("ProxyType", text);
        EXPECT_EQ(Settings().ProxyType, value) << text;
    }
    StoreAndLoad("COMBaseURL", "");
    EXPECT_EQ(Settings().COMBaseURL, "https://api.quillon-sms.example/http/");
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

// SaveSettings leaves the login keys and those it does not know; SaveLoginSettings writes only the login keys.
TEST_F(AppSettingsTest, EachSaveWritesOnlyItsOwnKeys) {
    TheSettingsFile().SetString("help_url", "https://help.example/");
    TheSettingsFile().SetString("Login", "alice");
    LoadSettings(true);
    Settings().Login = "changed in memory";
    SaveSettings();
    TheSettingsFile().Open(dir_.File("SMS.dat"), false);
    const auto& stored = TheSettingsFile().Entries();
    EXPECT_EQ(stored.at("HELP_URL"), "https://help.example/");
    EXPECT_EQ(stored.at("LOGIN"), "alice");

    TheSettingsFile().Open(dir_.File("login.dat"), false);
    Settings().Login = "bob";
    Settings().Password = "pw";
    Settings().RememberPassword = true;
    Settings().WorkingOnLine = false;
    Settings().prefix = "+1";
    SaveLoginSettings();
    TheSettingsFile().Open(dir_.File("login.dat"), false);
    EXPECT_EQ(TheSettingsFile().Entries(),
              (std::map<std::string, std::string>{
                  {"LOGIN", "bob"}, {"PASSWORD", "pw"}, {"REMEMBERPASSWORD", "1"}, {"WORKINGONLINE", "0"}}));
}

TEST_F(AppSettingsTest, RecentRecordsTravelAsLettersAndABadValueLeavesItsSlotEmpty) {
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

    // A bad value loads as an empty slot; the next slot still loads.
    TheSettingsFile().SetString("Recent0", "TOO SHORT");
    TheSettingsFile().SetString("Recent1", letters);
    StoreAndLoad("NumRecent", "2");
    EXPECT_EQ(Settings().NumRecent, 2);
    EXPECT_EQ(Settings().recent[0], RecentRecord{});
    EXPECT_EQ(Settings().recent[1], record);
}

}  // namespace
}  // namespace quillon
