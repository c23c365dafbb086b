#include "ui/compose/RecipientTree.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <algorithm>

#include "compose/Composition.h"
#include "core/AppSettings.h"
#include "store/MessageStore.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

Qt::CheckState CheckOf(bool on) {
    return on ? Qt::Checked : Qt::Unchecked;
}

}  // namespace

RecipientTree::RecipientTree(MessageStore* store, Composition& model, QWidget* parent)
    : QTreeWidget(parent), store_(store), model_(model) {
    setObjectName("recipientTree");
    setAccessibleName(Text(kTextContactsLabel));
    setHeaderHidden(true);
    setUniformRowHeights(true);
    auto root = [this](int textId, const char* name) {
        auto* item = new QTreeWidgetItem(this, QStringList(Text(textId)));
        item->setData(0, kKindRole, kRoot);
        item->setData(0, Qt::AccessibleTextRole, Text(textId));
        item->setChildIndicatorPolicy(QTreeWidgetItem::ShowIndicator);
        item->setData(0, kIdRole, QString(name));
        return item;
    };
    addressRoot_ = root(kIdAddressBookRoot, "addressBook");
    externalRoot_ = root(Settings().MAPI_AddressBook ? kTextThunderbirdBranch : kTextVCardBranch, "external");
    recentRoot_ = root(kIdRecentRoot, "recent");
    connect(this, &QTreeWidget::itemChanged, this, &RecipientTree::OnItemChanged);
    connect(this, &QTreeWidget::itemExpanded, this, &RecipientTree::OnItemExpanded);
    RebuildAddressBook();
    RebuildRecent();
}

QTreeWidgetItem* RecipientTree::MakeCheckItem(QTreeWidgetItem* parent, const QString& text, ItemKind kind, int64_t id,
                                              bool checked) {
    auto* item = new QTreeWidgetItem(parent, QStringList(text));
    item->setData(0, kKindRole, kind);
    item->setData(0, kIdRole, static_cast<qlonglong>(id));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, CheckOf(checked));
    return item;
}

void RecipientTree::RebuildAddressBook() {
    updating_ = true;
    const bool wasExpanded = addressRoot_->isExpanded();
    qDeleteAll(addressRoot_->takeChildren());
    members_.clear();
    contactLabels_.clear();
    groupItems_.clear();
    contactItems_.clear();
    if (store_) {
        model_.SizeContactSelection();
        for (const ContactRow& row : store_->Book().ListContacts())
            contactLabels_[row.CID] =
                QString("%1 %2 (%3)").arg(Q(row.contact.Name), Q(row.contact.Surname), Q(row.contact.Mobile));
        for (const GroupRecord& group : store_->Book().ListGroups()) {
            members_[group.GID] = store_->Book().MembersOfGroup(group.GID);
            auto* item = MakeCheckItem(addressRoot_, Q(group.Name), kGroup, group.GID, false);
            item->setChildIndicatorPolicy(members_[group.GID].empty() ? QTreeWidgetItem::DontShowIndicator
                                                                      : QTreeWidgetItem::ShowIndicator);
            groupItems_[group.GID] = item;
        }
    }
    addressRoot_->setExpanded(wasExpanded);
    updating_ = false;
    RefreshGroupStates();
}

void RecipientTree::RebuildRecent() {
    updating_ = true;
    qDeleteAll(recentRoot_->takeChildren());
    const RecentRecipients& recent = model_.Recent();
    for (int slot = 0; slot < recent.Count(); ++slot)
        if (recent.InUse(slot))
            MakeCheckItem(recentRoot_, Q(recent.Label(slot)), kRecent, slot, recent.Selected(slot));
    updating_ = false;
}

void RecipientTree::AddExternalNode(QTreeWidgetItem* parent, const ExternalBookTree& node, size_t& leafIndex) {
    if (node.leaf) {
        const auto& entries = model_.OutlookEntries();
        const bool on = leafIndex < entries.size() && entries[leafIndex].selected;
        externalItems_.push_back(MakeCheckItem(parent, QString("%1 (%2)").arg(Q(node.name), Q(node.mobile)), kExternal,
                                               static_cast<int64_t>(leafIndex), on));
        ++leafIndex;
        return;
    }
    auto* item = new QTreeWidgetItem(parent, QStringList(Q(node.name)));
    item->setData(0, kKindRole, kExternalNode);
    for (const auto& child : node.children)
        AddExternalNode(item, child, leafIndex);
}

void RecipientTree::ShowExternalBook(const ExternalBookTree& tree) {
    updating_ = true;
    qDeleteAll(externalRoot_->takeChildren());
    externalItems_.clear();
    size_t leafIndex = 0;
    // The tree's root stands for the whole book; its children are the address lists.
    for (const auto& child : tree.children)
        AddExternalNode(externalRoot_, child, leafIndex);
    externalRoot_->setExpanded(true);
    updating_ = false;
}

