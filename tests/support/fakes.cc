#include "tests/support/fakes.h"

#include <time.h>

#include <cstdlib>
#include <memory>

#include "foundation/clock.h"

namespace fernweave::test {
namespace {

class RecordingProgress : public Progress {
 public:
  explicit RecordingProgress(ProgressLog* log) : log_(log) {}
  void Begin(const std::string& title, long steps) override {
    log_->titles.push_back(title);
    log_->steps = steps;
  }
  void Bump() override { ++log_->bumps; }
  void End() override { ++log_->ends; }

 private:
  ProgressLog* log_;
};

}  // namespace

CollectingMessages::CollectingMessages() : previous_(SetMessages(this)) {}

CollectingMessages::~CollectingMessages() { SetMessages(previous_); }

void CollectingMessages::Warn(const std::string& message) {
  if (!message.empty()) {
    messages_.push_back(message);
  }
}

RecordingShell::RecordingShell() : previous_(SetShell(this)) { reply_.exit_code = 0; }

RecordingShell::~RecordingShell() { SetShell(previous_); }

ShellResult RecordingShell::Run(std::string_view command,
                                const std::optional<std::string>& input) {
  requests_.push_back(Request{std::string(command), input});
  return reply_;
}

RecordingProgressFactory::RecordingProgressFactory() : previous_(SetProgressFactory(this)) {}

RecordingProgressFactory::~RecordingProgressFactory() { SetProgressFactory(previous_); }

std::unique_ptr<Progress> RecordingProgressFactory::Make() {
  return std::make_unique<RecordingProgress>(&log_);
}

PinnedClock::PinnedClock(const std::string& iso) { Set(iso); }

PinnedClock::~PinnedClock() { SetNowForTesting(std::nullopt); }

void PinnedClock::Set(const std::string& iso) {
  std::optional<int64_t> seconds = ParseClockOverride(iso);
  Require(seconds.has_value(), "PinnedClock needs YYYY-MM-DDTHH:MM:SS");
  SetNowForTesting(seconds);
}

ScopedTimeZone::ScopedTimeZone(const std::string& tz) {
  if (const char* old = std::getenv("TZ")) {
    previous_ = old;
  }
  setenv("TZ", tz.c_str(), 1);
  tzset();
}

ScopedTimeZone::~ScopedTimeZone() {
  if (previous_) {
    setenv("TZ", previous_->c_str(), 1);
  } else {
    unsetenv("TZ");
  }
  tzset();
}

}  // namespace fernweave::test
