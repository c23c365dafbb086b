#include "store/StoreDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <set>
#include <utility>
#include <vector>

#include "core/AppLog.h"
#include "core/FileUtil.h"
#include "core/PrivateFiles.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"
#include "store/MessageStatus.h"
#include "store/StoreCheck.h"

namespace quillon {

const char* const kSmsLayout =
    "SMS[_B[ID:I,Time:I,Stat:I,Type:I,RefID:I,To:S,ToInfo:S,Msg:S,ApiMsgID:S,SavedStat:I,SenderID:S,Delay:I,"
    "QueryTime:I,StatQryTm:I,Charge:S]]";
const char* const kNextSmsIdLayout = "NextSMSID[ID:I]";
const char* const kGroupLayout = "GROUP[_B[GID:I,Cnt:I,Name:S]]";
const char* const kNextGroupIdLayout = "NextGroupID[ID:I]";
const char* const kContactsLayout = "CONTACTS[_B[CID:I,Name:S,Surname:S,Title:S,Custom:S,Mobile:S]]";
const char* const kContactGroupMapLayout = "CONTACT_GROUP_MAP[CID:I,GID:I]";
const char* const kNextContactIdLayout = "NextContactID[ID:I]";

namespace {

struct Property {
    std::string name;
    char type = 'I';  // 'I' integer, 'S' text
};

struct Layout {
    std::string table;
    bool keyed = false;  // "_B[...]": keyed and ordered by the first property
    std::vector<Property> properties;
};

// "NAME[_B[P:I,Q:S]]" or "NAME[P:I,Q:S]".
bool ParseLayout(const std::string& text, Layout& layout) {
    size_t open = text.find('[');
    if (open == std::string::npos || open == 0 || text.back() != ']')
        return false;
    layout.table = text.substr(0, open);
    std::string body = text.substr(open + 1, text.size() - open - 2);
    layout.keyed = body.rfind("_B[", 0) == 0;
    if (layout.keyed) {
        if (body.size() < 4 || body.back() != ']')
            return false;
        body = body.substr(3, body.size() - 4);
    }
    layout.properties.clear();
    size_t pos = 0;
    while (pos <= body.size()) {
        size_t comma = body.find(',', pos);
        std::string item = body.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
        size_t colon = item.find(':');
        if (colon == std::string::npos || colon == 0 || colon + 2 != item.size())
            return false;
        Property p{item.substr(0, colon), item[colon + 1]};
        if (p.type != 'I' && p.type != 'S')
            return false;
        layout.properties.push_back(p);
        if (comma == std::string::npos)
            break;
        pos = comma + 1;
    }
    return !layout.properties.empty();
}

std::string Quote(const std::string& name) {
    return "\"" + name + "\"";
}

std::string ColumnDefinition(const Property& p) {
    return Quote(p.name) + (p.type == 'I' ? " INTEGER NOT NULL DEFAULT 0" : " TEXT NOT NULL DEFAULT ''");
}

}  // namespace

// ---------------------------------------------------------------- statements and transactions

StoreDatabase::Query::Query(StoreDatabase& db, const std::string& sql) : db_(db), stmt_(db.Prepare(sql)) {}

StoreDatabase::Query::~Query() {
    if (stmt_) {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }
}

StoreDatabase::Query& StoreDatabase::Query::Bind(int32_t value) {
    if (stmt_)
        sqlite3_bind_int(stmt_, ++index_, value);
    return *this;
}

StoreDatabase::Query& StoreDatabase::Query::Bind(const std::string& value) {
    if (stmt_)
        sqlite3_bind_text(stmt_, ++index_, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    return *this;
}

bool StoreDatabase::Query::Step() {
    if (!stmt_ || db_.blockedWrites_ > 0 || db_.Damaged()) {
        failed_ = true;
        return false;
    }
    int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE) {
        failed_ = true;
        db_.ReportError(sqlite3_sql(stmt_), rc);
    }
    return false;
}

bool StoreDatabase::Query::Run() {
    while (Step()) {
    }
    return !failed_;
}

int32_t StoreDatabase::Query::Int(int column) const {
    return sqlite3_column_int(stmt_, column);
}

std::string StoreDatabase::Query::Text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    int bytes = sqlite3_column_bytes(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes)) : std::string();
}

