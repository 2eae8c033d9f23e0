// The application: one window per open document, the application's commands (New,
// Open, Quit) and shortcuts, and the platform services the library calls (`warn` as
// dialogs, progress in the active window, shell commands through each document's
// permission).

#ifndef FERNWEAVE_DESKTOP_GTK_DESKTOP_APP_H_
#define FERNWEAVE_DESKTOP_GTK_DESKTOP_APP_H_

#include <gtkmm.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/popen_shell.h"
#include "desktop/window_services.h"

namespace fernweave {

class DocumentWindow;
class DocumentSession;

struct DesktopOptions {
  std::optional<std::filesystem::path> file;   // opened at start; else a new document
  std::optional<std::filesystem::path> self_test;  // a script that drives the window
};

class DesktopApp : public Gtk::Application, public ProgressSink {
 public:
  static Glib::RefPtr<DesktopApp> create(DesktopOptions options);
  ~DesktopApp() override;

  // Opens a window on the session; returns it (owned by the application).
  DocumentWindow* OpenWindow(std::unique_ptr<DocumentSession> session);
  // The exit status of a self-test run (0 when none ran).
  int exit_status() const { return exit_status_; }

  void ShowProgress(const std::string& title, double fraction) override;
  void HideProgress() override;

 protected:
  explicit DesktopApp(DesktopOptions options);
  void on_startup() override;
  void on_activate() override;

 private:
  void ShowNextMessage();
  void AskOpen();
  DocumentWindow* ActiveDocumentWindow();

  DesktopOptions options_;
  MessageQueue messages_;
  UserMessages* previous_messages_ = nullptr;
  WindowProgressFactory progress_{this};
  ProgressFactory* previous_progress_ = nullptr;
  PopenShell popen_;
  bool showing_message_ = false;
  int exit_status_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_GTK_DESKTOP_APP_H_
