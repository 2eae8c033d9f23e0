// One window per open document: the outline of the whole document on the left (with
// the Find box below it), the map of the selected container in the middle, the selected
// note's text and key attributes on the right; the menus and shortcuts of the window's
// commands; the idle timer that runs the document's agents and rules; the progress bar.
// The logic behind every command lives in desktop/ (document_session.h,
// document_commands.h); this class turns widgets' events into those calls and shows
// the result.

#ifndef FERNWEAVE_DESKTOP_GTK_DOCUMENT_WINDOW_H_
#define FERNWEAVE_DESKTOP_GTK_DOCUMENT_WINDOW_H_

#include <gtkmm.h>

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "desktop/document_commands.h"
#include "desktop/document_session.h"
#include "desktop/gtk/map_area.h"
#include "desktop/gtk/note_pane.h"
#include "desktop/window_services.h"

namespace fernweave {

class DocumentWindow : public Gtk::ApplicationWindow, public ProgressSink {
 public:
  explicit DocumentWindow(std::unique_ptr<DocumentSession> session);
  ~DocumentWindow() override;

  DocumentSession& session() { return *session_; }
  MapArea& map_area() { return map_; }
  NotePane& note_pane() { return note_pane_; }
  Gtk::TreeView& outline() { return outline_; }
  // What the Find box shows: the number of matches listed and its message line.
  size_t find_match_count() const { return find_ids_.size(); }
  std::string find_message() const { return find_message_.get_text().raw(); }
  // The centre of the note's row in the outline's coordinates, when the row is shown.
  std::optional<std::pair<double, double>> OutlineRowCenter(const Node* note);

  // After anything changed the model or the selection: every pane, the title and the
  // commands' labels and states are brought up to date.
  void AfterChange();
  // Saves; asks for a file when the document has none. `done` (may be empty) hears
  // whether it was saved.
  void SaveThen(std::function<void(bool)> done);

  // ProgressSink: the bar at the bottom of the window.
  void ShowProgress(const std::string& title, double fraction) override;
  void HideProgress() override;
  // Asks the long work under way to stop (the progress bar's Cancel, Escape).
  void CancelWork();

 private:
  class ChangeListener;

  void BuildActions();
  void BuildMenu();
  void BuildOutline();
  void BuildFindBox();
  void ApplySavedLayout();
  void RebuildOutline();
  void RebuildTrail();
  void SelectOutlineRow(const Node* note);
  void OnOutlineSelectionChanged();
  void OnOutlineRenamed(const Glib::ustring& path, const Glib::ustring& text);
  // Moves the note with that id to where a drop at (x, y) on the outline points.
  bool DropOutlineRow(uint32_t id, double x, double y);
  void ScheduleRefresh();
  bool OnIdleTick();
  bool OnCloseRequest();
  void RefreshCommands();
  void Command(const std::function<void()>& work);
  // A key pressed in the outline (`outline`) or on the map; true when it was a command.
  bool OnPaneKey(guint keyval, Gdk::ModifierType state, bool outline);
  void ShowFind();
  void RunFind();
  void AskExplode();
  void AskExportFolder();
  void AskSaveAs(std::function<void(bool)> done);
  void AskRevert();
  ShellAnswer AskShell(const std::string& command);

  std::unique_ptr<DocumentSession> session_;
  std::unique_ptr<ChangeListener> listener_;
  bool closing_confirmed_ = false;
  bool refresh_pending_ = false;
  bool updating_outline_ = false;
  bool working_ = false;  // long work is showing its progress

  Gtk::Box root_box_{Gtk::Orientation::VERTICAL};
  Gtk::Paned outer_{Gtk::Orientation::HORIZONTAL};
  Gtk::Paned inner_{Gtk::Orientation::HORIZONTAL};
  Gtk::Box left_{Gtk::Orientation::VERTICAL, 4};
  Gtk::ScrolledWindow outline_scroll_;
  Gtk::TreeView outline_;
  Glib::RefPtr<Gtk::TreeStore> outline_store_;
  Gtk::TreeModelColumnRecord columns_;
  Gtk::TreeModelColumn<guint> col_id_;
  Gtk::TreeModelColumn<Glib::ustring> col_swatch_;
  Gtk::TreeModelColumn<Gdk::RGBA> col_color_;
  Gtk::TreeModelColumn<Glib::ustring> col_badge_;
  Gtk::TreeModelColumn<Glib::ustring> col_name_;
  Gtk::TreeModelColumn<Pango::Style> col_style_;
  Gtk::Entry find_entry_;
  Gtk::Label find_message_;
  Gtk::ScrolledWindow find_scroll_;
  Gtk::ListBox find_results_;
  std::vector<uint32_t> find_ids_;
  Gtk::Box middle_{Gtk::Orientation::VERTICAL};
  Gtk::Box crumbs_{Gtk::Orientation::HORIZONTAL, 4};
  Gtk::Button up_button_;
  Gtk::Box trail_{Gtk::Orientation::HORIZONTAL, 2};
  std::vector<std::pair<uint32_t, std::string>> trail_steps_;
  MapArea map_;
  NotePane note_pane_;
  Gtk::Box status_{Gtk::Orientation::HORIZONTAL, 6};
  Gtk::Label progress_label_;
  Gtk::ProgressBar progress_;
  Gtk::Button cancel_button_;

  Glib::RefPtr<Gio::Menu> edit_section_;
  std::string undo_text_;
  std::string redo_text_;
  sigc::connection idle_timer_;
  sigc::connection refresh_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_GTK_DOCUMENT_WINDOW_H_
