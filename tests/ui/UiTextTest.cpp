// The shell's texts: every id of the shell has an English text in the string table.
#include <QtTest>

#include "core/StringTableData.h"
#include "ui/shell/UiText.h"

using namespace quillon;

class UiTextTest : public QObject {
    Q_OBJECT

private slots:
    void EveryShellIdHasAText() {
        for (int id = kTextTabSms; id < kTextLastUiText; ++id) {
            if (id == kTextDatabaseMovedReport + 1)
                id = kTextTooLongCaption;  // blocks of ids are numbered apart
            QVERIFY2(FindBuiltInString(id) != nullptr, qPrintable(QString::number(id)));
            QVERIFY(!Text(id).startsWith("String ["));
        }
        QCOMPARE(Text(4999), QString("String [4999]"));
    }
};

QTEST_MAIN(UiTextTest)
#include "UiTextTest.moc"
