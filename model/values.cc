#include "model/values.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "foundation/error.h"
#include "model/number_text.h"
#include "model/transformer.h"

namespace fernweave {
namespace {

// The shared values, created on first use and destroyed with their last reference.
CountedStringValue* shared_empty = nullptr;
CountedLongValue* shared_longs[2] = {nullptr, nullptr};
CountedBooleanValue* shared_booleans[2] = {nullptr, nullptr};

// Numbers in order, NaN after every number and equal to itself, so sorting stays a
// strict weak order.
int CompareNumbers(double a, double b) {
  bool a_nan = std::isnan(a);
  bool b_nan = std::isnan(b);
  if (a_nan || b_nan) {
    return a_nan == b_nan ? 0 : (a_nan ? 1 : -1);
  }
  return a < b ? -1 : (a > b ? 1 : 0);
}

// Appends the decimal text of an integer, as std::to_string and a stream write it.
template <typename Integer>
void AppendDecimal(std::string* out, Integer n) {
  char buffer[24];
  const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, n);
  out->append(buffer, end);
}

int16_t ClampToInt16(int32_t n) {
  if (n < std::numeric_limits<int16_t>::min()) {
    return std::numeric_limits<int16_t>::min();
  }
  if (n > std::numeric_limits<int16_t>::max()) {
    return std::numeric_limits<int16_t>::max();
  }
  return static_cast<int16_t>(n);
}

}  // namespace

// Text values.

StringValue::StringValue(std::string_view text)
    : text_(text) {}

ValuePtr StringValue::CreateFor(std::string_view text) {
  if (text.empty()) {
    return CountedStringValue::Empty();
  }
  return ValuePtr(new StringValue(text));
}

// A copy keeps the text exactly, even when it looks like a tagged form ("Long[ 12 ]
// apples"): reading it again would change what the user wrote.
ValuePtr StringValue::Clone() const {
  return CreateFor(text_);
}

bool StringValue::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  out->append(text_);
  return false;
}

SRect StringValue::AsRect() const {
  return RectFromString(text_).value_or(SRect{});
}
int32_t StringValue::AsLong() const {
  return SaturateToInt32(AsDouble());
}
uint32_t StringValue::AsUnsignedLong() const {
  return SaturateToUint32(AsDouble());
}

bool StringValue::AsBoolean() const {
  return !(text_.empty() || text_ == "false" || text_ == "0");
}

double StringValue::AsDouble() const {
  double x = 0;
  ReadLeadingDouble(text_, &x);
  return x;
}

int StringValue::compare(const Value& other, const Transformer& transformer) const {
  if (const auto* text = dynamic_cast<const StringValue*>(&other)) {
    return transformer.Compare(text_, text->text_);
  }
  return transformer.Compare(text_, other.AsString());
}

CountedStringValue::CountedStringValue(std::string_view text) : StringValue(text) {}

CountedStringValue::~CountedStringValue() {
  if (shared_empty == this) {
    shared_empty = nullptr;
  }
}

ValuePtr CountedStringValue::Empty() {
  if (shared_empty == nullptr) {
    shared_empty = new CountedStringValue(std::string_view());
  }
  return shared_empty->Clone();
}

ValuePtr CountedStringValue::Share(std::string_view text) {
  return (new CountedStringValue(text))->Clone();
}

ValuePtr CountedStringValue::Clone() const {
  ++references_;
  return ValuePtr(this);
}

void CountedStringValue::Delete() const {
  Require(references_ > 0, "shared text released more often than taken");
  if (--references_ == 0) {
    delete this;
  }
}

// Integers.

ValuePtr LongValue::Clone() const {
  return Value::ForInt(value_);
}
std::string LongValue::AsString() const {
  return std::to_string(value_);
}
bool LongValue::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  AppendDecimal(out, value_);
  return true;
}
uint32_t LongValue::AsUnsignedLong() const {
  return value_ < 0 ? 0 : static_cast<uint32_t>(value_);
}

