// The chart: a left-to-right tree diagram of the notes below the view's root, one
// column per level, each parent centred on the span of its children.

#ifndef FERNWEAVE_VIEWS_CHART_LAYOUT_POLICY_H_
#define FERNWEAVE_VIEWS_CHART_LAYOUT_POLICY_H_

#include "views/layout_policy.h"

namespace fernweave {

class ChartLayoutPolicy : public LayoutPolicy {
 public:
  int AllowMargin() const override { return 10; }
  bool CanExpand() const override { return true; }
  bool InitiallyExpanded(const Node*, const Node*) const override { return true; }
  // Not an adornment, and a separator only when it has children.
  bool CanLayout(const Node* note) const override;
  void Initialize() override;
  // Box and name sizes follow the scale (see chart_layout_policy.cc).
  void CalcSize(double scale, LayoutInfo* info, const SRect& area) override;
  // Nothing happens unless the root has a visible record. REQUIRES: Prepare has made a
  // record for every note of the root's subtree ("asrt").
  void Layout(double scale, Node* root, LayoutMap* map, const SRect& area) override;

 private:
  // Places the note and its subtree; returns the vertical extent used.
  int PlaceInChart(Node* note, LayoutMap* map);
  void AdjustChart(LayoutMap* map);

  int cursor_ = 0;
  int box_width_ = 0;
  int box_height_ = 0;
  int level_gap_ = 16;
  int sibling_gap_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_CHART_LAYOUT_POLICY_H_
