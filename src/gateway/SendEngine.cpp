#include "gateway/SendEngine.h"

#include "core/SmsEncoding.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <exception>
#include <system_error>
#include <thread>

#include "compose/Personalisation.h"
#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/TestSeams.h"
#include "core/TextUtil.h"
#include "core/TimeUtil.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "store/MessageStore.h"
#include "store/MessageType.h"
#include "store/RecipientList.h"

namespace quillon {

namespace {

constexpr size_t kApiIdLength = 37;      // "," + "ID: " + 32-character identifier
constexpr size_t kChunkThreshold = 512;  // a batch chunk closes once it holds this many characters
constexpr int32_t kFirstQueryInterval = 60;
constexpr int32_t kGatewayUnreachable = 99;
constexpr int32_t kUnicodeType = 2;
constexpr size_t kStoredNumberBytes = 64;                   // a contact's mobile as read, before normalising
constexpr size_t kGroupRows = 100;                          // at most this many results per commit ...
constexpr auto kGroupTime = std::chrono::milliseconds(50);  // ... or this long after the last
constexpr size_t kReasonBytes = 100;

// The refusal text kept with a failed recipient: the reply without its echoed reference.
std::string ReasonText(const std::string& reply) {
    return reply.substr(0, std::min(reply.find(" Ref: "), kReasonBytes));
}

// The one chunk rule of a batch, shared by BatchChunkSizes and the send pass: `length` counts one
// comma per number.
bool ChunkIsFull(size_t length) {
    return length >= kChunkThreshold;
}

std::string ApiIdText(const std::string& text) {
    return text.substr(0, kApiIdLength);
}

// The text as the gateway takes it: a Unicode message encoded by the component, any other (or one
// the component cannot encode) as written.
std::string GatewayText(GatewayApi& gateway, int32_t type, const std::string& text) {
    std::string encoded;
    if (type == kUnicodeType && gateway.EncodeToUnicode(text, encoded) >= 0 && !encoded.empty())
        return encoded;
    return text;
}

// A failed call (negative status) counts as a gateway error of its own.
int32_t ReadError(GatewayApi& gateway, int32_t callStatus) {
    if (callStatus < 0)
        return callStatus;
    int32_t error = 0;
    int32_t status = gateway.Get_smsERROR(error);
    return status < 0 ? status : error;
}

}  // namespace

// ---- pure helpers ----

std::vector<RecipientEntry> ExpandRecipients(MessageStore& store, const std::string& to, const std::string& prefix) {
    std::vector<RecipientEntry> entries;
    const std::vector<RecipientListEntry> items = ParseRecipientList(to);
    for (size_t position = 0; position < items.size(); ++position) {
        const RecipientListEntry& item = items[position];
        // An entry that starts like a contact without being one names nobody.
        if (item.text.empty() || item.LooksLikeContact())
            continue;
        RecipientEntry entry;
        entry.token = item.text;
        entry.position = position;
        std::string number;
        if (item.IsContact()) {
            std::optional<std::string> mobile = store.Book().GetContactMobile(*item.contactId, kStoredNumberBytes);
            if (!mobile)
                continue;
            entry.contactId = *item.contactId;
            number = *mobile;
        } else {
            number = item.text;
        }
        // The gateway echoes numbers word by word: one with blanks in it could never be matched.
        entry.number = ApplyNumberPrefix(NormaliseNumber(number).substr(0, kMaxNumberBytes), prefix);
        entries.push_back(std::move(entry));
    }
    return entries;
}

std::vector<BatchResult> ParseBatchReply(const std::string& reply) {
    std::vector<std::string> words;
    size_t pos = 0;
    while (pos < reply.size()) {
        size_t start = reply.find_first_not_of(" \t\r\n", pos);
        if (start == std::string::npos)
            break;
        size_t end = reply.find_first_of(" \t\r\n", start);
        if (end == std::string::npos)
            end = reply.size();
        words.push_back(reply.substr(start, end - start));
        pos = end;
    }
    std::vector<BatchResult> results;
    bool open = false;
    BatchResult current;
    std::string number;
    std::string ref;
    auto close = [&] {
        if (!open)
            return;
        current.number = number;
        current.ref = ref;
        results.push_back(current);
        open = false;
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        // Only the result markers are read in any letter case; "To:" is the gateway's own spelling.
        if (word == "To:") {
            if (i + 1 < words.size())
                number = words[++i];
        } else if (word == "Ref:") {
            if (i + 1 < words.size())
                ref = words[++i];
        } else if (EqualsIgnoreCase(word, "ID:") || EqualsIgnoreCase(word, "ERR:")) {
            close();
            open = true;
            ref.clear();  // a reference belongs to the result it follows
            current = BatchResult();
            current.accepted = EqualsIgnoreCase(word, "ID:");
        } else if (open) {
            if (!current.text.empty())
                current.text += ' ';
            current.text += word;
        }
    }
    close();
    return results;
}

std::vector<size_t> BatchChunkSizes(const std::vector<std::string>& numbers) {
    std::vector<size_t> sizes;
    size_t length = 0, count = 0;
    for (size_t i = 0; i < numbers.size(); ++i) {
        length += 1 + numbers[i].size();
        ++count;
        if (ChunkIsFull(length) || i + 1 == numbers.size()) {
            sizes.push_back(count);
            length = 0;
            count = 0;
        }
    }
    return sizes;
}

// ---- the pass ----

void SendEngine::Run(int32_t id) {
    try {
        RunGuarded(id);
    } catch (...) {
        // The locks of the pass were released by unwinding.
        LogLine("CRITICAL ERROR: Catch in SendQueuedSMSs. Exception %x occurred", 0u);
        if (writer_.joinable())
            writer_.join();  // the group being written finishes; its claims wait for the next start
        if (!worker_.StopRequested())
            worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
    }
}

SendEngine::~SendEngine() {
    if (writer_.joinable())
        writer_.join();
}

void SendEngine::RunGuarded(int32_t id) {
    // A pass abandoned by a fault may have left a group being written.
    if (writer_.joinable())
        writer_.join();
    groupPending_ = false;
    MessageStore* store = worker_.Store();
    GatewayHandle gateway = worker_.Gateway();
    if (!store || !gateway)
        return;
    TrackedLock<std::recursive_mutex> workerLock(worker_.Lock());
    {
        auto guard = gateway->Guard();
        references_ = gateway->HonoursReferences();
    }
    if (references_)
        installationId_ = EnsureInstallationId();
    unreachable_ = false;
    TakeInterrupted(*store);
    SmsSelection selection;
    selection.stats = {StatusCode(MessageStatus::Pending)};
    if (id != -1)
        selection.id = id;
    std::vector<SmsRecord> rows = store->Outbox().SelectSms(selection);
    const bool anyAccepted =
        references_ ? RunGrouped(*store, *gateway, std::move(rows)) : RunDurable(*store, *gateway, rows);
    if (unreachable_)
        worker_.Sink().ShowCommunicationFailure();
    if (anyAccepted && !worker_.StopRequested())
        worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
}

void SendEngine::TakeInterrupted(MessageStore& store) {
    for (int32_t id : store.TakeInterruptedSms()) {
        SmsRecord row;
        if (!store.Outbox().GetSms(id, row) || row.Stat != StatusCode(MessageStatus::Processing))
            continue;
        if (references_) {
            store.Outbox().SetSmsStatus(id, StatusCode(MessageStatus::Pending));
            LogLine("SMS %d was being sent when the program stopped: it goes again under its client reference", id);
        } else {
            store.Outbox().SetSmsStatus(id, StatusCode(MessageStatus::Failed));
            LogLine(
                "SMS %d was being sent when the program stopped: marked Failed, since the gateway does not "
                "take client references and sending it again could send it twice",
                id);
        }
        if (!worker_.StopRequested())
            worker_.Sink().OutboxChanged(id);
    }
}

SendEngine::MessageOutcome SendEngine::Handle(GatewayApi& gateway, MessageStore& store, const SmsRecord& row,
                                              int32_t messagesLeft) {
    AfterClaim(store.SmsLock(), row.ID);
    recipients_.clear();
    accepted_.clear();
    failed_.clear();
    retry_.clear();
    MessageOutcome outcome;
    outcome.row = row;
    if (row.Delay > 0)
        outcome.deferral = static_cast<int32_t>(std::max<int64_t>(0, row.Time - worker_.Now()));
    recipients_ = ExpandRecipients(store, row.To, Settings().prefix);
    for (RecipientEntry& entry : recipients_) {
        if (references_)
            entry.ref = ReferenceFor(row, entry);
    }
    outcome.recipientCount = recipients_.size();
    if (unreachable_) {
        // The gateway did not answer the message before: this one waits for a later pass too.
        retry_ = recipients_;
    } else {
        Submit(gateway, store, row, outcome.deferral, messagesLeft);
    }
    // The lists are cleared at the next message anyway.
    outcome.accepted = std::move(accepted_);
    outcome.failed = std::move(failed_);
    outcome.retry = std::move(retry_);
    return outcome;
}

// Newest first. Each message is claimed (Processing) durably before it goes out, and its results are
// written durably afterwards; the results of one message and the claim of the next share one
// transaction, so a message costs one commit.
bool SendEngine::RunDurable(MessageStore& store, GatewayApi& gateway, const std::vector<SmsRecord>& rows) {
    bool anyAccepted = false;
    size_t next = rows.size();
    SmsRecord row;
    bool claimed = false;
    {
        GuardedTransaction transaction(*this, store);
        claimed = ClaimNext(store, rows, next, row);
    }
    while (claimed) {
        const MessageOutcome outcome = Handle(gateway, store, row, static_cast<int32_t>(next + 1));
        anyAccepted = anyAccepted || !outcome.accepted.empty();
        {
            GuardedTransaction transaction(*this, store);
            RecordResults(store, outcome, worker_.Now());
            claimed = ClaimNext(store, rows, next, row);
        }
        if (!worker_.StopRequested()) {
            worker_.Sink().OutboxChanged(outcome.row.ID);
            worker_.Notify(&MessageSink::BalanceChanged);
        }
    }
    return anyAccepted;
}

// Under client references a lost commit costs nothing but a repeated submission, which the gateway
// answers from memory; so claims and results are written in groups of at most kGroupRows results or
// kGroupTime. Each group is written on a thread of its own while the next messages go out: the
// sender mostly waits for the gateway, so the store's work costs it little time where another core
// is free. Rows are claimed (Processing, closed to editing) before they go out, a few ahead; the
// number ahead grows while groups go quickly and shrinks when the gateway is slow.
bool SendEngine::RunGrouped(MessageStore& store, GatewayApi& gateway, std::vector<SmsRecord> rows) {
    using Clock = std::chrono::steady_clock;
    passRows_ = std::move(rows);
    passNext_ = passRows_.size();
    bool anyAccepted = false;
    std::deque<SmsRecord> claimed;
    std::vector<MessageOutcome> done;
    size_t ahead = 1;  // the first message goes out alone, so a gateway that proves slow holds no other
    StartGroupWrite(store, {}, {}, ahead);
    bool writeOk = FinishGroupWrite(claimed);
    size_t unclaimed = passNext_;  // as last seen: passNext_ is the writer's while it runs
    auto groupStart = Clock::now();
    while (writeOk && !claimed.empty()) {
        SmsRecord row = std::move(claimed.front());
        claimed.pop_front();
        done.push_back(Handle(gateway, store, row, static_cast<int32_t>(unclaimed + claimed.size() + 1)));
        anyAccepted = anyAccepted || !done.back().accepted.empty();
        if (unreachable_ || worker_.StopRequested())
            break;
        const auto elapsed = Clock::now() - groupStart;
        if (claimed.size() > ahead / 2 && done.size() < kGroupRows && elapsed < kGroupTime)
            continue;
        writeOk = FinishGroupWrite(claimed);
        unclaimed = passNext_;
        if (elapsed < kGroupTime / 2)
            ahead = std::min(kGroupRows, ahead * 2);
        else if (elapsed > kGroupTime)
            ahead = std::max<size_t>(1, ahead / 2);
        if (writeOk)
            StartGroupWrite(store, std::move(done), {}, ahead > claimed.size() ? ahead - claimed.size() : 0);
        done.clear();
        groupStart = Clock::now();
        // Out of rows in hand: wait for the claims being made.
        if (writeOk && claimed.empty()) {
            writeOk = FinishGroupWrite(claimed);
            unclaimed = passNext_;
        }
    }
    if (!writeOk)
        return anyAccepted;
    // The last results; rows claimed but not sent (the pass ended early) go back to the queue.
    FinishGroupWrite(claimed);
    if (!done.empty() || !claimed.empty()) {
        StartGroupWrite(store, std::move(done), std::vector<SmsRecord>(claimed.begin(), claimed.end()), 0);
        claimed.clear();
        FinishGroupWrite(claimed);
    }
    return anyAccepted;
}

void SendEngine::StartGroupWrite(MessageStore& store, std::vector<MessageOutcome> done, std::vector<SmsRecord> released,
                                 size_t claimWanted) {
    groupWrite_ = GroupWrite();
    groupWrite_.store = &store;
    groupWrite_.done = std::move(done);
    groupWrite_.released = std::move(released);
    groupWrite_.claimWanted = worker_.StopRequested() || unreachable_ ? 0 : claimWanted;
    groupWrite_.now = worker_.Now();
    auto write = [this] {
        // A fault here rolls the group back (the transaction's guard) and is reported by the sender.
        const bool trapped = RunWithFaultGuard(
            [](void* engine) {
                auto* self = static_cast<SendEngine*>(engine);
                try {
                    self->WriteGroup(self->groupWrite_);
                } catch (...) {
                    self->groupWrite_.faulted = true;
                }
            },
            this, groupWrite_.fault);
        if (trapped)
            groupWrite_.faulted = true;
    };
    groupPending_ = true;
    try {
        writer_ = std::thread(write);
    } catch (const std::system_error&) {
        write();  // no thread to be had: the sender writes the group itself
    }
}

bool SendEngine::FinishGroupWrite(std::deque<SmsRecord>& claimed) {
    if (!groupPending_)
        return true;
    if (writer_.joinable())
        writer_.join();
    groupPending_ = false;
    GroupWrite& job = groupWrite_;
    if (job.faulted) {
        if (job.fault.record.code != 0) {
            FaultInfo info = job.fault.Info();
            WriteCrashReport(&info);
        }
        LogLine("CRITICAL ERROR: Catch in SendQueuedSMSs while writing results. Exception %x occurred",
                job.fault.record.code);
        return false;
    }
    for (SmsRecord& row : job.claimedRows)
        claimed.push_back(std::move(row));
    if (!worker_.StopRequested()) {
        for (const MessageOutcome& outcome : job.done)
            worker_.Sink().OutboxChanged(outcome.row.ID);
        if (!job.done.empty())
            worker_.Notify(&MessageSink::BalanceChanged);
    }
    job = GroupWrite();
    return true;
}

void SendEngine::WriteGroup(GroupWrite& job) {
    MessageStore& store = *job.store;
    GuardedTransaction transaction(*this, store);
    for (const MessageOutcome& outcome : job.done)
        RecordResults(store, outcome, job.now);
    if (!job.done.empty() && injectedWriteFault_ != InjectedFault::None) {
        const InjectedFault kind = injectedWriteFault_;
        injectedWriteFault_ = InjectedFault::None;
        RaiseInjectedFault(kind);
    }
    for (const SmsRecord& row : job.released)
        store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Pending));
    SmsRecord row;
    while (job.claimedRows.size() < job.claimWanted && ClaimNext(store, passRows_, passNext_, row))
        job.claimedRows.push_back(row);
}

