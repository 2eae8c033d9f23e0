#include "lang/expression_parser.h"

#include <cctype>

#include "lang/aa_operators.h"

namespace fernweave {

AgentActionExpressionParser::AgentActionExpressionParser(std::string_view text,
                                                         bool case_sensitive, int nesting)
    : Parser(text), case_sensitive_(case_sensitive), nesting_(nesting) {}

std::unique_ptr<AAValue> AgentActionExpressionParser::Parse(std::string_view text,
                                                            bool case_sensitive,
                                                            std::string* error) {
  AgentActionExpressionParser parser(text, case_sensitive);
  std::unique_ptr<AAValue> root = parser.Parse();
  if (error != nullptr) {
    *error = parser.GetError();
  }
  return root;
}

std::string AgentActionExpressionParser::Token() {
  SkipWhite();
  if (!good()) {
    return std::string();
  }
  const char c = text_[pos_];
  if (c == '^' || c == '`') {
    ++pos_;
    return std::string(1, c);
  }
  if (c == '(') {
    return "(" + ParenParser(this).Token() + ")";
  }
  if (c == '{') {
    return BraceParser(this).Token();
  }
  if (c == '"') {
    ++pos_;
    return "\"" + GetQuote('"') + "\"";
  }
  if (c == '\'') {
    ++pos_;
    return GetQuote('\'');
  }
  if (c == '.') {
    return DotParser(this).Token();
  }
  if (ExpressionToken::IsOperatorChar(c)) {
    ++pos_;
    std::string op(1, c);
    if ((c == '<' || c == '>' || c == '=' || c == '!') && Munch('=')) {
      op += '=';
    }
    return op;
  }
  // A word: blanks included, up to an operator, a group, or a "$" that starts another
  // operand; a "." ends it unless everything so far is digits (so 3.25 stays whole).
  std::string word;
  bool all_digits = true;
  bool blank = true;  // nothing but white space read so far
  while (good()) {
    const char d = text_[pos_];
    if (ExpressionToken::IsOperatorChar(d) || d == '(' || d == '{') {
      break;
    }
    if (d == '$' && !blank) {
      break;
    }
    if (!IsWhite(d)) {
      blank = false;
    }
    if (d == '.' && !(all_digits && !word.empty())) {
      break;
    }
    ++pos_;
    if (d == '\\' && good()) {
      word += text_[pos_++];
      all_digits = false;
      continue;
    }
    word += d;
    if (d != '.' && std::isdigit(static_cast<unsigned char>(d)) == 0) {
      all_digits = false;
    }
  }
  return Trim(word);
}

std::unique_ptr<AAValue> AgentActionExpressionParser::Create(const std::string& text) {
  ExpressionToken token(text);
  return Create(token);
}

std::unique_ptr<AAValue> AgentActionExpressionParser::Create(ExpressionToken& token) {
  if (!OK() || token.empty()) {
    return std::make_unique<AAInvalid>(GetError());
  }
  if (token.CanBeParsed()) {
    std::unique_ptr<AAValue> value = token.Parse(*this);
    if (value != nullptr) {
      return value;
    }
  }
  return MakeLiteral(token.AsString());
}

std::unique_ptr<AAValue> AgentActionExpressionParser::CreateOperand(const std::string& text) {
  if (operand_depth_ + nesting_ >= kMaxNesting) {
    return Unavailable(kTooDeep);
  }
  ++operand_depth_;
  std::unique_ptr<AAValue> value = Create(text);
  --operand_depth_;
  return value;
}

void AgentActionExpressionParser::Compose(std::unique_ptr<AAValue> value) {
  if (value == nullptr || value.get() == root_.get()) {
    return;
  }
  if (root_ == nullptr) {
    root_ = std::move(value);
    return;
  }
  if (root_->Priority() >= value->Priority()) {
    value->SetLeft(std::move(root_));
    root_ = std::move(value);
  } else {
    // One level only: the new operator takes the root's right side.
    value->SetLeft(root_->TakeRight());
    root_->SetRight(std::move(value));
  }
}

std::string AgentActionExpressionParser::GetArguments() {
  if (!good()) {
    return std::string();
  }
  SkipWhite();
  if (!NextCharIs('(')) {
    return std::string();
  }
  ParenParser group(this);
  std::string contents = group.Token();
  if (!group.OK()) {
    Error("unterminated argument list");
  }
  return contents;
}

std::unique_ptr<AAValue> AgentActionExpressionParser::ParseNested(std::string_view text,
                                                                  bool case_sensitive) {
  if (nesting_ + operand_depth_ + 1 > kMaxNesting) {
    return Unavailable(kTooDeep);
  }
  AgentActionExpressionParser nested(text, case_sensitive, nesting_ + operand_depth_ + 1);
  std::unique_ptr<AAValue> value = nested.Parse();
  if (!nested.OK()) {
    Error(nested.GetError());
  }
  return value;
}

std::unique_ptr<AAValue> AgentActionExpressionParser::Unavailable(const std::string& message) {
  Error(message);
  return std::make_unique<AAInvalid>(message);
}

void AgentActionExpressionParser::ParseChain() {
  AAValue* tail = root_.get();
  while (tail != nullptr && tail->GetNextValue() != nullptr) {
    tail = tail->GetNextValue();
  }
  while (tail != nullptr) {
    AgentActionExpressionParser item(text_.substr(pos_), false, nesting_);
    item.chain_item_ = true;
    std::unique_ptr<AAValue> value = item.Parse();
    pos_ += item.position();
    if (!item.OK()) {
      Error(item.GetError());
    }
    AAValue* added = value.get();
    tail->SetNext(std::move(value));
    if (!item.stopped_at_comma_) {
      break;
    }
    tail = added;
  }
  pos_ = text_.size();
}

std::unique_ptr<AAValue> AgentActionExpressionParser::Parse() {
  if (nesting_ > kMaxNesting) {
    return Unavailable(kTooDeep);
  }
  ExpressionToken first(Token());
  if (first.empty()) {
    return std::make_unique<AADefaultValue>();
  }
  if (first.CanBeParsed()) {
    root_ = first.Parse(*this);
  }
  if (root_ == nullptr && first.IsOperator()) {
    // A leading operator glues onto the operand after it ("+5").
    first = first + Token();
  }
  if (root_ == nullptr) {
    root_ = Create(first);
  }
  while (good() && root_ != nullptr) {
    if (root_->depth() > kMaxNesting) {
      return Unavailable(kTooDeep);
    }
    SkipWhite();
    ExpressionToken token(Token());
    if (token.empty()) {
      break;
    }
    if (!token.IsBinaryOperator()) {
      Error("Unexpected operator " + token.AsString());
      break;
    }
    if (token.AsString() == ",") {
      if (chain_item_) {
        stopped_at_comma_ = true;
        break;
      }
      ParseChain();
      break;
    }
    std::unique_ptr<AAValue> right = token.Parse2(*this, root_.get());
    if (right == nullptr) {
      Error("Unexpected operator " + token.AsString());
      break;
    }
    Compose(std::move(right));
  }
  if (root_ != nullptr && root_->depth() > kMaxNesting) {
    return Unavailable(kTooDeep);
  }
  return std::move(root_);
}

}  // namespace fernweave
