// The local store SMS.db: outbox messages, contacts, groups and their id counters, on SQLite.
//
// Every operation is durable when it returns: the file runs in WAL mode and each operation is one
// transaction (an operation that loops is one transaction for the whole loop), and it reports
// success only once that transaction is committed. StoreTransaction groups many operations into
// one transaction for bulk work (imports, benchmarks).
//
// Threads: the ui thread and the comms worker share the one store. SmsLock() guards the SMS table
// and, inside the store, the database connection itself; every operation takes it, so any
// operation may be called from either thread, also while the caller holds SmsLock() (it is
// recursive). ContactIdLock() guards the contact id counter and is taken inside the store only.
// Lock order: the worker lock, then SmsLock(), then ContactIdLock(); never the reverse.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/TextUtil.h"
#include "store/ContactRecord.h"
#include "store/MessageStatus.h"
#include "store/SmsRecord.h"

struct sqlite3;
struct sqlite3_stmt;

namespace quillon {

// Layout descriptions of the seven tables. Opening the store parses them: each names a table and
// its properties (I = 32-bit integer, S = text); "_B[...]" marks a table keyed and ordered by its
// first property. A file written with fewer properties gains the missing ones (0, "").
extern const char* const kSmsLayout;
extern const char* const kNextSmsIdLayout;
extern const char* const kGroupLayout;
extern const char* const kNextGroupIdLayout;
extern const char* const kContactsLayout;
extern const char* const kContactGroupMapLayout;
extern const char* const kNextContactIdLayout;

// Which SMS rows SelectSms returns; unset members do not filter. Rows come back in ID order.
struct SmsSelection {
    std::vector<int32_t> stats;  // Stat is one of these (empty: any)
    std::optional<int32_t> id;   // ID equals
    std::optional<int32_t> minQueryTime, maxQueryTime;
    std::optional<int32_t> minStatQryTm, maxStatQryTm;
    std::optional<int32_t> minTime, maxTime;
};

class MessageStore {
public:
    // The open sequence on dataDir + "/SMS.db": a missing file is created; a file that is not a
    // readable database is moved aside (MovedAsidePath) and a fresh one created. Never throws;
    // when the database cannot be opened at all, IsOpen() and DatabaseFileExists() are false.
    // Rows left in Editing or Processing are restored or failed only when no other store (in this
    // or another process) has the data directory open.
    explicit MessageStore(const std::string& dataDir);
    ~MessageStore();  // checkpoints and closes

    MessageStore(const MessageStore&) = delete;
    MessageStore& operator=(const MessageStore&) = delete;

    // ---- the store as a whole ----
    bool IsOpen() const { return db_ != nullptr; }
    // True when the database is open and its file exists on disk.
    bool DatabaseFileExists() const;
    const std::string& Path() const { return path_; }
    // Changes are already durable; this folds the write-ahead log into the database file.
    bool Commit();

    // Where an unreadable file was moved at open; "" when nothing was moved.
    const std::string& MovedAsidePath() const { return movedAsidePath_; }
    // One line for the user saying what was moved where; "" when nothing was moved.
    std::string MovedAsideReport() const;

    std::recursive_mutex& SmsLock() { return smsLock_; }
    std::recursive_mutex& ContactIdLock() { return contactIdLock_; }

    // ---- id counters: return the next id and advance the counter ----
    int32_t AllocateSmsId();
    int32_t AllocateGroupId();
    int32_t AllocateContactId();  // under ContactIdLock
    int32_t PeekNextContactId();  // under ContactIdLock, no change

