#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "lang/aa_value.h"
#include "lang/expression_element.h"
#include "lang/expression_parser.h"
#include "lang/function_table.h"
#include "lang/list_splitters.h"
#include "lang/statement_parser.h"
#include "lang/value_dump.h"

namespace fernweave {
namespace {

struct Parsed {
  std::string dump;
  std::string error;
  bool valid;
};

Parsed ParseAndDump(const std::string& text) {
  std::string error;
  std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(text, false, &error);
  return {DumpTree(value.get()), error, value != nullptr && value->IsValid()};
}

// Groupings that stored queries rely on, including the one-level descent of a new
// operator into the root's right side. Each dump also parses back to itself.
TEST(ExpressionParserTest, GroupsByPriorityWithOneLevelDescent) {
  const struct {
    const char* text;
    const char* dump;
  } kCases[] = {
      {"$A == $B + 1 * 2", "($A == (($B + 1) * 2))"},
      {"a | b & c", "((a | b) & c)"},
      {"a - b - c", "((a - b) - c)"},
      {"a + b * c", "(a + (b * c))"},
      {"a * b + c", "((a * b) + c)"},
      {"a & b == c", "(a & (b == c))"},
      {"a & b == c + d", "(a & ((b == c) + d))"},
      {"(a + b) * c", "((a + b) * c)"},
      {"a * (b + c)", "(a * (b + c))"},
      {"$Name == Hello World", "($Name == Hello World)"},
      {"$Name(parent) != \"x y\"", "($Name(parent) != \"x y\")"},
      {"a<=b", "(a <= b)"},
      {"a >= b = c", "((a >= b) = c)"},
      {"3.25 + .5", "(3.25 + .5)"},
      {"-5 - -$W", "(-5 - -$W)"},
      {"!$Checked & ~b", "(!$Checked & !b)"},
      {"$1 + $12", "($1 + $12)"},
      {"Name(^Re) | Text(a\\(b)", "(Name(^Re) | Text(a\\(b))"},
      {"'if'($A){1 + 2}else{x}", "if($A){(1 + 2)}else{x}"},
      {"if($A){1}", "if($A){1}"},
      {"a, b + c, (d, e)", "a, (b + c), (d, e)"},
      {"\"say \\\"hi\\\"\\t\"", "\"say \\\"hi\\\"\\t\""},
      {"\"\"", "\"\""},
      {"", "<default>"},
      {"   ", "<default>"},
  };
  for (const auto& c : kCases) {
    const Parsed parsed = ParseAndDump(c.text);
    EXPECT_EQ(parsed.dump, c.dump) << c.text;
    EXPECT_EQ(parsed.error, "") << c.text;
    if (parsed.dump.front() != '<') {
      EXPECT_EQ(ParseAndDump(parsed.dump).dump, parsed.dump) << c.text;
    }
  }
}

TEST(ExpressionParserTest, StoresEachErrorTextAndKeepsWhatWasBuilt) {
  const struct {
    const char* text;
    const char* error;
    const char* dump;
  } kCases[] = {
      {"\"abc", "unterminated expression: expected \"", "\"abc\""},
      {"'abc", "unterminated expression: expected '", "abc"},
      {"(a + b", "unclosed parenthesis", "<default>"},
      {"if($A){b", "unclosed brace", "if($A){b}"},
      {"$A(parent", "unterminated argument list", "$A"},
      {"x $y", "Unexpected operator $y", "x"},
      {"a ! b", "Unexpected operator !", "a"},
      {"if($A){1} + 2", "Unexpected operator 2", "if($A){1}"},
      {"1 + \"a", "unterminated expression: expected \"", "(1 + <invalid: unterminated "
                                                         "expression: expected \">)"},
      // Once an error is stored, later operands are invalid too.
      {"`", "", "<invalid: shell: syntax error>"},
      // The rest of the text is an export template, whatever it holds.
      {"^value(Name)^ (", "", "^value(Name)^ ("},
      {"links.outbound.x", "", "<invalid: links: syntax error>"},
  };
  for (const auto& c : kCases) {
    const Parsed parsed = ParseAndDump(c.text);
    EXPECT_EQ(parsed.error, c.error) << c.text;
    EXPECT_EQ(parsed.dump, c.dump) << c.text;
  }
  EXPECT_FALSE(ParseAndDump("1 +").valid);
  EXPECT_TRUE(ParseAndDump("x $y").valid);
}

TEST(ExpressionParserTest, BoundsNestingWithoutExhaustingTheStack) {
  const std::string kTooDeep = AgentActionExpressionParser::kTooDeep;
  // Far deeper than a recursive parser could go on the stack.
  const size_t n = 20000;
  const std::vector<std::string> deep = {
      std::string(n, '(') + "1" + std::string(n, ')'),
      std::string(n, '(') + "1",
      "if(1){" + std::string(n, '{'),
      std::string(n, '!') + "x",
      std::string(n, '-') + "x",
  };
  for (const std::string& text : deep) {
    const Parsed parsed = ParseAndDump(text);
    EXPECT_NE(parsed.error, "") << text.substr(0, 20);
  }
  std::string chain = "1";
  for (int i = 0; i < 5000; ++i) {
    chain += " + 1";
  }
  EXPECT_EQ(ParseAndDump(chain).error, kTooDeep);
  EXPECT_EQ(ParseAndDump(std::string(300, '(') + "1" + std::string(300, ')')).error, kTooDeep);
  // 200 groups are within the bound.
  EXPECT_EQ(ParseAndDump(std::string(200, '(') + "1" + std::string(200, ')')).dump, "1");

  // A comma chain is not nesting: a long argument list parses and is released
  // item by item.
  std::string list = "0";
  for (size_t i = 1; i < n; ++i) {
    list += ",1";
  }
  std::unique_ptr<AAValue> value = AgentActionExpressionParser::Parse(list, false);
  size_t items = 0;
  for (const AAValue* v = value.get(); v != nullptr; v = v->GetNextValue()) {
    ++items;
  }
  EXPECT_EQ(items, n);
}

TEST(ExpressionParserTest, ClassifiesTokens) {
  const struct {
    const char* text;
    const char* kind;
  } kCases[] = {
      {"", "StringElement"},         {"!", "NotFunction"},
      {"~", "NotFunction"},          {"-", "NegateFunction"},
      {"sqrt", "UnaryFunction"},     {"#inside", "UnaryFunction"},
      {"upperCase", "UnaryFunction"}, {"RGB", "UnaryFunction"},
      {"Sqrt", "MysteryElement"},    {",", "CommaFunction"},
      {"==", "BinaryFunction"},      {"!=", "BinaryFunction"},
      {"$1", "MatchElement"},        {"$Name", "AttributeElement"},
      {"$", "MysteryElement"},       {"\"x\"", "StringElement"},
      {"(a)", "ParentheticalElement"}, {"^x", "ExportTemplateElement"},
      {"`", "ShellElement"},         {"Hello World", "MysteryElement"},
  };
  for (const auto& c : kCases) {
    EXPECT_STREQ(ExpressionElement::Create(c.text)->KindName(), c.kind) << c.text;
  }
  for (const FunctionEntry* e = FunctionTableBegin(); e != FunctionTableEnd(); ++e) {
    EXPECT_STREQ(ExpressionElement::Create(e->name)->KindName(), "UnaryFunction") << e->name;
  }
  EXPECT_TRUE(ExpressionToken("-").IsBinaryOperator());
  EXPECT_FALSE(ExpressionToken("!").IsBinaryOperator());
  EXPECT_TRUE(ExpressionToken("-3.5").IsNumber());
  EXPECT_FALSE(ExpressionToken("1.2.3").IsNumber());
}

TEST(ListSplittersTest, KeepGroupsQuotesAndEscapesWhole) {
  const struct {
    std::vector<std::string> items;
    std::vector<std::string> expected;
  } kCases[] = {
      {ArgList("a, (b,c), \"d,e\", 'f,g', h\\,i, j\\k").items(),
       {"a", "(b,c)", "\"d,e\"", "f,g", "h,i", "j\\k"}},
      {ArgList("a,,b, ", ',', true).items(), {"a", "", "b", ""}},
      {ArgList("a,,b").items(), {"a", "b"}},
      {ActionList("$A=1; if(x){$B=2;$C=3}else{$D=\"4;5\"};; \"x;y\"").items(),
       {"$A=1", "if(x){$B=2;$C=3}else{$D=\"4;5\"}", "\"x;y\""}},
      {SetList("a;b;a; c ;").items(), {"a", "b", "c"}},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(c.items, c.expected);
  }
  const struct {
    const char* current;
    const char* edit;
    const char* result;
  } kEdits[] = {
      {"a;b", "+c;a", "a;b;c"}, {"a;b", "-a", "b"},   {"a;b", "~a;c", "b;c"},
      {"", "+x", "x"},          {"a;b", "c;d", "c;d"}, {"a", "-", "a"},
  };
  for (const auto& e : kEdits) {
    EXPECT_EQ(SetList::Edit(e.current, e.edit), e.result) << e.current << " " << e.edit;
  }
}

TEST(StatementParserTest, CutsStatementsIntoTokens) {
  const struct {
    const char* text;
    std::vector<std::string> tokens;
    const char* error;
  } kCases[] = {
      {"$Color(parent) = red", {"$Color(parent)", "=", "red"}, ""},
      {"$Text |= \"none\"", {"$Text", "|=", "none"}, ""},
      {"$Status&=done", {"$Status", "&=", "done"}, ""},
      {"if($Checked){$Color=green}else{$Color=red}",
       {"if", "($Checked)", "$Color=green", "else", "$Color=red"},
       ""},
      {"$X | y", {"$X | y"}, ""},
      {"$X |y", {"$X |y"}, ""},
      {"| y", {}, "Incomplete operator:|"},
  };
  for (const auto& c : kCases) {
    AgentActionParser parser(c.text);
    std::vector<std::string> tokens;
    for (std::string t = parser.Token(); !t.empty(); t = parser.Token()) {
      tokens.push_back(t);
    }
    EXPECT_EQ(tokens, c.tokens) << c.text;
    EXPECT_EQ(parser.GetError(), c.error) << c.text;
  }
}

}  // namespace
}  // namespace fernweave
