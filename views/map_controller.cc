#include "views/map_controller.h"

#include <algorithm>
#include <cstdlib>
#include <utility>

#include "foundation/error.h"
#include "model/action.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/undo_texts.h"
#include "views/layout_policy.h"

namespace fernweave {

namespace {

// Drops several notes as one step of the undo history: the drops it performs join it.
class GroupDropAction : public NodeAction {
 public:
  GroupDropAction(Node* container, std::vector<std::pair<Node*, DropTarget>> drops, DropAs as)
      : NodeAction(container, as == DropAs::kAlias  ? undo_index::kMakeAlias
                              : as == DropAs::kCopy ? undo_index::kDuplicate
                                                    : undo_index::kMove),
        drops_(std::move(drops)),
        as_(as) {}

 protected:
  void RedoSelf() override {
    if (started_) {
      return;  // the joined drops redo themselves
    }
    started_ = true;
    for (const auto& [note, target] : drops_) {
      DropNoteAt(note, target, as_);
    }
  }
  void UndoSelf() override {}

 private:
  std::vector<std::pair<Node*, DropTarget>> drops_;
  DropAs as_;
  bool started_ = false;
};

void ClearSelection(Hypertext* doc) {
  const std::vector<Node*> selected(doc->Selection().begin(), doc->Selection().end());
  for (Node* n : selected) {
    n->Select(false);
  }
}

}  // namespace

MapController::MapController(Node* container, const TextMeasurer* measurer)
    : container_(RequireNotNull(container, "MapController: no container")),
      drawing_(&policy_, measurer),
      links_(policy_.ArrowSize()) {
  policy_.SetTextMeasurer(measurer);
  SetContainer(container);
}

MapController::~MapController() = default;

void MapController::SetContainer(Node* container) {
  Cancel();
  container_ = RequireNotNull(container, "MapController: no container");
  map_.Clear();
  const DrawColor background = NoteColor(container_, "MapBackgroundColor", DrawColor::Gray(1));
  artist_ = std::make_unique<MapArtist>(&map_, container_, &policy_, &drawing_, &links_);
  artist_->SetOffscreen(false);
  artist_->SetBackgroundColor(background);
  Layout();
}

void MapController::Layout() {
  map_.CleanupDeletedNodes(*container_->GetHypertext());
  LayOutView(&policy_, CurrentScale(), container_, &map_, SRect{});
  artist_->SetScale(CurrentScale());
  artist_->ChangedLayout();
}

SRect MapController::ContentBounds() const {
  SRect content;
  bool any = false;
  for (const LayoutInfo* r : map_.Records()) {
    if (!r->visible || r->inside || IsEmpty(r->frame)) {
      continue;
    }
    content = any ? Union(content, r->frame) : r->frame;
    any = true;
  }
  return content;
}

void MapController::Draw(DrawContext* dc, const SRect& bounds, const SRect& update) {
  artist_->Draw(dc, bounds, update);
  if (gesture_ == MapGesture::kMarquee) {
    const SRect marquee = MarqueeRect();
    if (!IsEmpty(marquee)) {
      dc->FillRect(marquee, DrawColor{0.2, 0.4, 0.9, 0.15});
      dc->FrameRect(marquee, DrawColor{0.2, 0.4, 0.9, 0.9}, 1);
    }
  }
}

ZoomAnimation MapController::SetZoom(int setting) {
  const double from = CurrentScale();
  scale_.EndTemporaryScale();
  scale_.Set(setting);
  const ZoomAnimation animation(from, CurrentScale());
  Layout();
  return animation;
}

void MapController::ShowZoomStep(const ZoomAnimation& animation, int step) {
  scale_.SetTemporaryScale(animation.ScaleAt(step));
  Layout();
}

void MapController::EndZoomAnimation() {
  scale_.EndTemporaryScale();
  Layout();
}

void MapController::PointerDown(ViewPoint p, const PointerModifiers& modifiers) {
  Cancel();
  press_ = p;
  last_ = p;
  last_created_ = nullptr;
  const MapItem hit = HitTest(policy_, map_, p);
  if (hit.record == nullptr) {
    BeginOnBackground(p, modifiers);
    return;
  }
  Node* note = hit.record->node;
  if (hit.part == MapPart::kResizeHandle) {
    if (note->GetHypertext()->CanEdit() && !note->GetBoolean("Lock") && CurrentScale() > 0) {
      resize_ = std::make_unique<ResizeSession>(note, hit.record->frame, hit.handle,
                                                CurrentScale());
      gesture_ = MapGesture::kResize;
    }
    return;
  }
  BeginOnBox(hit, p, modifiers);
}

void MapController::BeginOnBox(const MapItem& hit, ViewPoint p,
                               const PointerModifiers& modifiers) {
  Node* note = hit.record->node;
  if (modifiers.grab) {
    // The grab gesture pans the interior of the container box it falls in.
    Node* box = hit.record->inside ? note->Father() : note;
    const LayoutInfo* r = map_.Get(box);
    if (r != nullptr && r->visible && !r->inside && r->IsContainer() && !Contains(r->title, p)) {
      pan_ = std::make_unique<PanSession>(policy_, box, p, CurrentScale());
      gesture_ = MapGesture::kPan;
    }
    return;
  }
  if (modifiers.extend) {
    note->ToggleSelection();
  } else if (!note->IsSelected()) {
    ClearSelection(note->GetHypertext());
    note->Select(true);
  }
  artist_->ChangedLayout();  // the handles move with the selection
  pressed_ = note->IsSelected() ? note : nullptr;
  gesture_ = MapGesture::kPress;
}

void MapController::BeginOnBackground(ViewPoint p, const PointerModifiers& modifiers) {
  Hypertext* doc = container_->GetHypertext();
  if ((tool_ == MapTool::kMarquee) != modifiers.option) {
    marquee_extend_ = modifiers.extend;
    gesture_ = MapGesture::kMarquee;
    return;
  }
  if (tool_ == MapTool::kCreate && !modifiers.option && doc->CanEdit()) {
    last_created_ =
        CreateNoteAt(policy_, map_, container_, CurrentScale(), p, creation_view_);
    Layout();
    return;
  }
  if (!modifiers.extend) {
    ClearSelection(doc);
    artist_->ChangedLayout();
  }
}

void MapController::PointerMove(ViewPoint p) {
  switch (gesture_) {
    case MapGesture::kPress:
      if (pressed_ != nullptr && container_->GetHypertext()->CanEdit() &&
          (std::abs(int64_t{p.x} - press_.x) >= kDragThreshold ||
           std::abs(int64_t{p.y} - press_.y) >= kDragThreshold)) {
        gesture_ = MapGesture::kDrag;
        last_ = p;
      }
      break;
    case MapGesture::kDrag:
    case MapGesture::kMarquee:
      last_ = p;
      break;
    case MapGesture::kResize:
      resize_->Drag(p);
      Layout();
      break;
    case MapGesture::kPan:
      pan_->Drag(p);
      Layout();
      break;
    case MapGesture::kNone:
      break;
  }
}

void MapController::PointerUp(ViewPoint p, const PointerModifiers& modifiers) {
  PointerMove(p);
  switch (gesture_) {
    case MapGesture::kDrag:
      Drop(p, modifiers);
      break;
    case MapGesture::kResize:
      resize_->Finish();
      resize_.reset();
      break;
    case MapGesture::kPan:
      pan_.reset();
      break;
    case MapGesture::kMarquee:
      SelectWithin(map_, container_->GetHypertext(), MarqueeRect(),
                   marquee_extend_ || modifiers.extend);
      break;
    case MapGesture::kPress:
    case MapGesture::kNone:
      break;
  }
  const bool changed = gesture_ != MapGesture::kNone && gesture_ != MapGesture::kPress;
  gesture_ = MapGesture::kNone;
  pressed_ = nullptr;
  if (changed) {
    Layout();
  }
}

void MapController::Cancel() {
  const bool resizing = resize_ != nullptr;
  resize_.reset();  // an unfinished resize puts the old values back
  pan_.reset();
  gesture_ = MapGesture::kNone;
  pressed_ = nullptr;
  if (resizing) {
    Layout();
  }
}

SRect MapController::MarqueeRect() const {
  if (gesture_ != MapGesture::kMarquee) {
    return SRect{};
  }
  return Normalized(SRect{press_.x, press_.y, last_.x, last_.y});
}

ViewPoint MapController::DragOffset() const {
  if (gesture_ != MapGesture::kDrag) {
    return ViewPoint{};
  }
  return ViewPoint{AddClamped(last_.x, -int64_t{press_.x}), AddClamped(last_.y, -int64_t{press_.y})};
}

std::vector<Node*> MapController::DraggedNotes() const {
  std::vector<Node*> notes;
  for (const LayoutInfo* r : map_.Records()) {
    if (r->visible && r->IsSelected() && !r->node->GetBoolean("Lock")) {
      notes.push_back(r->node);
    }
  }
  return notes;
}

void MapController::Drop(ViewPoint p, const PointerModifiers& modifiers) {
  const double scale = CurrentScale();
  const LayoutInfo* pressed = map_.Get(pressed_);
  std::vector<Node*> notes = DraggedNotes();
  if (!(scale > 0) || pressed == nullptr || notes.empty()) {
    return;
  }
  const DropAs as = modifiers.alias  ? DropAs::kAlias
                    : modifiers.copy ? DropAs::kCopy
                                     : DropAs::kMove;
  // Into the container box under the pointer, unless that box is being dragged.
  DropTarget into;
  const LayoutInfo* box = policy_.FindNodeAt(p, map_, false);
  if (box != nullptr && !box->inside && !box->IsAdornment() && box->IsContainer() &&
      std::find(notes.begin(), notes.end(), box->node) == notes.end()) {
    into = FindDropTarget(policy_, map_, container_, pressed_, scale, p, DropMode::kIntoBox);
  }
  const double dx = static_cast<double>(p.x) - press_.x;
  const double dy = static_cast<double>(p.y) - press_.y;
  std::vector<std::pair<Node*, DropTarget>> drops;
  for (Node* n : notes) {
    const LayoutInfo* r = map_.Get(n);
    DropTarget target{container_, MapPoint{}};
    if (into.container != nullptr) {
      // Each note keeps its place relative to the one pressed, in the box's own map.
      const double k = policy_.InteriorScale(into.container);
      target.container = into.container;
      target.position.x = into.position.x + (r->frame.left - pressed->frame.left) * k / scale;
      target.position.y = into.position.y + (r->frame.top - pressed->frame.top) * k / scale;
    } else if (r->inside) {
      // Out of its container's box onto the map, where it was drawn.
      target.position.x = (r->frame.left + dx) / scale;
      target.position.y = (r->frame.top + dy) / scale;
    } else {
      target.position.x = SaneMapValue(n->GetDouble("Xpos"), kMaxMapCoordinate) + dx / scale;
      target.position.y = SaneMapValue(n->GetDouble("Ypos"), kMaxMapCoordinate) + dy / scale;
    }
    drops.emplace_back(n, target);
  }
  if (drops.size() == 1) {
    DropNoteAt(drops[0].first, drops[0].second, as);
    return;
  }
  container_->GetHypertext()->PostAction(
      std::make_unique<GroupDropAction>(container_, std::move(drops), as));
}

void MapController::RememberScroll(ViewPoint top_left) {
  const double scale = CurrentScale();
  if (!(scale > 0)) {
    return;
  }
  policy_.RecordScrollPosition(container_, top_left.x / scale, top_left.y / scale);
}

ViewPoint MapController::RememberedScroll() const {
  const double scale = CurrentScale();
  return ViewPoint{
      ClampPixel(SaneMapValue(container_->GetDouble("MapScrollX"), kMaxMapCoordinate) * scale),
      ClampPixel(SaneMapValue(container_->GetDouble("MapScrollY"), kMaxMapCoordinate) * scale)};
}

}  // namespace fernweave
