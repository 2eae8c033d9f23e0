#include "desktop/gtk/document_window.h"

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>

#include "foundation/error.h"
#include "foundation/user_messages.h"
#include "model/change.h"
#include "model/ht_path.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"
#include "model/orvex.h"

namespace fernweave {

// Hears every change of the document (the user's, agents' and rules') and has the
// window brought up to date once the current event is handled.
class DocumentWindow::ChangeListener : public Changeable {
 public:
  explicit ChangeListener(DocumentWindow* window) : window_(window) {}
  void NoteChanged(const Node*, uint32_t) override { window_->ScheduleRefresh(); }
  void DocumentChanged() override { window_->ScheduleRefresh(); }

 private:
  DocumentWindow* window_;
};

namespace {

Gdk::RGBA ColorOf(const Node* note) {
  Gdk::RGBA rgba;
  PColor color;
  const auto* orvex = dynamic_cast<const Orvex*>(note->GetHypertext());
  const std::string text = note->GetString("Color");
  if (color.FromString(text) || (orvex != nullptr && orvex->Colors().Resolve(text, &color))) {
    rgba.set_rgba(color.red / 65535.0, color.green / 65535.0, color.blue / 65535.0);
  } else {
    rgba.set_rgba(0.6, 0.6, 0.6);
  }
  return rgba;
}

}  // namespace

DocumentWindow::DocumentWindow(std::unique_ptr<DocumentSession> session)
    : session_(std::move(session)), listener_(std::make_unique<ChangeListener>(this)) {
  set_default_size(1100, 700);
  session_->hypertext()->AddView(listener_.get());
  session_->SetReplacedListener([this] {
    // The old model is gone: listen to the new one and show it from its root.
    session_->hypertext()->AddView(listener_.get());
    map_.SetSession(session_.get());
    note_pane_.SetSession(session_.get());
    RebuildOutline();
  });
  session_->shell().SetAsker([this](const std::string& command) { return AskShell(command); });

  columns_.add(col_id_);
  columns_.add(col_swatch_);
  columns_.add(col_color_);
  columns_.add(col_badge_);
  columns_.add(col_name_);
  columns_.add(col_style_);

  BuildActions();
  BuildMenu();
  BuildOutline();
  BuildFindBox();

  up_button_.set_icon_name("go-up-symbolic");
  up_button_.set_tooltip_text("Show the map of the container above (Backspace)");
  up_button_.signal_clicked().connect([this] { Command([this] { session_->selection().GoUp(); }); });
  crumbs_.append(up_button_);
  crumbs_.append(trail_);
  crumbs_.set_margin(4);
  middle_.append(crumbs_);
  middle_.append(map_);
  map_.signal_selection_changed().connect([this] { AfterChange(); });
  map_.signal_model_changed().connect([this] { AfterChange(); });
  map_.signal_note_created().connect([this](Node*) { note_pane_.StartRenaming(); });
  auto map_keys = Gtk::EventControllerKey::create();
  map_keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType state) {
        return OnPaneKey(keyval, state, false);
      },
      false);
  map_.add_controller(map_keys);
  note_pane_.signal_model_changed().connect([this] { AfterChange(); });

  left_.append(outline_scroll_);
  left_.append(find_entry_);
  left_.append(find_message_);
  left_.append(find_scroll_);
  outer_.set_start_child(left_);
  outer_.set_end_child(inner_);
  outer_.set_position(260);
  inner_.set_start_child(middle_);
  inner_.set_end_child(note_pane_);
  inner_.set_position(540);
  inner_.set_resize_end_child(false);
  outer_.set_vexpand(true);

  progress_label_.set_xalign(0);
  progress_.set_hexpand(true);
  cancel_button_.set_label("Cancel");
  cancel_button_.set_tooltip_text("Stop the work (Escape)");
  cancel_button_.signal_clicked().connect([this] { CancelWork(); });
  status_.append(progress_label_);
  status_.append(progress_);
  status_.append(cancel_button_);
  status_.set_margin(4);
  status_.set_visible(false);

  root_box_.append(outer_);
  root_box_.append(status_);
  set_child(root_box_);

  // Every key press in the window tells the idle task, so rules wait while the user
  // types.
  auto keys = Gtk::EventControllerKey::create();
  keys->set_propagation_phase(Gtk::PropagationPhase::CAPTURE);
  keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType) {
        if (working_) {
          if (keyval == GDK_KEY_Escape) {
            CancelWork();
          }
          return true;
        }
        session_->KeyPressed();
        return false;
      },
      false);
  add_controller(keys);

  signal_close_request().connect(sigc::mem_fun(*this, &DocumentWindow::OnCloseRequest), false);
  idle_timer_ =
      Glib::signal_timeout().connect(sigc::mem_fun(*this, &DocumentWindow::OnIdleTick), 17);

  map_.SetSession(session_.get());
  note_pane_.SetSession(session_.get());
  ApplySavedLayout();
  session_->SetLayoutSource([this] {
    return WindowLayout{.width = get_width(),
                        .height = get_height(),
                        .outline_width = outer_.get_position(),
                        .map_width = inner_.get_position(),
                        .zoom = map_.zoom()};
  });
  RebuildOutline();
  AfterChange();
}

