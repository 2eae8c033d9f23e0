#include "foundation/stime.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>

#include "foundation/calendar.h"
#include "foundation/clock.h"
#include "foundation/date_text_reader.h"
#include "foundation/date_translator.h"
#include "foundation/locale_dates.h"

namespace fernweave {
namespace {

// The largest relative amount `Add` accepts. Any amount this large already carries a
// date past the year range in every unit, so refusing larger ones loses nothing, and
// it keeps the wide arithmetic below far from overflow.
constexpr int64_t kMaxAmount = 100'000'000'000;

int64_t Clamp(int64_t seconds) {
  return std::clamp(seconds, STime::kEarliest, STime::kLatest);
}

// seconds + amount * unit, saturated; amount is at most kMaxAmount and unit at most a
// week, so the product fits.
int64_t ClampedSum(int64_t seconds, int64_t amount, int64_t unit) {
  return Clamp(seconds + amount * unit);
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

// The zone's offset written as sign, hours and minutes with `separator` between them:
// "-04:00" or "+0530".
std::string OffsetText(int offset_seconds, const char* separator) {
  const char sign = offset_seconds < 0 ? '-' : '+';
  const int magnitude = std::abs(offset_seconds);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%c%02d%s%02d", sign, magnitude / 3600, separator,
                magnitude % 3600 / 60);
  return buffer;
}

// Appends `value` in decimal with at least two digits, as "%02d" writes it.
void AppendPadded(std::string* out, int value) {
  if (value >= 0 && value < 100) {
    const char digits[2] = {static_cast<char>('0' + value / 10),
                            static_cast<char>('0' + value % 10)};
    out->append(digits, 2);
    return;
  }
  char buffer[16];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  out->append(buffer, end);
}

void AppendTwoDigits(std::ostringstream& out, int64_t value) {
  if (value >= 0 && value < 10) {
    out << '0';
  }
  out << value;
}

}  // namespace

int64_t ClampedSecondsFromFields(int64_t year, int64_t month, int64_t day, int64_t hour,
                                 int64_t minute, int64_t second) {
  return Clamp(SecondsFromFields(year, month, day, hour, minute, second));
}

STime::STime() {
  const int64_t now = NowLocalSeconds();
  // Round down to the minute, also for readings before 1904.
  int64_t minute_start = now - now % 60;
  if (now % 60 < 0) {
    minute_start -= 60;
  }
  Assign(minute_start);
}

STime::STime(int64_t seconds) {
  Assign(seconds);
}

STime::STime(int month, int day, int year) {
  Assign(ClampedSecondsFromFields(year, month, day, 0, 0, 0));
}

STime::STime(const DateTimeRec& fields) {
  // Calendar arithmetic carries every field, so normalising the day and month first
  // gives the same reading as carrying them here.
  Assign(ClampedSecondsFromFields(fields.year, fields.month, fields.day, fields.hour, fields.minute,
                                  fields.second));
}

STime::STime(const LongDateRec& fields) {
  Assign(ClampedSecondsFromFields(fields.year, fields.month, fields.day, fields.hour, fields.minute,
                                  fields.second));
}

uint32_t STime::xGet() const {
  return GetLong();
}

void STime::Set(uint32_t seconds) {
  seconds_ = seconds;
  legacy_ = seconds;
  TestIntegrity();
}

void STime::SetNew(int64_t seconds) {
  Assign(seconds);
  TestIntegrity();
}

void STime::Assign(int64_t seconds) {
  seconds_ = Clamp(seconds);
  legacy_ = static_cast<uint32_t>(seconds_);
}

uint32_t STime::GetLong() const {
  return legacy_;
}

int64_t STime::GetNew() const {
  return seconds_;
}

DateTimeRec STime::GetDateTimeRec() const {
  const CivilDateTime f = FieldsFromSeconds(seconds_);
  DateTimeRec out;
  out.year = static_cast<int16_t>(f.year);
  out.month = static_cast<int16_t>(f.month);
  out.day = static_cast<int16_t>(f.day);
  out.hour = static_cast<int16_t>(f.hour);
  out.minute = static_cast<int16_t>(f.minute);
  out.second = static_cast<int16_t>(f.second);
  out.day_of_week = static_cast<int16_t>(f.day_of_week);
  return out;
}

STime STime::FromGMT() const {
  // The offset is added in seconds, so zones with half- and quarter-hour offsets move
  // by their whole offset.
  return STime(seconds_ + GmtOffsetSecondsAt(seconds_));
}

bool STime::IsNever() const {
  return seconds_ == 0;
}

std::string STime::AsString() const {
  return AsShortString();
}

std::string STime::AsShortString() const {
  return DoAsString(DateStyle::kShort, DateStyle::kShort);
}

std::string STime::TimeString() const {
  return DoAsString(DateStyle::kNone, DateStyle::kShort);
}

std::string STime::LongDateString() const {
  return DoAsString(DateStyle::kLong, DateStyle::kNone);
}

std::string STime::ShortDateString() const {
  return DoAsString(DateStyle::kShort, DateStyle::kNone);
}

std::string STime::DoAsString(DateStyle date_style, DateStyle time_style) const {
  if (IsNever()) {
    return std::string(never);
  }
  return FormatLocaleDate(seconds_, date_style, time_style);
}

std::string STime::ISO8601DateString() const {
  std::string text;
  AppendISO8601DateString(&text, nullptr);
  return text;
}

// Formed by hand rather than with snprintf: saving a document forms one of these for
// every date it holds. Keep in sync with OffsetText.
void STime::AppendISO8601DateString(std::string* out, ZoneOffsetCache* offsets) const {
  const CivilDateTime f = FieldsFromSeconds(seconds_);
  const int offset = offsets != nullptr ? offsets->At(seconds_) : GmtOffsetSecondsAt(seconds_);
  const int magnitude = std::abs(offset);
  if (f.year >= 1000 && f.year <= 9999 && magnitude < 100 * 3600) {
    // Four-digit years, which are nearly all: every field has its fixed place.
    char text[] = "0000-00-00T00:00:00+00:00";
    const auto put = [&text](size_t at, int64_t value) {
      text[at] = static_cast<char>('0' + value / 10);
      text[at + 1] = static_cast<char>('0' + value % 10);
    };
    put(0, f.year / 100);
    put(2, f.year % 100);
    put(5, f.month);
    put(8, f.day);
    put(11, f.hour);
    put(14, f.minute);
    put(17, f.second);
    text[19] = offset < 0 ? '-' : '+';
    put(20, magnitude / 3600);
    put(23, magnitude % 3600 / 60);
    out->append(text, sizeof text - 1);
    return;
  }
  char year[24];
  const auto [end, ec] = std::to_chars(year, year + sizeof year, f.year);
  out->append(year, end);
  out->push_back('-');
  AppendPadded(out, f.month);
  out->push_back('-');
  AppendPadded(out, f.day);
  out->push_back('T');
  AppendPadded(out, f.hour);
  out->push_back(':');
  AppendPadded(out, f.minute);
  out->push_back(':');
  AppendPadded(out, f.second);
  out->push_back(offset < 0 ? '-' : '+');
  AppendPadded(out, magnitude / 3600);
  out->push_back(':');
  AppendPadded(out, magnitude % 3600 / 60);
}

std::string STime::RFC822DateString() const {
  const CivilDateTime f = FieldsFromSeconds(seconds_);
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "%s, %d %s %lld %02d:%02d:%02d ",
                kRFC822Days[f.day_of_week - 1], f.day, kRFC822Months[f.month - 1],
                static_cast<long long>(f.year), f.hour, f.minute, f.second);
  return buffer + OffsetText(GmtOffsetSecondsAt(seconds_), "");
}

