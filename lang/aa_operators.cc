#include "lang/aa_operators.h"

#include <cctype>
#include <cmath>

#include "lang/list_splitters.h"
#include "lang/parser.h"
#include "lang/value_dump.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/props.h"
#include "model/node.h"

namespace fernweave {

std::string JoinCapped(const std::string& l, const std::string& r) {
  if (l.size() + r.size() > kMaxTextSize) {
    return std::string();
  }
  return l + r;
}

// --- Unary --------------------------------------------------------------------

AAUnaryOperator::AAUnaryOperator(std::string token, std::unique_ptr<AAValue> operand)
    : AAValue(std::move(token)), operand_(std::move(operand)) {
  NoteChild(operand_.get());
}

std::string AAUnaryOperator::Do(Node* target, Node* node, const std::string& name,
                                Captures& args) {
  std::string text = Get(node, name, args);
  if (target != nullptr && IsValid()) {
    target->Set(name, text);
  }
  return text;
}

Node* AAUnaryOperator::TargetNode(const std::string& path, Node* node) const {
  if (node == nullptr || path.empty()) {
    return node;
  }
  return HTPath(path).Get(node);
}

std::string AANot::Get(Node* node, const std::string& /*name*/, Captures& args) {
  if (operand_ == nullptr) {
    return kTrue;
  }
  const std::string text = operand_->Get(node, args);
  if (LogicalResult(text).IsFalse()) {
    return kTrue;
  }
  // "0.0" and the like are true texts that read as the number 0.
  if (std::isdigit(static_cast<unsigned char>(text.front())) != 0) {
    return LeadingNumber(text) == 0 ? kTrue : kFalse;
  }
  return kFalse;
}

void AANot::Dump(std::string* out) const {
  *out += "!";
  if (operand_ != nullptr) {
    operand_->Dump(out);
  }
}

std::string AANegate::Get(Node* node, const std::string& /*name*/, Captures& args) {
  if (operand_ == nullptr) {
    return kFalse;
  }
  const int type = operand_->AttributeType(node);
  const std::string text = operand_->Get(node, args);
  if (type == kTypeBoolean) {
    return text.empty() ? kTrue : kFalse;
  }
  if (IsNumericType(type) || type == kTypeString) {
    return FormatNumber(-LeadingNumber(text));
  }
  return kFalse;
}

void AANegate::Dump(std::string* out) const {
  *out += "-";
  if (operand_ != nullptr) {
    operand_->Dump(out);
  }
}

std::string AAParenthetical::Get(Node* node, const std::string& name, Captures& args) {
  return operand_ == nullptr ? std::string() : operand_->Get(node, name, args);
}

int AAParenthetical::AttributeType(const Node* node) const {
  return operand_ == nullptr ? kTypeUnknown : operand_->AttributeType(node);
}

void AAParenthetical::Dump(std::string* out) const {
  if (operand_ != nullptr && operand_->GetNextValue() != nullptr) {
    *out += "(" + DumpTree(operand_.get()) + ")";
  } else if (operand_ != nullptr) {
    operand_->Dump(out);
  }
}

// --- Binary: shared -----------------------------------------------------------

void AABinaryOperator::SetLeft(std::unique_ptr<AAValue> value) {
  pure_sides_ = -1;
  type_stamp_ = 0;  // no registry has stamp 0
  left_ = std::move(value);
  NoteChild(left_.get());
}

void AABinaryOperator::SetRight(std::unique_ptr<AAValue> value) {
  pure_sides_ = -1;
  type_stamp_ = 0;
  right_ = std::move(value);
  NoteChild(right_.get());
}

bool AABinaryOperator::PureSelf() const {
  if (pure_sides_ < 0) {
    pure_sides_ = left_ != nullptr && right_ != nullptr && left_->Pure() && right_->Pure() ? 1 : 0;
  }
  return pure_sides_ == 1;
}

bool AABinaryOperator::IsValid() const {
  return left_ != nullptr && right_ != nullptr && left_->IsValid() && right_->IsValid();
}

int AABinaryOperator::AttributeType(const Node* node) const {
  // The sides' types depend on the note only through its document: on the attributes
  // its registry holds and on their types. Both change only with the registry's stamp
  // (an attribute's type is edited by taking it out of the registry and registering it
  // again), and no two registries share a stamp, so the type is remembered with the
  // stamp and serves every note of the document: a query walks the tree's types once,
  // not once per note. Asked before validity, which walks the whole tree below; a
  // parsed tree does not change.
  const Hypertext* doc = node == nullptr ? nullptr : node->GetHypertext();
  if (doc == nullptr) {
    return IsValid() ? TypeOfSides(node) : kTypeUnknown;
  }
  const uint64_t stamp = doc->Properties().Stamp();
  if (type_stamp_ == stamp) {
    return type_;
  }
  const int type = IsValid() ? TypeOfSides(node) : kTypeUnknown;
  type_stamp_ = stamp;
  type_ = type;
  return type;
}

int AABinaryOperator::TypeOfSides(const Node* node) const {
  const int l = left_->AttributeType(node);
  const int r = right_->AttributeType(node);
  if (l == r || l == kTypeBoolean) {
    return l;
  }
  if (r == kTypeBoolean && l == kTypeUnknown) {
    return r;
  }
  if (l == kTypeDate || l == kTypeSet) {
    return l;
  }
  if (IsNumericType(l)) {
    if (IsNumericType(r) || r == kTypeUnknown) {
      return kTypeNumber;
    }
    if (r == kTypeBoolean || r == kTypeString) {
      return r;
    }
    return kTypeUnknown;
  }
  if (IsNumericType(r)) {
    if (l == kTypeUnknown) {
      return r;
    }
    return l == kTypeString ? kTypeString : kTypeUnknown;
  }
  if (l == kTypeString) {
    if (r == kTypeDate || r == kTypeBoolean) {
      return kTypeString;
    }
    if (r == kTypeSet) {
      return kTypeSet;
    }
  }
  if (l == kTypeUnknown) {
    return r;
  }
  if (r == kTypeUnknown) {
    return l;
  }
  return kTypeUnknown;
}

std::string AABinaryOperator::SideText(AAValue* side, Node* node, const std::string& name,
                                       Captures& args) {
  return side == nullptr ? std::string() : side->Get(node, name, args);
}

STime AABinaryOperator::SideDate(AAValue* side, Node* node, Captures& args) {
  return side == nullptr ? STime(int64_t{0}) : side->GetDate(node, args);
}

double AABinaryOperator::Eval(AAValue* side, Node* node, const std::string& name,
                              Captures& args) {
  double x = 0;
  if (side != nullptr && side->FastNumber(node, &x)) {
    return x;
  }
  const std::string text = Parser::TrimQuotes(SideText(side, node, name, args));
  if (IsDateText(text)) {
    return static_cast<double>(ReadDate(text).GetNew()) / 86400.0;
  }
  return LeadingNumber(text);
}

bool AABinaryOperator::EvalBoolean(AAValue* side, Node* node, const std::string& name,
                                   Captures& args) {
  return LogicalResult(SideText(side, node, name, args)).IsTrue();
}

bool AABinaryOperator::ComputeBoolean(Node* node, const std::string& name, Captures& args) {
  const std::string l = SideText(left_.get(), node, name, args);
  const std::string r = SideText(right_.get(), node, name, args);
  return !ComputeString(l, r).empty();
}

int64_t AABinaryOperator::ComputeDate(Node* /*node*/, const std::string& /*name*/,
                                      Captures& /*args*/) {
  return 0;
}

std::string AABinaryOperator::ComputeSet(const std::string& /*l*/, const std::string& /*r*/) const {
  return std::string();
}

std::string AABinaryOperator::ComputeString(const std::string& l, const std::string& r) const {
  return JoinCapped(l, r);
}

std::string AABinaryOperator::Get(Node* node, const std::string& name, Captures& args) {
  EvaluationScope scope;
  const int type = AttributeType(node);
  switch (type) {
    case kTypeNumber:
    case kTypeUnsigned: {
      const double l = Eval(left_.get(), node, name, args);
      // A pure right side that cannot change the result is not read.
      const double r = DecidedByLeft(l) && right_->Pure() ? 0 : Eval(right_.get(), node, name, args);
      return FormatNumber(Compute(l, r));
    }
    case kTypeString:
    case kTypeFile:
    case kTypeAction:
    case kTypeUnknown: {
      const std::string l = SideText(left_.get(), node, name, args);
      if (DecidedByLeft(l) && right_->Pure()) {
        return ComputeString(l, std::string());
      }
      const std::string r = SideText(right_.get(), node, name, args);
      return ComputeString(l, r);
    }
    case kTypeBoolean:
      return ComputeBoolean(node, name, args) ? kTrue : kFalse;
    case kTypeDate: {
      const int64_t n = ComputeDate(node, name, args);
      if (ResultType(node, name) == kTypeBoolean) {
        return n != 0 ? kTrue : kFalse;
      }
      return std::to_string(n);
    }
    case kTypeSet: {
      const std::string l = SideText(left_.get(), node, name, args);
      const std::string r = SideText(right_.get(), node, name, args);
      return ComputeSet(l, r);
    }
    default:
      return std::string();
  }
}

bool AABinaryOperator::FastNumber(Node* node, double* x) {
  if (!Pure()) {
    return false;
  }
  EvaluationScope scope;
  if (!IsNumericType(AttributeType(node))) {
    return false;
  }
  // Pure sides use neither the captures nor the assigned attribute's name.
  Captures none;
  const std::string no_name;
  const double l = Eval(left_.get(), node, no_name, none);
  const double r = DecidedByLeft(l) ? 0 : Eval(right_.get(), node, no_name, none);
  const double v = Compute(l, r);
  // Get writes the number as text, which Eval reads back; for 0 and 1 that gives the
  // number itself unless the date reader takes the text for a date.
  static const bool kZeroOneAreNumbers = !IsDateText("0") && !IsDateText("1");
  if (((v == 0 && !std::signbit(v)) || v == 1) && kZeroOneAreNumbers) {
    *x = v;
    return true;
  }
  return false;
}

std::string AABinaryOperator::Do(Node* target, Node* /*node*/, const std::string& name,
                                 Captures& args) {
  std::string text = Get(target, name, args);
  // An operator missing a side stores nothing: a broken statement loses no data.
  if (target != nullptr && IsValid()) {
    target->Set(name, text);
  }
  return text;
}

void AABinaryOperator::Dump(std::string* out) const {
  *out += "(";
  if (left_ != nullptr) {
    left_->Dump(out);
  } else {
    *out += "?";
  }
  *out += " " + token_ + " ";
  if (right_ != nullptr) {
    right_->Dump(out);
  } else {
    *out += "?";
  }
  *out += ")";
}

// --- Binary: each operator ----------------------------------------------------

namespace {

std::string Truth(bool b) { return b ? AAValue::kTrue : AAValue::kFalse; }

// The interval text negated: "2 days" becomes "-2 days", "+1 week" "-1 week" and
// "-3" "+3".
std::string NegatedInterval(std::string_view text) {
  const std::string trimmed = Parser::Trim(text);
  if (!trimmed.empty() && trimmed.front() == '-') {
    return "+" + trimmed.substr(1);
  }
  if (!trimmed.empty() && trimmed.front() == '+') {
    return "-" + trimmed.substr(1);
  }
  return "-" + trimmed;
}

}  // namespace

class AAPlus : public AABinaryOperator {
 public:
  AAPlus() : AABinaryOperator("+", 3) {}
  double Compute(double l, double r) const override { return l + r; }
  int64_t ComputeDate(Node* node, const std::string& name, Captures& args) override {
    const STime base = SideDate(left_.get(), node, args);
    return base.Add(SideText(right_.get(), node, name, args)).GetNew();
  }
  std::string ComputeSet(const std::string& l, const std::string& r) const override {
    if (l.size() + r.size() + 1 > kMaxTextSize) {
      return std::string();
    }
    SetList set(l);
    const SetList added(r);
    for (const std::string& member : added.items()) {
      set.Add(member);
    }
    return set.ToString();
  }
};

class AAMinus : public AABinaryOperator {
 public:
  AAMinus() : AABinaryOperator("-", 3) {}
  double Compute(double l, double r) const override { return l - r; }
  std::string ComputeString(const std::string& l, const std::string& r) const override {
    if (l.size() + r.size() + 1 > kMaxTextSize) {
      return std::string();
    }
    return l + "-" + r;
  }
  int64_t ComputeDate(Node* node, const std::string& name, Captures& args) override {
    const std::string r = SideText(right_.get(), node, name, args);
    const bool right_is_date = (right_ != nullptr && right_->AttributeType(node) == kTypeDate) ||
                               IsDateText(Parser::TrimQuotes(r));
    if (IsNumericType(ResultType(node, name)) || right_is_date) {
      const double days = Eval(left_.get(), node, name, args) - Eval(right_.get(), node, name, args);
      return std::isfinite(days) ? std::llround(days) : 0;
    }
    return SideDate(left_.get(), node, args).Add(NegatedInterval(r)).GetNew();
  }
  std::string ComputeSet(const std::string& l, const std::string& r) const override {
    SetList set(l);
    const SetList removed(r);
    for (const std::string& member : removed.items()) {
      set.Remove(member);
    }
    return set.ToString();
  }
};

class AAMultiply : public AABinaryOperator {
 public:
  AAMultiply() : AABinaryOperator("*", 4) {}
  double Compute(double l, double r) const override { return l * r; }
  std::string ComputeString(const std::string& l, const std::string& r) const override {
    if (l.empty()) {
      return r;
    }
    if (r.empty()) {
      return l;
    }
    double n = 0;
    if (ReadWholeNumber(l, &n) && n >= 1 && n == std::floor(n)) {
      return Repeat(r, n);
    }
    if (ReadWholeNumber(r, &n) && n >= 1 && n == std::floor(n)) {
      return Repeat(l, n);
    }
    return JoinCapped(l, r);
  }

