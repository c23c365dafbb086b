#include "ui/shell/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QSvgRenderer>
#include <QWindow>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "store/MessageStore.h"
#include "ui/addressbook/AddressBookPane.h"
#include "ui/compose/ComposePane.h"
#include "ui/login/LoginPane.h"
#include "ui/options/OptionsPane.h"
#include "ui/options/ProxyDialog.h"
#include "ui/outbox/OutboxPane.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/AnimatedIndicator.h"
#include "ui/shell/BalanceLabel.h"
#include "ui/shell/ImageButton.h"
#include "ui/shell/PlaceholderPane.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/TabButton.h"
#include "ui/shell/TrayController.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {
constexpr int kW = ShellStyle::kBackgroundWidth;
constexpr int kH = ShellStyle::kBackgroundHeight;
constexpr int kBorder = 1;  // the window is the background plus one pixel on each side
constexpr int kDragBand = 80;
constexpr int kFooterHeight = 26;
// Design x of the tab buttons; the last three keep their distance from the right edge.
constexpr std::array<int, 4> kTabX{24, 340, 440, 540};

// The window's own state beside the settings file: size and position.
QString WindowStateFile() {
    return Q(DataFile("Window.conf"));
}

bool IsPhase(BusyStep step) {
    return step == BusyStep::Promoting || step == BusyStep::Sending || step == BusyStep::Querying;
}

BusyStep StepOf(WorkerPhase phase) {
    switch (phase) {
        case WorkerPhase::Promoting:
            return BusyStep::Promoting;
        case WorkerPhase::Sending:
            return BusyStep::Sending;
        case WorkerPhase::Querying:
            return BusyStep::Querying;
    }
    return BusyStep::None;
}
}  // namespace

MainWindow::MainWindow(MessageStore* store, CommsWorker* worker, QueuedMessageSink* sink, MainWindowOptions options,
                       QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint),
      config_(options),
      store_(store),
      worker_(worker),
      sink_(sink) {
    setObjectName("mainWindow");
    // The design size is the smallest; the panes stretch when the window grows.
    setMinimumSize(kW + 2 * kBorder, kH + 2 * kBorder);
    resize(minimumSize());
    setMouseTracking(true);
    InstallAccessibleFactories();
    setWindowIcon(ShellStyle::Icon("quillon"));
    setStyleSheet(ShellStyle::PaneStyleSheet());
    setAttribute(Qt::WA_QuitOnClose, false);

    CreateTitleControls();
    CreatePanes();
    CreateTimerAndShortcuts();
    ConnectSink();

    ReloadBranding();
    CreateTray();
    CreateWindowMenu();
    SetTrayTipAndTitle();
    if (tray_)
        tray_->Add();
    if (!RestoreGeometry()) {
        if (QScreen* screen = QGuiApplication::primaryScreen())
            move(screen->availableGeometry().center() - rect().center());
    }
    LayoutChrome();
}

