#include "gateway/Session.h"

#include <iostream>

namespace quillon {

void StderrSessionUi::ShowMessage(const SessionMessage& message) {
    std::cerr << message.caption << ": " << message.text << "\n";
}

namespace {
StderrSessionUi& DefaultUi() {
    static StderrSessionUi ui;
    return ui;
}
SessionUi* currentUi = nullptr;
bool onLine = false;
}  // namespace

SessionUi& TheSessionUi() {
    return currentUi ? *currentUi : DefaultUi();
}
void SetSessionUi(SessionUi* ui) {
    currentUi = ui;
}
bool IsOnLine() {
    return onLine;
}
void SetOnLine(bool online) {
    onLine = online;
}
void SetAfterLoginAction(std::function<void()>) {}
bool LogInToGateway(const std::string&, const std::string&) {
    return false;
}
bool LogInToGateway(const std::string&, const std::string&, SessionUi&) {
    return false;
}
int32_t RefreshBalance() {
    return 0;
}
void ParseBalanceReply(const std::string&, int32_t& tenths, bool& withFraction) {
    tenths = 0;
    withFraction = false;
}
std::string BalanceText(int) {
    return {};
}
std::string BalanceText(int, int32_t, bool) {
    return {};
}
int32_t ApplyProxySettings(bool) {
    return 0;
}
int32_t ApplyProxySettings(bool, SessionUi&) {
    return 0;
}
int ProxyErrorTextId(int32_t) {
    return 1136;
}
const std::array<ProxyKind, 4>& ProxyKinds() {
    static const std::array<ProxyKind, 4> kinds{{{1, 1376, 1377}, {2, 1378, 1379}, {3, 1380, 1381}, {4, 1382, 1383}}};
    return kinds;
}
std::string ProxyKindName(int32_t) {
    return {};
}
std::string ProxyKindDescription(int32_t) {
    return {};
}

}  // namespace quillon
