// Which recipients are ticked: one entry per possible contact id, and the entries of the external
// address book in the order in which they were read.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

struct ExternalBookTree;

// One entry per CID, sized to the next free contact id + 1, so a contact that is in several groups
// has one flag and counts once.
class ContactSelection {
public:
    struct Entry {
        int32_t cid = 0;
        bool selected = false;
    };

    // A group's check box: checked when all members are selected, dimmed when some are.
    enum class GroupCheck { None, Some, All };

    size_t Size() const { return entries_.size(); }
    // New size; flags of ids that stay are kept.
    void Resize(size_t size);
    void Clear();  // every flag off

    // False (and nothing changes) for an id outside the table.
    bool Select(int32_t cid, bool selected);
    bool IsSelected(int32_t cid) const;
    // Ticks or clears every member of a group (ids outside the table are skipped).
    void SelectGroup(const std::vector<int32_t>& members, bool selected);
    GroupCheck GroupState(const std::vector<int32_t>& members) const;

    int SelectedCount() const;
    std::vector<int32_t> SelectedCids() const;  // ascending

private:
    std::vector<Entry> entries_;
};

// An entry of the external address book: a leaf of its tree.
struct OutlookEntry {
    std::string name;
    std::string number;
    bool selected = false;
};

// The leaves of the tree, depth first, in the order in which they were read.
std::vector<OutlookEntry> OutlookEntriesFromTree(const ExternalBookTree& tree);

}  // namespace quillon
