#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "export/export_element.h"
#include "export/export_template.h"
#include "foundation/stime.h"
#include "lang/action.h"
#include "lang/language.h"
#include "model/alias_node.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/value.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

using test::At;

class TemplateTest : public ::testing::Test {
 protected:
  TemplateTest() {
    InstallLanguage();
    InstallTemplateLanguage();
    doc_->Properties().CreateBasicAttribute("Size", kUserCategory, true, AttributeType::kNumber);
    doc_->Properties().SetDefault("Size", "2");
    At(doc_.get(), "Top")->SetText("one two three four");
    Set("Top/A", "Size", "3");
    Set("Top/B", "Size", "4");
    Set("Top/B/B1", "Size", "10");
    MakeTemplate("T", "[^title^]");
  }

  void Set(const std::string& path, const std::string& attribute, const std::string& value) {
    At(doc_.get(), path)->Set(attribute, value);
  }
  Node* MakeTemplate(const std::string& name, const std::string& text) {
    Node* n = doc_->MakeNode(name, nullptr, nullptr, 0, 0);
    n->SetBoolean("IsTemplate", true);
    n->SetText(text);
    return n;
  }
  // The page of the note at `path` as `text` writes it.
  std::string Page(const std::string& text, const std::string& path = "Top") {
    if (run_ == nullptr) {
      run_ = std::make_unique<ExportRun>(doc_.get());
      run_->hooks() = hooks_;
    }
    Node* note = At(doc_.get(), path);
    EXPECT_NE(note, nullptr) << path;
    ExportTemplate page(run_.get(), "page", text);
    return page.Export(note, note);
  }

  std::unique_ptr<Orvex> doc_ = test::MakeDocument("Top\n  A\n  B\n    B1\nOther");
  TemplateLanguageHooks hooks_;
  std::unique_ptr<ExportRun> run_;
};

TEST_F(TemplateTest, ParsesCaretsCodesArgumentsAndClauses) {
  const struct {
    const char* text;
    const char* out;
  } kCases[] = {
      {"^^", "^"},
      {"a ^ b", "a b"},
      {"a^\tb", "ab"},
      {"^TITLE^ ^title^", "Top Top"},
      {"^ Title^", "Title^"},
      {"^foo(1)^", "^ foo(1)"},
      {"^_x^", "^_x"},
      {"^foo^bar", "^ foobar"},
      {"x^title", "xTop"},
      {"^", "^"},
      {"^value(1+(2*3))^", "7"},
      {"^value(\"a)b\")^", "a)b"},
      {"^value(2)^^^", "2^"},
      {"^if(^value(1)^)^yes^else^no^endif^", "yes"},
      {"^if(^value(0)^)^yes^else^no^endif^", "no"},
      {"^if(^value(0)^)^yes^endif^!", "!"},
      {"^if()^empty^endif^", "empty"},
      {"^if(  )^y^else^n^endif^", "n"},
      {"^if(HTMLEntities)^attr^endif^", "attr"},
      {"^if(HTMLQuoteHTML)^q^else^noq^endif^", "noq"},
      {"^if(^value(1)^)^unterminated", "unterminated"},
      {"x^else^y^endif^z", "xyz"},
      {"^if(^value(1)^)^a^if(^value(0)^)^b^else^c^endif^d^else^e^endif^f", "acdf"},
      {"^if(^not(^value(0)^)^)^n^endif^ ^not(^value(0)^)^", "n  true "},
      {"^if(^equal(^title^, Top)^)^same^endif^", "same"},
      {"^equal(a)^", " false "},
      {"^contains(abc, b+)^^contains(abc, [)^", " true  false "},
      {"^beginswith(abc,ab)^^endswith(abc,x)^", " true  false "},
      {"^text(3,plain)^|", "one two three |"},
      {"^text(plain, 1)^|", "one |"},
      {"^idencode(9 lives!)^ ^idencode(a--b)^ ^idencode(-x)^", "_9_lives_ a_b _x"},
      {"^indent(x, 101)^|^indent(x, 3)^|^indent(x, -1)^", "|xxx|"},
      {"^urlencode(a b/\xc3\xa9?)^", "a%20b/%c3%a9?"},
      {"^opmlencode(<a & 'b'>)^", "&lt;a &amp; &apos;b&apos;&gt;"},
      {"^backslashencode(a'b\\c)^", "a\\'b\\\\c"},
      {"^encode(\xc3\xa9 & <b>)^", "&#xe9; &amp; &lt;b&gt;"},
      {"^uppercase(stra\xc3\x9f" "e)^ ^capitalize(hello world)^", "STRASSE Hello World"},
      {"^firstword( a b c )^^lastword(a b c)^", "ac"},
      {"^comment(a, b)^", "<!-- a, b -->"},
      {"^sectionnumber(/Top/B/B1)^", "2.2.1"},
      {"^title(/Top/B/B1)^ ^title(nowhere)^", "B1 Top"},
      {"^get(Size)^ ^getfor(/Top/B, Size)^ ^get(NoSuch)^|", "2 4 |"},
      {"^exists(childlinks)^|^exists(/Top/Z)^|^exists(/Top/A)^", "true||true"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Page(c.text), c.out) << c.text;
  }
}

