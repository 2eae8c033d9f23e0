#include "model/color.h"

#include <string>

#include <gtest/gtest.h>

namespace fernweave {
namespace {

struct ColorCase {
  const char* text;
  bool is_form;
  uint16_t red, green, blue;
};

TEST(ColorTest, EveryFormGivesExactChannels) {
  const ColorCase cases[] = {
      // "#rgb": one digit written twice, as the high byte only.
      {"#abc", true, 0xaa00, 0xbb00, 0xcc00},
      {"#ABC", true, 0xaa00, 0xbb00, 0xcc00},
      // "#rrggbb": each pair times 257, so ff is full intensity.
      {"#aabbcc", true, 0xaaaa, 0xbbbb, 0xcccc},
      {"#ff8000", true, 65535, 0x8080, 0},
      {"#000000", true, 0, 0, 0},
      // rgb: each number times 256, separated by any single character.
      {"rgb(255,128,0)", true, 65280, 32768, 0},
      {"RGB(1, 2, 3)", true, 256, 512, 768},
      {"rgb(1;2;3", true, 256, 512, 768},
      {"rgb(1.5,0,0)", true, 384, 0, 0},
      // Numbers outside 0-255 are clamped instead of overflowing a channel.
      {"rgb(300,-5,10)", true, 65280, 0, 2560},
      // hsv: standard sectors, channels scaled by 65535.
      {"hsv(0,100,100)", true, 65535, 0, 0},
      {"HSV(120,100,100)", true, 0, 65535, 0},
      {"hsv(240,100,50)", true, 0, 0, 32767},
      {"hsv(30,50,100)", true, 65535, 49151, 32767},
      {"hsv(300,100,100)", true, 65535, 0, 65535},
      {"hsv(360,100,100)", true, 65535, 0, 0},
      {"hsv(-120,100,100)", true, 0, 0, 65535},
      {"hsv(720000000060,100,100)", true, 65535, 65535, 0},
      // Saturation 0 is grey at the value; values above 100 % are clamped.
      {"hsv(200,0,50)", true, 32767, 32767, 32767},
      {"hsv(0,100,250)", true, 65535, 0, 0},
      // Accepted, and the colour stays as it was.
      {"transparent", true, 1, 2, 3},
      // Not colour forms: the colour stays as it was.
      {"red", false, 1, 2, 3},
      {"", false, 1, 2, 3},
      {"#12", false, 1, 2, 3},
      {"#gggggg", false, 1, 2, 3},
      {"#ff80001", false, 1, 2, 3},
      {"rgb(1,2)", false, 1, 2, 3},
      {"rgb(a,b,c)", false, 1, 2, 3},
      {"RGB (1,2,3)", false, 1, 2, 3},
      {"Rgb(1,2,3)", false, 1, 2, 3},
      {"hsv(nan,100,100)", false, 1, 2, 3},
      {"hsv(inf,100,100)", false, 1, 2, 3},
      {"hsv(10,100)", false, 1, 2, 3},
  };
  for (const ColorCase& c : cases) {
    PColor color(1, 2, 3);
    EXPECT_EQ(color.FromString(c.text), c.is_form) << c.text;
    EXPECT_EQ(color, PColor(c.red, c.green, c.blue)) << c.text;
  }
}

TEST(ColorTest, HugeHueEndsAndStaysInRange) {
  // A hue of 1e300 would take forever to bring into range one turn at a time.
  for (const char* text : {"hsv(1e300,100,100)", "hsv(-1e300,100,100)", "hsv(1e999,50,50)"}) {
    PColor color;
    EXPECT_TRUE(color.FromString(text)) << text;
    EXPECT_FALSE(color.IsBlack()) << text;
  }
}

}  // namespace
}  // namespace fernweave
