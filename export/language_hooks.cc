// The template language's bridges to the rest of the language: `^action^` runs a
// statement list as agents and stamps do, `^do^` substitutes a document macro as the
// expression language's `do` does, and a literal `^if^` piece is tested as a query.

#include <memory>

#include "agents/agent_query.h"
#include "export/export_template.h"
#include "lang/action.h"
#include "lang/macro_substitution.h"
#include "model/node.h"

namespace fernweave {

TemplateLanguageHooks StandardLanguageHooks() {
  TemplateLanguageHooks hooks;
  hooks.run_action = [](Node* note, std::string_view text) {
    if (note == nullptr) {
      return;
    }
    std::unique_ptr<Action> action = Action::Create(note->GetHypertext(), text);
    if (action->IsValid()) {
      Captures captures;
      action->Apply(note, captures);
    }
  };
  hooks.expand_macro = [](std::string_view macro_text, const std::vector<std::string>& arguments) {
    return SubstituteMacro(macro_text, arguments);
  };
  hooks.test_query = [](Node* note, std::string_view text) -> std::optional<bool> {
    if (note == nullptr) {
      return std::nullopt;
    }
    AgentQuery query(note->GetHypertext(), std::string(text), /*case_sensitive=*/false);
    if (!query.Parse()) {
      return std::nullopt;
    }
    return query.Matches(note, nullptr);
  };
  return hooks;
}

}  // namespace fernweave
