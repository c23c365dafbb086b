#include "compose/RecentRecipients.h"

#include <algorithm>
#include <cstring>

namespace quillon {

namespace {

using L = RecentRecordLayout;

std::string ReadField(const RecentRecord& record, size_t offset, size_t size) {
    const char* start = reinterpret_cast<const char*>(record.data() + offset);
    // A record from an old or damaged settings file may lack the terminator: stop at the field's end.
    return std::string(start, strnlen(start, size - 1));
}

void WriteField(RecentRecord& record, size_t offset, size_t size, const std::string& text) {
    std::fill(record.begin() + static_cast<long>(offset), record.begin() + static_cast<long>(offset + size), 0);
    std::memcpy(record.data() + offset, text.data(), std::min(text.size(), size - 1));
}

}  // namespace

std::string CutToWholeCharacters(const std::string& text, size_t maxBytes) {
    if (text.size() <= maxBytes)
        return text;
    size_t end = maxBytes;
    // Step back over continuation bytes to the start of the character that would be split.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

int RecentRecipients::Count() const {
    return std::clamp<int32_t>(settings_.NumRecent, 0, kRecentSlots);
}

bool RecentRecipients::InUse(int slot) const {
    if (slot < 0 || slot >= Count())
        return false;
    return (Slot(slot)[L::kFlags] & L::kNotInUse) == 0;
}

std::string RecentRecipients::Label(int slot) const {
    if (slot < 0 || slot >= kRecentSlots)
        return {};
    return ReadField(Slot(slot), L::kLabel, L::kLabelSize);
}

std::string RecentRecipients::Number(int slot) const {
    if (slot < 0 || slot >= kRecentSlots)
        return {};
    return ReadField(Slot(slot), L::kNumber, L::kNumberSize);
}

bool RecentRecipients::Selected(int slot) const {
    if (slot < 0 || slot >= kRecentSlots)
        return false;
    return (Slot(slot)[L::kFlags] & L::kSelected) != 0;
}

void RecentRecipients::SetSelected(int slot, bool selected) {
    if (slot < 0 || slot >= kRecentSlots)
        return;
    uint8_t& flags = Slot(slot)[L::kFlags];
    flags = selected ? (flags | L::kSelected) : (flags & ~L::kSelected);
}

std::string RecentRecipients::MakeLabel(const std::string& first, const std::string& second,
                                        const std::string& number) {
    std::string label = first;
    if (!first.empty())
        label += ' ';
    label += second;
    if (!second.empty())
        label += ' ';
    return label + "(" + number + ")";
}

void RecentRecipients::AddRecent(const std::string& first, const std::string& second, const std::string& number) {
    // An entry without a number would later be sent as an empty recipient.
    if (number.empty())
        return;
    const std::string stored = CutToWholeCharacters(number, kMaxRecentNumberBytes);
    // The stored form is what a slot holds, so a longer number still finds its own slot.
    for (int i = 0; i < Count() && InUse(i); ++i)
        if (Number(i) == stored)
            return;

    for (int i = kRecentSlots - 1; i > 0; --i)
        settings_.recent[i] = settings_.recent[i - 1];
    RecentRecord& slot = Slot(0);
    slot.fill(0);
    slot[L::kState] = L::kFilledState;

    std::string label = MakeLabel(first, second, number);
    if (label.size() > kMaxRecentLabelBytes) {
        // Shorten the names and keep "(number)" whole where it fits.
        const std::string suffix = "(" + number + ")";
        std::string names = label.substr(0, label.size() - suffix.size());
        if (suffix.size() < kMaxRecentLabelBytes)
            label = CutToWholeCharacters(names, kMaxRecentLabelBytes - suffix.size()) + suffix;
        else
            label = CutToWholeCharacters(label, kMaxRecentLabelBytes);
    }
    WriteField(slot, L::kLabel, L::kLabelSize, label);
    WriteField(slot, L::kNumber, L::kNumberSize, stored);
    settings_.NumRecent = std::min(Count() + 1, kRecentSlots);
}

void RecentRecipients::ClearRecent() {
    for (auto& slot : settings_.recent) {
        slot.fill(0);
        slot[L::kState] = L::kFilledState;
        slot[L::kFlags] = L::kNotInUse;
    }
    settings_.NumRecent = 0;
}

void RecentRecipients::ClearSelection() {
    for (int i = 0; i < kRecentSlots && InUse(i); ++i)
        SetSelected(i, false);
}

int RecentRecipients::SelectedCount() const {
    int n = 0;
    for (int i = 0; i < Count(); ++i)
        if (InUse(i) && Selected(i))
            ++n;
    return n;
}

}  // namespace quillon
