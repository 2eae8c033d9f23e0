// The statement lexer of actions. An action statement such as `$Color(parent) = red`,
// `$Text |= "none"` or `if($Checked){...} else {...}` is cut into tokens: a word (the
// target, up to "{", "=" or an assignment operator; the word "if" ends as soon as it
// is read), an assignment operator ("=", "|=", "&="), quoted text, a brace group's
// contents or a parenthesised group. Errors are stored, never thrown.

#ifndef FERNWEAVE_LANG_STATEMENT_PARSER_H_
#define FERNWEAVE_LANG_STATEMENT_PARSER_H_

#include <string>
#include <string_view>

#include "lang/parser.h"

namespace fernweave {

// Reads one assignment operator from `outer`: "=", "|=" or "&=". A "|" or "&" without
// "=" stores "Incomplete operator:" and the text and gives ""; any other character
// stores "Illegal operator" and gives "".
class AgentActionOperatorParser : public Parser {
 public:
  explicit AgentActionOperatorParser(Parser* outer) : Parser(""), outer_(outer) {}
  std::string Token() override;

 private:
  Parser* outer_;
};

class AgentActionParser : public Parser {
 public:
  explicit AgentActionParser(std::string_view text) : Parser(text) {}
  // The next token; "" at the end or after an operator error.
  std::string Token() override;
};

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_STATEMENT_PARSER_H_
