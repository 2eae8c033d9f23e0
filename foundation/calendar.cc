#include "foundation/calendar.h"

namespace fernweave {
namespace {

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  if ((a % b != 0) && ((a < 0) != (b < 0))) {
    --q;
  }
  return q;
}

int64_t FloorMod(int64_t a, int64_t b) { return a - FloorDiv(a, b) * b; }

// Days from 1970-01-01 to 1904-01-01 (negative).
constexpr int64_t kDays1904 = -24107;

}  // namespace

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  // Carry the month into the year first, then count from the first of that month.
  year += FloorDiv(month - 1, 12);
  month = FloorMod(month - 1, 12) + 1;
  // Shift the year to start in March so the leap day comes last.
  const int64_t y = month <= 2 ? year - 1 : year;
  const int64_t era = FloorDiv(y, 400);
  const int64_t yoe = y - era * 400;
  const int64_t mp = (month + 9) % 12;  // March = 0
  const int64_t doy = (153 * mp + 2) / 5;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468 + (day - 1);
}

CivilDate CivilFromDays(int64_t days) {
  const int64_t z = days + 719468;
  const int64_t era = FloorDiv(z, 146097);
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  const int day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  const int64_t year = yoe + era * 400 + (month <= 2 ? 1 : 0);
  return {year, month, day};
}

int WeekdayFromDays(int64_t days) {
  // 1970-01-01 was a Thursday (5).
  return static_cast<int>(FloorMod(days + 4, 7)) + 1;
}

int64_t SecondsFromFields(int64_t year, int64_t month, int64_t day, int64_t hour,
                          int64_t minute, int64_t second) {
  const int64_t days = DaysFromCivil(year, month, 1) - kDays1904 + (day - 1);
  return days * 86400 + hour * 3600 + minute * 60 + second;
}

CivilDateTime FieldsFromSeconds(int64_t seconds) {
  const int64_t days_since_1904 = FloorDiv(seconds, 86400);
  const int64_t in_day = seconds - days_since_1904 * 86400;
  const int64_t days = days_since_1904 + kDays1904;
  const CivilDate date = CivilFromDays(days);
  CivilDateTime out;
  out.year = date.year;
  out.month = date.month;
  out.day = date.day;
  out.hour = static_cast<int>(in_day / 3600);
  out.minute = static_cast<int>((in_day / 60) % 60);
  out.second = static_cast<int>(in_day % 60);
  out.day_of_week = WeekdayFromDays(days);
  return out;
}

}  // namespace fernweave
