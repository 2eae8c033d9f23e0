// The values of the expression language. A parsed expression is a tree of `AAValue`
// objects; evaluating it for a note gives text, always: numbers, dates, booleans and
// sets are read from text and written back to text at every step, and what an operator
// does depends on the attribute types of its operands (lang/aa_operators.h).
//
// Ownership. A value owns its operands and the value that follows it in a comma chain
// (`next`). Trees are built by the parser (lang/expression_parser.h), whose callers own
// the root. Depth is bounded by the parser, and a comma chain is released iteratively,
// so neither evaluation nor destruction can run out of stack.
//
// Evaluation never throws for anything a user writes: unknown attributes read as "$"
// and the name, unreadable numbers as 0, notes that do not exist give the empty text.
// No text the language makes is longer than kMaxTextSize; an operation that would make
// a longer one yields the empty text.

#ifndef FERNWEAVE_LANG_AA_VALUE_H_
#define FERNWEAVE_LANG_AA_VALUE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/stime.h"

namespace fernweave {

class Attribute;
class Node;

// Regular-expression captures gathered during one evaluation ("$0" the whole match of
// the first test, then its groups, then those of later tests).
using Captures = std::vector<std::string>;

// Attribute type codes as the operators use them; kTypeUnknown (-1) when nothing is
// known. The others are the attribute type codes of the model.
inline constexpr int kTypeUnknown = -1;
inline constexpr int kTypeString = 0;
inline constexpr int kTypeColor = 1;
inline constexpr int kTypeNumber = 2;
inline constexpr int kTypeFile = 3;
inline constexpr int kTypeBoolean = 4;
inline constexpr int kTypeDate = 5;
inline constexpr int kTypeUnsigned = 6;
inline constexpr int kTypeAction = 7;
inline constexpr int kTypeSet = 8;
inline bool IsNumericType(int type) { return type == kTypeNumber || type == kTypeUnsigned; }

// The longest text any operation of the language makes: 16 MiB.
inline constexpr size_t kMaxTextSize = size_t{16} << 20;

// Truth of a text: false for "", "false", "0" and "never", true otherwise.
class LogicalResult {
 public:
  explicit LogicalResult(std::string_view text)
      : value_(!(text.empty() || text == "false" || text == "0" || text == "never")) {}
  bool IsTrue() const { return value_; }
  bool IsFalse() const { return !value_; }
  // "true" or "".
  const std::string& ToString() const;

 private:
  bool value_;
};

// Six significant digits, the shorter of fixed and exponent notation: 3 gives "3",
// 0.5 gives "0.5", 1234567 gives "1.23457e+06".
std::string FormatNumber(double x);
// The decimal number at the start of `text` (after blanks), 0 when there is none.
double LeadingNumber(std::string_view text);
// True when the whole of `text` (blanks around it aside) is a decimal number; *x gets it.
bool ReadWholeNumber(std::string_view text, double* x);
// The date a text reads as (never when it is not one); IsDateText says whether it is
// one. Texts longer than kMaxDateText are never dates: the date reader is not asked to
// scan megabytes that no date is written in.
inline constexpr size_t kMaxDateText = 256;
STime ReadDate(std::string_view text);
bool IsDateText(std::string_view text);
// The attribute type of `name` in the note's document; kTypeUnknown when the note is
// null or the document has no such attribute.
int AttributeTypeOf(const Node* node, std::string_view name);

// Marks one evaluation while alive. The outermost scope starts a new tick; within one
// tick the attribute registry and attribute types do not change (nothing the language
// evaluates declares or removes attributes), so values may remember lookups made for a
// note until the tick ends.
class EvaluationScope {
 public:
  EvaluationScope() {
    if (active_++ == 0) {
      ++tick_;
    }
  }
  ~EvaluationScope() { --active_; }
  EvaluationScope(const EvaluationScope&) = delete;
  EvaluationScope& operator=(const EvaluationScope&) = delete;
  static bool Active() { return active_ > 0; }
  static uint64_t Tick() { return tick_; }

 private:
  static int active_;
  static uint64_t tick_;
};

// A parsed date kept for five minutes, so that relative texts such as "today" are read
// again at least that often.
class DateCache {
 public:
  bool IsCached();
  void Set(int64_t seconds);
  int64_t seconds() const { return seconds_; }

 private:
  int64_t seconds_ = 0;
  int64_t expiry_ = 0;
  bool filled_ = false;
};

class AAValue {
 public:
  static const std::string kTrue;
  static const std::string kFalse;