std::string SendEngine::ReferenceFor(const SmsRecord& row, const RecipientEntry& entry) const {
    // A row made for one recipient of another row goes under that row's reference.
    std::string inherited = ReferenceOfApiText(row.ApiMsgID);
    if (!inherited.empty() && entry.position == 0)
        return inherited;
    return MakeClientReference(installationId_, row.ID, entry.position);
}

bool SendEngine::PauseBeforeRetry(int attempt) {
    const auto pause = worker_.Options().retryPause * (1 << std::min(attempt, 6));
    const auto until = std::chrono::steady_clock::now() + pause;
    while (std::chrono::steady_clock::now() < until) {
        if (worker_.StopRequested())
            return false;
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(20), until - std::chrono::steady_clock::now()));
    }
    return !worker_.StopRequested();
}

bool SendEngine::ClaimNext(MessageStore& store, const std::vector<SmsRecord>& rows, size_t& next, SmsRecord& row) {
    while (next > 0) {
        if (worker_.StopRequested())
            return false;
        --next;
        // Only a row that is still pending: the user may have opened it for editing or deleted it
        // since the selection was made.
        if (store.Outbox().GetSms(rows[next].ID, row) && row.Stat == StatusCode(MessageStatus::Pending) &&
            store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Processing)))
            return true;
    }
    return false;
}

