#include <functional>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lang/aa_value.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "lang/language.h"
#include "lang/value_dump.h"
#include "model/alias_node.h"
#include "model/attribute.h"
#include "model/attribute_actions.h"
#include "model/node.h"
#include "model/props.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

TEST(CoercionTest, NumbersAndTruthReadAndWriteAsText) {
  const struct {
    double x;
    const char* text;
  } kWritten[] = {
      {3, "3"},           {0.5, "0.5"},         {1234567, "1.23457e+06"}, {-0.0, "0"},
      {999999, "999999"}, {1e6, "1e+06"},       {-2.25, "-2.25"},         {1.0 / 3, "0.333333"},
      {1e-7, "1e-07"},    {123456.7, "123457"},
  };
  for (const auto& w : kWritten) {
    EXPECT_EQ(FormatNumber(w.x), w.text) << w.x;
  }
  const struct {
    const char* text;
    double leading;
    bool whole;  // the whole text is a number
  } kRead[] = {
      {"3", 3, true},          {" 2.5 ", 2.5, true}, {"3 apples", 3, false}, {"-.5", -0.5, true},
      {"+4", 4, true},         {"1e3", 1000, true},  {"1e", 1, false},       {"apples", 0, false},
      {"", 0, false},          {".", 0, false},      {"1e999", HUGE_VAL, true},
  };
  for (const auto& r : kRead) {
    EXPECT_EQ(LeadingNumber(r.text), r.leading) << r.text;
    double x = 0;
    EXPECT_EQ(ReadWholeNumber(r.text, &x), r.whole) << r.text;
  }
  for (const char* falsy : {"", "false", "0", "never"}) {
    EXPECT_TRUE(LogicalResult(falsy).IsFalse()) << falsy;
  }
  for (const char* truthy : {"true", "0.0", "no", " ", "False", "00"}) {
    EXPECT_EQ(LogicalResult(truthy).ToString(), "true") << truthy;
  }
}

class LanguageDocumentTest : public ::testing::Test {
 protected:
  LanguageDocumentTest() : doc_(test::MakeDocument("Top\n  Q7\n  B")) {
    InstallLanguage();
    Props& props = doc_->Properties();
    props.CreateBasicAttribute("Size", kUserCategory, true, AttributeType::kNumber);
    props.CreateBasicAttribute("Status", kUserCategory, true, AttributeType::kString);
    props.CreateBasicAttribute("Due", kUserCategory, true, AttributeType::kDate);
    props.CreateBasicAttribute("Start", kUserCategory, true, AttributeType::kDate);
    props.CreateBasicAttribute("Tags", kUserCategory, true, AttributeType::kSet);
    note_ = test::At(doc_.get(), "Top/Q7");
    note_->Set("Size", "2.5");
    note_->Set("Status", "open");
    note_->Set("Due", "2009-05-04T08:00:00");
    note_->Set("Tags", "a;b");
  }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::PinnedClock clock_{"2009-05-04T23:58:00"};
  std::unique_ptr<Orvex> doc_;
  Node* note_;
};

// Relative dates in a parsed expression are read again once five minutes have passed,
// not at every evaluation.
TEST_F(LanguageDocumentTest, LiteralDatesAreKeptForFiveMinutes) {
  std::unique_ptr<AAValue> query = AgentActionExpressionParser::Parse("$Due == \"today\"", false);
  Captures captures;
  EXPECT_EQ(query->Get(note_, captures), "true");
  clock_.Set("2009-05-05T00:02:00");
  EXPECT_EQ(query->Get(note_, captures), "true");  // still the day it was read on
  clock_.Set("2009-05-05T00:04:00");
  EXPECT_EQ(query->Get(note_, captures), "");
}

TEST_F(LanguageDocumentTest, SpecialCasesOfEachKind) {
  Node* alias = AliasNode::CreateFor(note_);
  ASSERT_NE(alias, nullptr);
  const struct {
    Node* note;
    const char* text;
    const char* value;
  } kCases[] = {
      {alias, "$Name", "Q7"},
      {alias, "\"<$Name>\"", "<Q7>"},
      {alias, "Status(^op)", "true"},
      {note_, "-true", ""},
      {note_, "-\"\"", "0"},
      {note_, "!0", "true"},
      {note_, "!\"0.00\"", "true"},
      {note_, "true != false", "true"},
      {note_, "true < false", ""},
      {note_, "$Due & $Start", "0"},
      {note_, "$Due | $Start", "1"},
      {note_, "$Due - 1 == \"yesterday\"", "true"},
      {note_, "$Start < $Due", ""},
      {note_, "$Start <= $Due", ""},
      {note_, "$Start != $Due", "true"},
      {note_, "$Tags | x", "a;b"},
      {note_, "$Tags * 2", ""},
      {note_, "$Size * 2", "5"},
      {note_, "$Size + \"1 apple\"", "2.51 apple"},  // number and text: text
      {note_, "Size", "2.5"},
      {note_, "Size + 1", "3.5"},
      {note_, "\"Size\" + 1", "Size1"},
      {note_, "$Status(/Top/B)", ""},
      {note_, "$Name(/Nowhere)", ""},
      {note_, "(1, 2) + 3", "4"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Action::Evaluate(c.note, c.text), c.value) << c.text;
  }
}