  explicit AAValue(std::string token = std::string()) : token_(std::move(token)) {}
  AAValue(const AAValue&) = delete;
  AAValue& operator=(const AAValue&) = delete;
  virtual ~AAValue();

  // Assigns the value to attribute `name` of `target` for an action running on `node`
  // and returns the text assigned. The default evaluates for `node` and stores the text.
  virtual std::string Do(Node* target, Node* node, const std::string& name, Captures& args);
  // The value's text for `node` (which may be null); `name` is the attribute being
  // assigned, empty when the value is only read.
  virtual std::string Get(Node* node, const std::string& name, Captures& args) = 0;
  std::string Get(Node* node, Captures& args) { return Get(node, std::string(), args); }

  virtual int Priority() const { return 9999; }
  virtual AAValue* Left() const { return nullptr; }
  virtual AAValue* Right() const { return nullptr; }
  // Operators take the sides; other values ignore them.
  virtual void SetLeft(std::unique_ptr<AAValue> value);
  virtual void SetRight(std::unique_ptr<AAValue> value);
  virtual std::unique_ptr<AAValue> TakeRight() { return nullptr; }
  // Appends `value` as the following item of a comma chain (replacing any).
  void SetNext(std::unique_ptr<AAValue> value);
  AAValue* GetNextValue() const { return next_.get(); }
  virtual bool IsValid() const { return true; }
  const std::string& Token() const { return token_; }

  // The text read as a whole number (0 when it is not one).
  long GetNum(Node* node, Captures& args);
  // The text read as a date (never when it is not one).
  virtual STime GetDate(Node* node, Captures& args);
  // The text of the value (Get with an empty name).
  std::string GetValue(Node* node, Captures& args) { return Get(node, args); }
  // The type the operators see; kTypeUnknown unless the kind says otherwise.
  virtual int AttributeType(const Node* node) const;
  // The type of the attribute `name` is assigned to (kTypeUnknown for none);
  // comparisons answer boolean.
  virtual int ResultType(const Node* node, const std::string& name) const;
  virtual bool Quoted() const { return false; }
  // Sets *x to the number the value's text reads as (as a side of a numeric operator
  // reads it) when that is known without making the text; false otherwise.
  virtual bool FastNumber(Node* /*node*/, double* /*x*/) { return false; }
  // Sets *text to the value's text for `node` when it can be read where it lies, without
  // making it; false otherwise. The view holds until the note's values change. Only pure
  // values lend their text.
  virtual bool LendText(Node* /*node*/, std::string_view* /*text*/) { return false; }
  // Sets *truth to whether the value's text for `node` reads as true (LogicalResult)
  // when that is known without making the text; false otherwise. The default asks
  // LendText. Queries ask this first: a comparison or a chain of `&` and `|` of plain
  // attributes and literals answers without writing any text.
  virtual bool FastTruth(Node* node, bool* truth);
  // Evaluating the value only reads the note's own attributes: no function, path,
  // regular-expression test, capture, interpolation or comma chain. Such a side may be
  // left unevaluated when the other side decides an operator's result, since nothing
  // but its text would differ.
  bool Pure() const { return next_ == nullptr && PureSelf(); }

  // How deep the tree below this value is (1 for a leaf). Kept as sides are set.
  int depth() const { return depth_; }
  // Appends a readable form of the tree: binary operators in parentheses, operands as
  // written (see lang/value_dump.h).
  virtual void Dump(std::string* out) const = 0;

 protected:
  void NoteChild(const AAValue* child);
  // Pure() without the comma chain: false unless the kind says otherwise.
  virtual bool PureSelf() const { return false; }

  DateCache date_cache_;
  std::string token_;
  std::unique_ptr<AAValue> next_;
  int depth_ = 1;
};

// Text: a quoted literal (interpolated when it holds "$") or a bare word (which reads
// the attribute of that name when the note has one).
class AAStringValue : public AAValue {
 public:
  AAStringValue(std::string text, char quote);
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  std::string Do(Node* target, Node* node, const std::string& name, Captures& args) override;
  STime GetDate(Node* node, Captures& args) override;
  int AttributeType(const Node* node) const override;
  bool Quoted() const override { return quote_ != 0; }
  // A quoted text without "$" lends itself.
  bool LendText(Node* node, std::string_view* text) override;
  void Dump(std::string* out) const override;
  // Copies the text with every "$Name" or "$Name(path)" replaced (see aa_value.cc).
  virtual std::string Interpolate(Node* node, Captures& args) const;
  const std::string& text() const { return text_; }

