// A save interrupted at any moment leaves the complete old or the complete new
// document, never a mix and never an empty file. Each case forks a child that saves a
// document of about a megabyte and kills it: at random moments, and just before and just
// after each file operation of the save.

#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>

#include "model/orvex.h"
#include "persist/orvex_doc.h"
#include "persist/orvex_writer.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

using test::FileFault;
using test::ReadFile;
using test::ScratchFolder;
using test::WriteFile;

// Fills the document with `count` notes of about 500 bytes of text each, in folders of
// fifty.
void Fill(Hypertext* doc, int count) {
  Node* folder = nullptr;
  Node* last = nullptr;
  for (int i = 0; i < count; ++i) {
    if (i % 50 == 0) {
      folder = doc->MakeNode("Folder " + std::to_string(i / 50), nullptr, folder, 0, 0);
      last = nullptr;
    }
    last = doc->MakeNode("Note " + std::to_string(i), folder, last, i % 7, i % 11);
    std::string text = "Note " + std::to_string(i) + " says:";
    while (text.size() < 500) {
      text += " the quick brown fox jumps over the lazy dog\r";
    }
    last->SetText(text);
  }
}

// A memory-backed folder when there is one: the kills test what a process sees, and
// without waiting for the disk at every fsync the test runs many more kills per second.
std::filesystem::path FastFolder() {
  std::error_code ec;
  return ::access("/dev/shm", W_OK) == 0 && std::filesystem::is_directory("/dev/shm", ec)
             ? std::filesystem::path("/dev/shm")
             : std::filesystem::path();
}

class CrashTest : public ::testing::Test {
 protected:
  void SetUp() override {
    doc_ = OrvexDoc::Create();
    Fill(doc_->GetHypertext(), 2000);
    ASSERT_TRUE(doc_->SaveAs(path()));
    old_ = ReadFile(path());
    Node* first = doc_->GetHypertext()->FirstNode();
    first->SetName("Renamed folder");
    first->HasBeenModified();
    new_ = OrvexWriter::WriteToString(*doc_->GetHypertext());
    ASSERT_NE(old_, new_);
    ASSERT_GT(old_.size(), 1000000u);
  }

  std::filesystem::path path() const { return dir_ / "big.skep"; }

  // Puts the old document back and clears what killed saves left behind.
  void Reset() {
    WriteFile(path(), old_);
    for (const std::string& name : dir_.Entries()) {
      if (name != "big.skep") {
        std::filesystem::remove(dir_ / name);
      }
    }
  }

  // Forks a child that runs `before_save` and then saves; returns its wait status.
  template <typename Setup>
  pid_t StartSave(Setup before_save) {
    const pid_t child = ::fork();
    if (child == 0) {
      before_save();
      const bool saved = doc_->DoSave();
      ::_exit(saved ? 0 : 1);
    }
    return child;
  }

  // "old", "new" or a description of what else the file holds.
  std::string Contents() const {
    const std::string bytes = ReadFile(path());
    if (bytes == old_) {
      return "old";
    }
    if (bytes == new_) {
      return "new";
    }
    return "a mix of " + std::to_string(bytes.size()) + " bytes";
  }

  test::CollectingMessages messages_;
  ScratchFolder dir_{FastFolder()};
  std::unique_ptr<OrvexDoc> doc_;
  std::string old_;
  std::string new_;
};

TEST_F(CrashTest, KilledAtRandomMomentsTheFileIsTheOldOrTheNewDocument) {
  // How long one save takes here, so that the kills spread over all of it.
  const auto start = std::chrono::steady_clock::now();
  {
    const pid_t child = StartSave([] {});
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - start)
                        .count();
  ASSERT_EQ(Contents(), "new");
  RecordProperty("save_us", std::to_string(took));

  std::mt19937 random(20091104);
  std::uniform_int_distribution<long> delay(0, took);
  int olds = 0;
  int news = 0;
  for (int run = 0; run < 50; ++run) {
    Reset();
    const long wait_us = delay(random);
    const pid_t child = StartSave([] {});
    ASSERT_GT(child, 0);
    const timespec pause = {wait_us / 1000000, (wait_us % 1000000) * 1000};
    ::nanosleep(&pause, nullptr);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string contents = Contents();
    ASSERT_TRUE(contents == "old" || contents == "new")
        << "run " << run << " killed after " << wait_us << " us: " << contents;
    (contents == "old" ? olds : news) += 1;
  }
  // Both outcomes happen, or the kills did not cover the save.
  EXPECT_GT(olds, 0);
  EXPECT_GT(news, 0);
}

TEST_F(CrashTest, KilledJustBeforeOrAfterEachFileOperation) {
  struct Case {
    FileOp op;
    int occurrence;
    FileFault::Action action;
  };
  // Killed once the rename has happened, the file is the new document; before, the old.
  std::vector<Case> cases = {{FileOp::kWrite, 20, FileFault::Action::kKillAfter}};
  for (FileOp op : {FileOp::kCheckDocument, FileOp::kCreateTemp, FileOp::kChmodTemp, FileOp::kWrite,
                    FileOp::kSyncTemp, FileOp::kCloseTemp, FileOp::kRename, FileOp::kSyncFolder}) {
    cases.push_back({op, 1, FileFault::Action::kKillBefore});
    cases.push_back({op, 1, FileFault::Action::kKillAfter});
  }
  for (const Case& c : cases) {
    Reset();
    const pid_t child = StartSave([&c] {
      // Leaked on purpose: the child never returns from the save.
      new FileFault(c.op, 0, c.occurrence, c.action);
    });
    ASSERT_GT(child, 0);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const bool after = c.action == FileFault::Action::kKillAfter;
    const std::string where = std::string(after ? "after " : "before ") + FileOpName(c.op) + " #" +
                              std::to_string(c.occurrence);
    const bool renamed = c.op == FileOp::kSyncFolder || (c.op == FileOp::kRename && after);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << where;
    EXPECT_EQ(Contents(), renamed ? "new" : "old") << where;
  }
}

// A real refused write: a file-size limit (SIGXFSZ ignored) makes write(2) fail part of
// the way through the document, in a child so that the limit goes with it.
TEST_F(CrashTest, AFileSizeLimitIsReportedAndKeepsTheOldFileAndTheChanges) {
  Reset();
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlim_t size = static_cast<rlim_t>(old_.size() / 2);
    const struct rlimit limit = {size, size};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    test::CollectingMessages messages;
    const bool saved = doc_->DoSave();
    const bool reported =
        messages.messages() ==
        std::vector<std::string>{"Unable to save: you may have a disk error, or be out of space."};
    ::_exit(!saved && reported && doc_->IsModified() ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_EQ(Contents(), "old");
  EXPECT_EQ(dir_.Entries(), std::vector<std::string>{"big.skep"});
}

}  // namespace
}  // namespace fernweave
