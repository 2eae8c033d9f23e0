// The locale's date formats, through ICU. An STime is a wall-clock reading with no
// zone, so every formatter and parser made here works in the GMT zone on the proleptic
// Gregorian calendar: an STime's count maps to an ICU date as
// (seconds - kSecondsFrom1904To1970) * 1000 and back, and neither formatting nor
// parsing ever depends on the process's zone.

#ifndef FERNWEAVE_FOUNDATION_LOCALE_DATES_H_
#define FERNWEAVE_FOUNDATION_LOCALE_DATES_H_

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include <unicode/uversion.h>

#include "foundation/stime.h"

U_NAMESPACE_BEGIN
class Calendar;
class DateFormat;
class Locale;
U_NAMESPACE_END

namespace fernweave {

// A new formatter of the locale's date and time styles in the GMT zone, lenient when
// asked. Returns null when ICU cannot make one (for example both styles kNone).
std::unique_ptr<icu::DateFormat> MakeLocaleDateFormat(DateStyle date_style, DateStyle time_style,
                                                      const icu::Locale& locale, bool lenient);

// A lenient parser of one of the locale's formats: loose spacing, missing punctuation
// and numeric months are accepted, fields out of range (month 13, 30 February) are
// not. Not thread-safe: callers serialise its use.
class LocaleDateParser {
 public:
  // Null when the locale has no format of these styles.
  static std::unique_ptr<LocaleDateParser> Make(DateStyle date_style, DateStyle time_style,
                                                const icu::Locale& locale);
  ~LocaleDateParser();

  // The STime count of `text` (UTF-8) when all of it parses; fields the format lacks
  // are 0. nullopt otherwise.
  std::optional<int64_t> Parse(const std::string& text);

 private:
  LocaleDateParser(std::unique_ptr<icu::DateFormat> format,
                   std::unique_ptr<icu::Calendar> calendar);

  std::unique_ptr<icu::DateFormat> format_;
  std::unique_ptr<icu::Calendar> calendar_;
};

// `seconds` written in the default locale's format of the given styles; "" when the
// locale has no such format. Thread-safe: formatters are cached per locale and style
// and used under a lock.
std::string FormatLocaleDate(int64_t seconds, DateStyle date_style, DateStyle time_style);

// The ICU date of an STime count.
double UDateFromSeconds(int64_t seconds);

// The STime count (whole seconds, rounded down) of an ICU date; nullopt when it is not
// a number or lies outside [STime::kEarliest, STime::kLatest].
std::optional<int64_t> SecondsFromUDate(double udate);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_LOCALE_DATES_H_
