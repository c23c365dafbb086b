// Checks of SMS.db that change nothing: the quick one at open (the header and the schema) and the
// thorough one (every page, PRAGMA quick_check), which the programs run right after start-up on a
// thread of its own, since it would double the start-up time with a large outbox.
#pragma once

#include <string>
#include <thread>

namespace quillon {

class StoreDatabase;

// Reads the file at `path` through its write-ahead log on a read-only connection of its own.
// Returns "" when it is sound, else SQLite's words for the damage (a file that is malformed or not
// a database). Other failures (a file that cannot be opened, a lock held too long) are not damage
// and return "". thorough: also PRAGMA quick_check.
std::string CheckDatabaseFile(const std::string& path, bool thorough);

// The thorough check of an open store on a thread of its own; damage found is recorded with
// StoreDatabase::MarkDamaged (which tells its damage handler). The destructor waits for the check.
class StoreCheck {
public:
    explicit StoreCheck(StoreDatabase& db);
    ~StoreCheck();
    StoreCheck(const StoreCheck&) = delete;
    StoreCheck& operator=(const StoreCheck&) = delete;

private:
    std::thread thread_;
};

}  // namespace quillon