// The window reopens as it was left: its size, the panes' dividers and the map's zoom
// come from the document's saved window where it has one.
void DocumentWindow::ApplySavedLayout() {
  const std::optional<WindowLayout>& layout = session_->saved_layout();
  if (!layout) {
    return;
  }
  if (layout->width > 0 && layout->height > 0) {
    set_default_size(layout->width, layout->height);
  }
  if (layout->outline_width > 0) {
    outer_.set_position(layout->outline_width);
  }
  if (layout->map_width > 0) {
    inner_.set_position(layout->map_width);
  }
  map_.SetZoom(layout->zoom);
}

DocumentWindow::~DocumentWindow() {
  session_->SetLayoutSource(nullptr);
  idle_timer_.disconnect();
  refresh_.disconnect();
  session_->shell().SetAsker(nullptr);
  session_->hypertext()->RemoveView(listener_.get());
  map_.SetSession(nullptr);
  note_pane_.SetSession(nullptr);
}

// --- Commands -------------------------------------------------------------------

void DocumentWindow::Command(const std::function<void()>& work) {
  if (working_) {
    return;  // a shortcut pressed while long work shows its progress
  }
  note_pane_.Commit();
  try {
    work();
  } catch (const Error& e) {
    // An internal error abandons the command, never the window.
    Warn("internal error " + e.ToString());
  }
  AfterChange();
}

// The keys the outline and the map share: Delete removes the selected note, Return makes
// a sibling, Backspace shows the map above. In the outline, Tab and Shift+Tab move the
// note in and out a level, as in any outliner.
bool DocumentWindow::OnPaneKey(guint keyval, Gdk::ModifierType state, bool outline) {
  const bool shift = (state & Gdk::ModifierType::SHIFT_MASK) == Gdk::ModifierType::SHIFT_MASK;
  switch (keyval) {
    case GDK_KEY_Delete:
      activate_action("win.delete-note");
      return true;
    case GDK_KEY_BackSpace:
      if (outline) {
        return false;
      }
      Command([this] { session_->selection().GoUp(); });
      return true;
    case GDK_KEY_Return:
      if (session_->selection().Primary() == nullptr) {
        return false;
      }
      activate_action("win.new-note");
      return true;
    case GDK_KEY_Tab:
    case GDK_KEY_ISO_Left_Tab:
      if (!outline || session_->selection().Primary() == nullptr) {
        return false;
      }
      activate_action(shift || keyval == GDK_KEY_ISO_Left_Tab ? "win.outdent" : "win.indent");
      return true;
    default:
      return false;
  }
}

