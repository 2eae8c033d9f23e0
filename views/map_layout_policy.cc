#include "views/map_layout_policy.h"

#include <algorithm>
#include <cmath>

#include "foundation/error.h"
#include "model/node.h"

namespace fernweave {

namespace {

double Xpos(const Node* n) { return SaneMapValue(n->GetDouble("Xpos"), kMaxMapCoordinate); }
double Ypos(const Node* n) { return SaneMapValue(n->GetDouble("Ypos"), kMaxMapCoordinate); }
double MapWidth(const Node* n) { return SaneMapExtent(n->GetDouble("Width")); }
double MapHeight(const Node* n) { return SaneMapExtent(n->GetDouble("Height")); }

}  // namespace

int TitleBarHeight(int frame_height, double height, double title_height, double scale,
                   double text_height) {
  double t = std::min(text_height, height * scale);
  title_height = std::min(SaneMapExtent(title_height), height);
  const double fh = std::max(0, frame_height);
  if (title_height > 0) {
    if (t <= title_height * scale) {
      return ClampPixel(std::round(title_height * scale));
    }
    if (3 * (fh / 4) <= t) {
      return ClampPixel(std::round(fh / 4));
    }
    return ClampPixel(t);
  }
  for (double part : {fh / 4, fh / 3, fh / 2}) {
    if (std::round(part) > t) {
      return ClampPixel(std::round(part));
    }
  }
  return ClampPixel(t);
}

MapLayoutPolicy::MapLayoutPolicy(double interior_scale)
    : fixed_interior_scale_(std::isfinite(interior_scale) ? std::clamp(interior_scale, 1.0, 1000.0)
                                                          : 6.0) {}

bool MapLayoutPolicy::CanLayout(const Node* note) const { return !note->IsSeparator(); }

double MapLayoutPolicy::InteriorScale(const Node* note) const {
  if (note == nullptr) {
    return fixed_interior_scale_;
  }
  const double k = note->GetDouble("InteriorScale");
  // 0, negative and damaged values would divide by zero or mirror the interior.
  if (!std::isfinite(k) || k <= 0) {
    return fixed_interior_scale_;
  }
  return std::min(k, 1000.0);
}

int MapLayoutPolicy::ViewTextSize(double scale) const {
  return std::max(1, ClampPixel(std::round(Scale(scale, TextSize()))));
}

void MapLayoutPolicy::Prepare(double scale, Node* container, LayoutMap* map, const SRect& bounds,
                              int depth) {
  RequireNotNull(container, "MapLayoutPolicy::Prepare: no container");
  Initialize();
  for (Node* child = container->Son(); child != nullptr; child = child->Brother()) {
    if (!CanLayout(child)) {
      continue;
    }
    LayoutInfo* info = map->CreateFor(child);
    info->visible = true;
    info->inside = false;
    info->depth = depth;
    CalcSize(scale, info, bounds);
    info->placed = true;
    info->scale = scale;
    if (child->Son() != nullptr) {
      PrepareInterior(scale, child, map, info->frame);
    }
  }
}

void MapLayoutPolicy::PrepareInterior(double scale, Node* container, LayoutMap* map,
                                      const SRect& interior) {
  for (Node* child = container->Son(); child != nullptr; child = child->Brother()) {
    if (child->IsSeparator()) {
      continue;
    }
    LayoutInfo* info = map->CreateFor(child);
    info->placed = true;
    info->visible = true;
    info->inside = true;
    info->scale = scale;
    CalcInteriorSize(scale, info, interior);
    double dx = 0;
    double dy = 0;
    InteriorOffset(scale, container, child, &dx, &dy);
    if (!Overlaps(Offset(info->frame, ClampPixel(dx), ClampPixel(dy)), interior)) {
      map->Remove(child);
    }
  }
}

void MapLayoutPolicy::CalcInteriorSize(double scale, LayoutInfo* info, const SRect&) {
  const double k = InteriorScale(info->node->Father());
  const double w = MapWidth(info->node);
  const double h = MapHeight(info->node);
  const int32_t width = w < 0.5 ? 4 : ClampPixel(w * scale / k);
  const int32_t height = h < 0.5 ? 4 : ClampPixel(h * scale / k);
  info->frame = SRect{0, 0, width, height};
  info->title = SRect{};
}

void MapLayoutPolicy::InteriorOffset(double scale, const Node* container, const Node* child,
                                     double* dx, double* dy) const {
  const double k = InteriorScale(container);
  const double sx = SaneMapValue(container->GetDouble("MapScrollX"), kMaxMapCoordinate);
  const double sy = SaneMapValue(container->GetDouble("MapScrollY"), kMaxMapCoordinate);
  // The scroll point lies at the centre of the container's box.
  const double whole_scale = std::trunc(scale);
  *dx = (Xpos(child) - sx) * scale / k + MapWidth(container) * whole_scale * 0.5;
  *dy = (Ypos(child) - sy) * scale / k + whole_scale * MapHeight(container) * 0.5;
}

void MapLayoutPolicy::Layout(double scale, Node*, LayoutMap* map, const SRect& bounds) {
  for (LayoutInfo* info : map->Records()) {
    if (!info->inside) {
      UpdateLayout(scale, info, map, bounds);
    }
  }
}

void MapLayoutPolicy::UpdateLayout(double scale, LayoutInfo* info, LayoutMap* map,
                                   const SRect& bounds) {
  DoLayout(scale, info, map, bounds);
}

void MapLayoutPolicy::DoLayout(double scale, LayoutInfo* info, LayoutMap* map, const SRect&) {
  Node* note = info->node;
  info->frame = Offset(info->frame, ClampPixel(Xpos(note) * scale), ClampPixel(Ypos(note) * scale));
  const int bar = TitleBarHeight(*info, ViewTextSize(scale));
  info->title = info->frame;
  info->title.bottom = std::min(info->frame.bottom, AddClamped(info->frame.top, bar));
  for (Node* child = note->Son(); child != nullptr; child = child->Brother()) {
    LayoutInfo* inner = map->Get(child);
    if (inner == nullptr || !inner->inside) {
      continue;
    }
    double dx = 0;
    double dy = 0;
    InteriorOffset(scale, note, child, &dx, &dy);
    inner->frame = Offset(inner->frame, ClampPixel(info->frame.left + dx),
                          ClampPixel(info->frame.top + dy));
  }
}

int MapLayoutPolicy::TitleBarHeight(const LayoutInfo& info, int text_size) const {
  const Node* note = info.node;
  const int size = PercentTextSize(note, "MapTextSize", text_size);
  const FontMetrics m = Measurer().Metrics(NameFont(note, size));
  const double text_height = std::ceil(m.ascent + m.descent + m.leading) + 4;
  return fernweave::TitleBarHeight(Height(info.frame), MapHeight(note),
                                   note->GetDouble("TitleHeight"), info.scale, text_height);
}

void OrvexMapLayoutPolicy::CalcSize(double scale, LayoutInfo* info, const SRect&) {
  const Node* note = info->node;
  int32_t width = ClampPixel(MapWidth(note) * scale);
  int32_t height = ClampPixel(MapHeight(note) * scale);
  // A zero extent of an adornment is a line: twice a border of 1, plus 4.
  if (note->IsAdornment()) {
    if (MapWidth(note) == 0) {
      width = 6;
    }
    if (MapHeight(note) == 0) {
      height = 6;
    }
  }
  info->scale = scale;
  info->frame = Inset(SRect{0, 0, width, height}, 2);
}

void OrvexMapLayoutPolicy::RecordScrollPosition(Node* container, double x, double y) const {
  container->SetDouble("MapScrollX", SaneMapValue(x, kMaxMapCoordinate));
  container->SetDouble("MapScrollY", SaneMapValue(y, kMaxMapCoordinate));
}

}  // namespace fernweave
