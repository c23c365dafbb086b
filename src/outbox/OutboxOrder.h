// The order of the outbox view: which messages it lists (an optional text and status filter) and
// in what order, as message IDs. It holds keys only while sorting; the cells are read per visible
// row by whoever paints them.
//
// Sorting: by time or status, ascending by the key and then in store order (ascending ID); by
// recipient, charge or text, ascending by a byte-wise (case-sensitive) comparison of the texts,
// equal texts in store order. A click on the sorted column reverses the list as it stands; a
// rebuild sorts ascending again.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "outbox/OutboxText.h"

namespace quillon {

class MessageStore;

struct OutboxFilter {
    std::string text;  // in the recipient or the message, ASCII letter case ignored
    StatusGroup status = StatusGroup::All;

    bool operator==(const OutboxFilter& other) const { return text == other.text && status == other.status; }
};

class OutboxOrder {
public:
    explicit OutboxOrder(MessageStore& store) : store_(store) {}

    // Reads the messages and sorts them ascending by the sort column. False when the store could
    // not be read (the list is then empty).
    bool Rebuild();
    // Makes `column` the sort column and rebuilds.
    bool SortBy(int column);
    // A click on a column heading: the sorted column reverses; another column becomes the sort
    // column, sorted ascending.
    bool ClickColumn(int column);
    // Messages' statuses changed: only a list sorted by status is sorted again (ascending, as a
    // rebuild does), by moving just those messages when the list knows them. True when it was.
    bool StatusChanged(const std::vector<int32_t>& ids);

    void SetFilter(const OutboxFilter& filter) { filter_ = filter; }
    // Takes the list of another order over the same store (one sorted elsewhere, for instance on
    // another thread): its filter, sort column, direction and rows.
    void Adopt(OutboxOrder&& other);
    const OutboxFilter& Filter() const { return filter_; }

    int SortColumn() const { return sortColumn_; }
    bool Descending() const { return descending_; }
    const std::vector<int32_t>& Ids() const { return ids_; }
    int Count() const { return static_cast<int>(ids_.size()); }
    int32_t IdAt(int row) const { return row >= 0 && row < Count() ? ids_[row] : 0; }
    // The row of a message, -1 when it is not listed.
    int RowOf(int32_t id) const;

private:
    bool Sort();

    MessageStore& store_;
    OutboxFilter filter_;
    int sortColumn_ = 0;
    bool descending_ = false;
    std::vector<int32_t> ids_;
    // Sorted by a number: key and ID of every listed message, ascending (see Sort).
    std::vector<uint64_t> keyed_;
    mutable std::unordered_map<int32_t, int> rows_;  // id -> row, built on first use
};

}  // namespace quillon
