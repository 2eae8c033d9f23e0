#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/clock.h"
#include "lang/aa_value.h"
#include "lang/action.h"
#include "lang/expression_parser.h"
#include "lang/language.h"
#include "model/attribute.h"
#include "model/ht_path.h"
#include "model/node.h"
#include "model/props.h"
#include "tests/support/date_helpers.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// A document with attributes of each kind the operators distinguish, evaluated for
// "Q7" (a child of "Top", before its sibling "B").
class ExpressionValueTest : public ::testing::Test {
 protected:
  ExpressionValueTest() : doc_(test::MakeDocument("Top\n  Q7\n  B")) {
    InstallLanguage();
    Props& props = doc_->Properties();
    props.CreateBasicAttribute("Size", kUserCategory, true, AttributeType::kNumber);
    props.CreateBasicAttribute("Priority", kUserCategory, true, AttributeType::kNumber);
    props.CreateBasicAttribute("Tags", kUserCategory, true, AttributeType::kSet);
    props.CreateBasicAttribute("Prefix", kUserCategory, true, AttributeType::kString);
    props.CreateBasicAttribute("Status", kUserCategory, true, AttributeType::kString);
    props.CreateBasicAttribute("Due", kUserCategory, true, AttributeType::kDate);
    props.CreateBasicAttribute("Start", kUserCategory, true, AttributeType::kDate);
    props.CreateBasicAttribute("Target", kUserCategory, true, AttributeType::kString);
    note_ = test::At(doc_.get(), "Top/Q7");
    note_->Set("Size", "3");
    note_->Set("Priority", "5");
    note_->Set("Tags", "a;b");
    note_->Set("Status", "done");
    note_->Set("Due", "2009-05-04T08:00:00");
    note_->Set("Target", "/Top/B");
  }

  std::string Eval(const std::string& text) { return Action::Evaluate(note_, text); }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::PinnedClock clock_{"2009-05-04T10:17:33"};
  std::unique_ptr<Orvex> doc_;
  Node* note_;
};

TEST_F(ExpressionValueTest, OperatorsCoerceByTheTypesOfTheirSides) {
  const struct {
    const char* text;
    const char* value;
  } kCases[] = {
      // Numbers, six significant digits.
      {"$Size + 2", "5"},
      {"7 - 10", "-3"},
      {"1234567 + 0", "1.23457e+06"},
      {"1 / 4", "0.25"},
      {"1 / 0", "inf"},
      {"$Size == 3.0", "1"},
      {"2 < 10", "1"},
      {"-5", "-5"},
      {"-$Size", "-3"},
      {"-(2 * 3)", "-6"},
      // Text.
      {"\"a\" + \"b\"", "ab"},
      {"\"a\" - \"b\"", "a-b"},
      {"\"ab\" * 3", "ababab"},
      {"3 * \"ab\"", "ababab"},
      {"\"ab\" * \"cd\"", "abcd"},
      {"\"\" * \"cd\"", "cd"},
      {"\"2\" < \"10\"", ""},
      {"$Status == \"done\" & $Priority > 3", "true"},
      {"$Status == \"Done\"", ""},
      {"$Prefix | \"none\"", "none"},
      {"$Status | \"none\"", "done"},
      {"Status", "done"},
      {"\"Status\"", "Status"},
      {"$Name == Q7", "true"},
      // Truth.
      {"true & false", ""},
      {"true | false", "true"},
      {"!$Checked", "true"},
      {"!\"0.0\"", "true"},
      {"!\"x\"", ""},
      {"!never", "true"},
      {"if($Checked){yes}else{no}", "no"},
      {"if($Size){yes}", "yes"},
      // Dates: comparisons are by day, arithmetic by interval.
      {"$Due == \"today\"", "true"},
      {"$Due == \"tomorrow\"", ""},
      {"$Due != \"tomorrow\"", "true"},
      {"$Due < \"tomorrow\"", "true"},
      {"$Due > \"today 9:00\"", ""},
      {"$Start < \"today\"", ""},
      {"$Start > \"today\"", ""},
      {"$Due + \"1 day\" == \"tomorrow\"", "true"},
      {"$Due - \"2009-05-01\"", "3"},
      {"$Due - \"2009-05-10\"", "-6"},
      // Sets.
      {"$Tags + \"x\"", "a;b;x"},
      {"$Tags + \"b;c\"", "a;b;c"},
      {"$Tags - \"a\"", "b"},
      {"$Tags == \"b;a\"", "true"},
      {"$Tags == \"a\"", ""},
      // References.
      {"$Missing", "$Missing"},
      {"$Name(parent)", "Top"},
      {"$Name(/Top/B)", "B"},
      {"$Name(nowhere)", ""},
      {"\"Hello $Name today\"", "Hello Q7today"},
      {"\"Hello $Name, $Missing!\"", "Hello Q7, $Missing!"},
      {"\"cost \\$5 for $Name(parent)\"", "cost $5 for Top"},
      {"\"$Name$Size\"", "Q7Size"},
      {"Name(^Q)", "true"},
      {"Name(^q)", "true"},
      {"Name([)", ""},
      {"Tags(b)", "true"},
      {"Tags(^b)", ""},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(Eval(c.text), c.value) << c.text;
  }
  EXPECT_EQ(Action::Evaluate(note_, "Name(^q)", true), "");
}

