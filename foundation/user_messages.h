#ifndef FERNWEAVE_FOUNDATION_USER_MESSAGES_H_
#define FERNWEAVE_FOUNDATION_USER_MESSAGES_H_

#include <string>

namespace fernweave {

// Where messages the user must see go: the system's `warn`. On the desktop this is a
// modal alert; the command line prints to stderr; tests collect the messages.
class UserMessages {
 public:
  virtual ~UserMessages() = default;

  // Shows one message. An empty message shows nothing.
  virtual void Warn(const std::string& message) = 0;
};

// Prints each message to stderr as "fernweave: " + message.
class StderrMessages : public UserMessages {
 public:
  void Warn(const std::string& message) override;
};

// The process-wide destination of `warn`. Never null: it starts as a StderrMessages.
UserMessages& Messages();

// Installs `messages` as the destination and returns the previous one. The caller keeps
// ownership; passing null restores the stderr default.
UserMessages* SetMessages(UserMessages* messages);

// Shorthand for Messages().Warn(message).
void Warn(const std::string& message);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_USER_MESSAGES_H_
