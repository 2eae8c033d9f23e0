#include "foundation/stime.h"

#include <cstdint>
#include <string>

#include <gtest/gtest.h>

#include "foundation/calendar.h"
#include "foundation/clock.h"
#include "tests/support/date_helpers.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

using test::At;
using test::Dump;

class STimeTest : public ::testing::Test {
 protected:
  test::ScopedTimeZone zone_{"America/New_York"};
  test::PinnedClock clock_{"2009-05-04T10:17:33"};
  test::ScopedIcuLocale locale_{"en_US"};
};

TEST_F(STimeTest, ConstructionKeepsBothFieldsTogether) {
  EXPECT_EQ(Dump(STime()), "2009-05-04 10:17:00");  // now, to the minute
  EXPECT_EQ(Dump(STime(5, 3, 2009)), "2009-05-03 00:00:00");
  EXPECT_TRUE(STime(int64_t{0}).IsNever());

  STime t;
  t.SetNew(int64_t{1} << 33 | 5);
  EXPECT_EQ(t.GetNew(), (int64_t{1} << 33) | 5);
  EXPECT_EQ(t.GetLong(), 5u);  // the low 32 bits
  t.Set(4000000000u);
  EXPECT_EQ(t.GetNew(), 4000000000);
  t.SetNew(-1);
  EXPECT_EQ(t.GetLong(), 0xFFFFFFFFu);
  EXPECT_EQ(Dump(t), "1903-12-31 23:59:59");
  // Counts past the year range saturate instead of wrapping the fields.
  t.SetNew(INT64_MAX);
  EXPECT_EQ(t.GetNew(), STime::kLatest);
  EXPECT_EQ(t.Year(), 32767);
  t.SetNew(INT64_MIN);
  EXPECT_EQ(t.Year(), -32768);

  const STime pinned = At("2009-05-03T09:05:07");
  EXPECT_EQ(pinned.DayOfWeek(), 1);
  EXPECT_EQ(pinned.Month(), 5);
  EXPECT_EQ(pinned.Day(), 3);
  EXPECT_EQ(pinned.Hour(), 9);
  EXPECT_EQ(pinned.Minute(), 5);
  EXPECT_TRUE(pinned.SameDayAs(At("2009-05-03T23:59:59")));
  EXPECT_FALSE(pinned.SameDayAs(At("2009-05-04T00:00:00")));
  EXPECT_LT(pinned, At("2009-05-03T09:05:08"));
  EXPECT_GT(pinned, STime(-5));
}

TEST_F(STimeTest, NormalizeAcrossMonthYearAndLeapBoundaries) {
  struct Case {
    int16_t year, month, day;
    const char* expected;
  } cases[] = {
      {2009, 2, 29, "2009-03-01"},    {2000, 2, 29, "2000-02-29"},    {1900, 2, 29, "1900-03-01"},
      {2004, 2, 30, "2004-03-01"},    {2009, 1, 0, "2008-12-31"},     {2009, 3, 0, "2009-02-28"},
      {2008, 3, 0, "2008-02-29"},     {2008, 3, -28, "2008-02-01"},   {2009, 12, 32, "2010-01-01"},
      {2009, 13, 1, "2010-01-01"},    {2009, 0, 1, "2008-12-01"},     {2009, -13, 1, "2007-11-01"},
      {2011, 14, 30, "2012-03-01"},   {2009, 1, 400, "2010-02-04"},   {2009, 1, -400, "2007-11-27"},
      {32767, 12, 32, "32767-12-31"}, {-32768, 0, 1, "-32768-01-01"},
  };
  for (const Case& c : cases) {
    DateTimeRec fields{.year = c.year, .month = c.month, .day = c.day, .hour = 25};
    STime::Normalize(&fields);
    const std::string got = std::to_string(fields.year) + "-" + (fields.month < 10 ? "0" : "") +
                            std::to_string(fields.month) + "-" + (fields.day < 10 ? "0" : "") +
                            std::to_string(fields.day);
    EXPECT_EQ(got, c.expected) << c.year << "-" << c.month << "-" << c.day;
    EXPECT_EQ(fields.hour, 25) << "untouched by Normalize";
  }

  struct Length {
    int month, year, days;
  } lengths[] = {{1, 2009, 31}, {2, 2009, 28},  {2, 2008, 29},  {2, 2000, 29}, {2, 1900, 28},
                 {4, 2009, 30}, {12, 2009, 31}, {14, 2011, 29}, {0, 2009, 31}, {-10, 2009, 29}};
  for (const Length& l : lengths) {
    EXPECT_EQ(STime::daysPerMonth(l.month, l.year), l.days) << l.month << "/" << l.year;
  }

  // Hours, minutes and seconds out of range carry into the larger units.
  DateTimeRec fields{.year = 2009, .month = 12, .day = 31, .hour = 23, .minute = 59, .second = 61};
  EXPECT_EQ(Dump(STime(fields)), "2010-01-01 00:00:01");
  fields.minute = -1;
  fields.second = 0;
  EXPECT_EQ(Dump(STime(fields)), "2009-12-31 22:59:00");
}

