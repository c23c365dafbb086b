// The address book as the pane holds it in memory: every contact in CID order (the order of the
// CONTACTS view), the members of each group as indexes into that table, and lower-cased copies of
// the searched fields. Built in one pass over the store; no Qt.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "store/ContactRecord.h"

namespace quillon {

class AddressBook;

class ContactTable {
public:
    static constexpr int32_t kAllContacts = 1;

    void Load(AddressBook& book);

    size_t Size() const { return rows_.size(); }
    const ContactRow& Row(size_t index) const { return rows_[index]; }
    // The table index of a contact, or -1.
    int64_t IndexOf(int32_t cid) const;
    // Table indexes of the members of a group, in membership order; every contact for the catch-all group.
    const std::vector<int32_t>& MembersOf(int32_t gid) const;

    // The quick search: the first contact from `start` on (wrapping round to 0 and stopping where
    // it began) whose name, surname or mobile number holds `text` ignoring letter case; -1 when none.
    int64_t Find(const std::string& text, size_t start) const;

private:
    std::vector<ContactRow> rows_;
    std::vector<std::string> keys_;  // per contact: the three fields folded, joined by '\x01'
    std::unordered_map<int32_t, size_t> byCid_;
    std::unordered_map<int32_t, std::vector<int32_t>> members_;
    std::vector<int32_t> all_;
};

}  // namespace quillon
