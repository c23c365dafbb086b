#include "gateway/SendEngine.h"

#include "core/SmsEncoding.h"

#include <algorithm>
#include <exception>

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
    for (const RecipientListEntry& item : ParseRecipientList(to)) {
        // An entry that starts like a contact without being one names nobody.
        if (item.text.empty() || item.LooksLikeContact())
            continue;
        RecipientEntry entry;
        entry.token = item.text;
        if (item.IsContact()) {
            std::optional<std::string> mobile = store.Book().GetContactMobile(*item.contactId, kMaxNumberBytes);
            if (!mobile)
                continue;
            entry.contactId = *item.contactId;
            entry.number = *mobile;
        } else {
            entry.number = item.text.substr(0, kMaxNumberBytes);
        }
        entry.number = ApplyNumberPrefix(entry.number, prefix);
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
    auto close = [&] {
        if (!open)
            return;
        current.number = number;
        results.push_back(current);
        open = false;
    };
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        // Only the result markers are read in any letter case; "To:" is the gateway's own spelling.
        if (word == "To:") {
            if (i + 1 < words.size())
                number = words[++i];
        } else if (EqualsIgnoreCase(word, "ID:") || EqualsIgnoreCase(word, "ERR:")) {
            close();
            open = true;
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
        if (!worker_.StopRequested())
            worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
    }
}

void SendEngine::RunGuarded(int32_t id) {
    MessageStore* store = worker_.Store();
    GatewayHandle gateway = worker_.Gateway();
    if (!store || !gateway)
        return;
    TrackedLock<std::recursive_mutex> workerLock(worker_.Lock());
    SmsSelection selection;
    selection.stats = {StatusCode(MessageStatus::Pending)};
    if (id != -1)
        selection.id = id;
    std::vector<SmsRecord> rows = store->Outbox().SelectSms(selection);
    bool anyAccepted = false;

    // Newest first. Each message is claimed (Processing) durably before it goes out, and its
    // results are written durably afterwards; the results of one message and the claim of the
    // next share one transaction, so a message costs one commit.
    size_t next = rows.size();
    SmsRecord row;
    bool claimed = false;
    {
        GuardedTransaction transaction(*this, *store);
        claimed = ClaimNext(*store, rows, next, row);
    }
    while (claimed) {
        const int32_t messagesLeft = static_cast<int32_t>(next + 1);
        AfterClaim(store->SmsLock(), row.ID);
        recipients_.clear();
        accepted_.clear();
        failed_.clear();
        retry_.clear();
        int32_t deferral = 0;
        if (row.Delay > 0)
            deferral = static_cast<int32_t>(std::max<int64_t>(0, row.Time - worker_.Now()));
        recipients_ = ExpandRecipients(*store, row.To, Settings().prefix);
        const size_t recipientCount = recipients_.size();
        if (Submit(*gateway, *store, row, deferral, messagesLeft) > 0)
            anyAccepted = true;

        const int32_t done = row.ID;
        {
            GuardedTransaction transaction(*this, *store);
            RecordResults(*store, row, recipientCount, deferral, worker_.Now());
            claimed = ClaimNext(*store, rows, next, row);
        }
        if (!worker_.StopRequested()) {
            worker_.Sink().OutboxChanged(done);
            worker_.Notify(&MessageSink::BalanceChanged);
        }
    }
    if (anyAccepted && !worker_.StopRequested())
        worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
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
        worker_.Notify(&MessageSink::Progress, messagesLeft, static_cast<int>(recipients_.size() - k));
        // Placeholders are filled in before a Unicode text is encoded, or they would go out verbatim.
        std::string text = row.Msg;
        const bool ownText = personalised && entry.contactId != -1 && ExpandPlaceholders(store, entry.contactId, text);
        std::string reply;
        int32_t error = 0;
        {
            auto guard = gateway.Guard();
            SetProperties(gateway, row, kindCode, deferralSeconds);
            if (!ownText && haveEncodedPlain) {
                text = encodedPlain;
            } else {
                text = GatewayText(gateway, row.Type, text);
                if (!ownText && row.Type == kUnicodeType) {
                    encodedPlain = text;
                    haveEncodedPlain = true;
                }
            }
            error = ReadError(gateway, gateway.SendMsg(true, text, entry.number, reply));
        }
        if (error == 0) {
            entry.apiId = ApiIdText("," + reply);
            accepted_.push_back(entry);
            ++acceptedCount;
            LogLine(personalised ? "ComplexSMS sent ok: Mobile:%s Msg:%s API_ID:%s"
                                 : "SMS sent ok: Mobile:%s Msg:%s API_ID:%s",
                    entry.number.c_str(), text.c_str(), reply.c_str());
        } else {
            if (error == kGatewayUnreachable)
                worker_.Sink().ShowCommunicationFailure();
            LogLine(
                personalised ? "ComplexSMS failed: Error:%s Mobile:%s Msg:%s" : "SMS failed: Error:%s Mobile:%s Msg:%s",
                reply.c_str(), entry.number.c_str(), text.c_str());
            failed_.push_back(entry);
        }
    }
    return acceptedCount;
}

