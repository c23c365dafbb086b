#include "ui/outbox/OutboxPane.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QThread>
#include <QVBoxLayout>
#include <algorithm>
#include <memory>
#include <thread>
#include <unordered_map>

#include "compose/ClipboardText.h"
#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/Session.h"
#include "outbox/OutboxText.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "ui/outbox/OutboxExportDialog.h"
#include "ui/outbox/OutboxModel.h"
#include "ui/outbox/StatusIcons.h"
#include "ui/outbox/StatusLegendDialog.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {
// Worker notifications that arrive within this time are carried out together.
constexpr int kRefreshGatherMs = 40;
constexpr int kFindDelayMs = 200;

bool Is(int32_t stat, MessageStatus status) {
    return stat == StatusCode(status);
}
}  // namespace

OutboxPane::OutboxPane(MessageStore& store, CommsWorker* worker, QWidget* parent)
    : Pane(parent), store_(store), worker_(worker) {
    setObjectName("outboxPane");
    setAccessibleName(Text(kTextTabOutbox));
    setFixedSize(624, 424);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 10, 12, 8);
    layout->setSpacing(6);
    layout->addWidget(BuildFindRow());

    model_ = new OutboxModel(store_, this);
    view_ = new QTableView(this);
    view_->setObjectName("outboxList");
    view_->setAccessibleName(Text(kTextOutboxListName));
    view_->setAccessibleDescription(Text(kTextA11yOutboxList));
    view_->setTabKeyNavigation(false);  // Tab leaves the list; the arrows move in it
    view_->setModel(model_);
    view_->setSelectionBehavior(QAbstractItemView::SelectRows);
    view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view_->setShowGrid(true);
    view_->setWordWrap(false);
    view_->setIconSize(QSize(kStatusIconSize, kStatusIconSize));
    view_->verticalHeader()->hide();
    view_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view_->verticalHeader()->setDefaultSectionSize(view_->fontMetrics().height() + 6);
    QHeaderView* header = view_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setHighlightSections(false);
    // Widths follow the font, so no scale cuts the time short.
    const QFontMetrics metrics = view_->fontMetrics();
    const int chars = metrics.averageCharWidth();
    const int widths[kOutboxColumnCount] = {metrics.horizontalAdvance("00/00/0000 00:00") + kStatusIconSize + 20,
                                            chars * 14, chars * 17, chars * 7, chars * 16};
    for (int c = 0; c < kOutboxColumnCount; ++c)
        view_->setColumnWidth(c, widths[c]);
    header->setStretchLastSection(true);
    view_->setContextMenuPolicy(Qt::CustomContextMenu);
    layout->addWidget(view_, 1);

    undoBar_ = new QWidget(this);
    auto* undoLayout = new QHBoxLayout(undoBar_);
    undoLayout->setContentsMargins(0, 0, 0, 0);
    undoText_ = new QLabel(undoBar_);
    undoText_->setObjectName("outboxUndoText");
    auto* undo = new QPushButton(Text(kTextOutboxUndo), undoBar_);
    undo->setObjectName("outboxUndoButton");
    undo->setAccessibleName(Text(kTextOutboxUndo).remove('&'));
    undoLayout->addWidget(undoText_, 1);
    undoLayout->addWidget(undo);
    undoBar_->hide();
    layout->addWidget(undoBar_);
    layout->addWidget(BuildButtonRow());
    BuildMenu();

    connect(undo, &QPushButton::clicked, this, &OutboxPane::UndoDelete);
    connect(header, &QHeaderView::sectionClicked, this, &OutboxPane::OnColumnClick);
    connect(view_, &QWidget::customContextMenuRequested, this, &OutboxPane::ShowContextMenu);
    connect(model_, &QAbstractItemModel::modelAboutToBeReset, this, &OutboxPane::SaveViewState);
    connect(model_, &QAbstractItemModel::modelReset, this, &OutboxPane::RestoreViewState);
    auto* del = new QShortcut(QKeySequence::Delete, view_, nullptr, nullptr, Qt::WidgetShortcut);
    connect(del, &QShortcut::activated, this, &OutboxPane::DeleteSelected);
    auto* undoKey = new QShortcut(QKeySequence::Undo, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut);
    connect(undoKey, &QShortcut::activated, this, &OutboxPane::UndoDelete);

    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(kRefreshGatherMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &OutboxPane::OnRefreshTimer);
    findTimer_.setSingleShot(true);
    findTimer_.setInterval(kFindDelayMs);
    connect(&findTimer_, &QTimer::timeout, this, &OutboxPane::ApplyFilter);
    UpdateSortIndicator();
}

