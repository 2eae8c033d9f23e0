// The shell permission of one open document. A document is someone else's file as
// often as not, so a shell command it asks for (`runCommand`, the backquote form, an
// export command) runs only when the user allows it for this document: the window asks
// with a prompt that names the command, and nothing runs before the answer. Without an
// installed prompt every command is refused, with one message.
//
// Answers: allow this once; allow every command of this document while it is open; or
// refuse, which also refuses that same command quietly for as long as the document is
// open, so a rule that runs it on every pass does not ask again and again.

#ifndef FERNWEAVE_DESKTOP_SHELL_PERMISSION_H_
#define FERNWEAVE_DESKTOP_SHELL_PERMISSION_H_

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>

#include "foundation/shell.h"

namespace fernweave {

enum class ShellAnswer { kAllowOnce, kAllowForDocument, kRefuse };

// The message shown once when a command is refused because nobody could be asked.
inline constexpr char kWindowShellRefusedMessage[] =
    "A shell command in this document was not run: shell commands run only when you "
    "allow them for this document.";

class ShellPermission : public ShellService {
 public:
  // Asks the user about one command; the text to show is PromptFor(command).
  using Asker = std::function<ShellAnswer(const std::string& command)>;

  // `runner` (borrowed; null: nothing can run) runs the commands the user allows.
  explicit ShellPermission(ShellService* runner = nullptr) : runner_(runner) {}

  void SetRunner(ShellService* runner) { runner_ = runner; }
  void SetAsker(Asker asker) { asker_ = std::move(asker); }

  ShellResult Run(std::string_view command, const std::optional<std::string>& input) override;

  // The prompt's text for a command.
  static std::string PromptFor(std::string_view command);

  bool allowed_for_document() const { return allowed_for_document_; }
  // True while the prompt is open: the window holds idle work back meanwhile, and a
  // command asked for from inside the prompt's wait is refused.
  bool asking() const { return asking_; }

 private:
  ShellResult Refused(const std::string& why);

  ShellService* runner_;
  Asker asker_;
  bool allowed_for_document_ = false;
  bool asking_ = false;
  bool warned_ = false;
  std::set<std::string, std::less<>> refused_;
};

// Makes `shell` the process's shell service for the scope, then restores the previous.
class ScopedShell {
 public:
  explicit ScopedShell(ShellService* shell) : previous_(SetShell(shell)) {}
  ~ScopedShell() { SetShell(previous_); }
  ScopedShell(const ScopedShell&) = delete;
  ScopedShell& operator=(const ScopedShell&) = delete;

 private:
  ShellService* previous_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_SHELL_PERMISSION_H_
