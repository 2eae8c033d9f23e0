#include "lang/macro_substitution.h"

#include <cctype>

#include "lang/aa_value.h"
#include "lang/parser.h"
#include "model/hypertext.h"

namespace fernweave {

namespace {

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

std::string SubstituteMacro(std::string_view text, const std::vector<std::string>& arguments) {
  std::string out;
  const size_t n = text.size();
  for (size_t i = 0; i < n; ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < n &&
        (text[i + 1] == '$' || text[i + 1] == '"' || text[i + 1] == '\'' || text[i + 1] == '\\')) {
      out += text[++i];
      continue;
    }
    if (c != '$' || i + 1 == n || !IsDigit(text[i + 1])) {
      // A "$" before anything else stays, and so does what follows it.
      out += c;
      continue;
    }
    size_t end = i + 2;
    if (end < n && IsDigit(text[end])) {
      ++end;
    }
    const std::string_view digits = text.substr(i + 1, end - i - 1);
    const size_t number = static_cast<size_t>(std::stoi(std::string(digits)));
    if (number < arguments.size()) {
      out += Parser::TrimQuotes(arguments[number]);
    } else if (number >= 6 || (end < n && text[end] == '.')) {
      out += '$';
      out += digits;
    }
    if (out.size() > kMaxTextSize) {
      return std::string();
    }
    i = end - 1;
  }
  return out;
}

std::optional<std::string> ExpandMacro(const Hypertext& document,
                                       const std::vector<std::string>& arguments) {
  if (arguments.empty()) {
    return std::nullopt;
  }
  const std::string* text = document.Records().GetMacro(arguments[0]);
  if (text == nullptr) {
    return std::nullopt;
  }
  return SubstituteMacro(*text, arguments);
}

}  // namespace fernweave
