// The login pane: on-line login through the sandbox gateway, off-line login against the stored
// account, the remembered entries and the OK button's rule.
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

#include <QDialog>
#include <QPointer>

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
    // Opens the pane and finds its controls.
    static Controls Open(LoginPane& pane) {
        pane.Open();
        return {pane.findChild<QLineEdit*>("loginUser"), pane.findChild<QLineEdit*>("loginPassword"),
                pane.findChild<CheckControl*>("rememberPassword"), pane.findChild<CheckControl*>("workOffline"),
                pane.findChild<QPushButton*>("loginOk")};
    }

private slots:
    void OnLineLoginStoresTheAccountAndReadsTheBalance() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        LoginPane pane;
        Controls c = Open(pane);
        QCOMPARE(c.remember->text(), QString());
        QTest::keyClicks(c.user, "demo");
        QTest::keyClicks(c.password, "demo");
        QTest::mouseClick(c.remember, Qt::LeftButton);
        QCOMPARE(c.remember->text(), QString("X"));  // a check control shows its state as text
        QSignalSpy spy(&pane, &LoginPane::loggedIn);
        QTest::mouseClick(c.ok, Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QVERIFY(IsOnLine());
        QCOMPARE(Settings().LastBalance, 1000);  // 100.0 credits in tenths
        QCOMPARE(env.Sandbox().Received("auth").size(), size_t(1));
        QVERIFY(env.Shown().isEmpty());

        // What the next start sees: both boxes filled, not off line.
        env.ReloadSettingsFromDisk();
        QCOMPARE(Settings().Login, std::string("demo"));
        QVERIFY(Settings().RememberPassword);
        QVERIFY(Settings().WorkingOnLine);
        LoginPane next;
        Controls n = Open(next);
        QCOMPARE(n.user->text(), QString("demo"));
        QCOMPARE(n.password->text(), QString("demo"));
        QVERIFY(n.remember->IsTicked());
        QVERIFY(!n.offline->IsTicked());
        QVERIFY(n.ok->isEnabled());
    }

    void RefusedOnLineLoginStaysWithItsEntries() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        LoginPane pane;
        Controls c = Open(pane);
        c.user->setText("demo");
        c.password->setText("wrong");
        QSignalSpy spy(&pane, &LoginPane::loggedIn);
        QVERIFY(!pane.Accept());
        QCOMPARE(spy.count(), 0);
        QCOMPARE(pane.StatusText(), Text(1058));
        QCOMPARE(c.user->text(), QString("demo"));
        QVERIFY(!IsOnLine());
        env.ReloadSettingsFromDisk();
        QVERIFY(Settings().Login.empty());
    }

    void UnreachableGatewayIsReportedBeforeTheStatusLine() {
        UiTestEnv env(false);
        QVERIFY(env.Ok());
        LoginPane pane;
        Controls c = Open(pane);
        c.user->setText("demo");
        c.password->setText("demo");
        QVERIFY(!pane.Accept());
        QCOMPARE(env.Shown(), QStringList{Text(1028) + "|" + Text(1027)});
        QCOMPARE(pane.StatusText(), Text(1058));
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

    // The password serves this run (its off-line login) and is kept nowhere after it; the account name stays.
    void UnrememberedPasswordServesThisRunOnly() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        {
            LoginPane pane;
            Controls c = Open(pane);
            c.user->setText("demo");
            c.password->setText("demo");
            QVERIFY(pane.Accept());
        }
        QCOMPARE(Settings().Password, std::string("demo"));
        env.ReloadSettingsFromDisk();
        QCOMPARE(Settings().Login, std::string("demo"));
        QCOMPARE(Settings().Password, std::string());
        LoginPane next;
        Controls n = Open(next);
        QVERIFY(n.user->text().isEmpty());
        QVERIFY(n.password->text().isEmpty());
        QVERIFY(!n.offline->IsTicked());
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

    // The dialog's Enter moves through the fields; OK reports whether the gateway mailed the password.
    void RecoveryDialogMovesOnWithEnterAndReportsTheGatewaysAnswer() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        struct Case {
            const char* user;
            bool cancel;
            QString status;
        };
        const Case cases[] = {{"demo", false, Text(kIdPasswordSent)},
                              {"nobody", false, Text(kIdPasswordNotSent)},
                              {"demo", true, QString()}};
        for (const Case& c : cases) {
            LoginPane pane;
            bool checked = false;
            QDialog* dialog = nullptr;
            auto drive = [&] {
                dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog && dialog->objectName() == "recoveryDialog");
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
                checked = true;
                if (c.cancel) {
                    dialog->reject();
                } else {
                    QTest::keyClick(ok, Qt::Key_Return);
                    QTRY_VERIFY(!dialog->isVisible());  // closes when the gateway has answered
                }
            };
            QTimer::singleShot(0, [&] {
                drive();
                if (dialog && dialog->isVisible())
                    dialog->reject();  // a failed check must not leave the dialog waiting
            });
            pane.RecoverForgottenPassword();
            QVERIFY(checked);
            QCOMPARE(pane.StatusText(), c.status);
        }
        QCOMPARE(env.Sandbox().Received("forgot_password").size(), size_t(2));
    }

    // While the gateway takes its time the dialog keeps the event loop running, busy with its fields
    // locked; Cancel then closes it at once and the late answer is dropped.
    void RecoveryWaitsForTheGatewayOffTheUiThread() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        for (bool cancel : {false, true}) {
            QVERIFY(env.Sandbox().InjectFault("delay", 1, 1000, "forgot_password"));
            LoginPane pane;
            int ticks = 0;
            QTimer ticker;
            connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
            ticker.start(20);
            bool checked = false;
            QPointer<QDialog> dialog;
            auto drive = [&] {
                dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                auto* user = dialog->findChild<QLineEdit*>("recoveryUser");
                user->setText("demo");
                dialog->findChild<QLineEdit*>("recoveryEmail")->setText("demo@example.com");
                dialog->findChild<QPushButton*>("recoveryOk")->click();
                ticks = 0;
                QTRY_VERIFY(ticks >= 5);  // the event loop runs while the request waits
                QVERIFY(dialog->isVisible());
                QVERIFY(!user->isEnabled());
                QVERIFY(!dialog->findChild<QPushButton*>("recoveryOk")->isEnabled());
                QVERIFY(dialog->findChild<QWidget*>("recoveryBusy")->isVisible());
                checked = true;
                if (cancel)
                    dialog->reject();
                else
                    QTRY_VERIFY(!dialog->isVisible());
            };
            QTimer::singleShot(0, [&] {
                drive();
                if (dialog && dialog->isVisible())
                    dialog->reject();  // a failed check must not leave the dialog waiting
            });
            pane.RecoverForgottenPassword();
            QVERIFY(checked);
            QCOMPARE(pane.StatusText(), cancel ? QString() : Text(kIdPasswordSent));
        }  // the cancelled request is joined with its pane
        QCOMPARE(env.Sandbox().Received("forgot_password").size(), size_t(2));
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
