#include "gateway/GatewayApi.h"

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/TestSeams.h"
#include "core/TextUtil.h"

namespace quillon {

namespace {

// A member of a name table and how many arguments the program passes to it
// (-1: the program never calls it, so any count is passed through).
struct MemberInfo {
    const char* name;
    int arity;
};

// The order of both tables is fixed: it is the order in which names are resolved.
const MemberInfo kMethods[] = {
    {"SendSimpleSMS", -1},
    {"SendMsg", 3},
    {"Authenticate", -1},
    {"AuthenticateClient", 3},
    {"Ping", 0},
    {"QueryMsg", -1},
    {"QueryBalance", 0},
    {"ResetSMS", -1},
    {"RecoverPassword", 2},
    {"TokenPay", 1},
    {"TokenPayWithURL", -1},
    {"EncodeToUnicode", 1},
    {"StopMsgAPIID", 1},
    {"StartBatch", 1},
    {"QuickBatchSend", 1},
    {"EndBatch", 0},
    {"SetBaseURL", 1},
    {"ConfigureProxy", -1},
    {"ConfigureProxyEx", 6},
    {"Version", 1},
    {"GetMsgCharge", 2},
};

const char* const kProperties[] = {
    "smsUSER",
    "smsPASSWORD",
    "smsTEXT",
    "smsFROM",
    "smsTO",
    "smsIsLoggedIn",
    "smsERROR",
    "smsMSG_TYPE",
    "smsCONCAT",
    "smsSESSION_ID",
    "smsUNICODE",
    "smsDELIVERY_ACK",
    "smsDELIVERY_TIME",
    // Client references (our protocol extension); a component without them simply lacks the names.
    "smsCLIENT_REF",
    "smsHONOURS_REFS",
};

constexpr size_t kMethodCount = sizeof(kMethods) / sizeof(kMethods[0]);
constexpr size_t kPropertyCount = sizeof(kProperties) / sizeof(kProperties[0]);

// Indexes into the tables, in table order.
enum Method : size_t {
    mSendSimpleSMS,
    mSendMsg,
    mAuthenticate,
    mAuthenticateClient,
    mPing,
    mQueryMsg,
    mQueryBalance,
    mResetSMS,
    mRecoverPassword,
    mTokenPay,
    mTokenPayWithURL,
    mEncodeToUnicode,
    mStopMsgAPIID,
    mStartBatch,
    mQuickBatchSend,
    mEndBatch,
    mSetBaseURL,
    mConfigureProxy,
    mConfigureProxyEx,
    mVersion,
    mGetMsgCharge,
};
enum Property : size_t {
    pUSER,
    pPASSWORD,
    pTEXT,
    pFROM,
    pTO,
    pIsLoggedIn,
    pERROR,
    pMSG_TYPE,
    pCONCAT,
    pSESSION_ID,
    pUNICODE,
    pDELIVERY_ACK,
    pDELIVERY_TIME,
    pCLIENT_REF,
    pHONOURS_REFS,
};
static_assert(mGetMsgCharge + 1 == kMethodCount, "method table and indexes differ");
static_assert(pHONOURS_REFS + 1 == kPropertyCount, "property table and indexes differ");

// The kinds as the component receives them: BOOL true with all bits set, a byte within 0..255.
Variant Normalised(const Variant& v) {
    Variant out = v;
    if (out.kind == Variant::Kind::Bool)
        out.number = out.number ? -1 : 0;
    if (out.kind == Variant::Kind::Byte)
        out.number &= 0xFF;
    return out;
}

std::mutex instanceLock;
GatewayHandle instance;
bool instanceTried = false;

}  // namespace

GatewayApi::GatewayApi() {
    std::string error;
    dispatch_ = ComponentRegistry::Instance().CreateObject(kProgId, &error);
    if (!dispatch_) {
        LogLine("Gateway component %s could not be created: %s", kProgId, error.c_str());
        return;
    }
    Resolve();
    const std::string& baseUrl = Settings().COMBaseURL;
    if (!baseUrl.empty()) {
        std::string reply;
        SetBaseURL(baseUrl, reply);
    }
}

GatewayApi::GatewayApi(ComponentHandle object) : dispatch_(std::move(object)) {
    if (dispatch_)
        Resolve();
}

GatewayApi::~GatewayApi() {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    dispatch_.reset();
    ready_ = false;
}

void GatewayApi::Resolve() {
    methods_.clear();
    properties_.clear();
    methodCount_ = 0;
    propertyCount_ = 0;
    auto resolveOne = [this](const char* name) {
        NameEntry entry{name, 0, false};
        DispId id = 0;
        int32_t status = kDispFail;
        try {
            status = dispatch_->GetIDsOfNames(name, id);
        } catch (...) {
            status = kDispFail;
        }
        if (status >= 0) {
            entry.id = id;
            entry.known = true;
        }
        return entry;
    };
    for (const auto& m : kMethods) {
        methods_.push_back(resolveOne(m.name));
        ++methodCount_;
    }
    for (const char* p : kProperties) {
        properties_.push_back(resolveOne(p));
        ++propertyCount_;
    }
    ready_ = true;
}

GatewayHandle GatewayApi::Instance() {
    std::lock_guard<std::mutex> guard(instanceLock);
    if (!instanceTried) {
        instanceTried = true;
        auto created = std::make_shared<GatewayApi>();
        if (created->Ready())
            instance = std::move(created);
    }
    return instance;
}

void TestSeams::ResetGatewayInstance() {
    GatewayHandle old;
    {
        std::lock_guard<std::mutex> guard(instanceLock);
        old = std::move(instance);
        instance.reset();
        instanceTried = false;
    }
}

void TestSeams::SetGatewayInstance(GatewayHandle handle) {
    GatewayHandle old;
    {
        std::lock_guard<std::mutex> guard(instanceLock);
        old = std::move(instance);
        instance = std::move(handle);
        instanceTried = true;
    }
}

// ---- the late-bound core ----

int32_t GatewayApi::InvokeMethod(size_t index, const std::vector<Variant>& args, Variant& result) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!ready_ || !dispatch_ || index >= methods_.size())
        return kDispFail;
    const int arity = kMethods[index].arity;
    if (arity >= 0 && args.size() < static_cast<size_t>(arity))
        return kDispFail;
    for (const auto& a : args)
        if (a.kind == Variant::Kind::Empty)
            return kDispFail;
    // A name the component did not know is not called: its stored number 0 may belong to another member.
    if (!methods_[index].known)
        return kDispFail;
    std::vector<Variant> lastFirst;
    lastFirst.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it)
        lastFirst.push_back(Normalised(*it));
    Variant out;
    int32_t status;
    try {
        status = dispatch_->Invoke(methods_[index].id, InvokeKind::Method, lastFirst, &out);
    } catch (...) {
        status = kDispFail;
    }
    if (status < 0)
        return status;
    result = std::move(out);
    return status;
}