 private:
  // `text` n times; "" when that would pass kMaxTextSize.
  static std::string Repeat(const std::string& text, double n) {
    if (n * static_cast<double>(text.size()) > static_cast<double>(kMaxTextSize)) {
      return std::string();
    }
    const size_t count = static_cast<size_t>(n);
    std::string out;
    out.reserve(count * text.size());
    for (size_t i = 0; i < count; ++i) {
      out += text;
    }
    return out;
  }
};

class AADivide : public AABinaryOperator {
 public:
  AADivide() : AABinaryOperator("/", 4) {}
  double Compute(double l, double r) const override { return l / r; }
  bool ComputeBoolean(Node*, const std::string&, Captures&) override { return false; }
};

// The comparisons: truth results whatever the type.
class AAComparison : public AABinaryOperator {
 public:
  explicit AAComparison(std::string token) : AABinaryOperator(std::move(token), 2) {}
  int ResultType(const Node*, const std::string&) const override { return kTypeBoolean; }
  // Whether the comparison holds between two texts.
  virtual bool TextsHold(std::string_view l, std::string_view r) const = 0;
  std::string ComputeString(const std::string& l, const std::string& r) const override {
    return Truth(TextsHold(l, r));
  }

  std::string Get(Node* node, const std::string& name, Captures& args) override {
    // Only an evaluation for no assignment: the name may change how a side reads. One
    // scope for both ways, so that the type is worked out once.
    EvaluationScope scope;
    bool holds = false;
    if (name.empty() && TextTruth(node, &holds)) {
      return Truth(holds);
    }
    return AABinaryOperator::Get(node, name, args);
  }

