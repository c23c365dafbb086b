// The outbox list as a Qt table model. It holds the display order (message IDs) and reads the
// cells of a row from the store only when the view asks for them, keeping a small cache of the
// rows last painted; so a list of any length costs its IDs and what is on the screen.
#pragma once

#include <QAbstractTableModel>
#include <unordered_map>
#include <vector>

#include "outbox/OutboxOrder.h"
#include "store/SmsRecord.h"

namespace quillon {

class MessageStore;

class OutboxModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit OutboxModel(MessageStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Re-reads the list and sorts it ascending by the sort column (a reset of the model).
    void Rebuild();
    // Takes a list rebuilt elsewhere (a reset of the model).
    void Adopt(OutboxOrder&& order);
    // Messages' statuses changed: sorted by status, the list is sorted again (one reset);
    // otherwise only their rows are repainted.
    void StatusesChanged(const std::vector<int32_t>& ids);
    // A click on a column heading (a reset of the model).
    void ClickColumn(int column);
    void SetFilter(const OutboxFilter& filter);

    const OutboxOrder& Order() const { return order_; }
    int32_t IdAt(int row) const { return order_.IdAt(row); }
    int RowOf(int32_t id) const { return order_.RowOf(id); }
    // The record of a row, read under the store's lock; false when it cannot be read.
    bool Record(int row, SmsRecord& record) const;
    // How many store reads the cells needed so far (the cache's misses).
    long long StoreReads() const { return storeReads_; }

private:
    MessageStore& store_;
    OutboxOrder order_;
    struct CachedRow {
        bool ok = false;
        SmsRecord record;
    };
    mutable std::unordered_map<int32_t, CachedRow> cache_;
    mutable long long storeReads_ = 0;
};

}  // namespace quillon
