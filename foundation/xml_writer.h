// The XML layer: `XMLWriter` streams elements straight to an output stream, and
// `XMLReader` (foundation/xml_reader.h) parses a file into a tree of `XMLItem`s
// (foundation/xml_item.h) that its client walks. Every XML file the system reads or
// writes — documents, preferences, clippings — goes through this layer.
//
// The writer's bytes are fixed, because saved documents are compared byte for byte:
// a start tag is "<", the name and one space; each attribute is name="value" followed
// by one space; then ">" and a line feed, or " />" and a line feed for an element
// without content. Whatever text it writes reads back as the same text: characters an
// XML file cannot carry are dropped or replaced (see ToXML), and line breaks and tabs
// that a parser would normalise are written as character references.

#ifndef FERNWEAVE_FOUNDATION_XML_WRITER_H_
#define FERNWEAVE_FOUNDATION_XML_WRITER_H_

#include <ostream>
#include <string>
#include <string_view>

#include "foundation/geometry.h"
#include "foundation/unicoder.h"

namespace fernweave {

class XMLWriter {
 public:
  XMLWriter() = default;
  virtual ~XMLWriter() = default;

  // <?xml version="1.0" encoding="UTF-8" ?> and the line end.
  virtual void XMLHeader(std::ostream& os);
  // "<", tag and one space; remembers tag as the open tag.
  virtual void Open(std::ostream& os, const std::string& tag);
  // ">" and, unless in_line, the line end (in_line serves element text that follows
  // directly). Forgets the open tag.
  virtual void EndTag(std::ostream& os, bool in_line = false);
  // "</", tag, ">" and the line end.
  virtual void Close(std::ostream& os, const std::string& tag);
  // " />" and the line end: closes an element opened with Open that has no content.
  virtual void Close(std::ostream& os);

  // name="value" and one space, both passed through ToXML as attribute text.
  virtual void Put(std::ostream& os, const std::string& name, const std::string& value);
  // The number in decimal, through Put.
  virtual void Put(std::ostream& os, const std::string& name, long value);
  virtual void PutUnsigned(std::ostream& os, const std::string& name, unsigned long value);
  // "1" or "0", through Put.
  virtual void PutBoolean(std::ostream& os, const std::string& name, bool value);
  // "Rect[ left top right bottom]", through Put.
  virtual void PutRect(std::ostream& os, const std::string& name, const SRect& rect);
  // "#rrggbb", through Put.
  virtual void Put(std::ostream& os, const std::string& name, const RGBColor& color);
  virtual void Put(std::ostream& os, const std::string& name, const SRect& rect);

  // The text without the characters an XML file cannot carry: control characters other
  // than tab, line feed and carriage return, U+FFFE, U+FFFF, encoded surrogates and
  // bytes that are not well-formed UTF-8.
  virtual std::string StripControlCharacters(const std::string& text);

  // The text as it must appear in an attribute value (in_element_text false) or in
  // element text (true). The empty text, "1", "0" and every text with nothing to change
  // come back unchanged. Otherwise: < > & ' become &lt; &gt; &amp; &apos;; " becomes
  // &quot; in attribute values only; a carriage return becomes &#13;, and in attribute
  // values a tab and a line feed become &#9; and &#10; (a parser would otherwise turn
  // them into other white space); ill-formed UTF-8 becomes U+FFFD; characters an XML
  // file cannot carry (see IsXMLChar) are dropped.
  static std::string ToXML(std::string_view text, bool in_element_text);

  // Appends ToXML(text, in_element_text) to `out`, without a temporary.
  static void AppendXML(std::string* out, std::string_view text, bool in_element_text);

  // The length of the longest start of `text` that ToXML copies unchanged (text.size()
  // when it changes nothing). Well-formed UTF-8 of characters a file can carry counts as
  // unchanged.
  static size_t PlainPrefixLength(std::string_view text, bool in_element_text);

  // What a parser hands back for ToXML's output: the text with ill-formed UTF-8
  // replaced by U+FFFD and the characters an XML file cannot carry dropped.
  static std::string CleanText(std::string_view text);

  // Mac OS Roman text converted to UTF-8, for callers holding 8-bit text.
  static std::string ToUnicode(std::string_view text);

  // The process-wide UTF-8 / Mac OS Roman converter of the writer.
  static Unicoder& outputConverter();

  // The tag of the element opened by the last Open and not yet ended; empty otherwise.
  const std::string& open_tag() const { return open_tag_; }

 protected:
  char line_end_ = '\n';
  std::string open_tag_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_XML_WRITER_H_
