#include "store/MessageStatus.h"

#include <array>
#include <ctime>
#include <mutex>

#include "core/StringIds.h"
#include "core/StringTable.h"
#include "store/SmsRecord.h"

namespace quillon {

namespace {

std::mutex gNamesMutex;
bool gNamesLoaded = false;
std::array<std::string, kStatusCount> gNames;
}  // namespace

void LoadStatusNames() {
    std::lock_guard<std::mutex> lock(gNamesMutex);
    for (int32_t i = 0; i < kStatusCount; ++i)
        gNames[i] = LoadResourceString(kIdFirstStatusName + i);
    gNamesLoaded = true;
}

std::string StatusDisplayName(int32_t stat) {
    if (!IsKnownStatus(stat))
        return "";
    {
        std::lock_guard<std::mutex> lock(gNamesMutex);
        if (gNamesLoaded)
            return gNames[stat];
    }
    return LoadResourceString(kIdFirstStatusName + stat);
}

std::string StatusExplanation(int32_t stat) {
    if (!IsKnownStatus(stat))
        return "";
    return LoadResourceString(kIdFirstStatusExplanation + stat);
}

std::string FormatSmsTime(int32_t time) {
    std::time_t t = time;
    std::tm local{};
    localtime_r(&t, &local);
    return FormatResourceString(kIdLocalTimeFormat,
                                {local.tm_mday, local.tm_mon + 1, local.tm_year + 1900, local.tm_hour, local.tm_min});
}

}  // namespace quillon
