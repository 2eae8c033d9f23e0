#include "export/html_markup.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <utility>

#include "export/entities.h"
#include "export/export_file_manager.h"
#include "export/export_template.h"
#include "model/content.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"
#include "model/value.h"

namespace fernweave {

namespace {

// Keep in sync with the named preferences of persist/document_preference_keys.h.
constexpr char kProseKey[] = "Prose";
constexpr int kTextFontSizeIndex = 19;
constexpr double kStandardTextSize = 12;

constexpr char kBullet[] = "\xE2\x80\xA2";            // U+2022
constexpr char kObjectReplacement[] = "\xEF\xBF\xBC";  // U+FFFC, a picture's place

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view p) {
  while (!p.empty() && IsBlank(p.front())) {
    p.remove_prefix(1);
  }
  while (!p.empty() && IsBlank(p.back())) {
    p.remove_suffix(1);
  }
  return p;
}

// The bytes of a list character at the start of `s`, or 0.
size_t ListCharacterAt(std::string_view s) {
  if (!s.empty() && (s[0] == '*' || s[0] == '#')) {
    return 1;
  }
  return s.starts_with(kBullet) ? 3 : 0;
}

// The picture's file extension from its first bytes.
std::string ImageExtension(const TextPicture& picture) {
  const std::string_view b = picture.bytes;
  if (b.starts_with("\x89PNG")) {
    return "png";
  }
  if (b.starts_with("GIF8")) {
    return "gif";
  }
  if (picture.compressed || b.starts_with("\xFF\xD8")) {
    return "jpg";
  }
  return "img";
}

}  // namespace

HTMLMarkup::HTMLMarkup(Node* note, Node* page, ExportTemplate* t, size_t limit)
    : note_(note), page_(page), template_(t), limit_(limit) {
  if (note_ != nullptr) {
    text_ = note_->GetText();
  }
  if (limit_ == 0 || limit_ > text_.size()) {
    limit_ = text_.size();
  }
}

bool HTMLMarkup::IsMarkup(std::string_view p) {
  p = TrimBlanks(p);
  if (p.empty()) {
    return true;
  }
  if (p.front() == '<' && p.back() == '>') {
    return true;
  }
  if (p.starts_with("^do") && (p.ends_with(")") || p.ends_with(")^"))) {
    return true;
  }
  return p.size() > 3 && p[0] == '^' && std::isalpha(static_cast<unsigned char>(p[1])) != 0 &&
         (p.ends_with(")^") || p.ends_with("^"));
}

std::string HTMLMarkup::Attribute(std::string_view name) const {
  return note_->GetString(name);
}

void HTMLMarkup::Add(size_t position, Group group, std::string text, int span, size_t skip) {
  if (position > limit_) {
    return;
  }
  tags_[position].push_back(Tag{std::move(text), group, span, skip});
}

void HTMLMarkup::Init() {
  if (note_ == nullptr) {
    return;
  }
  entities_ = note_->GetBoolean("HTMLEntities") &&
              (template_ == nullptr || template_->UseEntities());
  quote_ = note_->GetBoolean("HTMLQuoteHTML");
  if (text_.empty()) {
    return;
  }
  FindParagraphs();
  AddImages();
  AddStyleMarkup();
  AddTextLinks();
  if (limit_ < text_.size()) {
    Add(limit_, Group::kBlockClose, "...");
  }
  AddParagraphMarkup();
  const std::string before = Attribute("HTMLExportBefore");
  const std::string after = Attribute("HTMLExportAfter");
  if (!before.empty() || !after.empty()) {
    auto& first = tags_[0];
    first.insert(first.begin(), Tag{before, Group::kBlockOpen, -1, 0});
    tags_[limit_].push_back(Tag{after, Group::kBlockClose, -1, 0});
  }
}

