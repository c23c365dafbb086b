#include "store/StoreCheck.h"

#include <sqlite3.h>

#include "core/AppLog.h"
#include "store/StoreDatabase.h"

namespace quillon {

namespace {

bool IsDamage(int rc) {
    return (rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB;
}

}  // namespace

std::string CheckDatabaseFile(const std::string& path, bool thorough) {
    sqlite3* db = nullptr;
    // Not immutable: that would ignore the write-ahead log and call a file with a checkpoint cut
    // short malformed. A read-only connection reads the log and never folds it into the file.
    int rc = sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    std::string reason;
    if (rc == SQLITE_OK) {
        sqlite3_extended_result_codes(db, 1);
        sqlite3_busy_timeout(db, 10000);
        rc = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    }
    if (rc == SQLITE_OK && thorough) {
        sqlite3_stmt* stmt = nullptr;
        rc = sqlite3_prepare_v2(db, "PRAGMA quick_check(1)", -1, &stmt, nullptr);
        if (rc == SQLITE_OK) {
            rc = sqlite3_step(stmt);
            if (rc == SQLITE_ROW) {
                const unsigned char* text = sqlite3_column_text(stmt, 0);
                std::string verdict = text ? reinterpret_cast<const char*>(text) : "";
                if (verdict != "ok")
                    reason = "database disk image is malformed (" + verdict + ")";
                rc = SQLITE_OK;
            }
        }
        sqlite3_finalize(stmt);
    }
    if (reason.empty() && IsDamage(rc))
        reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(rc);
    else if (reason.empty() && rc != SQLITE_OK)
        LogLine("Store: cannot check %s: %s", path.c_str(), db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
    sqlite3_close_v2(db);
    return reason;
}

StoreCheck::StoreCheck(StoreDatabase& db) {
    thread_ = std::thread([&db] {
        if (!db.IsOpen() || db.Damaged())
            return;
        std::string reason = CheckDatabaseFile(db.Path(), true);
        if (!reason.empty())
            db.MarkDamaged(reason);
    });
}

StoreCheck::~StoreCheck() {
    if (thread_.joinable())
        thread_.join();
}

}  // namespace quillon
