// Passwords in a real Secret Service: run by keyring-session.sh inside a private D-Bus session with
// its own gnome-keyring. They move out of SMS.dat at start-up, are saved to the keyring, and one the
// user did not ask to remember is kept nowhere.
#include <gtest/gtest.h>

#include <string>

#include "core/AppSettings.h"
#include "core/SecretStore.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "support/Tools.h"

namespace quillon {
namespace {

using test::TempDir;

struct Secret {
    const char* key;
    std::string AppSettings::*field;
};
const Secret kSecrets[] = {
    {"Password", &AppSettings::Password},
    {"ProxyPassword", &AppSettings::ProxyPassword},
    {"Outlook_Password", &AppSettings::Outlook_Password},
};

// The value of `key` as it stands in the file on disk.
std::string OnDisk(const std::string& path, const std::string& key) {
    SettingsFile file;
    file.Open(path, false);
    std::string value = "<missing>";
    file.Lookup(key, value);
    return value;
}

class Keyring : public ::testing::Test {
protected:
    void SetUp() override {
        ResetSecretStore();
        if (!SecretStoreAvailable()) {
            if (test::InCi())
                FAIL() << "no Secret Service answers: CI runs this test under keyring-session.sh";
            GTEST_SKIP() << "no Secret Service in this session (run through keyring-session.sh)";
        }
        path_ = dir_.File("SMS.dat");
    }
    void TearDown() override {
        TheSettingsFile().Close();
        Settings() = AppSettings();
    }
    // Start-up: open the settings file and load it with the login values.
    void Start() {
        TheSettingsFile().Close();
        TheSettingsFile().Open(path_, false);
        Settings() = AppSettings();
        LoadSettings(true);
    }

    TempDir dir_;
    std::string path_;
};

TEST_F(Keyring, PasswordsInTheFileMoveToTheKeyringAtStartUp) {
    {
        SettingsFile old;
        old.Open(path_, false);
        old.SetString("RememberPassword", "1");
        for (const Secret& s : kSecrets)
            old.SetString(s.key, std::string("old-") + s.key);
        ASSERT_TRUE(old.Save());
    }
    Start();
    for (const Secret& s : kSecrets) {
        SCOPED_TRACE(s.key);
        EXPECT_EQ(Settings().*s.field, std::string("old-") + s.key);
        EXPECT_EQ(OnDisk(path_, s.key), "");  // the key stays, its value is gone
        std::string stored;
        ASSERT_TRUE(LookupSecret(dir_.Path(), s.key, stored));
        EXPECT_EQ(stored, std::string("old-") + s.key);
    }
    // The next start reads them back from the keyring alone.
    Start();
    for (const Secret& s : kSecrets)
        EXPECT_EQ(Settings().*s.field, std::string("old-") + s.key) << s.key;
    // quillon-cli on the same data directory finds the same account.
    const test::CliResult cli = test::RunCli(dir_.Path(), {"settings", "get", "Password"});
    EXPECT_EQ(cli.out, "old-Password\n") << cli.err;
}

TEST_F(Keyring, SavesGoToTheKeyringAndAnUnrememberedPasswordIsKeptNowhere) {
    Start();
    Settings().RememberPassword = true;
    Settings().Password = "account-pw";
    Settings().ProxyPassword = "proxy-pw";
    SaveLoginSettings();
    SaveSettings();
    EXPECT_EQ(OnDisk(path_, "Password"), "");
    EXPECT_EQ(OnDisk(path_, "ProxyPassword"), "");
    std::string stored;
    ASSERT_TRUE(LookupSecret(dir_.Path(), "ProxyPassword", stored));
    EXPECT_EQ(stored, "proxy-pw");

    Settings().RememberPassword = false;
    SaveLoginSettings();
    EXPECT_EQ(Settings().Password, "account-pw");  // this run's off-line login still has it
    EXPECT_FALSE(LookupSecret(dir_.Path(), "Password", stored));
    EXPECT_EQ(OnDisk(path_, "Password"), "");
    Start();
    EXPECT_EQ(Settings().Password, "");
    EXPECT_EQ(Settings().ProxyPassword, "proxy-pw");
}

}  // namespace
}  // namespace quillon
