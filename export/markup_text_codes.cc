// The codes that write a note's text: "^text^", "^paragraphs^" and "^randomline^".

#include <cctype>
#include <string>
#include <vector>

#include "export/export_template.h"
#include "export/markup_element.h"
#include "export/markup_support.h"
#include "lang/aa_value.h"
#include "model/node.h"
#include "model/random_source.h"

namespace fernweave {

namespace {

bool IsSpace(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The first n words of the text: it is cut just before the n-th word start after the
// first character, so a text that begins with a word keeps n words and the blanks
// after them. `paragraphs` counts paragraphs instead: a break starts at a return or
// line feed and runs on over the white space after it.
std::string FirstPieces(const std::string& text, long n, bool paragraphs) {
  if (n <= 0) {
    return std::string();
  }
  long starts = 0;
  bool in_break = paragraphs ? false : (!text.empty() && IsSpace(text[0]));
  for (size_t i = 1; i < text.size(); ++i) {
    const char c = text[i];
    if (in_break) {
      if (!IsSpace(c)) {
        if (++starts == n) {
          return text.substr(0, i);
        }
        in_break = false;
      }
    } else if (paragraphs ? (c == '\r' || c == '\n') : IsSpace(c)) {
      in_break = true;
    }
  }
  return text;
}

bool StartsWithDigit(std::string_view s) {
  return !s.empty() && std::isdigit(static_cast<unsigned char>(s[0])) != 0;
}

// "^text^", "^text(note)^", "^text(N)^", "^text(note, N)^", with "plain" anywhere;
// "^paragraphs(...)^" the same counting paragraphs.
class MarkupText : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  bool Eval(Node* node, ExportTemplate* t) override {
    Node* note = Target(node, t, nullptr, nullptr);
    return note != nullptr && note->HasText();
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (node == nullptr || t == nullptr) {
      return std::string();
    }
    long count = -1;
    bool plain = false;
    Node* note = Target(node, t, &count, &plain);
    if (note == nullptr) {
      return std::string();
    }
    if (t->ExportingTextFrom(note)) {
      return "<^text(" + note->Name() + "," + t->GetName() + "):: text tries to include itself >";
    }
    const bool markup = note->GetBoolean("HTMLMarkupText") && !note->GetBoolean("IsTemplate");
    const std::string text = note->GetText();
    const std::string cut = count < 0 ? text : FirstPieces(text, count, name_ == "paragraphs");
    if (markup && !plain) {
      return t->DoTextMarkup(note, cut.size() < text.size() ? cut.size() : 0);
    }
    return EntityFilter(cut, note, t);
  }

 private:
  Node* Target(Node* node, ExportTemplate* t, long* count, bool* plain) const {
    std::vector<std::string> rest;
    for (const std::string& arg : args_.items()) {
      if (TrimmedText(arg) == "plain") {
        if (plain != nullptr) {
          *plain = true;
        }
      } else {
        rest.emplace_back(TrimmedText(arg));
      }
    }
    Node* note = node;
    if (rest.size() == 1 && StartsWithDigit(rest[0])) {
      if (count != nullptr) {
        *count = static_cast<long>(LeadingNumber(rest[0]));
      }
    } else if (!rest.empty()) {
      if (!rest[0].empty()) {
        note = GetNodeNamed(node, rest[0], t, true);
      }
      if (rest.size() > 1 && count != nullptr) {
        *count = static_cast<long>(LeadingNumber(EvaluateArgument(rest[1], node, t)));
      }
    }
    return note;
  }
};

class MarkupRandomLine : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  bool Eval(Node* node, ExportTemplate* t) override {
    Node* note = Note(node, t);
    return note != nullptr && note->HasText();
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    Node* note = Note(node, t);
    if (note == nullptr) {
      return std::string();
    }
    std::vector<std::string> lines;
    std::string line;
    for (char c : note->GetText()) {
      if (c == '\r') {
        lines.push_back(std::move(line));
        line.clear();
      } else {
        line += c;
      }
    }
    if (!line.empty()) {
      lines.push_back(std::move(line));
    }
    if (lines.empty()) {
      return std::string();
    }
    return EntityFilter(lines[Random().Next(static_cast<uint32_t>(lines.size()))], note, t);
  }

 private:
  Node* Note(Node* node, ExportTemplate* t) const {
    return TrimmedText(args_.at(0)).empty() ? node : GetNodeNamed(node, args_.at(0), t, true);
  }
};

}  // namespace

std::unique_ptr<ExportElement> CreateTextCode(const std::string& name,
                                              const std::string& arguments, int nesting) {
  if (name == "text" || name == "paragraphs") {
    return std::make_unique<MarkupText>(name, arguments, nesting);
  }
  if (name == "randomline") {
    return std::make_unique<MarkupRandomLine>(name, arguments, nesting);
  }
  return nullptr;
}

}  // namespace fernweave
