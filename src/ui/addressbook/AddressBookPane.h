// The address book pane: the groups with their member counts, the members of the selected group,
// and every editing action on them (groups, contacts, the pane's own contact clipboard, import,
// export, quick search, drag and drop, copy or move to a group by keyboard). The lists are views
// over the in-memory tables, rebuilt from the store after every change made through this program.
#pragma once

#include <QVector>
#include <functional>
#include <memory>

#include "addressbook/ContactTable.h"
#include "addressbook/GroupList.h"
#include "store/ContactRecord.h"
#include "ui/shell/Pane.h"

class QDialog;
class QLineEdit;
class QPushButton;

namespace quillon {

class GroupListModel;
class GroupListView;
class MemberListModel;
class MemberListView;
class MessageStore;

class AddressBookPane : public Pane {
    Q_OBJECT
public:
    explicit AddressBookPane(MessageStore* store, QWidget* parent = nullptr);
    ~AddressBookPane() override;

    void Activate() override;
    void FocusInitial() override;
    bool HandleCommand(PaneCommand command) override;

    // Runs a modal dialog; true when accepted. Tests replace it to fill dialogs in without a loop.
    std::function<bool(QDialog&)> runDialog;

    // Reloads both tables from the store and refills the lists, keeping the current group.
    void Rebuild();
    int Rebuilds() const { return rebuilds_; }  // how many times the tables were loaded
    void SelectGroupRow(int row);
    int CurrentGroupRow() const { return currentGroupRow_; }
    int32_t CurrentGid() const;
    // CIDs of the selected member rows, top to bottom.
    std::vector<int32_t> SelectedContacts() const;
    const ContactTable& Table() const { return table_; }

    // The pane's commands (the buttons and both context menus call these).
    void NewGroup();
    void RenameGroup(int row);
    void DeleteGroup(int row);
    void NewContact(bool refuseWithoutGroups);
    void EditContact(int memberRow);
    void DeleteContacts();
    void CopyContact(int memberRow);
    void CutContact(int memberRow);
    void PasteContact();
    bool ClipboardEmpty() const { return clipMode_ == ClipMode::None; }
    void Upload(int32_t gid, bool refuseWithoutGroups);
    void Export();
    void Search();
    void CopyOrMoveSelected(bool move);
    void HandleDrop(int targetRow, const QString& payload, bool copy);
    // "New message to group" on `row` (all selected groups when it is one of them), "New Message"
    // to the selected contacts.
    void NewMessageToGroups(int row);
    void NewMessageToContacts();

    GroupListView* GroupList() const { return groupList_; }
    MemberListView* MemberList() const { return memberList_; }
    QLineEdit* SearchField() const { return searchField_; }

signals:
    // "New message to group" / "New Message": the compose pane takes these as recipients.
    void newMessageRequested(QVector<int> groupIds, QVector<int> contactIds);

private:
    enum class ClipMode { None, Copy, Cut };

    void CreateWidgets();
    void ConnectListsAndSearch();
    void AddKeyboardShortcuts();
    void ShowGroupMenu(const QPoint& pos);
    void ShowMemberMenu(const QPoint& pos);
    void FillMembers();
    int32_t GidOfRow(int row) const;
    int32_t CidOfMemberRow(int row) const;
    // Asks "Delete contact from ..." when needed; false when cancelled.
    bool ChooseDeleteScope(const std::vector<int32_t>& cids, bool& entirely);
    bool RefuseWithoutGroups(int textId);

    MessageStore* store_;
    ContactTable table_;
    GroupListModel* groupModel_;
    MemberListModel* memberModel_;
    GroupListView* groupList_ = nullptr;
    MemberListView* memberList_ = nullptr;
    QLineEdit* searchField_ = nullptr;
    QPushButton* searchButton_ = nullptr;
    int currentGroupRow_ = 0;
    size_t searchPosition_ = 0;
    bool searchRestart_ = true;
    ClipMode clipMode_ = ClipMode::None;
    int32_t clipCid_ = 0;
    ContactRecord clipRecord_;
    uint64_t builtGeneration_ = 0;
    int rebuilds_ = 0;
};

}  // namespace quillon
