// The options pane: settings into the controls and back to SMS.dat, online and offline changes,
// vouchers (typed, pasted, redeemed against the sandbox), the web links and the proxy rules.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QTcpServer>
#include <QtTest>

#include "core/AppSettings.h"
#include "gateway/Session.h"
#include "support/UiTestEnv.h"
#include "ui/options/OptionsPane.h"
#include "ui/options/ProxyDialog.h"
#include "ui/shell/BalanceLabel.h"
#include "ui/shell/CheckControl.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {
template <typename T>
T* Get(QWidget& pane, const char* name) {
    T* widget = pane.findChild<T*>(name);
    if (!widget)
        qFatal("no widget %s", name);
    return widget;
}

// The voucher number's box for group i (0 to 3), and the four groups as shown.
QLineEdit* Voucher(OptionsPane& pane, int i) {
    return Get<QLineEdit>(pane, qPrintable(QString("voucherEdit%1").arg(i + 1)));
}
QStringList Vouchers(OptionsPane& pane) {
    return {Voucher(pane, 0)->text(), Voucher(pane, 1)->text(), Voucher(pane, 2)->text(), Voucher(pane, 3)->text()};
}

// Types the voucher number's groups into the four boxes and redeems it.
void RedeemVoucher(OptionsPane& pane, const QStringList& groups) {
    for (int i = 0; i < 4; ++i)
        Voucher(pane, i)->setText(groups.value(i));
    pane.RedeemVoucher();
}
}  // namespace

