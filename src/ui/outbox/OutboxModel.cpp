#include "ui/outbox/OutboxModel.h"

#include "outbox/OutboxText.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "ui/outbox/StatusIcons.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {
// A screenful many times over; the cache starts again when it grows past this.
constexpr size_t kCacheRows = 1024;

// A message's text on one line of the list; the tool tip shows it whole.
QString OneLine(QString text) {
    for (QChar& c : text) {
        if (c == '\n' || c == '\r' || c == '\t')
            c = ' ';
    }
    return text;
}
}  // namespace

OutboxModel::OutboxModel(MessageStore& store, QObject* parent)
    : QAbstractTableModel(parent), store_(store), order_(store) {}

int OutboxModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : order_.Count();
}

int OutboxModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kOutboxColumnCount;
}

bool OutboxModel::Record(int row, SmsRecord& record) const {
    const int32_t id = order_.IdAt(row);
    if (id == 0)
        return false;
    auto it = cache_.find(id);
    if (it == cache_.end()) {
        if (cache_.size() >= kCacheRows)
            cache_.clear();
        CachedRow cached;
        ++storeReads_;
        cached.ok = store_.Outbox().GetSms(id, cached.record);
        it = cache_.emplace(id, std::move(cached)).first;
    }
    record = it->second.record;
    return it->second.ok;
}

QVariant OutboxModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int column = index.column();
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole && role != Qt::DecorationRole &&
        role != Qt::AccessibleTextRole)
        return {};
    SmsRecord r;
    const bool ok = Record(index.row(), r);
    if (role == Qt::DecorationRole) {
        if (column != static_cast<int>(OutboxColumn::Sent) || !ok)
            return {};
        return StatusIcon(r.Stat);
    }
    if (!ok)
        return QStringLiteral("?");
    const QString text = Q(OutboxCellText(r, column));
    switch (role) {
        case Qt::DisplayRole:
            return column == static_cast<int>(OutboxColumn::Message) ? OneLine(text) : text;
        case Qt::ToolTipRole:
            if (column == static_cast<int>(OutboxColumn::Message))
                return text;
            return Q(StatusExplanation(r.Stat));
        case Qt::AccessibleTextRole:
            // The time cell carries the status image: say the status as well.
            if (column == static_cast<int>(OutboxColumn::Sent))
                return text + ", " + Q(StatusLabel(r.Stat));
            return text;
    }
    return {};
}

QVariant OutboxModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    return Q(OutboxColumnHeading(section));
}

void OutboxModel::Rebuild() {
    beginResetModel();
    cache_.clear();
    order_.Rebuild();
    endResetModel();
}

void OutboxModel::Adopt(OutboxOrder&& order) {
    beginResetModel();
    cache_.clear();
    order_.Adopt(std::move(order));
    endResetModel();
}

void OutboxModel::StatusesChanged(const std::vector<int32_t>& ids) {
    if (ids.empty())
        return;
    for (int32_t id : ids)
        cache_.erase(id);
    if (order_.SortColumn() == static_cast<int>(OutboxColumn::Status)) {
        beginResetModel();
        order_.StatusChanged(ids);
        endResetModel();
        return;
    }
    for (int32_t id : ids) {
        int row = order_.RowOf(id);
        if (row >= 0)
            emit dataChanged(index(row, 0), index(row, kOutboxColumnCount - 1));
    }
}

void OutboxModel::ClickColumn(int column) {
    beginResetModel();
    order_.ClickColumn(column);
    endResetModel();
}

void OutboxModel::SetFilter(const OutboxFilter& filter) {
    beginResetModel();
    cache_.clear();
    order_.SetFilter(filter);
    order_.Rebuild();
    endResetModel();
}

}  // namespace quillon
