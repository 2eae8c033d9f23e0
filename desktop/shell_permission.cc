#include "desktop/shell_permission.h"

#include "foundation/user_messages.h"

namespace fernweave {

std::string ShellPermission::PromptFor(std::string_view command) {
  return "This document asks to run a shell command:\n\n" + std::string(command) +
         "\n\nShell commands can change or delete your files. Run it?";
}

ShellResult ShellPermission::Refused(const std::string& why) {
  ShellResult result;
  result.status = ShellResult::Status::kRefused;
  result.error = why;
  return result;
}

ShellResult ShellPermission::Run(std::string_view command,
                                 const std::optional<std::string>& input) {
  if (command.empty()) {
    return ShellResult{};
  }
  bool allowed = allowed_for_document_;
  if (!allowed) {
    if (refused_.find(command) != refused_.end()) {
      return Refused("refused for this document");
    }
    if (!asker_ || asking_) {
      // Nobody can be asked (no window, or a prompt is already waiting): refuse, and
      // say so once.
      if (!warned_) {
        warned_ = true;
        Warn(kWindowShellRefusedMessage);
      }
      return Refused("shell commands are not allowed");
    }
    asking_ = true;
    ShellAnswer answer = ShellAnswer::kRefuse;
    try {
      answer = asker_(std::string(command));
    } catch (...) {
      asking_ = false;
      throw;
    }
    asking_ = false;
    switch (answer) {
      case ShellAnswer::kAllowForDocument:
        allowed_for_document_ = true;
        allowed = true;
        break;
      case ShellAnswer::kAllowOnce:
        allowed = true;
        break;
      case ShellAnswer::kRefuse:
        refused_.emplace(command);
        return Refused("refused by the user");
    }
  }
  if (runner_ == nullptr) {
    ShellResult result;
    result.status = ShellResult::Status::kCouldNotStart;
    result.error = "no shell";
    return result;
  }
  return runner_->Run(command, input);
}

}  // namespace fernweave
