// Operators of the expression language: the unary ones (`!`, unary `-`, a parenthesised
// group) and the binary ones. A binary operator decides how to work from the attribute
// types of its sides (AttributeType below) and then computes as a number, a truth, a
// date, a set or text; every result is written back as text.
//
// Ownership: an operator owns its sides.

#ifndef FERNWEAVE_LANG_AA_OPERATORS_H_
#define FERNWEAVE_LANG_AA_OPERATORS_H_

#include <cstdint>
#include <memory>
#include <string>

#include "lang/aa_value.h"

namespace fernweave {

// A value with one operand (also the base of one-operand functions).
class AAUnaryOperator : public AAValue {
 public:
  AAUnaryOperator(std::string token, std::unique_ptr<AAValue> operand);
  // Evaluates for the action's note and stores the text in the target when there is
  // an operand.
  std::string Do(Node* target, Node* node, const std::string& name, Captures& args) override;
  bool IsValid() const override { return operand_ != nullptr && operand_->IsValid(); }
  AAValue* operand() const { return operand_.get(); }
  // The note `path` designates from `node` (`node` itself for an empty path), or null.
  virtual Node* TargetNode(const std::string& path, Node* node) const;

 protected:
  std::unique_ptr<AAValue> operand_;
};

// "!x" and "~x".
class AANot : public AAUnaryOperator {
 public:
  using AAUnaryOperator::AAUnaryOperator;
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  void Dump(std::string* out) const override;

 protected:
  bool PureSelf() const override { return operand_ != nullptr && operand_->Pure(); }
};

// "-x" at the start of an operand.
class AANegate : public AAUnaryOperator {
 public:
  using AAUnaryOperator::AAUnaryOperator;
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  void Dump(std::string* out) const override;

 protected:
  bool PureSelf() const override { return operand_ != nullptr && operand_->Pure(); }
};

// "(expression)": the inner value, with its type. Dumped as the inner value alone (a
// binary operator writes its own parentheses), so a dump parses back to the same dump.
class AAParenthetical : public AAUnaryOperator {
 public:
  using AAUnaryOperator::AAUnaryOperator;
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  int AttributeType(const Node* node) const override;
  bool LendText(Node* node, std::string_view* text) override {
    return operand_ != nullptr && operand_->LendText(node, text);
  }
  bool FastTruth(Node* node, bool* truth) override {
    return operand_ != nullptr && operand_->FastTruth(node, truth);
  }
  void Dump(std::string* out) const override;

 protected:
  bool PureSelf() const override { return operand_ != nullptr && operand_->Pure(); }
};

// Whether an operator of this type computes with texts (ComputeString).
inline bool IsTextOperatorType(int type) {
  return type == kTypeString || type == kTypeFile || type == kTypeAction || type == kTypeUnknown;
}

class AABinaryOperator : public AAValue {
 public:
  AABinaryOperator(std::string token, int priority) : AAValue(std::move(token)), priority_(priority) {}

  // Dispatches on AttributeType: numbers to Compute, truths to ComputeBoolean, dates to
  // ComputeDate, sets to ComputeSet, text (and unknown types) to ComputeString; colours
  // and other types give "".
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  // Evaluates for the target note and stores the text there.
  std::string Do(Node* target, Node* node, const std::string& name, Captures& args) override;
  int Priority() const override { return priority_; }
  AAValue* Left() const override { return left_.get(); }
  AAValue* Right() const override { return right_.get(); }
  void SetLeft(std::unique_ptr<AAValue> value) override;
  void SetRight(std::unique_ptr<AAValue> value) override;
  std::unique_ptr<AAValue> TakeRight() override {
    pure_sides_ = -1;
    type_stamp_ = 0;
    return std::move(right_);
  }
  bool IsValid() const override;
  // The operator's type from its sides' types L and R: unknown when the operator is
  // not valid; L when L equals R or L is boolean; boolean when R is and L is unknown;
  // date or set when L is; for numeric L: number (R numeric or unknown), boolean,
  // string, else unknown; for numeric R: R when L is unknown, string when L is string;
  // otherwise string for string L with date or boolean R, set for string L with set R,
  // then whichever side is known, else unknown.
  int AttributeType(const Node* node) const override;
  void Dump(std::string* out) const override;
  // A pure operator of numeric type whose result is 0 or 1 (a comparison, `&`, `|`)
  // gives that number without writing and reading its text.
  bool FastNumber(Node* node, double* x) override;

  // A side read as a number: its text without one pair of outer quotes; a date gives
  // its days since 1904, other text its leading number (0 when none).
  virtual double Eval(AAValue* side, Node* node, const std::string& name, Captures& args);
  // A side read as truth.
  virtual bool EvalBoolean(AAValue* side, Node* node, const std::string& name, Captures& args);
  virtual double Compute(double l, double r) const = 0;
  // Default: whether the text result is non-empty.
  virtual bool ComputeBoolean(Node* node, const std::string& name, Captures& args);
  // Default: 0.
  virtual int64_t ComputeDate(Node* node, const std::string& name, Captures& args);
  // Default: "".
  virtual std::string ComputeSet(const std::string& l, const std::string& r) const;
  // Default: the texts joined.
  virtual std::string ComputeString(const std::string& l, const std::string& r) const;
  // Whether the left side alone settles the result (as text, and as a number): `&`
  // with a false left side, `|` with a true one. Never for other operators.
  virtual bool DecidedByLeft(const std::string& /*l*/) const { return false; }
  virtual bool DecidedByLeft(double /*l*/) const { return false; }

 protected:
  bool PureSelf() const override;
  // AttributeType without the remembered result.
  int TypeOfSides(const Node* node) const;
  // The text of a side ("" for a missing side).
  std::string SideText(AAValue* side, Node* node, const std::string& name, Captures& args);
  // The date of a side (never for a missing side).
  STime SideDate(AAValue* side, Node* node, Captures& args);

  std::unique_ptr<AAValue> left_;
  std::unique_ptr<AAValue> right_;
  int priority_;

 private:
  // The type last computed and the stamp of the attribute registry it was computed
  // with (0 for none): it holds for every note of that document while the stamp does.
  mutable uint64_t type_stamp_ = 0;
  mutable int type_ = kTypeUnknown;
  // Pure() of the sides, worked out on first use: -1 not yet, else 0 or 1. Setting a
  // side forgets it.
  mutable int pure_sides_ = -1;
};

// Joins two texts, or gives "" when the result would pass kMaxTextSize.
std::string JoinCapped(const std::string& l, const std::string& r);

// Makes the binary operator value for an operator token ("+", "-", "*", "/", "&", "|",
// "=", "==", "!=", "<", "<=", ">", ">="); null for any other text.
std::unique_ptr<AABinaryOperator> MakeBinaryOperator(const std::string& token);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_AA_OPERATORS_H_
