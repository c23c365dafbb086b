// The address book at 100,000 contacts: import with duplicate prevention, export, the pane's table
// load, switching to a group of every contact, and the quick search.
#include <benchmark/benchmark.h>

#include <fstream>
#include <memory>
#include <string>

#include "addressbook/ContactExport.h"
#include "addressbook/ContactImport.h"
#include "addressbook/ContactTable.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

constexpr int kContacts = 100000;

std::string WriteCsv(const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    out << "fname,sname,title,custom,mobile\r\n";
    for (int i = 0; i < kContacts; ++i)
        out << "Name" << i << ",Surname" << i << ",Mr,Custom " << i << ",+2782" << (1000000 + i) << "\r\n";
    return path;
}

// A store holding 100,000 contacts in one group (GID 2), shared by the benchmarks that read it.
struct FullBook {
    test::TempDir dir;
    std::unique_ptr<MessageStore> store;
    FullBook() {
        store = std::make_unique<MessageStore>(dir.Path());
        store->Book().AddGroup("Everyone");
        ContactImportOptions options;
        options.path = WriteCsv(dir.File("in.csv"));
        options.groups = {2};
        ImportContacts(*store, options);
    }
};

FullBook& Book() {
    static FullBook book;
    return book;
}

long ResidentKb() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * 4;
}

void BM_Import100kPreventingDuplicates(benchmark::State& state) {
    for (auto _ : state) {
        state.PauseTiming();
        auto dir = std::make_unique<test::TempDir>();
        auto store = std::make_unique<MessageStore>(dir->Path());
        store->Book().AddGroup("Everyone");
        ContactImportOptions options;
        options.path = WriteCsv(dir->File("in.csv"));
        options.groups = {2};
        options.preventDuplicates = true;
        state.ResumeTiming();
        ImportReport r = ImportContacts(*store, options);
        state.PauseTiming();
        if (r.inserted != kContacts)
            state.SkipWithError("not every contact was imported");
        store.reset();
        dir.reset();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_Import100kPreventingDuplicates)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Export100k(benchmark::State& state) {
    FullBook& book = Book();
    ContactExportOptions options;
    options.path = book.dir.File("out.csv");
    options.selection = false;
    options.groups = {2};
    for (auto _ : state) {
        ExportReport r = ExportContacts(*book.store, options);
        if (r.written != kContacts)
            state.SkipWithError("not every contact was written");
    }
}
BENCHMARK(BM_Export100k)->Unit(benchmark::kMillisecond);

// What the pane does on every rebuild: the contact table from the store; and what it keeps.
void BM_TableLoad100k(benchmark::State& state) {
    FullBook& book = Book();
    long before = ResidentKb();
    auto table = std::make_unique<ContactTable>();
    for (auto _ : state)
        table->Load(book.store->Book());
    state.counters["resident_MB"] = static_cast<double>(ResidentKb() - before) / 1024.0;
}
BENCHMARK(BM_TableLoad100k)->Unit(benchmark::kMillisecond);

// Switching groups: the member list of 100,000 and the texts of its first screen (40 rows).
void BM_SwitchToGroupFirstScreen(benchmark::State& state) {
    ContactTable table;
    table.Load(Book().store->Book());
    for (auto _ : state) {
        const auto& members = table.MembersOf(2);
        size_t bytes = 0;
        for (size_t row = 0; row < 40 && row < members.size(); ++row) {
            for (auto field : {ContactField::kName, ContactField::kSurname, ContactField::kMobile})
                bytes += table.Field(static_cast<size_t>(members[row]), field).size();
        }
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_SwitchToGroupFirstScreen)->Unit(benchmark::kMicrosecond);

// One keystroke of the quick search: a text no contact holds walks all 100,000.
void BM_SearchMiss100k(benchmark::State& state) {
    ContactTable table;
    table.Load(Book().store->Book());
    for (auto _ : state)
        benchmark::DoNotOptimize(table.Find("zzqx", 0));
}
BENCHMARK(BM_SearchMiss100k)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
