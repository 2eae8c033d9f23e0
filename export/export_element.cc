#include "export/export_element.h"

#include <cctype>
#include <utility>

#include "export/export_template.h"
#include "export/markup_element.h"
#include "lang/aa_value.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "model/node.h"

namespace fernweave {

namespace {

long live_elements = 0;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

bool IsNameChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) {
    s.remove_prefix(1);
  }
  while (!s.empty() && IsBlank(s.back())) {
    s.remove_suffix(1);
  }
  return s;
}

// Reads template text: literal runs and codes, one element at a time.
class TemplateReader {
 public:
  TemplateReader(std::string_view text, int nesting) : text_(text), nesting_(nesting) {}
  bool AtEnd() const { return pos_ >= text_.size(); }

  // The next element; `*code_name` gets the code's name ("" for a literal).
  std::unique_ptr<ExportElement> Next(std::string* code_name) {
    code_name->clear();
    if (text_[pos_] != '^') {
      return Literal();
    }
    if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '^') {
      return Literal();  // "^^" is a literal caret
    }
    if (pos_ + 1 < text_.size() && IsBlank(text_[pos_ + 1])) {
      pos_ += 2;  // a caret before white space goes, with that one character
      return Literal();
    }
    ++pos_;
    return Code(code_name);
  }

 private:
  std::unique_ptr<ExportElement> Literal() {
    std::string run;
    while (pos_ < text_.size()) {
      const char c = text_[pos_];
      if (c == '^') {
        if (pos_ + 1 < text_.size() && text_[pos_ + 1] == '^') {
          run += '^';
          pos_ += 2;
          continue;
        }
        break;
      }
      run += c;
      ++pos_;
    }
    return std::make_unique<LiteralElement>(std::move(run));
  }

  std::unique_ptr<ExportElement> Code(std::string* code_name) {
    while (pos_ < text_.size() && IsBlank(text_[pos_])) {
      ++pos_;
    }
    std::string name;
    while (pos_ < text_.size() && IsNameChar(text_[pos_])) {
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(text_[pos_])));
      ++pos_;
    }
    std::string arguments;
    if (pos_ < text_.size() && text_[pos_] == '^') {
      ++pos_;
    } else if (pos_ < text_.size() && text_[pos_] == '(') {
      ++pos_;
      arguments = Group();
      if (pos_ < text_.size() && text_[pos_] == '^') {
        ++pos_;
      }
    }
    *code_name = name;
    return MarkupExportElement::Create(name, arguments, nesting_);
  }

  // The text up to the ")" that closes the group just opened (dropped); nested
  // groups, double-quoted strings and backslash escapes stay whole.
  std::string Group() {
    std::string out;
    int depth = 1;
    bool quoted = false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '\\' && pos_ < text_.size()) {
        out += c;
        out += text_[pos_++];
        continue;
      }
      if (c == '"') {
        quoted = !quoted;
      } else if (!quoted && c == '(') {
        ++depth;
      } else if (!quoted && c == ')' && --depth == 0) {
        return out;
      }
      out += c;
    }
    return out;
  }

  std::string_view text_;
  size_t pos_ = 0;
  int nesting_;
};

}  // namespace

ExportElement::ExportElement() { ++live_elements; }

ExportElement::~ExportElement() { --live_elements; }

long ExportElement::LiveCount() { return live_elements; }

std::unique_ptr<ExportElement> ExportElement::FromText(std::string_view text) {
  auto root = std::make_unique<ExportElement>();
  ParseTemplateInto(text, root.get(), 0);
  return root;
}

// How many "^if^" clauses and argument fragments enclose the text being parsed now,
// over all parses under way (a fragment is parsed while its code is made).
int open_parse_depth = 0;

