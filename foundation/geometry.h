#ifndef FERNWEAVE_FOUNDATION_GEOMETRY_H_
#define FERNWEAVE_FOUNDATION_GEOMETRY_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace fernweave {

// A colour of three 16-bit channels, as the platform keeps colours.
struct RGBColor {
  uint16_t red = 0;
  uint16_t green = 0;
  uint16_t blue = 0;

  friend bool operator==(const RGBColor&, const RGBColor&) = default;
};

// The file form of a colour: "#" and six lower-case hexadecimal digits, the high byte
// of red, green and blue ("#ff8000").
std::string ColorToHex(const RGBColor& color);

// Reads "#rgb" (each digit written twice, as 0xaa00) or "#rrggbb" (each pair v as
// v × 257). Returns std::nullopt for any other text.
std::optional<RGBColor> ColorFromHex(std::string_view text);

// A rectangle in whole units: left, top, right, bottom.
struct SRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  friend bool operator==(const SRect&, const SRect&) = default;
};

// The file form of a rectangle: "Rect[" then " " before each of left, top, right,
// bottom, then "]" — "Rect[ 10 20 300 200]".
std::string RectToString(const SRect& rect);

// Reads the tagged form word by word (tag, four numbers, closing word), so "Rect[ 10 20
// 300 200]" and "Rect[ 10 20 300 200 ]" both parse. Returns std::nullopt when the text
// does not start with "Rect[" or a number is missing.
std::optional<SRect> RectFromString(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_GEOMETRY_H_
