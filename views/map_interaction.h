// What a person does on a map, as operations on the model: hit testing, creating a
// note at a point, moving notes by dropping them, resizing a box by its handles,
// panning a container's interior, marquee selection and scroll memory. The window
// only turns its events into these calls. Creating, moving and resizing are undoable
// (one step each); panning and scrolling change view state and are not.

#ifndef FERNWEAVE_VIEWS_MAP_INTERACTION_H_
#define FERNWEAVE_VIEWS_MAP_INTERACTION_H_

#include <optional>

#include "model/action.h"
#include "model/node.h"
#include "views/layout_map.h"
#include "views/map_layout_policy.h"

namespace fernweave {

class NoteCreationView;

// The part of a box a point falls on.
enum class MapPart { kNone, kBody, kTitle, kResizeHandle };

// The result of hit testing a point on a map.
struct MapItem {
  LayoutInfo* record = nullptr;  // null: the background
  MapPart part = MapPart::kNone;
  int handle = 0;  // 1–8 for a resize handle (numbered as ResizeHandleRect), else 0

  bool IsInside() const { return record != nullptr && record->inside; }
  bool IsContainer() const { return record != nullptr && record->IsContainer(); }
  bool InAdornment() const { return record != nullptr && record->IsAdornment(); }
};

// The eight handles: 1 top-left, 2 left, 3 bottom-left, 4 bottom, 5 bottom-right,
// 6 right, 7 top-right, 8 top. They lie in the 5-pixel band around the frame inset by
// 1: corners fill the band's corners, sides are 4 pixels long, centred. Handle 0 (or
// any other number) gives an empty rectangle.
SRect ResizeHandleRect(const SRect& frame, int handle);

// What lies under the point: a resize handle of a selected box, else the box (its
// title band or its body; boxes drawn inside containers included), else nothing.
// Where a handle and another box overlap, ResolveConflicts decides.
MapItem HitTest(const LayoutPolicy& policy, const LayoutMap& map, ViewPoint p);

// Settles a point that falls both on a resize handle and on a box: the handle is drawn
// with its box, so a box painted above that one (an elder sibling, or a note drawn
// inside such a box) covers it and wins; otherwise the handle wins. Either item may be
// empty, and the non-empty one is returned.
MapItem ResolveConflicts(const LayoutPolicy& policy, const LayoutMap& map, const MapItem& handle,
                         const MapItem& box);

// Makes a note in `container` at the point (map pixels at `scale`) through an undoable
// creation; null when a note lies under the point, the scale is not positive or the
// document refuses. `view` (may be null) is offered the new note for naming.
Node* CreateNoteAt(const LayoutPolicy& policy, const LayoutMap& map, Node* container,
                   double scale, ViewPoint p, NoteCreationView* view = nullptr);

enum class DropMode {
  kOnMap,    // the note goes to the map's container at the point
  kIntoBox,  // the note goes into the box under the point, at the point
};

// Where a drop puts the note: its new container and its position in that container's
// map. With kIntoBox and no box (or only an adornment, or the note itself) under the
// point, the drop falls back to the map.
struct DropTarget {
  Node* container = nullptr;
  MapPoint position;
};
DropTarget FindDropTarget(const MapLayoutPolicy& policy, const LayoutMap& map, Node* map_container,
                          const Node* note, double scale, ViewPoint p, DropMode mode);

// What a drop leaves at the target: the note itself, a copy (the copy modifier) or an
// alias of it (the alias modifier).
enum class DropAs { kMove, kCopy, kAlias };

// Moves the note, or puts a copy or an alias of it, at the drop target as one undoable
// step. Returns the note moved, the copy or the alias, or null when refused (a note
// moved into its own subtree, a note that cannot be aliased, a document that cannot
// be edited). An alias may go inside the note it stands for.
Node* DropNote(const MapLayoutPolicy& policy, const LayoutMap& map, Node* map_container, Node* note,
               double scale, ViewPoint p, DropMode mode, DropAs as);
// The same at a target already found: the note, its copy or its alias goes into
// target.container at target.position.
Node* DropNoteAt(Node* note, const DropTarget& target, DropAs as);

// The point with each coordinate snapped to half map units at `scale`.
ViewPoint SnapToHalfUnits(ViewPoint p, double scale);
// The frame with the sides the handle owns moved to the point, normalised.
SRect AdjustResizeFrame(const SRect& frame, int handle, ViewPoint p);

// The map values a frame stands for, in half-unit steps.
struct MapGeometry {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
};
MapGeometry FrameToGeometry(const SRect& frame, double scale);

// Resizing one box: Drag writes `Width`, `Height`, `Xpos`, `Ypos` live whenever they
// change; Finish posts them as one undoable step. A session ended without Finish
// (destroyed) puts the old values back.
class ResizeSession {
 public:
  // REQUIRES: note is not null; handle is 1–8.
  ResizeSession(Node* note, const SRect& frame, int handle, double scale);
  ~ResizeSession();
  void Drag(ViewPoint mouse);
  // Returns whether anything changed (and an action was posted).
  bool Finish();

 private:
  Node* note_;
  SRect frame_;
  int handle_;
  double scale_;
  MapGeometry before_;
  MapGeometry now_;
  bool finished_ = false;
};

// Panning a container's interior with the grab gesture: MapScrollX/Y = the value at
// the start + k × (start − mouse) ÷ scale, k its interior scale.
class PanSession {
 public:
  PanSession(const MapLayoutPolicy& policy, Node* container, ViewPoint start, double scale);
  void Drag(ViewPoint mouse);

 private:
  Node* container_;
  ViewPoint start_;
  double scale_;
  double k_;
  double scroll_x_;
  double scroll_y_;
};

// Selects every record's note that is visible, not drawn inside a container, not
// locked, and whose frame touches the rectangle. Without `extend` the selection is
// cleared first. Returns how many notes it selected.
int SelectWithin(const LayoutMap& map, Hypertext* doc, const SRect& rect, bool extend);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_MAP_INTERACTION_H_
