#include "store/AddressBook.h"

#include <atomic>
#include <unordered_map>

#include "core/TextUtil.h"

namespace quillon {

namespace {

using Query = StoreDatabase::Query;
using Tx = StoreDatabase::Tx;

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

// The first column of every row a one-key query returns, in order.
std::vector<int32_t> IdsOf(StoreDatabase& db, const char* sql, int32_t key) {
    std::lock_guard<std::recursive_mutex> lock(db.SmsLock());
    std::vector<int32_t> ids;
    Query q(db, sql);
    q.Bind(key);
    while (q.Step())
        ids.push_back(q.Int(0));
    return ids;
}

// Declared before the write's transaction, so the number moves only once the write has ended
// (committed or not): a reader that saw the old number rebuilds again later.
struct GenerationBump {
    std::atomic<uint64_t>& generation;
    ~GenerationBump() { ++generation; }
};

}  // namespace

// ---------------------------------------------------------------- counters

int32_t AddressBook::AllocateGroupId() {
    return db_.Allocate("NextGroupID");
}

int32_t AddressBook::AllocateContactId() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    std::lock_guard<std::recursive_mutex> idLock(db_.ContactIdLock());
    if (idRun_)
        return runNextCid_++;
    return db_.Allocate("NextContactID");
}

int32_t AddressBook::PeekNextContactId() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    std::lock_guard<std::recursive_mutex> idLock(db_.ContactIdLock());
    if (idRun_)
        return runNextCid_;
    Query q(db_, "SELECT ID FROM \"NextContactID\" ORDER BY rowid LIMIT 1");
    return q.Step() ? q.Int(0) : 0;
}

void AddressBook::BeginContactIdRun() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    // Outside a transaction each contact would commit alone, ahead of the counter.
    const int32_t next = db_.InTransaction() ? PeekNextContactId() : 0;
    if (next <= 0)
        return;  // AddContact allocates one by one, as always
    runNextCid_ = next;
    idRun_ = true;
}

bool AddressBook::EndContactIdRun() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    std::lock_guard<std::recursive_mutex> idLock(db_.ContactIdLock());
    if (!idRun_)
        return true;
    idRun_ = false;
    Tx tx(db_);
    Query q(db_,
            "UPDATE \"NextContactID\" SET ID = ? WHERE rowid = (SELECT rowid FROM \"NextContactID\" ORDER BY rowid "
            "LIMIT 1)");
    const bool written = tx.Check(q.Bind(runNextCid_).Run() && db_.Changes() == 1);
    q.Reset();
    return tx.Commit() && written;
}

// ---------------------------------------------------------------- groups

int32_t AddressBook::AddGroup(const std::string& name) {
    const GenerationBump bump{generation_};
    Tx tx(db_);
    if (!tx.Began())
        return -1;
    int32_t gid = AllocateGroupId();
    if (!tx.Check(gid > 0))
        return -1;
    {
        Query q(db_, "INSERT INTO \"GROUP\" (\"GID\", \"Cnt\", \"Name\") VALUES (?, 0, ?)");
        if (!tx.Check(q.Bind(gid).Bind(name).Run()))
            return -1;
    }
    return tx.Commit() ? FindGroupRow(gid) : -1;
}

void AddressBook::RenameGroup(int32_t gid, const std::string& name) {
    const GenerationBump bump{generation_};
    Tx tx(db_);
    Query q(db_, "UPDATE \"GROUP\" SET \"Name\" = ? WHERE \"GID\" = ?");
    tx.Check(q.Bind(name).Bind(gid).Run());
}

