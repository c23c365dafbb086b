// Every control of every pane and easily opened dialog is named, reached by Tab (and left again),
// mnemonics do not clash, and controls whose name does not tell their effect have a description.
#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSet>
#include <QtTest>
#include <algorithm>

#include "core/AppSettings.h"
#include "store/MessageStore.h"
#include "support/ShownWindow.h"
#include "support/UiTestEnv.h"
#include "ui/addressbook/ContactDialogs.h"
#include "ui/addressbook/ImportExportDialogs.h"
#include "ui/compose/ScheduleDialog.h"
#include "ui/online/VersionDialog.h"
#include "ui/options/ProxyDialog.h"
#include "ui/outbox/OutboxExportDialog.h"
#include "ui/outbox/StatusLegendDialog.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/CheckControl.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/TabButton.h"

using namespace quillon;
using namespace quillon::test;

namespace {

QString Describe(QWidget* w) {
    return QString("%1 (%2)").arg(w->objectName(), w->metaObject()->className());
}

// The controls of `root` a user works with now, told by their accessible role or by taking Tab.
QList<QWidget*> Controls(QWidget* root) {
    static const QSet<QAccessible::Role> roles = {
        QAccessible::PushButton,   QAccessible::CheckBox, QAccessible::RadioButton, QAccessible::ComboBox,
        QAccessible::EditableText, QAccessible::SpinBox,  QAccessible::List,        QAccessible::Table,
        QAccessible::Tree,         QAccessible::PageTab,  QAccessible::ButtonMenu,  QAccessible::Slider};
    QList<QWidget*> controls;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root) || !w->isEnabled() || w->window() != root)
            continue;
        if (w->parentWidget() &&
            (w->parentWidget()->inherits("QComboBox") || w->parentWidget()->inherits("QAbstractSpinBox")))
            continue;  // the inner editor of a compound control
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        if ((face && roles.contains(face->role())) || (w->focusPolicy() & Qt::TabFocus))
            controls << w;
    }
    return controls;
}

// Presses Tab from the first control until every control was seen (or far more presses than there
// are controls); returns the problems found: unnamed controls, unreached ones, and ones Tab stays in.
QStringList KeyboardProblems(QWidget* root) {
    QStringList problems;
    const QList<QWidget*> controls = Controls(root);
    for (QWidget* w : controls) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(w);
        if (!face || face->text(QAccessible::Name).trimmed().isEmpty())
            problems << "no name: " + Describe(w);
    }
    if (controls.isEmpty())
        return problems << "no controls";
    root->activateWindow();
    controls.first()->setFocus(Qt::TabFocusReason);
    QSet<QWidget*> reached;
    QWidget* focused = QApplication::focusWidget();
    for (int press = 0; press < 3 * controls.size() + 10 && focused; ++press) {
        reached << focused;
        QTest::keyClick(focused, Qt::Key_Tab);
        QWidget* next = QApplication::focusWidget();
        if (next == focused && controls.size() > 1) {
            problems << "Tab stays in: " + Describe(focused);
            break;
        }
        focused = next;
    }
    // Tab enters a set of radio buttons once, at the checked one; the arrow keys move within.
    auto sameSet = [](QWidget* a, QWidget* b) {
        auto *ra = qobject_cast<QRadioButton*>(a), *rb = qobject_cast<QRadioButton*>(b);
        return ra && rb && (ra->group() ? ra->group() == rb->group() : ra->parentWidget() == rb->parentWidget());
    };
    for (QWidget* w : controls)
        if (std::none_of(reached.begin(), reached.end(), [&](QWidget* r) { return r == w || sameSet(r, w); }))
            problems << "not reached by Tab: " + Describe(w);
    return problems;
}

