// How a composed message becomes an outbox row; the program hands the composition its queuer.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace quillon {

// Stores one new outbox row as the worker's StoreAndSend does (SenderID from sender_id, Charge "?",
// a send request for a Pending row while on line) and returns its ID, or a value below 1 on failure.
using MessageQueuer = std::function<int32_t(int32_t stat, int32_t time, int32_t type, int32_t refId,
                                            const std::string& to, const std::string& msg, int32_t delay)>;

}  // namespace quillon
