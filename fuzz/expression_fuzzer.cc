// Parses arbitrary text as an expression and as action statements, and evaluates the
// expression for each note of a small document holding attributes of every type,
// links, an alias, a prototype, an adornment and macros; the value is also assigned to
// scratch attributes. Every built-in function is reachable (the corpus seeds call each
// of them); links the link actions make are removed after each input so the document
// stays small, and the functions' work budget is small so nested aggregates end fast.
// Nothing may crash, leak or hang. The first byte chooses case sensitivity.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/clock.h"
#include "fuzz/fuzz_support.h"
#include "lang/aa_value.h"
#include "lang/expression_parser.h"
#include "lang/functions.h"
#include "lang/language.h"
#include "lang/list_splitters.h"
#include "lang/statement_parser.h"
#include "lang/value_dump.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/alias_node.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/props.h"

namespace {

constexpr size_t kMaxInput = 2048;

struct Fixture {
  std::unique_ptr<fernweave::Orvex> doc;
  std::vector<fernweave::Node*> notes;
  std::string links;  // the links as made, to see whether an input changed them
};

std::unique_ptr<Fixture> Build() {
  using namespace fernweave;
  {
    auto f = std::make_unique<Fixture>();
    f->doc = Orvex::Create("Fuzz.skep");
    Hypertext* doc = f->doc.get();
    Props& props = doc->Properties();
    const struct {
      const char* name;
      AttributeType type;
      const char* value;
    } kAttributes[] = {
        {"Status", AttributeType::kString, "done $Name \\$x"},
        {"Size", AttributeType::kNumber, "3.5"},
        {"Done", AttributeType::kBoolean, "true"},
        {"Due", AttributeType::kDate, "2009-05-04T08:00:00"},
        {"Tags", AttributeType::kSet, "a;b;\"c;d\""},
        {"Home", AttributeType::kURL, "https://example.org/"},
        {"Shade", AttributeType::kColor, "#336699"},
        {"Count", AttributeType::kUnsigned, "7"},
        {"Source", AttributeType::kFile, "/tmp/x"},
        {"Todo", AttributeType::kAction, "$Size + 1"},
        {"Where", AttributeType::kString, "$Where(parent)"},
    };
    for (const auto& a : kAttributes) {
      props.CreateBasicAttribute(a.name, kUserCategory, true, a.type);
    }
    Node* proto = doc->MakeNode("Proto", doc->Root(), nullptr, 0, 0);
    Node* top = doc->MakeNode("Top", doc->Root(), proto, 0, 0);
    Node* a = doc->MakeNode("A", top, nullptr, 0, 0);
    Node* b = doc->MakeNode("B", top, a, 0, 0);
    for (const auto& attribute : kAttributes) {
      a->Set(attribute.name, attribute.value);
    }
    b->SetPrototype(proto, false);
    proto->Set("Status", "template");
    a->SetText("river stone\rlantern");
    a->Set("DisplayExpression", "$Name + \"(\" + $DisplayName(parent) + \")\"");
    LinkRecord link;
    link.add_to_document = true;
    link.source = a;
    link.dest = b;
    link.name = "agree";
    doc->CreateLink(link);
    Node* pad = doc->MakeNode(Hypertext::NoteKind::kAdornment, "Pad", top, b, 0, 0);
    Node* alias = AliasNode::CreateFor(a, top, pad, 1, 1, false);
    b->SetText("stone lantern moss");
    doc->Records().SetMacro("m", "<$1|$2|\\$3|$0|$7>");
    doc->Records().SetMacro("self", "do(self, $1)");
    f->notes = {doc->Root(), top, a, b, proto, pad, alias};
    f->links = doc->Links().All().ToString(false);
    return f;
  }
}

std::unique_ptr<Fixture>& Document() {
  static auto* fixture = new std::unique_ptr<Fixture>(Build());
  return *fixture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace fernweave;
  if (size < 1 || size > kMaxInput) {
    return 0;
  }
  static bool ready = [] {
    SetNowForTesting(int64_t{3324186307});
    InstallLanguage();
    AAFunction::SetWorkBudgetForTesting(20000);
    return true;
  }();
  (void)ready;
  fuzz::Silence();

  const bool case_sensitive = (data[0] & 1) != 0;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

  std::string error;
  std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(text, case_sensitive, &error);
  (void)DumpTree(value.get());
  Fixture& fixture = *Document();
  if (value != nullptr) {
    for (Node* note : fixture.notes) {
      Captures captures;
      const std::string result = value->Get(note, captures);
      fuzz::Check(result.size() <= kMaxTextSize);
    }
    Node* scratch = fixture.notes[3];
    for (const char* name : {"Status", "Tags", "Due", "Size"}) {
      Captures captures{"x", "y"};
      value->Do(scratch, fixture.notes[2], name, captures);
      scratch->Remove(name);
    }
  }

  // An input whose link actions changed the links gets a fresh document after it.
  if (fixture.doc->Links().All().ToString(false) != fixture.links) {
    Document() = Build();
  }

  AgentActionParser statements(text);
  for (int i = 0; i < 64 && !statements.Token().empty(); ++i) {
  }
  (void)ArgList(text).size();
  (void)ActionList(text).size();
  (void)SetList::Edit("a;b", text);
  return 0;
}
