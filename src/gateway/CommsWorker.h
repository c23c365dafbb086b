// The comms worker: the one background thread that carries all outbox traffic with the gateway.
//
// Every cycle (60 s) it promotes due scheduled messages, sends what is pending, polls delivery
// states and, every fourth cycle, checks the session. In between it runs the requests the interface
// hands it (send, query or cancel given messages) in order of arrival. It reaches the interface only
// through MessageSink.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "compose/MessageQueuer.h"
#include "gateway/MessageSink.h"

namespace quillon {

class MessageStore;
class GatewayApi;
using GatewayHandle = std::shared_ptr<GatewayApi>;
class SendEngine;
class StatusQueryEngine;
class ServerCancel;

enum class RequestKind : int32_t {
    SendOne = 1,     // id or -1 (every pending message)
    SendList = 2,    // list: a send pass per id; then GoOffLine when returnOffline
    QueryOne = 3,    // id: status query
    QueryList = 4,   // list: a status query per id
    DeleteList = 5,  // list: server cancellation per id; refused ones reported and queried
};

// Message IDs handed to the worker with a request.
struct IdList {
    bool returnOffline = false;  // the outbox went on line only for this request
    std::vector<int32_t> ids;
};

struct WorkerRequest {
    RequestKind kind = RequestKind::SendOne;
    int32_t id = -1;
    IdList list;
};

// Seconds since 1970 (UTC) as the store keeps times.
using WorkerClock = std::function<int64_t()>;

struct WorkerOptions {
    std::chrono::milliseconds cycleLength{60000};  // the wait between timer cycles
    WorkerClock clock;                             // null: the system clock
    int keepAliveEvery = 4;                        // timer cycles between session checks
    std::chrono::milliseconds startPause{100};     // Start: pause before the first send request
    std::chrono::milliseconds postPause{1};        // posters: pause after handing a request over
    // Sending under client references: the pause before a submission whose outcome was unknown is
    // made again in the same pass (doubled for the next), and how often it is tried in all.
    std::chrono::milliseconds retryPause{200};
    int submitAttempts = 3;
};

class CommsWorker {
public:
    // The worker reads and writes `store` and talks to the gateway through `gateway`; either may be
    // null (the engines then do nothing). `sink` may be null (notifications dropped).
    CommsWorker(MessageStore* store, GatewayHandle gateway, MessageSink* sink, WorkerOptions options = {});
    ~CommsWorker();

    CommsWorker(const CommsWorker&) = delete;
    CommsWorker& operator=(const CommsWorker&) = delete;

    // Creates the thread; while on line, queues a send of every pending message. False when no
    // thread could be created (or one already runs).
    bool Start();
    // Asks the thread to finish the work in hand and end; it then reports WorkerStopped(stopWindow).
    void RequestStop(StopWindow stopWindow = 0);
    // Wakes the thread to end and waits for it, at most `limit`. True when it ended (or never ran).
    bool WaitForExit(std::chrono::milliseconds limit = std::chrono::milliseconds(10000));

    // Stores a new message (SenderID = the sender_id setting, Charge "?") and, when it is Pending
    // and the program is on line, queues its sending. Returns the new ID.
    int32_t StoreAndSend(int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                         const std::string& msg, int32_t delay);

    // Hand a request to the worker thread. Off line nothing is queued.
    void PostSendOne(int32_t id);
    void PostSendList(IdList list);
    void PostQueryOne(int32_t id);
    void PostQueryList(IdList list);
    void PostDeleteList(IdList list);

    bool IsRunning() const { return running_.load(); }
    bool IsBusy() const { return busy_.load(); }
    bool StopRequested() const { return stopRequested_.load(); }
    size_t QueuedRequests() const;

    // One timer cycle on the calling thread: promotion, send pass, status pass, keep-alive count.
    // The thread runs this; the command line may drive cycles itself when no thread runs.
    void RunCycle();
    // Runs one request as the thread does.
    void RunRequest(const WorkerRequest& request);

    // The engines, each under the worker lock. Callable on the worker thread (or any thread when
    // no worker thread runs).
    void PromoteDueMessages();
    void KeepAlive();
    void SendQueuedSMSs(int32_t id);
    void QueryMessageStatus(int32_t id);
    bool DeleteSMSFromServer(int32_t id);

    // Current time in seconds since 1970 (the injected clock when one was given).
    int64_t Now() const;
    const WorkerOptions& Options() const { return options_; }

    MessageSink& Sink() { return *sink_; }
    MessageStore* Store() const { return store_; }
    GatewayHandle Gateway() const { return gateway_; }
    std::recursive_mutex& Lock() { return lock_; }
    SendEngine& Sender() { return *sendEngine_; }

    // Calls `notification` on the sink unless stopping. Checked and called under one lock, so no
    // notification of this kind follows a RequestStop.
    template <class... Params, class... Args>
    void Notify(void (MessageSink::*notification)(Params...), Args... args) {
        std::lock_guard<std::mutex> guard(notifyLock_);
        if (!stopRequested_)
            (sink_->*notification)(args...);
    }

private:
    void ThreadBody();
    void Enqueue(WorkerRequest request);
    // Hands `request` over unless off line, then pauses (WorkerOptions::postPause).
    void PostRequest(WorkerRequest request);
    void SendPass(int32_t id);

    WorkerOptions options_;
    MessageStore* store_;
    GatewayHandle gateway_;
    NullMessageSink nullSink_;
    MessageSink* sink_;

    // The inbox: requests handed over by other threads, taken by the worker thread.
    mutable std::mutex inboxLock_;
    std::condition_variable inboxSignal_;
    std::deque<WorkerRequest> inbox_;
    bool wake_ = false;  // the stop event (manual reset), guarded by inboxLock_
    bool threadEnded_ = false;
    std::condition_variable exitSignal_;

    std::recursive_mutex lock_;  // one engine at a time
    std::mutex notifyLock_;      // orders Notify against RequestStop
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::atomic<bool> busy_{false};
    std::atomic<bool> stopRequested_{false};
    std::atomic<StopWindow> stopWindow_{0};
    int timeoutCycles_ = 0;

    std::unique_ptr<SendEngine> sendEngine_;
    std::unique_ptr<StatusQueryEngine> queryEngine_;
    std::unique_ptr<ServerCancel> cancelEngine_;
};

// The process-wide worker; null until start-up creates it.
// The composition's way to queue a row through `worker` (StoreAndSend).
MessageQueuer WorkerQueuer(CommsWorker& worker);

}  // namespace quillon