void SendEngine::AfterClaim(std::recursive_mutex& smsLock, int32_t id) {
    if (injectedFault_ != InjectedFault::None) {
        TrackedLock<std::recursive_mutex> held(smsLock);
        InjectedFault kind = injectedFault_;
        injectedFault_ = InjectedFault::None;
        RaiseInjectedFault(kind);
    }
    if (!worker_.StopRequested())
        worker_.Sink().OutboxChanged(id);
}

SendEngine::GuardedTransaction::GuardedTransaction(SendEngine& engine, MessageStore& store) : engine_(engine) {
    engine_.transaction_.emplace(store);
    // A fault trapped inside the transaction rolls it back and releases the store's lock; the
    // transaction lives in the engine, not on the stack the jump abandons.
    HeldLocks::Push(&engine_, [](void* e) {
        auto* self = static_cast<SendEngine*>(e);
        if (self->transaction_) {
            self->transaction_->Rollback();
            self->transaction_.reset();
        }
    });
}

SendEngine::GuardedTransaction::~GuardedTransaction() {
    HeldLocks::Pop();
    engine_.transaction_.reset();  // commits
}

int32_t SendEngine::Submit(GatewayApi& gateway, MessageStore& store, const SmsRecord& row, int32_t deferralSeconds,
                           int32_t messagesLeft) {
    if (recipients_.empty())
        return 0;
    const long kindCode = GatewayKindCode(row.Type);
    const bool personalised = HasPlaceholders(kindCode, row.Msg) > 0;
    if (personalised || recipients_.size() == 1)
        return SendOneByOne(gateway, store, row, kindCode, personalised, deferralSeconds, messagesLeft);
    return SendBatch(gateway, row, kindCode, deferralSeconds, messagesLeft);
}

