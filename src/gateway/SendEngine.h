// The send engine (SendQueuedSMSs): hands pending outbox messages to the gateway, one recipient at a
// time, personalised per recipient, or as a server-side batch, and records the gateway's message
// identifiers. Runs on the worker thread under the worker lock.
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "core/CrashReport.h"
#include "gateway/ClientReference.h"
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
    size_t position = 0;     // the entry's place in the To list (counting every entry)
    std::string ref;         // the client reference it goes under ("" without references)
    std::string reason;      // why the gateway refused it, or why no result came
};

// Expands a To list: a leading "," is skipped; "A<CID>" names a contact (its mobile number; no entry
// when the contact does not exist); anything else is a number. Numbers lose blanks, dashes, dots and
// brackets, then are cut to 16 characters; a number starting with "0" gets the prefix in place of its
// leading zeros when the prefix is not empty. Empty entries are skipped.
std::vector<RecipientEntry> ExpandRecipients(MessageStore& store, const std::string& to, const std::string& prefix);

// The numbers of a batch reply, read word by word: "To:" (exactly so) names the current number;
// "ID:" and "ERR:" (any letter case) close the previous result and open a new one; other words are the open
// result's text.
// "Ref:" names the result's client reference.
struct BatchResult {
    bool accepted = false;  // "ID:" (else "ERR:")
    std::string number;     // the current number when the result closed ("" when none was named)
    std::string text;       // the words collected, joined by single blanks
    std::string ref;        // the reference named after this result's marker ("" when none)
};
std::vector<BatchResult> ParseBatchReply(const std::string& reply);

// The chunks a batch is sent in: numbers joined by ","; a chunk closes once it holds 512 characters
// or more counting one leading comma per number, or at the last number. Returns entry counts.
std::vector<size_t> BatchChunkSizes(const std::vector<std::string>& numbers);

class SendEngine {
public:
    explicit SendEngine(CommsWorker& worker) : worker_(worker) {}
    ~SendEngine();  // waits for a group of results still being written
    SendEngine(const SendEngine&) = delete;
    SendEngine& operator=(const SendEngine&) = delete;

    // SendQueuedSMSs for one message ID, or -1 for every pending message (newest first).
    void Run(int32_t id);

private:
    friend struct TestSeams;  // injects faults

    // What became of one message, kept until its results are written.
    struct MessageOutcome {
        SmsRecord row;
        size_t recipientCount = 0;
        int32_t deferral = 0;
        std::vector<RecipientEntry> accepted, failed, retry;
    };

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
    // One commit per message: the claim of a message is durable before it goes out.
    bool RunDurable(MessageStore& store, GatewayApi& gateway, const std::vector<SmsRecord>& rows);
    // With client references: claims and results committed in groups (GroupCommit).
    bool RunGrouped(MessageStore& store, GatewayApi& gateway, std::vector<SmsRecord> rows);

    // One group's store work under client references, written on a thread of its own while the next
    // messages go out: the results so far, the claims given back, and the claims of the next rows.
    struct GroupWrite {
        MessageStore* store = nullptr;
        int64_t now = 0;  // the time the results are written for
        std::vector<MessageOutcome> done;
        std::vector<SmsRecord> released;  // claimed but never sent: back to Pending
        size_t claimWanted = 0;
        std::vector<SmsRecord> claimedRows;  // out: the rows claimed, in sending order
        bool faulted = false;                // out: the write was abandoned and rolled back
        TrappedFault fault;
    };
    void StartGroupWrite(MessageStore& store, std::vector<MessageOutcome> done, std::vector<SmsRecord> released,
                         size_t claimWanted);
    // Waits for the group being written, if any; its claims join `claimed` and the outbox hears of
    // its results. False when the write was abandoned.
    bool FinishGroupWrite(std::deque<SmsRecord>& claimed);
    void WriteGroup(GroupWrite& job);
    // Expands, submits and collects the outcome of a claimed message.
    MessageOutcome Handle(GatewayApi& gateway, MessageStore& store, const SmsRecord& row, int32_t messagesLeft);
    // Rows an earlier run left in Processing: queued again when the gateway honours references,
    // else Failed.
    void TakeInterrupted(MessageStore& store);
    std::string ReferenceFor(const SmsRecord& row, const RecipientEntry& entry) const;
    // Waits before another attempt; false when the worker is stopping.
    bool PauseBeforeRetry(int attempt);
    // One recipient under its reference, tried again while the outcome is unknown.
    SubmitOutcome SendWithReference(GatewayApi& gateway, const SmsRecord& row, long kindCode, int32_t deferral,
                                    const std::string& text, RecipientEntry& entry, std::string& reply);
    // One batch chunk (the entries chunkStart to chunkEnd) without references: an entry the reply
    // does not name ends Failed.
    int32_t SendChunkWithoutReferences(GatewayApi& gateway, const std::string& numbers, size_t chunkStart,
                                       size_t chunkEnd);
    // One batch chunk under references: the entries (indexes into recipients_) end in a list each.
    int32_t SendChunkWithReferences(GatewayApi& gateway, const std::vector<size_t>& chunk);
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
    void RecordResults(MessageStore& store, const MessageOutcome& outcome, int64_t now);

    CommsWorker& worker_;
    std::vector<RecipientEntry> recipients_;
    std::vector<RecipientEntry> accepted_;
    std::vector<RecipientEntry> failed_;
    std::vector<RecipientEntry> retry_;
    bool references_ = false;   // the gateway honours client references (this pass)
    bool unreachable_ = false;  // an outcome stayed unknown: the rest waits for a later pass
    std::string installationId_;
    InjectedFault injectedFault_ = InjectedFault::None;
    InjectedFault injectedWriteFault_ = InjectedFault::None;  // set before a pass, taken by the writer
    std::optional<StoreTransaction> transaction_;
    // The grouped pass: its pending rows (claimed from the back) and the group being written. While
    // writer_ runs, only it touches these.
    std::vector<SmsRecord> passRows_;
    size_t passNext_ = 0;
    GroupWrite groupWrite_;
    bool groupPending_ = false;  // groupWrite_ was started and not yet finished
    std::thread writer_;
};

}  // namespace quillon
