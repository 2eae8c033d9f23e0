#include "export/html_markup.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_template.h"
#include "lang/language.h"
#include "model/content.h"
#include "model/link.h"
#include "model/value.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

using test::At;

// Collects what a run writes beside its pages.
struct RecordingOutput : ExportOutput {
  std::vector<std::pair<std::string, std::string>> files;
  void WriteAuxiliaryFile(const std::string& path, std::string_view bytes) override {
    files.emplace_back(path, std::string(bytes));
  }
};

class HTMLMarkupTest : public ::testing::Test {
 protected:
  HTMLMarkupTest() {
    InstallLanguage();
    InstallTemplateLanguage();
    doc_->Preferences().Set(19, Value::ForDouble(12));
  }
  Node* Note(const std::string& text) {
    Node* n = At(doc_.get(), "Notes/N");
    n->SetText(text);
    return n;
  }
  void Prose(bool on) { doc_->Preferences().Set("Prose", Value::ForBoolean(on)); }
  void Runs(Node* n, std::vector<StyleRun> runs) { n->GetContent()->style_runs() = std::move(runs); }
  static StyleRun Run(int32_t start, double size, bool bold = false, bool italic = false) {
    StyleRun r;
    r.start = start;
    r.size = size;
    r.bold = bold;
    r.italic = italic;
    return r;
  }
  std::string Html(Node* n, size_t limit = 0) { return HTMLMarkup(n, n, nullptr, limit).ToString(); }
  // The note's page as `text` writes it, with the run's files recorded.
  std::string Page(const std::string& text, const std::string& path = "Notes/N") {
    run_ = std::make_unique<ExportRun>(doc_.get());
    run_->output = &output_;
    Node* n = At(doc_.get(), path);
    ExportTemplate t(run_.get(), "page", text);
    return t.Export(n, n);
  }

  std::unique_ptr<Orvex> doc_ = test::MakeDocument("Notes\n  N\n  B\n  C\n  Hidden");
  std::unique_ptr<ExportRun> run_;
  RecordingOutput output_;
};

TEST_F(HTMLMarkupTest, ParagraphsHeadingsAndEntities) {
  Node* n = Note("");
  struct Case {
    const char* text;
    bool prose;
    bool quote;
    std::vector<StyleRun> runs;
    const char* html;
  } cases[] = {
      {"first\rsecond", false, false, {}, "first<br>\nsecond<br>"},
      {"first\rsecond\r\r\tthird", true, false, {},
       "<p>first</p>\n<p>second</p>\n\n<blockquote>\tthird</blockquote>"},
      // Headings by size above the document's text size (12).
      {"Big\rbody", false, false, {Run(0, 18), Run(4, 12)}, "<h1>Big</h1>\nbody<br>"},
      {"Mid\rbody", false, false, {Run(0, 16), Run(4, 12)}, "<h2>Mid</h2>\nbody<br>"},
      {"Sub\rbody", false, false, {Run(0, 14), Run(4, 12)}, "<h3>Sub</h3>\nbody<br>"},
      {"One\rbody", false, false, {Run(0, 13), Run(4, 12)}, "One<br>\nbody<br>"},
      // A paragraph of mixed sizes is no heading.
      {"Mix", false, false, {Run(0, 18), Run(1, 12)}, "Mix<br>"},
      {"a < b & c &amp; \xC3\xA9", false, false, {}, "a < b &amp; c &amp; &#xe9;<br>"},
      {"a < b & c", false, true, {}, "a &lt; b &amp; c<br>"},
      // Markup, macro calls and code lines are left as they stand.
      {"<div>x</div>\r^do(Footer)^\r^title^", true, false, {},
       "<div>x</div>\n^do(Footer)^\n^title^"},
      {"<pre>a\rb</pre>\rc", true, false, {}, "<pre>a\nb</pre>\n<p>c</p>"},
  };
  for (const Case& c : cases) {
    n->SetText(c.text);
    Prose(c.prose);
    n->SetBoolean("HTMLQuoteHTML", c.quote);
    Runs(n, c.runs);
    EXPECT_EQ(Html(n), c.html) << c.text;
  }
}

