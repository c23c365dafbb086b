// The group list shown in the address book and compose windows: each group with its member count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

class AddressBook;

struct GroupListEntry {
    int32_t GID = 0;
    std::string Name;
    int32_t count = 0;        // membership rows carrying this GID
    std::string displayText;  // "Name (count)"; the first group shows its name alone while it has no members
};

// Every group in GID order with its member count and display text.
std::vector<GroupListEntry> GroupListWithCounts(AddressBook& book);

}  // namespace quillon
