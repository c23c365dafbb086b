// A fresh world for one ui test: a temporary data directory with its settings file, store and log,
// the sandbox gateway with its demo account, the gateway binding pointed at it, and message boxes
// recorded instead of shown.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "support/SandboxProcess.h"
#include "support/TempDir.h"
#include "ui/shell/UiServices.h"

namespace quillon {
class AppLog;
class MessageStore;
class OptionsPane;
}  // namespace quillon

namespace quillon::test {

class UiTestEnv {
public:
    // withSandbox: start the sandbox gateway (with sandboxArgs) and point the binding at it.
    explicit UiTestEnv(bool withSandbox = true, const std::vector<std::string>& sandboxArgs = {});
    ~UiTestEnv();

    bool Ok() const { return ok_; }
    const std::string& DataDir() const { return dir_.Path(); }
    SandboxProcess& Sandbox() { return sandbox_; }
    RecordingMessagePresenter& Messages() { return presenter_; }
    MessageStore* Store() { return store_.get(); }
    // Texts of the boxes shown so far, "caption|text".
    QStringList Shown() const;
    // Re-reads SMS.dat from the disk into the settings (what a restart would see).
    void ReloadSettingsFromDisk();

private:
    TempDir dir_;
    SandboxProcess sandbox_;
    RecordingMessagePresenter presenter_;
    DesktopSessionUi sessionUi_;
    std::unique_ptr<MessageStore> store_;
    std::unique_ptr<AppLog> log_;
    bool ok_ = false;
};

// Records what an options pane reports to the main window, in order.
class PaneReports : public QObject {
public:
    enum Report { OnLine, OffLine, BalanceChangeRequested };
    explicit PaneReports(OptionsPane& pane);
    std::vector<Report> reports;
};

}  // namespace quillon::test
