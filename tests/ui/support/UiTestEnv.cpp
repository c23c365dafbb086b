#include "support/UiTestEnv.h"
#include "core/TestSeams.h"

#include <cstdlib>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "ui/options/OptionsPane.h"

namespace quillon::test {

UiTestEnv::UiTestEnv(bool withSandbox, const std::vector<std::string>& sandboxArgs) {
    setenv("QUILLON_COMPONENTS", QUILLON_BINARY_DIR "/components.conf", 1);
    setenv("QUILLON_GATEWAY_TIMEOUT_MS", "3000", 1);
    SetDataDirectory(dir_.Path());
    TheSettingsFile().Close();
    TheSettingsFile().Open(DataFile("SMS.dat"), false);
    Settings() = AppSettings();
    LoadSettings(true);
    Settings().client_id = "QLNX";
    store_ = std::make_unique<MessageStore>(dir_.Path());
    log_ = std::make_unique<AppLog>(DataFile("SMS.log"));
    SetTheLog(log_.get());
    LoadStatusNames();
    SetPresenter(&presenter_);
    SetSessionUi(&sessionUi_);
    SetOnLine(false);
    ok_ = true;
    if (withSandbox) {
        ok_ = sandbox_.Start(sandboxArgs);
        Settings().COMBaseURL = sandbox_.BaseUrl();
    } else {
        // Nothing listens on port 9 of the loopback: every call fails as unreachable.
        Settings().COMBaseURL = "http://127.0.0.1:9/";
    }
    TestSeams::ResetGatewayInstance();
    ok_ = ok_ && GatewayApi::IsAvailable();
}

UiTestEnv::~UiTestEnv() {
    SetOnLine(false);
    TestSeams::ResetGatewayInstance();
    SetPresenter(nullptr);
    SetSessionUi(nullptr);
    SetTheLog(nullptr);
    log_.reset();
    store_.reset();
    TheSettingsFile().Close();
    sandbox_.Stop();
}

QStringList UiTestEnv::Shown() const {
    QStringList texts;
    for (const ShownMessage& m : presenter_.Messages())
        texts << m.caption + "|" + m.text;
    return texts;
}

void UiTestEnv::ReloadSettingsFromDisk() {
    TheSettingsFile().Close();
    TheSettingsFile().Open(DataFile("SMS.dat"), false);
    Settings() = AppSettings();
    LoadSettings(true);
}

PaneReports::PaneReports(OptionsPane& pane) {
    connect(&pane, &OptionsPane::onLineChanged, this,
            [this](bool online) { reports.push_back(online ? OnLine : OffLine); });
    connect(&pane, &OptionsPane::balanceChangeRequested, this, [this] { reports.push_back(BalanceChangeRequested); });
}

}  // namespace quillon::test
