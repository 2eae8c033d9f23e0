#include "foundation/unicoder.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/xml_item.h"
#include "foundation/xml_writer.h"

namespace fernweave {
namespace {

TEST(UnicoderTest, FromUnicodeToMacRomanUsesFallbacksAndNeverFails) {
  Unicoder unicoder(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
  const struct {
    std::string utf8;
    std::string mac;
  } cases[] = {
      {"", ""},
      {"plain text", "plain text"},
      {"caf\xC3\xA9", "caf\x8E"},  // é
      {"\xE2\x82\xAC", "\xDB"},    // €
      {"\xE2\x89\xA4", "\xB2"},    // ≤
      {"\xEF\xA3\xBF", "\xF0"},    // the Apple logo, private use
      {"\xE4\xB8\xAD", "?"},       // 中 has no equivalent
      {"a\xFF"
       "b",
       "a?b"},                                     // ill-formed UTF-8
      {"\xE2\x80\x9Cq\xE2\x80\x9D", "\xD2q\xD3"},  // curly quotes
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unicoder.FromUnicode(c.utf8), c.mac) << c.utf8;
  }
}

TEST(UnicoderTest, EveryMacRomanByteRoundTrips) {
  Unicoder unicoder(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
  for (int b = 1; b < 256; ++b) {
    std::string byte(1, static_cast<char>(b));
    std::string utf8 = unicoder.ToUnicode(byte);
    EXPECT_FALSE(utf8.empty()) << b;
    EXPECT_EQ(unicoder.FromUnicode(utf8), byte) << "byte " << b;
  }
  std::string all;
  for (int b = 32; b < 256; ++b) {
    all.push_back(static_cast<char>(b));
  }
  EXPECT_EQ(unicoder.FromUnicode(unicoder.ToUnicode(all)), all);
}

TEST(UnicoderTest, IsoLatin1) {
  Unicoder unicoder(UnicodeForm::kUTF8, TextEncoding::kISOLatin1);
  EXPECT_EQ(unicoder.ToUnicode("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(unicoder.FromUnicode("caf\xC3\xA9"), "caf\xE9");
  EXPECT_EQ(unicoder.FromUnicode("\xE2\x82\xAC"
                                 "5"),
            "?5");
}

TEST(UnicoderTest, Utf16FormRoundTrips) {
  Unicoder unicoder(UnicodeForm::kUTF16, TextEncoding::kMacRoman);
  std::string utf16 = unicoder.ToUnicode("caf\x8E");
  EXPECT_EQ(utf16.size(), 2u + 4 * 2) << "a byte-order mark and four UTF-16 units";
  EXPECT_EQ(unicoder.FromUnicode(utf16), "caf\x8E");
}

TEST(UnicoderTest, SeemsToBeUTF16CountsZeroBytes) {
  EXPECT_FALSE(Unicoder::SeemsToBeUTF16(""));
  EXPECT_FALSE(Unicoder::SeemsToBeUTF16(std::string("a\0b\0c\0", 6)));
  EXPECT_TRUE(Unicoder::SeemsToBeUTF16(std::string("a\0b\0c\0d\0", 8)));
}

TEST(UnicoderTest, ToUnicodeDecodesUtf16InEitherByteOrder) {
  Unicoder unicoder(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
  const struct {
    std::string utf16;
    std::string utf8;
  } cases[] = {
      // é and 中 must survive: the text is not read back through an 8-bit set.
      {std::string("c\0a\0f\0\xE9\0-\0\x2D\x4E", 12), "caf\xC3\xA9-\xE4\xB8\xAD"},
      {std::string("\0c\0a\0f\0\xE9\0-\x4E\x2D", 12), "caf\xC3\xA9-\xE4\xB8\xAD"},
      {std::string("\xFF\xFE"
                   "a\0b\0c\0d\0",
                   10),
       "abcd"},
      {std::string("\xFE\xFF\0a\0b\0c\0d", 10), "abcd"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(unicoder.ToUnicode(c.utf16), c.utf8) << testing::PrintToString(c.utf16);
  }
  EXPECT_EQ(unicoder.ToUnicode(""), "");
}

TEST(UnicoderTest, SharedConvertersServeSeveralThreads) {
  // Each conversion has a buffer of its own, so concurrent callers cannot see each
  // other's output.
  std::vector<std::thread> threads;
  std::vector<int> failures(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &failures] {
      std::string utf8 = "caf\xC3\xA9 " + std::string(100 + t * 50, 'a' + t);
      std::string mac = "caf\x8E " + std::string(100 + t * 50, 'a' + t);
      for (int i = 0; i < 300; ++i) {
        if (XMLItem::inputConverter().FromUnicode(utf8) != mac ||
            XMLWriter::outputConverter().ToUnicode(mac) != utf8) {
          ++failures[t];
        }
      }
    });
  }
  for (std::thread& thread : threads) {
    thread.join();
  }
  EXPECT_EQ(failures, std::vector<int>(4, 0));
}

TEST(DecodeUtf8Test, ReportsCodePointsAndIllFormedSpans) {
  const struct {
    std::string text;
    int32_t code_point;
    size_t length;
  } cases[] = {
      {"a", 'a', 1},
      {"\xC3\xA9", 0xE9, 2},
      {"\xE2\x82\xAC", 0x20AC, 3},
      {"\xF0\x9F\x98\x80", 0x1F600, 4},
      {"\xED\xA0\x80", 0xD800, 3},            // surrogate, flagged by its value
      {"\xC0\xAF", Utf8Step::kIllFormed, 1},  // overlong lead
      {"\xE0\x80\x80", Utf8Step::kIllFormed, 1},
      {"\xE2\x82", Utf8Step::kIllFormed, 2},  // cut short
      {"\xE2\x82"
       "a",
       Utf8Step::kIllFormed, 2},
      {"\xF4\x90\x80\x80", Utf8Step::kIllFormed, 1},  // above U+10FFFF
      {"\x80", Utf8Step::kIllFormed, 1},
      {"\xFF", Utf8Step::kIllFormed, 1},
  };
  for (const auto& c : cases) {
    Utf8Step step = DecodeUtf8(c.text, 0);
    EXPECT_EQ(step.code_point, c.code_point) << c.text;
    EXPECT_EQ(step.length, c.length) << c.text;
  }
}

}  // namespace
}  // namespace fernweave