std::string STime::AsExportString(std::string_view format) const {
  if (IsNever()) {
    return std::string(never);
  }
  const CivilDateTime f = FieldsFromSeconds(seconds_);
  std::ostringstream out;
  for (size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    const bool has_next = i + 1 < format.size();
    switch (c) {
      case 'd':
        out << f.day;
        break;
      case 'D':
        AppendTwoDigits(out, f.day);
        break;
      case 'm':
        if (has_next && format[i + 1] == 'm') {
          ++i;
          AppendTwoDigits(out, f.minute);
        } else {
          out << f.month;
        }
        break;
      case 'M':
        if (has_next && format[i + 1] == 'M') {
          ++i;
          out << monthsLong[f.month - 1];
        } else if (has_next && format[i + 1] == '0') {
          ++i;
          AppendTwoDigits(out, f.month);
        } else {
          out << months[f.month - 1];
        }
        break;
      case 'y':
        out << f.year;
        break;
      case 'Y':
        AppendTwoDigits(out, (f.year % 100 + 100) % 100);
        break;
      case 'h':
        AppendTwoDigits(out, f.hour);
        break;
      case 'H':
        out << (f.hour % 12 == 0 ? 12 : f.hour % 12);
        break;
      case 'p':
        out << (f.hour <= 11 ? "AM" : "PM");
        break;
      case 's':
        AppendTwoDigits(out, f.second);
        break;
      case 'w':
        out << weekday[f.day_of_week - 1];
        break;
      case 'W':
        out << weekdayLong[f.day_of_week - 1];
        break;
      case 't':
        out << TimeString();
        break;
      case 'l':
        out << ShortDateString();
        break;
      case 'L':
        out << LongDateString();
        break;
      case '*':
        out << RFC822DateString();
        break;
      case '=':
        out << ISO8601DateString();
        break;
      case '\\':
        // A backslash at the very end quotes nothing.
        if (has_next) {
          ++i;
          out << format[i];
        }
        break;
      default:
        out << c;
        break;
    }
  }
  return out.str();
}

