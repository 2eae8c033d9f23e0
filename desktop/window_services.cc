#include "desktop/window_services.h"

#include <algorithm>

namespace fernweave {

void MessageQueue::Warn(const std::string& message) {
  if (message.empty()) {
    return;
  }
  pending_.push_back(message);
  if (arrived_) {
    arrived_();
  }
}

std::string MessageQueue::Take() {
  std::string message = std::move(pending_.front());
  pending_.pop_front();
  return message;
}

namespace {

class WindowProgress : public Progress {
 public:
  explicit WindowProgress(ProgressSink* sink) : sink_(sink) {}
  ~WindowProgress() override {
    if (shown_) {
      sink_->HideProgress();
    }
  }

  void Begin(const std::string& title, long steps) override {
    title_ = title;
    steps_ = std::max(steps, 0L);
    done_ = 0;
    reported_ = 0;
    shown_ = true;
    sink_->ShowProgress(title_, steps_ > 0 ? 0.0 : -1.0);
  }

  void Bump() override {
    if (!shown_) {
      return;
    }
    ++done_;
    // Every hundredth of the way, or every step of an unknown count's first hundred.
    const long every = std::max(steps_ / 100, 1L);
    if (done_ - reported_ < every) {
      return;
    }
    reported_ = done_;
    const double fraction =
        steps_ > 0 ? std::min(1.0, static_cast<double>(done_) / static_cast<double>(steps_))
                   : -1.0;
    sink_->ShowProgress(title_, fraction);
  }

  void End() override {
    if (shown_) {
      shown_ = false;
      sink_->HideProgress();
    }
  }

 private:
  ProgressSink* sink_;
  std::string title_;
  long steps_ = 0;
  long done_ = 0;
  long reported_ = 0;
  bool shown_ = false;
};

}  // namespace

std::unique_ptr<Progress> WindowProgressFactory::Make() {
  return std::make_unique<WindowProgress>(sink_);
}

}  // namespace fernweave
