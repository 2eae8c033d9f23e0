#include "model/property_map.h"

#include <algorithm>

#include "model/attribute.h"

namespace fernweave {

void PropertyMap::Put(const Attribute* attribute, ValuePtr value) {
  if (value == nullptr) {
    return;
  }
  for (Entry& e : entries_) {
    if (e.attribute == attribute) {
      e.value = std::move(value);
      return;
    }
  }
  auto pos = std::lower_bound(
      entries_.begin(), entries_.end(), attribute->Name(),
      [](const Entry& e, const std::string& name) { return e.attribute->Name() < name; });
  entries_.insert(pos, Entry{attribute, std::move(value)});
}

bool PropertyMap::Erase(const Attribute* attribute) {
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->attribute == attribute) {
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

}  // namespace fernweave