class OptionsPaneTest : public QObject {
    Q_OBJECT

private slots:
    void LoadShowsTheSettingsAndOkWritesThemBack() {
        UiTestEnv env(false);
        AppSettings& s = Settings();
        s.prefix = "+44";
        s.Sig = "Ann";
        s.WriteLog = true;
        s.SpanSMS = false;
        s.DeliveryAcks = true;
        s.IndividualSMSTracking = false;
        s.WorkingOnLine = false;
        s.StartMinimized = true;
        s.ProxyType = 4;
        s.ProxyHost = "proxy.example";
        s.ProxyPort = "3128";
        s.Outlook_Name = "Work";
        s.MAPI_AddressBook = false;
        s.VCardPath = "/srv/cards";
        s.sender_id = "ACME";
        s.set_sender = false;
        s.help_url = "";
        s.ScheduleToServer = true;
        s.UploadToServerXDaysBefore = 3;
        OptionsPane pane;
        PaneReports window(pane);
        pane.LoadOptions();
        QCOMPARE(Get<QLineEdit>(pane, "prefixEdit")->text(), QString("+44"));
        QCOMPARE(Get<QLineEdit>(pane, "signatureEdit")->text(), QString("Ann"));
        QVERIFY(Get<CheckControl>(pane, "writeLogCheck")->IsTicked());
        QVERIFY(!Get<CheckControl>(pane, "spanSmsCheck")->IsTicked());
        QVERIFY(Get<CheckControl>(pane, "deliveryAcksCheck")->IsTicked());
        QVERIFY(!Get<CheckControl>(pane, "trackFailedCheck")->IsTicked());
        QVERIFY(Get<QRadioButton>(pane, "workOfflineRadio")->isChecked());
        QVERIFY(Get<QCheckBox>(pane, "startMinimisedCheck")->isChecked());
        QCOMPARE(Get<QComboBox>(pane, "proxyKindList")->currentIndex(), 3);
        QVERIFY(Get<QLineEdit>(pane, "proxyHostEdit")->isEnabled());
        QVERIFY(Get<QRadioButton>(pane, "sourceWabRadio")->isChecked());
        QVERIFY(!Get<QLineEdit>(pane, "profileNameEdit")->isEnabled());
        QCOMPARE(Get<QLineEdit>(pane, "vcardPathEdit")->text(), QString("/srv/cards"));
        QVERIFY(Get<QLineEdit>(pane, "vcardPathEdit")->isEnabled());
        QVERIFY(!Get<QLineEdit>(pane, "senderIdEdit")->isEnabled());
        QVERIFY(Get<QPushButton>(pane, "helpButton")->isHidden());
        QVERIFY(Get<QRadioButton>(pane, "uploadRadio")->isChecked());
        QVERIFY(Get<QComboBox>(pane, "uploadDaysList")->isEnabled());
        QCOMPARE(Get<QComboBox>(pane, "uploadDaysList")->currentIndex(), 2);

        // Change everything, OK (which saves like leaving the pane), and read SMS.dat again.
        Get<QLineEdit>(pane, "prefixEdit")->setText(" +27 ");
        Get<QLineEdit>(pane, "signatureEdit")->setText("Bob");
        QTest::mouseClick(Get<CheckControl>(pane, "writeLogCheck"), Qt::LeftButton);
        QTest::mouseClick(Get<CheckControl>(pane, "spanSmsCheck"), Qt::LeftButton);
        QTest::mouseClick(Get<CheckControl>(pane, "trackFailedCheck"), Qt::LeftButton);
        Get<QCheckBox>(pane, "startMinimisedCheck")->setChecked(false);
        Get<QLineEdit>(pane, "senderIdEdit")->setText("ACME2");  // disabled, still saved
        Get<QLineEdit>(pane, "vcardPathEdit")->setText(" /home/ann/cards.vcf ");
        Get<QRadioButton>(pane, "sourceMapiRadio")->setChecked(true);
        QVERIFY(Get<QLineEdit>(pane, "profileNameEdit")->isEnabled());
        QVERIFY(!Get<QLineEdit>(pane, "vcardPathEdit")->isEnabled());
        Get<QLineEdit>(pane, "profileNameEdit")->setText("Home");
        Get<QRadioButton>(pane, "keepLocalRadio")->setChecked(true);
        QVERIFY(!Get<QComboBox>(pane, "uploadDaysList")->isEnabled());
        Get<QComboBox>(pane, "uploadDaysList")->setCurrentIndex(6);
        QTest::mouseClick(Get<QPushButton>(pane, "optionsOkButton"), Qt::LeftButton);
        QTRY_COMPARE(window.reports, std::vector<PaneReports::Report>{PaneReports::OffLine});

        env.ReloadSettingsFromDisk();
        QCOMPARE((std::vector<std::string>{s.prefix, s.Sig, s.sender_id, s.Outlook_Name, s.VCardPath}),
                 (std::vector<std::string>{"+27", "Bob", "ACME2", "Home", "/home/ann/cards.vcf"}));
        QCOMPARE((std::vector<bool>{s.WriteLog, s.SpanSMS, s.DeliveryAcks, s.IndividualSMSTracking, s.StartMinimized,
                                    s.MAPI_AddressBook, s.ScheduleToServer, s.WorkingOnLine}),
                 (std::vector<bool>{false, true, true, true, false, true, false, false}));
        QCOMPARE(s.UploadToServerXDaysBefore, 7);
    }

