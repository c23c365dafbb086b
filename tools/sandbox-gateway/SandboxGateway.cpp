#include "SandboxGateway.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <sstream>

#include "core/SmsEncoding.h"
#include "gateway/FormCodec.h"

namespace quillon::sandbox {

namespace {

const size_t kMaxReceived = 100000;

std::string Get(const Params& params, const std::string& name) {
    auto it = params.find(name);
    return it == params.end() ? std::string() : it->second;
}

bool GetInt(const Params& params, const std::string& name, int minValue, int maxValue, int& out) {
    std::string text = Get(params, name);
    if (text.empty()) {
        out = 0;
        return minValue <= 0 && 0 <= maxValue;
    }
    size_t start = text[0] == '-' ? 1 : 0;
    if (start == text.size() || text.size() > 10)
        return false;
    for (size_t i = start; i < text.size(); ++i) {
        if (!isdigit(static_cast<unsigned char>(text[i])))
            return false;
    }
    long long value = std::stoll(text);
    if (value < minValue || value > maxValue)
        return false;
    out = static_cast<int>(value);
    return true;
}

// Failures by destination: the last four digits of the number pick the fate.
enum class Fate { Normal, RejectAtSend, Routing, DeliveryError, Expired, MessageError, Code8, Stuck };

Fate FateOf(const std::string& number) {
    if (number.size() < 4)
        return Fate::Normal;
    std::string tail = number.substr(number.size() - 4);
    if (tail == "9991")
        return Fate::RejectAtSend;
    if (tail == "9992")
        return Fate::Routing;
    if (tail == "9993")
        return Fate::DeliveryError;
    if (tail == "9994")
        return Fate::Expired;
    if (tail == "9995")
        return Fate::MessageError;
    if (tail == "9996")
        return Fate::Code8;
    if (tail == "9997")
        return Fate::Stuck;
    return Fate::Normal;
}

// "+44 7700 900123" -> "447700900123"; "" when it is no phone number.
std::string NormaliseNumber(const std::string& raw) {
    std::string digits;
    for (size_t i = 0; i < raw.size(); ++i) {
        unsigned char c = raw[i];
        if (isdigit(c)) {
            digits += static_cast<char>(c);
        } else if (c == '+' && digits.empty()) {
            continue;
        } else if (c == ' ' || c == '-') {
            continue;
        } else {
            return "";
        }
    }
    if (digits.size() < 6 || digits.size() > 16)
        return "";
    return digits;
}

// A client reference: 1 to 64 letters, digits, '-', '_' or '.'.
bool IsReference(const std::string& ref) {
    return !ref.empty() && ref.size() <= 64 && std::all_of(ref.begin(), ref.end(), [](unsigned char c) {
        return isalnum(c) || c == '-' || c == '_' || c == '.';
    });
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    size_t pos = 0;
    while (pos <= list.size()) {
        size_t comma = list.find(',', pos);
        if (comma == std::string::npos)
            comma = list.size();
        std::string n = list.substr(pos, comma - pos);
        n.erase(0, n.find_first_not_of(" \t\r\n"));
        n.erase(n.find_last_not_of(" \t\r\n") + 1);
        if (!n.empty())
            items.push_back(n);
        pos = comma + 1;
    }
    return items;
}

}  // namespace

std::string ErrorReply(int code, const std::string& text) {
    return "ERR: " + std::to_string(code) + ", " + text;
}

int CountParts(const std::string& text, int msgType, bool unicode) {
    return static_cast<int>(CountOnWire(text, msgType, unicode).parts);
}

SandboxGateway::SandboxGateway(SandboxConfig config) : config_(std::move(config)), random_(std::random_device{}()) {
    Reset();
}

void SandboxGateway::Reset() {
    std::lock_guard<std::mutex> guard(lock_);
    accounts_ = config_.accounts;
    vouchersUsed_.clear();
    for (const auto& v : config_.vouchers)
        vouchersUsed_[v.code] = false;
    sessions_.clear();
    messages_.clear();
    batches_.clear();
    references_.clear();
    received_.clear();
    clockOffsetMs_ = 0;
}

int64_t SandboxGateway::NowMs() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count() + clockOffsetMs_;
}

int64_t SandboxGateway::AdvanceClock(int64_t seconds) {
    std::lock_guard<std::mutex> guard(lock_);
    if (seconds > 0)
        clockOffsetMs_ += seconds * 1000;
    return NowMs() / 1000;
}

bool SandboxGateway::SetCredit(const std::string& user, Millis credit) {
    std::lock_guard<std::mutex> guard(lock_);
    SandboxAccount* account = FindAccount(user);
    if (!account)
        return false;
    account->credit = credit;
    return true;
}