OutboxPane::~OutboxPane() {
    if (rebuildThread_.joinable())
        rebuildThread_.join();
}

QWidget* OutboxPane::BuildFindRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    find_ = new QLineEdit(row);
    find_->setObjectName("outboxFindEdit");
    find_->setPlaceholderText(Text(kTextOutboxFindHint));
    find_->setAccessibleName(Text(kTextOutboxFindHint));
    find_->setAccessibleDescription(Text(kTextA11yOutboxFind));
    find_->setClearButtonEnabled(true);
    auto* findLabel = new QLabel(Text(kTextOutboxFind), row);
    findLabel->setBuddy(find_);
    statusFilter_ = new QComboBox(row);
    statusFilter_->setObjectName("outboxStatusFilter");
    statusFilter_->setAccessibleName(Text(kTextOutboxShow).remove('&').remove(':'));
    for (int g = 0; g < kStatusGroupCount; ++g)
        statusFilter_->addItem(Q(StatusGroupLabel(static_cast<StatusGroup>(g))), g);
    auto* showLabel = new QLabel(Text(kTextOutboxShow), row);
    showLabel->setBuddy(statusFilter_);
    layout->addWidget(findLabel);
    layout->addWidget(find_, 1);
    layout->addSpacing(10);
    layout->addWidget(showLabel);
    layout->addWidget(statusFilter_);
    connect(find_, &QLineEdit::textChanged, this, [this] { findTimer_.start(); });
    connect(statusFilter_, qOverload<int>(&QComboBox::currentIndexChanged), this, &OutboxPane::ApplyFilter);
    return row;
}

QWidget* OutboxPane::BuildButtonRow() {
    auto* row = new QWidget(this);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    status_ = new QLabel(row);
    status_->setObjectName("outboxStatusLine");
    status_->setStyleSheet("QLabel { color: #4a5561; }");
    layout->addWidget(status_, 1);
    sendNow_ = new QPushButton(Text(kTextOutboxSendNow), row);
    sendNow_->setObjectName("outboxSendNowButton");
    help_ = new QPushButton(Mnemonic(Text(kTextHelp), 'p'), row);
    help_->setObjectName("outboxHelpButton");
    export_ = new QPushButton(Text(kTextOutboxExport), row);
    export_->setObjectName("outboxExportButton");
    for (QPushButton* button : {sendNow_, help_, export_}) {
        button->setAccessibleName(QString(button->text()).remove('&'));
        layout->addWidget(button);
    }
    sendNow_->setAccessibleDescription(Text(kTextA11yOutboxSendNow));
    help_->setAccessibleDescription(Text(kTextA11yOutboxHelp));
    export_->setAccessibleDescription(Text(kTextA11yOutboxExport));
    connect(sendNow_, &QPushButton::clicked, this, &OutboxPane::SendNowAll);
    connect(help_, &QPushButton::clicked, this, &OutboxPane::ShowLegend);
    connect(export_, &QPushButton::clicked, this, &OutboxPane::OnExportButton);
    return row;
}