TEST_F(ExpressionValueTest, RegularExpressionTestsCollectCapturesInOrder) {
  std::unique_ptr<AAValue> value =
      AgentActionExpressionParser::Parse("Name(Q(\\d)) & Status(d(o)) & $3", false);
  Captures captures;
  EXPECT_EQ(value->Get(note_, captures), "true");
  EXPECT_EQ(captures, (Captures{"Q7", "7", "do", "o"}));
  std::unique_ptr<AAValue> match = AgentActionExpressionParser::Parse("$1 + $9", false);
  EXPECT_EQ(match->Get(note_, captures), "7$9");
}

TEST_F(ExpressionValueTest, AssignmentStoresByTheKindOfValue) {
  const struct {
    const char* rhs;
    const char* attribute;
    const char* stored;  // the attribute's text afterwards
  } kCases[] = {
      {"red", "Color", "red"},
      {"Status", "Prefix", "done"},  // a bare word naming an attribute reads it
      {"\"$Name\"", "Prefix", "$Name"},  // no interpolation on assignment
      {"+c;a", "Tags", "a;b;c"},
      {"\"~a\"", "Tags", "b;c"},
      {"-a", "Tags", "0"},  // unquoted, "-a" is the negation of a
      {"$Size + 1", "Size", "4"},
      {"-$Size", "Size", "-4"},
      {"$Due", "Start", "5/4/09, 8:00\u202fAM"},
      {"$1", "Prefix", "second"},
      {"", "Size", "0"},
      {"if($Size){1}", "Prefix", "second"},
      {"1 +", "Prefix", "second"},
      {"sqrt(4)", "Prefix", "2"},
  };
  test::ScopedIcuLocale locale("en_US");
  for (const auto& c : kCases) {
    std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(c.rhs, false);
    Captures captures{"first", "second"};
    value->Do(note_, note_, c.attribute, captures);
    EXPECT_EQ(note_->GetString(c.attribute), c.stored) << c.rhs;
  }
}

TEST_F(ExpressionValueTest, NoTextPassesTheSizeBound) {
  // Sizes only: a failure must not print megabytes.
  EXPECT_EQ(Eval("\"ab\" * 1e12").size(), 0u);
  EXPECT_EQ(Eval("1e12 * \"ab\"").size(), 0u);
  EXPECT_EQ(Eval("\"ab\" * 3e3").size(), 6000u);
  // A long text is not read as a date (the reader would scan megabytes for each test).
  EXPECT_EQ(Eval("$Due == 2222222 * \"ab\""), "");
  note_->Set("Prefix", std::string(kMaxTextSize / 2 + 1, 'x'));
  EXPECT_EQ(Eval("$Prefix + $Prefix").size(), 0u);
  EXPECT_EQ(Eval("$Prefix - $Prefix").size(), 0u);
  EXPECT_EQ(Eval("\"$Prefix $Prefix\"").size(), 0u);
  EXPECT_EQ(Eval("\"$Prefix$Prefix\"").size(), kMaxTextSize / 2 + 7);
}

// The model's seams: display expressions, expression paths and set edits all reach the
// language, and self-reference ends at the evaluation bound.
TEST_F(ExpressionValueTest, ModelSeamsEvaluateThroughTheLanguage) {
  note_->Set("DisplayExpression", "$Name + \" (\" + $Size + \")\"");
  EXPECT_EQ(note_->DisplayName(), "Q7 (3)");
  EXPECT_EQ(note_->GetString("DisplayName"), "Q7 (3)");
  EXPECT_EQ(HTPath("$Target").Get(note_), test::At(doc_.get(), "Top/B"));
  EXPECT_EQ(Eval("$Name($Target)"), "B");

  note_->Set("Tags", "a;\"b;c\"");
  note_->SetSet("Tags", "+d");
  EXPECT_EQ(note_->GetString("Tags"), "a;\"b;c\";d");

  // Each evaluation reads the display name, which evaluates the expression again.
  note_->Set("DisplayExpression", "\"<$DisplayName>\"");
  const std::string shown = note_->DisplayName();
  EXPECT_EQ(shown, std::string(StEvaluationDepth::kMaxEvaluationDepth, '<') +
                       std::string(StEvaluationDepth::kMaxEvaluationDepth, '>'));
  EXPECT_EQ(StEvaluationDepth::depth(), 0);
  note_->Set("Target", "$Name($Target)");
  EXPECT_EQ(Eval("$Name($Target)"), "");
  EXPECT_EQ(StEvaluationDepth::depth(), 0);
}

}  // namespace
}  // namespace fernweave
