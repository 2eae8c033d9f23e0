// The codes that expand other notes with their own templates: "^children^",
// "^descendants^", "^include^" and "^randomchildof^". A note being expanded is never
// expanded inside itself: the run keeps the notes being included (by the note an
// alias stands for), and meeting one again gives the circular-include text.

#include <string>
#include <vector>

#include "export/export_file_manager.h"
#include "export/export_template.h"
#include "export/markup_element.h"
#include "export/markup_support.h"
#include "lang/aa_value.h"
#include "lang/action.h"
#include "model/attribute.h"
#include "model/node.h"
#include "model/random_source.h"

namespace fernweave {

namespace {

const Node* IncludeKey(const Node* n) {
  return n->GetOriginal() != nullptr ? n->GetOriginal() : n;
}

// Expands `note` with `tmpl` as part of the page under way, marked as being included.
std::string ExpandIncluded(Node* note, ExportTemplate* tmpl, ExportTemplate* t) {
  StEvaluationDepth depth;
  if (depth.Exceeded()) {
    return std::string();
  }
  StIncluding including(&t->GetExporter()->including, IncludeKey(note));
  return tmpl->Expand(note);
}

// "^children^", "^justchildren^", "^descendants^", "^descendents^": ([template[, count]]).
class MarkupIncludeChildrenHere : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (node == nullptr || t == nullptr) {
      return std::string();
    }
    Node* parent = node->GetOriginal() != nullptr ? node->GetOriginal() : node;
    const bool just_children = name_ == "children" || name_ == "justchildren";
    ExportTemplate* named = nullptr;
    const std::string template_name = std::string(TrimmedText(args_.at(0)));
    if (!template_name.empty()) {
      named = LoadExportTemplate(template_name, node, t);
      if (named == nullptr) {
        return std::string();
      }
    }
    long limit = -1;
    if (!TrimmedText(args_.at(1)).empty()) {
      limit = static_cast<long>(LeadingNumber(Evaluated(1, node, t)));
    }
    std::string out;
    long count = 0;
    for (Node* c = parent->Son(); c != nullptr;
         c = just_children ? c->Brother() : c->NextWithin(parent)) {
      if (limit >= 0 && count >= limit) {
        break;
      }
      if (!CanBeExportedToPage(c)) {
        continue;
      }
      if (t->AlreadyIncluded(IncludeKey(c))) {
        return "<^include(" + c->Name() + "," + t->GetName() + "):: circular include>";
      }
      ExportTemplate* tmpl = named != nullptr ? named : t->GetExporter()->TemplateFor(c);
      if (tmpl == nullptr) {
        continue;
      }
      out += ExpandIncluded(c, tmpl, t);
      ++count;
    }
    return out;
  }
};

// "^include(note, template)^" and "^randomchildof(note, template)^".
class MarkupInclude : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (node == nullptr || t == nullptr) {
      return std::string();
    }
    Node* note = GetNodeNamed(node, args_.at(0), t, true);
    if (note != nullptr && name_ == "randomchildof") {
      Node* parent = note->GetOriginal() != nullptr ? note->GetOriginal() : note;
      const size_t count = parent->ChildCount();
      note = nullptr;
      if (count > 0) {
        size_t pick = Random().Next(static_cast<uint32_t>(count));
        for (Node* c = parent->Son(); c != nullptr; c = c->Brother(), --pick) {
          if (pick == 0) {
            note = c;
            break;
          }
        }
      }
    }
    if (note == nullptr || !IsExportable(note)) {
      return std::string();
    }
    if (t->AlreadyIncluded(IncludeKey(note))) {
      return "<^include(" + args_.at(0) + "," + t->GetName() + "):: circular include>";
    }
    ExportTemplate* tmpl = LoadExportTemplate(args_.at(1), note, t);
    if (tmpl == nullptr || !tmpl->IsValid()) {
      return "^include(" + args_.at(0) + "," + args_.at(1) +
             ")::<template not found, or template includes itself>";
    }
    // The included note is exported even when it has no page of its own; its own
    // state is put back exactly afterwards, a missing value staying missing.
    const Attribute* dont_export = note->GetAttribute("HTMLDontExport");
    const Value* stored = note->StoredValue(dont_export);
    ValuePtr saved = stored != nullptr ? stored->Clone() : nullptr;
    const bool was_set = stored != nullptr;
    note->SetBoolean("HTMLDontExport", false);
    std::string out = ExpandIncluded(note, tmpl, t);
    if (was_set) {
      note->Set(dont_export, std::move(saved));
    } else {
      note->Remove(dont_export);
    }
    return out;
  }
};

}  // namespace

std::unique_ptr<ExportElement> CreateIncludeCode(const std::string& name,
                                                 const std::string& arguments, int nesting) {
  if (name == "children" || name == "justchildren" || name == "descendants" ||
      name == "descendents") {
    return std::make_unique<MarkupIncludeChildrenHere>(name, arguments, nesting);
  }
  if (name == "include" || name == "randomchildof") {
    return std::make_unique<MarkupInclude>(name, arguments, nesting);
  }
  return nullptr;
}

}  // namespace fernweave
