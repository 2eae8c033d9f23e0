#include "model/content.h"

#include <string>

#include <gtest/gtest.h>

namespace fernweave {
namespace {

// "a", a thumbs-up emoji (4 bytes, 2 units), "é" (2 bytes, 1 unit), "b".
const std::string kMixed =
    "a\xF0\x9F\x91\x8D\xC3\xA9"
    "b";

TEST(ContentTest, Utf16LengthCountsSurrogatePairsTwice) {
  struct Case {
    std::string text;
    size_t units;
  } cases[] = {
      {"", 0},
      {"abc", 3},
      {kMixed, 5},
      {"\xE4\xB8\xAD\xE6\x96\x87", 2},          // two CJK characters, 3 bytes each
      {"\xF0\x9F\x91\x8D\xF0\x9F\x8F\xBD", 4},  // emoji with a skin-tone modifier
      {"\xFF", 1},                              // ill-formed byte: one U+FFFD
      {"a\xE4\xB8", 2},                         // truncated sequence at the end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Utf16Length(c.text), c.units) << c.text;
    EXPECT_EQ(Content(c.text).Utf16Length(), c.units) << c.text;
  }
}

TEST(ContentTest, OffsetsConvertBothWays) {
  // Bytes: a=0, emoji=1-4, e-acute=5-6, b=7; units: a=0, emoji=1-2, e-acute=3, b=4.
  struct {
    size_t units;
    size_t bytes;
  } to_bytes[] = {{0, 0}, {1, 1}, {2, 1} /* inside the pair */, {3, 5}, {4, 7}, {5, 8}, {99, 8}};
  for (const auto& c : to_bytes) {
    EXPECT_EQ(Utf8OffsetForUtf16(kMixed, c.units), c.bytes) << c.units;
  }
  struct {
    size_t bytes;
    size_t units;
  } to_units[] = {{0, 0}, {1, 1}, {2, 1}, {4, 1}, {5, 3}, {6, 3}, {7, 4}, {8, 5}, {99, 5}};
  for (const auto& c : to_units) {
    EXPECT_EQ(Utf16OffsetForUtf8(kMixed, c.bytes), c.units) << c.bytes;
  }
  // Every character boundary survives the round trip.
  for (size_t units : {0, 1, 3, 4, 5}) {
    EXPECT_EQ(Utf16OffsetForUtf8(kMixed, Utf8OffsetForUtf16(kMixed, units)), units) << units;
  }
}

TEST(ContentTest, WordCountInEnglishAndWithoutSpaces) {
  struct Case {
    const char* text;
    int words;
  } cases[] = {
      {"", 0},
      {"   ... !? ", 0},
      {"The quick brown fox.", 4},
      {"Hello, world!\rIt costs 3.50 dollars.", 6},
      {"don't stop", 2},
      // Chinese and Japanese have no spaces between words; the dictionary splits them:
      // 我 | 喜欢 | 吃 | 苹果 ("I like eating apples").
      {"\xE6\x88\x91\xE5\x96\x9C\xE6\xAC\xA2\xE5\x90\x83\xE8\x8B\xB9\xE6\x9E\x9C", 4},
      // 東京 | に | 行く ("go to Tokyo").
      {"\xE6\x9D\xB1\xE4\xBA\xAC\xE3\x81\xAB\xE8\xA1\x8C\xE3\x81\x8F", 3},
      {"emoji \xF0\x9F\x91\x8D here", 2},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Content(c.text).WordCount(), c.words) << c.text;
  }
}

TEST(ContentTest, LineBreaksBecomeCarriageReturns) {
  Content content("one\ntwo\r\nthree\rfour\n\n");
  EXPECT_EQ(content.text(), "one\rtwo\rthree\rfour\r\r");
}

TEST(ContentTest, ClearForgetsEveryPart) {
  Content content("picture here");
  content.style_runs().push_back(
      StyleRun{0, "Helvetica", 12, true, false, false, PColor(65535, 0, 0), 14, 11});
  content.struck_spans().push_back(StruckSpan{0, 7});
  content.pictures().push_back(TextPicture{8, SRect{0, 0, 32, 32}, "JPEGDATA", true});
  content.set_rtf("{\\rtf1 picture here}");
  content.set_script("script");
  content.set_picture("PNG");
  EXPECT_EQ(content.CountPictures(), 1);
  content.Clear();
  EXPECT_EQ(content, Content());
}

}  // namespace
}  // namespace fernweave
