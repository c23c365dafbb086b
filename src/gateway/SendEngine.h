// The send engine (SendQueuedSMSs): hands pending outbox messages to the gateway, one recipient at a
// time, personalised per recipient, or as a server-side batch, and records the gateway's message
// identifiers. Runs on the worker thread under the worker lock.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/CrashReport.h"
#include "store/MessageStore.h"

namespace quillon {

class CommsWorker;
class GatewayApi;

// One expanded recipient of a message.
struct RecipientEntry {
    int32_t contactId = -1;  // -1 when written as a plain number
    std::string number;      // the number to send to
    std::string token;       // the entry as written in the message's To list
    std::string apiId;       // "," + the gateway's reply "ID: <identifier>"
};

// Expands a To list: a leading "," is skipped; "A<CID>" names a contact (its mobile number, first 16
// characters; no entry when the contact does not exist); anything else is a number (first 16
// characters). A number starting with "0" gets the prefix in place of its leading zeros when the
// prefix is not empty. Empty entries are skipped.
std::vector<RecipientEntry> ExpandRecipients(MessageStore& store, const std::string& to, const std::string& prefix);

// The numbers of a batch reply, read word by word: "To:" (exactly so) names the current number;
// "ID:" and "ERR:" (any letter case) close the previous result and open a new one; other words are the open
// result's text.
struct BatchResult {
    bool accepted = false;  // "ID:" (else "ERR:")
    std::string number;     // the current number when the result closed ("" when none was named)
    std::string text;       // the words collected, joined by single blanks
};
std::vector<BatchResult> ParseBatchReply(const std::string& reply);

// The chunks a batch is sent in: numbers joined by ","; a chunk closes once it holds 512 characters
// or more counting one leading comma per number, or at the last number. Returns entry counts.
std::vector<size_t> BatchChunkSizes(const std::vector<std::string>& numbers);

class SendEngine {
public:
    explicit SendEngine(CommsWorker& worker) : worker_(worker) {}

    // SendQueuedSMSs for one message ID, or -1 for every pending message (newest first).
    void Run(int32_t id);

    const std::vector<RecipientEntry>& Accepted() const { return accepted_; }
    const std::vector<RecipientEntry>& Failed() const { return failed_; }
    const std::vector<RecipientEntry>& Retry() const { return retry_; }

private:
    friend struct TestSeams;  // injects faults

    // One store transaction whose lock a fault guard can release (it rolls the transaction back).
    class GuardedTransaction {
    public:
        GuardedTransaction(SendEngine& engine, MessageStore& store);
        ~GuardedTransaction();
        GuardedTransaction(const GuardedTransaction&) = delete;
        GuardedTransaction& operator=(const GuardedTransaction&) = delete;

    private:
        SendEngine& engine_;
    };

    void RunGuarded(int32_t id);
    // Claims the next row still pending, walking `rows` down from `next`; false when none is left
    // or the worker is stopping.
    bool ClaimNext(MessageStore& store, const std::vector<SmsRecord>& rows, size_t& next, SmsRecord& row);
    void AfterClaim(std::recursive_mutex& smsLock, int32_t id);
    // Submits the message in hand; returns the number of accepted recipients.
    int32_t Submit(GatewayApi& gateway, MessageStore& store, const SmsRecord& row, int32_t deferralSeconds,
                   int32_t messagesLeft);
    int32_t SendOneByOne(GatewayApi& gateway, MessageStore& store, const SmsRecord& row, long kindCode,
                         bool personalised, int32_t deferralSeconds, int32_t messagesLeft);
    int32_t SendBatch(GatewayApi& gateway, const SmsRecord& row, long kindCode, int32_t deferralSeconds,
                      int32_t messagesLeft);
    void SetProperties(GatewayApi& gateway, const SmsRecord& row, long kindCode, int32_t deferralSeconds);
    void RecordResults(MessageStore& store, const SmsRecord& row, size_t recipientCount, int32_t deferralSeconds,
                       int64_t now);

    CommsWorker& worker_;
    std::vector<RecipientEntry> recipients_;
    std::vector<RecipientEntry> accepted_;
    std::vector<RecipientEntry> failed_;
    std::vector<RecipientEntry> retry_;
    InjectedFault injectedFault_ = InjectedFault::None;
    std::optional<StoreTransaction> transaction_;
};

}  // namespace quillon
