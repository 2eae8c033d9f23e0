#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/shell.h"
#include "foundation/stime.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "lang/functions.h"
#include "lang/language.h"
#include "lang/macro_substitution.h"
#include "lang/value_dump.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/props.h"
#include "model/random_source.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

struct Case {
  const char* expression;
  const char* value;
};

// Top holds B, A, B (sizes 1, 2, 4) and an alias of its first B at the end; Other
// holds Inner, which holds Leaf. A links to Other ("agree") and to the web.
class FunctionsTest : public ::testing::Test {
 protected:
  FunctionsTest() : doc_(test::MakeDocument("Top\n  B\n  A\n  B\nOther\n  Inner\n    Leaf")) {
    InstallLanguage();
    Props& props = doc_->Properties();
    props.CreateBasicAttribute("Size", kUserCategory, true, AttributeType::kNumber);
    props.CreateBasicAttribute("Tags", kUserCategory, true, AttributeType::kSet);
    props.CreateBasicAttribute("Due", kUserCategory, true, AttributeType::kDate);
    props.CreateBasicAttribute("Shade", kUserCategory, true, AttributeType::kColor);
    props.CreateBasicAttribute("Formula", kUserCategory, true, AttributeType::kString);
    top_ = test::At(doc_.get(), "Top");
    first_b_ = top_->Son();
    a_ = first_b_->Brother();
    second_b_ = a_->Brother();
    first_b_->Set("Size", "1");
    a_->Set("Size", "2");
    second_b_->Set("Size", "4");
    a_->Set("Tags", "x;y");
    a_->Set("Due", "2009-05-04T08:00:00");
    other_ = test::At(doc_.get(), "Other");
    leaf_ = test::At(doc_.get(), "Other/Inner/Leaf");
    alias_ = AliasNode::CreateFor(first_b_, top_, second_b_, 0, 0, false);
    Link(a_, other_, "agree");
    LinkRecord web;
    web.add_to_document = true;
    web.source = a_;
    web.url = "https://example.org/";
    doc_->CreateLink(web);
  }

  void Link(Node* from, Node* to, const char* type) {
    LinkRecord record;
    record.add_to_document = true;
    record.source = from;
    record.dest = to;
    record.name = type;
    doc_->CreateLink(record);
  }

  void ExpectAll(Node* note, const std::vector<Case>& cases) {
    for (const Case& c : cases) {
      EXPECT_EQ(Action::Evaluate(note, c.expression), c.value) << c.expression;
    }
  }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::PinnedClock clock_{"2009-05-04T10:17:33"};
  std::unique_ptr<Orvex> doc_;
  Node* top_;
  Node* first_b_;
  Node* a_;
  Node* second_b_;
  Node* other_;
  Node* leaf_;
  AliasNode* alias_;
};

TEST_F(FunctionsTest, NumbersAndColours) {
  ExpectAll(a_, {
                    {"mod(7, 0)", "0"},
                    {"mod(7)", "0"},
                    {"mod(-7, 3)", "-1"},
                    {"mod(7, -3)", "1"},
                    // The smallest whole numbers by -1 once trapped.
                    {"mod(-2147483648, -1)", "0"},
                    {"mod(-9223372036854775808, -1)", "0"},
                    {"mod(-1e300, 7)", "-1"},
                    {"radians(180)", "3.14159"},
                    {"round(2.5)", "3"},
                    {"round(-2.5)", "-3"},
                    {"abs($Size - 5)", "3"},
                    {"sqrt(16) + 1", "5"},
                    {"sqrt($Tags)", ""},  // a set is no number
                    {"log(x)", "-inf"},
                    {"rgb(255, 128, 0)", "#ff8000"},
                    {"RGB(300, -5, 127.6)", "#ff0080"},
                    {"hue(\"#00ff00\")", "120"},
                    {"saturation(\"#ff8080\")", "49.8039"},
                    {"brightness(\"#808080\")", "50"},
                    {"brightness(\"#808080\", 50)", "#404040"},
                    {"hue(\"#ff0000\", 240)", "#0000ff"},
                    {"saturation(\"#ff0000\", 0)", "#ffffff"},
                    {"hue(\"not a colour\")", ""},
                });
  // A colour name is read through the document's colour table.
  doc_->Colors().Add("sea", PColor(0, 0x8080, 0x8080));
  EXPECT_EQ(Action::Evaluate(a_, "hue(sea)"), "180");

  SeededRandom seeded(7);
  RandomSource* previous = SetRandom(&seeded);
  const std::string first = Action::Evaluate(a_, "rand()");
  SeededRandom again(7);
  SetRandom(&again);
  EXPECT_EQ(Action::Evaluate(a_, "rand()"), first);
  SetRandom(previous);
  const double x = std::stod(first);
  EXPECT_TRUE(x >= 0 && x <= 1) << first;
}

