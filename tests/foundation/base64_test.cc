#include "foundation/base64.h"

#include <string>

#include <gtest/gtest.h>

namespace fernweave {
namespace {

TEST(Base64Test, EncodesWithPaddingAndFinalReturn) {
  const struct {
    std::string data;
    std::string expected;
  } cases[] = {
      {"", "\r"},
      {"f", "Zg==\r"},
      {"fo", "Zm8=\r"},
      {"foo", "Zm9v\r"},
      {"foob", "Zm9vYg==\r"},
      {"fooba", "Zm9vYmE=\r"},
      {"foobar", "Zm9vYmFy\r"},
      {std::string("\0\xff\xfe", 3), "AP/+\r"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Encode(c.data), c.expected) << c.data;
  }
}

TEST(Base64Test, BreaksLinesAfterEvery76Characters) {
  // 57 bytes make exactly one full line: its own return, then the final one.
  std::string full_line = Base64Encode(std::string(57, 'a'));
  ASSERT_EQ(full_line.size(), 78u);
  EXPECT_EQ(full_line.substr(76), "\r\r");
  EXPECT_EQ(full_line.find('\r'), 76u);

  std::string longer = Base64Encode(std::string(58, 'a'));
  ASSERT_EQ(longer.size(), 76u + 1 + 4 + 1);
  EXPECT_EQ(longer[76], '\r');
  EXPECT_EQ(longer.substr(77), "YQ==\r");
}

TEST(Base64Test, DecoderIgnoresEverythingOutsideTheAlphabet) {
  const struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"Zm9v\r\nYmFy\r", "foobar"},
      {"Z m 9 v", "foo"},
      {"Zg==", "f"},
      {"Zg", "f"},
      {"Zm8", "fo"},
      {"Zm9vY", "foo"},  // a lone trailing character carries no whole byte
      {"*Zm\xff\x80"
       "9v!",
       "foo"},
      {"", ""},
      {"====\r\r", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Base64Decode(c.text), c.expected) << c.text;
  }
}

TEST(Base64Test, RoundTripsEveryLengthAndByte) {
  std::string data;
  for (int length = 0; length < 300; ++length) {
    EXPECT_EQ(Base64Decode(Base64Encode(data)), data) << "length " << length;
    data.push_back(static_cast<char>((length * 37 + 11) & 0xff));
  }
}

}  // namespace
}  // namespace fernweave
