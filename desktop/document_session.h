// The desktop window's logic, below the widgets.
//
// What it holds. A `DocumentSession` is one open document as a window sees it: the
// document on disk (`OrvexDoc`), its idle task (agents and rules), the window's
// selection, the shell permission the user gave this document, and the texts the
// window shows (its title, the Undo and Redo items, the question asked before closing).
// The widgets in desktop/gtk/ turn events into calls on it and redraw from it; nothing
// here needs a display, so it is tested like the rest of the library.
//
// Ownership and order. The session owns the document and the idle task. The idle
// task's managers hook themselves into the document, so the task always goes before
// the document it serves: on close, and around a revert, which replaces the document's
// model. Every pointer to a note the session hands out is valid until the next command,
// idle step or revert; the selection drops notes that leave the document.

#ifndef FERNWEAVE_DESKTOP_DOCUMENT_SESSION_H_
#define FERNWEAVE_DESKTOP_DOCUMENT_SESSION_H_

#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "agents/idle_task.h"
#include "desktop/selection.h"
#include "desktop/shell_permission.h"
#include "desktop/window_layout.h"
#include "persist/orvex_doc.h"

namespace fernweave {

class DocumentSession {
 public:
  // A new untitled document holding only its root.
  static std::unique_ptr<DocumentSession> CreateNew();
  // Opens `file`. Null when it cannot be opened; the reason has been shown through
  // `warn`. A file that is not a document opens as plain text in an untitled one.
  static std::unique_ptr<DocumentSession> Open(const std::filesystem::path& file);

  ~DocumentSession();
  DocumentSession(const DocumentSession&) = delete;
  DocumentSession& operator=(const DocumentSession&) = delete;

  OrvexDoc& doc() { return *doc_; }
  Hypertext* hypertext() const { return doc_->GetHypertext(); }
  WindowSelection& selection() { return selection_; }
  const WindowSelection& selection() const { return selection_; }
  ShellPermission& shell() { return shell_; }
  IdleTask& idle() { return *idle_; }

  // --- Texts the window shows -----------------------------------------------
  // The document's name, marked with a leading "*" while it has unsaved changes.
  std::string Title() const;
  bool IsModified() const { return doc_->IsModified(); }
  // "Undo " and the model's text of the action that Undo would undo ("Undo Delete");
  // plain "Undo" when there is nothing to undo. Likewise "Redo Delete" / "Redo".
  std::string UndoItemText() const;
  std::string RedoItemText() const;
  bool CanUndo() const;
  bool CanRedo() const;
  void Undo();
  void Redo();

  // --- The window's layout ------------------------------------------------------
  // The layout the document was saved with (nullopt when none); opening or reverting
  // also shows the map of the container it names, when that note is still there.
  const std::optional<WindowLayout>& saved_layout() const { return saved_layout_; }
  // Asked for the window's present layout at every save, which keeps it in the document.
  void SetLayoutSource(std::function<WindowLayout()> source) { layout_ = std::move(source); }

  // --- Lifecycle --------------------------------------------------------------
  enum class SaveOutcome {
    kSaved,
    kNeedsFile,  // the document has no file yet: ask for one and call SaveAs
    kFailed,     // the reason has been shown; the document stays modified
  };
  SaveOutcome Save();
  // False, with the message shown and the document unchanged, when it fails.
  bool SaveAs(const std::filesystem::path& file);
  // Whether Revert can do anything: the document has a file and unsaved changes.
  bool CanRevert() const { return doc_->HasFile() && doc_->IsModified(); }
  // Reads the file again, discarding the changes; false (document kept) when it cannot
  // be read. The selection goes back to the root's map.
  bool Revert();
  // True when closing must first ask whether to save.
  bool NeedsCloseQuestion() const { return doc_->IsModified(); }
  // The question asked before closing a modified document.
  std::string CloseQuestion() const;

  // --- Idle time --------------------------------------------------------------
  // One idle step of agents and rules, with this document's shell permission in force.
  // Nothing while the document is being saved or reverted, or while a prompt is open.
  void Idle();
  void KeyPressed() { idle_->KeyPressed(); }

  // --- Cancelling long work -------------------------------------------------------
  // The user asked to stop the long work under way (Escape, or Cancel beside the
  // progress bar). Work that can stop reads the flag between its steps.
  void RequestCancel() { cancel_.store(true); }
  void ClearCancel() { cancel_.store(false); }
  const std::atomic<bool>* cancel_flag() const { return &cancel_; }

  // Runs `work` with this document's shell permission as the process's shell service
  // (commands the user gives: update agents, export, typing into an action).
  void WithShell(const std::function<void()>& work);

  // Called after the document's model was replaced (a revert): the widgets drop what
  // they hold of the old one and rebuild.
  void SetReplacedListener(std::function<void()> listener) { replaced_ = std::move(listener); }

 private:
  explicit DocumentSession(std::unique_ptr<OrvexDoc> doc);
  void StartIdleTask();
  // Reads the saved layout and shows the map it names.
  void RestoreLayout();
  // Keeps the window's layout in the document before it is written.
  void RecordLayout();

  std::unique_ptr<OrvexDoc> doc_;
  std::unique_ptr<IdleTask> idle_;
  WindowSelection selection_;
  ShellPermission shell_;
  std::function<void()> replaced_;
  std::function<WindowLayout()> layout_;
  std::optional<WindowLayout> saved_layout_;
  std::atomic<bool> cancel_{false};
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_DOCUMENT_SESSION_H_
