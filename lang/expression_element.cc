#include "lang/expression_element.h"

#include <cctype>
#include <cstring>

#include "lang/aa_operators.h"
#include "lang/expression_parser.h"
#include "lang/functions.h"
#include "lang/template_value.h"

namespace fernweave {

std::unique_ptr<AAValue> ExpressionElement::Parse(AgentActionExpressionParser& /*parser*/) {
  return nullptr;
}

std::unique_ptr<AAValue> ExpressionElement::Parse2(AgentActionExpressionParser& /*parser*/,
                                                   AAValue* /*left*/) {
  return nullptr;
}

namespace {

bool IsNumberText(std::string_view s) {
  size_t i = 0;
  if (i < s.size() && s[i] == '-') {
    ++i;
  }
  size_t digits = 0;
  size_t dots = 0;
  for (; i < s.size(); ++i) {
    if (std::isdigit(static_cast<unsigned char>(s[i])) != 0) {
      ++digits;
    } else if (s[i] == '.' && dots == 0) {
      ++dots;
    } else {
      return false;
    }
  }
  return digits > 0;
}

#define FW_ELEMENT_BOILERPLATE(Class)                                   \
  std::unique_ptr<ExpressionElement> Clone() const override {           \
    return std::make_unique<Class>(*this);                              \
  }                                                                     \
  const char* KindName() const override { return #Class; }

// Double-quoted text (without its quotes) or the empty token.
class StringElement : public ExpressionElement {
 public:
  StringElement(std::string text, char quote) : text_(std::move(text)), quote_(quote) {}
  FW_ELEMENT_BOILERPLATE(StringElement)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser&) override {
    return std::make_unique<AAStringValue>(text_, quote_);
  }

 private:
  std::string text_;
  char quote_;
};

class AttributeElement : public ExpressionElement {
 public:
  explicit AttributeElement(std::string name) : name_(std::move(name)) {}
  FW_ELEMENT_BOILERPLATE(AttributeElement)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    std::string path = parser.GetArguments();
    return std::make_unique<AAAttributeValue>(name_, std::move(path));
  }

 private:
  std::string name_;
};

class MatchElement : public ExpressionElement {
 public:
  explicit MatchElement(std::string text) : text_(std::move(text)) {}
  FW_ELEMENT_BOILERPLATE(MatchElement)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser&) override {
    return std::make_unique<AAMatchValue>(text_);
  }

 private:
  std::string text_;
};

class ParentheticalElement : public ExpressionElement {
 public:
  explicit ParentheticalElement(std::string contents) : contents_(std::move(contents)) {}
  FW_ELEMENT_BOILERPLATE(ParentheticalElement)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    return std::make_unique<AAParenthetical>(
        "(", parser.ParseNested(contents_, parser.CaseSensitive()));
  }

 private:
  std::string contents_;
};

// Any other word: "Name(pattern)" searches an attribute; otherwise a literal.
class MysteryElement : public ExpressionElement {
 public:
  explicit MysteryElement(std::string word) : word_(std::move(word)) {}
  FW_ELEMENT_BOILERPLATE(MysteryElement)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    if (parser.NextCharIs('(')) {
      std::string pattern = ParenParser(&parser).Token();
      return std::make_unique<AARegexValue>(word_, std::move(pattern), parser.CaseSensitive());
    }
    return MakeLiteral(word_);
  }

 private:
  std::string word_;
};

class ExportTemplateElement : public ExpressionElement {
 public:
  FW_ELEMENT_BOILERPLATE(ExportTemplateElement)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    // The rest of the expression, caret included, is an export template.
    return MakeTemplateValue("^" + parser.Rest());
  }
};

class ShellElement : public ExpressionElement {
 public:
  FW_ELEMENT_BOILERPLATE(ShellElement)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    const std::string rest = Parser::Trim(parser.Rest());
    if (rest.empty()) {
      return std::make_unique<AAInvalid>("shell: syntax error");
    }
    // CreateOperand counts towards the nesting bound: "````...x" nests one level each.
    return MakeShellValue(parser.CreateOperand(rest));
  }
};

// "!" or "~": the truth of the one operand that follows, negated.
class NotFunction : public ExpressionElement {
 public:
  FW_ELEMENT_BOILERPLATE(NotFunction)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    const std::string next = parser.Token();
    return std::make_unique<AANot>("!", parser.CreateOperand(next));
  }
};

