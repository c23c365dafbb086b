// The user's external address book as a tree of named nodes and leaves with a mobile number.
// Two sources: the mail client's profile address books (abook*.sqlite of a Thunderbird profile)
// when MAPI_AddressBook is on, otherwise vCard files (one .vcf file or a folder of them).
#pragma once

#include <string>
#include <vector>

namespace quillon {

// A node (address book, folder, mailing list) or a leaf (an entry with a mobile number).
struct ExternalBookTree {
    std::string name;    // display name; the root is named "root"
    std::string mobile;  // leaves only
    bool leaf = false;
    std::vector<ExternalBookTree> children;

    size_t LeafCount() const;
};

// Which source a load reads.
enum class ExternalBookSource { kMailClient, kVCard };

// Outcome of a load. On failure the tree is an empty root and the texts say why (caption, text).
enum class ExternalBookStatus {
    kOk,
    // No profile or no address book of the mail client: kIdCannotAccessBookCaption, kIdMailClientFailed.
    kMailClientUnavailable,
    // The vCard file or folder cannot be opened: kIdCannotAccessBookCaption, kIdVCardFailed.
    kVCardUnavailable,
    // A source exists but reading it failed (locked, corrupt): kIdSearchFailedCaption, kIdQueryFailed.
    kReadFailed,
};

struct ExternalBookResult {
    ExternalBookStatus status = ExternalBookStatus::kOk;
    std::string detail;  // technical reason, for the log and the command line; never shown in a box

    bool Ok() const { return status == ExternalBookStatus::kOk; }
    int CaptionId() const;  // 0 when Ok
    int TextId() const;     // 0 when Ok
};

// Where the sources live. Empty fields take the defaults of the user's home.
struct ExternalBookOptions {
    std::vector<std::string> profileRoots;  // folders holding profiles.ini; default: the client's usual places
    std::string vcardPath;                  // a .vcf file or a folder; "~/" is the home directory
    int busyTimeoutMs = 2000;               // how long to wait for a database the mail client has locked
};

// The mail client's usual profile folders under $HOME.
std::vector<std::string> DefaultProfileRoots();
// "~" or "~/..." expanded with $HOME; anything else unchanged.
std::string ExpandHome(const std::string& path);

// Reads one source into a tree. `profileName` is the profile to use (may be empty or unknown: the
// default profile of profiles.ini is used then) and receives the name of the profile actually read.
ExternalBookResult ReadMailClientBook(const ExternalBookOptions& options, std::string& profileName,
                                      ExternalBookTree& tree);
ExternalBookResult ReadVCardBook(const ExternalBookOptions& options, ExternalBookTree& tree);

// The leaves of a vCard text: display name and mobile number of every card that has one, and groups
// (KIND:group) with their members. Used for .vcf files and the vCard kept by the mail client.
struct VCardEntry {
    std::string uid;
    std::string name;
    std::string mobile;
    bool group = false;
    std::vector<std::string> members;  // uids of the members of a group
    // The parts a contact import keeps: N's given name, family name and prefix, the NOTE, and the
    // CATEGORIES (line breaks kept).
    std::string given;
    std::string family;
    std::string prefix;
    std::string note;
    std::vector<std::string> categories;
};
std::vector<VCardEntry> ParseVCards(const std::string& text);

// The process-wide external book: read from the source that the settings choose, kept until the
// source changes or a reload is asked for. UI thread only.
class ExternalBook {
public:
    ExternalBook() = default;
    explicit ExternalBook(ExternalBookOptions options) : options_(std::move(options)) {}

    // Rebuilds the tree when `force` is set, nothing was read yet, the previous read failed, or the
    // source (MAPI_AddressBook, the profile or the vCard path) changed. May write Outlook_Name.
    ExternalBookResult Load(bool force);
    const ExternalBookTree& Tree() const { return tree_; }

    // Whether a source is there to read without reporting a failure (the quick search reads the
    // book only then).
    bool Configured() const;

    ExternalBookOptions& Options() { return options_; }

private:
    ExternalBookOptions EffectiveOptions() const;

    ExternalBookOptions options_;
    ExternalBookTree tree_{"root", "", false, {}};
    bool loaded_ = false;
    ExternalBookSource source_ = ExternalBookSource::kVCard;
    std::string sourceKey_;
};

ExternalBook& TheExternalBook();

// Reads the external book through the process-wide instance and gives its tree (an empty root
// after a failure, reported in `result` when given).
const ExternalBookTree& LoadExternalBook(bool force, ExternalBookResult* result = nullptr);

}  // namespace quillon
