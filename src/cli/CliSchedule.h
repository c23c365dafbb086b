// The schedule options of quillon-cli, shared by every command that takes a schedule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "compose/Schedule.h"

namespace quillon::cli {

// Takes the schedule options (--now, --info, --stored, --start, --month, --day, --hour, --minute,
// --mode, --every, --weekdays, --days, --day-of-month, --nth, --weekday, --count; see
// "quillon-cli schedule --help") out of args into the choices and the current time. Returns kOk, or
// the usage error already reported.
int TakeScheduleOptions(std::vector<std::string>& args, ScheduleChoices& choices, int64_t& now);

}  // namespace quillon::cli
