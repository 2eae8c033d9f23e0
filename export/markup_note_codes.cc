// The codes about one note and the page: names, attribute values, expressions,
// actions and macros, dates, file names and URLs, encoders and filters.

#include <cctype>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include <unicode/unistr.h>

#include "export/entities.h"
#include "export/export_template.h"
#include "export/markup_element.h"
#include "export/markup_support.h"
#include "foundation/stime.h"
#include "lang/aa_value.h"
#include "lang/action.h"
#include "model/hypertext.h"
#include "model/ht_path.h"
#include "model/link_manager.h"
#include "model/node.h"

#ifndef FW_VERSION
#define FW_VERSION "0.0.0"
#endif

namespace fernweave {

namespace {

// A code whose first argument (when it has one) designates the note it works on.
class MarkupNodeRelative : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  // The designated note, or `node` without arguments (null when strict and unknown).
  Node* GetNode(Node* node, ExportTemplate* t, bool strict) const {
    if (args_.empty() || TrimmedText(args_.at(0)).empty()) {
      return node;
    }
    return GetNodeNamed(node, args_.at(0), t, strict);
  }
};

class MarkupTitle : public MarkupNodeRelative {
 public:
  using MarkupNodeRelative::MarkupNodeRelative;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    Node* n = GetNode(node, t, false);
    return n == nullptr ? std::string() : EntityFilter(n->Name(), n, t);
  }
};

// "^get(Attr[, format])^" and "^getfor(note, Attr[, format])^".
class MarkupGetAttribute : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  bool Eval(Node* node, ExportTemplate* t) override {
    std::string attribute;
    Node* n = Target(node, t, &attribute);
    return n != nullptr && n->HasAttribute(attribute) && n->GetBoolean(attribute);
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    std::string attribute;
    Node* n = Target(node, t, &attribute);
    if (n == nullptr || !n->HasAttribute(attribute)) {
      return std::string();
    }
    const size_t format_index = name_ == "getfor" ? 2 : 1;
    std::string format = Evaluated(format_index, node, t);
    if (format.empty()) {
      format = "d M y t";
    }
    return EntityFilter(n->GetExportString(attribute, format), n, t);
  }

 private:
  Node* Target(Node* node, ExportTemplate* t, std::string* attribute) const {
    if (name_ == "getfor") {
      *attribute = Evaluated(1, node, t);
      return GetNodeNamed(node, args_.at(0), t, true);
    }
    *attribute = Evaluated(0, node, t);
    return node;
  }
};

class MarkupValue : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  bool Eval(Node* node, ExportTemplate* t) override {
    return LogicalResult(ExportValue(node, t)).IsTrue();
  }
  std::string ExportValue(Node* node, ExportTemplate*) override {
    if (TrimmedText(arguments_).empty()) {
      return std::string();
    }
    return Action::Evaluate(node, arguments_);
  }
};

class MarkupAction : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (t == nullptr || node == nullptr || TrimmedText(arguments_).empty()) {
      return std::string();
    }
    const auto& run_action = t->GetExporter()->hooks().run_action;
    if (!run_action) {
      return "action: not available yet";
    }
    StEvaluationDepth depth;
    if (!depth.Exceeded()) {
      run_action(node, arguments_);
    }
    return std::string();
  }
};

class MarkupDo : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (t == nullptr || node == nullptr) {
      return std::string();
    }
    const auto& expand_macro = t->GetExporter()->hooks().expand_macro;
    if (!expand_macro) {
      return "do: not available yet";
    }
    const std::string name = Evaluated(0, node, t);
    const std::string* text = t->GetExporter()->document()->Records().GetMacro(name);
    if (text == nullptr) {
      return std::string();
    }
    std::vector<std::string> arguments = {name};
    for (size_t i = 1; i < args_.size(); ++i) {
      arguments.emplace_back(TrimmedText(args_.at(i)));
    }
    StEvaluationDepth depth;
    if (depth.Exceeded()) {
      return std::string();
    }
    const std::string substituted = expand_macro(*text, arguments);
    // A macro that calls itself ends at the evaluation depth bound.
    std::unique_ptr<ExportElement> tree = ExportElement::FromText(substituted);
    return tree->ExportValue(node, t);
  }
};

