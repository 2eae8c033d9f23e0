#ifndef FERNWEAVE_FOUNDATION_CALENDAR_H_
#define FERNWEAVE_FOUNDATION_CALENDAR_H_

#include <cstdint>

namespace fernweave {

// Proleptic Gregorian calendar arithmetic on plain integers. Dates in Fernweave are
// local wall-clock readings counted in seconds since 1904-01-01 00:00 (no zone is
// stored), so converting between fields and seconds is pure calendar arithmetic.

// Seconds from 1904-01-01 to 1970-01-01.
inline constexpr int64_t kSecondsFrom1904To1970 = 2082844800;

struct CivilDate {
  int64_t year;
  int month;  // 1-12
  int day;    // 1-31
};

// Days since 1970-01-01 of the given date. month may be any value; it is carried into
// the year. day may be any value; it is counted from the first of the month.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);

// The date `days` days after 1970-01-01.
CivilDate CivilFromDays(int64_t days);

// 1 = Sunday ... 7 = Saturday, for `days` days after 1970-01-01 (a Thursday).
int WeekdayFromDays(int64_t days);

// Seconds since 1904-01-01 00:00 of the given wall-clock reading. Every field may be
// out of range (negative minutes, 30 hours, month 14); the excess carries over.
int64_t SecondsFromFields(int64_t year, int64_t month, int64_t day, int64_t hour,
                          int64_t minute, int64_t second);

struct CivilDateTime {
  int64_t year;
  int month;
  int day;
  int hour;
  int minute;
  int second;
  int day_of_week;  // 1 = Sunday ... 7 = Saturday
};

// The wall-clock reading `seconds` after 1904-01-01 00:00.
CivilDateTime FieldsFromSeconds(int64_t seconds);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_CALENDAR_H_