    // ---- messages ----
    // Adds a row and returns its ID (0 when the store cannot write). refId 0: RefID = the new ID;
    // time 0: now.
    int32_t AddSms(int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                   const std::string& msg, const std::string& senderId, int32_t delay, const std::string& charge);
    // Sets Stat; false (and a log line) when no row has that id.
    bool SetSmsStatus(int32_t id, int32_t stat);
    // Rewrites an edited message: Stat 6 when SavedStat was 6 or 7, else 0; Type, To, ToInfo, Msg.
    void UpdateSms(int32_t id, int32_t type, const std::string& to, const std::string& msg);
    void RestoreEditedSms();    // every row in Stat 5 gets its SavedStat back
    void FailInterruptedSms();  // every row in Stat 10 becomes 2
    // A copy with a fresh ID and the current time; keeps RefID, Charge, Delay. -1 for an unknown id.
    int32_t CopySms(int32_t id, bool overrideStat, int32_t stat);
    // A child row for one recipient of a multi-recipient row; -1 for an unknown id.
    int32_t CopySmsForRecipient(int32_t id, int32_t stat, const std::string& to);
    void DeleteSms(int32_t id);
    // Rows waiting to be sent: Stat 0, 4 or 6.
    int32_t CountOutbox();
    // Display text of a recipient list: up to three entries (contacts by name), " ..." when more,
    // cut to 127 bytes on a whole UTF-8 character.
    std::string BuildToInfo(const std::string& to);
    // Builds the clipboard text of a message (ClipboardTextOfSms) and hands it to the clipboard
    // sink that the user interface installed. False for an unknown id, without a sink, or when the
    // sink fails.
    bool CopySmsToClipboard(int32_t id);
    // The clipboard text of a message; nothing for an unknown id.
    std::optional<std::string> ClipboardTextOfSms(int32_t id);

    // Direct row access for the engines and the outbox. Each call is atomic on its own; hold
    // SmsLock() across calls that must see one state.
    bool GetSms(int32_t id, SmsRecord& record);
    std::vector<SmsRecord> LoadAllSms();  // ID order
    std::vector<SmsRecord> SelectSms(const SmsSelection& selection);
    int32_t SmsRowCount();
    // Opens a message for editing: SavedStat := Stat, Stat := 5. False for an unknown id.
    bool BeginEditSms(int32_t id);
    bool SetSmsApiMsgID(int32_t id, const std::string& apiMsgId);
    bool SetSmsQuerySchedule(int32_t id, int32_t queryTime, int32_t statQryTm);
    bool SetSmsCharge(int32_t id, const std::string& charge);
    bool SetSmsStatusAndCharge(int32_t id, int32_t stat, const std::string& charge);
    // Overwrites every property of the row whose ID is record.ID (ToInfo as given); false when none.
    bool PutSms(const SmsRecord& record);

    // Recipient numbers in sending form: entries of `to` (leading "," skipped), a contact entry
    // "A<CID>" as the contact's Mobile (at most 16 bytes), any other entry its first 16 bytes, each
    // with the prefix setting applied (ApplyNumberPrefix). A contact that no longer exists adds no
    // number, as in sending.
    std::vector<std::string> RecipientNumbers(const std::string& to);
    // The same numbers joined by ",".
    std::string SendingFormOfRecipients(const std::string& to);

    // ---- groups ----
    // Returns the row index of the new group in GROUP (GID order).
    int32_t AddGroup(const std::string& name);
    void RenameGroup(int32_t gid, const std::string& name);
    // Deletes every contact that is only in this group, takes the others out of it, removes the group.
    void DeleteGroup(int32_t gid);
    // The first group (GID order) named `name` ignoring letter case (Latin, Greek and Cyrillic
    // letters alike), else a new group's GID.
    int32_t FindOrAddGroup(const std::string& name);
    std::optional<std::string> GetGroupName(int32_t gid);
    int32_t FindGroupRow(int32_t gid);      // row index in GID order, or -1
    std::vector<GroupRecord> ListGroups();  // GID order
    // Every group in GID order with its member count and display text.
    std::vector<GroupListEntry> GroupListWithCounts();