TEST_F(STimeTest, AddReadsOneAmountAndOneUnit) {
  struct Case {
    const char* base;
    const char* text;
    const char* expected;
  } cases[] = {
      {"2009-03-02T10:00:00", "-25 hours", "2009-03-01 09:00:00"},
      {"2009-03-02T10:00:00", "3", "2009-03-05 10:00:00"},
      {"2009-03-02T10:00:00", "3 Days", "2009-03-02 10:00:00"},  // units are lower case
      {"2009-03-02T10:00:00", "", "2009-03-02 10:00:00"},
      {"2009-03-02T10:00:00", "   ", "2009-03-02 10:00:00"},
      {"2009-03-02T10:00:00", "1.5 days", "2009-03-02 10:00:00"},  // unit ".5"
      {"2009-03-02T10:00:00", "+1 week", "2009-03-09 10:00:00"},
      {"2009-03-02T10:00:00", "- 2 weeks", "2009-02-16 10:00:00"},
      {"2009-03-02T10:00:00", "90 minutes and more", "2009-03-02 11:30:00"},
      {"2009-03-02T10:00:00", "-1 minute", "2009-03-02 09:59:00"},
      {"2009-03-02T10:00:00", "+2 day", "2009-03-04 10:00:00"},
      {"2009-01-31T08:00:00", "1 month", "2009-03-03 08:00:00"},
      {"2008-01-31T08:00:00", "+1 months", "2008-03-02 08:00:00"},
      {"2009-03-31T08:00:00", "-1 month", "2009-03-03 08:00:00"},
      {"2009-03-31T08:00:00", "-15 months", "2007-12-31 08:00:00"},
      {"2008-02-29T08:00:00", "2 years", "2010-03-01 08:00:00"},
      {"2008-02-29T08:00:00", "-4 year", "2004-02-29 08:00:00"},
      // Wide arithmetic: 16-bit fields would wrap these.
      {"2009-03-02T10:00:00", "+50000 minutes", "2009-04-06 03:20:00"},
      {"2009-03-02T10:00:00", "+40000 hours", "2013-09-24 02:00:00"},
      {"2009-03-02T10:00:00", "-40000 days", "1899-08-26 10:00:00"},
      {"2009-03-02T10:00:00", "5000 weeks", "2104-12-29 10:00:00"},
      // Absurd amounts are refused or saturate; nothing overflows.
      {"2009-03-02T10:00:00", "+99999999999999999999 days", "2009-03-02 10:00:00"},
      {"2009-03-02T10:00:00", "100000000000 years", "32767-12-31 23:59:59"},
      {"2009-03-02T10:00:00", "-100000000000 months", "-32768-01-01 00:00:00"},
      {"2009-03-02T10:00:00", "100000000000 weeks", "32767-12-31 23:59:59"},
      {"2009-03-02T10:00:00", "-100000000000 minutes", "-32768-01-01 00:00:00"},
      {"32767-12-31T23:00:00", "1 hours", "32767-12-31 23:59:59"},
  };
  for (const Case& c : cases) {
    const STime base = At(c.base);
    EXPECT_EQ(Dump(base.Add(c.text)), c.expected) << c.base << " + '" << c.text << "'";
    EXPECT_EQ(Dump(base), Dump(At(c.base))) << "Add must not change the receiver";
  }
  EXPECT_EQ(Dump(STime(int64_t{0}).Add("1 day")), "1904-01-02 00:00:00");
}

