#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command.h"
#include "tests/support/command_runner.h"
#include "tests/support/date_helpers.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

using test::CommandRun;
using test::RunFernweave;

class EvalCommandTest : public ::testing::Test {
 protected:
  EvalCommandTest() {
    setenv("FERNWEAVE_NOW", "2009-05-04T10:17:33", 1);
    const std::vector<std::vector<std::string>> setup = {
        {"new", file_},
        {"attr", file_, "Tags", "--type", "set"},
        {"attr", file_, "Size", "--type", "number"},
        {"add", file_, "/Top/A", "--text", "one\rtwo", "--set", "Size=3"},
        {"set", file_, "/Top/A", "Tags=a;b"},
        {"set", file_, "/Top/A", "Tags=+c;a"},
        {"set", file_, "/Top/A", "Tags=~b"},
    };
    for (const auto& args : setup) {
      EXPECT_EQ(RunFernweave(args).status, kExitOk) << test::JoinedArgs(args);
    }
  }
  ~EvalCommandTest() override { unsetenv("FERNWEAVE_NOW"); }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::CollectingMessages messages_;
  test::ScratchFolder dir_;
  std::string file_ = (dir_.path() / "eval.skep").string();
};

TEST_F(EvalCommandTest, PrintsValuesTreesAndErrors) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* out;
    const char* message;
  } kCases[] = {
      {{"eval", file_, "--note", "/Top/A", "$Size * 2 + 1"}, kExitOk, "7\n", ""},
      {{"eval", file_, "--note", "/Top/A", "$Tags"}, kExitOk, "a;c\n", ""},
      {{"eval", file_, "--note", "/Top/A", "$Text"}, kExitOk, "one\ntwo\n", ""},
      {{"eval", file_, "$Name(/Top/A) + \"!\""}, kExitOk, "A!\n", ""},
      {{"eval", file_, "--tree", "$A == $B + 1 * 2"}, kExitOk, "($A == (($B + 1) * 2))\n", ""},
      {{"eval", file_, "x $y"}, kExitFalse, "x\n", "Unexpected operator $y"},
      {{"eval", file_, "1 +"}, kExitFalse, "1\n", "incomplete expression"},
      {{"--json", "eval", file_, "\"a"},
       kExitFalse,
       "{\"error\":\"unterminated expression: expected \\\"\",\"value\":\"a\"}\n",
       "unterminated expression: expected \""},
      {{"--json", "eval", file_, "1+1"}, kExitOk, "{\"error\":null,\"value\":\"2\"}\n", ""},
      {{"eval", file_, "--note", "/Nowhere", "1"}, kExitFalse, "", nullptr},
      {{"get", file_, "/Top/A", "Text", "Tags"}, kExitOk, "one\ntwo\na;c\n", ""},
  };
  for (const auto& c : kCases) {
    messages_.Clear();
    const CommandRun run = RunFernweave(c.args);
    EXPECT_EQ(run.status, c.status) << test::JoinedArgs(c.args);
    EXPECT_EQ(run.out, c.out) << test::JoinedArgs(c.args);
    if (c.message != nullptr) {
      const std::string shown = messages_.messages().empty() ? "" : messages_.messages().front();
      EXPECT_EQ(shown, c.message) << test::JoinedArgs(c.args);
    }
  }
}

// Two-digit years follow the clock's "now", pinned here to 2009.
TEST_F(EvalCommandTest, ReadsTwoDigitYearsAroundThePinnedNow) {
  test::ScopedIcuLocale locale("en_US");
  EXPECT_EQ(RunFernweave({"date", "12/25/40"}).out, "1940-12-25T10:17:00-05:00\n");
  EXPECT_EQ(RunFernweave({"date", "12/25/28"}).out, "2028-12-25T10:17:00-05:00\n");
}

TEST_F(EvalCommandTest, NeverChangesTheDocument) {
  const std::string before = test::ReadFile(file_);
  EXPECT_EQ(RunFernweave({"eval", file_, "--note", "/Top/A", "$Size = 9"}).status, kExitOk);
  EXPECT_EQ(test::ReadFile(file_), before);
}

}  // namespace
}  // namespace fernweave