// "-": negation at the start of an operand, subtraction between operands.
class NegateFunction : public ExpressionElement {
 public:
  explicit NegateFunction(bool exact) : exact_(exact) {}
  FW_ELEMENT_BOILERPLATE(NegateFunction)
  bool CanBeParsed() const override { return true; }
  bool IsBinaryOperator() const override { return exact_; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    const std::string next = parser.Token();
    return std::make_unique<AANegate>("-", parser.CreateOperand(next));
  }
  std::unique_ptr<AAValue> Parse2(AgentActionExpressionParser& parser, AAValue*) override {
    std::unique_ptr<AABinaryOperator> op = MakeBinaryOperator("-");
    const std::string next = parser.Token();
    op->SetRight(parser.Create(next));
    return op;
  }

 private:
  bool exact_;
};

class BinaryFunction : public ExpressionElement {
 public:
  explicit BinaryFunction(std::string op) : op_(std::move(op)) {}
  FW_ELEMENT_BOILERPLATE(BinaryFunction)
  bool IsBinaryOperator() const override { return true; }
  std::unique_ptr<AAValue> Parse2(AgentActionExpressionParser& parser, AAValue*) override {
    std::unique_ptr<AABinaryOperator> op = MakeBinaryOperator(op_);
    const std::string next = parser.Token();
    op->SetRight(parser.Create(next));
    return op;
  }

 private:
  std::string op_;
};

// ",": the parser itself reads the chain that follows (AgentActionExpressionParser).
class CommaFunction : public ExpressionElement {
 public:
  FW_ELEMENT_BOILERPLATE(CommaFunction)
  bool IsBinaryOperator() const override { return true; }
};

// A named function: reads its arguments by its row's convention, then asks the row's
// maker for its value.
class UnaryFunction : public ExpressionElement {
 public:
  explicit UnaryFunction(const FunctionEntry* entry) : entry_(entry) {}
  FW_ELEMENT_BOILERPLATE(UnaryFunction)
  bool CanBeParsed() const override { return true; }
  std::unique_ptr<AAValue> Parse(AgentActionExpressionParser& parser) override {
    switch (entry_->convention) {
      case ArgumentConvention::kIf:
        return ParseIf(parser);
      case ArgumentConvention::kLinks:
        return ParseLinks(parser);
      default:
        break;
    }
    FunctionCall call;
    call.name = entry_->name;
    call.canonical = entry_->canonical;
    call.case_sensitive = parser.CaseSensitive();
    call.convention = entry_->convention;
    call.nesting = parser.Nesting();
    switch (entry_->convention) {
      case ArgumentConvention::kList:
        call.raw = GetArguments(parser);
        break;
      case ArgumentConvention::kSingle:
        call.raw = GetArguments(parser);
        call.arguments = parser.ParseNested(call.raw.empty() ? "0" : call.raw.at(0), false);
        break;
      case ArgumentConvention::kPath:
        call.raw = GetArguments(parser);
        if (call.raw.empty()) {
          call.arguments = std::make_unique<AADefaultValue>();
        } else {
          call.arguments = std::make_unique<AAStringValue>(call.raw.at(0), '"');
        }
        break;
      default: {
        std::string group;
        if (parser.NextCharIs('(')) {
          group = ParenParser(&parser).Token();
        }
        call.raw = ArgList(group);
        call.arguments = parser.ParseNested(group, parser.CaseSensitive());
        break;
      }
    }
    if (entry_->maker == nullptr) {
      return parser.Unavailable(call.name + ": not available yet");
    }
    return entry_->maker(std::move(call));
  }

 private:
  // The list-style arguments: a following group split on ",".
  static ArgList GetArguments(AgentActionExpressionParser& parser) {
    if (!parser.NextCharIs('(')) {
      return ArgList();
    }
    return ArgList(ParenParser(&parser).Token());
  }

