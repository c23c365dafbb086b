// The outbox export: a tab-separated report of messages, one header line, one line per message
// and a closing note pointing to the gateway's on-line reports. UTF-8.
//
// A field holding a tab, a line break or a double quote is written in double quotes with its
// quotes doubled, as spreadsheets read tab-separated text, so every message stays one record.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "store/SmsRecord.h"

namespace quillon {

class MessageStore;

enum class ExportResult { Ok, CannotOpen, WriteFailed, Cancelled };

// Shared with a thread that runs the export: how far it got, and a request to stop.
struct OutboxExportProgress {
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::atomic<bool> cancel{false};
};

// One field as written: quoted when it holds a tab, CR, LF or a double quote.
std::string ExportField(const std::string& text);
// One message's line with its CR LF: ID, time, status, kind, charge, numbers, text.
std::string ExportLine(MessageStore& store, const SmsRecord& record);

// Writes the file at `path` (created or truncated). With `ids`, exactly those messages in that
// order (an ID no longer in the store is left out); without, every message in ID order. A failed
// or cancelled export leaves what was written so far.
ExportResult ExportOutbox(MessageStore& store, const std::string& path, const std::vector<int32_t>* ids,
                          OutboxExportProgress* progress = nullptr);

}  // namespace quillon
