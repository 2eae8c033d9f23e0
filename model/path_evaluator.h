// The seam through which paths hand expression texts to the action language.
//
// A path whose text begins with "$" or a quote is an expression: when no note carries
// that name, `HTPath` asks the installed evaluator for a string and resolves that
// string as a path. The language installs its evaluator at start-up; until one is
// installed, the expression's text (its quotes trimmed) is used as a plain name, so
// such paths fall back to the name lookup.

#ifndef FERNWEAVE_MODEL_PATH_EVALUATOR_H_
#define FERNWEAVE_MODEL_PATH_EVALUATOR_H_

#include <string>

namespace fernweave {

class Node;

class PathExpressionEvaluator {
 public:
  virtual ~PathExpressionEvaluator() = default;
  // The expression's value as text for the context note (never throws; an invalid
  // expression yields whatever text the language defines for it). `context` may be
  // null.
  virtual std::string Evaluate(Node* context, const std::string& expression) = 0;
};

// The process-wide evaluator, or null when none is installed.
PathExpressionEvaluator* InstalledPathEvaluator();

// Installs `evaluator` (not owned; it must outlive its installation; null uninstalls)
// and returns the one it replaces.
PathExpressionEvaluator* InstallPathEvaluator(PathExpressionEvaluator* evaluator);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_PATH_EVALUATOR_H_
