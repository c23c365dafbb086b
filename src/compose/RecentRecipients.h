// The recently used recipients: ten slots, most recent first, kept in the settings as 108-byte
// records (Recent0 .. Recent9 with NumRecent) so that they survive between runs.
#pragma once

#include <cstdint>
#include <string>

#include "core/AppSettings.h"

namespace quillon {

// Layout of one 108-byte record.
struct RecentRecordLayout {
    static constexpr size_t kState = 0;  // 3 for a slot that has been set up
    static constexpr size_t kFlags = 1;  // bit 0: not in use; bit 1: selected
    static constexpr size_t kLabel = 4;  // 86 bytes including the terminator
    static constexpr size_t kLabelSize = 86;
    static constexpr size_t kNumber = 90;  // 16 bytes plus the terminator
    static constexpr size_t kNumberSize = 17;
    static constexpr uint8_t kFilledState = 3;
    static constexpr uint8_t kNotInUse = 1u << 0;
    static constexpr uint8_t kSelected = 1u << 1;
};
static_assert(RecentRecordLayout::kNumber + RecentRecordLayout::kNumberSize + 1 == kRecentRecordSize,
              "a recent record is 108 bytes");

constexpr size_t kMaxRecentLabelBytes = RecentRecordLayout::kLabelSize - 1;    // 85
constexpr size_t kMaxRecentNumberBytes = RecentRecordLayout::kNumberSize - 1;  // 16

// A view over the recent table of an AppSettings (its `recent` records and `NumRecent`), so that
// what the compose pane changes is what the next SaveSettings writes.
class RecentRecipients {
public:
    explicit RecentRecipients(AppSettings& settings) : settings_(settings) {}

    // Number of filled slots, 0 .. 10; slot 0 is the most recent.
    int Count() const;
    // A slot counts when it lies below Count() and is not marked free.
    bool InUse(int slot) const;
    std::string Label(int slot) const;
    std::string Number(int slot) const;
    bool Selected(int slot) const;
    void SetSelected(int slot, bool selected);

    // Puts `number` in front: "first second (number)" as label (either part may be empty). Nothing
    // happens when a filled slot already holds the number, or when the number is empty. The label is
    // cut to 85 bytes on a whole UTF-8 character, shortening the names rather than the number; the
    // number keeps its first 16 bytes, and a number is compared in that form.
    void AddRecent(const std::string& first, const std::string& second, const std::string& number);
    // Marks all ten slots free and the count 0.
    void ClearRecent();
    // Clears the selected flag of every slot up to the first one not in use.
    void ClearSelection();
    // Selected slots in use.
    int SelectedCount() const;

    // The label AddRecent builds, before any cut: "%s%s%s%s(%s)".
    static std::string MakeLabel(const std::string& first, const std::string& second, const std::string& number);

private:
    RecentRecord& Slot(int slot) { return settings_.recent[static_cast<size_t>(slot)]; }
    const RecentRecord& Slot(int slot) const { return settings_.recent[static_cast<size_t>(slot)]; }

    AppSettings& settings_;
};

// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 character.
std::string CutToWholeCharacters(const std::string& text, size_t maxBytes);

}  // namespace quillon
