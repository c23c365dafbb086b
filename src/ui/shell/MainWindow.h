// The program's one top-level window: a header with the branding image, tab buttons under it that
// switch between the panes, the busy and offline indicators, the paced balance refresh and the
// tray icon. The comms worker's notifications for it arrive as queued signals of the sink.
#pragma once

#include <QImage>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <array>
#include <functional>
#include <map>

#include <cstdint>

#include "ui/shell/FrameResizer.h"

namespace quillon {

class AnimatedIndicator;
class CommsWorker;
class ImageButton;
class LoginPane;
class MessageStore;
class OptionsPane;
class Pane;
class QueuedMessageSink;
class SingleInstance;
class TabButton;
class TrayController;

struct MainWindowOptions {
    int balanceRefreshMs = 10000;  // the pacing of balance refreshes after changes
    bool tray = true;              // create the tray icon
    int trayHostCheckMs = 3000;
};

// What the busy indicator last showed: a cycle's begin or end, or a phase of it.
enum class BusyStep : uint8_t { None, CycleBegan, Promoting, Sending, Querying, CycleEnded };

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // Command ids of the tab buttons and the close button.
    static constexpr int kTabSms = 1044;
    static constexpr int kTabAddresses = 1045;
    static constexpr int kTabOutbox = 1046;
    static constexpr int kTabOptions = 1047;
    static constexpr int kCloseButton = 1002;
    static constexpr std::array<int, 4> kTabOrder{kTabSms, kTabAddresses, kTabOutbox, kTabOptions};

    // `sink` (may be null) is the worker's: the window and its options pane connect to it.
    // `store` gives the outbox count of the tab caption and is checkpointed when the window goes to
    // the tray; any of the three may be null in tests.
    MainWindow(MessageStore* store, CommsWorker* worker, QueuedMessageSink* sink, MainWindowOptions options = {},
               QWidget* parent = nullptr);
    ~MainWindow() override;

    // Tabs and panes.
    void SelectTab(int tabId);
    int CurrentTab() const { return currentTab_; }
    Pane* CurrentPane() const { return currentPane_; }
    Pane* PaneForTab(int tabId) const;
    TabButton* Tab(int tabId) const;
    // The tab `delta` places after the current one, wrapping around (Ctrl+Tab, Ctrl+Page Down).
    void StepTab(int delta);
    // Puts another pane in the place of a tab's pane (the window takes ownership).
    void ReplacePane(int tabId, Pane* pane);
    LoginPane* Login() const { return login_; }
    OptionsPane* Options() const { return options_; }

    // The login sequence: options loaded, worker started, tabs shown, outbox caption counted,
    // online or offline reported, the "SMS" tab selected.
    void LoginSucceeded();
    bool LoggedIn() const { return loggedIn_; }

    // The close button and Escape: hides the window into the tray and checkpoints the store. Where
    // no tray exists it asks once per run whether to quit or keep running minimised.
    void CloseToTray();
    // Tray left click and the single-instance probe: show in normal state and raise.
    void ShowFromTray();
    // Tray "Exit" and the end of the session: saves the options pane when it is current, hides
    // the window and ends the message loop with 0.
    void RequestExit();
    // Where no tray host exists, closing minimises instead of hiding.
    bool ClosesToTray() const;
    // The header's menu button and its menu (the tray menu's items, maximising, "Exit").
    ImageButton* MenuButton() const { return menuButton_; }
    QMenu* WindowMenu() { return &windowMenu_; }
    void ToggleMaximised();
    // Size and position, kept in the data directory for the next start.
    void SaveGeometry() const;
    bool RestoreGeometry();

    void ReloadBranding();
    // A change that may have moved the balance: the displays refresh, paced.
    void OnBalanceChanged();
    // On line or off line: the offline indicator, the tray icon and the balance mark follow.
    void SetOnlineDisplay(bool online);
    // The worker error boxes: some cancellations were refused; anything else went wrong.
    void ShowCancellationsRefused(int count);
    void ShowUnforeseenError();
    void RecountOutboxCaption();
    void SetTrayTipAndTitle();
    void AnswerProbesFrom(SingleInstance* instance);

    // Hooks of the tray menu that later parts provide; defaults show a version box and the
    // distributor's site.
    void SetVersionAction(std::function<void()> action) { versionAction_ = std::move(action); }
    void SetUpdateAction(std::function<void()> action) { updateAction_ = std::move(action); }
    void OpenProxyDialog();
    void ShowVersionInformation();

    // State, for the tests and the panes.
    bool RefreshRunning() const { return refreshRunning_; }
    bool RefreshPending() const { return refreshPending_; }
    int BalanceRefreshCount() const { return balanceRefreshes_; }
    QString PhaseCaption() const { return phaseCaption_; }
    QString ProgressFormat() const { return progressFormat_; }
    BusyStep LastPhase() const { return lastPhase_; }
    AnimatedIndicator* BusyIndicator() const { return busy_; }
    AnimatedIndicator* OfflineIndicator() const { return offline_; }
    TrayController* Tray() const { return tray_; }
    QTimer& RefreshTimer() { return refreshTimer_; }
    QString OutboxStatusLine() const;
    bool HasBranding() const { return !branding_.isNull(); }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void ConnectSink();
    // Parts of the window, built by the constructor in this order.
    void CreateTitleControls();
    void CreatePanes();
    void CreateTimerAndShortcuts();
    void CreateTray();
    void CreateWindowMenu();
    void LayoutChrome();
    void ConnectMenuActions(QAction* version, QAction* updates, QAction* proxy, QAction* exit);
    void OnRefreshTimer();
    void RefreshBalanceDisplays();
    void OnPhase(BusyStep step);
    void OnProgress(int a, int b);
    void OnCommsEnd();
    void SetBusyTip(const QString& text);
    void PlacePane(Pane* pane);
    void SendToCurrent(int tabId, int command);

    MainWindowOptions config_;
    MessageStore* store_;
    CommsWorker* worker_;
    QueuedMessageSink* sink_;
    QImage branding_;
    LoginPane* login_ = nullptr;
    OptionsPane* options_ = nullptr;
    std::map<int, Pane*> panes_;
    std::map<int, TabButton*> tabs_;
    Pane* currentPane_ = nullptr;
    int currentTab_ = 0;
    ImageButton* close_ = nullptr;
    ImageButton* menuButton_ = nullptr;
    QMenu windowMenu_;
    QAction* maximiseAction_ = nullptr;
    FrameResizer resizer_{this};
    int closeAnswer_ = 0;  // this run's answer to the no-tray question: 0 not asked, 1 quit, 2 keep
    AnimatedIndicator* busy_ = nullptr;
    AnimatedIndicator* offline_ = nullptr;
    TrayController* tray_ = nullptr;
    QTimer refreshTimer_;
    bool refreshRunning_ = false;
    bool refreshPending_ = false;
    int balanceRefreshes_ = 0;
    QString phaseCaption_;
    QString progressFormat_;
    BusyStep lastPhase_ = BusyStep::None;
    bool loggedIn_ = false;
    QPoint dragOffset_;
    bool dragging_ = false;
    std::function<void()> versionAction_;
    std::function<void()> updateAction_;
};

}  // namespace quillon
