// Time values of a QRD recording.
//
// Every time in a recording is a 64-bit tick count of nanoseconds since
// 1601-01-01 00:00:00 UTC (a Windows file time times 100).  A time stamp pairs
// such a tick count with an origin, normally the recording's start, so that
// the reader can report times relative to the start; the calendar breakdown
// of the absolute time is computed on first use and cached.
#pragma once

#include <cstdint>

namespace qrd {

// Calendar fields of an instant; the day of week counts from Sunday = 0.
struct CalendarFields {
    uint16_t year = 0;
    uint16_t month = 0;
    uint16_t dayOfWeek = 0;
    uint16_t day = 0;
    uint16_t hour = 0;
    uint16_t minute = 0;
    uint16_t second = 0;
    uint16_t millisecond = 0;
};

// UTC calendar fields of ticks (proleptic Gregorian calendar).
CalendarFields TicksToUtcCalendar(uint64_t ticks);
// Ticks of a UTC calendar date and time (day of week ignored); the inverse of
// TicksToUtcCalendar up to the sub-millisecond part.  Years before 1601 are
// outside the tick range and give 0.
uint64_t UtcCalendarToTicks(const CalendarFields& fields);
// Convenience for writing recordings and tests.
uint64_t UtcTicks(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                  int millisecond = 0);

constexpr uint64_t kTicksPerSecond = 1000000000ull;
constexpr uint64_t kTicksPerMillisecond = 1000000ull;
// Ticks from 1601-01-01 to the Unix epoch 1970-01-01.
constexpr uint64_t kUnixEpochTicks = 11644473600ull * kTicksPerSecond;

class CQRVATimeStamp {
public:
    CQRVATimeStamp() = default;
    CQRVATimeStamp(uint64_t ticks, int64_t origin) : ticks_(ticks), origin_(origin) {}
    CQRVATimeStamp(const CQRVATimeStamp&) = default;
    // Copies ticks and origin only: a target whose calendar was computed keeps
    // it up to date, a target without one stays without.
    CQRVATimeStamp& operator=(const CQRVATimeStamp& other);
    virtual ~CQRVATimeStamp();

    uint64_t GetTicks() const { return ticks_; }
    void SetTicks(uint64_t ticks);
    int64_t GetOrigin() const { return origin_; }
    void SetOrigin(int64_t origin) { origin_ = origin; }

    // UTC calendar of the absolute time.
    uint16_t GetYear();
    uint16_t GetMonth();
    uint16_t GetDayOfWeek();
    uint16_t GetDay();
    uint16_t GetHour();
    uint16_t GetMinute();
    uint16_t GetSecond();
    uint16_t GetMillisecond();
    bool IsCalendarValid() const { return calendarValid_ != 0; }
    // Drops the cached calendar (after the ticks were changed behind its back).
    void InvalidateCalendar() { calendarValid_ = 0; }

    // Sub-millisecond parts of the absolute time.
    uint32_t GetMicrosecond() const { return static_cast<uint32_t>((ticks_ % 1000000) / 1000); }
    uint32_t GetNanosecond() const { return static_cast<uint32_t>(ticks_ % 1000); }

    // Parts of the signed time elapsed since the origin; every part truncates
    // toward zero, so a time before its origin gives negative parts.
    int64_t Elapsed() const { return static_cast<int64_t>(ticks_ - static_cast<uint64_t>(origin_)); }
    int32_t ElapsedSeconds() const;
    int32_t ElapsedMilliseconds() const;
    int32_t ElapsedMicroseconds() const;
    int32_t ElapsedNanoseconds() const;
    // Each setter moves the ticks by (new - current part) x the part's unit.
    void SetElapsedSeconds(int32_t value);
    void SetElapsedMilliseconds(int32_t value);
    void SetElapsedMicroseconds(int32_t value);
    void SetElapsedNanoseconds(int32_t value);

    // Seconds since the origin, combined from the elapsed parts the way the
    // Neuroshare front end reports times.
    double ToSeconds() const;

    // Same ticks and origin, calendar not computed.  Caller owns the result.
    CQRVATimeStamp* Clone() const;
    // Ticks and origin 0; the calendar holds this instant in local time.
    // Caller owns the result.
    CQRVATimeStamp* LocalCopy();

private:
    void ComputeCalendar();
    void MoveTicks(int64_t delta);

    uint64_t ticks_ = 0;
    int64_t origin_ = 0;
    uint32_t calendarValid_ = 0;
    uint16_t calendar_[8] = {0, 0, 0, 0, 0, 0, 0, 0};
};

}  // namespace qrd
