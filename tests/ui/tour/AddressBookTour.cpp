// quillon-addressbook-tour OUTDIR: logs in against the sandbox gateway with a filled address book,
// opens the "Addresses" tab and its import and export dialogs, and takes a screenshot of each
// (addressbook.png, import.png, export.png; an optional second argument is added to the file
// names, for a run at another scale: QT_SCALE_FACTOR=2 ... -200). Under X11 the screen is taken with
// `import -window root` and cut to the window; elsewhere the window is grabbed.
//
// quillon-addressbook-tour --measure N: times the pane over N contacts in one group (table load,
// switching to the group until its first screen is painted, one search keystroke) and the memory
// the pane holds above an empty address book.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "addressbook/ContactImport.h"
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

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4;
}

int Measure(int contacts) {
    test::TempDir dir;
    MessageStore store(dir.Path());
    store.Book().AddGroup("Everyone");
    {
        std::ofstream csv(dir.File("in.csv"), std::ios::binary);
        csv << "fname,sname,mobile\n";
        for (int i = 0; i < contacts; ++i)
            csv << "Name" << i << ",Surname" << i << ",+4477009" << (100000 + i) << "\n";
    }
    ContactImportOptions options;
    options.path = dir.File("in.csv");
    options.groups = {2};
    ImportContacts(store, options);

    std::filesystem::create_directories(dir.File("empty"));
    MessageStore empty(dir.File("empty"));
    long before = ResidentKb();
    { AddressBookPane warm(&empty); }  // the widgets' own first-use costs
    before = ResidentKb();
    QElapsedTimer timer;
    timer.start();
    auto pane = std::make_unique<AddressBookPane>(&store);
    pane->show();
    QCoreApplication::processEvents();
    const qint64 loadMs = timer.elapsed();
    const long paneKb = ResidentKb() - before;
    timer.restart();
    pane->SelectGroupRow(1);
    pane->MemberList()->viewport()->repaint();
    const qint64 switchMs = timer.elapsed();
    timer.restart();
    pane->SearchField()->setText("zzqx");  // found nowhere: the whole table is walked
    pane->repaint();
    const qint64 searchMs = timer.elapsed();
    std::printf(
        "contacts %d\nload+show %lld ms\nswitch to group, first screen painted %lld ms\n"
        "search keystroke (miss) %lld ms\nresident above an empty book %.1f MB\n",
        contacts, static_cast<long long>(loadMs), static_cast<long long>(switchMs), static_cast<long long>(searchMs),
        paneKb / 1024.0);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    ShellStyle::Apply(app);
    if (argc > 2 && QString(argv[1]) == "--measure")
        return Measure(std::atoi(argv[2]));
    app.setQuitOnLastWindowClosed(false);
    QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QDir().mkpath(out);
    const QString suffix = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();

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
        Shoot(window, out + "/addressbook" + suffix + ".png");

        ContactImportDialog import(GroupListWithCounts(env.Store()->Book()), 3, &window);
        import.PathField()->setText("/home/user/contacts.csv");
        import.move(window.pos() + QPoint(80, 60));
        import.show();
        Shoot(import, out + "/import" + suffix + ".png");
        import.hide();

        ContactExportDialog exportDialog(GroupListWithCounts(env.Store()->Book()), {}, &window);
        exportDialog.PathField()->setText("/home/user/Contacts.csv");
        exportDialog.GroupList()->item(1)->setCheckState(Qt::Checked);
        exportDialog.move(window.pos() + QPoint(80, 60));
        exportDialog.show();
        Shoot(exportDialog, out + "/export" + suffix + ".png");
        exportDialog.hide();
        worker.RequestStop();
    }
    worker.WaitForExit();
    return 0;
}
