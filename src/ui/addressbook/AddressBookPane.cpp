#include "ui/addressbook/AddressBookPane.h"

#include <QAction>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QVBoxLayout>

#include "store/MessageStore.h"
#include "ui/addressbook/AddressBookViews.h"
#include "ui/addressbook/ContactDialogs.h"
#include "ui/addressbook/ImportExportDialogs.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

constexpr int kMaxSearch = 50;

QPushButton* Button(int textId, QChar key, const char* name, QWidget* parent) {
    auto* b = new QPushButton(Mnemonic(Text(textId), key), parent);
    b->setObjectName(name);
    b->setAccessibleName(Text(textId));
    return b;
}

QAction* AddShortcut(QWidget* widget, const QKeySequence& keys, const std::function<void()>& run) {
    auto* action = new QAction(widget);
    action->setShortcut(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(action, &QAction::triggered, widget, run);
    widget->addAction(action);
    return action;
}

}  // namespace

AddressBookPane::AddressBookPane(MessageStore* store, QWidget* parent)
    : Pane(parent),
      store_(store),
      groupModel_(new GroupListModel(this)),
      memberModel_(new MemberListModel(table_, this)) {
    setObjectName("addressBookPane");
    setAccessibleName(Text(kTextTabAddresses));
    setFixedSize(640, 484);
    runDialog = [](QDialog& d) { return d.exec() == QDialog::Accepted; };
    CreateWidgets();
    Rebuild();
}

AddressBookPane::~AddressBookPane() = default;

void AddressBookPane::CreateWidgets() {
    groupList_ = new GroupListView(this);
    groupList_->setObjectName("groupList");
    groupList_->setAccessibleName(Text(kTextAbGroupsHeading));
    groupList_->setAccessibleDescription(Text(kTextA11yGroupList));
    groupList_->setModel(groupModel_);
    groupList_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    groupList_->setContextMenuPolicy(Qt::CustomContextMenu);
    memberList_ = new MemberListView(this);
    memberList_->setObjectName("memberList");
    memberList_->setAccessibleName(Text(kTextAbMembersHeading));
    memberList_->setAccessibleDescription(Text(kTextA11yMemberList));
    memberList_->setTabKeyNavigation(false);  // Tab leaves the table; the arrows move in it
    memberList_->setModel(memberModel_);
    memberList_->setContextMenuPolicy(Qt::CustomContextMenu);
    memberList_->horizontalHeader()->resizeSection(0, 130);
    memberList_->horizontalHeader()->resizeSection(1, 130);
    memberList_->dragText = [this](int row) { return ContactDragText(memberModel_->TableIndex(row), CurrentGid()); };

    searchField_ = new QLineEdit(this);
    searchField_->setObjectName("searchField");
    searchField_->setMaxLength(kMaxSearch);
    searchField_->setAccessibleName(Text(kTextAbSearchLabel));
    searchButton_ = Button(kTextAbSearch, 'e', "searchButton", this);
    searchButton_->setAccessibleDescription(Text(kTextA11yAbSearch));
    searchButton_->setEnabled(false);
    auto* searchLabel = new QLabel(Mnemonic(Text(kTextAbSearchLabel), 's'), this);
    searchLabel->setBuddy(searchField_);

    auto* newGroup = Button(kTextAbNewGroup, 'n', "newGroupButton", this);
    auto* newContact = Button(kTextAbNewContact, 'c', "newContactButton", this);
    auto* upload = Button(kTextAbUpload, 'u', "uploadButton", this);
    upload->setAccessibleDescription(Text(kTextA11yAbUpload));
    auto* exportButton = Button(kTextAbExport, 'x', "exportButton", this);
    exportButton->setAccessibleDescription(Text(kTextA11yAbExport));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    auto* groupsLabel = new QLabel(Mnemonic(Text(kTextAbGroupsHeading), 'g'), this);
    groupsLabel->setBuddy(groupList_);
    auto* membersLabel = new QLabel(Mnemonic(Text(kTextAbMembersHeading), 'm'), this);
    membersLabel->setBuddy(memberList_);
    layout->addWidget(groupsLabel, 0, 0);
    layout->addWidget(membersLabel, 0, 1);
    layout->addWidget(groupList_, 1, 0);
    layout->addWidget(memberList_, 1, 1);
    layout->setColumnStretch(0, 1);
    layout->setColumnStretch(1, 3);
    auto* searchRow = new QHBoxLayout;
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(searchField_, 1);
    searchRow->addWidget(searchButton_);
    layout->addLayout(searchRow, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {newGroup, newContact, upload, exportButton})
        buttons->addWidget(b);
    buttons->addStretch(1);
    layout->addLayout(buttons, 3, 0, 1, 2);
    setTabOrder(groupList_, memberList_);
    setTabOrder(memberList_, searchField_);
    setTabOrder(searchField_, searchButton_);
    setTabOrder(searchButton_, newGroup);

    ConnectListsAndSearch();
    connect(newGroup, &QPushButton::clicked, this, &AddressBookPane::NewGroup);
    connect(newContact, &QPushButton::clicked, this, [this] { NewContact(true); });
    connect(upload, &QPushButton::clicked, this, [this] { Upload(CurrentGid(), true); });
    connect(exportButton, &QPushButton::clicked, this, &AddressBookPane::Export);
    AddKeyboardShortcuts();
}

