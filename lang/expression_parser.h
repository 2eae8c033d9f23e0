// The expression parser. `AgentActionExpressionParser::Parse(text, case_sensitive)`
// turns one expression into a tree of values (lang/aa_value.h, lang/aa_operators.h).
//
// The lexer (Token) reads groups, quoted text, operators and words; each token is
// classified by lang/expression_element.h and the tree is built left to right by
// Compose with operator priorities: "&" and "|" 0, comparisons 2, "+" "-" 3, "*" "/" 4,
// operands 9999. A new operator descends one level only, into the root's right side,
// so "a + b * c" is "a + (b * c)" but "a == b + c * d" is "a == ((b + c) * d)";
// parentheses force a grouping.
//
// Errors never throw: the last message is stored (GetError) and parsing stops at an
// unexpected operator with the tree built so far. Nesting is bounded: a group or tree
// deeper than kMaxNesting gives the error "expression nested too deeply" and an
// invalid value.

#ifndef FERNWEAVE_LANG_EXPRESSION_PARSER_H_
#define FERNWEAVE_LANG_EXPRESSION_PARSER_H_

#include <memory>
#include <string>
#include <string_view>

#include "lang/aa_value.h"
#include "lang/expression_element.h"
#include "lang/parser.h"

namespace fernweave {

class AgentActionExpressionParser : public Parser {
 public:
  static constexpr int kMaxNesting = 256;
  static constexpr char kTooDeep[] = "expression nested too deeply";

  // `nesting` counts the groups this text lies within.
  AgentActionExpressionParser(std::string_view text, bool case_sensitive, int nesting = 0);

  // Parses `text`: the root of the tree (the caller owns it), an AADefaultValue for text
  // without a token, or null when the first token makes no value. `error` (may be null)
  // receives the stored message, "" when there is none.
  static std::unique_ptr<AAValue> Parse(std::string_view text, bool case_sensitive,
                                        std::string* error = nullptr);

  // The parse loop over this parser's text.
  std::unique_ptr<AAValue> Parse();
  // The next token (see expression_parser.cc for the lexer's rules).
  std::string Token() override;
  // A value for a token: an AAInvalid when the parser holds an error or the token is
  // empty; else the element's operand, a number, a boolean or an unquoted string.
  std::unique_ptr<AAValue> Create(const std::string& text);
  std::unique_ptr<AAValue> Create(ExpressionToken& token);
  // Create for the operand of a unary operator, which may itself be unary: counts
  // towards the nesting bound.
  std::unique_ptr<AAValue> CreateOperand(const std::string& text);
  // Places an operator value (with its right side set) into the tree.
  void Compose(std::unique_ptr<AAValue> value);
  void CaseSensitive(bool case_sensitive) { case_sensitive_ = case_sensitive; }
  bool CaseSensitive() const { return case_sensitive_; }
  // For "$Name(path)": the contents of a group that follows (blanks skipped), else "".
  // A group left open stores "unterminated argument list".
  std::string GetArguments();
  bool AtStartOfExpression() const { return root_ == nullptr; }
  // How many groups and operands deep the parser is reading now.
  int Nesting() const { return nesting_ + operand_depth_; }

  // Parses text that lies one group deeper, copying any error it stores into this
  // parser. Gives an AAInvalid past kMaxNesting.
  std::unique_ptr<AAValue> ParseNested(std::string_view text, bool case_sensitive);
  // Records a message for a construct that cannot be evaluated yet and returns an
  // AAInvalid carrying it.
  std::unique_ptr<AAValue> Unavailable(const std::string& message);

 private:
  // After ",": parses each following item of the chain (case-insensitively) and hangs
  // it behind the last, iteratively.
  void ParseChain();

  std::unique_ptr<AAValue> root_;
  bool case_sensitive_;
  int nesting_;
  int operand_depth_ = 0;
  // Set for a parser reading one item of a comma chain: it stops at the next ",".
  bool chain_item_ = false;
  bool stopped_at_comma_ = false;
};

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_EXPRESSION_PARSER_H_
