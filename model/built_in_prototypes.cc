#include "model/built_in_prototypes.h"

#include <string>

#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {
namespace {

constexpr char kContainerPath[] = "/Prototypes";

struct Setting {
  const char* attribute;
  const char* text;
};

template <size_t N>
void Apply(Node* n, const Setting (&settings)[N]) {
  for (const Setting& s : settings) {
    // A name the registry does not hold is ignored, as every write of an unknown
    // attribute is; nothing is declared for it.
    n->Set(s.attribute, s.text);
  }
}

// What the container's OnAdd action would do for a prototype made inside it.
void BePrototype(Node* n) {
  n->Set("IsPrototype", "true");
}

void FillContainer(Node* n) {
  static constexpr Setting kValues[] = {
      {"OnAdd", "$IsPrototype=true"},
      {"Width", "10"},
      {"Height", "4"},
      {"MapScrollX", "6"},
      {"HTMLDontExport", "true"},
      {"HTMLExportChildren", "false"},
  };
  Apply(n, kValues);
}

void FillPerson(Node* n) {
  static constexpr Setting kValues[] = {
      {"Badge", "person"},
      {"KeyAttributes", "FullName;Organization;Address;Email;Telephone;AIM;Twitter;URL"},
      {"Color", "green"},
      {"Pattern", ""},
      {"Shape", "lozenge"},
      {"Width", "4.0"},
  };
  BePrototype(n);
  Apply(n, kValues);
}

void FillEvent(Node* n) {
  static constexpr Setting kValues[] = {
      {"Badge", "clock"},
      {"KeyAttributes", "StartDate;EndDate"},
      {"Color", "muted red"},
      {"Color2", "dark red"},
  };
  BePrototype(n);
  Apply(n, kValues);
}

void FillTask(Node* n) {
  // "BorderStyle" is not a built-in attribute: that write is ignored.
  static constexpr Setting kValues[] = {
      {"Badge", "calendar"},
      {"KeyAttributes", "DueDate;Checked"},
      {"Color", "cool gray"},
      {"Color2", "dark cool gray"},
      {"BorderStyle", "plain"},
      {"BorderColor", "dark cool gray"},
      {"Shape", "left tag"},
      {"DisplayExpression", "if($ChildCount){$Name+\" (\"+$ChildCount+\")\"}else{$Name}"},
      {"OnAdd", "Prototype|=\"Task\""},
  };
  BePrototype(n);
  Apply(n, kValues);
}

// The values "HTML Template" and "Code" share: plain text export without paragraph
// markup, in a fixed-width font.
void FillCodeLike(Node* n) {
  static constexpr Setting kValues[] = {
      {"HTMLParagraphStart", ""},         {"HTMLParagraphEnd", ""},
      {"HTMLFirstParagraphStart", ""},    {"HTMLFirstParagraphEnd", ""},
      {"HTMLIndentedParagraphStart", ""}, {"HTMLIndentedParagraphEnd", ""},
      {"ParagraphSpacing", "0"},          {"LineSpacing", "100"},
      {"TextFont", "Andale Mono"},        {"AutomaticIndent", "false"},
      {"HTMLDontExport", "true"},         {"TextSidebar", "false"},
  };
  BePrototype(n);
  Apply(n, kValues);
}

void FillTemplate(Node* n) {
  static constexpr Setting kValues[] = {
      {"IsTemplate", "true"},
      {"Badge", "tools"},
      {"Color", "lighter black"},
  };
  FillCodeLike(n);
  Apply(n, kValues);
  n->SetText(BuiltInPrototypes::kTemplateText);
}

void FillCode(Node* n) {
  static constexpr Setting kValues[] = {
      {"IsTemplate", "false"},
      {"Badge", "design"},
      {"Color", "lightest black"},
  };
  FillCodeLike(n);
  Apply(n, kValues);
}

void FillInbox(Node* n) {
  static constexpr Setting kValues[] = {{"Width", "6"}, {"Height", "4"}};
  Apply(n, kValues);
}

}  // namespace

Node* BuiltInPrototypes::FindOrMake(const char* path, void (*fill)(Node*)) {
  if (hypertext_ == nullptr || !hypertext_->CanEdit()) {
    return nullptr;
  }
  const HTPath p(path);
  if (Node* existing = p.Get(hypertext_->Root())) {
    return existing;
  }
  Node* made = p.Create(hypertext_->Root());
  if (made != nullptr) {
    fill(made);
  }
  return made;
}

Node* BuiltInPrototypes::Prototype(const char* name, void (*fill)(Node*)) {
  // The container first, so that a new one gets its own values.
  if (Container() == nullptr) {
    return nullptr;
  }
  return FindOrMake((std::string(kContainerPath) + "/" + name).c_str(), fill);
}

Node* BuiltInPrototypes::Container() {
  return FindOrMake(kContainerPath, FillContainer);
}

Node* BuiltInPrototypes::ForPerson() {
  return Prototype("Person", FillPerson);
}

Node* BuiltInPrototypes::ForEvent() {
  return Prototype("Event", FillEvent);
}

Node* BuiltInPrototypes::ForTask() {
  return Prototype("Task", FillTask);
}

Node* BuiltInPrototypes::ForTemplate() {
  return Prototype("HTML Template", FillTemplate);
}

Node* BuiltInPrototypes::ForCode() {
  return Prototype("Code", FillCode);
}

Node* BuiltInPrototypes::Inbox() {
  return FindOrMake("/Inbox", FillInbox);
}

bool BuiltInPrototypes::HasContainer() const {
  return hypertext_ != nullptr && HTPath(kContainerPath).Get(hypertext_->Root()) != nullptr;
}

bool BuiltInPrototypes::HasPersonPrototype() const {
  return hypertext_ != nullptr &&
         HTPath(std::string(kContainerPath) + "/Person").Get(hypertext_->Root()) != nullptr;
}

}  // namespace fernweave
