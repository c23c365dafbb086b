#include "store/OutboxStore.h"

#include <ctime>

#include "core/AppLog.h"
#include "core/AppSettings.h"
#include "core/TextUtil.h"
#include "store/AddressBook.h"
#include "store/MessageStatus.h"
#include "store/RecipientList.h"

namespace quillon {

namespace {

using Query = StoreDatabase::Query;
using Tx = StoreDatabase::Tx;

constexpr size_t kToInfoEntries = 3;  // entries named in ToInfo before " ..."

int32_t Now() {
    return static_cast<int32_t>(std::time(nullptr));
}

// Text of the 15 SMS properties in stored order, for SELECT lists.
const char* const kSmsColumns =
    "\"ID\",\"Time\",\"Stat\",\"Type\",\"RefID\",\"To\",\"ToInfo\",\"Msg\",\"ApiMsgID\",\"SavedStat\",\"SenderID\","
    "\"Delay\",\"QueryTime\",\"StatQryTm\",\"Charge\"";

void ReadSms(const Query& q, SmsRecord& r) {
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

// Runs one UPDATE of a row as its own transaction; true when a row changed and that reached the disk.
template <typename... Values>
bool UpdateRow(StoreDatabase& db, const char* sql, const Values&... values) {
    Tx tx(db);
    bool changed = false;
    {
        Query q(db, sql);
        (q.Bind(values), ...);
        changed = tx.Check(q.Run()) && db.Changes() > 0;
    }
    return tx.Commit() && changed;
}

}  // namespace

int32_t OutboxStore::AllocateSmsId() {
    return db_.Allocate("NextSMSID");
}

int32_t OutboxStore::InsertSms(const SmsRecord& r) {
    Query q(db_, std::string("INSERT INTO \"SMS\" (") + kSmsColumns +
                     ") VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    q.Bind(r.ID).Bind(r.Time).Bind(r.Stat).Bind(r.Type).Bind(r.RefID).Bind(r.To).Bind(r.ToInfo).Bind(r.Msg);
    q.Bind(r.ApiMsgID).Bind(r.SavedStat).Bind(r.SenderID).Bind(r.Delay).Bind(r.QueryTime).Bind(r.StatQryTm);
    q.Bind(r.Charge);
    return q.Run() ? r.ID : 0;
}

int32_t OutboxStore::AddSms(int32_t stat, int32_t time, int32_t type, int32_t refId, const std::string& to,
                            const std::string& msg, const std::string& senderId, int32_t delay,
                            const std::string& charge) {
    int32_t id = 0;
    {
        Tx tx(db_);
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

bool OutboxStore::SetSmsStatus(int32_t id, int32_t stat) {
    bool found = false;
    {
        Tx tx(db_);
        {
            Query q(db_, "UPDATE \"SMS\" SET \"Stat\" = ? WHERE \"ID\" = ?");
            found = tx.Check(q.Bind(stat).Bind(id).Run()) && db_.Changes() > 0;
        }
        found = tx.Commit() && found;
    }
    if (!found)
        LogLine("FAILED:Can't change SMS status SMS_ID (%d) Status:%d", id, stat);
    return found;
}

void OutboxStore::UpdateSms(int32_t id, int32_t type, const std::string& to, const std::string& msg) {
    {
        Tx tx(db_);
        int32_t savedStat = 0;
        {
            Query q(db_, "SELECT \"SavedStat\" FROM \"SMS\" WHERE \"ID\" = ?");
            if (!q.Bind(id).Step())
                return;
            savedStat = q.Int(0);
        }
        // A message that was scheduled goes back to waiting for its time; any other becomes pending. A
        // locally scheduled one stays local: made Pending it would go at once, not at its time.
        bool scheduled = savedStat == StatusCode(MessageStatus::DelayScheduled) ||
                         savedStat == StatusCode(MessageStatus::ScheduledOnServer);
        int32_t stat = StatusCode(scheduled ? MessageStatus::DelayScheduled : MessageStatus::Pending);
        if (savedStat == StatusCode(MessageStatus::Scheduled))
            stat = savedStat;
        {
            Query u(db_,
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

void OutboxStore::RestoreEditedSms() {
    Tx tx(db_);
    Query q(db_, "UPDATE \"SMS\" SET \"Stat\" = \"SavedStat\" WHERE \"Stat\" = ?");
    tx.Check(q.Bind(StatusCode(MessageStatus::Editing)).Run());
}

void OutboxStore::FailInterruptedSms() {
    Tx tx(db_);
    Query q(db_, "UPDATE \"SMS\" SET \"Stat\" = ? WHERE \"Stat\" = ?");
    tx.Check(q.Bind(StatusCode(MessageStatus::Failed)).Bind(StatusCode(MessageStatus::Processing)).Run());
}

// The copies read the source and add under one hold of the lock, but leave the transaction to
// AddSms, so that its log line is written only for a row that reached the disk.
int32_t OutboxStore::CopySms(int32_t id, bool overrideStat, int32_t stat) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    SmsRecord r;
    if (!GetSms(id, r))
        return -1;
    return AddSms(overrideStat ? stat : r.Stat, 0, r.Type, r.RefID, r.To, r.Msg, r.SenderID, r.Delay, r.Charge);
}

int32_t OutboxStore::CopySmsForRecipient(int32_t id, int32_t stat, const std::string& to) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    SmsRecord r;
    if (!GetSms(id, r))
        return -1;
    return AddSms(stat, 0, r.Type, r.RefID, to, r.Msg, r.SenderID, r.Delay, r.Charge);
}

void OutboxStore::DeleteSms(int32_t id) {
    Tx tx(db_);
    Query q(db_, "DELETE FROM \"SMS\" WHERE \"ID\" = ?");
    tx.Check(q.Bind(id).Run());
}

bool OutboxStore::RestoreSms(const SmsRecord& record) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    SmsRecord existing;
    if (record.ID <= 0 || GetSms(record.ID, existing))
        return false;
    Tx tx(db_);
    return tx.Check(InsertSms(record) == record.ID) && tx.Commit();
}

int32_t OutboxStore::CountOutbox() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT n FROM OutboxWaiting LIMIT 1");
    return q.Step() ? q.Int(0) : 0;
}

std::string OutboxStore::BuildToInfo(const std::string& to) {
    const std::vector<RecipientListEntry> entries = ParseRecipientList(to);
    std::string result;
    for (size_t i = 0; i < entries.size() && i < kToInfoEntries; ++i) {
        if (!result.empty())  // the comma only separates what is already there
            result += ",";
        if (entries[i].IsContact()) {
            if (auto name = book_.GetContactDisplayName(*entries[i].contactId))
                result += *name;
        } else if (!entries[i].LooksLikeContact()) {
            result += entries[i].text;
        }
    }
    if (entries.size() > kToInfoEntries)
        result += " ...";
    return CutUtf8(result, kMaxToInfoBytes);
}

bool OutboxStore::GetSms(int32_t id, SmsRecord& record) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, std::string("SELECT ") + kSmsColumns + " FROM \"SMS\" WHERE \"ID\" = ?");
    if (!q.Bind(id).Step())
        return false;
    ReadSms(q, record);
    return true;
}

std::vector<SmsRecord> OutboxStore::LoadAllSms() {
    return SelectSms(SmsSelection());
}

std::vector<SmsRecord> OutboxStore::SelectSms(const SmsSelection& s) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
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
    Query q(db_, sql);
    for (int32_t v : values)
        q.Bind(v);
    while (q.Step()) {
        rows.emplace_back();
        ReadSms(q, rows.back());
    }
    return rows;
}

int32_t OutboxStore::SmsRowCount() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT count(*) FROM \"SMS\"");
    return q.Step() ? q.Int(0) : 0;
}