// Selecting a group shows its members; menus, activation, drops and the search field.
void AddressBookPane::ConnectListsAndSearch() {
    connect(groupList_->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (current.isValid() && current.row() != currentGroupRow_) {
                    currentGroupRow_ = current.row();
                    FillMembers();
                }
            });
    connect(groupList_, &QWidget::customContextMenuRequested, this, &AddressBookPane::ShowGroupMenu);
    connect(memberList_, &QWidget::customContextMenuRequested, this, &AddressBookPane::ShowMemberMenu);
    connect(memberList_, &QAbstractItemView::activated, this,
            [this](const QModelIndex& index) { EditContact(index.row()); });
    connect(groupList_, &GroupListView::contactDropped, this, &AddressBookPane::HandleDrop);
    connect(searchField_, &QLineEdit::textChanged, this, [this](const QString& text) {
        searchRestart_ = true;
        searchButton_->setEnabled(!text.isEmpty());
        if (!text.isEmpty())
            Search();
    });
    connect(searchField_, &QLineEdit::returnPressed, this, &AddressBookPane::Search);
    connect(searchButton_, &QPushButton::clicked, this, &AddressBookPane::Search);
}

// The keyboard way to everything the lists' menus offer.
void AddressBookPane::AddKeyboardShortcuts() {
    auto current = [this] { return memberList_->currentIndex().row(); };
    AddShortcut(memberList_, QKeySequence::Copy, [this, current] { CopyContact(current()); });
    AddShortcut(memberList_, QKeySequence::Cut, [this, current] { CutContact(current()); });
    AddShortcut(memberList_, QKeySequence::Paste, [this] { PasteContact(); });
    AddShortcut(memberList_, QKeySequence::Delete, [this] { DeleteContacts(); });
    AddShortcut(memberList_, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C), [this] { CopyOrMoveSelected(false); });
    AddShortcut(memberList_, QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_M), [this] { CopyOrMoveSelected(true); });
    AddShortcut(groupList_, QKeySequence(Qt::Key_F2), [this] { RenameGroup(currentGroupRow_); });
    AddShortcut(groupList_, QKeySequence::Delete, [this] { DeleteGroup(currentGroupRow_); });
}

void AddressBookPane::Activate() {
    // A rebuild is a noticeable pause at a large address book: only when something was written since.
    if (store_ && store_->Book().Generation() != builtGeneration_)
        Rebuild();
}

void AddressBookPane::FocusInitial() {
    groupList_->setFocus();
}

bool AddressBookPane::HandleCommand(PaneCommand command) {
    if (command != PaneCommand::SelectAll)
        return false;
    (groupList_->hasFocus() ? static_cast<QAbstractItemView*>(groupList_) : memberList_)->selectAll();
    return true;
}

// ---------------------------------------------------------------- tables

