#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/command.h"
#include "tests/support/command_runner.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

class ExplodeCommandTest : public ::testing::Test {
 protected:
  ExplodeCommandTest() {
    setenv("FERNWEAVE_NOW", "2009-05-04T10:17:33", 1);
    Expect({"new", file_}, kExitOk, "");
    const std::string text = "Rain fell. All night...\r\rMorning came! Birds sang.\rThe end";
    Expect({"add", file_, "/Book", "--text", text}, kExitOk, "");
  }
  ~ExplodeCommandTest() override { unsetenv("FERNWEAVE_NOW"); }

  void Expect(const std::vector<std::string>& args, int status, const std::string& out) {
    const test::CommandRun run = test::RunFernweave(args);
    EXPECT_EQ(run.status, status) << test::JoinedArgs(args);
    if (args[0] != "add") {  // add prints the new note's id
      EXPECT_EQ(run.out, out) << test::JoinedArgs(args);
    }
  }

  test::CollectingMessages messages_;
  test::ScratchFolder dir_;
  const std::string file_ = (dir_ / "book.skep").string();
};

TEST_F(ExplodeCommandTest, ExplodesAsToldOrWithDefaultsAndSaves) {
  Expect({"explode", file_, "/Book", "--delimiter", "\\n", "--name", "paragraph", "--cut"},
         kExitOk, "3\n");
  // The paragraph that names a note leaves its text; the last, without a line break, is
  // the whole text and stays.
  Expect({"get", file_, "/Book/Exploded Text/Morning came! Birds sang.", "Text"}, kExitOk, "\n");
  Expect({"get", file_, "/Book/Exploded Text/The end", "Text"}, kExitOk, "The end\n");
  Expect({"explode", file_, "Book"}, kExitOk, "1\n");  // one chunk of up to 500, named
  Expect({"explode", file_, "Book", "--size", "30", "--name", "two-sentences"}, kExitOk, "2\n");
  Expect({"tree", file_, "/Book"}, kExitOk,
         "Exploded Text\n  Rain fell. All night...\n  Morning came! Birds sang.\n  The end\n"
         "Exploded Text\n  Rain fell.\n"
         "Exploded Text\n  Rain fell. All night...\n  came! Birds sang.\n");
}

TEST_F(ExplodeCommandTest, RefusesBadArgumentsAndWritesNothing) {
  const std::string before = test::ReadFile(file_);
  Expect({"explode", file_, "Book", "--size", "5", "--delimiter", ","}, kExitUsage, "");
  Expect({"explode", file_, "Book", "--name", "title"}, kExitUsage, "");
  Expect({"explode", file_, "Book", "--size", "-3"}, kExitUsage, "");
  Expect({"explode", file_, "/Nowhere"}, kExitFalse, "");
  EXPECT_EQ(test::ReadFile(file_), before);
}

}  // namespace
}  // namespace fernweave
