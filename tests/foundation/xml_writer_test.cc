#include "foundation/xml_writer.h"

#include <sstream>
#include <string>

#include <gtest/gtest.h>

namespace fernweave {
namespace {

TEST(XMLWriterTest, WritesExactBytes) {
  XMLWriter writer;
  std::ostringstream os;
  writer.XMLHeader(os);
  writer.Open(os, "fernweave");
  EXPECT_EQ(writer.open_tag(), "fernweave");
  writer.Put(os, "version", 2L);
  writer.Put(os, "name", std::string("a<b"));
  writer.EndTag(os);
  EXPECT_EQ(writer.open_tag(), "");
  writer.Open(os, "item");
  writer.PutUnsigned(os, "ID", 4000000000UL);
  writer.Put(os, "delta", -12L);
  writer.PutBoolean(os, "on", true);
  writer.PutBoolean(os, "off", false);
  writer.PutRect(os, "frame", SRect{10, 20, 300, 200});
  writer.Put(os, "bounds", SRect{-1, 0, 1, 2});
  writer.Put(os, "color", RGBColor{0xffff, 0x8000, 0x00ff});
  writer.Close(os);
  writer.Open(os, "text");
  writer.EndTag(os, /*in_line=*/true);
  os << XMLWriter::ToXML("say \"hi\" & go", true);
  writer.Close(os, "text");
  writer.Close(os, "fernweave");
  EXPECT_EQ(os.str(),
            "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\n"
            "<fernweave version=\"2\" name=\"a&lt;b\" >\n"
            "<item ID=\"4000000000\" delta=\"-12\" on=\"1\" off=\"0\" "
            "frame=\"Rect[ 10 20 300 200]\" bounds=\"Rect[ -1 0 1 2]\" color=\"#ff8000\"  />\n"
            "<text >say \"hi\" &amp; go</text>\n"
            "</fernweave>\n");
}

TEST(XMLWriterTest, ToXMLEscapesMarkupAndWhiteSpaceAParserWouldChange) {
  const struct {
    std::string text;
    bool in_element_text;
    std::string expected;
  } cases[] = {
      {"", false, ""},
      {"1", false, "1"},
      {"0", false, "0"},
      {"plain text, caf\xC3\xA9", false, "plain text, caf\xC3\xA9"},
      {"a<b&\"c'd>", false, "a&lt;b&amp;&quot;c&apos;d&gt;"},
      {"a<b&\"c'd>", true, "a&lt;b&amp;\"c&apos;d&gt;"},
      // Carriage returns come back as line feeds unless written as references.
      {"one\rtwo", true, "one&#13;two"},
      {"one\r\ntwo", false, "one&#13;&#10;two"},
      // In an attribute value a tab or line feed would come back as a space.
      {"a\tb\nc", false, "a&#9;b&#10;c"},
      {"a\tb\nc", true, "a\tb\nc"},
      // Characters an XML file cannot carry are dropped.
      {"a\x01"
       "b\x1f"
       "c\x0b",
       true, "abc"},
      {"x\xEF\xBF\xBEy\xEF\xBF\xBFz", false, "xyz"},  // U+FFFE, U+FFFF
      {"x\xED\xA0\x80y", false, "xy"},                // an encoded surrogate
      // Ill-formed UTF-8 becomes U+FFFD, one per ill-formed span.
      {"caf\xE9", true, "caf\xEF\xBF\xBD"},
      {"\xE2\x82"
       "!",
       false, "\xEF\xBF\xBD!"},
      {"\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"\xF0\x9F\x98\x80 <", true, "\xF0\x9F\x98\x80 &lt;"},
      {"\x7f\xC2\x85", false, "\x7f\xC2\x85"},  // DEL and NEL are allowed
  };
  for (const auto& c : cases) {
    EXPECT_EQ(XMLWriter::ToXML(c.text, c.in_element_text), c.expected)
        << c.text << " in element text: " << c.in_element_text;
  }
}

TEST(XMLWriterTest, StripControlCharactersAndCleanText) {
  XMLWriter writer;
  const struct {
    std::string text;
    std::string stripped;
    std::string cleaned;
  } cases[] = {
      {"", "", ""},
      {"keep\ttab\nlf\rcr <&>", "keep\ttab\nlf\rcr <&>", "keep\ttab\nlf\rcr <&>"},
      {std::string("a\0b\x08", 4), "ab", "ab"},
      {"caf\xE9!", "caf!", "caf\xEF\xBF\xBD!"},
      {"\xEF\xBF\xBE\xED\xBF\xBF"
       "ok",
       "ok", "ok"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(writer.StripControlCharacters(c.text), c.stripped) << c.text;
    EXPECT_EQ(XMLWriter::CleanText(c.text), c.cleaned) << c.text;
  }
}

TEST(XMLWriterTest, ToUnicodeReadsMacRoman) {
  EXPECT_EQ(XMLWriter::ToUnicode("caf\x8E \xD2q\xD3"), "caf\xC3\xA9 \xE2\x80\x9Cq\xE2\x80\x9D");
  EXPECT_EQ(XMLWriter::ToUnicode(""), "");
}

}  // namespace
}  // namespace fernweave