class MarkupEncode : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    const std::string text =
        EvaluateArgument(TrimQuotes(TrimmedText(arguments_)), node, t);
    if (name_ == "encode") {
      if (t != nullptr && !t->UseEntities()) {
        return text;
      }
      // The filter already writes a stray "&" as "&amp;"; encoding ampersands again
      // would break the entities it made.
      return EncodeQuotes(fernweave::EntityFilter(text, false, true));
    }
    if (name_ == "urlencode") {
      return UrlEncode(text);
    }
    if (name_ == "idencode") {
      return IdEncode(text);
    }
    if (name_ == "backslashencode") {
      std::string out;
      for (char c : text) {
        if (c == '\'' || c == '"' || c == '\\') {
          out += '\\';
        }
        out += c;
      }
      return out;
    }
    return OpmlEncode(text);
  }

 private:
  static std::string UrlEncode(std::string_view text) {
    std::string out;
    for (char c : text) {
      const auto u = static_cast<unsigned char>(c);
      if (std::isalnum(u) != 0 || std::string_view("*+-./:?_@").find(c) != std::string_view::npos) {
        out += c;
      } else {
        char buffer[4];
        std::snprintf(buffer, sizeof buffer, "%%%02x", u);
        out += buffer;
      }
    }
    return out;
  }
  static std::string IdEncode(std::string_view text) {
    std::string out;
    bool in_other = false;
    for (size_t i = 0; i < text.size(); ++i) {
      const auto u = static_cast<unsigned char>(text[i]);
      const bool word = std::isalnum(u) != 0 || u == '_';
      if (i == 0) {
        if (std::isdigit(u) != 0) {
          out += '_';
          out += text[i];
        } else if (word) {
          out += text[i];
        } else {
          out += '_';
          in_other = true;
        }
        continue;
      }
      if (word) {
        out += text[i];
        in_other = false;
      } else if (!in_other) {
        out += '_';
        in_other = true;
      }
    }
    return out;
  }
  static std::string OpmlEncode(std::string_view text) {
    std::string out;
    for (char c : text) {
      switch (c) {
        case '\n':
        case '\r':
          out += "&#10;";
          break;
        case '<':
          out += "&lt;";
          break;
        case '>':
          out += "&gt;";
          break;
        case '&':
          out += "&amp;";
          break;
        case '"':
          out += "&quot;";
          break;
        case '\'':
          out += "&apos;";
          break;
        default:
          out += c;
      }
    }
    return out;
  }
};

class MarkupFilter : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    const std::string text =
        EvaluateArgument(TrimQuotes(TrimmedText(arguments_)), node, t);
    if (name_ == "firstword" || name_ == "lastword") {
      std::vector<std::string> words;
      std::string word;
      for (char c : text + " ") {
        if (std::isspace(static_cast<unsigned char>(c)) != 0) {
          if (!word.empty()) {
            words.push_back(std::move(word));
          }
          word.clear();
        } else {
          word += c;
        }
      }
      if (words.empty()) {
        return std::string();
      }
      return name_ == "firstword" ? words.front() : words.back();
    }
    icu::UnicodeString u = icu::UnicodeString::fromUTF8(text);
    if (name_ == "lowercase") {
      u.toLower();
    } else if (name_ == "uppercase") {
      u.toUpper();
    } else {
      u.toTitle(nullptr);
    }
    std::string out;
    u.toUTF8String(out);
    return out;
  }
};

class MarkupDate : public MarkupNodeRelative {
 public:
  using MarkupNodeRelative::MarkupNodeRelative;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    std::string format;
    int64_t seconds = 0;
    if (name_ == "today") {
      format = Evaluated(0, node, t);
      seconds = STime().GetNew();
    } else {
      Node* n = GetNode(node, t, false);
      if (n == nullptr) {
        return std::string();
      }
      format = Evaluated(1, node, t);
      seconds = n->GetDate(name_ == "created" ? "Created" : "Modified");
    }
    if (format.empty()) {
      format = "l";
    }
    return STime(seconds).AsExportString(format);
  }
};

