#include "ui/shell/Application.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QApplication>
#include <QSocketNotifier>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <utility>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/DataDirLock.h"
#include "core/DataPath.h"
#include "core/StringTable.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "store/MessageType.h"
#include "store/StartupContext.h"
#include "store/StoreCheck.h"
#include "ui/login/LoginPane.h"
#include "ui/online/OnlineServices.h"
#include "ui/shell/Accessibility.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/ShellStyle.h"
#include "ui/shell/ShutdownWindow.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/UiServices.h"
#include "ui/shell/UiText.h"

namespace quillon {

namespace {

int signalPipe[2] = {-1, -1};

StartupProbe& Probe() {
    static StartupProbe probe;
    return probe;
}

void ReachPoint(const char* point, QWidget* window = nullptr) {
    if (Probe())
        Probe()(point, window);
}

void OnTerminationSignal(int) {
    char c = 1;
    ssize_t ignored = ::write(signalPipe[1], &c, 1);
    (void)ignored;
}

// Turns SIGTERM, SIGINT and SIGHUP into an orderly end of the message loop.
void InstallTerminationHandlers(QObject* context, std::function<void()> onSignal) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [notifier, onSignal] {
        char c;
        ssize_t ignored = ::read(signalPipe[0], &c, 1);
        (void)ignored;
        notifier->setEnabled(false);
        onSignal();
    });
    struct sigaction action {};
    action.sa_handler = OnTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP})
        sigaction(sig, &action, nullptr);
}

struct Services {
    DataDirLock dataDirLock;                 // let go last: this copy sends from the data directory until it ends
    StartupContext startup;                  // data directory, settings, store, log
    std::unique_ptr<StoreCheck> storeCheck;  // the thorough check, run once start-up is done
    std::unique_ptr<QueuedMessageSink> sink;
    std::unique_ptr<CommsWorker> worker;
    std::unique_ptr<MainWindow> window;
    bool languageLoaded = false;
};

// A damaged store is offered for salvage; false when the user declines or it fails (the program
// then ends and the file stays as it is). `report`: what the salvage saved, for the log.
bool OfferSalvage(Services& services, std::string& report) {
    MessageStore& store = services.startup.OpenStore();
    if (!store.Damaged())
        return true;
    const QString question = Q(store.DamageText()) + "\n\n" + Text(kTextSalvageOffer);
    if (ShowMessage(nullptr, MessageIcon::Warning, Text(kTextStoreDamagedCaption), question, MessageButtons::YesNo) !=
        MessageAnswer::Yes)
        return false;
    const SalvageReport salvage = services.startup.SalvageStore();
    report = salvage.Text();
    if (!salvage.ok || services.startup.Store()->Damaged()) {
        ShowMessage(nullptr, MessageIcon::Stop, Text(kTextStoreDamagedCaption), Q(report));
        return false;
    }
    ShowMessage(nullptr, MessageIcon::Information, Text(kTextSalvageCaption), Q(report));
    return true;
}

}  // namespace

QString DataDirectoryProblem(const std::string& dataPath) {
    // No data folder named at all: the classic text, and how to set one up.
    if (dataPath.size() < 2)
        return Text(kTextNoDataPath) + "\n\n" + Text(kTextDataPathHowTo);
    // A folder that is named but missing or unusable: say which, and how to create it.
    if (::access(dataPath.c_str(), R_OK | W_OK | X_OK) != 0)
        return FormatText(kTextDataDirMissing, {dataPath});
    return {};
}