TEST_F(STimeTest, SetTimeReadsTheFirstTimeOfDay) {
  const STime base = At("2009-05-03T09:05:07");
  struct Case {
    const char* text;
    const char* expected;
  } cases[] = {
      {"12:30 am", "2009-05-03 00:30:00"},
      {"12:15 pm", "2009-05-03 12:15:00"},
      {"1:05 PM", "2009-05-03 13:05:00"},
      {"1:05PM", "2009-05-03 13:05:00"},
      {"11:59:30 AM", "2009-05-03 11:59:30"},
      {"21:45:01", "2009-05-03 21:45:01"},
      {"+2 days 10:30", "2009-05-03 10:30:00"},
      {"at 7:05 pm", "2009-05-03 19:05:00"},
      {"25:10", "2009-05-04 01:10:00"},
      {"10", "2009-05-03 09:05:07"},
      {":30", "2009-05-03 09:05:07"},
      {"", "2009-05-03 09:05:07"},
      {"10:", "2009-05-03 10:00:00"},
      {"1:2:3:4", "2009-05-03 01:02:03"},
      // A number too large for an hour is a failed read: the time of day is 00:00.
      {"99999999999999:00", "2009-05-03 00:00:00"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Dump(base.SetTime(c.text)), c.expected) << "'" << c.text << "'";
  }
  EXPECT_EQ(Dump(base.SetTime(17, 45)), "2009-05-03 17:45:07");
  EXPECT_EQ(Dump(base.SetTime(-1, 0)), "2009-05-02 23:00:07");
}

TEST_F(STimeTest, SpansUseTheWideCounts) {
  const STime a = At("2026-01-01T00:00:00");
  const STime b = At("1950-01-01T00:00:00");
  // 76 years with 19 leap days; the 32-bit legacy fields would wrap here.
  EXPECT_DOUBLE_EQ(a.DaysSince(b), 76 * 365 + 19);
  EXPECT_DOUBLE_EQ(b.DaysSince(a), -(76 * 365 + 19));
  EXPECT_EQ(a - b, int64_t{76 * 365 + 19} * 86400);
  // Across the 1904 epoch there is no special case, just the span.
  EXPECT_DOUBLE_EQ(At("1904-01-02T00:00:00").DaysSince(At("1903-12-31T00:00:00")), 2.0);
  EXPECT_DOUBLE_EQ(At("1903-12-31T00:00:00").MinutesSince(At("1904-01-01T00:00:00")), -1440.0);
  EXPECT_DOUBLE_EQ(At("2009-05-03T09:05:30").MinutesSince(At("2009-05-03T09:05:00")), 0.5);
  EXPECT_DOUBLE_EQ(At("2009-05-03T21:00:00").DaysSince(At("2009-05-03T09:00:00")), 0.5);
}

TEST_F(STimeTest, ExportFormatCodes) {
  const STime morning = At("2009-05-03T09:05:07");    // a Sunday
  const STime afternoon = At("2009-12-25T15:04:09");  // a Friday
  struct Case {
    const STime* time;
    const char* format;
    const char* expected;
  } cases[] = {
      {&morning, "m", "5"},
      {&morning, "Y", "09"},
      {&morning, "H", "9"},
      {&afternoon, "d D", "25 25"},
      {&afternoon, "m/M0", "12/12"},
      {&afternoon, "M MM", "Dec December"},
      {&afternoon, "H p", "3 PM"},
      {&afternoon, "h:mm:s", "15:04:09"},
      {&afternoon, "w W", "Fri Friday"},
      {&morning, "W, MM d, y h:mm", "Sunday, May 3, 2009 09:05"},
      {&morning, "\\d d", "d 3"},
      {&morning, "mmm", "055"},
      {&morning, "MMM", "MayMay"},
      {&morning, "M00", "050"},
      {&morning, "\\h\\:h", "h:09"},
      {&morning, "", ""},
      {&morning, "x", "x"},
      {&morning, "Ü!", "Ü!"},
      {&morning, "=", "2009-05-03T09:05:07-04:00"},
      {&morning, "*", "Sun, 3 May 2009 09:05:07 -0400"},
      {&morning, "l|L", "5/3/09|May 3, 2009"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.time->AsExportString(c.format), c.expected) << "'" << c.format << "'";
  }
  // "t" is the locale's short time; a backslash at the end quotes nothing.
  EXPECT_EQ(morning.AsExportString("t"), morning.TimeString());
  EXPECT_EQ(morning.AsExportString("x \\"), "x ");
  EXPECT_EQ(STime(int64_t{0}).AsExportString("y"), "never");

  struct Clock {
    const char* iso;
    const char* expected;
  } clocks[] = {{"2009-05-03T00:30:00", "12 AM"},
                {"2009-05-03T11:59:00", "11 AM"},
                {"2009-05-03T12:00:00", "12 PM"},
                {"2009-05-03T23:00:00", "11 PM"}};
  for (const Clock& c : clocks) {
    EXPECT_EQ(At(c.iso).AsExportString("H p"), c.expected) << c.iso;
  }
  EXPECT_EQ(At("0005-01-01T00:00:00").AsExportString("y Y"), "5 05");
  EXPECT_EQ(At("-0001-06-01T00:00:00").AsExportString("y Y"), "-1 99");
}

