#include "ui/online/UpdateCheck.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <QUrl>
#include <atomic>
#include <thread>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "online/Downloader.h"
#include "ui/online/UpdateProgressDialog.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

bool running = false;

void Pump(int ms) {
    if (ms <= 0) {
        QCoreApplication::processEvents();
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One download on its own thread while the window keeps painting; the byte count, when wanted,
// goes to the dialog's label.
int RunDownload(DownloadKind kind, const std::string& url, const std::string& target, UpdateProgressDialog& dialog,
                bool showProgress, std::string& error) {
    std::atomic<uint64_t> bytes{0};
    int result = Downloader::kFailed;
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(50);
    QObject::connect(&poll, &QTimer::timeout, &dialog, [&] {
        if (showProgress && bytes.load() > 0)
            dialog.ShowBytes(bytes.load());
    });
    poll.start();
    std::thread worker([&] {
        Downloader downloader(kind, DownloadProxy::FromSettings(Settings()));
        result = downloader.Download(url, target, &dialog.CancelFlag(), [&bytes](uint64_t n) { bytes = n; });
        error = downloader.ErrorText();
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
    if (showProgress)
        dialog.ShowBytes(bytes.load());
    if (result == Downloader::kFailed)
        LogLine("CheckForUpdates: %s", error.c_str());
    return result;
}

void ShowFailure(QWidget* owner, int textId, const std::string& link) {
    ShowLinkMessage(owner, Text(textId), Text(kIdUpdateFailedCaption), Q(link));
}

// Steps 4 to 11 with the dialog up.
UpdateOutcome RunSteps(QWidget* owner, UpdateProgressDialog& dialog, const UpdateCheckOptions& o) {
    const AppSettings s = Settings();
    auto step = [&](int n, int pauseMs) {
        if (n > 0)
            dialog.SetCurrentStep(n);
        if (o.onStep)
            o.onStep(dialog);
        Pump(o.pumpMs);
        Pump(pauseMs);
    };
    step(0, o.stepPauseMs);
    std::string error;
    if (RunDownload(DownloadKind::VersionFile, s.UpdateVersionURL, VersionFilePath(), dialog, false, error) !=
        Downloader::kOk) {
        ShowFailure(owner, kIdUpdateCheckFailed, s.UpdateURL);
        return UpdateOutcome::VersionFailed;
    }
    step(1, o.stepPauseMs);
    const VersionFile published = ReadVersionFile(VersionFilePath());
    if (!IsNewer(published.version, o.running)) {
        ShowMessage(nullptr, MessageIcon::Information, Text(kIdUpdateLatestCaption), Text(kIdUpdateLatest));
        return UpdateOutcome::UpToDate;
    }
    step(2, o.stepPauseMs);
    if (dialog.Cancelled())
        return UpdateOutcome::Cancelled;
    const PackageKind kind = PackageKindOf(s.UpdateFileURL);
    const std::string package = UpdatePackagePath(kind);
    int result = RunDownload(DownloadKind::Update, s.UpdateFileURL, package, dialog, true, error);
    if (result != Downloader::kOk || dialog.Cancelled()) {
        if (dialog.Cancelled())
            return UpdateOutcome::Cancelled;
        ShowFailure(owner, kIdUpdateDownloadFailed, s.UpdateURL);
        return UpdateOutcome::DownloadFailed;
    }
    dialog.CancelButton()->setEnabled(false);
    step(3, o.installPauseMs);
    dialog.hide();
    Pump(o.pumpMs);
    if (dialog.Cancelled())
        return UpdateOutcome::Cancelled;
    const QString byHand = QUrl::fromLocalFile(Q(package)).toString();
    // Only a package whose digest came with the version file over https is ever run.
    if (kind == PackageKind::Unknown ||
        !UpdateVerified(published, s.UpdateVersionURL, s.UpdateFileURL, package, o.requireHttps)) {
        LogLine("CheckForUpdates: %s not verified, left to be installed by hand", package.c_str());
        ShowLinkMessage(owner, Text(kIdUpdateRunByHand), Text(kIdUpdateFailedCaption), byHand, 0, LinkUse::kInstaller);
        return UpdateOutcome::Unverified;
    }
    bool started = o.start ? o.start(package, kind) : StartUpdatePackage(package, kind);
    if (!started)
        ShowLinkMessage(owner, Text(kIdUpdateRunByHand), Text(kIdUpdateFailedCaption), byHand, 0, LinkUse::kInstaller);
    Pump(o.exitPauseMs);
    Pump(o.pumpMs);
    if (dialog.Cancelled())
        return UpdateOutcome::Cancelled;
    // The running program steps aside so the package, or the user, can replace it.
    if (o.exit)
        o.exit();
    return started ? UpdateOutcome::Started : UpdateOutcome::StartFailed;
}

}  // namespace

bool UpdateCheckRunning() {
    return running;
}

bool StartUpdatePackage(const std::string& path, PackageKind kind) {
    if (kind == PackageKind::Debian) {
        // The desktop's package installer is the default handler for the file.
        Presenter().OpenUrl(QUrl::fromLocalFile(Q(path)).toString());
        return true;
    }
    return kind == PackageKind::AppImage && StartProgram(path);
}

UpdateOutcome CheckForUpdates(QWidget* owner, const UpdateCheckOptions& options) {
    if (running)
        return UpdateOutcome::AlreadyRunning;
    if (!UpdateConfigured(Settings())) {
        ShowLinkMessage(owner, Text(kIdUpdateVisitSite), Text(kIdUpdateDialogCaption), Q(Settings().help_url));
        return UpdateOutcome::NotConfigured;
    }
    running = true;
    UpdateOutcome outcome;
    {
        UpdateProgressDialog dialog;
        dialog.adjustSize();
        dialog.show();
        outcome = RunSteps(owner, dialog, options);
        dialog.hide();
    }
    running = false;
    return outcome;
}

}  // namespace quillon
