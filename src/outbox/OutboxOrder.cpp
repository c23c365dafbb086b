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

// A number key and an ID in one value whose unsigned order is key order, then ID order.
uint64_t PackKey(int32_t key, int32_t id) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(key) ^ 0x80000000u) << 32) |
           (static_cast<uint32_t>(id) ^ 0x80000000u);
}

int32_t UnpackId(uint64_t packed) {
    return static_cast<int32_t>(static_cast<uint32_t>(packed) ^ 0x80000000u);
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

void OutboxOrder::Adopt(OutboxOrder&& other) {
    filter_ = std::move(other.filter_);
    sortColumn_ = other.sortColumn_;
    descending_ = other.descending_;
    ids_ = std::move(other.ids_);
    keyed_ = std::move(other.keyed_);
    rows_.clear();
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

bool OutboxOrder::StatusChanged(const std::vector<int32_t>& ids) {
    if (sortColumn_ != static_cast<int>(OutboxColumn::Status))
        return false;
    descending_ = false;
    if (keyed_.size() != ids_.size() || !filter_.text.empty() || filter_.status != StatusGroup::All)
        return Sort();
    // Each changed message leaves its place and goes in at the place of its new status: the same
    // order a full sort gives, without reading every row again.
    std::unordered_map<int32_t, uint64_t> moved;
    for (int32_t id : ids) {
        SmsRecord r;
        if (!store_.Outbox().GetSms(id, r))
            return Sort();  // gone: a rebuild will follow, meanwhile read it all
        moved[id] = PackKey(r.Stat, id);
    }
    size_t before = keyed_.size();
    keyed_.erase(
        std::remove_if(keyed_.begin(), keyed_.end(), [&moved](uint64_t k) { return moved.count(UnpackId(k)) > 0; }),
        keyed_.end());
    if (before - keyed_.size() != moved.size())
        return Sort();  // a message the list did not hold
    for (const auto& entry : moved)
        keyed_.insert(std::lower_bound(keyed_.begin(), keyed_.end(), entry.second), entry.second);
    for (size_t i = 0; i < keyed_.size(); ++i)
        ids_[i] = UnpackId(keyed_[i]);
    rows_.clear();
    return true;
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
    keyed_.clear();
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
        while (q.Step())
            keyed_.push_back(PackKey(q.Int(1), q.Int(0)));
        ok = !q.Failed();
        std::sort(keyed_.begin(), keyed_.end());
        ids_.reserve(keyed_.size());
        for (uint64_t k : keyed_)
            ids_.push_back(UnpackId(k));
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
    if (!ok) {
        ids_.clear();
        keyed_.clear();
    }
    return ok;
}

}  // namespace quillon