TEST_F(TemplateTest, DumpShowsClausesAndReparsesToTheSameTree) {
  const std::string text = "a^if(^get(X)^)^b^else^c^endif^^foo(1)^";
  const std::string dump = ExportElement::FromText(text)->Dump();
  EXPECT_EQ(dump, "\"a\"^if(^get(X)^)^{\"b\"^else^}{\"c\"^endif^}\"^ foo(1)\"");
  const long live = ExportElement::LiveCount();
  { auto tree = ExportElement::FromText(std::string(5000, '^') + "^if(x)^"); }
  EXPECT_EQ(ExportElement::LiveCount(), live);
}

TEST_F(TemplateTest, ArgumentExpansionStopsAfterTwentyLevels) {
  auto nested = [](int levels) {
    std::string text = "^title^";
    for (int i = 0; i < levels; ++i) {
      text = "^lowercase(" + text + ")^";
    }
    return text;
  };
  EXPECT_EQ(Page(nested(20)), "top");
  EXPECT_EQ(Page(nested(21)), "^title^");
  // Deeply nested clauses and fragments parse and expand without exhausting the stack.
  std::string deep;
  for (int i = 0; i < 500; ++i) {
    deep += "^if(^not(";
  }
  EXPECT_NO_FATAL_FAILURE(Page(deep));
}

TEST_F(TemplateTest, GroupsCountAliasesLeaveOutDeletedNotesAndAggregateEmptyGroups) {
  AliasNode::CreateFor(At(doc_.get(), "Top"), At(doc_.get(), "Other"), nullptr, 0, 0, false);
  const struct {
    const char* path;
    const char* text;
    const char* out;
  } kCases[] = {
      {"Top", "^count(child)^ ^sum(child, Size)^ ^mean(child,Size,1)^", "2 7.00 3.5"},
      {"Top", "^min(descendant,Size,0)^ ^max(descendant,Size,0)^", "3 10"},
      {"Top/B/B1", "^count(ancestor)^ ^sum(ancestor,Size)^", "2 6.00"},
      {"Top/A", "^count(sibling)^ ^every(sibling, Size, 4)^", "1  true "},
      // An alias's group is its original's.
      {"Other/Top", "^count(child)^ ^count(descendant)^", "2 3"},
      // Empty groups: nothing to start min or max from.
      {"Top/A", "^min(child,Size)^ ^max(child,Size)^ ^mean(child,Size)^ ^count(child)^",
       "0.00 0.00 0.00 0"},
      {"Top/A", "^every(child,HTMLEntities)^^any(child,HTMLEntities)^", " true  false "},
      {"Top", "^count(/Top/B)^ ^count(all)^", "1 7"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Page(c.text, c.path), c.out) << c.path << ": " << c.text;
  }
  ASSERT_TRUE(doc_->AttemptToDelete(At(doc_.get(), "Top/B")));
  run_.reset();
  EXPECT_EQ(Page("^count(child)^ ^count(descendant)^"), "1 1");
}

