// Text: case conversions, words, substr, the encoders, utf8, word and format.

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <string>
#include <string_view>

#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/utf8.h>

#include "foundation/stime.h"
#include "foundation/unicoder.h"
#include "foundation/xml_writer.h"
#include "lang/functions.h"
#include "lang/list_splitters.h"
#include "lang/text_filters.h"
#include "model/color.h"
#include "model/color_table.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/word_index.h"

namespace fernweave {

namespace {

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string ToUTF8(const icu::UnicodeString& s) {
  std::string out;
  s.toUTF8String(out);
  return out;
}

std::string Capitalize(std::string_view text) {
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(text);
  icu::UnicodeString out;
  bool word_start = true;
  for (int32_t i = 0; i < s.length();) {
    const UChar32 c = s.char32At(i);
    i += U16_LENGTH(c);
    const bool letter = u_isalnum(c) != 0;
    out.append(word_start && letter ? u_totitle(c) : c);
    word_start = !letter && c != '\'' && c != 0x2019;
  }
  return ToUTF8(out);
}

std::string FirstWord(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlank(text[start])) {
    ++start;
  }
  size_t end = start;
  while (end < text.size() && !IsBlank(text[end])) {
    ++end;
  }
  return std::string(text.substr(start, end - start));
}

std::string LastWord(std::string_view text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) {
    --end;
  }
  size_t start = end;
  while (start > 0 && !IsBlank(text[start - 1])) {
    --start;
  }
  return std::string(text.substr(start, end - start));
}

std::string URLEncode(std::string_view text) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string out;
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) != 0 || std::string_view("*+-./:?_@").find(c) != std::string_view::npos) {
      out += c;
    } else {
      out += '%';
      out += kHex[u >> 4];
      out += kHex[u & 15];
    }
  }
  return out;
}

std::string AttributeEncode(std::string_view text) {
  // Every line break, whatever its form, is one "&#10;".
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') {
        ++i;
      }
    } else {
      lines += text[i];
    }
  }
  return XMLWriter::ToXML(lines, false);
}

bool IsValidUTF8(std::string_view text) {
  const auto* s = reinterpret_cast<const uint8_t*>(text.data());
  const auto length = static_cast<int32_t>(std::min<size_t>(text.size(), INT32_MAX));
  for (int32_t i = 0; i < length;) {
    UChar32 c;
    U8_NEXT(s, i, length, c);
    if (c < 0) {
      return false;
    }
  }
  return true;
}

// Text of the document's 8-bit character set made UTF-8. Text that is already UTF-8 (as
// every text of the model is) is left alone: converting it again would turn each of its
// non-ASCII characters into two or three wrong ones.
std::string FromEightBit(std::string_view text) {
  if (IsValidUTF8(text)) {
    return std::string(text);
  }
  try {
    Unicoder coder(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
    return coder.ToUnicode(text);
  } catch (...) {
    return std::string();
  }
}

std::string IdEncode(std::string_view text) {
  const auto letter = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  const auto digit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  std::string out;
  size_t i = 0;
  if (!text.empty() && !letter(text[0]) && text[0] != '_') {
    out += '_';
    if (!digit(text[0])) {
      i = 1;  // the character itself is dropped
    }
  }
  bool in_run = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (letter(c) || digit(c) || c == '_') {
      out += c;
      in_run = false;
    } else if (!in_run) {
      out += '_';
      in_run = true;
    }
  }
  return out;
}

// substr counts characters, not bytes, so a cut never splits a character.
std::string Substring(std::string_view text, double start, double length, bool has_length) {
  icu::UnicodeString s = icu::UnicodeString::fromUTF8(text);
  const int32_t count = s.countChar32();
  const double first = std::clamp(std::isnan(start) ? 0.0 : start, 0.0, double(count));
  double n = count - first;
  if (has_length) {
    n = std::clamp(std::isnan(length) ? 0.0 : length, 0.0, n);
  }
  const int32_t from = s.moveIndex32(0, static_cast<int32_t>(first));
  const int32_t to = s.moveIndex32(from, static_cast<int32_t>(n));
  return ToUTF8(s.tempSubStringBetween(from, to));
}

