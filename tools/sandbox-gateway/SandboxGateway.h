// The sandbox gateway's state and protocol: accounts, sessions, messages on their timeline,
// batches, vouchers. Transport-free: the server hands it an endpoint name and the form
// parameters and sends back the reply text. Thread-safe (one lock).
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <vector>

#include "SandboxConfig.h"

namespace quillon::sandbox {

using Params = std::multimap<std::string, std::string>;

// Gateway error codes carried in "ERR: <code>, <text>" replies.
enum GatewayError : int {
    kErrSession = 99,
    kErrParameter = 100,
    kErrUnknownCommand = 101,
    kErrTooLarge = 102,
    kErrAuth = 201,
    kErrClientId = 202,
    kErrNoCredit = 301,
    kErrTooLong = 302,
    kErrBadNumber = 303,
    kErrRejected = 304,
    kErrBadSender = 305,
    kErrUnknownMessage = 401,
    kErrCannotCancel = 402,
    kErrUnknownBatch = 501,
    kErrUnknownVoucher = 601,
    kErrVoucherUsed = 607,
    kErrUnknownUser = 701,
};

std::string ErrorReply(int code, const std::string& text);

// How many SMS parts a text takes: GSM 7-bit 160 / 153 characters (escape characters count
// twice), UCS-2 70 / 67 units, 8-bit data 140 / 134 octets. `unicode` texts and data kinds
// arrive as hexadecimal.
int CountParts(const std::string& text, int msgType, bool unicode);

class SandboxGateway {
public:
    explicit SandboxGateway(SandboxConfig config);

    // One protocol request; the reply body.
    std::string Handle(const std::string& endpoint, const Params& params);

    // Test control.
    void Reset();
    int64_t AdvanceClock(int64_t seconds);  // the new clock, in seconds since 1970
    bool SetCredit(const std::string& user, Millis credit);
    std::string ReceivedText(const std::string& endpoint) const;  // "OK: n" then one line per request
    std::string MessagesText();                                   // "OK: n" then one line per message
    // "OK: n" then one line per client reference kept: "USER REF RESULT repeats: K", where RESULT is
    // the message id or "ERR:<code>" and K counts the repeats answered from memory.
    std::string ReferencesText();

private:
    struct Message {
        std::string id;
        std::string user;
        std::string to;
        std::string batch;
        int64_t submittedMs = 0;
        int64_t deliverAtMs = 0;
        Millis charge = 0;
        int parts = 0;
        bool cancelled = false;
    };
    struct Submission {
        std::string text;
        std::string from;
        int concat = 0;
        int msgType = 0;
        bool unicode = false;
        bool deliveryAck = false;
        int delayMinutes = 0;
    };
    struct Batch {
        std::string user;
        Submission submission;
        bool open = true;
        int accepted = 0;
    };
    // The first result given for a client reference, answered again to every repeat.
    struct Remembered {
        std::string result;  // "ID: <id>" or "ERR: <code>, <text>"
        int64_t atMs = 0;
        int repeats = 0;
    };
    struct Session {
        std::string user;
        int64_t lastUseMs = 0;
    };

    int64_t NowMs() const;
    std::string NewId();
    SandboxAccount* FindAccount(const std::string& user);
    // The account of a valid session (touching it), or null.
    SandboxAccount* SessionAccount(const Params& params);
    bool ReadSubmission(const Params& params, Submission& out, std::string& error);
    // Submits one message to one number; "ID: <id>" or an error reply.
    std::string Submit(SandboxAccount& account, const Submission& s, const std::string& number,
                       const std::string& batch);
    int StatusOf(const Message& m, int64_t nowMs) const;
    // Submit, once per client reference of the account: a reference seen within referenceDays
    // gets its first result again and sends nothing. An empty reference always submits.
    std::string SubmitOnce(SandboxAccount& account, const Submission& s, const std::string& number,
                           const std::string& batch, const std::string& ref);

    std::string Auth(const Params& p);
    std::string SendMsg(const Params& p);
    std::string StartBatch(const Params& p);
    std::string QuickSend(const Params& p);
    std::string EndBatch(const Params& p);
    std::string GetMsgCharge(const Params& p);
    std::string DelMsg(const Params& p);
    std::string GetBalance(const Params& p);
    std::string Ping(const Params& p);
    std::string TokenPay(const Params& p);
    std::string ForgotPassword(const Params& p);

    const SandboxConfig config_;
    mutable std::mutex lock_;
    std::vector<SandboxAccount> accounts_;
    std::map<std::string, bool> vouchersUsed_;
    std::map<std::string, Session> sessions_;
    std::map<std::string, Message> messages_;
    std::map<std::string, Batch> batches_;
    std::map<std::pair<std::string, std::string>, Remembered> references_;  // (user, reference)
    std::vector<std::pair<std::string, std::string>> received_;             // endpoint, form-encoded parameters
    int64_t clockOffsetMs_ = 0;
    std::mt19937_64 random_;
};

}  // namespace quillon::sandbox
