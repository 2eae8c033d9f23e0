#include "foundation/shell.h"

#include <utility>

#include "foundation/user_messages.h"

namespace fernweave {
namespace {

RefusingShell& DefaultShell() {
  static RefusingShell shell;
  return shell;
}

ShellService* current_shell = nullptr;

}  // namespace

ShellResult RefusingShell::Run(std::string_view command, const std::optional<std::string>&) {
  ShellResult result;
  if (command.empty()) {
    result.exit_code = 0;
    return result;
  }
  result.status = ShellResult::Status::kRefused;
  result.error = message_;
  // One message per run: a document with a command in every note would otherwise
  // bury the user in identical alerts.
  if (!warned_) {
    warned_ = true;
    Warn(message_);
  }
  return result;
}

ShellService& Shell() {
  return current_shell != nullptr ? *current_shell : DefaultShell();
}

ShellService* SetShell(ShellService* shell) {
  ShellService* previous = &Shell();
  current_shell = shell;
  return previous;
}

std::string PrepareCommandInput(std::string_view text) {
  std::string prepared;
  prepared.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;  // a carriage-return/line-feed pair is one line break
      }
      prepared.push_back('\n');
    } else if (c == '\\' && i + 1 < text.size()) {
      const char escaped = text[++i];
      switch (escaped) {
        case 'r':
          prepared.push_back('\r');
          break;
        case 't':
          prepared.push_back('\t');
          break;
        case 'n':
          prepared.push_back('\n');
          break;
        case '\r':
          // An escaped line break is still a line break, written the platform's way.
          if (i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
          }
          prepared.push_back('\n');
          break;
        default:
          prepared.push_back(escaped);
          break;
      }
    } else {
      prepared.push_back(c);
    }
  }
  return prepared;
}

std::string ShellQuote(std::string_view text) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted.push_back('\'');
  for (char c : text) {
    if (c == '\'') {
      quoted.append("'\\''");
    } else {
      quoted.push_back(c);
    }
  }
  quoted.push_back('\'');
  return quoted;
}

}  // namespace fernweave
