#include "gateway/CommsWorker.h"

#include <ctime>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/CrashReport.h"
#include "gateway/GatewayApi.h"
#include "gateway/SendEngine.h"
#include "gateway/ServerCancel.h"
#include "gateway/Session.h"
#include "gateway/StatusQueryEngine.h"
#include "store/MessageStore.h"

namespace quillon {

namespace {

constexpr int32_t kOneDay = 86400;
constexpr int kDelayScheduledDays = 7;
}  // namespace

MessageQueuer WorkerQueuer(CommsWorker& worker) {
    return [&worker](int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                     const std::string& msg,
                     int32_t delay) { return worker.StoreAndSend(stat, time, type, refId, to, msg, delay); };
}

CommsWorker::CommsWorker(MessageStore* store, GatewayHandle gateway, MessageSink* sink, WorkerOptions options)
    : options_(std::move(options)), store_(store), gateway_(std::move(gateway)), sink_(sink ? sink : &nullSink_) {
    sendEngine_ = std::make_unique<SendEngine>(*this);
    queryEngine_ = std::make_unique<StatusQueryEngine>(*this);
    cancelEngine_ = std::make_unique<ServerCancel>(*this);
}

CommsWorker::~CommsWorker() {
    if (thread_.joinable()) {
        RequestStop();
        if (!WaitForExit() && thread_.joinable()) {
            // The thread still uses this object: waiting longer is the only safe choice left.
            thread_.join();
        }
    }
}

int64_t CommsWorker::Now() const {
    return options_.clock ? options_.clock() : static_cast<int64_t>(std::time(nullptr));
}

// ---- life cycle ----

bool CommsWorker::Start() {
    if (thread_.joinable())
        return false;
    // Made here, on the caller's thread, so that the settings file is never written by two
    // threads at once.
    EnsureInstallationId();
    {
        std::lock_guard<std::mutex> guard(inboxLock_);
        wake_ = false;
    }
    stopRequested_ = false;
    stopWindow_ = 0;
    threadEnded_ = false;
    try {
        thread_ = std::thread(&CommsWorker::ThreadBody, this);
    } catch (const std::system_error&) {
        return false;
    }
    std::this_thread::sleep_for(options_.startPause);
    if (IsOnLine()) {
        Enqueue(WorkerRequest{RequestKind::SendOne, -1, {}});
        std::this_thread::sleep_for(options_.postPause);
    }
    return true;
}

void CommsWorker::RequestStop(StopWindow stopWindow) {
    stopWindow_ = stopWindow;
    {
        std::lock_guard<std::mutex> notifyGuard(notifyLock_);
        stopRequested_ = true;
    }
    std::lock_guard<std::mutex> guard(inboxLock_);
    wake_ = true;
    inboxSignal_.notify_all();
}

bool CommsWorker::WaitForExit(std::chrono::milliseconds limit) {
    if (!thread_.joinable())
        return true;
    {
        std::lock_guard<std::mutex> guard(inboxLock_);
        wake_ = true;
        inboxSignal_.notify_all();
    }
    std::unique_lock<std::mutex> guard(inboxLock_);
    bool ended = exitSignal_.wait_for(guard, limit, [this] { return threadEnded_; });
    guard.unlock();
    if (!ended)
        return false;
    thread_.join();
    return true;
}

void CommsWorker::ThreadBody() {
    running_ = true;
    auto deadline = std::chrono::steady_clock::now() + options_.cycleLength;
    std::chrono::milliseconds wait = options_.cycleLength;
    for (;;) {
        std::deque<WorkerRequest> requests;
        bool timedOut = false;
        {
            std::unique_lock<std::mutex> guard(inboxLock_);
            timedOut = !inboxSignal_.wait_for(guard, wait, [this] { return wake_ || !inbox_.empty(); });
            if (wake_)
                break;
            requests.swap(inbox_);
        }
        if (timedOut) {
            RunCycle();
            deadline = std::chrono::steady_clock::now() + options_.cycleLength;
            wait = options_.cycleLength;
        } else {
            Notify(&MessageSink::CycleBegan);
            busy_ = true;
            // Requests that arrive while these run are taken in the same turn, after them.
            while (!requests.empty()) {
                RunRequest(requests.front());
                requests.pop_front();
                if (requests.empty()) {
                    std::lock_guard<std::mutex> guard(inboxLock_);
                    requests.swap(inbox_);
                }
            }
            Notify(&MessageSink::CycleEnded);
            busy_ = false;
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            wait = left.count() > 0 ? left : std::chrono::milliseconds(0);
        }
        if (stopRequested_)
            break;
    }
    StopWindow window = stopWindow_.load();
    if (stopRequested_ && window != 0)
        sink_->WorkerStopped(window);
    running_ = false;
    std::lock_guard<std::mutex> guard(inboxLock_);
    threadEnded_ = true;
    exitSignal_.notify_all();
}

// ---- cycles and requests ----

void CommsWorker::RunCycle() {
    Notify(&MessageSink::CycleBegan);
    busy_ = true;
    PromoteDueMessages();
    SendPass(-1);
    QueryMessageStatus(-1);
    if (++timeoutCycles_ >= options_.keepAliveEvery) {
        KeepAlive();
        timeoutCycles_ = 0;
    }
    Notify(&MessageSink::CycleEnded);
    busy_ = false;
}

void CommsWorker::RunRequest(const WorkerRequest& request) {
    switch (request.kind) {
        case RequestKind::SendOne:
            SendPass(request.id);
            break;
        case RequestKind::SendList:
            for (int32_t id : request.list.ids)
                SendPass(id);
            if (request.list.returnOffline)
                sink_->GoOffLine();
            break;
        case RequestKind::QueryOne:
            QueryMessageStatus(request.id);
            break;
        case RequestKind::QueryList:
            for (int32_t id : request.list.ids)
                QueryMessageStatus(id);
            break;
        case RequestKind::DeleteList: {
            std::vector<int32_t> refused;
            for (int32_t id : request.list.ids)
                if (!DeleteSMSFromServer(id))
                    refused.push_back(id);
            if (!refused.empty()) {
                sink_->CancellationsRefused(static_cast<int>(refused.size()));
                for (int32_t id : refused)
                    QueryMessageStatus(id);
            }
            if (request.list.returnOffline)
                sink_->CancelListFinished();
            break;
        }
    }
}

void CommsWorker::SendPass(int32_t id) {
    Notify(&MessageSink::PhaseBegan, WorkerPhase::Sending);
    if (IsOnLine())
        SendQueuedSMSs(id);
}

void CommsWorker::PromoteDueMessages() {
    Notify(&MessageSink::PhaseBegan, WorkerPhase::Promoting);
    MessageStore* store = Store();
    if (!store)
        return;
    const int64_t now = Now();
    const auto clampTime = [](int64_t t) {
        return static_cast<int32_t>(t > INT32_MAX ? INT32_MAX : (t < INT32_MIN ? INT32_MIN : t));
    };
    TrackedLock<std::recursive_mutex> workerLock(lock_);
    SmsSelection due;
    due.stats = {StatusCode(MessageStatus::Scheduled)};
    due.minTime = 0;
    due.maxTime = clampTime(now);
    std::vector<SmsRecord> rows = store->Outbox().SelectSms(due);
    for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
        if (it->Delay == 0)
            store->Outbox().SetSmsStatus(it->ID, StatusCode(MessageStatus::Pending));
    }
    for (int k = 1; k <= kDelayScheduledDays; ++k) {
        const int32_t d = kOneDay * k;
        SmsSelection early;
        early.stats = {StatusCode(MessageStatus::DelayScheduled)};
        early.minTime = 0;
        early.maxTime = clampTime(now + d);
        rows = store->Outbox().SelectSms(early);
        for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
            if (it->Delay == d)
                store->Outbox().SetSmsStatus(it->ID, StatusCode(MessageStatus::Pending));
        }
    }
}

