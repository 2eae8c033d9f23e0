#include "views/draw_context.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace fernweave {

namespace {

double Clamp01(double v) { return std::isnan(v) ? 0 : std::clamp(v, 0.0, 1.0); }

// Code points in UTF-8 text (continuation bytes are not counted).
size_t CountCharacters(std::string_view text) {
  size_t n = 0;
  for (unsigned char c : text) {
    if ((c & 0xC0) != 0x80) {
      ++n;
    }
  }
  return n;
}

}  // namespace

DrawColor DrawColor::FromPColor(const PColor& c, double alpha) {
  return DrawColor{c.red / 65535.0, c.green / 65535.0, c.blue / 65535.0, Clamp01(alpha)};
}

DrawColor DrawColor::Blend(const DrawColor& other, double t) const {
  t = Clamp01(t);
  return DrawColor{red + (other.red - red) * t, green + (other.green - green) * t,
                   blue + (other.blue - blue) * t, alpha + (other.alpha - alpha) * t};
}

DrawColor DrawColor::Faded(double f) const {
  return DrawColor{Clamp01(red * f), Clamp01(green * f), Clamp01(blue * f), alpha};
}

double DrawColor::Luminance() const { return 0.299 * red + 0.587 * green + 0.114 * blue; }

std::string DrawColor::ToString() const {
  auto byte = [](double v) { return static_cast<int>(std::lround(Clamp01(v) * 255)); };
  char buffer[16];
  if (byte(alpha) == 255) {
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x", byte(red), byte(green), byte(blue));
  } else {
    std::snprintf(buffer, sizeof buffer, "#%02x%02x%02x/%02x", byte(red), byte(green),
                  byte(blue), byte(alpha));
  }
  return buffer;
}

void ShapePath::MoveTo(double x, double y) {
  elements_.push_back({Op::kMove, {{x, y}, {}, {}}});
}

void ShapePath::LineTo(double x, double y) {
  elements_.push_back({Op::kLine, {{x, y}, {}, {}}});
}

void ShapePath::CurveTo(double x1, double y1, double x2, double y2, double x3, double y3) {
  elements_.push_back({Op::kCurve, {{x1, y1}, {x2, y2}, {x3, y3}}});
}

void ShapePath::Close() { elements_.push_back({Op::kClose, {}}); }

FontMetrics FixedTextMeasurer::Metrics(const FontSpec& font) const {
  return FontMetrics{0.8 * font.size, 0.2 * font.size, 0.2 * font.size};
}

double FixedTextMeasurer::TextWidth(const FontSpec& font, std::string_view text) const {
  return 0.6 * font.size * static_cast<double>(CountCharacters(text));
}

double FixedTextMeasurer::WrappedHeight(const FontSpec& font, std::string_view text,
                                        double width) const {
  const double line = 1.2 * font.size;
  const double space = TextWidth(font, " ");
  int lines = 1;
  double x = 0;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '\r' || text[i] == '\n') {
      ++lines;
      x = 0;
      ++i;
      continue;
    }
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    size_t end = i;
    while (end < text.size() && text[end] != ' ' && text[end] != '\r' && text[end] != '\n') {
      ++end;
    }
    const double w = TextWidth(font, text.substr(i, end - i));
    // A word starts a new line when it does not fit after the words already set; a
    // word longer than the line stays on a line of its own.
    if (x > 0 && x + space + w > width) {
      ++lines;
      x = w;
    } else {
      x += (x > 0 ? space : 0) + w;
    }
    i = end;
  }
  return lines * line;
}

bool DrawContext::DrawPicture(std::string_view, const SRect&) { return false; }

}  // namespace fernweave
