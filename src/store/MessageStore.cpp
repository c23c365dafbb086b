#include "store/MessageStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <set>
#include <unordered_map>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/ShellTextIds.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"

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

constexpr int kAllContactsString = 1248;
constexpr int kClipboardHeadString = 1249;
constexpr int kClipboardMessageString = 1250;
constexpr int kBinaryMessageString = 1251;
constexpr int kClipboardApiIdString = 1252;
constexpr size_t kMaxNumberBytes = 16;
constexpr size_t kMaxApiIdBytes = 32;

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

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

int32_t Now() {
    return static_cast<int32_t>(std::time(nullptr));
}

// A contact record holds at most its field limits; longer texts are cut on a whole character.
ContactRecord CutToRecordLimits(const ContactRecord& c) {
    ContactRecord cut = c;
    cut.Name = CutUtf8(c.Name, ContactRecord::kMaxName);
    cut.Surname = CutUtf8(c.Surname, ContactRecord::kMaxSurname);
    cut.Title = CutUtf8(c.Title, ContactRecord::kMaxTitle);
    cut.Custom = CutUtf8(c.Custom, ContactRecord::kMaxCustom);
    cut.Mobile = CutUtf8(c.Mobile, ContactRecord::kMaxMobile);
    return cut;
}

// Text of the 15 SMS properties in stored order, for SELECT lists.
const char* const kSmsColumns =
    "\"ID\",\"Time\",\"Stat\",\"Type\",\"RefID\",\"To\",\"ToInfo\",\"Msg\",\"ApiMsgID\",\"SavedStat\",\"SenderID\","
    "\"Delay\",\"QueryTime\",\"StatQryTm\",\"Charge\"";

std::atomic<MessageStore*> gStore{nullptr};
std::mutex gClipboardMutex;
ClipboardSink gClipboardSink;

}  // namespace

// A cached prepared statement in use: binds in order, resets when done.
class MessageStore::Query {
public:
    Query(MessageStore& store, const std::string& sql) : store_(store), stmt_(store.Prepare(sql)) {}
    ~Query() {
        if (stmt_) {
            sqlite3_reset(stmt_);
            sqlite3_clear_bindings(stmt_);
        }
    }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Bind(int32_t value) {
        if (stmt_)
            sqlite3_bind_int(stmt_, ++index_, value);
        return *this;
    }
    Query& Bind(const std::string& value) {
        if (stmt_)
            sqlite3_bind_text(stmt_, ++index_, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
        return *this;
    }
    // True while a row is there; a failure ends the walk and is remembered.
    bool Step() {
        if (!stmt_ || store_.blockedWrites_ > 0) {
            failed_ = true;
            return false;
        }
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE) {
            failed_ = true;
            store_.ReportError(sqlite3_sql(stmt_));
        }
        return false;
    }
    // Runs a statement that returns no rows; true on success.
    bool Run() {
        while (Step()) {
        }
        return !failed_;
    }
    int32_t Int(int column) const { return sqlite3_column_int(stmt_, column); }
    std::string Text(int column) const {
        const unsigned char* text = sqlite3_column_text(stmt_, column);
        int bytes = sqlite3_column_bytes(stmt_, column);
        return text ? std::string(reinterpret_cast<const char*>(text), static_cast<size_t>(bytes)) : std::string();
    }
    bool Failed() const { return failed_; }
    // Lets go of the statement before the object ends, so that its transaction can end first.
    void Reset() {
        if (stmt_)
            sqlite3_reset(stmt_);
    }

private:
    MessageStore& store_;
    sqlite3_stmt* stmt_;
    int index_ = 0;
    bool failed_ = false;
};

// One write transaction for one operation (nested inside a StoreTransaction when one is open).
class MessageStore::Tx {
public:
    // When the transaction cannot start (no database, or another process holds the file past the
    // busy timeout), every statement of the operation fails, so it does nothing rather than half.
    explicit Tx(MessageStore& store) : store_(store), lock_(store.smsLock_) {
        began_ = store_.BeginWrite();
        if (!began_)
            ++store_.blockedWrites_;
    }
    ~Tx() { Commit(); }
    Tx(const Tx&) = delete;
    Tx& operator=(const Tx&) = delete;

    // Ends the transaction: true when its changes are on the disk (inside a batch: joined it). An
    // operation reports success only from here, since a commit can fail where every statement
    // worked (a full disk shows only when the log is written).
    bool Commit() {
        if (done_)
            return committed_;
        done_ = true;
        if (began_)
            committed_ = store_.EndWrite(ok_);
        else
            --store_.blockedWrites_;
        return committed_;
    }

    bool Began() const { return began_; }
    // Marks the transaction failed when a step failed; returns the step's success.
    bool Check(bool stepOk) {
        if (!stepOk)
            ok_ = false;
        return stepOk;
    }

private:
    MessageStore& store_;
    std::lock_guard<std::recursive_mutex> lock_;
    bool began_ = false;
    bool ok_ = true;
    bool done_ = false;
    bool committed_ = false;
};

namespace {
void ReadSms(const MessageStore::Query& q, SmsRecord& r) {
    r.ID = q.Int(0);
    r.Time = q.Int(1);
    r.Stat = q.Int(2);
    r.Type = q.Int(3);
    r.RefID = q.Int(4);
    r.To = q.Text(5);
    r.ToInfo = q.Text(6);
    r.Msg = q.Text(7);
    r.ApiMsgID = q.Text(8);
    r.SavedStat = q.Int(9);
    r.SenderID = q.Text(10);
    r.Delay = q.Int(11);
    r.QueryTime = q.Int(12);
    r.StatQryTm = q.Int(13);
    r.Charge = q.Text(14);
}
}  // namespace

