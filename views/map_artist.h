// Paints a whole map from its layout records, in a fixed order: the background, the
// grid and the adornments (the eldest adornment on top), then every link's line, then
// every link's label, then the notes' boxes, the eldest sibling on top — the order hit
// testing respects. The adornment picture and the note picture are kept in off-screen
// layers and copied on later paints, until the bounds or the layout change.

#ifndef FERNWEAVE_VIEWS_MAP_ARTIST_H_
#define FERNWEAVE_VIEWS_MAP_ARTIST_H_

#include <memory>
#include <vector>

#include "views/draw_context.h"
#include "views/layout_map.h"
#include "views/map_drawing_policy.h"
#include "views/map_layout_policy.h"

namespace fernweave {

class Link;
class Node;

// Draws links between boxes: a line from box edge to box edge with an arrow head at
// the destination, in the link type's colour and style, and the type's label.
class PlainLinkPolicy {
 public:
  explicit PlainLinkPolicy(int arrow_size = 6) : arrow_size_(arrow_size) {}
  void SetTextSize(int size) { text_size_ = size; }
  void Draw(DrawContext* dc, const Link& link, const SRect& from, const SRect& to) const;
  void DrawPathname(DrawContext* dc, const Link& link, const SRect& from, const SRect& to,
                    const DrawColor& background) const;

 private:
  int arrow_size_;
  int text_size_ = 12;
};

class MapArtist {
 public:
  // None is owned; all must outlive the artist. `container` is the note whose map
  // this is.
  MapArtist(const LayoutMap* map, Node* container, const MapLayoutPolicy* layout,
            OrvexMapDrawingPolicy* drawing, PlainLinkPolicy* links);
  ~MapArtist();

  // `scale` is the map's current scale in pixels per map unit.
  void SetScale(double scale) { scale_ = scale; }
  void SetBackgroundColor(const DrawColor& color) { background_ = color; }
  void SetDrawLinks(bool on) { draw_links_ = on; }
  void SetDrawGrid(bool on) { draw_grid_ = on; }
  // Off for screens; on for print and files (handles are then painted solid).
  void SetOffscreen(bool on) { offscreen_ = on; }
  // Off for a picture painted once (a file): the layers would only be drawn and copied
  // once, at twice the cost.
  void SetUseLayers(bool on) { use_layers_ = on; }

  // Paints the part of the map inside `update`; `bounds` is the whole picture.
  void Draw(DrawContext* dc, const SRect& bounds, const SRect& update);
  // The layout changed: the cached layers no longer show it.
  void ChangedLayout() { ReleaseLayers(); }
  void ReleaseLayers();

  // The links drawn: not hidden, visible by their type, not prototype links, both
  // ends with a visible box on this map.
  std::vector<Link*> LinksToDraw() const;

 private:
  void Prepare();
  void DrawAdornmentLayer(DrawContext* dc, const SRect& update);
  void DrawGrid(DrawContext* dc, const SRect& update);
  void DrawAdornments(DrawContext* dc);
  void DrawLinks(DrawContext* dc);
  void DrawItems(DrawContext* dc);
  // Draws through a cached layer when the context can make one.
  void PaintThroughLayer(DrawContext* dc, std::unique_ptr<DrawLayer>* layer, const SRect& bounds,
                 const SRect& update, void (MapArtist::*paint)(DrawContext*, const SRect&));
  void PaintAdornmentLayer(DrawContext* dc, const SRect& update);
  void PaintItemLayer(DrawContext* dc, const SRect& update);
  bool IsValid(const Link& link) const;

  const LayoutMap* map_;
  Node* container_;
  const MapLayoutPolicy* layout_;
  OrvexMapDrawingPolicy* drawing_;
  PlainLinkPolicy* links_;
  double scale_ = 36;
  DrawColor background_ = DrawColor::Gray(1);
  bool draw_links_ = true;
  bool draw_grid_ = true;
  bool offscreen_ = true;
  bool use_layers_ = true;
  int text_size_ = 12;
  SRect bounds_;
  bool have_bounds_ = false;
  std::unique_ptr<DrawLayer> adornment_layer_;
  std::unique_ptr<DrawLayer> item_layer_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_MAP_ARTIST_H_