int32_t SendEngine::SendBatch(GatewayApi& gateway, const SmsRecord& row, long kindCode, int32_t deferralSeconds,
                              int32_t messagesLeft) {
    std::string text = row.Msg;
    std::string reply;
    int32_t error = 0;
    {
        auto guard = gateway.Guard();
        SetProperties(gateway, row, kindCode, deferralSeconds);
        text = GatewayText(gateway, row.Type, text);
        error = ReadError(gateway, gateway.StartBatch(text, reply));
    }
    if (error != 0) {
        if (error == kGatewayUnreachable)
            worker_.Sink().ShowCommunicationFailure();
        LogLine("SMS Batch start failed: Error:%s Msg:%s", reply.c_str(), text.c_str());
        return 0;
    }
    LogLine("SMS batch started ok: Msg:%s API_ID:%s", text.c_str(), reply.c_str());

    int32_t acceptedCount = 0;
    std::vector<bool> recorded(recipients_.size(), false);
    std::string buffer;
    size_t chunkStart = 0;
    for (size_t k = 0; k < recipients_.size(); ++k) {
        buffer += ',';
        buffer += recipients_[k].number;
        if (!ChunkIsFull(buffer.size()) && k + 1 < recipients_.size())
            continue;
        const size_t chunkEnd = k + 1;
        if (worker_.StopRequested()) {
            for (size_t j = chunkStart; j < chunkEnd; ++j) {
                retry_.push_back(recipients_[j]);
                recorded[j] = true;
            }
        } else {
            worker_.Notify(&MessageSink::Progress, messagesLeft, static_cast<int>(recipients_.size() - chunkStart));
            std::string chunkReply;
            {
                auto guard = gateway.Guard();
                ReadError(gateway, gateway.QuickBatchSend(buffer.substr(1), chunkReply));
            }
            for (const BatchResult& result : ParseBatchReply(chunkReply)) {
                // The first entry of this chunk with that number that has no result yet.
                for (size_t j = chunkStart; j < chunkEnd; ++j) {
                    if (recorded[j] || recipients_[j].number != result.number)
                        continue;
                    recorded[j] = true;
                    if (result.accepted) {
                        recipients_[j].apiId = ApiIdText(",ID: " + result.text);
                        accepted_.push_back(recipients_[j]);
                        ++acceptedCount;
                    } else {
                        failed_.push_back(recipients_[j]);
                    }
                    break;
                }
            }
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

void SendEngine::RecordResults(MessageStore& store, const SmsRecord& row, size_t recipientCount,
                               int32_t deferralSeconds, int64_t now) {
    const int32_t due = ClampTime(now + kFirstQueryInterval);
    if (recipientCount >= 2) {
        if (accepted_.empty() && failed_.empty() && retry_.empty()) {
            // Nothing came back for any recipient (the batch did not start, or its replies named
            // nobody): an Expanded row without children would hide the message for good.
            store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
            return;
        }
        store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Expanded));
        for (const RecipientEntry& entry : accepted_) {
            int32_t child = store.Outbox().CopySmsForRecipient(row.ID, StatusCode(MessageStatus::Unknown), entry.token);
            if (child < 0)
                continue;
            store.Outbox().SetSmsApiMsgID(child, entry.apiId);
            store.Outbox().SetSmsQuerySchedule(child, kFirstQueryInterval, due);
        }
        for (const RecipientEntry& entry : failed_)
            store.Outbox().CopySmsForRecipient(row.ID, StatusCode(MessageStatus::Failed), entry.token);
        for (const RecipientEntry& entry : retry_)
            store.Outbox().CopySmsForRecipient(row.ID, StatusCode(MessageStatus::Pending), entry.token);
    } else if (recipientCount == 1) {
        if (!accepted_.empty()) {
            store.Outbox().SetSmsStatus(
                row.ID, StatusCode(deferralSeconds > 0 ? MessageStatus::ScheduledOnServer : MessageStatus::Unknown));
            store.Outbox().SetSmsApiMsgID(row.ID, accepted_.front().apiId);
            store.Outbox().SetSmsQuerySchedule(row.ID, kFirstQueryInterval, due);
        } else if (!failed_.empty()) {
            store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
        } else if (!retry_.empty()) {
            store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Pending));
        } else {
            store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
        }
    } else {
        store.Outbox().SetSmsStatus(row.ID, StatusCode(MessageStatus::Failed));
    }
}

void TestSeams::InjectFault(SendEngine& engine, InjectedFault kind) {
    engine.injectedFault_ = kind;
}

}  // namespace quillon