std::string SandboxGateway::ReceivedText(const std::string& endpoint) const {
    std::lock_guard<std::mutex> guard(lock_);
    std::string lines;
    size_t count = 0;
    for (const auto& [name, form] : received_) {
        if (!endpoint.empty() && name != endpoint)
            continue;
        lines += name + " " + form + "\n";
        ++count;
    }
    return "OK: " + std::to_string(count) + "\n" + lines;
}

std::string SandboxGateway::MessagesText() {
    std::lock_guard<std::mutex> guard(lock_);
    int64_t now = NowMs();
    std::string lines;
    for (const auto& [id, m] : messages_) {
        char status[8];
        snprintf(status, sizeof status, "%03d", StatusOf(m, now));
        lines += id + " to: " + m.to + " status: " + status + " charge: " + FormatCredits(m.charge) +
                 " parts: " + std::to_string(m.parts) + "\n";
    }
    return "OK: " + std::to_string(messages_.size()) + "\n" + lines;
}

std::string SandboxGateway::ReferencesText() {
    std::lock_guard<std::mutex> guard(lock_);
    std::string lines;
    for (const auto& [key, r] : references_) {
        std::string result = r.result.rfind("ID: ", 0) == 0 ? r.result.substr(4, 32)
                                                            : "ERR:" + r.result.substr(5, r.result.find(',') - 5);
        lines += key.first + " " + key.second + " " + result + " repeats: " + std::to_string(r.repeats) + "\n";
    }
    return "OK: " + std::to_string(references_.size()) + "\n" + lines;
}

std::string SandboxGateway::NewId() {
    static const char* hex = "0123456789abcdef";
    std::string id;
    for (int i = 0; i < 2; ++i) {
        uint64_t r = random_();
        for (int k = 0; k < 16; ++k)
            id += hex[(r >> (4 * k)) & 15];
    }
    return id;
}

SandboxAccount* SandboxGateway::FindAccount(const std::string& user) {
    for (auto& a : accounts_) {
        if (a.user == user)
            return &a;
    }
    return nullptr;
}

SandboxAccount* SandboxGateway::SessionAccount(const Params& params) {
    auto it = sessions_.find(Get(params, "session"));
    if (it == sessions_.end())
        return nullptr;
    int64_t now = NowMs();
    if (now - it->second.lastUseMs > int64_t(config_.sessionIdle) * 1000) {
        sessions_.erase(it);
        return nullptr;
    }
    it->second.lastUseMs = now;
    return FindAccount(it->second.user);
}

std::string SandboxGateway::Handle(const std::string& endpoint, const Params& params) {
    std::lock_guard<std::mutex> guard(lock_);
    std::string form = FormEncode(params);
    if (received_.size() >= kMaxReceived)
        received_.erase(received_.begin(), received_.begin() + kMaxReceived / 10);
    received_.emplace_back(endpoint, form);

    if (endpoint == "auth")
        return Auth(params);
    if (endpoint == "forgot_password")
        return ForgotPassword(params);
    using Handler = std::string (SandboxGateway::*)(const Params&);
    static const std::map<std::string, Handler> withSession = {
        {"sendmsg", &SandboxGateway::SendMsg},           {"startbatch", &SandboxGateway::StartBatch},
        {"quicksend", &SandboxGateway::QuickSend},       {"endbatch", &SandboxGateway::EndBatch},
        {"getmsgcharge", &SandboxGateway::GetMsgCharge}, {"delmsg", &SandboxGateway::DelMsg},
        {"getbalance", &SandboxGateway::GetBalance},     {"ping", &SandboxGateway::Ping},
        {"token_pay", &SandboxGateway::TokenPay},
    };
    auto it = withSession.find(endpoint);
    if (it == withSession.end())
        return ErrorReply(kErrUnknownCommand, "Unknown command");
    return (this->*(it->second))(params);
}

std::string SandboxGateway::Auth(const Params& p) {
    if (!config_.clientId.empty() && Get(p, "client_id") != config_.clientId) {
        return ErrorReply(kErrClientId, "Client not accepted");
    }
    SandboxAccount* account = FindAccount(Get(p, "user"));
    if (!account || account->password != Get(p, "password"))
        return ErrorReply(kErrAuth, "Authentication failed");
    std::string id = NewId();
    sessions_[id] = Session{account->user, NowMs()};
    // Telling the client that references are honoured, and for how long, after the session.
    if (config_.referenceDays > 0)
        return "OK: " + id + " Refs: " + std::to_string(config_.referenceDays);
    return "OK: " + id;
}

std::string SandboxGateway::Ping(const Params& p) {
    if (!SessionAccount(p))
        return ErrorReply(kErrSession, "Session not valid");
    return "OK: Session valid";
}

std::string SandboxGateway::GetBalance(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    return "OK: " + FormatCredits(account->credit);
}

