#include "views/map_interaction.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "foundation/error.h"
#include "model/alias_actions.h"
#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node_actions.h"
#include "model/undo_texts.h"

namespace fernweave {

namespace {

constexpr const char* kGeometryNames[] = {"Xpos", "Ypos", "Width", "Height"};

MapGeometry ReadGeometry(const Node* n) {
  return MapGeometry{n->GetDouble("Xpos"), n->GetDouble("Ypos"), n->GetDouble("Width"),
                     n->GetDouble("Height")};
}

void WriteGeometry(Node* n, const MapGeometry& g) {
  const double values[] = {g.x, g.y, g.width, g.height};
  for (int i = 0; i < 4; ++i) {
    if (n->GetDouble(kGeometryNames[i]) != values[i]) {
      n->SetDouble(kGeometryNames[i], values[i]);
    }
  }
}

// Sets map values of one note; Undo restores exactly what the note stored before
// (nothing stored means it takes the default again).
class MapGeometryAction : public NodeAction {
 public:
  MapGeometryAction(Node* note, std::vector<std::pair<std::string, double>> values)
      : NodeAction(note, undo_index::kMove), values_(std::move(values)) {
    for (const auto& [name, value] : values_) {
      const Value* stored = note->StoredValue(note->GetAttribute(name));
      old_.push_back(stored == nullptr ? ValuePtr() : stored->Clone());
    }
  }
  // The values the note had before this action, when the caller already shows the
  // new ones (a live resize).
  void SetOldValues(const MapGeometry& g) {
    const double old[] = {g.x, g.y, g.width, g.height};
    old_doubles_.assign(old, old + 4);
  }

 protected:
  void RedoSelf() override {
    for (const auto& [name, value] : values_) {
      GetNode()->SetDouble(name, value);
    }
  }
  void UndoSelf() override {
    Node* n = GetNode();
    for (size_t i = 0; i < values_.size(); ++i) {
      const Attribute* attribute = n->GetAttribute(values_[i].first);
      if (!old_doubles_.empty()) {
        n->SetDouble(values_[i].first, old_doubles_[i]);
      } else if (old_[i] == nullptr) {
        n->Remove(attribute);
      } else {
        n->Set(attribute, old_[i]->Clone());
      }
    }
  }

 private:
  std::vector<std::pair<std::string, double>> values_;
  std::vector<ValuePtr> old_;
  std::vector<double> old_doubles_;
};

// Copies a note into a container and places the copy: the copy and its placing join
// this action, so the whole drop is one step of the undo history.
class CopyDropAction : public NodeAction {
 public:
  CopyDropAction(Node* note, Node* container, MapPoint position)
      : NodeAction(note, undo_index::kDuplicate), container_(container), position_(position) {}
  Node* Copy() const { return copy_; }

 protected:
  void RedoSelf() override {
    if (started_) {
      return;  // the joined actions redo themselves
    }
    started_ = true;
    auto duplicate = std::make_unique<NodeDuplicateAction>(GetNode(), container_);
    NodeDuplicateAction* raw = duplicate.get();
    if (!GetHypertext()->PostAction(std::move(duplicate)) || raw->Copy() == nullptr) {
      return;
    }
    copy_ = raw->Copy();
    GetHypertext()->PostAction(std::make_unique<MapGeometryAction>(
        copy_, std::vector<std::pair<std::string, double>>{{"Xpos", position_.x},
                                                           {"Ypos", position_.y}}));
  }
  void UndoSelf() override {}

