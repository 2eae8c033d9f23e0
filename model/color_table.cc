#include "model/color_table.h"

#include "foundation/xml_item.h"
#include "foundation/xml_reader.h"
#include "model/config.h"

namespace fernweave {
namespace {

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) {
    return {};
  }
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

char LowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) {
    return false;
  }
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

size_t ColorTable::IndexOf(std::string_view name) const {
  const std::string_view key = TrimBlanks(name);
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (SameName(entries_[i].name, key)) {
      return i;
    }
  }
  return entries_.size();
}

void ColorTable::Add(std::string_view name, const PColor& color) {
  const std::string_view key = TrimBlanks(name);
  if (key.empty()) {
    return;
  }
  const size_t i = IndexOf(key);
  if (i < entries_.size()) {
    entries_[i].color = color;
  } else {
    entries_.push_back(Entry{std::string(key), color});
  }
}

const PColor* ColorTable::Find(std::string_view name) const {
  const size_t i = IndexOf(name);
  return i < entries_.size() ? &entries_[i].color : nullptr;
}

bool ColorTable::Resolve(std::string_view text, PColor* color) const {
  PColor parsed = *color;
  if (parsed.FromString(TrimBlanks(text))) {
    *color = parsed;
    return true;
  }
  if (const PColor* named = Find(text)) {
    *color = *named;
    return true;
  }
  return false;
}

size_t ColorTable::ReadXML(const XMLItem& colors) {
  size_t added = 0;
  for (const XMLItem* c = colors.First("color"); c != nullptr; c = c->Next("color")) {
    const std::string_view name = TrimBlanks(c->Get("name"));
    // A table entry must be a real colour: "transparent" carries no channels.
    const std::string_view value = TrimBlanks(c->Get("color"));
    PColor color;
    if (name.empty() || value == "transparent" || !color.FromString(value)) {
      continue;
    }
    Add(name, color);
    ++added;
  }
  return added;
}

bool ColorTable::ReadFile(const std::filesystem::path& file) {
  XMLReader reader;
  if (!ReadXMLFile(file, &reader)) {
    return false;
  }
  ReadXML(*reader.root());
  return true;
}

}  // namespace fernweave
