// The address book pane's two lists: the group list (a drop target for contacts) and the member
// list (a drag source), each a view over a model of the pane's in-memory tables.
#pragma once

#include <QAbstractListModel>
#include <QAbstractTableModel>
#include <QListView>
#include <QTableView>
#include <functional>
#include <vector>

#include "addressbook/ContactTable.h"
#include "addressbook/GroupList.h"

namespace quillon {

class GroupListModel : public QAbstractListModel {
    Q_OBJECT
public:
    using QAbstractListModel::QAbstractListModel;
    void SetGroups(std::vector<GroupListEntry> groups);
    const std::vector<GroupListEntry>& Groups() const { return groups_; }
    int RowOf(int32_t gid) const;  // -1 when absent

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    std::vector<GroupListEntry> groups_;
};

// The members of one group: rows are indexes into the pane's contact table.
class MemberListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit MemberListModel(const ContactTable& table, QObject* parent = nullptr)
        : QAbstractTableModel(parent), table_(table) {}
    void SetMembers(const std::vector<int32_t>* members);
    // The contact-table index of a row.
    int32_t TableIndex(int row) const { return (*members_)[static_cast<size_t>(row)]; }
    int RowOfTableIndex(int32_t tableIndex) const;  // -1 when not shown

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const ContactTable& table_;
    const std::vector<int32_t>* members_ = &kNoMembers;
    static const std::vector<int32_t> kNoMembers;
};

// The payload of a contact drag: "CID:<contact-table index>|GID:<group the drag began in>".
QString ContactDragText(int32_t tableIndex, int32_t gid);
// Reads it back: false unless the text begins with "CID:" and a number; the group is -1 when absent.
bool ParseContactDragText(const QString& text, long long& tableIndex, int32_t& gid);

// What a drop does with these keys held: no key or Shift moves, Ctrl or Alt copies, Ctrl+Shift
// (a link, which a contact drag does not offer) is refused.
Qt::DropAction ContactDropAction(Qt::KeyboardModifiers keys);

class GroupListView : public QListView {
    Q_OBJECT
public:
    explicit GroupListView(QWidget* parent = nullptr);

signals:
    // A contact drag was dropped on a group row (never the catch-all first row).
    void contactDropped(int targetRow, const QString& payload, bool copy);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The action a drag at `pos` with `keys` gets; Qt::IgnoreAction when refused.
    Qt::DropAction ActionAt(const QPoint& pos, Qt::KeyboardModifiers keys, const QMimeData* data) const;
};

class MemberListView : public QTableView {
    Q_OBJECT
public:
    explicit MemberListView(QWidget* parent = nullptr);
    // The payload of a drag of `row`; the pane fills it in.
    std::function<QString(int row)> dragText;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    int pressedRow_ = -1;
};

}  // namespace quillon
