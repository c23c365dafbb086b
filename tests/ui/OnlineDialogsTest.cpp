// The link box's help query and link, the version dialog by edition, and the branding download
// with its refusals, down to the main window's header after a login.
#include <QtTest>

#include <QBuffer>
#include <QClipboard>
#include <QImage>

#include "core/AppSettings.h"
#include "core/DataPath.h"
#include "core/FileUtil.h"
#include "gateway/Session.h"
#include "support/FileServer.h"
#include "support/UiTestEnv.h"
#include "ui/online/BrandingDownload.h"
#include "ui/online/LinkDialog.h"
#include "ui/online/OnlineServices.h"
#include "ui/online/VersionDialog.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/UiText.h"

using namespace quillon;
using namespace quillon::test;

namespace {

std::string ImageBytes(int w, int h, const char* format) {
    QImage image(w, h, QImage::Format_RGB32);
    image.fill(QColor(20, 90, 160));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes.toStdString();
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string BigEndian(uint32_t v) {
    return {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}

// A small PNG whose header claims 20000 by 20000 pixels.
std::string HugeClaimPng() {
    std::string png = ImageBytes(4, 4, "PNG");
    std::string ihdr = png.substr(12, 17);  // "IHDR" + 13 bytes of data
    ihdr.replace(4, 8, BigEndian(20000) + BigEndian(20000));
    png.replace(12, 17, ihdr);
    png.replace(29, 4, BigEndian(Crc32(ihdr)));
    return png;
}

}  // namespace

class OnlineDialogsTest : public QObject {
    Q_OBJECT

private:
    FileServer files_;

private slots:
    void initTestCase() {
        const std::string png = ImageBytes(648, 81, "PNG");
        files_.Put("header.png", png);
        files_.Put("header.bmp", ImageBytes(648, 81, "BMP"));
        files_.Put("header.jpg", ImageBytes(648, 81, "JPG"));
        files_.Put("truncated.png", png.substr(0, png.size() / 2));
        files_.Put("huge.png", HugeClaimPng());
        files_.Put("program", std::string("\x7f"
                                          "ELF\x02\x01\x01\x00",
                                          8) +
                                  std::string(4000, '\0'));
        files_.Put("toolarge", std::string(3 * 1024 * 1024, 'x'));
        QVERIFY2(files_.Start("file header.png header.png\nfile header.bmp header.bmp\nfile header.jpg header.jpg\n"
                              "file truncated.png truncated.png\nfile huge.png huge.png\nfile program program\n"
                              "file toolarge toolarge\nfile cut.png header.png cut=200\n"),
                 files_.LastError().c_str());
    }

    void LinkBoxAddsTheHelpQueryAndOpensTheLink() {
        UiTestEnv env(false);
        ShowLinkMessage(nullptr, "text", "caption", "https://help.example/page", 3);
        ShowLinkMessage(nullptr, "text", "caption", "https://help.example/page", 0);
        auto shown = env.Messages().Messages();
        QCOMPARE(shown.size(), size_t(2));
        QCOMPARE(shown[0].link, QString("https://help.example/page?help=3"));
        QCOMPARE(shown[1].link, QString("https://help.example/page"));

        LinkDialog dialog(MessageIcon::Error, "Auto update failed ...", "text", "https://help.example/page?help=3");
        QCOMPARE(dialog.findChild<QLabel*>("linkMessageHeading")->text(), QString("Auto update failed ..."));
        emit dialog.LinkLabel()->linkActivated(dialog.Link());
        QCOMPARE(env.Messages().Urls(), QStringList{"https://help.example/page?help=3"});
        QVERIFY(dialog.LinkLabel()->focusPolicy() & Qt::TabFocus);
        QTimer::singleShot(0, dialog.CancelButton(), &QPushButton::click);
        QCOMPARE(dialog.exec(), int(QDialog::Rejected));
    }

    void VersionDialogNamesTheEditionAndCutsTheCommsVersion() {
        UiTestEnv env(false);
        const std::pair<const char*, const char*> comms[] = {
            {"", "Comms: "}, {"v1.2", "Comms: "}, {"SMS 4.2.1", "Comms: 4.2.1"}};
        for (const auto& [raw, line] : comms)
            QCOMPARE(VersionDialog::CommsLine(raw), QString(line));
        for (const char* edition : {"QLNX", "ACME"}) {
            Settings().client_id = edition;
            VersionDialog dialog("SMS 4.2.1");
            const QString name = dialog.findChild<QLabel*>("versionProgram")->text();
            QCOMPARE(name, Text(std::string(edition) == "QLNX" ? kIdAppTitle : kIdAppTitleGeneric));
            QCOMPARE(dialog.findChild<QLabel*>("versionNumbers")->text(), "Version: " + QString(QUILLON_VERSION));
            QVERIFY(dialog.findChild<QLabel*>("versionQt")->text().contains(qVersion()));
            dialog.CopyButton()->click();
            QCOMPARE(QGuiApplication::clipboard()->text(), dialog.Report());
            QVERIFY(dialog.Report().startsWith(name + "\n"));
            QCOMPARE(dialog.Report().count('\n'), 5);
        }
    }

    void BrandingAcceptsOnlyWholePngOrBmpImages_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("png") << "header.png" << true;
        QTest::newRow("bmp") << "header.bmp" << true;
        QTest::newRow("jpeg") << "header.jpg" << false;
        QTest::newRow("executable") << "program" << false;
        QTest::newRow("truncated png") << "truncated.png" << false;
        QTest::newRow("20000 by 20000") << "huge.png" << false;
        QTest::newRow("above the cap") << "toolarge" << false;
        QTest::newRow("cut short") << "cut.png" << false;
        QTest::newRow("404") << "missing.png" << false;
    }

    void BrandingAcceptsOnlyWholePngOrBmpImages() {
        QFETCH(QString, file);
        QFETCH(bool, accepted);
        UiTestEnv env(false);
        const std::string target = DataFile("XInfo.dll");
        WriteFile(target, "old header");
        Settings().bg_image_path = files_.Url(file.toStdString());
        BrandingDownload download;
        QSignalSpy finished(&download, &BrandingDownload::finished);
        QVERIFY(download.Start());
        QVERIFY(finished.wait(20000));
        QCOMPARE(finished.at(0).at(0).toBool(), accepted);
        QCOMPARE(ReadFile(target) == ReadFile(files_.File(file.toStdString())), accepted);
        if (!accepted)
            QCOMPARE(ReadFile(target), std::string("old header"));
        QVERIFY(!FileExists(target + ".new"));
        QVERIFY(!FileExists(target + ".new.tmp"));
    }

    void HugeImagesAreRefusedBeforeDecoding() {
        QString why;
        QVERIFY(!BrandingDownload::AcceptableImage(Q(files_.File("huge.png")), why));
        QCOMPARE(why, QString("image of 20000 by 20000 pixels"));
    }

    void EveryOnlineTextIsInTheTable() {
        for (int id = kTextUpdateProgressTitle; id < kTextLastOnlineText; ++id)
            QVERIFY2(!Text(id).startsWith("String ["), qPrintable(QString::number(id)));
    }

    void BrandingIgnoresAnythingButHttp() {
        UiTestEnv env(false);
        BrandingDownload download;
        for (const char* path : {"", "/usr/share/header.png", "file:///tmp/header.png", "httpx"}) {
            Settings().bg_image_path = path;
            QVERIFY2(!download.Start(), path);
        }
    }

    void ALoginReloadsTheHeader() {
        UiTestEnv env;
        QVERIFY(env.Ok());
        MainWindowOptions options;
        options.tray = false;
        MainWindow window(env.Store(), nullptr, nullptr, options);
        InstallOnlineServices(window);
        QVERIFY(!window.HasBranding());
        Settings().bg_image_path = files_.Url("header.png");
        SetOnLine(true);
        QVERIFY(LogInToGateway("demo", "demo"));
        QTRY_VERIFY_WITH_TIMEOUT(window.HasBranding(), 20000);
        RemoveOnlineServices();
    }
};

QTEST_MAIN(OnlineDialogsTest)
#include "OnlineDialogsTest.moc"
