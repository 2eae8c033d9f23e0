// The treemap: the notes below the view's root as nested rectangles filling the view,
// each note's children sharing its area equally under a title band, split side by
// side and stacked in turn.

#ifndef FERNWEAVE_VIEWS_TREEMAP_LAYOUT_POLICY_H_
#define FERNWEAVE_VIEWS_TREEMAP_LAYOUT_POLICY_H_

#include "views/layout_policy.h"

namespace fernweave {

class TreemapLayoutPolicy : public LayoutPolicy {
 public:
  bool CanScroll() const override { return false; }
  bool LayoutAfterResize() const override { return true; }
  bool DrawItemsInTreeOrder() const override { return true; }
  // Records for the root and the notes below it that fit in `bounds` inset by 5.
  void Prepare(double scale, Node* root, LayoutMap* map, const SRect& bounds, int depth) override;
  void Layout(double, Node*, LayoutMap*, const SRect&) override {}
  // The deepest record whose frame holds the point, ignoring boxes drawn inside.
  LayoutInfo* FindNodeAt(ViewPoint p, const LayoutMap& map, bool include_inside) const override;
  // The children of the note the treemap shows.
  int CountChildren(const Node* note) const;
};

// The title band of a treemap box: the frame inset by 1, as high as the note's map
// text size at this record's scale needs, and never more than half the box.
SRect TreemapTitleRect(const LayoutInfo& info, int view_text_size);
// The rest of the box, below the title band.
SRect TreemapBodyRect(const LayoutInfo& info, int view_text_size);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_TREEMAP_LAYOUT_POLICY_H_
