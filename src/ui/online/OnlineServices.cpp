#include "ui/online/OnlineServices.h"

#include <QPointer>

#include "gateway/Session.h"
#include "ui/online/BrandingDownload.h"
#include "ui/online/UpdateCheck.h"
#include "ui/online/VersionDialog.h"
#include "ui/shell/MainWindow.h"

namespace quillon {

void InstallOnlineServices(MainWindow& window) {
    window.SetVersionAction([&window] { ShowVersionDialog(&window); });
    window.SetUpdateAction([&window] {
        UpdateCheckOptions options;
        options.exit = [&window] { window.RequestExit(); };
        CheckForUpdates(&window, options);
    });
    auto* branding = new BrandingDownload(&window);
    QObject::connect(branding, &BrandingDownload::finished, &window, [&window](bool replaced) {
        if (replaced)
            window.ReloadBranding();
    });
    // A login may happen on the worker (its re-login); the download starts on the ui thread.
    QPointer<BrandingDownload> target(branding);
    SetAfterLoginAction([target] {
        QMetaObject::invokeMethod(
            target.data(),
            [target] {
                if (target)
                    target->Start();
            },
            Qt::QueuedConnection);
    });
}

void RemoveOnlineServices() {
    SetAfterLoginAction(nullptr);
}

}  // namespace quillon