 protected:
  bool PureSelf() const override { return !interpolate_; }

  char quote_;
  std::string text_;
  bool interpolate_;
};

class AANumber : public AAStringValue {
 public:
  explicit AANumber(std::string text)
      : AAStringValue(std::move(text), 0), number_(LeadingNumber(text_)) {}
  std::string Get(Node*, const std::string&, Captures&) override { return text_; }
  bool LendText(Node*, std::string_view* text) override {
    *text = text_;
    return true;
  }
  int AttributeType(const Node*) const override { return kTypeNumber; }
  bool FastNumber(Node*, double* x) override {
    *x = number_;
    return true;
  }

 private:
  double number_;
};

class AABoolean : public AAStringValue {
 public:
  explicit AABoolean(std::string text) : AAStringValue(std::move(text), 0) {}
  std::string Get(Node*, const std::string&, Captures&) override { return text_; }
  int AttributeType(const Node*) const override { return kTypeBoolean; }
};

// A value that could not be parsed; its text is the message. Assigning it stores
// nothing, so a broken expression never overwrites a note's data with a message.
class AAInvalid : public AAStringValue {
 public:
  explicit AAInvalid(std::string message) : AAStringValue(std::move(message), 0) {}
  std::string Get(Node*, const std::string&, Captures&) override { return text_; }
  std::string Do(Node*, Node*, const std::string&, Captures&) override { return std::string(); }
  bool IsValid() const override { return false; }
  int AttributeType(const Node*) const override { return kTypeString; }
  void Dump(std::string* out) const override;
};

// "Name(pattern)": a regular-expression search in an attribute of the note.
class AARegexValue : public AAStringValue {
 public:
  AARegexValue(std::string attribute, std::string pattern, bool case_sensitive);
  ~AARegexValue() override;
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  int AttributeType(const Node*) const override { return kTypeBoolean; }
  void Dump(std::string* out) const override;

 protected:
  bool PureSelf() const override { return false; }  // it gathers captures

 private:
  struct Compiled;
  std::string attribute_;
  bool case_sensitive_;
  std::unique_ptr<Compiled> compiled_;
};

// "$1", "$2", ...: a capture of the latest regular-expression tests.
class AAMatchValue : public AAValue {
 public:
  explicit AAMatchValue(std::string text);
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  std::string Do(Node* target, Node* node, const std::string& name, Captures& args) override;
  void Dump(std::string* out) const override { *out += token_; }

 private:
  size_t number_;
};

// "$Name" or "$Name(path)".
class AAAttributeValue : public AAValue {
 public:
  AAAttributeValue(std::string name, std::string path);
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  std::string Do(Node* target, Node* node, const std::string& name, Captures& args) override;
  int AttributeType(const Node* node) const override;
  bool FastNumber(Node* node, double* x) override;
  // The note's own text value, where it is stored (no path, not `Name`).
  bool LendText(Node* node, std::string_view* text) override;
  void Dump(std::string* out) const override;
  const std::string& name() const { return name_; }

 protected:
  bool PureSelf() const override { return path_.empty(); }

 private:
  // The note the reference reads: `node`, or the one the path designates (null when
  // it leads nowhere).
  Node* Target(Node* node) const;
  // The attribute in the note's document, remembered while the document's attribute
  // registry keeps its stamp (model/props.h).
  const Attribute* Lookup(const Node* target) const;

  std::string name_;
  std::string path_;
  bool is_name_;  // reads `Name`, which is the original's
  mutable const Attribute* memo_attribute_ = nullptr;
  mutable uint64_t memo_stamp_ = 0;
};

// An empty expression: the attribute's default; assigning it resets the attribute.
class AADefaultValue : public AAValue {
 public:
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  std::string Do(Node* target, Node* node, const std::string& name, Captures& args) override;
  void Dump(std::string* out) const override { *out += "<default>"; }
};

// "if(condition){then} else {else}".
class AAIfExpression : public AAValue {
 public:
  AAIfExpression(std::unique_ptr<AAValue> condition, std::unique_ptr<AAValue> then_value,
                 std::unique_ptr<AAValue> else_value);
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  std::string Do(Node*, Node*, const std::string&, Captures&) override { return std::string(); }
  bool IsValid() const override;
  void Dump(std::string* out) const override;

 private:
  std::unique_ptr<AAValue> condition_;
  std::unique_ptr<AAValue> then_;
  std::unique_ptr<AAValue> else_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_AA_VALUE_H_