int32_t GatewayApi::TextMethod(size_t index, const std::vector<Variant>& args, std::string& reply) {
    Variant result;
    int32_t status = InvokeMethod(index, args, result);
    if (status >= 0)
        reply = VariantText(result);
    return status;
}

int32_t GatewayApi::Put(size_t index, const Variant& value) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!ready_ || !dispatch_ || index >= properties_.size())
        return kDispFail;
    if (value.kind == Variant::Kind::Empty || !properties_[index].known)
        return kDispFail;
    try {
        return dispatch_->Invoke(properties_[index].id, InvokeKind::PropertyPut, {Normalised(value)}, nullptr);
    } catch (...) {
        return kDispFail;
    }
}

int32_t GatewayApi::Get(size_t index, Variant& value) {
    std::lock_guard<std::recursive_mutex> guard(lock_);
    if (!ready_ || !dispatch_ || index >= properties_.size())
        return kDispFail;
    if (!properties_[index].known)
        return kDispFail;
    Variant out;
    int32_t status;
    try {
        status = dispatch_->Invoke(properties_[index].id, InvokeKind::PropertyGet, {}, &out);
    } catch (...) {
        status = kDispFail;
    }
    if (status < 0)
        return status;
    value = std::move(out);
    return status;
}

// ---- typed operations ----

int32_t GatewayApi::SendMsg(bool flag, const std::string& text, const std::string& to, std::string& reply) {
    return TextMethod(mSendMsg, {Variant::FromBool(flag), Variant::FromText(text), Variant::FromText(to)}, reply);
}
int32_t GatewayApi::StartBatch(const std::string& text, std::string& reply) {
    return TextMethod(mStartBatch, {Variant::FromText(text)}, reply);
}
int32_t GatewayApi::QuickBatchSend(const std::string& recipients, std::string& reply) {
    return TextMethod(mQuickBatchSend, {Variant::FromText(recipients)}, reply);
}
int32_t GatewayApi::EndBatch(std::string& reply) {
    return TextMethod(mEndBatch, {}, reply);
}
int32_t GatewayApi::EncodeToUnicode(const std::string& text, std::string& encoded) {
    return TextMethod(mEncodeToUnicode, {Variant::FromText(text)}, encoded);
}
int32_t GatewayApi::GetMsgCharge(bool flag, const std::string& messageId, std::string& reply) {
    return TextMethod(mGetMsgCharge, {Variant::FromBool(flag), Variant::FromText(messageId)}, reply);
}
int32_t GatewayApi::StopMsgAPIID(const std::string& messageId, std::string& reply) {
    return TextMethod(mStopMsgAPIID, {Variant::FromText(messageId)}, reply);
}
int32_t GatewayApi::AuthenticateClient(const std::string& clientId, const std::string& login,
                                       const std::string& password, std::string& reply) {
    return TextMethod(mAuthenticateClient,
                      {Variant::FromText(clientId), Variant::FromText(login), Variant::FromText(password)}, reply);
}
int32_t GatewayApi::Ping(std::string& reply) {
    return TextMethod(mPing, {}, reply);
}
int32_t GatewayApi::QueryBalance(std::string& reply) {
    return TextMethod(mQueryBalance, {}, reply);
}
int32_t GatewayApi::ConfigureProxyEx(bool verify, int32_t proxyType, const std::string& host, const std::string& port,
                                     const std::string& user, const std::string& password, std::string& reply) {
    return TextMethod(mConfigureProxyEx,
                      {Variant::FromBool(verify), Variant::FromLong(proxyType), Variant::FromText(host),
                       Variant::FromText(port), Variant::FromText(user), Variant::FromText(password)},
                      reply);
}
int32_t GatewayApi::TokenPay(const std::string& voucher, std::string& reply) {
    return TextMethod(mTokenPay, {Variant::FromText(voucher)}, reply);
}
int32_t GatewayApi::RecoverPassword(const std::string& login, const std::string& email, std::string& reply) {
    return TextMethod(mRecoverPassword, {Variant::FromText(login), Variant::FromText(email)}, reply);
}
int32_t GatewayApi::Version(bool flag, std::string& version) {
    return TextMethod(mVersion, {Variant::FromBool(flag)}, version);
}
int32_t GatewayApi::SetBaseURL(const std::string& url, std::string& reply) {
    return TextMethod(mSetBaseURL, {Variant::FromText(url)}, reply);
}

