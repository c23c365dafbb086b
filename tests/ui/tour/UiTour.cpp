// quillon-ui-tour OUTDIR: walks the desktop shell through its login pane, the main window after
// login and the options pane against the sandbox gateway, and takes a screenshot of each
// (login.png, main.png, options.png, dropdown.png with a list open, resized.png with the window made
// larger, and shutdown.png while
// a message is being sent). Under X11 the screen is taken
// with `import -window root` and cut to the window; elsewhere the window is grabbed.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <cstdio>

#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/login/LoginPane.h"
#include "ui/options/OptionsPane.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/ShutdownWindow.h"

using namespace quillon;

namespace {

void Wait(int ms) {
    QTest::qWait(ms);
}

void Shoot(QWidget& window, const QString& file) {
    Wait(300);
    bool x11 = QGuiApplication::platformName() == "xcb";
    // The window's part of the screen, in device pixels.
    qreal ratio = window.devicePixelRatioF();
    QRect r = window.frameGeometry();
    QString crop = QStringLiteral("%1x%2+%3+%4")
                       .arg(qRound(r.width() * ratio))
                       .arg(qRound(r.height() * ratio))
                       .arg(qRound(r.x() * ratio))
                       .arg(qRound(r.y() * ratio));
    if (x11 && QProcess::execute("/usr/bin/import", {"-window", "root", "-crop", crop, file}) == 0) {
        std::printf("%s\n", qPrintable(file));
        return;
    }
    window.grab().save(file);
    std::printf("%s (grabbed)\n", qPrintable(file));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ShellStyle::Apply(app);
    app.setQuitOnLastWindowClosed(false);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    test::UiTestEnv env;
    if (!env.Ok()) {
        std::fprintf(stderr, "quillon-ui-tour: the sandbox gateway did not start: %s\n",
                     env.Sandbox().LastError().c_str());
        return 1;
    }
    Settings().help_url = "https://www.quillon-sms.example/help";
    Settings().Sig = "-- sent with Quillon";
    Settings().prefix = "+44";
    // A few messages waiting in the outbox, so the tab caption counts them.
    for (const char* to : {",07700900001", ",07700900002", ",07700900003"})
        env.Store()->Outbox().AddSms(4, 2000000000, 0, 0, to, "See you at the meeting", "", 0, "?");

    QueuedMessageSink sink;
    CommsWorker worker(env.Store(), GatewayApi::Instance(), &sink);
    {
        MainWindow window(worker.Store(), &worker, &sink);
        window.move(20, 16);
        window.show();
        Wait(600);
        auto* user = window.findChild<QLineEdit*>("loginUser");
        auto* password = window.findChild<QLineEdit*>("loginPassword");
        QTest::keyClicks(user, "demo");
        QTest::keyClicks(password, "demo");
        Shoot(window, out + "/login.png");

        // A message waits to be sent and the gateway is slow to take it: after the login the worker
        // is busy, as the indicator in the corner shows.
        env.Store()->Outbox().AddSms(0, 0, 0, 0, ",07700900009", "Running ten minutes late", "", 0, "?");
        env.Sandbox().InjectFault("delay", 1, 4000, "sendmsg");
        QTest::mouseClick(window.findChild<QPushButton*>("loginOk"), Qt::LeftButton);
        Wait(1500);
        Shoot(window, out + "/main.png");

        window.SelectTab(MainWindow::kTabOptions);
        Wait(400);
        Shoot(window, out + "/options.png");
        // An open drop-down list, its highlighted entry readable.
        if (auto* kinds = window.Options()->findChild<QComboBox*>("proxyKindList")) {
            kinds->showPopup();
            Wait(300);
            QTest::keyClick(kinds->view(), Qt::Key_Down);
            Shoot(window, out + "/dropdown.png");
            kinds->hidePopup();
        }
        // Made larger, the options pane takes the room; the header follows the right edge.
        window.resize(window.minimumSize() + QSize(240, 110));
        Wait(400);
        Shoot(window, out + "/resized.png");
        window.resize(window.minimumSize());
        window.SelectTab(MainWindow::kTabSms);
        for (int i = 0; i < 300 && worker.IsBusy(); ++i)
            Wait(20);

        // Quit while a message is being sent: the shutdown window.
        env.Sandbox().InjectFault("delay", 1, 1500, "sendmsg");
        int32_t id = env.Store()->Outbox().AddSms(0, 0, 0, 0, ",07700900004", "On my way", "", 0, "?");
        worker.PostSendOne(id);
        for (int i = 0; i < 100 && !worker.IsBusy(); ++i)
            Wait(20);
        window.hide();
        ShutdownOptions options;
        options.onStep = [&](ShutdownWindow& shutdown) {
            if (shutdown.CurrentStep() == 0)
                Shoot(shutdown, out + "/shutdown.png");
        };
        RunShutdownSequence(worker, sink, options);
    }
    worker.WaitForExit();
    return 0;
}
