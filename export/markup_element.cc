#include "export/markup_element.h"

#include <cctype>
#include <utility>

#include <boost/regex.hpp>

#include "export/entities.h"
#include "export/export_template.h"
#include "lang/aa_value.h"
#include "lang/action.h"
#include "model/ht_path.h"
#include "model/link.h"
#include "model/node.h"

namespace fernweave {

namespace {

// How many argument expansions are under way.
int argument_nesting = 0;

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())) != 0) {
    s.remove_prefix(1);
  }
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())) != 0) {
    s.remove_suffix(1);
  }
  return s;
}

// "^else^" and "^endif^": they end a clause and emit nothing.
class MarkupElse : public MarkupExportElement {
 public:
  MarkupElse(std::string name, std::string arguments, int nesting)
      : MarkupExportElement(std::move(name), std::move(arguments), nesting) {}
  bool IsElse() const override { return name_ == "else"; }
  bool IsEndif() const override { return name_ == "endif"; }
  std::string ExportValue(Node*, ExportTemplate*) override { return std::string(); }
};

class MarkupNot : public MarkupPredicate {
 public:
  using MarkupPredicate::MarkupPredicate;
  bool Eval(Node* node, ExportTemplate* t) override { return !MarkupPredicate::Eval(node, t); }
};

// "^equal^", "^contains^", "^beginswith^", "^endswith^", "^days^": two argument
// fragments compared.
class MarkupComparison : public MarkupWithArgumentList {
 public:
  using MarkupWithArgumentList::MarkupWithArgumentList;
  bool Eval(Node* node, ExportTemplate* t) override {
    if (children_.size() < 2) {
      return false;
    }
    const std::string a = Fragment(0, node, t);
    const std::string b = Fragment(1, node, t);
    if (name_ == "equal") {
      return TrimQuotes(TrimBlanks(a)) == TrimQuotes(TrimBlanks(b));
    }
    if (name_ == "contains") {
      try {
        return boost::regex_search(a, boost::regex(b));
      } catch (const std::exception&) {
        return false;  // a pattern that does not compile matches nothing
      }
    }
    if (name_ == "beginswith") {
      return a.starts_with(b);
    }
    if (name_ == "endswith") {
      return a.ends_with(b);
    }
    // "days": the date lies fewer than n days in the past.
    const STime date = ReadDate(TrimQuotes(TrimBlanks(a)));
    if (date.IsNever()) {
      return false;
    }
    const double n = LeadingNumber(b);
    return STime().DaysSince(date) < n;
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    return Eval(node, t) ? " true " : " false ";
  }
};

// "^isinside(container)^" and "^isdescendedfrom(note)^".
class MarkupPlace : public MarkupWithArgumentList {
 public:
  using MarkupWithArgumentList::MarkupWithArgumentList;
  bool Eval(Node* node, ExportTemplate* t) override {
    if (node == nullptr) {
      return false;
    }
    Node* other = GetNodeNamed(node, Fragment(0, node, t), t, true);
    if (other == nullptr) {
      return false;
    }
    const Node* original = node->GetOriginal();
    if (name_ == "isinside") {
      for (Node* c = other->GetOriginal() != nullptr ? other->GetOriginal()->Son() : nullptr;
           c != nullptr; c = c->Brother()) {
        if (c == node || c->GetOriginal() == original) {
          return true;
        }
      }
      return false;
    }
    const Node* ancestor = other->GetOriginal();
    if (ancestor == nullptr) {
      return false;
    }
    return node->IsDescendedFrom(ancestor) ||
           (original != nullptr && original->IsDescendedFrom(ancestor)) ||
           node->IsDescendedFrom(other);
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    return Eval(node, t) ? " true " : " false ";
  }
};

}  // namespace

MarkupExportElement::MarkupExportElement(std::string name, std::string arguments,
                                         int fragment_nesting)
    : name_(std::move(name)),
      arguments_(std::move(arguments)),
      args_(arguments_, ',', true),
      fragment_nesting_(fragment_nesting) {}

int MarkupExportElement::Export(std::string* out, Node* node, ExportTemplate* t) {
  if (t != nullptr && !t->GetExporter()->Spend()) {
    return 0;
  }
  *out += ExportValue(node, t);
  return 0;
}

std::string MarkupExportElement::ExportValue(Node*, ExportTemplate*) { return std::string(); }

double MarkupExportElement::AsNumber(Node* node, ExportTemplate* t) {
  return LeadingNumber(ExportValue(node, t));
}

void MarkupExportElement::Dump(std::string* out) const {
  *out += "^" + name_;
  if (!arguments_.empty()) {
    *out += "(" + arguments_ + ")";
  }
  *out += "^";
}

std::string MarkupExportElement::TrimQuotes(std::string_view text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    return std::string(text.substr(1, text.size() - 2));
  }
  return std::string(text);
}

std::string MarkupExportElement::EvaluateArgument(std::string_view text, Node* node,
                                                  ExportTemplate* t) {
  if (t == nullptr || text.find('^') == std::string_view::npos) {
    return std::string(text);
  }
  ++argument_nesting;
  StEvaluationDepth depth;
  std::string result;
  if (argument_nesting < kMaxArgumentNesting && !depth.Exceeded()) {
    std::unique_ptr<ExportElement> fragment = ExportElement::FromText(text);
    result = fragment->ExportValue(node, t);
  } else {
    result = std::string(text);
  }
  --argument_nesting;
  return result;
}

std::string MarkupExportElement::Evaluated(size_t i, Node* node, ExportTemplate* t) const {
  return EvaluateArgument(TrimQuotes(TrimBlanks(args_.at(i))), node, t);
}

