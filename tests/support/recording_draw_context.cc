#include "tests/support/recording_draw_context.h"

namespace fernweave::test {

namespace {

class RecordingLayer : public DrawLayer {
 public:
  DrawContext* Context() override { return &context_; }

 private:
  RecordingDrawContext context_;
};

}  // namespace

std::string RectText(const SRect& r) {
  return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
         "," + std::to_string(r.bottom);
}

void RecordingDrawContext::FillRect(const SRect& r, const DrawColor& color) {
  log_.push_back("fill " + RectText(r) + " " + color.ToString());
}

void RecordingDrawContext::FrameRect(const SRect& r, const DrawColor& color, double) {
  log_.push_back("frame " + RectText(r) + " " + color.ToString());
}

void RecordingDrawContext::EraseRect(const SRect& r, const DrawColor& background) {
  log_.push_back("erase " + RectText(r) + " " + background.ToString());
}

void RecordingDrawContext::FillPath(const ShapePath&, const DrawColor& color) {
  log_.push_back("path " + color.ToString());
}

void RecordingDrawContext::StrokePath(const ShapePath&, const DrawColor& color, const LineStyle&) {
  log_.push_back("stroke " + color.ToString());
}

void RecordingDrawContext::DrawLine(DrawPoint, DrawPoint, const DrawColor& color,
                                   const LineStyle&) {
  log_.push_back("line " + color.ToString());
}

void RecordingDrawContext::DrawText(std::string_view text, const SRect&, const TextStyle&) {
  log_.push_back("text " + std::string(text));
}

bool RecordingDrawContext::DrawPicture(std::string_view bytes, const SRect& box) {
  log_.push_back("picture " + RectText(box) + " " + std::to_string(bytes.size()));
  return true;
}

void RecordingDrawContext::Save() { log_.push_back("save"); }
void RecordingDrawContext::Restore() { log_.push_back("restore"); }
void RecordingDrawContext::ClipRect(const SRect& r) { log_.push_back("clip " + RectText(r)); }
void RecordingDrawContext::ClipPath(const ShapePath&) { log_.push_back("clip path"); }

std::unique_ptr<DrawLayer> RecordingDrawContext::CreateLayer(const SRect&) {
  if (!layers_) {
    return nullptr;
  }
  return std::make_unique<RecordingLayer>();
}

void RecordingDrawContext::DrawLayerAt(DrawLayer*) { log_.push_back("layer"); }

std::vector<std::string> RecordingDrawContext::Texts() const {
  std::vector<std::string> out;
  for (const std::string& line : log_) {
    if (line.rfind("text ", 0) == 0) {
      out.push_back(line.substr(5));
    }
  }
  return out;
}

}  // namespace fernweave::test