TEST_F(FunctionsTest, Text) {
  ExpectAll(a_, {
                    {"uppercase(\"straße\")", "STRASSE"},
                    {"lowerCase(\"ÉCOLE\")", "école"},
                    {"capitalize(\"hello wide world's\")", "Hello Wide World's"},
                    {"firstWord(\"  one two  \")", "one"},
                    {"lastWord(\"one two  \")", "two"},
                    {"substr(\"abcdef\", 2, 100)", "cdef"},
                    {"substr(\"abc\", 5)", ""},
                    {"substr(\"abc\", -2, -1)", ""},
                    {"substr(\"héllo\", 1, 2)", "él"},
                    {"urlEncode(\"a b/é?x@y\")", "a%20b/%c3%a9?x@y"},
                    {"attributeEncode(\"a\\\"b\\rc<\")", "a&quot;b&#10;c&lt;"},
                    {"escapeHTML(\"<b a=\\\"1\\\">é & &amp;</b>\")",
                     "&lt;b a=&quot;1&quot;&gt;&#xe9; &amp; &amp;&lt;/b&gt;"},
                    {"idEncode(\"9 lives!\")", "_9_lives_"},
                    {"idEncode(\"-x--y\")", "_x_y"},
                    {"idEncode(\"_ok\")", "_ok"},
                    {"utf8(\"café\")", "café"},
                    {"format(3.14159, 2)", "3.14"},
                    {"format($Size, 1, 6)", "   2.0"},
                    {"format(\"2.5\")", "2"},
                    {"format($Tags, \" + \")", "x + y"},
                    {"format($Tags, \",\", \"<ul>\", \"<li>\", \"</li>\", \"</ul>\")",
                     "<ul><li>x</li>,<li>y</li></ul>"},
                    {"format(\"#abc\")", "#aabbcc"},
                    {"format(hello)", ""},
                });
  EXPECT_EQ(Action::Evaluate(a_, "format($Due, \"y-m-d h:mm\")"),
            STime::For("2009-05-04T08:00:00").AsExportString("y-m-d h:mm"));
  EXPECT_EQ(Action::Evaluate(a_, "format(\"never\", \"y\")"), "never");
  // Text in the document's 8-bit character set is made UTF-8.
  a_->Set("Formula", std::string("caf\x8e"));
  EXPECT_EQ(Action::Evaluate(a_, "utf8($Formula)"), "café");
  // A billion decimals or a billion-wide field are capped (20 decimals, 1000 wide).
  EXPECT_EQ(Action::Evaluate(a_, "format(1, 1000000000)"), "1.00000000000000000000");
  EXPECT_EQ(Action::Evaluate(a_, "format(1, 0, 1000000000)").size(), 1000u);
}

TEST_F(FunctionsTest, WordIndexAnswersForTheNoteItself) {
  a_->SetText("River stones\rand lanterns");
  first_b_->SetText("lanterns by the river");
  second_b_->SetText("nothing alike");
  ExpectAll(a_, {{"word(river)", "true"}, {"#word(STONES)", "true"}, {"word(lamp)", ""}});
  // An alias has no words of its own.
  EXPECT_EQ(Action::Evaluate(alias_, "word(lanterns)"), "");
  EXPECT_EQ(Action::Evaluate(first_b_, "similarTo(\"/Top/A\")"), "true");
  EXPECT_EQ(Action::Evaluate(second_b_, "similarTo(\"/Top/A\", 5)"), "");
}