class AATextFunction : public AAFunction {
 public:
  explicit AATextFunction(FunctionCall call) : AAFunction(std::move(call), kTypeString) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    const std::string& f = canonical();
    const std::string text = ArgumentText(0, node, args);
    if (f == "uppercase") {
      return ToUTF8(icu::UnicodeString::fromUTF8(text).toUpper());
    }
    if (f == "lowercase") {
      return ToUTF8(icu::UnicodeString::fromUTF8(text).toLower());
    }
    if (f == "capitalize") {
      return Capitalize(text);
    }
    if (f == "firstWord") {
      return FirstWord(text);
    }
    if (f == "lastWord") {
      return LastWord(text);
    }
    if (f == "urlEncode") {
      return URLEncode(text);
    }
    if (f == "attributeEncode") {
      return AttributeEncode(text);
    }
    if (f == "escapeHTML") {
      return EncodeQuotes(EntityFilter(text, false, true));
    }
    if (f == "utf8") {
      return FromEightBit(text);
    }
    if (f == "idEncode") {
      return IdEncode(text);
    }
    if (f == "word") {
      return LogicalResult(NoteHoldsWord(*node, text) ? "true" : "").ToString();
    }
    if (f == "substr") {
      return Substring(text, LeadingNumber(ArgumentText(1, node, args)),
                       LeadingNumber(ArgumentText(2, node, args)), ArgumentCount() > 2);
    }
    return std::string();
  }
};

// The escapes a format text may hold: \n a line feed, \r a carriage return, \t a tab,
// a backslash before anything else that character.
std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : c;
  }
  return out;
}

// format(value, ...) by the value's type.
class AAFormat : public AAFunction {
 public:
  // The most decimals and the widest field a number is written with: a double carries
  // no more than 17 significant digits, and a field wider than a line is no format.
  static constexpr int kMaxDecimals = 20;
  static constexpr int kMaxWidth = 1000;

  explicit AAFormat(FunctionCall call) : AAFunction(std::move(call), kTypeString) {}

 protected:
  std::string Compute(Node* node, const std::string&, Captures& args) override {
    AAValue* value = Argument(0);
    if (value == nullptr) {
      return std::string();
    }
    const std::string text = value->Get(node, args);
    int type = value->AttributeType(node);
    if (type == kTypeUnknown || type == kTypeString) {
      type = Guess(text, type);
    }
    if (IsNumericType(type)) {
      return FormatNumber(node, text, args);
    }
    if (type == kTypeDate) {
      const STime date = ReadDate(text);
      return date.IsNever() ? std::string(STime::never)
                            : date.AsExportString(ArgumentText(1, node, args));
    }
    if (type == kTypeSet) {
      return FormatSet(node, text, args);
    }
    if (type == kTypeColor) {
      PColor color;
      const auto* doc = dynamic_cast<const Orvex*>(node->GetHypertext());
      if (color.FromString(text) || (doc != nullptr && doc->Colors().Resolve(text, &color))) {
        return color.ToHex();
      }
    }
    return std::string();
  }

 private:
  static int Guess(const std::string& text, int type) {
    double x;
    if (ReadWholeNumber(text, &x)) {
      return kTypeNumber;
    }
    if (IsDateText(text)) {
      return kTypeDate;
    }
    if (text.find(';') != std::string::npos) {
      return kTypeSet;
    }
    if (!text.empty() && text[0] == '#' && PColor().FromString(text)) {
      return kTypeColor;
    }
    return type;
  }

  std::string FormatNumber(Node* node, const std::string& text, Captures& args) {
    const double x = LeadingNumber(text);
    const int decimals = static_cast<int>(
        std::clamp(LeadingNumber(ArgumentText(1, node, args)), 0.0, double(kMaxDecimals)));
    const int width = static_cast<int>(
        std::clamp(LeadingNumber(ArgumentText(2, node, args)), 0.0, double(kMaxWidth)));
    const int n = std::snprintf(nullptr, 0, "%*.*f", width, decimals, x);
    if (n <= 0) {
      return std::string();
    }
    std::string out(static_cast<size_t>(n) + 1, '\0');
    std::snprintf(out.data(), out.size(), "%*.*f", width, decimals, x);
    out.resize(static_cast<size_t>(n));
    return out;
  }

  // format(set, separator[, start[, item start[, item end[, end]]]]).
  std::string FormatSet(Node* node, const std::string& text, Captures& args) {
    const std::string separator = Unescape(ArgumentText(1, node, args));
    const std::string start = Unescape(ArgumentText(2, node, args));
    const std::string item_start = Unescape(ArgumentText(3, node, args));
    const std::string item_end = Unescape(ArgumentText(4, node, args));
    const std::string end = Unescape(ArgumentText(5, node, args));
    std::string out = start;
    const SetList set(text);
    for (size_t i = 0; i < set.size(); ++i) {
      if (i > 0) {
        out += separator;
      }
      out += item_start;
      out += set.at(i);
      out += item_end;
      if (out.size() > kMaxTextSize) {
        return std::string();
      }
    }
    return out + end;
  }
};

}  // namespace

std::unique_ptr<AAValue> MakeTextFunction(FunctionCall call) {
  if (call.canonical == "format") {
    return std::make_unique<AAFormat>(std::move(call));
  }
  return std::make_unique<AATextFunction>(std::move(call));
}

}  // namespace fernweave
