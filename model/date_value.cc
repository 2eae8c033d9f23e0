// Date values and the reading of dates from text.

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
  DateTranslator translator(text);
  return translator.IsValid() ? KeepInDateRange(translator.GetTime().GetNew()) : 0;
}

}  // namespace

DateValue::DateValue(std::string_view deferred_text)
    : deferred_(std::make_unique<const std::string>(deferred_text)) {}

int64_t DateValue::Resolve() const {
  if (!resolved_) {
    seconds_ = SecondsForText(*deferred_);
    resolved_ = true;
  }
  return seconds_;
}

ValuePtr DateValue::Clone() const {
  if (deferred_ == nullptr) {
    return ValuePtr(new DateValue(seconds_));
  }
  auto* copy = new DateValue(std::string_view(*deferred_));
  copy->seconds_ = seconds_;
  copy->resolved_ = resolved_;
  return ValuePtr(copy);
}

std::string DateValue::AsString() const {
  if (deferred_ != nullptr) {
    return "\"" + *deferred_ + "\"";
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
    return ValuePtr(new DateValue(inner));
  }
  return ValuePtr(new DateValue(SecondsForText(text)));
}

ValuePtr Value::ForToday() {
  return ForDate(STime());
}

}  // namespace fernweave
