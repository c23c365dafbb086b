#include "gateway/ClientReference.h"

namespace quillon {

namespace {
constexpr const char* kRefMarker = ",REF: ";
constexpr int32_t kFirstGatewayCode = 100;  // below: the component's own codes (95 to 99)
}  // namespace

std::string MakeClientReference(const std::string& installationId, int32_t rowId, size_t position) {
    return installationId + "-" + std::to_string(rowId) + "-" + std::to_string(position);
}

std::string ReferenceApiText(const std::string& reference) {
    return kRefMarker + reference;
}

std::string ReferenceOfApiText(const std::string& apiMsgId) {
    const std::string marker = kRefMarker;
    if (apiMsgId.compare(0, marker.size(), marker) != 0)
        return "";
    std::string ref = apiMsgId.substr(marker.size());
    return ref.substr(0, ref.find_first_of(", "));
}

std::string NormaliseNumber(const std::string& number) {
    std::string out;
    for (char c : number) {
        if (c != ' ' && c != '\t' && c != '-' && c != '.' && c != '(' && c != ')')
            out += c;
    }
    return out;
}

std::string EchoedReference(const std::string& reply) {
    size_t at = reply.find(" Ref: ");
    if (at == std::string::npos)
        return "";
    std::string rest = reply.substr(at + 6);
    return rest.substr(0, rest.find_first_of(" \t\r\n"));
}

SubmitOutcome ClassifyError(int32_t error) {
    if (error == 0)
        return SubmitOutcome::Accepted;
    // 99 also stands for a session the gateway no longer knows; it handled nothing then, so
    // sending again is as safe as after a lost reply.
    if (error < kFirstGatewayCode)
        return SubmitOutcome::Unknown;
    return SubmitOutcome::Refused;
}

}  // namespace quillon