void DocumentWindow::BuildActions() {
  auto add = [this](const char* name, std::function<void()> work) {
    add_action(name, [this, work] { Command(work); });
  };
  add("save", [this] { SaveThen(nullptr); });
  add("save-as", [this] { AskSaveAs(nullptr); });
  add("revert", [this] { AskRevert(); });
  add_action("close", [this] { close(); });
  // In the text, Undo and Redo act on the typing first, as in any text editor.
  add("undo", [this] {
    if (!note_pane_.UndoTyping(false)) {
      session_->Undo();
    }
  });
  add("redo", [this] {
    if (!note_pane_.UndoTyping(true)) {
      session_->Redo();
    }
  });
  add_action("new-note", [this] {
    Node* made = nullptr;
    Command([&] { made = NewNote(*session_); });
    if (made != nullptr) {
      note_pane_.StartRenaming();
    }
  });
  add("delete-note", [this] { DeleteSelected(*session_); });
  add("make-alias", [this] { MakeAliasOfSelected(*session_); });
  add("duplicate", [this] { DuplicateSelected(*session_); });
  add("indent", [this] { IndentSelected(*session_); });
  add("outdent", [this] { OutdentSelected(*session_); });
  add("find", [this] { ShowFind(); });
  add("update-agents", [this] { UpdateAgentsNow(*session_); });
  add("export", [this] { AskExportFolder(); });
  add("explode", [this] { AskExplode(); });
  add("zoom-in", [this] { map_.Zoom(1); });
  add("zoom-out", [this] { map_.Zoom(-1); });
  add("zoom-actual", [this] { map_.Zoom(0); });
  add("go-up", [this] { session_->selection().GoUp(); });
}

void DocumentWindow::BuildMenu() {
  auto bar = Gio::Menu::create();
  auto file = Gio::Menu::create();
  auto file_a = Gio::Menu::create();
  file_a->append("New", "app.new");
  file_a->append("Open…", "app.open");
  file->append_section(file_a);
  auto file_b = Gio::Menu::create();
  file_b->append("Save", "win.save");
  file_b->append("Save As…", "win.save-as");
  file_b->append("Revert", "win.revert");
  file_b->append("Export…", "win.export");
  file->append_section(file_b);
  auto file_c = Gio::Menu::create();
  file_c->append("Close", "win.close");
  file_c->append("Quit", "app.quit");
  file->append_section(file_c);
  bar->append_submenu("File", file);

  auto edit = Gio::Menu::create();
  edit_section_ = Gio::Menu::create();
  edit->append_section(edit_section_);
  auto edit_b = Gio::Menu::create();
  edit_b->append("Find…", "win.find");
  edit->append_section(edit_b);
  bar->append_submenu("Edit", edit);

  auto note = Gio::Menu::create();
  note->append("New Note", "win.new-note");
  note->append("Delete", "win.delete-note");
  note->append("Make Alias", "win.make-alias");
  note->append("Duplicate", "win.duplicate");
  note->append("Indent", "win.indent");
  note->append("Outdent", "win.outdent");
  note->append("Explode…", "win.explode");
  note->append("Update Agents", "win.update-agents");
  bar->append_submenu("Note", note);

  auto view = Gio::Menu::create();
  view->append("Zoom In", "win.zoom-in");
  view->append("Zoom Out", "win.zoom-out");
  view->append("Actual Size", "win.zoom-actual");
  view->append("Up", "win.go-up");
  bar->append_submenu("View", view);

  auto* menubar = Gtk::make_managed<Gtk::PopoverMenuBar>(bar);
  root_box_.append(*menubar);
}