TEST_F(FunctionsTest, DatesCarryAcrossMonthsAndYears) {
  const auto short_form = [](int y, int m, int d, int h = 0, int min = 0) {
    DateTimeRec r;
    r.year = static_cast<int16_t>(y);
    r.month = static_cast<int16_t>(m);
    r.day = static_cast<int16_t>(d);
    r.hour = static_cast<int16_t>(h);
    r.minute = static_cast<int16_t>(min);
    return STime(r).AsShortString();
  };
  const std::string jan31 = "\"2009-01-31T08:05:00\"";
  ExpectAll(a_, {
                    {"day($Due)", "4"},
                    {"month($Due) + 1", "6"},
                    {"year(\"never\")", ""},
                    {"time($Due)", "8:00"},
                    {"days(\"2009-05-01\", \"2009-05-03T23:00:00\")", "2"},
                    {"days(\"2009-05-03T23:00:00\", \"2009-05-01\")", "-2"},
                    {"minutes(\"2009-05-01T10:00:00\", \"2009-05-01T11:30:59\")", "90"},
                    {"days(\"2009-05-01\", nonsense)", ""},
                    {"between($Due, \"2009-05-01\", \"2009-05-31\")", "true"},
                    {"between($Size, 3, 10)", ""},
                    {"between(5, 3, 10)", "true"},
                    {"between(\"b\", \"a\", \"c\")", "true"},
                });
  const std::vector<std::pair<std::string, std::string>> kDates = {
      {"date(2009, 5, 3)", short_form(2009, 5, 3)},
      {"date(2009, 13, 1, 14, 30)", short_form(2010, 1, 1, 14, 30)},
      {"date(\"2009-05-03T09:05:00\")", short_form(2009, 5, 3, 9, 5)},
      {"day(" + jan31 + ", 32)", short_form(2009, 2, 1, 8, 5)},
      {"month(" + jan31 + ", 2)", short_form(2009, 3, 3, 8, 5)},
      {"month(" + jan31 + ", 0)", short_form(2008, 12, 31, 8, 5)},
      {"year(" + jan31 + ", 2010)", short_form(2010, 1, 31, 8, 5)},
      {"time(" + jan31 + ", \"9:30\")", short_form(2009, 1, 31, 9, 30)},
      {"time(" + jan31 + ", 25, 0)", short_form(2009, 2, 1, 1, 0)},
      {"date(1e300, 1, 1)", STime(STime::kLatest).AsShortString()},
  };
  for (const auto& [expression, value] : kDates) {
    EXPECT_EQ(Action::Evaluate(a_, expression), value) << expression;
  }
  EXPECT_EQ(Action::Evaluate(top_, "between(5, 3, 10)"), "true");
  EXPECT_EQ(Action::Evaluate(doc_->Root(), "between(5, 3, 10)"), "");
}

TEST_F(FunctionsTest, SetsAndAggregates) {
  ExpectAll(top_, {
                      {"count(\"a;b;a\")", "2"},
                      {"count(\"\") + 1", "1"},
                      {"max(\"3;10;2\")", "10"},
                      {"min(\"b;a;c\")", "a"},
                      {"max(\"2009-05-01;2009-12-01;2009-06-01\")", "2009-12-01"},
                      {"max(\"\")", ""},
                      {"sum(child, $Size)", "8"},  // the alias reads its original's 1
                      {"sum(child, ==)", "0"},     // no value: an attribute named "=="
                      {"sum(descendant, $Size * 2)", "16"},
                      {"sum(child(/Other), $Size)", "0"},
                      {"sum(child(nowhere), $Size)", "0"},
                      {"sum(cousin, $Size)", "0"},
                      {"sum_if(child, $Size > 1, $Size)", "6"},
                      {"avg_if(child, $Size > 1, $Size)", "3"},
                      {"avg_if(child, $Size > 100, $Size)", "0"},
                      {"collect(child, $Name)", "B;A"},
                      {"collect_if(child, $Size < 4, $Name)", "B;A"},
                      {"collect(descendant(/Other), $Name)", "Inner;Leaf"},
                      {"any(child, $Size == 4)", "true"},
                      {"any(child, $Size == 5)", ""},
                      {"every(child, $Size > 0)", "true"},
                      {"every(child, $Size > 1)", ""},
                      {"every(child, x $y)", ""},  // a condition that does not parse
                      {"sum($ChildCount)", "sum: syntax error"},
                      {"sum_if(child, $Size)", "sum_if: syntax error"},
                      {"any(child)", "any: syntax error"},
                  });
  ExpectAll(a_, {
                    {"collect(ancestor, $Name)", "Top"},
                    {"collect(sibling, $Name)", "B"},
                    {"count(collect(all, $Name))", "6"},
                });
}

