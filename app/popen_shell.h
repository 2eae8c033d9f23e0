// The platform side of the shell service (foundation/shell.h): commands run by the
// system shell through popen. Lives in the platform library, which the command line
// and the desktop window both link.

#ifndef FERNWEAVE_APP_POPEN_SHELL_H_
#define FERNWEAVE_APP_POPEN_SHELL_H_

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "foundation/shell.h"

namespace fernweave {

// Runs each command with /bin/sh through popen and reads its standard output to the
// end. The command's standard input is the caller's input text, through a file made
// with mkstemp (mode 0600) in $TMPDIR (else /tmp) and removed once the command has
// ended, or else empty (/dev/null): a command never reads the user's terminal. The
// shell's own standard input is redirected before the command line is read, so every
// part of a compound command ("a; b", "a | b") sees the same input. The input is
// written unchanged (UTF-8 stays UTF-8).
class PopenShell : public ShellService {
 public:
  ShellResult Run(std::string_view command, const std::optional<std::string>& input) override;
};

// The service for a run: a PopenShell when shell commands are allowed, else a
// RefusingShell (which tells the user once, the first time a command is refused).
std::unique_ptr<ShellService> MakeShellService(bool allowed);

}  // namespace fernweave

#endif  // FERNWEAVE_APP_POPEN_SHELL_H_
