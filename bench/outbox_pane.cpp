// bench_outbox_pane: the outbox pane over 100,000 messages, measured as a script (the figures are
// wall-clock times of one run, so they go with the machine's load):
//   - memory: resident size with the pane shown over an empty outbox, then over 100,000 messages
//     after a rebuild, a sort by every column and a scroll from top to bottom;
//   - the time of a rebuild of the shown list sorted by time, status and text;
//   - store reads: how many rows the cells read for a screenful and for a scroll to the middle;
//   - a single status change: rows read and whether the list was rebuilt;
//   - the event loop while the comms worker sends 1,000 pending messages through the sandbox
//     gateway with the pane shown (sorted by time, then by status): the longest gap between the
//     ticks of a 5 ms timer, and the 99th percentile.
#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <thread>
#include <vector>

#include "core/AppSettings.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"
#include "support/UiTestEnv.h"
#include "ui/outbox/OutboxModel.h"
#include "ui/outbox/OutboxPane.h"
#include "ui/shell/QueuedMessageSink.h"

using namespace quillon;

namespace {

constexpr int kRows = 100000;
constexpr int kPending = 1000;

double ResidentMb() {
    std::ifstream statm("/proc/self/statm");
    long pages = 0, resident = 0;
    statm >> pages >> resident;
    return resident * 4096.0 / (1024 * 1024);
}

double Ms(QElapsedTimer& timer) {
    return timer.nsecsElapsed() / 1e6;
}

// Ticks of a 5 ms timer while `busy` holds; returns the gaps between them in ms.
template <class Busy>
std::vector<double> TickGaps(Busy busy, int limitMs) {
    std::vector<double> gaps;
    QElapsedTimer clock, limit;
    clock.start();
    limit.start();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        gaps.push_back(Ms(clock));
        clock.restart();
    });
    tick.start(5);
    while (busy() && limit.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return gaps;
}

void ReportGaps(const char* what, std::vector<double> gaps, double seconds) {
    std::sort(gaps.begin(), gaps.end());
    double p99 = gaps.empty() ? 0 : gaps[gaps.size() * 99 / 100];
    double max = gaps.empty() ? 0 : gaps.back();
    int over50 = static_cast<int>(std::count_if(gaps.begin(), gaps.end(), [](double g) { return g > 50; }));
    std::printf(
        "stall while sending %d, sorted by %s: %.1f s, %zu ticks, longest gap %.1f ms, p99 %.1f ms, "
        "gaps over 50 ms: %d\n",
        kPending, what, seconds, gaps.size(), max, p99, over50);
}

// kRows messages, delivered but for every (kRows / kPending)th one, which waits to be sent.
void FillOutbox(MessageStore& store) {
    StoreTransaction batch(store);
    for (int i = 0; i < kRows; ++i) {
        const bool pending = i % (kRows / kPending) == 0;
        store.Outbox().AddSms(pending ? 0 : StatusCode(MessageStatus::Delivered), 1765000000 + i * 7, 0, 0,
                              ",07700" + std::to_string(900000 + i % 997), "Message number " + std::to_string(i), "", 0,
                              pending ? "?" : "1.0");
    }
}

void MeasureRebuilds(OutboxPane& pane) {
    OutboxModel& model = *pane.Model();
    QElapsedTimer timer;
    for (int column : {0, 2, 4}) {
        if (model.Order().SortColumn() != column)
            pane.OnColumnClick(column);
        timer.start();
        pane.RefreshOutbox(kRefreshWholeOutbox);
        pane.FlushRefresh();
        QCoreApplication::processEvents();
        std::printf("rebuild of the shown list sorted by column %d: %.1f ms (%d rows)\n", column, Ms(timer),
                    model.rowCount());
    }
}

