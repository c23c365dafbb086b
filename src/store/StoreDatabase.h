// The database layer under the outbox rows and the address book: the connection to SMS.db, its open
// sequence (a damaged file is left as it is and reported, for the user to salvage), the table
// layouts, the id counters, prepared statements and write transactions.
//
// Damage: a file that SQLite finds malformed or not a database at all, at open or in any later
// operation, makes the store damaged for good: every later operation fails instead of returning a
// part of the data, the damage handler is told once, and a marker beside the file makes the next
// open report it too until the store is salvaged (StoreSalvage.h).
//
// Every operation over it is durable when it returns: the file runs in WAL mode and each operation
// is one transaction (an operation that loops is one transaction for the whole loop), and it reports
// success only once that transaction is committed. StoreTransaction groups many operations into one
// transaction for bulk work (imports, benchmarks).
//
// Threads: the ui thread and the comms worker share the one database. SmsLock() guards the SMS table
// and the connection itself; every operation takes it, so any operation may be called from either
// thread, also while the caller holds SmsLock() (it is recursive). ContactIdLock() guards the
// contact id counter and is taken inside the store only.
// Lock order: the worker lock, then SmsLock(), then ContactIdLock(); never the reverse.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <unordered_map>

struct sqlite3;
struct sqlite3_stmt;

namespace quillon {

class MessageStore;

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

class StoreDatabase {
public:
    // Opens dataDir + "/SMS.db": a missing file is created; the layouts and counters are applied.
    // A damaged file is not opened (IsOpen() false, Damaged() true). Never throws; when the
    // database cannot be opened at all, IsOpen() is false.
    explicit StoreDatabase(const std::string& dataDir);
    ~StoreDatabase();  // checkpoints and closes

    StoreDatabase(const StoreDatabase&) = delete;
    StoreDatabase& operator=(const StoreDatabase&) = delete;

    bool IsOpen() const { return db_ != nullptr; }
    // True when the database is open and its file exists on disk.
    bool DatabaseFileExists() const;
    const std::string& Path() const { return path_; }
    // Changes are already durable; this folds the write-ahead log into the database file.
    bool Commit();

    // The marker that keeps a damage found in use known to the next open.
    static constexpr const char* kDamageMarker = "SMS.db.damaged";
    bool Damaged() const { return damaged_.load(); }
    // SQLite's words for the damage; "" while there is none.
    std::string DamageReason() const;
    // The user's sentence: which file is damaged and how.
    std::string DamageText() const;
    // Records damage found outside the store's own statements (the check after start-up).
    void MarkDamaged(const std::string& reason);
    // Called once, on the thread that found it, when damage is first found after the open. It must
    // only hand the news on (the store's lock may be held).
    void SetDamageHandler(std::function<void(const std::string& reason)> handler);

    std::recursive_mutex& SmsLock() { return smsLock_; }
    std::recursive_mutex& ContactIdLock() { return contactIdLock_; }

    // Every open store holds a shared lock on its data directory. Returns true, holding the lock
    // exclusively, when no other store holds one; otherwise false, holding it shared.
    bool HoldDataDirectory();
    // After HoldDataDirectory returned true: lets other stores open beside this one.
    void ShareDataDirectory();

    // Returns the id held by the one-row counter table and advances it; 0 when it cannot.
    int32_t Allocate(const char* table);
    // Rows changed by the last statement.
    int Changes() const;
    // True once a step of the open write transaction failed.
    bool WriteFailed() const { return txFailed_; }
    bool InTransaction() const { return txDepth_ > 0; }  // under SmsLock

    class Query;  // a prepared statement in use
    class Tx;     // one write transaction for one operation

private:
    friend class StoreTransaction;

    bool OpenDatabase();
    void CloseDatabase();
    bool ApplyLayouts();
    bool ApplyLayout(const char* description, Tx& tx);
    bool PrepareCounters();
    sqlite3_stmt* Prepare(const std::string& sql);
    bool Exec(const std::string& sql);
    void ReportError(const char* sql, int rc);
    bool BeginWrite();
    bool EndWrite(bool ok);

    std::string dataDir_;
    std::string path_;
    sqlite3* db_ = nullptr;
    std::atomic<bool> damaged_{false};
    mutable std::mutex damageLock_;  // guards the two below
    std::string damageReason_;
    std::function<void(const std::string&)> damageHandler_;
    int holderFd_ = -1;  // the data directory, locked shared while the store is open
    std::recursive_mutex smsLock_;
    std::recursive_mutex contactIdLock_;
    int txDepth_ = 0;
    int blockedWrites_ = 0;  // operations running whose transaction could not start
    bool txFailed_ = false;
    std::unordered_map<std::string, sqlite3_stmt*> statements_;
};

// A cached prepared statement in use: binds in order, resets when done.
class StoreDatabase::Query {
public:
    Query(StoreDatabase& db, const std::string& sql);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& Bind(int32_t value);
    Query& Bind(const std::string& value);
    // True while a row is there; a failure ends the walk and is remembered.
    bool Step();
    // Runs a statement that returns no rows; true on success.
    bool Run();
    int32_t Int(int column) const;
    std::string Text(int column) const;
    bool Failed() const { return failed_; }
    // Lets go of the statement before the object ends, so that its transaction can end first.
    void Reset();

private:
    StoreDatabase& db_;
    sqlite3_stmt* stmt_;
    int index_ = 0;
    bool failed_ = false;
};

// One write transaction for one operation (nested inside a StoreTransaction when one is open).
// When the transaction cannot start (no database, or another process holds the file past the busy
// timeout), every statement of the operation fails, so it does nothing rather than half.
class StoreDatabase::Tx {
public:
    explicit Tx(StoreDatabase& db);
    ~Tx() { Commit(); }
    Tx(const Tx&) = delete;
    Tx& operator=(const Tx&) = delete;

    // Ends the transaction: true when its changes are on the disk (inside a batch: joined it). An
    // operation reports success only from here, since a commit can fail where every statement
    // worked (a full disk shows only when the log is written).
    bool Commit();
    bool Began() const { return began_; }
    // Marks the transaction failed when a step failed; returns the step's success.
    bool Check(bool stepOk) {
        if (!stepOk)
            ok_ = false;
        return stepOk;
    }

private:
    StoreDatabase& db_;
    std::lock_guard<std::recursive_mutex> lock_;
    bool began_ = false;
    bool ok_ = true;
    bool done_ = false;
    bool committed_ = false;
};

// Groups operations into one transaction, durable when Commit() runs or the object goes out of
// scope; Rollback() drops them. Holds SmsLock() until it is committed or rolled back. Nests: an
// inner batch joins the outer one, and a rollback anywhere drops the whole.
class StoreTransaction {
public:
    explicit StoreTransaction(StoreDatabase& db);
    explicit StoreTransaction(MessageStore& store);
    ~StoreTransaction();  // commits unless rolled back
    StoreTransaction(const StoreTransaction&) = delete;
    StoreTransaction& operator=(const StoreTransaction&) = delete;

    bool Commit();
    void Rollback();

private:
    StoreDatabase& db_;
    std::unique_lock<std::recursive_mutex> lock_;
    bool done_ = false;
    bool ok_ = false;
};

}  // namespace quillon
