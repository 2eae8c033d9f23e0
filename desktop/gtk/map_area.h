// The map pane: the map of the window's current container, laid out and drawn by the
// views library through the Cairo drawing context, and the pointer gestures on it.
// Click selects (Shift or Ctrl adds), a drag moves a box (into a container's box when
// dropped on one), a selected box's handles resize it, a drag on empty ground pans,
// scrolling pans and Ctrl+scroll zooms, a double-click on empty ground makes a note
// there and a double-click on a container opens its map. Every change goes through the
// views library's undoable operations.

#ifndef FERNWEAVE_DESKTOP_GTK_MAP_AREA_H_
#define FERNWEAVE_DESKTOP_GTK_MAP_AREA_H_

#include <gtkmm.h>

#include <memory>
#include <optional>
#include <utility>

#include "app/cairo/cairo_draw_context.h"
#include "desktop/document_session.h"
#include "views/layout_map.h"
#include "views/map_interaction.h"
#include "views/map_layout_policy.h"

namespace fernweave {

class MapArea : public Gtk::DrawingArea {
 public:
  MapArea();
  ~MapArea() override;

  // Shows the session's map (borrowed; null detaches). Resets zoom and scrolling.
  void SetSession(DocumentSession* session);
  // Lays the map out again and redraws.
  void Refresh();
  // One zoom setting in (+1) or out (-1); 0 returns to the standard setting.
  void Zoom(int step);
  // Goes to a zoom setting (kept within the map's settings).
  void SetZoom(int setting);
  int zoom() const { return zoom_; }

  // The centre of the note's box in this widget's coordinates, when it has one.
  std::optional<std::pair<double, double>> CenterOf(const Node* note);

  // Something in the model changed through this pane (selection or notes): the window
  // refreshes the other panes.
  sigc::signal<void()>& signal_selection_changed() { return selection_changed_; }
  sigc::signal<void()>& signal_model_changed() { return model_changed_; }
  // A note was made by double-click: the window offers it for naming.
  sigc::signal<void(Node*)>& signal_note_created() { return note_created_; }

 private:
  enum class DragKind { kNone, kMove, kResize, kPan };

  void OnDraw(const Cairo::RefPtr<Cairo::Context>& cr, int width, int height);
  void OnPressed(int n_press, double x, double y);
  void OnDragBegin(double x, double y);
  void OnDragUpdate(double dx, double dy);
  void OnDragEnd(double dx, double dy);
  bool OnScroll(double dx, double dy);
  void Relayout();
  double Scale() const;
  ViewPoint ToView(double x, double y) const;
  Node* MoveTarget(const MapItem& item) const;

  DocumentSession* session_ = nullptr;
  OrvexMapLayoutPolicy policy_;
  PangoTextMeasurer measurer_;
  std::unique_ptr<LayoutMap> map_;
  int zoom_ = 5;
  double origin_x_ = 20;  // where the map's (0, 0) lies in the widget
  double origin_y_ = 20;

  Glib::RefPtr<Gtk::GestureClick> click_;
  Glib::RefPtr<Gtk::GestureDrag> drag_;
  Glib::RefPtr<Gtk::EventControllerScroll> scroll_;
  DragKind drag_kind_ = DragKind::kNone;
  uint32_t drag_note_id_ = 0;
  SRect drag_frame_;
  double drag_x_ = 0;
  double drag_y_ = 0;
  double drag_dx_ = 0;
  double drag_dy_ = 0;
  double pan_origin_x_ = 0;
  double pan_origin_y_ = 0;
  std::unique_ptr<ResizeSession> resize_;

  sigc::signal<void()> selection_changed_;
  sigc::signal<void()> model_changed_;
  sigc::signal<void(Node*)> note_created_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_GTK_MAP_AREA_H_
