// A drawing context that records every call as one line of text, for tests of what
// the views paint and in what order. Layers record into their own log; copying a layer
// records "layer" and nothing else, as a copied picture would.

#ifndef FERNWEAVE_TESTS_SUPPORT_RECORDING_DRAW_CONTEXT_H_
#define FERNWEAVE_TESTS_SUPPORT_RECORDING_DRAW_CONTEXT_H_

#include <memory>
#include <string>
#include <vector>

#include "views/draw_context.h"

namespace fernweave::test {

class RecordingDrawContext : public DrawContext {
 public:
  // With `layers` off, CreateLayer answers null and everything is drawn directly.
  explicit RecordingDrawContext(bool layers = false) : layers_(layers) {}

  void FillRect(const SRect& r, const DrawColor& color) override;
  void FrameRect(const SRect& r, const DrawColor& color, double line_width) override;
  void EraseRect(const SRect& r, const DrawColor& background) override;
  void FillPath(const ShapePath& path, const DrawColor& color) override;
  void StrokePath(const ShapePath& path, const DrawColor& color, const LineStyle& line) override;
  void DrawLine(DrawPoint from, DrawPoint to, const DrawColor& color,
                const LineStyle& line) override;
  void DrawText(std::string_view text, const SRect& box, const TextStyle& style) override;
  // Records the picture and answers that it was drawn.
  bool DrawPicture(std::string_view bytes, const SRect& box) override;
  void Save() override;
  void Restore() override;
  void ClipRect(const SRect& r) override;
  void ClipPath(const ShapePath& path) override;
  std::unique_ptr<DrawLayer> CreateLayer(const SRect& area) override;
  void DrawLayerAt(DrawLayer* layer) override;

  // "fill 1,2,3,4 #rrggbb", "frame ...", "erase ...", "text Name", "line", "path",
  // "stroke", "picture 1,2,3,4 N" (N bytes), "save", "restore", "clip", "layer".
  const std::vector<std::string>& log() const { return log_; }
  // The texts drawn, in order.
  std::vector<std::string> Texts() const;
  void Clear() { log_.clear(); }

 private:
  bool layers_;
  std::vector<std::string> log_;
};

// "left,top,right,bottom".
std::string RectText(const SRect& r);

}  // namespace fernweave::test

#endif  // FERNWEAVE_TESTS_SUPPORT_RECORDING_DRAW_CONTEXT_H_
