// The schedule of a composition: the choices of the schedule dialog, their SchedulingInfo text, the
// start time and the list of delivery times. Times are seconds since 1970 UTC, read and built in local
// time with localtime_r and mktime.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace quillon {

enum class RecurrenceMode : int32_t { OnceOnly = 1, Daily = 2, Weekly = 3, Monthly = 4 };

constexpr int kSchedulingInfoFields = 27;
constexpr int kMaxOccurrences = 12;
constexpr int kMaxUploadDays = 7;

// Every choice of the schedule dialog as it is remembered: list positions (index 0 is the first
// entry) and check states. Values: month index 0 = "Month" (none), 1 .. 12; day index 0 = "Day",
// 1 .. 31; hour index 0 = "Hour", else hour + 1; minute index 0 = "Min", else minute + 1.
struct ScheduleChoices {
    int32_t monthIndex = 0;
    int32_t dayIndex = 0;
    int32_t hourIndex = 0;
    int32_t minuteIndex = 0;
    RecurrenceMode mode = RecurrenceMode::OnceOnly;
    // Daily: every (everyDaysIndex + 1) days, or every weekday.
    int32_t everyDaysIndex = 0;  // 0 .. 13
    bool everyWeekday = false;
    // Weekly: every (weeksIndex + 1) weeks on the checked days, Monday first.
    int32_t weeksIndex = 0;  // 0 .. 3
    std::array<bool, 7> weekdays{};
    // Monthly: day (dayOfMonthIndex + 1) of every (dayMonthsIndex + 1) months, or the nth weekday.
    bool monthlyByWeekday = false;
    int32_t dayOfMonthIndex = 0;     // 0 .. 29
    int32_t dayMonthsIndex = 0;      // 0 .. 11
    int32_t nthIndex = 0;            // 0 .. 3: 1st .. 4th
    int32_t weekdayIndex = 0;        // 0 .. 6: Monday .. Sunday
    int32_t weekdayMonthsIndex = 0;  // 0 .. 11
    int32_t endAfterIndex = 0;       // 0 .. 11: 1 .. 12 occurrences

    bool operator==(const ScheduleChoices& other) const;
};

// The upload choice: whether rows are handed to the gateway ahead of their time, and how many days.
struct UploadChoice {
    bool enabled = false;  // the box may be used (ScheduleToServer on)
    bool checked = false;
    int32_t daysIndex = 0;  // 0 .. 6: 1 .. 7 days
};

// 27 "%d" fields joined by commas, in the dialog's field order.
std::string FormatSchedulingInfo(const ScheduleChoices& choices);
// Empty text gives the defaults. Otherwise each field present replaces its default; a field that is
// not a number or lies outside its list is skipped; fields beyond 27 are ignored. The day index is
// lowered to the month's last day (as the refilled Day list would), using `year` for February.
ScheduleChoices ParseSchedulingInfo(const std::string& text, int year);

// The SchedulingInfo setting (kept in the settings map; the next save writes it).
ScheduleChoices LoadSchedulingChoices(int64_t now);
void StoreSchedulingChoices(const ScheduleChoices& choices);

// Opening state of the upload box from ScheduleToServer and UploadToServerXDaysBefore.
UploadChoice LoadUploadChoice();
// The lead time in days: the list's value while the box is enabled and checked, else 0 (the rows stay
// local and are sent when due).
int32_t UploadDays(const UploadChoice& upload);

// Days the Day list holds for month value m (0 = none chosen: 31) in `year`.
int DaysInMonth(int32_t monthValue, int year);
// Lowers the day index to the last day of the chosen month, as refilling the Day list does.
void RefillDayList(ScheduleChoices& choices, int year);

// The local year of a time.
int LocalYear(int64_t time);

// The first delivery time: now's local date and clock with the chosen month, day, hour and minute,
// seconds 0. A time more than an hour in the past moves to the same date next year.
int64_t ScheduleStartTime(const ScheduleChoices& choices, int64_t now);

enum class ScheduleStatus {
    Ok,
    NoWeekdayChecked,  // weekly without a day: the dialog ignores OK
    OutOfRange,        // not even the first time fits the stored 32-bit time
};

struct ScheduleResult {
    ScheduleStatus status = ScheduleStatus::Ok;
    std::vector<int32_t> occurrenceTimes;  // 1 .. 12 times, ascending
    int32_t uploadDays = 0;
    bool truncated = false;  // later occurrences were dropped because they lie beyond January 2038
};

// Every delivery time of the choices from the start time `start` (ScheduleStartTime).
std::vector<int64_t> OccurrenceTimes(const ScheduleChoices& choices, int64_t start);

// What OK of the schedule dialog yields at time `now`.
ScheduleResult ComputeSchedule(const ScheduleChoices& choices, const UploadChoice& upload, int64_t now);
// OK of the schedule dialog: a weekly schedule without a day is refused and changes nothing; otherwise
// the choices become the SchedulingInfo setting and the result is computed.
ScheduleResult AcceptSchedule(const ScheduleChoices& choices, const UploadChoice& upload, int64_t now);

}  // namespace quillon
