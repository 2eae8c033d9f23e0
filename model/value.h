// Attribute values. Every attribute value a note stores, every default of an attribute
// and every value handed to the expression language is a `Value`: a small immutable
// object of one of the classes in model/values.h (text, integer, unsigned, real, date,
// colour, file, rectangle, and the shared empty text, 0, 1, false and true).
//
// Ownership. Values are handed around as `ValuePtr`, a unique_ptr whose deleter calls
// `Delete()`. `Clone()` gives the caller a copy of its own. The shared values (the empty
// text, 0, 1, false and true) are reference counted: `Clone` only counts one more
// reference and returns the same object; `Delete` counts one fewer and destroys the
// object when no reference is left, so the factories create it again on next use. A
// note's property map owns its values; a value handed out by a lookup belongs to the
// note or attribute and must not be kept beyond the next change of that attribute.
//
// Text forms. `AsString` is the display form (inspector, expression language),
// `AsXML` the document-file form (it reads back through `Create(type, text)` to an equal
// value), `AsShortString` a compact display form, `AsExportString` the form export
// writes.
//
// Values are used on the main thread only: the live-value counter and the reference
// counts are not synchronised.

#ifndef FERNWEAVE_MODEL_VALUE_H_
#define FERNWEAVE_MODEL_VALUE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "foundation/geometry.h"
#include "model/attribute_type.h"
#include "model/color.h"

namespace fernweave {

class Hypertext;
class Node;
class STime;
class Transformer;
class Value;
class ZoneOffsetCache;

// Releases a value through its `Delete()` (which keeps shared values alive while other
// references remain).
struct ValueDeleter {
  void operator()(const Value* value) const;
};
using ValuePtr = std::unique_ptr<const Value, ValueDeleter>;

class Value {
 public:
  Value(const Value&) = delete;
  Value& operator=(const Value&) = delete;

  // A copy the caller owns: the same object for a shared value, a new object otherwise.
  // Text, colour and file values copy as text values with the same text; a rectangle
  // stays a rectangle.
  virtual ValuePtr Clone() const = 0;
  // Releases one reference; ordinary values are destroyed at once. Prefer letting a
  // ValuePtr do this.
  virtual void Delete() const;

  virtual std::string AsString() const = 0;
  // The rectangle of a rectangle value; the text read as "Rect[ l t r b]" for a text
  // value; an empty rectangle otherwise.
  virtual SRect AsRect() const;
  // Real numbers saturate at the 32-bit range; NaN gives 0.
  virtual int32_t AsLong() const;
  // Negative numbers give 0; larger ones saturate.
  virtual uint32_t AsUnsignedLong() const;
  // By default AsDouble() != 0 (NaN counts as true).
  virtual bool AsBoolean() const;
  // Black for every value except a colour value.
  virtual PColor AsColor() const;
  virtual double AsDouble() const;
  // The 64-bit seconds count since 1904 (0 = never). Numbers give their integral part;
  // a text value is read as a date (never when it is not one).
  virtual int64_t AsDate() const;
  STime AsTime() const;
  virtual std::string AsXML() const = 0;
  // Appends AsXML() to `out`, without a temporary where the kind allows. `offsets` gives
  // a date its zone offset; null looks each offset up on its own. One cache may serve
  // many values in a row, such as every value of a document being saved. Returns true
  // when the kind's text is always plain ASCII letters, digits, spaces and "-+:.[]",
  // which markup never needs to escape; false when the text may hold anything.
  virtual bool AppendXML(std::string* out, ZoneOffsetCache* offsets) const;
  virtual std::string AsShortString() const;
  // Dates are written with the export date format `format`; every other value gives
  // AsShortString. `hypertext` may be null. Colour names are not yet resolved through
  // the document's colour table here: a colour exports its own text.
  virtual std::string AsExportString(std::string_view format, const Hypertext* hypertext) const;
  // The path of a file value, components separated by FileValue::sep; the text of any
  // other value.
  virtual std::string AsFile() const;
  // The action text this value holds for an agent (its display text).
  virtual std::string AsAgentAction(const Hypertext* hypertext) const;
  // The value of this value for a note. Stored values are plain data (the expression
  // language evaluates its own parsed expressions), so this is a copy of the value
  // itself. `node` may be null.
  virtual ValuePtr EvaluateFor(const Node* node) const;

