// Evaluating expression text for a note in one step, and the bound on evaluations that
// start other evaluations.
//
// Text may cause more text to be evaluated: an expression path of a note, a display
// expression, and later eval(), do(), exported strings, templates and OnAdd actions. All
// of them go through Action::Evaluate, which counts how deeply such evaluations are
// nested (one counter for the process's main thread); past kMaxEvaluationDepth an
// evaluation yields the empty text instead of starting, so a text that refers back to
// itself ends rather than exhausting the stack.

#ifndef FERNWEAVE_LANG_ACTION_H_
#define FERNWEAVE_LANG_ACTION_H_

#include <memory>
#include <string>
#include <string_view>

#include "lang/aa_value.h"

namespace fernweave {

class Hypertext;
class Node;

// Counts one level of nested evaluation while alive.
class StEvaluationDepth {
 public:
  static constexpr int kMaxEvaluationDepth = 64;
  StEvaluationDepth() { ++depth_; }
  ~StEvaluationDepth() { --depth_; }
  StEvaluationDepth(const StEvaluationDepth&) = delete;
  StEvaluationDepth& operator=(const StEvaluationDepth&) = delete;
  // True when this level lies beyond the bound.
  bool Exceeded() const { return depth_ > kMaxEvaluationDepth; }
  static int depth() { return depth_; }

 private:
  static int depth_;
};

// A parsed action: statements that change notes (lang/statements.h holds the kinds).
class Action {
 public:
  static const std::string kTrue;   // "true"
  static const std::string kFalse;  // ""

  Action() = default;
  Action(const Action&) = delete;
  Action& operator=(const Action&) = delete;
  virtual ~Action() = default;

  // A `NoAction` for empty text (blanks aside), else an `AgentAction` parsed from the
  // text. Never null; the caller owns it. `hypertext` may be null (no stamps then).
  static std::unique_ptr<Action> Create(Hypertext* hypertext, std::string_view text);

  // Runs the action on `node` (null does nothing) with the regular-expression captures
  // `$1`, `$2`, ... read. Never throws for anything a user wrote.
  virtual void Apply(Node* node, Captures& captures) = 0;
  // True when every statement parsed.
  virtual bool IsValid() const = 0;

  // Parses `expression` (case-insensitively unless told otherwise) and evaluates it for
  // `node` (which may be null) with no captures. "syntax error: " and the expression
  // when nothing parsed; "" past the evaluation depth bound.
  static std::string Evaluate(Node* node, std::string_view expression,
                              bool case_sensitive = false);
};

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_ACTION_H_