    // Leaving the pane set to work off line goes off line; on line logs in first and, refused, stays off.
    void WorkModeChangesAreReportedAndOnLineLogsInFirst() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        Settings().Login = "demo";
        SetOnLine(true);
        OptionsPane pane;
        PaneReports window(pane);
        pane.LoadOptions();
        struct Step {
            const char* radio;
            const char* password;
            PaneReports::Report report;
        };
        const Step steps[] = {{"workOfflineRadio", "demo", PaneReports::OffLine},
                              {"workOnlineRadio", "wrong", PaneReports::OffLine},
                              {"workOnlineRadio", "demo", PaneReports::OnLine}};
        for (const Step& step : steps) {
            const size_t before = window.reports.size();
            Settings().Password = step.password;
            Get<QRadioButton>(pane, step.radio)->setChecked(true);
            before == 0 ? pane.Deactivate() : pane.SaveOptions();
            QTRY_COMPARE(window.reports.size(), before + 1);
            QCOMPARE(window.reports.back(), step.report);
            const bool on = step.report == PaneReports::OnLine;
            QCOMPARE(IsOnLine(), on);
            QCOMPARE(Settings().WorkingOnLine, on);
            QCOMPARE(Get<QRadioButton>(pane, "workOnlineRadio")->isChecked(), on);
        }
    }

    void VoucherRules() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        OptionsPane pane;
        const QStringList voucher{"QLNV", "OUCH", "ER00", "0010"};

        // Off line: "Not online", no gateway call.
        Settings().WorkingOnLine = false;
        RedeemVoucher(pane, voucher);
        QCOMPARE(env.Shown(), QStringList{Text(1392) + "|" + Text(1392)});
        QVERIFY(env.Sandbox().Received("token_pay").empty());

        Settings().WorkingOnLine = true;
        SetOnLine(true);
        QVERIFY(LogInToGateway("demo", "demo"));
        struct Case {
            QStringList groups;
            QString box;  // "" when none
            size_t pays;  // gateway calls so far
        };
        const QString invalid = Text(1394) + "|";
        const Case cases[] = {
            {{"QLNV", "OUCH", "ER00", "001"}, invalid + Text(1395), 0},  // 15 and 17 characters: refused first
            {{"QLNV", "OUCH", "ER00", "00100"}, invalid + Text(1395), 0},
            {voucher, "", 1},                    // sent as one number; success clears the boxes
            {voucher, invalid + Text(1396), 2},  // already redeemed (607): the boxes keep it
            {{"AAAA", "BBBB", "CCCC", "DDDD"}, invalid + Text(1394), 3},  // unknown: "Invalid voucher!" alone
        };
        for (const Case& c : cases) {
            env.Messages().Clear();
            RedeemVoucher(pane, c.groups);
            QCOMPARE(env.Shown().join("\n"), c.box);
            QCOMPARE(env.Sandbox().Received("token_pay").size(), c.pays);
            QCOMPARE(Vouchers(pane), c.box.isEmpty() ? QStringList(4, QString()) : c.groups);
            if (c.pays > 0)
                QCOMPARE(Settings().LastBalance, 1100);
        }
        QCOMPARE(env.Sandbox().Received("token_pay")[0].Param("voucher"), std::string("QLNVOUCHER000010"));
        QCOMPARE(pane.Balance()->text(), Q(BalanceText(1398, 1100, true)));
        pane.ClearVoucher();
        QCOMPARE(Vouchers(pane), QStringList(4, QString()));

        // A gateway that cannot be reached: the communication failure box.
        env.Sandbox().Stop();
        env.Messages().Clear();
        RedeemVoucher(pane, voucher);
        QCOMPARE(env.Shown(), QStringList{Text(1028) + "|" + Text(1027)});
    }

    void LinksOpenTheConfiguredPages() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        Settings().voucher_url = "https://shop.example/buy";
        Settings().help_url = "https://help.example/";
        Settings().client_id = "QLNX";
        OptionsPane pane;
        pane.LoadOptions();
        QVERIFY(!Get<QPushButton>(pane, "helpButton")->isHidden());

        Settings().WorkingOnLine = false;
        pane.BuyCredits();  // off line: the page unchanged
        Settings().WorkingOnLine = true;
        SetOnLine(true);
        QVERIFY(LogInToGateway("demo", "demo"));
        pane.BuyCredits();  // on line in the own edition: with the session
        Settings().client_id = "ACME";
        pane.BuyCredits();  // a distributor edition never adds it
        pane.OpenHelp();
        QStringList urls = env.Messages().Urls();
        QCOMPARE(urls.size(), 4);
        const QString withSession = "https://shop.example/buy?session_id=";
        QVERIFY(urls[1].startsWith(withSession) && urls[1].size() > withSession.size());
        urls[1] = withSession;
        QCOMPARE(urls, QStringList({"https://shop.example/buy", withSession, "https://shop.example/buy",
                                    "https://help.example/"}));
    }

    void ProxyChangesApplyOnlyWhenSomethingChanged() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        Settings().ProxyType = 1;
        const ProxyChoice direct{1, "", "", "ignored for kind 1", ""};
        QVERIFY(!ProxyChoiceNeedsApply(direct, false));
        QVERIFY(ProxyChoiceNeedsApply(direct, true));

        Settings().ProxyType = 4;
        Settings().ProxyHost = "Proxy.Example";
        Settings().ProxyPort = "8080";
        Settings().ProxyPassword = "Secret";
        ProxyChoice list{4, "proxy.example", "8080", "", "Secret"};
        QVERIFY(!ProxyChoiceNeedsApply(list, false));  // host names ignore letter case
        list.password = "secret";
        QVERIFY(ProxyChoiceNeedsApply(list, false));  // passwords do not

        // A test of a direct connection against the sandbox succeeds and says so.
        SetOnLine(true);
        QCOMPARE(ApplyProxyChoice(direct, true, nullptr, TheSessionUi()), 0);
        QCOMPARE(Settings().ProxyType, 1);
        QCOMPARE(env.Shown(), QStringList{Text(1384) + "|" + Text(1385)});
        // Nothing changed and no test: nothing happens.
        QCOMPARE(ApplyProxyChoice(direct, false, nullptr, TheSessionUi()), kProxyUnchanged);
    }

    // A code pasted with Ctrl+V fills the groups however it is written.
    void PastedVouchersFillTheGroups() {
        UiTestEnv env(false);
        OptionsPane pane;
        struct Case {
            const char* pasted;
            int box;  // the group that has the focus
            QStringList expected;
        };
        const Case cases[] = {
            {"QLNV-OUCH-ER00-0050", 0, {"QLNV", "OUCH", "ER00", "0050"}},
            {"QLNVOUCHER000050", 0, {"QLNV", "OUCH", "ER00", "0050"}},
            {" qlnv ouch er00 0050\n", 2, {"qlnv", "ouch", "er00", "0050"}},  // whole code: from the first
            {"ER00-0050", 2, {"", "", "ER00", "0050"}},
            {"QLNV-OUCH-ER00-00501", 0, {"QLNV", "OUCH", "ER00", "00501"}},  // too long stays visible
            {"AB", 1, {"", "AB", "", ""}},
        };
        for (const Case& c : cases) {
            pane.ClearVoucher();
            QGuiApplication::clipboard()->setText(QString::fromUtf8(c.pasted));
            QTest::keyClick(Voucher(pane, c.box), Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(Vouchers(pane), c.expected);
        }
    }

    // A failed test keeps the previous proxy unless the user keeps the new one; Cancel restores what
    // was there when the dialog opened.
    void ProxyDialogKeepsOrRestores() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        SetOnLine(true);
        QTcpServer closed;  // a port nobody listens on: the proxy cannot be reached
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const QString deadPort = QString::number(closed.serverPort());
        closed.close();
        struct Case {
            const char* name;
            MessageAnswer answer;  // to "Keep anyway?"
            bool cancel;           // Cancel afterwards
            int expectedType;
        };
        const Case cases[] = {{"refused, restored", MessageAnswer::No, false, 1},
                              {"refused, kept", MessageAnswer::Yes, false, 4},
                              {"refused, kept, then cancelled", MessageAnswer::Yes, true, 1}};
        for (const Case& c : cases) {
            Settings().ProxyType = 1;
            Settings().ProxyHost.clear();
            Settings().ProxyPort.clear();
            env.Messages().Clear();
            env.Messages().SetAnswer(c.answer);
            ProxyDialog dialog;
            Get<QComboBox>(dialog, "proxyKindList")->setCurrentIndex(3);
            Get<QLineEdit>(dialog, "proxyHostEdit")->setText("127.0.0.1");
            Get<QLineEdit>(dialog, "proxyPortEdit")->setText(deadPort);
            dialog.Test();
            QVERIFY2(dialog.LastCode() != 0, c.name);
            if (c.cancel)
                dialog.reject();
            QVERIFY2(Settings().ProxyType == c.expectedType, c.name);
            env.ReloadSettingsFromDisk();
            QVERIFY2(Settings().ProxyType == c.expectedType, c.name);  // and so on the disk
            // The error box, then the question.
            QVERIFY2(env.Messages().Messages().size() == 2, c.name);
        }
        // A successful test stores the choice; Cancel still brings back the opening one.
        Settings().ProxyType = 2;
        ProxyDialog dialog;
        Get<QComboBox>(dialog, "proxyKindList")->setCurrentIndex(0);
        dialog.Test();
        QCOMPARE(dialog.LastCode(), 0);
        QCOMPARE(Settings().ProxyType, 1);
        dialog.reject();
        QCOMPARE(Settings().ProxyType, 2);
    }
};

QTEST_MAIN(OptionsPaneTest)
#include "OptionsPaneTest.moc"