  bool FastTruth(Node* node, bool* truth) override {
    if (TextTruth(node, truth)) {
      return true;
    }
    // A numeric comparison writes "1" or "0".
    double x = 0;
    if (FastNumber(node, &x)) {
      *truth = x != 0;
      return true;
    }
    return false;
  }

 private:
  // A pure comparison of text type compares its sides' texts where they lie when they
  // lend them, and makes only those that do not.
  bool TextTruth(Node* node, bool* truth) {
    if (!Pure()) {
      return false;
    }
    EvaluationScope scope;
    if (!IsTextOperatorType(AttributeType(node))) {
      return false;
    }
    Captures none;
    const std::string no_name;
    std::string_view l;
    std::string_view r;
    std::string l_made;
    std::string r_made;
    if (!left_->LendText(node, &l)) {
      l_made = left_->Get(node, no_name, none);
      l = l_made;
    }
    if (!right_->LendText(node, &r)) {
      r_made = right_->Get(node, no_name, none);
      r = r_made;
    }
    *truth = TextsHold(l, r);
    return true;
  }
};

class AAEqual : public AAComparison {
 public:
  explicit AAEqual(std::string token) : AAComparison(std::move(token)) {}
  double Compute(double l, double r) const override { return l == r ? 1 : 0; }
  bool TextsHold(std::string_view l, std::string_view r) const override { return l == r; }
  bool ComputeBoolean(Node* node, const std::string& name, Captures& args) override {
    return EvalBoolean(left_.get(), node, name, args) == EvalBoolean(right_.get(), node, name, args);
  }
  int64_t ComputeDate(Node* node, const std::string& /*name*/, Captures& args) override {
    return SideDate(left_.get(), node, args).SameDayAs(SideDate(right_.get(), node, args)) ? 1 : 0;
  }
  std::string ComputeSet(const std::string& l, const std::string& r) const override {
    const SetList left(l);
    const SetList right(r);
    if (left.size() != right.size()) {
      return kFalse;
    }
    for (const std::string& member : right.items()) {
      if (!left.Has(member)) {
        return kFalse;
      }
    }
    return kTrue;
  }
};

class AANotEqual : public AAComparison {
 public:
  AANotEqual() : AAComparison("!=") {}
  double Compute(double l, double r) const override { return l != r ? 1 : 0; }
  bool TextsHold(std::string_view l, std::string_view r) const override { return l != r; }
  int64_t ComputeDate(Node* node, const std::string& /*name*/, Captures& args) override {
    return SideDate(left_.get(), node, args).SameDayAs(SideDate(right_.get(), node, args)) ? 0 : 1;
  }
};

// `<`, `<=`, `>`, `>=`: `sign` is the wanted result of comparing left with right
// (-1, 0 or 1) and `or_equal` whether 0 is also wanted.
class AAOrdering : public AAComparison {
 public:
  AAOrdering(std::string token, int sign, bool or_equal)
      : AAComparison(std::move(token)), sign_(sign), or_equal_(or_equal) {}
  double Compute(double l, double r) const override {
    return Holds(l < r ? -1 : (l > r ? 1 : 0)) ? 1 : 0;
  }
  bool TextsHold(std::string_view l, std::string_view r) const override {
    const int c = l.compare(r);
    return Holds(c < 0 ? -1 : (c > 0 ? 1 : 0));
  }
  int64_t ComputeDate(Node* node, const std::string& /*name*/, Captures& args) override {
    const STime l = SideDate(left_.get(), node, args);
    const STime r = SideDate(right_.get(), node, args);
    // Nothing comes before "never": it is not earlier than any date.
    if (sign_ < 0 && l.IsNever()) {
      return 0;
    }
    return Holds(l < r ? -1 : (l > r ? 1 : 0)) ? 1 : 0;
  }

