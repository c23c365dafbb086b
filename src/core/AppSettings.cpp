#include "core/AppSettings.h"

#include <cstdio>
#include <mutex>
#include <random>

#include "core/AppLog.h"
#include "core/DataPath.h"
#include "core/SecretStore.h"

namespace quillon {

// Deployment defaults. A distributor changes these two addresses for its own edition.
const char* const kDefaultVoucherUrl = "https://www.quillon-sms.example/vouchers";
const char* const kDefaultComBaseUrl = "https://api.quillon-sms.example/http/";

namespace {

std::string RecentKey(int slot) {
    return "Recent" + std::to_string(slot);
}

void LoadString(const SettingsFile& file, const char* key, std::string& value, const std::string& defaultText = "") {
    file.GetString(key, value, defaultText);
}

void LoadInt(const SettingsFile& file, const char* key, int32_t& value, int32_t defaultValue) {
    file.GetInt(key, value, defaultValue);
}

void LoadBool(const SettingsFile& file, const char* key, bool& value, bool defaultValue) {
    file.GetBool(key, value, defaultValue);
}

// The secret fields of the settings by key.
std::string* SecretField(AppSettings& s, const std::string& key) {
    if (key == "Password")
        return &s.Password;
    if (key == "ProxyPassword")
        return &s.ProxyPassword;
    if (key == "Outlook_Password")
        return &s.Outlook_Password;
    return nullptr;
}

std::string SecretsFolder(const SettingsFile& file) {
    return FolderOf(file.Path());
}

// With a keyring: a password still in the file moves there and the file keeps the key with an empty
// value; an empty one in the file is read from the keyring. An account password the user did not ask
// to remember serves this run only and is kept nowhere.
void LoadSecrets(SettingsFile& file, AppSettings& s, bool withLogin) {
    if (!SecretStoreAvailable())
        return;
    const std::string dir = SecretsFolder(file);
    bool moved = false;
    for (const std::string& key : SecretSettingKeys()) {
        if (key == "Password" && !withLogin)
            continue;
        std::string* field = SecretField(s, key);
        const bool keep = key != "Password" || s.RememberPassword;
        std::string inFile;
        if (file.Lookup(key, inFile) && !inFile.empty()) {
            if (keep ? StoreSecret(dir, key, inFile) : ClearSecret(dir, key)) {
                file.SetString(key, "");
                moved = true;
            }
        } else if (keep) {
            LookupSecret(dir, key, *field);
        }
    }
    if (moved && file.Save())
        LogLine("Security: passwords moved from %s to the desktop keyring", file.Path().c_str());
}

// Writes a password: to the keyring when one answers (the file keeps the key, empty), else to the file.
void SaveSecret(SettingsFile& file, const std::string& key, const std::string& value, bool keep) {
    const std::string dir = SecretsFolder(file);
    if (SecretStoreAvailable()) {
        bool done = keep && !value.empty() ? StoreSecret(dir, key, value) : ClearSecret(dir, key);
        if (done) {
            file.SetString(key, "");
            return;
        }
    }
    file.SetString(key, keep ? value : std::string());
}

}  // namespace

AppSettings& Settings() {
    static AppSettings settings;
    return settings;
}

SettingsFile& TheSettingsFile() {
    static SettingsFile file;
    return file;
}

void LoadSettings(bool withLogin) {
    const SettingsFile& f = TheSettingsFile();
    AppSettings& s = Settings();
    LoadString(f, "prefix", s.prefix);
    LoadString(f, "Sig", s.Sig);
    LoadBool(f, "WriteLog", s.WriteLog, false);
    LoadBool(f, "SpanSMS", s.SpanSMS, false);
    LoadBool(f, "DeliveryAcks", s.DeliveryAcks, false);
    LoadBool(f, "StartMinimized", s.StartMinimized, false);
    LoadString(f, "sender_id", s.sender_id);
    LoadBool(f, "set_sender", s.set_sender, false);
    LoadString(f, "Outlook_Name", s.Outlook_Name);
    LoadString(f, "Outlook_Password", s.Outlook_Password);
    LoadBool(f, "MAPI_AddressBook", s.MAPI_AddressBook, false);
    LoadString(f, "VCardPath", s.VCardPath, "~/.local/share/contacts");
    LoadBool(f, "display_credits", s.display_credits, false);
    LoadString(f, "bg_image_path", s.bg_image_path);
    LoadInt(f, "fontcol", s.fontcol, 0);
    LoadInt(f, "LastBalance", s.LastBalance, 0);
    LoadBool(f, "BalanceWithFraction", s.BalanceWithFraction, false);
    if (withLogin) {
        LoadString(f, "Login", s.Login);
        LoadString(f, "Password", s.Password);
        LoadBool(f, "RememberPassword", s.RememberPassword, false);
        LoadBool(f, "WorkingOnLine", s.WorkingOnLine, true);
    }
    LoadInt(f, "NumRecent", s.NumRecent, 0);
    if (s.NumRecent > kRecentSlots)
        s.NumRecent = kRecentSlots;
    // A negative count would make the recent table's users index before its start.
    if (s.NumRecent < 0)
        s.NumRecent = 0;
    s.recent = {};
    for (int slot = 0; slot < s.NumRecent; ++slot) {
        std::string letters;
        f.GetString(RecentKey(slot), letters, "");
        if (!DecodeRecentRecord(letters, s.recent[slot]))
            s.recent[slot] = {};
    }
    LoadString(f, "client_id", s.client_id);
    LoadString(f, "voucher_url", s.voucher_url, kDefaultVoucherUrl);
    LoadString(f, "help_url", s.help_url);
    LoadBool(f, "ScheduleToServer", s.ScheduleToServer, false);
    LoadInt(f, "UploadToServerXDaysBefore", s.UploadToServerXDaysBefore, 1);
    LoadInt(f, "CreditsPerPart", s.CreditsPerPart, 1);
    LoadString(f, "UpdateVersionURL", s.UpdateVersionURL);
    LoadString(f, "UpdateFileURL", s.UpdateFileURL);
    LoadString(f, "UpdateURL", s.UpdateURL);
    LoadString(f, "COMBaseURL", s.COMBaseURL, kDefaultComBaseUrl);
    LoadInt(f, "ProxyType", s.ProxyType, 0);
    if (s.ProxyType < 1)
        s.ProxyType = 1;
    if (s.ProxyType > 4)
        s.ProxyType = 4;
    LoadString(f, "ProxyHost", s.ProxyHost);
    LoadString(f, "ProxyPort", s.ProxyPort);
    LoadString(f, "ProxyUsername", s.ProxyUsername);
    LoadString(f, "ProxyPassword", s.ProxyPassword);
    LoadBool(f, "IndividualSMSTracking", s.IndividualSMSTracking, true);
    LoadBool(f, "i18n", s.i18n, true);
    LoadString(f, "InstallationID", s.InstallationID);
    LoadSecrets(TheSettingsFile(), s, withLogin);
}

std::string EnsureInstallationId() {
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    AppSettings& s = Settings();
    if (s.InstallationID.empty()) {
        std::random_device random;
        const uint64_t value = (static_cast<uint64_t>(random()) << 32) ^ random();
        char text[17];
        snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
        s.InstallationID = text;
        TheSettingsFile().SetString("InstallationID", s.InstallationID);
        TheSettingsFile().Save();
    }
    return s.InstallationID;
}

void SaveSettings() {
    SettingsFile& f = TheSettingsFile();
    const AppSettings& s = Settings();
    f.SetString("prefix", s.prefix);
    f.SetString("Sig", s.Sig);
    f.SetInt("WriteLog", s.WriteLog);
    f.SetInt("SpanSMS", s.SpanSMS);
    f.SetInt("DeliveryAcks", s.DeliveryAcks);
    f.SetInt("StartMinimized", s.StartMinimized);
    f.SetString("Outlook_Name", s.Outlook_Name);
    SaveSecret(f, "Outlook_Password", s.Outlook_Password, true);
    f.SetInt("MAPI_AddressBook", s.MAPI_AddressBook);
    f.SetString("VCardPath", s.VCardPath);
    f.SetString("sender_id", s.sender_id);
    f.SetInt("set_sender", s.set_sender);
    f.SetString("voucher_url", s.voucher_url);
    f.SetInt("display_credits", s.display_credits);
    f.SetString("bg_image_path", s.bg_image_path);
    f.SetInt("fontcol", s.fontcol);
    f.SetInt("LastBalance", s.LastBalance);
    f.SetInt("BalanceWithFraction", s.BalanceWithFraction);
    const int count = s.NumRecent < 0 ? 0 : (s.NumRecent > kRecentSlots ? kRecentSlots : s.NumRecent);
    f.SetInt("NumRecent", count);
    f.SetInt("WorkingOnLine", s.WorkingOnLine);
    f.SetInt("ScheduleToServer", s.ScheduleToServer);
    f.SetInt("UploadToServerXDaysBefore", s.UploadToServerXDaysBefore);
    f.SetInt("CreditsPerPart", s.CreditsPerPart);
    f.SetInt("ProxyType", s.ProxyType);
    f.SetString("ProxyHost", s.ProxyHost);
    f.SetString("ProxyPort", s.ProxyPort);
    f.SetString("ProxyUsername", s.ProxyUsername);
    SaveSecret(f, "ProxyPassword", s.ProxyPassword, true);
    f.SetInt("IndividualSMSTracking", s.IndividualSMSTracking);
    for (int slot = 0; slot < count; ++slot)
        f.SetString(RecentKey(slot), EncodeRecentRecord(s.recent[slot]));
    f.Save();
}

void SaveLoginSettings() {
    SettingsFile& f = TheSettingsFile();
    const AppSettings& s = Settings();
    f.SetString("Login", s.Login);
    // Not remembered: the password stays in memory for this run (the off-line login) and nowhere else.
    SaveSecret(f, "Password", s.Password, s.RememberPassword);
    f.SetInt("RememberPassword", s.RememberPassword);
    f.SetInt("WorkingOnLine", s.WorkingOnLine);
    f.Save();
}

std::string EncodeRecentRecord(const RecentRecord& record) {
    std::string letters;
    letters.reserve(2 * kRecentRecordSize);
    for (uint8_t byte : record) {
        letters += static_cast<char>('A' + (byte >> 4));
        letters += static_cast<char>('A' + (byte & 0x0F));
    }
    return letters;
}

bool DecodeRecentRecord(const std::string& letters, RecentRecord& record) {
    if (letters.size() != 2 * static_cast<size_t>(kRecentRecordSize))
        return false;
    for (size_t i = 0; i < record.size(); ++i) {
        int high = static_cast<unsigned char>(letters[2 * i]) - 'A';
        int low = static_cast<unsigned char>(letters[2 * i + 1]) - 'A';
        record[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return true;
}

}  // namespace quillon
