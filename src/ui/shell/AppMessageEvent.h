// A notification for a window of the shell, carried as a posted Qt event so that it is handled on
// the ui thread in posting order.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <cstdint>

#include "gateway/MessageSink.h"

namespace quillon {

// Shell-internal notifications beside the WM_APP_* values.
constexpr uint32_t kMsgRefreshOutbox = WM_APP + 0x100;         // wParam: refresh mode or message ID
constexpr uint32_t kMsgCommunicationFailure = WM_APP + 0x101;  // the gateway was unreachable (1027/1028)

class AppMessageEvent : public QEvent {
public:
    AppMessageEvent(uint32_t message, intptr_t wParam, intptr_t lParam)
        : QEvent(EventType()), message_(message), wParam_(wParam), lParam_(lParam) {}

    static QEvent::Type EventType() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }

    uint32_t Message() const { return message_; }
    intptr_t WParam() const { return wParam_; }
    intptr_t LParam() const { return lParam_; }

private:
    uint32_t message_;
    intptr_t wParam_;
    intptr_t lParam_;
};

// Posts a notification to `receiver` (thread-safe).
inline void PostAppMessage(QObject* receiver, uint32_t message, intptr_t wParam = 0, intptr_t lParam = 0) {
    if (receiver)
        QCoreApplication::postEvent(receiver, new AppMessageEvent(message, wParam, lParam));
}

}  // namespace quillon
