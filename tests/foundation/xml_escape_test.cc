// ToXML and AppendXML against a character-by-character statement of what they do, over
// every short byte sequence and long mixed texts: the fast path that copies well-formed
// UTF-8 unchanged must agree exactly with decoding each character on its own.

#include <random>
#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "foundation/unicoder.h"
#include "foundation/xml_writer.h"

namespace fernweave {
namespace {

// The escaped form, one decoded character at a time.
std::string Expected(std::string_view text, bool in_element_text) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    const Utf8Step step = DecodeUtf8(text, i);
    const int32_t c = step.code_point;
    if (c == Utf8Step::kIllFormed) {
      out += "\xEF\xBF\xBD";
    } else if (c == '<') {
      out += "&lt;";
    } else if (c == '>') {
      out += "&gt;";
    } else if (c == '&') {
      out += "&amp;";
    } else if (c == '\'') {
      out += "&apos;";
    } else if (c == '\r') {
      out += "&#13;";
    } else if (c == '"' && !in_element_text) {
      out += "&quot;";
    } else if (c == '\t' && !in_element_text) {
      out += "&#9;";
    } else if (c == '\n' && !in_element_text) {
      out += "&#10;";
    } else if (IsXMLChar(c)) {
      out.append(text.substr(i, step.length));
    }
    i += step.length;
  }
  return out;
}

// Checks ToXML, AppendXML after existing text, and PlainPrefixLength for one text.
void Check(const std::string& text, bool in_element_text) {
  const std::string expected = Expected(text, in_element_text);
  ASSERT_EQ(XMLWriter::ToXML(text, in_element_text), expected)
      << testing::PrintToString(text) << " in element text: " << in_element_text;
  std::string appended = "kept";
  XMLWriter::AppendXML(&appended, text, in_element_text);
  ASSERT_EQ(appended, "kept" + expected) << testing::PrintToString(text);
  // The plain start comes through unchanged, and the character after it does not.
  const size_t plain = XMLWriter::PlainPrefixLength(text, in_element_text);
  ASSERT_LE(plain, text.size());
  ASSERT_EQ(expected.compare(0, plain, text, 0, plain), 0) << testing::PrintToString(text);
  if (plain < text.size()) {
    ASSERT_NE(expected, text) << testing::PrintToString(text);
  } else {
    ASSERT_EQ(expected, text) << testing::PrintToString(text);
  }
}

TEST(XMLEscapeTest, EveryByteAloneAndBetweenLetters) {
  for (int b = 0; b < 256; ++b) {
    const std::string byte(1, static_cast<char>(b));
    for (bool element : {false, true}) {
      Check(byte, element);
      Check("a" + byte + "z", element);
    }
  }
}

TEST(XMLEscapeTest, EveryTwoByteSequence) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const std::string text = {'x', static_cast<char>(a), static_cast<char>(b)};
      Check(text, false);
    }
  }
}

TEST(XMLEscapeTest, ThreeAndFourByteSequencesAroundEveryRangeLimit) {
  // Continuation bytes at and beyond each limit a lead byte sets, and a plain letter.
  const unsigned char seconds[] = {0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0,
                                   0xBD, 0xBE, 0xBF, 0xC0, 0xC2, 0xFF};
  for (int lead = 0xC0; lead < 0x100; ++lead) {
    for (unsigned char b1 : seconds) {
      for (unsigned char b2 : seconds) {
        const std::string three = {static_cast<char>(lead), static_cast<char>(b1),
                                   static_cast<char>(b2)};
        Check(three, false);
        Check(three + "<", true);
        for (unsigned char b3 : {0x41, 0x80, 0xBF, 0xC0}) {
          Check(three + static_cast<char>(b3), false);
        }
      }
    }
  }
}

TEST(XMLEscapeTest, CharactersCutAtTheEndOrSplitAcrossLongTexts) {
  const std::string characters[] = {"\xC3\xA9", "\xE6\x97\xA5", "\xEF\xBF\xBD", "\xF0\x9F\x99\x82",
                                    "\xF4\x8F\xBF\xBF"};
  for (const std::string& c : characters) {
    for (size_t cut = 1; cut < c.size(); ++cut) {
      Check("note " + c.substr(0, cut), false);
    }
    // Long texts are escaped in blocks; a character may straddle any block boundary.
    for (size_t lead = 1000; lead < 1030; ++lead) {
      Check(std::string(lead, 'a') + c + "&" + std::string(3000, 'b') + c, false);
      Check(std::string(lead, '<') + c, true);
    }
  }
}

TEST(XMLEscapeTest, RandomMixedTexts) {
  std::mt19937 rng(7);
  const std::string pieces[] = {"river ",
                                "a<b",
                                "x&y",
                                "\"q\"",
                                "it's",
                                "\r",
                                "\t",
                                "\n",
                                "caf\xC3\xA9",
                                "\x01",
                                "\x7F",
                                "\xE6\x97\xA5",
                                "\xF0\x9F\x99\x82",
                                "\xED\xA0\x80",
                                "\xEF\xBF\xBE",
                                "\xE2\x82",
                                "\xFF",
                                "\xEF\xBB\xBF"};
  std::uniform_int_distribution<size_t> pick(0, std::size(pieces) - 1);
  std::uniform_int_distribution<int> length(0, 3000);
  for (int round = 0; round < 300; ++round) {
    std::string text;
    const int n = length(rng);
    while (static_cast<int>(text.size()) < n) {
      // Mostly well-formed pieces, so that long runs reach the fast path.
      const size_t k = pick(rng);
      text += round % 2 == 0 && k >= 13 ? std::string(" ") : pieces[k];
    }
    Check(text, round % 3 == 0);
  }
}

}  // namespace
}  // namespace fernweave