// ---------------------------------------------------------------- open and close

MessageStore::MessageStore(const std::string& dataDir) : dataDir_(dataDir), path_(dataDir + "/SMS.db") {
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
    if (ListGroups().empty())
        AddGroup(LoadResourceString(kAllContactsString));
    // A row in Editing or Processing belongs to a store still open elsewhere (the desktop beside
    // the command line): only the first store to open may take it as left over.
    if (HoldDataDirectory()) {
        RestoreEditedSms();
        FailInterruptedSms();
        ::flock(holderFd_, LOCK_SH);
    } else {
        LogLine("Store: %s is open elsewhere; messages in editing or processing are left as they are", path_.c_str());
    }
}

// Every open store holds a shared lock on its data directory. Returns true, holding the lock
// exclusively, when no other store holds one; otherwise false, holding it shared.
bool MessageStore::HoldDataDirectory() {
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

MessageStore::~MessageStore() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    while (txDepth_ > 0)
        EndWrite(true);
    CloseDatabase();
    if (holderFd_ >= 0)
        ::close(holderFd_);
}

void MessageStore::CloseDatabase() {
    for (auto& entry : statements_)
        sqlite3_finalize(entry.second);
    statements_.clear();
    if (db_) {
        // Closing the last connection folds the write-ahead log into the file and removes it.
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

// Reads the header and the schema of an existing file without writing anything: an immutable,
// read-only connection neither replays nor truncates the write-ahead log, so a file found
// unreadable is moved aside exactly as it was. Returns the SQLite result.
int MessageStore::ProbeFile() const {
    if (!FileExists(path_))
        return SQLITE_OK;
    std::string uri = "file:";
    for (char c : path_) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    uri += "?immutable=1";
    sqlite3* probe = nullptr;
    int rc = sqlite3_open_v2(uri.c_str(), &probe, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, nullptr);
    if (rc == SQLITE_OK)
        rc = sqlite3_exec(probe, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    sqlite3_close_v2(probe);
    return rc;
}

bool MessageStore::OpenDatabase() {
    int probe = ProbeFile() & 0xff;
    if (probe == SQLITE_NOTADB || probe == SQLITE_CORRUPT) {
        LogLine("Store: %s cannot be read: %s", path_.c_str(), sqlite3_errstr(probe));
        if (!MoveAside())
            return false;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        int rc = sqlite3_open_v2(path_.c_str(), &db_,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
        if (rc != SQLITE_OK) {
            LogLine("Store: cannot open %s: %s", path_.c_str(), db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
            return false;
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, 10000);
        // The first statements read the file header and the schema: a foreign file shows here.
        rc = sqlite3_exec(db_, "PRAGMA journal_mode=WAL; SELECT count(*) FROM sqlite_master;", nullptr, nullptr,
                          nullptr);
        if (rc == SQLITE_OK) {
            // FULL: the write-ahead log is flushed to the disk at every commit, so a change
            // survives a power cut too, not only a crash of the program.
            rc = sqlite3_exec(db_, "PRAGMA synchronous=FULL; PRAGMA foreign_keys=OFF;", nullptr, nullptr, nullptr);
            if (rc == SQLITE_OK)
                return true;
        }
        int primary = rc & 0xff;
        LogLine("Store: %s cannot be read: %s", path_.c_str(), sqlite3_errmsg(db_));
        CloseDatabase();
        if (attempt > 0 || (primary != SQLITE_NOTADB && primary != SQLITE_CORRUPT))
            return false;
        if (!MoveAside())
            return false;
    }
    return false;
}

// Renames an unreadable SMS.db (and its -wal and -shm files) to SMS.db.corrupt-YYYYMMDD-HHMMSS.
bool MessageStore::MoveAside() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string target = path_ + ".corrupt-" + stamp;
    for (int n = 2; FileExists(target) || FileExists(target + "-wal"); ++n)
        target = path_ + ".corrupt-" + stamp + "-" + std::to_string(n);
    if (std::rename(path_.c_str(), target.c_str()) != 0) {
        LogLine("Store: cannot move %s aside", path_.c_str());
        return false;
    }
    for (const char* suffix : {"-wal", "-shm"}) {
        std::string from = path_ + suffix;
        if (FileExists(from))
            std::rename(from.c_str(), (target + suffix).c_str());
    }
    movedAsidePath_ = target;
    LogLine("Store: unreadable database moved to %s; a new one is created", target.c_str());
    return true;
}

bool MessageStore::ApplyLayouts() {
    Tx tx(*this);
    if (!tx.Began())
        return false;
    for (const char* description : {kSmsLayout, kNextSmsIdLayout, kGroupLayout, kNextGroupIdLayout, kContactsLayout,
                                    kContactGroupMapLayout, kNextContactIdLayout}) {
        Layout layout;
        if (!ParseLayout(description, layout))
            return tx.Check(false);
        std::set<std::string> present;
        {
            Query info(*this, "PRAGMA table_info(" + Quote(layout.table) + ")");
            while (info.Step()) {
                std::string name = info.Text(1);
                for (auto& c : name)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                present.insert(name);
            }
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
            if (!tx.Check(Exec(sql)))
                return false;
            continue;
        }
        for (const auto& p : layout.properties) {
            std::string upper = p.name;
            for (auto& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            if (present.count(upper))
                continue;
            if (!tx.Check(Exec("ALTER TABLE " + Quote(layout.table) + " ADD COLUMN " + ColumnDefinition(p))))
                return false;
            LogLine("Store: added property %s to %s", p.name.c_str(), layout.table.c_str());
        }
    }
    // Secondary indexes: memberships by contact and by group, messages by state, contacts by number.
    // OutboxWaiting keeps the number of rows in Stat 0, 4 or 6, so that the outbox count is one
    // read; it is recounted at every open.
    const char* const extras[] = {
        "CREATE INDEX IF NOT EXISTS CONTACT_GROUP_MAP_CID ON CONTACT_GROUP_MAP(CID)",
        "CREATE INDEX IF NOT EXISTS CONTACT_GROUP_MAP_GID ON CONTACT_GROUP_MAP(GID)",
        "CREATE INDEX IF NOT EXISTS SMS_Stat ON SMS(Stat)",
        "CREATE INDEX IF NOT EXISTS CONTACTS_Mobile ON CONTACTS(Mobile)",
        "CREATE TABLE IF NOT EXISTS OutboxWaiting (n INTEGER NOT NULL)",
        "CREATE TRIGGER IF NOT EXISTS OutboxWaiting_Insert AFTER INSERT ON SMS WHEN NEW.Stat IN (0, 4, 6) "
        "BEGIN UPDATE OutboxWaiting SET n = n + 1; END",
        "CREATE TRIGGER IF NOT EXISTS OutboxWaiting_Delete AFTER DELETE ON SMS WHEN OLD.Stat IN (0, 4, 6) "
        "BEGIN UPDATE OutboxWaiting SET n = n - 1; END",
        "CREATE TRIGGER IF NOT EXISTS OutboxWaiting_Update AFTER UPDATE OF Stat ON SMS "
        "WHEN (OLD.Stat IN (0, 4, 6)) <> (NEW.Stat IN (0, 4, 6)) "
        "BEGIN UPDATE OutboxWaiting SET n = n + (CASE WHEN NEW.Stat IN (0, 4, 6) THEN 1 ELSE -1 END); END",
        "DELETE FROM OutboxWaiting",
        "INSERT INTO OutboxWaiting (n) SELECT count(*) FROM SMS WHERE Stat IN (0, 4, 6)",
    };
    for (const char* sql : extras)
        if (!tx.Check(Exec(sql)))
            return false;
    return tx.Commit();
}

// Each counter holds one row; a counter that is missing starts at 1, and one that lags behind
// the ids already present (a damaged or hand-edited file) is moved past them.
bool MessageStore::PrepareCounters() {
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

sqlite3_stmt* MessageStore::Prepare(const std::string& sql) {
    if (!db_)
        return nullptr;
    auto it = statements_.find(sql);
    if (it != statements_.end())
        return it->second;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &stmt, nullptr) !=
        SQLITE_OK) {
        ReportError(sql.c_str());
        return nullptr;
    }
    statements_.emplace(sql, stmt);
    return stmt;
}

bool MessageStore::Exec(const std::string& sql) {
    if (!db_)
        return false;
    if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    ReportError(sql.c_str());
    return false;
}

void MessageStore::ReportError(const char* sql) {
    LogLine("Store: SQLite error %d (%s) in: %s", db_ ? sqlite3_extended_errcode(db_) : -1,
            db_ ? sqlite3_errmsg(db_) : "no database", sql ? sql : "");
}

bool MessageStore::BeginWrite() {
    if (!db_)
        return false;
    if (txDepth_ == 0) {
        if (!Exec("BEGIN IMMEDIATE"))
            return false;
        txFailed_ = false;
    }
    ++txDepth_;
    return true;
}

bool MessageStore::EndWrite(bool ok) {
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

bool MessageStore::DatabaseFileExists() const {
    return db_ != nullptr && FileExists(path_);
}

bool MessageStore::Commit() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    if (!db_ || txDepth_ > 0)
        return false;
    int logFrames = 0, checkpointed = 0;
    return sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, &logFrames, &checkpointed) == SQLITE_OK;
}

std::string MessageStore::MovedAsideReport() const {
    if (movedAsidePath_.empty())
        return "";
    return FormatResourceString(kTextDatabaseMovedReport, {path_, movedAsidePath_});
}

// ---------------------------------------------------------------- counters

int32_t MessageStore::Allocate(const char* table) {
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

int32_t MessageStore::AllocateSmsId() {
    return Allocate("NextSMSID");
}
int32_t MessageStore::AllocateGroupId() {
    return Allocate("NextGroupID");
}

int32_t MessageStore::AllocateContactId() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::lock_guard<std::recursive_mutex> idLock(contactIdLock_);
    return Allocate("NextContactID");
}

int32_t MessageStore::PeekNextContactId() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::lock_guard<std::recursive_mutex> idLock(contactIdLock_);
    Query q(*this, "SELECT ID FROM \"NextContactID\" ORDER BY rowid LIMIT 1");
    return q.Step() ? q.Int(0) : 0;
}

// ---------------------------------------------------------------- messages

int32_t MessageStore::InsertSms(const SmsRecord& r) {
    Query q(*this, std::string("INSERT INTO \"SMS\" (") + kSmsColumns +
                       ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.Bind(r.ID).Bind(r.Time).Bind(r.Stat).Bind(r.Type).Bind(r.RefID).Bind(r.To).Bind(r.ToInfo).Bind(r.Msg);
    q.Bind(r.ApiMsgID).Bind(r.SavedStat).Bind(r.SenderID).Bind(r.Delay).Bind(r.QueryTime).Bind(r.StatQryTm);
    q.Bind(r.Charge);
    return q.Run() ? r.ID : 0;
}

int32_t MessageStore::AddSms(int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                             const std::string& msg, const std::string& senderId, int32_t delay,
                             const std::string& charge) {
    int32_t id = 0;
    {
        Tx tx(*this);
        if (!tx.Began())
            return 0;
        id = AllocateSmsId();
        if (!tx.Check(id > 0))
            return 0;
        SmsRecord r;
        r.ID = id;
        r.RefID = refId != 0 ? refId : id;
        r.Time = time != 0 ? time : Now();
        r.Stat = stat;
        r.Type = type;
        r.To = to;
        r.ToInfo = BuildToInfo(to);
        r.SenderID = senderId;
        r.Delay = delay;
        r.Charge = charge;
        r.Msg = msg;
        if (!tx.Check(InsertSms(r) == id) || !tx.Commit())
            return 0;
    }
    LogLine("Added SMS: SMS_ID (%d) Mobile:%s Msg:%s\n", id, to.c_str(), msg.c_str());
    return id;
}

bool MessageStore::SetSmsStatus(int32_t id, int32_t stat) {
    bool found = false;
    {
        Tx tx(*this);
        {
            Query q(*this, "UPDATE \"SMS\" SET \"Stat\" = ? WHERE \"ID\" = ?");
            found = tx.Check(q.Bind(stat).Bind(id).Run()) && sqlite3_changes(db_) > 0;
        }
        found = tx.Commit() && found;
    }
    if (!found)
        LogLine("FAILED:Can't change SMS status SMS_ID (%d) Status:%d", id, stat);
    return found;
}

void MessageStore::UpdateSms(int32_t id, int32_t type, const std::string& to, const std::string& msg) {
    {
        Tx tx(*this);
        int32_t savedStat = 0;
        {
            Query q(*this, "SELECT \"SavedStat\" FROM \"SMS\" WHERE \"ID\" = ?");
            if (!q.Bind(id).Step())
                return;
            savedStat = q.Int(0);
        }
        int32_t stat = (savedStat == 6 || savedStat == 7) ? 6 : 0;
        {
            Query u(*this,
                    "UPDATE \"SMS\" SET \"Stat\" = ?, \"Type\" = ?, \"To\" = ?, \"ToInfo\" = ?, \"Msg\" = ? WHERE "
                    "\"ID\" = ?");
            if (!tx.Check(u.Bind(stat).Bind(type).Bind(to).Bind(BuildToInfo(to)).Bind(msg).Bind(id).Run()))
                return;
        }
        if (!tx.Commit())
            return;
    }
    LogLine("Updated SMS: SMS_ID (%d) Mobile:%s Msg:%s", id, to.c_str(), msg.c_str());
}

void MessageStore::RestoreEditedSms() {
    Tx tx(*this);
    Query q(*this, "UPDATE \"SMS\" SET \"Stat\" = \"SavedStat\" WHERE \"Stat\" = 5");
    tx.Check(q.Run());
}

void MessageStore::FailInterruptedSms() {
    Tx tx(*this);
    Query q(*this, "UPDATE \"SMS\" SET \"Stat\" = 2 WHERE \"Stat\" = 10");
    tx.Check(q.Run());
}

// The copies read the source and add under one hold of the lock, but leave the transaction to
// AddSms, so that its log line is written only for a row that reached the disk.
int32_t MessageStore::CopySms(int32_t id, bool overrideStat, int32_t stat) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    SmsRecord r;
    if (!GetSms(id, r))
        return -1;
    return AddSms(overrideStat ? stat : r.Stat, 0, r.Type, r.RefID, r.To, r.Msg, r.SenderID, r.Delay, r.Charge);
}

int32_t MessageStore::CopySmsForRecipient(int32_t id, int32_t stat, const std::string& to) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    SmsRecord r;
    if (!GetSms(id, r))
        return -1;
    return AddSms(stat, 0, r.Type, r.RefID, to, r.Msg, r.SenderID, r.Delay, r.Charge);
}

void MessageStore::DeleteSms(int32_t id) {
    Tx tx(*this);
    Query q(*this, "DELETE FROM \"SMS\" WHERE \"ID\" = ?");
    tx.Check(q.Bind(id).Run());
}

int32_t MessageStore::CountOutbox() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT n FROM OutboxWaiting LIMIT 1");
    return q.Step() ? q.Int(0) : 0;
}