void SendEngine::SetProperties(GatewayApi& gateway, const SmsRecord& row, long kindCode, int32_t deferralSeconds) {
    const AppSettings& settings = Settings();
    gateway.Put_smsCONCAT(settings.SpanSMS ? kMaxSmsParts : 0);
    gateway.Put_smsMSG_TYPE(static_cast<int32_t>(kindCode));
    gateway.Put_smsFROM(row.SenderID);
    gateway.Put_smsUNICODE(row.Type == kUnicodeType);
    gateway.Put_smsDELIVERY_ACK(settings.DeliveryAcks);
    gateway.Put_smsDELIVERY_TIME(deferralSeconds / 60);
}

int32_t SendEngine::SendOneByOne(GatewayApi& gateway, MessageStore& store, const SmsRecord& row, long kindCode,
                                 bool personalised, int32_t deferralSeconds, int32_t messagesLeft) {
    int32_t acceptedCount = 0;
    std::string encodedPlain;  // the unpersonalised text, encoded once
    bool haveEncodedPlain = false;
    for (size_t k = 0; k < recipients_.size(); ++k) {
        RecipientEntry& entry = recipients_[k];
        if (unreachable_) {
            retry_.push_back(entry);
            continue;
        }
        worker_.Notify(&MessageSink::Progress, messagesLeft, static_cast<int>(recipients_.size() - k));
        // Placeholders are filled in before a Unicode text is encoded, or they would go out verbatim.
        std::string text = row.Msg;
        const bool ownText = personalised && entry.contactId != -1 && ExpandPlaceholders(store, entry.contactId, text);
        if (!ownText && haveEncodedPlain) {
            text = encodedPlain;
        } else {
            auto guard = gateway.Guard();
            text = GatewayText(gateway, row.Type, text);
            if (!ownText && row.Type == kUnicodeType) {
                encodedPlain = text;
                haveEncodedPlain = true;
            }
        }
        std::string reply;
        SubmitOutcome outcome = SubmitOutcome::Accepted;
        if (references_) {
            outcome = SendWithReference(gateway, row, kindCode, deferralSeconds, text, entry, reply);
        } else {
            int32_t error = 0;
            {
                auto guard = gateway.Guard();
                SetProperties(gateway, row, kindCode, deferralSeconds);
                error = ReadError(gateway, gateway.SendMsg(true, text, entry.number, reply));
            }
            if (error == kGatewayUnreachable)
                worker_.Sink().ShowCommunicationFailure();
            outcome = error == 0 ? SubmitOutcome::Accepted : SubmitOutcome::Refused;
        }
        if (outcome == SubmitOutcome::Accepted) {
            entry.apiId = ApiIdText("," + reply);
            accepted_.push_back(entry);
            ++acceptedCount;
            LogLine(personalised ? "ComplexSMS sent ok: Mobile:%s Msg:%s API_ID:%s"
                                 : "SMS sent ok: Mobile:%s Msg:%s API_ID:%s",
                    entry.number.c_str(), text.c_str(), reply.c_str());
        } else if (outcome == SubmitOutcome::Refused) {
            LogLine(
                personalised ? "ComplexSMS failed: Error:%s Mobile:%s Msg:%s" : "SMS failed: Error:%s Mobile:%s Msg:%s",
                reply.c_str(), entry.number.c_str(), text.c_str());
            entry.reason = ReasonText(reply);
            failed_.push_back(entry);
        } else {
            LogLine("SMS outcome unknown, to be sent again under its reference: Error:%s Mobile:%s Ref:%s",
                    reply.c_str(), entry.number.c_str(), entry.ref.c_str());
            retry_.push_back(entry);
        }
    }
    return acceptedCount;
}