void HTMLMarkup::FindParagraphs() {
  const std::string_view text(text_.data(), limit_);
  const bool lists =
      !Attribute("HTMLListItemStart").empty() || !Attribute("HTMLListItemEnd").empty();
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\r', pos);
    Paragraph p;
    p.start = pos;
    // A "<pre" block is one paragraph whatever returns it holds, and is left as it is.
    const size_t pre = text.find("<pre", pos);
    if (pre != std::string_view::npos && (end == std::string_view::npos || pre < end)) {
      const size_t close = text.find("</pre", pre);
      const size_t gt = close == std::string_view::npos ? close : text.find('>', close);
      if (gt != std::string_view::npos && (end == std::string_view::npos || gt > end)) {
        end = text.find('\r', gt);
      }
      p.kind = Paragraph::Kind::kNone;
      p.end = end == std::string_view::npos ? text.size() : end;
      paragraphs_.push_back(p);
      if (end == std::string_view::npos) {
        break;
      }
      pos = end + 1;
      continue;
    }
    p.end = end == std::string_view::npos ? text.size() : end;
    const std::string_view body = text.substr(p.start, p.end - p.start);
    if (IsMarkup(body)) {
      p.kind = Paragraph::Kind::kNone;
    } else if (lists && ListCharacterAt(body) > 0) {
      p.kind = Paragraph::Kind::kList;
      p.ordered = body[0] == '#';
      size_t n;
      while ((n = ListCharacterAt(body.substr(p.marker))) > 0) {
        p.marker += n;
        ++p.level;
      }
      while (p.marker < body.size() && IsBlank(body[p.marker])) {
        ++p.marker;
      }
    } else {
      p.kind = Paragraph::Kind::kText;
    }
    paragraphs_.push_back(p);
    if (end == std::string_view::npos) {
      break;
    }
    pos = end + 1;
  }
}

double HTMLMarkup::ConstantTextSize(const Paragraph& p) const {
  const Content* content = note_->GetContent();
  if (content == nullptr) {
    return 0;
  }
  const auto& runs = content->style_runs();
  double size = -1;
  for (size_t i = 0; i < runs.size(); ++i) {
    const size_t from = content->ByteOffset(static_cast<size_t>(std::max(0, runs[i].start)));
    const size_t to = i + 1 < runs.size()
                          ? content->ByteOffset(static_cast<size_t>(std::max(0, runs[i + 1].start)))
                          : text_.size();
    if (to <= p.start || from >= std::max(p.end, p.start + 1)) {
      continue;  // the run does not overlap the paragraph
    }
    if (size < 0) {
      size = runs[i].size;
    } else if (size != runs[i].size) {
      return 0;
    }
  }
  return size < 0 ? 0 : size;
}

void HTMLMarkup::AddParagraphMarkup() {
  Hypertext* doc = note_->GetHypertext();
  bool prose = false;
  double standard = kStandardTextSize;
  if (doc != nullptr) {
    if (const Value* v = doc->Preferences().Get(kProseKey)) {
      prose = v->AsBoolean();
    }
    if (const Value* v = doc->Preferences().Get(kTextFontSizeIndex); v != nullptr && v->AsDouble() > 0) {
      standard = v->AsDouble();
    }
  }
  std::string first_start = Attribute("HTMLFirstParagraphStart");
  std::string first_end = Attribute("HTMLFirstParagraphEnd");
  std::string start = Attribute("HTMLParagraphStart");
  std::string end = Attribute("HTMLParagraphEnd");
  std::string indent_start = Attribute("HTMLIndentedParagraphStart");
  std::string indent_end = Attribute("HTMLIndentedParagraphEnd");
  // A kind of note without paragraph tags of its own still gets paragraphs.
  for (auto pair : {std::pair{&first_start, &first_end}, std::pair{&start, &end},
                     std::pair{&indent_start, &indent_end}}) {
    if (pair.first->empty() && pair.second->empty()) {
      *pair.first = "<p>";
      *pair.second = "</p>";
    }
  }
  int counted = 0;
  size_t i = 0;
  while (i < paragraphs_.size()) {
    const Paragraph& p = paragraphs_[i];
    if (p.kind == Paragraph::Kind::kList) {
      size_t last = i;
      while (last + 1 < paragraphs_.size() && paragraphs_[last + 1].kind == Paragraph::Kind::kList) {
        ++last;
      }
      AddLists(i, last);
      i = last + 1;
      continue;
    }
    if (p.kind == Paragraph::Kind::kText) {
      const double size = ConstantTextSize(p);
      const double d = size > 0 ? size - standard : 0;
      const char* heading = d >= 6 ? "h1" : d >= 4 ? "h2" : d >= 2 ? "h3" : nullptr;
      if (heading != nullptr) {
        Add(p.start, Group::kBlockOpen, std::string("<") + heading + ">");
        Add(p.end, Group::kBlockClose, std::string("</") + heading + ">");
      } else if (prose) {
        const bool indented = text_[p.start] == '\t';
        Add(p.start, Group::kBlockOpen,
            indented ? indent_start : counted == 0 ? first_start : start);
        Add(p.end, Group::kBlockClose, indented ? indent_end : counted == 0 ? first_end : end);
      } else {
        Add(p.end, Group::kBlockClose, "<br>");
      }
      ++counted;
    }
    ++i;
  }
}

