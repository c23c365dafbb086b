// "Check for latest updates": fetches the published version file, compares it with the running
// version and, when it is newer, downloads the package with progress and Cancel. A package is
// started only when its digest matches the one the version file published over https; any other
// package is offered to the user to install by hand. Downloads run on a thread of their own.
#pragma once

#include <QWidget>
#include <functional>
#include <string>

#include "online/UpdateVersion.h"

namespace quillon {

class UpdateProgressDialog;

enum class UpdateOutcome {
    AlreadyRunning,  // another check runs: nothing happened
    NotConfigured,   // the distributor's site was offered
    VersionFailed,   // the version file could not be fetched
    UpToDate,
    Cancelled,
    DownloadFailed,
    Unverified,  // downloaded, offered to be installed by hand
    Started,     // the package was handed on and the program ends
    StartFailed,
};

struct UpdateCheckOptions {
    int pumpMs = 20;
    int stepPauseMs = 1000;    // after the first three steps
    int installPauseMs = 800;  // on the last step
    int exitPauseMs = 500;     // between starting the package and ending
    bool requireHttps = true;  // tests on loopback turn this off
    VersionNumbers running = RunningVersion();
    std::function<void(UpdateProgressDialog&)> onStep;           // after every step change (tests)
    std::function<bool(const std::string&, PackageKind)> start;  // null: the real start
    std::function<void()> exit;                                  // how the program ends ("Exit")
};

// The whole check; returns how it ended.
UpdateOutcome CheckForUpdates(QWidget* owner, const UpdateCheckOptions& options = {});
bool UpdateCheckRunning();

// Hands a verified package on: a Debian package to the desktop's handler for it, an AppImage
// started directly. False when it could not be started.
bool StartUpdatePackage(const std::string& path, PackageKind kind);

}  // namespace quillon
