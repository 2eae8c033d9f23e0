#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "export/export_template.h"
#include "lang/language.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

using test::At;

class CloudCodesTest : public ::testing::Test {
 protected:
  CloudCodesTest() {
    InstallLanguage();
    InstallTemplateLanguage();
    // Short decorations make the weight classes readable.
    for (int i = 1; i <= 5; ++i) {
      doc_->Properties().SetDefault("HTMLCloud" + std::to_string(i) + "Start",
                                    "[" + std::to_string(i));
      doc_->Properties().SetDefault("HTMLCloud" + std::to_string(i) + "End", "]");
    }
    At(doc_.get(), "Fruit")->SetText("apple apple apple banana cherry cherry");
    At(doc_.get(), "Fruit/Kiwi")->SetText("kiwi & apple");
    At(doc_.get(), "Basket")->SetText("apple banana basket");
    At(doc_.get(), "Zoo")->SetText("zebra");
  }
  std::string Page(const std::string& text, const std::string& path) {
    ExportRun run(doc_.get());
    Node* note = At(doc_.get(), path);
    ExportTemplate page(&run, "page", text);
    return page.Export(note, note);
  }

  std::unique_ptr<Orvex> doc_ = test::MakeDocument("Fruit\n  Kiwi\nBasket\nZoo\nEmpty");
};

TEST_F(CloudCodesTest, CloudsWeighWordsOnALogScale) {
  const struct {
    const char* text;
    const char* path;
    const char* out;
  } cases[] = {
      {"^cloud^", "Fruit", "[5apple] [1banana] [4cherry]"},
      {"^notecloud(/Fruit, 1)^", "Zoo", "[3apple]"},
      {"^sectioncloud^", "Fruit", "[5apple] [1banana] [3cherry] [1kiwi]"},
      {"^documentcloud(2)^", "Zoo", "[5apple] [1banana]"},
      {"^cloud^", "Empty", ""},
      {"^cloud(/Nowhere)^", "Fruit", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Page(c.text, c.path), c.out) << c.text;
  }
}

TEST_F(CloudCodesTest, SimilarToListsPagesOfNotesSharingWords) {
  EXPECT_EQ(Page("^similarto(,2)^", "Basket"),
            "<ul><li><a href=\"Fruit.html\">Fruit</a></li>"
            "<li><a href=\"Fruit/Kiwi.html\">Kiwi</a></li></ul>");
  EXPECT_EQ(Page("^similarto(/Basket,1,<p>,,,</p>)^", "Zoo"),
            "<p><li><a href=\"Fruit.html\">Fruit</a></li></p>");
  // No note shares a word with the zebra: nothing at all.
  EXPECT_EQ(Page("^similarto^", "Zoo"), "");
  EXPECT_EQ(Page("^if(^similarto^)^yes^else^no^endif^", "Zoo"), "no");
}

}  // namespace
}  // namespace fernweave
