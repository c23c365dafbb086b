#include "compose/Schedule.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>

#include "core/AppSettings.h"

namespace quillon {

namespace {

constexpr int64_t kGraceSeconds = 3600;
constexpr int64_t kLatestStoredTime = INT32_MAX;  // times are stored as signed 32-bit seconds

// Days since 1970-01-01 of a proleptic Gregorian date (month 1 .. 12).
int64_t DaysFromCivil(int64_t y, int m, int d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

struct CivilDate {
    int64_t year;
    int month;  // 1 .. 12
    int day;
};

CivilDate CivilFromDays(int64_t z) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    const int d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    const int m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return CivilDate{yoe + era * 400 + (m <= 2), m, d};
}

// Sunday 0 .. Saturday 6, as the local-time conversion reports weekdays.
int WeekdayOfDays(int64_t z) {
    return static_cast<int>(((z % 7) + 7 + 4) % 7);
}

int DaysInCivilMonth(int64_t year, int month) {
    const int64_t nextYear = month == 12 ? year + 1 : year;
    const int nextMonth = month == 12 ? 1 : month + 1;
    return static_cast<int>(DaysFromCivil(nextYear, nextMonth, 1) - DaysFromCivil(year, month, 1));
}

struct ClockTime {
    int hour = 0;
    int minute = 0;
    int second = 0;
};

bool ToLocal(int64_t time, struct tm& out) {
    const auto t = static_cast<time_t>(time);
    return localtime_r(&t, &out) != nullptr;
}

// The calendar time of a local date and clock time; daylight saving is decided by the date itself.
// -1 when it cannot be represented.
int64_t MakeLocal(int64_t days, const ClockTime& clock) {
    const CivilDate date = CivilFromDays(days);
    if (date.year - 1900 > INT_MAX || date.year - 1900 < INT_MIN)
        return -1;
    struct tm fields {};
    fields.tm_year = static_cast<int>(date.year - 1900);
    fields.tm_mon = date.month - 1;
    fields.tm_mday = date.day;
    fields.tm_hour = clock.hour;
    fields.tm_min = clock.minute;
    fields.tm_sec = clock.second;
    fields.tm_isdst = -1;
    errno = 0;
    const time_t t = mktime(&fields);
    if (t == static_cast<time_t>(-1) && errno != 0)
        return -1;
    return static_cast<int64_t>(t);
}

bool ParseField(const std::string& text, int32_t& value) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin &&
           (text[end - 1] == ' ' || text[end - 1] == '\t' || text[end - 1] == '\r' || text[end - 1] == '\n'))
        --end;
    if (begin == end)
        return false;
    const std::string digits = text.substr(begin, end - begin);
    char* stop = nullptr;
    errno = 0;
    const long v = std::strtol(digits.c_str(), &stop, 10);
    if (errno != 0 || stop != digits.c_str() + digits.size() || v < INT32_MIN || v > INT32_MAX)
        return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool SetIndex(int32_t value, int32_t last, int32_t& target) {
    if (value < 0 || value > last)
        return false;
    target = value;
    return true;
}

// One field of the SchedulingInfo text, as one control of the schedule dialog stores it.
enum class FieldKind {
    kIndex,    // a list position, 0 .. last
    kMode,     // one recurrence-mode radio: 1 while its mode is chosen
    kRadio,    // one of a pair of radios over a flag: 1 while the flag has the radio's value
    kWeekday,  // one day's check box of the weekly choice
};

struct SchedulingField {
    FieldKind kind;
    int32_t ScheduleChoices::*index;  // kIndex
    int32_t last;                     // kIndex: the list's last position
    bool ScheduleChoices::*flag;      // kRadio
    int32_t option;                   // kMode: the mode; kRadio: the flag's value; kWeekday: Monday 0 .. Sunday 6
};

constexpr SchedulingField Index(int32_t ScheduleChoices::*index, int32_t last) {
    return {FieldKind::kIndex, index, last, nullptr, 0};
}
constexpr SchedulingField Mode(RecurrenceMode mode) {
    return {FieldKind::kMode, nullptr, 0, nullptr, static_cast<int32_t>(mode)};
}
constexpr SchedulingField Radio(bool ScheduleChoices::*flag, bool value) {
    return {FieldKind::kRadio, nullptr, 0, flag, value ? 1 : 0};
}
constexpr SchedulingField Weekday(int32_t day) {
    return {FieldKind::kWeekday, nullptr, 0, nullptr, day};
}

// The fields in the dialog's order: both the writer and the reader walk this table.
using C = ScheduleChoices;
constexpr std::array<SchedulingField, kSchedulingInfoFields> kSchedulingFields = {{
    Index(&C::monthIndex, 12),
    Index(&C::dayIndex, 31),
    Index(&C::hourIndex, 24),
    Index(&C::minuteIndex, 60),
    Mode(RecurrenceMode::OnceOnly),
    Mode(RecurrenceMode::Daily),
    Mode(RecurrenceMode::Weekly),
    Mode(RecurrenceMode::Monthly),
    Index(&C::everyDaysIndex, 13),
    Radio(&C::everyWeekday, false),
    Radio(&C::everyWeekday, true),
    Index(&C::weeksIndex, 3),
    Weekday(0),
    Weekday(1),
    Weekday(2),
    Weekday(3),
    Weekday(4),
    Weekday(5),
    Weekday(6),
    Radio(&C::monthlyByWeekday, false),
    Index(&C::dayOfMonthIndex, 29),
    Index(&C::dayMonthsIndex, 11),
    Radio(&C::monthlyByWeekday, true),
    Index(&C::nthIndex, 3),
    Index(&C::weekdayIndex, 6),
    Index(&C::weekdayMonthsIndex, 11),
    Index(&C::endAfterIndex, 11),
}};

int32_t FieldValue(const SchedulingField& field, const ScheduleChoices& c) {
    switch (field.kind) {
        case FieldKind::kIndex:
            return c.*field.index;
        case FieldKind::kMode:
            return c.mode == static_cast<RecurrenceMode>(field.option);
        case FieldKind::kRadio:
            return c.*field.flag == (field.option != 0);
        case FieldKind::kWeekday:
            return c.weekdays[static_cast<size_t>(field.option)];
    }
    return 0;
}

// A checked radio sets its choice; an unchecked one changes nothing, so whichever of a pair comes
// checked wins.
void SetField(const SchedulingField& field, int32_t v, ScheduleChoices& c) {
    switch (field.kind) {
        case FieldKind::kIndex:
            SetIndex(v, field.last, c.*field.index);
            break;
        case FieldKind::kMode:
            if (v != 0)
                c.mode = static_cast<RecurrenceMode>(field.option);
            break;
        case FieldKind::kRadio:
            if (v != 0)
                c.*field.flag = field.option != 0;
            break;
        case FieldKind::kWeekday:
            c.weekdays[static_cast<size_t>(field.option)] = v != 0;
            break;
    }
}

}  // namespace

