#include "foundation/geometry.h"

#include <gtest/gtest.h>

namespace fernweave {
namespace {

TEST(GeometryTest, ColorForms) {
  EXPECT_EQ(ColorToHex({0xffff, 0x8000, 0x00ff}), "#ff8000");
  EXPECT_EQ(ColorFromHex("#abc"), (RGBColor{0xaa00, 0xbb00, 0xcc00}));
  EXPECT_EQ(ColorFromHex("#ff8001"), (RGBColor{0xffff, 0x8080, 0x0101}));
  // Six-digit forms round-trip through the file form.
  EXPECT_EQ(ColorToHex(*ColorFromHex("#12aBcD")), "#12abcd");
  for (const char* bad : {"", "#", "#12", "#12345g", "123456", "#1234567"}) {
    EXPECT_FALSE(ColorFromHex(bad).has_value()) << bad;
  }
}

TEST(GeometryTest, RectForms) {
  const SRect rect{10, 20, 300, -200};
  EXPECT_EQ(RectToString(rect), "Rect[ 10 20 300 -200]");
  EXPECT_EQ(RectFromString(RectToString(rect)), rect);
  EXPECT_EQ(RectFromString("Rect[ 10 20 300 200 ]"), (SRect{10, 20, 300, 200}));
  EXPECT_EQ(RectFromString("Rect[10 20 300 200]"), (SRect{10, 20, 300, 200}));
  EXPECT_FALSE(RectFromString("Rect[ 10 20 300]").has_value());
  EXPECT_FALSE(RectFromString("Long[ 12 ]").has_value());
}

}  // namespace
}  // namespace fernweave
