#include "export/exporter.h"

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/progress.h"
#include "foundation/shell.h"
#include "lang/language.h"
#include "model/link.h"
#include "model/value.h"
#include "tests/support/file_faults.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

namespace fs = std::filesystem;
using test::At;

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// Every file below `dir`, relative, sorted.
std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file()) {
      out.push_back(fs::relative(entry.path(), dir).string());
    }
  }
  std::sort(out.begin(), out.end());
  return out;
}

// Answers every command with a fixed result.
struct FixedShell : ShellService {
  ShellResult result;
  int runs = 0;
  ShellResult Run(std::string_view, const std::optional<std::string>&) override {
    ++runs;
    return result;
  }
};

// Sets the cancel flag after `after` pages.
struct CancellingProgress : Progress {
  std::atomic<bool>* flag;
  int after;
  std::string title;
  void Begin(const std::string& t, long) override { title = t; }
  void Bump() override {
    if (--after == 0) {
      flag->store(true);
    }
  }
  void End() override {}
};

class ExporterTest : public ::testing::Test {
 protected:
  ExporterTest() {
    InstallLanguage();
    InstallTemplateLanguage();
    Node* page = doc_->MakeNode("page", nullptr, nullptr, 0, 0);
    page->SetBoolean("IsTemplate", true);
    page->SetText("<h1>^title^</h1>^childlinks^^outboundlinks^^text^");
    page->SetBoolean("HTMLDontExport", true);
    doc_->Root()->Set("HTMLExportTemplate", "/page");
  }
  ExportResult Export(const std::atomic<bool>* cancel = nullptr, Progress* progress = nullptr) {
    return ExportDocument(*doc_, out_.string(), ExportOptions(), progress, cancel);
  }

  std::unique_ptr<Orvex> doc_ = test::MakeDocument(
      "notes\n  A/B: C?\n  deep\n    leaf\nother\nquiet\n  unseen\nsealed\n  inner\n");
  test::ScratchFolder dir_;
  fs::path out_ = dir_.path() / "site";
};

