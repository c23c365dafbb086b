// The login pane: on-line login through the sandbox gateway, off-line login against the stored
// account, the remembered entries, the OK button's rule and password recovery.
#include <QDialog>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>
#include <functional>

#include "core/AppSettings.h"
#include "gateway/Session.h"
#include "support/UiTestEnv.h"
#include "ui/login/LoginPane.h"
#include "ui/shell/CheckControl.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

class LoginPaneTest : public QObject {
    Q_OBJECT

    struct Controls {
        QLineEdit* user;
        QLineEdit* password;
        CheckControl* remember;
        CheckControl* offline;
        QPushButton* ok;
    };
    // Opens the pane, finds its controls and, when given, fills both boxes.
    static Controls Open(LoginPane& pane, const char* user = nullptr, const char* password = nullptr) {
        pane.Open();
        Controls c{pane.findChild<QLineEdit*>("loginUser"), pane.findChild<QLineEdit*>("loginPassword"),
                   pane.findChild<CheckControl*>("rememberPassword"), pane.findChild<CheckControl*>("workOffline"),
                   pane.findChild<QPushButton*>("loginOk")};
        if (user) {
            c.user->setText(user);
            c.password->setText(password);
        }
        return c;
    }
    // Runs the recovery dialog with drive() inside its loop; true when drive() passed all its checks.
    // The dialog is rejected if still open afterwards, so a failed check never leaves it waiting.
    static bool Recover(LoginPane& pane, const std::function<void(QDialog*)>& drive) {
        bool passed = false;
        QPointer<QDialog> dialog;
        QTimer::singleShot(0, [&] {
            dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog && dialog->objectName() == "recoveryDialog") {
                drive(dialog);
                passed = !QTest::currentTestFailed();
            }
            if (dialog && dialog->isVisible())
                dialog->reject();
        });
        pane.RecoverForgottenPassword();
        return passed;
    }

