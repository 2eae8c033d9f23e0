#include "export/entities.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

namespace fernweave {

namespace {

// Decodes one UTF-8 character at text[*i] and advances *i; U+FFFD for a malformed
// sequence (advancing one byte).
uint32_t NextCodePoint(std::string_view text, size_t* i) {
  const auto b0 = static_cast<unsigned char>(text[*i]);
  int extra = 0;
  uint32_t cp = 0;
  if (b0 < 0x80) {
    ++*i;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    extra = 1;
    cp = b0 & 0x1F;
  } else if ((b0 & 0xF0) == 0xE0) {
    extra = 2;
    cp = b0 & 0x0F;
  } else if ((b0 & 0xF8) == 0xF0) {
    extra = 3;
    cp = b0 & 0x07;
  } else {
    ++*i;
    return 0xFFFD;
  }
  if (*i + extra >= text.size()) {
    ++*i;
    return 0xFFFD;
  }
  for (int k = 1; k <= extra; ++k) {
    const auto b = static_cast<unsigned char>(text[*i + k]);
    if ((b & 0xC0) != 0x80) {
      ++*i;
      return 0xFFFD;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  *i += extra + 1;
  return cp;
}

// Whether the text at i (just after an "&") is already an entity: letters, digits or
// "#" up to a ";".
bool StartsEntity(std::string_view text, size_t i) {
  size_t j = i;
  while (j < text.size() &&
         (std::isalnum(static_cast<unsigned char>(text[j])) != 0 || text[j] == '#')) {
    ++j;
  }
  return j > i && j < text.size() && text[j] == ';';
}

// Follows "<code" ... "</code" blocks: 0 outside, 1 after the opening prefix, 2 at the
// ">" that ends the opening tag (inside from then on), 3 inside, 4 after the closing
// prefix (outside again at its ">").
class CodeBlockState {
 public:
  // Advances over the character at text[i]; returns whether markup is quoted there.
  bool Step(std::string_view text, size_t i) {
    const char c = text[i];
    switch (state_) {
      case 0:
        if (text.substr(i, 5) == "<code") {
          state_ = 1;
        }
        return false;
      case 1:
        if (c == '>') {
          state_ = 2;
        }
        return false;
      case 2:
      case 3:
        if (text.substr(i, 6) == "</code") {
          state_ = 4;
          return false;
        }
        state_ = 3;
        return true;
      default:
        if (c == '>') {
          state_ = 0;
        }
        return false;
    }
  }

 private:
  int state_ = 0;
};

}  // namespace

std::string EntityFilter(std::string_view text, bool keep_ampersands, bool quote_markup) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  CodeBlockState code;
  size_t i = 0;
  while (i < text.size()) {
    const size_t at = i;
    const bool in_code = code.Step(text, at);
    const uint32_t cp = NextCodePoint(text, &i);
    if (cp == '<' || cp == '>') {
      if (quote_markup || in_code) {
        out += cp == '<' ? "&lt;" : "&gt;";
      } else {
        out += static_cast<char>(cp);
      }
    } else if (cp == '&') {
      if (keep_ampersands || StartsEntity(text, i)) {
        out += '&';
      } else {
        out += "&amp;";
      }
    } else if (cp > 0x7E) {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "&#x%x;", static_cast<unsigned>(cp));
      out += buffer;
    } else {
      out += static_cast<char>(cp);
    }
  }
  return out;
}

std::string EncodeQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string EncodeAmpersands(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '&') {
      out += "&amp;";
    } else {
      out += c;
    }
  }
  return out;
}

std::string EncodeAttribute(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace fernweave
