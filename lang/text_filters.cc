#include "lang/text_filters.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include <unicode/utf8.h>

namespace fernweave {

namespace {

// Whether the "&" at `amp` starts an entity: a ";" follows after at least one letter,
// digit or "#" and nothing else.
bool StartsEntity(std::string_view text, size_t amp) {
  size_t i = amp + 1;
  while (i < text.size() &&
         (std::isalnum(static_cast<unsigned char>(text[i])) != 0 || text[i] == '#')) {
    ++i;
  }
  return i > amp + 1 && i < text.size() && text[i] == ';';
}

}  // namespace

std::string EntityFilter(std::string_view text, bool keep_ampersands, bool quote_markup) {
  std::string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(text.size() > INT32_MAX ? INT32_MAX : text.size());
  for (int32_t i = 0; i < length;) {
    const int32_t at = i;
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      c = 0xfffd;
    }
    if (c == '&') {
      out += keep_ampersands || StartsEntity(text, static_cast<size_t>(at)) ? "&" : "&amp;";
    } else if (quote_markup && c == '<') {
      out += "&lt;";
    } else if (quote_markup && c == '>') {
      out += "&gt;";
    } else if (c > 0x7e) {
      char entity[16];
      std::snprintf(entity, sizeof entity, "&#x%x;", static_cast<unsigned>(c));
      out += entity;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

std::string EncodeQuotes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (c == '"') {
      out += "&quot;";
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace fernweave
