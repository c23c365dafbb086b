// The outbox pane: live refreshes from the sandbox while sorted, selection, the menu's greying, the
// commands on line and off line, delete with undo, export, find and filter, status images and legend.
#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>
#include <tuple>

#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "outbox/OutboxText.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/outbox/OutboxModel.h"
#include "ui/outbox/OutboxPane.h"
#include "ui/outbox/StatusIcons.h"
#include "ui/outbox/StatusLegendDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/TabButton.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {
int32_t Add(MessageStore& store, const std::string& to, int32_t stat = 0, int32_t time = 1700000000) {
    return store.Outbox().AddSms(stat, time, 0, 0, to, "text to " + to, "", 0, "?");
}

QString Cell(OutboxPane& pane, int row, OutboxColumn column) {
    return pane.Model()->index(row, static_cast<int>(column)).data().toString();
}

std::vector<int32_t> Shown(OutboxPane& pane) {
    return pane.Model()->Order().Ids();
}

void Open(OutboxPane& pane) {
    pane.show();
    pane.Activate();
}

void ClickRow(OutboxPane& pane, int row, Qt::KeyboardModifiers modifiers = {}) {
    QTableView* view = pane.View();
    QRect rect = view->visualRect(pane.Model()->index(row, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, modifiers, rect.center());
}

WorkerOptions Quick() {
    WorkerOptions options;
    options.cycleLength = std::chrono::milliseconds(3600000);
    options.startPause = std::chrono::milliseconds(0);
    options.postPause = std::chrono::milliseconds(0);
    return options;
}
}  // namespace

class OutboxPaneTest : public QObject {
    Q_OBJECT

private slots:
    void MessagesMoveToDeliveredWhileSortedByStatusThenRecipient() {
        UiTestEnv env(true, {"--session-idle", "100000000", "--timeline", "1,2,3"});
        QVERIFY(env.Ok());
        MessageStore& store = *env.Store();
        QueuedMessageSink sink;
        CommsWorker worker(&store, GatewayApi::Instance(), &sink, Quick());
        OutboxPane pane(store, &worker);
        sink.ConnectQueued(&QueuedMessageSink::outboxChanged, &pane, &OutboxPane::RefreshOutbox);
        const int32_t c = Add(store, "0711000033", 0, 1000), a = Add(store, "0711000011", 0, 1001),
                      b = Add(store, "0711000022", 0, 1002);
        const int32_t delivered = Add(store, "0711000044", StatusCode(MessageStatus::Delivered), 999);
        Open(pane);
        pane.OnColumnClick(static_cast<int>(OutboxColumn::Status));
        QCOMPARE(Shown(pane), (std::vector<int32_t>{c, a, b, delivered}));
        ClickRow(pane, 1);  // a
        QCOMPARE(pane.GetSelectedIds(), std::vector<int32_t>{a});

        SetOnLine(true);
        QVERIFY(LogInToGateway("demo", "demo"));
        QVERIFY(worker.Start());  // on line: sends every pending message
        auto allIn = [&pane](int from, int to, int32_t stat) {
            for (int row = from; row <= to; ++row) {
                if (Cell(pane, row, OutboxColumn::Status) != Q(StatusDisplayName(stat)))
                    return false;
            }
            return true;
        };
        QTRY_VERIFY_WITH_TIMEOUT(allIn(1, 3, StatusCode(MessageStatus::Unknown)), 20000);
        // Delivered (9) now sorts before Unknown (11); the selection follows its message.
        QCOMPARE(Shown(pane), (std::vector<int32_t>{delivered, c, a, b}));
        QCOMPARE(pane.GetSelectedIds(), std::vector<int32_t>{a});

        pane.OnColumnClick(static_cast<int>(OutboxColumn::Recipient));
        QCOMPARE(Shown(pane), (std::vector<int32_t>{a, b, c, delivered}));
        QVERIFY(env.Sandbox().AdvanceClock(10));
        worker.PostQueryList(IdList{false, {c, a, b}});
        QTRY_VERIFY_WITH_TIMEOUT(allIn(0, 3, StatusCode(MessageStatus::Delivered)), 20000);
        // Sorted by recipient, status changes repaint the rows where they stand.
        QCOMPARE(Shown(pane), (std::vector<int32_t>{a, b, c, delivered}));
        QCOMPARE(pane.GetSelectedIds(), std::vector<int32_t>{a});
        worker.RequestStop();
        QVERIFY(worker.WaitForExit());
    }

