#include "store/StoreSalvage.h"

#include <dirent.h>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <set>
#include <unordered_set>
#include <vector>

#include "core/AppLog.h"
#include "core/FileUtil.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "store/StoreDatabase.h"

namespace quillon {

namespace {

std::string Quote(const std::string& name) {
    return "\"" + name + "\"";
}

std::vector<std::string> Columns(sqlite3* db, const std::string& table) {
    std::vector<std::string> columns;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, ("PRAGMA table_info(" + Quote(table) + ")").c_str(), -1, &stmt, nullptr) == SQLITE_OK)
        while (sqlite3_step(stmt) == SQLITE_ROW)
            columns.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 1)));
    sqlite3_finalize(stmt);
    return columns;
}

// Copies the readable rows of one table from `from` into `to`, in rowid order (the id of the keyed
// tables). A read that fails (a damaged page) makes the walk look for the first rowid past the
// damage from which reading works again, so the rows after a damaged page are saved too.
class TableCopier {
public:
    // idsBelow: the table's id counter in the damaged file, 0 when it has none or it is unreadable.
    TableCopier(sqlite3* from, sqlite3* to, const std::string& table, int64_t idsBelow = 0)
        : from_(from), to_(to), table_(table), idsBelow_(idsBelow) {}

    int Copy() {
        std::set<std::string> theirs;
        for (const std::string& c : Columns(from_, table_))
            theirs.insert(c);
        std::string list, marks;
        for (const std::string& c : Columns(to_, table_)) {
            if (!theirs.count(c))
                continue;
            list += (list.empty() ? "" : ", ") + Quote(c);
            marks += marks.empty() ? "?" : ", ?";
        }
        if (list.empty())
            return 0;
        const std::string select =
            "SELECT rowid, " + list + " FROM " + Quote(table_) + " WHERE rowid >= ? ORDER BY rowid";
        const std::string insert = "INSERT OR REPLACE INTO " + Quote(table_) + " (" + list + ") VALUES (" + marks + ")";
        const std::string lookup = "SELECT rowid, " + list + " FROM " + Quote(table_) + " WHERE rowid = ?";
        if (sqlite3_prepare_v2(from_, select.c_str(), -1, &read_, nullptr) != SQLITE_OK ||
            sqlite3_prepare_v2(from_, lookup.c_str(), -1, &lookup_, nullptr) != SQLITE_OK ||
            sqlite3_prepare_v2(to_, insert.c_str(), -1, &write_, nullptr) != SQLITE_OK) {
            Finish();
            return 0;
        }
        int saved = 0;
        sqlite3_int64 from = LLONG_MIN;
        for (;;) {
            sqlite3_int64 last = from;
            bool any = false;
            int rc = Walk(from, saved, last, any);
            if (rc == SQLITE_DONE)
                break;
            // A damaged page: go on from the first rowid after it that can be read.
            if (!NextReadable(any ? last + 1 : from, from))
                break;
        }
        // Damaged links between pages can hide rows from the walk that a lookup by id still finds:
        // every id the walk did not meet, up to the counter, is asked for on its own (bounded, as a
        // damaged counter may say anything).
        const int64_t upper = std::min<int64_t>(std::max<int64_t>(maxSeen_, idsBelow_ - 1), maxSeen_ * 2 + 100000);
        for (int64_t id = 1; id <= upper; ++id) {
            if (copied_.count(id))
                continue;
            sqlite3_reset(lookup_);
            sqlite3_bind_int64(lookup_, 1, id);
            if (sqlite3_step(lookup_) == SQLITE_ROW && sqlite3_column_int64(lookup_, 0) == id)
                saved += Put(lookup_);
        }
        Finish();
        return saved;
    }

private:
    // Reads from rowid `start` on; SQLITE_DONE at the end, else the error that stopped it.
    int Walk(sqlite3_int64 start, int& saved, sqlite3_int64& last, bool& any) {
        sqlite3_reset(read_);
        sqlite3_bind_int64(read_, 1, start);
        int rc;
        while ((rc = sqlite3_step(read_)) == SQLITE_ROW) {
            last = sqlite3_column_int64(read_, 0);
            any = true;
            saved += Put(read_);
        }
        return rc;
    }

    // Writes the row in hand of `stmt` (rowid first); 1 when it is saved.
    int Put(sqlite3_stmt* stmt) {
        const sqlite3_int64 rowid = sqlite3_column_int64(stmt, 0);
        if (!copied_.insert(rowid).second)
            return 0;  // a damaged page may show a row twice
        maxSeen_ = std::max<int64_t>(maxSeen_, rowid);
        const int n = sqlite3_column_count(stmt);
        for (int i = 1; i < n; ++i)
            sqlite3_bind_value(write_, i, sqlite3_column_value(stmt, i));
        const bool ok = sqlite3_step(write_) == SQLITE_DONE && sqlite3_changes(to_) > 0;
        sqlite3_reset(write_);
        return ok ? 1 : 0;
    }

    // Whether a walk from `start` can read its first row (or finds none).
    bool Readable(sqlite3_int64 start) {
        sqlite3_reset(read_);
        sqlite3_bind_int64(read_, 1, start);
        int rc = sqlite3_step(read_);
        return rc == SQLITE_ROW || rc == SQLITE_DONE;
    }

    // The least rowid above `failed` from which a walk can read: steps that double, then halving.
    bool NextReadable(sqlite3_int64 failed, sqlite3_int64& next) {
        sqlite3_int64 bad = failed, step = 1;
        for (;;) {
            if (bad > LLONG_MAX - step)
                return false;
            sqlite3_int64 probe = bad + step;
            if (Readable(probe)) {
                sqlite3_int64 good = probe;
                while (good - bad > 1) {
                    sqlite3_int64 mid = bad + (good - bad) / 2;
                    (Readable(mid) ? good : bad) = mid;
                }
                next = good;
                return true;
            }
            bad = probe;
            step = step > LLONG_MAX / 2 ? LLONG_MAX : step * 2;
        }
    }

