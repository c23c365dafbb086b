// The core's only way to reach the user interface: notifications posted to the ui thread.
//
// The comms worker and its engines call these from the worker thread. An implementation queues the
// notification (the desktop program posts an event; the command line prints or records it) and
// returns at once: the worker never waits for the interface.
#pragma once

#include <cstdint>

namespace quillon {

// Notification values. The desktop program's main window handles them in posting order.
constexpr uint32_t WM_APP = 0x8000;
constexpr uint32_t WM_APP_SELECT_TAB = WM_APP + 1;         // lParam = tab button id
constexpr uint32_t WM_APP_BALANCE_CHANGED = WM_APP + 6;    // one message handled: refresh the balance (paced)
constexpr uint32_t WM_APP_REFRESH_BALANCE = WM_APP + 7;    // main window to the compose pane
constexpr uint32_t WM_APP_RELOAD_BRANDING = WM_APP + 8;    // reload the branding image
constexpr uint32_t WM_APP_GO_OFFLINE = WM_APP + 9;         // to the settings page: go off line
constexpr uint32_t WM_APP_COMMS_BEGIN = WM_APP + 10;       // a work cycle begins
constexpr uint32_t WM_APP_COMMS_END = WM_APP + 11;         // a work cycle ends
constexpr uint32_t WM_APP_PHASE_ESCALATION = WM_APP + 12;  // due-message promotion begins
constexpr uint32_t WM_APP_PHASE_SENDING = WM_APP + 13;     // a send pass or a cancellation begins
constexpr uint32_t WM_APP_PHASE_QUERYING = WM_APP + 14;    // a status query pass begins
constexpr uint32_t WM_APP_PROGRESS = WM_APP + 15;      // wParam items left, lParam recipients left (0 when querying)
constexpr uint32_t WM_APP_ONLINE = WM_APP + 30;        // went on line
constexpr uint32_t WM_APP_OFFLINE = WM_APP + 31;       // went off line
constexpr uint32_t WM_APP_WORKER_ERROR = WM_APP + 32;  // wParam kind (1: cancellations refused), lParam count
constexpr uint32_t WM_APP_TRAY_NOTIFY = 0x81A7;        // tray icon callback
constexpr uint32_t WM_QUIT = 0x0012;                   // to the stop window: the worker thread ended

// Who a notification is for.
enum class SinkTarget : uint8_t {
    MainWindow,    // the main window (cycle, phase, progress, balance, offline, worker errors)
    SettingsPage,  // the options pane (WM_APP_GO_OFFLINE; WM_APP_WORKER_ERROR 0/0 after a cancel list)
    StopWindow,    // the window named in CommsWorker::RequestStop (WM_QUIT only)
};

// Opaque token of the window that waits for the worker to end; 0 = none.
using StopWindow = uintptr_t;

// RefreshOutbox mode: rebuild the whole list (rows were added or removed).
constexpr int32_t kRefreshWholeOutbox = 0;

class MessageSink {
public:
    virtual ~MessageSink() = default;

    // Queues `message` with its two integers for `target`. For SinkTarget::StopWindow, wParam
    // carries the StopWindow token given to RequestStop.
    virtual void Post(SinkTarget target, uint32_t message, intptr_t wParam, intptr_t lParam) = 0;

    // Brings the outbox view up to date: kRefreshWholeOutbox rebuilds it; any other value is the
    // ID of a message whose status just changed.
    virtual void RefreshOutbox(int32_t mode) = 0;

    // The gateway answered code 99 (unreachable or session invalid): show the box with caption
    // string 1028 "Login failed ..." and text string 1027. Queued, never waited for.
    virtual void ShowCommunicationFailure() = 0;
};

// Drops everything: for headless runs that need no interface.
class NullMessageSink : public MessageSink {
public:
    void Post(SinkTarget, uint32_t, intptr_t, intptr_t) override {}
    void RefreshOutbox(int32_t) override {}
    void ShowCommunicationFailure() override {}
};

}  // namespace quillon
