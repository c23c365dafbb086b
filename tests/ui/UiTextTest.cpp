// The shell's texts: every id of the shell has an English text in the string table.
#include <QtTest>

#include "core/StringTableData.h"
#include "ui/shell/UiText.h"

using namespace quillon;

class UiTextTest : public QObject {
    Q_OBJECT

private slots:
    void EveryShellIdHasAText() {
        // Each block of the program's own texts is numbered apart and ends with its marker.
        const std::pair<int, int> blocks[] = {
            {kTextTabSms, kTextLastUiText},
            {kTextWentOffLine, kTextLastStoreText},
            {kTextTooLongCaption, kTextLastComposeText},
            {kTextOutboxUnknownCode, kTextLastOutboxText},
            {kTextImportReport, kTextAddressBookLast},
            {kTextQuitOrKeepCaption, kTextLastShellText},
            {kTextLinkRefusedCaption, kTextLastSecurityText},
            {kTextUpdateProgressTitle, kTextLastOnlineText},
            {kTextA11yFirst, kTextA11yLast},
        };
        for (auto [first, end] : blocks) {
            for (int id = first; id < end; ++id) {
                QVERIFY2(FindBuiltInString(id) != nullptr, qPrintable(QString::number(id)));
                QVERIFY(!Text(id).startsWith("String ["));
            }
        }
        QCOMPARE(Text(4999), QString("String [4999]"));
    }
};

QTEST_MAIN(UiTextTest)
#include "UiTextTest.moc"
