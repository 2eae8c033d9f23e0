// The outline: the notes below the view's root as indented rows, one per note, a
// note's children shown only while it is expanded. Row positions are 32-bit, so an
// outline of any length lays out without wrapping.

#ifndef FERNWEAVE_VIEWS_OUTLINE_LAYOUT_POLICY_H_
#define FERNWEAVE_VIEWS_OUTLINE_LAYOUT_POLICY_H_

#include "views/layout_policy.h"

namespace fernweave {

class Hypertext;

class OutlineLayoutPolicy : public LayoutPolicy {
 public:
  double StandardScale() const override { return 16.0; }
  int AllowMargin() const override { return 0; }
  int BottomMargin() const override { return 144; }
  bool CanExpand() const override { return true; }
  bool CanLayout(const Node* note) const override;
  void Initialize() override;
  // Toggles the note's `expanded`; with `descendants` every descendant takes the new
  // state, with `siblings` (not for the document root) every child of its parent.
  // Does nothing for a note without a record.
  virtual void Expand(Node* note, LayoutMap* map, bool siblings, bool descendants);
  // Keeps the vertical spacing; the horizontal one is not used.
  void SetSpacing(int horizontal, int vertical) override;
  void SetExtraIndent(int indent) { extra_indent_ = indent; }

 protected:
  int row_ = 0;
  int indent_unit_ = 0;
  int root_row_height_ = 0;
  int extra_indent_ = 0;
  int vertical_spacing_ = 0;
};

// The outline of the application's documents: rows sized by `OutlineTextSize`, names
// wrapped to the row, optional pagination.
class OrvexOutlineLayoutPolicy : public OutlineLayoutPolicy {
 public:
  int AllowMargin() const override { return 5; }
  bool LayoutAfterResize() const override { return true; }
  bool EditorCanGrow() const override { return true; }
  // REQUIRES: the record has a note ("asrt").
  void CalcSize(double scale, LayoutInfo* info, const SRect& area) override;
  // REQUIRES: Prepare has made a record for every note of the root's subtree ("asrt").
  void Layout(double scale, Node* root, LayoutMap* map, const SRect& area) override;
  // Sets the frame's bottom from the row's measured (or cached) height.
  void Measure(LayoutInfo* info, SRect* rect) const;

 private:
  // Places the start note and its following siblings within the root; returns the
  // number of rows placed.
  int PlaceInChart(Node* start, Node* root, LayoutMap* map);
  void AdjustChart(double scale, Node* start, Node* root, LayoutMap* map);

  // `OutlineTextSize` of the document last laid out, looked up once per document.
  const Hypertext* attribute_document_ = nullptr;
  const Attribute* text_size_attribute_ = nullptr;
};

// Every non-adornment note of the subtree: not visible, placed. REQUIRES: each has a
// record ("asrt").
void HideInChart(Node* top, LayoutMap* map);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_OUTLINE_LAYOUT_POLICY_H_
