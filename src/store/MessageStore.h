// The local store SMS.db: one database (StoreDatabase) with the outbox rows (Outbox()) and the
// address book (Book()) over it. Start-up creates one MessageStore and passes it to whoever needs it.
//
// Every operation is durable when it returns; SmsLock() guards the SMS table and the connection,
// ContactIdLock() the contact id counter. Lock order: the worker lock, then SmsLock(), then
// ContactIdLock(); never the reverse.
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "store/AddressBook.h"
#include "store/ContactRecord.h"
#include "store/MessageStatus.h"
#include "store/OutboxStore.h"
#include "store/RecipientList.h"
#include "store/SmsRecord.h"
#include "store/StoreDatabase.h"

namespace quillon {

class MessageStore {
public:
    // The open sequence on dataDir + "/SMS.db": a missing file is created. A damaged file is left
    // as it is and not opened (Damaged(); see StoreSalvage.h). Never throws; when the database
    // cannot be opened at all, IsOpen() and DatabaseFileExists() are false.
    // Rows left in Editing are restored, and rows left in Processing remembered for the send engine
    // (TakeInterruptedSms), only when no other store (in this or another process) has the data
    // directory open.
    explicit MessageStore(const std::string& dataDir);
    ~MessageStore() = default;  // checkpoints and closes

    MessageStore(const MessageStore&) = delete;
    MessageStore& operator=(const MessageStore&) = delete;

    OutboxStore& Outbox() { return outbox_; }
    AddressBook& Book() { return book_; }
    StoreDatabase& Database() { return db_; }

    bool IsOpen() const { return db_.IsOpen(); }
    // True when the database is open and its file exists on disk.
    bool DatabaseFileExists() const { return db_.DatabaseFileExists(); }
    const std::string& Path() const { return db_.Path(); }
    // Changes are already durable; this folds the write-ahead log into the database file.
    bool Commit() { return db_.Commit(); }

    // Whether the file was found damaged, at open or by any operation since; every operation then
    // fails. DamageText(): the user's sentence saying so ("" while sound).
    bool Damaged() const { return db_.Damaged(); }
    std::string DamageText() const { return db_.DamageText(); }

    std::recursive_mutex& SmsLock() { return db_.SmsLock(); }
    std::recursive_mutex& ContactIdLock() { return db_.ContactIdLock(); }

    // The rows that were left in Processing by an earlier run, once (later calls: none). The send
    // engine puts them back in the queue or fails them, as the gateway allows.
    std::vector<int32_t> TakeInterruptedSms();

private:
    StoreDatabase db_;
    AddressBook book_;
    OutboxStore outbox_;
    std::vector<int32_t> interrupted_;
};

}  // namespace quillon