// Rows read by a scroll to the middle and by one status change, then the time to sort again after a
// status change while sorted by status.
void MeasureStoreReads(OutboxPane& pane, MessageStore& store) {
    OutboxModel& model = *pane.Model();
    QTableView& view = *pane.View();
    pane.OnColumnClick(0);  // back to time, ascending
    QTest::qWait(100);
    long long reads = model.StoreReads();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum() / 2);
    QTest::qWait(100);
    std::printf("rows read for a scroll to the middle: %lld (rows on screen: %d)\n", model.StoreReads() - reads,
                view.rowAt(view.viewport()->height() - 1) - view.rowAt(0) + 1);

    const int32_t visibleId = model.IdAt(view.rowAt(0) + 1);
    int resets = 0;
    const QMetaObject::Connection counting =
        QObject::connect(&model, &QAbstractItemModel::modelReset, [&resets] { ++resets; });
    reads = model.StoreReads();
    store.Outbox().SetSmsStatus(visibleId, StatusCode(MessageStatus::Failed));
    pane.RefreshOutbox(visibleId);
    pane.FlushRefresh();
    QTest::qWait(50);
    std::printf("one status change, sorted by time: %lld row(s) read, %d rebuild(s)\n", model.StoreReads() - reads,
                resets);
    QObject::disconnect(counting);  // `resets` ends with this function

    pane.OnColumnClick(2);
    QElapsedTimer timer;
    timer.start();
    store.Outbox().SetSmsStatus(visibleId, StatusCode(MessageStatus::Delivered));
    pane.RefreshOutbox(visibleId);
    pane.FlushRefresh();
    QCoreApplication::processEvents();
    std::printf("one status change, sorted by status: %.1f ms to sort again and repaint\n", Ms(timer));
}

// The event loop while the worker sends the pending messages: sorted by time, by status, and (as a
// control for the machine's own noise) with the pane hidden.
void MeasureStalls(OutboxPane& pane, MessageStore& store, CommsWorker& worker) {
    OutboxModel& model = *pane.Model();
    // Asked on a thread of its own, so the measuring never waits for the store's lock.
    std::atomic<bool> anyWaiting{true}, stopWatching{false};
    std::thread watcher([&] {
        while (!stopWatching) {
            anyWaiting = store.Outbox().CountOutbox() > 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    auto waiting = [&anyWaiting, &worker] { return anyWaiting || worker.IsBusy() || worker.QueuedRequests() > 0; };
    const char* runs[] = {"time", "status", "nothing: pane hidden (control)"};
    for (int run = 0; run < 3; ++run) {
        const int column = run == 1 ? 2 : 0;
        if (model.Order().SortColumn() != column)
            pane.OnColumnClick(column);
        if (run > 0) {
            // A fresh thousand to send.
            StoreTransaction batch(store);
            for (int i = 0; i < kPending; ++i)
                store.Outbox().AddSms(0, 1765000000 + i * 700, 0, 0,
                                      ",07700" + std::to_string(910000 + run * kPending + i),
                                      "Another message " + std::to_string(i), "", 0, "?");
        }
        pane.RefreshOutbox(kRefreshWholeOutbox);
        pane.FlushRefresh();
        if (run == 2)
            pane.hide();
        anyWaiting = true;
        QElapsedTimer elapsed;
        elapsed.start();
        worker.IsRunning() ? worker.PostSendOne(-1) : (void)worker.Start();
        auto gaps = TickGaps(waiting, 600000);
        ReportGaps(runs[run], gaps, elapsed.elapsed() / 1000.0);
    }
    stopWatching = true;
    watcher.join();
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    test::UiTestEnv env(true, {"--session-idle", "100000000"});
    if (!env.Ok()) {
        std::fprintf(stderr, "bench_outbox_pane: the sandbox gateway did not start\n");
        return 1;
    }
    MessageStore& store = *env.Store();
    Settings().Login = "demo";
    Settings().Password = "demo";
    env.Sandbox().SetCredit("demo", 1000000);
    QueuedMessageSink sink;
    WorkerOptions options;
    options.cycleLength = std::chrono::milliseconds(3600000);
    options.startPause = std::chrono::milliseconds(0);
    CommsWorker worker(&store, GatewayApi::Instance(), &sink, options);
    OutboxPane pane(store, &worker);
    sink.ConnectQueued(&QueuedMessageSink::outboxChanged, &pane, &OutboxPane::RefreshOutbox);
    pane.show();
    pane.Activate();
    QTest::qWait(200);
    const double emptyMb = ResidentMb();

    FillOutbox(store);
    MeasureRebuilds(pane);
    MeasureStoreReads(pane, store);
    for (int column = 1; column < 5; ++column)
        pane.OnColumnClick(column);
    pane.View()->scrollToBottom();
    QTest::qWait(100);
    std::printf("resident memory: %.1f MB with an empty outbox, %.1f MB with %d messages (+%.1f MB)\n", emptyMb,
                ResidentMb(), kRows, ResidentMb() - emptyMb);

    // The worker sends the pending messages while the pane is shown.
    SetOnLine(true);
    if (!LogInToGateway("demo", "demo")) {
        std::fprintf(stderr, "bench_outbox_pane: login to the sandbox failed\n");
        return 1;
    }
    MeasureStalls(pane, store, worker);
    worker.RequestStop();
    worker.WaitForExit();
    return 0;
}
