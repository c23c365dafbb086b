// The status query engine (QueryMessageStatus): asks the gateway for the delivery state and charge
// of handed-over messages on a falling schedule and writes the answers into the outbox. Runs on the
// worker thread under the worker lock.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "store/SmsRecord.h"

namespace quillon {

class CommsWorker;
class GatewayApi;
class MessageStore;

// One gateway identifier of a row's ApiMsgID: ",ID: <identifier>[|number]".
struct ApiIdentifier {
    std::string id;      // the identifier itself (what follows "ID: ")
    std::string number;  // the recipient's number after "|"; "" when none
    std::string piece;   // the whole entry as it stands in ApiMsgID, without its leading comma
};

// Splits ApiMsgID: the first character (the leading comma) is skipped, the rest is cut at each
// further comma; pieces that do not begin with "ID: " are left out.
std::vector<ApiIdentifier> SplitApiMsgID(const std::string& apiMsgId);

// The polling interval after a poll at `current`: 60 -> 300 -> 1800 -> 2700 -> 3600 -> 0; any other
// value -> 0.
int32_t NextQueryInterval(int32_t current);

// The MessageStatus for a gateway status code; -1 when the code leaves Stat unchanged.
int32_t StatusOfGatewayCode(long code);

// Reads a GetMsgCharge reply (any letter case): the code after "status:" and the charge after
// "charge:". `answered` is false when the reply holds no "status:".
struct ChargeReply {
    bool valid = false;  // the query itself worked (smsERROR 0)
    bool answered = false;
    long code = 0;
    bool hasCharge = false;
    std::string charge;
};
ChargeReply ParseChargeReply(const std::string& reply);

class StatusQueryEngine {
public:
    explicit StatusQueryEngine(CommsWorker& worker) : worker_(worker) {}

    // QueryMessageStatus for one message ID (whatever its schedule; the schedule stays), or -1 for
    // every row that is due.
    void Run(int32_t id);

    // The polled statuses in the order they are visited.
    static const std::vector<int32_t>& PolledStatuses();

private:
    // What the gateway said about one row's identifiers, kept until the block is written.
    struct RowAnswers {
        SmsRecord row;
        std::vector<ApiIdentifier> identifiers;
        std::vector<ChargeReply> replies;  // one per identifier
        int32_t queryTime = 0;             // the schedule the row (and any row split off) gets
        int32_t statQryTm = 0;
        bool moveSchedule = false;
    };
    static constexpr size_t kBlockRows = 64;
    static constexpr std::chrono::milliseconds kBlockTime{200};

    void RunGuarded(int32_t id);
    // Queries every identifier of a row; returns the number of answered queries.
    int32_t Ask(GatewayApi& gateway, RowAnswers& answers);
    // Writes a block of answers in one transaction: states, charges, split-off rows, schedules.
    void Write(MessageStore& store, const std::vector<RowAnswers>& block);

    CommsWorker& worker_;
};

}  // namespace quillon
