#include "desktop/gtk/note_pane.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>

#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/node_actions.h"

namespace fernweave {

struct NotePane::AttributeRow {
  KeyAttribute key;
  Gtk::Label label;
  Gtk::Entry entry;
  Gtk::CheckButton check;
  Gtk::Box color_box{Gtk::Orientation::HORIZONTAL, 4};
  Gtk::ColorButton color;
  Gtk::Label understood;
  Glib::RefPtr<Gtk::EventControllerFocus> focus;
  // Stores what was typed and not yet stored.
  std::function<void()> commit;
};

NotePane::NotePane() : Gtk::Box(Gtk::Orientation::VERTICAL, 6) {
  set_margin(6);
  name_.set_placeholder_text("Name");
  name_.signal_activate().connect(sigc::mem_fun(*this, &NotePane::OnRename));
  append(name_);

  buffer_ = Gtk::TextBuffer::create();
  buffer_->create_tag("bold")->property_weight() = static_cast<int>(Pango::Weight::BOLD);
  buffer_->create_tag("italic")->property_style() = Pango::Style::ITALIC;
  buffer_->signal_changed().connect(sigc::mem_fun(*this, &NotePane::OnTextChanged));
  // Typed text takes the look of the character before it, as in any text editor.
  buffer_->signal_insert().connect(
      [this](const Gtk::TextBuffer::iterator& end, const Glib::ustring& text, int) {
        if (loading_) {
          return;
        }
        Gtk::TextBuffer::iterator start = end;
        start.backward_chars(static_cast<int>(text.size()));
        if (start.is_start()) {
          return;
        }
        Gtk::TextBuffer::iterator before = start;
        before.backward_char();
        for (const Glib::RefPtr<Gtk::TextTag>& tag : before.get_tags()) {
          buffer_->apply_tag(tag, start, end);
        }
      },
      true);
  text_.set_buffer(buffer_);
  text_.set_wrap_mode(Gtk::WrapMode::WORD_CHAR);
  text_.set_left_margin(4);
  text_.set_right_margin(4);
  auto keys = Gtk::EventControllerKey::create();
  keys->signal_key_pressed().connect(
      [this](guint keyval, guint, Gdk::ModifierType state) {
        if ((state & Gdk::ModifierType::CONTROL_MASK) == Gdk::ModifierType{}) {
          return false;
        }
        if (keyval == GDK_KEY_b || keyval == GDK_KEY_B) {
          ToggleLook("bold");
          return true;
        }
        if (keyval == GDK_KEY_i || keyval == GDK_KEY_I) {
          ToggleLook("italic");
          return true;
        }
        return false;
      },
      false);
  text_.add_controller(keys);
  auto text_focus = Gtk::EventControllerFocus::create();
  text_focus->signal_leave().connect([this] { Commit(); });
  text_.add_controller(text_focus);
  text_scroll_.set_child(text_);
  text_scroll_.set_vexpand(true);
  text_scroll_.set_has_frame(true);
  append(text_scroll_);

  attributes_label_.set_markup("<b>Key attributes</b>");
  attributes_label_.set_xalign(0);
  append(attributes_label_);
  attributes_.set_row_spacing(4);
  attributes_.set_column_spacing(6);
  append(attributes_);
}

NotePane::~NotePane() {
  store_timer_.disconnect();
}

void NotePane::SetSession(DocumentSession* session) {
  store_timer_.disconnect();
  text_dirty_ = false;
  session_ = session;
  shown_id_ = 0;
  ShowSelected();
}

Node* NotePane::Shown() const {
  if (session_ == nullptr || shown_id_ == 0) {
    return nullptr;
  }
  Node* n = session_->hypertext()->FindNode(shown_id_);
  return n != nullptr && !n->IsHidden() ? n : nullptr;
}

void NotePane::Commit() {
  store_timer_.disconnect();
  if (!text_dirty_) {
    return;
  }
  text_dirty_ = false;
  Node* note = Shown();
  if (note == nullptr) {
    return;
  }
  StoreEditorText(note, buffer_->get_text().raw(), CollectLooks());
  model_changed_.emit();
}

void NotePane::ShowSelected() {
  Commit();
  Node* note = session_ != nullptr ? session_->selection().Primary() : nullptr;
  shown_id_ = note != nullptr ? note->GetID().id() : 0;
  set_sensitive(note != nullptr);
  loading_ = true;
  name_.set_text(note != nullptr ? note->Name() : "");
  loading_ = false;
  ShowText(note);
  ShowAttributes(note);
}

bool NotePane::UndoTyping(bool redo) {
  if (!text_.has_focus() || !text_.get_editable()) {
    return false;
  }
  if (redo ? !buffer_->get_can_redo() : !buffer_->get_can_undo()) {
    return false;
  }
  if (redo) {
    buffer_->redo();
  } else {
    buffer_->undo();
  }
  return true;
}

void NotePane::StartRenaming() {
  name_.grab_focus();
  name_.select_region(0, -1);
}

void NotePane::ShowText(const Node* note) {
  loading_ = true;
  if (note == nullptr) {
    buffer_->begin_irreversible_action();
    buffer_->set_text("");
    buffer_->end_irreversible_action();
    text_.set_editable(false);
    loading_ = false;
    return;
  }
  const Content& content = *note->GetOriginal()->GetContent();
  const EditorText shown = EditorTextOf(content);
  // Showing another note's text is not typing the user could undo.
  buffer_->begin_irreversible_action();
  buffer_->set_text(shown.text);
  const std::vector<StyleRun>& runs = content.style_runs();
  for (const TextLook& look : shown.looks) {
    const Gtk::TextBuffer::iterator start = buffer_->get_iter_at_offset(look.start);
    const Gtk::TextBuffer::iterator end = buffer_->get_iter_at_offset(look.end);
    const std::string name = "run-" + std::to_string(look.run);
    Glib::RefPtr<Gtk::TextTag> tag = buffer_->get_tag_table()->lookup(name);
    if (!tag) {
      tag = buffer_->create_tag(name);
      ++run_tags_;
    }
    const StyleRun& run = runs[static_cast<size_t>(look.run)];
    Gdk::RGBA color;
    color.set_rgba(run.color.red / 65535.0, run.color.green / 65535.0, run.color.blue / 65535.0);
    tag->property_foreground_rgba() = color;
    buffer_->apply_tag(tag, start, end);
    if (look.bold) {
      buffer_->apply_tag_by_name("bold", start, end);
    }
    if (look.italic) {
      buffer_->apply_tag_by_name("italic", start, end);
    }
  }
  buffer_->end_irreversible_action();
  text_.set_editable(shown.editable && note->CanEdit());
  text_.set_tooltip_text(shown.editable ? ""
                                        : "This text holds pictures or struck-out text, which "
                                          "this editor cannot keep: it is shown read-only.");
  loading_ = false;
}

void NotePane::OnTextChanged() {
  if (loading_ || shown_id_ == 0) {
    return;
  }
  text_dirty_ = true;
  if (session_ != nullptr) {
    session_->KeyPressed();
  }
  store_timer_.disconnect();
  store_timer_ = Glib::signal_timeout().connect(
      [this] {
        Commit();
        return false;
      },
      700);
}

void NotePane::ToggleLook(const char* tag_name) {
  Gtk::TextBuffer::iterator start;
  Gtk::TextBuffer::iterator end;
  if (!text_.get_editable() || !buffer_->get_selection_bounds(start, end)) {
    return;
  }
  Glib::RefPtr<Gtk::TextTag> tag = buffer_->get_tag_table()->lookup(tag_name);
  // Off when the whole selection has it, else on.
  bool everywhere = true;
  for (Gtk::TextBuffer::iterator i = start; i < end; ++i) {
    if (!i.has_tag(tag)) {
      everywhere = false;
      break;
    }
  }
  if (everywhere) {
    buffer_->remove_tag(tag, start, end);
  } else {
    buffer_->apply_tag(tag, start, end);
  }
  text_dirty_ = true;
  Commit();
}

std::vector<TextLook> NotePane::CollectLooks() {
  std::vector<TextLook> looks;
  Gtk::TextBuffer::iterator at = buffer_->begin();
  while (!at.is_end()) {
    Gtk::TextBuffer::iterator next = at;
    next.forward_to_tag_toggle(Glib::RefPtr<Gtk::TextTag>());
    TextLook look;
    look.start = at.get_offset();
    look.end = next.get_offset();
    bool any = false;
    for (const Glib::RefPtr<Gtk::TextTag>& tag : at.get_tags()) {
      const std::string name = tag->property_name().get_value().raw();
      if (name == "bold") {
        look.bold = any = true;
      } else if (name == "italic") {
        look.italic = any = true;
      } else if (name.rfind("run-", 0) == 0) {
        look.run = std::stoi(name.substr(4));
        any = true;
      }
    }
    if (any && look.end > look.start) {
      if (!looks.empty() && looks.back().end == look.start && looks.back().run == look.run &&
          looks.back().bold == look.bold && looks.back().italic == look.italic) {
        looks.back().end = look.end;
      } else {
        looks.push_back(look);
      }
    }
    if (next == at) {
      break;
    }
    at = next;
  }
  return looks;
}

void NotePane::OnRename() {
  Node* note = Shown();
  if (note == nullptr || loading_) {
    return;
  }
  const std::string name = name_.get_text().raw();
  if (name != note->Name()) {
    note->GetHypertext()->PostAction(std::make_unique<RenameAction>(note, name));
    model_changed_.emit();
  }
}

void NotePane::ShowAttributes(const Node* note) {
  // What was typed into the rows shown so far is stored before they go; taking them
  // out moves the focus, which must not start another round of showing.
  attributes_busy_ = true;
  for (const std::unique_ptr<AttributeRow>& row : rows_) {
    if (row->commit) {
      row->commit();
    }
  }
  while (Gtk::Widget* child = attributes_.get_first_child()) {
    attributes_.remove(*child);
  }
  rows_.clear();
  attributes_busy_ = false;
  const std::vector<KeyAttribute> keys = KeyAttributesOf(note);
  attributes_label_.set_visible(!keys.empty());
  int row_index = 0;
  for (const KeyAttribute& key : keys) {
    auto row = std::make_unique<AttributeRow>();
    row->key = key;
    row->label.set_text(key.name);
    row->label.set_xalign(1);
    attributes_.attach(row->label, 0, row_index);
    AttributeRow* r = row.get();
    const uint32_t id = note->GetID().id();
    auto store = [this, r, id](const std::string& text) {
      if (session_ == nullptr) {
        return;
      }
      Node* target = session_->hypertext()->FindNode(id);
      if (target == nullptr || target->IsHidden()) {
        return;
      }
      const AttributeEntry entry = StoreAttributeText(target, r->key.attribute, text);
      if (!entry.stored) {
        r->entry.add_css_class("error");
        r->entry.set_tooltip_text(entry.error);
        return;
      }
      r->entry.remove_css_class("error");
      r->entry.set_tooltip_text("");
      if (r->key.type == AttributeType::kDate) {
        r->understood.set_text(entry.shown);
      } else if (r->key.type != AttributeType::kBoolean) {
        r->entry.set_text(entry.shown);
      }
      if (!attributes_busy_) {
        model_changed_.emit();
      }
    };
    if (key.type == AttributeType::kBoolean) {
      row->check.set_active(key.text == "true");
      row->check.set_sensitive(!key.read_only);
      row->check.signal_toggled().connect(
          [store, r] { store(r->check.get_active() ? "true" : "false"); });
      attributes_.attach(row->check, 1, row_index);
    } else {
      row->entry.set_text(key.text);
      row->entry.set_hexpand(true);
      row->entry.set_editable(!key.read_only);
      row->entry.signal_activate().connect([store, r] {
        r->key.text = r->entry.get_text().raw();
        store(r->key.text);
      });
      row->commit = [store, r] {
        if (r->entry.get_text().raw() != r->key.text) {
          r->key.text = r->entry.get_text().raw();
          store(r->key.text);
        }
      };
      row->focus = Gtk::EventControllerFocus::create();
      row->focus->signal_leave().connect([this, r] {
        if (!attributes_busy_) {
          r->commit();
        }
      });
      row->entry.add_controller(row->focus);
      if (key.type == AttributeType::kColor) {
        // A colour is typed (a form or a colour name) or picked; a pick is stored as
        // its "#rrggbb" form.
        if (key.color) {
          Gdk::RGBA rgba;
          rgba.set_rgba(key.color->red / 65535.0, key.color->green / 65535.0,
                        key.color->blue / 65535.0);
          row->color.set_rgba(rgba);
        }
        row->color.set_sensitive(!key.read_only);
        row->color.set_use_alpha(false);
        row->color.signal_color_set().connect([store, r] {
          const Gdk::RGBA rgba = r->color.get_rgba();
          auto channel = [](double v) {
            return static_cast<uint16_t>(std::lround(std::clamp(v, 0.0, 1.0) * 65535.0));
          };
          const PColor picked(channel(rgba.get_red()), channel(rgba.get_green()),
                              channel(rgba.get_blue()));
          r->key.text = picked.ToHex();
          r->entry.set_text(r->key.text);
          store(r->key.text);
        });
        row->color_box.append(row->entry);
        row->color_box.append(row->color);
        attributes_.attach(row->color_box, 1, row_index);
      } else {
        attributes_.attach(row->entry, 1, row_index);
      }
      if (key.type == AttributeType::kDate) {
        row->understood.set_xalign(0);
        row->understood.add_css_class("dim-label");
        attributes_.attach(row->understood, 1, ++row_index);
      }
    }
    rows_.push_back(std::move(row));
    ++row_index;
  }
}

}  // namespace fernweave
