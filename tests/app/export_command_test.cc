#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command.h"
#include "tests/support/command_runner.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

using test::RunFernweave;

TEST(ExportCommandTest, ExportsPagesThenNothingChangedThenText) {
  test::CollectingMessages messages;
  test::ScratchFolder dir;
  const std::string file = (dir.path() / "t.skep").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"new", file},
        {"add", file, "/Top/A", "--text", "first\rsecond"},
        {"add", file, "/Top/B"},
        {"set", file, "/Top/B", "HTMLDontExport=true"}}) {
    ASSERT_EQ(RunFernweave(args).status, kExitOk) << test::JoinedArgs(args);
  }
  const std::string site = (dir.path() / "new/site").string();
  test::CommandRun run = RunFernweave({"export", file, site});
  EXPECT_EQ(run.status, kExitOk) << (messages.messages().empty() ? "" : messages.messages().back());
  EXPECT_EQ(run.out, "2 written, 0 unchanged, 1 skipped\n");
  EXPECT_TRUE(std::filesystem::exists(site + "/Top/A.html"));
  run = RunFernweave({"export", file, site});
  EXPECT_EQ(run.out, "0 written, 2 unchanged, 1 skipped\n");

  const std::string text = (dir.path() / "out.txt").string();
  run = RunFernweave({"export", file, text, "--text", "--note", "/Top"});
  EXPECT_EQ(run.status, kExitOk) << (messages.messages().empty() ? "" : messages.messages().back());
  std::ifstream in(text);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(in)), {}),
            "A\n\nfirst\nsecond\n\nB\n\n\n\n");

  EXPECT_EQ(RunFernweave({"export", file, site, "--note", "/Top"}).status, kExitUsage);
  EXPECT_EQ(RunFernweave({"export", file, file}).status, kExitFile);
}

}  // namespace
}  // namespace fernweave
