#include "tour/TourShell.h"

#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "gateway/GatewayApi.h"
#include "support/UiTestEnv.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ShellStyle.h"

namespace quillon::test {

TourOutput::TourOutput(QApplication& app, int argc, char** argv)
    : dir_(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath()),
      suffix_(argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString()) {
    app.setQuitOnLastWindowClosed(false);
    QDir().mkpath(dir_);
}

void Shoot(QWidget& window, const QString& file) {
    QTest::qWait(400);
    // The window's part of the screen, in device pixels.
    const qreal ratio = window.devicePixelRatioF();
    const QRect r = window.frameGeometry();
    const QString crop = QStringLiteral("%1x%2+%3+%4")
                             .arg(qRound(r.width() * ratio))
                             .arg(qRound(r.height() * ratio))
                             .arg(qRound(r.x() * ratio))
                             .arg(qRound(r.y() * ratio));
    if (QGuiApplication::platformName() == "xcb" &&
        QProcess::execute("/usr/bin/import", {"-window", "root", "-crop", crop, file}) == 0) {
        std::printf("%s\n", qPrintable(file));
        return;
    }
    window.grab().save(file);
    std::printf("%s (grabbed)\n", qPrintable(file));
}

void ShootDialog(QWidget& dialog, QPoint at, const QString& file) {
    dialog.move(at);
    dialog.show();
    dialog.raise();
    Shoot(dialog, file);
    dialog.hide();
}

TourApp::TourApp(int& argc, char** argv, const char* program, bool withSandbox)
    : app_(argc, argv), out_(app_, argc, argv), program_(program) {
    ShellStyle::Apply(app_);
    env_ = std::make_unique<UiTestEnv>(withSandbox);
}

TourApp::~TourApp() = default;

bool TourApp::Started() {
    if (env_->Ok())
        return true;
    std::fprintf(stderr, "%s: the sandbox gateway did not start: %s\n", program_, env_->Sandbox().LastError().c_str());
    return false;
}

TourShell::TourShell(UiTestEnv& env)
    : worker_(env.Store(), GatewayApi::Instance(), &sink_),
      window_(std::make_unique<MainWindow>(worker_.Store(), &worker_, &sink_)) {}

TourShell::~TourShell() {
    worker_.RequestStop();
    window_.reset();
    worker_.WaitForExit();
}

void TourShell::ShowLogin(int settleMs) {
    window_->move(20, 16);
    window_->show();
    QTest::qWait(settleMs);
    QTest::keyClicks(window_->findChild<QLineEdit*>("loginUser"), "demo");
    QTest::keyClicks(window_->findChild<QLineEdit*>("loginPassword"), "demo");
}

void TourShell::PressLogin(int settleMs) {
    QTest::mouseClick(window_->findChild<QPushButton*>("loginOk"), Qt::LeftButton);
    QTest::qWait(settleMs);
}

}  // namespace quillon::test