bool SandboxGateway::ReadSubmission(const Params& p, Submission& s, std::string& error) {
    s.text = Get(p, "text");
    s.from = Get(p, "from");
    int flag = 0;
    if (!GetInt(p, "concat", 0, 255, s.concat)) {
        error = ErrorReply(kErrParameter, "Invalid concat");
    } else if (!GetInt(p, "msg_type", 0, 255, s.msgType)) {
        error = ErrorReply(kErrParameter, "Invalid msg_type");
    } else if (!GetInt(p, "delivery_time", 0, 10 * 365 * 24 * 60, s.delayMinutes)) {
        error = ErrorReply(kErrParameter, "Invalid delivery_time");
    } else if (!GetInt(p, "unicode", 0, 1, flag)) {
        error = ErrorReply(kErrParameter, "Invalid unicode");
    } else if ((s.unicode = flag != 0, !GetInt(p, "delivery_ack", 0, 1, flag))) {
        error = ErrorReply(kErrParameter, "Invalid delivery_ack");
    } else if (s.text.empty()) {
        error = ErrorReply(kErrParameter, "Missing text");
    } else if (s.from.size() > 16) {
        error = ErrorReply(kErrBadSender, "Invalid sender");
    } else {
        s.deliveryAck = flag != 0;
        return true;
    }
    return false;
}

std::string SandboxGateway::Submit(SandboxAccount& account, const Submission& s, const std::string& rawNumber,
                                   const std::string& batch) {
    std::string number = NormaliseNumber(rawNumber);
    if (number.empty())
        return ErrorReply(kErrBadNumber, "Invalid destination number");
    if (FateOf(number) == Fate::RejectAtSend)
        return ErrorReply(kErrRejected, "Destination rejected");
    int parts = CountParts(s.text, s.msgType, s.unicode);
    // concat names the most parts the sender allows; the account's own limit caps it.
    int allowed = s.concat == 0 ? 1 : std::min(s.concat, config_.maxParts);
    if (parts > allowed)
        return ErrorReply(kErrTooLong, "Message too long");
    Millis charge = config_.pricePerPart * parts;
    if (account.credit < charge)
        return ErrorReply(kErrNoCredit, "Insufficient credit");
    account.credit -= charge;
    Message m;
    m.id = NewId();
    m.user = account.user;
    m.to = number;
    m.batch = batch;
    m.submittedMs = NowMs();
    m.deliverAtMs = m.submittedMs + int64_t(s.delayMinutes) * 60000;
    m.charge = charge;
    m.parts = parts;
    std::string id = m.id;
    messages_[id] = std::move(m);
    return "ID: " + id + (config_.idSuffix.empty() ? "" : " " + config_.idSuffix);
}

std::string SandboxGateway::SubmitOnce(SandboxAccount& account, const Submission& s, const std::string& number,
                                       const std::string& batch, const std::string& ref) {
    if (ref.empty())
        return Submit(account, s, number, batch);
    const int64_t now = NowMs();
    auto key = std::make_pair(account.user, ref);
    auto it = references_.find(key);
    if (it != references_.end() && now - it->second.atMs < int64_t(config_.referenceDays) * 86400000) {
        ++it->second.repeats;
        return it->second.result;
    }
    std::string result = Submit(account, s, number, batch);
    references_[key] = Remembered{result, now, 0};
    return result;
}

int SandboxGateway::StatusOf(const Message& m, int64_t nowMs) const {
    if (m.cancelled)
        return 6;
    if (nowMs < m.deliverAtMs)
        return 11;
    int64_t elapsed = nowMs - m.deliverAtMs;
    Fate fate = FateOf(m.to);
    if (elapsed < int64_t(config_.queuedAfter) * 1000)
        return 1;
    if (fate == Fate::Routing)
        return 9;
    if (fate == Fate::MessageError)
        return 5;
    if (elapsed < int64_t(config_.gatewayAfter) * 1000)
        return 2;
    if (elapsed < int64_t(config_.deliveredAfter) * 1000 || fate == Fate::Stuck)
        return 3;
    switch (fate) {
        case Fate::DeliveryError:
            return 7;
        case Fate::Expired:
            return 10;
        case Fate::Code8:
            return 8;
        default:
            return 4;
    }
}

std::string SandboxGateway::SendMsg(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    Submission s;
    std::string error;
    if (!ReadSubmission(p, s, error))
        return error;
    const std::string ref = config_.referenceDays > 0 ? Get(p, "ref") : std::string();
    if (!ref.empty() && !IsReference(ref))
        return ErrorReply(kErrParameter, "Invalid ref");
    std::string result = SubmitOnce(*account, s, Get(p, "to"), "", ref);
    return ref.empty() ? result : result + " Ref: " + ref;
}

