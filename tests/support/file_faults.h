// Test helpers for the file layer: a scratch folder, whole-file reads and writes, and a
// fault hook that fails or stops the process at a chosen file operation.

#ifndef FERNWEAVE_TESTS_SUPPORT_FILE_FAULTS_H_
#define FERNWEAVE_TESTS_SUPPORT_FILE_FAULTS_H_

#include <filesystem>
#include <string>
#include <vector>

#include "persist/safe_save.h"

namespace fernweave::test {

// A fresh folder under the system's temporary folder, removed with its contents when
// the object goes.
class ScratchFolder {
 public:
  // Under `base` when given, else under the system's temporary folder.
  explicit ScratchFolder(const std::filesystem::path& base = {});
  ~ScratchFolder();
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
  // The names of the folder's entries, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::filesystem::path path_;
};

std::string ReadFile(const std::filesystem::path& file);
void WriteFile(const std::filesystem::path& file, const std::string& bytes);

// Fails the n-th (1-based) occurrence of one file operation with an errno, or, with
// `kill_before`/`kill_after`, raises SIGKILL just before or just after it (for child
// processes). Installs itself while alive and records every operation it sees.
class FileFault : public FileFaultHook {
 public:
  enum class Action { kFail, kKillBefore, kKillAfter };

  FileFault(FileOp op, int error, int occurrence = 1, Action action = Action::kFail);
  ~FileFault() override;

  int Before(FileOp op, const std::filesystem::path& path) override;
  void After(FileOp op, const std::filesystem::path& path) override;
  // Every operation seen, by name, in order ("create", "write", ...).
  const std::vector<std::string>& seen() const { return seen_; }

 private:
  FileOp op_;
  int error_;
  int occurrence_;
  Action action_;
  int before_count_ = 0;
  int after_count_ = 0;
  std::vector<std::string> seen_;
  FileFaultHook* previous_;
};

}  // namespace fernweave::test

#endif  // FERNWEAVE_TESTS_SUPPORT_FILE_FAULTS_H_
