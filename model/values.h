// The concrete value classes. Most code makes values through the factories of `Value`
// (model/value.h) and never names these classes; they are public for the file writer,
// the inspector and tests, which need to know which kind a value is.

#ifndef FERNWEAVE_MODEL_VALUES_H_
#define FERNWEAVE_MODEL_VALUES_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "model/value.h"

namespace fernweave {

// General text; action expressions and set values are text values too. The number at
// the start of the text is read each time it is asked for: a document holds a text
// value for every name, and few of them are ever read as numbers.
class StringValue : public Value {
 public:
  // The shared empty text for "", a new text value otherwise.
  static ValuePtr CreateFor(std::string_view text);

  ValuePtr Clone() const override;
  std::string AsString() const override { return text_; }
  std::string AsXML() const override { return text_; }
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;
  SRect AsRect() const override;
  int32_t AsLong() const override;
  uint32_t AsUnsignedLong() const override;
  // Empty, "false" and "0" are false; any other text is true.
  bool AsBoolean() const override;
  double AsDouble() const override;
  int64_t AsDate() const override;
  using Value::compare;
  int compare(const Value& other, const Transformer& transformer) const override;

  const std::string& text() const { return text_; }

 protected:
  explicit StringValue(std::string_view text);

 private:
  std::string text_;
};

// A text shared by every holder and counted: the one shared empty text, and the texts
// the file reader finds repeated from note to note (a creator, a prototype's name).
class CountedStringValue final : public StringValue {
 public:
  // The shared empty text (created on first use).
  static ValuePtr Empty();
  // A new shared text with one reference; the caller's clones share it.
  static ValuePtr Share(std::string_view text);

  ValuePtr Clone() const override;
  void Delete() const override;
  uint32_t references() const { return references_; }

 private:
  explicit CountedStringValue(std::string_view text);
  ~CountedStringValue() override;

  mutable uint32_t references_ = 0;
};

// A signed 32-bit integer.
class LongValue : public Value {
 public:
  ValuePtr Clone() const override;
  std::string AsString() const override;
  std::string AsXML() const override { return AsString(); }
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;
  int32_t AsLong() const override { return value_; }
  uint32_t AsUnsignedLong() const override;
  bool AsBoolean() const override { return value_ != 0; }
  double AsDouble() const override { return value_; }
  using Value::compare;
  int compare(const Value& other, const Transformer& transformer) const override;

  int32_t value() const { return value_; }

 protected:
  friend class Value;
  explicit LongValue(int32_t value) : value_(value) {}

  int32_t value_;
};

// The shared integers 0 and 1, counted.
class CountedLongValue : public LongValue {
 public:
  // The shared 0 or 1 (created on first use). REQUIRES: n is 0 or 1.
  static ValuePtr For(int32_t n);

  ValuePtr Clone() const override;
  void Delete() const override;
  uint32_t references() const { return references_; }

 protected:
  explicit CountedLongValue(int32_t n) : LongValue(n) {}
  ~CountedLongValue() override;

  mutable uint32_t references_ = 0;
};

// The shared false and true: "false" and "true" in every text form.
class CountedBooleanValue final : public CountedLongValue {
 public:
  // The shared false or true (created on first use).
  static ValuePtr For(bool b);

  std::string AsString() const override { return value_ != 0 ? "true" : "false"; }
  std::string AsXML() const override { return AsString(); }
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;

 private:
  explicit CountedBooleanValue(bool b) : CountedLongValue(b ? 1 : 0) {}
  ~CountedBooleanValue() override;
};

// An unsigned 32-bit integer (an original's id number in `Alias`).
class UnsignedValue final : public Value {
 public:
  ValuePtr Clone() const override;
  std::string AsString() const override;
  std::string AsXML() const override { return AsString(); }
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;
  // The 32 bits read as a signed number.
  int32_t AsLong() const override { return static_cast<int32_t>(value_); }
  uint32_t AsUnsignedLong() const override { return value_; }
  bool AsBoolean() const override { return value_ != 0; }
  double AsDouble() const override { return value_; }
  using Value::compare;
  int compare(const Value& other, const Transformer& transformer) const override;

  uint32_t value() const { return value_; }

 private:
  friend class Value;
  explicit UnsignedValue(uint32_t value) : value_(value) {}