TEST_F(FunctionsTest, NestedAggregatesStopAtTheWorkBudget) {
  AAFunction::SetWorkBudgetForTesting(10000);
  // Eight notes to the power of six would take a quarter of a million steps.
  const std::string nested = "sum(all, sum(all, sum(all, sum(all, sum(all, sum(all, 1))))))";
  EXPECT_EQ(Action::Evaluate(a_, nested), "");
  EXPECT_EQ(Action::Evaluate(a_, "sum(all, sum(all, 1))"), "64");
  AAFunction::SetWorkBudgetForTesting(AAFunction::kWorkBudget);
}

TEST_F(FunctionsTest, StructureComparesByOriginals) {
  Node* adornment = doc_->MakeNode(Hypertext::NoteKind::kAdornment, "Pad", top_, alias_, 10, 10);
  adornment->Set("Width", "5");
  adornment->Set("Height", "5");
  a_->SetPosition({12, 12});
  ExpectAll(a_, {
                    {"inside(Top)", "true"},
                    {"#inside(Other)", ""},
                    {"inside(nowhere)", ""},
                    {"inside()", ""},
                    {"inside(Pad)", "true"},
                    {"descendedFrom(Top)", "true"},
                    {"contains(Top)", ""},
                    {"first(parent)", ""},
                    {"first(parent, 3)", "true"},
                    {"last(parent)", ""},
                    {"indented(1)", "true"},
                    {"indented(0)", ""},
                    {"indented(1, Top)", "true"},
                    {"indented(1, nowhere)", "true"},
                });
  ExpectAll(leaf_, {{"inside(Other)", "true"},
                    {"indented(2)", "true"},
                    {"indented(2, Other)", "true"},
                    {"#indented(1, Other)", ""},
                    {"inside(Pad)", ""}});
  ExpectAll(top_, {{"contains(Inner)", ""}, {"contains(\"/Top/A\")", "true"}});
  // The alias stands for the first B: first in its container, and inside Top.
  ExpectAll(alias_,
            {{"first(parent)", "true"}, {"last(parent, 2)", "true"}, {"inside(Top)", "true"}});
  ExpectAll(first_b_, {{"last(parent, 2)", "true"}, {"last(parent)", ""}});
  // A hidden note answers nothing.
  leaf_->Hide(true);
  EXPECT_EQ(Action::Evaluate(leaf_, "inside(Other)"), "");
  EXPECT_EQ(Action::Evaluate(test::At(doc_.get(), "Other/Inner"), "contains(Leaf)"), "");
}

TEST_F(FunctionsTest, LinkTestsAndLinksInEachDirection) {
  ExpectAll(a_, {
                    {"linkedTo(Other)", "true"},
                    {"linkedTo(Other, \"*\")", "true"},
                    {"#linkedTo(Other, agree)", "true"},
                    {"linkedTo(Other, disagree)", ""},
                    {"linkedFrom(Other)", ""},
                    {"links.outbound.agree.Name", "Other"},
                    {"links.outbound..Name", "Other"},
                    {"links.outbound.\"disagree\".Name", ""},
                    {"links.web..Name", "https://example.org/"},
                    {"links.inbound..Name", ""},
                    {"links.outbound.agree", "links: syntax error"},
                });
  ExpectAll(other_, {{"linkedFrom(\"/Top/A\", agree)", "true"},
                     {"links.inbound.agree.Size", "2"},
                     {"links(\"/Top/A\").outbound..Name", "Other"}});
  // A prototype link is never listed.
  a_->SetPrototype(second_b_, false);
  EXPECT_EQ(Action::Evaluate(a_, "links.outbound..Name"), "Other");
}

