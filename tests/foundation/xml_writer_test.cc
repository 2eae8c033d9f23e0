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
  writer.Put(os, "version", 2L);
  writer.Put(os, "name", std::string("a<b"));
  writer.EndTag(os);
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

// The escaping itself is checked exhaustively against a character-by-character model in
// xml_escape_test; these rows pin what that model takes from the character tables.
TEST(XMLWriterTest, ToXMLDropsWhatAnXMLFileCannotCarry) {
  const struct {
    std::string text;
    bool in_element_text;
    std::string expected;
  } cases[] = {
      {"a\x01"
       "b\x1f"
       "c\x0b",
       true, "abc"},
      {"x\xEF\xBF\xBEy\xEF\xBF\xBFz", false, "xyz"},  // U+FFFE, U+FFFF
      {"x\xED\xA0\x80y", false, "xy"},                // an encoded surrogate
      // Ill-formed UTF-8 becomes U+FFFD, one per ill-formed span.
      {"\xE2\x82"
       "!",
       false, "\xEF\xBF\xBD!"},
      {"\xC0\xAF", false, "\xEF\xBF\xBD\xEF\xBF\xBD"},
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
