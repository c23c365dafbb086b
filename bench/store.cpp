// The local store on this machine's disk: adding messages (one durable transaction each, and
// 100,000 in one batch), lookups by ID and the outbox count at 100,000 rows, and the group list
// with counts for 10,000 contacts in three groups each, and opening a store of 100,000 messages with
// and without the thorough check.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <memory>

#include "addressbook/GroupList.h"
#include "store/MessageStore.h"
#include "store/StoreCheck.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

constexpr int kOutboxRows = 100000;

// A data directory holding an outbox of kOutboxRows messages, a tenth of them waiting to be sent;
// built once and shared by the read benchmarks.
struct FilledOutbox {
    test::TempDir dir;
    std::unique_ptr<MessageStore> store;
    FilledOutbox() {
        store = std::make_unique<MessageStore>(dir.Path());
        StoreTransaction batch(*store);
        for (int i = 0; i < kOutboxRows; ++i)
            store->Outbox().AddSms(i % 10 == 0 ? 0 : 9, 1700000000 + i, 0, 0, ",0821234567", "Benchmark message text",
                                   "", 0, "1.0");
    }
};

FilledOutbox& Outbox() {
    static FilledOutbox outbox;
    return outbox;
}

void BM_AddSmsDurable(benchmark::State& state) {
    test::TempDir dir;
    MessageStore store(dir.Path());
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            store.Outbox().AddSms(0, 0, 0, 0, ",0821234567", "Benchmark message text", "", 0, "?"));
    }
}
BENCHMARK(BM_AddSmsDurable)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

// The floor of a durable add on this disk: appending a page to a file and flushing it, which is
// what a commit in the write-ahead log costs at the least.
void BM_DiskFlushFloor(benchmark::State& state) {
    test::TempDir dir;
    int fd = ::open(dir.File("flush").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
    const std::string page(4096, 'x');
    for (auto _ : state) {
        if (::write(fd, page.data(), page.size()) != static_cast<ssize_t>(page.size()))
            state.SkipWithError("write failed");
        ::fdatasync(fd);
    }
    ::close(fd);
}
BENCHMARK(BM_DiskFlushFloor)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_AddSmsBatch100k(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto dir = std::make_unique<test::TempDir>();
        auto store = std::make_unique<MessageStore>(dir->Path());
        state.ResumeTiming();
        {
            StoreTransaction batch(*store);
            for (int i = 0; i < kOutboxRows; ++i)
                store->Outbox().AddSms(0, 0, 0, 0, ",0821234567", "Benchmark message text", "", 0, "?");
        }
        state.PauseTiming();
        store.reset();
        dir.reset();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * kOutboxRows);
}
BENCHMARK(BM_AddSmsBatch100k)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_GetSmsById100k(benchmark::State& state) {
    MessageStore& store = *Outbox().store;
    SmsRecord record;
    int32_t id = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(store.Outbox().GetSms(id, record));
        id = id * 7919 % kOutboxRows + 1;  // spread over the whole table
    }
}
BENCHMARK(BM_GetSmsById100k)->Unit(benchmark::kMicrosecond);

void BM_CountOutbox100k(benchmark::State& state) {
    MessageStore& store = *Outbox().store;
    for (auto _ : state)
        benchmark::DoNotOptimize(store.Outbox().CountOutbox());
}
BENCHMARK(BM_CountOutbox100k)->Unit(benchmark::kMicrosecond);

void BM_GroupListWithCounts10kContacts(benchmark::State& state) {
    test::TempDir dir;
    MessageStore store(dir.Path());
    {
        StoreTransaction batch(store);
        std::vector<int32_t> gids;
        for (int g = 0; g < 20; ++g) {
            int32_t row = store.Book().AddGroup("Group " + std::to_string(g));
            gids.push_back(store.Book().ListGroups()[static_cast<size_t>(row)].GID);
        }
        for (int i = 0; i < 10000; ++i) {
            ContactRecord c;
            c.Name = "Name" + std::to_string(i);
            c.Surname = "Surname";
            c.Mobile = "0821" + std::to_string(100000 + i);
            c.groups = {gids[i % 20], gids[(i + 7) % 20], gids[(i + 13) % 20]};
            store.Book().AddContact(c);
        }
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(GroupListWithCounts(store.Book()));
}
BENCHMARK(BM_GroupListWithCounts10kContacts)->Unit(benchmark::kMicrosecond);

// Opening a store of kOutboxRows messages as start-up does (then closing it), without and with the
// thorough check (PRAGMA quick_check) on the same thread: the check is why start-up runs it on a
// thread of its own afterwards.
void BM_OpenStore100k(benchmark::State& state) {
    static test::TempDir dir;
    static const bool filled = [] {
        MessageStore store(dir.Path());
        StoreTransaction batch(store);
        for (int i = 0; i < kOutboxRows; ++i)
            store.Outbox().AddSms(i % 10 == 0 ? 0 : 9, 1700000000 + i, 0, 0, ",0821234567", "Benchmark message text",
                                  "", 0, "1.0");
        return true;
    }();
    benchmark::DoNotOptimize(filled);
    const bool check = state.range(0) != 0;
    for (auto _ : state) {
        MessageStore store(dir.Path());
        if (check)
            benchmark::DoNotOptimize(CheckDatabaseFile(store.Path(), true));
        if (store.Damaged())
            state.SkipWithError("damaged");
    }
}
BENCHMARK(BM_OpenStore100k)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
