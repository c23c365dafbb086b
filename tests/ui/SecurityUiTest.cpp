// The shell's side of security: the single-instance folder must be the user's own, the lock file is
// never taken through a link or from another user, and only web and mail addresses are opened.
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QtTest>

#include "core/PrivateFiles.h"
#include "support/TempDir.h"
#include "ui/shell/SingleInstance.h"
#include "ui/shell/UiServices.h"

using namespace quillon;
using namespace quillon::test;

class SecurityUiTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("XDG_RUNTIME_DIR"); }

    void RuntimeFolderMustBeTheUsersOwn_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("otherOwner");
        QTest::addColumn<bool>("used");
        QTest::newRow("private") << 0700 << false << true;
        QTest::newRow("others may write") << 0777 << false << false;
        QTest::newRow("group may write") << 0770 << false << false;
        QTest::newRow("another user's") << 0700 << true << false;
    }
    void RuntimeFolderMustBeTheUsersOwn() {
        QFETCH(int, mode);
        QFETCH(bool, otherOwner);
        QFETCH(bool, used);
        if (otherOwner && ::geteuid() != 0)
            QSKIP("needs root to make a folder owned by another user");
        TempDir home;
        const QString run = QString::fromStdString(home.File("run"));
        QVERIFY(QDir().mkdir(run));
        QCOMPARE(::chmod(QFile::encodeName(run).constData(), mode), 0);
        if (otherOwner)
            QCOMPARE(::chown(QFile::encodeName(run).constData(), 65534, 65534), 0);
        qputenv("XDG_RUNTIME_DIR", run.toLocal8Bit());

        const SingleInstance::Folder folder = SingleInstance::ChooseRuntimeDirectory();
        QCOMPARE(folder.path == run, used);
        QCOMPARE(folder.refused.isEmpty(), used);
        QVERIFY(IsOwnFolder(QFile::encodeName(folder.path).toStdString()));
        if (!used) {
            // The refused folder holds nothing of ours: the lock goes to the private one.
            SingleInstance instance;
            QCOMPARE(instance.Acquire(), SingleInstance::Outcome::First);
            QVERIFY(!QFile::exists(run + "/" + SingleInstance::kLockName));
        }
    }

    void LockFileIsNeverALinkNorAnotherUsers() {
        TempDir home;
        const QString run = QString::fromStdString(home.File("run"));
        QVERIFY(QDir().mkdir(run));
        QFile::setPermissions(run, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", run.toLocal8Bit());
        const QString lock = SingleInstance::LockPath();
        const QString target = QString::fromStdString(home.File("elsewhere"));
        QVERIFY(QFile::link(target, lock));
        {
            SingleInstance instance;
            QCOMPARE(instance.Acquire(), SingleInstance::Outcome::Failed);
            QVERIFY(instance.Problem().contains(lock));
            QVERIFY(!QFile::exists(target));
        }
        if (::geteuid() != 0)
            return;
        QVERIFY(QFile::remove(lock));
        QFile theirs(lock);
        QVERIFY(theirs.open(QIODevice::WriteOnly));
        theirs.close();
        QCOMPARE(::chown(QFile::encodeName(lock).constData(), 65534, 65534), 0);
        SingleInstance instance;
        QCOMPARE(instance.Acquire(), SingleInstance::Outcome::Failed);
        QVERIFY(instance.Problem().contains(lock));
    }

    void OnlyWebAndMailAddressesAreOpened() {
        RecordingMessagePresenter recorder;
        SetPresenter(&recorder);
        OpenWebPage("https://help.example/page");
        OpenWebPage("mailto:support@help.example");
        OpenWebPage("file:///home/user/evil.desktop");
        OpenWebPage("file:///tmp/quillon-setup.run", LinkUse::kInstaller);
        OpenWebPage("javascript:alert(1)");
        SetPresenter(nullptr);
        QCOMPARE(recorder.Urls(), QStringList({"https://help.example/page", "mailto:support@help.example",
                                               "file:///tmp/quillon-setup.run"}));
        // Each refusal is said, naming the address.
        const auto shown = recorder.Messages();
        QCOMPARE(int(shown.size()), 2);
        QVERIFY(shown[0].text.contains("file:///home/user/evil.desktop"));
        QVERIFY(shown[1].text.contains("javascript:alert(1)"));
    }
};

QTEST_MAIN(SecurityUiTest)
#include "SecurityUiTest.moc"
