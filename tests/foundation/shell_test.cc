#include "foundation/shell.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/fakes.h"

namespace fernweave {
namespace {

TEST(RefusingShellTest, RefusesEveryCommandAndWarnsOnce) {
  test::CollectingMessages messages;
  RefusingShell shell;
  ShellResult empty = shell.Run("", std::nullopt);
  EXPECT_TRUE(empty.ok());
  EXPECT_TRUE(messages.messages().empty());
  for (const char* command : {"echo hi", "rm -rf ~", "date"}) {
    ShellResult result = shell.Run(command, std::string("input"));
    EXPECT_EQ(result.status, ShellResult::Status::kRefused) << command;
    EXPECT_EQ(result.output, "") << command;
    EXPECT_EQ(result.error, kShellRefusedMessage) << command;
  }
  EXPECT_EQ(messages.messages(), std::vector<std::string>{kShellRefusedMessage});
  EXPECT_NE(std::string(kShellRefusedMessage).find("--allow-shell"), std::string::npos);
}

TEST(PrepareCommandInputTest, LineBreaksAndEscapes) {
  const struct {
    std::string text;
    std::string prepared;
  } cases[] = {
      {"", ""},
      {"one\rtwo\r\nthree\n", "one\ntwo\nthree\n"},
      {R"(a\tb\nc\rd)", "a\tb\nc\rd"},  // an escaped \r stays a carriage return
      {R"(\\ \" \$ \q)", R"(\ " $ q)"},
      {"trailing\\", "trailing\\"},
      {"escaped\\\rbreak", "escaped\nbreak"},
      {"naïve “quoted” 'text'", "naïve “quoted” 'text'"},  // UTF-8 kept as is
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PrepareCommandInput(c.text), c.prepared) << c.text;
  }
}

}  // namespace
}  // namespace fernweave
