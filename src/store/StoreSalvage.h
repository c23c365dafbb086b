// Salvage of a damaged SMS.db: every row that can still be read is copied into a new store, the
// damaged file (with its write-ahead log) is kept beside it under a dated name, and the report says
// how many rows of each table were saved. Run with the store closed and the data directory held
// (DataDirLock): nothing else may have the file open.
#pragma once

#include <string>

namespace quillon {

struct SalvageReport {
    bool ok = false;
    std::string error;    // why it failed; "" on success
    std::string keptAs;   // the damaged file's new name
    int messages = 0;     // rows saved of SMS
    int groups = 0;       // GROUP
    int contacts = 0;     // CONTACTS
    int memberships = 0;  // CONTACT_GROUP_MAP

    // The user's sentence: where the damaged file went and what was saved (or why it failed).
    std::string Text() const;
};

SalvageReport SalvageStore(const std::string& dataDir);

}  // namespace quillon
