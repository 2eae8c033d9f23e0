#include "lang/statement_parser.h"

namespace fernweave {

std::string AgentActionOperatorParser::Token() {
  char c;
  if (!outer_->ReadRaw(&c)) {
    return std::string();
  }
  if (c == '=') {
    return "=";
  }
  if (c == '|' || c == '&') {
    if (outer_->Munch('=')) {
      return std::string(1, c) + "=";
    }
    const std::string message = std::string("Incomplete operator:") + c;
    outer_->Error(message);
    Error(message);
    return std::string();
  }
  outer_->Error("Illegal operator");
  Error("Illegal operator");
  return std::string();
}

std::string AgentActionParser::Token() {
  SkipWhite();
  if (!good()) {
    return std::string();
  }
  const char c = text_[pos_];
  if (c == '=' || c == '|' || c == '&') {
    return AgentActionOperatorParser(this).Token();
  }
  if (c == '"') {
    ++pos_;
    return GetQuote('"');
  }
  if (c == '{') {
    return BraceParser(this).Token();
  }
  if (c == '(') {
    return "(" + ParenParser(this).Token() + ")";
  }
  std::string word;
  while (good()) {
    const char d = text_[pos_];
    if (d == '{' || d == '=') {
      break;
    }
    if ((d == '|' || d == '&') && pos_ + 1 < text_.size() && text_[pos_ + 1] == '=') {
      break;
    }
    ++pos_;
    if (d == '\\' && good()) {
      word += text_[pos_++];
    } else {
      word += d;
    }
    if (word == "if") {
      break;
    }
  }
  return Trim(word);
}

}  // namespace fernweave
