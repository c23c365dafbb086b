// The address book pane: refusals, dialogs, delete scope, the pane's clipboard, quick search, drag
// and drop, the keyboard copy and move, an import through the pane, and reloading only after a change.
#include <functional>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/addressbook/AddressBookPane.h"
#include "ui/addressbook/AddressBookViews.h"
#include "ui/addressbook/ContactDialogs.h"
#include "ui/addressbook/ImportExportDialogs.h"

using namespace quillon;

namespace {

// A fresh world whose address book has the given groups (GIDs 2, 3, ... after All Contacts).
struct Env : test::UiTestEnv {
    AddressBook& book = Store()->Book();
    explicit Env(std::initializer_list<const char*> groups = {}) : test::UiTestEnv(false) {
        for (const char* g : groups)
            book.AddGroup(g);
    }
    // GIDs of a contact's groups, sorted.
    std::vector<int32_t> GroupsOf(int32_t cid) {
        auto g = book.GroupsOfContact(cid);
        std::sort(g.begin(), g.end());
        return g;
    }
};

// Drops `text` on group row `row` of the pane's group list with `keys` held; true when accepted.
bool Drop(AddressBookPane& pane, int row, const QString& text, Qt::KeyboardModifiers keys) {
    QListView* list = pane.GroupList();
    const QPoint pos = list->visualRect(list->model()->index(row, 0)).center();
    QMimeData data;
    data.setText(text);
    QDragEnterEvent enter(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(list->viewport(), &enter);
    QDropEvent drop(pos, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, keys);
    QCoreApplication::sendEvent(list->viewport(), &drop);
    return drop.isAccepted();
}

}  // namespace

class AddressBookPaneTest : public QObject {
    Q_OBJECT

private slots:
    void RefusesWithoutGroupsExceptFromTheMenus() {
        Env env;
        AddressBookPane pane(env.Store());
        int dialogs = 0;
        pane.runDialog = [&](QDialog&) { return ++dialogs, false; };
        pane.NewContact(true);
        pane.Upload(1, true);
        pane.Export();
        QCOMPARE(env.Shown(), QStringList({"Need a group|Create a group before you add contacts into it.",
                                           "Need a group|Create a group before you upload contacts into it.",
                                           "Export failed|There is nothing to export"}));
        QCOMPARE(dialogs, 0);
        pane.NewContact(false);
        QCOMPARE(dialogs, 1);
    }

    void GroupDialogCutsTheNameAndWantsAVisibleCharacter() {
        GroupDialog dialog({});
        auto* ok = dialog.findChild<QPushButton*>("okButton");
        const std::pair<QString, bool> cases[] = {{"", false}, {"   ", false}, {" a", true}, {"Friends", true}};
        for (const auto& [text, enabled] : cases) {
            dialog.NameField()->setText(text);
            QCOMPARE(ok->isEnabled(), enabled);
        }
        dialog.NameField()->setText(QString(25, 'x'));
        QCOMPARE(dialog.Name(), QString(21, 'x'));
    }

    void DeleteFromThisGroupOnlyKeepsTheOtherMembership() {
        Env env({"A", "B"});
        int32_t cid = env.book.AddContact({"Ann", "", "", "", "1", {2, 3}});
        AddressBookPane pane(env.Store());
        pane.SelectGroupRow(1);
        pane.MemberList()->selectRow(0);
        pane.runDialog = [](QDialog& d) {
            static_cast<DeleteChoiceDialog&>(d).ThisGroupOnly()->setChecked(true);
            return true;
        };
        pane.DeleteContacts();
        QCOMPARE(env.GroupsOf(cid), std::vector<int32_t>{3});
        QVERIFY(env.Shown().first().startsWith("Confirm Contact Delete|Are you sure you want to delete 1 contact(s)?"));
    }

    void CutThenPasteTwiceMakesOneNewContactInBothGroups() {
        Env env({"A", "B", "C"});
        int32_t cid = env.book.AddContact({"Ann", "Lee", "", "", "1", {2}});
        AddressBookPane pane(env.Store());
        pane.SelectGroupRow(1);
        pane.CutContact(0);
        QCOMPARE(env.book.ContactCount(), 0);
        pane.SelectGroupRow(2);
        pane.PasteContact();
        pane.SelectGroupRow(3);
        pane.PasteContact();
        auto rows = env.book.ListContacts();
        QCOMPARE(rows.size(), size_t(1));
        QVERIFY(rows[0].CID != cid);
        QCOMPARE(env.GroupsOf(rows[0].CID), (std::vector<int32_t>{3, 4}));
    }