  // Order for sorting: negative, zero or positive as this value sorts before, with or
  // after `other`. The receiver's kind decides: numbers compare numerically through
  // AsDouble (NaN after every number), dates by time with never after every real date,
  // text by the transformed texts byte-wise and then the untransformed texts; other
  // kinds compare their AsXML texts byte-wise. The first form uses no transform.
  virtual int compare(const Value& other) const;
  virtual int compare(const Value& other, const Transformer& transformer) const;
  virtual bool equal(const Value& other) const;
  // False for a null `other`.
  bool equal(const Value* other) const;

  // The number of value objects alive in the process (diagnostics and leak tests).
  static int64_t LiveCount();

  // A document holds many small values: they come from a pool of fixed-size slots
  // (model/slot_pool.h) rather than the general heap, which saves its per-object
  // header and rounding. Builds with AddressSanitizer use the general heap instead, so
  // that leak checks see every value.
  static void* operator new(size_t size);
  static void operator delete(void* p, size_t size);
  // The pool's bytes that no value occupies: memory the next values take without
  // asking the heap (0 when values use the heap). For memory accounting.
  static size_t PooledBytesFree();

  // Factories. Each returns a value the caller owns; none returns null.
  //
  // Generic parse of `text` (see Create(text)).
  static ValuePtr ForString(std::string_view text);
  // The shared 0 and 1 for those numbers; a new integer value otherwise.
  static ValuePtr ForInt(int32_t n);
  static ValuePtr ForUnsigned(uint32_t n);
  static ValuePtr ForDouble(double x);
  // The shared false or true.
  static ValuePtr ForBoolean(bool b);
  static ValuePtr ForDate(const STime& time);
  // `seconds` since 1904; 0 is never.
  static ValuePtr ForDate(int64_t seconds);
  // Empty text or "never": the never date. Text in double quotes (the part between the
  // first and the last quote) or in parentheses becomes a deferred date, kept as text
  // and resolved on first use. Any other text is parsed at once; text that is not a
  // date gives the never date.
  static ValuePtr ForDate(std::string_view text);
  // The current date and time, to the minute.
  static ValuePtr ForToday();
  // A colour value keeping `text`; its colour is read from the colour forms (black when
  // the text is in none of them).
  static ValuePtr ForColor(std::string_view text);
  // A colour value whose text is the colour's file form "#rrggbb".
  static ValuePtr ForColor(const PColor& color);
  static ValuePtr ForFile(std::string_view path);
  // Each side is clamped to the signed 16-bit range a rectangle value holds.
  static ValuePtr ForRectangle(const SRect& rect);

  // Generic parse: by the first blank-delimited word of `text`, "Rect[" gives a
  // rectangle, "Date[" a date, "Color[" a colour, "Double[" a real number and "Long["
  // an integer, each read from the words after the tag up to the closing "]"; any other
  // text gives a text value (the shared empty text for "").
  static ValuePtr Create(std::string_view text);
  // Typed parse of text that arrives for an attribute of type `type` (file reader,
  // inspector, actions). Never fails: unreadable text gives 0, false or the never date.
  // Codes outside the table use the generic parse.
  static ValuePtr Create(AttributeType type, std::string_view text);

 protected:
  Value();
  // Only Delete() destroys values.
  virtual ~Value();

 private:
  static int64_t live_count_;
};

// Reads `text` as a number the way the number attribute type does: with a "." every
// "," is dropped and a real number read; otherwise, without an "e" or "E", every "," is
// dropped and an integer read (one outside the signed 32-bit range is kept as a real
// number rather than wrapped); otherwise a real number is read. Reading stops at the
// first character that does not fit; nothing readable gives the integer 0.
ValuePtr ParseNumberValue(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_VALUE_H_