std::string MessageStore::BuildToInfo(const std::string& to) {
    std::string result;
    size_t pos = (!to.empty() && to[0] == ',') ? 1 : 0;
    for (int taken = 0; taken < 3 && pos < to.size(); ++taken) {
        size_t comma = to.find(',', pos);
        size_t end = comma == std::string::npos ? to.size() : comma;
        std::string entry = to.substr(pos, end - pos);
        pos = comma == std::string::npos ? to.size() : comma + 1;
        if (!result.empty())
            result += ",";
        if (!entry.empty() && entry[0] == 'A') {
            int32_t cid = static_cast<int32_t>(std::atoi(entry.c_str() + 1));
            if (auto name = GetContactDisplayName(cid))
                result += *name;
        } else {
            result += entry;
        }
    }
    if (pos < to.size())
        result += " ...";
    return CutUtf8(result, kMaxToInfoBytes);
}

std::optional<std::string> MessageStore::ClipboardTextOfSms(int32_t id) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);  // the row and its contacts as one state
    SmsRecord r;
    if (!GetSms(id, r))
        return std::nullopt;
    std::string text =
        FormatResourceString(kClipboardHeadString, {FormatSmsTime(r.Time), StatusDisplayName(r.Stat), r.Charge});
    text += SendingFormOfRecipients(r.To);
    text += LoadResourceString(kClipboardMessageString);
    bool binary = r.Type == 1 || (r.Type >= 3 && r.Type <= 7);
    text += binary ? LoadResourceString(kBinaryMessageString) : r.Msg;
    text += LoadResourceString(kClipboardApiIdString);
    std::string ids;
    if (r.ApiMsgID.size() > 1) {
        std::string rest = r.ApiMsgID.substr(1);
        size_t pos = 0;
        bool first = true;
        while (true) {
            size_t comma = rest.find(',', pos);
            std::string entry = rest.substr(pos, comma == std::string::npos ? std::string::npos : comma - pos);
            if (entry.size() >= 4 && EqualsIgnoreCase(entry.substr(0, 4), "ID: "))
                entry = entry.substr(4);
            if (!first)
                ids += ",";
            ids += entry.substr(0, kMaxApiIdBytes);
            first = false;
            if (comma == std::string::npos)
                break;
            pos = comma + 1;
        }
    }
    text += ids;
    text += "\r\n";
    return text;
}

