// The map's layout: the children of one container as boxes placed by their `Xpos`,
// `Ypos`, `Width` and `Height`, and, one level deep, each container's children drawn
// reduced inside its box. Grandchildren of the map's container never get records.
//
// Damaged or extreme map values never break a layout: positions and extents are
// clamped (views/view_geometry.h), and an `InteriorScale` that is not a positive
// number falls back to the policy's fixed interior scale.

#ifndef FERNWEAVE_VIEWS_MAP_LAYOUT_POLICY_H_
#define FERNWEAVE_VIEWS_MAP_LAYOUT_POLICY_H_

#include "views/layout_policy.h"

namespace fernweave {

class MapLayoutPolicy : public LayoutPolicy {
 public:
  // `interior_scale` is used for a container without a usable `InteriorScale`; values
  // below 1 become 1.
  explicit MapLayoutPolicy(double interior_scale = 6.0);

  bool CanLayout(const Node* note) const override;
  // One record per child of `container` it can lay out, sized, with the interiors of
  // the children that have children.
  void Prepare(double scale, Node* container, LayoutMap* map, const SRect& bounds,
               int depth) override;
  // DoLayout on every record not drawn inside a container.
  void Layout(double scale, Node* container, LayoutMap* map, const SRect& bounds) override;
  virtual void UpdateLayout(double scale, LayoutInfo* info, LayoutMap* map, const SRect& bounds);
  // Records for the container's children drawn inside its box; a child whose box falls
  // outside `interior` (the container's frame at the origin) loses its record.
  virtual void PrepareInterior(double scale, Node* container, LayoutMap* map,
                               const SRect& interior);
  virtual void CalcInteriorSize(double scale, LayoutInfo* info, const SRect& bounds);
  // Places the record's box, then the boxes inside it.
  virtual void DoLayout(double scale, LayoutInfo* info, LayoutMap* map, const SRect& bounds);
  // How much smaller the note's children are drawn inside it: its `InteriorScale`
  // when that is a positive number, else the fixed interior scale; at most 1000.
  virtual double InteriorScale(const Node* note) const;

  // The title band height of a box (see map_layout_policy.cc).
  int TitleBarHeight(const LayoutInfo& info, int text_size) const;
  // The view's text size at this scale: TextSize() × scale ÷ standard scale, rounded.
  int ViewTextSize(double scale) const;

 protected:
  // Where a child's box lies relative to its container's frame origin.
  void InteriorOffset(double scale, const Node* container, const Node* child, double* dx,
                      double* dy) const;

 private:
  double fixed_interior_scale_;
};

// The map policy of the application's documents.
class OrvexMapLayoutPolicy : public MapLayoutPolicy {
 public:
  using MapLayoutPolicy::MapLayoutPolicy;
  // Width × scale by Height × scale (truncated), an adornment's zero extent 6 pixels,
  // inset by 2 on every side.
  void CalcSize(double scale, LayoutInfo* info, const SRect& bounds) override;
  bool CanAnimateScale() const override { return true; }
  // Stores the map's scroll position in the container's `MapScrollX`, `MapScrollY`.
  void RecordScrollPosition(Node* container, double x, double y) const;
};

// The title band height of a box `frame_height` pixels high for a note `Height` map
// units high with `TitleHeight` title_height, at `scale`, when its title text needs
// `text_height` pixels.
int TitleBarHeight(int frame_height, double height, double title_height, double scale,
                   double text_height);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_MAP_LAYOUT_POLICY_H_
