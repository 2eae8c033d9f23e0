#include "foundation/xml_item.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "foundation/error.h"

namespace fernweave {
namespace {

const std::string& EmptyString() {
  static const std::string empty;
  return empty;
}

// Skips leading white space and a '+' sign, which from_chars does not accept.
std::string_view NumberStart(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) {
    ++i;
  }
  text.remove_prefix(i);
  if (!text.empty() && text[0] == '+') {
    text.remove_prefix(1);
  }
  return text;
}

// The leading decimal number of the text; 0 when there is none or it is out of range.
template <typename Number>
Number ReadNumber(std::string_view text) {
  text = NumberStart(text);
  Number value{};
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  (void)end;
  return error == std::errc() ? value : Number{};
}

}  // namespace

void XMLAttributes::Add(const std::vector<std::string>& names,
                        const std::vector<std::string>& values) {
  Require(names.size() == values.size(), "XMLAttributes::Add needs parallel lists");
  for (size_t i = 0; i < names.size(); ++i) {
    Add(names[i], values[i]);
  }
}

void XMLAttributes::Add(const std::string& name, const std::string& value) {
  auto it = std::lower_bound(
      entries_.begin(), entries_.end(), name,
      [](const Entry& entry, const std::string& key) { return entry.first < key; });
  if (it != entries_.end() && it->first == name) {
    it->second = value;
  } else {
    entries_.emplace(it, name, value);
  }
}

void XMLAttributes::AddParsed(std::string_view name, std::string_view value) {
  // Most elements list their attributes in order already: they go on the end.
  if (entries_.empty() || std::string_view(entries_.back().first) < name) {
    entries_.emplace_back(name, value);
    return;
  }
  auto it = std::lower_bound(
      entries_.begin(), entries_.end(), name,
      [](const Entry& entry, std::string_view key) { return std::string_view(entry.first) < key; });
  if (it != entries_.end() && it->first == name) {
    it->second.assign(value);
  } else {
    entries_.emplace(it, name, value);
  }
}

XMLAttributes::const_iterator XMLAttributes::Find(std::string_view name) const {
  auto it = std::lower_bound(
      entries_.begin(), entries_.end(), name,
      [](const Entry& entry, std::string_view key) { return std::string_view(entry.first) < key; });
  return it != entries_.end() && it->first == name ? it : entries_.end();
}

const std::string& XMLAttributes::Get(std::string_view name) const {
  auto it = Find(name);
  return it != entries_.end() ? it->second : EmptyString();
}

bool XMLAttributes::Has(std::string_view name) const {
  return Find(name) != entries_.end();
}

std::vector<std::string> XMLAttributes::GetAttributeList() const {
  std::vector<std::string> names;
  names.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    names.push_back(entry.first);
  }
  return names;
}

XMLItem::XMLItem(std::string kind, std::string name_space)
    : kind_(std::move(kind)), namespace_(std::move(name_space)) {}

XMLItem::~XMLItem() {
  // A file may nest elements thousands deep; recursion through the children's
  // destructors could overflow the stack. Each item's children are detached before it
  // is deleted, so every destructor below this one finds no children.
  std::vector<XMLItem*> pending;
  TakeChildren(&pending);
  while (!pending.empty()) {
    XMLItem* item = pending.back();
    pending.pop_back();
    item->TakeChildren(&pending);
    delete item;
  }
}

void XMLItem::TakeChildren(std::vector<XMLItem*>* out) {
  for (XMLItem* child = first_child_; child != nullptr; child = child->brother_) {
    out->push_back(child);
  }
  first_child_ = nullptr;
  last_child_ = nullptr;
  children_ = 0;
}

XMLItem* XMLItem::First(std::string_view kind) const {
  for (XMLItem* child = first_child_; child != nullptr; child = child->brother_) {
    if (child->Is(kind)) {
      return child;
    }
  }
  return nullptr;
}

XMLItem* XMLItem::Next(std::string_view kind) const {
  for (XMLItem* sibling = brother_; sibling != nullptr; sibling = sibling->brother_) {
    if (sibling->Is(kind)) {
      return sibling;
    }
  }
  return nullptr;
}

