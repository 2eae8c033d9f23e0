#include "model/link_type.h"

#include <algorithm>

#include "foundation/xml_item.h"

namespace fernweave {

LinkStyle::LinkStyle(uint32_t n) {
  switch (n) {
    case 1:
      mask_ = kLinear;
      break;
    case 2:
      mask_ = kVariant;
      break;
    case 3:
      mask_ = kBold | kLinear;
      break;
    case 4:
      mask_ = kBold | kVariant;
      break;
    default:
      mask_ = n;
      break;
  }
}

LinkType LinkType::Named(std::string_view name) {
  LinkType type;
  type.name = std::string(name);
  type.label = type.name;
  type.show_label = type.name != kUntitledLinkType;
  return type;
}

LinkType LinkType::FromXML(const XMLItem& item) {
  LinkType type;
  type.name = item.Get("name");
  type.label = item.Has("label") ? item.Get("label") : type.name;
  type.color = PColor(item.GetColor("color"));
  type.color_string = item.Has("colorString") ? item.Get("colorString") : type.color.ToHex();
  // An absent boolean reads false, as everywhere in the file.
  type.visible = item.GetBoolean("visible");
  type.show_label = item.GetBoolean("showLabel");
  type.style = LinkStyle(static_cast<uint32_t>(item.GetUnsignedLong("style")));
  type.required = item.GetBoolean("required");
  if (type.name == kUntitledLinkType) {
    type.show_label = false;
  }
  return type;
}

const LinkType* LinkTypes::Get(std::string_view name) const {
  for (const std::unique_ptr<LinkType>& type : types_) {
    if (type->name == name) {
      return type.get();
    }
  }
  return nullptr;
}

LinkType* LinkTypes::Get(std::string_view name, bool create) {
  if (const LinkType* found = std::as_const(*this).Get(name)) {
    return const_cast<LinkType*>(found);
  }
  return create ? Add(LinkType::Named(name)) : nullptr;
}

std::string LinkTypes::GetLabel(std::string_view name) const {
  const LinkType* type = Get(name);
  return type != nullptr ? type->label : std::string(name);
}

LinkType* LinkTypes::GetForLabel(std::string_view label, bool create) {
  for (const std::unique_ptr<LinkType>& type : types_) {
    if (type->label == label) {
      return type.get();
    }
  }
  return create ? Get(label, true) : nullptr;
}

LinkType* LinkTypes::Add(const LinkType& type) {
  if (LinkType* existing = Get(type.name, false)) {
    *existing = type;
    return existing;
  }
  types_.push_back(std::make_unique<LinkType>(type));
  return types_.back().get();
}

void LinkTypes::Delete(std::string_view name) {
  // The untitled type stays: links without a name always need it.
  if (name == kUntitledLinkType) {
    return;
  }
  std::erase_if(types_, [name](const std::unique_ptr<LinkType>& t) { return t->name == name; });
}

void LinkTypes::Reset() {
  types_.clear();
  Add(LinkType::Named(kUntitledLinkType));
}

void LinkTypes::Read(const XMLItem& parent) {
  for (XMLItem* item = parent.First("linkType"); item != nullptr; item = item->Next("linkType")) {
    LinkType type = LinkType::FromXML(*item);
    if (!type.name.empty()) {
      Add(type);
    }
  }
}

std::vector<std::string> LinkTypes::MenuLabels() const {
  std::vector<std::string> labels;
  for (const std::unique_ptr<LinkType>& type : types_) {
    if (type->name != kUntitledLinkType) {
      labels.push_back(type->label);
    }
  }
  return labels;
}

}  // namespace fernweave
