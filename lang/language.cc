#include "lang/language.h"

#include <string>
#include <string_view>
#include <vector>

#include "lang/action.h"
#include "lang/list_splitters.h"
#include "lang/statements.h"
#include "model/path_evaluator.h"

namespace fernweave {

namespace {

class LanguageEvaluator : public PathExpressionEvaluator {
 public:
  std::string Evaluate(Node* context, const std::string& expression) override {
    return Action::Evaluate(context, expression);
  }
  std::vector<std::string> SplitSetMembers(std::string_view text) override {
    return SetList(text).items();
  }
};

}  // namespace

void InstallLanguage() {
  static LanguageEvaluator evaluator;
  InstallPathEvaluator(&evaluator);
  InstallActions();
}

}  // namespace fernweave
