#include "store/StartupContext.h"

#include <unistd.h>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/PrivateFiles.h"
#include "store/MessageStore.h"

namespace quillon {

StartupContext::StartupContext() = default;

StartupContext::~StartupContext() {
    Close();
}

bool StartupContext::EnterDataDirectory(const std::string& dataDir) {
    if (::chdir(dataDir.c_str()) != 0)
        return false;
    SetDataDirectory(dataDir);
    return true;
}

void StartupContext::OpenSettings(bool saveOnClose) {
    TheSettingsFile().Open(DataFile("SMS.dat"), saveOnClose);
    settingsOpen_ = true;
    LoadSettings(true);
}

MessageStore& StartupContext::OpenStore() {
    store_ = std::make_unique<MessageStore>(DataDirectory());
    return *store_;
}

SalvageReport StartupContext::SalvageStore() {
    store_.reset();
    SalvageReport report = quillon::SalvageStore(DataDirectory());
    store_ = std::make_unique<MessageStore>(DataDirectory());
    return report;
}

void StartupContext::OpenLog() {
    log_ = std::make_unique<AppLog>(DataFile("SMS.log"));
    SetTheLog(log_.get());
    ReportExposedDataDirectory(DataDirectory());
}

void StartupContext::Close() {
    store_.reset();
    if (settingsOpen_) {
        TheSettingsFile().Close();
        settingsOpen_ = false;
    }
    if (log_) {
        SetTheLog(nullptr);
        log_.reset();
    }
}

}  // namespace quillon
