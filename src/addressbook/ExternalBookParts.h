// What the external book's two readers (mail client, vCard) share. Not for other callers.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "addressbook/ExternalBook.h"

namespace quillon::external {

constexpr const char* kDefaultVCardPath = "~/.local/share/contacts";

inline ExternalBookTree MakeNode(const std::string& name) {
    return ExternalBookTree{name, "", false, {}};
}

inline ExternalBookTree MakeLeaf(const std::string& name, const std::string& mobile) {
    return ExternalBookTree{name, mobile, true, {}};
}

inline ExternalBookResult Fail(ExternalBookStatus status, std::string detail) {
    ExternalBookResult r;
    r.status = status;
    r.detail = std::move(detail);
    return r;
}

enum class ReadStatus { kOk, kMissing, kFailed };

// The whole of a regular file no larger than a vCard file may be; `detail` says why not.
ReadStatus ReadWholeFile(const std::filesystem::path& path, std::string& text, std::string& detail);

// Turns the cards of one address book into leaves and group nodes, in the order they were read.
// Cards without a mobile number are left out; so are group members without one.
void AddVCardEntries(const std::vector<VCardEntry>& entries, ExternalBookTree& node);

}  // namespace quillon::external