void OutboxPane::BuildMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName("outboxMenu");
    struct Item {
        MenuItem position;
        int text;
        const char* name;
        void (OutboxPane::*command)();
    };
    const Item items[] = {{kEdit, kTextOutboxMenuEdit, "menuEdit", &OutboxPane::EditMessage},
                          {kCopy, kTextOutboxMenuCopy, "menuCopy", &OutboxPane::CopyMessage},
                          {kDelete, kTextOutboxMenuDelete, "menuDelete", &OutboxPane::DeleteSelected},
                          {kSendNow, kTextOutboxMenuSendNow, "menuSendNow", &OutboxPane::SendNowSelected},
                          {kSelectAll, kTextOutboxMenuSelectAll, "menuSelectAll", &OutboxPane::SelectAllRows},
                          {kResend, kTextOutboxMenuResend, "menuResend", &OutboxPane::ResendMessage},
                          {kRefresh, kTextOutboxMenuRefresh, "menuRefresh", &OutboxPane::RefreshStatusSelected}};
    int position = 0;
    for (const Item& item : items) {
        while (position < item.position) {
            actions_[position++] = menu_->addSeparator();
        }
        QAction* action = menu_->addAction(Text(item.text));
        action->setObjectName(item.name);
        connect(action, &QAction::triggered, this, item.command);
        actions_[position++] = action;
    }
}

void OutboxPane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(ShellStyle::kBorder, 1));
    p.setBrush(ShellStyle::kCard);
    p.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 8, 8);
}

// ---------------------------------------------------------------- refreshes

void OutboxPane::Activate() {
    pendingWhole_ = true;
    FlushRefresh();
}

void OutboxPane::Deactivate() {
    // Undo lasts while the pane is shown.
    deleted_.clear();
    UpdateUndoBar();
}

void OutboxPane::RefreshOutbox(int mode) {
    if (mode == kRefreshWholeOutbox)
        pendingWhole_ = true;
    else
        pendingIds_.insert(mode);
    if (!refreshTimer_.isActive())
        refreshTimer_.start();
}

void OutboxPane::FlushRefresh() {
    refreshTimer_.stop();
    ++generation_;  // a rebuild on its thread would be older than this one
    if (!isVisible()) {
        // A hidden list is rebuilt when it is shown again; the tab's count is cheap to keep.
        if (pendingWhole_)
            emit outboxCountChanged();
        stale_ = stale_ || pendingWhole_ || !pendingIds_.empty();
        pendingWhole_ = false;
        pendingIds_.clear();
        return;
    }
    const bool whole = pendingWhole_ || stale_;
    std::vector<int32_t> ids(pendingIds_.begin(), pendingIds_.end());
    pendingWhole_ = false;
    stale_ = false;
    pendingIds_.clear();
    if (whole) {
        model_->Rebuild();
    } else {
        model_->StatusesChanged(ids);
    }
    emit outboxCountChanged();
}

// The worker's refreshes: status changes at once; a rebuild is read and sorted on a thread, and
// only its result is taken on this one, so a long list never holds up the interface.
void OutboxPane::OnRefreshTimer() {
    if (!isVisible() || (!pendingWhole_ && !stale_)) {
        FlushRefresh();
        return;
    }
    if (!pendingIds_.empty()) {
        model_->StatusesChanged(std::vector<int32_t>(pendingIds_.begin(), pendingIds_.end()));
        pendingIds_.clear();
    }
    pendingWhole_ = false;
    stale_ = false;
    if (rebuildRunning_) {
        rebuildAgain_ = true;
        return;
    }
    StartBackgroundRebuild();
}

void OutboxPane::StartBackgroundRebuild() {
    rebuildRunning_ = true;
    rebuildAgain_ = false;
    auto order = std::make_shared<OutboxOrder>(store_);
    order->SetFilter(model_->Order().Filter());
    const int column = model_->Order().SortColumn();
    const unsigned generation = generation_;
    QPointer<OutboxPane> self(this);
    if (rebuildThread_.joinable())
        rebuildThread_.join();  // it has handed its result over already
    rebuildThread_ = std::thread([order, column, generation, self] {
        order->SortBy(column);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [order, generation, self] {
                if (!self)
                    return;
                self->rebuildRunning_ = false;
                if (generation == self->generation_ && self->isVisible()) {
                    self->model_->Adopt(std::move(*order));
                    emit self->outboxCountChanged();
                } else {
                    self->stale_ = true;
                }
                if (self->rebuildAgain_ || self->stale_) {
                    self->pendingWhole_ = true;
                    self->refreshTimer_.start();
                }
            },
            Qt::QueuedConnection);
    });
}

void OutboxPane::SaveViewState() {
    savedSelection_ = GetSelectedIds();
    savedCurrent_ = model_->IdAt(view_->currentIndex().row());
    savedTop_ = model_->IdAt(view_->rowAt(0));
}