SubmitOutcome SendEngine::SendWithReference(GatewayApi& gateway, const SmsRecord& row, long kindCode, int32_t deferral,
                                            const std::string& text, RecipientEntry& entry, std::string& reply) {
    const int attempts = std::max(1, worker_.Options().submitAttempts);
    for (int attempt = 0; attempt < attempts; ++attempt) {
        int32_t error = 0;
        reply.clear();
        {
            auto guard = gateway.Guard();
            SetProperties(gateway, row, kindCode, deferral);
            gateway.Put_smsCLIENT_REF(entry.ref);
            error = ReadError(gateway, gateway.SendMsg(true, text, entry.number, reply));
        }
        SubmitOutcome outcome = ClassifyError(error);
        const std::string echoed = EchoedReference(reply);
        // An answer is ours only when it names our reference (a refusal made before the reference
        // was read may name none).
        if (outcome == SubmitOutcome::Accepted && echoed == entry.ref)
            return outcome;
        if (outcome == SubmitOutcome::Refused && (echoed.empty() || echoed == entry.ref))
            return outcome;
        if (outcome != SubmitOutcome::Unknown)
            LogLine("SMS reply names another reference: Ref:%s Reply:%s", entry.ref.c_str(), reply.c_str());
        if (attempt + 1 == attempts || !PauseBeforeRetry(attempt))
            break;
    }
    if (!worker_.StopRequested())
        unreachable_ = true;
    return SubmitOutcome::Unknown;
}

