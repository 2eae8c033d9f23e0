// Colours of attribute values: three 16-bit channels and the text forms a user may
// type for them.

#ifndef FERNWEAVE_MODEL_COLOR_H_
#define FERNWEAVE_MODEL_COLOR_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/geometry.h"

namespace fernweave {

// A colour as notes keep it: red, green and blue, 0-65535 each. Black by default.
struct PColor {
  uint16_t red = 0;
  uint16_t green = 0;
  uint16_t blue = 0;

  PColor() = default;
  PColor(uint16_t r, uint16_t g, uint16_t b) : red(r), green(g), blue(b) {}
  explicit PColor(const RGBColor& rgb) : red(rgb.red), green(rgb.green), blue(rgb.blue) {}

  RGBColor ToRGB() const { return RGBColor{red, green, blue}; }
  bool IsBlack() const { return red == 0 && green == 0 && blue == 0; }

  // The file form: "#" and six lower-case hexadecimal digits ("#ff8000").
  std::string ToHex() const { return ColorToHex(ToRGB()); }

  // Reads one of the colour forms into this colour and returns true; returns false and
  // leaves the colour unchanged for any other text (colour names included: those are
  // resolved through the document's colour table, not here). The forms:
  //   "#abc"           each channel from one digit written twice, as the high byte
  //                    (0xaa00, 0xbb00, 0xcc00);
  //   "#aabbcc"        each channel from its pair v as v * 257;
  //   "RGB(r,g,b)"     (or "rgb(") three numbers 0-255 separated by single characters,
  //                    each channel the number * 256; numbers outside 0-255 are clamped;
  //   "HSV(h,s,v)"     (or "hsv(") hue in degrees (any finite value, taken modulo 360),
  //                    saturation and value in per cent, converted in sixty-degree
  //                    sectors, each channel clamped to 0-1 and scaled by 65535;
  //   "transparent"    accepted; the colour is left as it was.
  // A missing or non-finite number makes the text not a colour form.
  bool FromString(std::string_view text);

  friend bool operator==(const PColor&, const PColor&) = default;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_COLOR_H_
