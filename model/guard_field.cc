#include "model/guard_field.h"

#include <cstdint>
#include <cstdlib>

#include "model/hypertext.h"
#include "model/random_source.h"
#include "model/reading_history.h"

namespace fernweave {

namespace {

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsWord(std::string_view s, size_t i) {
  char c = s[i];
  return IsSpace(c) || c == '~' || c == '&' || c == '|' || c == '"';
}

// Lower-cases ASCII letters and maps the non-breaking space to a space.
std::string Fold(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (static_cast<unsigned char>(s[i]) == 0xC2 && i + 1 < s.size() &&
        static_cast<unsigned char>(s[i + 1]) == 0xA0) {
      out += ' ';
      ++i;
    } else if (s[i] >= 'A' && s[i] <= 'Z') {
      out += static_cast<char>(s[i] - 'A' + 'a');
    } else {
      out += s[i];
    }
  }
  return out;
}

bool WordHolds(std::string_view word, std::string_view context) {
  if (word.empty() || context == "*" || word == "Textlink") {
    return true;
  }
  return !context.empty() && Fold(word) == Fold(context);
}

// True with probability about 1/n: r is a signed 16-bit draw shifted up by 32767
// (-1 to 65534); the product is taken in 64 bits so large n cannot overflow.
bool RandomHolds(long n) {
  if (n < 2) {
    n = 2;
  }
  int64_t r = static_cast<int64_t>(Random().Next(65536)) - 32768 + 32767;
  return static_cast<int64_t>(n) * r / 65536 == 0;
}

}  // namespace

GuardField::GuardField(std::string_view guard) {
  size_t i = 0;
  while (i < guard.size()) {
    char c = guard[i];
    if (IsSpace(c)) {
      ++i;
    } else if (c == '~') {
      tokens_.push_back({Kind::kNot, "~"});
      ++i;
    } else if (c == '&') {
      tokens_.push_back({Kind::kAnd, "&"});
      ++i;
    } else if (c == '|') {
      tokens_.push_back({Kind::kOr, "|"});
      ++i;
    } else if (c == '"') {
      // An unterminated quote takes the rest of the guard as the name.
      size_t close = guard.find('"', i + 1);
      size_t stop = close == std::string_view::npos ? guard.size() : close;
      tokens_.push_back({Kind::kHasRead, std::string(guard.substr(i + 1, stop - i - 1))});
      i = close == std::string_view::npos ? guard.size() : close + 1;
    } else if (guard.substr(i, 2) == "?(") {
      size_t close = guard.find(')', i + 2);
      size_t stop = close == std::string_view::npos ? guard.size() : close;
      tokens_.push_back({Kind::kRandom, std::string(guard.substr(i + 2, stop - i - 2))});
      i = close == std::string_view::npos ? guard.size() : close + 1;
    } else {
      size_t start = i;
      while (i < guard.size() && !EndsWord(guard, i)) {
        ++i;
      }
      tokens_.push_back({Kind::kWord, std::string(guard.substr(start, i - start))});
    }
  }
}

bool GuardField::Operand(size_t* pos, std::string_view context, const Hypertext* hypertext) const {
  bool negate = false;
  // Repeated "~" toggle; reading them in a loop keeps long chains off the stack.
  while (*pos < tokens_.size() && tokens_[*pos].kind == Kind::kNot) {
    negate = !negate;
    ++*pos;
  }
  if (*pos >= tokens_.size()) {
    return false;  // the guard ends where an operand belongs
  }
  const Token& t = tokens_[(*pos)++];
  bool value = false;
  switch (t.kind) {
    case Kind::kWord:
      value = WordHolds(t.text, context);
      break;
    case Kind::kHasRead: {
      const Node* n = hypertext == nullptr ? nullptr : hypertext->FindNodeNamed(t.text);
      value = n != nullptr && hypertext->History().HasRead(n);
      break;
    }
    case Kind::kRandom:
      value = RandomHolds(std::strtol(t.text.c_str(), nullptr, 10));
      break;
    default:
      // An operator where an operand belongs: malformed, so not satisfied, negated
      // or not.
      return false;
  }
  return negate ? !value : value;
}

bool GuardField::Satisfied(std::string_view context, const Hypertext* hypertext) const {
  if (tokens_.empty()) {
    return true;
  }
  // The right-grouping evaluation with short cut, done as a loop: each step reads an
  // operand and either settles the result or continues with the rest of the guard.
  size_t pos = 0;
  while (true) {
    bool operand = Operand(&pos, context, hypertext);
    if (pos >= tokens_.size()) {
      return operand;
    }
    Kind op = tokens_[pos].kind;
    if (op == Kind::kAnd) {
      if (!operand) {
        return false;
      }
    } else if (op == Kind::kOr) {
      if (operand) {
        return true;
      }
    } else {
      return operand;  // no operator follows: the operand is the result
    }
    ++pos;
  }
}

}  // namespace fernweave