 private:
  Node* container_;
  MapPoint position_;
  bool started_ = false;
  Node* copy_ = nullptr;
};

}  // namespace

SRect ResizeHandleRect(const SRect& frame, int handle) {
  const SRect in = Inset(frame, 1);
  const SRect out = Inset(in, -5);
  const int32_t cx = in.left + Width(in) / 2;
  const int32_t cy = in.top + Height(in) / 2;
  switch (handle) {
    case 1: return SRect{out.left, out.top, in.left, in.top};
    case 2: return SRect{out.left, cy - 2, in.left, cy + 2};
    case 3: return SRect{out.left, in.bottom, in.left, out.bottom};
    case 4: return SRect{cx - 2, in.bottom, cx + 2, out.bottom};
    case 5: return SRect{in.right, in.bottom, out.right, out.bottom};
    case 6: return SRect{in.right, cy - 2, out.right, cy + 2};
    case 7: return SRect{in.right, out.top, out.right, in.top};
    case 8: return SRect{cx - 2, out.top, cx + 2, in.top};
    default: return SRect{};
  }
}

MapItem HitTest(const LayoutPolicy& policy, const LayoutMap& map, ViewPoint p) {
  MapItem handle;
  // Handles of selected boxes lie outside their frames, so they are looked at first.
  for (LayoutInfo* r : map.Records()) {
    if (!r->visible || r->inside || !r->IsSelected() || handle.record != nullptr) {
      continue;
    }
    for (int h = 1; h <= 8; ++h) {
      if (Contains(ResizeHandleRect(r->frame, h), p)) {
        handle.record = r;
        handle.part = MapPart::kResizeHandle;
        handle.handle = h;
        break;
      }
    }
  }
  MapItem box;
  box.record = policy.FindNodeAt(p, map, true);
  if (box.record != nullptr) {
    box.part = Contains(box.record->title, p) ? MapPart::kTitle : MapPart::kBody;
  }
  return ResolveConflicts(policy, map, handle, box);
}

MapItem ResolveConflicts(const LayoutPolicy& policy, const LayoutMap& map, const MapItem& handle,
                         const MapItem& box) {
  if (handle.record == nullptr) {
    return box;
  }
  if (box.record == nullptr) {
    return handle;
  }
  // The boxes as painted on the map: a note drawn inside a container with it.
  const LayoutInfo* painted = box.record;
  if (painted->inside) {
    const LayoutInfo* container = map.Get(painted->node->Father());
    if (container != nullptr) {
      painted = container;
    }
  }
  const Node* owner = handle.record->node;
  if (painted->node != owner && painted->node->Father() == owner->Father() &&
      painted->IsAdornment() == handle.record->IsAdornment() &&
      policy.IsAbove(painted->node, owner)) {
    return box;
  }
  // Notes are painted above adornments.
  if (handle.record->IsAdornment() && !painted->IsAdornment()) {
    return box;
  }
  return handle;
}

Node* CreateNoteAt(const LayoutPolicy& policy, const LayoutMap& map, Node* container,
                   double scale, ViewPoint p, NoteCreationView* view) {
  if (container == nullptr || !(scale > 0) || policy.FindNodeAt(p, map, true) != nullptr) {
    return nullptr;
  }
  const MapPoint position{p.x / scale, p.y / scale};
  return container->GetHypertext()->CreateAt(container, position, view);
}

DropTarget FindDropTarget(const MapLayoutPolicy& policy, const LayoutMap& map, Node* map_container,
                          const Node* note, double scale, ViewPoint p, DropMode mode) {
  DropTarget target{map_container, MapPoint{0, 0}};
  if (!(scale > 0)) {
    return target;
  }
  target.position = MapPoint{p.x / scale, p.y / scale};
  if (mode != DropMode::kIntoBox) {
    return target;
  }
  const LayoutInfo* box = policy.FindNodeAt(p, map, false);
  if (box == nullptr || box->inside || box->IsAdornment() || box->node == note) {
    return target;
  }
  Node* container = box->node;
  const double k = policy.InteriorScale(container);
  const double sx = SaneMapValue(container->GetDouble("MapScrollX"), kMaxMapCoordinate);
  const double sy = SaneMapValue(container->GetDouble("MapScrollY"), kMaxMapCoordinate);
  const SRect& f = box->frame;
  target.container = container;
  target.position.x = (static_cast<double>(p.x) - f.left - Width(f) / 2) * k / scale + sx;
  target.position.y = (static_cast<double>(p.y) - f.top - Height(f) / 2) * k / scale + sy;
  return target;
}

Node* DropNote(const MapLayoutPolicy& policy, const LayoutMap& map, Node* map_container, Node* note,
               double scale, ViewPoint p, DropMode mode, DropAs as) {
  if (note == nullptr || map_container == nullptr) {
    return nullptr;
  }
  return DropNoteAt(note, FindDropTarget(policy, map, map_container, note, scale, p, mode), as);
}

Node* DropNoteAt(Node* note, const DropTarget& target, DropAs as) {
  if (note == nullptr || target.container == nullptr) {
    return nullptr;
  }
  Hypertext* doc = note->GetHypertext();
  if (!doc->CanEdit()) {
    return nullptr;
  }
  if (as == DropAs::kAlias) {
    // An alias has no children, so it may stand inside its own original.
    auto action = std::make_unique<AliasCreateAction>(note, target.container, target.position);
    AliasCreateAction* raw = action.get();
    return doc->PostAction(std::move(action)) ? raw->Alias() : nullptr;
  }
  if (target.container->IsDescendedFrom(note)) {
    return nullptr;
  }
  if (as == DropAs::kCopy) {
    auto action = std::make_unique<CopyDropAction>(note, target.container, target.position);
    CopyDropAction* raw = action.get();
    return doc->PostAction(std::move(action)) ? raw->Copy() : nullptr;
  }
  Node* elder = target.container->YoungestSon();
  if (elder == note) {
    elder = note->ElderBrother();
  }
  auto action = std::make_unique<NodeMoveAction>(note, target.container, elder, target.position);
  return doc->PostAction(std::move(action)) ? note : nullptr;
}

ViewPoint SnapToHalfUnits(ViewPoint p, double scale) {
  if (!(scale > 0)) {
    return p;
  }
  auto snap = [scale](int32_t v) { return ClampPixel(std::round(2.0 * v / scale) * 0.5 * scale); };
  return ViewPoint{snap(p.x), snap(p.y)};
}

SRect AdjustResizeFrame(const SRect& frame, int handle, ViewPoint p) {
  SRect r = frame;
  const bool left = handle == 1 || handle == 2 || handle == 3;
  const bool right = handle == 5 || handle == 6 || handle == 7;
  const bool top = handle == 1 || handle == 7 || handle == 8;
  const bool bottom = handle == 3 || handle == 4 || handle == 5;
  if (left) r.left = p.x;
  if (right) r.right = p.x;
  if (top) r.top = p.y;
  if (bottom) r.bottom = p.y;
  return Normalized(r);
}

MapGeometry FrameToGeometry(const SRect& frame, double scale) {
  if (!(scale > 0)) {
    return MapGeometry{};
  }
  auto half_units = [scale](double pixels) { return std::round(2.0 * pixels / scale) * 0.5; };
  MapGeometry g;
  g.x = half_units(frame.left);
  g.y = half_units(frame.top);
  g.width = std::max(0.0, half_units(Width(frame)));
  g.height = std::max(0.0, half_units(Height(frame)));
  if (g.width == 0 && g.height == 0) {
    g.width = 0.5;
    g.height = 0.5;
  }
  return g;
}

ResizeSession::ResizeSession(Node* note, const SRect& frame, int handle, double scale)
    : note_(RequireNotNull(note, "ResizeSession: no note")),
      frame_(frame),
      handle_(handle),
      scale_(scale),
      before_(ReadGeometry(note)),
      now_(before_) {
  Require(handle >= 1 && handle <= 8, "ResizeSession: no such handle");
}

ResizeSession::~ResizeSession() {
  if (!finished_) {
    WriteGeometry(note_, before_);
  }
}

void ResizeSession::Drag(ViewPoint mouse) {
  const SRect r = AdjustResizeFrame(frame_, handle_, SnapToHalfUnits(mouse, scale_));
  const MapGeometry g = FrameToGeometry(r, scale_);
  // Only the sides the handle owns move, so the others keep their exact values.
  const bool moves_left = handle_ <= 3;
  const bool moves_top = handle_ == 1 || handle_ == 7 || handle_ == 8;
  MapGeometry next = now_;
  next.width = (handle_ == 4 || handle_ == 8) ? before_.width : g.width;
  next.height = (handle_ == 2 || handle_ == 6) ? before_.height : g.height;
  if (moves_left) next.x = g.x;
  if (moves_top) next.y = g.y;
  WriteGeometry(note_, next);
  now_ = next;
}

bool ResizeSession::Finish() {
  finished_ = true;
  if (now_.x == before_.x && now_.y == before_.y && now_.width == before_.width &&
      now_.height == before_.height) {
    return false;
  }
  auto action = std::make_unique<MapGeometryAction>(
      note_, std::vector<std::pair<std::string, double>>{
                 {"Xpos", now_.x}, {"Ypos", now_.y}, {"Width", now_.width}, {"Height", now_.height}});
  action->SetOldValues(before_);
  return note_->GetHypertext()->PostAction(std::move(action));
}

PanSession::PanSession(const MapLayoutPolicy& policy, Node* container, ViewPoint start,
                       double scale)
    : container_(RequireNotNull(container, "PanSession: no container")),
      start_(start),
      scale_(scale),
      k_(policy.InteriorScale(container)),
      scroll_x_(SaneMapValue(container->GetDouble("MapScrollX"), kMaxMapCoordinate)),
      scroll_y_(SaneMapValue(container->GetDouble("MapScrollY"), kMaxMapCoordinate)) {}

void PanSession::Drag(ViewPoint mouse) {
  if (!(scale_ > 0)) {
    return;
  }
  const double x = scroll_x_ + k_ * (static_cast<double>(start_.x) - mouse.x) / scale_;
  const double y = scroll_y_ + k_ * (static_cast<double>(start_.y) - mouse.y) / scale_;
  container_->SetDouble("MapScrollX", SaneMapValue(x, kMaxMapCoordinate));
  container_->SetDouble("MapScrollY", SaneMapValue(y, kMaxMapCoordinate));
}

int SelectWithin(const LayoutMap& map, Hypertext* doc, const SRect& rect, bool extend) {
  if (!extend) {
    std::vector<Node*> selected(doc->Selection().begin(), doc->Selection().end());
    for (Node* n : selected) {
      n->Select(false);
    }
  }
  const SRect area = Normalized(rect);
  int count = 0;
  for (LayoutInfo* r : map.Records()) {
    Node* n = r->node;
    if (n->IsHidden() || !r->visible || r->inside || n->GetBoolean("Lock") ||
        !Touches(r->frame, area)) {
      continue;
    }
    n->Select(true);
    ++count;
  }
  return count;
}

}  // namespace fernweave
