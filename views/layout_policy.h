// The base of every layout policy: the constants a view asks its policy for, the
// shared preparation pass (a record for every note below the layout root), hit testing
// of the map's kind, and the conversions between map units and pixels.
//
// A view lays out by marking its map unused, calling Prepare then Layout, and dropping
// the records no pass touched (`LayOutView` below does all four). Policies hold no
// notes between passes; everything they compute lives in the records.

#ifndef FERNWEAVE_VIEWS_LAYOUT_POLICY_H_
#define FERNWEAVE_VIEWS_LAYOUT_POLICY_H_

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/geometry.h"
#include "views/draw_context.h"
#include "views/layout_map.h"
#include "views/view_geometry.h"

namespace fernweave {

class Attribute;
class Hypertext;
class Node;

class LayoutPolicy {
 public:
  LayoutPolicy();
  LayoutPolicy(const LayoutPolicy&) = delete;
  LayoutPolicy& operator=(const LayoutPolicy&) = delete;
  virtual ~LayoutPolicy();

  // --- Constants ---------------------------------------------------------------
  virtual double MinScale() const { return 6.0; }
  virtual double StandardScale() const { return 36.0; }
  virtual int ArrowSize() const { return 6; }
  virtual int AllowMargin() const { return -1; }
  virtual int BottomMargin() const { return 0; }
  virtual bool CanExpand() const { return false; }
  virtual bool CanScroll() const { return true; }
  virtual bool LayoutAfterResize() const { return false; }
  virtual bool EditorCanGrow() const { return false; }
  virtual bool DrawItemsInTreeOrder() const { return false; }
  virtual bool CanAnimateScale() const { return false; }
  virtual bool InitiallyExpanded(const Node* note, const Node* root) const { return note == root; }
  // Not an adornment and not a separator.
  virtual bool CanLayout(const Node* note) const;

  // --- Passes ------------------------------------------------------------------
  // Resets the policy's running counters before a pass.
  virtual void Initialize() {}
  // Makes a record for every note of the root's subtree (root included) that has none,
  // in post order, then sizes every one (CalcSize). REQUIRES: root is not null.
  virtual void Prepare(double scale, Node* root, LayoutMap* map, const SRect& bounds, int depth);
  virtual void Layout(double scale, Node* root, LayoutMap* map, const SRect& bounds);
  // Gives the record its size, with its top-left corner at the origin.
  virtual void CalcSize(double scale, LayoutInfo* info, const SRect& bounds);
  // Forgets cached measurements of one record, or of all.
  virtual void ChangedSize(LayoutInfo* info);
  virtual void ChangedSize(LayoutMap* map);

  // --- Hit testing -------------------------------------------------------------
  // The record under the point, or null. With `include_inside`, notes drawn inside a
  // container's box and adornments compete too (see layout_policy.cc).
  virtual LayoutInfo* FindNodeAt(ViewPoint p, const LayoutMap& map, bool include_inside) const;
  // True when b is one of a's later siblings.
  virtual bool IsAbove(const Node* a, const Node* b) const;
  // The record under the point as FindNodeAt gives it (without notes drawn inside
  // containers); else the visible record nearest the point among those whose frame
  // grown by `slop` pixels holds it (distance to the frame's nearest edge; the first
  // made wins a tie). Null when none is that near.
  virtual LayoutInfo* FindNodeNear(ViewPoint p, const LayoutMap& map, int slop) const;

  // --- Scrolling and selection -------------------------------------------------
  // Where the view scrolls to show `rect`: its top-left corner less the policy's
  // margin (AllowMargin, when positive). False, leaving x and y alone, when the view
  // cannot scroll (CanScroll).
  bool ChooseScrollLoc(const SRect& rect, int32_t* x, int32_t* y) const;
  // The same point; the rectangle's own corner when the view cannot scroll.
  ViewPoint ChooseScrollLoc(const SRect& rect) const;
  // Selects the notes of the shown records (visible, not drawn inside a container,
  // not hidden) from `anchor` to `note` in outline order, both included, whichever
  // comes first; without `extend` the selection is cleared first. Returns how many it
  // selected. REQUIRES: anchor and note belong to the same document.
  int RangeSelect(Node* anchor, Node* note, const LayoutMap& map, bool extend) const;
  // Drops the records a later pass can make again as they are: not visible, not the
  // root's, and `expanded` as a new record would have it. Returns how many it dropped.
  int Optimize(Node* root, LayoutMap* map) const;

  // --- Units -------------------------------------------------------------------
  // v × scale ÷ standard scale (v when the standard scale is 0).
  double Scale(double scale, double v) const;
  // v × standard scale ÷ scale (v when the scale is 0).
  double Unscale(double scale, double v) const;

  // --- Settings ----------------------------------------------------------------
  int TextSize() const { return text_size_; }
  // Sizes below 1 become 1.
  void SetTextSize(int size);
  int PageHeight() const { return page_height_; }
  // 0 (or below) switches pagination off.
  void SetPageHeight(int height);
  virtual void SetSpacing(int horizontal, int vertical);
  // The measurer for names (not owned); null uses a FixedTextMeasurer.
  void SetTextMeasurer(const TextMeasurer* measurer);
  const TextMeasurer& Measurer() const;

 protected:
  // The note's name font at `size`: its `NameFont`, bold per `NameBold`, italic for
  // an alias.
  FontSpec NameFont(const Node* note, double size) const;
  // Node::IsSeparator and the note's `NameLeading`, through attributes looked up once
  // per document.
  bool IsSeparatorNote(const Node* note) const;
  double NameLeading(const Node* note) const;
  // Node::DisplayName, through attributes looked up once per document: the note's
  // `Name` unless a language is installed and its `DisplayExpression` is not empty.
  std::string DisplayName(const Node* note) const;

  int text_size_ = 12;
  int page_height_ = 0;

 private:
  const TextMeasurer* measurer_ = nullptr;
  FixedTextMeasurer fixed_;
  // Looks up the attributes below when the note's attribute registry is not the one
  // last asked about (its stamp differs: another document, or a registry rebuilt in
  // place), so a pointer is never used past its registry. A layout of every row reads
  // them for every row.
  void UseDocumentOf(const Node* note) const;
  mutable uint64_t attribute_stamp_ = 0;
  mutable const Attribute* name_font_ = nullptr;
  mutable const Attribute* name_bold_ = nullptr;
  mutable const Attribute* separator_ = nullptr;
  mutable const Attribute* name_leading_ = nullptr;
  mutable const Attribute* name_ = nullptr;
  mutable const Attribute* display_expression_ = nullptr;
};

// A percentage attribute (`OutlineTextSize`, `MapTextSize`) applied to a base size,
// rounded: values below 0.01 (and values that are not numbers) count as 100 %, and
// the percentage is capped at 10000 %. Never below 8.
int PercentTextSize(const Node* note, const char* attribute, int base_size);
// The same with the attribute already looked up. REQUIRES: attribute is not null.
int PercentTextSize(const Node* note, const Attribute* attribute, int base_size);

// Every note of the subtree of `top` (top included), children before their parent,
// siblings in order. Iterative.
std::vector<Node*> ListPostOrder(Node* top);

// A whole pass: MarkAllNodesUnused, Prepare, Layout, CleanupUnusedEntries.
void LayOutView(LayoutPolicy* policy, double scale, Node* root, LayoutMap* map,
                const SRect& bounds);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_LAYOUT_POLICY_H_