// The close button, the tab buttons and the busy and off-line indicators.
void MainWindow::CreateTitleControls() {
    menuButton_ = new ImageButton("menu", QSize(15, 15), this);
    menuButton_->setObjectName("menuButton");
    menuButton_->setToolTip(Text(kTextWindowMenu));
    NameControl(menuButton_, Text(kTextWindowMenu));
    connect(menuButton_, &QAbstractButton::clicked, this,
            [this] { windowMenu_.popup(menuButton_->mapToGlobal(QPoint(0, menuButton_->height()))); });
    close_ = new ImageButton("close", QSize(15, 15), this);
    close_->setObjectName("closeButton");
    close_->setToolTip(Text(kTextClose) + " (Esc)");
    NameControl(close_, Text(kTextClose));
    connect(close_, &QAbstractButton::clicked, this, &MainWindow::CloseToTray);

    const std::array<std::pair<int, int>, 4> tabTexts{{{kTabSms, kTextTabSms},
                                                       {kTabAddresses, kTextTabAddresses},
                                                       {kTabOutbox, kTextTabOutbox},
                                                       {kTabOptions, kTextTabOptions}}};
    for (size_t i = 0; i < tabTexts.size(); ++i) {
        auto* tab = new TabButton(tabTexts[i].first, Text(tabTexts[i].second), this);
        tab->setObjectName(QStringLiteral("tab%1").arg(tabTexts[i].first));
        tab->setToolTip(QStringLiteral("Ctrl+%1").arg(i + 1));
        tab->setAccessibleDescription(Text(kTextTabsHint));
        tab->hide();
        int id = tabTexts[i].first;
        connect(tab, &QAbstractButton::clicked, this, [this, id] { SelectTab(id); });
        connect(tab, &TabButton::stepRequested, this, [this](int delta) {
            StepTab(delta);
            if (TabButton* current = Tab(currentTab_))
                current->setFocus(Qt::TabFocusReason);
        });
        tabs_[id] = tab;
    }
    tabs_[kTabSms]->setObjectName("tabSms");
    tabs_[kTabAddresses]->setObjectName("tabAddresses");
    tabs_[kTabOutbox]->setObjectName("tabOutbox");
    tabs_[kTabOptions]->setObjectName("tabOptions");

    busy_ = new AnimatedIndicator({"busy-0", "busy-1", "busy-2", "busy-3"}, 200, this);
    busy_->setObjectName("busyIndicator");
    NameControl(busy_, Text(kTextBusyName));
    offline_ = new AnimatedIndicator({"offline-0", "offline-1"}, 1000, this);
    offline_->setObjectName("offlineIndicator");
    offline_->setToolTip(Text(kTextOfflineTip));
    NameControl(offline_, Text(kTextOfflineTip));
    for (AnimatedIndicator* indicator : {busy_, offline_})
        indicator->hide();
}

// The login pane (shown first), the tab panes and the options pane.
void MainWindow::CreatePanes() {
    login_ = new LoginPane(this);
    connect(login_, &LoginPane::loggedIn, this, &MainWindow::LoginSucceeded);
    auto* compose = new ComposePane(store_, worker_, this);
    connect(compose, &ComposePane::outboxChanged, this, [this] { RecountOutboxCaption(); });
    panes_[kTabSms] = compose;
    auto* addressBook = new AddressBookPane(store_, this);
    connect(addressBook, &AddressBookPane::newMessageRequested, this,
            [this, compose](const QVector<int>& groupIds, const QVector<int>& contactIds) {
                compose->StartMessageTo(std::vector<int32_t>(groupIds.begin(), groupIds.end()),
                                        std::vector<int32_t>(contactIds.begin(), contactIds.end()));
                SelectTab(kTabSms);
            });
    panes_[kTabAddresses] = addressBook;
    if (store_) {
        auto* outbox = new OutboxPane(*store_, worker_, this);
        connect(outbox, &OutboxPane::onLineChanged, this, &MainWindow::SetOnlineDisplay);
        connect(outbox, &OutboxPane::outboxCountChanged, this, &MainWindow::RecountOutboxCaption);
        connect(outbox, &OutboxPane::composeRequested, this, [this](int id, bool forEdit) {
            if (Pane* compose = PaneForTab(kTabSms))
                compose->LoadStoredMessage(id, forEdit);
            SelectTab(kTabSms);
        });
        panes_[kTabOutbox] = outbox;
    } else {
        panes_[kTabOutbox] =
            new PlaceholderPane(Text(kTextOutboxPlaceholder), "quillon", PlaceholderPane::WithStatusLine, this);
        panes_[kTabOutbox]->setObjectName("outboxPane");
    }
    if (BalanceLabel* balance = panes_[kTabSms]->Balance()) {
        connect(balance, &BalanceLabel::updateRequested, this, &MainWindow::OnBalanceChanged);
    }
    options_ = new OptionsPane(worker_, this);
    connect(options_, &OptionsPane::balanceChangeRequested, this, &MainWindow::OnBalanceChanged);
    connect(options_, &OptionsPane::onLineChanged, this, &MainWindow::SetOnlineDisplay);
    panes_[kTabOptions] = options_;
    for (auto& [id, pane] : panes_) {
        PlacePane(pane);
        pane->hide();
    }
    PlacePane(login_);
    login_->Open();
    currentPane_ = login_;
    login_->show();
}