TEST_F(STimeTest, LocaleForms) {
  const STime t = At("2009-05-03T09:05:07");
  const std::string narrow_space = "\u202f";  // before AM/PM in this locale's times
  EXPECT_EQ(t.ShortDateString(), "5/3/09");
  EXPECT_EQ(t.LongDateString(), "May 3, 2009");
  EXPECT_EQ(t.TimeString(), "9:05" + narrow_space + "AM");
  EXPECT_EQ(t.AsShortString(), "5/3/09, 9:05" + narrow_space + "AM");
  // Dates before the Gregorian reform stay on the proleptic calendar.
  EXPECT_EQ(At("1500-03-01T00:00:00").LongDateString(), "March 1, 1500");
  // The result never depends on the process's zone.
  {
    test::ScopedTimeZone tokyo("Asia/Tokyo");
    EXPECT_EQ(t.AsShortString(), "5/3/09, 9:05" + narrow_space + "AM");
  }
  const STime never{int64_t{0}};
  for (const std::string& text : {never.AsString(), never.AsShortString(), never.TimeString(),
                                  never.LongDateString(), never.ShortDateString()}) {
    EXPECT_EQ(text, "never");
  }
  {
    test::ScopedIcuLocale german("de_DE");
    EXPECT_EQ(t.LongDateString(), "3. Mai 2009");
    // Export names stay English whatever the locale.
    EXPECT_EQ(t.AsExportString("W MM"), "Sunday May");
  }
}

TEST_F(STimeTest, FixedFormsCarryTheOffsetAtTheDatePrinted) {
  // The clock is pinned in May, but January in New York is five hours behind GMT.
  EXPECT_EQ(At("2009-01-15T10:00:00").ISO8601DateString(), "2009-01-15T10:00:00-05:00");
  EXPECT_EQ(At("2009-01-15T10:00:00").RFC822DateString(), "Thu, 15 Jan 2009 10:00:00 -0500");
  {
    test::ScopedTimeZone fixed("EST5");
    EXPECT_EQ(At("2009-05-03T09:05:07").ISO8601DateString(), "2009-05-03T09:05:07-05:00");
  }
  {
    test::ScopedTimeZone india("Asia/Kolkata");
    EXPECT_EQ(At("2009-05-03T09:05:07").RFC822DateString(), "Sun, 3 May 2009 09:05:07 +0530");
    EXPECT_EQ(Dump(At("2009-05-03T12:00:00").FromGMT()), "2009-05-03 17:30:00");
  }
  {
    test::ScopedTimeZone utc("UTC");
    EXPECT_EQ(At("2009-05-03T09:05:07").RFC822DateString(), "Sun, 3 May 2009 09:05:07 +0000");
  }
  EXPECT_EQ(Dump(At("2009-05-03T12:00:00").FromGMT()), "2009-05-03 08:00:00");
  EXPECT_EQ(Dump(At("2009-01-03T02:00:00").FromGMT()), "2009-01-02 21:00:00");
}

TEST_F(STimeTest, ClassOperations) {
  EXPECT_EQ(STime::CurrentTime(), static_cast<uint32_t>(At("2009-05-04T10:17:33").GetNew()));

  struct Case {
    const char* text;
    bool is_date;
  } cases[] = {
      {"", false},        {"123", false},      {"-5", false},      {"1.5", false},
      {"'12'", false},    {"\"  3 \"", false}, {"\"\"", false},    {"May 3, 2009", true},
      {"tomorrow", true}, {"hello", false},    {"5-3", false},     {"2009-05-03", true},
      {"'today'", false}, {"never", true},     {"12/25/09", true}, {"1-2", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(STime::IsDate(c.text), c.is_date) << "'" << c.text << "'";
  }

  const uint64_t target = STime::Ticks() + 3;
  STime::WaitFor(target);
  EXPECT_GE(STime::Ticks(), target);
}

}  // namespace
}  // namespace fernweave
