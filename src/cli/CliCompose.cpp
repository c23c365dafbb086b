// quillon-cli compose: puts a composition together and queues it as the compose pane does.
#include <climits>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "cli/CliSchedule.h"
#include "compose/Composition.h"
#include "compose/HexImport.h"
#include "compose/MessageLength.h"
#include "core/AppSettings.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "store/MessageStore.h"
#include "store/MessageType.h"

namespace quillon::cli {

namespace {

const char* const kHelp =
    "usage: quillon-cli compose [RECIPIENTS] (--text TEXT | --file PATH) [--kind N]\n"
    "                           [--schedule [SCHEDULE OPTIONS] [--upload-days N]]\n"
    "       quillon-cli compose --edit ID [RECIPIENTS] [--text TEXT] [--kind N]\n"
    "       quillon-cli compose --resend ID [RECIPIENTS] [--text TEXT] [--kind N] [--schedule ...]\n\n"
    "Builds a composition and stores it in the outbox exactly as \"Send >>\" or \"Schedule ...\" of\n"
    "the compose pane would, then prints the ID of every row stored, one per line.\n\n"
    "Recipients (each may be repeated; the recipient list keeps this order: numbers, contacts in\n"
    "CID order, recent entries, whatever order they were given in):\n"
    "  --to NUMBER      a typed mobile number (digits only, at most 32)\n"
    "  --contact CID    an address-book contact\n"
    "  --group GID      every member of a group\n"
    "  --recent N       entry N of the recent-recipient list (0 = most recent)\n\n"
    "Content:\n"
    "  --text TEXT      the message text (with SpanSMS off a text above one SMS is cut, as typing\n"
    "                   would cut it; a note goes to stderr)\n"
    "  --file PATH      a file sent as hex text (kinds 6 Nokia vCard and 7 Nokia vCal; --kind\n"
    "                   defaults to 6)\n"
    "  --kind N         0 Text (default), 1 Flash, 2 Unicode, 6 Nokia vCard, 7 Nokia vCal\n\n"
    "Scheduling:\n"
    "  --schedule       one row per occurrence instead of one Pending row; takes the options of\n"
    "                   \"quillon-cli schedule\" (--mode, --start, --every, --count, --now, ...)\n"
    "  --upload-days N  hand the rows to the gateway N days (1-7) before they are due (Delay\n"
    "                   Scheduled); 0 keeps them local (Scheduled). Default: the ScheduleToServer\n"
    "                   and UploadToServerXDaysBefore settings.\n\n"
    "Stored messages:\n"
    "  --edit ID        rewrite stored message ID (\"Update >>\"): its recipients and text are\n"
    "                   loaded first; --text and --kind replace, recipients add\n"
    "  --resend ID      start from stored message ID as a new composition (\"Resend this SMS\")\n\n"
    "The rows are only stored: quillon-cli runs no comms worker, so Pending rows are sent by the\n"
    "next send pass of the desktop program (or any command that runs the worker). Recipients\n"
    "used are added to the recent-recipient list, which is written back to the settings file.\n"
    "Exit status 1 with \"No destination mobile numbers selected\" when there is no recipient.\n";

bool ParseId(const std::string& text, int32_t& out) {
    long long v = 0;
    if (!ParseInt(text, v) || v < 0 || v > INT32_MAX)
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

bool IsSelectable(int32_t kind) {
    for (MessageType t : kSelectableMessageTypes)
        if (static_cast<int32_t>(t) == kind)
            return true;
    return false;
}

// The recent list lives in the settings; the desktop program writes it at shutdown, this command
// right away (only its own keys, so nothing else in the file changes).
void SaveRecentList() {
    SettingsFile& f = TheSettingsFile();
    const AppSettings& s = Settings();
    f.SetInt("NumRecent", s.NumRecent);
    for (int slot = 0; slot < s.NumRecent && slot < kRecentSlots; ++slot)
        f.SetString("Recent" + std::to_string(slot), EncodeRecentRecord(s.recent[static_cast<size_t>(slot)]));
    f.Save();
}

// The options of compose, checked against each other.
struct ComposeOptions {
    bool edit = false;
    bool resend = false;
    std::string editText, resendText;
    std::vector<std::string> numbers, contactArgs, groupArgs, recentArgs;
    std::string text, file;
    bool haveText = false;
    bool haveFile = false;
    bool haveKind = false;
    int32_t kind = 0;
    bool schedule = false;
    ScheduleChoices choices;
    int64_t now = 0;
    UploadChoice upload;
};

// kOk, or the code of the usage error that was reported.
int TakeComposeOptions(std::vector<std::string>& args, ComposeOptions& o) {
    o.edit = TakeOption(args, "--edit", o.editText);
    o.resend = TakeOption(args, "--resend", o.resendText);
    if (o.edit && o.resend)
        return UsageError("give --edit or --resend, not both");
    o.numbers = TakeRepeatedOption(args, "--to");
    o.contactArgs = TakeRepeatedOption(args, "--contact");
    o.groupArgs = TakeRepeatedOption(args, "--group");
    o.recentArgs = TakeRepeatedOption(args, "--recent");
    std::string kindText, uploadText;
    o.haveText = TakeOption(args, "--text", o.text);
    o.haveFile = TakeOption(args, "--file", o.file);
    o.haveKind = TakeOption(args, "--kind", kindText);
    const bool haveUpload = TakeOption(args, "--upload-days", uploadText);
    o.schedule = TakeFlag(args, "--schedule");
    if (o.schedule) {
        int rc = TakeScheduleOptions(args, o.choices, o.now);
        if (rc != kOk)
            return rc;
    }
    if (!args.empty())
        return UsageError("unexpected argument '" + args[0] + "' (see quillon-cli compose --help)");
    if (o.haveText && o.haveFile)
        return UsageError("give --text or --file, not both");
    if (!o.edit && !o.resend && !o.haveText && !o.haveFile)
        return UsageError("compose needs --text or --file");
    if (haveUpload && !o.schedule)
        return UsageError("--upload-days goes with --schedule");
    if (o.edit && o.schedule)
        return UsageError("a message being edited cannot be scheduled");

    if (o.haveKind) {
        long long k = 0;
        if (!ParseInt(kindText, k) || !IsSelectable(static_cast<int32_t>(k)))
            return UsageError("--kind takes 0, 1, 2, 6 or 7");
        o.kind = static_cast<int32_t>(k);
    } else if (o.haveFile) {
        o.kind = static_cast<int32_t>(MessageType::NokiaVCard);
    }
    if (o.haveFile && !IsFileBasedType(o.kind))
        return UsageError("--file goes with --kind 6 or 7");
    o.upload = LoadUploadChoice();
    if (haveUpload) {
        long long d = 0;
        if (!ParseInt(uploadText, d) || d < 0 || d > kMaxUploadDays)
            return UsageError("--upload-days takes 0 to 7");
        o.upload = UploadChoice{d > 0, d > 0, static_cast<int32_t>(d > 0 ? d - 1 : 0)};
    }
    return kOk;
}

int AddRecipients(MessageStore* store, Composition& model, const ComposeOptions& o) {
    for (const auto& n : o.numbers) {
        if (n.empty() || !ToList::IsAcceptableText(n))
            return UsageError("--to takes digits only, at most 32: '" + n + "'");
        model.To().AddNumber(n);
    }
    for (const auto& c : o.contactArgs) {
        int32_t cid = 0;
        ContactRecord record;
        if (!ParseId(c, cid) || !store->Book().LoadContact(cid, record))
            return UsageError("no contact with CID '" + c + "'");
        model.Contacts().Select(cid, true);
    }
    for (const auto& g : o.groupArgs) {
        int32_t gid = 0;
        if (!ParseId(g, gid) || !store->Book().GetGroupName(gid))
            return UsageError("no group with GID '" + g + "'");
        model.Contacts().SelectGroup(store->Book().MembersOfGroup(gid), true);
    }
    for (const auto& r : o.recentArgs) {
        int32_t slot = 0;
        if (!ParseId(r, slot) || !model.Recent().InUse(slot))
            return UsageError("no recent recipient " + r + " (the list holds " +
                              std::to_string(model.Recent().Count()) + ")");
        model.Recent().SetSelected(slot, true);
    }
    return kOk;
}

// What the command prints and returns for the composition's result.
int ReportCompose(const ComposeResult& result, const ScheduleResult& computed, bool edit) {
    switch (result.status) {
        case ComposeStatus::kDone:
            for (int32_t id : result.storedIds)
                std::cout << id << "\n";
            if (computed.truncated)
                std::cerr << "quillon-cli: occurrences beyond January 2038 were left out\n";
            return kOk;
        case ComposeStatus::kNoText:
            return Failure("the message text is empty");
        case ComposeStatus::kNoRecipients:
        case ComposeStatus::kTooLong:
            return Failure(LoadResourceString(result.TextId()));
        case ComposeStatus::kNotAllowed:
            return UsageError("a message being edited cannot be scheduled");
        case ComposeStatus::kCancelled:
            if (computed.status == ScheduleStatus::NoWeekdayChecked)
                return UsageError("a weekly schedule needs --days");
            return Failure("the schedule has no occurrence that can be stored");
        case ComposeStatus::kStoreFailed:
            return Failure(edit ? "the message being edited no longer exists"
                                : "the outbox could not store the message");
    }
    return kFailure;
}

int RunCompose(CliContext& context, std::vector<std::string>& args) {
    MessageStore* store = context.store;
    if (!store)
        return Failure("the store is not open");
    ComposeOptions o;
    int rc = TakeComposeOptions(args, o);
    if (rc != kOk)
        return rc;

    Composition model(store, Settings());
    // Loading a message for editing puts it in Editing; every way out below must end that.
    struct EndEditing {
        Composition& model;
        ~EndEditing() {
            if (model.Editing())
                model.ResetComposition();
        }
    } endEditing{model};

    int32_t kind = o.kind;
    if (o.edit || o.resend) {
        int32_t id = 0;
        if (!ParseId(o.edit ? o.editText : o.resendText, id))
            return UsageError("--edit and --resend take a message ID");
        if (!model.LoadStoredMessage(id, o.edit))
            return Failure("no message with ID " + std::to_string(id));
        if (!o.haveKind)
            kind = model.Kind();
    } else {
        model.SizeContactSelection();
    }
    model.SetKind(kind);
    rc = AddRecipients(store, model, o);
    if (rc != kOk)
        return rc;

    if (o.haveFile) {
        HexImportFailure failure{};
        if (!model.ImportFile(o.file, failure))
            return Failure(HexImportFailureText(o.file, failure));
    } else if (o.haveText) {
        // A script's text is refused whole rather than cut as typing would cut it.
        const SmsCount count = CountMessage(o.text, kind);
        if (!FitsLimit(count, Settings().SpanSMS))
            return Failure(LoadResourceString(kTextTooLongText) + " (" + CounterText(count.units, count.parts) + ")");
        model.SetText(o.text, CharacterCount(o.text));
    }

    ComposeResult result;
    ScheduleResult computed;
    if (o.schedule) {
        result = model.ScheduleComposed([&](ScheduleResult& r) {
            computed = AcceptSchedule(o.choices, o.upload, o.now);
            r = computed;
            return computed.status == ScheduleStatus::Ok;
        });
    } else {
        result = model.SendComposed();
    }
    SaveRecentList();
    return ReportCompose(result, computed, o.edit);
}

CliRegistrar registrar({"compose", "store a composed message (or a schedule of them) in the outbox", kHelp, RunCompose,
                        true});

}  // namespace

}  // namespace quillon::cli
