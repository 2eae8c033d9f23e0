#include "foundation/user_messages.h"

#include <iostream>

namespace fernweave {
namespace {

StderrMessages& DefaultMessages() {
  static StderrMessages messages;
  return messages;
}

UserMessages* current_messages = nullptr;

}  // namespace

void StderrMessages::Warn(const std::string& message) {
  if (message.empty()) {
    return;
  }
  std::cerr << "fernweave: " << message << std::endl;
}

UserMessages& Messages() {
  return current_messages != nullptr ? *current_messages : DefaultMessages();
}

UserMessages* SetMessages(UserMessages* messages) {
  UserMessages* previous = &Messages();
  current_messages = messages;
  return previous;
}

void Warn(const std::string& message) { Messages().Warn(message); }

}  // namespace fernweave