TEST_F(ExporterTest, WritesEveryPageInItsFolderAndRewritesNothingUnchanged) {
  At(doc_.get(), "quiet")->SetBoolean("HTMLDontExport", true);
  At(doc_.get(), "sealed")->SetBoolean("HTMLExportChildren", false);
  LinkRecord r;
  r.source = At(doc_.get(), "notes/deep/leaf");
  r.dest = At(doc_.get(), "other");
  doc_->CreateLink(r);

  ExportResult result = Export();
  ASSERT_TRUE(result.ok()) << (result.messages.empty() ? "" : result.messages[0]);
  EXPECT_EQ(Files(out_), (std::vector<std::string>{"notes.html", "notes/ABC.html",
                                                   "notes/deep.html", "notes/deep/leaf.html",
                                                   "other.html", "quiet/unseen.html",
                                                   "sealed.html"}));
  // page, quiet (no page of its own), sealed/inner (children not exported)
  EXPECT_EQ(result.written, 7);
  EXPECT_EQ(result.skipped, 3);
  EXPECT_NE(Read(out_ / "notes/deep/leaf.html").find("<a href=\"../../other.html\">other</a>"),
            std::string::npos);
  EXPECT_NE(Read(out_ / "notes.html").find("<a href=\"notes/deep.html\">deep</a>"),
            std::string::npos);

  struct stat before;
  ASSERT_EQ(stat((out_ / "other.html").c_str(), &before), 0);
  result = Export();
  EXPECT_EQ(result.written, 0);
  EXPECT_EQ(result.unchanged, 7);
  struct stat after;
  ASSERT_EQ(stat((out_ / "other.html").c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);

  // A changed note rewrites its page alone, through a file renamed into place.
  At(doc_.get(), "other")->SetText("new text");
  result = Export();
  EXPECT_EQ(result.written, 1);
  EXPECT_NE(Read(out_ / "other.html").find("new text"), std::string::npos);
  EXPECT_EQ(Files(out_).size(), 7u);  // no temporary file left behind
}

TEST_F(ExporterTest, NamesNeverLeaveTheDestination) {
  const struct {
    const char* own_name;
    const char* file;
  } cases[] = {
      {"../../.bashrc", "other.bashrc"},
      {"/etc/x", "etcx.html"},
      {"a:b/c", "abc.html"},
      {".html", "other.html"},
      {"page.php", "page.php"},
  };
  for (const auto& c : cases) {
    At(doc_.get(), "other")->Set("HTMLExportFileName", c.own_name);
    fs::remove_all(out_);
    ASSERT_TRUE(Export().ok()) << c.own_name;
    EXPECT_TRUE(fs::exists(out_ / c.file)) << c.own_name;
  }
  EXPECT_FALSE(fs::exists(dir_.path() / ".bashrc"));

  // Template names are looked up inside the template folders only.
  At(doc_.get(), "other")->Set("HTMLExportFileName", "");
  fs::create_directories(dir_.path() / "templates");
  std::ofstream(dir_.path() / "secret.html") << "SECRET";
  std::ofstream(dir_.path() / "templates/mine.html") << "mine ^title^";
  ExportOptions options;
  options.template_folders = {(dir_.path() / "templates").string()};
  for (const char* name : {"../secret.html", "mine.html"}) {
    At(doc_.get(), "other")->Set("HTMLExportTemplate", name);
    ASSERT_TRUE(ExportDocument(*doc_, out_.string(), options, nullptr, nullptr).ok());
  }
  EXPECT_EQ(Read(out_ / "other.html"), "mine other");
  At(doc_.get(), "other")->Set("HTMLExportTemplate", "../secret.html");
  ASSERT_TRUE(ExportDocument(*doc_, out_.string(), options, nullptr, nullptr).ok());
  EXPECT_EQ(Read(out_ / "other.html"), "<h1>other</h1>");
  At(doc_.get(), "other")->Set("HTMLExportTemplate", "");

  // A symbolic link where a folder goes is not followed out of the destination.
  fs::remove_all(out_);
  fs::create_directories(out_);
  fs::create_directories(dir_.path() / "elsewhere");
  fs::create_directory_symlink(dir_.path() / "elsewhere", out_ / "notes");
  ExportResult result = Export();
  EXPECT_NE(result.error_code, 0);
  EXPECT_TRUE(fs::is_empty(dir_.path() / "elsewhere"));
  // A link standing at a page's name is replaced, never written through.
  fs::remove(out_ / "notes");
  std::ofstream(dir_.path() / "target") << "keep";
  fs::create_symlink(dir_.path() / "target", out_ / "otherpage.php");
  At(doc_.get(), "other")->Set("HTMLExportFileName", "other.page.php");
  ASSERT_TRUE(Export().ok());
  EXPECT_EQ(Read(dir_.path() / "target"), "keep");
  EXPECT_FALSE(fs::is_symlink(out_ / "otherpage.php"));
  EXPECT_EQ(Read(out_ / "otherpage.php"), "<h1>other</h1>");
}

TEST_F(ExporterTest, UnwritableDestinationStopsWithItsErrorCode) {
  std::ofstream(out_) << "a file where the folder goes";
  ExportResult result = Export();
  EXPECT_EQ(result.error_code, ENOTDIR);
  EXPECT_FALSE(result.ok());
  // A file where a container's folder goes stops the run there.
  fs::remove(out_);
  fs::create_directories(out_);
  std::ofstream(out_ / "notes") << "x";
  result = Export();
  EXPECT_EQ(result.error_code, ENOTDIR);
  EXPECT_EQ(result.messages.size(), 1u);
}

TEST_F(ExporterTest, CancelledRunStopsBetweenWholePages) {
  std::atomic<bool> cancel{false};
  CancellingProgress progress;
  progress.flag = &cancel;
  progress.after = 2;
  ExportResult result = Export(&cancel, &progress);
  EXPECT_TRUE(result.cancelled);
  EXPECT_EQ(progress.title, "Exporting 9 pages.");
  EXPECT_EQ(result.written, 2);
  for (const std::string& f : Files(out_)) {
    EXPECT_NE(Read(out_ / f).find("</h1>"), std::string::npos) << f;
  }
}

TEST_F(ExporterTest, FailingExportCommandKeepsThePageAndIsReported) {
  At(doc_.get(), "other")->Set("HTMLExportCommand", "tr a-z A-Z");
  FixedShell shell;
  ShellService* previous = SetShell(&shell);
  shell.result.status = ShellResult::Status::kFailed;
  shell.result.exit_code = 3;
  shell.result.error = "the command exited with status 3";
  ExportResult result = Export();
  EXPECT_TRUE(result.ok());
  EXPECT_EQ(result.failed_commands, 1);
  ASSERT_EQ(result.messages.size(), 1u);
  EXPECT_NE(result.messages[0].find("\"other\""), std::string::npos);
  EXPECT_EQ(Read(out_ / "other.html"), "<h1>other</h1>");

  shell.result = ShellResult();
  shell.result.output = "FROM THE COMMAND";
  result = Export();
  EXPECT_EQ(result.failed_commands, 0);
  EXPECT_EQ(Read(out_ / "other.html"), "FROM THE COMMAND");
  SetShell(previous);
}

TEST_F(ExporterTest, TextExportChoosesNotesByMode) {
  At(doc_.get(), "notes/deep/leaf")->SetText("leaf & <text>");
  TextExporter text(doc_.get());
  EXPECT_EQ(text.Export(TextExporter::Mode::kBranch, At(doc_.get(), "notes/deep"), {}, {}),
            "leaf\r\rleaf & <text>\r\r");
  const std::string all = text.Export(TextExporter::Mode::kAll, nullptr, {}, {});
  EXPECT_EQ(text.result().written, 10);
  EXPECT_NE(all.find("\rnotes\r\r"), std::string::npos);
  EXPECT_EQ(text.Export(TextExporter::Mode::kPaths, nullptr, {"/other", "/nowhere"}, {}),
            "other\r\r\r\r");
}

}  // namespace
}  // namespace fernweave
