// The shutdown window and sequence: the worker finishes the work in hand and reports, the store is
// checkpointed while "Saving database" is current, and a worker that does not finish cannot hold
// the program open.
#include <QtTest>

#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/ShutdownWindow.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {
ShutdownOptions QuickOptions() {
    ShutdownOptions options;
    options.pauseAfterStop = std::chrono::milliseconds(0);
    options.pauseAfterSave = std::chrono::milliseconds(0);
    options.pauseAfterDone = std::chrono::milliseconds(0);
    return options;
}

WorkerOptions QuickWorker() {
    WorkerOptions options;
    options.startPause = std::chrono::milliseconds(0);
    return options;
}

// On line with one waiting message whose send the gateway delays by delayMs: the message's id, 0 on failure.
int32_t DelayedSendWaiting(UiTestEnv& env, int delayMs) {
    Settings().WorkingOnLine = true;
    SetOnLine(true);
    if (!env.Ok() || !LogInToGateway("demo", "demo") || !env.Sandbox().InjectFault("delay", 1, delayMs, "sendmsg"))
        return 0;
    return env.Store()->Outbox().AddSms(0, 0, 0, 0, ",0821234567", "Meeting moved to 3pm", "", 0, "?");
}
}  // namespace

class ShutdownTest : public QObject {
    Q_OBJECT

private slots:
    void StepsShowOneCurrentStep() {
        ShutdownWindow window;
        QCOMPARE(window.CurrentStep(), 0);
        window.SetCurrentStep(2);
        for (int i = 0; i < ShutdownWindow::kStepCount; ++i) {
            auto* text = window.findChild<QLabel*>(QString("stepText%1").arg(i + 1));
            QCOMPARE(text->isEnabled(), i == 2);
        }
        QCOMPARE(window.findChild<QLabel*>("stepText4")->text(), Text(kTextStepCompleted));
    }

    void BusyWorkerFinishesItsSendBeforeTheStoreIsSaved() {
        UiTestEnv env;
        // The gateway takes its time over the send, so the worker is busy when we quit.
        const int32_t id = DelayedSendWaiting(env, 1500);
        QVERIFY(id > 0);
        QueuedMessageSink sink;
        CommsWorker worker(env.Store(), GatewayApi::Instance(), &sink, QuickWorker());
        QVERIFY(worker.Start());
        QTRY_VERIFY_WITH_TIMEOUT(worker.IsBusy(), 5000);

        int statusAtCommit = -1;
        ShutdownOptions options = QuickOptions();
        options.commit = [&] {
            SmsRecord record;
            if (env.Store()->Outbox().GetSms(id, record))
                statusAtCommit = record.Stat;
            env.Store()->Commit();
        };
        // As in the program: the message loop has ended (tray "Exit") before the window runs.
        QTimer::singleShot(0, [] { QCoreApplication::exit(0); });
        QCOMPARE(QCoreApplication::exec(), 0);
        ShutdownReport report = RunShutdownSequence(worker, sink, options);
        QVERIFY(report.quitReceived);
        QVERIFY(report.workerEnded);
        QCOMPARE(report.steps, (std::vector<int>{0, 1, 2, 3}));
        QCOMPARE(report.commitStep, 2);
        QVERIFY(!worker.IsRunning());
        // The send in hand was completed, not cut off: the message left Pending and Processing.
        QCOMPARE(env.Sandbox().Received("sendmsg").size(), size_t(1));
        QVERIFY(statusAtCommit != 0 && statusAtCommit != 10);
    }

    void AStuckWorkerCannotHoldTheProgramOpen() {
        UiTestEnv env;
        QVERIFY(DelayedSendWaiting(env, 2500) > 0);
        QueuedMessageSink sink;
        CommsWorker worker(env.Store(), GatewayApi::Instance(), &sink, QuickWorker());
        QVERIFY(worker.Start());
        QTRY_VERIFY_WITH_TIMEOUT(worker.IsBusy(), 5000);
        ShutdownOptions options = QuickOptions();
        options.workerWait = std::chrono::milliseconds(100);
        bool committed = false;
        options.commit = [&] { committed = true; };
        ShutdownReport report = RunShutdownSequence(worker, sink, options);
        QVERIFY(!report.quitReceived);
        QVERIFY(!report.workerEnded);
        QVERIFY(committed);
        QCOMPARE(report.steps.back(), 3);
        QVERIFY(worker.WaitForExit(std::chrono::milliseconds(10000)));
    }
};

QTEST_MAIN(ShutdownTest)
#include "ShutdownTest.moc"