bool MessageStore::CopySmsToClipboard(int32_t id) {
    auto text = ClipboardTextOfSms(id);
    if (!text)
        return false;
    ClipboardSink sink;
    {
        std::lock_guard<std::mutex> lock(gClipboardMutex);
        sink = gClipboardSink;
    }
    return sink && sink(*text);
}

bool MessageStore::GetSms(int32_t id, SmsRecord& record) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, std::string("SELECT ") + kSmsColumns + " FROM \"SMS\" WHERE \"ID\" = ?");
    if (!q.Bind(id).Step())
        return false;
    ReadSms(q, record);
    return true;
}

std::vector<SmsRecord> MessageStore::LoadAllSms() {
    return SelectSms(SmsSelection());
}

std::vector<SmsRecord> MessageStore::SelectSms(const SmsSelection& s) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::string sql = std::string("SELECT ") + kSmsColumns + " FROM \"SMS\" WHERE 1";
    std::vector<int32_t> values;
    if (!s.stats.empty()) {
        sql += " AND \"Stat\" IN (";
        for (size_t i = 0; i < s.stats.size(); ++i) {
            sql += i ? ", ?" : "?";
            values.push_back(s.stats[i]);
        }
        sql += ")";
    }
    auto add = [&](const std::optional<int32_t>& v, const char* condition) {
        if (!v)
            return;
        sql += condition;
        values.push_back(*v);
    };
    add(s.id, " AND \"ID\" = ?");
    add(s.minQueryTime, " AND \"QueryTime\" >= ?");
    add(s.maxQueryTime, " AND \"QueryTime\" <= ?");
    add(s.minStatQryTm, " AND \"StatQryTm\" >= ?");
    add(s.maxStatQryTm, " AND \"StatQryTm\" <= ?");
    add(s.minTime, " AND \"Time\" >= ?");
    add(s.maxTime, " AND \"Time\" <= ?");
    sql += " ORDER BY \"ID\"";
    std::vector<SmsRecord> rows;
    Query q(*this, sql);
    for (int32_t v : values)
        q.Bind(v);
    while (q.Step()) {
        rows.emplace_back();
        ReadSms(q, rows.back());
    }
    return rows;
}

