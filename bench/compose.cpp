// Composition speed: counting a 2,048-character text as the counter does on every keystroke (GSM,
// UCS-2 and the cut of an edit beyond the limit), and one quick search over 10,000 contacts.
#include <benchmark/benchmark.h>

#include <memory>

#include "compose/Composition.h"
#include "compose/MessageLength.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

std::string Text2048(const std::string& piece) {
    std::string text;
    while (CharacterCount(text) < 2048)
        text += piece;
    return text.substr(0, ByteOffsetOfCharacter(text, 2048));
}

void BM_CountGsm2048(benchmark::State& state) {
    const std::string text = Text2048("Meet at the {station} at 5. ");
    for (auto _ : state)
        benchmark::DoNotOptimize(RecountMessageLength(text, 0, true, false));
}
BENCHMARK(BM_CountGsm2048)->Unit(benchmark::kMicrosecond);

void BM_CountUcs2_2048(benchmark::State& state) {
    const std::string text = Text2048("\xD0\xB4\xD0\xBE \xE2\x80\x9C\xD0\xB2\xE2\x80\x9D ");
    for (auto _ : state)
        benchmark::DoNotOptimize(RecountMessageLength(text, 0, true, false));
}
BENCHMARK(BM_CountUcs2_2048)->Unit(benchmark::kMicrosecond);

// A paste of 2,048 characters into an empty box, cut to what three parts carry.
void BM_CutPaste2048(benchmark::State& state) {
    const std::string text = Text2048("Meet at the {station} at 5. ");
    for (auto _ : state)
        benchmark::DoNotOptimize(CountMessageLength("", text, 2048, 0, true, false));
}
BENCHMARK(BM_CutPaste2048)->Unit(benchmark::kMicrosecond);

struct Book {
    test::TempDir dir;
    std::unique_ptr<MessageStore> store;
    AppSettings settings;
    std::unique_ptr<Composition> model;
    Book() {
        store = std::make_unique<MessageStore>(dir.Path());
        std::vector<int32_t> groups;
        for (int g = 0; g < 49; ++g) {
            store->Book().AddGroup("Group " + std::to_string(g));
        }
        for (const GroupRecord& g : store->Book().ListGroups())
            groups.push_back(g.GID);
        StoreTransaction batch(*store);
        for (int i = 0; i < 10000; ++i) {
            ContactRecord c;
            c.Name = "Name" + std::to_string(i);
            c.Surname = "Surname" + std::to_string(i % 977);
            c.Mobile = "07700" + std::to_string(100000 + i);
            c.groups = {1, groups[1 + static_cast<size_t>(i) % (groups.size() - 1)]};
            store->Book().AddContact(c);
        }
        batch.Commit();
        model = std::make_unique<Composition>(store.get(), settings);
    }
};

// One press of "Search >>" for a text that only the last contacts hold: the whole walk.
void BM_QuickSearch10000(benchmark::State& state) {
    static Book book;
    for (auto _ : state) {
        book.model->QuickSearchTextChanged();
        benchmark::DoNotOptimize(book.model->QuickSearchNext("name9999", [] { return false; }));
    }
}
BENCHMARK(BM_QuickSearch10000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

BENCHMARK_MAIN();
