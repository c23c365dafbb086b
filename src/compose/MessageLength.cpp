#include "compose/MessageLength.h"

#include "core/AppSettings.h"

namespace quillon {

int CharWeight(uint32_t codePoint) {
    (void)codePoint;
    return 1;
}

size_t CharacterCount(const std::string& text) {
    return text.size();
}

int64_t WeightedLength(const std::string& text) {
    return static_cast<int64_t>(text.size());
}

int64_t PartCount(int64_t weight) {
    return weight <= kSingleSmsWeight ? 1 : (weight - 1) / kConcatPartWeight + 1;
}

std::string CounterText(int64_t weight, int64_t parts) {
    return std::to_string(weight) + " (" + std::to_string(parts) + ")";
}

LengthState CountMessageLength(const std::string& text, size_t selectionEnd, bool spanSms, bool editing) {
    (void)selectionEnd;
    (void)spanSms;
    (void)editing;
    LengthState state;
    state.text = text;
    return state;
}

LengthState CountMessageLength(const std::string& text, size_t selectionEnd, bool editing) {
    return CountMessageLength(text, selectionEnd, Settings().SpanSMS, editing);
}

LengthState ApplyLengthLimit(const std::string& text, size_t caretPos, bool spanSms) {
    (void)caretPos;
    (void)spanSms;
    LengthState state;
    state.text = text;
    return state;
}

}  // namespace quillon
