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
    const int32_t fields[kSchedulingInfoFields] = {c.monthIndex,
                                                   c.dayIndex,
                                                   c.hourIndex,
                                                   c.minuteIndex,
                                                   c.mode == RecurrenceMode::OnceOnly,
                                                   c.mode == RecurrenceMode::Daily,
                                                   c.mode == RecurrenceMode::Weekly,
                                                   c.mode == RecurrenceMode::Monthly,
                                                   c.everyDaysIndex,
                                                   !c.everyWeekday,
                                                   c.everyWeekday,
                                                   c.weeksIndex,
                                                   c.weekdays[0],
                                                   c.weekdays[1],
                                                   c.weekdays[2],
                                                   c.weekdays[3],
                                                   c.weekdays[4],
                                                   c.weekdays[5],
                                                   c.weekdays[6],
                                                   !c.monthlyByWeekday,
                                                   c.dayOfMonthIndex,
                                                   c.dayMonthsIndex,
                                                   c.monthlyByWeekday,
                                                   c.nthIndex,
                                                   c.weekdayIndex,
                                                   c.weekdayMonthsIndex,
                                                   c.endAfterIndex};
    std::string text;
    for (int i = 0; i < kSchedulingInfoFields; ++i) {
        if (i > 0)
            text += ',';
        text += std::to_string(fields[i]);
    }
    return text;
}

ScheduleChoices ParseSchedulingInfo(const std::string& text, int year) {
    ScheduleChoices c;
    if (text.empty())
        return c;
    size_t start = 0;
    for (int field = 1; field <= kSchedulingInfoFields && start <= text.size(); ++field) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        int32_t v = 0;
        const bool ok = ParseField(text.substr(start, comma - start), v);
        start = comma + 1;
        if (!ok)
            continue;
        switch (field) {
            case 1:
                SetIndex(v, 12, c.monthIndex);
                break;
            case 2:
                SetIndex(v, 31, c.dayIndex);
                break;
            case 3:
                SetIndex(v, 24, c.hourIndex);
                break;
            case 4:
                SetIndex(v, 60, c.minuteIndex);
                break;
            case 5:
            case 6:
            case 7:
            case 8:
                // A checked mode radio sets the mode; an unchecked one changes nothing.
                if (v != 0)
                    c.mode = static_cast<RecurrenceMode>(field - 4);
                break;
            case 9:
                SetIndex(v, 13, c.everyDaysIndex);
                break;
            case 10:
                if (v != 0)
                    c.everyWeekday = false;
                break;
            case 11:
                if (v != 0)
                    c.everyWeekday = true;
                break;
            case 12:
                SetIndex(v, 3, c.weeksIndex);
                break;
            case 13:
            case 14:
            case 15:
            case 16:
            case 17:
            case 18:
            case 19:
                c.weekdays[field - 13] = v != 0;
                break;
            case 20:
                if (v != 0)
                    c.monthlyByWeekday = false;
                break;
            case 21:
                SetIndex(v, 29, c.dayOfMonthIndex);
                break;
            case 22:
                SetIndex(v, 11, c.dayMonthsIndex);
                break;
            case 23:
                if (v != 0)
                    c.monthlyByWeekday = true;
                break;
            case 24:
                SetIndex(v, 3, c.nthIndex);
                break;
            case 25:
                SetIndex(v, 6, c.weekdayIndex);
                break;
            case 26:
                SetIndex(v, 11, c.weekdayMonthsIndex);
                break;
            case 27:
                SetIndex(v, 11, c.endAfterIndex);
                break;
            default:
                break;
        }
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
    auto record = [&](int64_t day) { times.push_back(day == startDay ? start : MakeLocal(day, clock)); };

    switch (c.mode) {
        case RecurrenceMode::Daily: {
            if (c.everyWeekday) {
                int64_t day = startDay;
                for (int i = 0; i < count; ++i) {
                    const int wd = WeekdayOfDays(day);
                    if (wd == 0)
                        day += 1;
                    if (wd == 6)
                        day += 2;
                    record(day);
                    day += 1;
                }
            } else {
                const int64_t every = std::clamp(c.everyDaysIndex, 0, 13) + 1;
                for (int i = 0; i < count; ++i)
                    record(startDay + i * every);
            }
            break;
        }
        case RecurrenceMode::Weekly: {
            // weekdays[] runs Monday .. Sunday; WeekdayOfDays gives Sunday 0.
            auto checked = [&](int64_t day) { return c.weekdays[(WeekdayOfDays(day) + 6) % 7]; };
            if (std::none_of(c.weekdays.begin(), c.weekdays.end(), [](bool b) { return b; }))
                break;
            const int64_t weeks = std::clamp(c.weeksIndex, 0, 3) + 1;
            int64_t day = startDay;
            while (!checked(day))
                ++day;
            for (int i = 0; i < count; ++i) {
                record(day);
                // Weeks run Monday to Sunday; whenever the walk leaves a week, the weeks to skip follow,
                // whether or not that Sunday was itself an occurrence: skipping only after a Sunday
                // occurrence would turn "every 2 weeks on Monday and Wednesday" into every week.
                do {
                    if (WeekdayOfDays(day) == 0)
                        day += (weeks - 1) * 7;
                    ++day;
                } while (!checked(day));
            }
            break;
        }
        case RecurrenceMode::Monthly: {
            const CivilDate first = CivilFromDays(startDay);
            int64_t monthNumber = first.year * 12 + (first.month - 1);
            auto dayOf = [](int64_t number, int dayOfMonth) {
                const int64_t year = number >= 0 ? number / 12 : (number - 11) / 12;
                const int month = static_cast<int>(number - year * 12) + 1;
                return DaysFromCivil(year, month, dayOfMonth);
            };
            auto daysOf = [](int64_t number) {
                const int64_t year = number >= 0 ? number / 12 : (number - 11) / 12;
                return DaysInCivilMonth(year, static_cast<int>(number - year * 12) + 1);
            };
            if (!c.monthlyByWeekday) {
                const int dayOfMonth = std::clamp(c.dayOfMonthIndex, 0, 29) + 1;
                const int64_t every = std::clamp(c.dayMonthsIndex, 0, 11) + 1;
                // The first month from the start's own that has the day, on or after the start.
                while (daysOf(monthNumber) < dayOfMonth || dayOf(monthNumber, dayOfMonth) < startDay)
                    ++monthNumber;
                // Then every `every` months counted on the calendar; a month without the day has no
                // occurrence and does not shift the months after it.
                for (int i = 0; i < count; monthNumber += every) {
                    if (daysOf(monthNumber) < dayOfMonth)
                        continue;
                    record(dayOf(monthNumber, dayOfMonth));
                    ++i;
                }
            } else {
                const int nth = std::clamp(c.nthIndex, 0, 3) + 1;
                const int weekday = (std::clamp(c.weekdayIndex, 0, 6) + 1) % 7;  // Monday 1 .. Sunday 0
                const int64_t every = std::clamp(c.weekdayMonthsIndex, 0, 11) + 1;
                auto find = [&](int64_t number) {
                    const int64_t firstDay = dayOf(number, 1);
                    return firstDay + (weekday - WeekdayOfDays(firstDay) + 7) % 7 + (nth - 1) * 7;
                };
                int64_t day = find(monthNumber);
                if (day < startDay)
                    day = find(++monthNumber);
                for (int i = 0; i < count; ++i) {
                    record(day);
                    monthNumber += every;
                    day = find(monthNumber);
                }
            }
            break;
        }
        case RecurrenceMode::OnceOnly:
        default:
            times.push_back(start);
            break;
    }
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