namespace {

// Steps 2 and 3 of start-up; false (after telling the user) when there is no usable data directory.
bool OpenDataDirectory(Services& services) {
    std::string dataPath = FindDataPath();
    QString problem = DataDirectoryProblem(dataPath);
    if (problem.isEmpty() && !services.startup.EnterDataDirectory(dataPath))
        problem = FormatText(kTextDataDirMissing, {dataPath});
    if (!problem.isEmpty()) {
        ShowMessage(nullptr, MessageIcon::Stop, Text(kTextCriticalError), problem);
        return false;
    }
    // One sender per data directory, whatever runtime folder a copy uses: a copy that holds it is
    // raised when it can be reached, else the user is told which process holds it.
    if (!services.dataDirLock.Acquire(dataPath, "Quillon", SingleInstance::ProbePath().toStdString())) {
        const DataDirLock::Holder& holder = services.dataDirLock.Owner();
        if (holder.probe.empty() || !SingleInstance::ProbeAt(Q(holder.probe)))
            ShowMessage(nullptr, MessageIcon::Stop, Text(kTextDataDirInUseCaption),
                        Q(services.dataDirLock.InUseText(dataPath)));
        return false;
    }
    services.startup.OpenSettings(true);
    std::string salvaged;
    if (!OfferSalvage(services, salvaged))
        return false;
    services.startup.OpenLog();
    if (!salvaged.empty())
        LogLine("%s", salvaged.c_str());
    if (Settings().i18n)
        services.languageLoaded = LoadLanguageModule(DataFile("Language.dll"));
    return true;
}

int RunMessageLoop(QApplication& app, Services& services, SingleInstance& instance) {
    if (!services.startup.Store()->DatabaseFileExists()) {
        ShowMessageById(nullptr, MessageIcon::Stop, kIdStartFailedCaption, kIdDatabaseFailed);
        return 0;
    }
    services.sink = std::make_unique<QueuedMessageSink>();
    services.worker =
        std::make_unique<CommsWorker>(services.startup.Store(), GatewayApi::Instance(), services.sink.get());
    services.window =
        std::make_unique<MainWindow>(services.startup.Store(), services.worker.get(), services.sink.get());
    MainWindow& window = *services.window;
    InstallOnlineServices(window);
    InstallTerminationHandlers(&window, [&window] { window.RequestExit(); });
    window.AnswerProbesFrom(&instance);
    instance.Listen();
    window.Login()->FocusInitial();
    if (!Settings().StartMinimized) {
        window.show();
    } else if (!window.ClosesToTray()) {
        // Starting in the tray needs a tray; without one the window starts minimised.
        window.showMinimized();
    }
    ReachPoint("window", &window);
    // Damage found from now on (by the check or by any operation) is told in a box, once.
    MessageStore& store = *services.startup.Store();
    store.Database().SetDamageHandler([&window, &store](const std::string&) {
        QMetaObject::invokeMethod(
            &window,
            [&window, &store] {
                ShowMessage(&window, MessageIcon::Error, Text(kTextStoreDamagedCaption),
                            Q(FormatResourceString(kTextStoreDamagedWhileRunning,
                                                   {store.Path(), store.Database().DamageReason()})));
            },
            Qt::QueuedConnection);
    });
    services.storeCheck = std::make_unique<StoreCheck>(store.Database());
    int exitCode = app.exec();
    RemoveOnlineServices();
    services.storeCheck.reset();
    if (services.worker->IsRunning())
        RunShutdownSequence(*services.worker, *services.sink);
    store.Database().SetDamageHandler(nullptr);
    return exitCode;
}

}  // namespace

void SetStartupProbe(StartupProbe probe) {
    Probe() = std::move(probe);
}

namespace {

// Answered before any window system is needed, so scripts and bug reports can ask for it.
bool PrintVersionIfAsked(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Quillon %s\n", QUILLON_VERSION);
            return true;
        }
    }
    return false;
}

void SetUpApplication(QApplication& app) {
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("quillon"));
    app.setQuitOnLastWindowClosed(false);
    ShellStyle::Apply(app);
    InstallAccessibleFactories();
    app.setWindowIcon(ShellStyle::Icon("quillon"));
}

// Unattended runs record message boxes to a file instead of showing them.
std::unique_ptr<RecordingMessagePresenter> InstallRecorder() {
    std::unique_ptr<RecordingMessagePresenter> recorder;
    QByteArray recordFile = qgetenv("QUILLON_RECORD_MESSAGES");
    if (!recordFile.isEmpty()) {
        recorder = std::make_unique<RecordingMessagePresenter>(QString::fromLocal8Bit(recordFile));
        if (qgetenv("QUILLON_RECORD_ANSWER") == "no")
            recorder->SetAnswer(MessageAnswer::No);
        SetPresenter(recorder.get());
    }
    return recorder;
}

