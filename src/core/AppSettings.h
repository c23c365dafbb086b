// The program's configuration: the scrambled key/value file SMS.dat and the process-wide values.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>

namespace quillon {

// SMS.dat: magic 0xCAFEBABE, then scrambled records of a 52-byte header and the value text.
class SettingsFile {
public:
    SettingsFile() = default;
    ~SettingsFile();  // Close()

    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Remembers path and flag, then loads. Missing or foreign file: empty map, result false.
    bool Open(const std::string& path, bool saveOnClose);
    bool Load();
    bool Save();
    void Close();  // saves when opened with saveOnClose; idempotent

    bool GetString(const std::string& key, std::string& value, const std::string& defaultText) const;
    bool GetInt(const std::string& key, int32_t& value, int32_t defaultValue) const;
    bool GetBool(const std::string& key, bool& value, bool defaultValue) const;
    void SetString(const std::string& key, const std::string& text);
    void SetInt(const std::string& key, int32_t number);
    bool Has(const std::string& key) const;
    // The stored text of `key`, empty or not; false when the key is absent.
    bool Lookup(const std::string& key, std::string& value) const;

    const std::string& Path() const { return path_; }
    const std::map<std::string, std::string>& Entries() const { return map_; }

    static constexpr uint32_t kMagic = 0xCAFEBABE;
    static constexpr size_t kHeaderSize = 52;
    static constexpr size_t kMaxValueSize = 2047;

private:
    std::string path_;
    bool saveOnClose_ = false;
    bool open_ = false;
    std::map<std::string, std::string> map_;
};

constexpr int kRecentSlots = 10;
constexpr int kRecentRecordSize = 108;
using RecentRecord = std::array<uint8_t, kRecentRecordSize>;

// Every setting, named exactly as its key. Defaults as a fresh installation has them.
struct AppSettings {
    std::string prefix;
    std::string Sig;
    bool WriteLog = false;
    bool SpanSMS = false;
    bool DeliveryAcks = false;
    bool StartMinimized = false;
    std::string sender_id;
    bool set_sender = false;
    std::string Outlook_Name;
    std::string Outlook_Password;
    bool MAPI_AddressBook = false;
    std::string VCardPath = "~/.local/share/contacts";  // vCard file or folder used while MAPI_AddressBook is off
    bool display_credits = false;
    std::string bg_image_path;
    int32_t fontcol = 0;
    int32_t LastBalance = 0;
    bool BalanceWithFraction = false;
    std::string Login;
    std::string Password;
    bool RememberPassword = false;
    bool WorkingOnLine = true;
    int32_t NumRecent = 0;
    std::array<RecentRecord, kRecentSlots> recent{};  // Recent0 .. Recent{NumRecent-1}
    std::string client_id;
    std::string voucher_url;
    std::string help_url;
    bool ScheduleToServer = false;
    int32_t UploadToServerXDaysBefore = 1;
    int32_t CreditsPerPart = 1;  // what one SMS part costs, for the charge shown before sending
    std::string UpdateVersionURL;
    std::string UpdateFileURL;
    std::string UpdateURL;
    std::string COMBaseURL;
    int32_t ProxyType = 1;
    std::string ProxyHost;
    std::string ProxyPort;
    std::string ProxyUsername;
    std::string ProxyPassword;
    bool IndividualSMSTracking = true;
    bool i18n = true;
    std::string InstallationID;  // made once, on the first send (EnsureInstallationId)
};

// Deployment defaults: a distributor changes these two constants (AppSettings.cpp).
extern const char* const kDefaultVoucherUrl;
extern const char* const kDefaultComBaseUrl;

// The process-wide values and the process-wide settings file.
AppSettings& Settings();
SettingsFile& TheSettingsFile();

void LoadSettings(bool withLogin);
void SaveSettings();
void SaveLoginSettings();

// This installation's identifier (16 hexadecimal digits), the stem of every client reference sent to
// the gateway. Made at random on first use and saved to the settings file at once, so that a
// reference means the same message after a restart. The worker makes it when it starts, on the
// thread that also saves the settings.
std::string EnsureInstallationId();

// The 216-letter form of a recent-recipient record: each byte as two letters 'A'+nibble, high first.
std::string EncodeRecentRecord(const RecentRecord& record);
bool DecodeRecentRecord(const std::string& letters, RecentRecord& record);

}  // namespace quillon
