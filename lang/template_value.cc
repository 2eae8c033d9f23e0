#include "lang/template_value.h"

#include <utility>

#include "lang/action.h"
#include "model/ht_path.h"
#include "model/node.h"

namespace fernweave {

namespace {

TemplateEngine engine;

const char kNotAvailable[] = "export: not available yet";

std::string TrimOuterQuotes(std::string text) {
  if (text.size() >= 2 && (text.front() == '"' || text.front() == '\'') &&
      text.back() == text.front()) {
    return text.substr(1, text.size() - 2);
  }
  return text;
}

std::string TrimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
    s.remove_prefix(1);
  }
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
    s.remove_suffix(1);
  }
  return std::string(s);
}

// An argument as a designator or name: an expression ("$Attr", quoted text) is
// evaluated for the note, anything else is taken as written.
std::string ArgumentText(Node* node, const std::string& raw) {
  const std::string text = TrimBlanks(raw);
  if (HTPath::IsExpression(text)) {
    return HTPath::Evaluate(node, text);
  }
  return text;
}

class AAExportedString : public AAValue {
 public:
  AAExportedString(std::string designator, std::string template_name)
      : AAValue("exportedString"),
        designator_(std::move(designator)),
        template_name_(std::move(template_name)) {}
  std::string Get(Node* node, const std::string&, Captures&) override {
    if (engine.exported_string == nullptr) {
      return kNotAvailable;
    }
    StEvaluationDepth depth;
    if (depth.Exceeded() || node == nullptr) {
      return std::string();
    }
    Node* note = HTPath(ArgumentText(node, designator_)).Get(node);
    if (note == nullptr) {
      return std::string();
    }
    return engine.exported_string(note, ArgumentText(node, template_name_));
  }
  void Dump(std::string* out) const override {
    *out += "exportedString(" + designator_ + "," + template_name_ + ")";
  }

 private:
  std::string designator_;
  std::string template_name_;
};

}  // namespace

void InstallTemplateEngine(const TemplateEngine& e) { engine = e; }

AATemplateValue::AATemplateValue(std::string text) : AAValue("^"), text_(std::move(text)) {}

std::string AATemplateValue::Get(Node* node, const std::string&, Captures&) {
  if (engine.expand == nullptr) {
    return kNotAvailable;
  }
  StEvaluationDepth depth;
  if (depth.Exceeded() || node == nullptr) {
    return std::string();
  }
  std::string out = engine.expand(node, text_);
  if (out.size() > kMaxTextSize) {
    return std::string();
  }
  return out;
}

std::string AATemplateValue::Do(Node* target, Node* node, const std::string& name,
                                Captures& args) {
  if (target == nullptr) {
    return std::string();
  }
  const std::string text = TrimOuterQuotes(Get(target, name, args));
  (void)node;
  if (engine.expand != nullptr && target->GetString(name) != text) {
    target->Set(name, text);
  }
  return text;
}

std::unique_ptr<AAValue> MakeTemplateValue(std::string text) {
  return std::make_unique<AATemplateValue>(std::move(text));
}

std::unique_ptr<AAValue> MakeExportedString(FunctionCall call) {
  return std::make_unique<AAExportedString>(call.raw.at(0), call.raw.at(1));
}

}  // namespace fernweave
