#include "ui/addressbook/AddressBookViews.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QHeaderView>
#include <QMimeData>
#include <algorithm>

#include "ui/shell/UiText.h"

namespace quillon {

const std::vector<int32_t> MemberListModel::kNoMembers;

// ---------------------------------------------------------------- group list

void GroupListModel::SetGroups(std::vector<GroupListEntry> groups) {
    beginResetModel();
    groups_ = std::move(groups);
    endResetModel();
}

int GroupListModel::RowOf(int32_t gid) const {
    for (size_t i = 0; i < groups_.size(); ++i)
        if (groups_[i].GID == gid)
            return static_cast<int>(i);
    return -1;
}

int GroupListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(groups_.size());
}

QVariant GroupListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const GroupListEntry& g = groups_[static_cast<size_t>(index.row())];
    if (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)
        return Q(g.displayText);
    if (role == Qt::UserRole)
        return g.GID;
    return {};
}

// ---------------------------------------------------------------- member list

void MemberListModel::SetMembers(const std::vector<int32_t>* members) {
    beginResetModel();
    members_ = members ? members : &kNoMembers;
    endResetModel();
}

int MemberListModel::RowOfTableIndex(int32_t tableIndex) const {
    for (size_t i = 0; i < members_->size(); ++i)
        if ((*members_)[i] == tableIndex)
            return static_cast<int>(i);
    return -1;
}

int MemberListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(members_->size());
}

int MemberListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 3;
}

QVariant MemberListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount() || (role != Qt::DisplayRole && role != Qt::AccessibleTextRole))
        return {};
    const ContactField fields[] = {ContactField::kName, ContactField::kSurname, ContactField::kMobile};
    const std::string_view text =
        table_.Field(static_cast<size_t>(TableIndex(index.row())), fields[std::clamp(index.column(), 0, 2)]);
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QVariant MemberListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    const int ids[] = {kTextAbColName, kTextAbColSurname, kTextAbColMobile};
    return section >= 0 && section < 3 ? Text(ids[section]) : QVariant();
}

Qt::ItemFlags MemberListModel::flags(const QModelIndex& index) const {
    return QAbstractTableModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

// ---------------------------------------------------------------- drag payload and drop rule

QString ContactDragText(int32_t tableIndex, int32_t gid) {
    return QStringLiteral("CID:%1|GID:%2").arg(tableIndex).arg(gid);
}

bool ParseContactDragText(const QString& text, long long& tableIndex, int32_t& gid) {
    if (!text.startsWith(QLatin1String("CID:")))
        return false;
    int end = 4;
    while (end < text.size() && end < 4 + 12 && text[end].isDigit())
        ++end;
    if (end == 4)
        return false;
    tableIndex = text.mid(4, end - 4).toLongLong();
    gid = -1;
    int bar = text.indexOf('|');
    if (bar >= 0 && text.mid(bar).startsWith(QLatin1String("|GID:"))) {
        bool ok = false;
        QString digits;
        for (int i = bar + 5; i < text.size() && text[i].isDigit() && digits.size() < 10; ++i)
            digits += text[i];
        int value = digits.toInt(&ok);
        gid = ok ? value : -1;
    }
    return true;
}

Qt::DropAction ContactDropAction(Qt::KeyboardModifiers keys) {
    const bool ctrl = keys & Qt::ControlModifier, shift = keys & Qt::ShiftModifier, alt = keys & Qt::AltModifier;
    if (ctrl && shift)
        return Qt::IgnoreAction;
    if (ctrl || alt)
        return Qt::CopyAction;
    return Qt::MoveAction;
}

// ---------------------------------------------------------------- group list view

GroupListView::GroupListView(QWidget* parent) : QListView(parent) {
    setAcceptDrops(true);
    setDropIndicatorShown(true);
    setDragDropMode(QAbstractItemView::DropOnly);
}

Qt::DropAction GroupListView::ActionAt(const QPoint& pos, Qt::KeyboardModifiers keys, const QMimeData* data) const {
    if (!data || !data->hasText())
        return Qt::IgnoreAction;
    QModelIndex index = indexAt(pos);
    if (!index.isValid() || index.row() < 1)
        return Qt::IgnoreAction;
    return ContactDropAction(keys);
}

void GroupListView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData() && event->mimeData()->hasText())
        event->acceptProposedAction();
    else
        event->ignore();
}

void GroupListView::dragMoveEvent(QDragMoveEvent* event) {
    Qt::DropAction action = ActionAt(event->position().toPoint(), event->modifiers(), event->mimeData());
    if (action == Qt::IgnoreAction || !(event->possibleActions() & action)) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
}

void GroupListView::dragLeaveEvent(QDragLeaveEvent* event) {
    event->accept();
}

void GroupListView::dropEvent(QDropEvent* event) {
    const QPoint pos = event->position().toPoint();
    Qt::DropAction action = ActionAt(pos, event->modifiers(), event->mimeData());
    if (action == Qt::IgnoreAction || !(event->possibleActions() & action)) {
        event->ignore();
        return;
    }
    event->setDropAction(action);
    event->accept();
    emit contactDropped(indexAt(pos).row(), event->mimeData()->text(), action == Qt::CopyAction);
}

// ---------------------------------------------------------------- member list view

MemberListView::MemberListView(QWidget* parent) : QTableView(parent) {
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setDragEnabled(true);
    setDragDropMode(QAbstractItemView::DragOnly);
    setShowGrid(false);
    setWordWrap(false);
    verticalHeader()->hide();
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setHighlightSections(false);
}

void MemberListView::mousePressEvent(QMouseEvent* event) {
    pressedRow_ = indexAt(event->position().toPoint()).row();
    QTableView::mousePressEvent(event);
}

// Carries the one row the drag began on, not the whole selection.
void MemberListView::startDrag(Qt::DropActions) {
    const int row = pressedRow_ >= 0 ? pressedRow_ : currentIndex().row();
    if (row < 0 || !dragText)
        return;
    auto* data = new QMimeData;
    data->setText(dragText(row));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->exec(Qt::CopyAction | Qt::MoveAction, Qt::MoveAction);
}

}  // namespace quillon
