// The outbox rows of the store (the SMS table) and its id counter. Each operation is one
// transaction over the shared database; see StoreDatabase for durability and locking.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/SmsRecord.h"
#include "store/StoreDatabase.h"

namespace quillon {

class AddressBook;

// Which SMS rows SelectSms returns; unset members do not filter. Rows come back in ID order.
struct SmsSelection {
    std::vector<int32_t> stats;  // Stat is one of these (empty: any)
    std::optional<int32_t> id;   // ID equals
    std::optional<int32_t> minQueryTime, maxQueryTime;
    std::optional<int32_t> minStatQryTm, maxStatQryTm;
    std::optional<int32_t> minTime, maxTime;
};

class OutboxStore {
public:
    // The book names the contacts of a recipient list.
    OutboxStore(StoreDatabase& db, AddressBook& book) : db_(db), book_(book) {}
    OutboxStore(const OutboxStore&) = delete;
    OutboxStore& operator=(const OutboxStore&) = delete;

    // Returns the next SMS id and advances the counter.
    int32_t AllocateSmsId();

    // Adds a row and returns its ID (0 when the store cannot write). refId 0: RefID = the new ID;
    // time 0: now.
    int32_t AddSms(int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                   const std::string& msg, const std::string& senderId, int32_t delay, const std::string& charge);
    // Sets Stat; false (and a log line) when no row has that id.
    bool SetSmsStatus(int32_t id, int32_t stat);
    // Rewrites an edited message: back to DelayScheduled when it was DelayScheduled or
    // ScheduledOnServer, else Pending; Type, To, ToInfo, Msg.
    void UpdateSms(int32_t id, int32_t type, const std::string& to, const std::string& msg);
    void RestoreEditedSms();    // every row in Editing gets its SavedStat back
    void FailInterruptedSms();  // every row in Processing becomes Failed
    // A copy with a fresh ID and the current time; keeps RefID, Charge, Delay. -1 for an unknown id.
    int32_t CopySms(int32_t id, bool overrideStat, int32_t stat);
    // A child row for one recipient of a multi-recipient row; -1 for an unknown id.
    int32_t CopySmsForRecipient(int32_t id, int32_t stat, const std::string& to);
    void DeleteSms(int32_t id);
    // Puts a deleted row back as it was, under its own ID (undo of a delete). False when a row
    // with that ID exists or the store cannot write.
    bool RestoreSms(const SmsRecord& record);
    // Rows waiting to be sent (kWaitingStatuses).
    int32_t CountOutbox();
    // The stored ToInfo of a recipient list: up to three entries (contacts by name), " ..." when
    // more, cut to 127 bytes on a whole UTF-8 character.
    std::string BuildToInfo(const std::string& to);

    // Direct row access for the engines and the outbox. Each call is atomic on its own; hold
    // SmsLock() across calls that must see one state.
    bool GetSms(int32_t id, SmsRecord& record);
    std::vector<SmsRecord> LoadAllSms();  // ID order
    std::vector<SmsRecord> SelectSms(const SmsSelection& selection);
    int32_t SmsRowCount();
    // Opens a message for editing: SavedStat := Stat, Stat := Editing. False for an unknown id.
    bool BeginEditSms(int32_t id);
    bool SetSmsApiMsgID(int32_t id, const std::string& apiMsgId);
    bool SetSmsQuerySchedule(int32_t id, int32_t queryTime, int32_t statQryTm);
    bool SetSmsCharge(int32_t id, const std::string& charge);
    bool SetSmsStatusAndCharge(int32_t id, int32_t stat, const std::string& charge);
    // Overwrites every property of the row whose ID is record.ID (ToInfo as given); false when none.
    bool PutSms(const SmsRecord& record);

    // Recipient numbers in sending form: every entry of `to`, a contact entry as the contact's Mobile
    // (at most 16 bytes), any other entry its first 16 bytes, each with the prefix setting applied
    // (ApplyNumberPrefix). A contact that no longer exists adds no number, as in sending.
    std::vector<std::string> RecipientNumbers(const std::string& to);
    // The same numbers joined by ",".
    std::string SendingFormOfRecipients(const std::string& to);

private:
    int32_t InsertSms(const SmsRecord& record);

    StoreDatabase& db_;
    AddressBook& book_;
};

}  // namespace quillon
