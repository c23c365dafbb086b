#include "compose/Personalisation.h"

#include <gtest/gtest.h>

#include <string>

#include "store/MessageType.h"
#include "store/MessageStore.h"
#include "support/TempDir.h"

namespace quillon {
namespace {

PlaceholderValues Values(std::string name, std::string surname, std::string title, std::string custom) {
    return PlaceholderValues{std::move(name), std::move(surname), std::move(title), std::move(custom)};
}

TEST(Personalisation, EveryOccurrenceInFixedOrder) {
    std::string text = "Dear <<TITLE>> <<FIRSTNAME>> <<SURNAME>>, <<FIRSTNAME>>! <<CUSTOM>> <<firstname>>";
    ExpandPlaceholders(Values("Ann", "Lee", "Dr", ""), text);
    EXPECT_EQ(text, "Dear Dr Ann Lee, Ann!  <<firstname>>");
}

TEST(Personalisation, InsertedValuesAreNotExpandedAgainByTheirOwnToken) {
    // A value holding its own token stays as written.
    std::string text = "<<FIRSTNAME>>|<<FIRSTNAME>>";
    ExpandPlaceholders(Values("<<FIRSTNAME>>x", "", "", ""), text);
    EXPECT_EQ(text, "<<FIRSTNAME>>x|<<FIRSTNAME>>x");

    // A later token inside an earlier value is reached by the later pass.
    text = "Hi <<FIRSTNAME>>";
    ExpandPlaceholders(Values("<<SURNAME>>", "Smith", "", ""), text);
    EXPECT_EQ(text, "Hi Smith");

    // An earlier token inside a later value is not.
    text = "<<CUSTOM>>";
    ExpandPlaceholders(Values("Ann", "Lee", "Dr", "<<FIRSTNAME>> <<TITLE>>"), text);
    EXPECT_EQ(text, "<<FIRSTNAME>> <<TITLE>>");
}

TEST(Personalisation, InsertAtTheCaret) {
    std::string text = "Gr\xC3\xBC\xC3\x9F dich";  // "Grüß dich"
    size_t caret = InsertPlaceholder(text, 5, PlaceholderToken(Placeholder::FirstName));
    EXPECT_EQ(text, "Gr\xC3\xBC\xC3\x9F <<FIRSTNAME>>dich");
    EXPECT_EQ(caret, 18u);
    caret = InsertPlaceholder(text, 99, "-- \xE2\x82\xAC Sig");
    EXPECT_EQ(text, "Gr\xC3\xBC\xC3\x9F <<FIRSTNAME>>dich-- \xE2\x82\xAC Sig");
    EXPECT_EQ(caret, 30u);
}

TEST(Personalisation, HasPlaceholders) {
    EXPECT_EQ(HasPlaceholders(GatewayKindCode(static_cast<int32_t>(MessageType::Flash)), "plain"), 4);
    EXPECT_EQ(HasPlaceholders(0, "<<FIRSTNAME>> hello"), 1);
    EXPECT_EQ(HasPlaceholders(0, "no tokens, <<FIRST NAME>>"), 0);
    EXPECT_EQ(HasPlaceholders(0, ""), 0);
    // Sum of first positions + 1: SURNAME at 0, CUSTOM at 11 (TITLE's second occurrence does not add).
    EXPECT_EQ(HasPlaceholders(0, "<<SURNAME>><<CUSTOM>><<TITLE>><<TITLE>>"), 1 + 12 + 22);
}

TEST(Personalisation, ContactFromTheStore) {
    test::TempDir dir;
    MessageStore store(dir.Path());
    ContactRecord contact;
    contact.Name = "Ann";
    contact.Surname = "Lee";
    contact.Title = "Dr";
    contact.Custom = "VIP";
    contact.Mobile = "0123";
    const int32_t cid = store.Book().AddContact(contact);
    ASSERT_GT(cid, 0);

    std::string text = "<<TITLE>> <<SURNAME>> (<<CUSTOM>>)";
    EXPECT_TRUE(ExpandPlaceholders(store, cid, text));
    EXPECT_EQ(text, "Dr Lee (VIP)");

    // A number that is no contact receives the tokens as written.
    text = "Hi <<FIRSTNAME>>";
    EXPECT_FALSE(ExpandPlaceholders(store, cid + 100, text));
    EXPECT_EQ(text, "Hi <<FIRSTNAME>>");
}

}  // namespace
}  // namespace quillon
