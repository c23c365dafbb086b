// Building the compose pane's recipient tree for 10,000 contacts in 50 groups (the address book's
// branch with every group; a group's members are added when it is first opened, so opening one is
// measured too). Runs on the offscreen platform.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>

#include "compose/Composition.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"
#include "ui/compose/RecipientTree.h"

namespace quillon {
namespace {

struct Book {
    test::TempDir dir;
    std::unique_ptr<MessageStore> store;
    AppSettings settings;
    std::unique_ptr<Composition> model;
    int32_t bigGroup = 1;
    Book() {
        store = std::make_unique<MessageStore>(dir.Path());
        for (int g = 0; g < 49; ++g)
            store->Book().AddGroup("Group " + std::to_string(g));
        std::vector<int32_t> groups;
        for (const GroupRecord& g : store->Book().ListGroups())
            groups.push_back(g.GID);
        StoreTransaction batch(*store);
        for (int i = 0; i < 10000; ++i) {
            ContactRecord c;
            c.Name = "Name" + std::to_string(i);
            c.Surname = "Surname";
            c.Mobile = "07700" + std::to_string(100000 + i);
            c.groups = {1, groups[1 + static_cast<size_t>(i) % (groups.size() - 1)]};
            store->Book().AddContact(c);
        }
        batch.Commit();
        model = std::make_unique<Composition>(store.get(), settings);
    }
};

Book& TheBook() {
    static Book book;
    return book;
}

void BM_BuildRecipientTree10000(benchmark::State& state) {
    Book& book = TheBook();
    for (auto _ : state) {
        RecipientTree tree(book.store.get(), *book.model);
        benchmark::DoNotOptimize(tree.topLevelItemCount());
    }
}
BENCHMARK(BM_BuildRecipientTree10000)->Unit(benchmark::kMillisecond);

// Opening "All Contacts" (10,000 members) after building.
void BM_BuildTreeAndOpenAllContacts(benchmark::State& state) {
    Book& book = TheBook();
    for (auto _ : state) {
        RecipientTree tree(book.store.get(), *book.model);
        tree.AddressBookRoot()->setExpanded(true);
        tree.GroupItem(1)->setExpanded(true);
        benchmark::DoNotOptimize(tree.GroupItem(1)->childCount());
    }
}
BENCHMARK(BM_BuildTreeAndOpenAllContacts)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace quillon

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
