// The note pane: the selected note's name, its text in a real text editor (paragraph
// breaks, the text's bold, italic and coloured runs shown; Ctrl+B and Ctrl+I toggle bold
// and italic on the selection; the editor's own undo of typing), and its key
// attributes, each with a widget that fits its type. Edits are stored through
// desktop/note_fields.h when the user pauses, leaves the field or gives a command.

#ifndef FERNWEAVE_DESKTOP_GTK_NOTE_PANE_H_
#define FERNWEAVE_DESKTOP_GTK_NOTE_PANE_H_

#include <gtkmm.h>

#include <memory>
#include <string>
#include <vector>

#include "desktop/document_session.h"
#include "desktop/note_fields.h"

namespace fernweave {

class NotePane : public Gtk::Box {
 public:
  NotePane();
  ~NotePane() override;

  void SetSession(DocumentSession* session);
  // Shows the session's primary note (nothing when none). Pending edits of the note
  // shown before are stored first.
  void ShowSelected();
  // Stores a pending text edit now.
  void Commit();
  // Undoes (or redoes) typing in the text while the text has the keyboard focus and the
  // editor has typing to undo; false when it did nothing, and the document's Undo
  // applies.
  bool UndoTyping(bool redo);
  // Puts the keyboard focus in the name field, its text selected (a new note).
  void StartRenaming();

  Gtk::TextView& text_view() { return text_; }
  Gtk::Entry& name_entry() { return name_; }
  // A note's name or values changed here: the window refreshes the other panes.
  sigc::signal<void()>& signal_model_changed() { return model_changed_; }

 private:
  struct AttributeRow;

  void ShowText(const Node* note);
  void ShowAttributes(const Node* note);
  void OnTextChanged();
  void OnRename();
  void ToggleLook(const char* tag);
  std::vector<TextLook> CollectLooks();
  Node* Shown() const;

  DocumentSession* session_ = nullptr;
  uint32_t shown_id_ = 0;
  bool loading_ = false;
  bool text_dirty_ = false;
  bool attributes_busy_ = false;  // storing or taking out the attribute rows
  int run_tags_ = 0;  // "run-N" tags made in the buffer so far

  Gtk::Entry name_;
  Gtk::ScrolledWindow text_scroll_;
  Gtk::TextView text_;
  Glib::RefPtr<Gtk::TextBuffer> buffer_;
  Gtk::Label attributes_label_;
  Gtk::Grid attributes_;
  std::vector<std::unique_ptr<AttributeRow>> rows_;
  sigc::connection store_timer_;
  sigc::signal<void()> model_changed_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_GTK_NOTE_PANE_H_
