// Applies arbitrary action text to the notes of a small document that holds agents, a
// rule and an OnAdd container, uses it as a query, an agent action, a rule, an OnAdd
// action and a stamp, makes a note in the OnAdd container, then brings every agent to the
// end of a full scan and runs every rule: nothing may crash, leak or hang.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "agents/agent_manager.h"
#include "agents/rule_manager.h"
#include "foundation/clock.h"
#include "fuzz/fuzz_support.h"
#include "lang/language.h"
#include "lang/statements.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/props.h"

namespace {

constexpr size_t kMaxInput = 512;

std::unique_ptr<fernweave::Orvex> MakeDocument(const std::string& text) {
  using namespace fernweave;
  std::unique_ptr<Orvex> doc = Orvex::Create("Fuzz.skep");
  Props& props = doc->Properties();
  props.CreateBasicAttribute("Status", kUserCategory, true, AttributeType::kString);
  props.CreateBasicAttribute("Size", kUserCategory, true, AttributeType::kNumber);
  props.CreateBasicAttribute("Tags", kUserCategory, true, AttributeType::kSet);
  Node* inbox = doc->MakeNode("Inbox", nullptr, nullptr, 0, 0);
  inbox->Set("OnAdd", text);
  Node* back = doc->MakeNode("Back", nullptr, nullptr, 0, 0);
  back->Set("OnAdd", "$Container=\"/Inbox\"");
  inbox->Set("Rule", "$Size=$Size+1");
  for (int i = 0; i < 6; ++i) {
    Node* n = doc->MakeNode("n" + std::to_string(i), i % 2 ? inbox : back, nullptr, i, 0);
    n->Set("Status", i % 3 ? "open" : "done");
    n->Set("Size", std::to_string(i));
    n->Set("Rule", i == 2 ? text : "$Tags=+x");
  }
  AliasNode::CreateFor(doc->FindNodeNamed("n1"));
  Node* agent = doc->MakeNode(Hypertext::NoteKind::kAgent, "All", nullptr, nullptr, 0, 0);
  agent->Set("AgentQuery", "$Status==\"open\"");
  agent->Set("AgentAction", text);
  Node* own = doc->MakeNode(Hypertext::NoteKind::kAgent, "Own", nullptr, nullptr, 0, 0);
  own->Set("AgentQuery", text);
  own->Set("CleanupAction", "none");
  Node* adornment =
      doc->MakeNode(Hypertext::NoteKind::kAdornment, "Smart", inbox, nullptr, 0, 0);
  adornment->Set("AgentQuery", "$Size>2");
  doc->Records().Stamps().push_back({"S", "Status", text});
  return doc;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace fernweave;
  if (size > kMaxInput) {
    return 0;
  }
  fuzz::Silence();
  InstallLanguage();
  SetNowForTesting(int64_t{3294000000});
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<Orvex> doc = MakeDocument(text);
  {
    AgentManager agents(doc.get());
    RuleManager rules(doc.get(), &agents);
    std::unique_ptr<Action> action = Action::Create(doc.get(), text);
    std::vector<Node*> notes;
    for (Node* n : doc->AllNodes()) {
      notes.push_back(n);
    }
    // Notes the action hides stay owned by the document: only destruction would free them.
    for (Node* n : notes) {
      if (!n->IsHidden()) {
        Captures captures = {"a", "b"};
        action->Apply(n, captures);
      }
    }
    doc->DoCreate(Hypertext::NoteKind::kNote, "made", doc->FindNodeNamed("Inbox"), nullptr,
                  std::nullopt);
    agents.UpdateAll();
    rules.RunAll();
    agents.Update(false);
    rules.Run(3);
    fuzz::Check(StEvaluationDepth::depth() == 0);
  }
  return 0;
}
