#include "container/time_stamp.h"

#include <ctime>

#include "platform/local_time.h"

namespace qrd {

namespace {

constexpr uint64_t kTicksPerDay = 86400ull * kTicksPerSecond;
// Days from 1601-01-01 to 1970-01-01.
constexpr int64_t kDaysTo1970 = 134774;

enum CalendarSlot { kYear, kMonth, kDayOfWeek, kDay, kHour, kMinute, kSecond, kMillisecond };

// Days since 1970-01-01 of a proleptic Gregorian date (month 1..12), using
// 400-year eras so no table or loop is needed.
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

}  // namespace

CalendarFields TicksToUtcCalendar(uint64_t ticks) {
    CalendarFields f;
    const uint64_t days = ticks / kTicksPerDay;
    const uint64_t inDay = ticks % kTicksPerDay;
    int64_t y;
    unsigned m, d;
    CivilFromDays(static_cast<int64_t>(days) - kDaysTo1970, y, m, d);
    f.year = static_cast<uint16_t>(y);
    f.month = static_cast<uint16_t>(m);
    f.day = static_cast<uint16_t>(d);
    f.dayOfWeek = static_cast<uint16_t>((days + 1) % 7);  // 1601-01-01 was a Monday
    const uint64_t secondOfDay = inDay / kTicksPerSecond;
    f.hour = static_cast<uint16_t>(secondOfDay / 3600);
    f.minute = static_cast<uint16_t>(secondOfDay / 60 % 60);
    f.second = static_cast<uint16_t>(secondOfDay % 60);
    f.millisecond = static_cast<uint16_t>(inDay % kTicksPerSecond / kTicksPerMillisecond);
    return f;
}

uint64_t UtcCalendarToTicks(const CalendarFields& f) {
    if (f.year < 1601 || f.month < 1 || f.month > 12 || f.day < 1) return 0;
    const int64_t days = DaysFromCivil(f.year, f.month, f.day) + kDaysTo1970;
    const uint64_t seconds = static_cast<uint64_t>(days) * 86400ull + f.hour * 3600ull + f.minute * 60ull + f.second;
    return seconds * kTicksPerSecond + f.millisecond * kTicksPerMillisecond;
}

uint64_t UtcTicks(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    CalendarFields f;
    f.year = static_cast<uint16_t>(year);
    f.month = static_cast<uint16_t>(month);
    f.day = static_cast<uint16_t>(day);
    f.hour = static_cast<uint16_t>(hour);
    f.minute = static_cast<uint16_t>(minute);
    f.second = static_cast<uint16_t>(second);
    f.millisecond = static_cast<uint16_t>(millisecond);
    return UtcCalendarToTicks(f);
}

CQRVATimeStamp::~CQRVATimeStamp() = default;

CQRVATimeStamp& CQRVATimeStamp::operator=(const CQRVATimeStamp& other) {
    if (this == &other) return *this;
    ticks_ = other.ticks_;
    origin_ = other.origin_;
    if (calendarValid_) ComputeCalendar();
    return *this;
}

void CQRVATimeStamp::SetTicks(uint64_t ticks) {
    ticks_ = ticks;
    if (calendarValid_) ComputeCalendar();
}

void CQRVATimeStamp::ComputeCalendar() {
    const CalendarFields f = TicksToUtcCalendar(ticks_);
    calendar_[kYear] = f.year;
    calendar_[kMonth] = f.month;
    calendar_[kDayOfWeek] = f.dayOfWeek;
    calendar_[kDay] = f.day;
    calendar_[kHour] = f.hour;
    calendar_[kMinute] = f.minute;
    calendar_[kSecond] = f.second;
    calendar_[kMillisecond] = f.millisecond;
    calendarValid_ = 1;
}

#define QRD_CALENDAR_GETTER(Name, Slot)      \
    uint16_t CQRVATimeStamp::Name() {        \
        if (!calendarValid_) ComputeCalendar(); \
        return calendar_[Slot];              \
    }
QRD_CALENDAR_GETTER(GetYear, kYear)
QRD_CALENDAR_GETTER(GetMonth, kMonth)
QRD_CALENDAR_GETTER(GetDayOfWeek, kDayOfWeek)
QRD_CALENDAR_GETTER(GetDay, kDay)
QRD_CALENDAR_GETTER(GetHour, kHour)
QRD_CALENDAR_GETTER(GetMinute, kMinute)
QRD_CALENDAR_GETTER(GetSecond, kSecond)
QRD_CALENDAR_GETTER(GetMillisecond, kMillisecond)
#undef QRD_CALENDAR_GETTER

// C++ integer division and remainder truncate toward zero, which is exactly
// the rule for times before their origin.
int32_t CQRVATimeStamp::ElapsedSeconds() const { return static_cast<int32_t>(Elapsed() / 1000000000); }
int32_t CQRVATimeStamp::ElapsedMilliseconds() const {
    return static_cast<int32_t>(Elapsed() % 1000000000 / 1000000);
}
int32_t CQRVATimeStamp::ElapsedMicroseconds() const { return static_cast<int32_t>(Elapsed() % 1000000 / 1000); }
int32_t CQRVATimeStamp::ElapsedNanoseconds() const { return static_cast<int32_t>(Elapsed() % 1000); }

void CQRVATimeStamp::MoveTicks(int64_t delta) {
    // Unsigned arithmetic wraps instead of overflowing; a negative delta moves back.
    ticks_ += static_cast<uint64_t>(delta);
    if (calendarValid_) ComputeCalendar();
}

void CQRVATimeStamp::SetElapsedSeconds(int32_t value) {
    MoveTicks((static_cast<int64_t>(value) - ElapsedSeconds()) * 1000000000);
}
void CQRVATimeStamp::SetElapsedMilliseconds(int32_t value) {
    MoveTicks((static_cast<int64_t>(value) - ElapsedMilliseconds()) * 1000000);
}
void CQRVATimeStamp::SetElapsedMicroseconds(int32_t value) {
    MoveTicks((static_cast<int64_t>(value) - ElapsedMicroseconds()) * 1000);
}
void CQRVATimeStamp::SetElapsedNanoseconds(int32_t value) {
    MoveTicks(static_cast<int64_t>(value) - ElapsedNanoseconds());
}

double CQRVATimeStamp::ToSeconds() const {
    return ElapsedSeconds() + ElapsedMilliseconds() / 1e3 + ElapsedMicroseconds() / 1e6 + ElapsedNanoseconds() / 1e9;
}

CQRVATimeStamp* CQRVATimeStamp::Clone() const { return new CQRVATimeStamp(ticks_, origin_); }

CQRVATimeStamp* CQRVATimeStamp::LocalCopy() {
    if (!calendarValid_) ComputeCalendar();
    auto* copy = new CQRVATimeStamp();
    for (int i = 0; i < 8; ++i) copy->calendar_[i] = calendar_[i];
    copy->calendarValid_ = 1;
    // The system knows the local zone and its daylight-saving rules; the
    // milliseconds are the same in every zone.
    const int64_t unixSeconds = static_cast<int64_t>(ticks_ / kTicksPerSecond) -
                                static_cast<int64_t>(kUnixEpochTicks / kTicksPerSecond);
    std::tm local{};
    if (nsplatform::ToLocalTime(unixSeconds, local)) {
        copy->calendar_[kYear] = static_cast<uint16_t>(local.tm_year + 1900);
        copy->calendar_[kMonth] = static_cast<uint16_t>(local.tm_mon + 1);
        copy->calendar_[kDayOfWeek] = static_cast<uint16_t>(local.tm_wday);
        copy->calendar_[kDay] = static_cast<uint16_t>(local.tm_mday);
        copy->calendar_[kHour] = static_cast<uint16_t>(local.tm_hour);
        copy->calendar_[kMinute] = static_cast<uint16_t>(local.tm_min);
        copy->calendar_[kSecond] = static_cast<uint16_t>(local.tm_sec);
    }
    return copy;
}

}  // namespace qrd