int32_t SendEngine::SendBatch(GatewayApi& gateway, const SmsRecord& row, long kindCode, int32_t deferralSeconds,
                              int32_t messagesLeft) {
    std::string text = row.Msg;
    std::string reply;
    int32_t error = 0;
    const int attempts = references_ ? std::max(1, worker_.Options().submitAttempts) : 1;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        {
            auto guard = gateway.Guard();
            SetProperties(gateway, row, kindCode, deferralSeconds);
            text = GatewayText(gateway, row.Type, row.Msg);
            error = ReadError(gateway, gateway.StartBatch(text, reply));
        }
        // Opening a batch sends nothing, so it may always be tried again.
        if (ClassifyError(error) != SubmitOutcome::Unknown || attempt + 1 == attempts || !PauseBeforeRetry(attempt))
            break;
    }
    if (error != 0) {
        if (error == kGatewayUnreachable && !references_)
            worker_.Sink().ShowCommunicationFailure();
        LogLine("SMS Batch start failed: Error:%s Msg:%s", reply.c_str(), text.c_str());
        if (references_ && ClassifyError(error) == SubmitOutcome::Unknown) {
            retry_ = recipients_;
            if (!worker_.StopRequested())
                unreachable_ = true;
        }
        return 0;
    }
    LogLine("SMS batch started ok: Msg:%s API_ID:%s", text.c_str(), reply.c_str());

    int32_t acceptedCount = 0;
    std::string buffer;
    size_t chunkStart = 0;
    for (size_t k = 0; k < recipients_.size(); ++k) {
        buffer += ',';
        buffer += recipients_[k].number;
        if (!ChunkIsFull(buffer.size()) && k + 1 < recipients_.size())
            continue;
        const size_t chunkEnd = k + 1;
        if (worker_.StopRequested() || unreachable_) {
            for (size_t j = chunkStart; j < chunkEnd; ++j)
                retry_.push_back(recipients_[j]);
        } else if (references_) {
            worker_.Notify(&MessageSink::Progress, messagesLeft, static_cast<int>(recipients_.size() - chunkStart));
            std::vector<size_t> chunk;
            for (size_t j = chunkStart; j < chunkEnd; ++j)
                chunk.push_back(j);
            acceptedCount += SendChunkWithReferences(gateway, chunk);
        } else {
            worker_.Notify(&MessageSink::Progress, messagesLeft, static_cast<int>(recipients_.size() - chunkStart));
            acceptedCount += SendChunkWithoutReferences(gateway, buffer.substr(1), chunkStart, chunkEnd);
        }
        buffer.clear();
        chunkStart = chunkEnd;
    }

    if (acceptedCount > 0) {
        std::string endReply;
        int32_t endError = 0;
        {
            auto guard = gateway.Guard();
            endError = ReadError(gateway, gateway.EndBatch(endReply));
        }
        if (endError == 0) {
            LogLine("EndBatch SMS ok");
        } else {
            LogLine("EndBatch failed: Error:%s", endReply.c_str());
        }
    }
    return acceptedCount;
}

