#include "model/value.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "foundation/error.h"
#include "model/number_text.h"
#include "model/slot_pool.h"
#include "model/transformer.h"
#include "model/values.h"

namespace fernweave {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && IsBlank(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

std::string WithoutCommas(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != ',') {
      out.push_back(c);
    }
  }
  return out;
}

int Sign(int n) {
  return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

// The part of a tagged form after its tag, without the closing "]": for "Long[ 12 ]"
// and tag "Long[" this is "12". `text` starts with the tag (blanks before it removed).
std::string_view TaggedContent(std::string_view text, std::string_view tag) {
  std::string_view content = TrimBlanks(text.substr(tag.size()));
  if (!content.empty() && content.back() == ']') {
    content.remove_suffix(1);
  }
  return TrimBlanks(content);
}

// An integer read from text, kept as a real number when it lies outside the signed
// 32-bit range (a LongValue cannot hold it, and wrapping would change it).
ValuePtr IntegerValue(std::string_view text) {
  int64_t n = 0;
  bool out_of_range = false;
  if (ReadLeadingInteger(text, &n, &out_of_range) == 0) {
    return Value::ForInt(0);
  }
  if (out_of_range || n != SaturateToInt32(n)) {
    double x = 0;
    ReadLeadingDouble(text, &x);
    return Value::ForDouble(x);
  }
  return Value::ForInt(static_cast<int32_t>(n));
}

ValuePtr RealValue(std::string_view text) {
  double x = 0;
  if (ReadLeadingDouble(text, &x) == 0) {
    return Value::ForInt(0);
  }
  return Value::ForDouble(x);
}

}  // namespace

int64_t Value::live_count_ = 0;

namespace {

#if defined(__SANITIZE_ADDRESS__)
#define FW_VALUES_ON_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FW_VALUES_ON_HEAP 1
#endif
#endif

#ifndef FW_VALUES_ON_HEAP
// Never destroyed: values may be released during the process's exit.
SlotPool& ValuePool() {
  static SlotPool* pool = new SlotPool();
  return *pool;
}
#endif

}  // namespace

void* Value::operator new(size_t size) {
#ifdef FW_VALUES_ON_HEAP
  return ::operator new(size);
#else
  return ValuePool().Allocate(size);
#endif
}

size_t Value::PooledBytesFree() {
#ifdef FW_VALUES_ON_HEAP
  return 0;
#else
  const SlotPool& pool = ValuePool();
  return pool.SlabCount() * SlotPool::kSlabBytes - pool.BytesInUse();
#endif
}

void Value::operator delete(void* p, size_t size) {
#ifdef FW_VALUES_ON_HEAP
  (void)size;  // clang declares the sized global delete only with -fsized-deallocation
  ::operator delete(p);
#else
  ValuePool().Free(p, size);
#endif
}

void ValueDeleter::operator()(const Value* value) const {
  if (value != nullptr) {
    value->Delete();
  }
}

Value::Value() {
  ++live_count_;
}
Value::~Value() {
  --live_count_;
}

int64_t Value::LiveCount() {
  return live_count_;
}

void Value::Delete() const {
  delete this;
}

SRect Value::AsRect() const {
  return SRect{};
}
int32_t Value::AsLong() const {
  return SaturateToInt32(AsDouble());
}
uint32_t Value::AsUnsignedLong() const {
  return SaturateToUint32(AsDouble());
}
bool Value::AsBoolean() const {
  return AsDouble() != 0;
}
PColor Value::AsColor() const {
  return PColor();
}

double Value::AsDouble() const {
  double x = 0;
  ReadLeadingDouble(AsString(), &x);
  return x;
}

int64_t Value::AsDate() const {
  return SaturateToInt64(AsDouble());
}
std::string Value::AsShortString() const {
  return AsString();
}

bool Value::AppendXML(std::string* out, ZoneOffsetCache* /*offsets*/) const {
  out->append(AsXML());
  return false;
}

std::string Value::AsExportString(std::string_view /*format*/,
                                  const Hypertext* /*hypertext*/) const {
  return AsShortString();
}

std::string Value::AsFile() const {
  return AsString();
}
std::string Value::AsAgentAction(const Hypertext* /*hypertext*/) const {
  return AsString();
}
ValuePtr Value::EvaluateFor(const Node* /*node*/) const {
  return Clone();
}

