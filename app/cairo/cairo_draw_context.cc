#include "app/cairo/cairo_draw_context.h"

#include <pango/pangocairo.h>

#include <cstdlib>
#include <algorithm>
#include <cmath>
#include <string>

#include "app/cairo/font_map.h"
#include "app/cairo/picture_decoder.h"
#include "foundation/error.h"
#include "views/view_geometry.h"

namespace fernweave {

namespace {

// Font sizes are kept in hundredths of a pixel in the cache keys.
std::tuple<std::string, int, bool, bool> FontKey(const FontSpec& font) {
  const double size = std::isfinite(font.size) ? std::clamp(font.size, 1.0, 2000.0) : 12.0;
  return {font.family, static_cast<int>(std::lround(size * 100)), font.bold, font.italic};
}

// Text for Pango: line breaks as "\n", and never invalid UTF-8 (Pango would refuse it).
std::string CleanText(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c == '\r') {
      c = '\n';
    }
  }
  const char* end = nullptr;
  if (!g_utf8_validate(out.data(), static_cast<gssize>(out.size()), &end)) {
    gchar* valid = g_utf8_make_valid(out.data(), static_cast<gssize>(out.size()));
    out = valid;
    g_free(valid);
  }
  return out;
}

class CairoLayer : public DrawLayer {
 public:
  explicit CairoLayer(const SRect& area) {
    cairo_rectangle_t extents{double(area.left), double(area.top), double(Width(area)),
                              double(Height(area))};
    surface_ = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &extents);
    cr_ = cairo_create(surface_);
    context_ = std::make_unique<CairoDrawContext>(cr_);
  }
  ~CairoLayer() override {
    context_.reset();
    cairo_destroy(cr_);
    cairo_surface_destroy(surface_);
  }
  bool ok() const { return cairo_status(cr_) == CAIRO_STATUS_SUCCESS; }
  DrawContext* Context() override { return context_.get(); }
  cairo_surface_t* surface() const { return surface_; }

 private:
  cairo_surface_t* surface_;
  cairo_t* cr_;
  std::unique_ptr<CairoDrawContext> context_;
};

bool g_keep_font_caches = false;

// Pango and Cairo keep process-wide caches of fonts; Pango's font map is let go at
// exit so leak checkers see only real leaks. Fontconfig's own caches stay to the end
// of the process: its teardown (FcFini) asserts when a font Pango loads on its own
// thread still holds a cache, which made an exit fail now and then.
void ReleaseDrawingCaches() {
  if (g_keep_font_caches) {
    return;
  }
  pango_cairo_font_map_set_default(nullptr);
}

}  // namespace

#if defined(__SANITIZE_ADDRESS__)
// What fontconfig keeps to the end of the process is not a leak of ours: builds with
// the address sanitizer tell its leak checker so. Nothing else is listed, so a leak
// from Fernweave's own code still fails.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif

namespace {

void ReleaseDrawingCachesAtExit() {
  static const bool registered = [] { return std::atexit(ReleaseDrawingCaches) == 0; }();
  (void)registered;
}

}  // namespace

void KeepFontCachesAtExit() {
  g_keep_font_caches = true;
}

FontCache::~FontCache() {
  for (auto& [key, description] : fonts_) {
    pango_font_description_free(description);
  }
}

