#include "store/MessageStore.h"

#include "core/AppLog.h"
#include "core/StringIds.h"
#include "core/StringTable.h"

#include <utility>

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
        // Whether they may be sent again depends on the gateway, known only after login: the send
        // engine takes them (TakeInterruptedSms).
        SmsSelection processing;
        processing.stats = {StatusCode(MessageStatus::Processing)};
        for (const SmsRecord& r : outbox_.SelectSms(processing))
            interrupted_.push_back(r.ID);
        db_.ShareDataDirectory();
    } else {
        LogLine("Store: %s is open elsewhere; messages in editing or processing are left as they are",
                db_.Path().c_str());
    }
}

std::vector<int32_t> MessageStore::TakeInterruptedSms() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    return std::exchange(interrupted_, {});
}

StoreTransaction::StoreTransaction(MessageStore& store) : StoreTransaction(store.Database()) {}

}  // namespace quillon