TEST_F(TemplateTest, IncludesExpandOtherNotesAndStopAtCircles) {
  MakeTemplate("Self", "<^include(/Top,/Self)^>");
  MakeTemplate("Ping", "ping^include(/Top/B,/Pong)^");
  MakeTemplate("Pong", "pong^include(/Top/A,/Ping)^");
  MakeTemplate("Kids", "{^title^^children(/Kids)^}");
  AliasNode::CreateFor(At(doc_.get(), "Top"), At(doc_.get(), "Top/B/B1"), nullptr, 0, 0, false);
  const struct {
    const char* text;
    const char* out;
  } kCases[] = {
      {"^children(/T)^", "[A][B]"},
      {"^children(/T, 1)^", "[A]"},
      {"^descendants(/T)^", "<^include(Top,page):: circular include>"},
      {"^include(/Top/A, /T)^", "[A]"},
      {"^include(/Top, /T)^", "<^include(/Top,page):: circular include>"},
      {"^include(/Top/A, /Self)^", "<<^include(/Top,Self):: circular include>>"},
      {"^include(/Top/A, /Ping)^",
       "pingpong<^include(/Top/A,Pong):: circular include>"},
      {"^include(/Top/A, nothing)^",
       "^include(/Top/A,nothing)::<template not found, or template includes itself>"},
      {"^include(/Top/Zzz, /T)^", ""},
      // Through an alias the page's own note comes round again.
      {"^children(/Kids)^",
       "{A}{B{B1<^include(Top,Kids):: circular include>}}"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Page(c.text), c.out) << c.text;
  }
}

TEST_F(TemplateTest, IncludeRestoresTheNotesOwnDontExportStateExactly) {
  MakeTemplate("Shown", "^if(HTMLDontExport)^hidden^else^shown^endif^");
  Node* a = At(doc_.get(), "Top/A");
  Node* b = At(doc_.get(), "Top/B");
  b->SetBoolean("HTMLDontExport", true);
  EXPECT_EQ(Page("^include(/Top/A,/Shown)^ ^include(/Top/B,/Shown)^"), "shown shown");
  EXPECT_FALSE(a->HasImmediate("HTMLDontExport"));
  EXPECT_TRUE(b->HasImmediate("HTMLDontExport"));
  EXPECT_TRUE(b->GetBoolean("HTMLDontExport"));
  // A is still governed by its prototype afterwards.
  Node* proto = doc_->MakeNode("Proto", nullptr, nullptr, 0, 0);
  proto->SetBoolean("IsPrototype", true);
  a->SetPrototype(proto, false);
  proto->SetBoolean("HTMLDontExport", true);
  EXPECT_TRUE(a->GetBoolean("HTMLDontExport"));
}

TEST_F(TemplateTest, LinksAndNamesNeverInjectMarkup) {
  Node* evil = doc_->MakeNode("x\" onmouseover=\"alert(1)<b>", At(doc_.get(), "Top"), nullptr,
                              0, 0);
  LinkRecord record;
  record.source = At(doc_.get(), "Top");
  record.dest = evil;
  record.css_class = "c\"><script>";
  Link* link = doc_->CreateLink(record);
  link->SetTitle("t\" onclick=\"y");
  link->SetTarget("_blank\"");
  const std::string page = Page("^outboundlinks(,,,)^|^linkto(/Top/A,,k<l)^|^childlinks(,,,)^");
  EXPECT_EQ(page.find("onmouseover=\""), std::string::npos) << page;
  EXPECT_EQ(page.find("onclick=\""), std::string::npos) << page;
  EXPECT_EQ(page.find("<script>"), std::string::npos) << page;
  EXPECT_EQ(page.find("<b>"), std::string::npos) << page;
  EXPECT_NE(page.find(" title=\"t&quot; onclick=&quot;y\" target=\"_blank&quot;\">"),
            std::string::npos)
      << page;
  EXPECT_NE(page.find(" class=\"k&lt;l\" >A</a>"), std::string::npos) << page;
}