void OutboxPane::RestoreViewState() {
    // One pass over the list finds the rows of the remembered messages.
    std::unordered_map<int32_t, int> wanted;
    for (int32_t id : savedSelection_)
        wanted[id] = -1;
    wanted[savedCurrent_] = -1;
    wanted[savedTop_] = -1;
    const std::vector<int32_t>& ids = model_->Order().Ids();
    for (size_t row = 0; row < ids.size(); ++row) {
        auto it = wanted.find(ids[row]);
        if (it != wanted.end())
            it->second = static_cast<int>(row);
    }
    std::vector<int> rows;
    rows.reserve(savedSelection_.size());
    for (int32_t id : savedSelection_) {
        if (wanted[id] >= 0)
            rows.push_back(wanted[id]);
    }
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int last = model_->columnCount() - 1;
    for (size_t i = 0; i < rows.size();) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1)
            ++j;
        selection.select(model_->index(rows[i], 0), model_->index(rows[j], last));
        i = j + 1;
    }
    QItemSelectionModel* selectionModel = view_->selectionModel();
    selectionModel->select(selection, QItemSelectionModel::ClearAndSelect);
    int current = savedCurrent_ ? wanted[savedCurrent_] : -1;
    if (current >= 0)
        selectionModel->setCurrentIndex(model_->index(current, 0), QItemSelectionModel::NoUpdate);
    int top = savedTop_ ? wanted[savedTop_] : -1;
    if (top >= 0)
        view_->scrollTo(model_->index(top, 0), QAbstractItemView::PositionAtTop);
    UpdateSortIndicator();
}