int32_t SendEngine::SendChunkWithoutReferences(GatewayApi& gateway, const std::string& numbers, size_t chunkStart,
                                               size_t chunkEnd) {
    int32_t acceptedCount = 0;
    std::vector<bool> recorded(chunkEnd - chunkStart, false);
    std::string chunkReply;
    int32_t chunkError = 0;
    {
        auto guard = gateway.Guard();
        chunkError = ReadError(gateway, gateway.QuickBatchSend(numbers, chunkReply));
    }
    for (const BatchResult& result : ParseBatchReply(chunkReply)) {
        // The first entry of this chunk with that number that has no result yet.
        for (size_t j = chunkStart; j < chunkEnd; ++j) {
            if (recorded[j - chunkStart] || recipients_[j].number != result.number)
                continue;
            recorded[j - chunkStart] = true;
            if (result.accepted) {
                recipients_[j].apiId = ApiIdText(",ID: " + result.text);
                accepted_.push_back(recipients_[j]);
                ++acceptedCount;
            } else {
                recipients_[j].reason = ReasonText("ERR: " + result.text);
                failed_.push_back(recipients_[j]);
            }
            break;
        }
    }
    // Without references a recipient the reply did not name cannot safely go again: it
    // ends Failed, visibly, rather than without a row.
    for (size_t j = chunkStart; j < chunkEnd; ++j) {
        if (recorded[j - chunkStart])
            continue;
        recipients_[j].reason = ReasonText(chunkError != 0 ? chunkReply : "no result for this number");
        failed_.push_back(recipients_[j]);
    }
    return acceptedCount;
}

int32_t SendEngine::SendChunkWithReferences(GatewayApi& gateway, const std::vector<size_t>& chunk) {
    int32_t acceptedCount = 0;
    std::vector<size_t> waiting = chunk;
    const int attempts = std::max(1, worker_.Options().submitAttempts);
    for (int attempt = 0; attempt < attempts && !waiting.empty(); ++attempt) {
        if (attempt > 0 && !PauseBeforeRetry(attempt - 1))
            break;
        std::string numbers, refs, reply;
        for (size_t j : waiting) {
            numbers += (numbers.empty() ? "" : ",") + recipients_[j].number;
            refs += (refs.empty() ? "" : ",") + recipients_[j].ref;
        }
        int32_t error = 0;
        {
            auto guard = gateway.Guard();
            gateway.Put_smsCLIENT_REF(refs);
            error = ReadError(gateway, gateway.QuickBatchSend(numbers, reply));
        }
        const SubmitOutcome outcome = ClassifyError(error);
        if (outcome == SubmitOutcome::Unknown)
            continue;
        if (outcome == SubmitOutcome::Refused) {
            // The request as a whole was refused: nothing of it was sent.
            for (size_t j : waiting) {
                recipients_[j].reason = ReasonText(reply);
                failed_.push_back(recipients_[j]);
            }
            waiting.clear();
            break;
        }
        const std::vector<BatchResult> results = ParseBatchReply(reply);
        std::vector<size_t> still;
        for (size_t j : waiting) {
            RecipientEntry& entry = recipients_[j];
            // A recipient's result must be named once, under its reference and its number; anything
            // else (a result echoed for another row, a recipient named twice) is no answer, and the
            // reference is asked again.
            const BatchResult* found = nullptr;
            int named = 0;
            for (const BatchResult& result : results) {
                if (result.ref == entry.ref) {
                    found = &result;
                    ++named;
                }
            }
            if (named != 1 || found->number != entry.number) {
                if (named > 0)
                    LogLine("SMS batch reply unclear for Ref:%s (named %d times)", entry.ref.c_str(), named);
                still.push_back(j);
            } else if (found->accepted) {
                entry.apiId = ApiIdText(",ID: " + found->text);
                accepted_.push_back(entry);
                ++acceptedCount;
            } else {
                entry.reason = ReasonText("ERR: " + found->text);
                failed_.push_back(entry);
            }
        }
        waiting = std::move(still);
    }
    for (size_t j : waiting)
        retry_.push_back(recipients_[j]);
    if (!waiting.empty() && !worker_.StopRequested())
        unreachable_ = true;
    return acceptedCount;
}

