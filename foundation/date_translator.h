// DateTranslator turns free text typed by a user into an STime. It tries a fixed
// sequence of recognisers and stops at the first that applies:
//
//   1. "never"/"Never"                       -> the never date
//   2. "$Name rest"                          -> a date attribute plus a relative tail
//   3. "today" "now" "yesterday" "tomorrow"  -> the current date, moved, plus a tail
//   4. a weekday name ("Monday", "Mon")      -> the next such day, plus a tail
//   5. ISO 8601 ("2009-05-03T09:05:07")
//   6. the locale's own date formats (cached), plus a relative tail
//   7. a number                              -> seconds since 1904
//   8. text with a '/'                       -> month/day/year [time] [am|pm]
//   9. "May 3, 2009 [time]", else "3 May 2009 [time] [tail]"
//
// A tail is a relative amount and/or a time of day such as "+2 days 10:30" (see
// CalculateDate). Translation never throws; text no recogniser accepts leaves
// IsValid() false. A partly matching recogniser may leave a time with IsValid() false.
//
// Two process-wide caches belong to the translator: the results of locale-format
// parses by text (emptied whenever it grows past 1000 entries) and the lenient locale
// parsers, made on first use and kept for the life of the process. One lock guards
// both, so translators may run on any thread.

#ifndef FERNWEAVE_FOUNDATION_DATE_TRANSLATOR_H_
#define FERNWEAVE_FOUNDATION_DATE_TRANSLATOR_H_

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

#include <unicode/locid.h>

#include "foundation/stime.h"

namespace fernweave {

class DateTextReader;

// Where "$Name" references in date text are looked up: a note implements this so a
// date may be written relative to one of its attributes ("$DueDate +2 days").
class DateAttributeSource {
 public:
  virtual ~DateAttributeSource() = default;
  // The text of the attribute `name` (given without the '$'), as the note would show
  // it; "" when the note has no such attribute.
  virtual std::string GetAttributeText(const std::string& name) const = 0;
};

// One remembered locale-format parse.
struct CachedDate {
  STime time{int64_t{0}};
  // The text carried no time of day, so the hour and minute were the current ones;
  // a cache hit takes the current ones again.
  bool date_only = false;
};

// A map from text to the result of parsing it with the locale's formats. Thread-safe.
class DateTranslatorCache {
 public:
  static constexpr size_t kMaxEntries = 1000;

  // Stores `date` under `text`. When the cache already holds more than kMaxEntries
  // entries it is emptied first.
  void Add(const std::string& text, const CachedDate& date);
  bool Has(const std::string& text) const;
  // Copies the entry for `text` into *out; false (and *out untouched) when absent.
  bool Get(const std::string& text, CachedDate* out) const;
  size_t size() const;
  void Clear();

 private:
  std::unordered_map<std::string, CachedDate> entries_;
};

class DateTranslator {
 public:
  // Translates `text` alone; "$Name" references are taken from the current time.
  explicit DateTranslator(std::string_view text);
  // Translates `text`, resolving "$Name" against `node`. `node` may be null and, when
  // not, must outlive the translator.
  DateTranslator(std::string_view text, const DateAttributeSource* node);
  DateTranslator(const DateTranslator&) = delete;
  DateTranslator& operator=(const DateTranslator&) = delete;
  virtual ~DateTranslator() = default;

  // Runs the recognisers once; later calls return the stored flag.
  virtual bool Translate();
  // The result (after translating); never when no recogniser set a time.
  virtual STime GetTime();
  virtual bool IsValid();
  virtual bool HasColon() const { return has_colon_; }
  virtual bool HasSlash() const { return has_slash_; }
  virtual bool IsNumber() const { return is_number_; }

  // The translated time when valid, otherwise now (to the minute).
  static STime For(std::string_view text);

  // The process-wide cache of locale-format parses.
  static DateTranslatorCache& cache();

  // The recognisers, in the order Translate tries them. Each reads text_ and, when it
  // applies, sets time_ (and valid_ where noted).
  virtual void PreliminaryScan();
  virtual bool IsNever() const;
  // Splits "$Name rest" into "$Name" (the longest run of letters and digits after
  // '$') and the rest. False when the text does not begin with '$'.
  virtual bool IsAttributeReference(std::string* name, std::string* rest) const;
  virtual void AttributeReference(const std::string& name, const std::string& rest);
  // Finds a leading "today", "now", "yesterday" or "tomorrow" (or capitalised); sets
  // the keyword in lower case and the text after it.
  virtual bool IsToday(std::string* keyword, std::string* rest) const;
  virtual void TodaysDate(const std::string& keyword, const std::string& rest);
  // 1 (Sunday) ... 7 for a leading weekday name, 0 for none; *rest gets the text
  // after the name.
  virtual int DayOfWeek(std::string* rest) const;
  virtual void Weekday(int day_of_week, const std::string& rest);
  // Each returns whether it applied; the validity is left in valid_.
  virtual bool ISO8601();
  virtual bool TryStringToDate();
  virtual void NumericDate();
  virtual bool AmericanDate();
  virtual bool MonthDayYear();
  virtual bool DayMonthYear();

  // Parses all of `text` with the locale's lenient parser of the given styles.
  virtual bool TryToConvert(const std::string& text, DateStyle date_style, DateStyle time_style,
                            CachedDate* out) const;
  // Reads a trailing "am"/"pm" word into fields->hour (nothing after a failed read).
  virtual void ReadAMorPM(DateTextReader& in, DateTimeRec* fields) const;

  // 1-12 for an English month name or its three-letter form (exact case), else 0.
  static int GetMonth(std::string_view word);
  // Two-digit years: 0-39 are 2000-2039, 40-99 are 1940-1999, negative years are
  // counted from 2000; 100 and above are kept.
  static int FixYear(int year);
  // True when `text` contains "min", "hour", "day", "week", "mon" or "year".
  static bool IsTimeModifier(std::string_view text);
  // base.Add(text).SetTime(text) of the trimmed text; base itself when it is empty.
  static STime CalculateDate(const STime& base, std::string_view text);
  static STime CalculateDate(const DateTimeRec& base, std::string_view text);

  // The same English names as STime's; they never follow the locale.
  static constexpr std::array<const char*, 7> weekdayLong = STime::weekdayLong;
  static constexpr std::array<const char*, 7> weekday = STime::weekday;
  static constexpr std::array<const char*, 12> monthsLong = STime::monthsLong;
  static constexpr std::array<const char*, 12> months = STime::months;

 protected:
  std::string text_;
  STime time_{int64_t{0}};
  bool valid_ = false;
  bool has_colon_ = false;
  bool has_slash_ = false;
  bool is_number_ = false;
  bool translated_ = false;
  const DateAttributeSource* node_ = nullptr;
  icu::Locale locale_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_DATE_TRANSLATOR_H_