// Labels with a buddy and text buttons of `root` without a mnemonic (when `required`), and
// mnemonics used twice.
QStringList MnemonicProblems(QWidget* root, bool required) {
    QStringList problems;
    QHash<QString, QString> used;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(root) || qobject_cast<TabButton*>(w) || qobject_cast<CheckControl*>(w))
            continue;  // the tabs go by Ctrl+1..4; a check control's text is its state, its label has the key
        QString text;
        if (auto* label = qobject_cast<QLabel*>(w); label && label->buddy())
            text = label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        if (text.isEmpty())
            continue;
        const QString key = QKeySequence::mnemonic(text).toString();
        auto* push = qobject_cast<QPushButton*>(w);
        if (key.isEmpty()) {
            if (required && !(push && push->isDefault()))  // Enter presses the default button
                problems << "no mnemonic: " + text;
        } else if (used.contains(key)) {
            problems << QString("%1 twice: %2 / %3").arg(key, used[key], text);
        } else {
            used[key] = text;
        }
    }
    return problems;
}

// Fails the test with every problem listed (a list comparison would name only the sizes).
#define Expect(problems)                                                       \
    do {                                                                       \
        const QStringList found = (problems);                                  \
        QVERIFY2(found.isEmpty(), qPrintable("\n" + found.join(QChar('\n')))); \
    } while (false)

}  // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { InstallAccessibleFactories(); }

    void PanesAreUsableByKeyboard() {
        UiTestEnv env(false);
        Settings().WorkingOnLine = false;
        Settings().help_url = "https://help.example/";
        AddressBook& book = env.Store()->Book();
        book.AddGroup("Friends");
        book.AddContact({"Ann", "Lee", "", "", "0821", {2}});
        env.Store()->Outbox().AddSms(0, 1700000000, 0, 0, "0821", "hello", "", 0, "?");  // rows to Tab past
        MainWindow window(env.Store(), nullptr, nullptr, NoTray());
        QVERIFY(Show(window));
        Expect(KeyboardProblems(&window));  // the login pane
        Expect(MnemonicProblems(&window, true));
        window.LoginSucceeded();
        window.findChild<QPlainTextEdit*>("messageText")->insertPlainText("Hello");  // enables Send and Schedule
        for (int tab : MainWindow::kTabOrder) {
            window.SelectTab(tab);
            Expect(KeyboardProblems(&window));
            // The options pane has more fields than there are letters; its keys are pinned elsewhere.
            if (tab != MainWindow::kTabOptions)
                Expect(MnemonicProblems(&window, true));
        }
        // Where the name does not tell what a control does, the description does.
        for (const char* name : {"nameButton", "signatureButton", "toList", "replaceLookalikesButton", "uploadButton",
                                 "outboxSendNowButton", "outboxHelpButton", "outboxFindEdit", "voucherEdit1"}) {
            auto* w = window.findChild<QWidget*>(name);
            QVERIFY2(w, name);
            QVERIFY2(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description).isEmpty(), name);
        }
    }

    void DialogsAreUsableByKeyboard() {
        UiTestEnv env(false);
        ScheduleDialog schedule(1'800'000'000);
        QVERIFY(Show(schedule));
        for (const char* mode : {"onceRadio", "dailyRadio", "weeklyRadio", "monthlyRadio"}) {
            schedule.findChild<QAbstractButton*>(mode)->click();
            Expect(KeyboardProblems(&schedule));
            Expect(MnemonicProblems(&schedule, false));
        }
        for (const char* name : {"uploadCheck", "endAfterList", "monthList"})
            QVERIFY2(!schedule.findChild<QWidget*>(name)->accessibleDescription().isEmpty(), name);
        StatusLegendDialog legend;
        VersionDialog version("SMS 4.2.1");
        ProxyDialog proxy;
        const std::vector<GroupListEntry> groups = {{1, "All", 0, "All"}, {2, "Friends", 1, "Friends (1)"}};
        ContactDialog contact(true, ContactRecord{}, {2}, groups);
        ContactImportDialog import(groups, 2);
        ContactExportDialog exportContacts(groups, {});
        OutboxExportDialog exportOutbox(true);
        for (QDialog* dialog : std::initializer_list<QDialog*>{&legend, &version, &proxy, &contact, &import,
                                                               &exportContacts, &exportOutbox}) {
            QVERIFY(Show(*dialog));
            Expect(KeyboardProblems(dialog));
            Expect(MnemonicProblems(dialog, false));
        }
    }
};

QTEST_MAIN(AccessibilityTest)
#include "AccessibilityTest.moc"
