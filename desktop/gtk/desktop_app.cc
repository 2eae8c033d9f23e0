#include "desktop/gtk/desktop_app.h"

#include <iostream>

#include "desktop/document_session.h"
#include "desktop/gtk/document_window.h"
#include "desktop/gtk/self_test.h"

namespace fernweave {

Glib::RefPtr<DesktopApp> DesktopApp::create(DesktopOptions options) {
  return Glib::make_refptr_for_instance<DesktopApp>(new DesktopApp(std::move(options)));
}

DesktopApp::DesktopApp(DesktopOptions options)
    : Gtk::Application("org.fernweave.Desktop", Gio::Application::Flags::NON_UNIQUE),
      options_(std::move(options)) {
  previous_messages_ = SetMessages(&messages_);
  previous_progress_ = SetProgressFactory(&progress_);
  messages_.SetArrivedListener([this] {
    Glib::signal_idle().connect_once([this] { ShowNextMessage(); });
  });
}

DesktopApp::~DesktopApp() {
  SetProgressFactory(previous_progress_);
  SetMessages(previous_messages_);
}

void DesktopApp::on_startup() {
  Gtk::Application::on_startup();
  add_action("new", [this] {
    OpenWindow(DocumentSession::CreateNew());
  });
  add_action("open", [this] { AskOpen(); });
  add_action("quit", [this] {
    // Each window asks about its own unsaved changes; the application ends when the
    // last one has gone.
    for (Gtk::Window* window : get_windows()) {
      window->close();
    }
  });
  set_accel_for_action("app.new", "<Primary>n");
  set_accel_for_action("app.open", "<Primary>o");
  set_accel_for_action("app.quit", "<Primary>q");
  set_accel_for_action("win.save", "<Primary>s");
  set_accel_for_action("win.save-as", "<Primary><Shift>s");
  set_accel_for_action("win.close", "<Primary>w");
  set_accel_for_action("win.undo", "<Primary>z");
  set_accel_for_action("win.redo", "<Primary><Shift>z");
  set_accel_for_action("win.find", "<Primary>f");
  set_accel_for_action("win.update-agents", "<Primary>u");
  set_accels_for_action("win.zoom-in", {"<Primary>equal", "<Primary>plus"});
  set_accel_for_action("win.zoom-out", "<Primary>minus");
  set_accel_for_action("win.zoom-actual", "<Primary>0");
  set_accel_for_action("win.new-note", "<Primary>Return");
  set_accel_for_action("win.duplicate", "<Primary>d");
}

void DesktopApp::on_activate() {
  std::unique_ptr<DocumentSession> session;
  if (options_.file) {
    session = DocumentSession::Open(*options_.file);
    if (session == nullptr && options_.self_test) {
      std::cerr << "self-test: cannot open " << options_.file->string() << "\n";
      exit_status_ = 1;
      return;
    }
  }
  if (session == nullptr) {
    session = DocumentSession::CreateNew();
  }
  DocumentWindow* window = OpenWindow(std::move(session));
  if (options_.self_test) {
    StartSelfTest(this, window, *options_.self_test, [this](int status) {
      exit_status_ = status;
      // Leave without the closing question: the script decided what to save.
      for (Gtk::Window* w : get_windows()) {
        w->hide();
      }
      quit();
    });
  }
}

DocumentWindow* DesktopApp::OpenWindow(std::unique_ptr<DocumentSession> session) {
  session->shell().SetRunner(&popen_);
  auto* window = new DocumentWindow(std::move(session));
  add_window(*window);
  window->signal_hide().connect([window] {
    Glib::signal_idle().connect_once([window] { delete window; });
  });
  window->present();
  return window;
}

DocumentWindow* DesktopApp::ActiveDocumentWindow() {
  return dynamic_cast<DocumentWindow*>(get_active_window());
}

void DesktopApp::ShowNextMessage() {
  if (showing_message_ || messages_.empty()) {
    return;
  }
  const std::string message = messages_.Take();
  if (options_.self_test) {
    // A script cannot answer dialogs: its messages go to the log.
    std::cerr << "fernweave-desktop: " << message << "\n";
    ShowNextMessage();
    return;
  }
  showing_message_ = true;
  Gtk::Window* parent = get_active_window();
  auto* dialog = parent != nullptr
                     ? new Gtk::MessageDialog(*parent, message, false, Gtk::MessageType::WARNING,
                                              Gtk::ButtonsType::OK, true)
                     : new Gtk::MessageDialog(message, false, Gtk::MessageType::WARNING,
                                              Gtk::ButtonsType::OK, true);
  dialog->signal_response().connect([this, dialog](int) {
    dialog->hide();
    Glib::signal_idle().connect_once([this, dialog] {
      delete dialog;
      showing_message_ = false;
      ShowNextMessage();
    });
  });
  dialog->show();
}

void DesktopApp::AskOpen() {
  auto* chooser = new Gtk::FileChooserDialog("Open", Gtk::FileChooser::Action::OPEN);
  if (Gtk::Window* parent = get_active_window()) {
    chooser->set_transient_for(*parent);
  }
  chooser->set_modal(true);
  chooser->add_button("Cancel", Gtk::ResponseType::CANCEL);
  chooser->add_button("Open", Gtk::ResponseType::ACCEPT);
  auto filter = Gtk::FileFilter::create();
  filter->set_name("Fernweave documents");
  filter->add_pattern(std::string("*") + OrvexDoc::kExtension);
  chooser->add_filter(filter);
  auto all = Gtk::FileFilter::create();
  all->set_name("All files");
  all->add_pattern("*");
  chooser->add_filter(all);
  chooser->signal_response().connect([this, chooser](int id) {
    chooser->hide();
    if (id == Gtk::ResponseType::ACCEPT && chooser->get_file()) {
      if (std::unique_ptr<DocumentSession> session =
              DocumentSession::Open(chooser->get_file()->get_path())) {
        OpenWindow(std::move(session));
      }
    }
    Glib::signal_idle().connect_once([chooser] { delete chooser; });
  });
  chooser->show();
}

void DesktopApp::ShowProgress(const std::string& title, double fraction) {
  if (DocumentWindow* window = ActiveDocumentWindow()) {
    window->ShowProgress(title, fraction);
  }
}

void DesktopApp::HideProgress() {
  if (DocumentWindow* window = ActiveDocumentWindow()) {
    window->HideProgress();
  }
}

}  // namespace fernweave