 private:
  bool Holds(int c) const { return c == sign_ || (or_equal_ && c == 0); }
  int sign_;
  bool or_equal_;
};

// `&` and `|`: of pure sides, the truth of the result follows from the truths of the
// sides for every type whose result is a truth text (texts, sets, truths, dates).
class AALogical : public AABinaryOperator {
 public:
  AALogical(std::string token, bool is_and) : AABinaryOperator(std::move(token), 0), and_(is_and) {}

  bool FastTruth(Node* node, bool* truth) override {
    if (!Pure()) {
      return false;
    }
    EvaluationScope scope;
    const int type = AttributeType(node);
    if (IsNumericType(type)) {
      double x = 0;
      if (FastNumber(node, &x)) {
        *truth = x != 0;
        return true;
      }
      return false;
    }
    if (!TruthType(type)) {
      return false;
    }
    bool l = false;
    if (!left_->FastTruth(node, &l)) {
      return false;
    }
    if (l != and_) {  // false for `&`, true for `|`: the left side decides
      *truth = l;
      return true;
    }
    return right_->FastTruth(node, truth);
  }

 protected:
  // Types for which the operator's result, for an evaluation with no assignment, reads
  // as the truths of its sides combined.
  static bool TruthType(int type) {
    return IsTextOperatorType(type) || type == kTypeSet || type == kTypeBoolean ||
           type == kTypeDate;
  }