private slots:
    // An on-line login reads the balance; the next start finds both boxes filled only when the password
    // was to be remembered, otherwise it served this run alone and only the account name stays.
    void OnLineLoginKeepsThePasswordOnlyWhenAsked() {
        for (bool remember : {true, false}) {
            UiTestEnv env;
            QVERIFY(env.Ok());
            {
                LoginPane pane;
                Controls c = Open(pane);
                QTest::keyClicks(c.user, "demo");
                QTest::keyClicks(c.password, "demo");
                if (remember) {
                    QTest::mouseClick(c.remember, Qt::LeftButton);
                    QCOMPARE(c.remember->text(), QString("X"));  // a check control shows its state as text
                }
                QSignalSpy spy(&pane, &LoginPane::loggedIn);
                QTest::mouseClick(c.ok, Qt::LeftButton);
                QCOMPARE(spy.count(), 1);
                QVERIFY(IsOnLine());
            }
            QCOMPARE(Settings().LastBalance, 1000);  // 100.0 credits in tenths
            QCOMPARE(Settings().Password, std::string("demo"));
            QCOMPARE(env.Sandbox().Received("auth").size(), size_t(1));
            QVERIFY(env.Shown().isEmpty());

            env.ReloadSettingsFromDisk();  // what the next start sees
            QCOMPARE(Settings().Login, std::string("demo"));
            QCOMPARE(Settings().Password, std::string(remember ? "demo" : ""));
            QVERIFY(Settings().WorkingOnLine);
            const QString kept = remember ? "demo" : "";
            LoginPane next;
            Controls n = Open(next);
            QCOMPARE(QStringList({n.user->text(), n.password->text()}), QStringList({kept, kept}));
            QCOMPARE(n.remember->IsTicked(), remember);
            QVERIFY(!n.offline->IsTicked());
            QCOMPARE(n.ok->isEnabled(), remember);
        }
    }

    // A refused login, or an unreachable gateway (its box first), stays with its entries and stores nothing.
    void FailedOnLineLoginStaysWithItsEntries() {
        struct Case {
            bool gateway;
            const char* password;
            QStringList shown;
        };
        const Case cases[] = {{true, "wrong", {}}, {false, "demo", {Text(1028) + "|" + Text(1027)}}};
        for (const Case& k : cases) {
            UiTestEnv env(k.gateway);
            QVERIFY(env.Ok());
            LoginPane pane;
            Controls c = Open(pane, "demo", k.password);
            QSignalSpy spy(&pane, &LoginPane::loggedIn);
            QVERIFY(!pane.Accept());
            QCOMPARE(spy.count(), 0);
            QCOMPARE(env.Shown(), k.shown);
            QCOMPARE(pane.StatusText(), Text(1058));
            QCOMPARE(c.user->text(), QString("demo"));
            QVERIFY(!IsOnLine());
            env.ReloadSettingsFromDisk();
            QVERIFY(Settings().Login.empty());
        }
    }

    void OffLineLoginNeedsTheStoredAccountAndMakesNoTraffic() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        Settings().Login = "demo";
        Settings().Password = "Secret";
        Settings().RememberPassword = true;
        Settings().WorkingOnLine = false;
        LoginPane pane;
        Controls c = Open(pane);
        QVERIFY(c.offline->IsTicked());  // remembered account, last run off line
        QCOMPARE(c.password->text(), QString("Secret"));
        // Focus starts in the user name box even with both boxes filled.
        pane.show();
        pane.FocusInitial();
        QCOMPARE(pane.focusWidget(), static_cast<QWidget*>(c.user));

        c.password->setText("secret");  // the comparison is case-sensitive
        QVERIFY(!pane.Accept());
        QCOMPARE(pane.StatusText(), Text(1058));
        c.password->setText("Secret");
        QSignalSpy spy(&pane, &LoginPane::loggedIn);
        QVERIFY(pane.Accept());
        QCOMPARE(spy.count(), 1);
        QVERIFY(!IsOnLine());
        QVERIFY(env.Sandbox().Received().empty());
        QVERIFY(env.Shown().isEmpty());
    }

    void OkNeedsAVisibleCharacterInBothBoxes() {
        UiTestEnv env(false);
        LoginPane pane;
        Controls c = Open(pane);
        QVERIFY(!c.ok->isEnabled());
        c.user->setText("   ");
        c.password->setText("pw");
        QVERIFY(!c.ok->isEnabled());
        QVERIFY(!pane.Accept());
        c.user->setText(" a ");
        QVERIFY(c.ok->isEnabled());
        // Enter in the user box moves on to the password box.
        c.password->clear();
        pane.show();
        c.user->setFocus();
        QTest::keyClick(c.user, Qt::Key_Return);
        QVERIFY(!c.ok->isEnabled());
    }

    // Enter moves through the dialog's fields and OK reports whether the gateway mailed the password.
    // While a slow gateway answers the dialog keeps the event loop running, busy with its fields
    // locked; Cancel then closes it at once and the late answer is dropped.
    void RecoveryDialogWorksByKeyboardAndWaitsOffTheUiThread() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        struct Case {
            const char* user;
            bool slow;
            bool cancel;
            QString status;
        };
        const Case cases[] = {{"demo", false, false, Text(kIdPasswordSent)},
                              {"nobody", false, false, Text(kIdPasswordNotSent)},
                              {"demo", false, true, QString()},  // cancelled before OK: nothing sent
                              {"demo", true, false, Text(kIdPasswordSent)},
                              {"demo", true, true, QString()}};
        for (const Case& c : cases) {
            if (c.slow)
                QVERIFY(env.Sandbox().InjectFault("delay", 1, 1000, "forgot_password"));
            LoginPane pane;
            int ticks = 0;
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
            ticker.start(20);
            QVERIFY(Recover(pane, [&](QDialog* dialog) {
                auto* user = dialog->findChild<QLineEdit*>("recoveryUser");
                auto* email = dialog->findChild<QLineEdit*>("recoveryEmail");
                auto* ok = dialog->findChild<QPushButton*>("recoveryOk");
                QCOMPARE(user->maxLength(), 31);
                QCOMPARE(email->maxLength(), 127);
                QApplication::setActiveWindow(dialog);
                user->setFocus();
                QTest::keyClick(user, Qt::Key_Return);  // empty: stays
                QVERIFY(user->hasFocus());
                QTest::keyClicks(user, c.user);
                QTest::keyClick(user, Qt::Key_Return);
                QVERIFY(email->hasFocus());
                QVERIFY(!ok->isEnabled());
                QTest::keyClicks(email, "  ");
                QVERIFY(!ok->isEnabled());
                email->clear();
                QTest::keyClicks(email, "demo@example.com");
                QTest::keyClick(email, Qt::Key_Return);  // moves to OK, does not press it
                QVERIFY(dialog->isVisible());
                QVERIFY(ok->hasFocus());
                if (c.cancel && !c.slow)
                    return;  // Recover rejects the dialog
                QTest::keyClick(ok, Qt::Key_Return);
                if (c.slow) {
                    ticks = 0;
                    QTRY_VERIFY(ticks >= 5);  // the event loop runs while the request waits
                    QVERIFY(dialog->isVisible());
                    QVERIFY(!user->isEnabled());
                    QVERIFY(!ok->isEnabled());
                    QVERIFY(dialog->findChild<QWidget*>("recoveryBusy")->isVisible());
                }
                if (!c.cancel)
                    QTRY_VERIFY(!dialog->isVisible());  // closes when the gateway has answered
            }));
            QCOMPARE(pane.StatusText(), c.status);
        }  // a cancelled request is joined with its pane
        QCOMPARE(env.Sandbox().Received("forgot_password").size(), size_t(4));
    }

    void ForgotPasswordInADistributorEditionOpensTheHelpPage() {
        UiTestEnv env(false);
        Settings().client_id = "ACME";
        Settings().help_url = "https://help.example/";
        LoginPane pane;
        pane.RecoverForgottenPassword();
        QCOMPARE(env.Messages().Urls(), QStringList{"https://help.example/"});
        QVERIFY(env.Shown().isEmpty());
    }
};

QTEST_MAIN(LoginPaneTest)
#include "LoginPaneTest.moc"
