// Contact export: chosen contacts, or the members of chosen groups, to a comma-separated file
// (UTF-8 without byte-order mark, CR LF line ends) or to vCard 4.0 with the groups as categories.
// The file is written beside its final name and renamed into place once complete, so a cancelled
// or failed export leaves any earlier file of that name untouched.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace quillon {

class MessageStore;
struct ContactRecord;

struct ContactExportOptions {
    std::string path;
    bool selection = true;          // export `contacts`; otherwise the members of `groups`
    std::vector<int32_t> contacts;  // CIDs, written in this order
    std::vector<int32_t> groups;    // GIDs, walked in this order
    bool withGroups = false;        // delimited text: one line per contact and group, naming the group
    bool vcard = false;
};

enum class ExportStatus { kOk, kNothingToExport, kCannotOpen, kWriteFailed, kCancelled };

struct ExportReport {
    ExportStatus status = ExportStatus::kOk;
    int64_t written = 0;  // contact lines or cards
};

using ExportProgress = std::function<void(uint64_t done, uint64_t total)>;

ExportReport ExportContacts(MessageStore& store, const ContactExportOptions& options,
                            const ExportProgress& progress = {}, const std::atomic<bool>* cancel = nullptr);

// One value of a comma-separated line: as it stands, or between double quotes (quotes doubled)
// when it holds a comma, a quote or a line break.
std::string CsvField(const std::string& value);
// One contact as a vCard 4.0 card, its group names as categories.
std::string VCardOf(const ContactRecord& contact, const std::vector<std::string>& groupNames);

}  // namespace quillon
