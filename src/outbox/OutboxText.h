// What the outbox shows of a message: the texts of its cells, the names of the status filter, and
// the string ids the outbox uses. Shared by the outbox view, its export and the command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/SmsRecord.h"

namespace quillon {

// String ids of the outbox texts.
enum OutboxTextId : int {
    kIdOutboxColumnSent = 1408,
    kIdOutboxColumnRecipient = 1409,
    kIdOutboxColumnStatus = 1410,
    kIdOutboxColumnMessage = 1411,
    kIdQueryFailedCaption = 1412,
    kIdQueryFailedText = 1413,
    kIdSendNowFailedCaption = 1414,
    kIdSendSelectedFailedText = 1415,
    kIdSendAllFailedText = 1416,
    kIdConfirmDeleteCaption = 1417,
    kIdConfirmDeleteText = 1418,
    kIdExportFailedCaption = 1421,
    kIdNothingToExport = 1422,
    kIdOutboxColumnCharge = 1423,
    kIdConfirmServerDeleteText = 1424,
    kIdExportDefaultExtension = 1280,
    kIdExportDefaultName = 1281,
    kIdExportFilter = 1282,
    kIdExportCannotOpen = 1283,
    kIdExportCaption = 1284,
    kIdExportClosingNote = 1285,
    kIdExportFailedText = 1286,
    kIdExportDone = 1287,
};

// The view's columns, in order.
enum class OutboxColumn : int { Sent = 0, Recipient = 1, Status = 2, Charge = 3, Message = 4 };
constexpr int kOutboxColumnCount = 5;

// The heading of a column.
std::string OutboxColumnHeading(int column);
// A column by its English name ("sent", "recipient", "status", "charge", "message") or number.
std::optional<int> OutboxColumnByName(const std::string& name);

// The display name of a status; a code outside the table as "Unknown (n)".
std::string StatusLabel(int32_t stat);
// The name of a message kind; a code outside the table as "Unknown (n)".
std::string KindLabel(int32_t type);

// The text of one cell of a message's row.
std::string OutboxCellText(const SmsRecord& record, int column);

// The groups of states the status filter offers. Waiting: not yet handed to the gateway;
// scheduled: due later, here or on the gateway; sent: with the gateway or the network, no final
// state yet; delivered; failed: every failure state.
enum class StatusGroup : int { All = 0, Waiting, Scheduled, Sent, Delivered, Failed };
constexpr int kStatusGroupCount = 6;
std::vector<int32_t> StatusGroupCodes(StatusGroup group);  // empty for All
std::string StatusGroupLabel(StatusGroup group);
// By English name: "all", "waiting", "scheduled", "sent", "delivered", "failed".
std::optional<StatusGroup> StatusGroupByName(const std::string& name);

}  // namespace quillon
