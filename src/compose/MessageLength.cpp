#include "compose/MessageLength.h"

#include <algorithm>
#include <cstdio>

#include "store/MessageType.h"

namespace quillon {

namespace {

constexpr int32_t kUnicodeKind = static_cast<int32_t>(MessageType::Unicode);

bool IsDataKind(int32_t kind) {
    const long code = GatewayKindCode(kind);
    return code != 0 && code != 1;
}

bool IsContinuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

bool TallyFits(const SmsTally& tally, int32_t kind, bool spanSms) {
    return FitsLimit(CountTypedText(tally, kind == kUnicodeKind), spanSms);
}

// Length of the longest leading part of `text` that fits, in bytes; `kept` gets its characters.
size_t FittingPrefix(const std::string& text, const SmsTally& before, const SmsTally& after, int32_t kind, bool spanSms,
                     size_t& kept) {
    SmsTally tally = before;
    size_t best = 0;
    size_t count = 0;
    kept = 0;
    for (size_t pos = 0; pos < text.size();) {
        tally.Add(NextCodePoint(text, pos));
        ++count;
        SmsTally whole = tally;
        whole += after;
        if (TallyFits(whole, kind, spanSms)) {
            best = pos;
            kept = count;
        } else if (!whole.gsm || kind == kUnicodeKind) {
            break;  // in UCS-2 the count only grows: nothing longer fits
        }
    }
    return best;
}

LengthState Finish(LengthState state, int32_t kind, bool spanSms, bool editing) {
    const bool present = !state.text.empty();
    const bool typed = !IsDataKind(kind);
    const SmsTally tally = TallyText(state.text);
    state.count = typed ? CountTypedText(tally, kind == kUnicodeKind) : CountMessage(state.text, kind);
    state.fits = FitsLimit(state.count, spanSms);
    state.counterText = CounterText(state.count.units, state.count.parts);
    state.nonGsm.clear();
    if (typed && kind != kUnicodeKind && !tally.gsm)
        state.nonGsm = NonGsmCharacters(state.text, kMaxNamedCharacters);
    const int64_t budget = SmsUnitBudget(state.count.alphabet, MaxParts(spanSms));
    const int64_t room = tally.characters - state.count.units + budget;
    state.limit = static_cast<size_t>(std::clamp<int64_t>(room, 0, spanSms ? kLongTextLimit : budget));
    state.caret = std::min(state.caret, static_cast<size_t>(tally.characters));
    state.textPresent = present;
    state.sendEnabled = present && state.fits;
    state.scheduleEnabled = state.sendEnabled && !editing;
    return state;
}

}  // namespace

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

std::string CounterText(int64_t units, int64_t parts) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%lld (%lld)", static_cast<long long>(units), static_cast<long long>(parts));
    return buffer;
}

SmsCount CountMessage(const std::string& text, int32_t kind) {
    if (IsDataKind(kind)) {
        SmsCount count;
        count.alphabet = SmsAlphabet::kData;
        count.units = DataOctets(text);
        count.parts = SmsParts(count.alphabet, count.units);
        return count;
    }
    return CountTypedText(TallyText(text), kind == kUnicodeKind);
}

int MaxParts(bool spanSms) {
    return spanSms ? kMaxSmsParts : 1;
}

bool FitsLimit(const SmsCount& count, bool spanSms) {
    return count.units <= SmsUnitBudget(count.alphabet, MaxParts(spanSms));
}

LengthState CountMessageLength(const std::string& previous, const std::string& text, size_t selectionEnd, int32_t kind,
                               bool spanSms, bool editing) {
    LengthState state;
    state.text = text;
    state.caret = selectionEnd;  // Finish keeps it within the text
    if (FitsLimit(CountMessage(text, kind), spanSms))
        return Finish(std::move(state), kind, spanSms, editing);
    if (IsDataKind(kind)) {
        state.text = previous;
        state.refused = true;
        return Finish(std::move(state), kind, spanSms, editing);
    }
    // The stretch the edit replaced: what lies between the longest common start and end of both texts.
    size_t pre = 0;
    const size_t shorter = std::min(previous.size(), text.size());
    while (pre < shorter && previous[pre] == text[pre])
        ++pre;
    while (pre > 0 && ((pre < text.size() && IsContinuation(text[pre])) ||
                       (pre < previous.size() && IsContinuation(previous[pre]))))
        --pre;
    size_t suf = 0;
    while (suf < shorter - pre && previous[previous.size() - 1 - suf] == text[text.size() - 1 - suf])
        ++suf;
    while (suf > 0 && IsContinuation(text[text.size() - suf]))
        --suf;
    const std::string head = text.substr(0, pre);
    const std::string inserted = text.substr(pre, text.size() - pre - suf);
    const std::string tail = text.substr(text.size() - suf);
    const SmsTally headTally = TallyText(head);
    const SmsTally tailTally = TallyText(tail);
    SmsTally without = headTally;
    without += tailTally;
    size_t kept = 0;
    if (TallyFits(without, kind, spanSms)) {
        const size_t bytes = FittingPrefix(inserted, headTally, tailTally, kind, spanSms, kept);
        state.text = head + inserted.substr(0, bytes) + tail;
        state.caret = static_cast<size_t>(headTally.characters) + kept;
    } else {
        const size_t bytes = FittingPrefix(text, SmsTally{}, SmsTally{}, kind, spanSms, kept);
        state.text = text.substr(0, bytes);
        state.caret = std::min(selectionEnd, kept);
    }
    state.cut = true;
    return Finish(std::move(state), kind, spanSms, editing);
}

LengthState RecountMessageLength(const std::string& text, int32_t kind, bool spanSms, bool editing) {
    LengthState state;
    state.text = text;
    state.caret = SIZE_MAX;  // the end: Finish keeps it within the text
    return Finish(std::move(state), kind, spanSms, editing);
}

LengthState ApplyLengthLimit(const std::string& text, size_t caretPos, int32_t kind, bool spanSms, bool editing) {
    LengthState state;
    state.text = text;
    if (!IsDataKind(kind) && !FitsLimit(CountMessage(text, kind), spanSms)) {
        size_t kept = 0;
        state.text = text.substr(0, FittingPrefix(text, SmsTally{}, SmsTally{}, kind, spanSms, kept));
        state.cut = true;
    }
    state.caret = std::min(caretPos, CharacterCount(state.text));
    return Finish(std::move(state), kind, spanSms, editing);
}

}  // namespace quillon