// Paragraphs first..last are one run of list items. Deeper items nest inside the item
// before them; a change of kind at one level closes that list and opens the other.
void HTMLMarkup::AddLists(size_t first, size_t last) {
  const std::string list_start = Attribute("HTMLListStart");
  const std::string list_end = Attribute("HTMLListEnd");
  const std::string ordered_start = Attribute("HTMLOrderedListStart");
  const std::string ordered_end = Attribute("HTMLOrderedListEnd");
  const std::string item_start = Attribute("HTMLListItemStart");
  const std::string item_end = Attribute("HTMLListItemEnd");
  auto open_list = [&](bool ordered) {
    return ordered ? (ordered_start.empty() ? std::string("<ol>") : ordered_start) : list_start;
  };
  auto close_list = [&](bool ordered) {
    return ordered ? (ordered_end.empty() ? std::string("</ol>") : ordered_end) : list_end;
  };
  std::vector<bool> open;  // the lists open, outermost first: ordered or not
  size_t previous_end = 0;
  for (size_t i = first; i <= last; ++i) {
    const Paragraph& p = paragraphs_[i];
    const size_t level = static_cast<size_t>(p.level);
    while (open.size() > level) {
      Add(previous_end, Group::kBlockClose, item_end);
      Add(previous_end, Group::kBlockClose, close_list(open.back()));
      open.pop_back();
    }
    if (open.size() == level) {
      Add(previous_end, Group::kBlockClose, item_end);
      if (open.back() != p.ordered) {
        Add(previous_end, Group::kBlockClose, close_list(open.back()));
        open.back() = p.ordered;
        Add(p.start, Group::kBlockOpen, open_list(p.ordered));
      }
    }
    while (open.size() < level) {
      open.push_back(p.ordered);
      Add(p.start, Group::kBlockOpen, open_list(p.ordered));
      if (open.size() < level) {
        // A level skipped on the way down still nests inside an item of its own.
        Add(p.start, Group::kBlockOpen, item_start);
      }
    }
    Add(p.start, Group::kBlockOpen, item_start, -1, p.marker);
    previous_end = p.end;
  }
  while (!open.empty()) {
    Add(previous_end, Group::kBlockClose, item_end);
    Add(previous_end, Group::kBlockClose, close_list(open.back()));
    open.pop_back();
  }
}

void HTMLMarkup::AddSpan(size_t start, size_t end, const std::string& open,
                         const std::string& close) {
  end = std::min(end, limit_);
  // A span is cut at each paragraph end and reopened in the next paragraph, so the
  // paragraph tags and the span nest.
  for (const Paragraph& p : paragraphs_) {
    size_t from = std::max(start, p.start);
    const size_t to = std::min(end, p.end);
    if (p.kind == Paragraph::Kind::kList) {
      from = std::max(from, p.start + p.marker);
    }
    if (from >= to) {
      continue;
    }
    const int id = static_cast<int>(spans_.size());
    spans_.push_back({open, close});
    Add(from, Group::kInlineOpen, open, id);
    Add(to, Group::kInlineClose, close, id);
  }
}

