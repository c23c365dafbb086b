// The desktop program's MessageSink: every notification of the worker becomes an event posted to
// the window it is for, so its handler runs on the ui thread, in posting order.
#pragma once

#include <QObject>
#include <map>
#include <mutex>

#include "gateway/MessageSink.h"

namespace quillon {

class PostedMessageSink : public MessageSink {
public:
    // The receivers; null detaches (a window does so before it is destroyed).
    void SetMainWindow(QObject* window);
    void SetSettingsPage(QObject* page);
    // A window waiting for the worker to end; the token goes to CommsWorker::RequestStop.
    StopWindow RegisterStopWindow(QObject* window);
    void UnregisterStopWindow(StopWindow token);

    void Post(SinkTarget target, uint32_t message, intptr_t wParam, intptr_t lParam) override;
    void RefreshOutbox(int32_t mode) override;
    void ShowCommunicationFailure() override;

private:
    std::mutex lock_;
    QObject* mainWindow_ = nullptr;
    QObject* settingsPage_ = nullptr;
    std::map<StopWindow, QObject*> stopWindows_;
    StopWindow nextToken_ = 1;
};

}  // namespace quillon
