// quillon-cli contacts import / export / delete, groups rename / delete.
#include <unistd.h>

#include <cstdint>
#include <iostream>
#include <limits>

#include "addressbook/ContactExport.h"
#include "addressbook/ContactImport.h"
#include "cli/CliCommand.h"
#include "store/MessageStore.h"

namespace quillon::cli {

namespace {

// The directory the program was started in: the command changes into the data directory before
// its handlers run, and a relative FILE is meant from where the user typed it.
std::string StartDirectory() {
    char cwd[4096];
    return getcwd(cwd, sizeof cwd) ? std::string(cwd) : std::string();
}
const std::string gStartDirectory = StartDirectory();

std::string FromStartDirectory(const std::string& path) {
    if (path.empty() || path[0] == '/' || gStartDirectory.empty())
        return path;
    return gStartDirectory + "/" + path;
}

// Every "--name ID" as a positive 32-bit id; false (after a usage message in rc) on a bad one.
bool TakeIds(std::vector<std::string>& args, const std::string& name, std::vector<int32_t>& ids, int& rc) {
    for (const auto& text : TakeRepeatedOption(args, name)) {
        long long id = 0;
        if (!ParseInt(text, id) || id < 1 || id > std::numeric_limits<int32_t>::max()) {
            rc = UsageError(name + " needs an id, not '" + text + "'");
            return false;
        }
        ids.push_back(static_cast<int32_t>(id));
    }
    return true;
}

// The one positional argument left once the options are taken; rc set when there is not exactly one.
bool TakeSingle(std::vector<std::string>& args, const std::string& what, std::string& value, int& rc) {
    for (const auto& a : args) {
        if (a.rfind("--", 0) == 0) {
            rc = UsageError("unknown option or missing value: " + a);
            return false;
        }
    }
    if (args.size() != 1) {
        rc = UsageError(args.empty() ? "missing " + what : "unexpected argument: " + args[1]);
        return false;
    }
    value = args[0];
    return true;
}

bool ParseId(const std::string& text, int32_t& id) {
    long long v = 0;
    if (!ParseInt(text, v) || v < 1 || v > std::numeric_limits<int32_t>::max())
        return false;
    id = static_cast<int32_t>(v);
    return true;
}

int Import(CliContext& context, std::vector<std::string>& args) {
    ContactImportOptions options;
    int rc = kOk;
    std::string separator = "comma";
    TakeOption(args, "--separator", separator);
    if (separator == "comma")
        options.separator = ',';
    else if (separator == "semicolon")
        options.separator = ';';
    else if (separator == "tab")
        options.separator = '\t';
    else
        return UsageError("--separator is comma, semicolon or tab, not '" + separator + "'");
    if (!TakeIds(args, "--group", options.groups, rc))
        return rc;
    options.preventDuplicates = TakeFlag(args, "--prevent-duplicates");
    options.autoCreateGroups = TakeFlag(args, "--auto-groups");
    const bool vcard = TakeFlag(args, "--vcard");
    std::string file;
    if (!TakeSingle(args, "FILE", file, rc))
        return rc;
    if (options.groups.empty())
        return UsageError("contacts import needs at least one --group GID");
    for (int32_t gid : options.groups)
        if (!context.store->Book().GetGroupName(gid))
            return Failure("no group with id " + std::to_string(gid));
    options.path = FromStartDirectory(file);
    options.format = vcard ? ImportFormat::kVCard : FormatOfPath(file);
    const ImportReport report = ImportContacts(*context.store, options);
    std::cout << "inserted " << report.inserted << "\ndiscarded " << report.discarded << "\nduplicates "
              << report.duplicates << "\nencoding "
              << (report.encoding == TextEncoding::kUtf8 ? "utf-8" : "windows-1252") << '\n';
    if (report.status != ImportStatus::kOk) {
        std::string text = ImportReportText(report);
        return Failure(text.substr(text.rfind("\n\n") + 2));
    }
    return kOk;
}

int Export(CliContext& context, std::vector<std::string>& args) {
    ContactExportOptions options;
    int rc = kOk;
    if (!TakeIds(args, "--group", options.groups, rc) || !TakeIds(args, "--contact", options.contacts, rc))
        return rc;
    options.withGroups = TakeFlag(args, "--with-groups");
    options.vcard = TakeFlag(args, "--vcard");
    std::string file;
    if (!TakeSingle(args, "FILE", file, rc))
        return rc;
    if (!options.groups.empty() && !options.contacts.empty())
        return UsageError("give --group or --contact, not both");
    options.selection = !options.contacts.empty();
    if (options.groups.empty() && options.contacts.empty()) {
        // Everything: every group but the catch-all one.
        for (const auto& g : context.store->Book().ListGroups())
            if (g.GID != 1)
                options.groups.push_back(g.GID);
    }
    options.path = FromStartDirectory(file);
    const ExportReport report = ExportContacts(*context.store, options);
    switch (report.status) {
        case ExportStatus::kOk:
            std::cout << "written " << report.written << '\n';
            return kOk;
        case ExportStatus::kNothingToExport:
            return Failure("there is nothing to export (no file written)");
        case ExportStatus::kCannotOpen:
            return Failure("cannot open '" + options.path + "' for writing");
        case ExportStatus::kWriteFailed:
            return Failure("writing '" + options.path + "' failed");
        case ExportStatus::kCancelled:
            return Failure("cancelled");
    }
    return kFailure;
}

int Delete(CliContext& context, std::vector<std::string>& args) {
    std::string from;
    const bool fromGiven = TakeOption(args, "--from", from);
    int32_t gid = 0;
    if (fromGiven && !ParseId(from, gid))
        return UsageError("--from needs a group id, not '" + from + "'");
    if (args.empty())
        return UsageError("contacts delete needs at least one CID");
    std::vector<int32_t> cids;
    for (const auto& a : args) {
        int32_t cid = 0;
        if (!ParseId(a, cid))
            return UsageError("not a contact id: " + a);
        cids.push_back(cid);
    }
    AddressBook& book = context.store->Book();
    for (int32_t cid : cids) {
        if (!book.GetContactDisplayName(cid))
            return Failure("no contact with id " + std::to_string(cid));
    }
    StoreTransaction batch(*context.store);
    for (int32_t cid : cids)
        book.DeleteContact(cid, !fromGiven, gid);
    return batch.Commit() ? kOk : Failure("cannot delete the contacts");
}

// "groups rename GID NAME" and "groups delete GID"; the catch-all group 1 stays as it is.
int GroupChange(CliContext& context, std::vector<std::string>& args, bool rename) {
    if (args.size() != (rename ? 2u : 1u))
        return UsageError(rename ? "groups rename needs GID NAME" : "groups delete needs a GID");
    int32_t gid = 0;
    if (!ParseId(args[0], gid))
        return UsageError("not a group id: " + args[0]);
    AddressBook& book = context.store->Book();
    if (gid == 1)
        return Failure("the group \"All Contacts\" cannot be renamed or deleted");
    if (!book.GetGroupName(gid))
        return Failure("no group with id " + args[0]);
    if (rename)
        book.RenameGroup(gid, args[1]);
    else
        book.DeleteGroup(gid);
    return kOk;
}

const char kImportUsage[] =
    "       quillon-cli contacts import FILE --group GID... [--separator comma|semicolon|tab]\n"
    "                                   [--prevent-duplicates] [--auto-groups] [--vcard]\n"
    "import: reads contacts from a delimited text file with a header row (fname, sname, title, custom,\n"
    "        mobile, group), or from a vCard file (.vcf, or --vcard), into the groups given, and prints\n"
    "        the counts inserted, discarded and duplicates and the encoding read.\n";
const char kExportUsage[] =
    "       quillon-cli contacts export FILE [--group GID...|--contact CID...] [--with-groups] [--vcard]\n"
    "export: writes the contacts given, or the members of the groups given (default: every group),\n"
    "        as comma-separated text or vCard 4.0, and prints the count written.\n";
const char kDeleteUsage[] =
    "       quillon-cli contacts delete CID... [--from GID]\n"
    "delete: deletes the contacts entirely, or with --from only their membership of that group (and\n"
    "        the contact when it was in no other group).\n";

CliSubcommandRegistrar importSubcommand({"contacts", "import", kImportUsage, Import});
CliSubcommandRegistrar exportSubcommand({"contacts", "export", kExportUsage, Export});
CliSubcommandRegistrar deleteSubcommand({"contacts", "delete", kDeleteUsage, Delete});
CliSubcommandRegistrar renameSubcommand({"groups", "rename", "       quillon-cli groups rename GID NAME\n",
                                         [](CliContext& c, std::vector<std::string>& a) {
                                             return GroupChange(c, a, true);
                                         }});
CliSubcommandRegistrar groupDeleteSubcommand({"groups", "delete",
                                              "       quillon-cli groups delete GID\n"
                                              "delete: deletes the group with every contact that was in it alone.\n",
                                              [](CliContext& c, std::vector<std::string>& a) {
                                                  return GroupChange(c, a, false);
                                              }});

}  // namespace

}  // namespace quillon::cli
