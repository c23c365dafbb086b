// The "Contacts:" tree of the compose pane: the address book's groups with their members, the
// external book (the mail client's or the vCard files) and the recent recipients, each with a check
// box that selects the recipient in the composition. A group's box ticks all its members and shows
// whether all, some or none are ticked. Members are added to a group's branch when it is first
// opened, so a large book builds quickly.
#pragma once

#include <QTreeWidget>
#include <map>
#include <vector>

#include "addressbook/ExternalBook.h"

namespace quillon {

class Composition;
class MessageStore;

class RecipientTree : public QTreeWidget {
    Q_OBJECT
public:
    enum ItemKind { kRoot = 1, kGroup, kContact, kExternalNode, kExternal, kRecent };
    static constexpr int kKindRole = Qt::UserRole;
    static constexpr int kIdRole = Qt::UserRole + 1;

    RecipientTree(MessageStore* store, Composition& model, QWidget* parent = nullptr);

    // Reads the groups and contacts again (the address book may have changed).
    void RebuildAddressBook();
    // Shows the recent slots in use.
    void RebuildRecent();
    // Shows a freshly read external book below its root (the model's entries come from the same tree).
    void ShowExternalBook(const ExternalBookTree& tree);
    // Check boxes from the model's selections (after a reset or a load).
    void RefreshChecks();
    // Opens the group holding the contact and selects its item.
    void ShowContact(int32_t cid);
    // Selects the item of the n-th external entry.
    void ShowExternalEntry(size_t index);

    QTreeWidgetItem* AddressBookRoot() const { return addressRoot_; }
    QTreeWidgetItem* ExternalRoot() const { return externalRoot_; }
    QTreeWidgetItem* RecentRoot() const { return recentRoot_; }
    QTreeWidgetItem* GroupItem(int32_t gid) const;
    // The items showing a contact (one per opened group that holds it).
    std::vector<QTreeWidgetItem*> ContactItems(int32_t cid) const;

signals:
    void selectionCountChanged();
    void externalBookWanted(bool force);  // the external branch was opened, or Rebuild chosen
    void clearRecentRequested();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void OnItemChanged(QTreeWidgetItem* item, int column);
    void OnItemExpanded(QTreeWidgetItem* item);
    void FillGroup(QTreeWidgetItem* group);
    void RefreshGroupStates();
    QTreeWidgetItem* MakeCheckItem(QTreeWidgetItem* parent, const QString& text, ItemKind kind, int64_t id,
                                   bool checked);
    void AddExternalNode(QTreeWidgetItem* parent, const ExternalBookTree& node, size_t& leafIndex);

    MessageStore* store_;
    Composition& model_;
    QTreeWidgetItem* addressRoot_ = nullptr;
    QTreeWidgetItem* externalRoot_ = nullptr;
    QTreeWidgetItem* recentRoot_ = nullptr;
    std::map<int32_t, std::vector<int32_t>> members_;  // gid -> member cids
    std::map<int32_t, QString> contactLabels_;         // cid -> "Name Surname (Mobile)"
    std::map<int32_t, QTreeWidgetItem*> groupItems_;
    std::multimap<int32_t, QTreeWidgetItem*> contactItems_;
    std::vector<QTreeWidgetItem*> externalItems_;
    bool externalRequested_ = false;
    bool updating_ = false;
};

}  // namespace quillon
