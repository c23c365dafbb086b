// quillon-outbox-tour OUTDIR [SUFFIX]: a busy outbox in the main window after login (outbox.png)
// and the status legend (outbox-legend.png), against the sandbox gateway. SUFFIX is appended to
// the file names (for a run at another scale: QT_SCALE_FACTOR=2 ... -200).
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <cstdio>

#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/outbox/OutboxPane.h"
#include "ui/outbox/StatusLegendDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/ShellStyle.h"

using namespace quillon;

namespace {

void Shoot(QWidget& window, const QString& file) {
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
        return;
    }
    window.grab().save(file);
    std::printf("%s (grabbed)\n", qPrintable(file));
}

// Messages in every state, to and from a few people, over the last days.
void FillOutbox(MessageStore& store) {
    const char* people[] = {",07700900101", ",07700900102", ",07700900103",
                            ",07700900104", ",07700900105", ",07700900106,07700900107",
                            ",07700900108"};
    const char* texts[] = {"Running ten minutes late",
                           "See you at the meeting",
                           "Invoice 2231 is ready to collect",
                           "Your appointment is confirmed for Tuesday 10:30",
                           "Happy birthday!",
                           "Gate code changed to 4471",
                           "Reminder: team lunch on Friday"};
    const int32_t base = 1765000000;
    for (int i = 0; i < 36; ++i) {
        const int32_t stat = i % kStatusCount;
        const char* charge = stat == 9 || stat == 8 || stat == 3 ? "1.0" : "?";
        store.Outbox().AddSms(stat, base + i * 1800, 0, 0, people[i % 7], texts[(i * 3) % 7], "", 0, charge);
    }
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ShellStyle::Apply(app);
    app.setQuitOnLastWindowClosed(false);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    QDir().mkpath(out);

    test::UiTestEnv env;
    if (!env.Ok()) {
        std::fprintf(stderr, "quillon-outbox-tour: the sandbox gateway did not start\n");
        return 1;
    }
    FillOutbox(*env.Store());
    QueuedMessageSink sink;
    CommsWorker worker(env.Store(), GatewayApi::Instance(), &sink);
    {
        MainWindow window(worker.Store(), &worker, &sink);
        window.move(20, 16);
        window.show();
        QTest::qWait(500);
        QTest::keyClicks(window.findChild<QLineEdit*>("loginUser"), "demo");
        QTest::keyClicks(window.findChild<QLineEdit*>("loginPassword"), "demo");
        QTest::mouseClick(window.findChild<QPushButton*>("loginOk"), Qt::LeftButton);
        QTest::qWait(800);
        window.SelectTab(MainWindow::kTabOutbox);
        auto* pane = qobject_cast<OutboxPane*>(window.PaneForTab(MainWindow::kTabOutbox));
        if (pane) {
            pane->OnColumnClick(2);
            pane->View()->selectRow(3);
            pane->ShowStatusLine(QStringLiteral("Querying status: 12 SMS still to check!"));
        }
        Shoot(window, out + "/outbox" + suffix + ".png");

        StatusLegendDialog legend(&window);
        legend.show();
        legend.move(window.pos() + QPoint(20, 60));
        Shoot(legend, out + "/outbox-legend" + suffix + ".png");
        legend.hide();
        window.hide();
        worker.RequestStop();
    }
    worker.WaitForExit();
    return 0;
}
