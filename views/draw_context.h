// The drawing surface and the text measurer the views draw and measure through. The
// platform implements both (Cairo and Pango in app/cairo/); tests record the calls.
// Coordinates are view pixels as doubles; rectangles are the views' 32-bit frames.

#ifndef FERNWEAVE_VIEWS_DRAW_CONTEXT_H_
#define FERNWEAVE_VIEWS_DRAW_CONTEXT_H_

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "foundation/geometry.h"
#include "model/color.h"

namespace fernweave {

// A colour with opacity, each channel 0–1.
struct DrawColor {
  double red = 0;
  double green = 0;
  double blue = 0;
  double alpha = 1;

  static DrawColor FromPColor(const PColor& c, double alpha = 1.0);
  static DrawColor Gray(double level) { return DrawColor{level, level, level, 1}; }
  // This colour moved towards `other` by t (0 keeps it, 1 gives other); alpha too.
  DrawColor Blend(const DrawColor& other, double t) const;
  // Each channel times f (a fade towards black), clamped to 0–1.
  DrawColor Faded(double f) const;
  // Perceived brightness, 0–1.
  double Luminance() const;
  // "#rrggbb", and "/aa" (two hexadecimal digits) unless fully opaque.
  std::string ToString() const;
  friend bool operator==(const DrawColor&, const DrawColor&) = default;
};

struct DrawPoint {
  double x = 0;
  double y = 0;
};

// A figure of straight segments and cubic curves; each MoveTo starts a new part.
class ShapePath {
 public:
  enum class Op { kMove, kLine, kCurve, kClose };
  struct Element {
    Op op;
    DrawPoint p[3];
  };
  void MoveTo(double x, double y);
  void LineTo(double x, double y);
  void CurveTo(double x1, double y1, double x2, double y2, double x3, double y3);
  void Close();
  const std::vector<Element>& Elements() const { return elements_; }
  bool empty() const { return elements_.empty(); }

 private:
  std::vector<Element> elements_;
};

struct LineStyle {
  enum class Dash { kSolid, kDotted, kDashed };
  double width = 1;
  Dash dash = Dash::kSolid;
};

// A font as the views ask for it; the platform maps the family onto an installed one.
struct FontSpec {
  std::string family;  // empty: the platform's default
  double size = 12;
  bool bold = false;
  bool italic = false;
};

struct FontMetrics {
  double ascent = 0;
  double descent = 0;
  double leading = 0;
};

enum class TextAlign { kLeft, kCenter, kRight };

struct TextStyle {
  FontSpec font;
  DrawColor color;
  TextAlign align = TextAlign::kLeft;
  bool wrap = true;  // wrap at word boundaries to the box; otherwise one line, cut off
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual FontMetrics Metrics(const FontSpec& font) const = 0;
  virtual double TextWidth(const FontSpec& font, std::string_view text) const = 0;
  // The height of the text wrapped at word boundaries to `width`: at least one line.
  virtual double WrappedHeight(const FontSpec& font, std::string_view text, double width) const = 0;
};

// A measurer without fonts: every character is 0.6 em wide, a line is 1.2 em (ascent
// 0.8, descent 0.2, leading 0.2), wrapping breaks at blanks. Layouts made with it are
// the same on every machine; tests and benchmarks of layout alone use it.
class FixedTextMeasurer : public TextMeasurer {
 public:
  FontMetrics Metrics(const FontSpec& font) const override;
  double TextWidth(const FontSpec& font, std::string_view text) const override;
  double WrappedHeight(const FontSpec& font, std::string_view text, double width) const override;
};

class DrawContext;

// An off-screen picture made by a context: drawn into once, copied many times.
class DrawLayer {
 public:
  virtual ~DrawLayer() = default;
  // The context that draws into the layer; owned by the layer.
  virtual DrawContext* Context() = 0;
};

class DrawContext {
 public:
  virtual ~DrawContext() = default;

  virtual void FillRect(const SRect& r, const DrawColor& color) = 0;
  // Strokes the rectangle's outline inside its edges.
  virtual void FrameRect(const SRect& r, const DrawColor& color, double line_width) = 0;
  // Paints the rectangle in the background colour, replacing what was there.
  virtual void EraseRect(const SRect& r, const DrawColor& background) = 0;
  virtual void FillPath(const ShapePath& path, const DrawColor& color) = 0;
  virtual void StrokePath(const ShapePath& path, const DrawColor& color, const LineStyle& line) = 0;
  virtual void DrawLine(DrawPoint from, DrawPoint to, const DrawColor& color,
                        const LineStyle& line) = 0;
  // Sets the text inside the box (top-aligned), clipped to it.
  virtual void DrawText(std::string_view text, const SRect& box, const TextStyle& style) = 0;
  // Draws a picture (a note's own picture: PNG or JPEG bytes) as large as fits in the
  // box, keeping its proportions, centred. False, drawing nothing, when the bytes are
  // not a picture the context can read; a context that shows no pictures (the base)
  // always answers false.
  virtual bool DrawPicture(std::string_view bytes, const SRect& box);
  // Saves the clip; Restore brings back the last saved one.
  virtual void Save() = 0;
  virtual void Restore() = 0;
  // Narrows the clip to the rectangle, or to the path.
  virtual void ClipRect(const SRect& r) = 0;
  virtual void ClipPath(const ShapePath& path) = 0;

  // A transparent off-screen layer covering `area`, or null when none can be made
  // (the caller then draws straight into this context).
  virtual std::unique_ptr<DrawLayer> CreateLayer(const SRect& area) = 0;
  // Copies the layer's picture onto this context.
  virtual void DrawLayerAt(DrawLayer* layer) = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_DRAW_CONTEXT_H_
