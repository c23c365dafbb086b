#include "gateway/GatewayApi.h"

namespace quillon {

GatewayApi::GatewayApi() {}
GatewayApi::GatewayApi(ComponentHandle object) : dispatch_(std::move(object)) {}
GatewayApi::~GatewayApi() = default;

GatewayHandle GatewayApi::Instance() {
    return nullptr;
}
void GatewayApi::ResetInstanceForTesting() {}
void GatewayApi::SetInstanceForTesting(GatewayHandle) {}

int32_t GatewayApi::SendMsg(bool, const std::string&, const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::StartBatch(const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::QuickBatchSend(const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::EndBatch(std::string&) {
    return kDispFail;
}
int32_t GatewayApi::EncodeToUnicode(const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::GetMsgCharge(bool, const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::StopMsgAPIID(const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::AuthenticateClient(const std::string&, const std::string&, const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::Ping(std::string&) {
    return kDispFail;
}
int32_t GatewayApi::QueryBalance(std::string&) {
    return kDispFail;
}
int32_t GatewayApi::ConfigureProxyEx(bool, int32_t, const std::string&, const std::string&, const std::string&,
                                     const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::TokenPay(const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::RecoverPassword(const std::string&, const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::Version(bool, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::SetBaseURL(const std::string&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::Put_smsCONCAT(int32_t) {
    return kDispFail;
}
int32_t GatewayApi::Put_smsMSG_TYPE(int32_t) {
    return kDispFail;
}
int32_t GatewayApi::Put_smsFROM(const std::string&) {
    return kDispFail;
}
int32_t GatewayApi::Put_smsUNICODE(bool) {
    return kDispFail;
}
int32_t GatewayApi::Put_smsDELIVERY_ACK(bool) {
    return kDispFail;
}
int32_t GatewayApi::Put_smsDELIVERY_TIME(int32_t) {
    return kDispFail;
}
int32_t GatewayApi::Get_smsERROR(int32_t&) {
    return kDispFail;
}
int32_t GatewayApi::Get_smsSESSION_ID(std::string&) {
    return kDispFail;
}
int32_t GatewayApi::Call(const std::string&, const std::vector<Variant>&, Variant&) {
    return kDispFail;
}
int32_t GatewayApi::GetProperty(const std::string&, Variant&) {
    return kDispFail;
}
int32_t GatewayApi::PutProperty(const std::string&, const Variant&) {
    return kDispFail;
}
bool GatewayApi::LookupMethod(const std::string&, DispId&, bool&) const {
    return false;
}
bool GatewayApi::LookupProperty(const std::string&, DispId&, bool&) const {
    return false;
}
std::vector<std::string> GatewayApi::MethodNames() {
    return {};
}
std::vector<std::string> GatewayApi::PropertyNames() {
    return {};
}
std::string GatewayApi::VariantText(const Variant&) {
    return {};
}
void GatewayApi::Resolve() {}
int32_t GatewayApi::InvokeMethod(size_t, const std::vector<Variant>&, Variant&) {
    return kDispFail;
}
int32_t GatewayApi::TextMethod(size_t, const std::vector<Variant>&, std::string&) {
    return kDispFail;
}
int32_t GatewayApi::Put(size_t, const Variant&) {
    return kDispFail;
}
int32_t GatewayApi::Get(size_t, Variant&) {
    return kDispFail;
}

}  // namespace quillon
