#include "store/MessageStore.h"

#include "core/AppLog.h"
#include "core/StringIds.h"
#include "core/StringTable.h"

namespace quillon {

namespace {}  // namespace

MessageStore::MessageStore(const std::string& dataDir) : db_(dataDir), book_(db_), outbox_(db_, book_) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    if (!db_.IsOpen())
        return;
    if (book_.ListGroups().empty())
        book_.AddGroup(LoadResourceString(kIdAllContacts));
    // A row in Editing or Processing belongs to a store still open elsewhere (the desktop beside
    // the command line): only the first store to open may take it as left over.
    if (db_.HoldDataDirectory()) {
        outbox_.RestoreEditedSms();
        outbox_.FailInterruptedSms();
        db_.ShareDataDirectory();
    } else {
        LogLine("Store: %s is open elsewhere; messages in editing or processing are left as they are",
                db_.Path().c_str());
    }
}

StoreTransaction::StoreTransaction(MessageStore& store) : StoreTransaction(store.Database()) {}

}  // namespace quillon
