// quillon-addressbook-tour OUTDIR: logs in against the sandbox gateway with a filled address book,
// opens the "Addresses" tab and its import and export dialogs, and takes a screenshot of each
// (addressbook.png, import.png, export.png). Under X11 the screen is taken with
// `import -window root` and cut to the window; elsewhere the window is grabbed.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <cstdio>

#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/addressbook/AddressBookPane.h"
#include "ui/addressbook/AddressBookViews.h"
#include "ui/addressbook/ImportExportDialogs.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/QueuedMessageSink.h"
#include "ui/shell/ShellStyle.h"

using namespace quillon;

namespace {

void Shoot(QWidget& window, const QString& file) {
    QTest::qWait(400);
    qreal ratio = window.devicePixelRatioF();
    QRect r = window.frameGeometry();
    QString crop = QStringLiteral("%1x%2+%3+%4")
                       .arg(qRound(r.width() * ratio))
                       .arg(qRound(r.height() * ratio))
                       .arg(qRound(r.x() * ratio))
                       .arg(qRound(r.y() * ratio));
    if (QGuiApplication::platformName() == "xcb" &&
        QProcess::execute("/usr/bin/import", {"-window", "root", "-crop", crop, file}) == 0) {
        std::printf("%s\n", qPrintable(file));
        return;
    }
    window.grab().save(file);
    std::printf("%s (grabbed)\n", qPrintable(file));
}

void FillBook(AddressBook& book) {
    for (const char* g : {"Family", "Football club", "Work"})
        book.AddGroup(g);
    const ContactRecord people[] = {
        {"Amelia", "Clarke", "Ms", "", "07700900101", {2}}, {"Ben", "Okafor", "Mr", "", "07700900102", {3, 4}},
        {"Chloe", "Dubois", "", "", "07700900103", {4}},    {"Dmitri", "Ivanov", "Dr", "", "07700900104", {4}},
        {"Erin", "Walsh", "", "", "07700900105", {2, 3}},   {"Farah", "Haddad", "", "", "07700900106", {3}},
        {"George", "Lin", "", "", "07700900107", {4}},      {"Hana", "Sato", "", "", "07700900108", {2}},
        {"Isaac", "Mensah", "", "", "07700900109", {3}},    {"Jo", "Fernandes", "", "", "07700900110", {4}},
    };
    for (const auto& p : people)
        book.AddContact(p);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ShellStyle::Apply(app);
    app.setQuitOnLastWindowClosed(false);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);

    test::UiTestEnv env;
    if (!env.Ok()) {
        std::fprintf(stderr, "quillon-addressbook-tour: the sandbox gateway did not start\n");
        return 1;
    }
    FillBook(env.Store()->Book());
    QueuedMessageSink sink;
    CommsWorker worker(env.Store(), GatewayApi::Instance(), &sink);
    {
        MainWindow window(worker.Store(), &worker, &sink);
        window.move(20, 16);
        window.show();
        QTest::qWait(600);
        QTest::keyClicks(window.findChild<QLineEdit*>("loginUser"), "demo");
        QTest::keyClicks(window.findChild<QLineEdit*>("loginPassword"), "demo");
        QTest::mouseClick(window.findChild<QPushButton*>("loginOk"), Qt::LeftButton);
        QTest::qWait(1500);
        window.SelectTab(MainWindow::kTabAddresses);
        auto* pane = static_cast<AddressBookPane*>(window.PaneForTab(MainWindow::kTabAddresses));
        pane->SelectGroupRow(3);
        pane->MemberList()->selectRow(1);
        Shoot(window, out + "/addressbook.png");

        ImportDialog import(GroupListWithCounts(env.Store()->Book()), 3, &window);
        import.PathField()->setText("/home/user/contacts.csv");
        import.move(window.pos() + QPoint(80, 60));
        import.show();
        Shoot(import, out + "/import.png");
        import.hide();

        ExportDialog exportDialog(GroupListWithCounts(env.Store()->Book()), {}, &window);
        exportDialog.PathField()->setText("/home/user/Contacts.csv");
        exportDialog.GroupList()->item(1)->setCheckState(Qt::Checked);
        exportDialog.move(window.pos() + QPoint(80, 60));
        exportDialog.show();
        Shoot(exportDialog, out + "/export.png");
        exportDialog.hide();
        worker.RequestStop();
    }
    worker.WaitForExit();
    return 0;
}
