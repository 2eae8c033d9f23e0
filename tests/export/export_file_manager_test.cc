#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "export/export_file_manager.h"
#include "export/export_template.h"
#include "model/hypertext.h"
#include "model/value.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

using test::At;

TEST(ExportFileManagerTest, NamesAreCleanUniqueAndStayInTheirFolder) {
  auto doc = test::MakeDocument(
      "A/B: C?\nnotes\n  child\n  deep\n    leaf\nNotes!\nno.tes\n...\nlong name that goes on\n"
      "escape\nhidden\n  kept\n");
  At(doc.get(), "long name that goes on")->Set("HTMLFileNameMaxLength", "3");
  At(doc.get(), "escape")->Set("HTMLExportFileName", "../../etc/pass wd");
  At(doc.get(), "hidden")->SetBoolean("HTMLDontExport", true);
  ExportFileManager files(doc.get());
  files.Initialize();
  const struct {
    const char* path;
    const char* file;
  } kCases[] = {
      {"notes", "notes.html"},
      {"notes/child", "notes/child.html"},
      {"notes/deep/leaf", "notes/deep/leaf.html"},
      {"Notes!", "Notes.html"},
      {"no.tes", "notes_1.html"},
      {"long name that goes on", "longname.html"},
      {"escape", "etcpasswd.html"},
      // A note that gets no page but exports its children keeps its folder.
      {"hidden", "hidden.html"},
      {"hidden/kept", "hidden/kept.html"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(files.FileNameFor(At(doc.get(), c.path)), c.file) << c.path;
  }
  EXPECT_EQ(files.FileNameFor(doc->FirstNode()), "ABC.html");
  const Node* dots = At(doc.get(), "...");
  EXPECT_EQ(files.FileNameFor(dots), "note" + std::to_string(dots->GetID().id()) + ".html");
  EXPECT_EQ(files.LocalFolderName(At(doc.get(), "notes/deep")), "notes:deep:");

  At(doc.get(), "Notes!")->SetBoolean("HTMLFileNameLowerCase", true);
  At(doc.get(), "no.tes")->SetBoolean("HTMLFileNameLowerCase", true);
  files.Initialize();
  EXPECT_EQ(files.FileNameFor(At(doc.get(), "Notes!")), "notes_1.html");
  EXPECT_EQ(files.FileNameFor(At(doc.get(), "no.tes")), "notes_2.html");
  EXPECT_EQ(ExportFileManager::Variation("abcdefghij.html", 12, 3), "abcde_12.html");
}

TEST(ExportFileManagerTest, RelativeURLsClimbToTheCommonFolder) {
  auto doc = test::MakeDocument("top\n  a\n    a1\n  b\n    b1\nother\n");
  ExportFileManager files(doc.get());
  files.Initialize();
  const struct {
    const char* target;
    const char* page;
    const char* url;
  } kCases[] = {
      {"top/a/a1", "top/b/b1", "../a/a1.html"},
      {"other", "top/a/a1", "../../other.html"},
      {"top/a/a1", "other", "top/a/a1.html"},
      {"top/a", "top/a/a1", "../a.html"},
      {"top/b", "top/a", "b.html"},
      {"top", "top", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(files.RelativeURL(At(doc.get(), c.target), At(doc.get(), c.page)), c.url)
        << c.target << " from " << c.page;
  }
  EXPECT_EQ(files.RelativeURL(At(doc.get(), "top"), At(doc.get(), "top"), "x"), "#x");
  EXPECT_EQ(files.RelativeURL(At(doc.get(), "top/a/a1"), nullptr), "a1.html");

  // The template gives the same paths as codes see them, or the host's and root's.
  ExportRun run(doc.get());
  ExportTemplate t(&run, "t", "^url(/other)^|^parenturl^|^root^|^directory^");
  EXPECT_EQ(t.Export(At(doc.get(), "top/a/a1"), At(doc.get(), "top/a/a1")),
            "../../other.html|../a.html|../../|top/a/");
  doc->Preferences().Set("ExportHost", Value::Create(AttributeType::kString, "http://x.org"));
  EXPECT_EQ(t.URLFor(At(doc.get(), "top/a"), At(doc.get(), "other")), "http://x.org/top/a.html");
  t.RootPath("/site/");
  EXPECT_EQ(t.URLFor(At(doc.get(), "top/a"), At(doc.get(), "other")), "/site/top/a.html");
}

}  // namespace
}  // namespace fernweave