std::string SandboxGateway::StartBatch(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    Batch b;
    std::string error;
    if (!ReadSubmission(p, b.submission, error))
        return error;
    b.user = account->user;
    std::string id = NewId();
    batches_[id] = std::move(b);
    return "ID: " + id;
}

std::string SandboxGateway::QuickSend(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    auto it = batches_.find(Get(p, "batch"));
    if (it == batches_.end() || !it->second.open || it->second.user != account->user) {
        return ErrorReply(kErrUnknownBatch, "Unknown or closed batch");
    }
    std::vector<std::string> numbers = SplitList(Get(p, "to"));
    // References, when given, pair with the numbers by position.
    std::vector<std::string> refs = config_.referenceDays > 0 ? SplitList(Get(p, "refs")) : std::vector<std::string>();
    if (!refs.empty() && (refs.size() != numbers.size() || !std::all_of(refs.begin(), refs.end(), IsReference)))
        return ErrorReply(kErrParameter, "Invalid refs");
    if (numbers.empty())
        return ErrorReply(kErrParameter, "Missing numbers");
    if (numbers.size() > size_t(config_.maxBatchNumbers))
        return ErrorReply(kErrParameter, "Too many numbers");
    std::string reply;
    for (size_t k = 0; k < numbers.size(); ++k) {
        const std::string& n = numbers[k];
        const std::string ref = refs.empty() ? std::string() : refs[k];
        std::string line = SubmitOnce(*account, it->second.submission, n, it->first, ref);
        if (line.rfind("ID: ", 0) == 0)
            ++it->second.accepted;
        // A number that is not one is echoed without its blanks, so the reply stays word-separated.
        std::string shown;
        for (char c : n)
            shown += isspace(static_cast<unsigned char>(c)) ? '_' : c;
        reply += line + " To: " + shown + (ref.empty() ? "" : " Ref: " + ref) + "\n";
    }
    return reply;
}

std::string SandboxGateway::EndBatch(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    auto it = batches_.find(Get(p, "batch"));
    if (it == batches_.end() || !it->second.open || it->second.user != account->user) {
        return ErrorReply(kErrUnknownBatch, "Unknown or closed batch");
    }
    it->second.open = false;
    return "OK: " + std::to_string(it->second.accepted) + " messages";
}

std::string SandboxGateway::GetMsgCharge(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    auto it = messages_.find(Get(p, "id"));
    if (it == messages_.end() || it->second.user != account->user) {
        return ErrorReply(kErrUnknownMessage, "Unknown message");
    }
    char status[8];
    snprintf(status, sizeof status, "%03d", StatusOf(it->second, NowMs()));
    return "ID: " + it->first + " status: " + status + " charge: " + FormatCredits(it->second.charge);
}

std::string SandboxGateway::DelMsg(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    auto it = messages_.find(Get(p, "id"));
    if (it == messages_.end() || it->second.user != account->user) {
        return ErrorReply(kErrUnknownMessage, "Unknown message");
    }
    Message& m = it->second;
    // Withdrawal is only possible while the message waits, and not within 10 minutes of its delivery.
    if (m.cancelled || NowMs() > m.deliverAtMs - 600000) {
        return ErrorReply(kErrCannotCancel, "Message can no longer be cancelled");
    }
    m.cancelled = true;
    account->credit += m.charge;
    m.charge = 0;
    return "OK: Message cancelled";
}

std::string SandboxGateway::TokenPay(const Params& p) {
    SandboxAccount* account = SessionAccount(p);
    if (!account)
        return ErrorReply(kErrSession, "Session not valid");
    std::string code = Get(p, "voucher");
    auto used = vouchersUsed_.find(code);
    if (used == vouchersUsed_.end())
        return ErrorReply(kErrUnknownVoucher, "Unknown voucher");
    if (used->second)
        return ErrorReply(kErrVoucherUsed, "Voucher already redeemed");
    Millis amount = 0;
    for (const auto& v : config_.vouchers) {
        if (v.code == code)
            amount = v.amount;
    }
    used->second = true;
    account->credit += amount;
    return "OK: " + FormatCredits(amount) + " credits added, balance " + FormatCredits(account->credit);
}

std::string SandboxGateway::ForgotPassword(const Params& p) {
    SandboxAccount* account = FindAccount(Get(p, "user"));
    std::string email = Get(p, "email");
    auto lower = [](std::string s) {
        for (auto& c : s)
            c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
        return s;
    };
    if (!account || account->email.empty() || lower(account->email) != lower(email)) {
        return ErrorReply(kErrUnknownUser, "Unknown user or e-mail address");
    }
    return "OK: Password sent to " + account->email;
}

}  // namespace quillon::sandbox