void MainWindow::CreateTimerAndShortcuts() {
    refreshTimer_.setInterval(config_.balanceRefreshMs);
    connect(&refreshTimer_, &QTimer::timeout, this, &MainWindow::OnRefreshTimer);

    auto* send = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_S), this);
    connect(send, &QShortcut::activated, this, [this] { SendToCurrent(kTabSms, static_cast<int>(PaneCommand::Send)); });
    auto* selectAll = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), this);
    connect(selectAll, &QShortcut::activated, this,
            [this] { SendToCurrent(kTabOutbox, static_cast<int>(PaneCommand::SelectAll)); });
    // The tab bar: Ctrl+1 to Ctrl+4, and the next or previous tab.
    for (size_t i = 0; i < kTabOrder.size(); ++i) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | (Qt::Key_1 + static_cast<int>(i))), this);
        int id = kTabOrder[i];
        connect(shortcut, &QShortcut::activated, this, [this, id] {
            if (loggedIn_)
                SelectTab(id);
        });
    }
    const std::pair<QKeyCombination, int> steps[] = {{Qt::CTRL | Qt::Key_Tab, 1},
                                                     {Qt::CTRL | Qt::Key_PageDown, 1},
                                                     {Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab, -1},
                                                     {Qt::CTRL | Qt::Key_Backtab, -1},
                                                     {Qt::CTRL | Qt::Key_PageUp, -1}};
    for (const auto& [keys, delta] : steps) {
        auto* shortcut = new QShortcut(QKeySequence(keys), this);
        int step = delta;
        connect(shortcut, &QShortcut::activated, this, [this, step] { StepTab(step); });
    }
    // Ctrl+Q is "Exit"; Escape does what the close button does.
    auto* quit = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q), this);
    connect(quit, &QShortcut::activated, this, &MainWindow::RequestExit);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &MainWindow::CloseToTray);
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this] {
        if (currentPane_ == options_)
            options_->SaveOptions();
    });
}

// The tray icon and its menu, when the desktop has a tray.
void MainWindow::CreateTray() {
    if (!config_.tray)
        return;
    tray_ = new TrayController(this, config_.trayHostCheckMs);
    connect(tray_, &TrayController::showRequested, this, &MainWindow::ShowFromTray);
    ConnectMenuActions(tray_->VersionAction(), tray_->UpdatesAction(), tray_->ProxyAction(), tray_->ExitAction());
}

void MainWindow::ConnectMenuActions(QAction* version, QAction* updates, QAction* proxy, QAction* exit) {
    connect(version, &QAction::triggered, this, &MainWindow::ShowVersionInformation);
    connect(updates, &QAction::triggered, this, [this] {
        if (updateAction_) {
            updateAction_();
            return;
        }
        ShowLinkMessage(this, Text(kIdUpdateVisitSite), Text(kIdUpdateDialogCaption),
                        Q(Settings().UpdateURL.empty() ? Settings().help_url : Settings().UpdateURL));
    });
    connect(proxy, &QAction::triggered, this, &MainWindow::OpenProxyDialog);
    connect(exit, &QAction::triggered, this, &MainWindow::RequestExit);
}

// The header's menu: what the tray menu offers, so a desktop without a tray loses nothing, and the
// window's size.
void MainWindow::CreateWindowMenu() {
    windowMenu_.setObjectName("windowMenu");
    QAction* version = windowMenu_.addAction(Mnemonic(Text(kTextMenuVersion), 'v'));
    QAction* updates = windowMenu_.addAction(Mnemonic(Text(kTextMenuUpdates), 'u'));
    QAction* proxy = windowMenu_.addAction(Mnemonic(Text(kTextMenuProxy), 'p'));
    windowMenu_.addSeparator();
    maximiseAction_ = windowMenu_.addAction(Mnemonic(Text(kTextMaximise), 'm'));
    connect(maximiseAction_, &QAction::triggered, this, &MainWindow::ToggleMaximised);
    windowMenu_.addSeparator();
    QAction* exit = windowMenu_.addAction(Mnemonic(Text(kTextMenuExit), 'x'));
    exit->setObjectName("windowMenuExit");
    exit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    exit->setShortcutContext(Qt::WidgetShortcut);  // shown in the menu; the window's own shortcut acts
    ConnectMenuActions(version, updates, proxy, exit);
}

