// quillon-outbox-tour OUTDIR [SUFFIX]: a busy outbox in the main window after login (outbox.png)
// and the status legend (outbox-legend.png), against the sandbox gateway. SUFFIX is appended to
// the file names (for a run at another scale: QT_SCALE_FACTOR=2 ... -200).
#include <QApplication>
#include <QTableView>

#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "tour/TourShell.h"
#include "ui/outbox/OutboxPane.h"
#include "ui/outbox/StatusLegendDialog.h"
#include "ui/shell/MainWindow.h"

using namespace quillon;

namespace {

// Messages in every state, to and from a few people, over the last days.
void FillOutbox(MessageStore& store) {
    const char* people[] = {",07700900101", ",07700900102", ",07700900103",
                            ",07700900104", ",07700900105", ",07700900106,07700900107",
                            ",07700900108"};
    const char* texts[] = {"Running ten minutes late",
                           "See you at the meeting",
                           "Invoice 2231 is ready to collect",
                           "Your appointment is confirmed for Tuesday 10:30",
                           "Happy birthday!",
                           "Gate code changed to 4471",
                           "Reminder: team lunch on Friday"};
    const int32_t base = 1765000000;
    for (int i = 0; i < 36; ++i) {
        const int32_t stat = i % kStatusCount;
        const char* charge = stat == 9 || stat == 8 || stat == 3 ? "1.0" : "?";
        store.Outbox().AddSms(stat, base + i * 1800, 0, 0, people[i % 7], texts[(i * 3) % 7], "", 0, charge);
    }
}

}  // namespace

int main(int argc, char** argv) {
    test::TourApp tour(argc, argv, "quillon-outbox-tour");
    if (!tour.Started())
        return 1;
    test::UiTestEnv& env = tour.Env();
    const test::TourOutput& out = tour.Out();
    FillOutbox(*env.Store());
    test::TourShell shell(env);
    MainWindow& window = shell.Window();
    shell.LogIn(500, 800);
    window.SelectTab(MainWindow::kTabOutbox);
    auto* pane = qobject_cast<OutboxPane*>(window.PaneForTab(MainWindow::kTabOutbox));
    if (pane) {
        pane->OnColumnClick(2);
        pane->View()->selectRow(3);
        pane->ShowStatusLine(QStringLiteral("Querying status: 12 SMS still to check!"));
    }
    test::Shoot(window, out.Png("outbox"));

    StatusLegendDialog legend(&window);
    test::ShootDialog(legend, window.pos() + QPoint(20, 60), out.Png("outbox-legend"));
    return 0;
}
