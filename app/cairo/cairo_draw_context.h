// The views' drawing context and text measurer on Cairo and Pango. A context draws
// onto a cairo_t it does not own (a PNG, SVG or PDF surface, or a window); its layers
// are recording surfaces, so a layer replayed onto a vector surface stays vector.
// Fonts are mapped onto the installed free family (app/cairo/font_map.h).

#ifndef FERNWEAVE_APP_CAIRO_CAIRO_DRAW_CONTEXT_H_
#define FERNWEAVE_APP_CAIRO_CAIRO_DRAW_CONTEXT_H_

#include <cairo.h>
#include <pango/pango.h>

#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "app/cairo/advance_cache.h"
#include "views/draw_context.h"

namespace fernweave {

// The drawing layer lets the process's Pango font map and fontconfig caches go at exit,
// so leak checkers see only real leaks. A process where another library (a GUI toolkit)
// shares those caches and still holds them at exit calls this first: fontconfig must
// not be finished under it.
void KeepFontCachesAtExit();

// Pango font descriptions by font, made once each.
class FontCache {
 public:
  FontCache() = default;
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
  ~FontCache();
  // Owned by the cache.
  const PangoFontDescription* Get(const FontSpec& font);

 private:
  std::map<std::tuple<std::string, int, bool, bool>, PangoFontDescription*> fonts_;
};

class CairoDrawContext : public DrawContext {
 public:
  // REQUIRES: cr is not null; it must outlive the context.
  explicit CairoDrawContext(cairo_t* cr);
  ~CairoDrawContext() override;

  void FillRect(const SRect& r, const DrawColor& color) override;
  void FrameRect(const SRect& r, const DrawColor& color, double line_width) override;
  void EraseRect(const SRect& r, const DrawColor& background) override;
  void FillPath(const ShapePath& path, const DrawColor& color) override;
  void StrokePath(const ShapePath& path, const DrawColor& color, const LineStyle& line) override;
  void DrawLine(DrawPoint from, DrawPoint to, const DrawColor& color,
                const LineStyle& line) override;
  void DrawText(std::string_view text, const SRect& box, const TextStyle& style) override;
  bool DrawPicture(std::string_view bytes, const SRect& box) override;
  void Save() override;
  void Restore() override;
  void ClipRect(const SRect& r) override;
  void ClipPath(const ShapePath& path) override;
  std::unique_ptr<DrawLayer> CreateLayer(const SRect& area) override;
  void DrawLayerAt(DrawLayer* layer) override;

  cairo_t* cairo() const { return cr_; }

 private:
  void SetColor(const DrawColor& color);
  void AppendPath(const ShapePath& path);
  void SetLine(const LineStyle& line);

  cairo_t* cr_;
  PangoLayout* layout_ = nullptr;  // reused for every text
  FontCache fonts_;
};

// Measures text with Pango on a private one-pixel surface. A name that surely fits on
// one line is answered from cached character advances (app/cairo/advance_cache.h).
class PangoTextMeasurer : public TextMeasurer {
 public:
  PangoTextMeasurer();
  ~PangoTextMeasurer() override;
  PangoTextMeasurer(const PangoTextMeasurer&) = delete;
  PangoTextMeasurer& operator=(const PangoTextMeasurer&) = delete;

  FontMetrics Metrics(const FontSpec& font) const override;
  double TextWidth(const FontSpec& font, std::string_view text) const override;
  double WrappedHeight(const FontSpec& font, std::string_view text, double width) const override;
  // WrappedHeight always from a full layout of the text, never from the cache.
  double LaidOutHeight(const FontSpec& font, std::string_view text, double width) const;

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
  PangoLayout* layout_;
  mutable AdvanceCache advances_;
  mutable FontCache fonts_;
  mutable std::map<std::tuple<std::string, int, bool, bool>, FontMetrics> metrics_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_APP_CAIRO_CAIRO_DRAW_CONTEXT_H_
