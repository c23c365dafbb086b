#include "addressbook/ContactTable.h"

#include "core/TextUtil.h"
#include "store/AddressBook.h"

namespace quillon {

namespace {

// The searched part of a field: its first 127 bytes, letter case folded.
std::string SearchKey(const std::string& field) {
    return FoldCase(CutUtf8(field, 127));
}

}  // namespace

void ContactTable::Load(AddressBook& book) {
    rows_ = book.ListContacts();
    keys_.clear();
    keys_.reserve(rows_.size());
    byCid_.clear();
    byCid_.reserve(rows_.size());
    members_.clear();
    all_.clear();
    all_.reserve(rows_.size());
    for (size_t i = 0; i < rows_.size(); ++i) {
        const ContactRecord& c = rows_[i].contact;
        keys_.push_back(SearchKey(c.Name) + '\x01' + SearchKey(c.Surname) + '\x01' + SearchKey(c.Mobile));
        byCid_[rows_[i].CID] = i;
        all_.push_back(static_cast<int32_t>(i));
        for (int32_t gid : c.groups)
            if (gid != kAllContacts)
                members_[gid].push_back(static_cast<int32_t>(i));
    }
}

int64_t ContactTable::IndexOf(int32_t cid) const {
    auto it = byCid_.find(cid);
    return it == byCid_.end() ? -1 : static_cast<int64_t>(it->second);
}

const std::vector<int32_t>& ContactTable::MembersOf(int32_t gid) const {
    static const std::vector<int32_t> kNone;
    if (gid == kAllContacts)
        return all_;
    auto it = members_.find(gid);
    return it == members_.end() ? kNone : it->second;
}

int64_t ContactTable::Find(const std::string& text, size_t start) const {
    if (rows_.empty() || text.empty())
        return -1;
    const std::string folded = FoldCase(text);
    if (folded.find('\x01') != std::string::npos)
        return -1;
    start %= rows_.size();
    for (size_t n = 0; n < rows_.size(); ++n) {
        size_t i = (start + n) % rows_.size();
        if (keys_[i].find(folded) != std::string::npos)
            return static_cast<int64_t>(i);
    }
    return -1;
}

}  // namespace quillon
