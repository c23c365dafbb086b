#include "compose/Schedule.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "core/AppSettings.h"

namespace quillon {
namespace {

int64_t Local(int year, int month, int day, int hour, int minute, int second = 0) {
    std::tm fields{second, minute, hour, day, month - 1, year - 1900, 0, 0, -1, 0, nullptr};
    return static_cast<int64_t>(mktime(&fields));
}

std::string Text(int64_t t) {
    const auto time = static_cast<time_t>(t);
    struct tm fields {};
    localtime_r(&time, &fields);
    char buffer[64];
    strftime(buffer, sizeof buffer, "%a %Y-%m-%d %H:%M", &fields);
    return buffer;
}

using Strings = std::vector<std::string>;

Strings Texts(const ScheduleResult& result) {
    Strings out;
    for (int32_t t : result.occurrenceTimes)
        out.push_back(Text(t));
    return out;
}

// From month, day and clock time, in that mode, endAfterIndex occurrences after the first.
ScheduleChoices At(int month, int day, int hour, int minute, RecurrenceMode mode = RecurrenceMode::OnceOnly,
                   int endAfterIndex = 0) {
    ScheduleChoices c;
    c.monthIndex = month;
    c.dayIndex = day;
    c.hourIndex = hour + 1;
    c.minuteIndex = minute + 1;
    c.mode = mode;
    c.endAfterIndex = endAfterIndex;
    return c;
}

Strings Occurrences(const ScheduleChoices& c, int64_t now) {
    return Texts(ComputeSchedule(c, UploadChoice{}, now));
}

class ScheduleTest : public ::testing::Test {
protected:
    // Times are local: one fixed zone whatever the machine's, restored afterwards.
    void SetUp() override {
        if (const char* zone = std::getenv("TZ"))
            oldZone_ = zone;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override {
        oldZone_ ? setenv("TZ", oldZone_->c_str(), 1) : unsetenv("TZ");
        tzset();
    }

    std::optional<std::string> oldZone_;
    UploadChoice noUpload_{};
};

TEST_F(ScheduleTest, StartTimeKeepsUnchosenFieldsAndAnHourOfGrace) {
    const int64_t now = Local(2026, 12, 6, 15, 0, 37);
    // Nothing chosen: now, seconds dropped.
    EXPECT_EQ(Texts(ComputeSchedule(ScheduleChoices{}, noUpload_, now)), Strings{"Sun 2026-12-06 15:00"});

    // Only the hour 09 at 15:00: long past, so the same date next year.
    ScheduleChoices nine;
    nine.hourIndex = 10;
    EXPECT_EQ(ScheduleStartTime(nine, now), Local(2027, 12, 6, 9, 0));

    // 09:00 chosen up to exactly an hour later is within the hour of grace; a second more is not.
    nine.minuteIndex = 1;
    for (const auto& [at, year] : {std::pair{Local(2026, 12, 6, 9, 40), 2026},
                                   {Local(2026, 12, 6, 10, 0), 2026},
                                   {Local(2026, 12, 6, 10, 0, 1), 2027}})
        EXPECT_EQ(ScheduleStartTime(nine, at), Local(year, 12, 6, 9, 0)) << Text(at);

    // A summer date chosen in winter is built with summer time, not with now's offset.
    EXPECT_EQ(Text(ScheduleStartTime(At(7, 1, 9, 0), now)), "Thu 2027-07-01 09:00");
}

TEST_F(ScheduleTest, StartDayThatTheMonthLacksRunsIntoTheNextMonth) {
    ScheduleChoices no31st;  // 31st with no month chosen, in November
    no31st.dayIndex = 31;
    no31st.hourIndex = 13;
    const struct {
        ScheduleChoices choices;
        int64_t now;
        const char* start;
    } cases[] = {
        {no31st, Local(2026, 11, 2, 8, 0), "Tue 2026-12-01 12:00"},
        {At(4, 31, 8, 0), Local(2027, 1, 5, 8, 0), "Sat 2027-05-01 08:00"},   // straight from an unchecked text
        {At(2, 29, 8, 0), Local(2028, 3, 10, 8, 0), "Thu 2029-03-01 08:00"},  // past: next year has none
        {At(2, 29, 8, 0), Local(2028, 1, 10, 8, 0), "Tue 2028-02-29 08:00"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text(ScheduleStartTime(c.choices, c.now)), c.start);
}

TEST_F(ScheduleTest, DailyEveryNDaysOrEveryWeekdayAcrossYearEndAndDaylightSaving) {
    ScheduleChoices c = At(12, 30, 9, 15, RecurrenceMode::Daily, 2);
    c.everyDaysIndex = 2;  // every 3 days
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 6, 10, 0)),
              (Strings{"Wed 2026-12-30 09:15", "Sat 2027-01-02 09:15", "Tue 2027-01-05 09:15"}));
    // Clocks go forward on 28 March 2027: the clock time stays.
    EXPECT_EQ(Occurrences(At(3, 27, 9, 0, RecurrenceMode::Daily, 2), Local(2027, 3, 1, 10, 0)),
              (Strings{"Sat 2027-03-27 09:00", "Sun 2027-03-28 09:00", "Mon 2027-03-29 09:00"}));