int32_t GatewayApi::Put_smsCONCAT(int32_t value) {
    return Put(pCONCAT, Variant::FromLong(value));
}
int32_t GatewayApi::Put_smsMSG_TYPE(int32_t value) {
    return Put(pMSG_TYPE, Variant::FromLong(value));
}
int32_t GatewayApi::Put_smsFROM(const std::string& value) {
    return Put(pFROM, Variant::FromText(value));
}
int32_t GatewayApi::Put_smsUNICODE(bool value) {
    return Put(pUNICODE, Variant::FromBool(value));
}
int32_t GatewayApi::Put_smsDELIVERY_ACK(bool value) {
    return Put(pDELIVERY_ACK, Variant::FromBool(value));
}
int32_t GatewayApi::Put_smsDELIVERY_TIME(int32_t value) {
    return Put(pDELIVERY_TIME, Variant::FromLong(value));
}

int32_t GatewayApi::Put_smsCLIENT_REF(const std::string& value) {
    return Put(pCLIENT_REF, Variant::FromText(value));
}

bool GatewayApi::HonoursReferences() {
    Variant v;
    if (Get(pHONOURS_REFS, v) < 0)
        return false;
    return (v.kind == Variant::Kind::Bool || v.kind == Variant::Kind::Long) && v.number != 0;
}

int32_t GatewayApi::Get_smsERROR(int32_t& value) {
    Variant v;
    int32_t status = Get(pERROR, v);
    if (status >= 0)
        value = v.number;
    return status;
}

int32_t GatewayApi::Get_smsSESSION_ID(std::string& value) {
    Variant v;
    int32_t status = Get(pSESSION_ID, v);
    if (status >= 0)
        value = VariantText(v);
    return status;
}

// ---- by name ----

int32_t GatewayApi::Call(const std::string& member, const std::vector<Variant>& args, Variant& result) {
    for (size_t i = 0; i < kMethodCount; ++i)
        if (EqualsIgnoreCase(kMethods[i].name, member))
            return InvokeMethod(i, args, result);
    return kDispFail;
}

int32_t GatewayApi::GetProperty(const std::string& property, Variant& value) {
    for (size_t i = 0; i < kPropertyCount; ++i)
        if (EqualsIgnoreCase(kProperties[i], property))
            return Get(i, value);
    return kDispFail;
}

int32_t GatewayApi::PutProperty(const std::string& property, const Variant& value) {
    for (size_t i = 0; i < kPropertyCount; ++i)
        if (EqualsIgnoreCase(kProperties[i], property))
            return Put(i, value);
    return kDispFail;
}

bool GatewayApi::LookupMethod(const std::string& name, DispId& id, bool& known) const {
    for (const auto& entry : methods_) {
        if (EqualsIgnoreCase(entry.name, name)) {
            id = entry.id;
            known = entry.known;
            return true;
        }
    }
    return false;
}

bool GatewayApi::LookupProperty(const std::string& name, DispId& id, bool& known) const {
    for (const auto& entry : properties_) {
        if (EqualsIgnoreCase(entry.name, name)) {
            id = entry.id;
            known = entry.known;
            return true;
        }
    }
    return false;
}

std::vector<std::string> GatewayApi::MethodNames() {
    std::vector<std::string> names;
    for (const auto& m : kMethods)
        names.emplace_back(m.name);
    return names;
}

std::vector<std::string> GatewayApi::PropertyNames() {
    return {std::begin(kProperties), std::end(kProperties)};
}

std::string GatewayApi::VariantText(const Variant& value) {
    switch (value.kind) {
        case Variant::Kind::Text:
            return value.text;
        case Variant::Kind::Long:
        case Variant::Kind::Bool:
        case Variant::Kind::Byte:
            return std::to_string(value.number);
        case Variant::Kind::Empty:
            break;
    }
    return {};
}

}  // namespace quillon
