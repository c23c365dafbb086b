// quillon-online-tour OUTDIR: screenshots of the update check's progress window (downloading),
// the link box of a failed download and the version dialog (update.png, link.png, version.png).
// Under X11 the screen is taken with `import -window root` and cut to the window; elsewhere the
// window is grabbed.
#include <QApplication>

#include "core/AppSettings.h"
#include "support/UiTestEnv.h"
#include "tour/TourShell.h"
#include "ui/online/LinkDialog.h"
#include "ui/online/UpdateProgressDialog.h"
#include "ui/online/VersionDialog.h"
#include "ui/shell/UiText.h"

using namespace quillon;

int main(int argc, char** argv) {
    test::TourApp tour(argc, argv, "quillon-online-tour", false);
    const test::TourOutput& out = tour.Out();
    {
        UpdateProgressDialog progress;
        progress.SetCurrentStep(2);
        progress.ShowBytes(1536 * 1024);
        progress.adjustSize();
        test::ShootDialog(progress, QPoint(40, 40), out.Png("update"));
    }
    {
        LinkDialog link(MessageIcon::Error, Text(kIdUpdateFailedCaption), Text(kIdUpdateDownloadFailed),
                        "https://www.quillon-sms.example/download");
        link.adjustSize();
        test::ShootDialog(link, QPoint(40, 40), out.Png("link"));
    }
    {
        Settings().client_id = "QLNX";
        VersionDialog version("SMS 4.2.1 (http)");
        version.adjustSize();
        test::ShootDialog(version, QPoint(40, 40), out.Png("version"));
    }
    return 0;
}
