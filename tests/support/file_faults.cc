#include "tests/support/file_faults.h"

#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fernweave::test {

ScratchFolder::ScratchFolder(const std::filesystem::path& base) {
  const std::filesystem::path folder = base.empty() ? std::filesystem::temp_directory_path() : base;
  std::string pattern = (folder / "fernweave-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("mkdtemp failed");
  }
  path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> ScratchFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string ReadFile(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream buffer;
  buffer << in.rdbuf();
  return buffer.str();
}

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << bytes;
}

FileFault::FileFault(FileOp op, int error, int occurrence, Action action)
    : op_(op), error_(error), occurrence_(occurrence), action_(action) {
  previous_ = SetFileFaultHook(this);
}

FileFault::~FileFault() {
  SetFileFaultHook(previous_);
}

int FileFault::Before(FileOp op, const std::filesystem::path& /*path*/) {
  seen_.push_back(FileOpName(op));
  if (op != op_ || ++before_count_ != occurrence_) {
    return 0;
  }
  switch (action_) {
    case Action::kFail:
      return error_;
    case Action::kKillBefore:
      ::raise(SIGKILL);
      return 0;
    case Action::kKillAfter:
      return 0;
  }
  return 0;
}

void FileFault::After(FileOp op, const std::filesystem::path& /*path*/) {
  if (op == op_ && ++after_count_ == occurrence_ && action_ == Action::kKillAfter) {
    ::raise(SIGKILL);
  }
}

}  // namespace fernweave::test
