#include "compose/ToList.h"

#include <algorithm>

#include "core/TextUtil.h"

namespace quillon {

bool ToList::IsAcceptableText(const std::string& text) {
    return text.size() <= kMaxToNumberLength && std::all_of(text.begin(), text.end(), IsAcceptableCharacter);
}

std::vector<std::string> ToList::Numbers() const {
    std::vector<std::string> numbers;
    for (const auto& r : rows_)
        if (!r.empty())
            numbers.push_back(r);
    return numbers;
}

void ToList::Select(int row) {
    selected_ = (row >= 0 && static_cast<size_t>(row) < rows_.size()) ? row : -1;
}

int ToList::BeginEdit() const {
    return selected_ >= 0 ? selected_ : static_cast<int>(rows_.size()) - 1;
}

std::string ToList::BeginEditWithDigit(char digit, int& row) const {
    row = BeginEdit();
    return IsAcceptableCharacter(digit) ? std::string(1, digit) : std::string();
}

bool ToList::EndEdit(int row, const std::optional<std::string>& text) {
    if (!text || row < 0 || static_cast<size_t>(row) >= rows_.size())
        return true;
    if (text->empty()) {
        rows_.erase(rows_.begin() + row);
        if (selected_ >= static_cast<int>(rows_.size()))
            selected_ = -1;
        EnsureTrailingEmptyRow();
        return true;
    }
    if (!IsAcceptableText(*text))
        return false;
    rows_[static_cast<size_t>(row)] = *text;
    if (static_cast<size_t>(row) == rows_.size() - 1) {
        rows_.emplace_back();
        selected_ = static_cast<int>(rows_.size()) - 1;
    }
    return true;
}

void ToList::DeleteSelected() {
    if (selected_ >= 0 && static_cast<size_t>(selected_) < rows_.size())
        rows_.erase(rows_.begin() + selected_);
    if (selected_ >= static_cast<int>(rows_.size()))
        selected_ = -1;
    EnsureTrailingEmptyRow();
}

void ToList::AddNumber(const std::string& number) {
    EnsureTrailingEmptyRow();
    rows_.insert(rows_.end() - 1, number);
}

void ToList::Reset() {
    rows_.assign(1, std::string());
    selected_ = -1;
}

int ToList::RecipientRows() const {
    return rows_.empty() ? 0 : static_cast<int>(rows_.size()) - 1;
}

void ToList::EnsureTrailingEmptyRow() {
    if (rows_.empty() || !rows_.back().empty())
        rows_.emplace_back();
}

int CountRecipients(const ToList& toList, const ContactSelection& contacts, const RecentRecipients& recent,
                    const std::vector<OutlookEntry>& outlookEntries) {
    int n = toList.RecipientRows() + contacts.SelectedCount() + recent.SelectedCount();
    for (const auto& e : outlookEntries)
        if (e.selected)
            ++n;
    return n;
}

std::string SearchFold(const std::string& text, size_t maxBytes) {
    return AsciiLower(CutToWholeCharacters(text, maxBytes));
}

QuickSearch::Match QuickSearch::Next(const std::string& fieldText, const std::vector<ContactRow>& contacts,
                                     const ExternalSource& external) {
    const std::string needle = SearchFold(fieldText, kMaxTextLength);
    if (needle != lastText_)
        restart_ = true;

    const std::vector<OutlookEntry>* entries = nullptr;
    bool externalAsked = false;
    auto externalEntries = [&]() -> const std::vector<OutlookEntry>* {
        if (!externalAsked) {
            externalAsked = true;
            entries = external ? external() : nullptr;
        }
        return entries;
    };
    auto contactMatches = [&](size_t i) {
        const ContactRecord& c = contacts[i].contact;
        return SearchFold(c.Name, kMaxFieldLength).find(needle) != std::string::npos ||
               SearchFold(c.Surname, kMaxFieldLength).find(needle) != std::string::npos ||
               SearchFold(c.Mobile, kMaxFieldLength).find(needle) != std::string::npos;
    };
    auto entryMatches = [&](const OutlookEntry& e) {
        return SearchFold(e.name, kMaxFieldLength).find(needle) != std::string::npos ||
               SearchFold(e.number, kMaxFieldLength).find(needle) != std::string::npos;
    };

    // Where this walk begins: the first contact, or one step after the previous match.
    bool startExternal = false;
    size_t startIndex = 0;
    if (!restart_ && haveLast_) {
        startExternal = lastExternal_;
        startIndex = lastIndex_ + 1;
    }
    restart_ = false;
    lastText_ = needle;

    auto found = [&](bool isExternal, size_t index) {
        haveLast_ = true;
        lastExternal_ = isExternal;
        lastIndex_ = index;
        Match m;
        m.kind = isExternal ? Match::Kind::External : Match::Kind::Contact;
        m.index = index;
        m.cid = isExternal ? 0 : contacts[index].CID;
        return m;
    };

    // Phase 1 from the start (when starting among contacts), phase 2, then round to the start.
    if (!startExternal) {
        for (size_t i = startIndex; i < contacts.size(); ++i)
            if (contactMatches(i))
                return found(false, i);
    }
    if (const auto* list = externalEntries()) {
        for (size_t i = startExternal ? startIndex : 0; i < list->size(); ++i)
            if (entryMatches((*list)[i]))
                return found(true, i);
    }
    const size_t contactEnd = startExternal ? contacts.size() : std::min(startIndex, contacts.size());
    for (size_t i = 0; i < contactEnd; ++i)
        if (contactMatches(i))
            return found(false, i);
    if (startExternal) {
        if (const auto* list = externalEntries()) {
            for (size_t i = 0; i < std::min(startIndex, list->size()); ++i)
                if (entryMatches((*list)[i]))
                    return found(true, i);
        }
    }
    return Match{};
}

}  // namespace quillon
