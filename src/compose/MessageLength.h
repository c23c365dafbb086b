// Message length in SMS characters: the weight of each character, the part count, the counter text and
// the length limit of the message text while it is typed. Texts are UTF-8; positions, lengths and
// limits count characters (code points), never bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

constexpr int kSingleSmsWeight = 160;   // one SMS
constexpr int kConcatPartWeight = 153;  // each part of a long message
constexpr int kLongTextLimit = 2048;    // text box limit while long messages are allowed

// 2 for the characters the GSM default alphabet carries only through its escape (form feed, [ \ ] ^ { | } ~
// and the euro sign), 1 for every other character.
int CharWeight(uint32_t codePoint);

// Number of characters of a UTF-8 text (a malformed byte counts as one character).
size_t CharacterCount(const std::string& text);
// Byte offset of character `index` (the text's size when it has fewer characters).
size_t ByteOffsetOfCharacter(const std::string& text, size_t index);
// Sum of CharWeight over the characters.
int64_t WeightedLength(const std::string& text);
// 1 up to 160; otherwise ((weight - 1) / 153) + 1.
int64_t PartCount(int64_t weight);
// "w (p)"
std::string CounterText(int64_t weight, int64_t parts);

// What the compose pane shows and allows after a length check.
struct LengthState {
    std::string text;  // the text, cut when it was too long
    bool cut = false;  // whether text differs from the input
    size_t caret = 0;  // caret position (characters) to set after a cut
    size_t limit = 0;  // the text box's character limit
    int64_t weight = 0;
    int64_t parts = 1;
    std::string counterText;   // "w (p)"
    bool textPresent = false;  // Send works only while this is true
    bool sendEnabled = false;
    bool scheduleEnabled = false;  // never while a stored message is being edited
};

// Run on every change of the text. `selectionEnd` is the end of the selection (characters) before the
// check; `editing` whether a stored message is being edited.
LengthState CountMessageLength(const std::string& text, size_t selectionEnd, bool spanSms, bool editing);
// The same with SpanSMS from Settings().
LengthState CountMessageLength(const std::string& text, size_t selectionEnd, bool editing);

// Run when the text box gets the focus: limit 2048 with SpanSMS, else 160 characters (text beyond is
// cut); the caret goes to `caretPos`. A cut text then goes through CountMessageLength as any change,
// which also gives the button states (this result takes no account of editing).
LengthState ApplyLengthLimit(const std::string& text, size_t caretPos, bool spanSms);

}  // namespace quillon
