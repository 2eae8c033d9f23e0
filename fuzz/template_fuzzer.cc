// Parses arbitrary text as an export template and expands it for each note of a small
// document holding template notes, a macro, links, an alias and a prototype, with
// fake hooks for actions and macros. Nothing may crash, leak or hang, and the live
// element count must return to where it was.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_element.h"
#include "export/export_template.h"
#include "foundation/clock.h"
#include "fuzz/fuzz_support.h"
#include "lang/language.h"
#include "model/alias_node.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/props.h"

namespace {

constexpr size_t kMaxInput = 4096;

struct Fixture {
  std::unique_ptr<fernweave::Orvex> doc;
  std::vector<fernweave::Node*> notes;
};

Fixture& Document() {
  using namespace fernweave;
  static Fixture* fixture = [] {
    auto* f = new Fixture;
    f->doc = Orvex::Create("Fuzz.skep");
    Hypertext* doc = f->doc.get();
    doc->Properties().CreateBasicAttribute("Size", kUserCategory, true, AttributeType::kNumber);
    Node* proto = doc->MakeNode("Proto", doc->Root(), nullptr, 0, 0);
    Node* top = doc->MakeNode("Top \"x\" & <y>", doc->Root(), proto, 0, 0);
    Node* a = doc->MakeNode("A", top, nullptr, 0, 0);
    Node* b = doc->MakeNode("B", top, a, 0, 0);
    Node* t = doc->MakeNode("T", doc->Root(), top, 0, 0);
    Node* u = doc->MakeNode("U", doc->Root(), t, 0, 0);
    t->SetBoolean("IsTemplate", true);
    t->SetText("[^title^^children(/T)^^include(/Top \"x\" & <y>,/U)^]");
    u->SetBoolean("IsTemplate", true);
    u->SetText("{^text(2)^^descendants^^do(m, 1)^^value(^include(/T,/U)^)^}");
    a->SetText("one ^title^ two\rthree ^text^");
    a->Set("Size", "3");
    b->Set("Size", "-2.5");
    b->SetPrototype(proto, false);
    AliasNode::CreateFor(top, b, nullptr, 0, 0, false);
    doc->Records().SetMacro("m", "m$1^do(m, $1)^");
    LinkRecord link;
    link.add_to_document = true;
    link.source = a;
    link.dest = b;
    link.title = "t\"";
    doc->CreateLink(link);
    f->notes = {top, a, b, t, proto};
    return f;
  }();
  return *fixture;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace fernweave;
  if (size > kMaxInput) {
    return 0;
  }
  static bool ready = [] {
    SetNowForTesting(int64_t{3324186307});
    InstallLanguage();
    InstallTemplateLanguage();
    return true;
  }();
  (void)ready;
  fuzz::Silence();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  Fixture& fixture = Document();
  const long live = ExportElement::LiveCount();
  {
    ExportRun run(fixture.doc.get());
    // Enough for any page of this document; keeps each input quick.
    run.SetMaxStepsPerPage(20000);
    run.hooks().expand_macro = [](std::string_view macro, const std::vector<std::string>&) {
      return std::string(macro);
    };
    run.hooks().run_action = [](Node*, std::string_view) {};
    ExportTemplate page(&run, "fuzz", text);
    (void)page.GetRoot()->Dump();
    for (Node* note : fixture.notes) {
      const std::string out = page.Export(note, note);
      fuzz::Check(out.size() < (size_t{64} << 20));
    }
  }
  fuzz::Check(ExportElement::LiveCount() == live);
  return 0;
}
