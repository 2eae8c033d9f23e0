// The codes of the export template language. `MarkupExportElement` is one code: its
// lower-cased name, its raw argument text and that text split at commas. The helpers
// here are what every code shares: reading and evaluating arguments, finding the note
// a designator names, entity filtering and loading templates by name. The concrete
// codes live in export/markup_*.cc and are made by `MarkupExportElement::Create`.

#ifndef FERNWEAVE_EXPORT_MARKUP_ELEMENT_H_
#define FERNWEAVE_EXPORT_MARKUP_ELEMENT_H_

#include <memory>
#include <string>
#include <string_view>

#include "export/export_element.h"
#include "lang/list_splitters.h"

namespace fernweave {

class MarkupExportElement : public ExportElement {
 public:
  // How deeply argument expansions may nest: the 21st is not expanded.
  static constexpr int kMaxArgumentNesting = 21;

  MarkupExportElement(std::string name, std::string arguments, int fragment_nesting);

  // The element for a lower-cased code name; an unknown name gives the literal text
  // "^", a blank when the name begins with a letter, the name, and "(" arguments ")"
  // when there are any. Never null.
  static std::unique_ptr<ExportElement> Create(std::string_view name, std::string_view arguments,
                                               int fragment_nesting);

  std::string_view Type() const override { return name_; }
  // Writes ExportValue, unless the page's work budget is spent.
  int Export(std::string* out, Node* node, ExportTemplate* t) override;
  std::string ExportValue(Node* node, ExportTemplate* t) override;
  double AsNumber(Node* node, ExportTemplate* t) override;
  void Dump(std::string* out) const override;

  const std::string& name() const { return name_; }
  const std::string& arguments() const { return arguments_; }
  const ArgList& args() const { return args_; }

  // --- Shared helpers ---------------------------------------------------------
  // Removes one pair of matching surrounding double or single quotes.
  static std::string TrimQuotes(std::string_view text);
  // Text holding a caret expanded as a template for the note (at most
  // kMaxArgumentNesting - 1 expansions nest, and never past the language's evaluation
  // depth); other text unchanged.
  static std::string EvaluateArgument(std::string_view text, Node* node, ExportTemplate* t);
  // Argument i, quote-trimmed and evaluated.
  std::string Evaluated(size_t i, Node* node, ExportTemplate* t) const;
  // The note a designator names: "current" the note whose page is written, "source"
  // and "destination" the ends of the link being listed, anything else a path from
  // `node`. When nothing is found: `node`, or null when `strict`.
  static Node* GetNodeNamed(Node* node, std::string_view name, ExportTemplate* t, bool strict);
  // Entity filtering of a code's output for the note (see the .cc for the switches).
  static std::string EntityFilter(std::string_view text, Node* node, ExportTemplate* t);
  // The template a code names for `node` ("" for the note's own), or null.
  static ExportTemplate* LoadExportTemplate(std::string_view name, Node* node,
                                            ExportTemplate* t);

 protected:
  std::string name_;
  std::string arguments_;
  ArgList args_;
  int fragment_nesting_;
};

// A code whose arguments are each parsed as a template fragment into a child.
class MarkupWithArgumentList : public MarkupExportElement {
 public:
  MarkupWithArgumentList(std::string name, std::string arguments, int fragment_nesting);
  // Child i expanded for the note ("" past the end).
  std::string Fragment(size_t i, Node* node, ExportTemplate* t) const;
};

// A code whose whole argument text is parsed as one fragment; it emits " true " or
// " false " by its Eval.
class MarkupPredicate : public MarkupExportElement {
 public:
  MarkupPredicate(std::string name, std::string arguments, int fragment_nesting);
  bool Eval(Node* node, ExportTemplate* t) override;
  std::string ExportValue(Node* node, ExportTemplate* t) override;
};

// "^if(condition)^ ... ^else^ ... ^endif^".
class MarkupIf : public MarkupPredicate {
 public:
  MarkupIf(std::string arguments, int fragment_nesting);
  int Export(std::string* out, Node* node, ExportTemplate* t) override;
  std::string ExportValue(Node* node, ExportTemplate* t) override;
  ExportElement* true_clause() { return &true_clause_; }
  ExportElement* false_clause() { return &false_clause_; }
  void Dump(std::string* out) const override;

 private:
  ExportElement true_clause_;
  ExportElement false_clause_;
};

// The makers of each family of codes: the element for `name`, or null when the
// family has no such code.
using CodeMaker = std::unique_ptr<ExportElement> (*)(const std::string& name,
                                                    const std::string& arguments, int nesting);
std::unique_ptr<ExportElement> CreateNoteCode(const std::string& name, const std::string& arguments,
                                              int nesting);
std::unique_ptr<ExportElement> CreateListCode(const std::string& name, const std::string& arguments,
                                              int nesting);
std::unique_ptr<ExportElement> CreateGroupCode(const std::string& name,
                                               const std::string& arguments, int nesting);
std::unique_ptr<ExportElement> CreateIncludeCode(const std::string& name,
                                                 const std::string& arguments, int nesting);
std::unique_ptr<ExportElement> CreateTextCode(const std::string& name, const std::string& arguments,
                                              int nesting);
std::unique_ptr<ExportElement> CreateCloudCode(const std::string& name,
                                               const std::string& arguments, int nesting);

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_MARKUP_ELEMENT_H_