void AddressBook::DeleteGroup(int32_t gid) {
    const GenerationBump bump{generation_};
    Tx tx(db_);
    if (!tx.Began())
        return;
    while (true) {
        int32_t cid = 0;
        {
            Query q(db_, "SELECT \"CID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"GID\" = ? ORDER BY rowid LIMIT 1");
            bool found = q.Bind(gid).Step();
            if (!tx.Check(!q.Failed()) || !found)
                break;
            cid = q.Int(0);
        }
        bool contactExists = false;
        {
            Query q(db_, "SELECT 1 FROM \"CONTACTS\" WHERE \"CID\" = ?");
            contactExists = q.Bind(cid).Step();
        }
        // A membership whose contact is gone would never be removed by DeleteContact; drop it here.
        if (contactExists && CountContactGroups(cid) < 2)
            DeleteContact(cid, false, gid);
        else if (!tx.Check(RemoveMembership(cid, gid)))
            return;
        // A step that failed left its row in place: the next pass would find it again for ever.
        if (db_.WriteFailed())
            return;
    }
    Query q(db_, "DELETE FROM \"GROUP\" WHERE \"GID\" = ?");
    tx.Check(q.Bind(gid).Run());
}

int32_t AddressBook::FindOrAddGroup(const std::string& name) {
    Tx tx(db_);
    const std::string folded = FoldCase(name);
    for (const auto& g : ListGroups())
        if (FoldCase(g.Name) == folded)
            return g.GID;
    int32_t row = AddGroup(name);
    if (row < 0)
        return 0;
    int32_t gid = 0;
    {
        Query q(db_, "SELECT \"GID\" FROM \"GROUP\" ORDER BY \"GID\" LIMIT 1 OFFSET ?");
        gid = q.Bind(row).Step() ? q.Int(0) : 0;
    }
    return tx.Commit() ? gid : 0;
}

std::optional<std::string> AddressBook::GetGroupName(int32_t gid) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT \"Name\" FROM \"GROUP\" WHERE \"GID\" = ?");
    if (!q.Bind(gid).Step())
        return std::nullopt;
    return q.Text(0);
}

int32_t AddressBook::FindGroupRow(int32_t gid) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    {
        Query q(db_, "SELECT 1 FROM \"GROUP\" WHERE \"GID\" = ?");
        if (!q.Bind(gid).Step())
            return -1;
    }
    Query q(db_, "SELECT count(*) FROM \"GROUP\" WHERE \"GID\" < ?");
    return q.Bind(gid).Step() ? q.Int(0) : -1;
}

std::vector<GroupRecord> AddressBook::ListGroups() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    std::vector<GroupRecord> groups;
    Query q(db_, "SELECT \"GID\", \"Cnt\", \"Name\" FROM \"GROUP\" ORDER BY \"GID\"");
    while (q.Step())
        groups.push_back(GroupRecord{q.Int(0), q.Int(1), q.Text(2)});
    return groups;
}

std::vector<GroupCount> AddressBook::GroupsWithMemberCounts() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    std::vector<GroupCount> list;
    for (const auto& g : ListGroups())
        list.push_back(GroupCount{g.GID, g.Name, 0});
    std::unordered_map<int32_t, int32_t> counts;
    {
        Query q(db_, "SELECT \"GID\", count(*) FROM \"CONTACT_GROUP_MAP\" GROUP BY \"GID\"");
        while (q.Step())
            counts[q.Int(0)] = q.Int(1);
    }
    for (auto& g : list) {
        auto it = counts.find(g.GID);
        if (it != counts.end())
            g.count = it->second;
    }
    return list;
}

// ---------------------------------------------------------------- contacts

int32_t AddressBook::AddContact(const ContactRecord& given) {
    const GenerationBump bump{generation_};
    const ContactRecord c = CutToRecordLimits(given);
    Tx tx(db_);
    if (!tx.Began())
        return 0;
    int32_t cid = AllocateContactId();
    if (!tx.Check(cid > 0))
        return 0;
    {
        Query q(db_,
                "INSERT INTO \"CONTACTS\" (\"CID\", \"Name\", \"Surname\", \"Title\", \"Custom\", \"Mobile\") "
                "VALUES (?, ?, ?, ?, ?, ?)");
        if (!tx.Check(q.Bind(cid).Bind(c.Name).Bind(c.Surname).Bind(c.Title).Bind(c.Custom).Bind(c.Mobile).Run()))
            return 0;
    }
    for (int32_t gid : c.groups)
        AddMembership(gid, cid);
    return tx.Commit() ? cid : 0;
}

