// The recipient list of an outbox row (its To): entries separated by ",", a leading "," skipped.
// A contact entry is "A" followed by the contact's CID in decimal digits; any other entry is a
// number as typed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

// Bytes of a number that are used in sending.
constexpr size_t kMaxNumberBytes = 16;

struct RecipientListEntry {
    std::string text;
    std::optional<int32_t> contactId;  // set for a contact entry

    bool IsContact() const { return contactId.has_value(); }
    // Starts like a contact entry but is not one ("A", "A12x"): some readers drop it.
    bool LooksLikeContact() const { return !contactId && !text.empty() && text[0] == 'A'; }
};

// The entries in order. Empty entries between commas are kept (readers skip them); the end of the
// text after a final "," is no entry.
std::vector<RecipientListEntry> ParseRecipientList(const std::string& to);

// The CID of a contact entry: "A" and 1 to 10 digits, at most the largest 32-bit id.
std::optional<int32_t> ParseContactEntry(const std::string& entry);

// The prefix rule: when prefix is not empty and number starts with "0", the leading zeros are
// replaced by prefix.
std::string ApplyNumberPrefix(const std::string& number, const std::string& prefix);

}  // namespace quillon
