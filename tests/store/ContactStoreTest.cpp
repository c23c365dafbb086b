// Contacts, groups and memberships.
#include <gtest/gtest.h>

#include "addressbook/GroupList.h"
#include "store/MessageStore.h"
#include "store/StoreTestUtil.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

using test::TempDir;

class ContactStoreTest : public ::testing::Test {
protected:
    int32_t Contact(const std::string& name, std::vector<int32_t> groups, const std::string& mobile = "0821") {
        return store.Book().AddContact({name, name + "son", "", "", mobile, std::move(groups)});
    }
    int32_t Group(const std::string& name) {
        int32_t row = store.Book().AddGroup(name);
        return store.Book().ListGroups().at(static_cast<size_t>(row)).GID;
    }
    bool Exists(int32_t cid) { return store.Book().GetContactDisplayName(cid).has_value(); }

    TempDir dir;
    MessageStore store{dir.Path()};
};

TEST_F(ContactStoreTest, AddGroupReturnsTheRowIndexAndIdsGrow) {
    EXPECT_EQ(store.Book().AddGroup("Friends"), 1);
    EXPECT_EQ(store.Book().AddGroup("Work"), 2);
    EXPECT_EQ(store.Book().FindGroupRow(3), 2);
    EXPECT_EQ(store.Book().FindGroupRow(1), 0);
    EXPECT_EQ(store.Book().FindGroupRow(9), -1);
    store.Book().DeleteGroup(2);
    EXPECT_EQ(store.Book().FindGroupRow(3), 1);
    EXPECT_EQ(Group("Later"), 4);  // deleted ids are not handed out again
    store.Book().RenameGroup(3, "Office");
    EXPECT_EQ(*store.Book().GetGroupName(3), "Office");
    store.Book().RenameGroup(99, "x");
    EXPECT_FALSE(store.Book().GetGroupName(99).has_value());
}

TEST_F(ContactStoreTest, FindOrAddGroupIgnoresLetterCase) {
    int32_t work = Group("Work Mates");
    EXPECT_EQ(store.Book().FindOrAddGroup("work mates"), work);
    EXPECT_EQ(store.Book().FindOrAddGroup("WORK MATES"), work);
    // Letters beyond ASCII have a case too.
    int32_t doctors = Group("\xc3\x84rzte \xd0\x92\xd1\x80\xd0\xb0\xd1\x87\xc5\x81");  // Ärzte Врач Ł
    EXPECT_EQ(store.Book().FindOrAddGroup("\xc3\xa4RZTE \xd0\xb2\xd0\xa0\xd0\x90\xd0\xa7\xc5\x82"), doctors);
    EXPECT_EQ(store.Book().FindOrAddGroup("Family"), doctors + 1);
    EXPECT_EQ(store.Book().FindOrAddGroup("\xc3\xa5rzte"), doctors + 2);  // å is another letter than ä
    EXPECT_EQ(store.Book().ListGroups().size(), 5u);
}

