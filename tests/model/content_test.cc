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

StyleRun LookAt(int32_t start, const std::string& font) {
  StyleRun run;
  run.start = start;
  run.font = font;
  return run;
}

TextPicture PictureAt(int32_t position) {
  TextPicture picture;
  picture.position = position;
  return picture;
}

// "text | font@start ... | struck start+length ... | picture@position ...".
std::string DumpLooks(const Content& content) {
  std::string out = content.text() + " |";
  for (const StyleRun& run : content.style_runs()) {
    out += " " + run.font + "@" + std::to_string(run.start);
  }
  out += " |";
  for (const StruckSpan& span : content.struck_spans()) {
    out += " " + std::to_string(span.start) + "+" + std::to_string(span.length);
  }
  out += " |";
  for (const TextPicture& picture : content.pictures()) {
    out += " picture@" + std::to_string(picture.position);
  }
  return out;
}

TEST(ContentTest, FindCountsUnitsAndNeverMatchesInsideACharacter) {
  struct Case {
    std::string text;
    std::string target;
    size_t from;
    size_t found;
  } cases[] = {
      {"one\rtwo\rthree", "\r", 0, 3},
      {"one\rtwo\rthree", "\r", 4, 7},
      {kMixed + "b", "b", 0, 4},  // after the emoji's two units
      {kMixed + "b", "b", 5, 5},
      {kMixed, "\x9F", 0, Content::npos},  // a lone byte of the emoji
      {kMixed, "\xF0\x9F", 0, Content::npos},
      {"abc", "", 0, Content::npos},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Content(c.text).Find(c.target, c.from), c.found) << c.text << " / " << c.target;
  }
}

TEST(ContentTest, SelectionsWidenToWordsWithoutSplittingCharacters) {
  struct Case {
    std::string text;
    TextRange selected;
    TextRange widened;
  } cases[] = {
      {"Hello, world", {0, 4}, {0, 5}},
      {"Hello, world", {5, 9}, {5, 12}},
      {"Hello, world", {2, 3}, {0, 5}},
      {"Hello   world", {0, 6}, {0, 8}},  // a run of spaces is one piece
      // a, b, a thumbs-up emoji (units 2-3), c: an end inside the pair takes it in.
      {"ab\xF0\x9F\x91\x8D c", {0, 3}, {0, 4}},
      // Chinese has no spaces; the dictionary finds the word: 喜欢 in 我喜欢吃.
      {"\xE6\x88\x91\xE5\x96\x9C\xE6\xAC\xA2\xE5\x90\x83", {1, 2}, {1, 3}},
  };
  for (const Case& c : cases) {
    const Content content(c.text);
    EXPECT_EQ(content.WidenToWordBoundaries(c.selected), c.widened)
        << c.text << " [" << c.selected.start << "," << c.selected.end << ")";
  }
}

TEST(ContentTest, LongTextOffsetsAgreeWithAWalkFromTheStart) {
  // Long enough to be indexed, with characters of every width crossing checkpoints.
  std::string text;
  for (int i = 0; text.size() < 5000; ++i) {
    text += i % 7 == 0 ? "\xF0\x9F\x91\x8D" : i % 5 == 0 ? "\xE4\xB8\xAD" : i % 3 == 0 ? "\xC3\xA9" : "a";
    if (i % 97 == 0) {
      text += "\xFF";  // ill-formed
    }
  }
  const Content content(text);
  const size_t units = Utf16Length(text);
  ASSERT_EQ(content.Utf16Length(), units);
  for (size_t u = 0; u <= units + 1; ++u) {
    ASSERT_EQ(content.ByteOffset(u), Utf8OffsetForUtf16(text, u)) << u;
  }
  for (size_t b = 0; b <= text.size() + 1; ++b) {
    ASSERT_EQ(content.UnitOffset(b), Utf16OffsetForUtf8(text, b)) << b;
  }
  // The index follows a change of the text.
  Content changed = content;
  changed.DeleteSpan(TextRange{0, units / 2});
  EXPECT_EQ(changed.Utf16Length(), Utf16Length(changed.text()));
}

TEST(ContentTest, DeletedSpansTakeTheirLooksAndPicturesAlong) {
  Content source("0123456789AB");
  source.style_runs() = {LookAt(0, "A"), LookAt(5, "B"), LookAt(10, "C")};
  source.struck_spans() = {StruckSpan{3, 5}};
  source.pictures() = {PictureAt(6), PictureAt(12)};
  source.set_rtf("{\\rtf1 0123456789AB}");

  struct {
    TextRange span;
    std::string left;
  } deletions[] = {
      {{4, 9}, "01239AB | A@0 B@4 C@5 | 3+1 | picture@7"},
      {{0, 12}, " | C@0 | | picture@0"},
      {{2, 6}, "016789AB | A@0 B@2 C@6 | 2+2 | picture@2 picture@8"},
  };
  for (const auto& d : deletions) {
    Content edited = source;
    edited.DeleteSpan(d.span);
    EXPECT_EQ(DumpLooks(edited), d.left) << d.span.start << "," << d.span.end;
    EXPECT_EQ(edited.rtf(), "");  // no longer the text's rich form
  }
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
