// The counter and its limit: alphabets, part boundaries, and how an edit beyond the limit is cut.
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

const std::string kEuro = "\xE2\x82\xAC";       // GSM through the escape: 2 septets
const std::string kAUmlaut = "\xC3\xA4";        // GSM default table
const std::string kZhe = "\xD0\xB6";            // Cyrillic: UCS-2
const std::string kEmoji = "\xF0\x9F\x98\x80";  // beyond U+FFFF: 2 UTF-16 units
const std::string kCurlyQuote = "\xE2\x80\x99";

TEST(MessageLength, CountsAsTheNetworkDoes) {
    struct Case {
        std::string text;
        int32_t kind;
        SmsAlphabet alphabet;
        const char* counter;
    } cases[] = {
        {"", 0, SmsAlphabet::kGsm7, "0 (1)"},
        {std::string(160, 'a'), 0, SmsAlphabet::kGsm7, "160 (1)"},
        {std::string(161, 'a'), 1, SmsAlphabet::kGsm7, "161 (2)"},
        {std::string(306, 'a'), 0, SmsAlphabet::kGsm7, "306 (2)"},
        {std::string(307, 'a'), 0, SmsAlphabet::kGsm7, "307 (3)"},
        {Repeat("{", 80), 0, SmsAlphabet::kGsm7, "160 (1)"},
        {Repeat(kEuro, 3) + Repeat(kAUmlaut, 2) + "\f", 0, SmsAlphabet::kGsm7, "10 (1)"},
        {"a`b", 0, SmsAlphabet::kUcs2, "3 (1)"},  // the backtick is not GSM
        {Repeat(kZhe, 70), 0, SmsAlphabet::kUcs2, "70 (1)"},
        {Repeat(kZhe, 71), 0, SmsAlphabet::kUcs2, "71 (2)"},
        {Repeat(kZhe, 135), 0, SmsAlphabet::kUcs2, "135 (3)"},
        {Repeat(kEmoji, 36), 0, SmsAlphabet::kUcs2, "72 (2)"},
        {"plain", 2, SmsAlphabet::kUcs2, "5 (1)"},  // the Unicode kind is always UCS-2
        {Repeat("{", 10), 2, SmsAlphabet::kUcs2, "10 (1)"},
        {std::string(200, 'A'), 6, SmsAlphabet::kData, "100 (1)"},  // hex: two digits an octet
        {std::string(282, 'A'), 7, SmsAlphabet::kData, "141 (2)"},
        {"not hex", 6, SmsAlphabet::kData, "7 (1)"},
    };
    for (const auto& c : cases) {
        const LengthState s = RecountMessageLength(c.text, c.kind, true, false);
        EXPECT_EQ(s.count.alphabet, c.alphabet) << c.counter;
        EXPECT_EQ(s.counterText, c.counter);
        EXPECT_FALSE(s.cut);
    }
}

TEST(MessageLength, LimitIsOnePartOrTheMostPartsOfTheAlphabet) {
    struct Case {
        std::string text;
        int32_t kind;
        bool spanSms;
        bool fits;
    } cases[] = {
        {std::string(160, 'a'), 0, false, true}, {std::string(161, 'a'), 0, false, false},
        {Repeat(kZhe, 70), 0, false, true},      {Repeat(kZhe, 71), 0, false, false},
        {std::string(459, 'a'), 0, true, true},  {std::string(460, 'a'), 0, true, false},
        {Repeat(kZhe, 201), 1, true, true},      {Repeat(kZhe, 202), 1, true, false},
        {std::string(280, 'F'), 6, false, true}, {std::string(282, 'F'), 6, false, false},
        {std::string(804, 'F'), 7, true, true},  {std::string(806, 'F'), 7, true, false},
    };
    for (const auto& c : cases) {
        const LengthState s = RecountMessageLength(c.text, c.kind, c.spanSms, false);
        EXPECT_EQ(s.fits, c.fits) << s.counterText;
        EXPECT_EQ(s.sendEnabled, c.fits) << s.counterText;
    }
    // Any text that fits enables both buttons; while a stored message is edited Schedule stays off.
    EXPECT_FALSE(RecountMessageLength("", 0, false, false).sendEnabled);
    EXPECT_TRUE(RecountMessageLength("hi", 0, false, false).scheduleEnabled);
    EXPECT_FALSE(RecountMessageLength("hi", 0, false, true).scheduleEnabled);
}