    void ShiftSelectionKeepsDisplayOrderAndSurvivesARebuild() {
        UiTestEnv env(false);
        MessageStore& store = *env.Store();
        std::vector<int32_t> ids;
        for (const char* to : {"06", "05", "04", "03", "02", "01", "07"})
            ids.push_back(Add(store, to));
        OutboxPane pane(store, nullptr);
        Open(pane);
        pane.OnColumnClick(static_cast<int>(OutboxColumn::Recipient));
        pane.OnColumnClick(static_cast<int>(OutboxColumn::Recipient));  // descending: 07, 06, ... 01
        ClickRow(pane, 2);
        ClickRow(pane, 5, Qt::ShiftModifier);
        const std::vector<int32_t> shown = Shown(pane);
        const std::vector<int32_t> rows25(shown.begin() + 2, shown.begin() + 6);
        QCOMPARE(rows25, (std::vector<int32_t>{ids[1], ids[2], ids[3], ids[4]}));  // 05 04 03 02
        QCOMPARE(pane.GetSelectedIds(), rows25);
        // A rebuild sorts ascending again and keeps the same messages selected, now in that order.
        pane.RefreshOutbox(kRefreshWholeOutbox);
        pane.FlushRefresh();
        QCOMPARE(pane.GetSelectedIds(), (std::vector<int32_t>{ids[4], ids[3], ids[2], ids[1]}));
        QVERIFY(pane.HandleCommand(PaneCommand::SelectAll));
        QCOMPARE(pane.GetSelectedIds().size(), ids.size());
    }

    void MenuGreyingFollowsTheFocusedMessage() {
        UiTestEnv env(false);
        MessageStore& store = *env.Store();
        OutboxPane pane(store, nullptr);
        using S = MessageStatus;
        struct Case {
            int32_t stat;  // -1: no row under the click
            bool online;
            std::vector<OutboxPane::MenuItem> enabled;
        };
        using M = OutboxPane;
        const std::vector<M::MenuItem> allButEdit = {M::kCopy,      M::kDelete, M::kSendNow,
                                                     M::kSelectAll, M::kResend, M::kRefresh};
        std::vector<M::MenuItem> all = allButEdit;
        all.insert(all.begin(), M::kEdit);
        const Case cases[] = {
            {-1, true, {M::kSelectAll}},
            {StatusCode(S::Editing), false, {M::kSelectAll}},
            {StatusCode(S::Processing), true, {M::kSelectAll}},
            {StatusCode(S::Expanded), true, {M::kCopy, M::kDelete, M::kSendNow, M::kSelectAll, M::kResend}},
            {StatusCode(S::Scheduled), true, all},
            {StatusCode(S::DelayScheduled), true, all},
            {StatusCode(S::Pending), true, allButEdit},
            {StatusCode(S::Pending), false, all},
            {StatusCode(S::Delivered), false, allButEdit},
            {42, true, allButEdit},
        };
        for (const Case& c : cases) {
            int32_t id = c.stat >= 0 ? Add(store, "0711000021", c.stat) : 0;
            Open(pane);
            SetOnLine(c.online);
            pane.PrepareMenu(id ? pane.Model()->RowOf(id) : -1);
            for (M::MenuItem item :
                 {M::kEdit, M::kCopy, M::kDelete, M::kSendNow, M::kSelectAll, M::kResend, M::kRefresh}) {
                bool want = std::find(c.enabled.begin(), c.enabled.end(), item) != c.enabled.end();
                QVERIFY2(pane.MenuAction(item)->isEnabled() == want,
                         qPrintable(QString("stat %1 item %2").arg(c.stat).arg(item)));
            }
            if (id)
                store.Outbox().DeleteSms(id);
        }
        SetOnLine(false);
    }