  uint32_t value_;
};

// A 64-bit real number. Display form: up to 10 significant digits; short form: up to
// 6; file form: the shortest text that reads back to the same number.
class DoubleValue final : public Value {
 public:
  ValuePtr Clone() const override;
  std::string AsString() const override;
  std::string AsShortString() const override;
  std::string AsXML() const override;
  double AsDouble() const override { return value_; }
  using Value::compare;
  int compare(const Value& other, const Transformer& transformer) const override;

  double value() const { return value_; }

 private:
  friend class Value;
  friend ValuePtr ParseNumberValue(std::string_view text);
  explicit DoubleValue(double value) : value_(value) {}

  double value_;
};

// A date: seconds since 1904, local wall clock, 0 = never. A deferred date
// (DeferredDateValue) keeps the text it was written as ("today", "tomorrow 9:00") and
// reads it into a time on first use; later reads use that time.
class DateValue : public Value {
 public:
  ValuePtr Clone() const override;
  // A deferred date: its text in double quotes; otherwise the locale display form (or
  // "never").
  std::string AsString() const override;
  // "never", or the ISO 8601 form.
  std::string AsXML() const override;
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;
  std::string AsExportString(std::string_view format, const Hypertext* hypertext) const override;
  // The low 32 bits of the seconds count.
  int32_t AsLong() const override { return static_cast<int32_t>(Resolve()); }
  uint32_t AsUnsignedLong() const override { return static_cast<uint32_t>(Resolve()); }
  double AsDouble() const override { return static_cast<double>(Resolve()); }
  int64_t AsDate() const override { return Resolve(); }
  bool AsBoolean() const override { return Resolve() != 0; }
  using Value::compare;
  int compare(const Value& other, const Transformer& transformer) const override;

  bool IsNever() const { return Resolve() == 0; }
  bool IsDeferred() const { return DeferredText() != nullptr; }
  // Whether a deferred date has been read already (always true for a plain date).
  bool IsResolved() const { return seconds_ != kUnresolved; }
  // The seconds count, reading a deferred date first.
  int64_t Resolve() const;

 protected:
  // The seconds of a deferred date not read yet: no date reads as it.
  static constexpr int64_t kUnresolved = INT64_MIN;
  // A deferred date, not read yet.
  DateValue() = default;
  // The text of a deferred date; null for a plain date.
  virtual const std::string* DeferredText() const { return nullptr; }

  mutable int64_t seconds_ = kUnresolved;

 private:
  friend class Value;
  explicit DateValue(int64_t seconds) : seconds_(seconds == kUnresolved ? seconds + 1 : seconds) {}
};

// A date kept as the text it was written as, read on first use. Plain dates, by far
// the most, need no room for a text.
class DeferredDateValue final : public DateValue {
 public:
  ValuePtr Clone() const override;

 protected:
  const std::string* DeferredText() const override { return &text_; }

 private:
  friend class Value;
  explicit DeferredDateValue(std::string_view text) : text_(text) {}

  std::string text_;
};

// A colour and the text it was made from (a colour form or a colour name).
class ColorValue final : public Value {
 public:
  ValuePtr Clone() const override;
  std::string AsString() const override { return text_; }
  std::string AsXML() const override { return text_; }
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;
  PColor AsColor() const override { return color_; }
  // A colour other than black is true; black is false when the text is empty, "black",
  // "Black" or "normal", true otherwise (a name the colour table will resolve).
  bool AsBoolean() const override;

 private:
  friend class Value;
  ColorValue(std::string_view text, const PColor& color) : text_(text), color_(color) {}

  std::string text_;
  PColor color_;
};

// A file path, components separated by `sep`.
class FileValue final : public Value {
 public:
  static constexpr char sep[] = ":";

  ValuePtr Clone() const override;
  std::string AsString() const override { return path_; }
  std::string AsXML() const override { return path_; }
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;
  std::string AsFile() const override { return path_; }

 private:
  friend class Value;
  explicit FileValue(std::string_view path) : path_(path) {}

  std::string path_;
};

// A rectangle of four signed 16-bit numbers (window placement). Text form
// "Rect[ left top right bottom]".
class RectValue final : public Value {
 public:
  ValuePtr Clone() const override;
  std::string AsString() const override;
  std::string AsXML() const override { return AsString(); }
  bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const override;
  SRect AsRect() const override { return SRect{left_, top_, right_, bottom_}; }

 private:
  friend class Value;
  explicit RectValue(const SRect& rect);

  int16_t left_;
  int16_t top_;
  int16_t right_;
  int16_t bottom_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_VALUES_H_