void SendEngine::RecordResults(MessageStore& store, const MessageOutcome& outcome, int64_t now) {
    const SmsRecord& row = outcome.row;
    const int32_t due = ClampTime(now + kFirstQueryInterval);
    OutboxStore& outbox = store.Outbox();
    if (outcome.recipientCount >= 2) {
        if (outcome.accepted.empty() && outcome.failed.empty()) {
            if (outcome.retry.empty()) {
                // Nothing came back for any recipient: an Expanded row without children would hide
                // the message for good.
                outbox.SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
                return;
            }
            if (references_) {
                // Nothing is known of any recipient: the whole message goes again, under the same
                // references.
                outbox.SetSmsStatus(row.ID, StatusCode(MessageStatus::Pending));
                return;
            }
        }
        outbox.SetSmsStatus(row.ID, StatusCode(MessageStatus::Expanded));
        for (const RecipientEntry& entry : outcome.accepted) {
            int32_t child = outbox.CopySmsForRecipient(row.ID, StatusCode(MessageStatus::Unknown), entry.token);
            if (child < 0)
                continue;
            outbox.SetSmsApiMsgID(child, entry.apiId);
            outbox.SetSmsQuerySchedule(child, kFirstQueryInterval, due);
        }
        for (const RecipientEntry& entry : outcome.failed) {
            int32_t child = outbox.CopySmsForRecipient(row.ID, StatusCode(MessageStatus::Failed), entry.token);
            if (child > 0 && !entry.reason.empty())
                outbox.SetSmsApiMsgID(child, "," + entry.reason);
        }
        for (const RecipientEntry& entry : outcome.retry) {
            int32_t child = outbox.CopySmsForRecipient(row.ID, StatusCode(MessageStatus::Pending), entry.token);
            // The child goes under the reference its recipient had in the parent.
            if (child > 0 && !entry.ref.empty())
                outbox.SetSmsApiMsgID(child, ReferenceApiText(entry.ref));
        }
    } else if (outcome.recipientCount == 1) {
        if (!outcome.accepted.empty()) {
            // One write for the whole result: the row is ours (Processing) since the claim.
            SmsRecord sent = row;
            sent.Stat = StatusCode(outcome.deferral > 0 ? MessageStatus::ScheduledOnServer : MessageStatus::Unknown);
            sent.ApiMsgID = outcome.accepted.front().apiId;
            sent.QueryTime = kFirstQueryInterval;
            sent.StatQryTm = due;
            outbox.PutSms(sent);
        } else if (!outcome.failed.empty()) {
            outbox.SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
            if (!outcome.failed.front().reason.empty())
                outbox.SetSmsApiMsgID(row.ID, "," + outcome.failed.front().reason);
        } else if (!outcome.retry.empty()) {
            outbox.SetSmsStatus(row.ID, StatusCode(MessageStatus::Pending));
        } else {
            outbox.SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
        }
    } else {
        outbox.SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
    }
}

void TestSeams::InjectFault(SendEngine& engine, InjectedFault kind) {
    engine.injectedFault_ = kind;
}

void TestSeams::InjectWriteFault(SendEngine& engine, InjectedFault kind) {
    engine.injectedWriteFault_ = kind;
}

}  // namespace quillon
