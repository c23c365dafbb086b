// The compose pane end to end against the sandbox (recipients of every source, Send, the worker
// delivers the expanded texts), the counter's alphabet and hint, a weekly schedule across a change of
// daylight saving, and the question before charging beyond the balance.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>
#include <cstdlib>
#include <ctime>

#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "store/MessageStore.h"
#include "store/SmsRecord.h"
#include "support/TempDir.h"
#include "support/UiTestEnv.h"
#include "ui/compose/ComposePane.h"
#include "ui/compose/RecipientTree.h"
#include "ui/compose/ScheduleDialog.h"
#include "ui/shell/QueuedMessageSink.h"

using namespace quillon;
using namespace quillon::test;

namespace {

template <typename T>
T* Get(QWidget& parent, const char* name) {
    T* widget = parent.findChild<T*>(name);
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

void Check(QTreeWidgetItem* item) {
    QVERIFY(item);
    item->setCheckState(0, Qt::Checked);
}

}  // namespace

class ComposePaneTest : public QObject {
    Q_OBJECT

private slots:
    void RecipientsOfEverySourceAreSentWithTheirTexts() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        MessageStore& store = *env.Store();
        AddressBook& book = store.Book();
        book.AddGroup("Team");
        const int32_t team = 2;  // the first group after All Contacts
        const int32_t ann = book.AddContact({"Ann", "", "", "", "0711000001", {1}});
        book.AddContact({"Bob", "", "", "", "0711000002", {team}});
        book.AddContact({"Cy", "", "", "", "0711000003", {team}});
        Settings().SpanSMS = true;
        QVERIFY(env.Sandbox().SetCredit("demo", 1000));
        SetOnLine(true);
        QVERIFY(LogInToGateway("demo", "demo"));

        QueuedMessageSink sink;
        CommsWorker worker(&store, GatewayApi::Instance(), &sink);
        QVERIFY(worker.Start());
        ComposePane pane(&store, &worker);
        pane.Model().Recent().AddRecent("Direct", "", "0711000009");
        pane.Tree()->RebuildRecent();
        pane.show();

        QPlainTextEdit* text = Get<QPlainTextEdit>(pane, "messageText");
        text->setFocus();
        QTest::keyClicks(text, "Hi <<FIRSTNAME>>");
        QCOMPARE(Get<QLabel>(pane, "counterLabel")->text(), QString("16 (1)"));

        RecipientTree* tree = pane.Tree();
        tree->AddressBookRoot()->setExpanded(true);
        tree->GroupItem(1)->setExpanded(true);
        QCOMPARE(tree->ContactItems(ann).size(), size_t{1});
        Check(tree->ContactItems(ann).front());
        Check(tree->GroupItem(team));  // Bob and Cy, even with the group closed
        Check(tree->RecentRoot()->child(0));
        QListWidget* to = Get<QListWidget>(pane, "toList");
        to->item(0)->setText("0711000005");  // as the row's editor commits it
        QTRY_COMPARE(to->count(), 2);        // a new empty row for the next number
        QCOMPARE(Get<QLabel>(pane, "recipientCount")->text(), QString("5"));
        QCOMPARE(Get<QLabel>(pane, "costLabel")->text(), QString("1 x 5 = 5 SMS"));

        QTest::mouseClick(Get<QPushButton>(pane, "sendButton"), Qt::LeftButton);
        QCOMPARE(env.Shown(), QStringList());
        QCOMPARE(text->toPlainText(), QString());  // reset after the send

        // The worker expands the recipients and sends each its own text.
        std::map<std::string, std::string> sent;
        QTRY_VERIFY_WITH_TIMEOUT(
            [&] {
                sent.clear();
                for (const auto& r : env.Sandbox().Received("sendmsg"))
                    sent[r.Param("to")] = r.Param("text");
                return sent.size() == 5;
            }(),
            20000);
        QCOMPARE(sent["0711000001"], std::string("Hi Ann"));
        QCOMPARE(sent["0711000002"], std::string("Hi Bob"));
        QCOMPARE(sent["0711000003"], std::string("Hi Cy"));
        QCOMPARE(sent["0711000005"], std::string("Hi <<FIRSTNAME>>"));  // typed numbers are no contacts
        QCOMPARE(sent["0711000009"], std::string("Hi <<FIRSTNAME>>"));
        worker.RequestStop();
        worker.WaitForExit();
    }

