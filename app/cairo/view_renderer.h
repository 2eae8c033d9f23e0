// Draws one view of a note — its map, outline, chart or treemap — into a PNG, SVG or
// PDF file: lays the view out, sizes the picture to the laid-out content (or to the
// size asked for) and paints it through the Cairo drawing context. The file appears
// complete or not at all: the picture is written beside it and renamed over it.

#ifndef FERNWEAVE_APP_CAIRO_VIEW_RENDERER_H_
#define FERNWEAVE_APP_CAIRO_VIEW_RENDERER_H_

#include <optional>
#include <string>
#include <string_view>

namespace fernweave {

class Node;

enum class ViewKind { kMap, kOutline, kChart, kTreemap };
enum class PictureFormat { kPng, kSvg, kPdf };

// "map", "outline", "chart", "treemap"; nullopt for any other name.
std::optional<ViewKind> ViewKindNamed(std::string_view name);
// By the file's extension, ignoring case: ".png", ".svg", ".pdf"; nullopt otherwise.
std::optional<PictureFormat> FormatForPath(std::string_view path);

struct RenderOptions {
  ViewKind view = ViewKind::kMap;
  // The zoom setting (views/map_scale.h); kept within the scale's bounds.
  int zoom = 5;
  // The picture's size in pixels; 0 means as large as the content.
  int width = 0;
  int height = 0;
};

// The largest side of a picture; larger content is cut off at this size.
inline constexpr int kMaxPictureSide = 16384;

struct RenderResult {
  bool ok = false;
  std::string message;  // why it failed, or a note about the picture (clipped)
  int width = 0;
  int height = 0;
};

// Draws the view of `note` (its children for the map, its subtree for the others)
// into `path`, in the format its extension names. REQUIRES: note is not null.
RenderResult RenderViewToFile(Node* note, const RenderOptions& options, const std::string& path);

}  // namespace fernweave

#endif  // FERNWEAVE_APP_CAIRO_VIEW_RENDERER_H_