// The small note facts: creator, section number, file names, host.
class MarkupNoteFact : public MarkupNodeRelative {
 public:
  using MarkupNodeRelative::MarkupNodeRelative;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    Node* n = GetNode(node, t, false);
    if (n == nullptr) {
      return std::string();
    }
    if (name_ == "creator") {
      return EntityFilter(n->GetString("Creator"), n, t);
    }
    if (name_ == "sectionnumber") {
      std::string number;
      for (const Node* a = n; a != nullptr && !a->IsRoot(); a = a->Father()) {
        number = std::to_string(a->SiblingOrder()) + (number.empty() ? "" : "." + number);
      }
      return number;
    }
    if (t == nullptr) {
      return std::string();
    }
    if (name_ == "host") {
      return t->HostFor(n);
    }
    const std::string path = t->FileNameFor(n);
    if (name_ == "file") {
      return t->NameOfFile(n);
    }
    if (name_ == "path") {
      return path;
    }
    // "directory"
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
  }
};

// "^url(note)^" and the URLs of the notes around this one.
class MarkupURL : public MarkupNodeRelative {
 public:
  using MarkupNodeRelative::MarkupNodeRelative;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (t == nullptr || node == nullptr) {
      return std::string();
    }
    Node* target = nullptr;
    if (name_ == "url") {
      target = GetNode(node, t, true);
    } else {
      std::string designator = name_.ends_with("url") ? name_.substr(0, name_.size() - 3) : name_;
      if (designator == "previoussibling") {
        designator = "prevsibling";
      }
      target = HTPath(designator, true).Get(node);
    }
    if (target == nullptr) {
      return std::string();
    }
    return t->URLFor(target, t->ForFile() != nullptr ? t->ForFile() : node);
  }
};

class MarkupRoot : public MarkupNodeRelative {
 public:
  using MarkupNodeRelative::MarkupNodeRelative;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (t != nullptr && !t->RootPath().empty()) {
      return t->RootPath();
    }
    Node* n = GetNode(node, t, false);
    std::string up;
    for (const Node* a = n != nullptr ? n->Father() : nullptr; a != nullptr && !a->IsRoot();
         a = a->Father()) {
      up += "../";
    }
    return up;
  }
};

class MarkupExists : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  bool Eval(Node* node, ExportTemplate* t) override {
    if (node == nullptr) {
      return false;
    }
    const std::string word = Evaluated(0, node, t);
    Node* original = node->GetOriginal() != nullptr ? node->GetOriginal() : node;
    LinkManager& links = node->GetHypertext()->Links();
    if (word == "childlinks") {
      return original->Son() != nullptr;
    }
    if (word == "basiclinks") {
      return !links.ListBasicLinksFrom(original).OmitHidden().OmitPrototypes().empty();
    }
    if (word == "inboundlinks") {
      return !links.ListBasicLinksTo(original).OmitHidden().OmitPrototypes().empty();
    }
    return !word.empty() && GetNodeNamed(node, word, t, true) != nullptr;
  }
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    return Eval(node, t) ? "true" : std::string();
  }
};

class MarkupLinkTo : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (t == nullptr || node == nullptr) {
      return std::string();
    }
    Node* target = GetNodeNamed(node, args_.at(0), t, true);
    if (target == nullptr) {
      return std::string();
    }
    std::string text = Evaluated(1, node, t);
    const std::string css = Evaluated(2, node, t);
    std::string out = OpenAnchor(t->URLFor(target, t->ForFile() != nullptr ? t->ForFile() : node));
    out += " ";
    if (!css.empty()) {
      out += " class=\"" + EncodeAttribute(css) + "\" ";
    }
    out += ">";
    out += text.empty() ? AnchorText(target->Name(), target, t) : AnchorText(text, node, t);
    out += "</a>";
    return out;
  }
};

