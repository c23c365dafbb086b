// The address book in the store: groups (GROUP), contacts (CONTACTS) and memberships
// (CONTACT_GROUP_MAP), with their id counters. Each operation is one transaction over the shared
// database; see StoreDatabase for durability and locking.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "store/ContactRecord.h"
#include "store/StoreDatabase.h"

namespace quillon {

class AddressBook {
public:
    explicit AddressBook(StoreDatabase& db) : db_(db) {}
    AddressBook(const AddressBook&) = delete;
    AddressBook& operator=(const AddressBook&) = delete;

    // ---- id counters: return the next id and advance the counter ----
    int32_t AllocateGroupId();
    int32_t AllocateContactId();  // under ContactIdLock
    int32_t PeekNextContactId();  // under ContactIdLock, no change
    // For a bulk writer inside one StoreTransaction: until EndContactIdRun the contact counter is
    // read once and kept in memory, and written back by EndContactIdRun, which must run before that
    // transaction commits. Saves two statements per contact.
    void BeginContactIdRun();
    bool EndContactIdRun();  // false when the counter could not be written

    // ---- groups ----
    // Returns the row index of the new group in GROUP (GID order).
    int32_t AddGroup(const std::string& name);
    void RenameGroup(int32_t gid, const std::string& name);
    // Deletes every contact that is only in this group, takes the others out of it, removes the group.
    void DeleteGroup(int32_t gid);
    // The first group (GID order) named `name` ignoring letter case (Latin, Greek and Cyrillic
    // letters alike), else a new group's GID.
    int32_t FindOrAddGroup(const std::string& name);
    std::optional<std::string> GetGroupName(int32_t gid);
    int32_t FindGroupRow(int32_t gid);      // row index in GID order, or -1
    std::vector<GroupRecord> ListGroups();  // GID order
    // Every group in GID order with its member count, read as one state.
    std::vector<GroupCount> GroupsWithMemberCounts();

    // ---- contacts ----
    // Adds the contact and one membership per GID of contact.groups; returns the new CID. Like
    // UpdateContact it keeps at most the record's field limits of each text (cut on a whole character).
    int32_t AddContact(const ContactRecord& contact);
    // Overwrites the five texts and replaces the memberships; nothing for an unknown id.
    void UpdateContact(int32_t cid, const ContactRecord& contact);
    // entirely: the contact and all its memberships. Otherwise its membership of gid, and the
    // contact too when that was its last one. Nothing for an unknown id.
    void DeleteContact(int32_t cid, bool entirely, int32_t gid);
    // Clears the record and fills the five texts (cut to the field limits); false for an unknown id.
    bool LoadContact(int32_t cid, ContactRecord& contact);
    // "Name Surname"; nothing for an unknown id.
    std::optional<std::string> GetContactDisplayName(int32_t cid);
    // At most `size` bytes of Mobile; nothing for an unknown id.
    std::optional<std::string> GetContactMobile(int32_t cid, size_t size = 16);
    bool GetContactNameParts(int32_t cid, std::string& name, std::string& surname, std::string& mobile);
    bool ContactMobileExists(const std::string& mobile);
    std::vector<ContactRow> ListContacts();  // CID order, texts uncut, groups filled in view order
    // The same rows one at a time, without holding them all (groups left empty); then every
    // membership in view order. For callers that keep their own compact copy.
    void VisitContacts(const std::function<void(int32_t cid, const ContactRecord& contact)>& visit);
    void VisitMemberships(const std::function<void(int32_t cid, int32_t gid)>& visit);
    int32_t ContactCount();

    // ---- memberships (CONTACT_GROUP_MAP) ----
    void AddMembership(int32_t gid, int32_t cid);  // appends, even when the pair exists
    void AddMembershipIfMissing(int32_t cid, int32_t gid);
    bool IsMember(int32_t cid, int32_t gid);
    bool RemoveMembership(int32_t cid, int32_t gid);  // the first such row; false when none
    // Already in toGid: true, nothing changes. Else leaves fromGid (every group when fromGid is 1)
    // and joins toGid.
    bool MoveContactToGroup(int32_t cid, int32_t toGid, int32_t fromGid);
    int32_t CountContactGroups(int32_t cid);
    int32_t GetFirstGroupOfContact(int32_t cid);        // 0 when none
    std::vector<int32_t> GroupsOfContact(int32_t cid);  // view order
    std::vector<int32_t> MembersOfGroup(int32_t gid);   // CIDs in view order

    // Moves on after every write through this object (one that failed or changed nothing too), so a
    // view can tell whether its copy is stale. Writes by other processes are not counted.
    uint64_t Generation() const { return generation_.load(); }

private:
    StoreDatabase& db_;
    std::atomic<uint64_t> generation_{0};
    bool idRun_ = false;  // under SmsLock
    int32_t runNextCid_ = 0;
};

}  // namespace quillon
