// quillon-cli commands over the local store: groups, contacts, outbox.
#include <cstdint>
#include <iostream>
#include <limits>

#include "addressbook/GroupList.h"
#include "cli/CliCommand.h"
#include "store/MessageStore.h"

namespace quillon::cli {

namespace {

// Parses a 32-bit option value; false (after a usage message) when it is not one.
bool TakeInt32Option(std::vector<std::string>& args, const std::string& name, int32_t& value, int& rc) {
    std::string text;
    if (!TakeOption(args, name, text))
        return true;
    long long v = 0;
    if (!ParseInt(text, v) || v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) {
        rc = UsageError(name + " needs a whole number, not '" + text + "'");
        return false;
    }
    value = static_cast<int32_t>(v);
    return true;
}

// An option given without its value is still in args; so is anything not understood.
int RejectLeftovers(const std::vector<std::string>& args) {
    if (args.empty())
        return kOk;
    const std::string& a = args.front();
    if (a.rfind("--", 0) == 0)
        return UsageError("unknown option or missing value: " + a);
    return UsageError("unexpected argument: " + a);
}

// ---------------------------------------------------------------- groups

int GroupsCommand(CliContext& context, std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("groups needs a subcommand: list or add (see quillon-cli groups --help)");
    MessageStore* store = context.store;
    if (!store)
        return Failure("the store is not open");
    const std::string sub = args.front();
    args.erase(args.begin());
    if (sub == "list") {
        if (int rc = RejectLeftovers(args))
            return rc;
        const auto groups = GroupListWithCounts(store->Book());
        if (store->Damaged())
            return kFailure;  // reported by the caller
        for (const auto& g : groups)
            std::cout << g.GID << '\t' << g.displayText << '\n';
        return kOk;
    }
    if (sub == "add") {
        if (args.empty())
            return UsageError("groups add needs a NAME");
        const std::string name = args.front();
        args.erase(args.begin());
        if (int rc = RejectLeftovers(args))
            return rc;
        int32_t row = store->Book().AddGroup(name);
        auto groups = store->Book().ListGroups();
        if (row < 0 || static_cast<size_t>(row) >= groups.size())
            return Failure("cannot add the group");
        std::cout << groups[static_cast<size_t>(row)].GID << '\n';
        return kOk;
    }
    if (const CliSubcommand* other = FindSubcommand("groups", sub))
        return other->handler(context, args);
    return UsageError("unknown groups subcommand '" + sub + "'");
}

CliRegistrar groupsCommand({"groups", "list the address-book groups, add one",
                            "usage: quillon-cli groups list\n"
                            "       quillon-cli groups add NAME\n\n"
                            "list: one line per group in GID order: the GID, a tab, the group as the address book\n"
                            "      shows it (\"Name (members)\"; the first group by name alone while it has none).\n"
                            "add:  adds a group and prints its new GID.\n",
                            GroupsCommand, true});

// ---------------------------------------------------------------- contacts

int ContactsCommand(CliContext& context, std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("contacts needs a subcommand: add or list (see quillon-cli contacts --help)");
    MessageStore* store = context.store;
    if (!store)
        return Failure("the store is not open");
    const std::string sub = args.front();
    args.erase(args.begin());
    if (sub == "add") {
        ContactRecord c;
        TakeOption(args, "--name", c.Name);
        TakeOption(args, "--surname", c.Surname);
        TakeOption(args, "--title", c.Title);
        TakeOption(args, "--custom", c.Custom);
        TakeOption(args, "--mobile", c.Mobile);
        for (const auto& text : TakeRepeatedOption(args, "--group")) {
            long long gid = 0;
            if (!ParseInt(text, gid) || gid < 1 || gid > std::numeric_limits<int32_t>::max())
                return UsageError("--group needs a group id, not '" + text + "'");
            c.groups.push_back(static_cast<int32_t>(gid));
        }
        if (int rc = RejectLeftovers(args))
            return rc;
        int32_t cid = store->Book().AddContact(c);
        if (cid <= 0)
            return Failure("cannot add the contact");
        std::cout << cid << '\n';
        return kOk;
    }
    if (sub == "list") {
        if (int rc = RejectLeftovers(args))
            return rc;
        const auto contacts = store->Book().ListContacts();
        if (store->Damaged())
            return kFailure;  // reported by the caller
        for (const auto& row : contacts) {
            const auto& c = row.contact;
            std::cout << row.CID << '\t' << c.Name << '\t' << c.Surname << '\t' << c.Title << '\t' << c.Custom << '\t'
                      << c.Mobile << '\t';
            for (size_t i = 0; i < c.groups.size(); ++i)
                std::cout << (i ? "," : "") << c.groups[i];
            std::cout << '\n';
        }
        return kOk;
    }
    if (const CliSubcommand* other = FindSubcommand("contacts", sub))
        return other->handler(context, args);
    return UsageError("unknown contacts subcommand '" + sub + "'");
}

CliRegistrar contactsCommand(
    {"contacts", "add address-book contacts, list them",
     "usage: quillon-cli contacts add [--name N] [--surname S] [--title T] [--custom C] [--mobile M]\n"
     "                                [--group GID]...\n"
     "       quillon-cli contacts list\n\n"
     "add:  adds a contact, a member of every --group given (in that order), and prints its new CID.\n"
     "list: one line per contact in CID order: CID, name, surname, title, custom, mobile and the\n"
     "      GIDs of its groups joined by \",\", tab-separated.\n",
     ContactsCommand, true});

// ---------------------------------------------------------------- outbox

int OutboxAdd(MessageStore& store, std::vector<std::string>& args) {
    std::string to, text, charge = "?", sender;
    bool haveTo = TakeOption(args, "--to", to);
    bool haveText = TakeOption(args, "--text", text);
    TakeOption(args, "--charge", charge);
    TakeOption(args, "--sender", sender);
    int32_t stat = 0, time = 0, type = 0, ref = 0, delay = 0;
    int rc = kOk;
    if (!TakeInt32Option(args, "--stat", stat, rc) || !TakeInt32Option(args, "--time", time, rc) ||
        !TakeInt32Option(args, "--type", type, rc) || !TakeInt32Option(args, "--ref", ref, rc) ||
        !TakeInt32Option(args, "--delay", delay, rc))
        return rc;
    if (int left = RejectLeftovers(args))
        return left;
    if (!haveTo)
        return UsageError("outbox add needs --to LIST");
    if (!haveText)
        return UsageError("outbox add needs --text TEXT");
    int32_t id = store.Outbox().AddSms(stat, time, type, ref, to, text, sender, delay, charge);
    if (id <= 0)
        return Failure("cannot add the message");
    std::cout << id << '\n';
    return kOk;
}

int OutboxDump(MessageStore& store, std::vector<std::string>& args) {
    if (int rc = RejectLeftovers(args))
        return rc;
    const auto rows = store.Outbox().LoadAllSms();
    if (store.Damaged())
        return kFailure;  // reported by the caller
    for (const auto& r : rows) {
        std::cout << r.ID << '\t' << r.Time << '\t' << r.Stat << '\t' << r.Type << '\t' << r.RefID << '\t' << r.To
                  << '\t' << r.ToInfo << '\t' << r.Msg << '\t' << r.ApiMsgID << '\t' << r.SavedStat << '\t'
                  << r.SenderID << '\t' << r.Delay << '\t' << r.QueryTime << '\t' << r.StatQryTm << '\t' << r.Charge
                  << '\n';
    }
    return kOk;
}

int OutboxCommand(CliContext& context, std::vector<std::string>& args) {
    if (args.empty())
        return UsageError("outbox needs a subcommand (see quillon-cli outbox --help)");
    MessageStore* store = context.store;
    if (!store)
        return Failure("the store is not open");
    const std::string sub = args.front();
    args.erase(args.begin());
    if (sub == "add")
        return OutboxAdd(*store, args);
    if (sub == "dump")
        return OutboxDump(*store, args);
    if (const CliSubcommand* other = FindSubcommand("outbox", sub))
        return other->handler(context, args);
    return UsageError("unknown outbox subcommand '" + sub + "'");
}

CliRegistrar outboxCommand(
    {"outbox", "add messages to the outbox, dump it",
     "usage: quillon-cli outbox add --to LIST --text TEXT [--stat N] [--time SECONDS] [--type N]\n"
     "                              [--ref ID] [--delay SECONDS] [--charge TEXT] [--sender ID]\n"
     "       quillon-cli outbox dump\n\n"
     "add:  stores one message and prints its new ID. LIST is the recipient list as stored: numbers\n"
     "      and \"A<CID>\" contact entries separated by \",\". --stat defaults to 0 (Pending), --time to\n"
     "      now (0), --ref to the new ID (0), --charge to \"?\".\n"
     "dump: one line per message in ID order with its 15 properties in stored order, tab-separated:\n"
     "      ID Time Stat Type RefID To ToInfo Msg ApiMsgID SavedStat SenderID Delay QueryTime\n"
     "      StatQryTm Charge. Texts are written as stored.\n",
     OutboxCommand, true});

}  // namespace

}  // namespace quillon::cli
