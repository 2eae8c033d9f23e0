#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/cairo/advance_cache.h"
#include "app/cairo/cairo_draw_context.h"

namespace fernweave {
namespace {

// Names answered from cached advances must measure exactly as a full layout does, on
// both sides of the width where they start to wrap.
TEST(PangoTextMeasurerTest, CachedOneLineHeightsAgreeWithFullLayouts) {
  PangoTextMeasurer measurer;
  const char* names[] = {
      "Note 12345", "AVAVAVAV Wave To", "fi fl ffi office", "Ærøskøbing façade",
      "    leading blanks", "a",
      // Not answered from the cache: a line break, a combining accent, a soft hyphen,
      // text in another script, and bytes that are not UTF-8.
      "two\rlines", "e\xCC\x81tude", "co\xC2\xADop", "\xE6\x97\xA5\xE6\x9C\xAC", "bad \xC3(",
  };
  FontSpec fonts[3];
  fonts[1].size = 7;
  fonts[2].size = 20;
  fonts[2].bold = true;
  fonts[2].italic = true;
  for (const FontSpec& font : fonts) {
    for (const char* name : names) {
      // Every width near the name's own, where the cache must decline, and a few
      // far from it.
      const double full = measurer.TextWidth(font, name);
      std::vector<double> widths{1, 3, 2 * full + 100};
      for (double width = std::max(1.0, full - 30); width <= full + 30; width += 1) {
        widths.push_back(width);
      }
      for (double width : widths) {
        ASSERT_EQ(measurer.WrappedHeight(font, name, width),
                  measurer.LaidOutHeight(font, name, width))
            << name << " at " << font.size << " px, " << width << " px wide";
      }
    }
  }
}

TEST(AdvanceCacheTest, AnswersOnlySimpleNamesWellInsideTheWidth) {
  PangoTextMeasurer measurer;  // lets the font caches go at exit, as every render does
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1);
  cairo_t* cr = cairo_create(surface);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("DejaVu Sans 12px");
  {
    AdvanceCache cache(layout);
    const AdvanceCache::FontKey key{"", 1200, false, false};
    struct Case {
      const char* text;
      double width;
      bool answered;
    } cases[] = {
        {"Note 12345", 500, true}, {"Note 12345", 10, false}, {"", 500, false},
        {"two\nlines", 500, false}, {"\xE6\x97\xA5", 500, false}, {"\xC3", 500, false},
    };
    for (const Case& c : cases) {
      EXPECT_EQ(cache.OneLineHeight(key, font, 12, c.text, c.width).has_value(), c.answered)
          << c.text << " in " << c.width;
    }
  }
  pango_font_description_free(font);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(surface);
}

}  // namespace
}  // namespace fernweave