TEST_F(ContactStoreTest, ContactsKeepAtMostTheRecordLimits) {
    int32_t g = Group("G");
    int32_t cid =
        store.Book().AddContact({std::string(40, 'n'), "Lee", "Professor", "c", "012345678901234567890123", {1, g}});
    EXPECT_EQ(cid, 1);
    EXPECT_EQ(store.Book().PeekNextContactId(), 2);
    ContactRecord loaded;
    loaded.groups = {7};
    ASSERT_TRUE(store.Book().LoadContact(cid, loaded));
    EXPECT_EQ(loaded.Name + "|" + loaded.Surname + "|" + loaded.Title + "|" + loaded.Custom + "|" + loaded.Mobile,
              std::string(32, 'n') + "|Lee|Professo|c|0123456789012345678");
    EXPECT_TRUE(loaded.groups.empty());
    EXPECT_EQ(store.Book().GroupsOfContact(cid), (std::vector<int32_t>{1, g}));
    EXPECT_EQ(*store.Book().GetContactMobile(cid), "0123456789012345");
    EXPECT_EQ(*store.Book().GetContactDisplayName(cid), std::string(32, 'n') + " Lee");
    std::string name, surname, mobile;
    EXPECT_TRUE(store.Book().GetContactNameParts(cid, name, surname, mobile));
    EXPECT_EQ(name + "|" + surname + "|" + mobile, std::string(32, 'n') + "|Lee|0123456789012345678");
    EXPECT_TRUE(store.Book().ContactMobileExists("0123456789012345678"));
    EXPECT_FALSE(store.Book().ContactMobileExists("012345678901234567"));

    // A longer text written by other means is still cut when loaded.
    test::RawQuery(dir.File("SMS.db"), "UPDATE CONTACTS SET Title = 'Honourable' WHERE CID = 1");
    ASSERT_TRUE(store.Book().LoadContact(cid, loaded));
    EXPECT_EQ(loaded.Title, "Honourab");

    EXPECT_FALSE(store.Book().LoadContact(99, loaded));
    EXPECT_TRUE(loaded.Name.empty());
    EXPECT_FALSE(store.Book().GetContactMobile(99).has_value());
    EXPECT_FALSE(store.Book().GetContactNameParts(99, name, surname, mobile));
}

TEST_F(ContactStoreTest, UpdateContactReplacesTextsAndMembershipsAndListKeepsCidOrder) {
    int32_t a = Group("A"), b = Group("B");
    int32_t cid = Contact("Ann", {1, a});
    int32_t none = Contact("None", {});
    const ContactRecord c{"Anna", "", "", "", "", {b, 1}};
    store.Book().UpdateContact(cid, c);
    EXPECT_EQ(*store.Book().GetContactDisplayName(cid), "Anna ");
    store.Book().UpdateContact(99, c);  // unknown: nothing, no membership appears
    EXPECT_EQ(store.Book().MembersOfGroup(b), (std::vector<int32_t>{cid}));
    auto rows = store.Book().ListContacts();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].CID, cid);
    EXPECT_EQ(rows[0].contact.groups, (std::vector<int32_t>{b, 1}));
    EXPECT_EQ(rows[1].CID, none);
    EXPECT_TRUE(rows[1].contact.groups.empty());
}

TEST_F(ContactStoreTest, DeleteContactFromOneGroupDeletesItOnlyWithItsLastMembership) {
    int32_t a = Group("A"), b = Group("B");
    int32_t both = Contact("Both", {a, b});
    int32_t one = Contact("One", {a});
    store.Book().DeleteContact(both, false, a);
    EXPECT_TRUE(Exists(both));
    EXPECT_EQ(store.Book().GroupsOfContact(both), (std::vector<int32_t>{b}));
    store.Book().DeleteContact(one, false, a);
    EXPECT_FALSE(Exists(one));
    store.Book().DeleteContact(both, true, 0);
    EXPECT_FALSE(Exists(both));
    EXPECT_EQ(store.Book().CountContactGroups(both), 0);
    store.Book().DeleteContact(77, true, 0);  // unknown: nothing
}

TEST_F(ContactStoreTest, DeleteGroupRemovesSoleMembersAndKeepsSharedOnes) {
    int32_t doomed = Group("Doomed"), other = Group("Other");
    int32_t a = Contact("A", {doomed}), b = Contact("B", {doomed}), c = Contact("C", {doomed});
    int32_t shared = Contact("Shared", {doomed, other});
    store.Book().DeleteGroup(doomed);
    for (int32_t sole : {a, b, c})
        EXPECT_FALSE(Exists(sole)) << sole;
    EXPECT_TRUE(Exists(shared));
    EXPECT_EQ(store.Book().GroupsOfContact(shared), (std::vector<int32_t>{other}));
    EXPECT_TRUE(store.Book().MembersOfGroup(doomed).empty());
    EXPECT_EQ(store.Book().FindGroupRow(doomed), -1);
    EXPECT_EQ(store.Book().ContactCount(), 1);

    // Memberships of contacts that no longer exist go with the group.
    int32_t g = Group("G");
    store.Book().AddMembership(g, 500);
    store.Book().AddMembership(g, 500);
    store.Book().DeleteGroup(g);
    EXPECT_TRUE(store.Book().MembersOfGroup(g).empty());
    EXPECT_EQ(store.Book().FindGroupRow(g), -1);
}

