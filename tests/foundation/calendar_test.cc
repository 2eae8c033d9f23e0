#include "foundation/calendar.h"

#include <gtest/gtest.h>

#include "foundation/clock.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

TEST(CalendarTest, RoundTripsEveryDayAcrossCenturies) {
  // Every day from 1600 to 2400 converts to fields and back, and consecutive days have
  // consecutive weekdays: catches off-by-one errors at leap days and century years.
  int previous_weekday = 0;
  for (int64_t days = DaysFromCivil(1600, 1, 1); days < DaysFromCivil(2400, 1, 1); ++days) {
    const CivilDate date = CivilFromDays(days);
    ASSERT_EQ(DaysFromCivil(date.year, date.month, date.day), days);
    const int weekday = WeekdayFromDays(days);
    if (previous_weekday != 0) {
      ASSERT_EQ(weekday, previous_weekday % 7 + 1);
    }
    previous_weekday = weekday;
  }
}

TEST(CalendarTest, KnownDates) {
  struct Case {
    int64_t year, month, day, hour, minute, second;
    int64_t seconds;
  } cases[] = {
      {1904, 1, 1, 0, 0, 0, 0},
      {1970, 1, 1, 0, 0, 0, kSecondsFrom1904To1970},
      {2009, 5, 3, 9, 5, 7, 3324186307},
      // Out-of-range fields carry: month 14 of 2008 is February 2009; -1 minute borrows.
      {2008, 14, 1, 0, -1, 0, SecondsFromFields(2009, 1, 31, 23, 59, 0)},
      {1903, 12, 31, 23, 59, 59, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SecondsFromFields(c.year, c.month, c.day, c.hour, c.minute, c.second), c.seconds)
        << c.year << "-" << c.month << "-" << c.day;
  }
}

TEST(ClockTest, PinnedNowAndOffsets) {
  test::ScopedTimeZone zone("America/New_York");
  {
    test::PinnedClock clock("2009-05-03T09:05:07");
    EXPECT_EQ(NowLocalSeconds(), 3324186307);
    EXPECT_EQ(GmtOffsetSecondsNow(), -4 * 3600);
  }
  EXPECT_EQ(GmtOffsetSecondsAt(SecondsFromFields(2009, 1, 15, 12, 0, 0)), -5 * 3600);
  EXPECT_FALSE(ParseClockOverride("May 3").has_value());
  EXPECT_FALSE(ParseClockOverride("2009-13-01T00:00:00").has_value());
  EXPECT_EQ(ParseClockOverride("2009-05-03"), SecondsFromFields(2009, 5, 3, 0, 0, 0));
}

TEST(ClockTest, EnvironmentOverride) {
  setenv("FERNWEAVE_NOW", "2009-05-04T10:17:33", 1);
  EXPECT_EQ(NowLocalSeconds(), SecondsFromFields(2009, 5, 4, 10, 17, 33));
  unsetenv("FERNWEAVE_NOW");
  EXPECT_GT(NowLocalSeconds(), SecondsFromFields(2026, 1, 1, 0, 0, 0));
  const uint64_t before = Ticks();
  SleepTicks(2);
  EXPECT_GE(Ticks(), before + 1);
}

}  // namespace
}  // namespace fernweave
