// Helpers for the store tests: raw SQLite access to SMS.db beside the store's own view of it.
#pragma once

#include <sqlite3.h>

#include <string>

#include "store/SmsRecord.h"

namespace quillon::test {

// Runs one SQL text on the file directly; returns the first column of the first row as text.
inline std::string RawQuery(const std::string& dbPath, const std::string& sql) {
    sqlite3* db = nullptr;
    std::string result;
    if (sqlite3_open_v2(dbPath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 5000);
        sqlite3_stmt* stmt = nullptr;
        const char* tail = sql.c_str();
        while (tail && *tail) {
            if (sqlite3_prepare_v2(db, tail, -1, &stmt, &tail) != SQLITE_OK || !stmt)
                break;
            bool first = true;
            while (sqlite3_step(stmt) == SQLITE_ROW) {
                if (first && sqlite3_column_text(stmt, 0))
                    result = reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0));
                first = false;
            }
            sqlite3_finalize(stmt);
        }
    }
    sqlite3_close(db);
    return result;
}

inline int RawInt(const std::string& dbPath, const std::string& sql) {
    return std::stoi("0" + RawQuery(dbPath, sql));
}

// A row's fields but its ID and Time, in stored order, so one comparison checks them all.
inline std::string Fields(const SmsRecord& r) {
    return std::to_string(r.Stat) + "|" + std::to_string(r.Type) + "|" + std::to_string(r.RefID) + "|" + r.To + "|" +
           r.ToInfo + "|" + r.Msg + "|" + r.ApiMsgID + "|" + std::to_string(r.SavedStat) + "|" + r.SenderID + "|" +
           std::to_string(r.Delay) + "|" + std::to_string(r.QueryTime) + "|" + std::to_string(r.StatQryTm) + "|" +
           r.Charge;
}

}  // namespace quillon::test
