// quillon-compose-tour OUTDIR [SUFFIX]: logs in to the sandbox gateway, fills the compose pane and
// takes its screenshots: compose-empty, compose-unicode (a text with characters outside the GSM
// alphabet and its hint) and compose-schedule (the schedule dialog with its preview), each as
// OUTDIR/NAME SUFFIX.png. Under X11 the screen is taken with `import -window root` and cut to the
// window; elsewhere the window is grabbed.
#include <QApplication>
#include <QPlainTextEdit>
#include <ctime>

#include "core/AppSettings.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "tour/TourShell.h"
#include "ui/compose/ComposePane.h"
#include "ui/compose/RecipientTree.h"
#include "ui/compose/ScheduleDialog.h"
#include "ui/shell/MainWindow.h"

using namespace quillon;

namespace {

void AddContact(MessageStore& store, const char* name, const char* surname, const char* mobile, int32_t group) {
    ContactRecord c;
    c.Name = name;
    c.Surname = surname;
    c.Mobile = mobile;
    c.groups = {1, group};
    store.Book().AddContact(c);
}

// AddGroup answers the group's row; its id is what memberships and the tree use.
int32_t NewGroup(MessageStore& store, const std::string& name) {
    store.Book().AddGroup(name);
    for (const GroupRecord& g : store.Book().ListGroups())
        if (g.Name == name)
            return g.GID;
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    test::TourApp tour(argc, argv, "quillon-compose-tour");
    if (!tour.Started())
        return 1;
    test::UiTestEnv& env = tour.Env();
    const test::TourOutput& out = tour.Out();
    Settings().Sig = "-- sent with Quillon";
    Settings().SpanSMS = true;
    MessageStore& store = *env.Store();
    const int32_t team = NewGroup(store, "Team");
    const int32_t family = NewGroup(store, "Family");
    AddContact(store, "Ann", "Lee", "07700900101", team);
    AddContact(store, "Bob", "Roe", "07700900102", team);
    AddContact(store, "Cleo", "Park", "07700900103", family);
    AddContact(store, "Dan", "Fox", "07700900104", family);

    test::TourShell shell(env);
    MainWindow& window = shell.Window();
    shell.LogIn();
    auto* pane = window.findChild<ComposePane*>("composePane");
    pane->Model().Recent().AddRecent("Direct", "", "07700900199");
    pane->Tree()->RebuildRecent();
    pane->Tree()->AddressBookRoot()->setExpanded(true);
    pane->Tree()->RecentRoot()->setExpanded(true);
    test::Shoot(window, out.Png("compose-empty"));

    auto* text = pane->findChild<QPlainTextEdit*>("messageText");
    text->setFocus();
    text->insertPlainText(
        QString::fromUtf8("Hi <<FIRSTNAME>>, the caf\u00e9 \u201CZum Stern\u201D is booked for Friday \u2014 "
                          "\u0434\u043e \u0432\u0441\u0442\u0440\u0435\u0447\u0438!"));
    pane->Tree()->GroupItem(team)->setCheckState(0, Qt::Checked);
    pane->Tree()->GroupItem(team)->setExpanded(true);
    test::Shoot(window, out.Png("compose-unicode"));

    std::tm start{};
    start.tm_year = 2027 - 1900;
    start.tm_mon = 2;
    start.tm_mday = 10;
    start.tm_hour = 8;
    start.tm_isdst = -1;
    ScheduleDialog dialog(std::mktime(&start), &window);
    ScheduleChoices c;
    c.hourIndex = 10;
    c.minuteIndex = 1;
    c.mode = RecurrenceMode::Weekly;
    c.weekdays[6] = true;
    c.endAfterIndex = 5;
    dialog.SetChoices(c);
    test::ShootDialog(dialog, QPoint(60, 60), out.Png("compose-schedule"));
    return 0;
}
