// The address book as the pane holds it in memory: every contact in CID order (the order of the
// CONTACTS view) with the texts its lists show, the members of each group as indexes into that
// table, and lower-cased copies of the searched fields. Texts live in one block, so 100,000
// contacts take a few megabytes. Built in one pass over the store; no Qt.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace quillon {

class AddressBook;

enum class ContactField { kName, kSurname, kMobile };

class ContactTable {
public:
    static constexpr int32_t kAllContacts = 1;

    void Load(AddressBook& book);

    size_t Size() const { return cids_.size(); }
    int32_t Cid(size_t index) const { return cids_[index]; }
    std::string_view Field(size_t index, ContactField field) const;
    // The contact's first group in membership order; 0 when it has none.
    int32_t FirstGroup(size_t index) const { return firstGroup_[index]; }
    // The table index of a contact, or -1.
    int64_t IndexOf(int32_t cid) const;
    // Table indexes of the members of a group, in membership order; every contact for the catch-all group.
    const std::vector<int32_t>& MembersOf(int32_t gid) const;

    // The quick search: the first contact from `start` on (wrapping round to 0 and stopping where
    // it began) whose name, surname or mobile number holds `text` ignoring letter case; -1 when none.
    int64_t Find(const std::string& text, size_t start) const;

private:
    struct Texts {
        uint32_t offset;     // into text_
        uint16_t len[3];     // name, surname, mobile
        uint32_t keyOffset;  // into keys_
        uint32_t keyLen;
    };
    std::vector<int32_t> cids_;  // ascending
    std::vector<Texts> texts_;
    std::vector<int32_t> firstGroup_;
    std::string text_;
    std::string keys_;  // per contact: the three fields folded, each followed by '\x01'
    std::unordered_map<int32_t, std::vector<int32_t>> members_;
    std::vector<int32_t> all_;
};

}  // namespace quillon