const PangoFontDescription* FontCache::Get(const FontSpec& font) {
  const auto key = FontKey(font);
  auto it = fonts_.find(key);
  if (it != fonts_.end()) {
    return it->second;
  }
  PangoFontDescription* description = pango_font_description_new();
  pango_font_description_set_family(description, MapFontFamily(font.family).c_str());
  pango_font_description_set_absolute_size(description,
                                           std::get<1>(key) / 100.0 * PANGO_SCALE);
  pango_font_description_set_weight(description,
                                    font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
  pango_font_description_set_style(description,
                                   font.italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
  fonts_.emplace(key, description);
  return description;
}

CairoDrawContext::CairoDrawContext(cairo_t* cr) : cr_(RequireNotNull(cr, "no cairo context")) {
  ReleaseDrawingCachesAtExit();
}

CairoDrawContext::~CairoDrawContext() {
  if (layout_ != nullptr) {
    g_object_unref(layout_);
  }
}

void CairoDrawContext::SetColor(const DrawColor& c) {
  cairo_set_source_rgba(cr_, c.red, c.green, c.blue, c.alpha);
}

void CairoDrawContext::FillRect(const SRect& r, const DrawColor& color) {
  if (IsEmpty(r)) {
    return;
  }
  SetColor(color);
  cairo_rectangle(cr_, r.left, r.top, Width(r), Height(r));
  cairo_fill(cr_);
}

void CairoDrawContext::FrameRect(const SRect& r, const DrawColor& color, double line_width) {
  if (IsEmpty(r) || !(line_width > 0)) {
    return;
  }
  const double w = std::min({line_width, Width(r) / 2.0, Height(r) / 2.0});
  SetColor(color);
  cairo_set_line_width(cr_, w);
  cairo_set_dash(cr_, nullptr, 0, 0);
  cairo_rectangle(cr_, r.left + w / 2, r.top + w / 2, Width(r) - w, Height(r) - w);
  cairo_stroke(cr_);
}

void CairoDrawContext::EraseRect(const SRect& r, const DrawColor& background) {
  if (IsEmpty(r)) {
    return;
  }
  cairo_save(cr_);
  cairo_set_operator(cr_, CAIRO_OPERATOR_SOURCE);
  FillRect(r, background);
  cairo_restore(cr_);
}

void CairoDrawContext::AppendPath(const ShapePath& path) {
  cairo_new_path(cr_);
  for (const ShapePath::Element& e : path.Elements()) {
    switch (e.op) {
      case ShapePath::Op::kMove:
        cairo_move_to(cr_, e.p[0].x, e.p[0].y);
        break;
      case ShapePath::Op::kLine:
        cairo_line_to(cr_, e.p[0].x, e.p[0].y);
        break;
      case ShapePath::Op::kCurve:
        cairo_curve_to(cr_, e.p[0].x, e.p[0].y, e.p[1].x, e.p[1].y, e.p[2].x, e.p[2].y);
        break;
      case ShapePath::Op::kClose:
        cairo_close_path(cr_);
        break;
    }
  }
}

void CairoDrawContext::SetLine(const LineStyle& line) {
  const double w = std::isfinite(line.width) ? std::clamp(line.width, 0.1, 100.0) : 1.0;
  cairo_set_line_width(cr_, w);
  switch (line.dash) {
    case LineStyle::Dash::kSolid:
      cairo_set_dash(cr_, nullptr, 0, 0);
      break;
    case LineStyle::Dash::kDotted: {
      const double dots[] = {w, 2 * w};
      cairo_set_dash(cr_, dots, 2, 0);
      break;
    }
    case LineStyle::Dash::kDashed: {
      const double dashes[] = {4 * w, 3 * w};
      cairo_set_dash(cr_, dashes, 2, 0);
      break;
    }
  }
}

void CairoDrawContext::FillPath(const ShapePath& path, const DrawColor& color) {
  if (path.empty()) {
    return;
  }
  SetColor(color);
  AppendPath(path);
  cairo_fill(cr_);
}

void CairoDrawContext::StrokePath(const ShapePath& path, const DrawColor& color,
                                  const LineStyle& line) {
  if (path.empty()) {
    return;
  }
  SetColor(color);
  SetLine(line);
  AppendPath(path);
  cairo_stroke(cr_);
}

void CairoDrawContext::DrawLine(DrawPoint from, DrawPoint to, const DrawColor& color,
                                const LineStyle& line) {
  SetColor(color);
  SetLine(line);
  cairo_new_path(cr_);
  cairo_move_to(cr_, from.x, from.y);
  cairo_line_to(cr_, to.x, to.y);
  cairo_stroke(cr_);
}

void CairoDrawContext::DrawText(std::string_view text, const SRect& box, const TextStyle& style) {
  if (IsEmpty(box) || text.empty()) {
    return;
  }
  if (layout_ == nullptr) {
    layout_ = pango_cairo_create_layout(cr_);
    // The same metrics as PangoTextMeasurer, so text fits where layout measured it.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    pango_cairo_context_set_font_options(pango_layout_get_context(layout_), options);
    cairo_font_options_destroy(options);
    pango_layout_context_changed(layout_);
  } else {
    pango_cairo_update_layout(cr_, layout_);
  }
  pango_layout_set_font_description(layout_, fonts_.Get(style.font));
  // Pango keeps widths in 1/1024 pixel in an int; no text needs more than 2^20 pixels.
  pango_layout_set_width(layout_, std::min(Width(box), 1 << 20) * PANGO_SCALE);
  if (style.wrap) {
    pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
    pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_NONE);
  } else {
    pango_layout_set_ellipsize(layout_, PANGO_ELLIPSIZE_END);
  }
  pango_layout_set_alignment(layout_, style.align == TextAlign::kCenter  ? PANGO_ALIGN_CENTER
                                      : style.align == TextAlign::kRight ? PANGO_ALIGN_RIGHT
                                                                         : PANGO_ALIGN_LEFT);
  const std::string clean = CleanText(text);
  pango_layout_set_text(layout_, clean.data(), static_cast<int>(clean.size()));
  cairo_save(cr_);
  cairo_rectangle(cr_, box.left, box.top, Width(box), Height(box));
  cairo_clip(cr_);
  SetColor(style.color);
  cairo_move_to(cr_, box.left, box.top);
  pango_cairo_show_layout(cr_, layout_);
  cairo_restore(cr_);
}

bool CairoDrawContext::DrawPicture(std::string_view bytes, const SRect& box) {
  if (IsEmpty(box) || bytes.empty()) {
    return false;
  }
  cairo_surface_t* picture = CachedPicture(bytes);
  if (picture == nullptr) {
    return false;
  }
  const double width = cairo_image_surface_get_width(picture);
  const double height = cairo_image_surface_get_height(picture);
  const double fit = std::min(Width(box) / width, Height(box) / height);
  const double x = box.left + (Width(box) - width * fit) / 2;
  const double y = box.top + (Height(box) - height * fit) / 2;
  cairo_save(cr_);
  cairo_new_path(cr_);
  cairo_rectangle(cr_, x, y, width * fit, height * fit);
  cairo_clip(cr_);
  cairo_translate(cr_, x, y);
  cairo_scale(cr_, fit, fit);
  cairo_set_source_surface(cr_, picture, 0, 0);
  cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_GOOD);
  cairo_paint(cr_);
  cairo_restore(cr_);
  cairo_surface_destroy(picture);
  return true;
}