    void CommandsGoOnLineOrSayWhyNot() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        MessageStore& store = *env.Store();
        QueuedMessageSink sink;
        CommsWorker worker(&store, GatewayApi::Instance(), &sink, Quick());
        QVERIFY(worker.Start());  // off line: nothing is sent yet
        OutboxPane pane(store, &worker);
        const int32_t first = Add(store, "0711000021");
        Add(store, "0711000022");
        Open(pane);
        ClickRow(pane, 1);  // second
        QSignalSpy online(&pane, &OutboxPane::onLineChanged);
        QSignalSpy offlineAgain(&sink, &QueuedMessageSink::goOffLine);
        struct Case {
            void (OutboxPane::*command)();
            const char* password;
            QString box;  // "" when none
        };
        const Case cases[] = {
            {&OutboxPane::SendNowSelected, "wrong",
             "Send Now failed|Unable to go online and send the highlighted outbox items!"},
            {&OutboxPane::RefreshStatusSelected, "wrong",
             "Query failed|Unable to go online and query the status of the highlighted outbox items!"},
            {&OutboxPane::SendNowAll, "wrong", "Send Now failed|Unable to go online and send the outbox items!"},
            {&OutboxPane::SendNowSelected, "demo", ""},
        };
        for (const Case& c : cases) {
            env.Messages().Clear();
            online.clear();
            SetOnLine(false);
            Settings().Login = "demo";
            Settings().Password = c.password;
            (pane.*c.command)();
            const bool ok = c.box.isEmpty();
            QCOMPARE(env.Shown().join("\n"), c.box);
            QCOMPARE(IsOnLine(), ok);
            QCOMPARE(online.size(), 1);
            QCOMPARE(online.front().front().toBool(), ok);
        }
        // Only the selected message went out, and the list that went on line for itself went off again.
        QTRY_COMPARE_WITH_TIMEOUT(env.Sandbox().Received("sendmsg").size(), size_t(1), 20000);
        QCOMPARE(env.Sandbox().Received("sendmsg")[0].Param("to"), std::string("0711000022"));
        QTRY_COMPARE_WITH_TIMEOUT(offlineAgain.size(), 1, 20000);
        SmsRecord r;
        QVERIFY(store.Outbox().GetSms(first, r) && r.Stat == 0);
        worker.RequestStop();
        QVERIFY(worker.WaitForExit());
    }

    void DeleteAsksThenUndoesUntilThePaneIsLeft() {
        UiTestEnv env(false);
        MessageStore& store = *env.Store();
        OutboxPane pane(store, nullptr);
        const int32_t a = Add(store, "0711000021"), b = Add(store, "0711000022");
        const int32_t onServer = Add(store, "0711000023", StatusCode(MessageStatus::ScheduledOnServer));
        SmsRecord before;
        QVERIFY(store.Outbox().GetSms(a, before));
        Open(pane);
        QSignalSpy recount(&pane, &OutboxPane::outboxCountChanged);

        env.Messages().SetAnswer(MessageAnswer::No);
        pane.SelectAllRows();
        pane.DeleteSelected();
        QCOMPARE(store.Outbox().SmsRowCount(), 3);
        QCOMPARE(env.Shown().front(), "Confirm Message Delete|" + FormatText(kIdConfirmServerDeleteText, {3}));

        env.Messages().Clear();
        env.Messages().SetAnswer(MessageAnswer::Yes);
        pane.DeleteSelected();
        // The two local ones go at once; the one on the gateway waits for the worker.
        QCOMPARE(Shown(pane), std::vector<int32_t>{onServer});
        QVERIFY(pane.CanUndo());
        QVERIFY(pane.findChild<QWidget*>("outboxUndoButton")->isVisibleTo(&pane));
        QVERIFY(recount.size() > 0);

        pane.UndoDelete();
        QCOMPARE(Shown(pane), (std::vector<int32_t>{a, b, onServer}));
        SmsRecord after;
        QVERIFY(store.Outbox().GetSms(a, after));
        QVERIFY(std::tie(after.Msg, after.Time, after.RefID) == std::tie(before.Msg, before.Time, before.RefID));

        env.Messages().Clear();
        pane.View()->clearSelection();
        ClickRow(pane, 0);
        pane.DeleteSelected();
        QCOMPARE(env.Shown().front(), "Confirm Message Delete|Are you sure you want to delete 1 message(s)?");
        pane.Deactivate();
        QVERIFY(!pane.CanUndo());
        QCOMPARE(store.Outbox().SmsRowCount(), 2);
    }

    void ExportThroughThePaneTellsTheUser() {
        UiTestEnv env(false);
        MessageStore& store = *env.Store();
        OutboxPane pane(store, nullptr);
        Open(pane);
        pane.OnExportButton();
        QCOMPARE(env.Shown(), QStringList{"Export failed|There is nothing to export"});

        const int32_t a = Add(store, "0711000021"), b = Add(store, "0711000022");
        const QString path = QString::fromStdString(env.DataDir()) + "/Outbox.txt";
        const std::vector<int32_t> order = {b, a};
        env.Messages().Clear();
        QCOMPARE(pane.ExportTo(path, &order), ExportResult::Ok);
        QCOMPARE(env.Shown(), QStringList{"|Your outbox was exported!"});
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray content = file.readAll();
        const auto rowOf = [&content](int32_t id) { return content.indexOf("\r\n" + QByteArray::number(id) + "\t"); };
        QVERIFY(0 <= rowOf(b) && rowOf(b) < rowOf(a));

        env.Messages().Clear();
        QCOMPARE(pane.ExportTo("/nonexistent-dir/x.txt", nullptr), ExportResult::CannotOpen);
        QCOMPARE(env.Shown(), QStringList{"Unable to export!|Unable to open '/nonexistent-dir/x.txt' for writing!"});
    }

    void FindAndStatusFilterLeaveTheCaptionCountAlone() {
        UiTestEnv env(false);
        MessageStore& store = *env.Store();
        const int32_t a = Add(store, "0711000001"), b = Add(store, "0711000002"), c = Add(store, "0711000003");
        const int32_t done = Add(store, "0711000004", StatusCode(MessageStatus::Delivered));
        MainWindowOptions options;
        options.tray = false;
        MainWindow window(&store, nullptr, nullptr, options);
        window.show();
        window.LoginSucceeded();
        window.SelectTab(MainWindow::kTabOutbox);
        auto* pane = qobject_cast<OutboxPane*>(window.PaneForTab(MainWindow::kTabOutbox));
        QVERIFY(pane);
        QCOMPARE(Shown(*pane), (std::vector<int32_t>{a, b, c, done}));
        auto* find = pane->findChild<QLineEdit*>("outboxFindEdit");
        auto* show = pane->findChild<QComboBox*>("outboxStatusFilter");
        QTest::keyClicks(find, "000002");
        QTRY_COMPARE(Shown(*pane), std::vector<int32_t>{b});
        find->clear();
        show->setCurrentIndex(static_cast<int>(StatusGroup::Delivered));
        QTRY_COMPARE(Shown(*pane), std::vector<int32_t>{done});
        QCOMPARE(window.Tab(MainWindow::kTabOutbox)->text(), QString("Outbox (3)"));
        // Deleting recounts the caption at once.
        show->setCurrentIndex(static_cast<int>(StatusGroup::Waiting));
        QTRY_COMPARE(Shown(*pane), (std::vector<int32_t>{a, b, c}));
        pane->SelectAllRows();
        pane->DeleteSelected();
        QCOMPARE(window.Tab(MainWindow::kTabOutbox)->text(), QString("Outbox (0)"));
    }

    void UnreadableCellsAndUnknownStates() {
        UiTestEnv env(false);
        MessageStore& store = *env.Store();
        Add(store, "0711000021", 42);
        const int32_t gone = Add(store, "0711000022", 0, 1700000001);
        OutboxModel model(store);
        model.Rebuild();
        QCOMPARE(model.index(0, 2).data().toString(), QString("Unknown (42)"));
        QVERIFY(!model.index(0, 0).data(Qt::DecorationRole).value<QIcon>().isNull());
        store.Outbox().DeleteSms(gone);  // behind the model's back
        for (int c = 0; c < kOutboxColumnCount; ++c)
            QCOMPARE(model.index(1, c).data().toString(), QString("?"));
    }

    void StatusImagesAreDistinctAtBothScalesAndTheLegendNamesThem() {
        StatusLegendDialog legend;
        QTableWidget* table = legend.Table();
        QCOMPARE(table->rowCount(), kStatusCount);
        QVector<QImage> seen;
        for (int32_t stat = 0; stat < kStatusCount; ++stat) {
            QCOMPARE(StatusPixmap(stat, kStatusIconSize, 2.0).toImage().size(), QSize(28, 28));
            const QImage image = StatusPixmap(stat, kStatusIconSize, 1.0).toImage();
            QCOMPARE(image.size(), QSize(14, 14));
            QVERIFY2(!seen.contains(image), qPrintable(QString("image %1 repeats another").arg(stat)));
            seen << image;
            QCOMPARE(table->item(stat, 0)->text(), Q(StatusDisplayName(stat)));
            QVERIFY(!table->item(stat, 0)->icon().isNull());
            QCOMPARE(table->item(stat, 1)->text(), Q(StatusExplanation(stat)));
        }
    }
};

QTEST_MAIN(OutboxPaneTest)
#include "OutboxPaneTest.moc"
