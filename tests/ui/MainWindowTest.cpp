// The main window: tabs and login, the paced balance refresh, the busy indicator and its texts, online
// display, error boxes, the outbox caption, close button, tray, header and notifications from a thread.
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>
#include <numeric>
#include <thread>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "gateway/Session.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/login/LoginPane.h"
#include "ui/options/OptionsPane.h"
#include "ui/options/ProxyDialog.h"
#include "ui/shell/AnimatedIndicator.h"
#include "ui/shell/BalanceLabel.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/Pane.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/TabButton.h"
#include "ui/shell/TrayController.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// Counts how often it becomes and stops being current; keeps its status lines and outbox refreshes.
class CountingPane : public Pane {
public:
    CountingPane() { setFixedSize(200, 100); }
    void Activate() override { ++activations; }
    void Deactivate() override { ++deactivations; }
    void ShowStatusLine(const QString& text) override { lines << text; }
    QString StatusLine() const override { return lines.isEmpty() ? QString() : lines.last(); }
    void RefreshOutbox(int mode) override { refreshes.push_back(mode); }
    int activations = 0, deactivations = 0;
    QStringList lines;
    std::vector<int> refreshes;
};

MainWindowOptions FastOptions() {
    MainWindowOptions options;
    options.balanceRefreshMs = 300;  // short, yet long enough to post a burst within one interval
    options.tray = false;
    return options;
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void TabsAppearWithTheLoginSequenceAndSelectingTheCurrentOneDoesNothing() {
        UiTestEnv env(false);
        Settings().WorkingOnLine = false;
        MainWindow window(env.Store(), nullptr, nullptr, FastOptions());
        auto* addresses = new CountingPane;
        window.ReplacePane(MainWindow::kTabAddresses, addresses);
        const int tabs[] = {MainWindow::kTabSms, MainWindow::kTabAddresses, MainWindow::kTabOutbox,
                            MainWindow::kTabOptions};
        for (int id : tabs)
            QVERIFY(window.Tab(id)->isHidden());
        QCOMPARE(window.CurrentPane(), static_cast<Pane*>(window.Login()));
        window.LoginSucceeded();
        for (int id : tabs)
            QVERIFY(!window.Tab(id)->isHidden());
        QCOMPARE(window.CurrentTab(), int(MainWindow::kTabSms));
        QVERIFY(window.Tab(MainWindow::kTabSms)->IsPressed());
        QVERIFY(window.Login()->isHidden());
        // Off line: the offline indicator blinks.
        QTRY_VERIFY(window.OfflineIndicator()->IsRunning());
        QVERIFY(!window.OfflineIndicator()->isHidden());
        window.SetOnlineDisplay(true);
        QVERIFY(window.OfflineIndicator()->isHidden());
        QVERIFY(!window.OfflineIndicator()->IsRunning());

        window.SelectTab(MainWindow::kTabAddresses);
        window.SelectTab(MainWindow::kTabAddresses);
        QCOMPARE(addresses->activations, 1);
        window.SelectTab(MainWindow::kTabOutbox);
        QCOMPARE(window.CurrentTab(), int(MainWindow::kTabOutbox));
        QCOMPARE(addresses->deactivations, 1);
        QVERIFY(!window.Tab(MainWindow::kTabAddresses)->IsPressed());
        QVERIFY(window.Tab(MainWindow::kTabOutbox)->IsPressed());
    }

    void BalanceRefreshesArePaced() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        SetOnLine(true);
        QVERIFY(LogInToGateway("demo", "demo"));
        env.Sandbox().Reset();
        QVERIFY(LogInToGateway("demo", "demo"));
        const size_t before = env.Sandbox().Received("getbalance").size();
        QueuedMessageSink sink;
        MainWindow window(env.Store(), nullptr, &sink, FastOptions());
        window.LoginSucceeded();
        BalanceLabel* compose = window.PaneForTab(MainWindow::kTabSms)->Balance();
        BalanceLabel* options = window.Options()->Balance();

        // A burst: one refresh after the interval, and one more an interval later.
        for (int i = 0; i < 10; ++i)
            sink.BalanceChanged();
        QTRY_VERIFY(window.RefreshRunning());
        QVERIFY(window.RefreshPending());
        QVERIFY(compose->IsBlinking());
        QVERIFY(options->IsBlinking());
        QTRY_COMPARE(window.BalanceRefreshCount(), 2);
        QTRY_VERIFY(!window.RefreshTimer().isActive());
        QVERIFY(!window.RefreshRunning());
        QCoreApplication::sendPostedEvents();  // what did not happen needs no sleep
        QVERIFY(!window.RefreshTimer().isActive());
        QCOMPARE(window.BalanceRefreshCount(), 2);
        QVERIFY(!compose->IsBlinking());
        QVERIFY(!options->IsBlinking());
        QCOMPARE(compose->text(), Q(BalanceText(1333, 1000, true)));
        QCOMPARE(env.Sandbox().Received("getbalance").size(), before + 2);

        // A single change: exactly one refresh, then the timer is gone.
        sink.BalanceChanged();
        QTRY_COMPARE(window.BalanceRefreshCount(), 3);
        QTRY_VERIFY(!window.RefreshTimer().isActive());
        QCoreApplication::sendPostedEvents();
        QVERIFY(!window.RefreshTimer().isActive());
        QCOMPARE(window.BalanceRefreshCount(), 3);

        // Off line the stored balance stands, marked with "?", and the gateway is not asked.
        SetOnLine(false);
        sink.BalanceChanged();
        QTRY_COMPARE(window.BalanceRefreshCount(), 4);
        QCOMPARE(env.Sandbox().Received("getbalance").size(), before + 3);
        QVERIFY(compose->text().endsWith("?"));
    }

    void ProgressIsShownOnlyWithinAPhase() {
        UiTestEnv env(false);
        QueuedMessageSink sink;
        MainWindow window(env.Store(), nullptr, &sink, FastOptions());
        auto* outbox = new CountingPane;
        window.ReplacePane(MainWindow::kTabOutbox, outbox);
        AnimatedIndicator* busy = window.BusyIndicator();
        QVERIFY(busy->isHidden());

        sink.CycleBegan();
        sink.Progress(5, 7);
        QTRY_COMPARE(window.LastPhase(), BusyStep::CycleBegan);
        QCoreApplication::sendPostedEvents();
        QVERIFY(!busy->isHidden());
        QVERIFY(busy->IsRunning());
        QCOMPARE(outbox->lines, QStringList{Text(1184)});  // progress after the begin message shows nothing
        QCOMPARE(busy->toolTip(), Text(1184));

        sink.PhaseBegan(WorkerPhase::Sending);
        sink.Progress(5, 2);
        QTRY_COMPARE(outbox->lines.size(), 3);
        const QString sending = Text(1187) + ":5 SMS to go. Expanding(2)";
        QCOMPARE(outbox->lines.mid(1), QStringList({Text(1187), sending}));
        QCOMPARE(busy->toolTip(), sending);

        sink.PhaseBegan(WorkerPhase::Querying);
        sink.Progress(4, 0);
        sink.PhaseBegan(WorkerPhase::Promoting);
        sink.Progress(1, 3);
        QTRY_COMPARE(outbox->lines.size(), 7);
        QCOMPARE(outbox->lines[4], Text(1189) + ": 4 SMS still to check!");
        QCOMPARE(outbox->lines[6], Text(1185) + ": 1 of 3");

        sink.CycleEnded();
        QTRY_VERIFY(busy->isHidden());
        QVERIFY(!busy->IsRunning());
        QCOMPARE(outbox->lines.last(), QString());
        QVERIFY(busy->toolTip().isEmpty());
        // After the end of a cycle progress shows nothing either.
        sink.Progress(9, 9);
        QCoreApplication::sendPostedEvents();
        QCOMPARE(outbox->lines.size(), 8);
    }

    void WorkerErrorsShowTheirBox() {
        UiTestEnv env(false);
        QueuedMessageSink sink;
        MainWindow window(env.Store(), nullptr, &sink, FastOptions());
        sink.CancellationsRefused(3);
        QTRY_COMPARE(env.Messages().Messages().size(), size_t(1));
        window.ShowUnforeseenError();
        QCOMPARE(env.Messages().Messages().size(), size_t(2));
        std::vector<ShownMessage> shown = env.Messages().Messages();
        QCOMPARE(shown[0].caption, Text(kTextErrorCaption));
        QCOMPARE(shown[0].text, FormatText(1585, {3}));
        QCOMPARE(shown[0].icon, MessageIcon::Error);
        QCOMPARE(shown[1].text, Text(1584));
    }

    void OutboxCaptionCountsWaitingMessages() {
        UiTestEnv env(false);
        MainWindow window(env.Store(), nullptr, nullptr, FastOptions());
        {
            StoreTransaction tx(*env.Store());
            for (int i = 0; i < 999; ++i)
                env.Store()->Outbox().AddSms(0, 0, 0, 0, ",0123", "x", "", 0, "?");
            env.Store()->Outbox().AddSms(3, 0, 0, 0, ",0123", "sent", "", 0, "?");  // not waiting
        }
        window.RecountOutboxCaption();
        QCOMPARE(window.Tab(MainWindow::kTabOutbox)->text(), QString("Outbox (999)"));
        env.Store()->Outbox().AddSms(4, 2000000000, 0, 0, ",0123", "later", "", 0, "?");
        window.RecountOutboxCaption();
        QCOMPARE(window.Tab(MainWindow::kTabOutbox)->text(), Text(1138));
    }

    void CloseButtonHidesOrMinimisesAndCheckpoints() {
        UiTestEnv env(false);
        MainWindow window(env.Store(), nullptr, nullptr, FastOptions());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(!window.ClosesToTray());  // no tray in this test: the window must stay reachable
        env.Store()->Outbox().AddSms(0, 0, 0, 0, ",0123", "x", "", 0, "?");
        env.Messages().SetAnswer(MessageAnswer::No);  // "Keep running" when asked
        QTest::mouseClick(window.findChild<QAbstractButton*>("closeButton"), Qt::LeftButton);
        QVERIFY(window.isMinimized() || window.windowState() & Qt::WindowMinimized);
        window.ShowFromTray();
        QVERIFY(!window.isMinimized());
        QVERIFY(window.isVisible());
    }

    void BrandingImageReplacesThePlainHeader() {
        UiTestEnv env(false);
        MainWindow window(env.Store(), nullptr, nullptr, FastOptions());
        QVERIFY(!window.HasBranding());
        QImage image(648, 81, QImage::Format_RGB32);
        image.fill(Qt::darkGreen);
        QVERIFY(image.save(Q(DataFile("XInfo.dll")), "PNG"));
        window.ReloadBranding();
        QVERIFY(window.HasBranding());
        // A file that is no picture leaves the plain header.
        WriteFile(DataFile("XInfo.dll"), "MZ not a picture");
        window.ReloadBranding();
        QVERIFY(!window.HasBranding());
    }

    void TrayMenuAndTitleFollowTheEdition() {
        UiTestEnv env(false);
        Settings().client_id = "QLNX";
        MainWindowOptions options = FastOptions();
        options.tray = true;
        QueuedMessageSink sink;
        MainWindow window(env.Store(), nullptr, &sink, options);
        QCOMPARE(window.windowTitle(), Text(1024));
        TrayController* tray = window.Tray();
        QVERIFY(tray);
        QCOMPARE(tray->Tip(), Text(1024));
        QList<QAction*> items = tray->Menu()->actions();
        QStringList texts;
        for (QAction* item : items)
            texts << (item->isSeparator() ? "-" : item->text());
        QCOMPARE(texts, QStringList({"Display version information", "Check for latest updates", "Proxy Settings", "-",
                                     "Exit"}));
        QCOMPARE(tray->Menu()->defaultAction(), items[4]);
        sink.WentOffLine();
        QTRY_VERIFY(!tray->IsOnline());
        window.SetOnlineDisplay(true);
        QVERIFY(tray->IsOnline());

        Settings().client_id = "ACME";
        window.SetTrayTipAndTitle();
        QCOMPARE(window.windowTitle(), Text(1025));

        // The version box names the program and its version.
        tray->VersionAction()->trigger();
        std::vector<ShownMessage> shown = env.Messages().Messages();
        QCOMPARE(shown.size(), size_t(1));
        QVERIFY(shown[0].text.startsWith(Text(1025) + "\nVersion: "));
        QVERIFY(shown[0].text.contains("Comms: "));
    }

    void ProxyDialogEnablesTheServerOnlyForAProxyList() {
        UiTestEnv env(false);
        Settings().ProxyType = 2;
        ProxyDialog dialog;
        auto* kind = dialog.findChild<QComboBox*>("proxyKindList");
        auto* host = dialog.findChild<QLineEdit*>("proxyHostEdit");
        auto* user = dialog.findChild<QLineEdit*>("proxyUserEdit");
        auto* description = dialog.findChild<QLabel*>("proxyDescription");
        QCOMPARE(kind->currentIndex(), 1);
        QCOMPARE(kind->currentData().toInt(), 2);
        QCOMPARE(description->text(), Text(1379));
        QVERIFY(!host->isEnabled());
        QVERIFY(user->isEnabled());
        kind->setCurrentIndex(3);
        QVERIFY(host->isEnabled());
        QCOMPARE(description->text(), Text(1383));
        // Nothing changed against the settings but the kind: OK applies it (and the unreachable
        // gateway's refusal keeps the dialog open with the proxy error shown).
        kind->setCurrentIndex(1);
        dialog.Apply();
        QCOMPARE(dialog.LastCode(), kProxyUnchanged);
    }

    void LeavingTheOptionsPaneSavesItKeepingTheProxyDialogsChange() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        Settings().WorkingOnLine = false;
        Settings().ProxyType = 4;
        Settings().ProxyHost = "proxy.example";
        Settings().ProxyPort = "3128";
        MainWindow window(env.Store(), nullptr, nullptr, FastOptions());
        window.LoginSucceeded();
        window.SelectTab(MainWindow::kTabOptions);
        // The tray's proxy dialog switches to a direct connection while the options pane is open.
        QTimer::singleShot(0, &window, [] {
            auto* dialog = qobject_cast<ProxyDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            dialog->findChild<QComboBox*>("proxyKindList")->setCurrentIndex(0);
            dialog->Apply();
            if (dialog->isVisible())
                dialog->reject();
        });
        window.OpenProxyDialog();
        QCOMPARE(Settings().ProxyType, 1);
        window.Options()->findChild<QLineEdit*>("signatureEdit")->setText("Regards, Ann");
        // Leaving the pane must not hand the old proxy back to the gateway.
        window.SelectTab(MainWindow::kTabSms);
        QCOMPARE(Settings().ProxyType, 1);
        QVERIFY(env.Shown().isEmpty());
        env.ReloadSettingsFromDisk();
        QCOMPARE(Settings().Sig, std::string("Regards, Ann"));
    }

    void TheHeaderDragsTheWindow() {
        UiTestEnv env(false);
        MainWindow window(env.Store(), nullptr, nullptr, FastOptions());
        window.move(100, 100);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QPoint start = window.pos();
        auto drag = [&window](QPoint from, QPoint to) {
            QTest::mousePress(&window, Qt::LeftButton, Qt::NoModifier, from);
            QTest::mouseMove(&window, to);
            QTest::mouseRelease(&window, Qt::LeftButton, Qt::NoModifier, to);
        };
        drag({300, 40}, {340, 70});
        QTRY_COMPARE(window.pos(), start + QPoint(40, 30));
        // Below the header a press is no title bar: only the header drag after it moves the window.
        drag({300, 300}, {340, 330});
        drag({300, 40}, {310, 45});
        QTRY_COMPARE(window.pos(), start + QPoint(50, 35));
    }

    void NotificationsFromAnotherThreadArriveInOrder() {
        UiTestEnv env(false);
        QueuedMessageSink sink;
        MainWindow window(env.Store(), nullptr, &sink, FastOptions());
        auto* outbox = new CountingPane;
        window.ReplacePane(MainWindow::kTabOutbox, outbox);
        QObject settingsPage;
        int goOffLines = 0;
        sink.ConnectQueued(&QueuedMessageSink::goOffLine, &settingsPage, [&goOffLines] { ++goOffLines; });
        std::thread worker([&sink] {
            for (int i = 0; i < 50; ++i) {
                sink.PhaseBegan(WorkerPhase::Sending);
                sink.Progress(i, 0);
                sink.OutboxChanged(i);
            }
            sink.CycleEnded();
            sink.GoOffLine();
            sink.WorkerStopped(12345);  // nobody waits for it: dropped
        });
        worker.join();
        QTRY_COMPARE(window.LastPhase(), BusyStep::CycleEnded);
        std::vector<int> inOrder(50);
        std::iota(inOrder.begin(), inOrder.end(), 0);
        QCOMPARE(outbox->refreshes, inOrder);
        QCOMPARE(outbox->lines.size(), 101);
        QCOMPARE(outbox->lines[100 - 1], Text(1187) + ":49 SMS to go. Expanding(0)");
        QTRY_COMPARE(goOffLines, 1);
        sink.ShowCommunicationFailure();
        sink.ShowCommunicationFailure();
        QTRY_COMPARE(env.Shown(), QStringList({Text(1028) + "|" + Text(1027), Text(1028) + "|" + Text(1027)}));
    }

    void GoOfflineFromTheWorkerReachesTheOptionsPaneAndTheWindow() {
        UiTestEnv env(false);
        Settings().WorkingOnLine = true;
        SetOnLine(true);
        QueuedMessageSink sink;
        MainWindow window(env.Store(), nullptr, &sink, FastOptions());
        window.LoginSucceeded();
        QTRY_VERIFY(window.OfflineIndicator()->isHidden());
        sink.GoOffLine();
        QTRY_VERIFY(!window.OfflineIndicator()->isHidden());
        QVERIFY(!IsOnLine());
        QVERIFY(window.Options()->findChild<QRadioButton*>("workOfflineRadio")->isChecked());
    }
};

QTEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
