// Time stamps: calendar of tick counts, parts of the time since the origin,
// and the copy rules.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>

#include "container/time_stamp.h"

namespace qrd {
namespace {

TEST(TickCalendar, KnownInstants) {
    CalendarFields f = TicksToUtcCalendar(0);
    EXPECT_EQ(f.year, 1601);
    EXPECT_EQ(f.month, 1);
    EXPECT_EQ(f.day, 1);
    EXPECT_EQ(f.dayOfWeek, 1);  // a Monday

    f = TicksToUtcCalendar(kUnixEpochTicks);
    EXPECT_EQ(f.year, 1970);
    EXPECT_EQ(f.month, 1);
    EXPECT_EQ(f.day, 1);
    EXPECT_EQ(f.dayOfWeek, 4);  // a Thursday

    // A leap day, with every field and sub-millisecond ticks that must not round up.
    const uint64_t leap = UtcTicks(2000, 2, 29, 23, 59, 58, 999) + 999999;
    f = TicksToUtcCalendar(leap);
    EXPECT_EQ(f.year, 2000);
    EXPECT_EQ(f.month, 2);
    EXPECT_EQ(f.day, 29);
    EXPECT_EQ(f.dayOfWeek, 2);
    EXPECT_EQ(f.hour, 23);
    EXPECT_EQ(f.minute, 59);
    EXPECT_EQ(f.second, 58);
    EXPECT_EQ(f.millisecond, 999);

    // 1900 and 2100 are not leap years: the day after 28 February is 1 March.
    f = TicksToUtcCalendar(UtcTicks(2100, 2, 28) + 86400 * kTicksPerSecond);
    EXPECT_EQ(f.month, 3);
    EXPECT_EQ(f.day, 1);
    f = TicksToUtcCalendar(UtcTicks(1900, 2, 28) + 86400 * kTicksPerSecond);
    EXPECT_EQ(f.month, 3);
    EXPECT_EQ(UtcTicks(1600, 12, 31), 0u);  // before the tick range
}

TEST(TickCalendar, AgreesWithTheCLibraryAcrossCenturies) {
    // gmtime_r is an independent reference; ticks end in the year 2185.
    for (int64_t seconds = -11644473600LL + 7; seconds < 6600000000LL; seconds += 86400LL * 97 + 3671) {
        const std::time_t t = static_cast<std::time_t>(seconds);
        std::tm ref{};
        ASSERT_NE(gmtime_r(&t, &ref), nullptr);
        const uint64_t ticks = static_cast<uint64_t>(seconds + 11644473600LL) * kTicksPerSecond + 123456789;
        const CalendarFields f = TicksToUtcCalendar(ticks);
        ASSERT_EQ(f.year, ref.tm_year + 1900) << seconds;
        ASSERT_EQ(f.month, ref.tm_mon + 1) << seconds;
        ASSERT_EQ(f.day, ref.tm_mday) << seconds;
        ASSERT_EQ(f.dayOfWeek, ref.tm_wday) << seconds;
        ASSERT_EQ(f.hour, ref.tm_hour) << seconds;
        ASSERT_EQ(f.minute, ref.tm_min) << seconds;
        ASSERT_EQ(f.second, ref.tm_sec) << seconds;
        ASSERT_EQ(f.millisecond, 123);
        ASSERT_EQ(UtcCalendarToTicks(f), ticks - 456789) << seconds;
    }
}

TEST(TimeStampElapsed, PartsTruncateTowardZeroOnBothSidesOfTheOrigin) {
    const int64_t origin = static_cast<int64_t>(UtcTicks(2026, 12, 8, 9));
    CQRVATimeStamp after(static_cast<uint64_t>(origin) + 3234567891ull, origin);
    EXPECT_EQ(after.ElapsedSeconds(), 3);
    EXPECT_EQ(after.ElapsedMilliseconds(), 234);
    EXPECT_EQ(after.ElapsedMicroseconds(), 567);
    EXPECT_EQ(after.ElapsedNanoseconds(), 891);
    EXPECT_DOUBLE_EQ(after.ToSeconds(), 3.234567891);

    CQRVATimeStamp before(static_cast<uint64_t>(origin) - 1234567891ull, origin);
    EXPECT_EQ(before.ElapsedSeconds(), -1);
    EXPECT_EQ(before.ElapsedMilliseconds(), -234);
    EXPECT_EQ(before.ElapsedMicroseconds(), -567);
    EXPECT_EQ(before.ElapsedNanoseconds(), -891);
    EXPECT_DOUBLE_EQ(before.ToSeconds(), -1.234567891);

    // Absolute parts count from 1601, not from the origin.
    CQRVATimeStamp abs(7654321, 7000000);
    EXPECT_EQ(abs.GetMicrosecond(), 654u);
    EXPECT_EQ(abs.GetNanosecond(), 321u);
}

TEST(TimeStampElapsed, SettersReplaceOnePartAndKeepTheOthers) {
    CQRVATimeStamp t(1000 + 2345678912ull, 1000);
    t.SetElapsedMilliseconds(900);
    EXPECT_EQ(t.Elapsed(), 2900678912);
    t.SetElapsedSeconds(-1);  // moves by (-1 - 2) s
    EXPECT_EQ(t.Elapsed(), -99321088);
    EXPECT_EQ(t.ElapsedSeconds(), 0);
    // Before the origin the parts are negative; a setter still moves by the
    // difference of the part, here (5 - (-321)) us and (7 - (-88)) ns.
    t.SetElapsedMicroseconds(5);
    EXPECT_EQ(t.Elapsed(), -98995088);
    t.SetElapsedNanoseconds(7);
    EXPECT_EQ(t.Elapsed(), -98994993);
}

TEST(TimeStampCalendar, ComputedOnUseAndKeptCurrent) {
    CQRVATimeStamp t(UtcTicks(2026, 12, 8, 10, 30, 15, 250), 0);
    EXPECT_FALSE(t.IsCalendarValid());
    EXPECT_EQ(t.GetYear(), 2026);
    EXPECT_TRUE(t.IsCalendarValid());
    EXPECT_EQ(t.GetMillisecond(), 250);
    t.SetTicks(UtcTicks(2027, 1, 2, 3, 4, 5, 6));
    EXPECT_EQ(t.GetYear(), 2027);
    EXPECT_EQ(t.GetDay(), 2);
    t.SetElapsedSeconds(t.ElapsedSeconds() + 60);
    EXPECT_EQ(t.GetMinute(), 5);
}

TEST(TimeStampCopies, AssignmentCloneAndLocalCopy) {
    const uint64_t ticks = UtcTicks(2026, 6, 1, 22, 15, 0, 42);
    CQRVATimeStamp source(ticks, 99);

    CQRVATimeStamp withCalendar(UtcTicks(1999, 1, 1), 1);
    withCalendar.GetYear();
    withCalendar = source;
    EXPECT_EQ(withCalendar.GetOrigin(), 99);
    EXPECT_TRUE(withCalendar.IsCalendarValid());
    EXPECT_EQ(withCalendar.GetYear(), 2026);  // recomputed, not the stale 1999

    source.GetYear();
    CQRVATimeStamp plain;
    plain = source;
    EXPECT_EQ(plain.GetTicks(), ticks);
    EXPECT_FALSE(plain.IsCalendarValid());

    std::unique_ptr<CQRVATimeStamp> clone(source.Clone());
    EXPECT_EQ(clone->GetTicks(), ticks);
    EXPECT_EQ(clone->GetOrigin(), 99);
    EXPECT_FALSE(clone->IsCalendarValid());

    // A fixed zone two hours east of UTC without daylight saving.
    const char* oldTz = std::getenv("TZ");
    const std::string saved = oldTz ? oldTz : "";
    setenv("TZ", "XXX-2", 1);
    tzset();
    std::unique_ptr<CQRVATimeStamp> local(source.LocalCopy());
    if (oldTz) setenv("TZ", saved.c_str(), 1);
    else unsetenv("TZ");
    tzset();
    EXPECT_EQ(local->GetTicks(), 0u);
    EXPECT_EQ(local->GetOrigin(), 0);
    EXPECT_EQ(local->GetHour(), 0);  // 22:15 UTC is 00:15 the next day
    EXPECT_EQ(local->GetDay(), 2);
    EXPECT_EQ(local->GetMinute(), 15);
    EXPECT_EQ(local->GetMillisecond(), 42);
    EXPECT_EQ(source.GetHour(), 22);  // the source stays in UTC
}

}  // namespace
}  // namespace qrd
