#include "compose/MessageLength.h"

#include <algorithm>
#include <cstdio>

#include "core/AppSettings.h"

namespace quillon {

namespace {

// Decodes the character at byte `pos`; returns its code point and advances `pos`. A malformed or cut
// sequence yields its first byte as one character, so every byte belongs to exactly one character.
uint32_t NextCodePoint(const std::string& text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t extra = 0;
    uint32_t value = lead;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        value = lead & 0x07;
        minimum = 0x10000;
    }
    if (extra == 0 || pos + extra >= text.size()) {
        pos += 1;
        return lead;
    }
    for (size_t i = 1; i <= extra; ++i) {
        const auto cont = static_cast<unsigned char>(text[pos + i]);
        if ((cont & 0xC0) != 0x80) {
            pos += 1;
            return lead;
        }
        value = (value << 6) | (cont & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        pos += 1;
        return lead;
    }
    pos += extra + 1;
    return value;
}

LengthState Finish(LengthState state, bool editing) {
    const bool present = !state.text.empty();
    state.parts = PartCount(state.weight);
    state.counterText = CounterText(state.weight, state.parts);
    state.textPresent = present;
    state.sendEnabled = present;
    state.scheduleEnabled = present && !editing;
    return state;
}

}  // namespace

int CharWeight(uint32_t codePoint) {
    switch (codePoint) {
        case 0x0C:  // form feed
        case '[':
        case '\\':
        case ']':
        case '^':
        case '{':
        case '|':
        case '}':
        case '~':
        case 0x20AC:  // euro sign
            return 2;
        default:
            return 1;
    }
}

size_t CharacterCount(const std::string& text) {
    size_t count = 0;
    for (size_t pos = 0; pos < text.size(); ++count)
        NextCodePoint(text, pos);
    return count;
}

size_t ByteOffsetOfCharacter(const std::string& text, size_t index) {
    size_t pos = 0;
    for (size_t i = 0; i < index && pos < text.size(); ++i)
        NextCodePoint(text, pos);
    return pos;
}

int64_t WeightedLength(const std::string& text) {
    int64_t weight = 0;
    for (size_t pos = 0; pos < text.size();)
        weight += CharWeight(NextCodePoint(text, pos));
    return weight;
}

int64_t PartCount(int64_t weight) {
    if (weight <= kSingleSmsWeight)
        return 1;
    return (weight - 1) / kConcatPartWeight + 1;
}

std::string CounterText(int64_t weight, int64_t parts) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%lld (%lld)", static_cast<long long>(weight), static_cast<long long>(parts));
    return buffer;
}

LengthState CountMessageLength(const std::string& text, size_t selectionEnd, bool spanSms, bool editing) {
    LengthState state;
    state.text = text;
    const auto n = static_cast<int64_t>(CharacterCount(text));
    state.weight = WeightedLength(text);
    state.caret = std::min<size_t>(selectionEnd, static_cast<size_t>(n));
    if (spanSms) {
        state.limit = kLongTextLimit;
        return Finish(std::move(state), editing);
    }
    // The number of characters that keeps the weight at 160.
    int64_t limit = n - state.weight + kSingleSmsWeight;
    if (limit < kSingleSmsWeight && state.weight > kSingleSmsWeight) {
        // Walk with a running sum and stop at the first character that brings it to 160 or more: that
        // character and everything after it go, so a cut text weighs at most 159.
        int64_t sum = 0;
        size_t pos = 0;
        size_t kept = 0;
        while (pos < text.size()) {
            size_t next = pos;
            const int w = CharWeight(NextCodePoint(text, next));
            if (sum + w >= kSingleSmsWeight)
                break;
            sum += w;
            pos = next;
            ++kept;
        }
        state.text.erase(pos);
        state.cut = true;
        state.weight = sum;
        state.caret = std::min(selectionEnd, kept);
        limit = static_cast<int64_t>(kept) - sum + kSingleSmsWeight;
    }
    state.limit = static_cast<size_t>(std::max<int64_t>(limit, 0));
    return Finish(std::move(state), editing);
}

LengthState CountMessageLength(const std::string& text, size_t selectionEnd, bool editing) {
    return CountMessageLength(text, selectionEnd, Settings().SpanSMS, editing);
}

LengthState ApplyLengthLimit(const std::string& text, size_t caretPos, bool spanSms) {
    LengthState state;
    state.text = text;
    state.limit = spanSms ? kLongTextLimit : kSingleSmsWeight;
    if (!spanSms) {
        const size_t end = ByteOffsetOfCharacter(text, kSingleSmsWeight);
        if (end < text.size()) {
            state.text.erase(end);
            state.cut = true;
        }
    }
    state.caret = std::min(caretPos, CharacterCount(state.text));
    state.weight = WeightedLength(state.text);
    return Finish(std::move(state), false);
}

}  // namespace quillon
