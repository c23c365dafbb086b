#include "addressbook/ContactTable.h"

#include <algorithm>

#include "core/TextUtil.h"
#include "store/AddressBook.h"

namespace quillon {

namespace {

// The searched part of a field: its first 127 bytes, letter case folded.
std::string SearchKey(const std::string& field) {
    return FoldCase(CutUtf8(field, 127));
}

// Texts longer than a length field can say are cut (the store keeps far shorter ones).
std::string Fit(const std::string& text) {
    return CutUtf8(text, 0xFFFF);
}

}  // namespace

void ContactTable::Load(AddressBook& book) {
    *this = ContactTable();
    book.VisitContacts([this](int32_t cid, const ContactRecord& c) {
        Texts t{};
        t.offset = static_cast<uint32_t>(text_.size());
        const std::string fields[3] = {Fit(c.Name), Fit(c.Surname), Fit(c.Mobile)};
        for (int i = 0; i < 3; ++i) {
            t.len[i] = static_cast<uint16_t>(fields[i].size());
            text_ += fields[i];
        }
        t.keyOffset = static_cast<uint32_t>(keys_.size());
        for (const auto& f : fields)
            keys_ += SearchKey(f) + '\x01';
        t.keyLen = static_cast<uint32_t>(keys_.size() - t.keyOffset);
        all_.push_back(static_cast<int32_t>(cids_.size()));
        cids_.push_back(cid);
        texts_.push_back(t);
    });
    firstGroup_.assign(cids_.size(), 0);
    book.VisitMemberships([this](int32_t cid, int32_t gid) {
        int64_t index = IndexOf(cid);
        if (index < 0)
            return;
        if (firstGroup_[static_cast<size_t>(index)] == 0)
            firstGroup_[static_cast<size_t>(index)] = gid;
        if (gid != kAllContacts)
            members_[gid].push_back(static_cast<int32_t>(index));
    });
    text_.shrink_to_fit();
    keys_.shrink_to_fit();
}

std::string_view ContactTable::Field(size_t index, ContactField field) const {
    const Texts& t = texts_[index];
    size_t offset = t.offset;
    int n = static_cast<int>(field);
    for (int i = 0; i < n; ++i)
        offset += t.len[i];
    return std::string_view(text_).substr(offset, t.len[n]);
}

int64_t ContactTable::IndexOf(int32_t cid) const {
    auto it = std::lower_bound(cids_.begin(), cids_.end(), cid);
    return it == cids_.end() || *it != cid ? -1 : static_cast<int64_t>(it - cids_.begin());
}

const std::vector<int32_t>& ContactTable::MembersOf(int32_t gid) const {
    static const std::vector<int32_t> kNone;
    if (gid == kAllContacts)
        return all_;
    auto it = members_.find(gid);
    return it == members_.end() ? kNone : it->second;
}

int64_t ContactTable::Find(const std::string& text, size_t start) const {
    if (cids_.empty() || text.empty())
        return -1;
    const std::string folded = FoldCase(text);
    if (folded.find('\x01') != std::string::npos)
        return -1;
    const std::string_view keys(keys_);
    start %= cids_.size();
    for (size_t n = 0; n < cids_.size(); ++n) {
        size_t i = (start + n) % cids_.size();
        if (keys.substr(texts_[i].keyOffset, texts_[i].keyLen).find(folded) != std::string_view::npos)
            return static_cast<int64_t>(i);
    }
    return -1;
}

}  // namespace quillon
