// A fresh world for one ui test: a temporary data directory with its settings file, store and log,
// the sandbox gateway with its demo account, the gateway binding pointed at it, and message boxes
// recorded instead of shown.
#pragma once

#include <QObject>
#include <QString>
#include <memory>
#include <string>
#include <vector>

#include "gateway/MessageSink.h"
#include "support/SandboxProcess.h"
#include "support/TempDir.h"
#include "ui/shell/UiServices.h"

namespace quillon {
class AppLog;
class MessageStore;
}  // namespace quillon

namespace quillon::test {

class UiTestEnv {
public:
    // withSandbox: start the sandbox gateway and point the binding at it.
    explicit UiTestEnv(bool withSandbox = true);
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

// Records the notifications posted to it, in arrival order.
class MessageRecorder : public QObject {
public:
    bool event(QEvent* event) override;
    std::vector<uint32_t> messages;
};

}  // namespace quillon::test