    void SearchWrapsRoundAndSelectsTheContactsGroup() {
        Env env({"A", "B"});
        env.book.AddContact({"Ann", "", "", "", "0821", {2}});
        env.book.AddContact({"Bob", "", "", "", "0931", {3}});
        AddressBookPane pane(env.Store());
        pane.SearchField()->setText("93");  // typing searches from the start
        QCOMPARE(pane.CurrentGid(), 3);
        QCOMPARE(pane.SelectedContacts(), std::vector<int32_t>{2});
        pane.Search();  // the walk wraps round to the same contact
        QCOMPARE(pane.SelectedContacts(), std::vector<int32_t>{2});
        pane.SearchField()->setText("ANN");
        QCOMPARE(pane.CurrentGid(), 2);
        QCOMPARE(pane.SelectedContacts(), std::vector<int32_t>{1});
    }

    void DragAndDropCopiesMovesOrRefuses() {
        struct Case {
            const char* what;
            int row;
            QString payload;  // %1: the dragged contact's table index
            Qt::KeyboardModifiers keys;
            bool accepted;
            std::vector<int32_t> groups;  // of the contact afterwards
        };
        const Case cases[] = {
            {"no key moves (from All Contacts: out of every group)", 2, "CID:%1|GID:1", {}, true, {3}},
            {"Shift moves out of the source group only", 2, "CID:%1|GID:2", Qt::ShiftModifier, true, {3, 4}},
            {"Ctrl copies", 2, "CID:%1|GID:2", Qt::ControlModifier, true, {2, 3, 4}},
            {"Alt copies", 2, "CID:%1|GID:2", Qt::AltModifier, true, {2, 3, 4}},
            {"Ctrl onto a group it is in changes nothing", 1, "CID:%1|GID:2", Qt::ControlModifier, true, {2, 4}},
            {"Ctrl+Shift is refused", 2, "CID:%1|GID:2", Qt::ControlModifier | Qt::ShiftModifier, false, {2, 4}},
            {"All Contacts is no target", 0, "CID:%1|GID:2", {}, false, {2, 4}},
            {"foreign text does nothing", 2, "hello", {}, true, {2, 4}},
            {"an index outside the table does nothing", 2, "CID:99|GID:2", {}, true, {2, 4}},
        };
        for (const auto& c : cases) {
            Env env({"A", "B", "C"});
            int32_t cid = env.book.AddContact({"Ann", "", "", "", "1", {2, 4}});
            AddressBookPane pane(env.Store());
            pane.resize(800, 500);
            pane.show();
            const QString payload = c.payload.contains("%1") ? c.payload.arg(pane.Table().IndexOf(cid)) : c.payload;
            QCOMPARE(Drop(pane, c.row, payload, c.keys), c.accepted);
            QVERIFY2(env.GroupsOf(cid) == c.groups, c.what);
        }
        QCOMPARE(ContactDragText(7, 2), QString("CID:7|GID:2"));
    }

