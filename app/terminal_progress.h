#ifndef FERNWEAVE_APP_TERMINAL_PROGRESS_H_
#define FERNWEAVE_APP_TERMINAL_PROGRESS_H_

#include <memory>
#include <string>

#include "foundation/progress.h"

namespace fernweave {

// A progress bar on stderr, drawn only when stderr is a terminal.
class TerminalProgress : public Progress {
 public:
  TerminalProgress();
  ~TerminalProgress() override;

  void Begin(const std::string& title, long steps) override;
  void Bump() override;
  void End() override;

 private:
  void Draw();

  bool enabled_;
  bool shown_ = false;
  std::string title_;
  long steps_ = 0;
  long done_ = 0;
  int last_width_ = -1;
};

class TerminalProgressFactory : public ProgressFactory {
 public:
  std::unique_ptr<Progress> Make() override;
};

}  // namespace fernweave

#endif  // FERNWEAVE_APP_TERMINAL_PROGRESS_H_
