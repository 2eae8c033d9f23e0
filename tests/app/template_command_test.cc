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

TEST(TemplateCommandTest, ExpandsTextOrFileAndLeavesTheDocumentAlone) {
  test::CollectingMessages messages;
  test::ScratchFolder dir;
  const std::string file = (dir.path() / "t.skep").string();
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"new", file},
        {"add", file, "/Top/A & B", "--text", "first\rsecond"},
        {"add", file, "/Top/C"}}) {
    ASSERT_EQ(RunFernweave(args).status, kExitOk) << test::JoinedArgs(args);
  }
  std::ifstream before_in(file);
  const std::string before((std::istreambuf_iterator<char>(before_in)), {});

  test::CommandRun run = RunFernweave({"template", file, "/Top", "^title^: ^childlinks(,,,)^"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out,
            "Top: <ul><li><a href=\"Top/AB.html\">A &amp; B</a></li>"
            "<li><a href=\"Top/C.html\">C</a></li></ul>");

  const std::string template_file = (dir.path() / "page.html").string();
  std::ofstream(template_file) << "<h1>^title^</h1>^text^^include(/Top/C,child.html)^";
  run = RunFernweave({"template", file, "/Top/A & B", "--file", template_file});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out,
            "<h1>A &amp; B</h1>first<br>\nsecond<br><article class=\"child\">\n"
            "<h2><a href=\"C.html\">C</a></h2>\n\n</article>\n");

  // The standard page is a whole HTML5 document.
  run = RunFernweave({"template", file, "/Top", "--file",
                      std::string(FW_SOURCE_DIR) + "/config/templates/item.html"});
  EXPECT_EQ(run.status, kExitOk);
  EXPECT_EQ(run.out.rfind("<!DOCTYPE html>", 0), 0u) << run.out;
  EXPECT_NE(run.out.find("<title>Top</title>"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("<li><a href=\"Top/C.html\">C</a></li>"), std::string::npos);

  EXPECT_EQ(RunFernweave({"template", file, "/Top"}).status, kExitUsage);
  EXPECT_EQ(RunFernweave({"template", file, "/Nowhere", "x"}).status, kExitFalse);
  EXPECT_EQ(RunFernweave({"template", file, "/Top", "--file", "/no/such/file"}).status, kExitFile);
  std::ifstream after_in(file);
  EXPECT_EQ(std::string((std::istreambuf_iterator<char>(after_in)), {}), before);
}

}  // namespace
}  // namespace fernweave