int32_t MessageStore::SmsRowCount() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT count(*) FROM \"SMS\"");
    return q.Step() ? q.Int(0) : 0;
}

bool MessageStore::BeginEditSms(int32_t id) {
    Tx tx(*this);
    bool changed = false;
    {
        Query q(*this, "UPDATE \"SMS\" SET \"SavedStat\" = \"Stat\", \"Stat\" = 5 WHERE \"ID\" = ?");
        changed = tx.Check(q.Bind(id).Run()) && sqlite3_changes(db_) > 0;
    }
    return tx.Commit() && changed;
}

bool MessageStore::SetSmsApiMsgID(int32_t id, const std::string& apiMsgId) {
    Tx tx(*this);
    bool changed = false;
    {
        Query q(*this, "UPDATE \"SMS\" SET \"ApiMsgID\" = ? WHERE \"ID\" = ?");
        changed = tx.Check(q.Bind(apiMsgId).Bind(id).Run()) && sqlite3_changes(db_) > 0;
    }
    return tx.Commit() && changed;
}

bool MessageStore::SetSmsQuerySchedule(int32_t id, int32_t queryTime, int32_t statQryTm) {
    Tx tx(*this);
    bool changed = false;
    {
        Query q(*this, "UPDATE \"SMS\" SET \"QueryTime\" = ?, \"StatQryTm\" = ? WHERE \"ID\" = ?");
        changed = tx.Check(q.Bind(queryTime).Bind(statQryTm).Bind(id).Run()) && sqlite3_changes(db_) > 0;
    }
    return tx.Commit() && changed;
}

bool MessageStore::SetSmsCharge(int32_t id, const std::string& charge) {
    Tx tx(*this);
    bool changed = false;
    {
        Query q(*this, "UPDATE \"SMS\" SET \"Charge\" = ? WHERE \"ID\" = ?");
        changed = tx.Check(q.Bind(charge).Bind(id).Run()) && sqlite3_changes(db_) > 0;
    }
    return tx.Commit() && changed;
}

