// The outbox view's order and the export at 100,000 messages: a rebuild sorted by each column,
// a rebuild with a find text, a reversal, and the export of every message to a file.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>

#include "outbox/OutboxExport.h"
#include "outbox/OutboxOrder.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

constexpr int kRows = 100000;

// Messages of every state to a few hundred numbers, with texts of 20 to 160 characters from a
// small vocabulary, times spread over a month; built once.
struct BusyOutbox {
    test::TempDir dir;
    std::unique_ptr<MessageStore> store;
    BusyOutbox() {
        store = std::make_unique<MessageStore>(dir.Path());
        std::mt19937 random(7);
        const char* words[] = {"meeting", "today",  "invoice", "ready", "collect", "Friday",  "late", "call",
                               "me",      "thanks", "code",    "gate",  "10:30",   "Tuesday", "see",  "you"};
        StoreTransaction batch(*store);
        for (int i = 0; i < kRows; ++i) {
            std::string text;
            const int length = 20 + static_cast<int>(random() % 140);
            while (static_cast<int>(text.size()) < length)
                text += std::string(words[random() % 16]) + " ";
            const std::string to = ",07700" + std::to_string(900000 + random() % 400);
            store->Outbox().AddSms(static_cast<int32_t>(random() % 18),
                                   1765000000 + static_cast<int32_t>(random() % 2600000), 0, 0, to, text, "", 0,
                                   random() % 2 ? "1.0" : "?");
        }
    }
};

BusyOutbox& Outbox() {
    static BusyOutbox outbox;
    return outbox;
}

void BM_RebuildSortedBy(benchmark::State& state) {
    OutboxOrder order(*Outbox().store);
    const int column = static_cast<int>(state.range(0));
    order.SortBy(column);
    for (auto _ : state) {
        order.Rebuild();
        benchmark::DoNotOptimize(order.Ids().data());
    }
    state.SetLabel(OutboxColumnHeading(column));
    state.counters["rows"] = order.Count();
}
BENCHMARK(BM_RebuildSortedBy)->DenseRange(0, 4)->Unit(benchmark::kMillisecond);

void BM_RebuildWithFindText(benchmark::State& state) {
    OutboxOrder order(*Outbox().store);
    order.SetFilter({"invoice ready", StatusGroup::All});
    for (auto _ : state) {
        order.Rebuild();
        benchmark::DoNotOptimize(order.Ids().data());
    }
    state.counters["rows"] = order.Count();
}
BENCHMARK(BM_RebuildWithFindText)->Unit(benchmark::kMillisecond);

void BM_ReverseByClick(benchmark::State& state) {
    OutboxOrder order(*Outbox().store);
    order.SortBy(4);
    for (auto _ : state)
        order.ClickColumn(4);
}
BENCHMARK(BM_ReverseByClick)->Unit(benchmark::kMicrosecond);

void BM_ExportAll(benchmark::State& state) {
    test::TempDir dir;
    for (auto _ : state)
        ExportOutbox(*Outbox().store, dir.File("out.txt"), nullptr);
    state.counters["rows/s"] = benchmark::Counter(kRows, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_ExportAll)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
