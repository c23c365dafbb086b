// quillon-cli settings get KEY | settings set KEY VALUE
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/AppSettings.h"

namespace quillon::cli {

namespace {

constexpr size_t kMaxKeyLength = 47;

bool SameKey(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

std::string Flag(bool value) {
    return value ? "1" : "0";
}

// The value AppSettings holds for a key of the settings table; false for any other key.
bool LoadedValue(const std::string& key, std::string& value) {
    const AppSettings& s = Settings();
    const struct {
        const char* key;
        std::string value;
    } table[] = {
        {"prefix", s.prefix},
        {"Sig", s.Sig},
        {"WriteLog", Flag(s.WriteLog)},
        {"SpanSMS", Flag(s.SpanSMS)},
        {"DeliveryAcks", Flag(s.DeliveryAcks)},
        {"StartMinimized", Flag(s.StartMinimized)},
        {"sender_id", s.sender_id},
        {"set_sender", Flag(s.set_sender)},
        {"Outlook_Name", s.Outlook_Name},
        {"Outlook_Password", s.Outlook_Password},
        {"MAPI_AddressBook", Flag(s.MAPI_AddressBook)},
        {"VCardPath", s.VCardPath},
        {"display_credits", Flag(s.display_credits)},
        {"bg_image_path", s.bg_image_path},
        {"fontcol", std::to_string(s.fontcol)},
        {"LastBalance", std::to_string(s.LastBalance)},
        {"BalanceWithFraction", Flag(s.BalanceWithFraction)},
        {"Login", s.Login},
        {"Password", s.Password},
        {"RememberPassword", Flag(s.RememberPassword)},
        {"WorkingOnLine", Flag(s.WorkingOnLine)},
        {"NumRecent", std::to_string(s.NumRecent)},
        {"client_id", s.client_id},
        {"voucher_url", s.voucher_url},
        {"help_url", s.help_url},
        {"ScheduleToServer", Flag(s.ScheduleToServer)},
        {"UploadToServerXDaysBefore", std::to_string(s.UploadToServerXDaysBefore)},
        {"UpdateVersionURL", s.UpdateVersionURL},
        {"UpdateFileURL", s.UpdateFileURL},
        {"UpdateURL", s.UpdateURL},
        {"COMBaseURL", s.COMBaseURL},
        {"ProxyType", std::to_string(s.ProxyType)},
        {"ProxyHost", s.ProxyHost},
        {"ProxyPort", s.ProxyPort},
        {"ProxyUsername", s.ProxyUsername},
        {"ProxyPassword", s.ProxyPassword},
        {"IndividualSMSTracking", Flag(s.IndividualSMSTracking)},
        {"i18n", Flag(s.i18n)},
    };
    for (const auto& entry : table) {
        if (SameKey(key, entry.key)) {
            value = entry.value;
            return true;
        }
    }
    // Recent0 .. Recent{NumRecent-1}: the loaded record in its letter form.
    for (int slot = 0; slot < s.NumRecent && slot < kRecentSlots; ++slot) {
        if (SameKey(key, "Recent" + std::to_string(slot))) {
            value = EncodeRecentRecord(s.recent[slot]);
            return true;
        }
    }
    return false;
}

// Keys of the settings table that LoadSettings does not hold (or holds only up to NumRecent): empty when absent.
bool IsTableKey(const std::string& key) {
    if (SameKey(key, "SchedulingInfo"))
        return true;
    for (int slot = 0; slot < kRecentSlots; ++slot)
        if (SameKey(key, "Recent" + std::to_string(slot)))
            return true;
    return false;
}

int Get(std::vector<std::string>& args) {
    if (args.size() != 1)
        return UsageError("usage: settings get KEY");
    const std::string& key = args[0];
    std::string value;
    if (!LoadedValue(key, value) && !TheSettingsFile().Lookup(key, value) && !IsTableKey(key))
        return Failure("no setting named '" + key + "'");
    std::cout << value << "\n";
    return kOk;
}

int Set(std::vector<std::string>& args) {
    if (args.size() != 2)
        return UsageError("usage: settings set KEY VALUE");
    const std::string& key = args[0];
    const std::string& value = args[1];
    if (key.empty() || key.size() > kMaxKeyLength)
        return UsageError("a setting's name has 1 to " + std::to_string(kMaxKeyLength) + " characters");
    if (key.find('\0') != std::string::npos)
        return UsageError("a setting's name cannot hold a NUL character");
    if (value.size() > SettingsFile::kMaxValueSize)
        return Failure("a setting's value holds at most " + std::to_string(SettingsFile::kMaxValueSize) + " bytes");
    TheSettingsFile().SetString(key, value);
    if (!TheSettingsFile().Save())
        return Failure("cannot write " + TheSettingsFile().Path());
    return kOk;
}

int Run(CliContext&, std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("usage: settings get KEY | settings set KEY VALUE");
    const std::string verb = args[0];
    args.erase(args.begin());
    if (verb == "get")
        return Get(args);
    if (verb == "set")
        return Set(args);
    return UsageError("unknown settings command '" + verb + "' (get or set)");
}

const CliRegistrar kRegistrar({
    "settings",
    "read or change a value of SMS.dat",
    "usage: quillon-cli [--data-dir DIR] settings get KEY\n"
    "       quillon-cli [--data-dir DIR] settings set KEY VALUE\n"
    "\n"
    "get  prints the value of KEY. For a key the program knows (WriteLog, ProxyType, COMBaseURL, ...)\n"
    "     this is the value in use, with its default and limits applied; for any other key the text\n"
    "     stored in SMS.dat. Keys are case-insensitive. Exit 1 when an unknown key is not stored.\n"
    "set  stores VALUE as the text of KEY and saves SMS.dat. Booleans are 0 or 1.\n"
    "\n"
    "Exit status: 0 success, 1 failure, 2 usage error.\n",
    Run,
    false,
});

}  // namespace

}  // namespace quillon::cli
