// Views: the laid-out pictures of a container's notes — the map, the outline, the
// chart and the treemap — and the map's drawing.
//
// What it holds. A view keeps one `LayoutMap`: a `LayoutInfo` record per note it lays
// out, holding the note's rectangle in view pixels and the flags the layout policies
// (views/layout_policy.h and the policies beside it) compute. Drawing
// (views/map_artist.h, views/tree_artist.h) reads the records and paints through the
// abstract `DrawContext` (views/draw_context.h); the platform implements it.
//
// Ownership. The map owns its records. Records point at notes without owning them; a
// record must not outlive its note, so a view drops the records of deleted notes
// (`CleanupDeletedNodes`) before it uses the map again. A `LayoutInfo*` stays valid
// until its record is removed or the map cleared.
//
// Callers. Views run on the main thread; nothing here is locked.

#ifndef FERNWEAVE_VIEWS_LAYOUT_MAP_H_
#define FERNWEAVE_VIEWS_LAYOUT_MAP_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "foundation/geometry.h"
#include "views/view_geometry.h"

namespace fernweave {

class Hypertext;
class Node;

// One note's layout in one view.
struct LayoutInfo {
  Node* node = nullptr;
  SRect frame;  // the note's rectangle in view pixels
  SRect title;  // the title band inside the frame (map only)
  bool visible = false;  // the note has a box in this layout
  bool inside = false;   // the box is drawn inside its container's box
  bool expanded = true;
  bool placed = false;
  bool horizontal = false;  // treemap: children side by side
  bool widened = false;     // chart: the box was widened for a long name
  bool used = true;         // touched by the current layout pass
  double scale = 0;         // pixels per map unit used for this record
  double level = 0;         // depth below the layout root
  double position = 0;      // outline: row number; chart: vertical offset
  int depth = 0;            // the pass depth of the preparation that made it
  int32_t text_size = 0;         // cached text size of outline and chart rows
  int32_t measured_height = 0;   // cached row height, 0 = not measured
  int32_t measured_text_size = 0;  // the text size the cached height was measured at

  bool IsAdornment() const;
  bool IsSeparator() const;
  bool IsContainer() const;
  bool IsSelected() const;
};

class LayoutMap {
 public:
  LayoutMap() = default;
  LayoutMap(const LayoutMap&) = delete;
  LayoutMap& operator=(const LayoutMap&) = delete;

  // The note's record, or null.
  LayoutInfo* Get(const Node* note) const;
  // The note's record, made (with default fields) when missing; marked used.
  LayoutInfo* CreateFor(Node* note);
  // The same, telling whether the record was made now.
  LayoutInfo* CreateFor(Node* note, bool* created);
  // Replaces the note's record with a copy of `info` (whose node must be set).
  void Set(const LayoutInfo& info);
  void Remove(const Node* note);
  // Moves every frame (and title) by (dx, dy).
  void Offset(int32_t dx, int32_t dy);
  void MarkAllNodesUnused();
  // Drops every record no pass has touched since MarkAllNodesUnused.
  void CleanupUnusedEntries();
  // Drops every record whose note is no longer a live note of the document.
  void CleanupDeletedNodes(const Hypertext& doc);
  void Clear();
  // Clear, and forget the allocation.
  void Reset();

  size_t size() const { return index_.size(); }
  // The records in key order (the order they were made), or in reverse.
  std::vector<LayoutInfo*> Records() const;
  std::vector<LayoutInfo*> ReverseRecords() const;
  void ForEach(const std::function<void(LayoutInfo*)>& visit) const;

 private:
  void Compact() const;

  // An open-addressing table from note to record: views look records up several times
  // per note and pass, and a probe within one array is far cheaper than a chained
  // table's two scattered reads. Linear probing; removed slots become tombstones.
  class Index {
   public:
    LayoutInfo* Find(const Node* note) const;
    void Insert(const Node* note, LayoutInfo* info);
    void Erase(const Node* note);
    void Clear();
    void Release();
    size_t size() const { return size_; }

   private:
    struct Slot {
      const Node* key = nullptr;  // null: empty; kTombstone: removed
      LayoutInfo* value = nullptr;
    };
    size_t SlotFor(const Node* note) const;
    void Grow();

    std::vector<Slot> slots_;
    size_t size_ = 0;
    size_t used_ = 0;  // live entries and tombstones
  };

  // Records in the order they were made; null where a record was removed.
  mutable std::vector<std::unique_ptr<LayoutInfo>> records_;
  mutable size_t holes_ = 0;
  Index index_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_LAYOUT_MAP_H_