    void Finish() {
        sqlite3_finalize(read_);
        sqlite3_finalize(lookup_);
        sqlite3_finalize(write_);
        read_ = lookup_ = write_ = nullptr;
    }

    sqlite3* from_;
    sqlite3* to_;
    std::string table_;
    int64_t idsBelow_;
    int64_t maxSeen_ = 0;
    std::unordered_set<sqlite3_int64> copied_;
    sqlite3_stmt* read_ = nullptr;
    sqlite3_stmt* lookup_ = nullptr;
    sqlite3_stmt* write_ = nullptr;
};

// The highest value a counter of the damaged file still shows; 0 when it cannot be read.
int64_t ReadCounter(sqlite3* db, const char* table) {
    int64_t value = 0;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(db, ("SELECT max(ID) FROM " + Quote(table)).c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW)
        value = sqlite3_column_int64(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

void RemoveTree(const std::string& dir) {
    if (DIR* d = ::opendir(dir.c_str())) {
        while (dirent* e = ::readdir(d)) {
            std::string name = e->d_name;
            if (name != "." && name != "..")
                ::unlink((dir + "/" + name).c_str());
        }
        ::closedir(d);
    }
    ::rmdir(dir.c_str());
}

std::string DatedName(const std::string& path) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = path + ".corrupt-" + stamp;
    for (int n = 2; FileExists(target) || FileExists(target + "-wal"); ++n)
        target = path + ".corrupt-" + stamp + "-" + std::to_string(n);
    return target;
}

void SyncDirectory(const std::string& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

// Copies what can be read of `damagedPath` into the fresh store at `freshPath`.
bool CopyReadableRows(const std::string& damagedPath, const std::string& freshPath, SalvageReport& report) {
    sqlite3* from = nullptr;
    sqlite3* to = nullptr;
    bool ok = sqlite3_open_v2(freshPath.c_str(), &to, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK &&
              sqlite3_exec(to, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    if (!ok) {
        report.error = to ? sqlite3_errmsg(to) : "cannot open the new database";
    } else {
        // A file that cannot be opened at all saves nothing; it is still kept aside.
        if (FileExists(damagedPath) &&
            sqlite3_open_v2(damagedPath.c_str(), &from, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
            report.messages = TableCopier(from, to, "SMS", ReadCounter(from, "NextSMSID")).Copy();
            report.groups = TableCopier(from, to, "GROUP", ReadCounter(from, "NextGroupID")).Copy();
            report.contacts = TableCopier(from, to, "CONTACTS", ReadCounter(from, "NextContactID")).Copy();
            report.memberships = TableCopier(from, to, "CONTACT_GROUP_MAP").Copy();
            // Ids are never handed out twice: the counters keep what the damaged file still says.
            for (const char* counter : {"NextSMSID", "NextGroupID", "NextContactID"}) {
                const std::string sql = "UPDATE " + Quote(counter) + " SET ID = max(ID, " +
                                        std::to_string(ReadCounter(from, counter)) + ")";
                sqlite3_exec(to, sql.c_str(), nullptr, nullptr, nullptr);
            }
        }
        ok = sqlite3_exec(to, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
        if (!ok)
            report.error = sqlite3_errmsg(to);
    }
    sqlite3_close_v2(from);
    sqlite3_close_v2(to);
    return ok;
}

}  // namespace

SalvageReport SalvageStore(const std::string& dataDir) {
    SalvageReport report;
    const std::string path = dataDir + "/SMS.db";
    const std::string work = dataDir + "/SMS.salvage";
    RemoveTree(work);  // left by a salvage cut short
    if (::mkdir(work.c_str(), 0700) != 0) {
        report.error = "cannot make " + work;
        return report;
    }
    {
        // The new store with every table and counter, then closed so that its log is folded in.
        StoreDatabase fresh(work);
        if (!fresh.IsOpen()) {
            report.error = "cannot create a new database in " + work;
            RemoveTree(work);
            return report;
        }
    }
    if (!CopyReadableRows(path, work + "/SMS.db", report)) {
        RemoveTree(work);
        return report;
    }
    // The damaged file keeps its log beside it under the dated name, before the new file takes its
    // place: a log left behind would be read into the new file.
    report.keptAs = DatedName(path);
    bool moved = !FileExists(path) || std::rename(path.c_str(), report.keptAs.c_str()) == 0;
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string from = path + suffix;
        if (moved && FileExists(from))
            moved = std::rename(from.c_str(), (report.keptAs + suffix).c_str()) == 0;
    }
    if (!moved || std::rename((work + "/SMS.db").c_str(), path.c_str()) != 0) {
        report.error = "cannot put the new database in place of " + path;
        return report;
    }
    RemoveTree(work);
    ::unlink((dataDir + "/" + StoreDatabase::kDamageMarker).c_str());
    SyncDirectory(dataDir);
    report.ok = true;
    LogLine("Store: salvaged %s (kept as %s): %d messages, %d groups, %d contacts, %d memberships", path.c_str(),
            report.keptAs.c_str(), report.messages, report.groups, report.contacts, report.memberships);
    return report;
}

std::string SalvageReport::Text() const {
    if (!ok)
        return FormatResourceString(kTextSalvageFailed, {error});
    return FormatResourceString(kTextSalvageReport, {keptAs, messages, groups, contacts, memberships});
}

}  // namespace quillon