size_t XMLItem::Descendants() const {
  size_t count = 0;
  std::vector<const XMLItem*> pending = {this};
  while (!pending.empty()) {
    const XMLItem* item = pending.back();
    pending.pop_back();
    for (XMLItem* child = item->first_child_; child != nullptr; child = child->brother_) {
      ++count;
      pending.push_back(child);
    }
  }
  return count;
}

const std::string& XMLItem::Text() const {
  SyncText();
  return text_is_unicode_ ? unicode_text_ : text_;
}

long XMLItem::TextAsInt() const {
  return ReadNumber<long>(Text());
}

void XMLItem::SetAttributes(const char** pairs) {
  if (pairs == nullptr) {
    return;
  }
  size_t count = 0;
  while (pairs[2 * count] != nullptr && pairs[2 * count + 1] != nullptr) {
    ++count;
  }
  attributes_.Reserve(attributes_.size() + count);
  for (; pairs[0] != nullptr && pairs[1] != nullptr; pairs += 2) {
    attributes_.AddParsed(pairs[0], pairs[1]);
  }
}

void XMLItem::AddAttribute(const std::string& name, const std::string& value) {
  attributes_.Add(name, value);
}

void XMLItem::SyncText() const {
  if (converted_ == unicode_text_.size()) {
    return;
  }
  std::string_view pending = std::string_view(unicode_text_).substr(converted_);
  if (text_is_unicode_) {
    bool ascii = std::all_of(pending.begin(), pending.end(),
                             [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii) {
      converted_ = unicode_text_.size();
      return;
    }
    // From here on the two texts differ.
    text_.assign(unicode_text_, 0, converted_);
    text_is_unicode_ = false;
  }
  text_ += inputConverter().FromUnicode(pending);
  converted_ = unicode_text_.size();
}

long XMLItem::GetLong(std::string_view name) const {
  return ReadNumber<long>(Get(name));
}

unsigned long XMLItem::GetUnsignedLong(std::string_view name) const {
  return ReadNumber<unsigned long>(Get(name));
}

double XMLItem::GetDouble(std::string_view name) const {
  return ReadNumber<double>(Get(name));
}

RGBColor XMLItem::GetColor(std::string_view name) const {
  return ColorFromHex(Get(name)).value_or(RGBColor{});
}

bool XMLItem::GetBoolean(std::string_view name) const {
  const std::string& value = Get(name);
  if (value == "true" || value == "1") {
    return true;
  }
  if (value.empty() || value == "false" || value == "0") {
    return false;
  }
  return ReadNumber<long>(value) != 0;
}

XMLItem* XMLItem::AddChild(std::unique_ptr<XMLItem> child) {
  XMLItem* item = RequireNotNull(child.release(), "XMLItem::AddChild needs a child");
  item->parent_ = this;
  item->elder_brother_ = last_child_;
  item->brother_ = nullptr;
  if (last_child_ != nullptr) {
    last_child_->brother_ = item;
  } else {
    first_child_ = item;
  }
  last_child_ = item;
  ++children_;
  return item;
}

std::unique_ptr<XMLItem> XMLItem::DetachLastChild() {
  XMLItem* child = last_child_;
  if (child == nullptr) {
    return nullptr;
  }
  last_child_ = child->elder_brother_;
  if (last_child_ != nullptr) {
    last_child_->brother_ = nullptr;
  } else {
    first_child_ = nullptr;
  }
  --children_;
  child->parent_ = nullptr;
  child->elder_brother_ = nullptr;
  // Its destructor frees the subtree without recursion.
  return std::unique_ptr<XMLItem>(child);
}

void XMLItem::Reuse(std::string_view kind, std::string_view name_space) {
  Require(parent_ == nullptr && first_child_ == nullptr,
          "XMLItem::Reuse: the item is in a tree or holds one");
  kind_.assign(kind);
  namespace_.assign(name_space);
  attributes_.ClearKeepingRoom();
  unicode_text_.clear();
  text_.clear();
  converted_ = 0;
  text_is_unicode_ = true;
}

Unicoder& XMLItem::inputConverter() {
  static Unicoder converter(UnicodeForm::kUTF8, TextEncoding::kMacRoman);
  return converter;
}

}  // namespace fernweave