    void CounterShowsTheAlphabetAndOffersGsmLookalikes() {
        UiTestEnv env(false);
        Settings().SpanSMS = false;
        ComposePane pane(env.Store(), nullptr);
        pane.show();
        QPlainTextEdit* text = Get<QPlainTextEdit>(pane, "messageText");
        text->setFocus();
        text->insertPlainText(QString::fromUtf8("It\u2019s \u201Cfine\u201D"));  // keyClicks takes ASCII only
        QCOMPARE(pane.CounterText(), QString("11 (1)"));
        QCOMPARE(Get<QLabel>(pane, "alphabetLabel")->text(), QString("Unicode (UCS-2)"));
        QVERIFY(Get<QLabel>(pane, "unicodeHint")->text().contains(QString::fromUtf8("\u2019 \u201C \u201D")));
        QPushButton* replace = Get<QPushButton>(pane, "replaceLookalikesButton");
        QVERIFY(replace->isVisible());
        QTest::mouseClick(replace, Qt::LeftButton);
        QCOMPARE(text->toPlainText(), QString("It's \"fine\""));
        QCOMPARE(Get<QLabel>(pane, "alphabetLabel")->text(), QString("GSM 7-bit"));
        QVERIFY(!replace->isVisible());

        // One SMS of UCS-2 is 70 units: the 71st Cyrillic letter is not taken.
        text->clear();
        for (int i = 0; i < 71; ++i)
            text->insertPlainText(QString(QChar(0x0436)));
        QCOMPARE(text->toPlainText().size(), 70);
        QCOMPARE(pane.CounterText(), QString("70 (1)"));

        // A vCard file too large for one SMS is refused with its box; the kind's layout shows the path.
        Get<QComboBox>(pane, "kindList")->setCurrentIndex(3);
        QLineEdit* path = Get<QLineEdit>(pane, "pathEdit");
        QVERIFY(path->isVisible() && !text->isVisible());
        const QString card = QString::fromStdString(env.DataDir() + "/card.vcf");
        WriteFile(card.toStdString(), std::string(141, 'v'));
        path->setText(card);
        QTest::keyClick(path, Qt::Key_Return);
        QCOMPARE(env.Shown().size(), 1);
        QVERIFY(env.Shown()[0].startsWith("Import failed|"));
        QVERIFY(env.Shown()[0].contains("at most 140 bytes"));
    }

    void WeeklyScheduleAcrossDaylightSavingKeepsItsClockTime() {
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
        UiTestEnv env(false);
        const int64_t now = QDateTime(QDate(2027, 3, 10), QTime(8, 0)).toSecsSinceEpoch();  // summer time on the 28th

        ScheduleDialog dialog(now);
        ScheduleChoices c;
        c.hourIndex = 10;  // 09:00
        c.minuteIndex = 1;
        c.mode = RecurrenceMode::Weekly;
        c.weekdays[6] = true;  // Sunday
        c.endAfterIndex = 3;
        dialog.SetChoices(c);
        const QStringList preview = dialog.PreviewLines();
        QCOMPARE(preview, QStringList({"14/03/2027 09:00 (UTC+01:00)", "21/03/2027 09:00",
                                       "28/03/2027 09:00 (UTC+02:00)", "04/04/2027 09:00"}));
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        std::string remembered;
        TheSettingsFile().GetString("SchedulingInfo", remembered, "");
        QCOMPARE(QString::fromStdString(remembered), QString::fromStdString(FormatSchedulingInfo(c)));

        ComposePane pane(env.Store(), nullptr);
        pane.SetScheduleRunner([&](ScheduleResult& r) {
            r = dialog.Result();
            return true;
        });
        pane.Model().SetText("Team meeting", 12);
        pane.Model().To().EndEdit(0, std::string("0711000007"));
        pane.Schedule();
        const auto rows = env.Store()->Outbox().LoadAllSms();
        QCOMPARE(int(rows.size()), 4);
        for (const SmsRecord& row : rows) {
            QCOMPARE(row.Stat, 4);
            QCOMPARE(row.RefID, rows.front().ID);
            QCOMPARE(QString::fromStdString(FormatSmsTime(row.Time)).right(5), QString("09:00"));
        }
        unsetenv("TZ");
        tzset();
    }

    void ChargeBeyondTheBalanceAsksFirst() {
        UiTestEnv env(false);
        Settings().SpanSMS = true;
        Settings().CreditsPerPart = 2;
        Settings().LastBalance = 35;  // 3.5 credits
        ComposePane pane(env.Store(), nullptr);
        pane.Model().SetText(std::string(200, 'a'), 200);  // 2 parts
        pane.Model().To().EndEdit(0, std::string("0711000001"));
        env.Messages().SetAnswer(MessageAnswer::No);
        pane.Send();  // 2 SMS = 4 credits: asked, and refused
        QCOMPARE(env.Shown().size(), 1);
        QVERIFY(env.Shown()[0].startsWith("Confirm charge|This will be charged 2 SMS (4 credits)"));
        QCOMPARE(env.Store()->Outbox().SmsRowCount(), 0);
        env.Messages().SetAnswer(MessageAnswer::Yes);
        pane.Send();
        QCOMPARE(env.Store()->Outbox().SmsRowCount(), 1);
        Settings().LastBalance = 40;  // exactly enough: no question
        pane.Model().SetText("hi", 2);
        pane.Model().To().EndEdit(0, std::string("0711000001"));
        pane.Send();
        QCOMPARE(env.Shown().size(), 2);
        QCOMPARE(env.Store()->Outbox().SmsRowCount(), 2);
    }
};

QTEST_MAIN(ComposePaneTest)
#include "ComposePaneTest.moc"