void CairoDrawContext::Save() { cairo_save(cr_); }

void CairoDrawContext::Restore() { cairo_restore(cr_); }

void CairoDrawContext::ClipRect(const SRect& r) {
  cairo_new_path(cr_);
  cairo_rectangle(cr_, r.left, r.top, std::max(0, Width(r)), std::max(0, Height(r)));
  cairo_clip(cr_);
}

void CairoDrawContext::ClipPath(const ShapePath& path) {
  AppendPath(path);
  cairo_clip(cr_);
}

std::unique_ptr<DrawLayer> CairoDrawContext::CreateLayer(const SRect& area) {
  if (IsEmpty(area)) {
    return nullptr;
  }
  auto layer = std::make_unique<CairoLayer>(area);
  if (!layer->ok()) {
    return nullptr;
  }
  return layer;
}

void CairoDrawContext::DrawLayerAt(DrawLayer* layer) {
  auto* cairo_layer = static_cast<CairoLayer*>(layer);
  cairo_save(cr_);
  cairo_set_source_surface(cr_, cairo_layer->surface(), 0, 0);
  cairo_paint(cr_);
  cairo_restore(cr_);
}

PangoTextMeasurer::PangoTextMeasurer()
    : surface_(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 1, 1)),
      cr_(cairo_create(surface_)),
      layout_(pango_cairo_create_layout(cr_)),
      advances_(layout_) {
  ReleaseDrawingCachesAtExit();
  // Metrics without hinting, so sizes do not depend on the screen.
  cairo_font_options_t* options = cairo_font_options_create();
  cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
  pango_cairo_context_set_font_options(pango_layout_get_context(layout_), options);
  cairo_font_options_destroy(options);
  pango_layout_context_changed(layout_);
}

PangoTextMeasurer::~PangoTextMeasurer() {
  g_object_unref(layout_);
  cairo_destroy(cr_);
  cairo_surface_destroy(surface_);
}

FontMetrics PangoTextMeasurer::Metrics(const FontSpec& font) const {
  const auto key = FontKey(font);
  auto it = metrics_.find(key);
  if (it != metrics_.end()) {
    return it->second;
  }
  PangoFontMetrics* m =
      pango_context_get_metrics(pango_layout_get_context(layout_), fonts_.Get(font), nullptr);
  FontMetrics out;
  out.ascent = pango_font_metrics_get_ascent(m) / double(PANGO_SCALE);
  out.descent = pango_font_metrics_get_descent(m) / double(PANGO_SCALE);
  const double height = pango_font_metrics_get_height(m) / double(PANGO_SCALE);
  out.leading = std::max(0.0, height - out.ascent - out.descent);
  pango_font_metrics_unref(m);
  metrics_.emplace(key, out);
  return out;
}

double PangoTextMeasurer::TextWidth(const FontSpec& font, std::string_view text) const {
  const std::string clean = CleanText(text);
  pango_layout_set_font_description(layout_, fonts_.Get(font));
  pango_layout_set_width(layout_, -1);
  pango_layout_set_text(layout_, clean.data(), static_cast<int>(clean.size()));
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout_, &width, &height);
  return width;
}

double PangoTextMeasurer::WrappedHeight(const FontSpec& font, std::string_view text,
                                        double width) const {
  const double w = std::isfinite(width) ? std::clamp(width, 1.0, 1.0e6) : 1.0e6;
  const auto key = FontKey(font);
  if (const auto height =
          advances_.OneLineHeight(key, fonts_.Get(font), std::get<1>(key) / 100.0, text, w)) {
    return *height;
  }
  return LaidOutHeight(font, text, width);
}

double PangoTextMeasurer::LaidOutHeight(const FontSpec& font, std::string_view text,
                                        double width) const {
  const std::string clean = CleanText(text);
  pango_layout_set_font_description(layout_, fonts_.Get(font));
  const double w = std::isfinite(width) ? std::clamp(width, 1.0, 1.0e6) : 1.0e6;
  pango_layout_set_width(layout_, static_cast<int>(w * PANGO_SCALE));
  pango_layout_set_wrap(layout_, PANGO_WRAP_WORD_CHAR);
  pango_layout_set_text(layout_, clean.data(), static_cast<int>(clean.size()));
  int pixel_width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout_, &pixel_width, &height);
  return height;
}

}  // namespace fernweave