Node* MarkupExportElement::GetNodeNamed(Node* node, std::string_view name, ExportTemplate* t,
                                        bool strict) {
  const std::string designator =
      std::string(TrimBlanks(EvaluateArgument(TrimQuotes(TrimBlanks(name)), node, t)));
  Node* found = nullptr;
  if (designator == "current") {
    found = t != nullptr ? t->Exporting() : nullptr;
  } else if (designator == "source" && t != nullptr && t->ForLink() != nullptr) {
    found = t->ForLink()->SourceNode();
  } else if (designator == "destination" && t != nullptr && t->ForLink() != nullptr) {
    found = t->ForLink()->DestNode();
  } else if (!designator.empty() && node != nullptr) {
    found = HTPath(designator).Get(node);
  }
  if (found == nullptr && !strict) {
    return node;
  }
  return found;
}

std::string MarkupExportElement::EntityFilter(std::string_view text, Node* node,
                                              ExportTemplate* t) {
  if (node != nullptr && !node->GetBoolean("HTMLEntities")) {
    return std::string(text);
  }
  if (t == nullptr) {
    return fernweave::EntityFilter(text, false, false);
  }
  const std::string expanded = EvaluateArgument(text, node, t);
  if (!t->UseEntities()) {
    return expanded;
  }
  const bool quote = node != nullptr && node->GetBoolean("HTMLQuoteHTML");
  return fernweave::EntityFilter(expanded, false, quote);
}

ExportTemplate* MarkupExportElement::LoadExportTemplate(std::string_view name, Node* node,
                                                       ExportTemplate* t) {
  if (t == nullptr || node == nullptr) {
    return nullptr;
  }
  const std::string evaluated =
      std::string(TrimBlanks(EvaluateArgument(TrimQuotes(TrimBlanks(name)), node, t)));
  if (evaluated.empty()) {
    return t->GetExporter()->TemplateFor(node);
  }
  return t->GetExporter()->TemplateNamed(evaluated, node);
}

MarkupWithArgumentList::MarkupWithArgumentList(std::string name, std::string arguments,
                                               int fragment_nesting)
    : MarkupExportElement(std::move(name), std::move(arguments), fragment_nesting) {
  for (const std::string& arg : args_.items()) {
    auto piece = std::make_unique<ExportElement>();
    ParseTemplateInto(arg, piece.get(), fragment_nesting + 1);
    children_.push_back(std::move(piece));
  }
}

std::string MarkupWithArgumentList::Fragment(size_t i, Node* node, ExportTemplate* t) const {
  return i < children_.size() ? children_[i]->ExportValue(node, t) : std::string();
}

MarkupPredicate::MarkupPredicate(std::string name, std::string arguments, int fragment_nesting)
    : MarkupExportElement(std::move(name), std::move(arguments), fragment_nesting) {
  ParseTemplateInto(arguments_, this, fragment_nesting + 1);
}

bool MarkupPredicate::Eval(Node* node, ExportTemplate* t) { return ExportElement::Eval(node, t); }

std::string MarkupPredicate::ExportValue(Node* node, ExportTemplate* t) {
  return Eval(node, t) ? " true " : " false ";
}

MarkupIf::MarkupIf(std::string arguments, int fragment_nesting)
    : MarkupPredicate("if", std::move(arguments), fragment_nesting) {}

int MarkupIf::Export(std::string* out, Node* node, ExportTemplate* t) {
  if (t != nullptr && !t->GetExporter()->Spend()) {
    return 0;
  }
  return Eval(node, t) ? true_clause_.Export(out, node, t) : false_clause_.Export(out, node, t);
}

std::string MarkupIf::ExportValue(Node* node, ExportTemplate* t) {
  std::string out;
  Export(&out, node, t);
  return out;
}

void MarkupIf::Dump(std::string* out) const {
  *out += "^if(";
  DumpChildren(out);
  *out += ")^{";
  true_clause_.Dump(out);
  *out += "}{";
  false_clause_.Dump(out);
  *out += "}";
}

std::unique_ptr<ExportElement> MarkupExportElement::Create(std::string_view name_view,
                                                           std::string_view arguments_view,
                                                           int nesting) {
  const std::string name(name_view);
  const std::string arguments(arguments_view);
  if (name == "if") {
    return std::make_unique<MarkupIf>(arguments, nesting);
  }
  if (name == "else" || name == "endif") {
    return std::make_unique<MarkupElse>(name, arguments, nesting);
  }
  if (name == "not") {
    return std::make_unique<MarkupNot>(name, arguments, nesting);
  }
  if (name == "equal" || name == "contains" || name == "beginswith" || name == "endswith" ||
      name == "days") {
    return std::make_unique<MarkupComparison>(name, arguments, nesting);
  }
  if (name == "isinside" || name == "isdescendedfrom") {
    return std::make_unique<MarkupPlace>(name, arguments, nesting);
  }
  for (CodeMaker maker :
       {&CreateNoteCode, &CreateListCode, &CreateGroupCode, &CreateIncludeCode, &CreateTextCode,
        &CreateCloudCode}) {
    if (std::unique_ptr<ExportElement> element = maker(name, arguments, nesting)) {
      return element;
    }
  }
  // An unknown code stays in the page as written, less its closing caret.
  std::string literal = "^";
  if (!name.empty() && std::isalpha(static_cast<unsigned char>(name[0])) != 0) {
    literal += ' ';
  }
  literal += name;
  if (!arguments.empty()) {
    literal += "(" + arguments + ")";
  }
  return std::make_unique<LiteralElement>(std::move(literal));
}

}  // namespace fernweave