int Value::compare(const Value& other) const {
  return compare(other, Transformer());
}

int Value::compare(const Value& other, const Transformer& /*transformer*/) const {
  return Sign(AsXML().compare(other.AsXML()));
}

bool Value::equal(const Value& other) const {
  return compare(other) == 0;
}
bool Value::equal(const Value* other) const {
  return other != nullptr && equal(*other);
}

ValuePtr Value::ForString(std::string_view text) {
  return Create(text);
}

ValuePtr Value::ForInt(int32_t n) {
  if (n == 0 || n == 1) {
    return CountedLongValue::For(n);
  }
  return ValuePtr(new LongValue(n));
}

ValuePtr Value::ForUnsigned(uint32_t n) {
  return ValuePtr(new UnsignedValue(n));
}
ValuePtr Value::ForDouble(double x) {
  return ValuePtr(new DoubleValue(x));
}
ValuePtr Value::ForBoolean(bool b) {
  return CountedBooleanValue::For(b);
}

ValuePtr Value::ForColor(std::string_view text) {
  PColor color;
  color.FromString(text);
  return ValuePtr(new ColorValue(text, color));
}

ValuePtr Value::ForColor(const PColor& color) {
  return ValuePtr(new ColorValue(color.ToHex(), color));
}

ValuePtr Value::ForFile(std::string_view path) {
  return ValuePtr(new FileValue(path));
}
ValuePtr Value::ForRectangle(const SRect& rect) {
  return ValuePtr(new RectValue(rect));
}

ValuePtr Value::Create(std::string_view text) {
  std::string_view word = text;
  while (!word.empty() && IsBlank(word.front())) {
    word.remove_prefix(1);
  }
  std::string_view tagged = word;
  word = word.substr(0, std::min(word.size(), word.find_first_of(" \t\n\r")));
  auto starts = [word](std::string_view tag) { return word.substr(0, tag.size()) == tag; };

  // A tagged form whose number is missing stays text rather than turning the user's
  // words into 0.
  if (starts("Rect[")) {
    if (std::optional<SRect> rect = RectFromString(tagged)) {
      return ForRectangle(*rect);
    }
  } else if (starts("Date[")) {
    return ForDate(TaggedContent(tagged, "Date["));
  } else if (starts("Color[")) {
    return ForColor(TaggedContent(tagged, "Color["));
  } else if (starts("Double[")) {
    double x = 0;
    if (ReadLeadingDouble(TaggedContent(tagged, "Double["), &x) != 0) {
      return ForDouble(x);
    }
  } else if (starts("Long[")) {
    std::string_view content = TaggedContent(tagged, "Long[");
    int64_t n;
    if (ReadLeadingInteger(content, &n) != 0) {
      return IntegerValue(content);
    }
  }
  return StringValue::CreateFor(text);
}

ValuePtr Value::Create(AttributeType type, std::string_view text) {
  switch (type) {
    case AttributeType::kString:
    case AttributeType::kAction:
      return StringValue::CreateFor(text);
    case AttributeType::kColor:
      return ForColor(text);
    case AttributeType::kNumber:
      return ParseNumberValue(text);
    case AttributeType::kFile:
      return ForFile(text);
    case AttributeType::kBoolean:
      // Only these texts are false; "no", "off" and every other text are true.
      return ForBoolean(!(text.empty() || text == "false" || text == "0"));
    case AttributeType::kDate:
      return ForDate(text);
    case AttributeType::kUnsigned: {
      int64_t n = 0;
      if (ReadLeadingInteger(text, &n) == 0 || n < 0) {
        // A negative number has no unsigned reading; 0 rather than a wrapped id.
        return ForUnsigned(0);
      }
      return ForUnsigned(n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n));
    }
    default:
      return Create(text);
  }
}

ValuePtr ParseNumberValue(std::string_view text) {
  if (text.find('.') != std::string_view::npos) {
    return RealValue(WithoutCommas(text));
  }
  if (text.find_first_of("eE") == std::string_view::npos) {
    return IntegerValue(WithoutCommas(text));
  }
  return RealValue(text);
}

}  // namespace fernweave
