// The chart: a left-to-right tree diagram of the notes below the view's root, one
// column per level, each parent centred on the span of its children.

#ifndef FERNWEAVE_VIEWS_CHART_LAYOUT_POLICY_H_
#define FERNWEAVE_VIEWS_CHART_LAYOUT_POLICY_H_

#include <cstddef>
#include <vector>

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
  // The base preparation in one walk: each note's record is made (children before
  // their parent, as the base makes them) and sized while the note is at hand, and
  // the notes are kept in tree order for Layout.
  void Prepare(double scale, Node* root, LayoutMap* map, const SRect& bounds,
               int depth) override;
  // Box and name sizes follow the scale (see chart_layout_policy.cc).
  void CalcSize(double scale, LayoutInfo* info, const SRect& area) override;
  // Nothing happens unless the root has a visible record. REQUIRES: Prepare has made a
  // record for every note of the root's subtree ("asrt").
  void Layout(double scale, Node* root, LayoutMap* map, const SRect& area) override;

 private:
  // One note of the pass, in tree order: its record (null when it has none), whether
  // the chart lays it out, and the index just past its subtree.
  struct Entry {
    Node* note;
    LayoutInfo* info;
    size_t end;
    bool layoutable;
  };
  // Fills entries_ with the root's subtree. With `prepare`, makes the missing records
  // and sizes every one as Prepare does; without, takes the records the map has.
  void Collect(double scale, Node* root, LayoutMap* map, const SRect& bounds, int depth,
               bool prepare);
  // Places entries_[0] and its subtree; returns the vertical extent used.
  int PlaceInChart(LayoutMap* map);
  // Adds dy to the position of every record below entries_[at].
  void MoveDescendants(size_t at, int dy);
  void AdjustChart(LayoutMap* map);

  // The notes of the pass between Prepare and Layout (cleared after Layout), for the
  // map they were collected from.
  std::vector<Entry> entries_;
  const LayoutMap* entries_map_ = nullptr;

  int cursor_ = 0;
  int box_width_ = 0;
  int box_height_ = 0;
  int level_gap_ = 16;
  int sibling_gap_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_CHART_LAYOUT_POLICY_H_
