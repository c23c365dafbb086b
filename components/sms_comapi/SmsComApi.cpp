#include "SmsComApi.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "UnicodeHex.h"

namespace quillon::comapi {

namespace {

enum Member : DispId {
    kSendSimpleSMS = 1,
    kSendMsg,
    kAuthenticate,
    kAuthenticateClient,
    kPing,
    kQueryMsg,
    kQueryBalance,
    kResetSMS,
    kRecoverPassword,
    kTokenPay,
    kTokenPayWithURL,
    kEncodeToUnicode,
    kStopMsgAPIID,
    kStartBatch,
    kQuickBatchSend,
    kEndBatch,
    kSetBaseURL,
    kConfigureProxy,
    kConfigureProxyEx,
    kVersion,
    kGetMsgCharge,
    kSmsUSER = 101,
    kSmsPASSWORD,
    kSmsTEXT,
    kSmsFROM,
    kSmsTO,
    kSmsIsLoggedIn,
    kSmsERROR,
    kSmsMSG_TYPE,
    kSmsCONCAT,
    kSmsSESSION_ID,
    kSmsUNICODE,
    kSmsDELIVERY_ACK,
    kSmsDELIVERY_TIME,
    kSmsCLIENT_REF,
    kSmsHONOURS_REFS,
};

struct MemberInfo {
    const char* name;
    DispId id;
    int minArgs;  // methods: argument counts; properties: -1
    int maxArgs;
    bool writable;  // properties
};

const MemberInfo kMembers[] = {
    {"SendSimpleSMS", kSendSimpleSMS, 0, 0, false},
    {"SendMsg", kSendMsg, 3, 3, false},
    {"Authenticate", kAuthenticate, 0, 2, false},
    {"AuthenticateClient", kAuthenticateClient, 3, 3, false},
    {"Ping", kPing, 0, 0, false},
    {"QueryMsg", kQueryMsg, 1, 1, false},
    {"QueryBalance", kQueryBalance, 0, 0, false},
    {"ResetSMS", kResetSMS, 0, 0, false},
    {"RecoverPassword", kRecoverPassword, 2, 2, false},
    {"TokenPay", kTokenPay, 1, 1, false},
    {"TokenPayWithURL", kTokenPayWithURL, 1, 2, false},
    {"EncodeToUnicode", kEncodeToUnicode, 1, 1, false},
    {"StopMsgAPIID", kStopMsgAPIID, 1, 1, false},
    {"StartBatch", kStartBatch, 1, 1, false},
    {"QuickBatchSend", kQuickBatchSend, 1, 1, false},
    {"EndBatch", kEndBatch, 0, 0, false},
    {"SetBaseURL", kSetBaseURL, 1, 1, false},
    {"ConfigureProxy", kConfigureProxy, 1, 3, false},
    {"ConfigureProxyEx", kConfigureProxyEx, 2, 6, false},
    {"Version", kVersion, 0, 1, false},
    {"GetMsgCharge", kGetMsgCharge, 2, 2, false},
    {"smsUSER", kSmsUSER, -1, -1, true},
    {"smsPASSWORD", kSmsPASSWORD, -1, -1, true},
    {"smsTEXT", kSmsTEXT, -1, -1, true},
    {"smsFROM", kSmsFROM, -1, -1, true},
    {"smsTO", kSmsTO, -1, -1, true},
    {"smsIsLoggedIn", kSmsIsLoggedIn, -1, -1, false},
    {"smsERROR", kSmsERROR, -1, -1, false},
    {"smsMSG_TYPE", kSmsMSG_TYPE, -1, -1, true},
    {"smsCONCAT", kSmsCONCAT, -1, -1, true},
    {"smsSESSION_ID", kSmsSESSION_ID, -1, -1, false},
    {"smsUNICODE", kSmsUNICODE, -1, -1, true},
    {"smsDELIVERY_ACK", kSmsDELIVERY_ACK, -1, -1, true},
    {"smsDELIVERY_TIME", kSmsDELIVERY_TIME, -1, -1, true},
    {"smsCLIENT_REF", kSmsCLIENT_REF, -1, -1, true},
    {"smsHONOURS_REFS", kSmsHONOURS_REFS, -1, -1, false},
};

const MemberInfo* FindMember(DispId id) {
    for (const auto& m : kMembers) {
        if (m.id == id)
            return &m;
    }
    return nullptr;
}

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t n = strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        if (tolower(static_cast<unsigned char>(a[i])) != tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t n = strlen(prefix);
    return text.size() >= n && EqualsNoCase(text.substr(0, n), prefix);
}

// Arguments are converted where the meaning is plain: a number written as text, a number as text.
bool ToText(const Variant& v, std::string& out) {
    switch (v.kind) {
        case Variant::Kind::Text:
            out = v.text;
            return true;
        case Variant::Kind::Long:
        case Variant::Kind::Byte:
        case Variant::Kind::Bool:
            out = std::to_string(v.number);
            return true;
        default:
            return false;
    }
}

bool ToNumber(const Variant& v, int32_t& out) {
    if (v.kind == Variant::Kind::Long || v.kind == Variant::Kind::Byte || v.kind == Variant::Kind::Bool) {
        out = v.number;
        return true;
    }
    if (v.kind != Variant::Kind::Text || v.text.empty() || v.text.size() > 11)
        return false;
    char* end = nullptr;
    long long value = strtoll(v.text.c_str(), &end, 10);
    if (*end != '\0' || value < INT32_MIN || value > INT32_MAX)
        return false;
    out = static_cast<int32_t>(value);
    return true;
}

bool ToBool(const Variant& v, bool& out) {
    if (v.kind == Variant::Kind::Text) {
        if (EqualsNoCase(v.text, "true")) {
            out = true;
            return true;
        }
        if (EqualsNoCase(v.text, "false")) {
            out = false;
            return true;
        }
    }
    int32_t n = 0;
    if (!ToNumber(v, n))
        return false;
    out = n != 0;
    return true;
}

bool IsToken32(const std::string& text, size_t at) {
    if (text.size() < at + 32)
        return false;
    for (size_t i = at; i < at + 32; ++i) {
        if (!isalnum(static_cast<unsigned char>(text[i])))
            return false;
    }
    return text.size() == at + 32 || isspace(static_cast<unsigned char>(text[at + 32]));
}

bool IsSessionReply(const std::string& body) {
    return body.rfind("OK: ", 0) == 0 && IsToken32(body, 4);
}
bool IsIdReply(const std::string& body) {
    return body.rfind("ID: ", 0) == 0 && IsToken32(body, 4);
}
bool IsOkReply(const std::string& body) {
    return body.rfind("OK:", 0) == 0;
}

bool IsStatusReply(const std::string& body) {
    std::string lower;
    for (char c : body)
        lower += static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return lower.find("status:") != std::string::npos;
}

bool IsDecimal(const std::string& text) {
    size_t i = text[0] == '-' ? 1 : 0;
    bool digits = false, dot = false;
    for (; i < text.size(); ++i) {
        if (isdigit(static_cast<unsigned char>(text[i]))) {
            digits = true;
        } else if (text[i] == '.' && !dot) {
            dot = true;
        } else {
            return false;
        }
    }
    return digits;
}

bool IsBalanceReply(const std::string& body) {
    return body.rfind("OK: ", 0) == 0 && IsDecimal(body.substr(4));
}

bool IsQuickSendReply(const std::string& body) {
    size_t pos = 0;
    int lines = 0;
    while (pos < body.size()) {
        size_t end = body.find('\n', pos);
        if (end == std::string::npos)
            end = body.size();
        std::string line = body.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        pos = end + 1;
        if (line.empty())
            continue;
        if ((line.rfind("ID:", 0) != 0 && line.rfind("ERR:", 0) != 0) || line.find(" To:") == std::string::npos) {
            return false;
        }
        ++lines;
    }
    return lines > 0;
}

// "ID: <id>|<number>" or a bare identifier -> the identifier.
std::string MessageIdOf(const std::string& raw) {
    std::string id = raw;
    size_t start = id.find_first_not_of(" \t,");
    id = start == std::string::npos ? std::string() : id.substr(start);
    if (StartsWithNoCase(id, "ID:"))
        id = id.substr(3);
    start = id.find_first_not_of(" \t");
    id = start == std::string::npos ? std::string() : id.substr(start);
    size_t end = id.find_first_of("| \t\r\n");
    return end == std::string::npos ? id : id.substr(0, end);
}

const char* BoolParam(bool b) {
    return b ? "1" : "0";
}

}  // namespace

SmsComApi::SmsComApi() {
    http_.SetBaseUrl("http://127.0.0.1:8025/");
}

int32_t SmsComApi::GetIDsOfNames(const std::string& name, DispId& id) {
    for (const auto& m : kMembers) {
        if (EqualsNoCase(name, m.name)) {
            id = m.id;
            return kDispOk;
        }
    }
    return kDispUnknownName;
}

int32_t SmsComApi::Invoke(DispId id, InvokeKind kind, const std::vector<Variant>& argsLastFirst, Variant* result) {
    try {
        std::lock_guard<std::mutex> guard(lock_);
        std::vector<Variant> args(argsLastFirst.rbegin(), argsLastFirst.rend());
        return InvokeLocked(id, kind, args, result);
    } catch (...) {
        return kDispFail;
    }
}

void SmsComApi::SetError(int32_t error) {
    lastError_ = error;
    threadErrors_[std::this_thread::get_id()] = error;
}

int32_t SmsComApi::InvokeLocked(DispId id, InvokeKind kind, const std::vector<Variant>& args, Variant* result) {
    const MemberInfo* member = FindMember(id);
    if (!member)
        return kDispMemberNotFound;
    bool isProperty = member->minArgs < 0;
    if (!isProperty) {
        if (kind != InvokeKind::Method)
            return kDispMemberNotFound;
        if (static_cast<int>(args.size()) < member->minArgs || static_cast<int>(args.size()) > member->maxArgs) {
            return kDispBadParamCount;
        }
        return CallMethod(id, args, result);
    }
    if (kind == InvokeKind::PropertyPut) {
        if (!member->writable)
            return kDispMemberNotFound;
        if (args.size() != 1)
            return kDispBadParamCount;
        return PutProperty(id, args[0]);
    }
    // A property read as a method call, as automation clients may do.
    if (!args.empty())
        return kDispBadParamCount;
    return GetProperty(id, result);
}

int32_t SmsComApi::GetProperty(DispId id, Variant* result) {
    if (!result)
        return kDispOk;
    switch (id) {
        case kSmsUSER:
            *result = Variant::FromText(user_);
            break;
        case kSmsPASSWORD:
            *result = Variant::FromText(password_);
            break;
        case kSmsTEXT:
            *result = Variant::FromText(text_);
            break;
        case kSmsFROM:
            *result = Variant::FromText(from_);
            break;
        case kSmsTO:
            *result = Variant::FromText(to_);
            break;
        case kSmsIsLoggedIn:
            *result = Variant::FromBool(!sessionId_.empty());
            break;
        case kSmsERROR: {
            auto it = threadErrors_.find(std::this_thread::get_id());
            *result = Variant::FromLong(it == threadErrors_.end() ? lastError_ : it->second);
            break;
        }
        case kSmsMSG_TYPE:
            *result = Variant::FromLong(msgType_);
            break;
        case kSmsCONCAT:
            *result = Variant::FromLong(concat_);
            break;
        case kSmsSESSION_ID:
            *result = Variant::FromText(sessionId_);
            break;
        case kSmsUNICODE:
            *result = Variant::FromBool(unicode_);
            break;
        case kSmsDELIVERY_ACK:
            *result = Variant::FromBool(deliveryAck_);
            break;
        case kSmsDELIVERY_TIME:
            *result = Variant::FromLong(deliveryTime_);
            break;
        case kSmsCLIENT_REF:
            *result = Variant::FromText(clientRef_);
            break;
        case kSmsHONOURS_REFS:
            *result = Variant::FromBool(honoursRefs_);
            break;
        default:
            return kDispMemberNotFound;
    }
    return kDispOk;
}

int32_t SmsComApi::PutProperty(DispId id, const Variant& value) {
    std::string text;
    int32_t number = 0;
    bool flag = false;
    switch (id) {
        case kSmsUSER:
        case kSmsPASSWORD:
        case kSmsTEXT:
        case kSmsFROM:
        case kSmsTO:
        case kSmsCLIENT_REF:
            if (!ToText(value, text))
                return kDispTypeMismatch;
            if (id == kSmsCLIENT_REF) {
                clientRef_ = text;
                return kDispOk;
            }
            (id == kSmsUSER       ? user_
             : id == kSmsPASSWORD ? password_
             : id == kSmsTEXT     ? text_
             : id == kSmsFROM     ? from_
                                  : to_) = text;
            return kDispOk;
        case kSmsMSG_TYPE:
        case kSmsCONCAT:
        case kSmsDELIVERY_TIME:
            if (!ToNumber(value, number))
                return kDispTypeMismatch;
            (id == kSmsMSG_TYPE ? msgType_ : id == kSmsCONCAT ? concat_ : deliveryTime_) = number;
            return kDispOk;
        case kSmsUNICODE:
        case kSmsDELIVERY_ACK:
            if (!ToBool(value, flag))
                return kDispTypeMismatch;
            (id == kSmsUNICODE ? unicode_ : deliveryAck_) = flag;
            return kDispOk;
        default:
            return kDispMemberNotFound;
    }
}

int32_t SmsComApi::CallMethod(DispId id, const std::vector<Variant>& args, Variant* result) {
    Reply reply;
    int32_t status = CallTextMethod(id, args, reply);
    if (status == kDispMemberNotFound)
        status = CallOtherMethod(id, args, reply);
    if (status != kDispOk)
        return status;
    SetError(reply.error);
    if (result)
        *result = Variant::FromText(reply.text);
    return kDispOk;
}

// The methods that take one text argument (at the position given) and make one request with it.
int32_t SmsComApi::CallTextMethod(DispId id, const std::vector<Variant>& args, Reply& reply) {
    struct TextMethod {
        DispId id;
        size_t position;
        Reply (SmsComApi::*call)(const std::string&);
    };
    static const TextMethod kMethods[] = {
        {kQueryMsg, 0, &SmsComApi::MessageStatus},
        {kGetMsgCharge, 1, &SmsComApi::MessageStatus},
        {kTokenPay, 0, &SmsComApi::TokenPay},
        {kTokenPayWithURL, 0, &SmsComApi::TokenPay},
        {kStopMsgAPIID, 0, &SmsComApi::CancelMessage},
        {kStartBatch, 0, &SmsComApi::StartBatch},
        {kQuickBatchSend, 0, &SmsComApi::QuickBatchSend},
    };
    for (const TextMethod& method : kMethods) {
        if (method.id != id)
            continue;
        std::string text;
        if (method.position >= args.size() || !ToText(args[method.position], text))
            return kDispTypeMismatch;
        reply = (this->*method.call)(text);
        return kDispOk;
    }
    return kDispMemberNotFound;
}

int32_t SmsComApi::CallOtherMethod(DispId id, const std::vector<Variant>& args, Reply& reply) {
    // Collect the arguments first: a mismatch fails the call before anything is sent.
    std::vector<std::string> texts(args.size());
    auto text = [&](size_t i) -> bool { return i < args.size() && ToText(args[i], texts[i]); };
    switch (id) {
        case kSendSimpleSMS:
            reply = SendMessage(text_, to_);
            return kDispOk;
        case kSendMsg:
            if (!text(1) || !text(2))
                return kDispTypeMismatch;
            reply = SendMessage(texts[1], texts[2]);
            return kDispOk;
        case kAuthenticate:
            if (args.size() == 1)
                return kDispBadParamCount;
            if (args.size() == 2 && (!text(0) || !text(1)))
                return kDispTypeMismatch;
            reply = args.empty() ? Authenticate("", user_, password_) : Authenticate("", texts[0], texts[1]);
            return kDispOk;
        case kAuthenticateClient:
            if (!text(0) || !text(1) || !text(2))
                return kDispTypeMismatch;
            reply = Authenticate(texts[0], texts[1], texts[2]);
            return kDispOk;
        case kRecoverPassword:
            if (!text(0) || !text(1))
                return kDispTypeMismatch;
            reply = RecoverPassword(texts[0], texts[1]);
            return kDispOk;
        case kEncodeToUnicode:
            if (!text(0))
                return kDispTypeMismatch;
            reply.text = EncodeUcs2Hex(texts[0]);
            return kDispOk;
        case kSetBaseURL:
            if (!text(0))
                return kDispTypeMismatch;
            reply = http_.SetBaseUrl(texts[0]) ? Reply{kErrorNone, http_.BaseUrl()}
                                               : Reply{kErrorBadSetting, "ERR: 97, Not an http or https address"};
            return kDispOk;
        case kConfigureProxy:
        case kConfigureProxyEx:
            return CallConfigureProxy(id == kConfigureProxyEx, args, reply);
        default:
            return CallPlainMethod(id, reply);
    }
}

// ConfigureProxyEx: verify, kind, host, port, user, password; ConfigureProxy: kind, host, port.
int32_t SmsComApi::CallConfigureProxy(bool extended, const std::vector<Variant>& args, Reply& reply) {
    size_t first = extended ? 1 : 0;
    bool verify = false;
    int32_t kind = 0;
    if (args.size() <= first || (extended && !ToBool(args[0], verify)) || !ToNumber(args[first], kind))
        return kDispTypeMismatch;
    std::vector<std::string> texts(args.size());
    for (size_t i = first + 1; i < args.size(); ++i) {
        if (!ToText(args[i], texts[i]))
            return kDispTypeMismatch;
    }
    auto at = [&](size_t i) { return i < texts.size() ? texts[i] : std::string(); };
    reply = ConfigureProxy(verify, kind, at(first + 1), at(first + 2), at(first + 3), at(first + 4));
    return kDispOk;
}

// The methods without arguments.
int32_t SmsComApi::CallPlainMethod(DispId id, Reply& reply) {
    switch (id) {
        case kPing:
            reply = Ping();
            return kDispOk;
        case kQueryBalance:
            reply = QueryBalance();
            return kDispOk;
        case kEndBatch:
            reply = EndBatch();
            return kDispOk;
        case kResetSMS:
            text_.clear();
            to_.clear();
            from_.clear();
            msgType_ = concat_ = deliveryTime_ = 0;
            unicode_ = deliveryAck_ = false;
            batchId_.clear();
            clientRef_.clear();
            return kDispOk;
        case kVersion:
            reply.text = "Ver " SMS_COMAPI_VERSION;
            return kDispOk;
        default:
            return kDispMemberNotFound;
    }
}

SmsComApi::Reply SmsComApi::Request(const std::string& endpoint, FormParams params,
                                    bool (*expect)(const std::string&)) {
    Reply reply;
    HttpResult http = http_.Post(endpoint, params);
    if (http.outcome == HttpResult::Outcome::TooLarge) {
        return {kErrorBadReply, "ERR: 98, Reply too large"};
    }
    if (http.outcome != HttpResult::Outcome::Ok) {
        return {kErrorUnreachable, "ERR: 99, " + http.error};
    }
    if (http.httpStatus >= 500) {
        return {kErrorUnreachable, "ERR: 99, Server error " + std::to_string(http.httpStatus)};
    }
    if (http.httpStatus != 200) {
        return {kErrorBadReply, "ERR: 98, Unexpected HTTP status " + std::to_string(http.httpStatus)};
    }
    std::string body = std::move(http.body);
    while (!body.empty() && isspace(static_cast<unsigned char>(body.back())))
        body.pop_back();
    if (body.find('\0') != std::string::npos)
        return {kErrorBadReply, "ERR: 98, Unexpected reply from the gateway"};

    // "ERR: <code>, <text>" for the request as a whole (quicksend's per-number lines end in "To:").
    std::string firstLine = body.substr(0, body.find('\n'));
    if (body.rfind("ERR:", 0) == 0 && (expect != IsQuickSendReply || firstLine.find(" To:") == std::string::npos)) {
        const char* p = body.c_str() + 4;
        while (*p == ' ')
            ++p;
        char* end = nullptr;
        long code = strtol(p, &end, 10);
        if (end == p || code <= 0 || code > 100000)
            return {kErrorBadReply, "ERR: 98, " + body.substr(0, 200)};
        if (code == kErrorUnreachable)
            sessionId_.clear();
        return {static_cast<int32_t>(code), body};
    }
    if (!expect(body))
        return {kErrorBadReply, "ERR: 98, Unexpected reply from the gateway"};
    reply.text = body;
    return reply;
}

FormParams SmsComApi::SubmissionParams() const {
    return {{"session", sessionId_},
            {"from", from_},
            {"concat", std::to_string(concat_)},
            {"msg_type", std::to_string(msgType_)},
            {"unicode", BoolParam(unicode_)},
            {"delivery_ack", BoolParam(deliveryAck_)},
            {"delivery_time", std::to_string(deliveryTime_)}};
}

namespace {
const char* kNotLoggedIn = "ERR: 99, Not logged in";
}

SmsComApi::Reply SmsComApi::Authenticate(const std::string& clientId, const std::string& user,
                                         const std::string& password) {
    sessionId_.clear();
    batchId_.clear();
    honoursRefs_ = false;
    Reply reply = Request("auth", {{"client_id", clientId}, {"user", user}, {"password", password}}, IsSessionReply);
    if (reply.error == kErrorNone) {
        sessionId_ = reply.text.substr(4, 32);
        // "OK: <session> Refs: <days>": the gateway answers a repeated client reference with its first result.
        int days = 0;
        honoursRefs_ = sscanf(reply.text.c_str() + 36, " Refs: %d", &days) == 1 && days > 0;
    }
    return reply;
}

SmsComApi::Reply SmsComApi::SendMessage(const std::string& text, const std::string& number) {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    FormParams params = SubmissionParams();
    params.emplace_back("to", number);
    params.emplace_back("text", text);
    if (honoursRefs_ && !clientRef_.empty())
        params.emplace_back("ref", clientRef_);
    clientRef_.clear();  // a reference belongs to one submission only
    return Request("sendmsg", params, IsIdReply);
}

SmsComApi::Reply SmsComApi::StartBatch(const std::string& text) {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    batchId_.clear();
    FormParams params = SubmissionParams();
    params.emplace_back("text", text);
    Reply reply = Request("startbatch", params, IsIdReply);
    if (reply.error == kErrorNone)
        batchId_ = reply.text.substr(4, 32);
    return reply;
}

SmsComApi::Reply SmsComApi::QuickBatchSend(const std::string& numbers) {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    FormParams params = {{"session", sessionId_}, {"batch", batchId_}, {"to", numbers}};
    if (honoursRefs_ && !clientRef_.empty())
        params.emplace_back("refs", clientRef_);
    clientRef_.clear();
    return Request("quicksend", params, IsQuickSendReply);
}

SmsComApi::Reply SmsComApi::EndBatch() {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    Reply reply = Request("endbatch", {{"session", sessionId_}, {"batch", batchId_}}, IsOkReply);
    if (reply.error == kErrorNone)
        batchId_.clear();
    return reply;
}

SmsComApi::Reply SmsComApi::MessageStatus(const std::string& messageId) {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    return Request("getmsgcharge", {{"session", sessionId_}, {"id", MessageIdOf(messageId)}}, IsStatusReply);
}

SmsComApi::Reply SmsComApi::CancelMessage(const std::string& messageId) {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    return Request("delmsg", {{"session", sessionId_}, {"id", MessageIdOf(messageId)}}, IsOkReply);
}

SmsComApi::Reply SmsComApi::QueryBalance() {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    Reply reply = Request("getbalance", {{"session", sessionId_}}, IsBalanceReply);
    if (reply.error == kErrorNone)
        reply.text = reply.text.substr(4);  // the decimal alone
    return reply;
}

SmsComApi::Reply SmsComApi::Ping() {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    return Request("ping", {{"session", sessionId_}}, IsOkReply);
}

SmsComApi::Reply SmsComApi::TokenPay(const std::string& voucher) {
    if (sessionId_.empty())
        return {kErrorUnreachable, kNotLoggedIn};
    return Request("token_pay", {{"session", sessionId_}, {"voucher", voucher}}, IsOkReply);
}

SmsComApi::Reply SmsComApi::RecoverPassword(const std::string& user, const std::string& email) {
    return Request("forgot_password", {{"user", user}, {"email", email}}, IsOkReply);
}

SmsComApi::Reply SmsComApi::ConfigureProxy(bool verify, int32_t kind, const std::string& host, const std::string& port,
                                           const std::string& user, const std::string& password) {
    if (kind < 1 || kind > 4)
        return {kErrorBadSetting, "ERR: 97, Unknown proxy kind"};
    if (!http_.SetProxy(static_cast<ProxyKind>(kind), host, port, user, password)) {
        return {kErrorProxyUnreachable, "ERR: 95, Proxy host or port missing or invalid"};
    }
    if (!verify)
        return {kErrorNone, "OK"};
    // The way through: any well-formed answer of the gateway, even a refusal, proves it works.
    HttpResult http = http_.Get("ping", {});
    switch (http.outcome) {
        case HttpResult::Outcome::ProxyUnreachable:
            return {kErrorProxyUnreachable, "ERR: 95, " + http.error};
        case HttpResult::Outcome::ProxyAuth:
            return {kErrorProxyAuth, "ERR: 96, " + http.error};
        case HttpResult::Outcome::Ok:
            break;
        default:
            return {kErrorUnreachable, "ERR: 99, " + http.error};
    }
    if (http.httpStatus != 200)
        return {kErrorUnreachable, "ERR: 99, HTTP status " + std::to_string(http.httpStatus)};
    return {kErrorNone, "OK"};
}

}  // namespace quillon::comapi
