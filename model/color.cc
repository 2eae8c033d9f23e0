#include "model/color.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/number_text.h"

namespace fernweave {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// Reads three numbers, each followed by one separator character (any character), from
// the text after a form's opening "(". Returns false when a number is missing or is
// not finite.
bool ReadThreeNumbers(std::string_view text, double numbers[3]) {
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    size_t used = ReadLeadingDouble(text.substr(std::min(at, text.size())), &numbers[i]);
    if (used == 0 || !std::isfinite(numbers[i])) {
      return false;
    }
    at += used + 1;  // the number and its one separator
  }
  return true;
}

uint16_t ScaleUnit(double unit) {
  // Clamped to 0-1 first, so the product lies in 0-65535.
  return static_cast<uint16_t>(std::clamp(unit, 0.0, 1.0) * 65535.0);
}

std::optional<PColor> FromRGB(std::string_view text) {
  double rgb[3];
  if (!ReadThreeNumbers(text, rgb)) {
    return std::nullopt;
  }
  auto channel = [](double v) { return static_cast<uint16_t>(std::clamp(v, 0.0, 255.0) * 256.0); };
  return PColor(channel(rgb[0]), channel(rgb[1]), channel(rgb[2]));
}

std::optional<PColor> FromHSV(std::string_view text) {
  double hsv[3];
  if (!ReadThreeNumbers(text, hsv)) {
    return std::nullopt;
  }
  // fmod keeps any finite hue, however large, in range in one step.
  double hue = std::fmod(hsv[0], 360.0);
  if (hue < 0) {
    hue += 360.0;
  }
  if (hue >= 360.0) {  // a tiny negative hue can round up to 360
    hue = 0;
  }
  double s = hsv[1] / 100.0;
  double v = hsv[2] / 100.0;
  if (s <= 0) {
    uint16_t grey = ScaleUnit(v);
    return PColor(grey, grey, grey);
  }
  double sector = hue / 60.0;
  int i = static_cast<int>(std::floor(sector));  // 0-5
  double f = sector - i;
  double p = v * (1 - s);
  double q = v * (1 - s * f);
  double t = v * (1 - s * (1 - f));
  double r, g, b;
  switch (i) {
    case 0:
      r = v, g = t, b = p;
      break;
    case 1:
      r = q, g = v, b = p;
      break;
    case 2:
      r = p, g = v, b = t;
      break;
    case 3:
      r = p, g = q, b = v;
      break;
    case 4:
      r = t, g = p, b = v;
      break;
    default:
      r = v, g = p, b = q;
      break;
  }
  return PColor(ScaleUnit(r), ScaleUnit(g), ScaleUnit(b));
}

}  // namespace

bool PColor::FromString(std::string_view text) {
  std::optional<PColor> parsed;
  if (StartsWith(text, "#")) {
    if (std::optional<RGBColor> rgb = ColorFromHex(text)) {
      parsed = PColor(*rgb);
    }
  } else if (StartsWith(text, "RGB(") || StartsWith(text, "rgb(")) {
    parsed = FromRGB(text.substr(4));
  } else if (StartsWith(text, "HSV(") || StartsWith(text, "hsv(")) {
    parsed = FromHSV(text.substr(4));
  } else if (text == "transparent") {
    return true;
  }
  if (!parsed) {
    return false;
  }
  *this = *parsed;
  return true;
}

}  // namespace fernweave
