#include "foundation/xml_writer.h"

#include <string>

namespace fernweave {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// How a text is cleaned: ill-formed UTF-8 replaced by U+FFFD, or removed.
enum class IllFormed { kReplace, kRemove };

// True when ToXML would change the text. Most texts are plain, and ToXML returns them
// untouched after this one scan.
bool NeedsWork(std::string_view text, bool in_element_text) {
  for (size_t i = 0; i < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x80) {
      switch (c) {
        case '<':
        case '>':
        case '&':
        case '\'':
        case '\r':
          return true;
        case '"':
        case '\t':
        case '\n':
          if (!in_element_text) {
            return true;
          }
          break;
        default:
          if (c < 0x20) {
            return true;
          }
      }
      ++i;
      continue;
    }
    Utf8Step step = DecodeUtf8(text, i);
    if (!IsXMLChar(step.code_point)) {
      return true;
    }
    i += step.length;
  }
  return false;
}

// Appends the character at text[*pos] when an XML file can carry it, U+FFFD (or
// nothing) for ill-formed UTF-8, nothing for a forbidden character; advances *pos.
void AppendCleanCharacter(std::string_view text, size_t* pos, IllFormed ill_formed,
                          std::string* out) {
  Utf8Step step = DecodeUtf8(text, *pos);
  if (step.code_point == Utf8Step::kIllFormed) {
    if (ill_formed == IllFormed::kReplace) {
      out->append(kReplacementCharacter);
    }
  } else if (IsXMLChar(step.code_point)) {
    out->append(text.substr(*pos, step.length));
  }
  *pos += step.length;
}

// True when every character of the text can appear in an XML file.
bool IsCarriable(std::string_view text) {
  for (size_t i = 0; i < text.size();) {
    Utf8Step step = DecodeUtf8(text, i);
    if (!IsXMLChar(step.code_point)) {
      return false;
    }
    i += step.length;
  }
  return true;
}

// True for an ASCII character ToXML copies as it is.
bool PassesUnchanged(char ch, bool in_element_text) {
  const unsigned char c = static_cast<unsigned char>(ch);
  if (c >= 0x80) {
    return false;
  }
  switch (c) {
    case '<':
    case '>':
    case '&':
    case '\'':
    case '\r':
      return false;
    case '"':
    case '\t':
    case '\n':
      return in_element_text;
    default:
      return c >= 0x20;
  }
}

std::string Clean(std::string_view text, IllFormed ill_formed) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    AppendCleanCharacter(text, &i, ill_formed, &out);
  }
  return out;
}

}  // namespace

void XMLWriter::XMLHeader(std::ostream& os) {
  os << "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>" << line_end_;
}

void XMLWriter::Open(std::ostream& os, const std::string& tag) {
  os << '<' << tag << ' ';
  open_tag_ = tag;
}

void XMLWriter::EndTag(std::ostream& os, bool in_line) {
  os << '>';
  if (!in_line) {
    os << line_end_;
  }
  open_tag_.clear();
}

void XMLWriter::Close(std::ostream& os, const std::string& tag) {
  os << "</" << tag << '>' << line_end_;
  open_tag_.clear();
}

void XMLWriter::Close(std::ostream& os) {
  os << " />" << line_end_;
  open_tag_.clear();
}

void XMLWriter::Put(std::ostream& os, const std::string& name, const std::string& value) {
  os << ToXML(name, false) << "=\"" << ToXML(value, false) << "\" ";
}

void XMLWriter::Put(std::ostream& os, const std::string& name, long value) {
  Put(os, name, std::to_string(value));
}

void XMLWriter::PutUnsigned(std::ostream& os, const std::string& name, unsigned long value) {
  Put(os, name, std::to_string(value));
}

void XMLWriter::PutBoolean(std::ostream& os, const std::string& name, bool value) {
  Put(os, name, std::string(value ? "1" : "0"));
}

void XMLWriter::PutRect(std::ostream& os, const std::string& name, const SRect& rect) {
  Put(os, name, RectToString(rect));
}

void XMLWriter::Put(std::ostream& os, const std::string& name, const RGBColor& color) {
  Put(os, name, ColorToHex(color));
}

void XMLWriter::Put(std::ostream& os, const std::string& name, const SRect& rect) {
  PutRect(os, name, rect);
}

std::string XMLWriter::StripControlCharacters(const std::string& text) {
  return IsCarriable(text) ? text : Clean(text, IllFormed::kRemove);
}

std::string XMLWriter::ToXML(std::string_view text, bool in_element_text) {
  if (!NeedsWork(text, in_element_text)) {
    return std::string(text);
  }
  std::string out;
  out.reserve(text.size() + text.size() / 8 + 16);
  for (size_t i = 0; i < text.size();) {
    // Runs of characters that need no change are copied at once.
    size_t run = i;
    while (run < text.size() && PassesUnchanged(text[run], in_element_text)) {
      ++run;
    }
    out.append(text.data() + i, run - i);
    i = run;
    if (i == text.size()) {
      break;
    }
    char c = text[i];
    if (static_cast<unsigned char>(c) >= 0x80) {
      AppendCleanCharacter(text, &i, IllFormed::kReplace, &out);
      continue;
    }
    ++i;
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '\'':
        out += "&apos;";
        break;
      case '"':
        out += in_element_text ? "\"" : "&quot;";
        break;
      // A parser reads a literal carriage return as a line feed everywhere, and a tab
      // or line feed inside an attribute value as a space.
      case '\r':
        out += "&#13;";
        break;
      case '\t':
        out += in_element_text ? "\t" : "&#9;";
        break;
      case '\n':
        out += in_element_text ? "\n" : "&#10;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20) {
          out.push_back(c);
        }
        // Other control characters cannot appear in an XML file at all; drop them.
    }
  }
  return out;
}

std::string XMLWriter::CleanText(std::string_view text) {
  return IsCarriable(text) ? std::string(text) : Clean(text, IllFormed::kReplace);
}

std::string XMLWriter::ToUnicode(std::string_view text) {
  return outputConverter().ToUnicode(text);
}

Unicoder& XMLWriter::outputConverter() {
  static Unicoder converter(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
  return converter;
}

}  // namespace fernweave
