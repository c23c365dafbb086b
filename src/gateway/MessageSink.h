// The core's only way to reach the user interface: notifications handed to the ui thread.
//
// The comms worker and its engines call these from the worker thread. An implementation queues the
// notification (the desktop program emits a queued signal; the command line drops it) and returns
// at once: the worker never waits for the interface. docs/worker.md lists who acts on each one.
#pragma once

#include <cstdint>

namespace quillon {

// The steps of a work cycle that the busy indicator names.
enum class WorkerPhase : uint8_t {
    Promoting,  // due scheduled messages become pending
    Sending,    // a send pass or a server cancellation
    Querying,   // a status query pass
};

// Opaque token of the window that waits for the worker to end; 0 = none.
using StopWindow = uintptr_t;

// OutboxChanged mode: rebuild the whole list (rows were added or removed).
constexpr int32_t kRefreshWholeOutbox = 0;

class MessageSink {
public:
    virtual ~MessageSink() = default;

    // For the main window: a work cycle (or a turn of requests) begins and ends.
    virtual void CycleBegan() = 0;
    virtual void CycleEnded() = 0;
    // For the main window: a step of the cycle begins.
    virtual void PhaseBegan(WorkerPhase phase) = 0;
    // For the main window: messages left and recipients left of the current message while
    // sending; rows left and 0 while querying.
    virtual void Progress(int itemsLeft, int recipientsLeft) = 0;
    // For the main window: one message was handled, so the balance may have moved (the refresh is
    // paced by the receiver).
    virtual void BalanceChanged() = 0;
    // For the main window: the program went off line (a lost session could not be renewed).
    virtual void WentOffLine() = 0;
    // For the main window: `count` messages of a cancellation list were refused by the gateway;
    // they are being queried.
    virtual void CancellationsRefused(int count) = 0;

    // For the settings page: go off line (the list that went on line only for itself is done, or
    // the session was lost).
    virtual void GoOffLine() = 0;
    // For the settings page: a cancellation list that went on line only for itself is done.
    virtual void CancelListFinished() = 0;

    // For the window named in CommsWorker::RequestStop: the worker thread has ended.
    virtual void WorkerStopped(StopWindow window) = 0;

    // Brings the outbox view up to date: kRefreshWholeOutbox rebuilds it; any other value is the
    // ID of a message whose status just changed.
    virtual void OutboxChanged(int32_t mode) = 0;

    // The gateway answered code 99 (unreachable or session invalid): show the box with caption
    // string 1028 "Login failed ..." and text string 1027.
    virtual void ShowCommunicationFailure() = 0;
};

// Drops everything: for headless runs that need no interface.
class NullMessageSink : public MessageSink {
public:
    void CycleBegan() override {}
    void CycleEnded() override {}
    void PhaseBegan(WorkerPhase) override {}
    void Progress(int, int) override {}
    void BalanceChanged() override {}
    void WentOffLine() override {}
    void CancellationsRefused(int) override {}
    void GoOffLine() override {}
    void CancelListFinished() override {}
    void WorkerStopped(StopWindow) override {}
    void OutboxChanged(int32_t) override {}
    void ShowCommunicationFailure() override {}
};

}  // namespace quillon