void HTMLMarkup::AddStyleMarkup() {
  const Content* content = note_->GetContent();
  if (content == nullptr) {
    return;
  }
  const auto& runs = content->style_runs();
  struct Style {
    bool StyleRun::*bit;
    const char* start;
    const char* end;
  };
  const Style styles[] = {{&StyleRun::bold, "HTMLBoldStart", "HTMLBoldEnd"},
                          {&StyleRun::italic, "HTMLItalicStart", "HTMLItalicEnd"},
                          {&StyleRun::underline, "HTMLUnderlineStart", "HTMLUnderlineEnd"}};
  auto bytes = [&](int32_t units) {
    return std::min(content->ByteOffset(static_cast<size_t>(std::max(0, units))), text_.size());
  };
  for (const Style& style : styles) {
    const std::string open = Attribute(style.start);
    const std::string close = Attribute(style.end);
    size_t span_start = 0;
    bool in_span = false;
    for (const StyleRun& run : runs) {
      if (run.*style.bit && !in_span) {
        in_span = true;
        span_start = bytes(run.start);
      } else if (!(run.*style.bit) && in_span) {
        in_span = false;
        AddSpan(span_start, bytes(run.start), open, close);
      }
    }
    if (in_span) {
      AddSpan(span_start, text_.size(), open, close);
    }
  }
  const std::string strike_open = Attribute("HTMLStrikeStart");
  const std::string strike_close = Attribute("HTMLStrikeEnd");
  for (const StruckSpan& s : content->struck_spans()) {
    if (s.length > 0) {
      AddSpan(bytes(s.start), bytes(s.start + s.length), strike_open, strike_close);
    }
  }
}

void HTMLMarkup::AddTextLinks() {
  if (template_ == nullptr) {
    return;
  }
  Node* source = note_->GetOriginal();
  Hypertext* doc = source->GetHypertext();
  const Content* content = note_->GetContent();
  if (doc == nullptr || content == nullptr) {
    return;
  }
  // Links whose destination gets a page (or that lead to the web), by anchor start.
  std::vector<Link*> links;
  for (Link* link : doc->Links().ListTextLinksFrom(source).OmitHidden().OmitPrototypes()) {
    if (link->GetSourceStart() < 0 || link->GetSourceLength() <= 0) {
      continue;
    }
    if (link->IsWebLink() ||
        !template_->GetExporter()->files().FileNameFor(link->DestNode()).empty()) {
      links.push_back(link);
    }
  }
  std::stable_sort(links.begin(), links.end(), [](const Link* a, const Link* b) {
    return a->GetSourceStart() < b->GetSourceStart();
  });
  auto bytes = [&](int32_t units) {
    return std::min(content->ByteOffset(static_cast<size_t>(units)), text_.size());
  };
  auto attribute = [](const char* name, const std::string& value) {
    return value.empty() ? std::string()
                         : std::string(" ") + name + "=\"" + EncodeAttribute(value) + "\" ";
  };
  auto url_of = [&](const Link* link) {
    return link->IsWebLink() ? link->URL() : template_->URLFor(link->DestNode(), page_);
  };
  size_t covered = 0;  // anchors never nest: one that starts inside another is left out
  for (size_t i = 0; i < links.size();) {
    size_t j = i + 1;
    while (j < links.size() && links[j]->SourceSpan() == links[i]->SourceSpan()) {
      ++j;
    }
    const Link* first = links[i];
    const size_t start = bytes(first->GetSourceStart());
    const size_t end = bytes(first->GetSourceEnd());
    if (start >= covered && start < end) {
      std::string open;
      if (j - i == 1) {
        open = "<a href=\"" + EncodeAttribute(url_of(first)) + "\"" +
               attribute("title", first->Title()) + attribute("target", first->Target()) +
               attribute("class", first->GetCSSClass()) + " >";
      } else {
        // Several links share the anchor: it leads to a page listing them.
        std::string list = "<ul>\n";
        for (size_t k = i; k < j; ++k) {
          const Node* dest = links[k]->DestNode();
          list += "   <li><a HREF=\"" + EncodeAttribute(url_of(links[k])) + "\">" +
                  EncodeAttribute(dest != nullptr ? dest->Name() : links[k]->URL()) +
                  "</a></li>\n";
        }
        list += "</ul>\n";
        open = "<a href=\"" + EncodeAttribute(template_->ExportAuxFile(list)) + "\">";
      }
      AddSpan(start, end, open, "</a>");
      covered = end;
    }
    i = j;
  }
}

