// Message length as the network counts it (GSM 7-bit septets, UCS-2 units or data octets), the counter
// the compose pane shows and the limit that keeps a message within what the gateway accepts: one SMS
// without SpanSMS, kMaxSmsParts with it. Texts are UTF-8; positions, lengths and limits of the text box
// count characters (code points), never bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/SmsEncoding.h"

namespace quillon {

constexpr int kLongTextLimit = 2048;        // text box limit while long messages are allowed
constexpr size_t kMaxNamedCharacters = 16;  // characters forcing UCS-2 that a length check names

// Number of characters of a UTF-8 text (a malformed byte counts as one character).
size_t CharacterCount(const std::string& text);
// Byte offset of character `index` (the text's size when it has fewer characters).
size_t ByteOffsetOfCharacter(const std::string& text, size_t index);
// "w (p)"
std::string CounterText(int64_t units, int64_t parts);

// How a stored or composed message of kind `kind` (MessageType code) goes out: Text and Flash in GSM
// 7-bit when they can, else UCS-2; Unicode always UCS-2; file and data kinds as the octets of their hex.
SmsCount CountMessage(const std::string& text, int32_t kind);
// The most parts a message may take with or without SpanSMS.
int MaxParts(bool spanSms);
// Whether the gateway takes the message whole.
bool FitsLimit(const SmsCount& count, bool spanSms);

// What the compose pane shows and allows after a length check.
struct LengthState {
    std::string text;      // the text, cut when an edit took it beyond the limit
    bool cut = false;      // whether text differs from the input
    bool refused = false;  // a file kind's new content was too long and the previous one kept
    size_t caret = 0;      // caret position (characters) to set after a cut
    size_t limit = 0;      // characters the text box may hold at this alphabet
    SmsCount count;
    bool fits = true;  // within the limit: Send and Schedule work only then
    std::string counterText;
    std::vector<uint32_t> nonGsm;  // a Text or Flash message's characters that force UCS-2 (the first
                                   // kMaxNamedCharacters of them)
    bool textPresent = false;      // Send works only while this is true
    bool sendEnabled = false;
    bool scheduleEnabled = false;  // never while a stored message is being edited
};

// Run on every change of the text, from `previous` to `text`. An edit that takes the message beyond its
// limit is cut as a length-limited text box would: of what the edit inserted, only as much as fits stays
// (when even that cannot fit, the longest leading part of the text that fits stays). A file kind's text
// is never cut: a too long one is refused and `previous` kept. `selectionEnd` is the caret before the
// check (characters); `editing` whether a stored message is being edited.
LengthState CountMessageLength(const std::string& previous, const std::string& text, size_t selectionEnd, int32_t kind,
                               bool spanSms, bool editing);
// The counter and buttons for a text as it stands (a loaded message, a changed kind): nothing is cut,
// and a text beyond the limit disables Send and Schedule.
LengthState RecountMessageLength(const std::string& text, int32_t kind, bool spanSms, bool editing);
// Run when the text box gets the focus: a typed text beyond the limit (SpanSMS switched off meanwhile)
// keeps its longest leading part that fits; the caret goes to `caretPos`.
LengthState ApplyLengthLimit(const std::string& text, size_t caretPos, int32_t kind, bool spanSms, bool editing);

}  // namespace quillon
