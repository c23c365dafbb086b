// quillon-cli schedule [OPTIONS]: the delivery times of a schedule, as the schedule dialog computes them.
#include "cli/CliSchedule.h"

#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CliCommand.h"
#include "compose/Schedule.h"
#include "core/StringIds.h"
#include "core/StringTable.h"
#include "core/TextUtil.h"

namespace quillon::cli {

namespace {

const char* const kHelp =
    "usage: quillon-cli schedule [OPTIONS]\n\n"
    "Prints the delivery times of a schedule, one per line: seconds since 1970 UTC, a tab,\n"
    "and the local time (the TZ environment variable applies).\n\n"
    "Start (fields left out keep the current date and clock, as in the dialog):\n"
    "  --now TIME          the current time: \"YYYY-MM-DD HH:MM[:SS]\" local, or seconds (default: now)\n"
    "  --start \"MM-DD HH:MM\"  month, day, hour and minute at once\n"
    "  --month M  --day D  --hour H  --minute M     (1-12, 1-31, 0-23, 0-59)\n"
    "  A time more than an hour before now moves to the same date next year.\n\n"
    "Recurrence:\n"
    "  --mode once|daily|weekly|monthly   (default once)\n"
    "  --every N           daily: every N days (1-14); weekly: every N weeks (1-4);\n"
    "                      monthly: every N months (1-12)\n"
    "  --weekdays          daily: every weekday (Monday to Friday)\n"
    "  --days mon,wed,...  weekly: the days of the week\n"
    "  --day-of-month D    monthly: on day D (1-30)\n"
    "  --nth N --weekday DAY   monthly: on the Nth (1-4) DAY (mon .. sun)\n"
    "  --count N           number of occurrences (1-12, default 1)\n\n"
    "Remembered choices:\n"
    "  --info \"27 integers\"   start from a SchedulingInfo text\n"
    "  --stored            start from the SchedulingInfo setting of the data directory\n"
    "  --print-info        print the SchedulingInfo text of the choices instead of the times\n";

bool ParseRange(const std::string& text, long long low, long long high, int32_t& out) {
    long long v = 0;
    if (!ParseInt(text, v) || v < low || v > high)
        return false;
    out = static_cast<int32_t>(v);
    return true;
}

// Monday 0 .. Sunday 6; -1 for an unknown name.
int WeekdayFromName(const std::string& text) {
    const std::string name = AsciiLower(text);
    static const char* const kNames[] = {"monday", "tuesday", "wednesday", "thursday", "friday", "saturday", "sunday"};
    for (int i = 0; i < 7; ++i) {
        const std::string full = kNames[i];
        if (name.size() >= 3 && full.compare(0, name.size(), name) == 0)
            return i;
    }
    return -1;
}

bool ParseNow(const std::string& text, int64_t& now) {
    long long seconds = 0;
    if (ParseInt(text, seconds)) {
        now = seconds;
        return true;
    }
    struct tm fields {};
    int second = 0;
    char tail = 0;
    const int n = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d%c", &fields.tm_year, &fields.tm_mon, &fields.tm_mday,
                              &fields.tm_hour, &fields.tm_min, &second, &tail);
    if (n != 5 && n != 6)
        return false;
    if (fields.tm_mon < 1 || fields.tm_mon > 12 || fields.tm_mday < 1 || fields.tm_mday > 31 || fields.tm_hour < 0 ||
        fields.tm_hour > 23 || fields.tm_min < 0 || fields.tm_min > 59 || second < 0 || second > 59)
        return false;
    fields.tm_year -= 1900;
    fields.tm_mon -= 1;
    fields.tm_sec = second;
    fields.tm_isdst = -1;
    tzset();
    now = static_cast<int64_t>(mktime(&fields));
    return true;
}

std::string LocalTimeText(int64_t time) {
    const auto t = static_cast<time_t>(time);
    struct tm fields {};
    if (!localtime_r(&t, &fields))
        return "?";
    return FormatResourceString(
        kIdLocalTimeFormat, {fields.tm_mday, fields.tm_mon + 1, fields.tm_year + 1900, fields.tm_hour, fields.tm_min});
}

// --start, --month, --day, --hour, --minute.
int TakeStartOptions(std::vector<std::string>& args, ScheduleChoices& c) {
    std::string value;
    if (TakeOption(args, "--start", value)) {
        int month = 0, day = 0, hour = 0, minute = 0;
        char tail = 0;
        if (std::sscanf(value.c_str(), "%d-%d %d:%d%c", &month, &day, &hour, &minute, &tail) != 4 || month < 1 ||
            month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59)
            return UsageError("--start takes \"MM-DD HH:MM\" (the year follows from --now)");
        c.monthIndex = month;
        c.dayIndex = day;
        c.hourIndex = hour + 1;
        c.minuteIndex = minute + 1;
    }
    int32_t n = 0;
    if (TakeOption(args, "--month", value)) {
        if (!ParseRange(value, 1, 12, n))
            return UsageError("--month takes 1 to 12");
        c.monthIndex = n;
    }
    if (TakeOption(args, "--day", value)) {
        if (!ParseRange(value, 1, 31, n))
            return UsageError("--day takes 1 to 31");
        c.dayIndex = n;
    }
    if (TakeOption(args, "--hour", value)) {
        if (!ParseRange(value, 0, 23, n))
            return UsageError("--hour takes 0 to 23");
        c.hourIndex = n + 1;
    }
    if (TakeOption(args, "--minute", value)) {
        if (!ParseRange(value, 0, 59, n))
            return UsageError("--minute takes 0 to 59");
        c.minuteIndex = n + 1;
    }
    return kOk;
}

// --mode, --weekdays, --days, --day-of-month, --nth, --weekday; `weekdaysFlag` tells whether
// --weekdays was given.
int TakeRecurrenceOptions(std::vector<std::string>& args, ScheduleChoices& c, bool& weekdaysFlag) {
    std::string value;
    int32_t n = 0;
    if (TakeOption(args, "--mode", value)) {
        if (value == "once")
            c.mode = RecurrenceMode::OnceOnly;
        else if (value == "daily")
            c.mode = RecurrenceMode::Daily;
        else if (value == "weekly")
            c.mode = RecurrenceMode::Weekly;
        else if (value == "monthly")
            c.mode = RecurrenceMode::Monthly;
        else
            return UsageError("--mode takes once, daily, weekly or monthly");
    }
    weekdaysFlag = TakeFlag(args, "--weekdays");
    if (weekdaysFlag) {
        c.mode = RecurrenceMode::Daily;
        c.everyWeekday = true;
    }
    if (TakeOption(args, "--days", value)) {
        c.weekdays.fill(false);
        size_t start = 0;
        while (start <= value.size()) {
            size_t comma = value.find(',', start);
            if (comma == std::string::npos)
                comma = value.size();
            const int wd = WeekdayFromName(value.substr(start, comma - start));
            if (wd < 0)
                return UsageError("--days takes day names such as mon,wed,fri");
            c.weekdays[wd] = true;
            start = comma + 1;
        }
    }
    if (TakeOption(args, "--day-of-month", value)) {
        if (!ParseRange(value, 1, 30, n))
            return UsageError("--day-of-month takes 1 to 30");
        c.monthlyByWeekday = false;
        c.dayOfMonthIndex = n - 1;
    }
    if (TakeOption(args, "--nth", value)) {
        if (!ParseRange(value, 1, 4, n))
            return UsageError("--nth takes 1 to 4");
        c.monthlyByWeekday = true;
        c.nthIndex = n - 1;
    }
    if (TakeOption(args, "--weekday", value)) {
        const int wd = WeekdayFromName(value);
        if (wd < 0)
            return UsageError("--weekday takes a day name such as mon");
        c.monthlyByWeekday = true;
        c.weekdayIndex = wd;
    }
    return kOk;
}

// --every, read in the chosen mode's unit.
int TakeEveryOption(std::vector<std::string>& args, ScheduleChoices& c, bool weekdaysFlag) {
    std::string value;
    int32_t n = 0;
    if (TakeOption(args, "--every", value)) {
        switch (c.mode) {
            case RecurrenceMode::Daily:
                if (!ParseRange(value, 1, 14, n))
                    return UsageError("daily --every takes 1 to 14 days");
                c.everyWeekday = weekdaysFlag;
                c.everyDaysIndex = n - 1;
                break;
            case RecurrenceMode::Weekly:
                if (!ParseRange(value, 1, 4, n))
                    return UsageError("weekly --every takes 1 to 4 weeks");
                c.weeksIndex = n - 1;
                break;
            case RecurrenceMode::Monthly:
                if (!ParseRange(value, 1, 12, n))
                    return UsageError("monthly --every takes 1 to 12 months");
                if (c.monthlyByWeekday)
                    c.weekdayMonthsIndex = n - 1;
                else
                    c.dayMonthsIndex = n - 1;
                break;
            default:
                return UsageError("--every needs --mode daily, weekly or monthly");
        }
    }
    return kOk;
}

}  // namespace

