// quillon-online-tour OUTDIR: screenshots of the update check's progress window (downloading),
// the link box of a failed download and the version dialog (update.png, link.png, version.png).
// Under X11 the screen is taken with `import -window root` and cut to the window; elsewhere the
// window is grabbed.
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTest>
#include <cstdio>

#include "core/AppSettings.h"
#include "support/UiTestEnv.h"
#include "ui/online/LinkDialog.h"
#include "ui/online/UpdateProgressDialog.h"
#include "ui/online/VersionDialog.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiText.h"

using namespace quillon;

namespace {

void Shoot(QWidget& window, const QString& file) {
    window.move(40, 40);
    window.show();
    window.raise();
    QTest::qWait(400);
    qreal ratio = window.devicePixelRatioF();
    QRect r = window.frameGeometry();
    QString crop = QStringLiteral("%1x%2+%3+%4")
                       .arg(qRound(r.width() * ratio))
                       .arg(qRound(r.height() * ratio))
                       .arg(qRound(r.x() * ratio))
                       .arg(qRound(r.y() * ratio));
    if (QGuiApplication::platformName() == "xcb" &&
        QProcess::execute("/usr/bin/import", {"-window", "root", "-crop", crop, file}) == 0) {
        std::printf("%s\n", qPrintable(file));
    } else {
        window.grab().save(file);
        std::printf("%s (grabbed)\n", qPrintable(file));
    }
    window.hide();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ShellStyle::Apply(app);
    app.setQuitOnLastWindowClosed(false);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    test::UiTestEnv env(false);
    {
        UpdateProgressDialog progress;
        progress.SetCurrentStep(2);
        progress.ShowBytes(1536 * 1024);
        progress.adjustSize();
        Shoot(progress, out + "/update.png");
    }
    {
        LinkDialog link(MessageIcon::Error, Text(1202), Text(1204), "https://www.quillon-sms.example/download");
        link.adjustSize();
        Shoot(link, out + "/link.png");
    }
    {
        Settings().client_id = "QLNX";
        VersionDialog version("SMS 4.2.1 (http)");
        version.adjustSize();
        Shoot(version, out + "/version.png");
    }
    return 0;
}