bool ScheduleChoices::operator==(const ScheduleChoices& o) const {
    return monthIndex == o.monthIndex && dayIndex == o.dayIndex && hourIndex == o.hourIndex &&
           minuteIndex == o.minuteIndex && mode == o.mode && everyDaysIndex == o.everyDaysIndex &&
           everyWeekday == o.everyWeekday && weeksIndex == o.weeksIndex && weekdays == o.weekdays &&
           monthlyByWeekday == o.monthlyByWeekday && dayOfMonthIndex == o.dayOfMonthIndex &&
           dayMonthsIndex == o.dayMonthsIndex && nthIndex == o.nthIndex && weekdayIndex == o.weekdayIndex &&
           weekdayMonthsIndex == o.weekdayMonthsIndex && endAfterIndex == o.endAfterIndex;
}

std::string FormatSchedulingInfo(const ScheduleChoices& c) {
    std::string text;
    for (const SchedulingField& field : kSchedulingFields) {
        if (!text.empty())
            text += ',';
        text += std::to_string(FieldValue(field, c));
    }
    return text;
}

ScheduleChoices ParseSchedulingInfo(const std::string& text, int year) {
    ScheduleChoices c;
    if (text.empty())
        return c;
    size_t start = 0;
    for (size_t field = 0; field < kSchedulingFields.size() && start <= text.size(); ++field) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        int32_t v = 0;
        const bool ok = ParseField(text.substr(start, comma - start), v);
        start = comma + 1;
        if (ok)
            SetField(kSchedulingFields[field], v, c);
    }
    RefillDayList(c, year);
    return c;
}

ScheduleChoices LoadSchedulingChoices(int64_t now) {
    std::string text;
    TheSettingsFile().GetString("SchedulingInfo", text, "");
    return ParseSchedulingInfo(text, LocalYear(now));
}

void StoreSchedulingChoices(const ScheduleChoices& choices) {
    TheSettingsFile().SetString("SchedulingInfo", FormatSchedulingInfo(choices));
}

UploadChoice LoadUploadChoice() {
    const AppSettings& settings = Settings();
    UploadChoice upload;
    upload.enabled = settings.ScheduleToServer;
    upload.checked = settings.ScheduleToServer;
    upload.daysIndex = std::clamp<int32_t>(settings.UploadToServerXDaysBefore - 1, 0, kMaxUploadDays - 1);
    return upload;
}

// A cleared or disabled upload box means the user does not want the gateway to hold the message:
// the rows stay local (Scheduled) and are sent when due, rather than handed over days ahead.
int32_t UploadDays(const UploadChoice& upload) {
    if (!upload.enabled || !upload.checked)
        return 0;
    return std::clamp<int32_t>(upload.daysIndex, 0, kMaxUploadDays - 1) + 1;
}