// `&` and `|` settled by their left side leave out a right side that only reads the
// note, never one with effects: a regular-expression test still gathers its captures.
TEST_F(LanguageDocumentTest, SettledLogicStillRunsSidesWithEffects) {
  const struct {
    const char* text;
    const char* value;
    size_t captures;
  } kCases[] = {
      {"$Status == \"open\" | Status(^(o)p)", "true", 2},
      {"$Status == \"shut\" & Status(^(o)p)", "", 2},
      {"$Status == \"open\" | $Size > 1", "true", 0},
      {"$Status == \"shut\" & !($Size > 1)", "", 0},
      {"$Size - 2.5 & $Size", "0", 0},
      {"$Size | $Size(/Nowhere)", "1", 0},
  };
  for (const auto& c : kCases) {
    std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(c.text, false);
    Captures captures;
    EXPECT_EQ(value->Get(note_, captures), c.value) << c.text;
    EXPECT_EQ(captures.size(), c.captures) << c.text;
  }
}

// Random expressions: the dump of each parses back to the same dump, and the dump
// evaluates to the same text as the expression it came from.
TEST_F(LanguageDocumentTest, DumpsParseBackToTheSameTreeAndValue) {
  const std::vector<std::string> operands = {"$Size",  "$Status", "\"a b\"", "3",     "2.5",
                                             "true",   "Name(Q)", "$Tags",   "Size",  "\"x$Name\"",
                                             "$Due",   "\"today\"", "$1",    "plain"};
  const std::vector<std::string> operators = {"+",  "-", "*",  "/",  "&", "|", "=",
                                              "==", "!=", "<", "<=", ">", ">="};
  std::mt19937 rng(7);
  auto pick = [&rng](const std::vector<std::string>& v) {
    return v[std::uniform_int_distribution<size_t>(0, v.size() - 1)(rng)];
  };
  std::function<std::string(int)> make = [&](int depth) -> std::string {
    const int kind = std::uniform_int_distribution<int>(0, depth > 0 ? 5 : 1)(rng);
    switch (kind) {
      case 0:
      case 1:
        return pick(operands);
      case 2:
        return "(" + make(depth - 1) + ")";
      case 3:
        return (rng() % 2 ? "!" : "-") + pick(operands);
      default:
        return make(depth - 1) + " " + pick(operators) + " " + make(depth - 1);
    }
  };
  for (int i = 0; i < 400; ++i) {
    const std::string text = make(4);
    std::string error;
    std::unique_ptr<AAValue> first = AgentActionExpressionParser::Parse(text, false, &error);
    ASSERT_EQ(error, "") << text;
    const std::string dump = DumpTree(first.get());
    std::unique_ptr<AAValue> second = AgentActionExpressionParser::Parse(dump, false);
    EXPECT_EQ(DumpTree(second.get()), dump) << text;
    Captures a;
    Captures b;
    const std::string value = first->Get(note_, a);
    EXPECT_EQ(value, second->Get(note_, b)) << text << "\n" << dump;
    // A truth answered without the text is the truth of the text.
    bool truth = false;
    if (first->FastTruth(note_, &truth)) {
      EXPECT_EQ(truth, LogicalResult(value).IsTrue()) << text << " gives " << value;
    }
  }
}

// Comparisons of plain attributes and literals, and `&` and `|` of them, read the texts
// where they lie and keep each operator's type for the whole document: the same texts and
// truths on notes with values of their own, inherited ones, defaults and through an alias,
// and a type edited between two evaluations of one parsed query is seen by the second.
TEST_F(LanguageDocumentTest, QuickComparisonsGiveTheTextsOfTheFullEvaluation) {
  Node* bare = test::At(doc_.get(), "Top/B");
  Node* alias = AliasNode::CreateFor(note_);
  ASSERT_NE(alias, nullptr);
  const struct {
    const char* text;
    const char* on_note;  // on Q7 and its alias
    const char* on_bare;  // on B, which holds no values
  } kCases[] = {
      {"$Status == \"open\"", "true", ""},
      {"$Status != \"open\"", "", "true"},
      {"$Status < \"p\"", "true", "true"},
      {"$Status >= \"p\"", "", ""},
      {"Status == \"open\"", "true", ""},         // a bare word reads the attribute
      {"$Size == \"2.5\"", "true", ""},           // a number's text is made
      {"$Nothing == \"$Nothing\"", "true", "true"},  // an unknown name reads as itself
      {"$Status == \"open\" & $Size > 2", "true", ""},
      {"$Status == \"open\" & $Size > 3", "", ""},
      {"$Status == \"shut\" | $Size > 2", "1", "0"},  // `|` gives a side's text
      {"($Status == \"open\") & true", "true", ""},
      {"$Tags == \"b;a\" & $Status", "true", ""},
      {"$Status & $Size", "true", ""},
      {"$Text == $Text", "true", "true"},  // each read of a computed value replaces the last
  };
  note_->SetText("a text longer than any short string's own room");
  for (const auto& c : kCases) {
    std::unique_ptr<AAValue> query = AgentActionExpressionParser::Parse(c.text, false);
    for (Node* n : {note_, alias, bare}) {
      Captures captures;
      const std::string value = query->Get(n, captures);
      EXPECT_EQ(value, n == bare ? c.on_bare : c.on_note) << c.text << " on " << n->Name();
      bool truth = false;
      if (query->FastTruth(n, &truth)) {
        EXPECT_EQ(truth, LogicalResult(value).IsTrue()) << c.text << " on " << n->Name();
      }
    }
  }

  std::unique_ptr<AAValue> query = AgentActionExpressionParser::Parse("$Size > 10", false);
  Captures captures;
  EXPECT_EQ(query->Get(note_, captures), "0");  // 2.5 > 10 as numbers
  Attribute* size = doc_->Properties().Find("Size");
  EditAttributeAction::Settings s = EditAttributeAction::SettingsOf(*size);
  s.type = AttributeType::kString;
  ASSERT_TRUE(doc_->PostAction(std::make_unique<EditAttributeAction>(doc_.get(), size, s)));
  EXPECT_EQ(query->Get(note_, captures), "true");  // "2.5" > "10" as texts
}

}  // namespace
}  // namespace fernweave
