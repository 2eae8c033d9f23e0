#include "lang/action.h"

#include <memory>

#include "lang/aa_value.h"
#include "lang/expression_parser.h"

namespace fernweave {

int StEvaluationDepth::depth_ = 0;

const std::string Action::kTrue = "true";
const std::string Action::kFalse;

std::string Action::Evaluate(Node* node, std::string_view expression, bool case_sensitive) {
  StEvaluationDepth level;
  if (level.Exceeded()) {
    return std::string();
  }
  std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(expression, case_sensitive);
  if (value == nullptr) {
    return "syntax error: " + std::string(expression);
  }
  Captures args;
  return value->Get(node, args);
}

}  // namespace fernweave
