#include "export/exporter.h"

#include <sys/stat.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_record.h"
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

// Every file below `dir` but the export's record, relative, sorted.
std::vector<std::string> Files(const fs::path& dir) {
  std::vector<std::string> out;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().filename() != ExportRecord::kFileName) {
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
  EXPECT_EQ(result.skipped, 3);
  EXPECT_EQ(result.rendered, 0);  // the record of the first run served
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

// Each case exports into its own folder twice (the second run must be served by the
// record exactly when the pages can be repeated), then makes one change and exports
// again: the change must be noticed, so the pages are expanded and come out right.
TEST_F(ExporterTest, RecordServesOnlyWhatNothingChanged) {
  const fs::path templates = dir_.path() / "templates";
  fs::create_directories(templates);
  std::ofstream(templates / "side.html") << "<p>^title^ side</p>";
  ExportOptions options;
  const auto run = [&](const fs::path& out) {
    return ExportDocument(*doc_, out.string(), options, nullptr, nullptr);
  };
  auto set_template = [this](std::string text) { At(doc_.get(), "page")->SetText(text); };
  const std::string standard = "<h1>^title^</h1>^childlinks^^outboundlinks^^text^";
  FixedShell shell;
  shell.result.output = "from the command";
  ShellService* previous_shell = SetShell(&shell);

  const struct Case {
    const char* name;
    bool repeatable;
    std::function<void()> setup;
    std::function<void(const fs::path& out)> change;
    const char* page;  // the page that must show the change
    const char* holds;
  } cases[] = {
      {"note text", true, [] {}, [&](const fs::path&) { At(doc_.get(), "other")->SetText("new"); },
       "other.html", "new"},
      {"attribute only a template reads", true, [&] { set_template("^title^:^get(Badge)^"); },
       [&](const fs::path&) { At(doc_.get(), "other")->Set("Badge", "star"); }, "other.html",
       "other:star"},
      {"template file", true,
       [&] { At(doc_.get(), "other")->Set("HTMLExportTemplate", "side.html"); },
       [&](const fs::path&) { std::ofstream(templates / "side.html") << "<p>^title^ edited</p>"; },
       "other.html", "other edited"},
      {"template file that appears", true,
       [&] { At(doc_.get(), "other")->Set("HTMLExportTemplate", "later.html"); },
       [&](const fs::path&) { std::ofstream(templates / "later.html") << "late ^title^"; },
       "other.html", "late other"},
      {"options", true, [] {}, [&](const fs::path&) { options.template_folders.clear(); },
       "other.html", "<h1>other</h1>"},
      {"page removed by hand", true, [] {},
       [](const fs::path& out) { fs::remove(out / "notes/deep.html"); }, "notes/deep.html",
       "<h1>deep</h1>"},
      {"page edited by hand", true, [] {},
       [](const fs::path& out) { std::ofstream(out / "other.html") << "scribbled"; }, "other.html",
       "<h1>other</h1>"},
      {"damaged record", true, [] {},
       [](const fs::path& out) {
         std::ofstream(out / ExportRecord::kFileName, std::ios::app) << "file 1 2 3 4 x\n";
       },
       "other.html", "<h1>other</h1>"},
      {"clock", false, [&] { set_template("^title^ ^today(y)^"); }, [](const fs::path&) {},
       "other.html", "other "},
      {"random line", false,
       [&] {
         set_template("^title^ ^randomline^");
         At(doc_.get(), "other")->SetText("one\rtwo");
       },
       [](const fs::path&) {}, "other.html", "other"},
      {"export command", false,
       [&] { At(doc_.get(), "other")->Set("HTMLExportCommand", "cat"); },
       [&](const fs::path&) { shell.result.output = "changed by the command"; }, "other.html",
       "changed by the command"},
      {"action changing the document", false,
       [&] { set_template("^title^^action($Badge=$Badge+\"x\")^"); }, [](const fs::path&) {},
       "other.html", "other"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    options.template_folders = {templates.string()};
    set_template(standard);
    c.setup();
    const fs::path out = dir_.path() / c.name;
    ASSERT_TRUE(run(out).ok());
    ExportResult second = run(out);
    EXPECT_EQ(second.rendered == 0, c.repeatable);
    EXPECT_EQ(second.unchanged + second.written, 9);
    EXPECT_EQ(fs::exists(out / ExportRecord::kFileName), c.repeatable);
    c.change(out);
    const ExportResult third = run(out);
    EXPECT_TRUE(third.ok());
    EXPECT_EQ(third.rendered, 9);
    EXPECT_NE(Read(out / c.page).find(c.holds), std::string::npos) << Read(out / c.page);
    // Put the document back for the next case.
    At(doc_.get(), "other")->SetText("");
    for (const char* name : {"Badge", "HTMLExportTemplate", "HTMLExportCommand"}) {
      At(doc_.get(), "other")->Remove(name);
    }
  }
  SetShell(previous_shell);
}

TEST(ExportRecordTest, ReadsBackWhatItWritesAndNothingDamaged) {
  ExportRecord record;
  record.key = 0xfeedULL;
  record.pages = 2;
  record.skipped = 1;
  record.templates = {{"item.html", "/t/item.html", 7}, {"gone.html", "", 0}};
  record.files = {{"a.html", {10, 20, 30, 40}}, {"a/b c.html", {1, -2, 3, 4}}};
  const std::string text = record.Serialize();
  std::optional<ExportRecord> back = ExportRecord::Parse(text);
  ASSERT_TRUE(back.has_value());
  EXPECT_EQ(back->Serialize(), text);
  EXPECT_EQ(back->templates, record.templates);
  EXPECT_EQ(back->files[1].path, "a/b c.html");
  EXPECT_EQ(back->files[1].stamp, record.files[1].stamp);

  const std::string damaged[] = {
      "",
      text.substr(0, text.size() - 1),            // the last line cut
      text.substr(0, text.rfind("end")),          // no end line
      text + "file 1 2 3 4 late.html\n",          // something after the end
      "fernweave export record 0" + text.substr(text.find('\n')),  // another format
  };
  for (const std::string& bad : damaged) {
    EXPECT_FALSE(ExportRecord::Parse(bad).has_value()) << bad;
  }
  std::string miscounted = text;
  miscounted.replace(miscounted.rfind("end 4"), 5, "end 3");
  EXPECT_FALSE(ExportRecord::Parse(miscounted).has_value());
  std::string bad_number = text;
  bad_number.replace(bad_number.find("file 10"), 7, "file 1x");
  EXPECT_FALSE(ExportRecord::Parse(bad_number).has_value());

  // A name that does not fit on one line leaves no record at all.
  record.files[0].path = "a\nb.html";
  EXPECT_EQ(record.Serialize(), "");
}

}  // namespace
}  // namespace fernweave