int DaysInMonth(int32_t monthValue, int year) {
    if (monthValue < 1 || monthValue > 12)
        return 31;
    return DaysInCivilMonth(year, monthValue);
}

void RefillDayList(ScheduleChoices& choices, int year) {
    const int days = DaysInMonth(choices.monthIndex, year);
    if (choices.dayIndex > days)
        choices.dayIndex = days;
}

int LocalYear(int64_t time) {
    tzset();
    struct tm fields {};
    if (!ToLocal(time, fields))
        return 1970;
    return fields.tm_year + 1900;
}

int64_t ScheduleStartTime(const ScheduleChoices& choices, int64_t now) {
    tzset();
    struct tm fields {};
    if (!ToLocal(now, fields))
        return now;
    if (choices.monthIndex > 0)
        fields.tm_mon = choices.monthIndex - 1;
    if (choices.dayIndex > 0)
        fields.tm_mday = choices.dayIndex;
    if (choices.hourIndex > 0)
        fields.tm_hour = choices.hourIndex - 1;
    if (choices.minuteIndex > 0)
        fields.tm_min = choices.minuteIndex - 1;
    fields.tm_sec = 0;
    const int64_t year = static_cast<int64_t>(fields.tm_year) + 1900;
    const int month = fields.tm_mon + 1;
    // A day the month lacks runs on into the next month, as the local-time conversion normalises it
    // (31 April is 1 May; 29 February of a common year is 1 March).
    const int64_t dayOffset = fields.tm_mday - 1;
    const ClockTime clock{fields.tm_hour, fields.tm_min, 0};
    int64_t start = MakeLocal(DaysFromCivil(year, month, 1) + dayOffset, clock);
    if (start < now - kGraceSeconds)
        start = MakeLocal(DaysFromCivil(year + 1, month, 1) + dayOffset, clock);
    return start;
}

namespace {

// Day numbers (days since 1970-01-01) of each recurrence, `count` of them from `startDay` on.
std::vector<int64_t> DailyDays(const ScheduleChoices& c, int64_t startDay, int count) {
    std::vector<int64_t> days;
    if (c.everyWeekday) {
        int64_t day = startDay;
        for (int i = 0; i < count; ++i) {
            const int wd = WeekdayOfDays(day);
            if (wd == 0)
                day += 1;
            if (wd == 6)
                day += 2;
            days.push_back(day);
            day += 1;
        }
    } else {
        const int64_t every = std::clamp(c.everyDaysIndex, 0, 13) + 1;
        for (int i = 0; i < count; ++i)
            days.push_back(startDay + i * every);
    }
    return days;
}

std::vector<int64_t> WeeklyDays(const ScheduleChoices& c, int64_t startDay, int count) {
    std::vector<int64_t> days;
    // weekdays[] runs Monday .. Sunday; WeekdayOfDays gives Sunday 0.
    auto checked = [&](int64_t day) { return c.weekdays[(WeekdayOfDays(day) + 6) % 7]; };
    if (std::none_of(c.weekdays.begin(), c.weekdays.end(), [](bool b) { return b; }))
        return days;
    const int64_t weeks = std::clamp(c.weeksIndex, 0, 3) + 1;
    int64_t day = startDay;
    while (!checked(day))
        ++day;
    for (int i = 0; i < count; ++i) {
        days.push_back(day);
        // Weeks run Monday to Sunday; whenever the walk leaves a week, the weeks to skip follow,
        // whether or not that Sunday was itself an occurrence: skipping only after a Sunday
        // occurrence would turn "every 2 weeks on Monday and Wednesday" into every week.
        do {
            if (WeekdayOfDays(day) == 0)
                day += (weeks - 1) * 7;
            ++day;
        } while (!checked(day));
    }
    return days;
}

// Months are numbered year * 12 + (month - 1).
int64_t YearOfMonthNumber(int64_t number) {
    return number >= 0 ? number / 12 : (number - 11) / 12;
}

int64_t DayOfMonthNumber(int64_t number, int dayOfMonth) {
    const int64_t year = YearOfMonthNumber(number);
    return DaysFromCivil(year, static_cast<int>(number - year * 12) + 1, dayOfMonth);
}

int DaysOfMonthNumber(int64_t number) {
    const int64_t year = YearOfMonthNumber(number);
    return DaysInCivilMonth(year, static_cast<int>(number - year * 12) + 1);
}

std::vector<int64_t> MonthlyByDayDays(const ScheduleChoices& c, int64_t startDay, int count) {
    const CivilDate first = CivilFromDays(startDay);
    int64_t monthNumber = first.year * 12 + (first.month - 1);
    const int dayOfMonth = std::clamp(c.dayOfMonthIndex, 0, 29) + 1;
    const int64_t every = std::clamp(c.dayMonthsIndex, 0, 11) + 1;
    // The first month from the start's own that has the day, on or after the start.
    while (DaysOfMonthNumber(monthNumber) < dayOfMonth || DayOfMonthNumber(monthNumber, dayOfMonth) < startDay)
        ++monthNumber;
    // Then every `every` months counted on the calendar; a month without the day has no
    // occurrence and does not shift the months after it.
    std::vector<int64_t> days;
    for (int i = 0; i < count; monthNumber += every) {
        if (DaysOfMonthNumber(monthNumber) < dayOfMonth)
            continue;
        days.push_back(DayOfMonthNumber(monthNumber, dayOfMonth));
        ++i;
    }
    return days;
}

std::vector<int64_t> MonthlyByWeekdayDays(const ScheduleChoices& c, int64_t startDay, int count) {
    const CivilDate first = CivilFromDays(startDay);
    int64_t monthNumber = first.year * 12 + (first.month - 1);
    const int nth = std::clamp(c.nthIndex, 0, 3) + 1;
    const int weekday = (std::clamp(c.weekdayIndex, 0, 6) + 1) % 7;  // Monday 1 .. Sunday 0
    const int64_t every = std::clamp(c.weekdayMonthsIndex, 0, 11) + 1;
    auto find = [&](int64_t number) {
        const int64_t firstDay = DayOfMonthNumber(number, 1);
        return firstDay + (weekday - WeekdayOfDays(firstDay) + 7) % 7 + (nth - 1) * 7;
    };
    int64_t day = find(monthNumber);
    if (day < startDay)
        day = find(++monthNumber);
    std::vector<int64_t> days;
    for (int i = 0; i < count; ++i) {
        days.push_back(day);
        monthNumber += every;
        day = find(monthNumber);
    }
    return days;
}

std::vector<int64_t> OccurrenceDays(const ScheduleChoices& c, int64_t startDay, int count) {
    switch (c.mode) {
        case RecurrenceMode::Daily:
            return DailyDays(c, startDay, count);
        case RecurrenceMode::Weekly:
            return WeeklyDays(c, startDay, count);
        case RecurrenceMode::Monthly:
            return c.monthlyByWeekday ? MonthlyByWeekdayDays(c, startDay, count) : MonthlyByDayDays(c, startDay, count);
        case RecurrenceMode::OnceOnly:
        default:
            return {startDay};
    }
}

}  // namespace

