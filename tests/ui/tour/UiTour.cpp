// quillon-ui-tour OUTDIR: walks the desktop shell through its login pane, the main window after
// login and the options pane against the sandbox gateway, and takes a screenshot of each
// (login.png, main.png, options.png, dropdown.png with a list open, resized.png with the window made
// larger, and shutdown.png while
// a message is being sent). Under X11 the screen is taken
// with `import -window root` and cut to the window; elsewhere the window is grabbed.
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include "core/AppSettings.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "tour/TourShell.h"
#include "ui/login/LoginPane.h"
#include "ui/options/OptionsPane.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ShutdownWindow.h"

using namespace quillon;

namespace {

void Wait(int ms) {
    QTest::qWait(ms);
}

}  // namespace

int main(int argc, char** argv) {
    test::TourApp tour(argc, argv, "quillon-ui-tour");
    if (!tour.Started())
        return 1;
    test::UiTestEnv& env = tour.Env();
    const test::TourOutput& out = tour.Out();
    Settings().help_url = "https://www.quillon-sms.example/help";
    Settings().Sig = "-- sent with Quillon";
    Settings().prefix = "+44";
    // A few messages waiting in the outbox, so the tab caption counts them.
    for (const char* to : {",07700900001", ",07700900002", ",07700900003"})
        env.Store()->Outbox().AddSms(4, 2000000000, 0, 0, to, "See you at the meeting", "", 0, "?");

    test::TourShell shell(env);
    MainWindow& window = shell.Window();
    CommsWorker& worker = shell.Worker();
    shell.ShowLogin();
    test::Shoot(window, out.Png("login"));

    // A message waits to be sent and the gateway is slow to take it: after the login the worker
    // is busy, as the indicator in the corner shows.
    env.Store()->Outbox().AddSms(0, 0, 0, 0, ",07700900009", "Running ten minutes late", "", 0, "?");
    env.Sandbox().InjectFault("delay", 1, 4000, "sendmsg");
    shell.PressLogin();
    test::Shoot(window, out.Png("main"));

    window.SelectTab(MainWindow::kTabOptions);
    Wait(400);
    test::Shoot(window, out.Png("options"));
    // An open drop-down list, its highlighted entry readable.
    if (auto* kinds = window.Options()->findChild<QComboBox*>("proxyKindList")) {
        kinds->showPopup();
        Wait(300);
        QTest::keyClick(kinds->view(), Qt::Key_Down);
        test::Shoot(window, out.Png("dropdown"));
        kinds->hidePopup();
    }
    // Made larger, the options pane takes the room; the header follows the right edge.
    window.resize(window.minimumSize() + QSize(240, 110));
    Wait(400);
    test::Shoot(window, out.Png("resized"));
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
            test::Shoot(shutdown, out.Png("shutdown"));
    };
    RunShutdownSequence(worker, shell.Sink(), options);
    return 0;
}