 private:
  bool and_;
};

class AAOr : public AALogical {
 public:
  AAOr() : AALogical("|", false) {}
  double Compute(double l, double r) const override { return (l != 0 || r != 0) ? 1 : 0; }
  bool DecidedByLeft(const std::string& l) const override { return LogicalResult(l).IsTrue(); }
  bool DecidedByLeft(double l) const override { return l != 0; }
  std::string ComputeString(const std::string& l, const std::string& r) const override {
    return LogicalResult(l).IsTrue() ? l : r;
  }
  bool ComputeBoolean(Node* node, const std::string& name, Captures& args) override {
    return EvalBoolean(left_.get(), node, name, args) || EvalBoolean(right_.get(), node, name, args);
  }
  int64_t ComputeDate(Node* node, const std::string& name, Captures& args) override {
    return ComputeBoolean(node, name, args) ? 1 : 0;
  }
  std::string ComputeSet(const std::string& l, const std::string& r) const override {
    return ComputeString(l, r);
  }
};

class AAAnd : public AALogical {
 public:
  AAAnd() : AALogical("&", true) {}
  std::string Get(Node* node, const std::string& name, Captures& args) override {
    // Of text, set and truth type the result is the truth text itself.
    EvaluationScope scope;
    bool truth = false;
    if (name.empty() && Pure()) {
      const int type = AttributeType(node);
      if ((IsTextOperatorType(type) || type == kTypeSet || type == kTypeBoolean) &&
          FastTruth(node, &truth)) {
        return Truth(truth);
      }
    }
    return AABinaryOperator::Get(node, name, args);
  }
  double Compute(double l, double r) const override { return (l != 0 && r != 0) ? 1 : 0; }
  bool DecidedByLeft(const std::string& l) const override { return LogicalResult(l).IsFalse(); }
  bool DecidedByLeft(double l) const override { return l == 0; }
  std::string ComputeString(const std::string& l, const std::string& r) const override {
    return Truth(LogicalResult(l).IsTrue() && LogicalResult(r).IsTrue());
  }
  bool ComputeBoolean(Node* node, const std::string& name, Captures& args) override {
    return EvalBoolean(left_.get(), node, name, args) && EvalBoolean(right_.get(), node, name, args);
  }
  int64_t ComputeDate(Node* node, const std::string& name, Captures& args) override {
    return ComputeBoolean(node, name, args) ? 1 : 0;
  }
  std::string ComputeSet(const std::string& l, const std::string& r) const override {
    return ComputeString(l, r);
  }
};

std::unique_ptr<AABinaryOperator> MakeBinaryOperator(const std::string& token) {
  if (token == "+") return std::make_unique<AAPlus>();
  if (token == "-") return std::make_unique<AAMinus>();
  if (token == "*") return std::make_unique<AAMultiply>();
  if (token == "/") return std::make_unique<AADivide>();
  if (token == "|") return std::make_unique<AAOr>();
  if (token == "&") return std::make_unique<AAAnd>();
  if (token == "=" || token == "==") return std::make_unique<AAEqual>(token);
  if (token == "!=") return std::make_unique<AANotEqual>();
  if (token == "<") return std::make_unique<AAOrdering>("<", -1, false);
  if (token == "<=") return std::make_unique<AAOrdering>("<=", -1, true);
  if (token == ">") return std::make_unique<AAOrdering>(">", 1, false);
  if (token == ">=") return std::make_unique<AAOrdering>(">=", 1, true);
  return nullptr;
}

}  // namespace fernweave
