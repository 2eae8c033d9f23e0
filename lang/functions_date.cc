// Dates: date, day, month, year, time, days, minutes and between.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <string>

#include "foundation/stime.h"
#include "lang/functions.h"
#include "model/node.h"

namespace fernweave {

namespace {

// A calendar field read from text, bounded so that any combination of fields can be
// carried into a date without overflow (the date itself then saturates at the ends of
// the range dates hold).
int64_t Field(const std::string& text) {
  const double x = LeadingNumber(text);
  if (std::isnan(x)) {
    return 0;
  }
  return static_cast<int64_t>(std::clamp(x, -1e9, 1e9));
}

std::string ShortForm(int64_t year, int64_t month, int64_t day, int64_t hour, int64_t minute,
                      int64_t second) {
  const int64_t seconds = ClampedSecondsFromFields(year, month, day, hour, minute, second);
  // The one count that means "never" is nudged a second, so that a computed date is
  // never mistaken for no date.
  return STime(seconds == 0 ? 1 : seconds).AsShortString();
}

// The text read as a date; false when it is not one.
bool ReadDateText(const std::string& text, STime* date) {
  if (!IsDateText(text)) {
    return false;
  }
  *date = ReadDate(text);
  return !date->IsNever();
}

class AADateFunction : public AAFunction {
 public:
  explicit AADateFunction(FunctionCall call, int type)
      : AAFunction(std::move(call), type) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    const std::string& f = canonical();
    if (f == "date") {
      return MakeDate(node, args);
    }
    if (f == "days" || f == "minutes") {
      STime from;
      STime to;
      if (!ReadDateText(ArgumentText(0, node, args), &from) ||
          !ReadDateText(ArgumentText(1, node, args), &to)) {
        return std::string();
      }
      const double span = f == "days" ? to.DaysSince(from) : to.MinutesSince(from);
      return std::to_string(static_cast<int64_t>(std::trunc(span)));
    }
    if (f == "between") {
      return Between(node, args);
    }
    STime date;
    if (!ReadDateText(ArgumentText(0, node, args), &date)) {
      return std::string();
    }
    const DateTimeRec r = date.GetDateTimeRec();
    if (f == "time") {
      return Time(node, args, r);
    }
    int64_t fields[3] = {r.year, r.month, r.day};
    const int which = f == "year" ? 0 : f == "month" ? 1 : 2;
    if (ArgumentCount() < 2) {
      return std::to_string(fields[which]);
    }
    fields[which] = Field(ArgumentText(1, node, args));
    return ShortForm(fields[0], fields[1], fields[2], r.hour, r.minute, r.second);
  }

 private:
  std::string MakeDate(Node* node, Captures& args) {
    if (ArgumentCount() == 1) {
      STime date;
      return ReadDateText(ArgumentText(0, node, args), &date) ? date.AsShortString()
                                                              : std::string();
    }
    return ShortForm(Field(ArgumentText(0, node, args)), Field(ArgumentText(1, node, args)),
                     Field(ArgumentText(2, node, args)), Field(ArgumentText(3, node, args)),
                     Field(ArgumentText(4, node, args)), 0);
  }

  // time(date): "9:05"; time(date, "9:30"): hour, one separator, minute; time(date, 9,
  // 30): the numbers.
  std::string Time(Node* node, Captures& args, const DateTimeRec& r) {
    const size_t n = ArgumentCount();
    if (n < 2) {
      char text[16];
      std::snprintf(text, sizeof text, "%d:%02d", r.hour, r.minute);
      return text;
    }
    int64_t hour;
    int64_t minute;
    if (n == 2) {
      const std::string text = ArgumentText(1, node, args);
      size_t i = 0;
      while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
      }
      while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])) != 0) {
        ++i;
      }
      hour = Field(text.substr(0, i));
      minute = i < text.size() ? Field(text.substr(i + 1)) : 0;
    } else {
      hour = Field(ArgumentText(1, node, args));
      minute = Field(ArgumentText(2, node, args));
    }
    return ShortForm(r.year, r.month, r.day, hour, minute, r.second);
  }

  std::string Between(Node* node, Captures& args) {
    if (node->IsHidden() || node->IsRootNote() || ArgumentCount() < 3) {
      return std::string();
    }
    AAValue* value = Argument(0);
    const std::string text = value->Get(node, args);
    const std::string low = ArgumentText(1, node, args);
    const std::string high = ArgumentText(2, node, args);
    const int type = value->AttributeType(node);
    double x;
    if (type == kTypeDate || ((type == kTypeUnknown || type == kTypeString) &&
                              !ReadWholeNumber(text, &x) && IsDateText(text))) {
      const int64_t v = ReadDate(text).GetNew();
      return LogicalResult(ReadDate(low).GetNew() <= v && v <= ReadDate(high).GetNew()
                               ? "true"
                               : "")
          .ToString();
    }
    if (IsNumericType(type) || ReadWholeNumber(text, &x)) {
      const double v = LeadingNumber(text);
      return LogicalResult(LeadingNumber(low) <= v && v <= LeadingNumber(high) ? "true" : "")
          .ToString();
    }
    // Text is compared byte-wise, as the comparison operators compare it.
    return LogicalResult(low <= text && text <= high ? "true" : "").ToString();
  }
};

}  // namespace

std::unique_ptr<AAValue> MakeDateFunction(FunctionCall call) {
  const std::string& f = call.canonical;
  int type = kTypeDate;
  if (f == "between") {
    type = kTypeBoolean;
  } else if (f == "days" || f == "minutes") {
    type = kTypeNumber;
  } else {
    size_t n = 0;
    for (const AAValue* v = call.arguments.get(); v != nullptr; v = v->GetNextValue()) {
      ++n;
    }
    // One argument reads a component (a number, or for time a time of day); more
    // arguments make a date.
    if (n < 2 && f != "date") {
      type = f == "time" ? kTypeUnknown : kTypeNumber;
    }
  }
  return std::make_unique<AADateFunction>(std::move(call), type);
}

}  // namespace fernweave
