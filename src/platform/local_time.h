// Calendar time in the machine's time zone.
#pragma once

#include <cstdint>
#include <ctime>

namespace nsplatform {

// The local calendar time (with the zone's daylight-saving rule of that
// date) of an instant given as whole seconds since 1970-01-01 00:00:00 UTC.
// Fills tm_year, tm_mon, tm_mday, tm_wday, tm_hour, tm_min and tm_sec as
// std::tm defines them; false when the system cannot convert the instant.
bool ToLocalTime(int64_t unixSeconds, std::tm& local);

}  // namespace nsplatform
