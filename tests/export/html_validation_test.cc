// Exports the example document and a generated one with the standard templates, then
// checks every page with html-validate (installed by scripts/install-deps into
// scripts/html-validate, rules in scripts/html-validate/htmlvalidate.json) and
// checks that every link between pages leads to a file of the export.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/exporter.h"
#include "lang/language.h"
#include "persist/orvex_doc.h"
#include "tests/support/document_generator.h"
#include "tests/support/file_faults.h"

namespace fernweave {
namespace {

namespace fs = std::filesystem;

const fs::path kSource = FW_SOURCE_DIR;
const fs::path kChecker = kSource / "scripts/html-validate";

std::string Read(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

std::vector<fs::path> Pages(const fs::path& dir) {
  std::vector<fs::path> pages;
  for (const auto& entry : fs::recursive_directory_iterator(dir)) {
    if (entry.is_regular_file() && entry.path().extension() == ".html") {
      pages.push_back(entry.path());
    }
  }
  return pages;
}

// Each href of the page that is not a web address or a fragment, with what is wrong.
std::vector<std::string> BrokenLinks(const fs::path& page) {
  std::vector<std::string> broken;
  const std::string html = Read(page);
  size_t at = 0;
  while ((at = html.find("href=\"", at)) != std::string::npos) {
    at += 6;
    const size_t end = html.find('"', at);
    std::string href = html.substr(at, end - at);
    if (href.find("://") != std::string::npos || href.starts_with("mailto:") ||
        href.starts_with('#') || href.empty()) {
      continue;
    }
    href = href.substr(0, href.find('#'));
    if (href.starts_with('/') || !fs::is_regular_file(page.parent_path() / href)) {
      broken.push_back(page.string() + " -> " + href);
    }
  }
  return broken;
}

class HTMLValidationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (std::system("node --version > /dev/null 2>&1") != 0) {
      GTEST_SKIP() << "node is not installed: the exported pages are not validated";
    }
    ASSERT_TRUE(fs::exists(kChecker / "node_modules/.bin/html-validate"))
        << "html-validate is missing: run scripts/install-deps";
    InstallLanguage();
    InstallTemplateLanguage();
    ExportRun::SetStandardTemplateFolder((kSource / "config/templates").string());
  }

  // Exports `doc` and checks its pages; returns the number of pages.
  size_t ExportAndCheck(Hypertext& doc, const std::string& name) {
    const fs::path out = scratch_.path() / name;
    ExportResult result = ExportDocument(doc, out.string(), ExportOptions(), nullptr, nullptr);
    EXPECT_TRUE(result.ok()) << (result.messages.empty() ? "" : result.messages[0]);
    const std::vector<fs::path> pages = Pages(out);
    for (const fs::path& page : pages) {
      for (const std::string& broken : BrokenLinks(page)) {
        ADD_FAILURE() << "link to no file: " << broken;
      }
    }
    const std::string log = (scratch_.path() / (name + ".log")).string();
    const std::string command = "cd '" + out.string() + "' && node '" +
                                (kChecker / "node_modules/.bin/html-validate").string() +
                                "' --config '" + (kChecker / "htmlvalidate.json").string() +
                                "' --ext html . > '" + log + "' 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << Read(log);
    return pages.size();
  }

  test::ScratchFolder scratch_;
};

TEST_F(HTMLValidationTest, ExampleDocumentExportsValidLinkedPages) {
  // A copy, so that opening it never touches the example itself.
  const fs::path copy = scratch_.path() / "garden.skep";
  fs::copy_file(kSource / "examples/garden.skep", copy);
  std::unique_ptr<OrvexDoc> doc = OrvexDoc::Create(copy);
  ASSERT_NE(doc, nullptr);
  EXPECT_GT(ExportAndCheck(*doc->GetHypertext(), "garden"), 5u);
}

TEST_F(HTMLValidationTest, GeneratedDocumentWithStylesPicturesAndLinksIsValid) {
  test::GeneratorOptions options;
  options.notes = 80;
  std::unique_ptr<Orvex> doc = test::GenerateDocument(options);
  // The generated texts hold stray "<" characters, which a note's text otherwise
  // passes on as markup of its own; and struck text is marked with the current tag
  // rather than the built-in default <strike>, which HTML5 no longer has.
  doc->Properties().SetDefault("HTMLQuoteHTML", "true");
  doc->Properties().SetDefault("HTMLStrikeStart", "<s>");
  doc->Properties().SetDefault("HTMLStrikeEnd", "</s>");
  EXPECT_GT(ExportAndCheck(*doc, "generated"), 50u);
}

}  // namespace
}  // namespace fernweave