TEST_F(HTMLMarkupTest, ListsNestAndCloseInOrder) {
  Node* n = Note("");
  const struct {
    const char* text;
    const char* html;
  } cases[] = {
      {"* one\r** two\rafter",
       "<ul><li>one\n<ul><li>two</li></ul></li></ul>\nafter<br>"},
      {"# a\r# b\r* c", "<ol><li>a</li>\n<li>b</li></ol>\n<ul><li>c</li></ul>"},
      // A list that starts two levels down still nests inside an item.
      {"** deep\r* top", "<ul><li><ul><li>deep</li></ul></li>\n<li>top</li></ul>"},
      {"\xE2\x80\xA2 bullet", "<ul><li>bullet</li></ul>"},
  };
  for (const auto& c : cases) {
    n->SetText(c.text);
    EXPECT_EQ(Html(n), c.html) << c.text;
  }
  // Without list item tags, list characters are plain text.
  n->SetText("* one");
  n->Set("HTMLListItemStart", "");
  n->Set("HTMLListItemEnd", "");
  EXPECT_EQ(Html(n), "* one<br>");
}

TEST_F(HTMLMarkupTest, StyleSpansStayWellNested) {
  Node* n = Note("");
  Prose(true);
  const struct {
    const char* text;
    std::vector<StyleRun> runs;
    const char* html;
  } cases[] = {
      // A bold run that ends with the paragraph's return closes before it.
      {"bold\rplain", {Run(0, 12, true), Run(5, 12)}, "<p><b>bold</b></p>\n<p>plain</p>"},
      // Across a paragraph break: closed at the end, reopened in the next paragraph.
      {"ab\rcd", {Run(0, 12), Run(1, 12, true), Run(4, 12)},
       "<p>a<b>b</b></p>\n<p><b>c</b>d</p>"},
      // Bold ends inside italic: italic closes and reopens around the bold's end.
      {"abcd", {Run(0, 12, true), Run(1, 12, true, true), Run(2, 12, false, true), Run(3, 12)},
       "<p><b>a<i>b</i></b><i>c</i>d</p>"},
  };
  for (const auto& c : cases) {
    n->SetText(c.text);
    Runs(n, c.runs);
    EXPECT_EQ(Html(n), c.html) << c.text;
  }
  n->SetText("struck out");
  Runs(n, {});
  n->GetContent()->struck_spans() = {StruckSpan{0, 6}};
  EXPECT_EQ(Html(n), "<p><strike>struck</strike> out</p>");
}

TEST_F(HTMLMarkupTest, CutTextEndsWithEllipsisInsideClosedTags) {
  Node* n = Note("one two three four five six seven");
  Runs(n, {Run(0, 12, true)});
  Prose(true);
  EXPECT_EQ(Html(n, 8), "<p><b>one two </b>...</p>");
  EXPECT_EQ(Page("^text(5)^"), "<p><b>one two three four five </b>...</p>");
  n->SetText("one two");
  EXPECT_EQ(Page("^text(5)^"), "<p><b>one two</b></p>");
}

TEST_F(HTMLMarkupTest, TextLinksClustersAndPictures) {
  Prose(true);
  Node* n = Note("see B and C here");
  Node* b = At(doc_.get(), "Notes/B");
  Node* c = At(doc_.get(), "Notes/C");
  Node* hidden = At(doc_.get(), "Notes/Hidden");
  hidden->SetBoolean("HTMLDontExport", true);
  At(doc_.get(), "Notes")->SetBoolean("HTMLExportChildren", true);
  auto text_link = [&](Node* to, int32_t start, int32_t length) {
    LinkRecord r;
    r.source = n;
    r.dest = to;
    r.source_span = {start, length};
    return doc_->CreateLink(r);
  };
  Link* single = text_link(b, 4, 1);
  single->SetTitle("the \"B\" note");
  text_link(b, 10, 1);  // "C": a cluster of two links
  text_link(c, 10, 1);
  text_link(hidden, 12, 4);  // no page: no anchor
  EXPECT_EQ(Page("^text^"),
            "<p>see <a href=\"B.html\" title=\"the &quot;B&quot; note\"  >B</a> and "
            "<a href=\"N.links1.html\">C</a> here</p>");
  ASSERT_EQ(output_.files.size(), 1u);
  EXPECT_EQ(output_.files[0].first, "Notes/N.links1.html");
  EXPECT_NE(output_.files[0].second.find("<li><a HREF=\"B.html\">B</a></li>"), std::string::npos);

  output_.files.clear();
  n->SetText("pic\xEF\xBF\xBC!");
  TextPicture picture;
  picture.position = 3;
  picture.frame = {0, 0, 20, 10};
  picture.bytes = "\x89PNG....";
  n->GetContent()->pictures() = {picture};
  EXPECT_EQ(Page("^text^"),
            "<p>pic<img src=\"N.img1.png\" width=\"20\" height=\"10\" alt=\"\" >!</p>");
  ASSERT_EQ(output_.files.size(), 1u);
  EXPECT_EQ(output_.files[0], std::make_pair(std::string("Notes/N.img1.png"), picture.bytes));
}

}  // namespace
}  // namespace fernweave
