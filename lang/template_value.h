// The language's side of export templates: the "^" value (the rest of an expression,
// caret included, expanded as an export template for the note) and the function
// "exportedString(designator, template)". The template engine lives above the language
// (export/), which installs itself here; until it does, both say
// "export: not available yet".

#ifndef FERNWEAVE_LANG_TEMPLATE_VALUE_H_
#define FERNWEAVE_LANG_TEMPLATE_VALUE_H_

#include <memory>
#include <string>
#include <string_view>

#include "lang/aa_value.h"
#include "lang/function_table.h"

namespace fernweave {

// What the export engine provides. Both members are set together.
struct TemplateEngine {
  // The template text expanded for the note.
  std::string (*expand)(Node* node, std::string_view template_text) = nullptr;
  // The note as the named template writes it ("" for the note's own template).
  std::string (*exported_string)(Node* note, std::string_view template_name) = nullptr;
};

// Installs the engine for the whole process (replacing any).
void InstallTemplateEngine(const TemplateEngine& engine);

// A template text evaluated for the note. Assigned, it stores its text (one pair of
// outer quotes removed) only when that differs from the attribute's current text.
class AATemplateValue : public AAValue {
 public:
  explicit AATemplateValue(std::string text);
  std::string Get(Node* node, const std::string& name, Captures& args) override;
  std::string Do(Node* target, Node* node, const std::string& name, Captures& args) override;
  void Dump(std::string* out) const override { *out += text_; }

 private:
  std::string text_;
};

// The value of "^...": `text` begins with the caret.
std::unique_ptr<AAValue> MakeTemplateValue(std::string text);
// The maker of "exportedString" for the function table (list arguments: designator,
// template name).
std::unique_ptr<AAValue> MakeExportedString(FunctionCall call);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_TEMPLATE_VALUE_H_