void MainWindow::ToggleMaximised() {
    if (isMaximized())
        showNormal();
    else
        showMaximized();
}

void MainWindow::SaveGeometry() const {
    if (DataDirectory().empty())
        return;
    QSettings state(WindowStateFile(), QSettings::IniFormat);
    state.setValue("geometry", saveGeometry());
    state.sync();
}

bool MainWindow::RestoreGeometry() {
    if (DataDirectory().empty())
        return false;
    QSettings state(WindowStateFile(), QSettings::IniFormat);
    QByteArray geometry = state.value("geometry").toByteArray();
    return !geometry.isEmpty() && restoreGeometry(geometry);
}

MainWindow::~MainWindow() {
    SaveGeometry();
}

// Queued connections die with their receiver, so nothing reaches a destroyed window or pane.
void MainWindow::ConnectSink() {
    if (!sink_)
        return;
    using Sink = QueuedMessageSink;
    sink_->ConnectQueued(&Sink::cycleBegan, this, [this] { OnPhase(BusyStep::CycleBegan); });
    sink_->ConnectQueued(&Sink::phaseBegan, this, [this](WorkerPhase phase) { OnPhase(StepOf(phase)); });
    sink_->ConnectQueued(&Sink::progress, this, &MainWindow::OnProgress);
    sink_->ConnectQueued(&Sink::cycleEnded, this, &MainWindow::OnCommsEnd);
    sink_->ConnectQueued(&Sink::balanceChanged, this, &MainWindow::OnBalanceChanged);
    sink_->ConnectQueued(&Sink::wentOffLine, this, [this] { SetOnlineDisplay(false); });
    sink_->ConnectQueued(&Sink::cancellationsRefused, this, &MainWindow::ShowCancellationsRefused);
    sink_->ConnectQueued(&Sink::outboxChanged, this, [this](int mode) {
        if (Pane* outbox = PaneForTab(kTabOutbox))
            outbox->RefreshOutbox(mode);
    });
    sink_->ConnectQueued(&Sink::communicationFailure, this, [this] {
        ShowMessageById(this, MessageIcon::Error, kIdLoginFailedCaption, kIdServerUnreachable);
    });
    // The settings page's own: it goes off line (and reports that back here); a finished
    // cancellation list needs nothing from it.
    sink_->ConnectQueued(&Sink::goOffLine, options_, &OptionsPane::GoOffline);
}

void MainWindow::SetTrayTipAndTitle() {
    // The program's own edition is named "Quillon"; a distributor edition is plainly "SMS".
    bool ownEdition = Settings().client_id == "QLNX";
    QString title = Text(ownEdition ? kIdAppTitle : kIdAppTitleGeneric);
    setWindowTitle(title);
    if (tray_)
        tray_->SetTip(title);
}

// At the design size a pane sits centred below the header. A larger window gives its extra room
// to a pane that can grow; a pane of fixed size stays centred.
void MainWindow::PlacePane(Pane* pane) {
    QSize design = pane->minimumSize().isEmpty() ? pane->size() : pane->minimumSize();
    int x = (kW - design.width()) / 2;
    int y = (kH - design.height() - ShellStyle::kHeaderHeight) / 2 + ShellStyle::kHeaderHeight;
    int extraW = std::max(0, width() - minimumWidth());
    int extraH = std::max(0, height() - minimumHeight());
    QSize grown = (design + QSize(extraW, extraH)).boundedTo(pane->maximumSize());
    x += (design.width() + extraW - grown.width()) / 2;
    y += (design.height() + extraH - grown.height()) / 2;
    pane->setGeometry(kBorder + x, kBorder + y, grown.width(), grown.height());
}

// The header's buttons and tabs, and the indicators, follow the right and bottom edges.
void MainWindow::LayoutChrome() {
    int right = width() - kBorder;
    int bottom = height() - kBorder;
    close_->move(right - 19, kBorder + 4);
    menuButton_->move(right - 19 - 20, kBorder + 4);
    for (size_t i = 0; i < kTabOrder.size(); ++i) {
        int x = i == 0 ? kBorder + kTabX[i] : right - (kW - kTabX[i]);
        if (TabButton* tab = Tab(kTabOrder[i]))
            tab->move(x, kBorder + 88);
    }
    for (AnimatedIndicator* indicator : {busy_, offline_})
        indicator->move(right - 22, bottom - 22);
    for (auto& [id, pane] : panes_)
        PlacePane(pane);
    if (login_)
        PlacePane(login_);
    if (maximiseAction_)
        maximiseAction_->setText(Mnemonic(Text(isMaximized() ? kTextRestoreSize : kTextMaximise), 'm'));
}