    c = At(1, 8, 8, 0, RecurrenceMode::Daily, 2);  // Friday 8 January 2027
    c.everyWeekday = true;
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 6, 10, 0)),
              (Strings{"Fri 2027-01-08 08:00", "Mon 2027-01-11 08:00", "Tue 2027-01-12 08:00"}));
    c.dayIndex = 9;  // a Saturday start goes to Monday first
    c.endAfterIndex = 0;
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 6, 10, 0)), (Strings{"Mon 2027-01-11 08:00"}));
}

TEST_F(ScheduleTest, WeeklySkipsWeeksAfterEachWeekEndAndKeepsTheClockAcrossTheAutumnChange) {
    ScheduleChoices c = At(1, 5, 7, 0, RecurrenceMode::Weekly, 4);  // Tuesday 5 January 2027
    c.weeksIndex = 1;                                               // every 2 weeks
    c.weekdays = {true, false, true, false, false, false, false};   // Monday, Wednesday
    // Every other week, although no occurrence falls on a Sunday.
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 6, 10, 0)),
              (Strings{"Wed 2027-01-06 07:00", "Mon 2027-01-18 07:00", "Wed 2027-01-20 07:00", "Mon 2027-02-01 07:00",
                       "Wed 2027-02-03 07:00"}));
    // With Sunday as well, the Sunday closes its week: the same weeks.
    c.weekdays[6] = true;
    c.endAfterIndex = 3;
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 6, 10, 0)), (Strings{"Wed 2027-01-06 07:00", "Sun 2027-01-10 07:00",
                                                                  "Mon 2027-01-18 07:00", "Wed 2027-01-20 07:00"}));
    // Every 3 weeks on Sunday only: three weeks apart.
    c.weeksIndex = 2;
    c.weekdays = {false, false, false, false, false, false, true};
    c.endAfterIndex = 2;
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 6, 10, 0)),
              (Strings{"Sun 2027-01-10 07:00", "Sun 2027-01-31 07:00", "Sun 2027-02-21 07:00"}));

    // 00:30 on Mondays: with 24-hour steps the week after 31 October 2027 would land on Sunday 23:30.
    c = At(10, 25, 0, 30, RecurrenceMode::Weekly, 2);
    c.weekdays[0] = true;
    EXPECT_EQ(Occurrences(c, Local(2027, 10, 1, 10, 0)),
              (Strings{"Mon 2027-10-25 00:30", "Mon 2027-11-01 00:30", "Mon 2027-11-08 00:30"}));
}

