#include "lang/parser.h"

#include <cctype>

namespace fernweave {

bool Parser::ReadRaw(char* c) {
  if (pos_ >= text_.size()) {
    return false;
  }
  *c = text_[pos_++];
  return true;
}

bool Parser::Read(char* c) {
  if (!ReadRaw(c)) {
    return false;
  }
  // Only a doubled backslash is an escape here; the group readers deal with the rest.
  if (*c == '\\' && pos_ < text_.size() && text_[pos_] == '\\') {
    ++pos_;
  }
  return true;
}

bool Parser::Munch(char c) {
  if (NextCharIs(c)) {
    ++pos_;
    return true;
  }
  return false;
}

std::string Parser::GetQuote(char quote) { return QuoteParser(this, quote).Token(); }

std::string Parser::Rest() {
  std::string rest(text_.substr(pos_));
  pos_ = text_.size();
  return rest;
}

bool Parser::IsWhite(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

bool Parser::NextCharIsWhite() const { return good() && IsWhite(text_[pos_]); }

bool Parser::NextCharIsNumeric() const {
  return good() && std::isdigit(static_cast<unsigned char>(text_[pos_])) != 0;
}

void Parser::SkipWhite() {
  while (NextCharIsWhite()) {
    ++pos_;
  }
}

std::string Parser::Trim(std::string_view s) {
  size_t begin = 0;
  size_t end = s.size();
  while (begin < end && IsWhite(s[begin])) {
    ++begin;
  }
  while (end > begin && IsWhite(s[end - 1])) {
    --end;
  }
  return std::string(s.substr(begin, end - begin));
}

std::string Parser::TrimQuotes(std::string_view s) {
  if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
    return std::string(s.substr(1, s.size() - 2));
  }
  return std::string(s);
}

std::string Parser::TrimParens(std::string_view s) {
  if (s.empty() || s.front() != '(') {
    return std::string(s);
  }
  Parser in(s);
  bool closed = false;
  std::string inner = ReadGroup(&in, '(', ')', &closed);
  return closed ? inner : std::string();
}

QuoteParser::QuoteParser(Parser* outer, char quote) : Parser(""), outer_(outer), quote_(quote) {}

std::string QuoteParser::Token() {
  std::string out;
  char c;
  while (outer_->ReadRaw(&c)) {
    if (c == quote_) {
      return out;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    char next;
    if (!outer_->ReadRaw(&next)) {
      out += c;
      break;
    }
    switch (next) {
      case 't':
        out += '\t';
        break;
      case 'r':
      case 'n':
        out += '\r';
        break;
      case '"':
      case '\'':
        out += next;
        break;
      default:
        if (next == quote_) {
          out += next;
        } else {
          out += c;
          out += next;
        }
    }
  }
  const std::string message = std::string("unterminated expression: expected ") + quote_;
  outer_->Error(message);
  Error(message);
  return out;
}

std::string ReadGroup(Parser* in, char open, char close, bool* closed) {
  *closed = false;
  std::string out;
  char c;
  if (!in->ReadRaw(&c) || c != open) {
    return out;
  }
  // Depth is counted without recursion, so any nesting is read safely.
  size_t depth = 1;
  while (in->ReadRaw(&c)) {
    if (c == '\\') {
      out += c;
      if (in->ReadRaw(&c)) {
        out += c;
      }
      continue;
    }
    if (c == '"') {
      out += c;
      while (in->ReadRaw(&c)) {
        out += c;
        if (c == '\\') {
          if (in->ReadRaw(&c)) {
            out += c;
          }
        } else if (c == '"') {
          break;
        }
      }
      continue;
    }
    if (c == open) {
      ++depth;
    } else if (c == close && --depth == 0) {
      *closed = true;
      return out;
    }
    out += c;
  }
  return out;
}

std::string ParenParser::Token() {
  bool closed = false;
  std::string inner = ReadGroup(outer_, '(', ')', &closed);
  if (!closed) {
    outer_->Error("unclosed parenthesis");
    Error("unclosed parenthesis");
    return std::string();
  }
  return inner;
}

std::string BraceParser::Token() {
  bool closed = false;
  std::string inner = ReadGroup(outer_, '{', '}', &closed);
  if (!closed) {
    outer_->Error("unclosed brace");
    Error("unclosed brace");
  }
  return Trim(inner);
}

std::string DotParser::Token() {
  std::string out;
  char c;
  while (!outer_->NextCharIsWhite() && outer_->ReadRaw(&c)) {
    if (c == '\\') {
      out += c;
      if (outer_->ReadRaw(&c)) {
        out += c;
      }
    } else if (c == '"') {
      out += c;
      while (outer_->ReadRaw(&c)) {
        out += c;
        if (c == '"') {
          break;
        }
      }
    } else if (c == '(') {
      outer_->Unread();
      bool closed = false;
      out += "(" + ReadGroup(outer_, '(', ')', &closed) + ")";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace fernweave
