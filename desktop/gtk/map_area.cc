#include "desktop/gtk/map_area.h"

#include <algorithm>
#include <cmath>

#include "model/hypertext.h"
#include "model/node.h"
#include "views/map_artist.h"
#include "views/map_drawing_policy.h"
#include "views/map_scale.h"

namespace fernweave {

MapArea::MapArea() : map_(std::make_unique<LayoutMap>()) {
  policy_.SetTextMeasurer(&measurer_);
  set_focusable(true);
  set_hexpand(true);
  set_vexpand(true);
  set_draw_func(sigc::mem_fun(*this, &MapArea::OnDraw));

  click_ = Gtk::GestureClick::create();
  click_->set_button(GDK_BUTTON_PRIMARY);
  click_->signal_pressed().connect(sigc::mem_fun(*this, &MapArea::OnPressed));
  add_controller(click_);

  drag_ = Gtk::GestureDrag::create();
  drag_->set_button(GDK_BUTTON_PRIMARY);
  drag_->signal_drag_begin().connect(sigc::mem_fun(*this, &MapArea::OnDragBegin));
  drag_->signal_drag_update().connect(sigc::mem_fun(*this, &MapArea::OnDragUpdate));
  drag_->signal_drag_end().connect(sigc::mem_fun(*this, &MapArea::OnDragEnd));
  add_controller(drag_);

  scroll_ = Gtk::EventControllerScroll::create();
  scroll_->set_flags(Gtk::EventControllerScroll::Flags::BOTH_AXES);
  scroll_->signal_scroll().connect(sigc::mem_fun(*this, &MapArea::OnScroll), false);
  add_controller(scroll_);
}

MapArea::~MapArea() = default;

void MapArea::SetSession(DocumentSession* session) {
  resize_.reset();
  drag_kind_ = DragKind::kNone;
  session_ = session;
  zoom_ = MapScale::kInitialSetting;
  origin_x_ = origin_y_ = 20;
  Refresh();
}

double MapArea::Scale() const {
  MapScale scale(&policy_);
  scale.Set(zoom_);
  return scale.Scale();
}

void MapArea::Relayout() {
  // A fresh map each time: records of notes an undo or an agent let go of must never be
  // looked at again.
  map_ = std::make_unique<LayoutMap>();
  if (session_ == nullptr) {
    return;
  }
  Node* container = session_->selection().MapContainer();
  if (container != nullptr) {
    LayOutView(&policy_, Scale(), container, map_.get(), SRect{});
  }
}

void MapArea::Refresh() {
  Relayout();
  queue_draw();
}

void MapArea::Zoom(int step) {
  zoom_ = step == 0 ? MapScale::kInitialSetting
                    : std::clamp(zoom_ + step, MapScale::kMinSetting, MapScale::kMaxSetting);
  Refresh();
}

void MapArea::SetZoom(int setting) {
  zoom_ = std::clamp(setting, MapScale::kMinSetting, MapScale::kMaxSetting);
  Refresh();
}

ViewPoint MapArea::ToView(double x, double y) const {
  return ViewPoint{static_cast<int32_t>(std::lround(x - origin_x_)),
                   static_cast<int32_t>(std::lround(y - origin_y_))};
}

std::optional<std::pair<double, double>> MapArea::CenterOf(const Node* note) {
  Relayout();
  const LayoutInfo* record = note != nullptr ? map_->Get(note) : nullptr;
  if (record == nullptr || !record->visible) {
    return std::nullopt;
  }
  return std::make_pair(origin_x_ + (record->frame.left + record->frame.right) / 2.0,
                        origin_y_ + (record->frame.top + record->frame.bottom) / 2.0);
}

void MapArea::OnDraw(const Cairo::RefPtr<Cairo::Context>& cr, int width, int height) {
  if (session_ == nullptr) {
    return;
  }
  Relayout();
  Node* container = session_->selection().MapContainer();
  const double scale = Scale();
  const DrawColor background = NoteColor(container, "MapBackgroundColor", DrawColor::Gray(1));
  cr->save();
  cr->set_source_rgb(background.red, background.green, background.blue);
  cr->paint();
  cr->translate(origin_x_, origin_y_);
  const SRect update{static_cast<int32_t>(-origin_x_), static_cast<int32_t>(-origin_y_),
                     static_cast<int32_t>(width - origin_x_),
                     static_cast<int32_t>(height - origin_y_)};
  {
    OrvexMapDrawingPolicy drawing(&policy_, &measurer_);
    PlainLinkPolicy links(policy_.ArrowSize());
    MapArtist artist(map_.get(), container, &policy_, &drawing, &links);
    artist.SetScale(scale);
    artist.SetBackgroundColor(background);
    artist.SetUseLayers(false);
    CairoDrawContext dc(cr->cobj());
    artist.Draw(&dc, update, update);
  }
  if (drag_kind_ == DragKind::kMove) {
    // Where the box would land.
    cr->set_source_rgba(0.2, 0.4, 0.9, 0.8);
    cr->set_line_width(1.5);
    std::vector<double> dashes{4.0, 3.0};
    cr->set_dash(dashes, 0);
    cr->rectangle(drag_frame_.left + drag_dx_, drag_frame_.top + drag_dy_,
                  drag_frame_.right - drag_frame_.left, drag_frame_.bottom - drag_frame_.top);
    cr->stroke();
  }
  cr->restore();
}

// The note a press on the item acts on: a note drawn inside a container's box stands
// for that container, which is what lies on this map.
Node* MapArea::MoveTarget(const MapItem& item) const {
  if (item.record == nullptr) {
    return nullptr;
  }
  Node* note = item.record->node;
  Node* container = session_->selection().MapContainer();
  while (note != nullptr && note->Father() != container) {
    note = note->Father();
  }
  return note;
}

void MapArea::OnPressed(int n_press, double x, double y) {
  if (session_ == nullptr) {
    return;
  }
  grab_focus();
  Relayout();
  const ViewPoint p = ToView(x, y);
  const MapItem item = HitTest(policy_, *map_, p);
  Node* note = MoveTarget(item);
  if (n_press == 2) {
    if (note == nullptr) {
      Node* container = session_->selection().MapContainer();
      Node* made = CreateNoteAt(policy_, *map_, container, Scale(), p);
      if (made != nullptr) {
        session_->selection().Select(made);
        Refresh();
        model_changed_.emit();
        note_created_.emit(made);
      }
    } else if (note->IsContainer() && item.part != MapPart::kResizeHandle) {
      session_->selection().ShowMap(note);
      origin_x_ = origin_y_ = 20;
      Refresh();
      selection_changed_.emit();
    }
    return;
  }
  if (n_press != 1 || item.part == MapPart::kResizeHandle) {
    return;
  }
  const Gdk::ModifierType state = click_->get_current_event_state();
  const bool extend = (state & (Gdk::ModifierType::SHIFT_MASK |
                                Gdk::ModifierType::CONTROL_MASK)) != Gdk::ModifierType{};
  if (note == nullptr) {
    if (!extend) {
      session_->selection().Clear();
    }
  } else if (extend) {
    session_->selection().Toggle(note);
  } else if (!session_->selection().IsSelected(note)) {
    session_->selection().Select(note);
  }
  queue_draw();
  selection_changed_.emit();
}

void MapArea::OnDragBegin(double x, double y) {
  drag_kind_ = DragKind::kNone;
  if (session_ == nullptr) {
    return;
  }
  Relayout();
  drag_x_ = x;
  drag_y_ = y;
  drag_dx_ = drag_dy_ = 0;
  const MapItem item = HitTest(policy_, *map_, ToView(x, y));
  if (item.part == MapPart::kResizeHandle && item.record != nullptr && !item.record->inside &&
      item.record->node->CanEdit()) {
    drag_kind_ = DragKind::kResize;
    resize_ = std::make_unique<ResizeSession>(item.record->node, item.record->frame, item.handle,
                                              Scale());
    return;
  }
  Node* note = MoveTarget(item);
  if (note != nullptr) {
    const LayoutInfo* record = map_->Get(note);
    if (record == nullptr) {
      return;
    }
    drag_kind_ = DragKind::kMove;
    drag_note_id_ = note->GetID().id();
    drag_frame_ = record->frame;
    return;
  }
  drag_kind_ = DragKind::kPan;
  pan_origin_x_ = origin_x_;
  pan_origin_y_ = origin_y_;
}

void MapArea::OnDragUpdate(double dx, double dy) {
  drag_dx_ = dx;
  drag_dy_ = dy;
  switch (drag_kind_) {
    case DragKind::kResize:
      resize_->Drag(ToView(drag_x_ + dx, drag_y_ + dy));
      Refresh();
      break;
    case DragKind::kMove:
      queue_draw();
      break;
    case DragKind::kPan:
      origin_x_ = pan_origin_x_ + dx;
      origin_y_ = pan_origin_y_ + dy;
      queue_draw();
      break;
    case DragKind::kNone:
      break;
  }
}

void MapArea::OnDragEnd(double dx, double dy) {
  const DragKind kind = drag_kind_;
  drag_kind_ = DragKind::kNone;
  if (session_ == nullptr) {
    return;
  }
  if (kind == DragKind::kResize) {
    resize_->Drag(ToView(drag_x_ + dx, drag_y_ + dy));
    resize_->Finish();
    resize_.reset();
    Refresh();
    model_changed_.emit();
    return;
  }
  if (kind != DragKind::kMove || (std::abs(dx) < 3 && std::abs(dy) < 3)) {
    queue_draw();
    return;
  }
  Relayout();
  Node* note = session_->hypertext()->FindNode(drag_note_id_);
  Node* container = session_->selection().MapContainer();
  if (note == nullptr || note->IsHidden() || note->Father() != container) {
    queue_draw();
    return;
  }
  // Dropped on another container's box: into it, where the pointer is. Otherwise the box
  // keeps where it was grabbed, moved by the drag.
  const ViewPoint pointer = ToView(drag_x_ + dx, drag_y_ + dy);
  Node* under = MoveTarget(HitTest(policy_, *map_, pointer));
  Node* moved = nullptr;
  if (under != nullptr && under != note && under->CanReceiveChildren() && !under->IsAlias()) {
    moved = DropNote(policy_, *map_, container, note, Scale(), pointer, DropMode::kIntoBox,
                     DropAs::kMove);
  } else {
    const ViewPoint corner{static_cast<int32_t>(std::lround(drag_frame_.left + dx)),
                           static_cast<int32_t>(std::lround(drag_frame_.top + dy))};
    moved = DropNote(policy_, *map_, container, note, Scale(), corner, DropMode::kOnMap,
                     DropAs::kMove);
  }
  if (moved != nullptr && moved->Father() == container) {
    session_->selection().Select(moved);
  }
  Refresh();
  model_changed_.emit();
}

bool MapArea::OnScroll(double dx, double dy) {
  const Gdk::ModifierType state = scroll_->get_current_event_state();
  if ((state & Gdk::ModifierType::CONTROL_MASK) != Gdk::ModifierType{}) {
    if (dy != 0) {
      Zoom(dy < 0 ? 1 : -1);
    }
    return true;
  }
  origin_x_ -= dx * 30;
  origin_y_ -= dy * 30;
  queue_draw();
  return true;
}

}  // namespace fernweave