Pane* MainWindow::PaneForTab(int tabId) const {
    auto it = panes_.find(tabId);
    return it == panes_.end() ? nullptr : it->second;
}

TabButton* MainWindow::Tab(int tabId) const {
    auto it = tabs_.find(tabId);
    return it == tabs_.end() ? nullptr : it->second;
}

void MainWindow::ReplacePane(int tabId, Pane* pane) {
    Pane* old = PaneForTab(tabId);
    if (!old || !pane)
        return;
    pane->setParent(this);
    PlacePane(pane);
    panes_[tabId] = pane;
    if (BalanceLabel* balance = pane->Balance()) {
        connect(balance, &BalanceLabel::updateRequested, this, &MainWindow::OnBalanceChanged);
    }
    if (currentPane_ == old) {
        currentPane_ = pane;
        pane->show();
        pane->Activate();
    } else {
        pane->hide();
    }
    if (old == options_)
        options_ = nullptr;
    old->deleteLater();
}

void MainWindow::StepTab(int delta) {
    if (!loggedIn_)
        return;
    auto at = std::find(kTabOrder.begin(), kTabOrder.end(), currentTab_);
    int index = at == kTabOrder.end() ? 0 : static_cast<int>(at - kTabOrder.begin());
    int count = static_cast<int>(kTabOrder.size());
    SelectTab(kTabOrder[static_cast<size_t>(((index + delta) % count + count) % count)]);
}

void MainWindow::SelectTab(int tabId) {
    if (tabId == currentTab_)
        return;
    Pane* pane = PaneForTab(tabId);
    if (!pane)
        return;
    if (TabButton* previous = Tab(currentTab_))
        previous->SetPressed(false);
    if (currentPane_) {
        currentPane_->hide();
        currentPane_->Deactivate();
    }
    currentPane_ = pane;
    currentTab_ = tabId;
    pane->show();
    pane->Activate();
    if (TabButton* tab = Tab(tabId))
        tab->SetPressed(true);
}

void MainWindow::SendToCurrent(int tabId, int command) {
    if (currentTab_ != tabId || !currentPane_)
        return;
    currentPane_->HandleCommand(static_cast<PaneCommand>(command));
}

void MainWindow::LoginSucceeded() {
    if (options_)
        options_->LoadOptions();
    if (worker_ && !worker_->IsRunning())
        worker_->Start();
    for (auto& [id, tab] : tabs_)
        tab->show();
    loggedIn_ = true;
    RecountOutboxCaption();
    SelectTab(kTabSms);
    // Last, so the balance displays of the pane now current carry the online mark.
    SetOnlineDisplay(Settings().WorkingOnLine);
}

void MainWindow::RecountOutboxCaption() {
    int count = store_ ? store_->Outbox().CountOutbox() : 0;
    QString caption = count <= 999 ? Text(kIdOutboxTabCount).replace(QStringLiteral("%d"), QString::number(count))
                                   : Text(kIdOutboxTabFull);
    if (TabButton* tab = Tab(kTabOutbox))
        tab->setText(caption);
}

bool MainWindow::ClosesToTray() const {
    return tray_ && tray_->HostAvailable();
}

void MainWindow::CloseToTray() {
    if (ClosesToTray()) {
        hide();
    } else {
        // Without a tray the hidden window could not be reached again: quit, or minimise instead.
        if (closeAnswer_ == 0) {
            MessageAnswer answer =
                AskQuestion(this, Text(kTextQuitOrKeepCaption), Text(kTextQuitOrKeepText),
                            Mnemonic(Text(kTextQuitButton), 'q'), Mnemonic(Text(kTextKeepRunningButton), 'k'));
            closeAnswer_ = answer == MessageAnswer::Yes ? 1 : 2;
        }
        if (closeAnswer_ == 1) {
            RequestExit();
            return;
        }
        showMinimized();
    }
    if (store_)
        store_->Commit();
}

