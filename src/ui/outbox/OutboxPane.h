// The outbox pane: every message of the store in a sortable list with its status image, the
// commands of its context menu and buttons (edit, copy, delete with undo, send now, resend,
// refresh status, send all), the status legend, the export, a find box and a status filter, and
// the status line where the main window shows the worker's phase.
//
// Refreshes requested by the worker arrive on the ui thread and are gathered for a moment, so a
// burst of status changes costs one repaint or one sort; the selection (by message) and the scroll
// position survive them.
#pragma once

#include <QPointer>
#include <QTimer>
#include <array>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "outbox/OutboxExport.h"
#include "store/SmsRecord.h"
#include "ui/shell/Pane.h"

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace quillon {

class CommsWorker;
class MessageStore;
class OutboxModel;

class OutboxPane : public Pane {
    Q_OBJECT
public:
    // The context menu's items by position (separators included, as in the menu).
    enum MenuItem { kEdit = 0, kCopy = 2, kDelete = 3, kSendNow = 5, kSelectAll = 6, kResend = 7, kRefresh = 8 };

    // `worker` takes the send, query and cancellation requests; null in tests that need none.
    OutboxPane(MessageStore& store, CommsWorker* worker, QWidget* parent = nullptr);
    ~OutboxPane() override;

    void Activate() override;
    void Deactivate() override;
    void ShowStatusLine(const QString& text) override;
    QString StatusLine() const override;
    void RefreshOutbox(int mode) override;
    bool HandleCommand(PaneCommand command) override;

    // Carries out the refreshes gathered so far (the timer does it otherwise, reading the list for
    // a rebuild on a thread of its own).
    void FlushRefresh();
    // True while a rebuild is being read on its thread.
    bool RebuildRunning() const { return rebuildRunning_; }
    // The IDs of the selected rows, in display order.
    std::vector<int32_t> GetSelectedIds() const;
    void SelectAllRows();
    void OnColumnClick(int column);

    // The context menu for a row (-1: none), greyed by that row's state. The menu stays the pane's.
    QMenu* PrepareMenu(int focusedRow);
    int FocusedRow() const { return focusedRow_; }
    QAction* MenuAction(MenuItem item) const { return actions_[item]; }

    // The commands. Those of the menu act on the focused row or on the selection.
    void EditMessage();
    void CopyMessage();
    void DeleteSelected();
    void SendNowSelected();
    void ResendMessage();
    void RefreshStatusSelected();
    void SendNowAll();
    // Asks, then deletes the local messages at once (undoable until the pane is left) and hands
    // those scheduled on the gateway to the worker for cancellation.
    void DeleteMessages(const std::vector<int32_t>& ids);
    void UndoDelete();
    bool CanUndo() const { return !deleted_.empty(); }
    // Goes on line with the stored account when working off line. `wentOnLine` tells whether it
    // had to. On failure shows the box with these texts and stays off line.
    bool EnsureOnline(int captionId, int textId, bool& wentOnLine);

    void ShowLegend();
    void OnExportButton();
    // Writes the report on a worker thread under a progress box with Cancel, then tells the user.
    ExportResult ExportTo(const QString& path, const std::vector<int32_t>* ids);

    OutboxModel* Model() const { return model_; }
    QTableView* View() const { return view_; }

signals:
    // The pane went on line (true) or failed to and is off line (false).
    void onLineChanged(bool online);
    // Messages were added, removed or changed state: the tab caption is recounted.
    void outboxCountChanged();
    // Open a message in the compose pane: for editing, or as the start of a new message.
    void composeRequested(int id, bool forEdit);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* BuildFindRow();
    QWidget* BuildButtonRow();
    void BuildMenu();
    void ShowContextMenu(const QPoint& pos);
    int32_t FocusedId() const;
    int32_t FocusedStat() const;
    void SaveViewState();
    void RestoreViewState();
    void ApplyFilter();
    void UpdateUndoBar();
    void UpdateSortIndicator();
    void OnRefreshTimer();
    void StartBackgroundRebuild();

    MessageStore& store_;
    CommsWorker* worker_;
    OutboxModel* model_;
    QTableView* view_;
    QLineEdit* find_;
    QComboBox* statusFilter_;
    QLabel* status_;
    QWidget* undoBar_;
    QLabel* undoText_;
    QPushButton* sendNow_;
    QPushButton* help_;
    QPushButton* export_;
    QMenu* menu_ = nullptr;
    std::array<QAction*, 9> actions_{};
    int focusedRow_ = -1;

    QTimer refreshTimer_;
    QTimer findTimer_;
    bool pendingWhole_ = false;
    std::set<int32_t> pendingIds_;
    bool stale_ = true;  // a rebuild is owed for when the pane is shown
    bool rebuildRunning_ = false;
    std::thread rebuildThread_;
    bool rebuildAgain_ = false;  // notifications came while it ran
    unsigned generation_ = 0;    // changes of sort or filter by the user; an older rebuild is dropped

    // Kept across a reset of the model, by message.
    std::vector<int32_t> savedSelection_;
    int32_t savedCurrent_ = 0;
    int32_t savedTop_ = 0;

    std::vector<SmsRecord> deleted_;
};

}  // namespace quillon
