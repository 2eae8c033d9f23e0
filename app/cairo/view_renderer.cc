#include "app/cairo/view_renderer.h"

#include <cairo-pdf.h>
#include <cairo-svg.h>
#include <cairo.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

#include "app/cairo/cairo_draw_context.h"
#include "foundation/error.h"
#include "model/node.h"
#include "views/chart_layout_policy.h"
#include "views/map_artist.h"
#include "views/map_drawing_policy.h"
#include "views/map_layout_policy.h"
#include "views/map_scale.h"
#include "views/outline_layout_policy.h"
#include "views/tree_artist.h"
#include "views/treemap_layout_policy.h"

namespace fernweave {

namespace {

constexpr int kMargin = 20;

std::string Lower(std::string_view text) {
  std::string out;
  for (char c : text) {
    out += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return out;
}

// The union of the frames of the visible records not drawn inside a container, or
// null when there are none.
std::optional<SRect> ContentOf(const LayoutMap& map) {
  std::optional<SRect> content;
  for (const LayoutInfo* r : map.Records()) {
    if (!r->visible || r->inside || IsEmpty(r->frame)) {
      continue;
    }
    content = content ? Union(*content, r->frame) : r->frame;
  }
  return content;
}

// Everything one laid-out view needs while it is painted.
struct Scene {
  LayoutMap map;
  PangoTextMeasurer measurer;
  std::unique_ptr<LayoutPolicy> policy;
  std::unique_ptr<OrvexMapDrawingPolicy> drawing;
  std::unique_ptr<PlainLinkPolicy> links;
  std::unique_ptr<MapArtist> artist;
  SRect content;
  int margin = kMargin;
  std::function<void(DrawContext*, const SRect&)> paint;
};

void BuildMap(Node* note, const RenderOptions& o, Scene* s) {
  auto policy = std::make_unique<OrvexMapLayoutPolicy>();
  policy->SetTextMeasurer(&s->measurer);
  MapScale scale(policy.get());
  scale.Set(o.zoom);
  LayOutView(policy.get(), scale.Scale(), note, &s->map, SRect{});
  s->content = ContentOf(s->map).value_or(SRect{0, 0, 200, 100});
  const DrawColor background = NoteColor(note, "MapBackgroundColor", DrawColor::Gray(1));
  s->drawing = std::make_unique<OrvexMapDrawingPolicy>(policy.get(), &s->measurer);
  s->links = std::make_unique<PlainLinkPolicy>(policy->ArrowSize());
  s->artist =
      std::make_unique<MapArtist>(&s->map, note, policy.get(), s->drawing.get(), s->links.get());
  s->artist->SetScale(scale.Scale());
  s->artist->SetBackgroundColor(background);
  s->artist->SetOffscreen(true);
  s->artist->SetUseLayers(false);
  MapArtist* artist = s->artist.get();
  s->paint = [artist](DrawContext* dc, const SRect& update) { artist->Draw(dc, update, update); };
  s->policy = std::move(policy);
}

void BuildTree(Node* note, const RenderOptions& o, Scene* s) {
  TreeDrawing drawing;
  drawing.root = note;
  double scale = 0;
  SRect bounds;
  switch (o.view) {
    case ViewKind::kOutline: {
      auto policy = std::make_unique<OrvexOutlineLayoutPolicy>();
      MapScale zoom(policy.get());
      zoom.Set(o.zoom);
      scale = zoom.Scale();
      policy->SetTextSize(static_cast<int>(std::lround(12 * zoom.RelativeScale())));
      const int width = o.width > 0 ? o.width : static_cast<int>(640 * zoom.RelativeScale());
      bounds = SRect{0, 0, std::min(width, kMaxPictureSide), 0};
      drawing.kind = TreeViewKind::kOutline;
      s->policy = std::move(policy);
      break;
    }
    case ViewKind::kChart: {
      auto policy = std::make_unique<ChartLayoutPolicy>();
      MapScale zoom(policy.get());
      zoom.Set(o.zoom);
      scale = zoom.Scale();
      drawing.kind = TreeViewKind::kChart;
      s->policy = std::move(policy);
      break;
    }
    case ViewKind::kTreemap:
    case ViewKind::kMap: {
      auto policy = std::make_unique<TreemapLayoutPolicy>();
      MapScale zoom(policy.get());
      zoom.Set(o.zoom);
      scale = zoom.Scale();
      const int text_size = static_cast<int>(std::lround(12 * zoom.RelativeScale()));
      policy->SetTextSize(text_size);
      const int width = o.width > 0 ? o.width : static_cast<int>(1024 * zoom.RelativeScale());
      const int height = o.height > 0 ? o.height : static_cast<int>(768 * zoom.RelativeScale());
      bounds = SRect{0, 0, std::min(width, kMaxPictureSide), std::min(height, kMaxPictureSide)};
      drawing.kind = TreeViewKind::kTreemap;
      drawing.text_size = text_size;
      s->margin = 0;
      s->policy = std::move(policy);
      break;
    }
  }
  s->policy->SetTextMeasurer(&s->measurer);
  LayOutView(s->policy.get(), scale, note, &s->map, bounds);
  if (drawing.kind == TreeViewKind::kTreemap) {
    s->content = bounds;
  } else {
    s->content = ContentOf(s->map).value_or(SRect{0, 0, 200, 40});
    // Expanders and connectors lie left of the rows; keep the left edge at 0.
    s->content.left = std::min(s->content.left, 0);
    s->content.top = std::min(s->content.top, 0);
  }
  const LayoutMap* map = &s->map;
  s->paint = [map, drawing](DrawContext* dc, const SRect& update) {
    TreeDrawing d = drawing;
    d.update = update;
    DrawTreeView(dc, *map, d);
  };
}

// Paints the scene onto a fresh surface of the format and writes it to `file`.
bool WritePicture(Scene* s, PictureFormat format, int width, int height, const std::string& file,
                  std::string* error) {
  cairo_surface_t* surface = nullptr;
  switch (format) {
    case PictureFormat::kPng:
      surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
      break;
    case PictureFormat::kSvg:
      surface = cairo_svg_surface_create(file.c_str(), width, height);
      cairo_svg_surface_set_document_unit(surface, CAIRO_SVG_UNIT_PX);
      break;
    case PictureFormat::kPdf:
      surface = cairo_pdf_surface_create(file.c_str(), width, height);
      break;
  }
  cairo_t* cr = cairo_create(surface);
  const int32_t dx = s->margin - s->content.left;
  const int32_t dy = s->margin - s->content.top;
  cairo_translate(cr, dx, dy);
  const SRect update{-dx, -dy, width - dx, height - dy};
  {
    CairoDrawContext dc(cr);
    s->paint(&dc, update);
  }
  cairo_status_t status = cairo_status(cr);
  cairo_destroy(cr);
  if (status == CAIRO_STATUS_SUCCESS && format == PictureFormat::kPng) {
    status = cairo_surface_write_to_png(surface, file.c_str());
  }
  cairo_surface_finish(surface);
  if (status == CAIRO_STATUS_SUCCESS) {
    status = cairo_surface_status(surface);
  }
  cairo_surface_destroy(surface);
  if (status != CAIRO_STATUS_SUCCESS) {
    *error = cairo_status_to_string(status);
    return false;
  }
  return true;
}

}  // namespace

std::optional<ViewKind> ViewKindNamed(std::string_view name) {
  if (name == "map") return ViewKind::kMap;
  if (name == "outline") return ViewKind::kOutline;
  if (name == "chart") return ViewKind::kChart;
  if (name == "treemap") return ViewKind::kTreemap;
  return std::nullopt;
}

std::optional<PictureFormat> FormatForPath(std::string_view path) {
  const std::string extension = Lower(std::filesystem::path(path).extension().string());
  if (extension == ".png") return PictureFormat::kPng;
  if (extension == ".svg") return PictureFormat::kSvg;
  if (extension == ".pdf") return PictureFormat::kPdf;
  return std::nullopt;
}

RenderResult RenderViewToFile(Node* note, const RenderOptions& options, const std::string& path) {
  RequireNotNull(note, "RenderViewToFile: no note");
  RenderResult result;
  const std::optional<PictureFormat> format = FormatForPath(path);
  if (!format) {
    result.message = "the picture's file name must end in .png, .svg or .pdf: " + path;
    return result;
  }
  Scene scene;
  if (options.view == ViewKind::kMap) {
    BuildMap(note, options, &scene);
  } else {
    BuildTree(note, options, &scene);
  }
  int64_t width = options.width;
  int64_t height = options.height;
  if (width <= 0 || height <= 0) {
    width = int64_t{Width(scene.content)} + 2 * scene.margin;
    height = int64_t{Height(scene.content)} + 2 * scene.margin;
  }
  if (width > kMaxPictureSide || height > kMaxPictureSide) {
    result.message = "the picture is cut off at " + std::to_string(kMaxPictureSide) + " pixels";
    width = std::min<int64_t>(width, kMaxPictureSide);
    height = std::min<int64_t>(height, kMaxPictureSide);
  }
  result.width = static_cast<int>(std::max<int64_t>(1, width));
  result.height = static_cast<int>(std::max<int64_t>(1, height));
  // Written beside the target and renamed over it, so a failed render leaves any
  // earlier picture in place.
  const std::string temporary = path + ".part";
  std::string error;
  if (!WritePicture(&scene, *format, result.width, result.height, temporary, &error)) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    result.message = "cannot write " + path + ": " + error;
    return result;
  }
  std::error_code ec;
  std::filesystem::rename(temporary, path, ec);
  if (ec) {
    std::filesystem::remove(temporary, ec);
    result.message = "cannot write " + path;
    return result;
  }
  result.ok = true;
  return result;
}

}  // namespace fernweave