void OutboxPane::UpdateSortIndicator() {
    const OutboxOrder& order = model_->Order();
    view_->horizontalHeader()->setSortIndicator(order.SortColumn(),
                                                order.Descending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void OutboxPane::OnColumnClick(int column) {
    ++generation_;
    model_->ClickColumn(column);
}

void OutboxPane::ApplyFilter() {
    OutboxFilter filter;
    filter.text = S(find_->text());
    filter.status = static_cast<StatusGroup>(statusFilter_->currentData().toInt());
    if (filter == model_->Order().Filter())
        return;
    ++generation_;
    model_->SetFilter(filter);
}

void OutboxPane::ShowStatusLine(const QString& text) {
    status_->setText(text);
}

QString OutboxPane::StatusLine() const {
    return status_->text();
}

bool OutboxPane::HandleCommand(PaneCommand command) {
    if (command != PaneCommand::SelectAll)
        return false;
    SelectAllRows();
    return true;
}

// ---------------------------------------------------------------- selection and menu

std::vector<int32_t> OutboxPane::GetSelectedIds() const {
    QModelIndexList rows = view_->selectionModel()->selectedRows();
    std::vector<int> ordered;
    ordered.reserve(rows.size());
    for (const QModelIndex& index : rows)
        ordered.push_back(index.row());
    std::sort(ordered.begin(), ordered.end());
    std::vector<int32_t> ids;
    ids.reserve(ordered.size());
    for (int row : ordered)
        ids.push_back(model_->IdAt(row));
    return ids;
}

void OutboxPane::SelectAllRows() {
    if (model_->rowCount() == 0)
        return;
    view_->scrollToTop();
    view_->selectAll();
}

int32_t OutboxPane::FocusedId() const {
    return model_->IdAt(focusedRow_);
}

int32_t OutboxPane::FocusedStat() const {
    SmsRecord r;
    return store_.Outbox().GetSms(FocusedId(), r) ? r.Stat : -1;
}

QMenu* OutboxPane::PrepareMenu(int focusedRow) {
    focusedRow_ = focusedRow >= 0 && focusedRow < model_->rowCount() ? focusedRow : -1;
    for (QAction* action : actions_)
        action->setEnabled(true);
    const int32_t stat = focusedRow_ < 0 ? -1 : FocusedStat();
    if (stat < 0 || Is(stat, MessageStatus::Editing) || Is(stat, MessageStatus::Processing)) {
        for (QAction* action : actions_)
            action->setEnabled(action == actions_[kSelectAll]);
        return menu_;
    }
    if (Is(stat, MessageStatus::Expanded))
        actions_[kRefresh]->setEnabled(false);
    const bool editable = Is(stat, MessageStatus::Scheduled) || Is(stat, MessageStatus::DelayScheduled) ||
                          (Is(stat, MessageStatus::Pending) && !IsOnLine());
    actions_[kEdit]->setEnabled(editable);
    return menu_;
}

void OutboxPane::ShowContextMenu(const QPoint& pos) {
    QModelIndex index = view_->indexAt(pos);
    QPoint at = pos;
    if (!index.isValid() && QGuiApplication::mouseButtons() == Qt::NoButton && view_->currentIndex().isValid()) {
        // From the keyboard: the menu belongs to the current row.
        index = view_->currentIndex();
        at = view_->visualRect(index).center();
    }
    PrepareMenu(index.isValid() ? index.row() : -1)->popup(view_->viewport()->mapToGlobal(at));
}

// ---------------------------------------------------------------- commands

void OutboxPane::EditMessage() {
    const int32_t stat = FocusedStat();
    const bool editable = Is(stat, MessageStatus::Scheduled) || Is(stat, MessageStatus::DelayScheduled) ||
                          (Is(stat, MessageStatus::Pending) && !IsOnLine());
    if (editable)
        emit composeRequested(FocusedId(), true);
}

void OutboxPane::CopyMessage() {
    if (FocusedId() > 0)
        CopySmsToClipboard(store_, FocusedId());
}

void OutboxPane::ResendMessage() {
    if (FocusedId() > 0)
        emit composeRequested(FocusedId(), false);
}

void OutboxPane::DeleteSelected() {
    std::vector<int32_t> ids = GetSelectedIds();
    if (ids.empty())
        return;
    DeleteMessages(ids);
    pendingWhole_ = true;
    FlushRefresh();
}

void OutboxPane::DeleteMessages(const std::vector<int32_t>& ids) {
    std::vector<SmsRecord> local;
    std::vector<int32_t> server;
    for (int32_t id : ids) {
        SmsRecord r;
        if (!store_.Outbox().GetSms(id, r))
            continue;
        if (Is(r.Stat, MessageStatus::ScheduledOnServer))
            server.push_back(id);
        else
            local.push_back(r);
    }
    const auto count = static_cast<long long>(ids.size());
    const QString text = FormatText(server.empty() ? kIdConfirmDeleteText : kIdConfirmServerDeleteText, {count});
    if (ShowMessage(this, MessageIcon::Warning, Text(kIdConfirmDeleteCaption), text, MessageButtons::YesNo) !=
        MessageAnswer::Yes)
        return;
    for (const SmsRecord& r : local) {
        store_.Outbox().DeleteSms(r.ID);
        deleted_.push_back(r);
    }
    if (!server.empty() && worker_)
        worker_->PostDeleteList(IdList{false, server});
    UpdateUndoBar();
}

void OutboxPane::UndoDelete() {
    if (deleted_.empty())
        return;
    for (const SmsRecord& r : deleted_)
        store_.Outbox().RestoreSms(r);
    deleted_.clear();
    UpdateUndoBar();
    pendingWhole_ = true;
    FlushRefresh();
    // Restored messages that wait to be sent go out with the next pass.
    if (worker_)
        worker_->PostSendOne(-1);
}

void OutboxPane::UpdateUndoBar() {
    undoText_->setText(FormatText(kTextOutboxDeleted, {static_cast<long long>(deleted_.size())}));
    undoBar_->setVisible(!deleted_.empty());
}

bool OutboxPane::EnsureOnline(int captionId, int textId, bool& wentOnLine) {
    wentOnLine = false;
    if (IsOnLine())
        return true;
    const AppSettings& s = Settings();
    SetOnLine(true);  // the login's balance refresh needs the flag
    if (LogInToGateway(s.Login, s.Password)) {
        wentOnLine = true;
        emit onLineChanged(true);
        return true;
    }
    SetOnLine(false);
    ShowMessage(this, MessageIcon::Error, Text(captionId), Text(textId));
    emit onLineChanged(false);
    return false;
}

void OutboxPane::SendNowSelected() {
    std::vector<int32_t> ids = GetSelectedIds();
    bool wentOnLine = false;
    if (!EnsureOnline(kIdSendNowFailedCaption, kIdSendSelectedFailedText, wentOnLine))
        return;
    if (worker_ && !ids.empty())
        worker_->PostSendList(IdList{wentOnLine, ids});
}

void OutboxPane::RefreshStatusSelected() {
    std::vector<int32_t> ids = GetSelectedIds();
    bool wentOnLine = false;
    if (!EnsureOnline(kIdQueryFailedCaption, kIdQueryFailedText, wentOnLine))
        return;
    if (worker_ && !ids.empty())
        worker_->PostQueryList(IdList{wentOnLine, ids});
}

void OutboxPane::SendNowAll() {
    bool wentOnLine = false;
    if (!EnsureOnline(kIdSendNowFailedCaption, kIdSendAllFailedText, wentOnLine))
        return;
    if (worker_)
        worker_->PostSendList(IdList{wentOnLine, {-1}});
}

void OutboxPane::ShowLegend() {
    StatusLegendDialog legend(this);
    legend.exec();
}

// ---------------------------------------------------------------- export

void OutboxPane::OnExportButton() {
    if (store_.Outbox().SmsRowCount() == 0) {
        ShowMessage(this, MessageIcon::Information, Text(kIdExportFailedCaption), Text(kIdNothingToExport));
        return;
    }
    std::vector<int32_t> ids = GetSelectedIds();
    OutboxExportDialog dialog(!ids.empty(), this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    ExportTo(dialog.Path(), dialog.SelectedOnly() ? &ids : nullptr);
}

ExportResult OutboxPane::ExportTo(const QString& path, const std::vector<int32_t>* ids) {
    auto progress = std::make_shared<OutboxExportProgress>();
    auto result = std::make_shared<ExportResult>(ExportResult::WriteFailed);
    const std::string file = S(path);
    auto list = std::make_shared<std::vector<int32_t>>(ids ? *ids : std::vector<int32_t>());
    const bool withList = ids != nullptr;
    MessageStore& store = store_;
    QThread* thread = QThread::create([&store, file, list, withList, progress, result] {
        *result = ExportOutbox(store, file, withList ? list.get() : nullptr, progress.get());
    });
    QProgressDialog box(Text(kTextOutboxExporting), Text(kTextCancel), 0, 0, this);
    box.setObjectName("exportProgress");
    box.setWindowModality(Qt::WindowModal);
    box.setMinimumDuration(400);
    connect(&box, &QProgressDialog::canceled, this, [progress] { progress->cancel = true; });
    QTimer tick;
    connect(&tick, &QTimer::timeout, this, [&box, progress] {
        box.setMaximum(progress->total);
        box.setValue(progress->done);
    });
    // Until the box shows (quick exports never show it), the pane takes no commands.
    const QList<QWidget*> controls = {view_, find_, statusFilter_, sendNow_, help_, export_, undoBar_};
    for (QWidget* control : controls)
        control->setEnabled(false);
    QEventLoop loop;
    connect(thread, &QThread::finished, &loop, &QEventLoop::quit);
    tick.start(100);
    thread->start();
    loop.exec();  // the box is window-modal: only its Cancel reaches the user
    thread->wait();
    delete thread;
    tick.stop();
    box.reset();
    for (QWidget* control : controls)
        control->setEnabled(true);
    switch (*result) {
        case ExportResult::Ok:
            ShowMessage(this, MessageIcon::Information, QString(), Text(kIdExportDone));
            break;
        case ExportResult::CannotOpen:
            ShowMessage(this, MessageIcon::Error, Text(kIdExportCaption), FormatText(kIdExportCannotOpen, {file}));
            break;
        case ExportResult::WriteFailed:
            ShowMessage(this, MessageIcon::Error, Text(kIdExportCaption), Text(kIdExportFailedText));
            break;
        case ExportResult::Cancelled:
            break;
    }
    return *result;
}

}  // namespace quillon