double STime::DaysSince(const STime& other) const {
  return static_cast<double>(seconds_ - other.seconds_) / 86400.0;
}

double STime::MinutesSince(const STime& other) const {
  return static_cast<double>(seconds_ - other.seconds_) / 60.0;
}

STime STime::Add(std::string_view text) const {
  if (text.empty()) {
    return *this;
  }
  DateTextReader in(text);
  int64_t sign = 1;
  char first = 0;
  if (in.ReadChar(&first)) {
    if (first == '-') {
      sign = -1;
    } else if (first != '+') {
      in.PutBack();
    }
  }
  int64_t amount = 0;
  in.ReadNumber(-kMaxAmount, kMaxAmount, &amount);
  amount *= sign;
  std::string unit;
  in.ReadWord(&unit);

  // Spans of fixed length move the count itself; months and years are calendar steps
  // whose day is then carried (31 January + 1 month is 3 March in a common year).
  if (unit.empty() || unit == "day" || unit == "days") {
    return STime(ClampedSum(seconds_, amount, 86400));
  }
  if (unit == "week" || unit == "weeks") {
    return STime(ClampedSum(seconds_, amount, int64_t{7} * 86400));
  }
  if (unit == "hour" || unit == "hours") {
    return STime(ClampedSum(seconds_, amount, 3600));
  }
  if (unit == "minute" || unit == "minutes") {
    return STime(ClampedSum(seconds_, amount, 60));
  }
  const CivilDateTime f = FieldsFromSeconds(seconds_);
  if (unit == "month" || unit == "months") {
    return STime(
        ClampedSecondsFromFields(f.year, f.month + amount, f.day, f.hour, f.minute, f.second));
  }
  if (unit == "year" || unit == "years") {
    return STime(
        ClampedSecondsFromFields(f.year + amount, f.month, f.day, f.hour, f.minute, f.second));
  }
  return *this;
}