void DocumentWindow::RefreshCommands() {
  const CommandState state = CommandStateOf(*session_);
  auto enable = [this](const char* name, bool on) {
    if (auto action = std::dynamic_pointer_cast<Gio::SimpleAction>(lookup_action(name))) {
      action->set_enabled(on);
    }
  };
  enable("undo", state.undo);
  enable("redo", state.redo);
  enable("revert", state.revert);
  enable("new-note", state.new_note);
  enable("delete-note", state.delete_note);
  enable("make-alias", state.make_alias);
  enable("duplicate", state.duplicate);
  enable("indent", state.indent);
  enable("outdent", state.outdent);
  enable("explode", state.explode);
  enable("go-up", state.go_up);
  up_button_.set_sensitive(state.go_up);
  const std::string undo = session_->UndoItemText();
  const std::string redo = session_->RedoItemText();
  if (undo != undo_text_ || redo != redo_text_ || edit_section_->get_n_items() == 0) {
    undo_text_ = undo;
    redo_text_ = redo;
    edit_section_->remove_all();
    edit_section_->append(undo, "win.undo");
    edit_section_->append(redo, "win.redo");
  }
}

void DocumentWindow::AfterChange() {
  set_title(session_->Title());
  RebuildTrail();
  RebuildOutline();
  map_.Refresh();
  note_pane_.ShowSelected();
  RefreshCommands();
}

// The breadcrumb above the map: the document, then each container down to the one the
// map shows. A click on a step shows that container's map. It is rebuilt only when a
// step changed, and a click acts once the click's own handling is over, since the
// rebuild takes the clicked button away.
void DocumentWindow::RebuildTrail() {
  std::vector<std::pair<uint32_t, std::string>> steps;
  for (Node* n = session_->selection().MapContainer(); n != nullptr; n = n->Father()) {
    steps.emplace_back(n->GetID().id(), n->Father() == nullptr ? session_->doc().Name()
                                                               : n->DisplayName());
  }
  std::reverse(steps.begin(), steps.end());
  if (steps == trail_steps_) {
    return;
  }
  trail_steps_ = steps;
  while (Gtk::Widget* child = trail_.get_first_child()) {
    trail_.remove(*child);
  }
  for (size_t i = 0; i < steps.size(); ++i) {
    if (i > 0) {
      trail_.append(*Gtk::make_managed<Gtk::Label>("\u203a"));
    }
    if (i + 1 == steps.size()) {
      auto* here = Gtk::make_managed<Gtk::Label>();
      here->set_markup("<b>" + Glib::Markup::escape_text(steps[i].second) + "</b>");
      trail_.append(*here);
      break;
    }
    auto* step = Gtk::make_managed<Gtk::Button>(steps[i].second);
    step->set_has_frame(false);
    const uint32_t id = steps[i].first;
    step->signal_clicked().connect([this, id] {
      Glib::signal_idle().connect_once(sigc::track_obj(
          [this, id] {
            Command([this, id] {
              session_->selection().ShowMap(session_->hypertext()->FindNode(id));
            });
          },
          *this));
    });
    trail_.append(*step);
  }
}

void DocumentWindow::ScheduleRefresh() {
  if (refresh_pending_) {
    return;
  }
  refresh_pending_ = true;
  refresh_ = Glib::signal_idle().connect([this] {
    refresh_pending_ = false;
    // While the user edits the note pane, its fields are left alone.
    // (An entry's focus lies on its inner text widget, hence the ancestor test.)
    Gtk::Widget* focus = get_focus();
    const bool editing = focus != nullptr && focus->is_ancestor(note_pane_);
    set_title(session_->Title());
    RebuildOutline();
    map_.Refresh();
    if (!editing) {
      note_pane_.ShowSelected();
    }
    RefreshCommands();
    return false;
  });
}

bool DocumentWindow::OnIdleTick() {
  if (working_) {
    return true;
  }
  try {
    session_->Idle();
  } catch (const Error& e) {
    Warn("internal error " + e.ToString());
  }
  return true;
}

// --- Outline --------------------------------------------------------------------