void RecipientTree::FillGroup(QTreeWidgetItem* group) {
    if (group->childCount() > 0)
        return;
    const int32_t gid = group->data(0, kIdRole).toInt();
    updating_ = true;
    for (int32_t cid : members_[gid]) {
        auto label = contactLabels_.find(cid);
        if (label == contactLabels_.end())
            continue;
        auto* item = MakeCheckItem(group, label->second, kContact, cid, model_.Contacts().IsSelected(cid));
        contactItems_.emplace(cid, item);
    }
    updating_ = false;
}

void RecipientTree::OnItemExpanded(QTreeWidgetItem* item) {
    const int kind = item->data(0, kKindRole).toInt();
    if (kind == kGroup)
        FillGroup(item);
    if (item == externalRoot_ && !externalRequested_) {
        externalRequested_ = true;
        emit externalBookWanted(false);
    }
}

void RecipientTree::RefreshGroupStates() {
    updating_ = true;
    for (auto& [gid, item] : groupItems_) {
        switch (model_.Contacts().GroupState(members_[gid])) {
            case ContactSelection::GroupCheck::All:
                item->setCheckState(0, members_[gid].empty() ? Qt::Unchecked : Qt::Checked);
                break;
            case ContactSelection::GroupCheck::Some:
                item->setCheckState(0, Qt::PartiallyChecked);
                break;
            case ContactSelection::GroupCheck::None:
                item->setCheckState(0, Qt::Unchecked);
                break;
        }
    }
    updating_ = false;
}

void RecipientTree::RefreshChecks() {
    updating_ = true;
    for (auto& [cid, item] : contactItems_)
        item->setCheckState(0, CheckOf(model_.Contacts().IsSelected(cid)));
    const auto& entries = model_.OutlookEntries();
    for (size_t i = 0; i < externalItems_.size() && i < entries.size(); ++i)
        externalItems_[i]->setCheckState(0, CheckOf(entries[i].selected));
    updating_ = false;
    RebuildRecent();
    RefreshGroupStates();
}

void RecipientTree::OnItemChanged(QTreeWidgetItem* item, int) {
    if (updating_)
        return;
    const int kind = item->data(0, kKindRole).toInt();
    const qlonglong id = item->data(0, kIdRole).toLongLong();
    const bool on = item->checkState(0) != Qt::Unchecked;
    switch (kind) {
        case kGroup:
            // A dimmed box that is clicked becomes ticked: all members.
            model_.Contacts().SelectGroup(members_[static_cast<int32_t>(id)], on);
            break;
        case kContact:
            model_.Contacts().Select(static_cast<int32_t>(id), on);
            break;
        case kExternal:
            if (static_cast<size_t>(id) < model_.OutlookEntries().size())
                model_.OutlookEntries()[static_cast<size_t>(id)].selected = on;
            break;
        case kRecent:
            model_.Recent().SetSelected(static_cast<int>(id), on);
            break;
        default:
            return;
    }
    if (kind == kGroup || kind == kContact) {
        updating_ = true;
        for (auto& [cid, other] : contactItems_)
            other->setCheckState(0, CheckOf(model_.Contacts().IsSelected(cid)));
        updating_ = false;
        RefreshGroupStates();
    }
    emit selectionCountChanged();
}

QTreeWidgetItem* RecipientTree::GroupItem(int32_t gid) const {
    auto it = groupItems_.find(gid);
    return it == groupItems_.end() ? nullptr : it->second;
}

std::vector<QTreeWidgetItem*> RecipientTree::ContactItems(int32_t cid) const {
    std::vector<QTreeWidgetItem*> items;
    auto range = contactItems_.equal_range(cid);
    for (auto it = range.first; it != range.second; ++it)
        items.push_back(it->second);
    return items;
}

void RecipientTree::ShowContact(int32_t cid) {
    for (auto& [gid, members] : members_) {
        if (std::find(members.begin(), members.end(), cid) == members.end())
            continue;
        QTreeWidgetItem* group = groupItems_[gid];
        addressRoot_->setExpanded(true);
        group->setExpanded(true);  // fills it
        for (QTreeWidgetItem* item : ContactItems(cid)) {
            if (item->parent() == group) {
                setCurrentItem(item);
                scrollToItem(item);
                return;
            }
        }
    }
}

void RecipientTree::ShowExternalEntry(size_t index) {
    if (index >= externalItems_.size())
        return;
    QTreeWidgetItem* item = externalItems_[index];
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    setCurrentItem(item);
    scrollToItem(item);
}

void RecipientTree::contextMenuEvent(QContextMenuEvent* event) {
    QTreeWidgetItem* item = itemAt(event->pos());
    QMenu menu(this);
    QAction* rebuild = menu.addAction(Text(kTextRebuild));
    QAction* clear = menu.addAction(Text(kTextClearRecent));
    rebuild->setEnabled(item == externalRoot_);
    clear->setEnabled(item == recentRoot_);
    QAction* chosen = menu.exec(event->globalPos());
    if (chosen == rebuild) {
        externalRequested_ = true;
        emit externalBookWanted(true);
    } else if (chosen == clear) {
        emit clearRecentRequested();
    }
}

}  // namespace quillon
