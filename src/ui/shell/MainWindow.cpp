#include "ui/shell/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
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
#include "ui/login/LoginPane.h"
#include "ui/options/OptionsPane.h"
#include "ui/options/ProxyDialog.h"
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
    setFixedSize(kW + 2 * kBorder, kH + 2 * kBorder);
    setWindowIcon(ShellStyle::Icon("quillon"));
    setStyleSheet(ShellStyle::PaneStyleSheet());
    setAttribute(Qt::WA_QuitOnClose, false);

    CreateTitleControls();
    CreatePanes();
    CreateTimerAndShortcuts();
    ConnectSink();

    ReloadBranding();
    CreateTray();
    SetTrayTipAndTitle();
    if (tray_)
        tray_->Add();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

// The close button, the tab buttons and the busy and off-line indicators.
void MainWindow::CreateTitleControls() {
    close_ = new ImageButton("close", QSize(15, 15), this);
    close_->setObjectName("closeButton");
    close_->setToolTip(Text(kTextClose));
    close_->move(kBorder + kW - 19, kBorder + 4);
    connect(close_, &QAbstractButton::clicked, this, &MainWindow::CloseToTray);

    const std::array<std::pair<int, int>, 4> tabTexts{{{kTabSms, kTextTabSms},
                                                       {kTabAddresses, kTextTabAddresses},
                                                       {kTabOutbox, kTextTabOutbox},
                                                       {kTabOptions, kTextTabOptions}}};
    const std::array<int, 4> tabX{24, 340, 440, 540};
    for (size_t i = 0; i < tabTexts.size(); ++i) {
        auto* tab = new TabButton(tabTexts[i].first, Text(tabTexts[i].second), this);
        tab->setObjectName(QStringLiteral("tab%1").arg(tabTexts[i].first));
        tab->move(kBorder + tabX[i], kBorder + 88);
        tab->hide();
        int id = tabTexts[i].first;
        connect(tab, &QAbstractButton::clicked, this, [this, id] { SelectTab(id); });
        tabs_[id] = tab;
    }
    tabs_[kTabSms]->setObjectName("tabSms");
    tabs_[kTabAddresses]->setObjectName("tabAddresses");
    tabs_[kTabOutbox]->setObjectName("tabOutbox");
    tabs_[kTabOptions]->setObjectName("tabOptions");

    busy_ = new AnimatedIndicator({"busy-0", "busy-1", "busy-2", "busy-3"}, 200, this);
    busy_->setObjectName("busyIndicator");
    offline_ = new AnimatedIndicator({"offline-0", "offline-1"}, 1000, this);
    offline_->setObjectName("offlineIndicator");
    offline_->setToolTip(Text(kTextOfflineTip));
    for (AnimatedIndicator* indicator : {busy_, offline_}) {
        indicator->move(kBorder + kW - 22, kBorder + kH - 22);
        indicator->hide();
    }
}

// The login pane (shown first), the tab panes and the options pane.
void MainWindow::CreatePanes() {
    login_ = new LoginPane(this);
    connect(login_, &LoginPane::loggedIn, this, &MainWindow::LoginSucceeded);
    panes_[kTabSms] = new PlaceholderPane(Text(kTextComposePlaceholder), "quillon", PlaceholderPane::WithBalance, this);
    panes_[kTabSms]->setObjectName("composePane");
    auto* addressBook = new AddressBookPane(store_, this);
    // The compose pane takes the recipients; the window shows it.
    connect(addressBook, &AddressBookPane::newMessageRequested, this, [this] { SelectTab(kTabSms); });
    panes_[kTabAddresses] = addressBook;
    panes_[kTabOutbox] =
        new PlaceholderPane(Text(kTextOutboxPlaceholder), "quillon", PlaceholderPane::WithStatusLine, this);
    panes_[kTabOutbox]->setObjectName("outboxPane");
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
    connect(tray_->VersionAction(), &QAction::triggered, this, &MainWindow::ShowVersionInformation);
    connect(tray_->UpdatesAction(), &QAction::triggered, this, [this] {
        if (updateAction_) {
            updateAction_();
            return;
        }
        ShowLinkMessage(this, Text(kIdUpdateVisitSite), Text(kIdUpdateDialogCaption),
                        Q(Settings().UpdateURL.empty() ? Settings().help_url : Settings().UpdateURL));
    });
    connect(tray_->ProxyAction(), &QAction::triggered, this, &MainWindow::OpenProxyDialog);
    connect(tray_->ExitAction(), &QAction::triggered, this, &MainWindow::RequestExit);
}

MainWindow::~MainWindow() = default;

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

void MainWindow::PlacePane(Pane* pane) {
    int x = (kW - pane->width()) / 2;
    int y = (kH - pane->height() - ShellStyle::kHeaderHeight) / 2 + ShellStyle::kHeaderHeight;
    pane->move(kBorder + x, kBorder + y);
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
        // Without a tray the hidden window could not be reached again: minimise it instead.
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
    QRect header(kBorder, kBorder, kW, ShellStyle::kHeaderHeight);
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
    p.fillRect(QRect(kBorder, kBorder + kH - 26, kW, 26), QColor(0xe3, 0xe9, 0xef));
    p.setPen(ShellStyle::kBorder);
    p.drawLine(kBorder, kBorder + kH - 26, kBorder + kW, kBorder + kH - 26);
    p.setPen(QPen(ShellStyle::kAccentDark, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(0.5, 0.5, width() - 1, height() - 1));
}

void MainWindow::mousePressEvent(QMouseEvent* event) {
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
    if (dragging_) {
        move(event->globalPosition().toPoint() - dragOffset_);
        return;
    }
    QWidget::mouseMoveEvent(event);
}

void MainWindow::mouseReleaseEvent(QMouseEvent* event) {
    dragging_ = false;
    QWidget::mouseReleaseEvent(event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A close from the window manager does what the close button does.
    event->ignore();
    CloseToTray();
}

}  // namespace quillon