bool MessageStore::SetSmsStatusAndCharge(int32_t id, int32_t stat, const std::string& charge) {
    Tx tx(*this);
    bool changed = false;
    {
        Query q(*this, "UPDATE \"SMS\" SET \"Stat\" = ?, \"Charge\" = ? WHERE \"ID\" = ?");
        changed = tx.Check(q.Bind(stat).Bind(charge).Bind(id).Run()) && sqlite3_changes(db_) > 0;
    }
    return tx.Commit() && changed;
}

bool MessageStore::PutSms(const SmsRecord& r) {
    Tx tx(*this);
    Query q(*this,
            "UPDATE \"SMS\" SET \"Time\" = ?, \"Stat\" = ?, \"Type\" = ?, \"RefID\" = ?, \"To\" = ?, \"ToInfo\" = ?, "
            "\"Msg\" = ?, \"ApiMsgID\" = ?, \"SavedStat\" = ?, \"SenderID\" = ?, \"Delay\" = ?, \"QueryTime\" = ?, "
            "\"StatQryTm\" = ?, \"Charge\" = ? WHERE \"ID\" = ?");
    q.Bind(r.Time).Bind(r.Stat).Bind(r.Type).Bind(r.RefID).Bind(r.To).Bind(r.ToInfo).Bind(r.Msg).Bind(r.ApiMsgID);
    q.Bind(r.SavedStat).Bind(r.SenderID).Bind(r.Delay).Bind(r.QueryTime).Bind(r.StatQryTm).Bind(r.Charge).Bind(r.ID);
    bool changed = tx.Check(q.Run()) && sqlite3_changes(db_) > 0;
    q.Reset();
    return tx.Commit() && changed;
}

std::vector<std::string> MessageStore::RecipientNumbers(const std::string& to) {
    const std::string prefix = Settings().prefix;
    std::vector<std::string> numbers;
    size_t pos = (!to.empty() && to[0] == ',') ? 1 : 0;
    while (pos < to.size()) {
        size_t comma = to.find(',', pos);
        size_t end = comma == std::string::npos ? to.size() : comma;
        std::string entry = to.substr(pos, end - pos);
        pos = comma == std::string::npos ? to.size() : comma + 1;
        if (entry.empty())
            continue;
        std::string number;
        bool contact = entry.size() > 1 && entry[0] == 'A' &&
                       std::all_of(entry.begin() + 1, entry.end(), [](char c) { return c >= '0' && c <= '9'; });
        if (contact) {
            // A contact deleted since the message was written is not sent to, so it is not listed.
            auto mobile = GetContactMobile(static_cast<int32_t>(std::atoi(entry.c_str() + 1)), kMaxNumberBytes);
            if (!mobile)
                continue;
            number = *mobile;
        } else {
            number = CutUtf8(entry, kMaxNumberBytes);
        }
        numbers.push_back(ApplyNumberPrefix(number, prefix));
    }
    return numbers;
}

std::string MessageStore::SendingFormOfRecipients(const std::string& to) {
    std::string joined;
    for (const auto& number : RecipientNumbers(to)) {
        if (!joined.empty())
            joined += ",";
        joined += number;
    }
    return joined;
}

// ---------------------------------------------------------------- groups

int32_t MessageStore::AddGroup(const std::string& name) {
    Tx tx(*this);
    if (!tx.Began())
        return -1;
    int32_t gid = AllocateGroupId();
    if (!tx.Check(gid > 0))
        return -1;
    {
        Query q(*this, "INSERT INTO \"GROUP\" (\"GID\", \"Cnt\", \"Name\") VALUES (?, 0, ?)");
        if (!tx.Check(q.Bind(gid).Bind(name).Run()))
            return -1;
    }
    return tx.Commit() ? FindGroupRow(gid) : -1;
}

void MessageStore::RenameGroup(int32_t gid, const std::string& name) {
    Tx tx(*this);
    Query q(*this, "UPDATE \"GROUP\" SET \"Name\" = ? WHERE \"GID\" = ?");
    tx.Check(q.Bind(name).Bind(gid).Run());
}

void MessageStore::DeleteGroup(int32_t gid) {
    Tx tx(*this);
    if (!tx.Began())
        return;
    while (true) {
        int32_t cid = 0;
        {
            Query q(*this, "SELECT \"CID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"GID\" = ? ORDER BY rowid LIMIT 1");
            bool found = q.Bind(gid).Step();
            if (!tx.Check(!q.Failed()) || !found)
                break;
            cid = q.Int(0);
        }
        bool contactExists = false;
        {
            Query q(*this, "SELECT 1 FROM \"CONTACTS\" WHERE \"CID\" = ?");
            contactExists = q.Bind(cid).Step();
        }
        // A membership whose contact is gone would never be removed by DeleteContact; drop it here.
        if (contactExists && CountContactGroups(cid) < 2)
            DeleteContact(cid, false, gid);
        else if (!tx.Check(RemoveMembership(cid, gid)))
            return;
        // A step that failed left its row in place: the next pass would find it again for ever.
        if (txFailed_)
            return;
    }
    Query q(*this, "DELETE FROM \"GROUP\" WHERE \"GID\" = ?");
    tx.Check(q.Bind(gid).Run());
}

int32_t MessageStore::FindOrAddGroup(const std::string& name) {
    Tx tx(*this);
    const std::string folded = FoldCase(name);
    for (const auto& g : ListGroups())
        if (FoldCase(g.Name) == folded)
            return g.GID;
    int32_t row = AddGroup(name);
    if (row < 0)
        return 0;
    int32_t gid = 0;
    {
        Query q(*this, "SELECT \"GID\" FROM \"GROUP\" ORDER BY \"GID\" LIMIT 1 OFFSET ?");
        gid = q.Bind(row).Step() ? q.Int(0) : 0;
    }
    return tx.Commit() ? gid : 0;
}

