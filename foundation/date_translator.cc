#include "foundation/date_translator.h"

#include <charconv>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

#include "foundation/calendar.h"
#include "foundation/date_text_reader.h"
#include "foundation/locale_dates.h"

namespace fernweave {
namespace {

// Guards the translator cache and the locale parsers. A parser changes its calendar
// while parsing, so it is used only while this is held.
std::mutex& CachesMutex() {
  static std::mutex* mutex = new std::mutex;
  return *mutex;
}

// Lenient locale parsers by locale name and dateStyle * 100 + timeStyle.
using ParserMap = std::map<std::pair<std::string, int>, std::unique_ptr<LocaleDateParser>>;

// REQUIRES: CachesMutex() held.
ParserMap& Formatters() {
  static ParserMap* formatters = new ParserMap;
  return *formatters;
}

// The parser of the given styles for `locale`, made on first use; null when the
// locale has none. REQUIRES: CachesMutex() held while it is made and used.
LocaleDateParser* GetFormatter(const icu::Locale& locale, DateStyle date_style,
                               DateStyle time_style) {
  const int key = static_cast<int>(date_style) * 100 + static_cast<int>(time_style);
  std::unique_ptr<LocaleDateParser>& parser = Formatters()[{locale.getName(), key}];
  if (parser == nullptr) {
    parser = LocaleDateParser::Make(date_style, time_style, locale);
  }
  return parser.get();
}

// The style pairs the locale parser tries, in order: the most specific forms a user
// types first, date-only forms after the forms with a time of day.
constexpr std::pair<DateStyle, DateStyle> kStylePairs[] = {
    {DateStyle::kShort, DateStyle::kShort},   {DateStyle::kShort, DateStyle::kNone},
    {DateStyle::kLong, DateStyle::kLong},     {DateStyle::kLong, DateStyle::kMedium},
    {DateStyle::kLong, DateStyle::kShort},    {DateStyle::kLong, DateStyle::kNone},
    {DateStyle::kMedium, DateStyle::kMedium}, {DateStyle::kMedium, DateStyle::kNone},
};

// Now, to the minute, as calendar fields.
DateTimeRec NowFields() {
  return STime().GetDateTimeRec();
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsDateSpace(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsDateSpace(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// The position of the relative tail: the last '+', or else the last '-'.
size_t TailStart(std::string_view text) {
  const size_t plus = text.rfind('+');
  return plus != std::string_view::npos ? plus : text.rfind('-');
}

// `date` with the current hour and minute and second 0 when it was parsed from a text
// that had no time of day.
STime WithTimeOfDay(const CachedDate& date) {
  if (!date.date_only) {
    return date.time;
  }
  const DateTimeRec now = NowFields();
  return date.time.SetTime(now.hour, now.minute);
}

}  // namespace

void DateTranslatorCache::Add(const std::string& text, const CachedDate& date) {
  std::lock_guard<std::mutex> lock(CachesMutex());
  if (entries_.size() > kMaxEntries) {
    entries_.clear();
  }
  entries_[text] = date;
}

bool DateTranslatorCache::Has(const std::string& text) const {
  std::lock_guard<std::mutex> lock(CachesMutex());
  return entries_.count(text) != 0;
}

bool DateTranslatorCache::Get(const std::string& text, CachedDate* out) const {
  std::lock_guard<std::mutex> lock(CachesMutex());
  auto it = entries_.find(text);
  if (it == entries_.end()) {
    return false;
  }
  *out = it->second;
  return true;
}

size_t DateTranslatorCache::size() const {
  std::lock_guard<std::mutex> lock(CachesMutex());
  return entries_.size();
}

void DateTranslatorCache::Clear() {
  std::lock_guard<std::mutex> lock(CachesMutex());
  entries_.clear();
}

DateTranslatorCache& DateTranslator::cache() {
  static DateTranslatorCache* cache = new DateTranslatorCache;
  return *cache;
}

DateTranslator::DateTranslator(std::string_view text) : DateTranslator(text, nullptr) {}

DateTranslator::DateTranslator(std::string_view text, const DateAttributeSource* node)
    : text_(text), node_(node), locale_(icu::Locale::getDefault()) {}

bool DateTranslator::Translate() {
  if (translated_) {
    return valid_;
  }
  translated_ = true;
  PreliminaryScan();

  std::string name;
  std::string rest;
  if (IsNever()) {
    time_ = STime(int64_t{0});
    valid_ = true;
  } else if (IsAttributeReference(&name, &rest)) {
    AttributeReference(name, rest);
    valid_ = true;
  } else if (IsToday(&name, &rest)) {
    TodaysDate(name, rest);
    valid_ = true;
  } else if (const int day = DayOfWeek(&rest); day != 0) {
    Weekday(day, rest);
    valid_ = true;
  } else if (ISO8601()) {
    // valid_ holds the recogniser's verdict.
  } else if (TryStringToDate()) {
    valid_ = true;
  } else if (is_number_) {
    NumericDate();
    valid_ = true;
  } else if (has_slash_) {
    AmericanDate();
  } else if (!MonthDayYear()) {
    DayMonthYear();
  }
  return valid_;
}

STime DateTranslator::GetTime() {
  Translate();
  return time_;
}

bool DateTranslator::IsValid() {
  return Translate();
}

STime DateTranslator::For(std::string_view text) {
  DateTranslator translator(text);
  return translator.IsValid() ? translator.GetTime() : STime();
}

void DateTranslator::PreliminaryScan() {
  has_colon_ = text_.find(':') != std::string::npos;
  has_slash_ = text_.find('/') != std::string::npos;
  is_number_ = true;
  int points = 0;
  for (const char c : text_) {
    if (c == '.') {
      ++points;
    } else if (!IsDateSpace(c) && !IsDateDigit(c)) {
      is_number_ = false;
    }
  }
  if (points > 1) {
    is_number_ = false;
  }
}

bool DateTranslator::IsNever() const {
  return StartsWith(text_, "never") || StartsWith(text_, "Never");
}

bool DateTranslator::IsAttributeReference(std::string* name, std::string* rest) const {
  if (!StartsWith(text_, "$")) {
    return false;
  }
  size_t end = 1;
  while (end < text_.size() && (IsDateLetter(text_[end]) || IsDateDigit(text_[end]))) {
    ++end;
  }
  *name = text_.substr(0, end);
  *rest = text_.substr(end);
  return true;
}

void DateTranslator::AttributeReference(const std::string& name, const std::string& rest) {
  STime base;
  if (node_ != nullptr) {
    // The attribute's own text is read without the note, so a reference to a
    // reference ends there instead of recursing.
    base = DateTranslator(node_->GetAttributeText(name.substr(1))).GetTime();
  }
  time_ = CalculateDate(base, rest);
}

bool DateTranslator::IsToday(std::string* keyword, std::string* rest) const {
  static constexpr std::pair<const char*, const char*> kKeywords[] = {
      {"today", "Today"}, {"now", "Now"}, {"yesterday", "Yesterday"}, {"tomorrow", "Tomorrow"}};
  for (const auto& [lower, upper] : kKeywords) {
    if (StartsWith(text_, lower) || StartsWith(text_, upper)) {
      *keyword = lower;
      *rest = text_.substr(std::string_view(lower).size());
      return true;
    }
  }
  return false;
}

void DateTranslator::TodaysDate(const std::string& keyword, const std::string& rest) {
  DateTimeRec fields = NowFields();
  if (keyword == "tomorrow") {
    ++fields.day;
  } else if (keyword == "yesterday") {
    --fields.day;
  }
  time_ = CalculateDate(fields, rest);
}

int DateTranslator::DayOfWeek(std::string* rest) const {
  if (text_.empty()) {
    return 0;
  }
  std::string upper = text_;
  if (upper[0] >= 'a' && upper[0] <= 'z') {
    upper[0] = static_cast<char>(upper[0] - 'a' + 'A');
  }
  for (int i = 0; i < 7; ++i) {
    const std::string_view full = weekdayLong[i];
    if (StartsWith(upper, full)) {
      *rest = text_.substr(full.size());
      return i + 1;
    }
    // A three-letter name must stand alone, so "Month" and "Sunny" are not weekdays.
    if (StartsWith(upper, weekday[i]) &&
        (text_.size() == 3 || IsDateSpace(text_[3]) || text_[3] == '.')) {
      *rest = text_.substr(3);
      return i + 1;
    }
  }
  return 0;
}

void DateTranslator::Weekday(int day_of_week, const std::string& rest) {
  DateTimeRec fields = NowFields();
  const int today = fields.day_of_week;
  // Always a day strictly after today: today's own name means a week ahead.
  fields.day = static_cast<int16_t>(
      fields.day + (day_of_week > today ? day_of_week - today : day_of_week - today + 7));
  time_ = CalculateDate(fields, rest);
}

bool DateTranslator::ISO8601() {
  if (text_.empty() || !IsDateDigit(text_[0])) {
    return false;
  }
  DateTextReader in(text_);
  DateTimeRec fields;
  char c = 0;
  in.Read(&fields.year);
  if (!in.ReadChar(&c) || c != '-') {
    return false;
  }
  in.Read(&fields.month);
  if (!in.ReadChar(&c) || c != '-' || fields.month < 1 || fields.month > 12) {
    return false;
  }
  in.Read(&fields.day);
  if (in.Peek() == 'T') {
    in.Skip();
  }
  in.Read(&fields.hour);
  in.ReadChar(&c);
  in.Read(&fields.minute);
  if (in.Peek() == ':') {
    in.Skip();
    in.Read(&fields.second);
  }
  // Any zone suffix is ignored: the wall-clock reading stands as local time.
  time_ = STime(fields);
  valid_ = fields.day >= 1 && fields.day <= 31;
  return true;
}

bool DateTranslator::TryStringToDate() {
  std::string_view whole = text_;
  std::string_view rest;
  std::string s(whole);
  if (const size_t tail = TailStart(whole); tail != std::string_view::npos) {
    rest = whole.substr(tail);
    s = std::string(whole.substr(0, tail));
  }
  if (IsTimeModifier(s)) {
    return false;
  }
  if (!IsTimeModifier(rest)) {
    s = text_;
    rest = {};
  }
  s = std::string(Trim(s));
  if (s.empty()) {
    return false;
  }
  CachedDate date;
  if (!cache().Get(s, &date)) {
    bool parsed = false;
    for (const auto& [date_style, time_style] : kStylePairs) {
      if (TryToConvert(s, date_style, time_style, &date)) {
        parsed = true;
        break;
      }
    }
    if (!parsed) {
      return false;
    }
    cache().Add(s, date);
  }
  time_ = CalculateDate(WithTimeOfDay(date), rest);
  return true;
}

bool DateTranslator::TryToConvert(const std::string& text, DateStyle date_style,
                                  DateStyle time_style, CachedDate* out) const {
  std::optional<int64_t> seconds;
  {
    std::lock_guard<std::mutex> lock(CachesMutex());
    LocaleDateParser* parser = GetFormatter(locale_, date_style, time_style);
    if (parser == nullptr) {
      return false;
    }
    seconds = parser->Parse(text);
  }
  if (!seconds) {
    return false;
  }
  const CivilDateTime parsed = FieldsFromSeconds(*seconds);
  LongDateRec fields;
  fields.year = static_cast<int16_t>(parsed.year);
  fields.month = static_cast<int16_t>(parsed.month);
  fields.day = static_cast<int16_t>(parsed.day);
  if (time_style == DateStyle::kNone) {
    const DateTimeRec now = NowFields();
    fields.hour = now.hour;
    fields.minute = now.minute;
  } else {
    fields.hour = static_cast<int16_t>(parsed.hour);
    fields.minute = static_cast<int16_t>(parsed.minute);
    fields.second = static_cast<int16_t>(parsed.second);
  }
  out->time = STime(fields);
  out->date_only = time_style == DateStyle::kNone;
  return true;
}

void DateTranslator::NumericDate() {
  std::string_view digits = Trim(text_);
  double value = 0;
  const std::from_chars_result read =
      std::from_chars(digits.data(), digits.data() + digits.size(), value);
  // Numbers past the date range, even past what a double holds, stop at its end.
  if (read.ec == std::errc::result_out_of_range || !(value < static_cast<double>(STime::kLatest))) {
    time_ = STime(STime::kLatest);
  } else {
    time_ = STime(static_cast<int64_t>(std::trunc(value)));
  }
}

bool DateTranslator::AmericanDate() {
  DateTimeRec fields = NowFields();
  DateTextReader in(text_);
  char separator = 0;
  in.Read(&fields.month);
  in.ReadChar(&separator);
  in.Read(&fields.day);
  in.ReadChar(&separator);
  in.Read(&fields.year);
  in.Read(&fields.hour);
  in.ReadChar(&separator);
  in.Read(&fields.minute);
  if (in.Peek() == ':') {
    in.ReadChar(&separator);
    in.Read(&fields.second);
  }
  ReadAMorPM(in, &fields);
  fields.year = static_cast<int16_t>(FixYear(fields.year));
  time_ = STime(fields);
  // Day 0 is allowed: it is the last day of the month before.
  valid_ = fields.month >= 1 && fields.month <= 12 && fields.day >= 0 && fields.day <= 31;
  return true;
}

bool DateTranslator::MonthDayYear() {
  if (text_.empty() || !IsDateLetter(text_[0])) {
    return false;
  }
  DateTimeRec fields = NowFields();
  DateTextReader in(text_);
  std::string word;
  char separator = 0;
  in.ReadWord(&word);
  in.Read(&fields.day);
  if (in.Peek() == ',') {
    in.Skip();
  }
  in.Read(&fields.year);
  in.Read(&fields.hour);
  in.ReadChar(&separator);
  in.Read(&fields.minute);
  if (in.Peek() == ':') {
    in.Skip();
    in.Read(&fields.second);
  }
  ReadAMorPM(in, &fields);
  fields.month = static_cast<int16_t>(GetMonth(word));
  fields.year = static_cast<int16_t>(FixYear(fields.year));
  time_ = STime(fields);
  valid_ = fields.month >= 1 && fields.month <= 12 && fields.day >= 1 && fields.day <= 31;
  return true;
}

bool DateTranslator::DayMonthYear() {
  if (text_.empty() || !IsDateDigit(text_[0])) {
    return false;
  }
  DateTimeRec fields = NowFields();
  DateTextReader in(text_);
  std::string word;
  in.Read(&fields.day);
  in.ReadWord(&word);
  in.Read(&fields.year);
  // Two numbers joined by one character are a time of day only when it is a colon;
  // "3 May 2009 +2 days" reads 2 and 'd' here and keeps the current time.
  int16_t hour = fields.hour;
  int16_t minute = fields.minute;
  char separator = 0;
  in.Read(&hour);
  in.ReadChar(&separator);
  in.Read(&minute);
  if (separator == ':') {
    fields.hour = hour;
    fields.minute = minute;
  }
  if (in.Peek() == ':') {
    in.Skip();
    in.Read(&fields.second);
  }
  ReadAMorPM(in, &fields);
  fields.month = static_cast<int16_t>(GetMonth(word));
  fields.year = static_cast<int16_t>(FixYear(fields.year));
  time_ = STime(fields);
  valid_ = fields.month >= 1 && fields.month <= 12 && fields.day >= 1 && fields.day <= 31;
  if (const size_t tail = TailStart(text_); tail != std::string::npos) {
    time_ = CalculateDate(time_, std::string_view(text_).substr(tail));
  }
  return true;
}

void DateTranslator::ReadAMorPM(DateTextReader& in, DateTimeRec* fields) const {
  if (in.failed()) {
    return;
  }
  std::string word;
  if (!in.ReadWord(&word) || word.empty()) {
    return;
  }
  const bool pm = word.find("pm") != std::string::npos || word.find("PM") != std::string::npos;
  const bool am = word.find("am") != std::string::npos || word.find("AM") != std::string::npos;
  if (fields->hour < 12 && pm) {
    fields->hour = static_cast<int16_t>(fields->hour + 12);
  } else if (fields->hour == 12 && am) {
    fields->hour = 0;
  }
}

int DateTranslator::GetMonth(std::string_view word) {
  for (int i = 0; i < 12; ++i) {
    if (word == monthsLong[i] || word == months[i]) {
      return i + 1;
    }
  }
  return 0;
}

int DateTranslator::FixYear(int year) {
  if (year < 0) {
    return year + 2000;
  }
  if (year < 40) {
    return year + 2000;
  }
  if (year < 100) {
    return year + 1900;
  }
  return year;
}

bool DateTranslator::IsTimeModifier(std::string_view text) {
  for (const char* unit : {"min", "hour", "day", "week", "mon", "year"}) {
    if (text.find(unit) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

STime DateTranslator::CalculateDate(const STime& base, std::string_view text) {
  const std::string_view trimmed = Trim(text);
  if (trimmed.empty()) {
    return base;
  }
  return base.Add(trimmed).SetTime(trimmed);
}

STime DateTranslator::CalculateDate(const DateTimeRec& base, std::string_view text) {
  return CalculateDate(STime(base), text);
}

}  // namespace fernweave
