// The outline: the notes below the view's root as indented rows, one per note, a
// note's children shown only while it is expanded. Row positions are 32-bit, so an
// outline of any length lays out without wrapping.

#ifndef FERNWEAVE_VIEWS_OUTLINE_LAYOUT_POLICY_H_
#define FERNWEAVE_VIEWS_OUTLINE_LAYOUT_POLICY_H_

#include <string>
#include <vector>

#include "views/layout_policy.h"

namespace fernweave {

class Hypertext;

// One column of an outline with columns: the attribute whose value it shows and its
// width in pixels. The first column is the rows' names.
struct OutlineColumn {
  std::string attribute;
  int width = 0;
};

class OutlineLayoutPolicy : public LayoutPolicy {
 public:
  double StandardScale() const override { return 16.0; }
  int AllowMargin() const override { return 0; }
  int BottomMargin() const override { return 144; }
  bool CanExpand() const override { return true; }
  bool CanLayout(const Node* note) const override;
  void Initialize() override;
  // Makes and sizes records only for the root and the notes below expanded ones;
  // records of notes folded away since the last pass are kept, hidden. REQUIRES: the
  // map holds no record of a destroyed note (CleanupDeletedNodes).
  void Prepare(double scale, Node* root, LayoutMap* map, const SRect& bounds,
               int depth) override;
  // Toggles the note's `expanded`; with `descendants` every descendant takes the new
  // state, with `siblings` (not for the document root) every child of its parent
  // (records are made for those that have none). Does nothing for a note without a
  // record.
  virtual void Expand(Node* note, LayoutMap* map, bool siblings, bool descendants);
  // Keeps the vertical spacing; the horizontal one is not used.
  void SetSpacing(int horizontal, int vertical) override;
  void SetExtraIndent(int indent) { extra_indent_ = indent; }
  // Check boxes before the names (showing `Checked`); off by default. Rows measured
  // before a change of check boxes or columns keep their heights until ChangedSize.
  bool UseCheckbox() const { return use_checkbox_; }
  void SetUseCheckbox(bool on) { use_checkbox_ = on; }
  // The columns, or null without a column layout (the default). Names wrap within the
  // first column; widths below 1 become 1. An empty list switches columns off.
  const std::vector<OutlineColumn>* WithColumnLayout() const {
    return columns_.empty() ? nullptr : &columns_;
  }
  void SetColumnLayout(std::vector<OutlineColumn> columns);
  // The room a row's check box takes before its name at this text size.
  static int CheckboxWidth(int text_size) { return text_size + 4; }

 protected:
  int row_ = 0;
  int indent_unit_ = 0;
  int root_row_height_ = 0;
  int extra_indent_ = 0;
  int vertical_spacing_ = 0;
  bool use_checkbox_ = false;
  std::vector<OutlineColumn> columns_;
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

  // `OutlineTextSize` of the document last laid out, looked up again whenever the
  // attribute registry's stamp changes.
  uint64_t attribute_stamp_ = 0;
  const Attribute* text_size_attribute_ = nullptr;
};

// Every non-adornment note of the subtree that has a record: not visible, placed. The
// walk does not enter a note without a record (nothing below it was laid out).
void HideInChart(Node* top, LayoutMap* map);
// The note after n's subtree in tree order, within `top`'s subtree; null at its end.
Node* NextOutside(const Node* n, const Node* top);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_OUTLINE_LAYOUT_POLICY_H_