void DocumentWindow::BuildOutline() {
  outline_store_ = Gtk::TreeStore::create(columns_);
  outline_.set_model(outline_store_);
  outline_.set_headers_visible(false);
  outline_.set_enable_search(false);

  auto* swatch = Gtk::make_managed<Gtk::CellRendererText>();
  auto* swatch_column = Gtk::make_managed<Gtk::TreeViewColumn>("", *swatch);
  swatch_column->add_attribute(swatch->property_text(), col_swatch_);
  swatch_column->add_attribute(swatch->property_foreground_rgba(), col_color_);
  auto* badge = Gtk::make_managed<Gtk::CellRendererText>();
  swatch_column->pack_start(*badge, false);
  swatch_column->add_attribute(badge->property_text(), col_badge_);
  outline_.append_column(*swatch_column);

  auto* name = Gtk::make_managed<Gtk::CellRendererText>();
  name->property_editable() = true;
  name->signal_edited().connect(sigc::mem_fun(*this, &DocumentWindow::OnOutlineRenamed));
  auto* name_column = Gtk::make_managed<Gtk::TreeViewColumn>("Name", *name);
  name_column->add_attribute(name->property_text(), col_name_);
  name_column->add_attribute(name->property_style(), col_style_);
  outline_.append_column(*name_column);

  outline_.get_selection()->signal_changed().connect(
      sigc::mem_fun(*this, &DocumentWindow::OnOutlineSelectionChanged));
  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this, name_column](guint keyval, guint, Gdk::ModifierType state) {
        Gtk::TreeModel::Path path;
        Gtk::TreeViewColumn* column = nullptr;
        outline_.get_cursor(path, column);
        if (keyval == GDK_KEY_F2 && !path.empty()) {
          outline_.set_cursor(path, *name_column, true);
          return true;
        }
        return OnPaneKey(keyval, state, true);
      },
      false);
  outline_.add_controller(keys);

  // Drag a row onto another to move the note before or after it, or into it.
  auto source = Gtk::DragSource::create();
  source->set_actions(Gdk::DragAction::MOVE);
  source->signal_prepare().connect(
      [this](double x, double y) -> Glib::RefPtr<Gdk::ContentProvider> {
        int bx = 0;
        int by = 0;
        outline_.convert_widget_to_bin_window_coords(static_cast<int>(x), static_cast<int>(y),
                                                     bx, by);
        Gtk::TreeModel::Path path;
        Gtk::TreeViewColumn* column = nullptr;
        int cell_x = 0;
        int cell_y = 0;
        if (!outline_.get_path_at_pos(bx, by, path, column, cell_x, cell_y)) {
          return {};
        }
        Glib::Value<Glib::ustring> value;
        value.init(value.value_type());
        value.set(std::to_string(outline_store_->get_iter(path)->get_value(col_id_)));
        return Gdk::ContentProvider::create(value);
      },
      false);
  outline_.add_controller(source);
  auto target =
      Gtk::DropTarget::create(Glib::Value<Glib::ustring>::value_type(), Gdk::DragAction::MOVE);
  target->signal_drop().connect(
      [this](const Glib::ValueBase& value, double x, double y) {
        Glib::Value<Glib::ustring> text;
        text.init(value.gobj());
        return DropOutlineRow(std::strtoul(text.get().c_str(), nullptr, 10), x, y);
      },
      false);
  outline_.add_controller(target);
  outline_scroll_.set_child(outline_);
  outline_scroll_.set_vexpand(true);
}