void AddressBookPane::Rebuild() {
    memberModel_->SetMembers(nullptr);  // the table is about to change under the model
    const int32_t gid = CurrentGid();
    if (store_) {
        ++rebuilds_;
        builtGeneration_ = store_->Book().Generation();  // read first: a write during the load rebuilds again
        table_.Load(store_->Book());
        groupModel_->SetGroups(GroupListWithCounts(store_->Book()));
    }
    int row = groupModel_->RowOf(gid);
    currentGroupRow_ = row >= 0 ? row : 0;
    if (groupModel_->rowCount() > 0)
        groupList_->selectionModel()->setCurrentIndex(groupModel_->index(currentGroupRow_),
                                                      QItemSelectionModel::ClearAndSelect);
    FillMembers();
}

void AddressBookPane::FillMembers() {
    memberModel_->SetMembers(groupModel_->rowCount() > 0 ? &table_.MembersOf(CurrentGid()) : nullptr);
}

void AddressBookPane::SelectGroupRow(int row) {
    if (row < 0 || row >= groupModel_->rowCount())
        return;
    groupList_->selectionModel()->setCurrentIndex(groupModel_->index(row), QItemSelectionModel::ClearAndSelect);
    currentGroupRow_ = row;
    FillMembers();
}

int32_t AddressBookPane::GidOfRow(int row) const {
    const auto& groups = groupModel_->Groups();
    return row >= 0 && static_cast<size_t>(row) < groups.size() ? groups[static_cast<size_t>(row)].GID : 0;
}

int32_t AddressBookPane::CurrentGid() const {
    int32_t gid = GidOfRow(currentGroupRow_);
    return gid ? gid : ContactTable::kAllContacts;
}

int32_t AddressBookPane::CidOfMemberRow(int row) const {
    if (row < 0 || row >= memberModel_->rowCount())
        return 0;
    return table_.Cid(static_cast<size_t>(memberModel_->TableIndex(row)));
}

std::vector<int32_t> AddressBookPane::SelectedContacts() const {
    QModelIndexList rows = memberList_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    std::vector<int32_t> cids;
    for (const auto& index : rows)
        cids.push_back(CidOfMemberRow(index.row()));
    return cids;
}

bool AddressBookPane::RefuseWithoutGroups(int textId) {
    if (groupModel_->rowCount() >= 2)
        return false;
    ShowMessage(this, MessageIcon::Information, Text(kTextAbNeedGroupCaption), Text(textId));
    return true;
}

// ---------------------------------------------------------------- groups

void AddressBookPane::NewGroup() {
    GroupDialog dialog({}, this);
    if (!store_ || !runDialog(dialog))
        return;
    store_->Book().AddGroup(S(dialog.Name()));
    Rebuild();
}

void AddressBookPane::RenameGroup(int row) {
    if (!store_ || row < 1 || row >= groupModel_->rowCount())
        return;
    GroupDialog dialog(Q(groupModel_->Groups()[static_cast<size_t>(row)].Name), this);
    if (!runDialog(dialog))
        return;
    store_->Book().RenameGroup(GidOfRow(row), S(dialog.Name()));
    Rebuild();
}

void AddressBookPane::DeleteGroup(int row) {
    if (!store_ || row < 1 || row >= groupModel_->rowCount())
        return;
    const GroupListEntry& g = groupModel_->Groups()[static_cast<size_t>(row)];
    if (ShowMessage(this, MessageIcon::None, Text(kTextAbConfirmGroupDeleteCaption),
                    FormatText(kTextAbConfirmGroupDelete, {g.Name, g.count}),
                    MessageButtons::YesNo) == MessageAnswer::No)
        return;
    store_->Book().DeleteGroup(g.GID);
    Rebuild();
}

// ---------------------------------------------------------------- contacts

void AddressBookPane::NewContact(bool refuseWithoutGroups) {
    if (!store_ || (refuseWithoutGroups && RefuseWithoutGroups(kTextAbNeedGroupContacts)))
        return;
    std::vector<int32_t> memberOf;
    if (CurrentGid() != ContactTable::kAllContacts)
        memberOf.push_back(CurrentGid());
    ContactDialog dialog(true, ContactRecord(), memberOf, groupModel_->Groups(), this);
    if (!runDialog(dialog))
        return;
    store_->Book().AddContact(dialog.Record());
    Rebuild();
}