    void KeyboardCopyAndMoveToAGroup() {
        Env env({"A", "B"});
        int32_t ann = env.book.AddContact({"Ann", "", "", "", "1", {2}});
        int32_t bob = env.book.AddContact({"Bob", "", "", "", "2", {2}});
        AddressBookPane pane(env.Store());
        pane.show();
        QApplication::setActiveWindow(&pane);
        QVERIFY(QTest::qWaitForWindowActive(&pane));
        pane.SelectGroupRow(1);
        pane.MemberList()->selectRow(0);
        pane.runDialog = [](QDialog& d) {
            static_cast<GroupPickerDialog&>(d).List()->setCurrentRow(1);  // "B"
            return true;
        };
        pane.MemberList()->setFocus();
        QTest::keyClick(pane.MemberList(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(env.GroupsOf(ann), (std::vector<int32_t>{2, 3}));
        // (selectRow would read the modifiers of the key click before.)
        pane.MemberList()->selectionModel()->select(pane.MemberList()->model()->index(1, 0),
                                                    QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(pane.MemberList()->hasFocus());
        QCOMPARE(pane.SelectedContacts(), std::vector<int32_t>{bob});
        QTest::keyClick(pane.MemberList(), Qt::Key_M, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(env.GroupsOf(bob), std::vector<int32_t>{3});
    }

    void NewMessageHandsOverGroupsOrContacts() {
        Env env({"A", "B"});
        env.book.AddContact({"Ann", "", "", "", "1", {2}});
        env.book.AddContact({"Bob", "", "", "", "2", {2}});
        AddressBookPane pane(env.Store());
        QSignalSpy spy(&pane, &AddressBookPane::newMessageRequested);
        pane.NewMessageToGroups(2);
        pane.GroupList()->selectAll();
        pane.NewMessageToGroups(1);
        pane.SelectGroupRow(1);
        pane.MemberList()->selectAll();
        pane.NewMessageToContacts();
        QCOMPARE(spy.size(), 3);
        QCOMPARE(spy[0][0].value<QVector<int>>(), QVector<int>({3}));
        QCOMPARE(spy[1][0].value<QVector<int>>(), QVector<int>({1, 2, 3}));
        QCOMPARE(spy[2][1].value<QVector<int>>(), QVector<int>({1, 2}));
    }

    // Coming back to the tab reloads the tables only after a write, by whichever part of the program.
    void TabSwitchRebuildsOnlyAfterAWrite() {
        Env env({"A", "B"});
        AddressBook& book = env.book;
        const int32_t ann = book.AddContact({"Ann", "", "", "", "1", {2}});
        AddressBookPane pane(env.Store());
        ContactRecord record;
        const struct {
            const char* what;
            bool writes;
            std::function<void()> run;
        } cases[] = {
            {"nothing", false, [] {}},
            {"reads", false,
             [&] {
                 book.LoadContact(ann, record);
                 book.ContactMobileExists("1");
                 book.GroupsWithMemberCounts();
             }},
            {"add contact", true,
             [&] {
                 book.AddContact({"Bob", "", "", "", "2", {3}});
             }},
            {"edit contact", true,
             [&] {
                 book.UpdateContact(ann, {"Anne", "", "", "", "1", {2, 3}});
             }},
            {"add group", true, [&] { book.AddGroup("C"); }},
            {"rename group", true, [&] { book.RenameGroup(4, "D"); }},
            {"join group", true, [&] { book.AddMembershipIfMissing(ann, 4); }},
            {"leave group", true, [&] { book.RemoveMembership(ann, 4); }},
            {"move", true, [&] { book.MoveContactToGroup(ann, 4, 3); }},
            {"delete group", true, [&] { book.DeleteGroup(3); }},
            {"delete contact", true, [&] { book.DeleteContact(ann, true, 0); }},
        };
        for (const auto& c : cases) {
            const int before = pane.Rebuilds();
            c.run();
            pane.Activate();
            pane.Activate();
            QVERIFY2(pane.Rebuilds() - before == (c.writes ? 1 : 0), c.what);
            QVERIFY2(pane.Table().Size() == size_t(book.ContactCount()), c.what);
            QVERIFY2(pane.GroupList()->model()->rowCount() == int(GroupListWithCounts(book).size()), c.what);
        }
    }

    // The long automatic-groups caption wraps (no dialog wider than a scaled screen) and still ticks the box.
    void ImportDialogWrapsItsLongCaption() {
        ContactImportDialog dialog({{1, "All Contacts", 0, ""}}, 1);
        QVERIFY(dialog.sizeHint().width() < 700);
        QLabel* caption = nullptr;
        for (QLabel* label : dialog.findChildren<QLabel*>())
            if (label->buddy() == dialog.AutoGroups())
                caption = label;
        QVERIFY(caption && !dialog.AutoGroups()->accessibleName().isEmpty());
        QTest::mouseClick(caption, Qt::LeftButton);
        QVERIFY(dialog.AutoGroups()->isChecked());
    }

    void ImportThroughThePaneReportsTheCounts() {
        Env env({"A"});
        const std::string file = env.DataDir() + "/in.csv";
        test::WriteFile(file, "fname,mobile\nAnn,1\nBob,\nCid,1\n");
        AddressBookPane pane(env.Store());
        pane.SelectGroupRow(1);
        pane.runDialog = [&](QDialog& d) {
            auto& dialog = static_cast<ContactImportDialog&>(d);
            if (dialog.findChild<QPushButton*>("okButton")->isEnabled())
                return false;  // no path yet
            dialog.PathField()->setText(QString::fromStdString(file));
            dialog.PreventDuplicates()->setChecked(true);
            return dialog.findChild<QPushButton*>("okButton")->isEnabled();
        };
        pane.Upload(pane.CurrentGid(), true);
        QCOMPARE(env.Shown().size(), 1);
        QVERIFY(env.Shown()[0].contains("(1) items where inserted into the database\nand (1) item were discarded."));
        QVERIFY(env.Shown()[0].contains("(1) items were skipped as duplicates."));
        QCOMPARE(pane.MemberList()->model()->rowCount(), 1);
    }
};

QTEST_MAIN(AddressBookPaneTest)
#include "AddressBookPaneTest.moc"
