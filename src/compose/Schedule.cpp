#include "compose/Schedule.h"

#include "core/AppSettings.h"

namespace quillon {

bool ScheduleChoices::operator==(const ScheduleChoices& o) const {
    return FormatSchedulingInfo(*this) == FormatSchedulingInfo(o);
}

std::string FormatSchedulingInfo(const ScheduleChoices& choices) {
    (void)choices;
    return std::string();
}

ScheduleChoices ParseSchedulingInfo(const std::string& text, int year) {
    (void)text;
    (void)year;
    return ScheduleChoices();
}

ScheduleChoices LoadSchedulingChoices(int64_t now) {
    (void)now;
    return ScheduleChoices();
}

void StoreSchedulingChoices(const ScheduleChoices& choices) {
    (void)choices;
}

UploadChoice LoadUploadChoice() {
    return UploadChoice();
}

int32_t UploadDays(const UploadChoice& upload) {
    return upload.enabled && upload.checked ? upload.daysIndex + 1 : 0;
}

int DaysInMonth(int32_t monthValue, int year) {
    (void)monthValue;
    (void)year;
    return 31;
}

void RefillDayList(ScheduleChoices& choices, int year) {
    (void)choices;
    (void)year;
}

int LocalYear(int64_t time) {
    (void)time;
    return 1970;
}

int64_t ScheduleStartTime(const ScheduleChoices& choices, int64_t now) {
    (void)choices;
    return now;
}

std::vector<int64_t> OccurrenceTimes(const ScheduleChoices& choices, int64_t start) {
    (void)choices;
    return {start};
}

ScheduleResult ComputeSchedule(const ScheduleChoices& choices, const UploadChoice& upload, int64_t now) {
    ScheduleResult result;
    result.occurrenceTimes.push_back(static_cast<int32_t>(ScheduleStartTime(choices, now)));
    result.uploadDays = UploadDays(upload);
    return result;
}

}  // namespace quillon
