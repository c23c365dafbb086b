#include "gateway/Session.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cstdio>
#include <mutex>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"
#include "gateway/GatewayApi.h"

namespace quillon {

namespace {

constexpr int32_t kGatewayUnreachable = 99;

std::atomic<bool> onLine{false};
std::atomic<SessionUi*> currentUi{nullptr};
std::mutex afterLoginLock;
std::function<void()> afterLogin;

StderrSessionUi& DefaultUi() {
    static StderrSessionUi ui;
    return ui;
}

class WaitScope {
public:
    explicit WaitScope(SessionUi& ui) : ui_(ui) { ui_.BeginWait(); }
    ~WaitScope() { ui_.EndWait(); }

private:
    SessionUi& ui_;
};

SessionMessage MakeMessage(int textId, int captionId, MessageIcon icon) {
    SessionMessage m;
    m.textId = textId;
    m.text = LoadResourceString(textId);
    m.captionId = captionId;
    m.caption = LoadResourceString(captionId);
    m.icon = icon;
    return m;
}

}  // namespace

void StderrSessionUi::ShowMessage(const SessionMessage& message) {
    std::string text = message.text;
    // The table's texts carry Windows line ends; a terminal wants plain ones.
    for (size_t pos; (pos = text.find('\r')) != std::string::npos;)
        text.erase(pos, 1);
    std::fprintf(stderr, "%s: %s\n", message.caption.c_str(), text.c_str());
    if (message.withLink && !message.link.empty())
        std::fprintf(stderr, "  %s\n", message.link.c_str());
}

SessionUi& TheSessionUi() {
    SessionUi* ui = currentUi.load();
    return ui ? *ui : DefaultUi();
}

void SetSessionUi(SessionUi* ui) {
    currentUi.store(ui);
}

bool IsOnLine() {
    return onLine.load();
}
void SetOnLine(bool online) {
    onLine.store(online);
}

void SetAfterLoginAction(std::function<void()> action) {
    std::lock_guard<std::mutex> guard(afterLoginLock);
    afterLogin = std::move(action);
}

bool LogInToGateway(const std::string& login, const std::string& password) {
    return LogInToGateway(login, password, TheSessionUi());
}

bool LogInToGateway(const std::string& login, const std::string& password, SessionUi& ui) {
    int32_t code = kGatewayUnreachable;
    {
        WaitScope wait(ui);
        GatewayHandle api = GatewayApi::Instance();
        if (api) {
            auto guard = api->Guard();
            std::string reply;
            int32_t status = api->AuthenticateClient(Settings().client_id, login, password, reply);
            // A call that did not reach the component leaves smsERROR as the previous call set it,
            // so it cannot judge this one: such a login counts as unreachable.
            int32_t error = kGatewayUnreachable;
            if (status >= 0 && api->Get_smsERROR(error) >= 0)
                code = error;
            if (status < 0)
                LogLine("LogInToGateway: AuthenticateClient failed with status 0x%08x", status);
        }
    }
    LogLine("LogInToGateway: smsERROR %d", code);
    if (code == 0) {
        RefreshBalance();
        std::function<void()> action;
        {
            std::lock_guard<std::mutex> guard(afterLoginLock);
            action = afterLogin;
        }
        if (action)
            action();
        return true;
    }
    if (code == kGatewayUnreachable)
        ui.ShowMessage(MakeMessage(kIdServerUnreachable, kIdLoginFailedCaption, MessageIcon::Error));
    return false;
}

void ParseBalanceReply(const std::string& reply, int32_t& tenths, bool& withFraction) {
    // The integer at the start, as the C library reads one: blanks, a sign, digits.
    size_t i = 0;
    while (i < reply.size() && std::isspace(static_cast<unsigned char>(reply[i])))
        ++i;
    bool negative = false;
    if (i < reply.size() && (reply[i] == '-' || reply[i] == '+'))
        negative = reply[i++] == '-';
    long long whole = 0;
    for (; i < reply.size() && std::isdigit(static_cast<unsigned char>(reply[i])); ++i) {
        if (whole < 1000000000000LL)
            whole = whole * 10 + (reply[i] - '0');
    }
    long long value = whole * 10;
    size_t dot = reply.rfind('.');
    withFraction = dot != std::string::npos;
    if (withFraction && dot + 1 < reply.size() && std::isdigit(static_cast<unsigned char>(reply[dot + 1])))
        value += reply[dot + 1] - '0';  // tenths, truncated: the later digits do not round
    // A negative balance keeps its sign in the tenths too (-1.5 is -15, not -5).
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (value < INT32_MIN)
        value = INT32_MIN;
    tenths = static_cast<int32_t>(value);
}

int32_t RefreshBalance() {
    AppSettings& settings = Settings();
    if (!IsOnLine())
        return settings.LastBalance;
    GatewayHandle api = GatewayApi::Instance();
    if (!api)
        return settings.LastBalance;
    std::string reply;
    {
        auto guard = api->Guard();
        int32_t status = api->QueryBalance(reply);
        int32_t error = kGatewayUnreachable;
        if (status < 0 || api->Get_smsERROR(error) < 0 || error != 0) {
            LogLine("RefreshBalance: QueryBalance failed (status 0x%08x, smsERROR %d)", status, error);
            return settings.LastBalance;
        }
    }
    int32_t tenths = 0;
    bool withFraction = false;
    ParseBalanceReply(reply, tenths, withFraction);
    settings.LastBalance = tenths;
    settings.BalanceWithFraction = withFraction;
    return tenths;
}

std::string BalanceText(int stringId) {
    return BalanceText(stringId, Settings().LastBalance, IsOnLine());
}

std::string BalanceText(int stringId, int32_t tenths, bool online) {
    int whole = tenths / 10;
    int tenth = tenths % 10;
    if (tenth < 0)
        tenth = -tenth;
    return FormatResourceString(stringId, {whole, tenth, online ? "" : "?"});
}

int ProxyErrorTextId(int32_t code) {
    switch (code) {
        case 95:
            return kIdProxyUnreachable;
        case 96:
            return kIdProxyNeedsLogin;
        default:
            return kIdProxySetupFailed;
    }
}

int32_t ApplyProxySettings(bool verify) {
    return ApplyProxySettings(verify, TheSessionUi());
}

int32_t ApplyProxySettings(bool verify, SessionUi& ui) {
    const AppSettings& settings = Settings();
    int32_t code = kDispFail;
    GatewayHandle api = GatewayApi::Instance();
    if (api) {
        auto guard = api->Guard();
        std::string reply;
        int32_t status = api->ConfigureProxyEx(verify, settings.ProxyType, settings.ProxyHost, settings.ProxyPort,
                                               settings.ProxyUsername, settings.ProxyPassword, reply);
        // A call that failed as a call is reported by its own status, never by a stale smsERROR.
        code = status;
        if (status >= 0) {
            int32_t error = 0;
            code = api->Get_smsERROR(error) >= 0 ? error : kDispFail;
        }
    }
    if (code == 0)
        return 0;
    LogLine("ApplyProxySettings: proxy type %d failed with %d", settings.ProxyType, code);
    if (code == kGatewayUnreachable) {
        // The way out worked but the gateway did not answer: not a proxy matter, and no support
        // page helps with a network that is down.
        SessionMessage message =
            MakeMessage(kTextGatewayUnreachableText, kTextGatewayUnreachableCaption, MessageIcon::Error);
        ui.ShowMessage(message);
        return code;
    }
    SessionMessage message = MakeMessage(ProxyErrorTextId(code), kIdProxySetupCaption, MessageIcon::Error);
    message.withLink = true;
    message.link = settings.help_url;
    ui.ShowMessage(message);
    return code;
}

namespace {
std::string Cut255(const std::string& s) {
    return s.substr(0, 255);
}

// Writes the choice into the settings, each field cut to what the settings file holds, and saves.
AppSettings& StoreProxyChoice(const ProxyChoice& choice) {
    AppSettings& s = Settings();
    s.ProxyType = choice.type;
    s.ProxyHost = Cut255(choice.host);
    s.ProxyPort = Cut255(choice.port);
    s.ProxyUsername = Cut255(choice.user);
    s.ProxyPassword = Cut255(choice.password);
    SaveSettings();
    return s;
}

}  // namespace

bool ProxyChoiceNeedsApply(const ProxyChoice& choice, bool test) {
    if (test)
        return true;
    const AppSettings& s = Settings();
    if (choice.type != s.ProxyType)
        return true;
    if (choice.type != 4)
        return false;
    // Host names are not case-sensitive; ports, user names and passwords are compared exactly, so
    // that a password whose case changed still reaches the gateway.
    if (!EqualsFolded(Cut255(choice.host), Cut255(s.ProxyHost)))
        return true;
    return Cut255(choice.port) != Cut255(s.ProxyPort) || Cut255(choice.user) != Cut255(s.ProxyUsername) ||
           Cut255(choice.password) != Cut255(s.ProxyPassword);
}

int32_t ApplyProxyChoice(const ProxyChoice& choice, bool test, SessionUi& ui) {
    if (!ProxyChoiceNeedsApply(choice, test))
        return kProxyUnchanged;
    StoreProxyChoice(choice);
    ui.BeginWait();
    int32_t code = ApplyProxySettings(true, ui);
    ui.EndWait();
    return code;
}

ProxyChoice StoredProxyChoice() {
    const AppSettings& s = Settings();
    return {s.ProxyType, s.ProxyHost, s.ProxyPort, s.ProxyUsername, s.ProxyPassword};
}

bool SameProxyChoice(const ProxyChoice& a, const ProxyChoice& b) {
    return a.type == b.type && a.host == b.host && a.port == b.port && a.user == b.user && a.password == b.password;
}

void RestoreProxyChoice(const ProxyChoice& choice) {
    const AppSettings& s = StoreProxyChoice(choice);
    if (GatewayHandle api = GatewayApi::Instance()) {
        auto guard = api->Guard();
        std::string reply;
        api->ConfigureProxyEx(false, s.ProxyType, s.ProxyHost, s.ProxyPort, s.ProxyUsername, s.ProxyPassword, reply);
    }
    LogLine("RestoreProxyChoice: proxy type %d restored", s.ProxyType);
}

const std::array<ProxyKind, 4>& ProxyKinds() {
    static const std::array<ProxyKind, 4> kinds{{{1, kIdProxyKindDirect, kIdProxyKindDirectText},
                                                 {2, kIdProxyKindRegistry, kIdProxyKindRegistryText},
                                                 {3, kIdProxyKindNoScripts, kIdProxyKindNoScriptsText},
                                                 {4, kIdProxyKindList, kIdProxyKindListText}}};
    return kinds;
}

std::string ProxyKindName(int32_t value) {
    for (const auto& kind : ProxyKinds())
        if (kind.value == value)
            return LoadResourceString(kind.nameId);
    return {};
}

std::string ProxyKindDescription(int32_t value) {
    for (const auto& kind : ProxyKinds())
        if (kind.value == value)
            return LoadResourceString(kind.descriptionId);
    return {};
}

}  // namespace quillon