int LongValue::compare(const Value& other, const Transformer& /*transformer*/) const {
  return CompareNumbers(AsDouble(), other.AsDouble());
}

ValuePtr CountedLongValue::For(int32_t n) {
  Require(n == 0 || n == 1, "only 0 and 1 are shared");
  CountedLongValue*& shared = shared_longs[n];
  if (shared == nullptr) {
    shared = new CountedLongValue(n);
  }
  return shared->Clone();
}

CountedLongValue::~CountedLongValue() {
  for (CountedLongValue*& shared : shared_longs) {
    if (shared == this) {
      shared = nullptr;
    }
  }
}

ValuePtr CountedLongValue::Clone() const {
  ++references_;
  return ValuePtr(this);
}

void CountedLongValue::Delete() const {
  Require(references_ > 0, "shared number released more often than taken");
  if (--references_ == 0) {
    delete this;
  }
}

ValuePtr CountedBooleanValue::For(bool b) {
  CountedBooleanValue*& shared = shared_booleans[b ? 1 : 0];
  if (shared == nullptr) {
    shared = new CountedBooleanValue(b);
  }
  return shared->Clone();
}

bool CountedBooleanValue::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  out->append(value_ != 0 ? "true" : "false");
  return true;
}

CountedBooleanValue::~CountedBooleanValue() {
  for (CountedBooleanValue*& shared : shared_booleans) {
    if (shared == this) {
      shared = nullptr;
    }
  }
}

ValuePtr UnsignedValue::Clone() const {
  return ValuePtr(new UnsignedValue(value_));
}
std::string UnsignedValue::AsString() const {
  return std::to_string(value_);
}

bool UnsignedValue::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  AppendDecimal(out, value_);
  return true;
}

int UnsignedValue::compare(const Value& other, const Transformer& /*transformer*/) const {
  return CompareNumbers(AsDouble(), other.AsDouble());
}

// Real numbers.

ValuePtr DoubleValue::Clone() const {
  return ValuePtr(new DoubleValue(value_));
}
std::string DoubleValue::AsString() const {
  return FormatDouble(value_, 10);
}
std::string DoubleValue::AsShortString() const {
  return FormatDouble(value_, 6);
}
// The file keeps every bit of the number: six significant digits would save 1234567.5
// as 1234570.
std::string DoubleValue::AsXML() const {
  return FormatDoubleShortest(value_);
}

int DoubleValue::compare(const Value& other, const Transformer& /*transformer*/) const {
  return CompareNumbers(value_, other.AsDouble());
}

// Colours, files and rectangles.

// A copy is a text value with the same text (colour names and paths are text to the
// copy's new owner, which reads them again by its own attribute's type).
ValuePtr ColorValue::Clone() const {
  return StringValue::CreateFor(text_);
}

bool ColorValue::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  out->append(text_);
  return false;
}

bool ColorValue::AsBoolean() const {
  if (!color_.IsBlack()) {
    return true;
  }
  return !(text_.empty() || text_ == "black" || text_ == "Black" || text_ == "normal");
}

ValuePtr FileValue::Clone() const {
  return StringValue::CreateFor(path_);
}

bool FileValue::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  out->append(path_);
  return false;
}

RectValue::RectValue(const SRect& rect)
    : left_(ClampToInt16(rect.left)),
      top_(ClampToInt16(rect.top)),
      right_(ClampToInt16(rect.right)),
      bottom_(ClampToInt16(rect.bottom)) {}

ValuePtr RectValue::Clone() const {
  return ValuePtr(new RectValue(AsRect()));
}
std::string RectValue::AsString() const {
  return RectToString(AsRect());
}

// Keep in sync with RectToString.
bool RectValue::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  out->append("Rect[ ");
  AppendDecimal(out, left_);
  out->push_back(' ');
  AppendDecimal(out, top_);
  out->push_back(' ');
  AppendDecimal(out, right_);
  out->push_back(' ');
  AppendDecimal(out, bottom_);
  out->push_back(']');
  return true;
}

}  // namespace fernweave
