#include "compose/ContactSelection.h"

#include "addressbook/ExternalBook.h"

namespace quillon {

void ContactSelection::Resize(size_t size) {
    const size_t old = entries_.size();
    entries_.resize(size);
    for (size_t i = old; i < size; ++i)
        entries_[i] = Entry{static_cast<int32_t>(i), false};
}

void ContactSelection::Clear() {
    for (auto& e : entries_)
        e.selected = false;
}

bool ContactSelection::Select(int32_t cid, bool selected) {
    if (cid < 0 || static_cast<size_t>(cid) >= entries_.size())
        return false;
    entries_[static_cast<size_t>(cid)].selected = selected;
    return true;
}

bool ContactSelection::IsSelected(int32_t cid) const {
    if (cid < 0 || static_cast<size_t>(cid) >= entries_.size())
        return false;
    return entries_[static_cast<size_t>(cid)].selected;
}

void ContactSelection::SelectGroup(const std::vector<int32_t>& members, bool selected) {
    for (int32_t cid : members)
        Select(cid, selected);
}

ContactSelection::GroupCheck ContactSelection::GroupState(const std::vector<int32_t>& members) const {
    size_t selected = 0;
    for (int32_t cid : members)
        if (IsSelected(cid))
            ++selected;
    if (selected == 0)
        return GroupCheck::None;
    return selected == members.size() ? GroupCheck::All : GroupCheck::Some;
}

int ContactSelection::SelectedCount() const {
    int n = 0;
    for (const auto& e : entries_)
        if (e.selected)
            ++n;
    return n;
}

std::vector<int32_t> ContactSelection::SelectedCids() const {
    std::vector<int32_t> cids;
    for (const auto& e : entries_)
        if (e.selected)
            cids.push_back(e.cid);
    return cids;
}

namespace {
void CollectLeaves(const ExternalBookTree& node, std::vector<OutlookEntry>& out) {
    if (node.leaf) {
        out.push_back(OutlookEntry{node.name, node.mobile, false});
        return;
    }
    for (const auto& child : node.children)
        CollectLeaves(child, out);
}
}  // namespace

std::vector<OutlookEntry> OutlookEntriesFromTree(const ExternalBookTree& tree) {
    std::vector<OutlookEntry> entries;
    CollectLeaves(tree, entries);
    return entries;
}

}  // namespace quillon