std::optional<std::string> MessageStore::GetGroupName(int32_t gid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT \"Name\" FROM \"GROUP\" WHERE \"GID\" = ?");
    if (!q.Bind(gid).Step())
        return std::nullopt;
    return q.Text(0);
}

int32_t MessageStore::FindGroupRow(int32_t gid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    {
        Query q(*this, "SELECT 1 FROM \"GROUP\" WHERE \"GID\" = ?");
        if (!q.Bind(gid).Step())
            return -1;
    }
    Query q(*this, "SELECT count(*) FROM \"GROUP\" WHERE \"GID\" < ?");
    return q.Bind(gid).Step() ? q.Int(0) : -1;
}

std::vector<GroupRecord> MessageStore::ListGroups() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::vector<GroupRecord> groups;
    Query q(*this, "SELECT \"GID\", \"Cnt\", \"Name\" FROM \"GROUP\" ORDER BY \"GID\"");
    while (q.Step())
        groups.push_back(GroupRecord{q.Int(0), q.Int(1), q.Text(2)});
    return groups;
}

std::vector<GroupListEntry> MessageStore::GroupListWithCounts() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::vector<GroupListEntry> list;
    for (const auto& g : ListGroups()) {
        GroupListEntry e;
        e.GID = g.GID;
        e.Name = g.Name;
        e.displayText = list.empty() ? g.Name : g.Name + " (0)";
        list.push_back(e);
    }
    std::unordered_map<int32_t, int32_t> counts;
    {
        Query q(*this, "SELECT \"GID\", count(*) FROM \"CONTACT_GROUP_MAP\" GROUP BY \"GID\"");
        while (q.Step())
            counts[q.Int(0)] = q.Int(1);
    }
    for (auto& e : list) {
        auto it = counts.find(e.GID);
        if (it == counts.end() || it->second == 0)
            continue;
        e.count = it->second;
        e.displayText = e.Name + " (" + std::to_string(e.count) + ")";
    }
    return list;
}

// ---------------------------------------------------------------- contacts

int32_t MessageStore::AddContact(const ContactRecord& given) {
    const ContactRecord c = CutToRecordLimits(given);
    Tx tx(*this);
    if (!tx.Began())
        return 0;
    int32_t cid = AllocateContactId();
    if (!tx.Check(cid > 0))
        return 0;
    {
        Query q(*this,
                "INSERT INTO \"CONTACTS\" (\"CID\", \"Name\", \"Surname\", \"Title\", \"Custom\", \"Mobile\") "
                "VALUES (?, ?, ?, ?, ?, ?)");
        if (!tx.Check(q.Bind(cid).Bind(c.Name).Bind(c.Surname).Bind(c.Title).Bind(c.Custom).Bind(c.Mobile).Run()))
            return 0;
    }
    for (int32_t gid : c.groups)
        AddMembership(gid, cid);
    return tx.Commit() ? cid : 0;
}

void MessageStore::UpdateContact(int32_t cid, const ContactRecord& given) {
    const ContactRecord c = CutToRecordLimits(given);
    Tx tx(*this);
    {
        Query q(*this,
                "UPDATE \"CONTACTS\" SET \"Name\" = ?, \"Surname\" = ?, \"Title\" = ?, \"Custom\" = ?, \"Mobile\" = ? "
                "WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(c.Name).Bind(c.Surname).Bind(c.Title).Bind(c.Custom).Bind(c.Mobile).Bind(cid).Run()))
            return;
        if (sqlite3_changes(db_) == 0)
            return;
    }
    {
        Query q(*this, "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(cid).Run()))
            return;
    }
    for (int32_t gid : c.groups)
        AddMembership(gid, cid);
}

void MessageStore::DeleteContact(int32_t cid, bool entirely, int32_t gid) {
    Tx tx(*this);
    {
        Query q(*this, "SELECT 1 FROM \"CONTACTS\" WHERE \"CID\" = ?");
        if (!q.Bind(cid).Step())
            return;
    }
    if (!entirely) {
        RemoveMembership(cid, gid);
        if (CountContactGroups(cid) > 0)
            return;
    }
    {
        Query q(*this, "DELETE FROM \"CONTACTS\" WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(cid).Run()))
            return;
    }
    Query q(*this, "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
    tx.Check(q.Bind(cid).Run());
}

bool MessageStore::LoadContact(int32_t cid, ContactRecord& c) {
    c.Clear();
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this,
            "SELECT \"Name\", \"Surname\", \"Title\", \"Custom\", \"Mobile\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return false;
    c.Name = CutUtf8(q.Text(0), ContactRecord::kMaxName);
    c.Surname = CutUtf8(q.Text(1), ContactRecord::kMaxSurname);
    c.Title = CutUtf8(q.Text(2), ContactRecord::kMaxTitle);
    c.Custom = CutUtf8(q.Text(3), ContactRecord::kMaxCustom);
    c.Mobile = CutUtf8(q.Text(4), ContactRecord::kMaxMobile);
    return true;
}

std::optional<std::string> MessageStore::GetContactDisplayName(int32_t cid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT \"Name\", \"Surname\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return std::nullopt;
    return q.Text(0) + " " + q.Text(1);
}

std::optional<std::string> MessageStore::GetContactMobile(int32_t cid, size_t size) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT \"Mobile\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return std::nullopt;
    return CutUtf8(q.Text(0), size);
}

bool MessageStore::GetContactNameParts(int32_t cid, std::string& name, std::string& surname, std::string& mobile) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT \"Name\", \"Surname\", \"Mobile\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return false;
    name = q.Text(0);
    surname = q.Text(1);
    mobile = q.Text(2);
    return true;
}

bool MessageStore::ContactMobileExists(const std::string& mobile) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT 1 FROM \"CONTACTS\" WHERE \"Mobile\" = ? LIMIT 1");
    return q.Bind(mobile).Step();
}

