// The export template language: a template is plain text in which caret-delimited
// codes ("^title^", "^value($Price*2)^", "^children^") stand for content computed for
// a note. It is parsed once into a tree of elements and then expanded for one note at
// a time under a running `ExportTemplate` (export/export_template.h).
//
// Parsing never fails: unknown codes stay in the output as literal text, missing
// arguments read as "", an unterminated "^if^" ends at the end of the text. The tree
// is bounded: "^if^" clauses and argument fragments together nest at most
// kMaxParseDepth deep (a deeper "^if^" opens no clause and emits nothing; a deeper
// fragment is kept as literal text), so neither expansion nor destruction can exhaust
// the stack.
//
// Ownership. Each element owns its children; the caller owns the root.

#ifndef FERNWEAVE_EXPORT_EXPORT_ELEMENT_H_
#define FERNWEAVE_EXPORT_EXPORT_ELEMENT_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace fernweave {

class ExportTemplate;
class Node;

class ExportElement {
 public:
  // How deeply "^if^" clauses and argument fragments may nest, together.
  static constexpr int kMaxParseDepth = 32;

  ExportElement();
  ExportElement(const ExportElement&) = delete;
  ExportElement& operator=(const ExportElement&) = delete;
  virtual ~ExportElement();

  // Parses a whole template; the root's children are the top-level elements.
  static std::unique_ptr<ExportElement> FromText(std::string_view text);

  virtual std::string_view Type() const { return "container"; }
  // The element's truth as a condition for `node`: the first child's, true without
  // children.
  virtual bool Eval(Node* node, ExportTemplate* t);
  // Appends the element's output for `node`; returns 0 (a non-zero status stops the
  // export of the elements after it).
  virtual int Export(std::string* out, Node* node, ExportTemplate* t);
  // The element's output as text.
  virtual std::string ExportValue(Node* node, ExportTemplate* t);
  // The first non-zero number of the children, else 0.
  virtual double AsNumber(Node* node, ExportTemplate* t);
  virtual bool IsElse() const { return false; }
  virtual bool IsEndif() const { return false; }
  // True when the last child is an "^else^".
  bool HasElse() const;
  // Appends a child; a null element is ignored.
  virtual void Add(std::unique_ptr<ExportElement> element);

  const std::vector<std::unique_ptr<ExportElement>>& children() const { return children_; }
  // A readable form of the tree, for tests: literals quoted, codes as ^name(args)^,
  // ifs with their clauses.
  virtual void Dump(std::string* out) const;
  std::string Dump() const;
  // The number of elements alive in the process.
  static long LiveCount();

 protected:
  void DumpChildren(std::string* out) const;
  std::vector<std::unique_ptr<ExportElement>> children_;
};

// A run of literal text.
class LiteralElement : public ExportElement {
 public:
  explicit LiteralElement(std::string text) : text_(std::move(text)) {}
  std::string_view Type() const override { return "literal"; }
  // A literal piece of a condition: the note's attribute of that name when it has one,
  // else the query the text reads as, else whether the text holds anything but blanks.
  bool Eval(Node* node, ExportTemplate* t) override;
  int Export(std::string* out, Node* node, ExportTemplate* t) override;
  std::string ExportValue(Node*, ExportTemplate*) override { return text_; }
  double AsNumber(Node* node, ExportTemplate* t) override;
  const std::string& text() const { return text_; }
  void Dump(std::string* out) const override;

 private:
  std::string text_;
};

// Parses template text into elements appended to `container`. `fragment_nesting` is
// how many argument fragments enclose the text (0 for a whole template).
void ParseTemplateInto(std::string_view text, ExportElement* container, int fragment_nesting);

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_EXPORT_ELEMENT_H_
