#include "platform/local_time.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace nsplatform {

#ifdef _WIN32

bool ToLocalTime(int64_t unixSeconds, std::tm& local) {
    // The system's own conversion covers every year from 1601 (localtime_s
    // stops at 1970) and applies the daylight-saving rule of that year.
    constexpr int64_t kSecondsFrom1601To1970 = 11644473600;
    constexpr int64_t kIntervalsPerSecond = 10000000;  // FILETIME counts 100 ns
    if (unixSeconds < -kSecondsFrom1601To1970 || unixSeconds > INT64_MAX / kIntervalsPerSecond - kSecondsFrom1601To1970)
        return false;
    const uint64_t intervals = static_cast<uint64_t>(unixSeconds + kSecondsFrom1601To1970) * kIntervalsPerSecond;
    FILETIME utcFile;
    utcFile.dwLowDateTime = static_cast<DWORD>(intervals & 0xFFFFFFFFu);
    utcFile.dwHighDateTime = static_cast<DWORD>(intervals >> 32);
    SYSTEMTIME utc, here;
    if (!FileTimeToSystemTime(&utcFile, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &here)) return false;
    local = std::tm{};
    local.tm_year = here.wYear - 1900;
    local.tm_mon = here.wMonth - 1;
    local.tm_mday = here.wDay;
    local.tm_wday = here.wDayOfWeek;
    local.tm_hour = here.wHour;
    local.tm_min = here.wMinute;
    local.tm_sec = here.wSecond;
    return true;
}

#else

bool ToLocalTime(int64_t unixSeconds, std::tm& local) {
    const std::time_t t = static_cast<std::time_t>(unixSeconds);
    if (static_cast<int64_t>(t) != unixSeconds) return false;
    return localtime_r(&t, &local) != nullptr;
}

#endif

}  // namespace nsplatform
