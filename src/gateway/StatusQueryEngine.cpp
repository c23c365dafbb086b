#include "gateway/StatusQueryEngine.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>

#include "core/AppLog.h"
#include "core/CrashReport.h"
#include "core/TextUtil.h"
#include "core/TimeUtil.h"
#include "gateway/CommsWorker.h"
#include "gateway/GatewayApi.h"
#include "gateway/Session.h"
#include "store/MessageStore.h"

namespace quillon {

namespace {

// The text that starts `offset` characters after the start of `marker` in `lower`; npos when absent.
size_t FieldStart(const std::string& lower, const char* marker) {
    size_t at = lower.find(marker);
    if (at == std::string::npos)
        return std::string::npos;
    return std::min(at + 8, lower.size());
}

}  // namespace

std::vector<ApiIdentifier> SplitApiMsgID(const std::string& apiMsgId) {
    std::vector<ApiIdentifier> identifiers;
    if (apiMsgId.size() < 2)
        return identifiers;
    size_t pos = 1;
    while (pos <= apiMsgId.size()) {
        size_t comma = apiMsgId.find(',', pos);
        if (comma == std::string::npos)
            comma = apiMsgId.size();
        std::string piece = apiMsgId.substr(pos, comma - pos);
        pos = comma + 1;
        if (piece.compare(0, 4, "ID: ") != 0)
            continue;
        ApiIdentifier identifier;
        identifier.piece = piece;
        std::string rest = piece.substr(4);
        size_t bar = rest.find('|');
        identifier.id = rest.substr(0, bar);
        if (bar != std::string::npos)
            identifier.number = rest.substr(bar + 1);
        identifiers.push_back(std::move(identifier));
    }
    return identifiers;
}

int32_t NextQueryInterval(int32_t current) {
    switch (current) {
        case 60:
            return 300;
        case 300:
            return 1800;
        case 1800:
            return 2700;
        case 2700:
            return 3600;
        default:
            return 0;
    }
}

int32_t StatusOfGatewayCode(long code) {
    switch (code) {
        case 1:
            return StatusCode(MessageStatus::Unknown);
        case 2:
            return StatusCode(MessageStatus::Queued);
        case 3:
            return StatusCode(MessageStatus::DeliveredToGateway);
        case 4:
            return StatusCode(MessageStatus::Delivered);
        case 5:
            return StatusCode(MessageStatus::ErrorWithMessage);
        case 6:
            return StatusCode(MessageStatus::Cancelled);
        case 7:
            return StatusCode(MessageStatus::DeliveryError);
        case 9:
            return StatusCode(MessageStatus::RoutingError);
        case 10:
            return StatusCode(MessageStatus::MessageExpired);
        case 11:
            return StatusCode(MessageStatus::ScheduledOnServer);
        default:
            return -1;
    }
}

ChargeReply ParseChargeReply(const std::string& reply) {
    const std::string lower = AsciiLower(reply);
    ChargeReply result;
    size_t status = FieldStart(lower, "status:");
    if (status != std::string::npos) {
        result.answered = true;
        result.code = std::strtol(lower.c_str() + status, nullptr, 10);
    }
    size_t charge = FieldStart(lower, "charge:");
    if (charge != std::string::npos) {
        // One separator after the colon is skipped by the offset; any further blanks go here.
        size_t start = lower.find_first_not_of(' ', charge);
        if (start == std::string::npos)
            start = lower.size();
        size_t end = lower.find_first_of(" \t\r\n", start);
        if (end == std::string::npos)
            end = lower.size();
        result.hasCharge = true;
        result.charge = lower.substr(start, end - start);
    }
    return result;
}

const std::vector<int32_t>& StatusQueryEngine::PolledStatuses() {
    static const std::vector<int32_t> statuses = {StatusCode(MessageStatus::Unknown), StatusCode(MessageStatus::Queued),
                                                  StatusCode(MessageStatus::DeliveredToGateway),
                                                  StatusCode(MessageStatus::ScheduledOnServer),
                                                  StatusCode(MessageStatus::Sent)};
    return statuses;
}

void StatusQueryEngine::Run(int32_t id) {
    worker_.Notify(&MessageSink::PhaseBegan, WorkerPhase::Querying);
    if (!IsOnLine())
        return;
    try {
        RunGuarded(id);
    } catch (...) {
        LogLine("CRITICAL ERROR: Catch in QueryMessageStatus.");
        if (!worker_.StopRequested())
            worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
    }
}

void StatusQueryEngine::RunGuarded(int32_t id) {
    MessageStore* store = worker_.Store();
    GatewayHandle gateway = worker_.Gateway();
    if (!store || !gateway)
        return;
    TrackedLock<std::recursive_mutex> workerLock(worker_.Lock());
    for (int32_t stat : PolledStatuses()) {
        if (worker_.StopRequested())
            break;
        const int64_t now = worker_.Now();
        SmsSelection selection;
        selection.stats = {stat};
        if (id == -1) {
            // A row whose schedule has run down is no longer polled, but a query for its ID still
            // asks: the user may want the state of a message stuck on the way.
            selection.minQueryTime = 1;
            selection.maxQueryTime = INT32_MAX;
            selection.minStatQryTm = 0;
            selection.maxStatQryTm = ClampTime(now);
        } else {
            selection.id = id;
        }
        std::vector<SmsRecord> rows = store->Outbox().SelectSms(selection);
        int32_t answered = 0;
        // Answers are written in blocks, one commit each, never holding the store's lock across a
        // gateway call. A block lost to a crash only means those rows are asked again.
        std::vector<RowAnswers> block;
        auto blockStart = std::chrono::steady_clock::now();
        for (size_t i = rows.size(); i-- > 0;) {
            if (worker_.StopRequested())
                break;
            const SmsRecord& row = rows[i];
            worker_.Notify(&MessageSink::Progress, static_cast<int>(i + 1), 0);
            RowAnswers answers;
            answers.row = row;
            // Only a poll for all due rows moves the schedule; rows split off during this query
            // inherit the schedule the row itself ends up with.
            const int32_t next = NextQueryInterval(row.QueryTime);
            answers.queryTime = id == -1 ? next : row.QueryTime;
            answers.statQryTm = id == -1 ? ClampTime(now + next) : row.StatQryTm;
            answers.moveSchedule = id == -1;
            answered += Ask(*gateway, answers);
            if (block.empty())
                blockStart = std::chrono::steady_clock::now();
            block.push_back(std::move(answers));
            if (block.size() >= kBlockRows || std::chrono::steady_clock::now() - blockStart >= kBlockTime) {
                Write(*store, block);
                block.clear();
            }
        }
        Write(*store, block);
        if (answered > 0 && !worker_.StopRequested())
            worker_.Sink().OutboxChanged(kRefreshWholeOutbox);
    }
}

int32_t StatusQueryEngine::Ask(GatewayApi& gateway, RowAnswers& answers) {
    int32_t answered = 0;
    answers.identifiers = SplitApiMsgID(answers.row.ApiMsgID);
    answers.replies.resize(answers.identifiers.size());
    for (size_t j = 0; j < answers.identifiers.size(); ++j) {
        std::string reply;
        int32_t error = -1;
        {
            auto guard = gateway.Guard();
            if (gateway.GetMsgCharge(true, answers.identifiers[j].id, reply) >= 0) {
                int32_t code = 0;
                if (gateway.Get_smsERROR(code) >= 0)
                    error = code;
            }
        }
        // A non-zero error leaves this identifier untouched.
        if (error != 0)
            continue;
        answers.replies[j] = ParseChargeReply(reply);
        answers.replies[j].valid = true;
        if (answers.replies[j].answered)
            ++answered;
    }
    return answered;
}

void StatusQueryEngine::Write(MessageStore& store, const std::vector<RowAnswers>& block) {
    if (block.empty())
        return;
    StoreTransaction transaction(store);
    for (const RowAnswers& answers : block) {
        const int32_t rowId = answers.row.ID;
        for (size_t j = 0; j < answers.identifiers.size(); ++j) {
            const ChargeReply& parsed = answers.replies[j];
            if (!parsed.valid)
                continue;
            int32_t target = rowId;
            if (j > 0) {
                // Every further identifier is split off into a copy of the row.
                SmsRecord source;
                if (!store.Outbox().GetSms(rowId, source))
                    continue;
                target = store.Outbox().CopySms(rowId, false, 0);
                if (target < 0)
                    continue;
                const std::string text = "," + answers.identifiers[j].piece;
                store.Outbox().SetSmsApiMsgID(target, text);
                size_t at = source.ApiMsgID.find(text);
                if (at != std::string::npos) {
                    source.ApiMsgID.erase(at, text.size());
                    store.Outbox().SetSmsApiMsgID(rowId, source.ApiMsgID);
                }
                // A copy starts without a schedule; without one it would never be polled again.
                store.Outbox().SetSmsQuerySchedule(target, answers.queryTime, answers.statQryTm);
            }
            const int32_t stat = parsed.answered ? StatusOfGatewayCode(parsed.code) : -1;
            if (stat >= 0 && parsed.hasCharge) {
                store.Outbox().SetSmsStatusAndCharge(target, stat, parsed.charge);
            } else if (stat >= 0) {
                store.Outbox().SetSmsStatus(target, stat);
            } else if (parsed.hasCharge) {
                store.Outbox().SetSmsCharge(target, parsed.charge);
            }
        }
        if (answers.moveSchedule)
            store.Outbox().SetSmsQuerySchedule(rowId, answers.queryTime, answers.statQryTm);
    }
}

}  // namespace quillon