TEST_F(ScheduleTest, AcceptRemembersTheChoicesUnlessRefused) {
    TheSettingsFile().SetString("SchedulingInfo", "");
    const int64_t now = Local(2026, 12, 6, 10, 0);
    ScheduleChoices c;
    c.mode = RecurrenceMode::Weekly;
    ScheduleResult r = AcceptSchedule(c, noUpload_, now);
    EXPECT_EQ(r.status, ScheduleStatus::NoWeekdayChecked);
    EXPECT_TRUE(r.occurrenceTimes.empty());
    EXPECT_TRUE(OccurrenceTimes(c, now).empty());
    EXPECT_EQ(LoadSchedulingChoices(now), ScheduleChoices{});

    c.weekdays[4] = true;
    c.endAfterIndex = 1;
    EXPECT_EQ(AcceptSchedule(c, noUpload_, now).occurrenceTimes.size(), 2u);
    EXPECT_EQ(LoadSchedulingChoices(now), c);
    TheSettingsFile().SetString("SchedulingInfo", "");
}

TEST_F(ScheduleTest, MonthlyOnADaySkipsMonthsWithoutIt) {
    ScheduleChoices c = At(1, 1, 12, 0, RecurrenceMode::Monthly, 3);
    c.dayOfMonthIndex = 29;  // the 30th
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 6, 10, 0)), (Strings{"Sat 2027-01-30 12:00", "Tue 2027-03-30 12:00",
                                                                  "Fri 2027-04-30 12:00", "Sun 2027-05-30 12:00"}));
    // 29th: February 2028 has one, February 2027 not.
    c.dayOfMonthIndex = 28;
    c.monthIndex = 12;
    c.endAfterIndex = 3;
    EXPECT_EQ(Occurrences(c, Local(2027, 1, 6, 10, 0)), (Strings{"Wed 2027-12-29 12:00", "Sat 2028-01-29 12:00",
                                                                 "Tue 2028-02-29 12:00", "Wed 2028-03-29 12:00"}));
    // Every 2 months from December: February lacks the 30th, April is still two months after it.
    c.dayOfMonthIndex = 29;
    c.dayMonthsIndex = 1;
    c.endAfterIndex = 2;
    EXPECT_EQ(Occurrences(c, Local(2026, 11, 6, 10, 0)),
              (Strings{"Wed 2026-12-30 12:00", "Fri 2027-04-30 12:00", "Wed 2027-06-30 12:00"}));
}

TEST_F(ScheduleTest, MonthlyOnTheNthWeekday) {
    // The first Monday of December 2026 (the 7th) has passed on the 8th: January's comes first.
    ScheduleChoices c = At(0, 0, 9, 0, RecurrenceMode::Monthly, 2);
    c.monthlyByWeekday = true;
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 8, 8, 0)),
              (Strings{"Mon 2027-01-04 09:00", "Mon 2027-02-01 09:00", "Mon 2027-03-01 09:00"}));
    // Not yet passed: this month's. The 4th Sunday every 3 months, across the spring change.
    c.nthIndex = 3;
    c.weekdayIndex = 6;
    c.weekdayMonthsIndex = 2;
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 8, 8, 0)),
              (Strings{"Sun 2026-12-27 09:00", "Sun 2027-03-28 09:00", "Sun 2027-06-27 09:00"}));
    // On the start's own date the start itself is the first occurrence.
    c.nthIndex = 1;
    c.weekdayIndex = 1;  // 2nd Tuesday: 8 December 2026
    EXPECT_EQ(Occurrences(c, Local(2026, 12, 8, 8, 30)).front(), "Tue 2026-12-08 09:00");
}