STime STime::SetTime(std::string_view text) const {
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || colon == 0) {
    return *this;
  }
  size_t start = colon;
  while (start > 0 && IsDateDigit(text[start - 1])) {
    --start;
  }
  DateTextReader in(text.substr(start));
  int64_t hour = 0;
  int64_t minute = 0;
  int64_t second = 0;
  char separator = 0;
  in.ReadNumber(INT16_MIN, INT16_MAX, &hour);
  in.ReadChar(&separator);
  in.ReadNumber(INT16_MIN, INT16_MAX, &minute);
  if (in.Peek() == ':') {
    in.ReadChar(&separator);
    in.ReadNumber(INT16_MIN, INT16_MAX, &second);
  }
  std::string word;
  in.ReadWord(&word);
  if (hour < 12 && (Contains(word, "pm") || Contains(word, "PM"))) {
    hour += 12;
  } else if (hour == 12 && (Contains(word, "am") || Contains(word, "AM"))) {
    hour = 0;
  }
  const CivilDateTime f = FieldsFromSeconds(seconds_);
  return STime(ClampedSecondsFromFields(f.year, f.month, f.day, hour, minute, second));
}

STime STime::SetTime(int hour, int minute) const {
  const CivilDateTime f = FieldsFromSeconds(seconds_);
  return STime(ClampedSecondsFromFields(f.year, f.month, f.day, hour, minute, f.second));
}

int STime::DayOfWeek() const {
  return GetDateTimeRec().day_of_week;
}
int STime::Month() const {
  return GetDateTimeRec().month;
}
int STime::Day() const {
  return GetDateTimeRec().day;
}
int STime::Year() const {
  return GetDateTimeRec().year;
}
int STime::Hour() const {
  return GetDateTimeRec().hour;
}
int STime::Minute() const {
  return GetDateTimeRec().minute;
}

bool STime::SameDayAs(const STime& other) const {
  const DateTimeRec a = GetDateTimeRec();
  const DateTimeRec b = other.GetDateTimeRec();
  return a.year == b.year && a.month == b.month && a.day == b.day;
}

void STime::TestIntegrity() const {}

STime STime::For(std::string_view text) {
  return DateTranslator(text).GetTime();
}

bool STime::IsDate(std::string_view text) {
  if (text.empty()) {
    return false;
  }
  std::string_view inner = text;
  if (inner.size() >= 2 && (inner.front() == '"' || inner.front() == '\'') &&
      inner.back() == inner.front()) {
    inner = inner.substr(1, inner.size() - 2);
  }
  bool is_number = true;
  for (size_t i = 0; i < inner.size() && is_number; ++i) {
    const char c = inner[i];
    is_number = IsDateSpace(c) || IsDateDigit(c) || c == '.' || (c == '-' && i == 0);
  }
  if (is_number) {
    return false;
  }
  return DateTranslator(text).IsValid();
}

uint32_t STime::CurrentTime() {
  return static_cast<uint32_t>(NowLocalSeconds());
}

uint64_t STime::Ticks() {
  return fernweave::Ticks();
}

void STime::WaitFor(uint64_t tick) {
  while (Ticks() < tick) {
    SlowDown(1);
  }
}

void STime::SlowDown(int ticks) {
  std::this_thread::yield();
  SleepTicks(ticks);
}

int STime::daysPerMonth(int month, int year) {
  const int64_t start = DaysFromCivil(year, month, 1);
  return static_cast<int>(DaysFromCivil(year, static_cast<int64_t>(month) + 1, 1) - start);
}

void STime::Normalize(DateTimeRec* fields) {
  const int64_t days = DaysFromCivil(fields->year, fields->month, fields->day);
  CivilDate date = CivilFromDays(days);
  // A date carried past the 16-bit year range stops at the range's first or last day.
  if (date.year > INT16_MAX) {
    date = {INT16_MAX, 12, 31};
  } else if (date.year < INT16_MIN) {
    date = {INT16_MIN, 1, 1};
  }
  fields->year = static_cast<int16_t>(date.year);
  fields->month = static_cast<int16_t>(date.month);
  fields->day = static_cast<int16_t>(date.day);
}

}  // namespace fernweave
