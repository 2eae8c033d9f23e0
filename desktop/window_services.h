// The platform services as the window provides them: `warn` becomes a queue of
// messages the window shows as dialogs, one after another, once the work that raised
// them returns; progress becomes the window's progress bar. Both speak to the widgets
// through small sinks, so the logic is the same with or without a display.

#ifndef FERNWEAVE_DESKTOP_WINDOW_SERVICES_H_
#define FERNWEAVE_DESKTOP_WINDOW_SERVICES_H_

#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "foundation/progress.h"
#include "foundation/user_messages.h"

namespace fernweave {

// Collects messages in order; the window takes them out and shows each in a dialog.
class MessageQueue : public UserMessages {
 public:
  // An empty message shows nothing, as everywhere. `arrived` (when set) is told after
  // each message is queued, so the window can schedule showing it.
  void Warn(const std::string& message) override;
  bool empty() const { return pending_.empty(); }
  // The oldest message not yet shown; REQUIRES: !empty().
  std::string Take();
  void SetArrivedListener(std::function<void()> arrived) { arrived_ = std::move(arrived); }

 private:
  std::deque<std::string> pending_;
  std::function<void()> arrived_;
};

// What shows progress: the window's progress bar.
class ProgressSink {
 public:
  virtual ~ProgressSink() = default;
  // `fraction` is from 0 to 1, or negative when the number of steps is unknown.
  virtual void ShowProgress(const std::string& title, double fraction) = 0;
  virtual void HideProgress() = 0;
};

// Progress displays that draw on one sink (borrowed; must outlive the displays). The
// sink is told at most every 1/100 of the steps, so a long run does not redraw for
// every step.
class WindowProgressFactory : public ProgressFactory {
 public:
  explicit WindowProgressFactory(ProgressSink* sink) : sink_(sink) {}
  std::unique_ptr<Progress> Make() override;

 private:
  ProgressSink* sink_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_DESKTOP_WINDOW_SERVICES_H_
