// quillon-cli store check, store salvage: a thorough check of SMS.db and the salvage of a damaged one.
#include <iostream>

#include "cli/CliCommand.h"
#include "core/DataDirLock.h"
#include "store/MessageStore.h"
#include "store/StoreCheck.h"
#include "store/StoreSalvage.h"

namespace quillon::cli {

namespace {

int Check(CliContext& context) {
    MessageStore store(context.dataDir);
    if (!store.Damaged() && store.IsOpen()) {
        const std::string reason = CheckDatabaseFile(store.Path(), true);
        if (!reason.empty())
            store.Database().MarkDamaged(reason);
    }
    if (store.Damaged())
        return Failure(DamageAdvice(store));
    if (!store.DatabaseFileExists())
        return Failure("cannot open the database " + store.Path());
    std::cout << "ok\n";
    return kOk;
}

int Salvage(CliContext& context) {
    // The file is replaced: no program may have it open meanwhile.
    DataDirLock lock;
    if (!lock.Acquire(context.dataDir, "quillon-cli store salvage"))
        return Failure(lock.InUseText(context.dataDir));
    const SalvageReport report = SalvageStore(context.dataDir);
    if (!report.ok)
        return Failure(report.Text());
    std::cout << report.Text() << "\n";
    return kOk;
}

int StoreCommand(CliContext& context, std::vector<std::string>& args) {
    if (args.size() != 1)
        return UsageError("store needs one subcommand: check or salvage (see quillon-cli store --help)");
    if (args[0] == "check")
        return Check(context);
    if (args[0] == "salvage")
        return Salvage(context);
    return UsageError("unknown store subcommand '" + args[0] + "'");
}

CliRegistrar storeCommand(
    {"store", "check the database thoroughly, salvage a damaged one",
     "usage: quillon-cli store check\n"
     "       quillon-cli store salvage\n\n"
     "check:   reads every page of SMS.db (PRAGMA quick_check); prints \"ok\", or says what is damaged\n"
     "         and exits 1.\n"
     "salvage: copies every row that can still be read into a new SMS.db, keeps the old file (and its\n"
     "         write-ahead log) as SMS.db.corrupt-YYYYMMDD-HHMMSS and prints how many rows of each\n"
     "         table were saved. Refused while another program sends from the data directory.\n",
     StoreCommand, false});

}  // namespace

}  // namespace quillon::cli
