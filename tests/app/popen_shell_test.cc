#include "app/popen_shell.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/command_runner.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

// Points TMPDIR at a folder for the life of the object.
class ScopedTmpdir {
 public:
  explicit ScopedTmpdir(const std::filesystem::path& folder) {
    if (const char* old = getenv("TMPDIR")) {
      previous_ = old;
    }
    setenv("TMPDIR", folder.c_str(), 1);
  }
  ~ScopedTmpdir() {
    if (previous_) {
      setenv("TMPDIR", previous_->c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

 private:
  std::optional<std::string> previous_;
};

// Input with quotes, non-ASCII text and every kind of line break, in a temporary
// folder whose path needs quoting: the command reads it byte for byte, the file is
// private while it exists, and it is gone afterwards.
TEST(PopenShellTest, InputReachesTheCommandAndItsFileIsRemoved) {
  test::ScratchFolder scratch;
  const std::filesystem::path tmp = scratch / "it's a \"tmp\" $HOME `x`";
  std::filesystem::create_directories(tmp);
  ScopedTmpdir use(tmp);
  PopenShell shell;
  const std::string input = PrepareCommandInput(
      "He said \"don't\"; naïve café — 日本語\rsecond line\r\nthird\\tcell\n");
  const struct {
    const char* command;
    std::string output;
  } cases[] = {
      {"cat", input},
      {"wc -l", "3\n"},
      {"head -n 1; cat", "He said \"don't\"; naïve café — 日本語\nsecond line\nthird\tcell\n"},
      {"stat -L -c %a /dev/stdin", "600\n"},
      {"ls -A \"$TMPDIR\" | wc -l", "1\n"},  // only the input file itself
  };
  for (const auto& c : cases) {
    ShellResult result = shell.Run(c.command, input);
    EXPECT_EQ(result.status, ShellResult::Status::kDone) << c.command << ": " << result.error;
    EXPECT_EQ(result.output, c.output) << c.command;
    EXPECT_EQ(result.exit_code, 0) << c.command;
    EXPECT_TRUE(std::filesystem::is_empty(tmp)) << c.command;
  }
}

TEST(PopenShellTest, StatusOutputAndEmptyInput) {
  test::ScratchFolder scratch;
  ScopedTmpdir use(scratch.path());
  PopenShell shell;
  using Status = ShellResult::Status;
  const struct {
    std::string_view command;
    std::optional<std::string> input;
    Status status;
    int exit_code;
    std::string output;
  } cases[] = {
      {"", std::nullopt, Status::kDone, 0, ""},
      {"wc -c", std::nullopt, Status::kDone, 0, "0\n"},  // never the terminal
      {"wc -c", std::string(), Status::kDone, 0, "0\n"},
      {"echo partial; exit 3", std::nullopt, Status::kFailed, 3, "partial\n"},
      {"cat; exit 9", std::string("kept"), Status::kFailed, 9, "kept"},
      {"kill -9 $$", std::nullopt, Status::kFailed, 137, ""},
      {"no-such-command-for-fernweave", std::nullopt, Status::kCouldNotStart, 127, ""},
      {std::string_view("echo a\0; echo b", 15), std::nullopt, Status::kCouldNotStart, -1, ""},
      {"head -c 300000 /dev/zero | tr '\\0' a | wc -c", std::nullopt, Status::kDone, 0,
       "300000\n"},
  };
  for (const auto& c : cases) {
    ShellResult result = shell.Run(c.command, c.input);
    EXPECT_EQ(result.status, c.status) << c.command << ": " << result.error;
    EXPECT_EQ(result.exit_code, c.exit_code) << c.command;
    EXPECT_EQ(result.output, c.output) << c.command;
    EXPECT_EQ(result.error.empty(), c.status == Status::kDone) << c.command;
  }
  EXPECT_EQ(shell.Run("head -c 300000 /dev/zero", std::nullopt).output.size(), 300000u);
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

TEST(PopenShellTest, MissingTemporaryFolderIsReportedAndNothingRuns) {
  test::ScratchFolder scratch;
  ScopedTmpdir use(scratch / "missing");
  const std::filesystem::path marker = scratch / "ran";
  ShellResult result = PopenShell().Run("touch " + ShellQuote(marker.string()), std::string("x"));
  EXPECT_EQ(result.status, ShellResult::Status::kCouldNotStart);
  EXPECT_NE(result.error.find("cannot make the command's input file in "), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(scratch.path()));
}

TEST(PopenShellTest, ShellQuoteMakesOneWord) {
  PopenShell shell;
  for (const std::string text : {"", "plain", "it's", "'", "''", "a b\tc", "$HOME `id` \\ \"q\"",
                                 "line\nbreak", "日本語"}) {
    ShellResult result = shell.Run("printf '%s|' " + ShellQuote(text), std::nullopt);
    EXPECT_EQ(result.output, text + "|") << text;
  }
}

TEST(ShellServiceForRunTest, AllowedRunsRefusedDoesNotAndTheCommandLineRestores) {
  EXPECT_EQ(MakeShellService(true)->Run("echo hi", std::nullopt).output, "hi\n");
  EXPECT_EQ(MakeShellService(false)->Run("echo hi", std::nullopt).status,
            ShellResult::Status::kRefused);

  // A run installs its own service and puts back the one it found.
  test::RecordingShell recording;
  test::ScratchFolder scratch;
  for (bool allow : {true, false}) {
    std::vector<std::string> args = {"new", (scratch / (allow ? "a.skep" : "b.skep")).string()};
    if (allow) {
      args.insert(args.begin(), "--allow-shell");
    }
    EXPECT_EQ(test::RunFernweave(args).status, 0) << allow;
    EXPECT_EQ(&Shell(), &recording) << allow;
  }
}

}  // namespace
}  // namespace fernweave
