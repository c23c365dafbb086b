// The quillon program as a process: each start-up failure with its message and exit code, the
// report of a moved-aside database, an orderly end on SIGTERM, the unexpected-error box, the window
// left unshown by "Start minimised", and a second start finding the first through the
// single-instance probe.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QtTest>
#include <csignal>

#include "support/CliRunner.h"
#include "support/TempDir.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {

// One program run with its own data directory, runtime directory and record of message boxes.
struct Run {
    TempDir home;
    QString dataDir = QString::fromStdString(home.Path()) + "/data";
    QString runtimeDir = QString::fromStdString(home.Path()) + "/run";
    QString record = QString::fromStdString(home.Path()) + "/messages.txt";
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QProcess process;

    Run() {
        QDir().mkpath(dataDir);
        QDir().mkpath(runtimeDir);
        QFile::setPermissions(runtimeDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QUILLON_DATAPATH", dataDir);
        env.insert("XDG_RUNTIME_DIR", runtimeDir);
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(home.Path()) + "/config");
        env.insert("HOME", QString::fromStdString(home.Path()));
        env.insert("QUILLON_RECORD_MESSAGES", record);
        env.insert("QUILLON_COMPONENTS", QUILLON_BINARY_DIR "/components.conf");
    }
    void Cli(const std::vector<std::string>& args) {
        const CliResult r = RunCli(dataDir.toStdString(), args);
        QVERIFY2(r.rc == 0, r.err.c_str());
    }
    void Start(const QString& program = QUILLON_DESKTOP_EXE) {
        process.setProcessEnvironment(env);
        process.start(program, {});
    }
    // The program with the start-up probe (tests/ui/probe), which can throw or report the window.
    void StartProbed() { Start(QUILLON_PROBED_EXE); }
    QString WindowStateFile() const { return QString::fromStdString(home.Path()) + "/window-state.txt"; }
    QString WindowState() const {
        QFile file(WindowStateFile());
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }
    // Waits (bounded) for the program to end; its exit code, or -1 when it did not end.
    int Finish(int timeoutMs = 30000) {
        if (!process.waitForFinished(timeoutMs)) {
            process.kill();
            process.waitForFinished(5000);
            return -1;
        }
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QStringList Shown() const {
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            return {};
        QStringList lines;
        for (const QByteArray& line : file.readAll().split('\n'))
            if (!line.isEmpty())
                lines << QString::fromUtf8(line);
        return lines;
    }
    ~Run() {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(5000);
        }
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
    void MissingDataPathEndsWithTheCriticalBox() {
        Run run;
        run.env.remove("QUILLON_DATAPATH");
        run.Start();
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line(Text(kTextCriticalError), Text(kTextNoDataPath))});
        QVERIFY(!QFile::exists(run.dataDir + "/SMS.db"));
    }

    void OneCharacterDataPathIsRejectedLikeAMissingOne() {
        Run run;
        run.env.insert("QUILLON_DATAPATH", "/");
        run.Start();
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line(Text(kTextCriticalError), Text(kTextNoDataPath))});
    }

    void UnregisteredComponentEndsWithoutAWindow() {
        Run run;
        QString empty = QString::fromStdString(run.home.Path()) + "/components.conf";
        QFile file(empty);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("# nothing registered\n");
        file.close();
        run.env.insert("QUILLON_COMPONENTS", empty);
        run.Start();
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line(Text(1360), Text(1362))});
    }

    void UnusableDatabaseEndsWithoutAWindow() {
        Run run;
        run.Cli({"settings", "set", "WorkingOnLine", "0"});
        QVERIFY(QDir().mkpath(run.dataDir + "/SMS.db"));  // a folder where the database belongs
        run.Start();
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line(Text(1360), Text(1361))});
        QVERIFY(QFileInfo(run.dataDir + "/SMS.db").isDir());
    }

    void LanguageModuleTextsReplaceTheBuiltInOnes() {
        Run run;
        run.Cli({"settings", "set", "WorkingOnLine", "0"});
        QVERIFY(QDir().mkpath(run.dataDir + "/SMS.db"));
        QFile module(run.dataDir + "/Language.dll");
        QVERIFY(module.open(QIODevice::WriteOnly));
        module.write("# Deutsch\n1360\tSMS-Client startet nicht ...\n");
        module.close();
        run.Start();
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line("SMS-Client startet nicht ...", Text(1361))});

        // With i18n off the module is not used.
        Run english;
        english.Cli({"settings", "set", "WorkingOnLine", "0"});
        english.Cli({"settings", "set", "i18n", "0"});
        QVERIFY(QDir().mkpath(english.dataDir + "/SMS.db"));
        QVERIFY(QFile::copy(run.dataDir + "/Language.dll", english.dataDir + "/Language.dll"));
        english.Start();
        QCOMPARE(english.Finish(), 0);
        QCOMPARE(english.Shown(), QStringList{Line(Text(1360), Text(1361))});
    }

    void UnreadableDatabaseIsMovedAsideAndReported() {
        Run run;
        run.Cli({"settings", "set", "WorkingOnLine", "0"});
        QFile garbage(run.dataDir + "/SMS.db");
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        run.Start();
        QTRY_VERIFY_WITH_TIMEOUT(!run.Shown().isEmpty(), 20000);
        QStringList shown = run.Shown();
        QVERIFY2(shown[0].startsWith(Text(kTextDatabaseMovedCaption) + "|"), qPrintable(shown[0]));
        QStringList moved = QDir(run.dataDir).entryList({"SMS.db.corrupt-*"});
        QCOMPARE(moved.size(), 1);
        QVERIFY(shown[0].contains(moved[0]));
        // The program goes on with a fresh database, and SIGTERM ends it in order.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(run.runtimeDir + "/" + SingleInstance::kProbeName), 20000);
        ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown().size(), 1);
    }

    void UnexpectedErrorShowsTheSupportBoxAndEnds_data() {
        QTest::addColumn<QString>("point");
        QTest::newRow("name tables") << "tables";
        QTest::newRow("main window made") << "window";
    }

    void UnexpectedErrorShowsTheSupportBoxAndEnds() {
        QFETCH(QString, point);
        const QString help = "https://support.example.test/help?from=quillon";
        Run run;
        run.Cli({"settings", "set", "WorkingOnLine", "0"});
        run.Cli({"settings", "set", "help_url", help.toStdString()});
        run.env.insert("QUILLON_TEST_THROW_AT", point);
        run.StartProbed();
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown(), QStringList{Line(Text(kTextUnexpectedCaption), Text(kTextUnexpectedError), help)});
        // The data were closed in order: the next start gets as far as its main window.
        run.process.close();
        run.env.remove("QUILLON_TEST_THROW_AT");
        run.env.insert("QUILLON_TEST_WINDOW_STATE", run.WindowStateFile());
        run.StartProbed();
        QTRY_VERIFY_WITH_TIMEOUT(!run.WindowState().isEmpty(), 20000);
        ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
        QCOMPARE(run.Finish(), 0);
        QCOMPARE(run.Shown().size(), 1);
    }

    void StartMinimizedMakesTheWindowWithoutShowingIt() {
        // For contrast, an ordinary start shows the window in its normal state.
        Run plain;
        plain.Cli({"settings", "set", "WorkingOnLine", "0"});
        plain.env.insert("QUILLON_TEST_WINDOW_STATE", plain.WindowStateFile());
        plain.StartProbed();
        QTRY_VERIFY_WITH_TIMEOUT(!plain.WindowState().isEmpty(), 20000);
        QCOMPARE(plain.WindowState(), QString("tray=0 visible=1 minimized=0"));
        ::kill(static_cast<pid_t>(plain.process.processId()), SIGTERM);
        QCOMPARE(plain.Finish(), 0);

        // The offscreen platform has no tray host, where a hidden window could never be found
        // again: the window is made and only minimised, never shown in its normal state.
        Run run;
        run.Cli({"settings", "set", "WorkingOnLine", "0"});
        run.Cli({"settings", "set", "StartMinimized", "1"});
        run.env.insert("QUILLON_TEST_WINDOW_STATE", run.WindowStateFile());
        run.StartProbed();
        QTRY_VERIFY_WITH_TIMEOUT(!run.WindowState().isEmpty(), 20000);
        QCOMPARE(run.WindowState(), QString("tray=0 visible=1 minimized=1"));
        ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
        QCOMPARE(run.Finish(), 0);
        QVERIFY(run.Shown().isEmpty());
    }

    void StartMinimizedWithATrayHostLeavesTheWindowHidden() {
        const QString xvfb = QStandardPaths::findExecutable("Xvfb");
        const QString trayer = QStandardPaths::findExecutable("trayer");
        if (xvfb.isEmpty() || trayer.isEmpty())
            QSKIP("needs Xvfb and trayer for a tray host");
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

        Run run;
        run.Cli({"settings", "set", "WorkingOnLine", "0"});
        run.Cli({"settings", "set", "StartMinimized", "1"});
        run.env.insert("DISPLAY", display);
        run.env.insert("QT_QPA_PLATFORM", "xcb");
        run.env.insert("QUILLON_TEST_WINDOW_STATE", run.WindowStateFile());
        // The tray host takes a moment to claim the tray; a start before that sees none, so the
        // program is started again (a bounded number of times) until it finds one.
        QString state;
        for (int attempt = 0; attempt < 20; ++attempt) {
            QFile::remove(run.WindowStateFile());
            run.StartProbed();
            QTRY_VERIFY_WITH_TIMEOUT(!run.WindowState().isEmpty() || run.process.state() == QProcess::NotRunning,
                                     20000);
            state = run.WindowState();
            if (state.startsWith("tray=1"))
                break;
            ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
            QCOMPARE(run.Finish(), 0);
        }
        QCOMPARE(state, QString("tray=1 visible=0 minimized=0"));
        ::kill(static_cast<pid_t>(run.process.processId()), SIGTERM);
        QCOMPARE(run.Finish(), 0);
        QVERIFY(run.Shown().isEmpty());
    }

    void SecondStartFindsTheFirstAndEnds() {
        Run first;
        first.Cli({"settings", "set", "WorkingOnLine", "0"});
        first.Cli({"settings", "set", "StartMinimized", "1"});
        first.Start();
        // The probe, as a second copy sends it, is answered once the main window exists.
        qputenv("XDG_RUNTIME_DIR", first.runtimeDir.toLocal8Bit());
        QTRY_VERIFY_WITH_TIMEOUT(SingleInstance::FindRunningInstance(1000), 20000);

        QProcess second;
        second.setProcessEnvironment(first.env);
        second.start(QUILLON_DESKTOP_EXE, {});
        QVERIFY(second.waitForFinished(20000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.process.state(), QProcess::Running);
        QVERIFY(first.Shown().isEmpty());

        ::kill(static_cast<pid_t>(first.process.processId()), SIGTERM);
        QCOMPARE(first.Finish(), 0);
        // With the first copy gone, nobody answers.
        QVERIFY(!SingleInstance::FindRunningInstance(500));
        qunsetenv("XDG_RUNTIME_DIR");
    }
};

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
