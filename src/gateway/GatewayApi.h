// GatewayApi: the one object through which the program talks to the gateway component
// SMS_COMAPI.SMS. It creates the component, resolves every member name to a dispatch number once
// and offers one typed operation per member. Session, error and reply all live in the component.
//
// Every operation returns a 32-bit status: negative when the call itself failed, in which case the
// out-parameter is left untouched. No component, a missing argument, a name outside the tables and a
// name the component did not know when the names were resolved all give kDispFail; a negative status
// of the component is passed on unchanged. Whether the gateway accepted a call is judged by reading
// smsERROR afterwards (0 = success, 99 = gateway unreachable or session invalid).
//
// Threads: the ui thread and the comms worker both use the object. Each operation is serialised by
// the object's recursive lock; a caller that judges a call by the smsERROR read after it holds a
// Guard() across both, so that no call of the other thread slips in between. The gateway lock is the
// innermost lock: never take the worker lock or SmsLock while holding it.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "gateway/ComponentRegistry.h"
#include "gateway/Dispatch.h"

namespace quillon {

class GatewayApi;
using GatewayHandle = std::shared_ptr<GatewayApi>;

class GatewayApi {
public:
    static constexpr const char* kProgId = "SMS_COMAPI.SMS";

    // One entry of a name table: the member name and the dispatch number resolved for it
    // (0 when the component does not know the name).
    struct NameEntry {
        const char* name;
        DispId id;
        bool known;
    };

    // Creates the component by ProgID through the component registry, resolves the names and hands
    // it the COMBaseURL setting. Ready() tells whether all of that worked.
    GatewayApi();
    // Binds an object created elsewhere (tests, another ProgID). Null: not ready.
    explicit GatewayApi(ComponentHandle object);
    ~GatewayApi();

    GatewayApi(const GatewayApi&) = delete;
    GatewayApi& operator=(const GatewayApi&) = delete;

    bool Ready() const { return ready_; }

    // The process-wide binding, created on the first call; empty when creation failed (the failure
    // is remembered: later calls do not try again).
    static GatewayHandle Instance();
    static bool IsAvailable(const GatewayHandle& handle) { return handle != nullptr; }
    static bool IsAvailable() { return Instance() != nullptr; }

    // Holds the object's lock for the guard's life (a call and the smsERROR read that judges it).
    std::unique_lock<std::recursive_mutex> Guard() { return std::unique_lock<std::recursive_mutex>(lock_); }

    // ---- methods (arguments first-first; `reply` receives the result as text) ----
    int32_t SendMsg(bool flag, const std::string& text, const std::string& to, std::string& reply);
    int32_t StartBatch(const std::string& text, std::string& reply);
    int32_t QuickBatchSend(const std::string& recipients, std::string& reply);
    int32_t EndBatch(std::string& reply);
    int32_t EncodeToUnicode(const std::string& text, std::string& encoded);
    int32_t GetMsgCharge(bool flag, const std::string& messageId, std::string& reply);
    int32_t StopMsgAPIID(const std::string& messageId, std::string& reply);
    int32_t AuthenticateClient(const std::string& clientId, const std::string& login, const std::string& password,
                               std::string& reply);
    int32_t Ping(std::string& reply);
    int32_t QueryBalance(std::string& reply);
    int32_t ConfigureProxyEx(bool verify, int32_t proxyType, const std::string& host, const std::string& port,
                             const std::string& user, const std::string& password, std::string& reply);
    int32_t TokenPay(const std::string& voucher, std::string& reply);
    int32_t RecoverPassword(const std::string& login, const std::string& email, std::string& reply);
    int32_t Version(bool flag, std::string& version);
    int32_t SetBaseURL(const std::string& url, std::string& reply);

    // ---- properties ----
    int32_t Put_smsCONCAT(int32_t value);
    int32_t Put_smsMSG_TYPE(int32_t value);
    int32_t Put_smsFROM(const std::string& value);
    int32_t Put_smsUNICODE(bool value);
    int32_t Put_smsDELIVERY_ACK(bool value);
    int32_t Put_smsDELIVERY_TIME(int32_t value);
    // The client reference(s) of the next SendMsg (one) or QuickBatchSend (one per number, joined
    // by ","); the component forgets them after that call.
    int32_t Put_smsCLIENT_REF(const std::string& value);
    // Whether the gateway of the current session answers a repeated client reference with its first
    // result (smsHONOURS_REFS); false for a component or gateway that knows nothing of references.
    bool HonoursReferences();
    int32_t Get_smsERROR(int32_t& value);
    int32_t Get_smsSESSION_ID(std::string& value);

    // ---- late-bound access by member name (case-insensitive; names outside the tables fail) ----
    // Arguments first-first; an Empty argument, or fewer arguments than the member takes, is a
    // missing argument. `result` receives the raw result.
    int32_t Call(const std::string& member, const std::vector<Variant>& args, Variant& result);
    int32_t GetProperty(const std::string& property, Variant& value);
    int32_t PutProperty(const std::string& property, const Variant& value);

    // Dispatch number resolved for a member; false when the name is in neither table.
    bool LookupMethod(const std::string& name, DispId& id, bool& known) const;
    bool LookupProperty(const std::string& name, DispId& id, bool& known) const;

    // The member names in table order.
    static std::vector<std::string> MethodNames();
    static std::vector<std::string> PropertyNames();

    // A result as text: Text as it is, Long and Byte in decimal, Bool as "-1"/"0", Empty as "".
    static std::string VariantText(const Variant& value);

private:
    void Resolve();
    int32_t InvokeMethod(size_t index, const std::vector<Variant>& args, Variant& result);
    int32_t TextMethod(size_t index, const std::vector<Variant>& args, std::string& reply);
    int32_t Put(size_t index, const Variant& value);
    int32_t Get(size_t index, Variant& value);

    bool ready_ = false;
    int32_t methodCount_ = 0;
    int32_t propertyCount_ = 0;
    ComponentHandle dispatch_;
    std::vector<NameEntry> methods_;
    std::vector<NameEntry> properties_;
    std::recursive_mutex lock_;
};

}  // namespace quillon