std::vector<int64_t> OccurrenceTimes(const ScheduleChoices& c, int64_t start) {
    tzset();
    std::vector<int64_t> times;
    struct tm fields {};
    if (!ToLocal(start, fields))
        return times;
    // Every occurrence keeps the clock time of the start on its own date, so a daylight-saving change
    // between two occurrences moves neither the hour nor the date.
    ClockTime clock{fields.tm_hour, fields.tm_min, fields.tm_sec};
    if (c.hourIndex > 0)
        clock.hour = c.hourIndex - 1;
    if (c.minuteIndex > 0)
        clock.minute = c.minuteIndex - 1;
    const int64_t startDay =
        DaysFromCivil(static_cast<int64_t>(fields.tm_year) + 1900, fields.tm_mon + 1, fields.tm_mday);
    const int count = std::clamp(c.endAfterIndex, 0, kMaxOccurrences - 1) + 1;
    for (int64_t day : OccurrenceDays(c, startDay, count))
        times.push_back(day == startDay ? start : MakeLocal(day, clock));
    return times;
}

ScheduleResult ComputeSchedule(const ScheduleChoices& choices, const UploadChoice& upload, int64_t now) {
    ScheduleResult result;
    if (choices.mode == RecurrenceMode::Weekly &&
        std::none_of(choices.weekdays.begin(), choices.weekdays.end(), [](bool b) { return b; })) {
        result.status = ScheduleStatus::NoWeekdayChecked;
        return result;
    }
    const int64_t start = ScheduleStartTime(choices, now);
    for (int64_t t : OccurrenceTimes(choices, start)) {
        if (t < 0 || t > kLatestStoredTime) {
            result.truncated = true;
            break;
        }
        result.occurrenceTimes.push_back(static_cast<int32_t>(t));
    }
    if (result.occurrenceTimes.empty()) {
        result.status = ScheduleStatus::OutOfRange;
        return result;
    }
    result.uploadDays = UploadDays(upload);
    return result;
}

ScheduleResult AcceptSchedule(const ScheduleChoices& choices, const UploadChoice& upload, int64_t now) {
    ScheduleResult result = ComputeSchedule(choices, upload, now);
    if (result.status != ScheduleStatus::NoWeekdayChecked)
        StoreSchedulingChoices(choices);
    return result;
}

}  // namespace quillon
