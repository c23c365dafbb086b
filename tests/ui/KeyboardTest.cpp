// Keyboard use and assistive technology: the tab bar's shortcuts and arrow keys, Ctrl+Q and
// Escape, mnemonics of the options pane, an accessible name on every control that takes the focus,
// and the skin's text contrast.
#include <QAccessible>
#include <QLineEdit>
#include <QtTest>

#include "core/AppSettings.h"
#include "support/UiTestEnv.h"
#include "ui/options/OptionsPane.h"
#include "ui/options/ProxyDialog.h"
#include "ui/shell/ImageButton.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/TabButton.h"

using namespace quillon;
using namespace quillon::test;

namespace {

MainWindowOptions NoTray() {
    MainWindowOptions options;
    options.tray = false;
    return options;
}

// Focusable controls of `root` (shown ones) without an accessible name, as "objectName (class)".
QStringList Unnamed(QWidget* root) {
    QStringList missing;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(root) || !w->isEnabled())
            continue;
        if (qobject_cast<QLineEdit*>(w) && w->parent() && w->parent()->inherits("QComboBox"))
            continue;  // a combo box's own editor
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
            missing << QString("%1 (%2)").arg(w->objectName(), w->metaObject()->className());
    }
    return missing;
}

}  // namespace

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void TabBarShortcutsAndArrows() {
        UiTestEnv env(false);
        Settings().WorkingOnLine = false;
        MainWindow window(env.Store(), nullptr, nullptr, NoTray());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        // Before login the tabs do not exist for the keyboard either.
        QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_2));
        QCOMPARE(window.CurrentTab(), 0);
        window.LoginSucceeded();
        struct Step {
            QKeySequence keys;
            int expected;
        };
        const Step steps[] = {{QKeySequence(Qt::CTRL | Qt::Key_2), MainWindow::kTabAddresses},
                              {QKeySequence(Qt::CTRL | Qt::Key_4), MainWindow::kTabOptions},
                              {QKeySequence(Qt::CTRL | Qt::Key_Tab), MainWindow::kTabSms},  // wraps
                              {QKeySequence(Qt::CTRL | Qt::Key_PageUp), MainWindow::kTabOptions},
                              {QKeySequence(Qt::CTRL | Qt::Key_PageUp), MainWindow::kTabOutbox},
                              {QKeySequence(Qt::CTRL | Qt::Key_PageDown), MainWindow::kTabOptions},
                              {QKeySequence(Qt::CTRL | Qt::Key_1), MainWindow::kTabSms},
                              {QKeySequence(Qt::CTRL | Qt::Key_3), MainWindow::kTabOutbox}};
        for (const Step& step : steps) {
            QTest::keySequence(&window, step.keys);
            QCOMPARE(window.CurrentTab(), step.expected);
        }
        // A focused tab moves with the arrow keys, and the focus goes along.
        TabButton* outbox = window.Tab(MainWindow::kTabOutbox);
        outbox->setFocus();
        QTest::keyClick(outbox, Qt::Key_Right);
        QCOMPARE(window.CurrentTab(), int(MainWindow::kTabOptions));
        QTRY_VERIFY(window.Tab(MainWindow::kTabOptions)->hasFocus());
        QTest::keyClick(window.Tab(MainWindow::kTabOptions), Qt::Key_Left);
        QCOMPARE(window.CurrentTab(), int(MainWindow::kTabOutbox));
        // The tabs, the menu and the close button are in the Tab chain.
        QList<QWidget*> chain;
        for (QWidget* w = window.nextInFocusChain(); w && w != &window && chain.size() < 500; w = w->nextInFocusChain())
            chain << w;
        for (QWidget* w : {static_cast<QWidget*>(window.Tab(MainWindow::kTabSms)),
                           static_cast<QWidget*>(window.MenuButton()), window.findChild<QWidget*>("closeButton")}) {
            QVERIFY(chain.contains(w));
            QVERIFY(w->focusPolicy() & Qt::TabFocus);
        }
        // The screen reader sees page tabs, the current one selected.
        QAccessibleInterface* tab = QAccessible::queryAccessibleInterface(outbox);
        QCOMPARE(tab->role(), QAccessible::PageTab);
        QVERIFY(tab->state().selected);
        QVERIFY(!QAccessible::queryAccessibleInterface(window.Tab(MainWindow::kTabSms))->state().selected);
    }

    // Escape does what × does; without a tray it asks once per run; Ctrl+Q quits.
    void EscapeAndCtrlQ() {
        UiTestEnv env(false);
        struct Case {
            MessageAnswer answer;
            bool hiddenAfter;  // quit hides the window, keeping it running minimises it
        };
        for (Case c : {Case{MessageAnswer::No, false}, Case{MessageAnswer::Yes, true}}) {
            env.Messages().Clear();
            env.Messages().SetAnswer(c.answer);
            MainWindow window(env.Store(), nullptr, nullptr, NoTray());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QTest::keyClick(&window, Qt::Key_Escape);
            QCOMPARE(window.isHidden(), c.hiddenAfter);
            QCOMPARE(int(env.Messages().Messages().size()), 1);
            window.showNormal();
            QTest::keyClick(&window, Qt::Key_Escape);
            QCOMPARE(int(env.Messages().Messages().size()), 1);  // asked once
        }
        MainWindow window(env.Store(), nullptr, nullptr, NoTray());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_Q));
        QVERIFY(window.isHidden());
        // "Exit" is also in the header's menu.
        QVERIFY(window.WindowMenu()->findChild<QAction*>("windowMenuExit"));
    }

    // Alt+letter reaches the labelled fields of the options pane.
    void MnemonicsReachTheFields() {
        UiTestEnv env(false);
        OptionsPane pane;
        pane.show();
        QVERIFY(QTest::qWaitForWindowExposed(&pane));
        const std::pair<char, const char*> keys[] = {
            {'p', "prefixEdit"},   {'g', "signatureEdit"},     {'i', "senderIdEdit"},        {'a', "proxyHostEdit"},
            {'s', "spanSmsCheck"}, {'d', "proxyPasswordEdit"}, {'m', "startMinimisedCheck"}, {'f', "workOfflineRadio"}};
        Settings().MAPI_AddressBook = false;
        Settings().ProxyType = 4;
        Settings().set_sender = true;
        pane.LoadOptions();
        for (auto [key, name] : keys) {
            QTest::keyClick(&pane, Qt::Key_A + (key - 'a'), Qt::AltModifier);
            QWidget* focused = QApplication::focusWidget();
            QVERIFY2(focused && focused->objectName() == name,
                     qPrintable(QString(name) + " got " + (focused ? focused->objectName() : QString())));
        }
    }

    void EveryFocusableControlHasAName() {
        UiTestEnv env(false);
        Settings().WorkingOnLine = false;
        Settings().help_url = "https://help.example/";
        MainWindow window(env.Store(), nullptr, nullptr, NoTray());
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(Unnamed(&window), QStringList());  // the login pane
        window.LoginSucceeded();
        for (int tab : MainWindow::kTabOrder) {
            window.SelectTab(tab);
            QCOMPARE(Unnamed(&window), QStringList());
        }
        ProxyDialog dialog;
        dialog.show();
        QCOMPARE(Unnamed(&dialog), QStringList());
        // The voucher groups say what pasting does.
        auto* group = window.findChild<QLineEdit*>("voucherEdit1");
        QVERIFY(!QAccessible::queryAccessibleInterface(group)->text(QAccessible::Description).isEmpty());
    }

    void SkinTextKeepsContrast() {
        QCOMPARE(qRound(ShellStyle::Contrast(Qt::black, Qt::white)), 21);
        QCOMPARE(ShellStyle::Contrast(Qt::white, Qt::white), 1.0);
        for (const ShellStyle::TextPair& pair : ShellStyle::TextPairs())
            QVERIFY2(ShellStyle::Contrast(pair.text, pair.background) >= 4.5, pair.where);
    }
};

QTEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
