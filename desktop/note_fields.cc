#include "desktop/note_fields.h"

#include <algorithm>
#include <cstdlib>

#include "foundation/date_translator.h"
#include "model/attribute.h"
#include "model/color.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/orvex.h"
#include "model/path_evaluator.h"
#include "model/value.h"

namespace fernweave {

namespace {

// The length in bytes of the UTF-8 sequence a lead byte starts; a stray continuation
// byte or an invalid lead counts as one character of one byte, as the editor shows it.
size_t SequenceLength(unsigned char lead) {
  if (lead >= 0xF0 && lead < 0xF8) {
    return 4;
  }
  if (lead >= 0xE0) {
    return lead < 0xF0 ? 3 : 1;
  }
  if (lead >= 0xC0) {
    return 2;
  }
  return 1;
}

// For each character offset of `text` (and one past the end), its offset in UTF-16
// units: characters beyond the basic plane take two units.
std::vector<size_t> Utf16Offsets(std::string_view text) {
  std::vector<size_t> offsets;
  offsets.reserve(text.size() + 1);
  size_t units = 0;
  for (size_t i = 0; i < text.size();) {
    offsets.push_back(units);
    const size_t length = std::min(SequenceLength(static_cast<unsigned char>(text[i])),
                                   text.size() - i);
    units += length == 4 ? 2 : 1;
    i += length;
  }
  offsets.push_back(units);
  return offsets;
}

// The character offset at or after the UTF-16 offset `units`.
int CharacterAt(const std::vector<size_t>& offsets, size_t units) {
  auto it = std::lower_bound(offsets.begin(), offsets.end(), units);
  return static_cast<int>(it == offsets.end() ? offsets.size() - 1 : it - offsets.begin());
}

std::string Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) {
    return "";
  }
  const size_t last = text.find_last_not_of(" \t\r\n");
  return std::string(text.substr(first, last - first + 1));
}

// A whole number or a real number, with thousands separators allowed.
bool IsNumberText(std::string_view text) {
  std::string plain;
  for (char c : Trimmed(text)) {
    if (c != ',') {
      plain.push_back(c);
    }
  }
  if (plain.empty()) {
    return false;
  }
  char* end = nullptr;
  std::strtod(plain.c_str(), &end);
  return end == plain.c_str() + plain.size();
}

// A colour form, or a colour name of the note's document.
bool ColorOfText(const Node* note, std::string_view text, PColor* color) {
  if (color->FromString(text)) {
    return true;
  }
  const auto* orvex = dynamic_cast<const Orvex*>(note->GetHypertext());
  return orvex != nullptr && orvex->Colors().Resolve(Trimmed(text), color);
}

bool IsColorText(const Node* note, std::string_view text) {
  PColor color;
  return ColorOfText(note, text, &color);
}

std::string Problem(const Node* note, const Attribute* attribute, std::string_view text) {
  const std::string trimmed = Trimmed(text);
  switch (attribute->GetType()) {
    case AttributeType::kNumber:
    case AttributeType::kUnsigned:
      return IsNumberText(trimmed) ? "" : "not a number: " + trimmed;
    case AttributeType::kDate: {
      if (trimmed == "never") {
        return "";
      }
      DateTranslator date(trimmed);
      return date.Translate() && date.IsValid() ? "" : "not a date: " + trimmed;
    }
    case AttributeType::kColor:
      return IsColorText(note, trimmed) ? "" : "not a colour: " + trimmed;
    default:
      return "";
  }
}

}  // namespace

EditorText EditorTextOf(const Content& content) {
  EditorText out;
  out.text = content.text();
  std::replace(out.text.begin(), out.text.end(), '\r', '\n');
  out.editable = content.pictures().empty() && content.struck_spans().empty();
  const std::vector<StyleRun>& runs = content.style_runs();
  if (runs.empty()) {
    return out;
  }
  const std::vector<size_t> offsets = Utf16Offsets(out.text);
  const int length = static_cast<int>(offsets.size()) - 1;
  for (size_t i = 0; i < runs.size(); ++i) {
    const int start = CharacterAt(offsets, static_cast<size_t>(std::max(runs[i].start, 0)));
    const int end = i + 1 < runs.size()
                        ? CharacterAt(offsets, static_cast<size_t>(std::max(runs[i + 1].start, 0)))
                        : length;
    if (end <= start) {
      continue;  // a run another run replaces at once, or one past the text
    }
    out.looks.push_back(TextLook{start, end, static_cast<int>(i), runs[i].bold, runs[i].italic});
  }
  return out;
}

