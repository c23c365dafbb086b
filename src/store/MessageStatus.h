// The state codes of an outbox message (Stat and SavedStat of the SMS table) and their texts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

enum class MessageStatus : int32_t {
    Pending = 0,
    Queued = 1,
    Failed = 2,
    Sent = 3,
    Scheduled = 4,
    Editing = 5,
    DelayScheduled = 6,
    ScheduledOnServer = 7,
    DeliveredToGateway = 8,
    Delivered = 9,
    Processing = 10,
    Unknown = 11,
    Expanded = 12,
    ErrorWithMessage = 13,
    Cancelled = 14,
    DeliveryError = 15,
    RoutingError = 16,
    MessageExpired = 17,
};

constexpr int32_t kStatusCount = 18;

constexpr int32_t StatusCode(MessageStatus status) {
    return static_cast<int32_t>(status);
}
constexpr bool IsKnownStatus(int32_t stat) {
    return stat >= 0 && stat < kStatusCount;
}

// A message in one of these states waits to be sent (the outbox count).
constexpr std::array<MessageStatus, 3> kWaitingStatuses = {MessageStatus::Pending, MessageStatus::Scheduled,
                                                           MessageStatus::DelayScheduled};

// The codes separated by ", ", as an SQL list: "0, 4, 6".
template <size_t N>
std::string StatusCodeList(const std::array<MessageStatus, N>& statuses) {
    std::string list;
    for (MessageStatus s : statuses)
        list += (list.empty() ? "" : ", ") + std::to_string(StatusCode(s));
    return list;
}

// Loads the 18 display names from the string table; start-up calls it once, after the language module.
// Until it runs, StatusDisplayName reads the string table directly.
void LoadStatusNames();

// Display name of a code ("Pending", "Delivered to a SMS gateway", ...); "" for a code outside 0..17.
std::string StatusDisplayName(int32_t stat);

// Explanatory text of a code (the outbox tool tip); "" for a code outside 0..17.
std::string StatusExplanation(int32_t stat);

}  // namespace quillon
