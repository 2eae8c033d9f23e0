#include "views/map_artist.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"

namespace fernweave {

namespace {

DrawPoint Centre(const SRect& r) { return {(r.left + r.right) / 2.0, (r.top + r.bottom) / 2.0}; }

// Where the line from the rectangle's centre towards `toward` leaves the rectangle.
DrawPoint EdgePoint(const SRect& r, DrawPoint toward) {
  const DrawPoint c = Centre(r);
  const double dx = toward.x - c.x;
  const double dy = toward.y - c.y;
  const double hw = Width(r) / 2.0;
  const double hh = Height(r) / 2.0;
  double s = 1;
  if (dx != 0) {
    s = std::min(s, hw / std::fabs(dx));
  }
  if (dy != 0) {
    s = std::min(s, hh / std::fabs(dy));
  }
  return {c.x + dx * s, c.y + dy * s};
}

LineStyle LinkLine(const Link& link) {
  const LinkStyle style = link.GetStyle();
  LineStyle line;
  line.width = style.Has(LinkStyle::kBold) ? 2.5 : 1;
  if (style.Has(LinkStyle::kDotted)) {
    line.dash = LineStyle::Dash::kDotted;
  } else if (style.Has(LinkStyle::kDashed)) {
    line.dash = LineStyle::Dash::kDashed;
  }
  return line;
}

}  // namespace

void PlainLinkPolicy::Draw(DrawContext* dc, const Link& link, const SRect& from,
                           const SRect& to) const {
  const DrawPoint a = EdgePoint(from, Centre(to));
  const DrawPoint b = EdgePoint(to, Centre(from));
  const DrawColor color = DrawColor::FromPColor(link.GetColor());
  dc->DrawLine(a, b, color, LinkLine(link));
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  const double length = std::hypot(dx, dy);
  if (length < 1) {
    return;
  }
  // The arrow head: a filled triangle whose tip touches the destination box.
  const double ux = dx / length;
  const double uy = dy / length;
  const double size = arrow_size_;
  ShapePath head;
  head.MoveTo(b.x, b.y);
  head.LineTo(b.x - ux * size * 1.5 - uy * size * 0.6, b.y - uy * size * 1.5 + ux * size * 0.6);
  head.LineTo(b.x - ux * size * 1.5 + uy * size * 0.6, b.y - uy * size * 1.5 - ux * size * 0.6);
  head.Close();
  dc->FillPath(head, color);
}

void PlainLinkPolicy::DrawPathname(DrawContext* dc, const Link& link, const SRect& from,
                                   const SRect& to, const DrawColor& background) const {
  if (!link.ShowLabel()) {
    return;
  }
  const std::string label = link.Label();
  if (label.empty() || label == "untitled" || label == "*untitled") {
    return;
  }
  const DrawPoint a = EdgePoint(from, Centre(to));
  const DrawPoint b = EdgePoint(to, Centre(from));
  const DrawPoint mid{(a.x + b.x) / 2, (a.y + b.y) / 2};
  const int size = std::max(6, text_size_ * 5 / 6);
  const int32_t half_width = static_cast<int32_t>(label.size()) * size / 3 + 4;
  const SRect box{ClampPixel(mid.x) - half_width, ClampPixel(mid.y) - size,
                  ClampPixel(mid.x) + half_width, ClampPixel(mid.y) + size / 2};
  TextStyle style;
  style.font.size = size;
  style.color = DrawColor::FromPColor(link.GetColor());
  style.align = TextAlign::kCenter;
  style.wrap = false;
  dc->FillRect(box, DrawColor{background.red, background.green, background.blue, 0.7});
  dc->DrawText(label, box, style);
}

MapArtist::MapArtist(const LayoutMap* map, Node* container, const MapLayoutPolicy* layout,
                     OrvexMapDrawingPolicy* drawing, PlainLinkPolicy* links)
    : map_(map), container_(container), layout_(layout), drawing_(drawing), links_(links) {}

MapArtist::~MapArtist() = default;

void MapArtist::ReleaseLayers() {
  adornment_layer_.reset();
  item_layer_.reset();
}

void MapArtist::Draw(DrawContext* dc, const SRect& bounds, const SRect& update) {
  if (!have_bounds_ || !(bounds == bounds_)) {
    ReleaseLayers();
    bounds_ = bounds;
    have_bounds_ = true;
  }
  Prepare();
  PaintThroughLayer(dc, &adornment_layer_, bounds, update, &MapArtist::PaintAdornmentLayer);
  if (draw_links_) {
    DrawLinks(dc);
  }
  PaintThroughLayer(dc, &item_layer_, bounds, update, &MapArtist::PaintItemLayer);
}

void MapArtist::Prepare() {
  text_size_ = std::max(1, ClampPixel(std::round(layout_->Scale(scale_, layout_->TextSize()))));
  links_->SetTextSize(text_size_);
}

void MapArtist::PaintThroughLayer(DrawContext* dc, std::unique_ptr<DrawLayer>* layer, const SRect& bounds,
                          const SRect& update,
                          void (MapArtist::*paint)(DrawContext*, const SRect&)) {
  if (*layer == nullptr && use_layers_) {
    *layer = dc->CreateLayer(bounds);
    if (*layer != nullptr) {
      // A layer holds the whole picture, so later paints of any area can copy it.
      (this->*paint)((*layer)->Context(), bounds);
    }
  }
  if (*layer == nullptr) {
    (this->*paint)(dc, update);
    return;
  }
  dc->DrawLayerAt(layer->get());
}

void MapArtist::PaintAdornmentLayer(DrawContext* dc, const SRect& update) {
  dc->EraseRect(update, background_);
  if (draw_grid_) {
    DrawGrid(dc, update);
  }
  drawing_->Begin(dc, update, text_size_, background_, offscreen_);
  DrawAdornments(dc);
}

void MapArtist::PaintItemLayer(DrawContext* dc, const SRect& update) {
  drawing_->Begin(dc, update, text_size_, background_, offscreen_);
  DrawItems(dc);
}

void MapArtist::DrawGrid(DrawContext* dc, const SRect& update) {
  const double spacing = scale_;
  if (!(spacing >= 4)) {
    return;
  }
  const double columns = Width(update) / spacing + 1;
  const double rows = Height(update) / spacing + 1;
  if (columns * rows > 1.0e6) {
    return;  // a grid that dense is a grey wash; leave it out
  }
  const DrawColor tick = background_.Faded(5.0 / 6.0);
  for (double y = std::ceil(update.top / spacing) * spacing; y < update.bottom; y += spacing) {
    for (double x = std::ceil(update.left / spacing) * spacing; x < update.right; x += spacing) {
      const int32_t px = ClampPixel(x);
      const int32_t py = ClampPixel(y);
      dc->FillRect(SRect{px - 1, py, px + 2, py + 1}, tick);
      dc->FillRect(SRect{px, py - 1, px + 1, py + 2}, tick);
    }
  }
}

void MapArtist::DrawAdornments(DrawContext*) {
  if (container_ == nullptr) {
    return;
  }
  // Youngest first, so the eldest adornment lies on top.
  for (Node* n = container_->YoungestSon(); n != nullptr; n = n->ElderBrother()) {
    const LayoutInfo* info = map_->Get(n);
    if (info != nullptr && n->IsAdornment() && info->visible) {
      drawing_->Draw(*info, *map_);
    }
  }
}

bool MapArtist::IsValid(const Link& link) const {
  if (link.IsHidden() || link.IsPrototype() || link.IsWebLink() || !link.Visible()) {
    return false;
  }
  const LayoutInfo* from = map_->Get(link.SourceNode());
  const LayoutInfo* to = map_->Get(link.DestNode());
  return from != nullptr && to != nullptr && from->visible && to->visible && from != to;
}

std::vector<Link*> MapArtist::LinksToDraw() const {
  std::vector<Link*> out;
  if (container_ == nullptr) {
    return out;
  }
  for (Link* link : container_->GetHypertext()->Links().All()) {
    if (IsValid(*link)) {
      out.push_back(link);
    }
  }
  return out;
}

void MapArtist::DrawLinks(DrawContext* dc) {
  const std::vector<Link*> links = LinksToDraw();
  // Every line first, then every label, so labels lie above all lines.
  for (const Link* link : links) {
    links_->Draw(dc, *link, map_->Get(link->SourceNode())->frame,
                 map_->Get(link->DestNode())->frame);
  }
  for (const Link* link : links) {
    links_->DrawPathname(dc, *link, map_->Get(link->SourceNode())->frame,
                         map_->Get(link->DestNode())->frame, background_);
  }
}

void MapArtist::DrawItems(DrawContext*) {
  if (container_ == nullptr) {
    return;
  }
  // The container's children are its outline order; drawn from the youngest to the
  // eldest, so the eldest sibling lies on top.
  for (Node* n = container_->YoungestSon(); n != nullptr; n = n->ElderBrother()) {
    const LayoutInfo* info = map_->Get(n);
    if (info != nullptr && info->visible && !info->inside && !n->IsAdornment()) {
      drawing_->Draw(*info, *map_);
    }
  }
}

}  // namespace fernweave
