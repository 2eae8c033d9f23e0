#include "model/transformer.h"

#include <unicode/locid.h>
#include <unicode/unistr.h>

namespace fernweave {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string LowerCase(std::string_view text) {
  bool ascii = true;
  for (char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      ascii = false;
      break;
    }
  }
  std::string out;
  if (ascii) {
    out.reserve(text.size());
    for (char c : text) {
      out.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c);
    }
    return out;
  }
  // Full case mapping in the root locale, so sorting does not depend on the user's
  // locale ("İ" and "ß" map the same everywhere).
  icu::UnicodeString unicode = icu::UnicodeString::fromUTF8(
      icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
  unicode.toLower(icu::Locale::getRoot());
  unicode.toUTF8String(out);
  return out;
}

std::string_view LastWord(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) {
    --end;
  }
  size_t begin = end;
  while (begin > 0 && !IsBlank(text[begin - 1])) {
    --begin;
  }
  return text.substr(begin, end - begin);
}

int Sign(int n) {
  return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

}  // namespace

Transformer Transformer::Named(std::string_view name) {
  if (name == "lowercase" || name == "case-insensitive") {
    return Transformer(Kind::kLowercase);
  }
  if (name == "last word") {
    return Transformer(Kind::kLastWord);
  }
  return Transformer(Kind::kNone);
}

std::string Transformer::Transform(std::string_view text) const {
  switch (kind_) {
    case Kind::kLowercase:
      return LowerCase(text);
    case Kind::kLastWord:
      return std::string(LastWord(text));
    case Kind::kNone:
      break;
  }
  return std::string(text);
}

int Transformer::Compare(std::string_view a, std::string_view b) const {
  if (kind_ != Kind::kNone) {
    // std::string_view compares as unsigned bytes (char_traits<char>::compare), which
    // is the byte-wise order of UTF-8 text.
    int transformed = Sign(std::string_view(Transform(a)).compare(Transform(b)));
    if (transformed != 0) {
      return transformed;
    }
  }
  return Sign(a.compare(b));
}

}  // namespace fernweave
