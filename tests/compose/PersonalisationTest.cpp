#include "compose/Personalisation.h"

#include <gtest/gtest.h>

#include <string>

#include "store/MessageStore.h"
#include "store/MessageType.h"
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

TEST(Personalisation, TokensInsideValuesAreExpandedOnlyByLaterPasses) {
    const std::string tokens[] = {"<<FIRSTNAME>>", "<<SURNAME>>", "<<TITLE>>", "<<CUSTOM>>"};
    // expected[holder][inner]: the holder's token, whose value is "(" + inner token + ")", after expansion.
    // The values of the others are N, S, T and C.
    const char* const expected[4][4] = {{"(<<FIRSTNAME>>)", "(S)", "(T)", "(C)"},
                                        {"(<<FIRSTNAME>>)", "(<<SURNAME>>)", "(T)", "(C)"},
                                        {"(<<FIRSTNAME>>)", "(<<SURNAME>>)", "(<<TITLE>>)", "(C)"},
                                        {"(<<FIRSTNAME>>)", "(<<SURNAME>>)", "(<<TITLE>>)", "(<<CUSTOM>>)"}};
    for (int holder = 0; holder < 4; ++holder) {
        for (int inner = 0; inner < 4; ++inner) {
            PlaceholderValues values = Values("N", "S", "T", "C");
            std::string* fields[] = {&values.name, &values.surname, &values.title, &values.custom};
            *fields[holder] = "(" + tokens[inner] + ")";
            // Twice, so the search after the first inserted value is covered too.
            std::string text = tokens[holder] + "|" + tokens[holder];
            ExpandPlaceholders(values, text);
            EXPECT_EQ(text, std::string(expected[holder][inner]) + "|" + expected[holder][inner])
                << tokens[inner] << " inside " << tokens[holder];
        }
    }
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

TEST(MessageType, NamesOnlyForKnownKinds) {
    ReloadMessageTypeNames();
    EXPECT_EQ(MessageTypeNames()[0], "Text");
    EXPECT_EQ(MessageTypeNames()[8], "Binary");
    EXPECT_EQ(MessageTypeName(9), "");
    EXPECT_EQ(MessageTypeName(-1), "");
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
