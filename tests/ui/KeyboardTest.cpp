// Keyboard use: the tab bar's shortcuts and arrow keys, Ctrl+Q and Escape, mnemonics of the options
// pane, and the skin's text contrast.
#include <QAccessible>
#include <QtTest>

#include "core/AppSettings.h"
#include "support/ShownWindow.h"
#include "support/UiTestEnv.h"
#include "ui/options/OptionsPane.h"
#include "ui/shell/ImageButton.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/TabButton.h"

using namespace quillon;
using namespace quillon::test;

class KeyboardTest : public QObject {
    Q_OBJECT

private slots:
    void TabBarShortcutsAndArrows() {
        UiTestEnv env(false);
        Settings().WorkingOnLine = false;
        MainWindow window(env.Store(), nullptr, nullptr, NoTray());
        QVERIFY(Show(window));
        // Before login the tabs do not exist for the keyboard either.
        QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_2));
        QCOMPARE(window.CurrentTab(), 0);
        window.LoginSucceeded();
        struct Step {
            QKeyCombination keys;
            int expected;
        };
        // Ctrl+Tab from the last tab wraps round to the first.
        const Step steps[] = {
            {Qt::CTRL | Qt::Key_2, MainWindow::kTabAddresses},   {Qt::CTRL | Qt::Key_4, MainWindow::kTabOptions},
            {Qt::CTRL | Qt::Key_Tab, MainWindow::kTabSms},       {Qt::CTRL | Qt::Key_PageUp, MainWindow::kTabOptions},
            {Qt::CTRL | Qt::Key_PageUp, MainWindow::kTabOutbox}, {Qt::CTRL | Qt::Key_PageDown, MainWindow::kTabOptions},
            {Qt::CTRL | Qt::Key_1, MainWindow::kTabSms},         {Qt::CTRL | Qt::Key_3, MainWindow::kTabOutbox}};
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
            QVERIFY(Show(window));
            QTest::keyClick(&window, Qt::Key_Escape);
            QCOMPARE(window.isHidden(), c.hiddenAfter);
            QCOMPARE(int(env.Messages().Messages().size()), 1);
            window.showNormal();
            QTest::keyClick(&window, Qt::Key_Escape);
            QCOMPARE(int(env.Messages().Messages().size()), 1);  // asked once
        }
        MainWindow window(env.Store(), nullptr, nullptr, NoTray());
        QVERIFY(Show(window));
        QTest::keySequence(&window, QKeySequence(Qt::CTRL | Qt::Key_Q));
        QVERIFY(window.isHidden());
        // "Exit" is also in the header's menu.
        QVERIFY(window.WindowMenu()->findChild<QAction*>("windowMenuExit"));
    }

    // Alt+letter reaches the labelled fields of the options pane.
    void MnemonicsReachTheFields() {
        UiTestEnv env(false);
        OptionsPane pane;
        QVERIFY(Show(pane));
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

    void SkinTextKeepsContrast() {
        QCOMPARE(qRound(ShellStyle::Contrast(Qt::black, Qt::white)), 21);
        QCOMPARE(ShellStyle::Contrast(Qt::white, Qt::white), 1.0);
        for (const ShellStyle::TextPair& pair : ShellStyle::TextPairs())
            QVERIFY2(ShellStyle::Contrast(pair.text, pair.background) >= 4.5, pair.where);
    }
};

QTEST_MAIN(KeyboardTest)
#include "KeyboardTest.moc"