class MarkupSimple : public MarkupExportElement {
 public:
  using MarkupExportElement::MarkupExportElement;
  std::string ExportValue(Node* node, ExportTemplate* t) override {
    if (name_ == "comment") {
      return "<!-- " + arguments_ + " -->";
    }
    if (name_ == "doctitle") {
      Hypertext* doc = node != nullptr ? node->GetHypertext() : nullptr;
      return doc == nullptr ? std::string() : EntityFilter(doc->Root()->Name(), node, t);
    }
    if (name_ == "version") {
      const std::string version = FW_VERSION;
      const std::string part = Evaluated(0, node, t);
      const size_t dot = version.find('.');
      if (part == "major") {
        return version.substr(0, dot);
      }
      if (part == "minor") {
        if (dot == std::string::npos) {
          return "0";
        }
        const size_t next = version.find('.', dot + 1);
        return version.substr(dot + 1, next == std::string::npos ? std::string::npos
                                                                 : next - dot - 1);
      }
      return version;
    }
    if (name_ == "setroot") {
      if (t != nullptr) {
        t->RootPath(Evaluated(0, node, t));
      }
      return std::string();
    }
    // "indent"
    std::string unit = args_.size() > 0 ? TrimQuotes(args_.at(0)) : "\t";
    if (args_.size() > 0 && args_.at(0).empty()) {
      unit = "\t";
    }
    std::string expression = TrimmedText(args_.at(1)).empty() ? "$OutlineDepth-1"
                                                               : std::string(args_.at(1));
    const double count = LeadingNumber(Action::Evaluate(node, expression));
    if (!(count >= 0 && count <= 100)) {
      return std::string();
    }
    std::string out;
    for (int i = 0; i < static_cast<int>(count); ++i) {
      out += unit;
    }
    return out;
  }
};

template <typename T>
std::unique_ptr<ExportElement> Make(const std::string& name, const std::string& arguments,
                                    int nesting) {
  return std::make_unique<T>(name, arguments, nesting);
}

}  // namespace

std::unique_ptr<ExportElement> CreateNoteCode(const std::string& name,
                                              const std::string& arguments, int nesting) {
  struct Row {
    const char* name;
    CodeMaker maker;
  };
  static const Row kRows[] = {
      {"title", &Make<MarkupTitle>},
      {"get", &Make<MarkupGetAttribute>},
      {"getfor", &Make<MarkupGetAttribute>},
      {"value", &Make<MarkupValue>},
      {"action", &Make<MarkupAction>},
      {"do", &Make<MarkupDo>},
      {"encode", &Make<MarkupEncode>},
      {"urlencode", &Make<MarkupEncode>},
      {"idencode", &Make<MarkupEncode>},
      {"backslashencode", &Make<MarkupEncode>},
      {"opmlencode", &Make<MarkupEncode>},
      {"lowercase", &Make<MarkupFilter>},
      {"uppercase", &Make<MarkupFilter>},
      {"capitalize", &Make<MarkupFilter>},
      {"firstword", &Make<MarkupFilter>},
      {"lastword", &Make<MarkupFilter>},
      {"today", &Make<MarkupDate>},
      {"created", &Make<MarkupDate>},
      {"modified", &Make<MarkupDate>},
      {"lastmodified", &Make<MarkupDate>},
      {"creator", &Make<MarkupNoteFact>},
      {"sectionnumber", &Make<MarkupNoteFact>},
      {"file", &Make<MarkupNoteFact>},
      {"path", &Make<MarkupNoteFact>},
      {"directory", &Make<MarkupNoteFact>},
      {"host", &Make<MarkupNoteFact>},
      {"url", &Make<MarkupURL>},
      {"coverurl", &Make<MarkupURL>},
      {"parenturl", &Make<MarkupURL>},
      {"childurl", &Make<MarkupURL>},
      {"nexturl", &Make<MarkupURL>},
      {"previousurl", &Make<MarkupURL>},
      {"nextsibling", &Make<MarkupURL>},
      {"prevsibling", &Make<MarkupURL>},
      {"previoussibling", &Make<MarkupURL>},
      {"root", &Make<MarkupRoot>},
      {"exists", &Make<MarkupExists>},
      {"linkto", &Make<MarkupLinkTo>},
      {"comment", &Make<MarkupSimple>},
      {"doctitle", &Make<MarkupSimple>},
      {"version", &Make<MarkupSimple>},
      {"setroot", &Make<MarkupSimple>},
      {"indent", &Make<MarkupSimple>},
  };
  for (const Row& row : kRows) {
    if (name == row.name) {
      return row.maker(name, arguments, nesting);
    }
  }
  return nullptr;
}

}  // namespace fernweave