// A membership row that cannot be removed (damaged page, full disk) ends the deletion, not loops on it.
TEST_F(ContactStoreTest, DeleteGroupThatCannotRemoveAMembershipGivesUpAndChangesNothing) {
    int32_t g = Group("G");
    int32_t sole = Contact("Sole", {g});
    test::RawQuery(
        dir.File("SMS.db"),
        "CREATE TRIGGER Refuse BEFORE DELETE ON CONTACT_GROUP_MAP BEGIN SELECT RAISE(ABORT, 'refused'); END");
    store.Book().DeleteGroup(g);
    EXPECT_TRUE(Exists(sole));
    EXPECT_EQ(store.Book().MembersOfGroup(g), std::vector<int32_t>{sole});
    EXPECT_EQ(store.Book().FindGroupRow(g), 1);
}

TEST_F(ContactStoreTest, MembershipOperations) {
    int32_t five = Group("Five"), six = Group("Six");
    int32_t cid = Contact("M", {1, six});
    EXPECT_TRUE(store.Book().MoveContactToGroup(cid, five, 1));  // out of every group
    EXPECT_EQ(store.Book().GroupsOfContact(cid), (std::vector<int32_t>{five}));
    EXPECT_TRUE(store.Book().MoveContactToGroup(cid, five, six));  // already there: nothing
    EXPECT_EQ(store.Book().GroupsOfContact(cid), (std::vector<int32_t>{five}));
    store.Book().AddMembershipIfMissing(cid, six);
    store.Book().AddMembershipIfMissing(cid, six);
    EXPECT_EQ(store.Book().CountContactGroups(cid), 2);
    EXPECT_TRUE(store.Book().MoveContactToGroup(cid, 1, six));  // leaves only six
    EXPECT_EQ(store.Book().GroupsOfContact(cid), (std::vector<int32_t>{five, 1}));
    EXPECT_EQ(store.Book().GetFirstGroupOfContact(cid), five);
    EXPECT_EQ(store.Book().GetFirstGroupOfContact(404), 0);
    store.Book().AddMembership(five, cid);  // unchecked duplicate
    EXPECT_EQ(store.Book().CountContactGroups(cid), 3);
    EXPECT_TRUE(store.Book().RemoveMembership(cid, five));
    EXPECT_TRUE(store.Book().IsMember(cid, five));  // the duplicate remains
    EXPECT_TRUE(store.Book().RemoveMembership(cid, five));
    EXPECT_FALSE(store.Book().RemoveMembership(cid, five));
    EXPECT_FALSE(store.Book().IsMember(cid, five));
}

TEST_F(ContactStoreTest, GroupListCountsMembersAndShowsTheCatchAllGroupByNameWhileEmpty) {
    int32_t friends = Group("Friends"), empty = Group("Empty");
    for (const char* name : {"A", "B", "C"})
        Contact(name, {friends});
    auto list = GroupListWithCounts(store.Book());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].displayText, "All Contacts");
    EXPECT_EQ(list[0].count, 0);
    EXPECT_EQ(list[1].displayText, "Friends (3)");
    EXPECT_EQ(list[2].GID, empty);
    EXPECT_EQ(list[2].displayText, "Empty (0)");
    Contact("D", {1});
    list = GroupListWithCounts(store.Book());
    EXPECT_EQ(list[0].displayText, "All Contacts (1)");
}

}  // namespace
}  // namespace quillon