void AddressBook::UpdateContact(int32_t cid, const ContactRecord& given) {
    const GenerationBump bump{generation_};
    const ContactRecord c = CutToRecordLimits(given);
    Tx tx(db_);
    {
        Query q(db_,
                "UPDATE \"CONTACTS\" SET \"Name\" = ?, \"Surname\" = ?, \"Title\" = ?, \"Custom\" = ?, \"Mobile\" = ? "
                "WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(c.Name).Bind(c.Surname).Bind(c.Title).Bind(c.Custom).Bind(c.Mobile).Bind(cid).Run()))
            return;
        if (db_.Changes() == 0)
            return;
    }
    {
        Query q(db_, "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(cid).Run()))
            return;
    }
    for (int32_t gid : c.groups)
        AddMembership(gid, cid);
}

void AddressBook::DeleteContact(int32_t cid, bool entirely, int32_t gid) {
    const GenerationBump bump{generation_};
    Tx tx(db_);
    {
        Query q(db_, "SELECT 1 FROM \"CONTACTS\" WHERE \"CID\" = ?");
        if (!q.Bind(cid).Step())
            return;
    }
    if (!entirely) {
        RemoveMembership(cid, gid);
        if (CountContactGroups(cid) > 0)
            return;
    }
    {
        Query q(db_, "DELETE FROM \"CONTACTS\" WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(cid).Run()))
            return;
    }
    Query q(db_, "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
    tx.Check(q.Bind(cid).Run());
}

bool AddressBook::LoadContact(int32_t cid, ContactRecord& c) {
    c.Clear();
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT \"Name\", \"Surname\", \"Title\", \"Custom\", \"Mobile\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return false;
    c.Name = CutUtf8(q.Text(0), ContactRecord::kMaxName);
    c.Surname = CutUtf8(q.Text(1), ContactRecord::kMaxSurname);
    c.Title = CutUtf8(q.Text(2), ContactRecord::kMaxTitle);
    c.Custom = CutUtf8(q.Text(3), ContactRecord::kMaxCustom);
    c.Mobile = CutUtf8(q.Text(4), ContactRecord::kMaxMobile);
    return true;
}

std::optional<std::string> AddressBook::GetContactDisplayName(int32_t cid) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT \"Name\", \"Surname\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return std::nullopt;
    return q.Text(0) + " " + q.Text(1);
}

std::optional<std::string> AddressBook::GetContactMobile(int32_t cid, size_t size) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT \"Mobile\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return std::nullopt;
    return CutUtf8(q.Text(0), size);
}

bool AddressBook::GetContactNameParts(int32_t cid, std::string& name, std::string& surname, std::string& mobile) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT \"Name\", \"Surname\", \"Mobile\" FROM \"CONTACTS\" WHERE \"CID\" = ?");
    if (!q.Bind(cid).Step())
        return false;
    name = q.Text(0);
    surname = q.Text(1);
    mobile = q.Text(2);
    return true;
}

bool AddressBook::ContactMobileExists(const std::string& mobile) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT 1 FROM \"CONTACTS\" WHERE \"Mobile\" = ? LIMIT 1");
    return q.Bind(mobile).Step();
}

