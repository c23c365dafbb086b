// The gateway session as the rest of the program sees it: the process-wide online flag, logging
// in, the credit balance and the proxy configuration. What these show the user goes through
// SessionUi, which the desktop program implements and tests record.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "core/StringIds.h"

namespace quillon {

enum class MessageIcon : uint8_t { None, Information, Warning, Error, Stop };

// One message box. Texts are already taken from the string table; the ids say which strings.
struct SessionMessage {
    int textId = 0;
    std::string text;
    int captionId = 0;
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    bool withLink = false;  // shown as a link message; `link` is the page offered
    std::string link;
};

// What the session shows. LogInToGateway may run on the comms worker (its keep-alive re-login):
// the desktop implementation hands such calls to the ui thread.
class SessionUi {
public:
    virtual ~SessionUi() = default;
    virtual void BeginWait() = 0;  // wait cursor on
    virtual void EndWait() = 0;    // wait cursor off
    virtual void ShowMessage(const SessionMessage& message) = 0;
};

// Writes messages to stderr as "caption: text"; no wait cursor. Used by the CLI and when no
// ui is installed.
class StderrSessionUi : public SessionUi {
public:
    void BeginWait() override {}
    void EndWait() override {}
    void ShowMessage(const SessionMessage& message) override;
};

// The process-wide SessionUi; null restores the stderr one. Not owned.
SessionUi& TheSessionUi();
void SetSessionUi(SessionUi* ui);

// The online flag: true while the program works on line. Every gateway path tests it first.
// Clear at process start; the login dialog, the options pane and the worker set and clear it.
bool IsOnLine();
void SetOnLine(bool online);

// Runs after every successful login (the desktop program installs the branding download).
void SetAfterLoginAction(std::function<void()> action);

// Logs in with the client_id setting and the given account, under the wait cursor.
// smsERROR 0: refreshes the balance (only while the online flag is set, so a caller going on line
// sets the flag first), runs the after-login action, true. 99, or a call that did not reach the
// component: message 1027 / 1028 with the error icon, false. Any other code: false, no message.
bool LogInToGateway(const std::string& login, const std::string& password);
bool LogInToGateway(const std::string& login, const std::string& password, SessionUi& ui);

// While on line: queries the balance and stores LastBalance (tenths) and BalanceWithFraction.
// Returns LastBalance; a failed query, or working off line, leaves the stored values.
int32_t RefreshBalance();

// Reads a balance reply: the integer at the start, and the first digit after the last "." as
// tenths; withFraction tells whether the reply had a ".".
void ParseBalanceReply(const std::string& reply, int32_t& tenths, bool& withFraction);

// The balance as string `stringId` (kIdBalance or kIdBalanceShort) shows it: whole credits, tenths, and "?" while
// off line.
std::string BalanceText(int stringId = kIdBalance);
std::string BalanceText(int stringId, int32_t tenths, bool online);

// Hands the proxy settings to the component (ConfigureProxyEx). Returns smsERROR, or the call's
// own negative status when the call failed; on a non-zero result shows the proxy error box
// (caption 1137, text by ProxyErrorTextId, link to help_url).
int32_t ApplyProxySettings(bool verify);
int32_t ApplyProxySettings(bool verify, SessionUi& ui);
// The text of the proxy error box for a code: 95 -> 1140, 96 -> 1141, any other -> 1136.
int ProxyErrorTextId(int32_t code);

// A proxy configuration as the user chose it (ProxyType 1 to 4 and, for kind 4, the server).
struct ProxyChoice {
    int32_t type = 1;
    std::string host, port, user, password;
};

constexpr int32_t kProxyUnchanged = -1;

// Whether applying `choice` has anything to do: the kind changed; for kind 4 the host (letter
// case ignored), port, user name or password changed (up to 255 characters each); or a test was
// asked for.
bool ProxyChoiceNeedsApply(const ProxyChoice& choice, bool test);

// Stores the choice in the settings and hands it to the gateway with verification, under the wait
// cursor. Returns kProxyUnchanged when nothing needed doing, else the gateway's code (0 = success;
// failures were shown through `ui`).
int32_t ApplyProxyChoice(const ProxyChoice& choice, bool test, SessionUi& ui);

// The proxy configuration the settings hold now.
ProxyChoice StoredProxyChoice();
bool SameProxyChoice(const ProxyChoice& a, const ProxyChoice& b);
// Undoes a trial that failed: stores `choice` again and hands it to the component without
// verification and without messages.
void RestoreProxyChoice(const ProxyChoice& choice);

// The proxy kinds (ProxyType 1 to 4) with their name and description strings.
struct ProxyKind {
    int32_t value;
    int nameId;
    int descriptionId;
};
const std::array<ProxyKind, 4>& ProxyKinds();
std::string ProxyKindName(int32_t value);         // "" for a value outside 1..4
std::string ProxyKindDescription(int32_t value);  // "" for a value outside 1..4

}  // namespace quillon