int TakeScheduleOptions(std::vector<std::string>& args, ScheduleChoices& c, int64_t& now) {
    std::string value;
    now = static_cast<int64_t>(time(nullptr));
    if (TakeOption(args, "--now", value) && !ParseNow(value, now))
        return UsageError("--now takes \"YYYY-MM-DD HH:MM[:SS]\" or seconds");

    c = ScheduleChoices();
    const bool stored = TakeFlag(args, "--stored");
    if (stored)
        c = LoadSchedulingChoices(now);
    if (TakeOption(args, "--info", value)) {
        if (stored)
            return UsageError("give --info or --stored, not both");
        c = ParseSchedulingInfo(value, LocalYear(now));
    }

    int rc = TakeStartOptions(args, c);
    if (rc != kOk)
        return rc;
    RefillDayList(c, LocalYear(now));
    bool weekdaysFlag = false;
    rc = TakeRecurrenceOptions(args, c, weekdaysFlag);
    if (rc != kOk)
        return rc;
    rc = TakeEveryOption(args, c, weekdaysFlag);
    if (rc != kOk)
        return rc;
    int32_t n = 0;
    if (TakeOption(args, "--count", value)) {
        if (!ParseRange(value, 1, kMaxOccurrences, n))
            return UsageError("--count takes 1 to 12");
        c.endAfterIndex = n - 1;
    }
    return kOk;
}