TEST_F(FunctionsTest, LinkActionsMakeAndRemoveLinksExactlyOnce) {
  LinkManager& links = doc_->Links();
  const size_t before = links.size();
  EXPECT_EQ(Action::Evaluate(leaf_, "linkTo(\"/Top/A\")"), "");
  EXPECT_EQ(Action::Evaluate(leaf_, "linkTo(\"/Top/A\")"), "");
  ASSERT_EQ(links.size(), before + 1);
  EXPECT_EQ(links.Get(before)->Name(), kUntitledLinkType);
  EXPECT_EQ(Action::Evaluate(leaf_, "linkTo(\"/Top/A\", cites)"), "");
  EXPECT_EQ(Action::Evaluate(leaf_, "linkFrom(\"/Top/A\", cites)"), "");
  EXPECT_EQ(Action::Evaluate(leaf_, "linkFrom(\"/Top/A\", cites)"), "");
  EXPECT_EQ(links.size(), before + 3);
  EXPECT_EQ(Action::Evaluate(leaf_, "linkedFrom(\"/Top/A\", cites)"), "true");
  // Hidden notes are linked to nothing.
  Node* loose = doc_->MakeNode("Loose", other_, nullptr, 0, 0);
  loose->Hide(true);
  EXPECT_EQ(Action::Evaluate(loose, "linkTo(Top)"), "");
  EXPECT_EQ(Action::Evaluate(leaf_, "linkTo(Loose)"), "");
  EXPECT_EQ(links.size(), before + 3);

  EXPECT_EQ(Action::Evaluate(leaf_, "unlinkTo(\"/Top/A\", cites)"), "");
  EXPECT_EQ(Action::Evaluate(leaf_, "linkedTo(\"/Top/A\", cites)"), "");
  EXPECT_EQ(Action::Evaluate(leaf_, "linkedTo(\"/Top/A\")"), "true");
  EXPECT_EQ(Action::Evaluate(leaf_, "unlinkTo(\"/Top/A\", \"*\")"), "");
  EXPECT_EQ(Action::Evaluate(leaf_, "unlinkFrom(\"/Top/A\")"), "");
  EXPECT_EQ(links.size(), before);
  // Removing every link leaves the prototype link unless that type is named.
  leaf_->SetPrototype(a_, false);
  const size_t with_prototype = links.size();
  Action::Evaluate(leaf_, "unlinkTo(\"/Top/A\")");
  EXPECT_EQ(links.size(), with_prototype);
  EXPECT_EQ(leaf_->GetPrototype(), a_);
}

TEST(MacroSubstitutionTest, ArgumentsEscapesAndMissingArguments) {
  const std::vector<std::string> args = {"greet", "\"Ann\"", "'Bo'", "3"};
  const Case kCases[] = {
      {"Hello $1 and $2!", "Hello Ann and Bo!"},
      {"$0: $3$3", "greet: 33"},
      {"[$4][$5.][$6][$12]", "[][$5.][$6][$12]"},
      {"\\$1 \\\" \\' \\\\ \\x", "$1 \" ' \\ \\x"},
      {"$ $x $", "$ $x $"},
      {"$01", "Ann"},
  };
  for (const Case& c : kCases) {
    EXPECT_EQ(SubstituteMacro(c.expression, args), c.value) << c.expression;
  }
  EXPECT_EQ(SubstituteMacro("$1", {"m", "$2"}), "$2");  // not read again
}

