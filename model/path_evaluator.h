// The seam through which the model hands expression texts to the action language.
//
// A path whose text begins with "$" or a quote is an expression: when no note carries
// that name, `HTPath` asks the installed evaluator for a string and resolves that
// string as a path. A note whose `DisplayExpression` is not empty shows that
// expression's value as its display name. A set attribute edited with "+", "-" or "~"
// has its members read by the language's set-list rules. The language installs its
// evaluator at start-up; until one is installed, the expression's text (its quotes
// trimmed) is used as a plain name, a display name is the note's name, and set members
// are split on ";" with blanks trimmed.

#ifndef FERNWEAVE_MODEL_PATH_EVALUATOR_H_
#define FERNWEAVE_MODEL_PATH_EVALUATOR_H_

#include <string>
#include <string_view>
#include <vector>

namespace fernweave {

class Node;

class PathExpressionEvaluator {
 public:
  virtual ~PathExpressionEvaluator() = default;
  // The expression's value as text for the context note (never throws; an invalid
  // expression yields whatever text the language defines for it). `context` may be
  // null.
  virtual std::string Evaluate(Node* context, const std::string& expression) = 0;
  // The members of a set value's text, in order, without empty members. The default
  // splits on ";" and trims blanks.
  virtual std::vector<std::string> SplitSetMembers(std::string_view text);
};

// The default split of set text, used when no evaluator is installed.
std::vector<std::string> SplitSetMembersPlainly(std::string_view text);

// The process-wide evaluator, or null when none is installed.
PathExpressionEvaluator* InstalledPathEvaluator();

// Installs `evaluator` (not owned; it must outlive its installation; null uninstalls)
// and returns the one it replaces.
PathExpressionEvaluator* InstallPathEvaluator(PathExpressionEvaluator* evaluator);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_PATH_EVALUATOR_H_
