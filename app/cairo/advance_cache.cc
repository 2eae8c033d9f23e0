#include "app/cairo/advance_cache.h"

#include <algorithm>
#include <cmath>

namespace fernweave {

namespace {

// The next character of the text when it lies below 0x800 and is well formed; 0 for
// anything else (which the caller then declines). Advances `i` past it.
uint32_t NextSmallCharacter(std::string_view text, size_t* i) {
  const auto b0 = static_cast<unsigned char>(text[*i]);
  if (b0 < 0x80) {
    *i += 1;
    return b0;
  }
  if ((b0 & 0xE0) != 0xC0 || *i + 1 >= text.size()) {
    return 0;
  }
  const auto b1 = static_cast<unsigned char>(text[*i + 1]);
  if ((b1 & 0xC0) != 0x80) {
    return 0;
  }
  const uint32_t c = (uint32_t{b0 & 0x1Fu} << 6) | (b1 & 0x3Fu);
  if (c < 0x80) {
    return 0;  // an overlong form
  }
  *i += 2;
  return c;
}

bool MayBeSimple(uint32_t c) {
  // Controls break lines or vanish; the soft hyphen shows only at a break.
  return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c < 0xA0) && c != 0xAD;
}

}  // namespace

AdvanceCache::FontAdvances* AdvanceCache::ForFont(const FontKey& key,
                                                  const PangoFontDescription* font) {
  auto it = fonts_.find(key);
  if (it != fonts_.end()) {
    return it->second.get();
  }
  auto f = std::make_unique<FontAdvances>();
  f->advance.fill(kUnknown);
  pango_layout_set_font_description(layout_, font);
  pango_layout_set_width(layout_, -1);
  pango_layout_set_text(layout_, "x", 1);
  int width = 0;
  pango_layout_get_size(layout_, &width, &f->line_units);
  pango_layout_get_pixel_size(layout_, &width, &f->line_height);
  return fonts_.emplace(key, std::move(f)).first->second.get();
}

int32_t AdvanceCache::Advance(FontAdvances* f, uint32_t c) {
  int32_t& slot = f->advance[c];
  if (slot != kUnknown) {
    return slot;
  }
  slot = kNotSimple;
  if (!MayBeSimple(c)) {
    return slot;
  }
  char utf8[8];
  const gint n = g_unichar_to_utf8(c, utf8);
  pango_layout_set_text(layout_, utf8, n);
  int width = 0;
  int height = 0;
  pango_layout_get_size(layout_, &width, &height);
  // A character set in another font (a fallback) may change the line's height.
  if (height == f->line_units && width >= 0) {
    slot = width;
  }
  return slot;
}

std::optional<double> AdvanceCache::OneLineHeight(const FontKey& key,
                                                  const PangoFontDescription* font,
                                                  double font_size, std::string_view text,
                                                  double width) {
  if (text.empty() || !std::isfinite(width) || !std::isfinite(font_size)) {
    return std::nullopt;
  }
  FontAdvances* f = ForFont(key, font);
  bool font_set = false;
  int64_t total = 0;
  for (size_t i = 0; i < text.size();) {
    const uint32_t c = NextSmallCharacter(text, &i);
    if (c == 0 || c >= kLimit) {
      return std::nullopt;
    }
    if (f->advance[c] == kUnknown && !font_set) {
      pango_layout_set_font_description(layout_, font);
      pango_layout_set_width(layout_, -1);
      font_set = true;
    }
    const int32_t advance = Advance(f, c);
    if (advance < 0) {
      return std::nullopt;
    }
    total += advance;
  }
  // Kerning and rounding move a set line's width a little either way from the sum of
  // its advances: only a name well inside the width is answered here.
  const double margin = 2.0 + 0.1 * std::clamp(font_size, 1.0, 2000.0);
  if (static_cast<double>(total) / PANGO_SCALE + margin > width) {
    return std::nullopt;
  }
  return f->line_height;
}

}  // namespace fernweave
