// Fakes shared by the test suites: they record what happened rather than mock it.

#ifndef FERNWEAVE_TESTS_SUPPORT_FAKES_H_
#define FERNWEAVE_TESTS_SUPPORT_FAKES_H_

#include <optional>
#include <string>
#include <vector>

#include "foundation/error.h"
#include "foundation/progress.h"
#include "foundation/shell.h"
#include "foundation/user_messages.h"

namespace fernweave::test {

// Collects every `warn` while it is alive, and restores the previous destination after.
class CollectingMessages : public UserMessages {
 public:
  CollectingMessages();
  ~CollectingMessages() override;

  void Warn(const std::string& message) override;
  const std::vector<std::string>& messages() const { return messages_; }
  void Clear() { messages_.clear(); }

 private:
  std::vector<std::string> messages_;
  UserMessages* previous_;
};

// Records the calls a progress display receives.
struct ProgressLog {
  std::vector<std::string> titles;
  long steps = 0;
  long bumps = 0;
  int ends = 0;
};

// Installs itself as the progress factory while alive; every display it makes writes
// into one shared log.
class RecordingProgressFactory : public ProgressFactory {
 public:
  RecordingProgressFactory();
  ~RecordingProgressFactory() override;

  std::unique_ptr<Progress> Make() override;
  const ProgressLog& log() const { return log_; }

 private:
  ProgressLog log_;
  ProgressFactory* previous_;
};

// A shell that runs nothing but records every request, installed as the process's
// shell service while alive. Each request is answered with `reply` (kDone, its output
// the reply's output).
class RecordingShell : public ShellService {
 public:
  struct Request {
    std::string command;
    std::optional<std::string> input;
  };

  RecordingShell();
  ~RecordingShell() override;

  ShellResult Run(std::string_view command, const std::optional<std::string>& input) override;
  const std::vector<Request>& requests() const { return requests_; }
  ShellResult& reply() { return reply_; }

 private:
  std::vector<Request> requests_;
  ShellResult reply_;
  ShellService* previous_;
};

// Pins the clock at a local wall-clock reading while alive.
class PinnedClock {
 public:
  // `iso` is "YYYY-MM-DDTHH:MM:SS" local time.
  explicit PinnedClock(const std::string& iso);
  ~PinnedClock();
  void Set(const std::string& iso);
};

// Sets TZ for the life of the object (and calls tzset), restoring it after.
class ScopedTimeZone {
 public:
  explicit ScopedTimeZone(const std::string& tz);
  ~ScopedTimeZone();

 private:
  std::optional<std::string> previous_;
};

}  // namespace fernweave::test

// Asserts that `statement` throws a fernweave::Error whose code is `code`.
#define EXPECT_FW_ERROR(statement, expected_code)                               \
  do {                                                                          \
    try {                                                                       \
      statement;                                                                \
      ADD_FAILURE() << "expected Error " << (expected_code) << ": " #statement; \
    } catch (const ::fernweave::Error& fw_error_) {                             \
      EXPECT_EQ(fw_error_.code(), (expected_code)) << fw_error_.what();         \
    }                                                                           \
  } while (false)

#endif  // FERNWEAVE_TESTS_SUPPORT_FAKES_H_
