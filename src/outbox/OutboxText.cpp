#include "outbox/OutboxText.h"

#include <array>

#include "core/StringIds.h"
#include "core/StringTable.h"
#include "store/MessageStatus.h"
#include "store/MessageType.h"

namespace quillon {

namespace {
constexpr std::array<int, kOutboxColumnCount> kHeadings = {kIdOutboxColumnSent, kIdOutboxColumnRecipient,
                                                           kIdOutboxColumnStatus, kIdOutboxColumnCharge,
                                                           kIdOutboxColumnMessage};
constexpr std::array<const char*, kOutboxColumnCount> kColumnNames = {"sent", "recipient", "status", "charge",
                                                                      "message"};
constexpr std::array<const char*, kStatusGroupCount> kGroupNames = {"all",  "waiting",   "scheduled",
                                                                    "sent", "delivered", "failed"};
constexpr std::array<int, kStatusGroupCount> kGroupLabels = {kTextOutboxFilterAll,       kTextOutboxFilterWaiting,
                                                             kTextOutboxFilterScheduled, kTextOutboxFilterSent,
                                                             kTextOutboxFilterDelivered, kTextOutboxFilterFailed};
}  // namespace

std::string OutboxColumnHeading(int column) {
    if (column < 0 || column >= kOutboxColumnCount)
        return {};
    return LoadResourceString(kHeadings[column]);
}

std::optional<int> OutboxColumnByName(const std::string& name) {
    for (int c = 0; c < kOutboxColumnCount; ++c) {
        if (name == kColumnNames[c] || name == std::to_string(c))
            return c;
    }
    return std::nullopt;
}

std::string StatusLabel(int32_t stat) {
    if (IsKnownStatus(stat))
        return StatusDisplayName(stat);
    return FormatResourceString(kTextOutboxUnknownCode, {static_cast<long long>(stat)});
}

std::string KindLabel(int32_t type) {
    if (type >= 0 && type < kMessageTypeCount)
        return MessageTypeNames()[type];
    return FormatResourceString(kTextOutboxUnknownCode, {static_cast<long long>(type)});
}

std::string OutboxCellText(const SmsRecord& record, int column) {
    switch (static_cast<OutboxColumn>(column)) {
        case OutboxColumn::Sent:
            return FormatSmsTime(record.Time);
        case OutboxColumn::Recipient:
            return record.ToInfo;
        case OutboxColumn::Status:
            return StatusLabel(record.Stat);
        case OutboxColumn::Charge:
            return record.Charge;
        case OutboxColumn::Message:
            return record.Msg;
    }
    return {};
}

std::vector<int32_t> StatusGroupCodes(StatusGroup group) {
    using S = MessageStatus;
    auto codes = [](std::initializer_list<S> list) {
        std::vector<int32_t> out;
        for (S s : list)
            out.push_back(StatusCode(s));
        return out;
    };
    switch (group) {
        case StatusGroup::All:
            return {};
        case StatusGroup::Waiting:
            return codes({S::Pending, S::Queued, S::Editing, S::Processing});
        case StatusGroup::Scheduled:
            return codes({S::Scheduled, S::DelayScheduled, S::ScheduledOnServer});
        case StatusGroup::Sent:
            return codes({S::Sent, S::DeliveredToGateway, S::Unknown, S::Expanded});
        case StatusGroup::Delivered:
            return codes({S::Delivered});
        case StatusGroup::Failed:
            return codes(
                {S::Failed, S::ErrorWithMessage, S::Cancelled, S::DeliveryError, S::RoutingError, S::MessageExpired});
    }
    return {};
}

std::string StatusGroupLabel(StatusGroup group) {
    int g = static_cast<int>(group);
    return g >= 0 && g < kStatusGroupCount ? LoadResourceString(kGroupLabels[g]) : std::string();
}

std::optional<StatusGroup> StatusGroupByName(const std::string& name) {
    for (int g = 0; g < kStatusGroupCount; ++g) {
        if (name == kGroupNames[g])
            return static_cast<StatusGroup>(g);
    }
    return std::nullopt;
}

}  // namespace quillon
