// Dates and times. Every date in Fernweave (creation and modification times, dates
// typed by the user, dates computed by actions, dates in document files and export
// output) is an `STime`: whole seconds since midnight at the start of 1 January 1904,
// counted in local wall-clock time. No zone is stored, so a value means the same
// wall-clock reading wherever it is read. The count 0 is the undefined date, "never".
//
// Invariants: the signed 64-bit count and the unsigned 32-bit legacy field (its low 32
// bits) are always set together, and the count lies in [kEarliest, kLatest] (years
// -32768 to 32767), so every value's calendar fields fit a `DateTimeRec`. Operations
// that would leave that range saturate at its ends instead of overflowing.
//
// Calendar arithmetic is pure proleptic Gregorian arithmetic (foundation/calendar.h);
// only the four display strings and the zone offsets printed by the fixed forms depend
// on the process's locale and zone. Free text becomes an `STime` through
// `DateTranslator` (foundation/date_translator.h).

#ifndef FERNWEAVE_FOUNDATION_STIME_H_
#define FERNWEAVE_FOUNDATION_STIME_H_

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace fernweave {

class ZoneOffsetCache;

// Calendar fields of a wall-clock reading. month 1-12, day 1-31, hour 0-23,
// day_of_week 1 = Sunday ... 7 = Saturday; fields handed to STime may be out of range
// and are carried.
struct DateTimeRec {
  int16_t year = 0;
  int16_t month = 0;
  int16_t day = 0;
  int16_t hour = 0;
  int16_t minute = 0;
  int16_t second = 0;
  int16_t day_of_week = 0;
};

// The platform's long date record: era is always 0.
struct LongDateRec {
  int16_t era = 0;
  int16_t year = 0;
  int16_t month = 0;
  int16_t day = 0;
  int16_t hour = 0;
  int16_t minute = 0;
  int16_t second = 0;
};

// Styles of the locale's date and time formats.
enum class DateStyle : int { kNone = 0, kShort = 1, kMedium = 2, kLong = 3, kFull = 4 };

class STime {
 public:
  // The earliest and latest counts an STime holds: -32768-01-01 00:00:00 and
  // 32767-12-31 23:59:59.
  static constexpr int64_t kEarliest = -1094142556800;
  static constexpr int64_t kLatest = 973973807999;

  // Now, truncated to the whole minute.
  STime();
  // `seconds` since 1904, saturated to [kEarliest, kLatest]; 0 is never.
  explicit STime(int64_t seconds);
  // 00:00:00 on the given date; out-of-range fields carry.
  STime(int month, int day, int year);
  // The reading of `fields` after Normalize; hour, minute and second may be out of
  // range and carry into the larger units.
  explicit STime(const DateTimeRec& fields);
  explicit STime(const LongDateRec& fields);
  STime(const STime&) = default;
  STime& operator=(const STime&) = default;
  virtual ~STime() = default;

  virtual uint32_t xGet() const;
  // Sets from a 32-bit count (0 ... 4294967295 seconds after 1904).
  virtual void Set(uint32_t seconds);
  // Sets from a 64-bit count, saturated to [kEarliest, kLatest].
  virtual void SetNew(int64_t seconds);
  virtual uint32_t GetLong() const;
  // The calendar fields, with day_of_week filled in.
  virtual DateTimeRec GetDateTimeRec() const;
  virtual int64_t GetNew() const;
  // Reads the value as a GMT reading and returns the local reading of the same
  // instant: the zone's offset at that date is added.
  virtual STime FromGMT() const;
  virtual bool IsNever() const;

  // Locale forms; each gives "never" for the never date.
  virtual std::string AsString() const;       // same as AsShortString
  virtual std::string AsShortString() const;  // short date and short time
  virtual std::string TimeString() const;     // short time
  virtual std::string LongDateString() const;
  virtual std::string ShortDateString() const;
  // "2009-05-03T09:05:07-04:00": the fields and the zone's offset from GMT at that
  // date. Does not check for never (callers that may hold never test IsNever first).
  virtual std::string ISO8601DateString() const;
  // Appends the same text to `out`, taking the zone's offset from `offsets`; looks the
  // offset up directly when `offsets` is null.
  void AppendISO8601DateString(std::string* out, ZoneOffsetCache* offsets) const;
  // "Sun, 3 May 2009 09:05:07 -0400". Does not check for never.
  virtual std::string RFC822DateString() const;
  // The value written in the export date format language (codes d D m mm M MM M0 y Y
  // h H p s w W t l L * = and \ to quote the next character; anything else is copied).
  // "never" for the never date.
  virtual std::string AsExportString(std::string_view format) const;

  // The signed span from `other` to this value, in days or minutes (fractional).
  virtual double DaysSince(const STime& other) const;
  virtual double MinutesSince(const STime& other) const;

  // A new value moved by one relative amount such as "+2 days", "-25 hours", "3"
  // (days), "1 month". Unknown units change nothing. The receiver is unchanged.
  virtual STime Add(std::string_view text) const;
  // A new value with the time of day read from the first "H:MM[:SS] [am|pm]" in
  // `text`; unchanged when `text` has no colon after its first character.
  virtual STime SetTime(std::string_view text) const;
  // A new value at hour:minute of the same day, keeping the seconds.
  virtual STime SetTime(int hour, int minute) const;

  virtual int DayOfWeek() const;
  virtual int Month() const;
  virtual int Day() const;
  virtual int Year() const;
  virtual int Hour() const;
  virtual int Minute() const;
  virtual bool SameDayAs(const STime& other) const;
  // The locale's format of the given styles in the user's default locale; "never" for
  // the never date.
  virtual std::string DoAsString(DateStyle date_style, DateStyle time_style) const;
  // Called by every setter; checks nothing.
  virtual void TestIntegrity() const;

  bool operator==(const STime& other) const { return seconds_ == other.seconds_; }
  bool operator!=(const STime& other) const { return seconds_ != other.seconds_; }
  bool operator<(const STime& other) const { return seconds_ < other.seconds_; }
  bool operator>(const STime& other) const { return seconds_ > other.seconds_; }
  // The signed difference of the 64-bit counts, in seconds.
  int64_t operator-(const STime& other) const { return seconds_ - other.seconds_; }

  // Whatever DateTranslator(text) produced: never when no recogniser set a time.
  static STime For(std::string_view text);
  // True when `text` reads as a date rather than a number.
  static bool IsDate(std::string_view text);
  // The current local time as a 32-bit count.
  static uint32_t CurrentTime();
  // The tick counter, in sixtieths of a second.
  static uint64_t Ticks();
  // Repeats SlowDown(1) until the tick counter reaches `tick`.
  static void WaitFor(uint64_t tick);
  // Yields the current thread, then sleeps `ticks` sixtieths of a second.
  static void SlowDown(int ticks);

  // Days in `month` of `year` (Gregorian leap years); months outside 1-12 carry into
  // the year first.
  static int daysPerMonth(int month, int year);
  // Brings day into its month and month into 1-12, carrying into month and year.
  // Hours, minutes and seconds are untouched. Dates past the year range saturate.
  static void Normalize(DateTimeRec* fields);

  static constexpr std::string_view never = "never";
  static constexpr std::array<const char*, 7> weekdayLong = {
      "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
  static constexpr std::array<const char*, 7> weekday = {"Sun", "Mon", "Tue", "Wed",
                                                         "Thu", "Fri", "Sat"};
  static constexpr std::array<const char*, 12> monthsLong = {
      "January", "February", "March",     "April",   "May",      "June",
      "July",    "August",   "September", "October", "November", "December"};
  static constexpr std::array<const char*, 12> months = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static constexpr std::array<const char*, 7> kRFC822Days = weekday;
  static constexpr std::array<const char*, 12> kRFC822Months = months;

 private:
  // Sets both fields from a count saturated to [kEarliest, kLatest].
  void Assign(int64_t seconds);

  int64_t seconds_ = 0;
  uint32_t legacy_ = 0;
};

// The count of the wall-clock reading given by wide fields, each possibly out of range,
// saturated to [STime::kEarliest, STime::kLatest]. REQUIRES: every field within
// +-100,000,000,000 (larger amounts are rejected before they reach here).
int64_t ClampedSecondsFromFields(int64_t year, int64_t month, int64_t day, int64_t hour,
                                 int64_t minute, int64_t second);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_STIME_H_
