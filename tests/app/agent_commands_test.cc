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

using test::RunFernweave;

class AgentCommandsTest : public ::testing::Test {
 protected:
  AgentCommandsTest() {
    setenv("FERNWEAVE_NOW", "2009-05-04T10:17:33", 1);
    const std::vector<std::vector<std::string>> setup = {
        {"new", file_},
        {"attr", file_, "Kind", "--type", "string"},
        {"attr", file_, "Count", "--type", "number"},
        {"add", file_, "/Beds/Tomato", "--set", "Kind=plant"},
        {"add", file_, "/Beds/Basil", "--set", "Kind=plant"},
        {"add", file_, "/Tools/Spade", "--set", "Kind=tool"},
        {"alias", file_, "/Beds/Tomato", "/Tools"},
        {"add", file_, "/Plants", "--kind", "agent", "--set", "AgentQuery=$Kind==\"plant\"",
         "--set", "AgentAction=$Count=$Count+1"},
        {"set", file_, "/Tools/Spade", "Rule=$Count=7"},
    };
    for (const auto& args : setup) {
      EXPECT_EQ(RunFernweave(args).status, kExitOk) << test::JoinedArgs(args);
    }
  }
  ~AgentCommandsTest() override { unsetenv("FERNWEAVE_NOW"); }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::CollectingMessages messages_;
  test::ScratchFolder dir_;
  std::string file_ = (dir_.path() / "agents.skep").string();
};

TEST_F(AgentCommandsTest, FindPrintsPathsInDocumentOrder) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* out;
  } kCases[] = {
      {{"find", file_, "$Kind==\"plant\""}, kExitOk, "/Beds/Tomato\n/Beds/Basil\n"},
      {{"find", file_, "$Kind==\"rock\""}, kExitFalse, ""},
      {{"find", file_, "$Kind==("}, kExitFalse, ""},
      {{"--json", "find", file_, "Name(spade)"}, kExitOk, ""},
  };
  for (const auto& c : kCases) {
    const test::CommandRun run = RunFernweave(c.args);
    EXPECT_EQ(run.status, c.status) << test::JoinedArgs(c.args);
    if (c.args[0] != "--json") {
      EXPECT_EQ(run.out, c.out) << test::JoinedArgs(c.args);
    } else {
      EXPECT_NE(run.out.find("\"path\":\"/Tools/Spade\""), std::string::npos) << run.out;
    }
  }
  EXPECT_FALSE(messages_.messages().empty());  // the parser's message for "$Kind==("
}

TEST_F(AgentCommandsTest, UpdateGathersRunsRulesAndSaves) {
  test::CommandRun run = RunFernweave({"update", file_});
  ASSERT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out, "/Plants: +2 -0 (2 aliases)\nrules run: 1\n");
  EXPECT_EQ(RunFernweave({"tree", file_, "/Plants"}).out, "Tomato\nBasil\n");
  EXPECT_EQ(RunFernweave({"get", file_, "/Tools/Spade", "Count"}).out, "7\n");
  EXPECT_EQ(RunFernweave({"get", file_, "/Beds/Tomato", "Count"}).out, "1\n");
  // Nothing left to gather; the action runs again on every match.
  run = RunFernweave({"update", file_});
  EXPECT_EQ(run.out, "/Plants: +0 -0 (2 aliases)\nrules run: 1\n");
  EXPECT_EQ(RunFernweave({"get", file_, "/Beds/Tomato", "Count"}).out, "2\n");
  RunFernweave({"set", file_, "/Beds/Basil", "Kind=weed"});
  EXPECT_EQ(RunFernweave({"update", file_}).out, "/Plants: +0 -1 (1 aliases)\nrules run: 1\n");
}

TEST_F(AgentCommandsTest, ActStampAndMacro) {
  const struct {
    std::vector<std::string> args;
    int status;
    const char* out;
  } kSteps[] = {
      {{"act", file_, "--note", "/Beds/Tomato", "$Count=$Count+5; $Kind=\"ripe\""}, kExitOk, ""},
      {{"get", file_, "/Beds/Tomato", "Count", "Kind"}, kExitOk, "5\nripe\n"},
      {{"act", file_, "$Kind=("}, kExitFalse, ""},
      {{"act", file_, "--note", "/Nowhere", "$Count=1"}, kExitFalse, ""},
      {{"stamp", file_, "Harvest", "$Kind=\"harvested\"; $Count=0"}, kExitOk, ""},
      {{"stamp", file_, "Broken", "$Kind=("}, kExitFalse, ""},
      {{"stamp", file_}, kExitOk, "Harvest: $Kind=\"harvested\"; $Count=0\n"},
      {{"act", file_, "--note", "/Beds/Tomato", "Harvest"}, kExitOk, ""},
      {{"get", file_, "/Beds/Tomato", "Count", "Kind"}, kExitOk, "0\nharvested\n"},
      {{"macro", file_, "Twice", "$1*2"}, kExitOk, ""},
      {{"macro", file_}, kExitOk, "Twice: $1*2\n"},
      {{"--json", "stamp", file_},
       kExitOk,
       "[{\"action\":\"$Kind=\\\"harvested\\\"; $Count=0\",\"attribute\":\"Kind\","
       "\"name\":\"Harvest\"}]\n"},
  };
  for (const auto& step : kSteps) {
    const test::CommandRun run = RunFernweave(step.args);
    EXPECT_EQ(run.status, step.status) << test::JoinedArgs(step.args);
    EXPECT_EQ(run.out, step.out) << test::JoinedArgs(step.args);
  }
}

// `add` makes notes as the system does: the container's OnAdd runs on the new note.
TEST_F(AgentCommandsTest, AddRunsTheContainersOnAdd) {
  ASSERT_EQ(RunFernweave({"set", file_, "/Beds", "OnAdd=$Kind=\"plant\"; $Count=3"}).status,
            kExitOk);
  ASSERT_EQ(RunFernweave({"add", file_, "/Beds/Leek"}).status, kExitOk);
  EXPECT_EQ(RunFernweave({"get", file_, "/Beds/Leek", "Kind", "Count"}).out, "plant\n3\n");
}

}  // namespace
}  // namespace fernweave
