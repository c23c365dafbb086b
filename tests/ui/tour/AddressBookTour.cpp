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
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "addressbook/ContactImport.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "tour/TourShell.h"
#include "ui/addressbook/AddressBookPane.h"
#include "ui/addressbook/AddressBookViews.h"
#include "ui/addressbook/ImportExportDialogs.h"
#include "ui/shell/MainWindow.h"
#include "ui/shell/ShellStyle.h"

using namespace quillon;

namespace {

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
    if (argc > 2 && std::string(argv[1]) == "--measure") {
        QApplication app(argc, argv);
        ShellStyle::Apply(app);
        return Measure(std::atoi(argv[2]));
    }
    test::TourApp tour(argc, argv, "quillon-addressbook-tour");
    if (!tour.Started())
        return 1;
    test::UiTestEnv& env = tour.Env();
    const test::TourOutput& out = tour.Out();
    FillBook(env.Store()->Book());
    test::TourShell shell(env);
    MainWindow& window = shell.Window();
    shell.LogIn();
    window.SelectTab(MainWindow::kTabAddresses);
    auto* pane = static_cast<AddressBookPane*>(window.PaneForTab(MainWindow::kTabAddresses));
    pane->SelectGroupRow(3);
    pane->MemberList()->selectRow(1);
    test::Shoot(window, out.Png("addressbook"));

    ContactImportDialog import(GroupListWithCounts(env.Store()->Book()), 3, &window);
    import.PathField()->setText("/home/user/contacts.csv");
    test::ShootDialog(import, window.pos() + QPoint(80, 60), out.Png("import"));

    ContactExportDialog exportDialog(GroupListWithCounts(env.Store()->Book()), {}, &window);
    exportDialog.PathField()->setText("/home/user/Contacts.csv");
    exportDialog.GroupList()->item(1)->setCheckState(Qt::Checked);
    test::ShootDialog(exportDialog, window.pos() + QPoint(80, 60), out.Png("export"));
    return 0;
}