void StoreDatabase::Query::Reset() {
    if (stmt_)
        sqlite3_reset(stmt_);
}

StoreDatabase::Tx::Tx(StoreDatabase& db) : db_(db), lock_(db.smsLock_) {
    began_ = db_.BeginWrite();
    if (!began_)
        ++db_.blockedWrites_;
}

bool StoreDatabase::Tx::Commit() {
    if (done_)
        return committed_;
    done_ = true;
    if (began_)
        committed_ = db_.EndWrite(ok_);
    else
        --db_.blockedWrites_;
    return committed_;
}

// ---------------------------------------------------------------- open and close

StoreDatabase::StoreDatabase(const std::string& dataDir) : dataDir_(dataDir), path_(dataDir + "/SMS.db") {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    if (!OpenDatabase()) {
        CloseDatabase();
        return;
    }
    if (!ApplyLayouts() || !PrepareCounters()) {
        LogLine("Store: cannot lay out %s", path_.c_str());
        CloseDatabase();
        return;
    }
    Commit();
}

bool StoreDatabase::HoldDataDirectory() {
    holderFd_ = ::open(dataDir_.empty() ? "." : dataDir_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (holderFd_ < 0)
        return true;  // no way to tell: act as the only user, as before
    if (::flock(holderFd_, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK)
        return true;  // alone, or a file system without locks: act as the only user
    // Another store holds it exclusively only while it runs its open sequence; wait for that, boundedly.
    for (int i = 0; i < 100 && ::flock(holderFd_, LOCK_SH | LOCK_NB) != 0 && errno == EWOULDBLOCK; ++i)
        ::usleep(100000);
    return false;
}

void StoreDatabase::ShareDataDirectory() {
    if (holderFd_ >= 0)
        ::flock(holderFd_, LOCK_SH);
}

StoreDatabase::~StoreDatabase() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    while (txDepth_ > 0)
        EndWrite(true);
    CloseDatabase();
    if (holderFd_ >= 0)
        ::close(holderFd_);
}

void StoreDatabase::CloseDatabase() {
    for (auto& entry : statements_)
        sqlite3_finalize(entry.second);
    statements_.clear();
    if (db_) {
        // Closing the last connection folds the write-ahead log into the file and removes it; a
        // damaged file is left as it is, log and all, for the salvage.
        if (Damaged())
            sqlite3_db_config(db_, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool StoreDatabase::OpenDatabase() {
    // Damage found while the store was in use is remembered beside the file until it is salvaged.
    const std::string marker = dataDir_ + "/" + kDamageMarker;
    if (FileExists(marker)) {
        std::string reason;
        if (FILE* f = std::fopen(marker.c_str(), "r")) {
            char line[512];
            if (std::fgets(line, sizeof line, f))
                reason = line;
            std::fclose(f);
        }
        while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r'))
            reason.pop_back();
        MarkDamaged(reason.empty() ? "damage was found while it was in use" : reason);
        return false;
    }
    // Decide damage with a read-only connection that reads through the write-ahead log: a file
    // whose log still holds pages (a checkpoint cut short) is sound, and only the log makes it so.
    // The check changes nothing, so a damaged file stays exactly as it was for the salvage.
    if (FileExists(path_)) {
        std::string reason = CheckDatabaseFile(path_, false);
        if (!reason.empty()) {
            MarkDamaged(reason);
            return false;
        }
    }
    // Made 0600 before SQLite sees it: its -wal and -shm files take the database file's mode.
    CreatePrivateFile(path_);
    int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                             nullptr);
    if (rc != SQLITE_OK) {
        LogLine("Store: cannot open %s: %s", path_.c_str(), db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 10000);
    // FULL: the write-ahead log is flushed to the disk at every commit, so a change survives a power
    // cut too, not only a crash of the program.
    const char* setup =
        "PRAGMA journal_mode=WAL; SELECT count(*) FROM sqlite_master; PRAGMA synchronous=FULL; "
        "PRAGMA foreign_keys=OFF; PRAGMA cache_size=-16384;";
    rc = sqlite3_exec(db_, setup, nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK) {
        // Files left readable by an older version are narrowed as well.
        for (const char* suffix : {"-wal", "-shm"})
            RestrictToOwner(path_ + suffix);
        return true;
    }
    ReportError(setup, rc);
    return false;
}

bool StoreDatabase::ApplyLayout(const char* description, Tx& tx) {
    Layout layout;
    if (!ParseLayout(description, layout))
        return tx.Check(false);
    std::set<std::string> present;
    {
        Query info(*this, "PRAGMA table_info(" + Quote(layout.table) + ")");
        while (info.Step())
            present.insert(AsciiUpper(info.Text(1)));
        if (!tx.Check(!info.Failed()))
            return false;
    }
    if (present.empty()) {
        std::string sql = "CREATE TABLE " + Quote(layout.table) + " (";
        for (size_t i = 0; i < layout.properties.size(); ++i) {
            if (i > 0)
                sql += ", ";
            if (i == 0 && layout.keyed)
                sql += Quote(layout.properties[0].name) + " INTEGER PRIMARY KEY";
            else
                sql += ColumnDefinition(layout.properties[i]);
        }
        sql += ")";
        return tx.Check(Exec(sql));
    }
    for (const auto& p : layout.properties) {
        if (present.count(AsciiUpper(p.name)))
            continue;
        if (!tx.Check(Exec("ALTER TABLE " + Quote(layout.table) + " ADD COLUMN " + ColumnDefinition(p))))
            return false;
        LogLine("Store: added property %s to %s", p.name.c_str(), layout.table.c_str());
    }
    return true;
}

bool StoreDatabase::ApplyLayouts() {
    Tx tx(*this);
    if (!tx.Began())
        return false;
    for (const char* description : {kSmsLayout, kNextSmsIdLayout, kGroupLayout, kNextGroupIdLayout, kContactsLayout,
                                    kContactGroupMapLayout, kNextContactIdLayout})
        if (!ApplyLayout(description, tx))
            return false;
    // Secondary indexes: memberships by contact and by group, messages by state, contacts by number.
    // OutboxWaiting keeps the number of rows waiting to be sent, so that the outbox count is one
    // read; it is recounted at every open.
    // The triggers test a state with "=" terms, not "IN (...)": a list of three constants is built
    // into a temporary table each time a trigger fires, which made every change of a row's state
    // (two per message sent) many times dearer. A file written with other triggers gets these at
    // open.
    auto waiting = [](const char* row) {
        std::string terms;
        for (MessageStatus status : kWaitingStatuses)
            terms +=
                (terms.empty() ? "(" : " OR ") + std::string(row) + ".Stat = " + std::to_string(StatusCode(status));
        return terms + ")";
    };
    const std::pair<const char*, std::string> triggers[] = {
        {"OutboxWaiting_Insert", "CREATE TRIGGER OutboxWaiting_Insert AFTER INSERT ON SMS WHEN " + waiting("NEW") +
                                     " BEGIN UPDATE OutboxWaiting SET n = n + 1; END"},
        {"OutboxWaiting_Delete", "CREATE TRIGGER OutboxWaiting_Delete AFTER DELETE ON SMS WHEN " + waiting("OLD") +
                                     " BEGIN UPDATE OutboxWaiting SET n = n - 1; END"},
        {"OutboxWaiting_Update", "CREATE TRIGGER OutboxWaiting_Update AFTER UPDATE OF Stat ON SMS WHEN " +
                                     waiting("OLD") + " <> " + waiting("NEW") +
                                     " BEGIN UPDATE OutboxWaiting SET n = n + (CASE WHEN " + waiting("NEW") +
                                     " THEN 1 ELSE -1 END); END"},
    };
    const std::string extras[] = {
        "CREATE INDEX IF NOT EXISTS CONTACT_GROUP_MAP_CID ON CONTACT_GROUP_MAP(CID)",
        "CREATE INDEX IF NOT EXISTS CONTACT_GROUP_MAP_GID ON CONTACT_GROUP_MAP(GID)",
        "CREATE INDEX IF NOT EXISTS SMS_Stat ON SMS(Stat)",
        "CREATE INDEX IF NOT EXISTS CONTACTS_Mobile ON CONTACTS(Mobile)",
        "CREATE TABLE IF NOT EXISTS OutboxWaiting (n INTEGER NOT NULL)",
    };
    for (const std::string& sql : extras)
        if (!tx.Check(Exec(sql)))
            return false;
    // A trigger is replaced only when it differs, so that an open beside a running program does
    // not change the schema under it every time.
    for (const auto& [name, create] : triggers) {
        std::string stored;
        {
            Query q(*this, "SELECT sql FROM sqlite_master WHERE type = 'trigger' AND name = ?");
            if (q.Bind(std::string(name)).Step())
                stored = q.Text(0);
            if (!tx.Check(!q.Failed()))
                return false;
        }
        if (stored != create &&
            !(tx.Check(Exec(std::string("DROP TRIGGER IF EXISTS ") + name)) && tx.Check(Exec(create))))
            return false;
    }
    if (!tx.Check(Exec("DELETE FROM OutboxWaiting")) ||
        !tx.Check(Exec("INSERT INTO OutboxWaiting (n) SELECT count(*) FROM SMS WHERE " + waiting("SMS"))))
        return false;
    return tx.Commit();
}

// Each counter holds one row; a counter that is missing starts at 1, and one that lags behind
// the ids already present (a damaged or hand-edited file) is moved past them.
bool StoreDatabase::PrepareCounters() {
    Tx tx(*this);
    if (!tx.Began())
        return false;
    const char* const counters[][3] = {
        {"NextSMSID", "SMS", "ID"}, {"NextGroupID", "GROUP", "GID"}, {"NextContactID", "CONTACTS", "CID"}};
    for (const auto& c : counters) {
        std::string table = Quote(c[0]);
        int32_t rows = 0;
        {
            Query q(*this, "SELECT count(*) FROM " + table);
            if (q.Step())
                rows = q.Int(0);
            if (!tx.Check(!q.Failed()))
                return false;
        }
        if (rows == 0 && !tx.Check(Exec("INSERT INTO " + table + " (ID) VALUES (1)")))
            return false;
        std::string sql = "UPDATE " + table + " SET ID = (SELECT max(" + Quote(c[2]) + ") + 1 FROM " + Quote(c[1]) +
                          ") WHERE ID <= (SELECT max(" + Quote(c[2]) + ") FROM " + Quote(c[1]) + ")";
        if (!tx.Check(Exec(sql)))
            return false;
    }
    return tx.Commit();
}

sqlite3_stmt* StoreDatabase::Prepare(const std::string& sql) {
    if (!db_)
        return nullptr;
    auto it = statements_.find(sql);
    if (it != statements_.end())
        return it->second;
    sqlite3_stmt* stmt = nullptr;
    int rc =
        sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr);
    if (rc != SQLITE_OK) {
        ReportError(sql.c_str(), rc);
        return nullptr;
    }
    statements_.emplace(sql, stmt);
    return stmt;
}

bool StoreDatabase::Exec(const std::string& sql) {
    if (!db_ || Damaged())
        return false;
    int rc = sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        return true;
    ReportError(sql.c_str(), rc);
    return false;
}

void StoreDatabase::ReportError(const char* sql, int rc) {
    const char* message = db_ ? sqlite3_errmsg(db_) : "no database";
    LogLine("Store: SQLite error %d (%s) in: %s", db_ ? sqlite3_extended_errcode(db_) : rc, message, sql ? sql : "");
    if ((rc & 0xff) == SQLITE_CORRUPT || (rc & 0xff) == SQLITE_NOTADB)
        MarkDamaged(message);
}

void StoreDatabase::MarkDamaged(const std::string& reason) {
    std::function<void(const std::string&)> handler;
    {
        std::lock_guard<std::mutex> guard(damageLock_);
        if (damaged_.exchange(true))
            return;
        damageReason_ = reason;
        handler = damageHandler_;
    }
    LogLine("Store: %s is damaged: %s", path_.c_str(), reason.c_str());
    const std::string marker = dataDir_ + "/" + kDamageMarker;
    if (!FileExists(marker)) {
        if (FILE* f = std::fopen(marker.c_str(), "w")) {
            std::fprintf(f, "%s\n", reason.c_str());
            std::fflush(f);
            ::fsync(fileno(f));
            std::fclose(f);
        }
    }
    if (handler)
        handler(reason);
}

std::string StoreDatabase::DamageReason() const {
    std::lock_guard<std::mutex> guard(damageLock_);
    return damageReason_;
}

std::string StoreDatabase::DamageText() const {
    return Damaged() ? FormatResourceString(kTextStoreDamaged, {path_, DamageReason()}) : std::string();
}

void StoreDatabase::SetDamageHandler(std::function<void(const std::string& reason)> handler) {
    std::lock_guard<std::mutex> guard(damageLock_);
    damageHandler_ = std::move(handler);
}

bool StoreDatabase::BeginWrite() {
    if (!db_ || Damaged())
        return false;
    if (txDepth_ == 0) {
        if (!Exec("BEGIN IMMEDIATE"))
            return false;
        txFailed_ = false;
    }
    ++txDepth_;
    return true;
}

bool StoreDatabase::EndWrite(bool ok) {
    if (txDepth_ <= 0)
        return false;
    if (!ok)
        txFailed_ = true;
    if (--txDepth_ > 0)
        return !txFailed_;
    if (txFailed_) {
        Exec("ROLLBACK");
        return false;
    }
    if (Exec("COMMIT"))
        return true;
    Exec("ROLLBACK");
    return false;
}

bool StoreDatabase::DatabaseFileExists() const {
    return db_ != nullptr && FileExists(path_);
}

bool StoreDatabase::Commit() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    if (!db_ || txDepth_ > 0 || Damaged())
        return false;
    int logFrames = 0, checkpointed = 0;
    return sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &checkpointed) == SQLITE_OK;
}

// ---------------------------------------------------------------- counters

int32_t StoreDatabase::Allocate(const char* table) {
    Tx tx(*this);
    if (!tx.Began())
        return 0;
    std::string name = Quote(table);
    int32_t rowid = 0, id = 0;
    {
        Query q(*this, "SELECT rowid, ID FROM " + name + " ORDER BY rowid LIMIT 1");
        if (q.Step()) {
            rowid = q.Int(0);
            id = q.Int(1);
        }
        if (!tx.Check(!q.Failed() && rowid != 0))
            return 0;
    }
    {
        Query u(*this, "UPDATE " + name + " SET ID = ? WHERE rowid = ?");
        if (!tx.Check(u.Bind(id + 1).Bind(rowid).Run()))
            return 0;
    }
    return tx.Commit() ? id : 0;
}

int StoreDatabase::Changes() const {
    return db_ ? sqlite3_changes(db_) : 0;
}

// ---------------------------------------------------------------- batches

StoreTransaction::StoreTransaction(StoreDatabase& db) : db_(db), lock_(db.SmsLock()) {
    ok_ = db_.BeginWrite();
    done_ = !ok_;
    if (done_)
        lock_.unlock();
}

StoreTransaction::~StoreTransaction() {
    if (!done_)
        Commit();
}

bool StoreTransaction::Commit() {
    if (done_)
        return ok_;
    done_ = true;
    ok_ = db_.EndWrite(true);
    lock_.unlock();
    return ok_;
}

void StoreTransaction::Rollback() {
    if (done_)
        return;
    done_ = true;
    ok_ = false;
    db_.EndWrite(false);
    lock_.unlock();
}

}  // namespace quillon
