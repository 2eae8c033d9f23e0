#include "foundation/locale_dates.h"

#include <cmath>
#include <map>
#include <mutex>
#include <utility>

#include <unicode/datefmt.h>
#include <unicode/gregocal.h>
#include <unicode/locid.h>
#include <unicode/parsepos.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>
#include <unicode/unistr.h>

#include "foundation/calendar.h"
#include "foundation/clock.h"
#include "foundation/stime.h"

namespace fernweave {
namespace {

icu::DateFormat::EStyle IcuStyle(DateStyle style) {
  switch (style) {
    case DateStyle::kShort:
      return icu::DateFormat::kShort;
    case DateStyle::kMedium:
      return icu::DateFormat::kMedium;
    case DateStyle::kLong:
      return icu::DateFormat::kLong;
    case DateStyle::kFull:
      return icu::DateFormat::kFull;
    case DateStyle::kNone:
      break;
  }
  return icu::DateFormat::kNone;
}

// Display formatters made so far, by locale name and style pair.
struct DisplayFormatters {
  std::mutex mutex;
  std::map<std::pair<std::string, int>, std::unique_ptr<icu::DateFormat>> formats;
};

DisplayFormatters& Displays() {
  static DisplayFormatters* displays = new DisplayFormatters;
  return *displays;
}

}  // namespace

std::unique_ptr<icu::DateFormat> MakeLocaleDateFormat(DateStyle date_style, DateStyle time_style,
                                                      const icu::Locale& locale, bool lenient) {
  if (date_style == DateStyle::kNone && time_style == DateStyle::kNone) {
    return nullptr;
  }
  std::unique_ptr<icu::DateFormat> format(
      icu::DateFormat::createDateTimeInstance(IcuStyle(date_style), IcuStyle(time_style), locale));
  if (format == nullptr) {
    return nullptr;
  }
  // STime counts in the proleptic Gregorian calendar, so ICU must not switch to the
  // Julian calendar for dates before 1582. Locales with other calendars keep theirs.
  if (const auto* gregorian = dynamic_cast<const icu::GregorianCalendar*>(format->getCalendar())) {
    std::unique_ptr<icu::GregorianCalendar> calendar(gregorian->clone());
    UErrorCode status = U_ZERO_ERROR;
    calendar->setGregorianChange(U_DATE_MIN, status);
    if (U_SUCCESS(status)) {
      format->adoptCalendar(calendar.release());
    }
  }
  format->adoptTimeZone(icu::TimeZone::createTimeZone("GMT"));
  format->setLenient(lenient);
  return format;
}

std::string FormatLocaleDate(int64_t seconds, DateStyle date_style, DateStyle time_style) {
  const icu::Locale& locale = icu::Locale::getDefault();
  DisplayFormatters& displays = Displays();
  std::lock_guard<std::mutex> lock(displays.mutex);
  std::unique_ptr<icu::DateFormat>& format = displays.formats[{
      locale.getName(), static_cast<int>(date_style) * 100 + static_cast<int>(time_style)}];
  if (format == nullptr) {
    format = MakeLocaleDateFormat(date_style, time_style, locale, false);
    if (format == nullptr) {
      return "";
    }
  }
  icu::UnicodeString text;
  format->format(UDateFromSeconds(seconds), text);
  std::string out;
  text.toUTF8String(out);
  return out;
}

LocaleDateParser::LocaleDateParser(std::unique_ptr<icu::DateFormat> format,
                                   std::unique_ptr<icu::Calendar> calendar)
    : format_(std::move(format)), calendar_(std::move(calendar)) {}

LocaleDateParser::~LocaleDateParser() = default;

std::unique_ptr<LocaleDateParser> LocaleDateParser::Make(DateStyle date_style, DateStyle time_style,
                                                         const icu::Locale& locale) {
  std::unique_ptr<icu::DateFormat> format =
      MakeLocaleDateFormat(date_style, time_style, locale, /*lenient=*/true);
  if (format == nullptr) {
    return nullptr;
  }
  // The format stays lenient about how the text is written (spacing, missing commas,
  // numeric months); the fields are set on a strict copy of its calendar, so a text
  // that names month 13 or 30 February is refused instead of rolled over.
  std::unique_ptr<icu::Calendar> calendar(format->getCalendar()->clone());
  if (calendar == nullptr) {
    return nullptr;
  }
  calendar->setLenient(false);
  return std::unique_ptr<LocaleDateParser>(
      new LocaleDateParser(std::move(format), std::move(calendar)));
}

std::optional<int64_t> LocaleDateParser::Parse(const std::string& text) {
  const icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(text);
  // Two-digit years fall in the hundred years starting 80 years before "now", and
  // "now" is the clock's (pinned or real), so a pinned run reads them the same way
  // whenever it runs.
  if (auto* simple = dynamic_cast<icu::SimpleDateFormat*>(format_.get())) {
    DateTimeRec start = STime(NowLocalSeconds()).GetDateTimeRec();
    start.year = static_cast<int16_t>(start.year - 80);
    UErrorCode status = U_ZERO_ERROR;
    simple->set2DigitYearStart(UDateFromSeconds(STime(start).GetNew()), status);
  }
  icu::ParsePosition position(0);
  calendar_->clear();
  calendar_->setTimeZone(*icu::TimeZone::getGMT());
  format_->parse(unicode, *calendar_, position);
  if (position.getErrorIndex() >= 0 || position.getIndex() != unicode.length()) {
    return std::nullopt;
  }
  // A zone typed with the time ("5:30 PM EDT") does not move it: the hour and minute
  // typed stand as local wall-clock time, as with the ISO zone suffixes. Parsing may
  // have given the calendar the zone or its offsets; both go before the time is read.
  calendar_->setTimeZone(*icu::TimeZone::getGMT());
  calendar_->clear(UCAL_ZONE_OFFSET);
  calendar_->clear(UCAL_DST_OFFSET);
  UErrorCode status = U_ZERO_ERROR;
  const UDate udate = calendar_->getTime(status);
  if (U_FAILURE(status)) {
    return std::nullopt;
  }
  return SecondsFromUDate(udate);
}

double UDateFromSeconds(int64_t seconds) {
  return static_cast<double>(seconds - kSecondsFrom1904To1970) * 1000.0;
}

std::optional<int64_t> SecondsFromUDate(double udate) {
  if (!std::isfinite(udate)) {
    return std::nullopt;
  }
  const double seconds = std::floor(udate / 1000.0) + static_cast<double>(kSecondsFrom1904To1970);
  if (seconds < static_cast<double>(STime::kEarliest) ||
      seconds > static_cast<double>(STime::kLatest)) {
    return std::nullopt;
  }
  return static_cast<int64_t>(seconds);
}

}  // namespace fernweave