void ParseTemplateInto(std::string_view text, ExportElement* container, int fragment_nesting) {
  if (open_parse_depth >= ExportElement::kMaxParseDepth) {
    container->Add(std::make_unique<LiteralElement>(std::string(text)));
    return;
  }
  // The clauses being read, innermost last: each "^if^" reads elements into its true
  // clause until an "^else^" (then into its false clause) or an "^endif^".
  struct Frame {
    MarkupIf* owner;
    ExportElement* container;
    bool false_clause;
  };
  std::vector<Frame> frames = {{nullptr, container, false}};
  const int depth_before = open_parse_depth++;
  TemplateReader reader(text, fragment_nesting);
  std::string name;
  while (!reader.AtEnd()) {
    std::unique_ptr<ExportElement> element = reader.Next(&name);
    ExportElement* added = element.get();
    Frame& top = frames.back();
    top.container->Add(std::move(element));
    if (top.owner != nullptr && (added->IsElse() || added->IsEndif())) {
      if (added->IsElse() && !top.false_clause) {
        top.container = top.owner->false_clause();
        top.false_clause = true;
      } else {
        frames.pop_back();
        --open_parse_depth;
      }
    }
    if (name == "if" && open_parse_depth < ExportElement::kMaxParseDepth) {
      auto* if_element = static_cast<MarkupIf*>(added);
      frames.push_back({if_element, if_element->true_clause(), false});
      ++open_parse_depth;
    }
  }
  open_parse_depth = depth_before;
}

bool ExportElement::Eval(Node* node, ExportTemplate* t) {
  return children_.empty() || children_.front()->Eval(node, t);
}

int ExportElement::Export(std::string* out, Node* node, ExportTemplate* t) {
  for (const auto& child : children_) {
    if (int status = child->Export(out, node, t); status != 0) {
      return status;
    }
  }
  return 0;
}

std::string ExportElement::ExportValue(Node* node, ExportTemplate* t) {
  std::string out;
  Export(&out, node, t);
  return out;
}

double ExportElement::AsNumber(Node* node, ExportTemplate* t) {
  for (const auto& child : children_) {
    if (double x = child->AsNumber(node, t); x != 0) {
      return x;
    }
  }
  return 0;
}

bool ExportElement::HasElse() const { return !children_.empty() && children_.back()->IsElse(); }

void ExportElement::Add(std::unique_ptr<ExportElement> element) {
  if (element != nullptr) {
    children_.push_back(std::move(element));
  }
}

void ExportElement::DumpChildren(std::string* out) const {
  for (const auto& child : children_) {
    child->Dump(out);
  }
}

void ExportElement::Dump(std::string* out) const { DumpChildren(out); }

std::string ExportElement::Dump() const {
  std::string out;
  Dump(&out);
  return out;
}

bool LiteralElement::Eval(Node* node, ExportTemplate* t) {
  const std::string_view text = Trimmed(text_);
  if (text.empty()) {
    return false;
  }
  if (node == nullptr) {
    return true;
  }
  if (node->HasAttribute(text)) {
    return node->GetBoolean(text);
  }
  if (t != nullptr && t->GetExporter()->hooks().test_query) {
    if (std::optional<bool> truth = t->GetExporter()->hooks().test_query(node, text)) {
      return *truth;
    }
    return true;
  }
  // Without an agent query engine, a text that parses as an expression is judged by
  // its value.
  std::string error;
  std::unique_ptr<AAValue> parsed = AgentActionExpressionParser::Parse(text, false, &error);
  if (parsed != nullptr && error.empty() && parsed->IsValid()) {
    return LogicalResult(Action::Evaluate(node, text)).IsTrue();
  }
  return true;
}

int LiteralElement::Export(std::string* out, Node*, ExportTemplate*) {
  *out += text_;
  return 0;
}

double LiteralElement::AsNumber(Node*, ExportTemplate*) { return LeadingNumber(text_); }

void LiteralElement::Dump(std::string* out) const {
  *out += '"';
  *out += text_;
  *out += '"';
}

}  // namespace fernweave