void MainWindow::ShowFromTray() {
    showNormal();
    raise();
    activateWindow();
}

void MainWindow::RequestExit() {
    if (currentPane_ && currentPane_ == options_)
        options_->SaveOptions();
    SaveGeometry();
    hide();
    QCoreApplication::exit(0);
}

void MainWindow::AnswerProbesFrom(SingleInstance* instance) {
    connect(instance, &SingleInstance::probed, this, &MainWindow::ShowFromTray);
}

void MainWindow::ReloadBranding() {
    // A distributor's header picture, 648 by 81 pixels; missing or unreadable leaves the plain one.
    QImage image(Q(DataFile("XInfo.dll")));
    branding_ = image.isNull() ? QImage() : image.scaled(648, 81, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    update();
}

QString MainWindow::OutboxStatusLine() const {
    Pane* outbox = PaneForTab(kTabOutbox);
    return outbox ? outbox->StatusLine() : QString();
}

void MainWindow::OpenProxyDialog() {
    ProxyDialog dialog(this);
    dialog.exec();
    // The options pane applies its proxy controls when saved: they must show what the dialog set.
    if (options_)
        options_->LoadProxyControls();
}

void MainWindow::ShowVersionInformation() {
    if (versionAction_) {
        versionAction_();
        return;
    }
    int major = 0, minor = 0, patch = 0;
    std::sscanf(QUILLON_VERSION, "%d.%d.%d", &major, &minor, &patch);
    std::string comms;
    if (GatewayHandle gateway = GatewayApi::Instance()) {
        std::string version;
        if (gateway->Version(false, version) >= 0 && version.size() > 4)
            comms = version.substr(4);
    }
    QString text = Text(Settings().client_id == "QLNX" ? kIdAppTitle : kIdAppTitleGeneric) + "\n" +
                   FormatText(kIdVersionLine, {major, minor, patch, 0}) + "\n" + FormatText(kIdCommsLine, {comms});
    ShowMessage(this, MessageIcon::Information, Text(kTextVersionTitle), text);
}

// A burst of changes gives one refresh when the interval has passed since the first, and one more
// an interval later when changes came in between.
void MainWindow::OnBalanceChanged() {
    if (!refreshRunning_) {
        refreshRunning_ = true;
        refreshPending_ = false;
        refreshTimer_.start();
    } else {
        refreshPending_ = true;
    }
    for (Pane* pane : {PaneForTab(kTabSms), static_cast<Pane*>(options_)}) {
        if (pane && pane->Balance())
            pane->Balance()->StartBlinking();
    }
}

void MainWindow::OnRefreshTimer() {
    RefreshBalanceDisplays();
    refreshRunning_ = false;
    if (refreshPending_) {
        OnBalanceChanged();
    } else {
        refreshTimer_.stop();
    }
}

void MainWindow::RefreshBalanceDisplays() {
    ++balanceRefreshes_;
    RefreshBalance();
    QString text = Q(BalanceText(kIdBalanceShort));
    for (Pane* pane : {PaneForTab(kTabSms), static_cast<Pane*>(options_)}) {
        if (pane && pane->Balance()) {
            pane->Balance()->StopBlinking();
            pane->Balance()->setText(text);
        }
    }
    RecountOutboxCaption();
}

void MainWindow::SetBusyTip(const QString& text) {
    busy_->setToolTip(text);
}

void MainWindow::OnPhase(BusyStep step) {
    struct Phase {
        BusyStep step;
        int caption;
        int format;
    };
    static const Phase kPhases[] = {{BusyStep::CycleBegan, kIdPhaseCommunicating, 0},
                                    {BusyStep::Promoting, kIdPhaseEscalation, kIdProgressEscalation},
                                    {BusyStep::Sending, kIdPhaseSending, kIdProgressSending},
                                    {BusyStep::Querying, kIdPhaseQuerying, kIdProgressQuerying}};
    for (const Phase& phase : kPhases) {
        if (phase.step != step)
            continue;
        phaseCaption_ = Text(phase.caption);
        progressFormat_ = phase.format ? Text(phase.format) : QString();
    }
    busy_->show();
    busy_->Start();
    if (Pane* outbox = PaneForTab(kTabOutbox))
        outbox->ShowStatusLine(phaseCaption_);
    SetBusyTip(phaseCaption_);
    lastPhase_ = step;
}

void MainWindow::OnProgress(int a, int b) {
    if (!busy_->IsRunning() && busy_->isVisible())
        busy_->Start();
    QString line = Q(FormatMessageText(S(progressFormat_),
                                       {S(phaseCaption_), static_cast<long long>(a), static_cast<long long>(b)}));
    // Progress belongs to a phase: after the begin message alone nothing is shown.
    if (!IsPhase(lastPhase_))
        return;
    if (Pane* outbox = PaneForTab(kTabOutbox))
        outbox->ShowStatusLine(line);
    SetBusyTip(line);
}

void MainWindow::OnCommsEnd() {
    busy_->Stop();
    busy_->hide();
    phaseCaption_.clear();
    progressFormat_.clear();
    if (Pane* outbox = PaneForTab(kTabOutbox))
        outbox->ShowStatusLine(QString());
    SetBusyTip(QString());
    lastPhase_ = BusyStep::CycleEnded;
}

void MainWindow::SetOnlineDisplay(bool online) {
    if (online) {
        offline_->hide();
        offline_->Stop();
    } else {
        offline_->show();
        offline_->Start();
    }
    if (tray_)
        tray_->SetOnline(online);
    // The balance carries a "?" while off line.
    QString text = Q(BalanceText(kIdBalanceShort));
    for (Pane* pane : {PaneForTab(kTabSms), static_cast<Pane*>(options_)}) {
        if (pane && pane->Balance())
            pane->Balance()->setText(text);
    }
}

void MainWindow::ShowCancellationsRefused(int count) {
    ShowMessage(this, MessageIcon::Error, Text(kTextErrorCaption),
                FormatText(kIdCancellationsRefused, {static_cast<long long>(count)}));
}

void MainWindow::ShowUnforeseenError() {
    ShowMessage(this, MessageIcon::Error, Text(kTextErrorCaption), Text(kIdUnforeseenError));
}

void MainWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(rect(), ShellStyle::kWindow);
    int w = width() - 2 * kBorder;
    int h = height() - 2 * kBorder;
    QRect header(kBorder, kBorder, w, ShellStyle::kHeaderHeight);
    QLinearGradient band(header.topLeft(), header.bottomLeft());
    band.setColorAt(0, QColor(0x0c, 0x3d, 0x68));
    band.setColorAt(1, QColor(0x12, 0x55, 0x8e));
    p.fillRect(header, band);
    QRectF banner(kBorder + 4, kBorder + 4, 648, 81);
    if (!branding_.isNull()) {
        p.drawImage(banner, branding_);
    } else {
        QSvgRenderer renderer(ShellStyle::ImagePath("header"));
        renderer.render(&p, banner);
    }
    // The footer strip that carries the indicators.
    p.fillRect(QRect(kBorder, kBorder + h - kFooterHeight, w, kFooterHeight), QColor(0xe3, 0xe9, 0xef));
    p.setPen(ShellStyle::kBorder);
    p.drawLine(kBorder, kBorder + h - kFooterHeight, kBorder + w, kBorder + h - kFooterHeight);
    p.setPen(QPen(ShellStyle::kAccentDark, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, width() - 1, height() - 1));
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
    if (resizer_.Press(event))
        return;
    if (event->button() == Qt::LeftButton && event->position().y() < kDragBand) {
        // The header works as a title bar.
        if (windowHandle() && windowHandle()->startSystemMove())
            return;
        dragging_ = true;
        dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
        return;
    }
    QWidget::mousePressEvent(event);
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    if (resizer_.Move(event))
        return;
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    resizer_.Release();
    QWidget::mouseReleaseEvent(event);
}

void MainWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    // As on a title bar: a double click on the header maximises or restores.
    if (event->button() == Qt::LeftButton && event->position().y() < kDragBand) {
        ToggleMaximised();
        return;
    }
    QWidget::mouseDoubleClickEvent(event);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    LayoutChrome();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A close from the window manager does what the close button does.
    event->ignore();
    CloseToTray();
}

}  // namespace quillon
