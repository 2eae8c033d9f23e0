#ifndef FERNWEAVE_FOUNDATION_PROGRESS_H_
#define FERNWEAVE_FOUNDATION_PROGRESS_H_

#include <memory>
#include <string>

namespace fernweave {

// A titled progress display with a step range (the system's "placard"). The command
// line draws a bar on stderr when it is a terminal; elsewhere nothing is shown.
class Progress {
 public:
  virtual ~Progress() = default;

  // Starts showing `title` with `steps` steps to go (0 when unknown).
  virtual void Begin(const std::string& title, long steps) = 0;
  // Advances one step.
  virtual void Bump() = 0;
  // Removes the display.
  virtual void End() = 0;
};

// Shows nothing.
class NullProgress : public Progress {
 public:
  void Begin(const std::string&, long) override {}
  void Bump() override {}
  void End() override {}
};

// Makes the progress displays that long operations show. The default factory makes
// NullProgress objects; the command line installs one that draws on a terminal.
class ProgressFactory {
 public:
  virtual ~ProgressFactory() = default;
  virtual std::unique_ptr<Progress> Make() = 0;
};

// Returns a new display from the installed factory. Never null.
std::unique_ptr<Progress> MakeProgress();

// Installs `factory` (the caller keeps ownership; null restores the default) and
// returns the previous one (null when it was the default).
ProgressFactory* SetProgressFactory(ProgressFactory* factory);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_PROGRESS_H_
