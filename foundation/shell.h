// The shell service: the one way a document runs shell commands (`runCommand`, the
// backquote form, an export command). A document is someone else's file as often as
// not, so commands run only when the user has allowed it. The process holds one
// service; until the platform layer installs another, it is a RefusingShell, which
// runs nothing.
//
// Callers hand over the command text and, optionally, the text for its standard input;
// they get back its standard output and whether it ran to a clean end. The service
// never throws for anything a document says.

#ifndef FERNWEAVE_FOUNDATION_SHELL_H_
#define FERNWEAVE_FOUNDATION_SHELL_H_

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace fernweave {

// The message a refusing shell gives, once, when a document first asks for a command.
inline constexpr char kShellRefusedMessage[] =
    "A shell command in this document was not run: shell commands run only when allowed. "
    "Run fernweave with --allow-shell to allow them.";

struct ShellResult {
  enum class Status {
    kDone,           // the command ran and exited with status 0
    kRefused,        // shell commands are not allowed; nothing ran
    kCouldNotStart,  // the input file or the shell could not be made, the command
                     // holds a NUL character, or the shell could not find or execute
                     // the command (exit status 127 or 126)
    kFailed,         // the command ran but exited non-zero or was killed by a signal
  };

  Status status = Status::kDone;
  // Everything the command wrote on its standard output, read to the end (also for a
  // failed command). Empty unless something ran.
  std::string output;
  // The exit status for kDone and kFailed (128 + the signal number for a command
  // killed by a signal); -1 otherwise.
  int exit_code = -1;
  // Why the command did not run or failed, for the user; empty for kDone.
  std::string error;

  bool ok() const { return status == Status::kDone; }
};

class ShellService {
 public:
  virtual ~ShellService() = default;

  // Runs `command` with the platform shell. With `input`, the command's standard input
  // is exactly that text, byte for byte; without, it is empty. An empty command runs
  // nothing and gives kDone with empty output.
  virtual ShellResult Run(std::string_view command, const std::optional<std::string>& input) = 0;
};

// Runs nothing: every non-empty command gives kRefused, and the first one refused warns
// `message` through `warn`; the ones after it are refused silently.
class RefusingShell : public ShellService {
 public:
  explicit RefusingShell(std::string message = kShellRefusedMessage)
      : message_(std::move(message)) {}

  ShellResult Run(std::string_view command, const std::optional<std::string>& input) override;
  bool warned() const { return warned_; }

 private:
  std::string message_;
  bool warned_ = false;
};

// The process-wide service. Never null: it starts as a RefusingShell.
ShellService& Shell();
// Installs `shell` and returns the previous one. The caller keeps ownership; null
// restores the refusing default.
ShellService* SetShell(ShellService* shell);

// The text of `runCommand`'s input argument made ready for a command: line breaks
// (carriage returns, and carriage-return/line-feed pairs) become line feeds, then the
// escapes \r, \t and \n become carriage return, tab and line feed, and a backslash
// before any other character yields that character (a trailing backslash is kept).
// The text stays UTF-8.
std::string PrepareCommandInput(std::string_view text);

// `text` quoted for the POSIX shell as one word: inside single quotes, each single
// quote written as '\''.
std::string ShellQuote(std::string_view text);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_SHELL_H_
