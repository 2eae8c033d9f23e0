// The dialogs of the document window: saving, reverting and closing with unsaved
// changes, exploding, choosing an export folder, the shell-command prompt, and the
// progress bar.

#include <filesystem>
#include <utility>

#include "desktop/gtk/document_window.h"
#include "foundation/user_messages.h"
#include "model/node.h"

namespace fernweave {

namespace {

// A question with buttons; `answer` hears the response id (Gtk::ResponseType values or
// the ids given). The dialog deletes itself.
void Ask(Gtk::Window& parent, const std::string& primary, const std::string& secondary,
         const std::vector<std::pair<std::string, int>>& buttons, int default_id,
         std::function<void(int)> answer) {
  auto* dialog = new Gtk::MessageDialog(parent, primary, false, Gtk::MessageType::QUESTION,
                                        Gtk::ButtonsType::NONE, true);
  dialog->set_secondary_text(secondary);
  for (const auto& [label, id] : buttons) {
    dialog->add_button(label, id);
  }
  dialog->set_default_response(default_id);
  dialog->signal_response().connect([dialog, answer](int id) {
    dialog->hide();
    answer(id);
    Glib::signal_idle().connect_once([dialog] { delete dialog; });
  });
  dialog->show();
}

std::filesystem::path WithExtension(std::filesystem::path file) {
  if (!file.has_extension()) {
    file += OrvexDoc::kExtension;
  }
  return file;
}

}  // namespace

void DocumentWindow::SaveThen(std::function<void(bool)> done) {
  switch (session_->Save()) {
    case DocumentSession::SaveOutcome::kSaved:
      AfterChange();
      if (done) {
        done(true);
      }
      return;
    case DocumentSession::SaveOutcome::kFailed:
      AfterChange();
      if (done) {
        done(false);
      }
      return;
    case DocumentSession::SaveOutcome::kNeedsFile:
      AskSaveAs(std::move(done));
      return;
  }
}

void DocumentWindow::AskSaveAs(std::function<void(bool)> done) {
  auto* chooser = new Gtk::FileChooserDialog(*this, "Save As", Gtk::FileChooser::Action::SAVE);
  chooser->set_modal(true);
  chooser->add_button("Cancel", Gtk::ResponseType::CANCEL);
  chooser->add_button("Save", Gtk::ResponseType::ACCEPT);
  chooser->set_current_name(session_->doc().NameForSaveQuestion() + OrvexDoc::kExtension);
  chooser->signal_response().connect([this, chooser, done](int id) {
    chooser->hide();
    bool saved = false;
    if (id == Gtk::ResponseType::ACCEPT && chooser->get_file()) {
      saved = session_->SaveAs(WithExtension(chooser->get_file()->get_path()));
      AfterChange();
    }
    if (done) {
      done(saved);
    }
    Glib::signal_idle().connect_once([chooser] { delete chooser; });
  });
  chooser->show();
}

void DocumentWindow::AskRevert() {
  if (!session_->CanRevert()) {
    return;
  }
  Ask(*this, "Revert to the saved version of \u201c" + session_->doc().NameForSaveQuestion() + "\u201d?",
      "Your changes since the last save will be lost.",
      {{"Cancel", Gtk::ResponseType::CANCEL}, {"Revert", Gtk::ResponseType::ACCEPT}},
      Gtk::ResponseType::CANCEL, [this](int id) {
        if (id == Gtk::ResponseType::ACCEPT) {
          Command([this] { session_->Revert(); });
        }
      });
}

bool DocumentWindow::OnCloseRequest() {
  if (working_) {
    // The work is on the stack below this event: stop it, and close when asked again.
    CancelWork();
    return true;
  }
  note_pane_.Commit();
  if (closing_confirmed_ || !session_->NeedsCloseQuestion()) {
    return false;  // let it close
  }
  constexpr int kDontSave = 1;
  Ask(*this, session_->CloseQuestion(), "",
      {{"Don't Save", kDontSave},
       {"Cancel", Gtk::ResponseType::CANCEL},
       {"Save", Gtk::ResponseType::ACCEPT}},
      Gtk::ResponseType::ACCEPT, [this](int id) {
        if (id == kDontSave) {
          closing_confirmed_ = true;
          close();
        } else if (id == Gtk::ResponseType::ACCEPT) {
          SaveThen([this](bool saved) {
            // A failed save keeps the window open and the document modified.
            if (saved) {
              closing_confirmed_ = true;
              close();
            }
          });
        }
      });
  return true;
}

void DocumentWindow::AskExplode() {
  Node* note = session_->selection().Primary();
  if (note == nullptr) {
    return;
  }
  auto* dialog = new Gtk::Dialog("Explode \u201c" + note->Name() + "\u201d", *this, true);
  dialog->add_button("Cancel", Gtk::ResponseType::CANCEL);
  dialog->add_button("Explode", Gtk::ResponseType::ACCEPT);
  dialog->set_default_response(Gtk::ResponseType::ACCEPT);
  auto* grid = Gtk::make_managed<Gtk::Grid>();
  grid->set_margin(12);
  grid->set_row_spacing(6);
  grid->set_column_spacing(8);
  auto* by_delimiter = Gtk::make_managed<Gtk::CheckButton>("Split at each");
  auto* by_size = Gtk::make_managed<Gtk::CheckButton>("Split into pieces of about");
  by_size->set_group(*by_delimiter);
  by_size->set_active(true);
  auto* delimiter = Gtk::make_managed<Gtk::Entry>();
  delimiter->set_placeholder_text("delimiter (\\n is a paragraph break, \\t a tab)");
  auto* size = Gtk::make_managed<Gtk::SpinButton>();
  size->set_range(2, 1000000);
  size->set_increments(50, 500);
  size->set_value(500);
  auto* skip = Gtk::make_managed<Gtk::CheckButton>("Leave the delimiter out of the notes");
  auto* naming = Gtk::make_managed<Gtk::ComboBoxText>();
  naming->append("0", "Name by the first sentence");
  naming->append("3", "Name by the first two sentences");
  naming->append("2", "Name by the first paragraph");
  naming->append("4", "Leave unnamed");
  naming->set_active_id("0");
  auto* cut = Gtk::make_managed<Gtk::CheckButton>("Cut the name from the text");
  grid->attach(*by_delimiter, 0, 0);
  grid->attach(*delimiter, 1, 0);
  grid->attach(*by_size, 0, 1);
  grid->attach(*size, 1, 1);
  grid->attach(*skip, 0, 2, 2, 1);
  grid->attach(*naming, 0, 3, 2, 1);
  grid->attach(*cut, 0, 4, 2, 1);
  dialog->get_content_area()->append(*grid);
  dialog->signal_response().connect(
      [this, dialog, by_delimiter, delimiter, size, skip, naming, cut](int id) {
        dialog->hide();
        if (id == Gtk::ResponseType::ACCEPT) {
          ExplodeSettings settings;
          if (by_delimiter->get_active()) {
            settings.delimiter = delimiter->get_text().raw();
          }
          settings.chunk_size = size->get_value_as_int();
          settings.skip_delimiter = skip->get_active();
          settings.name_mode = std::stoi(naming->get_active_id().raw());
          settings.cut_name = cut->get_active();
          Command([this, settings] { ExplodeSelected(*session_, settings); });
        }
        Glib::signal_idle().connect_once([dialog] { delete dialog; });
      });
  dialog->show();
}

void DocumentWindow::AskExportFolder() {
  auto* chooser = new Gtk::FileChooserDialog(*this, "Export to Folder",
                                             Gtk::FileChooser::Action::SELECT_FOLDER);
  chooser->set_modal(true);
  chooser->add_button("Cancel", Gtk::ResponseType::CANCEL);
  chooser->add_button("Export", Gtk::ResponseType::ACCEPT);
  chooser->signal_response().connect([this, chooser](int id) {
    chooser->hide();
    if (id == Gtk::ResponseType::ACCEPT && chooser->get_file()) {
      const std::filesystem::path folder = chooser->get_file()->get_path();
      Command([this, folder] { ExportDocument(*session_, folder); });
    }
    Glib::signal_idle().connect_once([chooser] { delete chooser; });
  });
  chooser->show();
}

ShellAnswer DocumentWindow::AskShell(const std::string& command) {
  // The command waits for the answer: a nested loop runs the dialog while the work
  // that asked stays on the stack. Idle work of this document is held back meanwhile.
  constexpr int kOnce = 1;
  constexpr int kDocument = 2;
  Gtk::MessageDialog dialog(*this, "Run a shell command?", false, Gtk::MessageType::WARNING,
                            Gtk::ButtonsType::NONE, true);
  dialog.set_secondary_text(ShellPermission::PromptFor(command));
  dialog.add_button("Refuse", Gtk::ResponseType::REJECT);
  dialog.add_button("Allow Once", kOnce);
  dialog.add_button("Allow for This Document", kDocument);
  dialog.set_default_response(Gtk::ResponseType::REJECT);
  int answer = Gtk::ResponseType::REJECT;
  Glib::RefPtr<Glib::MainLoop> loop = Glib::MainLoop::create();
  dialog.signal_response().connect([&](int id) {
    answer = id;
    loop->quit();
  });
  dialog.show();
  loop->run();
  dialog.hide();
  if (answer == kDocument) {
    return ShellAnswer::kAllowForDocument;
  }
  return answer == kOnce ? ShellAnswer::kAllowOnce : ShellAnswer::kRefuse;
}

// Long work runs on the window's thread; each time the bar moves, the window handles
// the events that are waiting, so the bar is drawn and Cancel or Escape is heard. The
// panes are insensitive meanwhile and commands wait (Command, OnIdleTick), so nothing
// else touches the document under the work.
void DocumentWindow::ShowProgress(const std::string& title, double fraction) {
  if (!working_) {
    working_ = true;
    outer_.set_sensitive(false);
    cancel_button_.set_sensitive(true);
  }
  status_.set_visible(true);
  progress_label_.set_text(title);
  if (fraction < 0) {
    progress_.pulse();
  } else {
    progress_.set_fraction(fraction);
  }
  Glib::RefPtr<Glib::MainContext> context = Glib::MainContext::get_default();
  for (int events = 0; events < 100 && context->pending(); ++events) {
    context->iteration(false);
  }
}

void DocumentWindow::HideProgress() {
  working_ = false;
  outer_.set_sensitive(true);
  status_.set_visible(false);
}

void DocumentWindow::CancelWork() {
  if (working_) {
    session_->RequestCancel();
    cancel_button_.set_sensitive(false);
  }
}

}  // namespace fernweave
