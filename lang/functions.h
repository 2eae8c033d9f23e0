// The built-in functions of the expression language. The function table
// (lang/function_table.cc) names, for every function name and alias, the maker below
// that builds its value; each maker serves one kind of function and reads the call's
// canonical name to choose among them:
//   lang/functions_numeric.cc    numbers and colours
//   lang/functions_text.cc       text conversions, `word` and `format`
//   lang/functions_date.cc       dates
//   lang/functions_groups.cc     sets and the aggregates over groups of notes
//   lang/functions_structure.cc  the tree, links and the link actions
//   lang/functions_bridges.cc    macros (`do`), `eval`, the shell
//
// Every function value is an `AAFunction`: with no note to work on it yields the empty
// text, and it dumps as its name with its arguments. Evaluations that start other
// evaluations (aggregates over groups, `eval`, `do`, shell commands) draw on one work
// budget per outermost function evaluation, so nesting them cannot make an evaluation
// run for hours: once the budget is spent they yield the empty text.

#ifndef FERNWEAVE_LANG_FUNCTIONS_H_
#define FERNWEAVE_LANG_FUNCTIONS_H_

#include <cstddef>
#include <memory>
#include <string>

#include "lang/aa_operators.h"
#include "lang/function_table.h"

namespace fernweave {

// Makers for the rows of the function table; see the files above.
std::unique_ptr<AAValue> MakeNumericFunction(FunctionCall call);
std::unique_ptr<AAValue> MakeTextFunction(FunctionCall call);
std::unique_ptr<AAValue> MakeDateFunction(FunctionCall call);
std::unique_ptr<AAValue> MakeGroupFunction(FunctionCall call);
std::unique_ptr<AAValue> MakeStructureFunction(FunctionCall call);
std::unique_ptr<AAValue> MakeBridgeFunction(FunctionCall call);

// links[(designator)].direction.type.attribute (lang/functions_structure.cc), from the
// designator's text and the dotted part ("links.outbound.agree.Name"). An AAInvalid
// "links: syntax error" for fewer than four dot-separated parts.
std::unique_ptr<AAValue> MakeLinksValue(const std::string& designator, bool has_designator,
                                        const std::string& dotted);

// The backquote form: `operand`'s text run as a shell command (lang/functions_bridges.cc).
std::unique_ptr<AAValue> MakeShellValue(std::unique_ptr<AAValue> operand);

// The base of every function value. The operand is the parsed first argument (single
// and path conventions) or the chain of arguments (expression convention); list-style
// functions keep only the raw texts.
class AAFunction : public AAUnaryOperator {
 public:
  AAFunction(FunctionCall call, int type = kTypeUnknown, int priority = 9999);

  // Empty text for a null note or a spent work budget; otherwise Compute.
  std::string Get(Node* node, const std::string& name, Captures& args) final;
  bool IsValid() const override;
  int AttributeType(const Node*) const override { return type_; }
  int Priority() const override { return priority_; }
  void Dump(std::string* out) const override;

  // Takes `units` from the work budget of the outermost evaluation; false (taking
  // nothing) once it is spent. The budget is kWorkBudget unless a test or fuzzer set
  // another.
  static bool Spend(size_t units);
  // Four million units: an aggregate spends one per note, eval and do sixteen more
  // (they parse text too).
  static constexpr size_t kWorkBudget = size_t{4} << 20;
  static void SetWorkBudgetForTesting(size_t budget);

 protected:
  // The function's result for a non-null note.
  virtual std::string Compute(Node* node, const std::string& name, Captures& args) = 0;

  // The i-th value of the argument chain, or null past its end.
  AAValue* Argument(size_t i) const;
  size_t ArgumentCount() const;
  // The text of the i-th argument for the note; "" past the end.
  std::string ArgumentText(size_t i, Node* node, Captures& args) const;

  const std::string& name() const { return name_; }
  const std::string& canonical() const { return canonical_; }
  const ArgList& raw() const { return raw_; }
  bool case_sensitive() const { return case_sensitive_; }
  // How many groups deep the call lay (for arguments parsed with ParseArgument).
  int nesting() const { return nesting_; }

 private:
  std::string name_;
  std::string canonical_;
  ArgList raw_;
  ArgumentConvention convention_;
  bool case_sensitive_;
  int nesting_;
  int type_;
  int priority_;
};

// Parses an argument text of a list-style function, one level deeper than the call
// (so nested calls stay within the parser's nesting bound). Never null: text that
// makes no value gives an AAInvalid.
std::unique_ptr<AAValue> ParseArgument(const std::string& text, bool case_sensitive,
                                       int nesting);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_FUNCTIONS_H_