TEST_F(TemplateTest, EntitiesFollowTheNoteAndTheTemplate) {
  Node* a = At(doc_.get(), "Top/A");
  a->SetName("caf\xc3\xa9 & <i>");
  EXPECT_EQ(Page("^title^", "Top/caf\xc3\xa9 & <i>"), "caf&#xe9; &amp; <i>");
  a->SetBoolean("HTMLQuoteHTML", true);
  EXPECT_EQ(Page("^title^", "Top/caf\xc3\xa9 & <i>"), "caf&#xe9; &amp; &lt;i&gt;");
  a->SetBoolean("HTMLEntities", false);
  EXPECT_EQ(Page("^title^", "Top/caf\xc3\xa9 & <i>"), "caf\xc3\xa9 & <i>");
  ExportRun run(doc_.get());
  ExportTemplate plain(&run, "plain", "^title(/Top/B)^ ^encode(\xc3\xa9)^");
  plain.UseEntities(false);
  EXPECT_EQ(plain.Export(At(doc_.get(), "Top"), nullptr), "B \xc3\xa9");
}

TEST_F(TemplateTest, TextIsParagraphsAndStopsWhenItIncludesItself) {
  Node* top = At(doc_.get(), "Top");
  top->SetText("a < b\r\r^title^ said\r<div>kept</div>");
  EXPECT_EQ(Page("^text^"), "a < b<br>\n\nTop said<br>\n<div>kept</div>");
  top->SetText("x ^text^");
  EXPECT_EQ(Page("^text^"), "x <^text(Top,page):: text tries to include itself ><br>");
  top->SetText("one two three");
  EXPECT_EQ(Page("^text(2)^"), "one two ...<br>");
  EXPECT_EQ(Page("^paragraphs(1)^", "Top/A"), "");
}

TEST_F(TemplateTest, HooksRunActionsAndMacrosAndRecursionEnds) {
  EXPECT_EQ(Page("^action($Size=1)^^do(m)^"), "action: not available yet" "do: not available yet");
  std::vector<std::string> actions;
  hooks_.run_action = [&](Node* note, std::string_view action) {
    actions.push_back(note->Name() + ":" + std::string(action));
  };
  hooks_.expand_macro = [](std::string_view text, const std::vector<std::string>& args) {
    std::string out(text);
    if (args.size() > 1) {
      out += "(" + args[1] + ")";
    }
    return out;
  };
  hooks_.test_query = [](Node* note, std::string_view query) -> std::optional<bool> {
    if (query == "invalid query") {
      return std::nullopt;
    }
    return note->Name() == query;
  };
  doc_->Records().SetMacro("greet", "hi ^title^");
  doc_->Records().SetMacro("loop", "x^do(loop)^");
  doc_->Records().SetMacro("viavalue", "v^value(^do(viavalue)^)^");
  run_.reset();
  EXPECT_EQ(Page("^action($Size=1)^^do(greet, you)^"), "hi Top(you)");
  EXPECT_EQ(actions, std::vector<std::string>{"Top:$Size=1"});
  EXPECT_EQ(Page("^if(Top)^q^endif^^if(A)^r^endif^^if(invalid query)^s^endif^"), "qs");
  // Macros that call themselves, directly or through a template value, end.
  const std::string loop = Page("^do(loop)^");
  EXPECT_GT(loop.size(), 10u);
  EXPECT_LT(loop.size(), 200u);
  EXPECT_EQ(loop.find_first_not_of('x'), std::string::npos);
  const std::string via_value = Page("^do(viavalue)^");
  EXPECT_EQ(via_value.substr(0, 3), "vvv");
  EXPECT_LT(via_value.size(), 200u);
}

TEST_F(TemplateTest, LanguageTemplateValuesAndExportedStrings) {
  Node* a = At(doc_.get(), "Top/A");
  EXPECT_EQ(Action::Evaluate(a, "^title^ and ^get(Size)^"), "A and 3");
  EXPECT_EQ(Action::Evaluate(a, "exportedString(/Top/A, /T)"), "[A]");
  // Asked for inside the note's own page, it is a circle, not a loop.
  EXPECT_EQ(Page("^value(^include(current,/T)^)^", "Top/A"),
            "<^include(current,^):: circular include>");
}

