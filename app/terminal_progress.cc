#include "app/terminal_progress.h"

#include <unistd.h>

#include <cstdio>

namespace fernweave {
namespace {

constexpr int kBarWidth = 40;

}  // namespace

TerminalProgress::TerminalProgress() : enabled_(isatty(STDERR_FILENO) == 1) {}

TerminalProgress::~TerminalProgress() { End(); }

void TerminalProgress::Begin(const std::string& title, long steps) {
  title_ = title;
  steps_ = steps;
  done_ = 0;
  last_width_ = -1;
  shown_ = enabled_;
  Draw();
}

void TerminalProgress::Bump() {
  ++done_;
  Draw();
}

void TerminalProgress::End() {
  if (shown_) {
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
  }
  shown_ = false;
}

void TerminalProgress::Draw() {
  if (!shown_) {
    return;
  }
  const long total = steps_ > 0 ? steps_ : 1;
  const long clamped = done_ < total ? done_ : total;
  const int width = static_cast<int>(clamped * kBarWidth / total);
  // Redraw only when the bar grows, so a long read does not flood the terminal.
  if (width == last_width_) {
    return;
  }
  last_width_ = width;
  // The line is cleared first: a read shows its byte count and the notes it builds in
  // turn, and a shorter title must not leave the end of a longer one behind.
  std::fprintf(stderr, "\r\033[K%s [%.*s%*s]", title_.c_str(), width,
               "########################################", kBarWidth - width, "");
  std::fflush(stderr);
}

std::unique_ptr<Progress> TerminalProgressFactory::Make() {
  return std::make_unique<TerminalProgress>();
}

}  // namespace fernweave
