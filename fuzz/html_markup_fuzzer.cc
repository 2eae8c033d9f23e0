// Converts arbitrary note texts to HTML: the input's first bytes describe style runs,
// struck spans, a picture and a text link (positions anywhere, also past the text or
// inside a character), the rest is the text. Nothing may crash, leak or hang, and the
// tags the converter writes must come out balanced.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "export/export_template.h"
#include "export/html_markup.h"
#include "lang/language.h"
#include "model/content.h"
#include "model/hypertext.h"
#include "model/link.h"
#include "model/link_manager.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/value.h"

namespace {

constexpr size_t kMaxInput = 4096;
constexpr size_t kHeader = 16;

struct Fixture {
  std::unique_ptr<fernweave::Orvex> doc;
  fernweave::Node* note = nullptr;
  fernweave::Node* other = nullptr;
};

Fixture& Document() {
  using namespace fernweave;
  static Fixture* fixture = [] {
    InstallLanguage();
    InstallTemplateLanguage();
    auto* f = new Fixture;
    f->doc = Orvex::Create("Fuzz.skep");
    f->note = f->doc->MakeNode("Note", f->doc->Root(), nullptr, 0, 0);
    f->other = f->doc->MakeNode("Other", f->doc->Root(), nullptr, 0, 0);
    f->doc->Preferences().Set("Prose", Value::ForBoolean(true));
    return f;
  }();
  return *fixture;
}

// Counts "<b>" against "</b>" (and so on) in the output: every span opened is closed.
bool Balanced(std::string_view html, std::string_view open, std::string_view close) {
  long depth = 0;
  for (size_t i = 0; i < html.size(); ++i) {
    if (html.substr(i).starts_with(open)) {
      ++depth;
    } else if (html.substr(i).starts_with(close)) {
      if (--depth < 0) {
        return false;
      }
    }
  }
  return depth == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace fernweave;
  if (size < kHeader || size > kMaxInput) {
    return 0;
  }
  Fixture& f = Document();
  const uint8_t* h = data;
  const std::string text(reinterpret_cast<const char*>(data + kHeader), size - kHeader);
  // Marks in the text's own characters would be ambiguous with the tags checked below.
  if (text.find("<b>") != std::string::npos || text.find("</b>") != std::string::npos ||
      text.find("<i>") != std::string::npos || text.find("</i>") != std::string::npos) {
    return 0;
  }
  f.note->SetText(text);
  Content* content = f.note->GetContent();
  content->style_runs().clear();
  for (int i = 0; i < 4; ++i) {
    StyleRun run;
    run.start = h[i] | (i == 0 ? 0 : content->style_runs().back().start);
    run.size = 8 + h[4 + i] % 16;
    run.bold = (h[4 + i] & 0x10) != 0;
    run.italic = (h[4 + i] & 0x20) != 0;
    content->style_runs().push_back(run);
  }
  content->struck_spans() = {StruckSpan{h[8], static_cast<int32_t>(h[9]) - 64}};
  TextPicture picture;
  picture.position = h[10];
  picture.frame = {0, 0, h[11], h[11]};
  picture.bytes = "GIF89a";
  content->pictures() = {picture};
  f.doc->Links().Clear();
  LinkRecord link;
  link.source = f.note;
  link.dest = (h[12] & 1) != 0 ? f.other : f.note;
  link.source_span = {h[12] >> 1, static_cast<int32_t>(h[13]) - 8};
  f.doc->CreateLink(link);
  f.note->SetBoolean("HTMLQuoteHTML", (h[14] & 1) != 0);

  ExportRun run(f.doc.get());
  ExportTemplate t(&run, "fuzz", "^text^");
  const std::string html = HTMLMarkup(f.note, f.note, &t, h[15] % 4 == 0 ? h[15] : 0).ToString();
  if (!Balanced(html, "<b>", "</b>") || !Balanced(html, "<i>", "</i>")) {
    __builtin_trap();
  }
  return 0;
}