TEST_F(TemplateTest, StandardHooksRunActionsMacrosAndQueries) {
  doc_->Records().SetMacro("greet", "hi $1 ");
  ExportRun run(doc_.get());
  ExportTemplate page(&run, "page",
                      "^action($Size=7)^^do(greet, you)^^if($Size == 7)^seven^else^other^endif^");
  Node* top = At(doc_.get(), "Top");
  EXPECT_EQ(page.Export(top, top), "hi you seven");
  EXPECT_EQ(Action::Evaluate(top, "$Size"), "7");
}

TEST_F(TemplateTest, ListsDecorateItemsAndSkipNotesWithoutPages) {
  At(doc_.get(), "Top/B")->SetBoolean("HTMLDontExport", true);
  Node* b1 = At(doc_.get(), "Top/B/B1");
  Node* a = At(doc_.get(), "Top/A");
  for (const char* type : {"agree", "disagree"}) {
    LinkRecord record;
    record.source = b1;
    record.dest = a;
    record.name = type;
    doc_->CreateLink(record);
  }
  LinkRecord web;
  web.source = b1;
  web.url = "https://example.org/?a=1&b=\"2\"";
  doc_->CreateLink(web);
  const struct {
    const char* path;
    const char* text;
    const char* out;
  } kCases[] = {
      {"Top/B/B1", "^ancestors(<p>,[,],</p>)^", "<p>[<a href=\"../../Top.html\">Top</a>]</p>"},
      {"Top/A", "^siblings(,^title^:,;,)^",
       "<ul>A:A;</ul>"},
      {"Top", "^childlinks(<ol>,default,default,</ol>)^",
       "<ol><li><a href=\"Top/A.html\">A</a></li></ol>"},
      {"Top/A", "^childlinks^|^ancestors(x,y,z,w)^", "|xy<a href=\"../Top.html\">Top</a>zw"},
      {"Top/B/B1", "^outboundlinks(,,,,disagree)^",
       "<ul><li><a href=\"../A.html\">A</a></li></ul>"},
      {"Top/B/B1", "^outboundlinks(,^title(source)^>,,)^",
       "<ul>B1><a href=\"../A.html\">A</a></li>B1><a href=\"../A.html\">A</a></li></ul>"},
      {"Top/A", "^inboundbasiclinks(,,,)^^if(^inboundlinks^)^ in^endif^",
       "<ul><li><a href=\"B/B1.html\">B1</a></li></ul> in"},
      {"Top/B/B1", "^outboundweblinks(,,,)^",
       "<ul><li><a href=\"https://example.org/?a=1&amp;b=&quot;2&quot;\">"
       "https://example.org/?a=1&amp;b=&quot;2&quot;</a></li></ul>"},
      {"Top/A", "^outboundlinks(,,,)^|^if(^outboundlinks^)^x^else^none^endif^", "|none"},
      {"Top/A", "^linkto(/Top/B/B1)^ ^linkto(/Top/Nowhere)^|",
       "<a href=\"B/B1.html\" >B1</a> |"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Page(c.text, c.path), c.out) << c.path << ": " << c.text;
  }
}

TEST_F(TemplateTest, DatesAndCountsReadTheNote) {
  Node* a = At(doc_.get(), "Top/A");
  a->SetBySystem(a->GetAttribute("Created"), Value::ForDate(STime(5, 4, 2009).GetNew()));
  a->SetText("first para\r  \rsecond\rthird");
  const struct {
    const char* text;
    const char* out;
  } kCases[] = {
      {"^created(,y)^ ^created(/Top/A, y)^", "2009 2009"},
      {"^paragraphs(2,plain)^|", "first para\r  \rsecond\r|"},
      {"^paragraphs(9,plain)^|", "first para\r  \rsecond\rthird|"},
      {"^text(/Top/A, 1)^|", "first ...<br>|"},
      {"^days(^created(,y)^-01-01, 100000)^^days(never, 5)^", " true  false "},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Page(c.text, "Top/A"), c.out) << c.text;
  }
}

}  // namespace
}  // namespace fernweave