TEST_F(FunctionsTest, DoEvalAndTheirRecursionAreBounded) {
  doc_->Records().SetMacro("tag", "<$1 class=\"$2\">");
  doc_->Records().SetMacro("self", "do(self)");
  ExpectAll(a_, {
                    {"do(tag, \"p\", $Name)", "<p class=\"A\">"},
                    {"do(tag)", "< class=\"\">"},
                    {"do(missing, 1)", ""},
                    {"do(self)", "do(self)"},
                    {"do()", ""},
                    {"eval(\"$Size\" + \" + 1\")", "3"},
                    {"eval(parent, \"$Name\")", "Top"},
                    {"eval(nowhere, \"$Name\")", ""},
                    {"eval(\"\\\"abc\")", ""},
                    {"eval()", "eval: syntax error"},
                });
  // An attribute that evaluates itself ends at the evaluation depth bound, and one that
  // evaluates itself twice at the work budget.
  a_->Set("Formula", "eval($Formula)");
  EXPECT_EQ(Action::Evaluate(a_, "eval($Formula)"), "");
  doc_->Records().SetMacro("again", "eval(do(again))");
  EXPECT_EQ(Action::Evaluate(a_, "eval(do(again))"), "");
  AAFunction::SetWorkBudgetForTesting(5000);
  a_->Set("Formula", "eval($Formula) + eval($Formula)");
  EXPECT_EQ(Action::Evaluate(a_, "eval($Formula)"), "");
  AAFunction::SetWorkBudgetForTesting(AAFunction::kWorkBudget);
  EXPECT_EQ(StEvaluationDepth::depth(), 0);
}

TEST_F(FunctionsTest, ShellCommandsGoThroughTheShellService) {
  {
    test::CollectingMessages messages;
    RefusingShell refusing;
    ShellService* previous = SetShell(&refusing);
    EXPECT_EQ(Action::Evaluate(a_, "runCommand(\"echo hi\")"), "");
    EXPECT_EQ(Action::Evaluate(a_, "`echo hi"), "");
    SetShell(previous);
    EXPECT_EQ(messages.messages(), std::vector<std::string>{kShellRefusedMessage});
  }
  test::RecordingShell shell;
  shell.reply().output = "out\n";
  a_->Set("Formula", "it's \"é\"\rnext\\tline");
  EXPECT_EQ(Action::Evaluate(a_, "runCommand(\"wc -l\", $Formula)"), "out\n");
  EXPECT_EQ(Action::Evaluate(a_, "runCommand(\"\")"), "");
  EXPECT_EQ(Action::Evaluate(a_, "`echo $Name"), "out\n");
  ASSERT_EQ(shell.requests().size(), 2u);
  EXPECT_EQ(shell.requests()[0].command, "wc -l");
  // The input stays UTF-8; line breaks become line feeds, escapes are read.
  EXPECT_EQ(shell.requests()[0].input, std::optional<std::string>("it's \"é\"\nnext\tline"));
  EXPECT_EQ(shell.requests()[1].command, "echo A");
  EXPECT_EQ(shell.requests()[1].input, std::nullopt);
  EXPECT_EQ(Action::Evaluate(nullptr, "runCommand(\"ls\")"), "");
  EXPECT_EQ(shell.requests().size(), 2u);
}

TEST_F(FunctionsTest, RegularExpressionsTheEngineGivesUpOnAreFalse) {
  a_->Set("Formula", std::string(40, 'x'));
  EXPECT_EQ(Action::Evaluate(a_, "Formula((x+x+)+y)"), "");
}

TEST(FunctionDumpTest, CallsDumpAndParseBackToTheSameDump) {
  const char* kExpressions[] = {
      "sqrt(($Size + 1))", "mod(7, 3)", "sum(child(/Top), $Size * 2)",
      "inside(/Top/A)",    "links(parent).outbound.agree.Name", "`echo",
      "do(tag, \"p\")",     "format($Due, \"y\")",
  };
  for (const char* text : kExpressions) {
    std::string error;
    const std::string dump = DumpTree(AgentActionExpressionParser::Parse(text, false, &error).get());
    EXPECT_EQ(error, "") << text;
    EXPECT_EQ(DumpTree(AgentActionExpressionParser::Parse(dump, false).get()), dump) << text;
  }
  // Every row of the table has its maker; `links` and `if` are built by the parser.
  for (const FunctionEntry* e = FunctionTableBegin(); e != FunctionTableEnd(); ++e) {
    const std::string name = e->name;
    EXPECT_EQ(e->maker == nullptr, name == "links" || name == "if") << name;
  }
}

}  // namespace
}  // namespace fernweave
