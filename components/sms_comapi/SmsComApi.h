// The component object SMS_COMAPI.SMS: every member of the gateway contract, served by name over
// the HTTP gateway protocol (docs/gateway-protocol.md). Safe to call from several threads: calls
// are serialised, and smsERROR reads back the result of the calling thread's last call.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "HttpTransport.h"
#include "gateway/Dispatch.h"

namespace quillon::comapi {

// smsERROR values the component sets itself; the gateway's own codes pass through unchanged.
constexpr int32_t kErrorNone = 0;
constexpr int32_t kErrorProxyUnreachable = 95;  // the proxy could not be reached
constexpr int32_t kErrorProxyAuth = 96;         // the proxy refused the credentials
constexpr int32_t kErrorBadSetting = 97;        // an unusable proxy kind or gateway address
constexpr int32_t kErrorBadReply = 98;          // a reply of none of the protocol's shapes
constexpr int32_t kErrorUnreachable = 99;       // no reply, timeout, server error, or session not valid

class SmsComApi : public IDispatchObject {
public:
    SmsComApi();
    int32_t GetIDsOfNames(const std::string& name, DispId& id) override;
    int32_t Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& argsLastFirst, Variant* result) override;

private:
    struct Reply {
        int32_t error = kErrorNone;
        std::string text;
    };

    int32_t InvokeLocked(DispId id, InvokeKind kind, const std::vector<Variant>& args, Variant* result);
    int32_t CallMethod(DispId id, const std::vector<Variant>& args, Variant* result);
    int32_t CallTextMethod(DispId id, const std::vector<Variant>& args, Reply& reply);
    int32_t CallOtherMethod(DispId id, const std::vector<Variant>& args, Reply& reply);
    int32_t CallConfigureProxy(bool extended, const std::vector<Variant>& args, Reply& reply);
    int32_t CallPlainMethod(DispId id, Reply& reply);
    int32_t GetProperty(DispId id, Variant* result);
    int32_t PutProperty(DispId id, const Variant& value);

    // One protocol request: the reply text and the smsERROR it yields. `expect` checks the
    // shape of a successful reply.
    Reply Request(const std::string& endpoint, FormParams params, bool (*expect)(const std::string&));
    FormParams SubmissionParams() const;
    void SetError(int32_t error);

    Reply Authenticate(const std::string& clientId, const std::string& user, const std::string& password);
    Reply SendMessage(const std::string& text, const std::string& number);
    Reply StartBatch(const std::string& text);
    Reply QuickBatchSend(const std::string& numbers);
    Reply EndBatch();
    Reply MessageStatus(const std::string& messageId);
    Reply CancelMessage(const std::string& messageId);
    Reply QueryBalance();
    Reply Ping();
    Reply TokenPay(const std::string& voucher);
    Reply RecoverPassword(const std::string& user, const std::string& email);
    Reply ConfigureProxy(bool verify, int32_t kind, const std::string& host, const std::string& port,
                         const std::string& user, const std::string& password);

    std::mutex lock_;
    HttpTransport http_;
    std::map<std::thread::id, int32_t> threadErrors_;
    int32_t lastError_ = kErrorNone;

    std::string sessionId_;
    std::string batchId_;
    // Properties.
    std::string user_, password_, text_, from_, to_;
    int32_t msgType_ = 0;
    int32_t concat_ = 0;
    bool unicode_ = false;
    bool deliveryAck_ = false;
    int32_t deliveryTime_ = 0;
    std::string clientRef_;     // the next submission's reference(s)
    bool honoursRefs_ = false;  // the gateway said so at login
};

}  // namespace quillon::comapi
