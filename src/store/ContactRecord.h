// Address-book records: a contact (row of CONTACTS with its group list), a group (row of GROUP),
// and a group with its member count.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

struct ContactRecord {
    // Longest text each field carries when a contact is loaded (longer stored texts are cut,
    // on a whole UTF-8 character).
    static constexpr size_t kMaxName = 32;
    static constexpr size_t kMaxSurname = 32;
    static constexpr size_t kMaxTitle = 8;
    static constexpr size_t kMaxCustom = 32;
    static constexpr size_t kMaxMobile = 19;

    std::string Name;
    std::string Surname;
    std::string Title;
    std::string Custom;
    std::string Mobile;
    // GIDs the contact belongs to. AddContact and UpdateContact write one membership per entry,
    // in this order; LoadContact leaves it empty.
    std::vector<int32_t> groups;

    void Clear() { *this = ContactRecord(); }
};

// A contact with its id, as listed by ListContacts.
struct ContactRow {
    int32_t CID = 0;
    ContactRecord contact;
};

struct GroupRecord {
    int32_t GID = 0;
    int32_t Cnt = 0;  // written 0 and never changed; member counts come from CONTACT_GROUP_MAP
    std::string Name;
};

// A group with the number of membership rows carrying its GID.
struct GroupCount {
    int32_t GID = 0;
    std::string Name;
    int32_t count = 0;
};

}  // namespace quillon
