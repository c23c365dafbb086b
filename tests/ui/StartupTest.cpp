// The quillon program as a process: start-up failures with their boxes and exit codes, database salvage,
// an orderly end on SIGTERM, "Start minimised", and a second start finding the first.
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTcpServer>
#include <QtTest>

#include <csignal>

#include "core/DataDirLock.h"
#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {

bool WriteFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

constexpr bool kOffLine = true;

// One program run with its own data directory, runtime directory and record of message boxes.
struct Run {
    TempDir home;
    QString homeDir = QString::fromStdString(home.Path());
    QString dataDir = homeDir + "/data";
    QString runtimeDir = homeDir + "/run";
    QString stateFile = homeDir + "/window-state.txt";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess process;

    // offLine: the settings say to work off line, so no start-up waits for a gateway.
    explicit Run(bool offLine = false) {
        QDir().mkpath(dataDir);
        QDir().mkpath(runtimeDir);
        QFile::setPermissions(runtimeDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QUILLON_DATAPATH", dataDir);
        env.insert("XDG_RUNTIME_DIR", runtimeDir);
        env.insert("XDG_CONFIG_HOME", homeDir + "/config");
        env.insert("HOME", homeDir);
        env.insert("QUILLON_RECORD_MESSAGES", homeDir + "/messages.txt");
        env.insert("QUILLON_COMPONENTS", QUILLON_BINARY_DIR "/components.conf");
        if (offLine)
            Set("WorkingOnLine", "0");
    }
    ~Run() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
    // quillon-cli settings set NAME VALUE on the run's data directory.
    void Set(const std::string& name, const std::string& value) {
        const CliResult r = RunCli(dataDir.toStdString(), {"settings", "set", name, value});
        QVERIFY2(r.rc == 0, r.err.c_str());
    }
    // probed: the program with the start-up probe (tests/ui/probe), which can throw or report the window.
    void Start(bool probed = false) {
        if (probed)
            env.insert("QUILLON_TEST_WINDOW_STATE", stateFile);
        process.setProcessEnvironment(env);
        process.start(probed ? QUILLON_PROBED_EXE : QUILLON_DESKTOP_EXE, {});
    }
    QString WindowState() const {
        QFile file(stateFile);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
    // Waits (bounded) for the end; the exit code, or -1 when it did not start, end or exit normally.
    // waitForFinished() answers false for a process already seen ending during a QTRY_ wait.
    int Finish(int timeoutMs = 30000) {
        if (process.state() != QProcess::NotRunning && !process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        if (process.error() == QProcess::FailedToStart || process.exitStatus() != QProcess::NormalExit)
            return -1;
        return process.exitCode();
    }
    int Terminate() {
        ::kill(static_cast<pid_t>(process.processId()), SIGTERM);
        return Finish();
    }
    QStringList Shown() const {
        QFile file(homeDir + "/messages.txt");
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        return QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    }
};

// How the record file writes a box: "caption|text|link", line breaks as "\n".
QString Line(const QString& caption, const QString& text, const QString& link = {}) {
    auto flat = [](QString s) { return s.replace("\r", "").replace("\n", "\\n"); };
    return flat(caption) + "|" + flat(text) + "|" + link;
}

}  // namespace

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    // No data folder named, or a named one that is missing: the box says which and how to make it.
    void MissingDataPathEndsWithTheCriticalBox() {
        const QString noneNamed = Text(kTextNoDataPath) + "\n\n" + Text(kTextDataPathHowTo);
        for (const QString& path : {QString(), QString("/"), QString("missing")}) {
            Run run;
            QString named = path == "missing" ? run.dataDir + "/missing" : path;
            named.isEmpty() ? run.env.remove("QUILLON_DATAPATH") : run.env.insert("QUILLON_DATAPATH", named);
            run.Start();
            QCOMPARE(run.Finish(), 0);
            QString text = path == "missing" ? FormatText(kTextDataDirMissing, {S(named)}) : noneNamed;
            QCOMPARE(run.Shown(), QStringList{Line(Text(kTextCriticalError), text)});
            QVERIFY(!QFile::exists(run.dataDir + "/SMS.db"));
        }
    }

    void UnregisteredComponentEndsWithoutAWindow() {
        Run run;
        QVERIFY(WriteFile(run.homeDir + "/components.conf", "# nothing registered\n"));
        run.env.insert("QUILLON_COMPONENTS", run.homeDir + "/components.conf");
        run.Start();
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line(Text(1360), Text(1362))});
    }

    // A folder where the database belongs ends the start with its box, translated unless i18n is off.
    void UnusableDatabaseEndsWithoutAWindowInTheModulesLanguage() {
        for (bool i18n : {true, false}) {
            Run run(kOffLine);
            if (!i18n)
                run.Set("i18n", "0");
            QVERIFY(QDir().mkpath(run.dataDir + "/SMS.db"));
            QVERIFY(WriteFile(run.dataDir + "/Language.dll", "# Deutsch\n1360\tSMS-Client startet nicht ...\n"));
            run.Start();
            QCOMPARE(run.Finish(), 0);
            QCOMPARE(run.Shown(), QStringList{Line(i18n ? "SMS-Client startet nicht ..." : Text(1360), Text(1361))});
            QVERIFY(QFileInfo(run.dataDir + "/SMS.db").isDir());
        }
    }

    // A damaged database is offered for salvage: declined, the program ends leaving the file; accepted, it runs on.
    void DamagedDatabaseIsOfferedForSalvage() {
        for (bool accept : {false, true}) {
            Run run(kOffLine);
            const QByteArray garbage(4096, 'x');
            QVERIFY(WriteFile(run.dataDir + "/SMS.db", garbage));
            if (!accept)
                run.env.insert("QUILLON_RECORD_ANSWER", "no");
            run.Start();
            QTRY_VERIFY_WITH_TIMEOUT(!run.Shown().isEmpty(), 20000);
            const QString offer = run.Shown()[0];
            QVERIFY2(offer.startsWith(Text(kTextStoreDamagedCaption) + "|"), qPrintable(offer));
            QVERIFY(offer.contains("file is not a database"));
            if (!accept) {
                QCOMPARE(run.Finish(), 0);
                QCOMPARE(run.Shown().size(), 1);
                QFile file(run.dataDir + "/SMS.db");
                QVERIFY(file.open(QIODevice::ReadOnly));
                QCOMPARE(file.readAll(), garbage);
                continue;
            }
            QTRY_COMPARE_WITH_TIMEOUT(run.Shown().size(), 2, 20000);
            const QStringList kept = QDir(run.dataDir).entryList({"SMS.db.corrupt-*"});
            QCOMPARE(kept.size(), 1);
            QVERIFY2(run.Shown()[1].startsWith(Text(kTextSalvageCaption) + "|"), qPrintable(run.Shown()[1]));
            QVERIFY(run.Shown()[1].contains(kept[0]));
            // The program goes on with the new database, and SIGTERM ends it in order.
            QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.runtimeDir + "/" + SingleInstance::kProbeName), 20000);
            QCOMPARE(run.Terminate(), 0);
            QCOMPARE(run.Shown().size(), 2);
        }
    }

    // An unanswering gateway at start is reported as such (no proxy error, no support link); the program goes on.
    void UnreachableGatewayAtStartIsNoProxyError() {
        Run run;
        QTcpServer closed;  // a loopback port nobody listens on
        QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
        const std::string url = "http://127.0.0.1:" + std::to_string(closed.serverPort()) + "/";
        closed.close();
        run.Set("COMBaseURL", url);
        run.Set("WorkingOnLine", "1");
        run.Start();
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.runtimeDir + "/" + SingleInstance::kProbeName), 20000);
        QCOMPARE(run.Shown(),
                 QStringList{Line(Text(kTextGatewayUnreachableCaption), Text(kTextGatewayUnreachableText))});
        QCOMPARE(run.Terminate(), 0);
    }

    void UnexpectedErrorShowsTheSupportBoxAndEnds_data() {
        QTest::addColumn<QString>("point");
        QTest::newRow("name tables") << "tables";
        QTest::newRow("main window made") << "window";
    }

    void UnexpectedErrorShowsTheSupportBoxAndEnds() {
        QFETCH(QString, point);
        const QString help = "https://support.example.test/help?from=quillon";
        Run run(kOffLine);
        run.Set("help_url", help.toStdString());
        run.env.insert("QUILLON_TEST_THROW_AT", point);
        run.Start(true);
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line(Text(kTextUnexpectedCaption), Text(kTextUnexpectedError), help)});
        // The data were closed in order: the next start gets as far as its main window.
        run.process.close();
        run.env.remove("QUILLON_TEST_THROW_AT");
        run.Start(true);
        QTRY_VERIFY_WITH_TIMEOUT(!run.WindowState().isEmpty(), 20000);
        QCOMPARE(run.Terminate(), 0);
        QCOMPARE(run.Shown().size(), 1);
    }

    // Without a tray host a hidden window could never be found again: "Start minimised" only minimises.
    void StartMinimizedMakesTheWindowWithoutShowingIt() {
        for (bool minimised : {false, true}) {
            Run run(kOffLine);
            run.Set("StartMinimized", minimised ? "1" : "0");
            run.Start(true);
            QTRY_VERIFY_WITH_TIMEOUT(!run.WindowState().isEmpty(), 20000);
            QCOMPARE(run.WindowState(), QString("tray=0 visible=1 minimized=%1").arg(minimised));
            QCOMPARE(run.Terminate(), 0);
            QVERIFY(run.Shown().isEmpty());
        }
    }

    void StartMinimizedWithATrayHostLeavesTheWindowHidden() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        const QString trayer = QStandardPaths::findExecutable("trayer");
        if (xvfb.isEmpty() || trayer.isEmpty()) {
            // CI installs both, so there a missing one is a failure rather than a hidden skip.
            if (qgetenv("CI") == "true")
                QFAIL("Xvfb and trayer are missing: CI must install them for this test");
            QSKIP("needs Xvfb and trayer for a tray host");
        }
        struct Helpers {
            QProcess server;
            QProcess tray;
            ~Helpers() {
                for (QProcess* p : {&tray, &server}) {
                    p->terminate();
                    if (!p->waitForFinished(5000)) {
                        p->kill();
                        p->waitForFinished(5000);
                    }
                }
            }
        } helpers;
        // The X server picks a free display and prints its number.
        helpers.server.start(xvfb, {"-displayfd", "1", "-screen", "0", "800x600x24", "-nolisten", "tcp"});
        QTRY_VERIFY_WITH_TIMEOUT(helpers.server.canReadLine() || helpers.server.state() == QProcess::NotRunning, 20000);
        const QString display = ":" + QString::fromLatin1(helpers.server.readLine()).trimmed();
        QVERIFY2(display.size() > 1, "the X server did not start");
        QProcessEnvironment trayEnv = QProcessEnvironment::systemEnvironment();
        trayEnv.insert("DISPLAY", display);
        helpers.tray.setProcessEnvironment(trayEnv);
        helpers.tray.start(trayer, {"--edge", "bottom", "--align", "right", "--widthtype", "pixel", "--width", "90",
                                    "--height", "22"});
        QVERIFY(helpers.tray.waitForStarted(10000));

        Run run(kOffLine);
        run.Set("StartMinimized", "1");
        run.env.insert("DISPLAY", display);
        run.env.insert("QT_QPA_PLATFORM", "xcb");
        // A start before the tray host has claimed the tray sees none: start again, a bounded number of times.
        QString state;
        for (int attempt = 0; attempt < 20 && !state.startsWith("tray=1"); ++attempt) {
            if (attempt > 0)
                QCOMPARE(run.Terminate(), 0);
            QFile::remove(run.stateFile);
            run.Start(true);
            QTRY_VERIFY_WITH_TIMEOUT(!run.WindowState().isEmpty() || run.process.state() == QProcess::NotRunning,
                                     20000);
            state = run.WindowState();
        }
        QCOMPARE(state, QString("tray=1 visible=0 minimized=0"));
        QCOMPARE(run.Terminate(), 0);
        QVERIFY(run.Shown().isEmpty());
    }

    // A data directory held by an unreachable program (quillon-cli worker): the start names it and ends.
    void DataDirectoryHeldByAnotherProgramEndsTheStart() {
        Run run(kOffLine);
        DataDirLock worker;
        QVERIFY(worker.Acquire(run.dataDir.toStdString(), "quillon-cli worker"));
        run.Start();
        QCOMPARE(run.Finish(), 0);
        const QStringList shown = run.Shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].contains(QString("in use by quillon-cli worker (process %1)").arg(::getpid())),
                 qPrintable(shown[0]));
        QVERIFY(!QFile::exists(run.dataDir + "/SMS.db"));
    }

    void SecondStartFindsTheFirstAndEnds() {
        Run first(kOffLine);
        first.Set("StartMinimized", "1");
        first.Start();
        // The probe, as a second copy sends it, is answered once the main window exists.
        qputenv("XDG_RUNTIME_DIR", first.runtimeDir.toLocal8Bit());
        QTRY_VERIFY_WITH_TIMEOUT(SingleInstance::FindRunningInstance(1000), 20000);

        // A second copy ends at once, also one with a runtime folder of its own (found through the data directory).
        const QString otherRuntime = first.homeDir + "/run2";
        QVERIFY(QDir().mkpath(otherRuntime));
        for (const QString& runtime : {first.runtimeDir, otherRuntime}) {
            QProcessEnvironment env = first.env;
            env.insert("XDG_RUNTIME_DIR", runtime);
            QProcess second;
            second.setProcessEnvironment(env);
            second.start(QUILLON_DESKTOP_EXE, {});
            QVERIFY(second.waitForFinished(20000));
            QCOMPARE(second.exitCode(), 0);
            QCOMPARE(first.process.state(), QProcess::Running);
            QVERIFY(first.Shown().isEmpty());
        }

        QCOMPARE(first.Terminate(), 0);
        // With the first copy gone, nobody answers.
        QVERIFY(!SingleInstance::FindRunningInstance(500));
        qunsetenv("XDG_RUNTIME_DIR");
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
