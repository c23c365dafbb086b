#include "gateway/CommsWorker.h"

#include <ctime>

#include "gateway/SendEngine.h"
#include "gateway/ServerCancel.h"
#include "gateway/StatusQueryEngine.h"

namespace quillon {

namespace {
CommsWorker* g_worker = nullptr;
}

CommsWorker* TheWorker() {
    return g_worker;
}
void SetTheWorker(CommsWorker* worker) {
    g_worker = worker;
}

CommsWorker::CommsWorker(MessageSink* sink, WorkerOptions options)
    : options_(std::move(options)), sink_(sink ? sink : &nullSink_) {
    sendEngine_ = std::make_unique<SendEngine>(*this);
    queryEngine_ = std::make_unique<StatusQueryEngine>(*this);
    cancelEngine_ = std::make_unique<ServerCancel>(*this);
}

CommsWorker::~CommsWorker() {
    if (thread_.joinable()) {
        RequestStop();
        WaitForExit();
        if (thread_.joinable())
            thread_.detach();
    }
}

void CommsWorker::SetSink(MessageSink* sink) {
    sink_ = sink ? sink : &nullSink_;
}
bool CommsWorker::Start() {
    return false;
}
void CommsWorker::RequestStop(StopWindow stopWindow) {
    stopWindow_ = stopWindow;
    stopRequested_ = true;
}
bool CommsWorker::WaitForExit(std::chrono::milliseconds) {
    return true;
}
int32_t CommsWorker::StoreAndSend(int32_t, int32_t, int32_t, int32_t, const std::string&, const std::string&, int32_t) {
    return -1;
}
void CommsWorker::PostSendOne(int32_t) {}
void CommsWorker::PostSendList(IdList) {}
void CommsWorker::PostQueryOne(int32_t) {}
void CommsWorker::PostQueryList(IdList) {}
void CommsWorker::PostDeleteList(IdList) {}
size_t CommsWorker::QueuedRequests() const {
    std::lock_guard<std::mutex> guard(inboxLock_);
    return inbox_.size();
}
void CommsWorker::RunCycle() {}
void CommsWorker::RunRequest(const WorkerRequest&) {}
void CommsWorker::PromoteDueMessages() {}
void CommsWorker::KeepAlive() {}
void CommsWorker::SendQueuedSMSs(int32_t) {}
void CommsWorker::QueryMessageStatus(int32_t) {}
bool CommsWorker::DeleteSMSFromServer(int32_t) {
    return true;
}
int64_t CommsWorker::Now() const {
    return options_.clock ? options_.clock() : static_cast<int64_t>(time(nullptr));
}
MessageStore* CommsWorker::Store() const {
    return store_;
}
GatewayHandle CommsWorker::Gateway() const {
    return gateway_;
}
void CommsWorker::Notify(uint32_t message, intptr_t wParam, intptr_t lParam) {
    if (!stopRequested_)
        sink_->Post(SinkTarget::MainWindow, message, wParam, lParam);
}
void CommsWorker::ThreadBody() {}
void CommsWorker::Enqueue(WorkerRequest) {}
void CommsWorker::SendPass(int32_t) {}

}  // namespace quillon
