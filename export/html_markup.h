// A note's styled text as HTML, for "^text^" and the template's DoTextMarkup.
//
// The text is never rewritten: tags are collected by position (paragraph, heading
// and list tags; bold, italic, underline and strike spans; text-link anchors;
// pictures) and the text is then written once with the tags inserted and the
// characters between them entity-filtered. Every tag that is not fixed comes from an
// attribute of the note (`HTMLBoldStart`, `HTMLParagraphStart`, ...), so users restyle
// the output by changing attributes.
//
// The output is always well nested: spans are cut at paragraph ends and reopened in
// the next paragraph, a span that ends inside another closes and reopens the inner
// one, and anchors never nest. Positions are byte offsets into the UTF-8 text; the
// model's UTF-16 offsets (style runs, struck spans, pictures, link anchors) are
// converted on the way in.

#ifndef FERNWEAVE_EXPORT_HTML_MARKUP_H_
#define FERNWEAVE_EXPORT_HTML_MARKUP_H_

#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace fernweave {

class ExportTemplate;
class Node;

class HTMLMarkup {
 public:
  // `note` is the note whose text is converted (an alias converts its original's
  // text); `page` the note whose page holds the output (URLs are relative to it);
  // `t` the running template, or null (then web links are the only anchors and no
  // picture is written). `limit` is the number of bytes of text to convert (0: all);
  // a cut text ends with "...". None is owned.
  HTMLMarkup(Node* note, Node* page, ExportTemplate* t, size_t limit);

  std::string ToString();

  // The paragraph markup rules, exposed for tests: whether a paragraph's text is
  // left as it stands (markup already, a macro call, or a line holding one code).
  static bool IsMarkup(std::string_view paragraph);

 private:
  // Tags are written at a position in this order: inline closes, block closes,
  // block opens, inline opens, atoms (pictures).
  enum class Group { kInlineClose, kBlockClose, kBlockOpen, kInlineOpen, kAtom };
  struct Tag {
    std::string text;
    Group group;
    int span = -1;      // the inline span a tag opens or closes
    size_t skip = 0;    // bytes of text the tag replaces
  };
  struct InlineSpan {
    std::string open;
    std::string close;
  };
  struct Paragraph {
    size_t start = 0;
    size_t end = 0;  // before the carriage return
    enum class Kind { kNone, kList, kText } kind = Kind::kNone;
    int level = 0;         // list characters
    bool ordered = false;  // a "#" list
    size_t marker = 0;     // bytes of list characters and the blanks after them
  };

  void Init();
  void FindParagraphs();
  void AddParagraphMarkup();
  void AddLists(size_t first, size_t last);
  void AddStyleMarkup();
  void AddSpan(size_t start, size_t end, const std::string& open, const std::string& close);
  void AddTextLinks();
  void AddImages();
  void Add(size_t position, Group group, std::string text, int span = -1, size_t skip = 0);
  double ConstantTextSize(const Paragraph& p) const;
  std::string Attribute(std::string_view name) const;
  void WriteText(std::string_view text, std::string* out) const;

  Node* note_;
  Node* page_;
  ExportTemplate* template_;
  std::string text_;
  size_t limit_;
  bool entities_ = true;
  bool quote_ = false;
  std::vector<Paragraph> paragraphs_;
  std::vector<InlineSpan> spans_;
  std::map<size_t, std::vector<Tag>> tags_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_EXPORT_HTML_MARKUP_H_