void HTMLMarkup::AddImages() {
  const Content* content = note_->GetContent();
  if (content == nullptr || template_ == nullptr) {
    return;
  }
  const auto& pictures = content->pictures();
  for (size_t i = 0; i < pictures.size(); ++i) {
    const TextPicture& picture = pictures[i];
    const size_t at =
        std::min(content->ByteOffset(static_cast<size_t>(std::max(0, picture.position))),
                 text_.size());
    if (at >= limit_ && !(at == limit_ && limit_ == text_.size())) {
      continue;
    }
    const std::string url = template_->ExportImageFile(note_->GetOriginal(), static_cast<int>(i) + 1,
                                                       ImageExtension(picture), picture.bytes);
    if (url.empty()) {
      continue;
    }
    const int width = picture.frame.right - picture.frame.left;
    const int height = picture.frame.bottom - picture.frame.top;
    const size_t skip =
        std::string_view(text_).substr(at).starts_with(kObjectReplacement) ? 3 : 0;
    Add(at, Group::kAtom,
        Attribute("HTMLImageStart") + " src=\"" + EncodeAttribute(url) + "\" width=\"" +
            std::to_string(std::max(0, width)) + "\" height=\"" +
            std::to_string(std::max(0, height)) + "\" alt=\"\" " + Attribute("HTMLImageEnd"),
        -1, skip);
  }
}

void HTMLMarkup::WriteText(std::string_view text, std::string* out) const {
  std::string piece = entities_ ? EntityFilter(text, false, quote_) : std::string(text);
  std::replace(piece.begin(), piece.end(), '\r', '\n');
  *out += piece;
}

std::string HTMLMarkup::ToString() {
  Init();
  std::string out;
  size_t cur = 0;
  std::vector<int> open_spans;  // inline spans open now, outermost first
  for (auto& [position, tags] : tags_) {
    if (position > cur) {
      WriteText(std::string_view(text_).substr(cur, position - cur), &out);
      cur = position;
    }
    // Inline closes: close from the innermost out until every span ending here is
    // closed, then reopen the inner ones that go on.
    std::set<int> closing;
    for (const Tag& tag : tags) {
      if (tag.group == Group::kInlineClose) {
        closing.insert(tag.span);
      }
    }
    std::vector<int> reopen;
    while (!closing.empty() && !open_spans.empty()) {
      const int top = open_spans.back();
      open_spans.pop_back();
      out += spans_[static_cast<size_t>(top)].close;
      if (closing.erase(top) == 0) {
        reopen.push_back(top);
      }
    }
    for (auto it = reopen.rbegin(); it != reopen.rend(); ++it) {
      out += spans_[static_cast<size_t>(*it)].open;
      open_spans.push_back(*it);
    }
    for (Group group : {Group::kBlockClose, Group::kBlockOpen, Group::kInlineOpen, Group::kAtom}) {
      for (const Tag& tag : tags) {
        if (tag.group != group) {
          continue;
        }
        out += tag.text;
        if (group == Group::kInlineOpen) {
          open_spans.push_back(tag.span);
        }
        cur = std::max(cur, position + tag.skip);
      }
    }
  }
  if (cur < limit_) {
    WriteText(std::string_view(text_).substr(cur, limit_ - cur), &out);
  }
  for (auto it = open_spans.rbegin(); it != open_spans.rend(); ++it) {
    out += spans_[static_cast<size_t>(*it)].close;
  }
  return out;
}

}  // namespace fernweave
