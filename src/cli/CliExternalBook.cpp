// quillon-cli external-book: the external address book as the compose pane shows it.
#include <iostream>
#include <string>
#include <vector>

#include "addressbook/ExternalBook.h"
#include "cli/CliCommand.h"
#include "core/AppSettings.h"
#include "core/StringTable.h"

namespace quillon::cli {

namespace {

const char* const kHelp =
    "usage: quillon-cli external-book [--source mail|vcard] [--profile NAME] [--profile-root DIR]...\n"
    "                                 [--vcard PATH]\n\n"
    "Reads the external address book and prints its tree, two blanks of indent per level: an\n"
    "address book, folder or mailing list by its name, an entry as \"name (mobile number)\".\n"
    "Only entries with a mobile number are listed.\n\n"
    "The source follows the MAPI_AddressBook setting: on, the mail client's address books\n"
    "(abook*.sqlite of the profile named by Outlook_Name, else the default profile of\n"
    "profiles.ini, whose name is then stored in Outlook_Name); off, the vCard file or folder of\n"
    "the VCardPath setting (default ~/.local/share/contacts).\n\n"
    "  --source mail|vcard  read this source instead (the setting is not changed)\n"
    "  --profile NAME       the mail-client profile to read (Outlook_Name is not changed)\n"
    "  --profile-root DIR   where profiles.ini lives (default ~/.thunderbird and the usual\n"
    "                       sandboxed locations); may be repeated\n"
    "  --vcard PATH         a .vcf file or a folder of them, instead of VCardPath\n\n"
    "The databases are opened read-only. Exit status 1 with the address-book failure text when\n"
    "the source cannot be opened or read.\n";

void Print(const ExternalBookTree& node, int depth) {
    std::cout << std::string(static_cast<size_t>(depth) * 2, ' ');
    if (node.leaf)
        std::cout << node.name << " (" << node.mobile << ")\n";
    else
        std::cout << node.name << "\n";
    for (const auto& child : node.children)
        Print(child, depth + 1);
}

int RunExternalBook(CliContext&, std::vector<std::string>& args) {
    std::string source, profile, vcard;
    const bool haveSource = TakeOption(args, "--source", source);
    const bool haveProfile = TakeOption(args, "--profile", profile);
    const bool haveVCard = TakeOption(args, "--vcard", vcard);
    ExternalBookOptions options;
    options.profileRoots = TakeRepeatedOption(args, "--profile-root");
    if (!args.empty())
        return UsageError("unexpected argument '" + args[0] + "' (see quillon-cli external-book --help)");
    if (haveSource && source != "mail" && source != "vcard")
        return UsageError("--source takes mail or vcard");
    if (haveVCard)
        options.vcardPath = vcard;
    if (options.vcardPath.empty())
        options.vcardPath = Settings().VCardPath;

    const bool mail = haveSource ? source == "mail" : Settings().MAPI_AddressBook;
    ExternalBookTree tree;
    ExternalBookResult result;
    if (mail) {
        std::string used = haveProfile ? profile : Settings().Outlook_Name;
        result = ReadMailClientBook(options, used, tree);
        // As the program does after reading: remember the profile actually used.
        if (result.Ok() && !haveProfile && used != Settings().Outlook_Name) {
            Settings().Outlook_Name = used;
            TheSettingsFile().SetString("Outlook_Name", used);
            TheSettingsFile().Save();
        }
    } else {
        result = ReadVCardBook(options, tree);
    }
    if (!result.Ok()) {
        std::cerr << "quillon-cli: " << LoadResourceString(result.CaptionId()) << ": "
                  << LoadResourceString(result.TextId()) << "\n";
        return Failure(result.detail);
    }
    for (const auto& child : tree.children)
        Print(child, 0);
    return kOk;
}

CliRegistrar registrar({"external-book", "print the external address book (mail client or vCard) as a tree", kHelp,
                        RunExternalBook, false});

}  // namespace

}  // namespace quillon::cli
