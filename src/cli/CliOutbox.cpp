// quillon-cli outbox export, list, delete, resend: the outbox pane's commands from a terminal.
#include <climits>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "core/StringTable.h"
#include "outbox/OutboxExport.h"
#include "outbox/OutboxOrder.h"
#include "outbox/OutboxText.h"
#include "store/MessageStatus.h"
#include "store/MessageStore.h"

namespace quillon::cli {

namespace {

// Every argument left must be a message ID; at least one is needed.
int TakeIds(std::vector<std::string>& args, std::vector<int32_t>& ids, const std::string& what) {
    for (const std::string& arg : args) {
        long long id = 0;
        if (!ParseInt(arg, id) || id < 1 || id > INT32_MAX)
            return UsageError(what + ": '" + arg + "' is not a message ID");
        ids.push_back(static_cast<int32_t>(id));
    }
    args.clear();
    if (ids.empty())
        return UsageError(what + " needs at least one message ID");
    return kOk;
}

int Export(CliContext& context, std::vector<std::string>& args) {
    std::vector<std::string> idTexts = TakeRepeatedOption(args, "--id");
    if (args.size() != 1 || args.front().rfind("--", 0) == 0)
        return UsageError("outbox export needs one FILE");
    const std::string path = args.front();
    args.clear();
    std::vector<int32_t> ids;
    if (!idTexts.empty()) {
        if (int rc = TakeIds(idTexts, ids, "outbox export --id"))
            return rc;
    }
    MessageStore& store = *context.store;
    if (store.Outbox().SmsRowCount() == 0)
        return Failure(LoadResourceString(kIdNothingToExport));
    switch (ExportOutbox(store, path, ids.empty() ? nullptr : &ids)) {
        case ExportResult::Ok:
            std::cout << LoadResourceString(kIdExportDone) << '\n';
            return kOk;
        case ExportResult::CannotOpen:
            return Failure(FormatResourceString(kIdExportCannotOpen, {path}));
        default:
            return Failure(LoadResourceString(kIdExportFailedText));
    }
}

int List(CliContext& context, std::vector<std::string>& args) {
    std::string statusName, sortName;
    OutboxFilter filter;
    int column = 0;
    if (TakeOption(args, "--status", statusName)) {
        auto group = StatusGroupByName(statusName);
        if (!group)
            return UsageError("unknown status '" + statusName + "' (all, waiting, scheduled, sent, delivered, failed)");
        filter.status = *group;
    }
    if (TakeOption(args, "--sort", sortName)) {
        auto c = OutboxColumnByName(sortName);
        if (!c)
            return UsageError("unknown column '" + sortName + "' (sent, recipient, status, charge, message)");
        column = *c;
    }
    TakeOption(args, "--find", filter.text);
    const bool descending = TakeFlag(args, "--desc");
    if (!args.empty())
        return UsageError("outbox list: unexpected '" + args.front() + "'");
    OutboxOrder order(*context.store);
    order.SetFilter(filter);
    if (!order.SortBy(column))
        return Failure("cannot read the outbox");
    if (descending)
        order.ClickColumn(column);
    for (int32_t id : order.Ids()) {
        SmsRecord r;
        std::cout << id;
        const bool read = context.store->Outbox().GetSms(id, r);
        for (int c = 0; c < kOutboxColumnCount; ++c)
            std::cout << '\t' << (read ? ExportField(OutboxCellText(r, c)) : "?");
        std::cout << '\n';
    }
    return kOk;
}

int Delete(CliContext& context, std::vector<std::string>& args) {
    std::vector<int32_t> ids;
    if (int rc = TakeIds(args, ids, "outbox delete"))
        return rc;
    OutboxStore& outbox = context.store->Outbox();
    int rc = kOk;
    for (int32_t id : ids) {
        SmsRecord r;
        if (!outbox.GetSms(id, r)) {
            std::cout << id << "\tno such message\n";
            rc = kFailure;
        } else if (r.Stat == StatusCode(MessageStatus::ScheduledOnServer)) {
            // Only the gateway can withdraw it; deleting the row alone would still deliver it.
            std::cout << id << "\tscheduled on the gateway: use outbox cancel\n";
            rc = kFailure;
        } else if (r.Stat == StatusCode(MessageStatus::Processing) || r.Stat == StatusCode(MessageStatus::Editing)) {
            std::cout << id << "\tin use (" << StatusLabel(r.Stat) << ")\n";
            rc = kFailure;
        } else {
            outbox.DeleteSms(id);
            std::cout << id << "\tdeleted\n";
        }
    }
    return rc;
}

int Resend(CliContext& context, std::vector<std::string>& args) {
    std::vector<int32_t> ids;
    if (int rc = TakeIds(args, ids, "outbox resend"))
        return rc;
    if (ids.size() != 1)
        return UsageError("outbox resend takes one message ID");
    int32_t copy = context.store->Outbox().CopySms(ids.front(), true, StatusCode(MessageStatus::Pending));
    if (copy < 1)
        return Failure("no message " + std::to_string(ids.front()));
    std::cout << copy << '\n';
    return kOk;
}

CliSubcommandRegistrar exportSubcommand(
    {"outbox", "export",
     "       quillon-cli outbox export FILE [--id ID]...\n"
     "export: writes the outbox report (tab-separated, UTF-8): every message in ID order, or the\n"
     "      messages given by --id in that order.\n",
     Export});
CliSubcommandRegistrar listSubcommand(
    {"outbox", "list",
     "       quillon-cli outbox list [--status NAME] [--sort COLUMN] [--desc] [--find TEXT]\n"
     "list: the outbox view's rows in its order: ID, sent, recipient, status, charge, message,\n"
     "      tab-separated. NAME: all, waiting, scheduled, sent, delivered, failed. COLUMN: sent,\n"
     "      recipient, status, charge, message (default sent).\n",
     List});
CliSubcommandRegistrar deleteSubcommand(
    {"outbox", "delete",
     "       quillon-cli outbox delete ID...\n"
     "delete: removes messages from the outbox; one scheduled on the gateway needs outbox cancel.\n",
     Delete});
CliSubcommandRegistrar resendSubcommand({"outbox", "resend",
                                         "       quillon-cli outbox resend ID\n"
                                         "resend: queues a copy of a message as a new Pending message and "
                                         "prints its ID.\n",
                                         Resend});

}  // namespace

}  // namespace quillon::cli
