// One container's map as a window shows it: the layout, the painting and the pointer
// gestures, all in view pixels (the map's own coordinates at the current zoom; the
// window adds its scroll offset). The window forwards pointer presses, drags and
// releases, paints through Draw, and lays out again (Layout) when the document tells
// it something changed. Creating, moving, copying, aliasing and resizing notes are
// undoable steps of the document; selection, zoom, panning an interior and the
// remembered scroll position are view state.
//
// A press decides the gesture, by what lies under it (HitTest in
// views/map_interaction.h), the chosen tool and the modifier keys:
//   - a resize handle of a selected box: resizing, the note resizing live;
//   - a container's box with the grab modifier: panning its interior;
//   - a box: selecting it (extend toggles it in the selection), then, once the
//     pointer has moved a few pixels, dragging the selection; the release drops
//     it on the map, or into the container box under the pointer, moved, copied or
//     aliased by the modifiers at the release;
//   - the background: a marquee with the marquee tool, or without it when the option
//     modifier is held; a new note with the create tool (option not held), when the
//     document can be edited; otherwise the selection is cleared.

#ifndef FERNWEAVE_VIEWS_MAP_CONTROLLER_H_
#define FERNWEAVE_VIEWS_MAP_CONTROLLER_H_

#include <memory>
#include <optional>
#include <vector>

#include "views/draw_context.h"
#include "views/layout_map.h"
#include "views/map_artist.h"
#include "views/map_drawing_policy.h"
#include "views/map_interaction.h"
#include "views/map_layout_policy.h"
#include "views/map_scale.h"

namespace fernweave {

class NoteCreationView;

struct PointerModifiers {
  bool extend = false;  // the selection grows (shift)
  bool option = false;  // inverts the marquee tool's choice; no note is created
  bool copy = false;    // a drop leaves a copy
  bool alias = false;   // a drop leaves an alias (wins over copy)
  bool grab = false;    // a drag inside a container's box pans its interior
};

enum class MapTool { kSelect, kMarquee, kCreate };

enum class MapGesture { kNone, kPress, kDrag, kResize, kPan, kMarquee };

class MapController {
 public:
  // A pointer must move this many pixels (either way) before a press becomes a drag.
  static constexpr int kDragThreshold = 3;

  // Neither is owned; both must outlive the controller. `measurer` may be null (fixed
  // metrics). REQUIRES: container is not null.
  MapController(Node* container, const TextMeasurer* measurer);
  ~MapController();
  MapController(const MapController&) = delete;
  MapController& operator=(const MapController&) = delete;

  Node* Container() const { return container_; }
  // Shows another container's map (records of the old one are dropped).
  void SetContainer(Node* container);
  // Offered each note the create tool makes, for naming it in place (may be null).
  void SetCreationView(NoteCreationView* view) { creation_view_ = view; }
  void SetTool(MapTool tool) { tool_ = tool; }
  MapTool Tool() const { return tool_; }

  // --- Layout and painting --------------------------------------------------------
  // Lays the map out at the current scale; drops records of deleted notes first.
  void Layout();
  const LayoutMap& Map() const { return map_; }
  const OrvexMapLayoutPolicy& Policy() const { return policy_; }
  // The union of the boxes drawn on the map (not those inside containers), or an
  // empty rectangle when there are none.
  SRect ContentBounds() const;
  // Paints the part of the map inside `update`; `bounds` is the whole visible area.
  // The marquee, while one is drawn, is framed over everything.
  void Draw(DrawContext* dc, const SRect& bounds, const SRect& update);
  void SetBackgroundColor(const DrawColor& color) { artist_->SetBackgroundColor(color); }

  // --- Zoom -----------------------------------------------------------------------
  double CurrentScale() const { return scale_.Scale(); }
  int ZoomSetting() const { return scale_.Setting(); }
  // Sets the zoom (kept within MapScale's bounds) and lays out at the new scale. The
  // steps returned animate the change when it is large enough: show each with
  // ShowZoomStep, then call EndZoomAnimation.
  ZoomAnimation SetZoom(int setting);
  void ShowZoomStep(const ZoomAnimation& animation, int step);
  void EndZoomAnimation();

  // --- Pointer --------------------------------------------------------------------
  void PointerDown(ViewPoint p, const PointerModifiers& modifiers);
  void PointerMove(ViewPoint p);
  void PointerUp(ViewPoint p, const PointerModifiers& modifiers);
  // Abandons the gesture: a live resize is put back, a drag or marquee dropped.
  void Cancel();
  MapGesture Gesture() const { return gesture_; }
  // The marquee being drawn (normalised), or an empty rectangle.
  SRect MarqueeRect() const;
  // While dragging: how far the selection has been dragged, in pixels.
  ViewPoint DragOffset() const;
  // The note the last press made with the create tool, or null.
  Node* LastCreated() const { return last_created_; }

  // --- Scroll memory --------------------------------------------------------------
  // Stores the view's scroll position (the view pixel at its top-left corner) in the
  // container's MapScrollX/MapScrollY, in map units.
  void RememberScroll(ViewPoint top_left);
  // The stored scroll position in view pixels at the current scale.
  ViewPoint RememberedScroll() const;

 private:
  void BeginOnBox(const MapItem& hit, ViewPoint p, const PointerModifiers& modifiers);
  void BeginOnBackground(ViewPoint p, const PointerModifiers& modifiers);
  void Drop(ViewPoint p, const PointerModifiers& modifiers);
  // The notes a drag carries: the selected notes with a box on this map.
  std::vector<Node*> DraggedNotes() const;

  Node* container_;
  OrvexMapLayoutPolicy policy_;
  MapScale scale_{&policy_};
  LayoutMap map_;
  OrvexMapDrawingPolicy drawing_;
  PlainLinkPolicy links_;
  std::unique_ptr<MapArtist> artist_;
  NoteCreationView* creation_view_ = nullptr;
  MapTool tool_ = MapTool::kSelect;

  MapGesture gesture_ = MapGesture::kNone;
  ViewPoint press_;
  ViewPoint last_;
  bool marquee_extend_ = false;
  Node* pressed_ = nullptr;  // the note pressed on, for a drag
  Node* last_created_ = nullptr;
  std::unique_ptr<ResizeSession> resize_;
  std::unique_ptr<PanSession> pan_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_MAP_CONTROLLER_H_
