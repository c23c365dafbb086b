// The "To:" list of typed mobile numbers with its editing rules, the "Recipients Selected" count and
// the quick search over contacts and external entries.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "compose/ContactSelection.h"
#include "compose/RecentRecipients.h"
#include "store/ContactRecord.h"

namespace quillon {

constexpr size_t kMaxToNumberLength = 32;

// One column of numbers; there is always an empty row at the end for typing the next one.
class ToList {
public:
    ToList() { Reset(); }

    // What the edit field accepts: the characters of "1234567890", at most 32 of them.
    static bool IsAcceptableCharacter(char c) { return c >= '0' && c <= '9'; }
    static bool IsAcceptableText(const std::string& text);

    size_t RowCount() const { return rows_.size(); }
    const std::string& Row(size_t row) const { return rows_[row]; }
    const std::vector<std::string>& Rows() const { return rows_; }
    // The rows that hold a number, top to bottom.
    std::vector<std::string> Numbers() const;

    int Selected() const { return selected_; }  // -1: none
    void Select(int row);

    // A click, or a digit key: the row to edit is the selected one, else the last. A digit key
    // starts the edit text with that digit (caret after it).
    int BeginEdit() const;
    std::string BeginEditWithDigit(char digit, int& row) const;

    // Ends an edit of `row`. Cancelled (nullopt): nothing changes. Empty text deletes the row. Text the
    // field would not have accepted is refused (false, nothing changes). Otherwise the row takes the
    // text; when it was the last row an empty row is appended and selected.
    bool EndEdit(int row, const std::optional<std::string>& text);
    // Backspace or Space: deletes the selected row, then keeps an empty row at the end.
    void DeleteSelected();
    // A stored entry (loading a message): added before the trailing empty row, as it stands.
    void AddNumber(const std::string& number);
    // One empty row, nothing selected.
    void Reset();

    // Rows that count as recipients: every row but the trailing empty one.
    int RecipientRows() const;

private:
    void EnsureTrailingEmptyRow();

    std::vector<std::string> rows_;
    int selected_ = -1;
};

// "Recipients Selected": typed numbers, selected contacts, selected recent entries in use and
// selected external entries.
int CountRecipients(const ToList& toList, const ContactSelection& contacts, const RecentRecipients& recent,
                    const std::vector<OutlookEntry>& outlookEntries);

// The quick search: contacts in row order, then the external entries, then round again, continuing
// after the previous match while the search text stays the same.
class QuickSearch {
public:
    static constexpr size_t kMaxTextLength = 50;
    static constexpr size_t kMaxFieldLength = 127;

    struct Match {
        enum class Kind { None, Contact, External };
        Kind kind = Kind::None;
        size_t index = 0;  // position in the contact list or among the external entries
        int32_t cid = 0;   // contacts only
        bool Found() const { return kind != Kind::None; }
    };

    // Entries of the external book, loaded on first need; null when there is none to search.
    using ExternalSource = std::function<const std::vector<OutlookEntry>*()>;

    // The field was edited: the next search starts at the first contact.
    void TextChanged() { restart_ = true; }

    // One press of "Search >>". A search that comes all the way round without a match changes nothing.
    Match Next(const std::string& fieldText, const std::vector<ContactRow>& contacts, const ExternalSource& external);

private:
    bool restart_ = true;
    std::string lastText_;
    // The last match as a position in the walk: contacts first, then external entries.
    bool haveLast_ = false;
    bool lastExternal_ = false;
    size_t lastIndex_ = 0;
};

// Lower case (ASCII letters) of a text cut to `maxBytes` on a whole character.
std::string SearchFold(const std::string& text, size_t maxBytes);

}  // namespace quillon
