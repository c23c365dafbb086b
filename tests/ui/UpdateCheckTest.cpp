// The update check against files the sandbox serves: every path ends in its message, only a
// package whose published digest matches is started, and nothing half-downloaded stays behind.
#include <QtTest>

#include "core/AppSettings.h"
#include "core/FileUtil.h"
#include "online/Sha256.h"
#include "online/UpdateVersion.h"
#include "support/FileServer.h"
#include "support/UiTestEnv.h"
#include "ui/online/UpdateCheck.h"
#include "ui/online/UpdateProgressDialog.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {
const std::string kPackage(20000, 'p');
const char* kManualPage = "https://downloads.example/quillon";
}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT

private:
    FileServer files_;

private slots:
    void initTestCase() {
        const std::string digest = Sha256Hex(kPackage);
        files_.Put("pkg", kPackage);
        files_.Put("big", std::string(200 * 1024, 'b'));
        files_.Put("newer", "3.0.0.9\nsha256 " + digest + "\n");
        files_.Put("unsigned", "3.0.0.9\n");
        files_.Put("wrong", "3.0.0.9\nsha256 " + Sha256Hex("something else") + "\n");
        files_.Put("same", "3.0.0.5\nsha256 " + digest + "\n");
        files_.Put("older", "3.0.0.1\n");
        files_.Put("huge", std::string(5000, '9'));
        QVERIFY2(files_.Start("file newer newer\nfile unsigned unsigned\nfile wrong wrong\nfile same same\n"
                              "file older older\nfile huge huge\nfile pkg.AppImage pkg\nfile pkg.bin pkg\n"
                              "file slow.AppImage big pace=40\n"),
                 files_.LastError().c_str());
    }

    void EachPathEndsInItsMessage_data() {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("package");
        QTest::addColumn<bool>("requireHttps");
        QTest::addColumn<bool>("cancel");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<int>("textId");  // 0: no box
        QTest::addColumn<bool>("started");
        auto row = [](const char* name, const char* version, const char* package, bool https, bool cancel,
                      UpdateOutcome outcome, int textId, bool started) {
            QTest::newRow(name) << version << package << https << cancel << static_cast<int>(outcome) << textId
                                << started;
        };
        row("newer, verified", "newer", "pkg.AppImage", false, false, UpdateOutcome::Started, 0, true);
        row("same", "same", "pkg.AppImage", false, false, UpdateOutcome::UpToDate, 1206, false);
        row("older", "older", "pkg.AppImage", false, false, UpdateOutcome::UpToDate, 1206, false);
        row("version file 404", "missing", "pkg.AppImage", false, false, UpdateOutcome::VersionFailed, 1205, false);
        row("version file too big", "huge", "pkg.AppImage", false, false, UpdateOutcome::VersionFailed, 1205, false);
        row("package 404", "newer", "missing.AppImage", false, false, UpdateOutcome::DownloadFailed, 1204, false);
        row("hash mismatch", "wrong", "pkg.AppImage", false, false, UpdateOutcome::Unverified, 1203, false);
        row("no hash", "unsigned", "pkg.AppImage", false, false, UpdateOutcome::Unverified, 1203, false);
        row("http only", "newer", "pkg.AppImage", true, false, UpdateOutcome::Unverified, 1203, false);
        row("unknown package kind", "newer", "pkg.bin", false, false, UpdateOutcome::Unverified, 1203, false);
        row("cancel during download", "newer", "slow.AppImage", false, true, UpdateOutcome::Cancelled, 0, false);
    }

    void EachPathEndsInItsMessage() {
        QFETCH(QString, version);
        QFETCH(QString, package);
        QFETCH(bool, requireHttps);
        QFETCH(bool, cancel);
        QFETCH(int, outcome);
        QFETCH(int, textId);
        QFETCH(bool, started);
        UiTestEnv env(false);
        QVERIFY(env.Ok());
        Settings().UpdateVersionURL = files_.Url(version.toStdString());
        Settings().UpdateFileURL = files_.Url(package.toStdString());
        Settings().UpdateURL = kManualPage;

        UpdateCheckOptions options;
        options.pumpMs = 0;
        options.stepPauseMs = 0;
        options.installPauseMs = 0;
        options.exitPauseMs = 0;
        options.requireHttps = requireHttps;
        options.running = {3, 0, 0, 5};
        std::string startedPath;
        bool exited = false;
        bool secondCheckRefused = false;
        std::vector<int> steps;
        options.start = [&](const std::string& path, PackageKind) {
            startedPath = path;
            return true;
        };
        options.exit = [&] { exited = true; };
        options.onStep = [&](UpdateProgressDialog& dialog) {
            steps.push_back(dialog.CurrentStep());
            secondCheckRefused = CheckForUpdates(nullptr, options) == UpdateOutcome::AlreadyRunning;
            if (cancel && dialog.CurrentStep() == 2)
                QTimer::singleShot(150, dialog.CancelButton(), &QPushButton::click);
        };

        QCOMPARE(static_cast<int>(CheckForUpdates(nullptr, options)), outcome);
        QVERIFY(secondCheckRefused);
        QVERIFY(!UpdateCheckRunning());
        QCOMPARE(!startedPath.empty(), started);
        QCOMPARE(exited, started);
        auto shown = env.Messages().Messages();
        QCOMPARE(shown.size(), size_t(textId ? 1 : 0));
        if (textId) {
            QCOMPARE(shown[0].text, Text(textId));
            const std::string localPackage = UpdatePackagePath(PackageKindOf(package.toStdString()));
            const QString link = textId == 1203   ? QUrl::fromLocalFile(Q(localPackage)).toString()
                                 : textId == 1206 ? QString()
                                                  : QString(kManualPage);
            QCOMPARE(shown[0].link, link);
        }
        if (started) {
            QCOMPARE(startedPath, UpdatePackagePath(PackageKind::AppImage));
            QCOMPARE(steps, (std::vector<int>{0, 1, 2, 3}));
        }
        // Nothing half-written anywhere.
        for (PackageKind kind : {PackageKind::AppImage, PackageKind::Unknown})
            QVERIFY(!FileExists(UpdatePackagePath(kind) + ".tmp"));
        if (cancel)
            QVERIFY(!FileExists(UpdatePackagePath(PackageKind::AppImage)));
    }

    void WithoutConfigurationTheDistributorsSiteIsOffered() {
        UiTestEnv env(false);
        Settings().UpdateVersionURL = "http://";  // 7 characters
        Settings().UpdateFileURL = files_.Url("pkg.AppImage");
        Settings().UpdateURL = kManualPage;
        Settings().help_url = "https://help.example/";
        QCOMPARE(CheckForUpdates(nullptr), UpdateOutcome::NotConfigured);
        auto shown = env.Messages().Messages();
        QCOMPARE(shown.size(), size_t(1));
        QCOMPARE(shown[0].text, Text(1200));
        QCOMPARE(shown[0].caption, Text(1201));
        QCOMPARE(shown[0].link, QString("https://help.example/"));
    }
};

QTEST_MAIN(UpdateCheckTest)
#include "UpdateCheckTest.moc"