void AddressBookPane::EditContact(int memberRow) {
    const int32_t cid = CidOfMemberRow(memberRow);
    ContactRecord c;
    if (!store_ || !cid || !store_->Book().LoadContact(cid, c))
        return;
    ContactDialog dialog(false, c, store_->Book().GroupsOfContact(cid), groupModel_->Groups(), this);
    if (!runDialog(dialog))
        return;
    store_->Book().UpdateContact(cid, dialog.Record());
    Rebuild();
}

bool AddressBookPane::ChooseDeleteScope(const std::vector<int32_t>& cids, bool& entirely) {
    entirely = true;
    bool inSeveral = false;
    for (int32_t cid : cids)
        inSeveral = inSeveral || store_->Book().CountContactGroups(cid) > 1;
    if (!inSeveral)
        return true;
    DeleteChoiceDialog dialog(this);
    if (!runDialog(dialog))
        return false;
    entirely = dialog.Entirely();
    return true;
}

void AddressBookPane::DeleteContacts() {
    const std::vector<int32_t> cids = SelectedContacts();
    if (!store_ || cids.empty())
        return;
    if (ShowMessage(this, MessageIcon::None, Text(kTextAbConfirmContactDeleteCaption),
                    FormatText(kTextAbConfirmContactDelete, {static_cast<long long>(cids.size())}),
                    MessageButtons::YesNo) == MessageAnswer::No)
        return;
    bool entirely = true;
    if (!ChooseDeleteScope(cids, entirely))
        return;
    {
        StoreTransaction batch(*store_);
        for (int32_t cid : cids)
            store_->Book().DeleteContact(cid, entirely, CurrentGid());
    }
    Rebuild();
}

void AddressBookPane::CopyContact(int memberRow) {
    const int32_t cid = CidOfMemberRow(memberRow);
    if (!store_ || !cid || !store_->Book().LoadContact(cid, clipRecord_))
        return;
    clipMode_ = ClipMode::Copy;
    clipCid_ = cid;
}

void AddressBookPane::CutContact(int memberRow) {
    const int32_t cid = CidOfMemberRow(memberRow);
    ContactRecord record;
    if (!store_ || !cid || !store_->Book().LoadContact(cid, record))
        return;
    clipMode_ = ClipMode::Cut;
    clipCid_ = cid;
    clipRecord_ = record;
    bool entirely = true;
    if (!ChooseDeleteScope({cid}, entirely))
        return;  // the record stays on the clipboard
    store_->Book().DeleteContact(cid, entirely, CurrentGid());
    Rebuild();
}

void AddressBookPane::PasteContact() {
    if (!store_ || clipMode_ == ClipMode::None)
        return;
    const int32_t gid = CurrentGid();
    if (clipMode_ == ClipMode::Copy) {
        store_->Book().AddMembershipIfMissing(clipCid_, gid);
    } else {
        // The cut contact is made anew in this group; further pastes add that new contact.
        ContactRecord record = clipRecord_;
        record.groups = {gid};
        int32_t cid = store_->Book().AddContact(record);
        if (cid <= 0)
            return;
        clipCid_ = cid;
        clipMode_ = ClipMode::Copy;
    }
    Rebuild();
}

void AddressBookPane::CopyOrMoveSelected(bool move) {
    const std::vector<int32_t> cids = SelectedContacts();
    if (!store_ || cids.empty())
        return;
    GroupPickerDialog dialog(Text(move ? kTextAbMoveToGroup : kTextAbCopyToGroup), groupModel_->Groups(), this);
    if (!runDialog(dialog) || !dialog.ChosenGid())
        return;
    const int32_t to = dialog.ChosenGid(), from = CurrentGid();
    {
        StoreTransaction batch(*store_);
        for (int32_t cid : cids) {
            if (move)
                store_->Book().MoveContactToGroup(cid, to, from);
            else
                store_->Book().AddMembershipIfMissing(cid, to);
        }
    }
    Rebuild();
}

