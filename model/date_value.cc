// Date values and the reading of dates from text.

#include <string_view>

#include "foundation/date_translator.h"
#include "foundation/stime.h"
#include "model/transformer.h"
#include "model/value.h"
#include "model/values.h"

namespace fernweave {
namespace {

// The part between the first and the last double quote when the text has one, else
// the part inside enclosing parentheses; false when the text is neither form.
bool DeferredText(std::string_view text, std::string_view* inner) {
  size_t first = text.find('"');
  if (first != std::string_view::npos) {
    size_t last = text.rfind('"');
    *inner = last > first ? text.substr(first + 1, last - first - 1) : std::string_view();
    return true;
  }
  if (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
    *inner = text.substr(1, text.size() - 2);
    return true;
  }
  return false;
}

// The dates a value may hold: years 1 to 9999, the range that the file form, the
// reader of that form and the display forms all handle, so every date value survives a
// save and a load unchanged. A date outside it is never.
int64_t KeepInDateRange(int64_t seconds) {
  static const int64_t first = ClampedSecondsFromFields(1, 1, 1, 0, 0, 0);
  static const int64_t last = ClampedSecondsFromFields(9999, 12, 31, 23, 59, 59);
  return seconds < first || seconds > last ? 0 : seconds;
}

// Reads the form the file writer gives dates, "2024-05-31T11:33:20-04:00" (the zone
// may also be "Z" or absent), without the general date reader, which takes thousands of
// steps for it: the result is the reading the general reader gives that form, the wall
// clock as written with the zone ignored. False for any other text, which is then left
// to the general reader.
bool ReadFileFormDate(std::string_view text, int64_t* seconds) {
  if (text.size() != 19 && text.size() != 20 && text.size() != 25) {
    return false;
  }
  auto digits = [text](size_t at, size_t count, int16_t* out) {
    int value = 0;
    for (size_t i = at; i < at + count; ++i) {
      if (text[i] < '0' || text[i] > '9') {
        return false;
      }
      value = value * 10 + (text[i] - '0');
    }
    *out = static_cast<int16_t>(value);
    return true;
  };
  DateTimeRec fields;
  int16_t zone_hours = 0;
  int16_t zone_minutes = 0;
  if (!digits(0, 4, &fields.year) || text[4] != '-' || !digits(5, 2, &fields.month) ||
      text[7] != '-' || !digits(8, 2, &fields.day) || text[10] != 'T' ||
      !digits(11, 2, &fields.hour) || text[13] != ':' || !digits(14, 2, &fields.minute) ||
      text[16] != ':' || !digits(17, 2, &fields.second)) {
    return false;
  }
  if (text.size() == 20 && text[19] != 'Z') {
    return false;
  }
  if (text.size() == 25 && ((text[19] != '+' && text[19] != '-') || !digits(20, 2, &zone_hours) ||
                            text[22] != ':' || !digits(23, 2, &zone_minutes))) {
    return false;
  }
  // Out-of-range months and days take the general reader's other paths.
  if (fields.month < 1 || fields.month > 12 || fields.day < 1 || fields.day > 31) {
    return false;
  }
  *seconds = KeepInDateRange(STime(fields).GetNew());
  return true;
}

// The seconds count a date text stands for, 0 (never) when it is not a date. Quotes
// and parentheses are peeled off first; each step shortens the text, so nesting of any
// depth ends.
int64_t SecondsForText(std::string_view text) {
  while (true) {
    if (text.empty() || text == STime::never) {
      return 0;
    }
    std::string_view inner;
    if (!DeferredText(text, &inner)) {
      break;
    }
    text = inner;
  }
  if (int64_t seconds = 0; ReadFileFormDate(text, &seconds)) {
    return seconds;
  }
  DateTranslator translator(text);
  return translator.IsValid() ? KeepInDateRange(translator.GetTime().GetNew()) : 0;
}

}  // namespace

int64_t DateValue::Resolve() const {
  if (seconds_ == kUnresolved) {
    seconds_ = SecondsForText(*DeferredText());
  }
  return seconds_;
}

ValuePtr DateValue::Clone() const {
  return ValuePtr(new DateValue(seconds_));
}

ValuePtr DeferredDateValue::Clone() const {
  auto* copy = new DeferredDateValue(text_);
  copy->seconds_ = seconds_;
  return ValuePtr(copy);
}

std::string DateValue::AsString() const {
  if (const std::string* text = DeferredText()) {
    return "\"" + *text + "\"";
  }
  return STime(seconds_).AsString();
}

std::string DateValue::AsXML() const {
  int64_t seconds = Resolve();
  if (seconds == 0) {
    return std::string(STime::never);
  }
  return STime(seconds).ISO8601DateString();
}

bool DateValue::AppendXML(std::string* out, ZoneOffsetCache* offsets) const {
  int64_t seconds = Resolve();
  if (seconds == 0) {
    out->append(STime::never);
  } else {
    STime(seconds).AppendISO8601DateString(out, offsets);
  }
  return true;
}

std::string DateValue::AsExportString(std::string_view format,
                                      const Hypertext* /*hypertext*/) const {
  return STime(Resolve()).AsExportString(format);
}

int DateValue::compare(const Value& other, const Transformer& /*transformer*/) const {
  int64_t a = Resolve();
  int64_t b = other.AsDate();
  if (a == b) {
    return 0;
  }
  // Never sorts after every real date.
  if (a == 0) {
    return 1;
  }
  if (b == 0) {
    return -1;
  }
  return a < b ? -1 : 1;
}

STime Value::AsTime() const {
  return STime(AsDate());
}

// A text value names a date the way a typed date does ("2009-05-03", "tomorrow").
int64_t StringValue::AsDate() const {
  return SecondsForText(text());
}

ValuePtr Value::ForDate(const STime& time) {
  return ValuePtr(new DateValue(KeepInDateRange(time.GetNew())));
}

ValuePtr Value::ForDate(int64_t seconds) {
  return ValuePtr(new DateValue(KeepInDateRange(seconds)));
}

ValuePtr Value::ForDate(std::string_view text) {
  if (text.empty() || text == STime::never) {
    return ValuePtr(new DateValue(int64_t{0}));
  }
  std::string_view inner;
  if (DeferredText(text, &inner)) {
    return ValuePtr(new DeferredDateValue(inner));
  }
  return ValuePtr(new DateValue(SecondsForText(text)));
}

ValuePtr Value::ForToday() {
  return ForDate(STime());
}

}  // namespace fernweave
