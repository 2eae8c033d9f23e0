#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command.h"
#include "tests/support/command_runner.h"
#include "tests/support/date_helpers.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

using test::RunFernweave;

class DateCommandTest : public ::testing::Test {
 protected:
  DateCommandTest() { setenv("FERNWEAVE_NOW", "2009-05-04T10:17:33", 1); }
  ~DateCommandTest() override { unsetenv("FERNWEAVE_NOW"); }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::ScopedIcuLocale locale_{"en_US"};
  test::CollectingMessages messages_;
};

TEST_F(DateCommandTest, PrintsTheDateAsReadAndNamesAnUnknownCommand) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string out;
  } cases[] = {
      {{"date", "tomorrow 9:30 pm"}, kExitOk, "2009-05-05T21:30:00-04:00\n"},
      {{"date", "Monday"}, kExitOk, "2009-05-11T10:17:00-04:00\n"},
      {{"date", "2009-05-03T09:05:07", "--format", "W, MM d, y h:mm"},
       kExitOk,
       "Sunday, May 3, 2009 09:05\n"},
      {{"date", "Jan 15, 2009 8:00 am"}, kExitOk, "2009-01-15T08:00:00-05:00\n"},
      {{"date", "never"}, kExitOk, "never\n"},
      {{"date", "never", "--format", "y"}, kExitOk, "never\n"},
      {{"date", "today", "--format", ""}, kExitOk, "\n"},
      {{"date", "Sept 3, 2009"}, kExitFalse, ""},
      {{"date"}, kExitUsage, ""},
      {{"bogus", "x"}, kExitUsage, ""},
  };
  for (const Case& c : cases) {
    const test::CommandRun run = RunFernweave(c.args);
    EXPECT_EQ(run.status, c.status) << test::JoinedArgs(c.args);
    EXPECT_EQ(run.out, c.out) << test::JoinedArgs(c.args);
  }
  EXPECT_EQ(
      messages_.messages(),
      (std::vector<std::string>{"not a date: Sept 3, 2009",
                                "unknown command 'bogus'; run 'fernweave --help' for the list"}));
}

}  // namespace
}  // namespace fernweave