std::vector<ContactRow> MessageStore::ListContacts() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::vector<ContactRow> rows;
    std::unordered_map<int32_t, size_t> index;
    {
        Query q(*this,
                "SELECT \"CID\", \"Name\", \"Surname\", \"Title\", \"Custom\", \"Mobile\" FROM \"CONTACTS\" ORDER BY "
                "\"CID\"");
        while (q.Step()) {
            ContactRow row;
            row.CID = q.Int(0);
            row.contact.Name = q.Text(1);
            row.contact.Surname = q.Text(2);
            row.contact.Title = q.Text(3);
            row.contact.Custom = q.Text(4);
            row.contact.Mobile = q.Text(5);
            index[row.CID] = rows.size();
            rows.push_back(std::move(row));
        }
    }
    Query q(*this, "SELECT \"CID\", \"GID\" FROM \"CONTACT_GROUP_MAP\" ORDER BY rowid");
    while (q.Step()) {
        auto it = index.find(q.Int(0));
        if (it != index.end())
            rows[it->second].contact.groups.push_back(q.Int(1));
    }
    return rows;
}

int32_t MessageStore::ContactCount() {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT count(*) FROM \"CONTACTS\"");
    return q.Step() ? q.Int(0) : 0;
}

// ---------------------------------------------------------------- memberships

void MessageStore::AddMembership(int32_t gid, int32_t cid) {
    Tx tx(*this);
    Query q(*this, "INSERT INTO \"CONTACT_GROUP_MAP\" (\"CID\", \"GID\") VALUES (?, ?)");
    tx.Check(q.Bind(cid).Bind(gid).Run());
}

void MessageStore::AddMembershipIfMissing(int32_t cid, int32_t gid) {
    Tx tx(*this);
    if (!IsMember(cid, gid))
        AddMembership(gid, cid);
}

bool MessageStore::IsMember(int32_t cid, int32_t gid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT 1 FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? AND \"GID\" = ? LIMIT 1");
    return q.Bind(cid).Bind(gid).Step();
}

bool MessageStore::RemoveMembership(int32_t cid, int32_t gid) {
    Tx tx(*this);
    Query q(
        *this,
        "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE rowid = (SELECT rowid FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? "
        "AND \"GID\" = ? ORDER BY rowid LIMIT 1)");
    bool removed = tx.Check(q.Bind(cid).Bind(gid).Run()) && sqlite3_changes(db_) > 0;
    q.Reset();
    return tx.Commit() && removed;
}

bool MessageStore::MoveContactToGroup(int32_t cid, int32_t toGid, int32_t fromGid) {
    Tx tx(*this);
    if (IsMember(cid, toGid))
        return true;
    if (fromGid == 1) {
        Query q(*this, "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(cid).Run()))
            return false;
    } else {
        RemoveMembership(cid, fromGid);
    }
    AddMembership(toGid, cid);
    return tx.Commit();
}

int32_t MessageStore::CountContactGroups(int32_t cid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT count(*) FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
    return q.Bind(cid).Step() ? q.Int(0) : 0;
}

int32_t MessageStore::GetFirstGroupOfContact(int32_t cid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    Query q(*this, "SELECT \"GID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? ORDER BY rowid LIMIT 1");
    return q.Bind(cid).Step() ? q.Int(0) : 0;
}

std::vector<int32_t> MessageStore::GroupsOfContact(int32_t cid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::vector<int32_t> gids;
    Query q(*this, "SELECT \"GID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? ORDER BY rowid");
    q.Bind(cid);
    while (q.Step())
        gids.push_back(q.Int(0));
    return gids;
}

std::vector<int32_t> MessageStore::MembersOfGroup(int32_t gid) {
    std::lock_guard<std::recursive_mutex> lock(smsLock_);
    std::vector<int32_t> cids;
    Query q(*this, "SELECT \"CID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"GID\" = ? ORDER BY rowid");
    q.Bind(gid);
    while (q.Step())
        cids.push_back(q.Int(0));
    return cids;
}

// ---------------------------------------------------------------- batches

StoreTransaction::StoreTransaction(MessageStore& store) : store_(store), lock_(store.SmsLock()) {
    ok_ = store_.BeginWrite();
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
    ok_ = store_.EndWrite(true);
    lock_.unlock();
    return ok_;
}

void StoreTransaction::Rollback() {
    if (done_)
        return;
    done_ = true;
    ok_ = false;
    store_.EndWrite(false);
    lock_.unlock();
}

// ---------------------------------------------------------------- process-wide pieces

MessageStore* TheStore() {
    return gStore.load();
}
void SetTheStore(MessageStore* store) {
    gStore.store(store);
}

void SetClipboardSink(ClipboardSink sink) {
    std::lock_guard<std::mutex> lock(gClipboardMutex);
    gClipboardSink = std::move(sink);
}

std::string ApplyNumberPrefix(const std::string& number, const std::string& prefix) {
    if (prefix.empty() || number.empty() || number[0] != '0')
        return number;
    size_t first = number.find_first_not_of('0');
    return prefix + (first == std::string::npos ? std::string() : number.substr(first));
}

}  // namespace quillon
