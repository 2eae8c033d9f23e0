// A cache of character advances that answers the one question views ask most when
// laying out names: does this short name fit on one line of the given width? Answering
// it from cached advances spares a full Pango layout per name, which is what a chart
// or outline of a large document would otherwise pay for every row.
//
// Only text made of characters that shape alone as they do in context is answered
// here: printable Latin characters (U+0020–U+024F, without controls and the soft
// hyphen) whose own line is exactly as tall as the font's line, so no fallback font is
// involved. The sum of their advances must leave a margin for kerning. Everything else
// is left to the caller's full layout.

#ifndef FERNWEAVE_APP_CAIRO_ADVANCE_CACHE_H_
#define FERNWEAVE_APP_CAIRO_ADVANCE_CACHE_H_

#include <pango/pango.h>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>

namespace fernweave {

class AdvanceCache {
 public:
  using FontKey = std::tuple<std::string, int, bool, bool>;

  // `layout` (not owned) measures single characters; it must outlive the cache and its
  // wrap width and text are changed by Measure calls.
  explicit AdvanceCache(PangoLayout* layout) : layout_(layout) {}
  AdvanceCache(const AdvanceCache&) = delete;
  AdvanceCache& operator=(const AdvanceCache&) = delete;

  // The pixel height of the text on one line when it surely fits within `width`
  // pixels; nothing when the text is not simple enough or may need to wrap. `font`
  // is the description Pango sets the text in; `key` identifies it.
  std::optional<double> OneLineHeight(const FontKey& key, const PangoFontDescription* font,
                                      double font_size, std::string_view text, double width);

 private:
  // Characters below this code point may be answered from the cache.
  static constexpr uint32_t kLimit = 0x250;
  static constexpr int32_t kUnknown = -1;
  static constexpr int32_t kNotSimple = -2;

  struct FontAdvances {
    int line_height = 0;        // one line's height in pixels
    int32_t line_units = 0;     // one line's height in Pango units
    std::array<int32_t, kLimit> advance;  // Pango units, or kUnknown / kNotSimple
  };

  FontAdvances* ForFont(const FontKey& key, const PangoFontDescription* font);
  int32_t Advance(FontAdvances* f, uint32_t c);

  PangoLayout* layout_;
  std::map<FontKey, std::unique_ptr<FontAdvances>> fonts_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_APP_CAIRO_ADVANCE_CACHE_H_
