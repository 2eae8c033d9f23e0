#include "foundation/geometry.h"

#include <cstdio>
#include <sstream>

namespace fernweave {
namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::string ColorToHex(const RGBColor& color) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", color.red >> 8, color.green >> 8,
                color.blue >> 8);
  return buffer;
}

std::optional<RGBColor> ColorFromHex(std::string_view text) {
  if (text.empty() || text[0] != '#') {
    return std::nullopt;
  }
  text.remove_prefix(1);
  int digits[6];
  if (text.size() != 3 && text.size() != 6) {
    return std::nullopt;
  }
  for (size_t i = 0; i < text.size(); ++i) {
    digits[i] = HexDigit(text[i]);
    if (digits[i] < 0) {
      return std::nullopt;
    }
  }
  RGBColor color;
  uint16_t* channels[3] = {&color.red, &color.green, &color.blue};
  for (int i = 0; i < 3; ++i) {
    if (text.size() == 3) {
      // One digit written twice fills the high byte: "#abc" gives 0xaa00.
      *channels[i] = static_cast<uint16_t>((digits[i] * 16 + digits[i]) << 8);
    } else {
      *channels[i] = static_cast<uint16_t>((digits[2 * i] * 16 + digits[2 * i + 1]) * 257);
    }
  }
  return color;
}

std::string RectToString(const SRect& rect) {
  std::ostringstream out;
  out << "Rect[ " << rect.left << ' ' << rect.top << ' ' << rect.right << ' ' << rect.bottom
      << ']';
  return out.str();
}

std::optional<SRect> RectFromString(std::string_view text) {
  std::istringstream in{std::string(text)};
  std::string tag;
  in >> tag;
  if (tag.rfind("Rect[", 0) != 0) {
    return std::nullopt;
  }
  SRect rect;
  // Numbers may follow the tag directly ("Rect[10 ...") or after a space.
  std::istringstream numbers(tag.substr(5) + " " +
                             std::string(std::istreambuf_iterator<char>(in), {}));
  int64_t values[4];
  for (int64_t& value : values) {
    if (!(numbers >> value)) {
      return std::nullopt;
    }
  }
  rect.left = static_cast<int32_t>(values[0]);
  rect.top = static_cast<int32_t>(values[1]);
  rect.right = static_cast<int32_t>(values[2]);
  rect.bottom = static_cast<int32_t>(values[3]);
  return rect;
}

}  // namespace fernweave