TEST_F(ScheduleTest, TimesBeyond2038AreLeftOut) {
    ScheduleChoices c = At(6, 1, 12, 0, RecurrenceMode::Monthly, 11);
    c.dayMonthsIndex = 11;  // yearly
    ScheduleResult r = ComputeSchedule(c, noUpload_, Local(2030, 1, 1, 10, 0));
    EXPECT_EQ(r.status, ScheduleStatus::Ok);
    EXPECT_TRUE(r.truncated);
    ASSERT_EQ(r.occurrenceTimes.size(), 8u);  // June 2030 .. June 2037
    EXPECT_EQ(Text(r.occurrenceTimes.back()), "Mon 2037-06-01 12:00");

    // From December 2037: next year's 10 January fits, November 2038 does not.
    EXPECT_EQ(ComputeSchedule(At(1, 10, 12, 0), noUpload_, Local(2037, 12, 1, 10, 0)).status, ScheduleStatus::Ok);
    r = ComputeSchedule(At(11, 1, 12, 0), noUpload_, Local(2037, 12, 1, 10, 0));
    EXPECT_EQ(r.status, ScheduleStatus::OutOfRange);
    EXPECT_TRUE(r.occurrenceTimes.empty());
}

TEST(SchedulingInfo, TextRoundTripsAndShortOrMalformedTextsRestoreWhatTheyCan) {
    EXPECT_EQ(FormatSchedulingInfo(ScheduleChoices{}), "0,0,0,0,1,0,0,0,0,1,0,0,0,0,0,0,0,0,0,1,0,0,0,0,0,0,0");
    EXPECT_EQ(ParseSchedulingInfo("", 2027), ScheduleChoices{});
    EXPECT_EQ(ParseSchedulingInfo("garbage", 2027), ScheduleChoices{});
    const std::array<bool, 7> days{true, false, true, false, false, true, true};
    const ScheduleChoices c{2, 28, 24, 60, RecurrenceMode::Monthly, 13, true, 3, days, true, 29, 11, 3, 6, 5, 11};
    const std::string text = FormatSchedulingInfo(c);
    EXPECT_EQ(text, "2,28,24,60,0,0,0,1,13,0,1,3,1,0,1,0,0,1,1,0,29,11,1,3,6,5,11");
    EXPECT_EQ(ParseSchedulingInfo(text, 2027), c);

    // Two fields only; the Day list of April (and of February in a common year) is shorter.
    EXPECT_EQ(ParseSchedulingInfo("3,31", 2027), At(3, 31, -1, -1));
    EXPECT_EQ(ParseSchedulingInfo("4,31", 2027).dayIndex, 30);
    EXPECT_EQ(ParseSchedulingInfo("2,29", 2027).dayIndex, 28);
    EXPECT_EQ(ParseSchedulingInfo("2,29", 2028).dayIndex, 29);
    // Garbage, out-of-range and empty fields are skipped; the others still count; extra fields ignored.
    EXPECT_EQ(FormatSchedulingInfo(
                  ParseSchedulingInfo("x,5,,99,0,0,1,0,77,0,0,2, 1 ,1,0,0,0,0,0,0,40,3,1,9,2,1,4,8,8,8", 2027)),
              "0,5,0,0,0,0,1,0,0,1,0,2,1,1,0,0,0,0,0,0,0,3,1,0,2,1,4");
}

TEST(SchedulingInfo, UploadLeadTimeFollowsTheBox) {
    AppSettings saved = Settings();
    Settings().ScheduleToServer = true;
    Settings().UploadToServerXDaysBefore = 3;
    UploadChoice upload = LoadUploadChoice();
    EXPECT_TRUE(upload.enabled && upload.checked);
    EXPECT_EQ(UploadDays(upload), 3);
    upload.checked = false;  // cleared: rows stay local
    EXPECT_EQ(UploadDays(upload), 0);

    Settings().ScheduleToServer = false;
    EXPECT_EQ(UploadDays(LoadUploadChoice()), 0);
    Settings().ScheduleToServer = true;
    Settings().UploadToServerXDaysBefore = 40;  // out of the list: its last entry
    EXPECT_EQ(UploadDays(LoadUploadChoice()), 7);
    Settings() = saved;
}

}  // namespace
}  // namespace quillon