bool OutboxStore::BeginEditSms(int32_t id) {
    return UpdateRow(db_, "UPDATE \"SMS\" SET \"SavedStat\" = \"Stat\", \"Stat\" = ? WHERE \"ID\" = ?",
                     StatusCode(MessageStatus::Editing), id);
}

bool OutboxStore::SetSmsApiMsgID(int32_t id, const std::string& apiMsgId) {
    return UpdateRow(db_, "UPDATE \"SMS\" SET \"ApiMsgID\" = ? WHERE \"ID\" = ?", apiMsgId, id);
}

bool OutboxStore::SetSmsQuerySchedule(int32_t id, int32_t queryTime, int32_t statQryTm) {
    return UpdateRow(db_, "UPDATE \"SMS\" SET \"QueryTime\" = ?, \"StatQryTm\" = ? WHERE \"ID\" = ?", queryTime,
                     statQryTm, id);
}

bool OutboxStore::SetSmsCharge(int32_t id, const std::string& charge) {
    return UpdateRow(db_, "UPDATE \"SMS\" SET \"Charge\" = ? WHERE \"ID\" = ?", charge, id);
}

bool OutboxStore::SetSmsStatusAndCharge(int32_t id, int32_t stat, const std::string& charge) {
    return UpdateRow(db_, "UPDATE \"SMS\" SET \"Stat\" = ?, \"Charge\" = ? WHERE \"ID\" = ?", stat, charge, id);
}

bool OutboxStore::PutSms(const SmsRecord& r) {
    Tx tx(db_);
    Query q(db_,
            "UPDATE \"SMS\" SET \"Time\" = ?, \"Stat\" = ?, \"Type\" = ?, \"RefID\" = ?, \"To\" = ?, \"ToInfo\" = ?, "
            "\"Msg\" = ?, \"ApiMsgID\" = ?, \"SavedStat\" = ?, \"SenderID\" = ?, \"Delay\" = ?, \"QueryTime\" = ?, "
            "\"StatQryTm\" = ?, \"Charge\" = ? WHERE \"ID\" = ?");
    q.Bind(r.Time).Bind(r.Stat).Bind(r.Type).Bind(r.RefID).Bind(r.To).Bind(r.ToInfo).Bind(r.Msg).Bind(r.ApiMsgID);
    q.Bind(r.SavedStat).Bind(r.SenderID).Bind(r.Delay).Bind(r.QueryTime).Bind(r.StatQryTm).Bind(r.Charge).Bind(r.ID);
    bool changed = tx.Check(q.Run()) && db_.Changes() > 0;
    q.Reset();
    return tx.Commit() && changed;
}

std::vector<std::string> OutboxStore::RecipientNumbers(const std::string& to) {
    const std::string prefix = Settings().prefix;
    std::vector<std::string> numbers;
    for (const RecipientListEntry& entry : ParseRecipientList(to)) {
        if (entry.text.empty())
            continue;
        std::string number;
        if (entry.IsContact()) {
            // A contact deleted since the message was written is not sent to, so it is not listed.
            auto mobile = book_.GetContactMobile(*entry.contactId, kMaxNumberBytes);
            if (!mobile)
                continue;
            number = *mobile;
        } else {
            number = CutUtf8(entry.text, kMaxNumberBytes);
        }
        numbers.push_back(ApplyNumberPrefix(number, prefix));
    }
    return numbers;
}

std::string OutboxStore::SendingFormOfRecipients(const std::string& to) {
    std::string joined;
    for (const auto& number : RecipientNumbers(to)) {
        if (!joined.empty())
            joined += ",";
        joined += number;
    }
    return joined;
}

}  // namespace quillon
