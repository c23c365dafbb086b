// The To list's editing rules, the recipient count and the quick search walk.
#include "compose/ToList.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

TEST(ToList, EditFieldAcceptsDigitsOnlyUpToThirtyTwo) {
    EXPECT_TRUE(ToList::IsAcceptableText("0123456789"));
    EXPECT_TRUE(ToList::IsAcceptableText(std::string(32, '7')));
    EXPECT_FALSE(ToList::IsAcceptableText(std::string(33, '7')));
    EXPECT_FALSE(ToList::IsAcceptableText("082a"));
    EXPECT_FALSE(ToList::IsAcceptableText("+27"));
    EXPECT_FALSE(ToList::IsAcceptableText("082 123"));

    ToList list;
    int row = list.BeginEdit();
    ASSERT_EQ(row, 0);
    EXPECT_FALSE(list.EndEdit(row, std::string("08x")));
    EXPECT_EQ(list.RowCount(), 1u);
    EXPECT_EQ(list.Row(0), "");
}

TEST(ToList, EndingEditsKeepsOneEmptyRowAtTheEnd) {
    ToList list;
    EXPECT_EQ(list.RecipientRows(), 0);
    ASSERT_TRUE(list.EndEdit(list.BeginEdit(), std::string("0821")));
    ASSERT_EQ(list.RowCount(), 2u);
    EXPECT_EQ(list.Selected(), 1);  // the new empty row
    ASSERT_TRUE(list.EndEdit(list.BeginEdit(), std::string("0832")));
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{"0821", "0832", ""}));
    EXPECT_EQ(list.RecipientRows(), 2);

    // Editing a middle row changes it without adding a row; a cancelled edit changes nothing.
    list.Select(0);
    ASSERT_TRUE(list.EndEdit(list.BeginEdit(), std::string("0999")));
    list.EndEdit(0, std::nullopt);
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{"0999", "0832", ""}));

    // A digit key starts the edit of the selected row with that digit.
    list.Select(1);
    int row = -1;
    EXPECT_EQ(list.BeginEditWithDigit('5', row), "5");
    EXPECT_EQ(row, 1);

    // Emptying a row deletes it.
    ASSERT_TRUE(list.EndEdit(0, std::string()));
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{"0832", ""}));
    ASSERT_TRUE(list.EndEdit(0, std::string()));
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{""}));
    EXPECT_EQ(list.RecipientRows(), 0);
}

TEST(ToList, BackspaceDeletesTheSelectedRow) {
    ToList list;
    list.AddNumber("0821");
    list.AddNumber("0832");
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{"0821", "0832", ""}));
    list.Select(1);
    list.DeleteSelected();
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{"0821", ""}));
    list.Select(1);  // the empty row itself: it comes straight back
    list.DeleteSelected();
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{"0821", ""}));
    list.Select(0);
    list.DeleteSelected();
    EXPECT_EQ(list.Rows(), (std::vector<std::string>{""}));
    list.Reset();
    EXPECT_EQ(list.Numbers().size(), 0u);
}

TEST(CountRecipients, AddsEverySourceAndCountsAContactOnce) {
    AppSettings s;
    RecentRecipients recent(s);
    recent.ClearRecent();
    recent.AddRecent("A", "", "1");
    recent.AddRecent("B", "", "2");
    recent.SetSelected(0, true);
    recent.SetSelected(5, true);  // not in use: never counts

    ToList list;
    list.AddNumber("0821");
    ContactSelection contacts;
    contacts.Resize(10);
    // Ticked under two groups: one entry.
    contacts.SelectGroup({3, 4}, true);
    contacts.SelectGroup({4, 7}, true);
    EXPECT_EQ(contacts.GroupState({3, 4}), ContactSelection::GroupCheck::All);
    EXPECT_EQ(contacts.GroupState({4, 8}), ContactSelection::GroupCheck::Some);
    EXPECT_EQ(contacts.GroupState({8}), ContactSelection::GroupCheck::None);
    EXPECT_FALSE(contacts.Select(10, true));

    std::vector<OutlookEntry> external = {{"X", "9", true}, {"Y", "8", false}};
    EXPECT_EQ(CountRecipients(list, contacts, recent, external), 1 + 3 + 1 + 1);
    EXPECT_EQ(contacts.SelectedCids(), (std::vector<int32_t>{3, 4, 7}));
}

std::vector<ContactRow> Contacts() {
    auto row = [](int32_t cid, const char* name, const char* surname, const char* mobile) {
        ContactRow r;
        r.CID = cid;
        r.contact.Name = name;
        r.contact.Surname = surname;
        r.contact.Mobile = mobile;
        return r;
    };
    return {row(2, "Bob", "Roe", "0820000001"), row(5, "Joanne", "Lee", "0820000002"),
            row(9, "Carl", "ANNAN", "0820000003")};
}

TEST(QuickSearch, FindsSubstringsInOrderAndContinuesAfterEachMatch) {
    const auto contacts = Contacts();
    std::vector<OutlookEntry> external = {{"Annie External", "0711", false}, {"Other", "0722", false}};
    int loads = 0;
    QuickSearch::ExternalSource source = [&]() {
        ++loads;
        return &external;
    };
    QuickSearch search;
    auto m = search.Next("ANN", contacts, source);
    ASSERT_EQ(m.kind, QuickSearch::Match::Kind::Contact);
    EXPECT_EQ(m.cid, 5);  // Joanne
    EXPECT_EQ(loads, 0);  // the external book is read only when the walk gets there
    m = search.Next("ANN", contacts, source);
    EXPECT_EQ(m.cid, 9);  // surname Annan
    m = search.Next("ANN", contacts, source);
    ASSERT_EQ(m.kind, QuickSearch::Match::Kind::External);
    EXPECT_EQ(m.index, 0u);
    EXPECT_EQ(loads, 1);
    m = search.Next("ANN", contacts, source);  // round again
    ASSERT_EQ(m.kind, QuickSearch::Match::Kind::Contact);
    EXPECT_EQ(m.cid, 5);

    // A changed text starts over at the first contact; numbers match too.
    m = search.Next("0722", contacts, source);
    ASSERT_EQ(m.kind, QuickSearch::Match::Kind::External);
    EXPECT_EQ(m.index, 1u);
    m = search.Next("0820000001", contacts, source);
    EXPECT_EQ(m.cid, 2);
    m = search.Next("0820000001", contacts, source);  // its only match is found again
    EXPECT_EQ(m.cid, 2);
    search.TextChanged();
    m = search.Next("o", contacts, source);
    EXPECT_EQ(m.cid, 2);
}

TEST(QuickSearch, NoMatchChangesNothing) {
    const auto contacts = Contacts();
    QuickSearch search;
    auto m = search.Next("Lee", contacts, nullptr);
    EXPECT_EQ(m.cid, 5);
    EXPECT_FALSE(search.Next("zzz", contacts, nullptr).Found());
    EXPECT_FALSE(search.Next("zzz", contacts, []() { return nullptr; }).Found());
    EXPECT_FALSE(search.Next("x", {}, nullptr).Found());
}

}  // namespace
}  // namespace quillon