namespace {

int RunSchedule(CliContext&, std::vector<std::string>& args) {
    ScheduleChoices c;
    int64_t now = 0;
    const int rc = TakeScheduleOptions(args, c, now);
    if (rc != kOk)
        return rc;
    const bool printInfo = TakeFlag(args, "--print-info");
    if (!args.empty())
        return UsageError("unknown argument '" + args[0] + "' (see quillon-cli schedule --help)");

    if (printInfo) {
        std::cout << FormatSchedulingInfo(c) << "\n";
        return kOk;
    }
    const ScheduleResult result = ComputeSchedule(c, UploadChoice{}, now);
    if (result.status == ScheduleStatus::NoWeekdayChecked)
        return Failure("a weekly schedule needs --days");
    if (result.status == ScheduleStatus::OutOfRange)
        return Failure("the schedule starts after January 2038");
    for (int32_t t : result.occurrenceTimes)
        std::cout << t << "\t" << LocalTimeText(t) << "\n";
    if (result.truncated)
        std::cerr << "quillon-cli: later occurrences lie after January 2038 and were left out\n";
    return kOk;
}

CliRegistrar registrar({"schedule", "delivery times of a schedule (once, daily, weekly, monthly)", kHelp, RunSchedule,
                        false});

}  // namespace

}  // namespace quillon::cli