  // if(condition){then} else {else}: the third token is consumed even when it is not
  // "else".
  static std::unique_ptr<AAValue> ParseIf(AgentActionExpressionParser& parser) {
    std::string condition = parser.Token();
    if (!condition.empty() && condition.front() == '(' && condition.back() == ')') {
      condition = condition.substr(1, condition.size() - 2);
    }
    const std::string then_text = parser.Token();
    const std::string third = parser.Token();
    std::string else_text;
    const bool has_else = third == "else";
    if (has_else) {
      else_text = parser.Token();
    }
    const bool sensitive = parser.CaseSensitive();
    std::unique_ptr<AAValue> c = parser.ParseNested(condition, sensitive);
    std::unique_ptr<AAValue> t = parser.ParseNested(then_text, sensitive);
    std::unique_ptr<AAValue> e = has_else ? parser.ParseNested(else_text, sensitive) : nullptr;
    return std::make_unique<AAIfExpression>(std::move(c), std::move(t), std::move(e));
  }

  // links[(designator)].direction.type.attribute
  std::unique_ptr<AAValue> ParseLinks(AgentActionExpressionParser& parser) {
    std::string designator;
    bool has_designator = false;
    if (parser.NextCharIs('(')) {
      designator = ParenParser(&parser).Token();
      has_designator = true;
    }
    std::string dotted = "links";
    if (parser.NextCharIs('.')) {
      dotted += DotParser(&parser).Token();
    }
    return MakeLinksValue(designator, has_designator, dotted);
  }

  const FunctionEntry* entry_;
};

#undef FW_ELEMENT_BOILERPLATE

}  // namespace

std::unique_ptr<ExpressionElement> ExpressionElement::Create(std::string_view text) {
  if (text.empty()) {
    return std::make_unique<StringElement>(std::string(), 0);
  }
  if (text == "!" || text == "~") {
    return std::make_unique<NotFunction>();
  }
  if (text == "-") {
    return std::make_unique<NegateFunction>(true);
  }
  if (const FunctionEntry* entry = FindFunction(text)) {
    return std::make_unique<UnaryFunction>(entry);
  }
  if (text == ",") {
    return std::make_unique<CommaFunction>();
  }
  static constexpr const char* kBinary[] = {"+", "*", "/", "&", "|", "<", "<=",
                                            ">", ">=", "=", "==", "!="};
  for (const char* op : kBinary) {
    if (text == op) {
      return std::make_unique<BinaryFunction>(op);
    }
  }
  if (text.size() > 1 && text[0] == '$') {
    if (std::isdigit(static_cast<unsigned char>(text[1])) != 0) {
      return std::make_unique<MatchElement>(std::string(text));
    }
    return std::make_unique<AttributeElement>(std::string(text.substr(1)));
  }
  if (text.size() > 1 && text[0] == '"') {
    std::string_view inner = text.substr(1);
    if (!inner.empty() && inner.back() == '"') {
      inner.remove_suffix(1);
    }
    return std::make_unique<StringElement>(std::string(inner), '"');
  }
  if (text.size() > 1 && text[0] == '(') {
    std::string_view inner = text.substr(1);
    if (!inner.empty() && inner.back() == ')') {
      inner.remove_suffix(1);
    }
    return std::make_unique<ParentheticalElement>(std::string(inner));
  }
  if (text[0] == '^') {
    return std::make_unique<ExportTemplateElement>();
  }
  if (text[0] == '`') {
    return std::make_unique<ShellElement>();
  }
  return std::make_unique<MysteryElement>(std::string(text));
}

ExpressionToken::ExpressionToken(std::string text)
    : text_(std::move(text)), element_(ExpressionElement::Create(text_)) {}

ExpressionToken::ExpressionToken(const ExpressionToken& other)
    : text_(other.text_), element_(other.element_->Clone()) {}

ExpressionToken& ExpressionToken::operator=(const ExpressionToken& other) {
  if (this != &other) {
    text_ = other.text_;
    element_ = other.element_->Clone();
  }
  return *this;
}

bool ExpressionToken::IsNumber() const { return IsNumberText(text_); }

bool ExpressionToken::IsOperatorChar(char c) {
  return c != '\0' && std::strchr("+-*/|&~!,<>=`", c) != nullptr;
}

bool ExpressionToken::IsOperator() const { return !text_.empty() && IsOperatorChar(text_[0]); }

std::unique_ptr<AAValue> MakeLiteral(const std::string& text) {
  if (IsNumberText(text)) {
    return std::make_unique<AANumber>(text);
  }
  if (text == "true" || text == "false") {
    return std::make_unique<AABoolean>(text);
  }
  return std::make_unique<AAStringValue>(text, 0);
}

}  // namespace fernweave
