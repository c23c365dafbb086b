// The desktop program's clipboard hook: a message copied from the store lands on the system
// clipboard with the platform's line ends.
#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

#include "compose/ClipboardText.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/shell/UiServices.h"

using namespace quillon;
using namespace quillon::test;

class ClipboardTest : public QObject {
    Q_OBJECT

private slots:
    void CopiedMessageReachesTheSystemClipboard() {
        UiTestEnv env(false);
        int32_t id = env.Store()->Outbox().AddSms(0, 1700000000, 0, 0, ",0821234567", "Hello there", "", 0, "?");
        QVERIFY(id > 0);
        QGuiApplication::clipboard()->clear();
        InstallClipboardHook();
        QVERIFY(CopySmsToClipboard(*env.Store(), id));
        QString expected = QString::fromStdString(*ClipboardTextOfSms(*env.Store(), id)).replace("\r\n", "\n");
        QCOMPARE(QGuiApplication::clipboard()->text(), expected);
        QVERIFY(expected.contains("Hello there"));

        // Without the hook nothing reaches the clipboard and the copy reports failure.
        RemoveClipboardHook();
        QGuiApplication::clipboard()->clear();
        QVERIFY(!CopySmsToClipboard(*env.Store(), id));
        QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    }
};

QTEST_MAIN(ClipboardTest)
#include "ClipboardTest.moc"
