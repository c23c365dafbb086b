// Server-side cancellation (DeleteSMSFromServer): withdraws a message that was handed to the gateway
// and, when the gateway agrees, removes it from the outbox. Runs on the worker thread under the
// worker lock.
#pragma once

#include <cstdint>

namespace quillon {

class CommsWorker;

class ServerCancel {
public:
    explicit ServerCancel(CommsWorker& worker) : worker_(worker) {}

    // True when every gateway identifier of the message was withdrawn (also when it has none, or
    // while off line); false when the gateway refused any of them.
    bool Run(int32_t id);

private:
    bool RunGuarded(int32_t id);

    CommsWorker& worker_;
};

}  // namespace quillon