void AddressBookPane::HandleDrop(int targetRow, const QString& payload, bool copy) {
    long long index = 0;
    int32_t fromGid = -1;
    const int32_t toGid = GidOfRow(targetRow);
    // A payload from elsewhere, or from a table rebuilt since the drag began, names no row: ignored.
    if (!store_ || targetRow < 1 || !toGid || !ParseContactDragText(payload, index, fromGid) || index < 0 ||
        static_cast<uint64_t>(index) >= table_.Size())
        return;
    const int32_t cid = table_.Cid(static_cast<size_t>(index));
    if (copy)
        store_->Book().AddMembershipIfMissing(cid, toGid);
    else
        store_->Book().MoveContactToGroup(cid, toGid, fromGid);
    Rebuild();
}

// ---------------------------------------------------------------- search

void AddressBookPane::Search() {
    const std::string text = S(searchField_->text());
    if (text.empty() || table_.Size() == 0)
        return;
    if (searchRestart_) {
        searchRestart_ = false;
        searchPosition_ = 0;
    } else {
        searchPosition_ = (searchPosition_ + 1) % table_.Size();
    }
    int64_t hit = table_.Find(text, searchPosition_);
    if (hit < 0)
        return;
    searchPosition_ = static_cast<size_t>(hit);
    const int32_t first = table_.FirstGroup(static_cast<size_t>(hit));
    int row = groupModel_->RowOf(first ? first : ContactTable::kAllContacts);
    SelectGroupRow(row >= 0 ? row : 0);
    int memberRow = memberModel_->RowOfTableIndex(static_cast<int32_t>(hit));
    if (memberRow < 0)
        return;
    QModelIndex index = memberModel_->index(memberRow, 0);
    memberList_->scrollTo(index);
    memberList_->selectionModel()->setCurrentIndex(index,
                                                   QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

// ---------------------------------------------------------------- import and export

void AddressBookPane::Upload(int32_t gid, bool refuseWithoutGroups) {
    if (!store_ || (refuseWithoutGroups && RefuseWithoutGroups(kTextAbNeedGroupUpload)))
        return;
    ContactImportDialog dialog(groupModel_->Groups(), gid, this);
    if (!runDialog(dialog))
        return;
    const ContactImportOptions options = dialog.Options();
    ImportReport report;
    memberModel_->SetMembers(nullptr);
    RunWithProgress(this, Text(kTextImpProgress), [&](const ImportProgress& progress, const std::atomic<bool>* cancel) {
        report = ImportContacts(*store_, options, progress, cancel);
    });
    Rebuild();
    ShowMessage(this, MessageIcon::Information, Text(kTextImpCaption), Q(ImportReportText(report)));
}

void AddressBookPane::Export() {
    if (!store_)
        return;
    if (groupModel_->rowCount() < 2) {
        ShowMessage(this, MessageIcon::Information, Text(kTextAbExportFailedCaption), Text(kTextAbNothingToExport));
        return;
    }
    ContactExportDialog dialog(groupModel_->Groups(), SelectedContacts(), this);
    if (!runDialog(dialog))
        return;
    const ContactExportOptions options = dialog.Options();
    ExportReport report;
    RunWithProgress(this, Text(kTextExpProgress), [&](const ExportProgress& progress, const std::atomic<bool>* cancel) {
        report = ExportContacts(*store_, options, progress, cancel);
    });
    switch (report.status) {
        case ExportStatus::kOk:
            if (!options.selection)
                ShowMessage(this, MessageIcon::Information, Text(kTextExpDoneCaption), Text(kTextExpDone));
            break;
        case ExportStatus::kNothingToExport:
        case ExportStatus::kCancelled:
            break;
        case ExportStatus::kCannotOpen:
            ShowMessage(this, MessageIcon::Error, Text(kTextExpFailedCaption),
                        FormatText(kTextExpCannotOpen, {options.path}));
            break;
        case ExportStatus::kWriteFailed:
            ShowMessage(this, MessageIcon::Error, Text(kTextExpFailedCaption), Text(kTextExpFailed));
            break;
    }
}

// ---------------------------------------------------------------- new message

void AddressBookPane::NewMessageToGroups(int row) {
    if (row < 0 || row >= groupModel_->rowCount())
        return;
    QVector<int> gids;
    for (const auto& index : groupList_->selectionModel()->selectedRows())
        gids.push_back(GidOfRow(index.row()));
    std::sort(gids.begin(), gids.end());
    if (!gids.contains(GidOfRow(row)))
        gids = {GidOfRow(row)};
    emit newMessageRequested(gids, {});
}

void AddressBookPane::NewMessageToContacts() {
    QVector<int> cids;
    for (int32_t cid : SelectedContacts())
        cids.push_back(cid);
    if (!cids.isEmpty())
        emit newMessageRequested({}, cids);
}

// ---------------------------------------------------------------- menus

void AddressBookPane::ShowGroupMenu(const QPoint& pos) {
    QModelIndex at = groupList_->indexAt(pos);
    if (!at.isValid() && !groupList_->viewport()->underMouse())
        at = groupList_->currentIndex();  // opened from the keyboard
    const int clicked = at.isValid() ? at.row() : -1;
    const int selected = static_cast<int>(groupList_->selectionModel()->selectedRows().size());
    QMenu menu(this);
    QAction* add = menu.addAction(Text(kTextAbNewGroup));
    QAction* del = menu.addAction(Text(kTextAbDeleteGroup));
    QAction* rename = menu.addAction(Text(kTextAbRenameGroup));
    QAction* upload = menu.addAction(Text(kTextAbUploadContacts));
    QAction* all = menu.addAction(Text(kTextAbSelectAllGroups));
    QAction* message = menu.addAction(Text(kTextAbNewMessageToGroup));
    del->setEnabled(clicked >= 1 && selected < 2);
    rename->setEnabled(clicked >= 1 && selected < 2);
    upload->setEnabled(clicked >= 1);
    all->setEnabled(clicked >= 0);
    message->setEnabled(clicked >= 0);
    QAction* chosen = menu.exec(groupList_->viewport()->mapToGlobal(pos));
    if (chosen == add) {
        NewGroup();
    } else if (chosen == del) {
        DeleteGroup(clicked);
    } else if (chosen == rename) {
        RenameGroup(clicked);
    } else if (chosen == upload) {
        Upload(GidOfRow(clicked), false);
    } else if (chosen == all) {
        groupList_->selectAll();
    } else if (chosen == message) {
        NewMessageToGroups(clicked);
    }
}

void AddressBookPane::ShowMemberMenu(const QPoint& pos) {
    QModelIndex at = memberList_->indexAt(pos);
    if (!at.isValid() && !memberList_->viewport()->underMouse())
        at = memberList_->currentIndex();  // opened from the keyboard
    const int clicked = at.isValid() ? at.row() : -1;
    const bool row = clicked >= 0;
    QMenu menu(this);
    QAction* add = menu.addAction(Text(kTextAbNewContact));
    QAction* edit = menu.addAction(Text(kTextAbEditContact));
    QAction* del = menu.addAction(Text(kTextAbDeleteContacts));
    menu.addSeparator();
    QAction* copy = menu.addAction(Text(kTextAbCopy));
    QAction* cut = menu.addAction(Text(kTextAbCut));
    QAction* paste = menu.addAction(Text(kTextAbPaste));
    QAction* copyTo = menu.addAction(Text(kTextAbCopyToGroup));
    QAction* moveTo = menu.addAction(Text(kTextAbMoveToGroup));
    menu.addSeparator();
    QAction* upload = menu.addAction(Text(kTextAbUploadCsv));
    QAction* all = menu.addAction(Text(kTextAbSelectAll));
    QAction* message = menu.addAction(Text(kTextAbNewMessage));
    for (QAction* a : {edit, del, copy, cut, copyTo, moveTo, all, message})
        a->setEnabled(row);
    paste->setEnabled(row && !ClipboardEmpty());
    QAction* chosen = menu.exec(memberList_->viewport()->mapToGlobal(pos));
    if (chosen == add)
        NewContact(false);
    else if (chosen == edit)
        EditContact(clicked);
    else if (chosen == del)
        DeleteContacts();
    else if (chosen == copy)
        CopyContact(clicked);
    else if (chosen == cut)
        CutContact(clicked);
    else if (chosen == paste)
        PasteContact();
    else if (chosen == copyTo || chosen == moveTo)
        CopyOrMoveSelected(chosen == moveTo);
    else if (chosen == upload)
        Upload(CurrentGid(), true);
    else if (chosen == all)
        memberList_->selectAll();
    else if (chosen == message)
        NewMessageToContacts();
}

}  // namespace quillon