TEST(MessageLength, AnEditBeyondTheLimitKeepsWhatFitsOfTheInsertedText) {
    struct Case {
        const char* name;
        std::string previous, text;
        size_t selectionEnd;
        bool spanSms;
        std::string kept;
        size_t caret;
    } cases[] = {
        // Six "{" after 150 plain characters in one edit: the fifth fills 160 exactly.
        {"escapes", "", std::string(150, 'a') + "{{{{{{", 156, false, std::string(150, 'a') + "{{{{{", 155},
        // A Cyrillic letter typed into a full GSM text would make it UCS-2 and far too long: refused.
        {"alphabet switch", std::string(150, 'a'), std::string(10, 'a') + kZhe + std::string(140, 'a'), 11, false,
         std::string(150, 'a'), 10},
        // Pasting into the middle keeps the start of the paste and the text after it.
        {"middle paste", "ab", "a" + std::string(200, 'x') + "b", 201, false, "a" + std::string(158, 'x') + "b", 159},
        {"emoji pair", Repeat(kZhe, 68), Repeat(kZhe, 68) + kEmoji + kEmoji, 70, false, Repeat(kZhe, 68) + kEmoji, 69},
        {"three parts", "", std::string(500, 'a'), 500, true, std::string(459, 'a'), 459},
        // Nothing of the old text fits (SpanSMS switched off): its longest start that fits stays.
        {"old text too long", std::string(200, 'a'), std::string(201, 'a'), 3, false, std::string(160, 'a'), 3},
    };
    for (const auto& c : cases) {
        const LengthState s = CountMessageLength(c.previous, c.text, c.selectionEnd, 0, c.spanSms, false);
        EXPECT_TRUE(s.cut) << c.name;
        EXPECT_EQ(s.text, c.kept) << c.name;
        EXPECT_EQ(s.caret, c.caret) << c.name;
        EXPECT_TRUE(s.fits) << c.name;
    }
    // A file kind's content is never cut: the new one is refused whole.
    const LengthState file = CountMessageLength("0A0B", std::string(300, 'A'), 300, 6, false, false);
    EXPECT_TRUE(file.refused);
    EXPECT_EQ(file.text, "0A0B");
}

TEST(MessageLength, FocusCutsAndHintListsTheCharactersForcingUnicode) {
    LengthState s = ApplyLengthLimit(Repeat(kAUmlaut, 170), 5, 0, false, false);
    EXPECT_EQ(s.text, Repeat(kAUmlaut, 160));
    EXPECT_EQ(s.caret, 5u);
    EXPECT_EQ(ApplyLengthLimit(std::string(170, 'a'), 7, 0, true, false).text.size(), 170u);

    s = RecountMessageLength("It" + kCurlyQuote + "s " + kZhe + kCurlyQuote, 0, false, false);
    ASSERT_EQ(s.nonGsm.size(), 2u);
    EXPECT_EQ(s.nonGsm[0], 0x2019u);
    EXPECT_EQ(s.nonGsm[1], 0x0436u);
    EXPECT_TRUE(RecountMessageLength(Repeat(kZhe, 3), 2, false, false).nonGsm.empty());  // Unicode kind: no hint

    int replaced = 0;
    const std::string fixed =
        ReplaceGsmLookalikes("\xE2\x80\x9CHi\xE2\x80\x9D \xE2\x80\x94 ok\xE2\x80\xA6\xC2\xA0" + kZhe, &replaced);
    EXPECT_EQ(fixed, "\"Hi\" - ok... " + kZhe);
    EXPECT_EQ(replaced, 5);
}

}  // namespace
}  // namespace quillon
