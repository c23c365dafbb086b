#include "compose/MessageLength.h"

#include <gtest/gtest.h>

#include <string>

namespace quillon {
namespace {

std::string Repeat(const std::string& piece, int times) {
    std::string s;
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

const std::string kEuro = "\xE2\x82\xAC";  // U+20AC, weight 2
const std::string kAUmlaut = "\xC3\xA4";   // U+00E4, weight 1

TEST(MessageLength, WeightsCountCharactersNotBytes) {
    for (char c : std::string("\f[\\]^{|}~"))
        EXPECT_EQ(CharWeight(static_cast<unsigned char>(c)), 2) << c;
    EXPECT_EQ(CharWeight(0x20AC), 2);
    EXPECT_EQ(CharWeight(0x81), 1);
    EXPECT_EQ(CharWeight('a'), 1);
    EXPECT_EQ(CharWeight(0x80), 1);  // a C1 control, not the euro sign

    EXPECT_EQ(CharacterCount(kEuro + kAUmlaut + "a"), 3u);
    EXPECT_EQ(WeightedLength(kEuro + kAUmlaut + "a"), 4);
    EXPECT_EQ(WeightedLength("\xF0\x9F\x98\x80"), 1);  // one character outside the BMP
    // Stray or cut bytes count one character each.
    EXPECT_EQ(CharacterCount("\x80"
                             "a\xE2\x82"),
              4u);
}

TEST(MessageLength, CounterPartsAndButtons) {
    struct Case {
        int length;
        const char* counter;
    } cases[] = {{0, "0 (1)"},     {160, "160 (1)"}, {161, "161 (2)"},
                 {306, "306 (2)"}, {307, "307 (3)"}, {460, "460 (4)"}};
    for (const auto& c : cases) {
        const LengthState s = CountMessageLength(std::string(c.length, 'a'), 0, true, false);
        EXPECT_EQ(s.counterText, c.counter);
        EXPECT_FALSE(s.cut);
    }
    const LengthState empty = CountMessageLength("", 0, false, false);
    EXPECT_EQ(empty.counterText, "0 (1)");
    EXPECT_FALSE(empty.textPresent);
    EXPECT_FALSE(empty.sendEnabled);
    EXPECT_FALSE(empty.scheduleEnabled);
    // Any text enables both buttons; while a stored message is edited Schedule stays off.
    LengthState hi = CountMessageLength("hi", 2, false, false);
    EXPECT_TRUE(hi.textPresent && hi.sendEnabled && hi.scheduleEnabled);
    hi = CountMessageLength("hi", 2, false, true);
    EXPECT_TRUE(hi.sendEnabled);
    EXPECT_FALSE(hi.scheduleEnabled);

    const LengthState longText = CountMessageLength(std::string(2048, 'x'), 0, true, false);
    EXPECT_EQ(longText.counterText, "2048 (14)");
    EXPECT_EQ(longText.limit, 2048u);
}

TEST(MessageLength, OneSmsCutStopsAtTheCharacterThatReaches160) {
    // 150 plain and six "{" set in one edit: weight 162; the walk stops at the fifth "{" (sum 160), so
    // 150 plain and four "{" stay.
    LengthState s = CountMessageLength(std::string(150, 'a') + "{{{{{{", 156, false, false);
    EXPECT_TRUE(s.cut);
    EXPECT_EQ(s.text, std::string(150, 'a') + "{{{{");
    EXPECT_EQ(s.counterText, "158 (1)");
    EXPECT_EQ(s.caret, 154u);
    EXPECT_EQ(s.limit, 156u);

    // A weight-2 character that reaches 160 goes with everything after it.
    s = CountMessageLength(std::string(158, 'a') + "{b", 3, false, false);
    EXPECT_EQ(s.text, std::string(158, 'a'));
    EXPECT_EQ(s.counterText, "158 (1)");
    EXPECT_EQ(s.caret, 3u);  // a caret before the cut stays where it was
    s = CountMessageLength(std::string(159, 'a') + "{b", 161, false, false);
    EXPECT_EQ(s.text, std::string(159, 'a'));
    EXPECT_EQ(s.counterText, "159 (1)");
    EXPECT_EQ(s.caret, 159u);

    // Multi-byte characters: the cut falls between characters, never inside one.
    s = CountMessageLength(Repeat(kAUmlaut, 150) + Repeat(kEuro, 6), 156, false, false);
    EXPECT_EQ(s.text, Repeat(kAUmlaut, 150) + Repeat(kEuro, 4));
    EXPECT_EQ(s.counterText, "158 (1)");
    EXPECT_EQ(s.caret, 154u);

    // Below the limit nothing happens; the limit leaves room for exactly weight 160.
    s = CountMessageLength("{" + std::string(10, 'a'), 11, false, false);
    EXPECT_FALSE(s.cut);
    EXPECT_EQ(s.limit, 159u);
    EXPECT_EQ(s.counterText, "12 (1)");

    // Without weight-2 characters the limit is 160 and a longer text (set, not typed) is not cut here.
    s = CountMessageLength(std::string(170, 'a'), 170, false, false);
    EXPECT_FALSE(s.cut);
    EXPECT_EQ(s.limit, 160u);
    EXPECT_EQ(s.counterText, "170 (2)");
}

TEST(MessageLength, FocusLimitCutsCharacters) {
    LengthState s = ApplyLengthLimit(Repeat(kAUmlaut, 170), 5, false);
    EXPECT_TRUE(s.cut);
    EXPECT_EQ(s.text, Repeat(kAUmlaut, 160));
    EXPECT_EQ(s.limit, 160u);
    EXPECT_EQ(s.caret, 5u);

    s = ApplyLengthLimit(std::string(170, 'a'), 500, false);
    EXPECT_EQ(s.text.size(), 160u);
    EXPECT_EQ(s.caret, 160u);

    s = ApplyLengthLimit(std::string(170, 'a'), 7, true);
    EXPECT_FALSE(s.cut);
    EXPECT_EQ(s.text.size(), 170u);
    EXPECT_EQ(s.limit, 2048u);
    EXPECT_EQ(s.caret, 7u);
}

}  // namespace
}  // namespace quillon