void CommsWorker::KeepAlive() {
    if (!IsOnLine())
        return;
    GatewayHandle gateway = Gateway();
    int32_t error = -1;  // a call that could not be made counts as a lost session
    if (gateway) {
        auto guard = gateway->Guard();
        std::string reply;
        int32_t code = 0;
        if (gateway->Ping(reply) >= 0 && gateway->Get_smsERROR(code) >= 0)
            error = code;
    }
    if (error == 0)
        return;
    if (LogInToGateway(Settings().Login, Settings().Password))
        return;
    if (!stopRequested_)
        sink_->GoOffLine();
    SetOnLine(false);
    sink_->WentOffLine();
}

// ---- the engines ----

namespace {
struct SendCall {
    SendEngine* engine;
    int32_t id;
};
}  // namespace

void CommsWorker::SendQueuedSMSs(int32_t id) {
    SendCall call{sendEngine_.get(), id};
    TrappedFault fault;
    const bool faulted = RunWithFaultGuard(
        [](void* arg) {
            auto* c = static_cast<SendCall*>(arg);
            c->engine->Run(c->id);
        },
        &call, fault);
    if (!faulted)
        return;
    // The pass was abandoned mid-way; the guard has released the locks it held.
    FaultInfo info = fault.Info();
    WriteCrashReport(&info);
    LogLine("CRITICAL ERROR: Catch in SendQueuedSMSs. Exception %x occurred", fault.record.code);
    if (!stopRequested_)
        sink_->OutboxChanged(kRefreshWholeOutbox);
}

void CommsWorker::QueryMessageStatus(int32_t id) {
    queryEngine_->Run(id);
}

bool CommsWorker::DeleteSMSFromServer(int32_t id) {
    return cancelEngine_->Run(id);
}

// ---- handing requests over ----

size_t CommsWorker::QueuedRequests() const {
    std::lock_guard<std::mutex> guard(inboxLock_);
    return inbox_.size();
}

void CommsWorker::Enqueue(WorkerRequest request) {
    std::lock_guard<std::mutex> guard(inboxLock_);
    inbox_.push_back(std::move(request));
    inboxSignal_.notify_all();
}

void CommsWorker::PostRequest(WorkerRequest request) {
    if (!IsOnLine())
        return;
    Enqueue(std::move(request));
    std::this_thread::sleep_for(options_.postPause);
}

void CommsWorker::PostSendOne(int32_t id) {
    PostRequest(WorkerRequest{RequestKind::SendOne, id, {}});
}

void CommsWorker::PostSendList(IdList list) {
    PostRequest(WorkerRequest{RequestKind::SendList, -1, std::move(list)});
}

void CommsWorker::PostQueryOne(int32_t id) {
    PostRequest(WorkerRequest{RequestKind::QueryOne, id, {}});
}

void CommsWorker::PostQueryList(IdList list) {
    PostRequest(WorkerRequest{RequestKind::QueryList, -1, std::move(list)});
}

void CommsWorker::PostDeleteList(IdList list) {
    PostRequest(WorkerRequest{RequestKind::DeleteList, -1, std::move(list)});
}

int32_t CommsWorker::StoreAndSend(int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                                  const std::string& msg, int32_t delay) {
    MessageStore* store = Store();
    if (!store)
        return -1;
    int32_t id = store->Outbox().AddSms(stat, time, type, refId, to, msg, Settings().sender_id, delay, "?");
    if (id > 0 && IsOnLine() && stat == StatusCode(MessageStatus::Pending))
        PostSendOne(id);
    return id;
}

}  // namespace quillon
