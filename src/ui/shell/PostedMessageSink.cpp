#include "ui/shell/PostedMessageSink.h"

#include "ui/shell/AppMessageEvent.h"

namespace quillon {

void PostedMessageSink::SetMainWindow(QObject* window) {
    std::lock_guard<std::mutex> guard(lock_);
    mainWindow_ = window;
}

void PostedMessageSink::SetSettingsPage(QObject* page) {
    std::lock_guard<std::mutex> guard(lock_);
    settingsPage_ = page;
}

StopWindow PostedMessageSink::RegisterStopWindow(QObject* window) {
    std::lock_guard<std::mutex> guard(lock_);
    StopWindow token = nextToken_++;
    stopWindows_[token] = window;
    return token;
}

void PostedMessageSink::UnregisterStopWindow(StopWindow token) {
    std::lock_guard<std::mutex> guard(lock_);
    stopWindows_.erase(token);
}

void PostedMessageSink::Post(SinkTarget target, uint32_t message, intptr_t wParam, intptr_t lParam) {
    // Posting under the lock keeps a receiver from being detached and destroyed in between.
    std::lock_guard<std::mutex> guard(lock_);
    switch (target) {
        case SinkTarget::MainWindow:
            PostAppMessage(mainWindow_, message, wParam, lParam);
            break;
        case SinkTarget::SettingsPage:
            PostAppMessage(settingsPage_, message, wParam, lParam);
            break;
        case SinkTarget::StopWindow: {
            auto it = stopWindows_.find(static_cast<StopWindow>(wParam));
            if (it != stopWindows_.end())
                PostAppMessage(it->second, message, wParam, lParam);
            break;
        }
    }
}

void PostedMessageSink::RefreshOutbox(int32_t mode) {
    std::lock_guard<std::mutex> guard(lock_);
    PostAppMessage(mainWindow_, kMsgRefreshOutbox, mode, 0);
}

void PostedMessageSink::ShowCommunicationFailure() {
    std::lock_guard<std::mutex> guard(lock_);
    PostAppMessage(mainWindow_, kMsgCommunicationFailure, 0, 0);
}

}  // namespace quillon
