#include "addressbook/GroupList.h"

#include "store/AddressBook.h"

namespace quillon {

std::vector<GroupListEntry> GroupListWithCounts(AddressBook& book) {
    std::vector<GroupListEntry> list;
    for (const GroupCount& g : book.GroupsWithMemberCounts()) {
        GroupListEntry e;
        e.GID = g.GID;
        e.Name = g.Name;
        e.count = g.count;
        // The catch-all first group reads as its name alone until someone is in it.
        e.displayText = list.empty() && g.count == 0 ? g.Name : g.Name + " (" + std::to_string(g.count) + ")";
        list.push_back(e);
    }
    return list;
}

}  // namespace quillon
