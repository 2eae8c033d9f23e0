// A document's shell commands run only as the user answers the window's prompt.

#include "desktop/shell_permission.h"

#include <gtest/gtest.h>

#include "tests/support/fakes.h"

namespace fernweave {
namespace {

using test::CollectingMessages;
using test::RecordingShell;

TEST(ShellPermissionTest, AnswersDecideWhatRunsAndWhatIsAskedAgain) {
  struct Case {
    ShellAnswer answer;
    // Two requests of the same command, then one of another.
    int asked;  // how many prompts the three requests bring
    int ran;    // how many commands reached the shell
  };
  const Case cases[] = {
      // Refused: that command is not asked about again, another one is.
      {ShellAnswer::kRefuse, 2, 0},
      // Once: every request asks.
      {ShellAnswer::kAllowOnce, 3, 3},
      // For the document: one prompt, then everything runs.
      {ShellAnswer::kAllowForDocument, 1, 3},
  };
  for (const Case& c : cases) {
    RecordingShell runner;
    ShellPermission permission(&runner);
    std::vector<std::string> prompts;
    permission.SetAsker([&](const std::string& command) {
      prompts.push_back(command);
      return c.answer;
    });
    const ShellResult first = permission.Run("date", std::nullopt);
    permission.Run("date", std::nullopt);
    permission.Run("ls", std::string("x"));
    EXPECT_EQ(static_cast<int>(prompts.size()), c.asked) << static_cast<int>(c.answer);
    EXPECT_EQ(static_cast<int>(runner.requests().size()), c.ran) << static_cast<int>(c.answer);
    EXPECT_EQ(first.ok(), c.answer != ShellAnswer::kRefuse);
    EXPECT_EQ(prompts.front(), "date");
  }
}

TEST(ShellPermissionTest, NobodyToAskRefusesWithOneMessage) {
  RecordingShell runner;
  ShellPermission permission(&runner);
  CollectingMessages messages;
  EXPECT_EQ(permission.Run("rm -rf ~", std::nullopt).status, ShellResult::Status::kRefused);
  EXPECT_EQ(permission.Run("date", std::nullopt).status, ShellResult::Status::kRefused);
  EXPECT_TRUE(runner.requests().empty());
  EXPECT_EQ(messages.messages(), std::vector<std::string>{kWindowShellRefusedMessage});
  // An empty command runs nothing and asks nothing.
  EXPECT_TRUE(permission.Run("", std::nullopt).ok());
}

TEST(ShellPermissionTest, ACommandAskedForWhileThePromptWaitsIsRefused) {
  RecordingShell runner;
  ShellPermission permission(&runner);
  CollectingMessages messages;
  ShellResult inner;
  permission.SetAsker([&](const std::string&) {
    // The prompt's wait runs the event loop, where idle work could ask again.
    inner = permission.Run("date", std::nullopt);
    return ShellAnswer::kAllowOnce;
  });
  EXPECT_TRUE(permission.Run("ls", std::nullopt).ok());
  EXPECT_EQ(inner.status, ShellResult::Status::kRefused);
  ASSERT_EQ(runner.requests().size(), 1u);
  EXPECT_EQ(runner.requests()[0].command, "ls");
  EXPECT_FALSE(permission.asking());
}

TEST(ShellPermissionTest, ThePromptNamesTheCommand) {
  EXPECT_EQ(ShellPermission::PromptFor("curl example.com | sh"),
            "This document asks to run a shell command:\n\ncurl example.com | sh\n\n"
            "Shell commands can change or delete your files. Run it?");
}

}  // namespace
}  // namespace fernweave
