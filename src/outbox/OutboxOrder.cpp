#include "outbox/OutboxOrder.h"

#include <algorithm>
#include <mutex>

#include "store/MessageStore.h"

namespace quillon {

namespace {
// The stored property each column sorts by.
constexpr const char* kKeyColumns[kOutboxColumnCount] = {"\"Time\"", "\"ToInfo\"", "\"Stat\"", "\"Charge\"", "\"Msg\""};

bool IsNumericColumn(int column) {
    return column == static_cast<int>(OutboxColumn::Sent) || column == static_cast<int>(OutboxColumn::Status);
}

std::string AsciiLower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}
}  // namespace

bool OutboxOrder::Rebuild() {
    descending_ = false;
    return Sort();
}

bool OutboxOrder::SortBy(int column) {
    if (column < 0 || column >= kOutboxColumnCount)
        return false;
    sortColumn_ = column;
    return Rebuild();
}

bool OutboxOrder::ClickColumn(int column) {
    if (column < 0 || column >= kOutboxColumnCount)
        return false;
    if (column == sortColumn_) {
        std::reverse(ids_.begin(), ids_.end());
        rows_.clear();
        descending_ = !descending_;
        return true;
    }
    sortColumn_ = column;
    descending_ = false;
    return Sort();
}

bool OutboxOrder::StatusChanged(int32_t) {
    if (sortColumn_ != static_cast<int>(OutboxColumn::Status))
        return false;
    descending_ = false;
    return Sort();
}

int OutboxOrder::RowOf(int32_t id) const {
    if (rows_.empty() && !ids_.empty()) {
        rows_.reserve(ids_.size());
        for (size_t i = 0; i < ids_.size(); ++i)
            rows_.emplace(ids_[i], static_cast<int>(i));
    }
    auto it = rows_.find(id);
    return it == rows_.end() ? -1 : it->second;
}

bool OutboxOrder::Sort() {
    ids_.clear();
    rows_.clear();
    std::string sql = std::string("SELECT \"ID\", ") + kKeyColumns[sortColumn_] + " FROM \"SMS\" WHERE 1";
    std::vector<int32_t> codes = StatusGroupCodes(filter_.status);
    if (!codes.empty()) {
        sql += " AND \"Stat\" IN (";
        for (size_t i = 0; i < codes.size(); ++i)
            sql += (i ? ", " : "") + std::to_string(codes[i]);
        sql += ")";
    }
    const bool byText = !filter_.text.empty();
    if (byText)
        sql += " AND (instr(lower(\"ToInfo\"), ?) > 0 OR instr(lower(\"Msg\"), ?) > 0)";
    sql += " ORDER BY \"ID\"";

    StoreDatabase& db = store_.Database();
    std::lock_guard<std::recursive_mutex> lock(store_.SmsLock());
    StoreDatabase::Query q(db, sql);
    if (byText) {
        std::string needle = AsciiLower(filter_.text);
        q.Bind(needle).Bind(needle);
    }
    bool ok = true;
    if (IsNumericColumn(sortColumn_)) {
        // Keys and IDs in one 64-bit value: one integer sort gives key order, then store order.
        std::vector<uint64_t> keyed;
        while (q.Step()) {
            auto key = static_cast<uint32_t>(q.Int(1)) ^ 0x80000000u;  // signed order as unsigned
            auto id = static_cast<uint32_t>(q.Int(0)) ^ 0x80000000u;
            keyed.push_back((static_cast<uint64_t>(key) << 32) | id);
        }
        ok = !q.Failed();
        std::sort(keyed.begin(), keyed.end());
        ids_.reserve(keyed.size());
        for (uint64_t k : keyed)
            ids_.push_back(static_cast<int32_t>(static_cast<uint32_t>(k) ^ 0x80000000u));
    } else {
        // The texts stay where they were read; only their positions move while sorting.
        std::vector<std::string> texts;
        std::vector<int32_t> found;
        while (q.Step()) {
            texts.push_back(q.Text(1));
            found.push_back(q.Int(0));
        }
        ok = !q.Failed();
        std::vector<uint32_t> positions(texts.size());
        for (uint32_t i = 0; i < positions.size(); ++i)
            positions[i] = i;
        // Stable: equal texts keep store order.
        std::stable_sort(positions.begin(), positions.end(),
                         [&texts](uint32_t a, uint32_t b) { return texts[a] < texts[b]; });
        ids_.reserve(positions.size());
        for (uint32_t p : positions)
            ids_.push_back(found[p]);
    }
    if (!ok)
        ids_.clear();
    return ok;
}

}  // namespace quillon
