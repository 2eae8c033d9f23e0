#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/xml_item.h"
#include "foundation/xml_reader.h"
#include "tests/support/command_runner.h"
#include "tests/support/fakes.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

using test::ReadFile;
using test::RunFernweave;

const std::string kGarden = std::string(FW_SOURCE_DIR) + "/examples/garden.skep";

std::filesystem::path OutputDir() {
  const std::filesystem::path dir = std::filesystem::path(FW_BINARY_DIR) / "render_test";
  std::filesystem::create_directories(dir);
  return dir;
}

uint32_t BigEndian(const std::string& bytes, size_t at) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
  }
  return v;
}

TEST(RenderCommandTest, EachFormatIsAFileItsReaderAccepts) {
  test::CollectingMessages messages;
  const std::filesystem::path dir = OutputDir();
  struct Case {
    const char* view;
    const char* file;
  } cases[] = {{"map", "map.png"},       {"outline", "outline.svg"}, {"chart", "chart.pdf"},
               {"treemap", "tree.png"},  {"map", "map.svg"},         {"outline", "outline.png"}};
  for (const Case& c : cases) {
    const std::string out = (dir / c.file).string();
    std::filesystem::remove(out);
    const test::CommandRun run = RunFernweave({"render", kGarden, "--view", c.view, "-o", out});
    ASSERT_EQ(run.status, 0) << c.view << " " << c.file;
    EXPECT_EQ(run.out, out + "\n");
    const std::string bytes = ReadFile(out);
    const std::string extension = std::filesystem::path(out).extension();
    if (extension == ".png") {
      ASSERT_GT(bytes.size(), 24u);
      EXPECT_EQ(bytes.substr(0, 8), "\x89PNG\r\n\x1a\n") << c.file;
      EXPECT_GT(BigEndian(bytes, 16), 40u) << c.file;  // width and height of the content
      EXPECT_GT(BigEndian(bytes, 20), 40u) << c.file;
    } else if (extension == ".svg") {
      XMLReader reader;
      ASSERT_TRUE(reader.Parse(bytes)) << c.file;
      std::unique_ptr<XMLItem> root = reader.Release();
      ASSERT_NE(root, nullptr);
      EXPECT_NE(root->Kind().find("svg"), std::string::npos) << c.file;
    } else {
      EXPECT_EQ(bytes.substr(0, 5), "%PDF-") << c.file;
    }
    EXPECT_FALSE(std::filesystem::exists(out + ".part"));
  }
  EXPECT_TRUE(messages.messages().empty());
}

TEST(RenderCommandTest, SizeZoomAndNoteAreHonoured) {
  test::CollectingMessages messages;
  const std::string out = (OutputDir() / "sized.png").string();
  ASSERT_EQ(RunFernweave({"render", kGarden, "/Beds", "--view", "map", "-o", out, "--size",
                          "300x120", "--zoom", "-4"})
                .status,
            0);
  const std::string bytes = ReadFile(out);
  EXPECT_EQ(BigEndian(bytes, 16), 300u);
  EXPECT_EQ(BigEndian(bytes, 20), 120u);
}

TEST(RenderCommandTest, AnEnormousBoxIsCutOffAtTheLargestPicture) {
  test::CollectingMessages messages;
  const std::filesystem::path dir = OutputDir();
  const std::string doc = (dir / "enormous.skep").string();
  const std::string out = (dir / "enormous.png").string();
  std::filesystem::remove(doc);
  ASSERT_EQ(RunFernweave({"new", doc}).status, 0);
  ASSERT_EQ(RunFernweave({"add", doc, "/Wide", "--set", "Width=1e308", "--set", "InteriorScale=-3"})
                .status,
            0);
  ASSERT_EQ(RunFernweave({"add", doc, "/Wide/Inside", "--set", "Height=-5"}).status, 0);
  messages.Clear();
  ASSERT_EQ(RunFernweave({"render", doc, "--view", "map", "-o", out}).status, 0);
  EXPECT_EQ(messages.messages(),
            std::vector<std::string>{"the picture is cut off at 16384 pixels"});
  EXPECT_EQ(BigEndian(ReadFile(out), 16), 16384u);
}

TEST(RenderCommandTest, BadRequestsWriteNothing) {
  test::CollectingMessages messages;
  const std::string out = (OutputDir() / "refused.png").string();
  struct Case {
    std::vector<std::string> args;
    int status;
    const char* message;
  } cases[] = {
      {{"render", kGarden, "--view", "cloud", "-o", out}, 2,
       "--view must be map, outline, chart or treemap: cloud"},
      {{"render", kGarden, "--view", "map", "-o", out + ".gif"}, 2,
       "the picture's file name must end in .png, .svg or .pdf: "},
      {{"render", kGarden, "--view", "map", "-o", out, "--size", "0x10"}, 2,
       "--size must be WIDTHxHEIGHT, each from 1 to 16384: 0x10"},
      {{"render", kGarden, "--view", "map", "-o", out, "--size", "wide"}, 2,
       "--size must be WIDTHxHEIGHT, each from 1 to 16384: wide"},
      {{"render", kGarden, "/Nowhere", "--view", "map", "-o", out}, 1, ""},
      {{"render", kGarden, "--view", "map", "-o", "/nonexistent-folder/x.png"}, 3,
       "cannot write /nonexistent-folder/x.png"},
  };
  for (const Case& c : cases) {
    messages.Clear();
    std::filesystem::remove(out);
    EXPECT_EQ(RunFernweave(c.args).status, c.status) << test::JoinedArgs(c.args);
    EXPECT_FALSE(std::filesystem::exists(out)) << test::JoinedArgs(c.args);
    ASSERT_FALSE(messages.messages().empty()) << test::JoinedArgs(c.args);
    EXPECT_EQ(messages.messages().front().rfind(c.message, 0), 0u)
        << messages.messages().front();
  }
}

}  // namespace
}  // namespace fernweave