void DocumentWindow::RebuildOutline() {
  updating_outline_ = true;
  // Expanded rows are kept by note id across the rebuild.
  std::set<guint> expanded;
  outline_store_->foreach_path([&](const Gtk::TreeModel::Path& path) {
    if (outline_.row_expanded(path)) {
      expanded.insert(outline_store_->get_iter(path)->get_value(col_id_));
    }
    return false;
  });
  outline_store_->clear();
  struct Pending {
    Node* note;
    Gtk::TreeModel::iterator parent;
    bool top;
  };
  std::vector<Pending> stack;
  Node* root = session_->hypertext()->Root();
  // Children are pushed youngest first so that they come off the stack in order.
  auto push_children = [&stack](Node* parent, Gtk::TreeModel::iterator row, bool top) {
    std::vector<Node*> children;
    for (Node* c = parent->Son(); c != nullptr; c = c->Brother()) {
      children.push_back(c);
    }
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      stack.push_back(Pending{*it, row, top});
    }
  };
  push_children(root, Gtk::TreeModel::iterator(), true);
  while (!stack.empty()) {
    const Pending item = stack.back();
    stack.pop_back();
    Gtk::TreeModel::iterator row =
        item.top ? outline_store_->append() : outline_store_->append(item.parent->children());
    Node* note = item.note;
    (*row)[col_id_] = note->GetID().id();
    (*row)[col_swatch_] = "\u25A0";
    (*row)[col_color_] = ColorOf(note);
    (*row)[col_badge_] = note->IsAgent() ? "\u2699" : (note->IsAdornment() ? "\u25AD" : "");
    (*row)[col_name_] = note->Name();
    (*row)[col_style_] = note->IsAlias() ? Pango::Style::ITALIC : Pango::Style::NORMAL;
    push_children(note, row, false);
  }
  outline_store_->foreach_iter([&](const Gtk::TreeModel::iterator& it) {
    if (expanded.count(it->get_value(col_id_)) != 0) {
      outline_.expand_row(outline_store_->get_path(it), false);
    }
    return false;
  });
  Node* primary = session_->selection().Primary();
  SelectOutlineRow(primary != nullptr ? primary : nullptr);
  updating_outline_ = false;
}

bool DocumentWindow::DropOutlineRow(uint32_t id, double x, double y) {
  Hypertext* ht = session_->hypertext();
  Node* note = ht->FindNode(id);
  if (note == nullptr || note->IsHidden() || !note->CanBeDeleted()) {
    return false;
  }
  Gtk::TreeModel::Path path;
  Gtk::TreeView::DropPosition position = Gtk::TreeView::DropPosition::AFTER;
  Node* parent = ht->Root();
  Node* elder = parent->YoungestSon();
  if (outline_.get_dest_row_at_pos(static_cast<int>(x), static_cast<int>(y), path, position)) {
    Node* over = ht->FindNode(outline_store_->get_iter(path)->get_value(col_id_));
    if (over == nullptr) {
      return false;
    }
    switch (position) {
      case Gtk::TreeView::DropPosition::BEFORE:
        parent = over->Father();
        elder = over->ElderBrother();
        break;
      case Gtk::TreeView::DropPosition::AFTER:
        parent = over->Father();
        elder = over;
        break;
      default:  // into the note, as its last child
        parent = over;
        elder = over->YoungestSon();
        break;
    }
  }
  if (elder == note) {
    elder = note->ElderBrother();  // after itself: where it is
  }
  bool moved = false;
  Command([&] {
    // A move into the note's own subtree is refused by the action.
    moved = ht->PostAction(std::make_unique<NodeMoveAction>(note, parent, elder));
    if (moved) {
      session_->selection().Select(note);
    }
  });
  return moved;
}

std::optional<std::pair<double, double>> DocumentWindow::OutlineRowCenter(const Node* note) {
  std::optional<std::pair<double, double>> center;
  if (note == nullptr) {
    return center;
  }
  const guint id = note->GetID().id();
  outline_store_->foreach_iter([&](const Gtk::TreeModel::iterator& it) {
    if (it->get_value(col_id_) != id) {
      return false;
    }
    Gdk::Rectangle area;
    outline_.get_cell_area(outline_store_->get_path(it), *outline_.get_column(1), area);
    int x = 0;
    int y = 0;
    outline_.convert_bin_window_to_widget_coords(area.get_x() + area.get_width() / 4,
                                                 area.get_y() + area.get_height() / 2, x, y);
    center = std::make_pair(x, y);
    return true;
  });
  return center;
}