std::vector<ContactRow> AddressBook::ListContacts() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    std::vector<ContactRow> rows;
    std::unordered_map<int32_t, size_t> index;
    {
        Query q(db_,
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
    Query q(db_, "SELECT \"CID\", \"GID\" FROM \"CONTACT_GROUP_MAP\" ORDER BY rowid");
    while (q.Step()) {
        auto it = index.find(q.Int(0));
        if (it != index.end())
            rows[it->second].contact.groups.push_back(q.Int(1));
    }
    return rows;
}

void AddressBook::VisitContacts(const std::function<void(int32_t, const ContactRecord&)>& visit) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_,
            "SELECT \"CID\", \"Name\", \"Surname\", \"Title\", \"Custom\", \"Mobile\" FROM \"CONTACTS\" ORDER BY "
            "\"CID\"");
    ContactRecord c;
    while (q.Step()) {
        c.Name = q.Text(1);
        c.Surname = q.Text(2);
        c.Title = q.Text(3);
        c.Custom = q.Text(4);
        c.Mobile = q.Text(5);
        visit(q.Int(0), c);
    }
}

void AddressBook::VisitMemberships(const std::function<void(int32_t, int32_t)>& visit) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT \"CID\", \"GID\" FROM \"CONTACT_GROUP_MAP\" ORDER BY rowid");
    while (q.Step())
        visit(q.Int(0), q.Int(1));
}

int32_t AddressBook::ContactCount() {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT count(*) FROM \"CONTACTS\"");
    return q.Step() ? q.Int(0) : 0;
}

// ---------------------------------------------------------------- memberships

void AddressBook::AddMembership(int32_t gid, int32_t cid) {
    const GenerationBump bump{generation_};
    Tx tx(db_);
    Query q(db_, "INSERT INTO \"CONTACT_GROUP_MAP\" (\"CID\", \"GID\") VALUES (?, ?)");
    tx.Check(q.Bind(cid).Bind(gid).Run());
}

void AddressBook::AddMembershipIfMissing(int32_t cid, int32_t gid) {
    Tx tx(db_);
    if (!IsMember(cid, gid))
        AddMembership(gid, cid);
}

bool AddressBook::IsMember(int32_t cid, int32_t gid) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT 1 FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? AND \"GID\" = ? LIMIT 1");
    return q.Bind(cid).Bind(gid).Step();
}

bool AddressBook::RemoveMembership(int32_t cid, int32_t gid) {
    const GenerationBump bump{generation_};
    Tx tx(db_);
    Query q(
        db_,
        "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE rowid = (SELECT rowid FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? "
        "AND \"GID\" = ? ORDER BY rowid LIMIT 1)");
    bool removed = tx.Check(q.Bind(cid).Bind(gid).Run()) && db_.Changes() > 0;
    q.Reset();
    return tx.Commit() && removed;
}

bool AddressBook::MoveContactToGroup(int32_t cid, int32_t toGid, int32_t fromGid) {
    const GenerationBump bump{generation_};
    Tx tx(db_);
    if (IsMember(cid, toGid))
        return true;
    if (fromGid == 1) {
        Query q(db_, "DELETE FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
        if (!tx.Check(q.Bind(cid).Run()))
            return false;
    } else {
        RemoveMembership(cid, fromGid);
    }
    AddMembership(toGid, cid);
    return tx.Commit();
}

int32_t AddressBook::CountContactGroups(int32_t cid) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT count(*) FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ?");
    return q.Bind(cid).Step() ? q.Int(0) : 0;
}

int32_t AddressBook::GetFirstGroupOfContact(int32_t cid) {
    std::lock_guard<std::recursive_mutex> lock(db_.SmsLock());
    Query q(db_, "SELECT \"GID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? ORDER BY rowid LIMIT 1");
    return q.Bind(cid).Step() ? q.Int(0) : 0;
}

std::vector<int32_t> AddressBook::GroupsOfContact(int32_t cid) {
    return IdsOf(db_, "SELECT \"GID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"CID\" = ? ORDER BY rowid", cid);
}

std::vector<int32_t> AddressBook::MembersOfGroup(int32_t gid) {
    return IdsOf(db_, "SELECT \"CID\" FROM \"CONTACT_GROUP_MAP\" WHERE \"GID\" = ? ORDER BY rowid", gid);
}

}  // namespace quillon