// One copy per user: false when this start must end (another copy runs, or the lock is unusable).
bool ClaimSingleInstance(SingleInstance& instance) {
    const SingleInstance::Folder runtime = SingleInstance::ChooseRuntimeDirectory();
    if (!runtime.refused.isEmpty())
        ShowMessage(nullptr, MessageIcon::Warning, Text(kTextSecurityCaption),
                    FormatText(kTextRuntimeFolderUnsafe, {S(runtime.refused), S(runtime.path)}));
    switch (instance.Acquire()) {
        case SingleInstance::Outcome::AnotherRuns:
            SingleInstance::FindRunningInstance();
            return false;
        case SingleInstance::Outcome::Failed:
            if (!instance.Problem().isEmpty())
                ShowMessage(nullptr, MessageIcon::Stop, Text(kTextSecurityCaption), instance.Problem());
            return false;
        case SingleInstance::Outcome::First:
            break;
    }
    return true;
}

// Steps 4 and 5 with the unexpected-error box around them; the program's exit code.
int RunGatewayAndWindow(QApplication& app, Services& services, SingleInstance& instance) {
    int exitCode = 0;
    try {
        // The name tables follow the language module; copies of messages go to the clipboard.
        ReachPoint("tables");
        LoadStatusNames();
        ReloadMessageTypeNames();
        InstallClipboardHook();
        // 4. The gateway binding and its proxy configuration.
        if (!GatewayApi::IsAvailable()) {
            ShowMessageById(nullptr, MessageIcon::Stop, kIdStartFailedCaption, kIdCommsFailed);
        } else {
            SetOnLine(Settings().WorkingOnLine);
            ApplyProxySettings(IsOnLine());
            // 5. The main window and the message loop; the worker is stopped visibly.
            exitCode = RunMessageLoop(app, services, instance);
            if (services.worker)
                services.worker->WaitForExit();
            SaveSettings();
        }
        services.window.reset();
    } catch (const std::exception&) {
        ShowLinkMessage(nullptr, Text(kTextUnexpectedError), Text(kTextUnexpectedCaption), Q(Settings().help_url));
    } catch (...) {
        ShowLinkMessage(nullptr, Text(kTextUnexpectedError), Text(kTextUnexpectedCaption), Q(Settings().help_url));
    }

    return exitCode;
}

// 6. Take everything down: worker, window, store (checkpoints), settings file (saves), log.
void TakeDown(Services& services) {
    RemoveClipboardHook();
    if (services.worker)
        services.worker->WaitForExit();
    services.window.reset();
    services.worker.reset();
    services.sink.reset();
    services.storeCheck.reset();  // before the store it reads goes
    services.startup.Close();     // store (checkpoints), settings file (saves), log
    if (services.languageLoaded)
        UnloadLanguageModule();
}

}  // namespace

int RunQuillon(int argc, char** argv) {
    if (PrintVersionIfAsked(argc, argv))
        return 0;
    QApplication app(argc, argv);
    SetUpApplication(app);
    std::unique_ptr<RecordingMessagePresenter> recorder = InstallRecorder();
    DesktopSessionUi sessionUi;
    SetSessionUi(&sessionUi);
    struct Restore {
        ~Restore() {
            SetSessionUi(nullptr);
            SetPresenter(nullptr);
        }
    } restore;

    // 1. One copy per user: a second start shows the first copy's window and ends.
    SingleInstance instance;
    if (!ClaimSingleInstance(instance))
        return 0;
    // 2. The data directory, made current; 3. settings, store, log, language module.
    Services services;
    if (!OpenDataDirectory(services))
        return 0;
    const int exitCode = RunGatewayAndWindow(app, services, instance);
    TakeDown(services);
    return exitCode;
}

}  // namespace quillon