void DocumentWindow::SelectOutlineRow(const Node* note) {
  const bool was = updating_outline_;
  updating_outline_ = true;
  outline_.get_selection()->unselect_all();
  if (note != nullptr) {
    const guint id = note->GetID().id();
    outline_store_->foreach_iter([&](const Gtk::TreeModel::iterator& it) {
      if (it->get_value(col_id_) != id) {
        return false;
      }
      const Gtk::TreeModel::Path path = outline_store_->get_path(it);
      outline_.expand_to_path(path);
      outline_.get_selection()->select(it);
      outline_.scroll_to_row(path);
      return true;
    });
  }
  updating_outline_ = was;
}

void DocumentWindow::OnOutlineSelectionChanged() {
  if (updating_outline_) {
    return;
  }
  Gtk::TreeModel::iterator it = outline_.get_selection()->get_selected();
  if (!it) {
    return;
  }
  Node* note = session_->hypertext()->FindNode(it->get_value(col_id_));
  if (note == nullptr || note == session_->selection().Primary()) {
    return;
  }
  note_pane_.Commit();
  session_->selection().Select(note);
  // Not the outline itself: rebuilding it here would pull the row out from under the
  // click that selected it.
  set_title(session_->Title());
  map_.Refresh();
  note_pane_.ShowSelected();
  RefreshCommands();
}

void DocumentWindow::OnOutlineRenamed(const Glib::ustring& path, const Glib::ustring& text) {
  Gtk::TreeModel::iterator it = outline_store_->get_iter(path);
  if (!it) {
    return;
  }
  Node* note = session_->hypertext()->FindNode(it->get_value(col_id_));
  if (note == nullptr || note->Name() == text.raw()) {
    return;
  }
  Command([&] { session_->hypertext()->PostAction(std::make_unique<RenameAction>(note, text.raw())); });
}

// --- Find -----------------------------------------------------------------------

void DocumentWindow::BuildFindBox() {
  find_entry_.set_placeholder_text("Find: a query, such as $Checked==true");
  find_entry_.signal_activate().connect([this] { RunFind(); });
  find_message_.set_xalign(0);
  find_message_.set_wrap(true);
  find_message_.set_visible(false);
  find_results_.set_selection_mode(Gtk::SelectionMode::SINGLE);
  find_results_.signal_row_selected().connect([this](Gtk::ListBoxRow* row) {
    if (row == nullptr) {
      return;
    }
    const size_t index = static_cast<size_t>(row->get_index());
    Node* note = index < find_ids_.size() ? session_->hypertext()->FindNode(find_ids_[index])
                                          : nullptr;
    if (note != nullptr && !note->IsHidden()) {
      Command([&] { session_->selection().Select(note); });
    }
  });
  find_scroll_.set_child(find_results_);
  find_scroll_.set_min_content_height(120);
  find_scroll_.set_visible(false);
}

void DocumentWindow::ShowFind() {
  find_entry_.grab_focus();
}

void DocumentWindow::RunFind() {
  const FindOutcome outcome = Find(*session_, find_entry_.get_text().raw());
  while (Gtk::Widget* child = find_results_.get_first_child()) {
    find_results_.remove(*child);
  }
  find_ids_.clear();
  find_message_.set_visible(true);
  if (!outcome.valid) {
    find_message_.set_text(outcome.error);
    find_scroll_.set_visible(false);
    return;
  }
  find_message_.set_text(std::to_string(outcome.matches.size()) +
                         (outcome.matches.size() == 1 ? " match" : " matches"));
  for (Node* n : outcome.matches) {
    auto* label = Gtk::make_managed<Gtk::Label>(SlashPath(n));
    label->set_xalign(0);
    find_results_.append(*label);
    find_ids_.push_back(n->GetID().id());
  }
  find_scroll_.set_visible(!outcome.matches.empty());
}

}  // namespace fernweave