    // ---- contacts ----
    // Adds the contact and one membership per GID of contact.groups; returns the new CID. Like
    // UpdateContact it keeps at most the record's field limits of each text (cut on a whole character).
    int32_t AddContact(const ContactRecord& contact);
    // Overwrites the five texts and replaces the memberships; nothing for an unknown id.
    void UpdateContact(int32_t cid, const ContactRecord& contact);
    // entirely: the contact and all its memberships. Otherwise its membership of gid, and the
    // contact too when that was its last one. Nothing for an unknown id.
    void DeleteContact(int32_t cid, bool entirely, int32_t gid);
    // Clears the record and fills the five texts (cut to the field limits); false for an unknown id.
    bool LoadContact(int32_t cid, ContactRecord& contact);
    // "Name Surname"; nothing for an unknown id.
    std::optional<std::string> GetContactDisplayName(int32_t cid);
    // At most `size` bytes of Mobile; nothing for an unknown id.
    std::optional<std::string> GetContactMobile(int32_t cid, size_t size = 16);
    bool GetContactNameParts(int32_t cid, std::string& name, std::string& surname, std::string& mobile);
    bool ContactMobileExists(const std::string& mobile);
    std::vector<ContactRow> ListContacts();  // CID order, texts uncut, groups filled in view order
    int32_t ContactCount();

    // ---- memberships (CONTACT_GROUP_MAP) ----
    void AddMembership(int32_t gid, int32_t cid);  // appends, even when the pair exists
    void AddMembershipIfMissing(int32_t cid, int32_t gid);
    bool IsMember(int32_t cid, int32_t gid);
    bool RemoveMembership(int32_t cid, int32_t gid);  // the first such row; false when none
    // Already in toGid: true, nothing changes. Else leaves fromGid (every group when fromGid is 1)
    // and joins toGid.
    bool MoveContactToGroup(int32_t cid, int32_t toGid, int32_t fromGid);
    int32_t CountContactGroups(int32_t cid);
    int32_t GetFirstGroupOfContact(int32_t cid);        // 0 when none
    std::vector<int32_t> GroupsOfContact(int32_t cid);  // view order
    std::vector<int32_t> MembersOfGroup(int32_t gid);   // CIDs in view order

public:
    class Query;  // a prepared statement in use (implementation detail)

private:
    friend class StoreTransaction;
    class Tx;

    int ProbeFile() const;
    bool HoldDataDirectory();
    bool OpenDatabase();
    bool MoveAside();
    void CloseDatabase();
    bool ApplyLayouts();
    bool PrepareCounters();
    sqlite3_stmt* Prepare(const std::string& sql);
    bool Exec(const std::string& sql);
    void ReportError(const char* sql);
    bool BeginWrite();
    bool EndWrite(bool ok);
    int32_t Allocate(const char* table);
    int32_t InsertSms(const SmsRecord& record);

    std::string dataDir_;
    std::string path_;
    std::string movedAsidePath_;
    sqlite3* db_ = nullptr;
    int holderFd_ = -1;  // the data directory, locked shared while the store is open
    std::recursive_mutex smsLock_;
    std::recursive_mutex contactIdLock_;
    int txDepth_ = 0;
    int blockedWrites_ = 0;  // operations running whose transaction could not start
    bool txFailed_ = false;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// Groups operations into one transaction, durable when Commit() runs or the object goes out of
// scope; Rollback() drops them. Holds SmsLock() until it is committed or rolled back. Nests: an
// inner batch joins the outer one, and a rollback anywhere drops the whole.
class StoreTransaction {
public:
    explicit StoreTransaction(MessageStore& store);
    ~StoreTransaction();  // commits unless rolled back
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;

    bool Commit();
    void Rollback();

private:
    MessageStore& store_;
    std::unique_lock<std::recursive_mutex> lock_;
    bool done_ = false;
    bool ok_ = false;
};

// The process-wide store: set by start-up after construction, null before.
MessageStore* TheStore();
void SetTheStore(MessageStore* store);

// Puts text on the system clipboard; installed by the user interface. Returns whether it worked.
using ClipboardSink = std::function<bool(const std::string& text)>;
void SetClipboardSink(ClipboardSink sink);

// The prefix rule: when prefix is not empty and number starts with "0", the leading zeros are
// replaced by prefix.
std::string ApplyNumberPrefix(const std::string& number, const std::string& prefix);


}  // namespace quillon
