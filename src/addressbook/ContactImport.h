// Contact import: a delimited text file (CsvContactReader) or a vCard file into the address book.
// Runs on any thread; rows are committed in batches, so an import that is cancelled or fails
// half-way keeps every row already added.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "addressbook/CsvContactReader.h"

namespace quillon {

class MessageStore;

enum class ImportFormat { kCsv, kVCard };

struct ContactImportOptions {
    std::string path;
    ImportFormat format = ImportFormat::kCsv;
    char separator = ',';            // comma, semicolon or tab (delimited text only)
    std::vector<int32_t> groups;     // the groups every imported contact joins
    bool preventDuplicates = false;  // skip a contact whose mobile number is already stored
    bool autoCreateGroups = false;   // a row's group (a card's categories) replaces `groups`
};

enum class ImportStatus {
    kOk,
    kCannotOpen,      // missing, unreadable, or too large (vCard files)
    kNoHeader,        // empty file
    kNoMobileColumn,  // the header names no "mobile" column (with the separator chosen)
    kNoCards,         // a vCard file without any card
    kReadFailed,      // reading stopped half-way; the rows before stay
    kStoreFailed,     // the store refused a change; the rows before stay
    kCancelled,       // the user stopped the import; the rows before stay
};

struct ImportReport {
    ImportStatus status = ImportStatus::kOk;
    int64_t inserted = 0;
    int64_t discarded = 0;   // rows without a mobile number (or ending before the mobile column)
    int64_t duplicates = 0;  // rows skipped because their mobile number was already stored
    TextEncoding encoding = TextEncoding::kUtf8;
};

// done / total in bytes of the file; called every few hundred rows from the importing thread.
using ImportProgress = std::function<void(uint64_t done, uint64_t total)>;

ImportReport ImportContacts(MessageStore& store, const ContactImportOptions& options,
                            const ImportProgress& progress = {}, const std::atomic<bool>* cancel = nullptr);

// The report as the user reads it: the counts, the encoding when it was not UTF-8, and why an
// import stopped early.
std::string ImportReportText(const ImportReport& report);

// The import format a file name suggests: ".vcf" and ".vcard" are vCard, anything else delimited text.
ImportFormat FormatOfPath(const std::string& path);

}  // namespace quillon