Content ContentFromEditor(const Content& original, std::string_view text,
                          const std::vector<TextLook>& looks) {
  Content content(original);
  content.SetText(text);
  std::vector<StyleRun>& runs = content.style_runs();
  const std::vector<StyleRun>& before = original.style_runs();
  runs.clear();
  const std::vector<size_t> offsets = Utf16Offsets(text);
  const int length = static_cast<int>(offsets.size()) - 1;
  int covered = 0;
  auto add = [&](StyleRun run, int start) {
    run.start = static_cast<int32_t>(offsets[static_cast<size_t>(start)]);
    StyleRun same_look = run;
    if (!runs.empty()) {
      same_look.start = runs.back().start;
      if (same_look == runs.back()) {
        return;  // the same look goes on
      }
    }
    runs.push_back(run);
  };
  bool any = false;
  for (const TextLook& look : looks) {
    const int start = std::clamp(look.start, covered, length);
    const int end = std::clamp(look.end, start, length);
    if (end == start) {
      continue;
    }
    if (start > covered && any) {
      add(StyleRun{}, covered);  // a stretch without a look goes back to the plain one
    }
    StyleRun run = look.run >= 0 && static_cast<size_t>(look.run) < before.size()
                       ? before[static_cast<size_t>(look.run)]
                       : StyleRun{};
    run.bold = look.bold;
    run.italic = look.italic;
    if (!any && start > 0) {
      add(StyleRun{}, 0);
    }
    add(run, start);
    any = true;
    covered = end;
  }
  if (any && covered < length) {
    add(StyleRun{}, covered);
  }
  // Plain text everywhere needs no runs at all.
  if (runs.size() == 1 && runs.front() == StyleRun{}) {
    runs.clear();
  }
  return content;
}

void StoreEditorText(Node* note, std::string_view text, const std::vector<TextLook>& looks) {
  if (note == nullptr || !note->CanEdit()) {
    return;
  }
  Node* owner = note->GetOriginal();
  const Content* content = owner->GetContent();
  if (!EditorTextOf(*content).editable) {
    return;
  }
  const Content edited = ContentFromEditor(*content, text, looks);
  const bool same_runs = edited.style_runs() == content->style_runs();
  if (edited.text() == content->text() && same_runs) {
    return;
  }
  // Through the note, so that text links anchored in the text follow the edit.
  owner->SetText(edited.text());
  owner->GetContent()->style_runs() = edited.style_runs();
  owner->Changed(owner->GetAttribute("Text"));
  owner->HasBeenModified();
}

std::vector<KeyAttribute> KeyAttributesOf(const Node* note) {
  std::vector<KeyAttribute> out;
  if (note == nullptr) {
    return out;
  }
  Hypertext* ht = note->GetHypertext();
  const std::string names = note->GetString("KeyAttributes");
  PathExpressionEvaluator* language = InstalledPathEvaluator();
  const std::vector<std::string> split =
      language != nullptr ? language->SplitSetMembers(names) : SplitSetMembersPlainly(names);
  for (const std::string& name : split) {
    const Attribute* attribute = ht->Properties().Find(Trimmed(name));
    if (attribute == nullptr || !attribute->IsValid() || attribute->IsAttributeCategory()) {
      continue;
    }
    KeyAttribute key;
    key.attribute = attribute;
    key.name = attribute->Name();
    key.type = attribute->GetType();
    key.text = note->Get(attribute)->AsString();
    key.read_only = attribute->IsReadOnly();
    PColor color;
    if (key.type == AttributeType::kColor && ColorOfText(note, key.text, &color)) {
      key.color = color;
    }
    out.push_back(std::move(key));
  }
  return out;
}

AttributeEntry StoreAttributeText(Node* note, const Attribute* attribute, std::string_view text) {
  AttributeEntry entry;
  if (note == nullptr || attribute == nullptr) {
    entry.error = "no note";
    return entry;
  }
  if (attribute->IsReadOnly() || !note->CanEdit()) {
    entry.error = attribute->Name() + " cannot be changed";
    entry.shown = note->Get(attribute)->AsString();
    return entry;
  }
  if (Trimmed(text).empty()) {
    note->Remove(attribute);
  } else {
    entry.error = Problem(note, attribute, text);
    if (!entry.error.empty()) {
      entry.shown = note->Get(attribute)->AsString();
      return entry;
    }
    note->Set(attribute, Trimmed(text));
  }
  note->HasBeenModified();
  entry.stored = true;
  entry.shown = note->Get(attribute)->AsString();
  return entry;
}

}  // namespace fernweave
