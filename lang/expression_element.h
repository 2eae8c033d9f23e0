// Tokens of the expression lexer and their syntactic roles. `ExpressionElement::Create`
// classifies a token's text (first match wins): the empty text is an empty string;
// "!" and "~" negate truth, "-" negates or subtracts; a function name (see
// lang/function_table.h); ","; the binary operators; "$" and a digit a capture; "$" and
// a name an attribute; double-quoted text a string; "(...)" a group; "^" a template;
// a backquote a shell command; anything else a word (`MysteryElement`).

#ifndef FERNWEAVE_LANG_EXPRESSION_ELEMENT_H_
#define FERNWEAVE_LANG_EXPRESSION_ELEMENT_H_

#include <memory>
#include <string>
#include <string_view>

#include "lang/aa_value.h"
#include "lang/function_table.h"

namespace fernweave {

class AgentActionExpressionParser;

class ExpressionElement {
 public:
  virtual ~ExpressionElement() = default;
  virtual std::unique_ptr<ExpressionElement> Clone() const = 0;
  virtual bool CanBeParsed() const { return false; }
  virtual bool IsBinaryOperator() const { return false; }
  // The operand this element starts, reading any further text it needs from the
  // parser; null when it starts none.
  virtual std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser);
  // For a binary operator: the operator value with its right side read and its left
  // side empty (the parser's Compose places it); null otherwise.
  virtual std::unique_ptr<AAValue> Parse2(AgentActionExpressionParser& parser, AAValue* left);

  // The element for a token's text. Never null.
  static std::unique_ptr<ExpressionElement> Create(std::string_view text);
  // The name of the element's class, for tests of the classification.
  virtual const char* KindName() const = 0;
};

class ExpressionToken {
 public:
  ExpressionToken() : ExpressionToken(std::string()) {}
  explicit ExpressionToken(std::string text);
  ExpressionToken(const ExpressionToken& other);
  ExpressionToken& operator=(const ExpressionToken& other);

  bool empty() const { return text_.empty(); }
  bool StartsWith(char c) const { return !text_.empty() && text_.front() == c; }
  // Optional "-", digits and at most one ".", with at least one digit.
  bool IsNumber() const;
  bool IsBoolean() const { return text_ == "true" || text_ == "false"; }
  // The first character is an operator character or a backquote.
  bool IsOperator() const;
  const std::string& AsString() const { return text_; }
  ExpressionToken operator+(const std::string& s) const { return ExpressionToken(text_ + s); }
  ExpressionToken operator+(const ExpressionToken& t) const { return ExpressionToken(text_ + t.text_); }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) { return element_->Parse(parser); }
  std::unique_ptr<AAValue> Parse2(AgentActionExpressionParser& parser, AAValue* left) {
    return element_->Parse2(parser, left);
  }
  bool CanBeParsed() const { return element_->CanBeParsed(); }
  bool IsBinaryOperator() const { return element_->IsBinaryOperator(); }
  const ExpressionElement& element() const { return *element_; }

  // True for "+ - * / | & ~ ! , < > =" and the backquote.
  static bool IsOperatorChar(char c);

 private:
  std::string text_;
  std::unique_ptr<ExpressionElement> element_;
};

// A number, "true"/"false", or an unquoted string, for a word that starts no other
// operand.
std::unique_ptr<AAValue> MakeLiteral(const std::string& text);

}  // namespace fernweave

#endif  // FERNWEAVE_LANG_EXPRESSION_ELEMENT_H_
