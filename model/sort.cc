#include "model/sort.h"

#include <algorithm>
#include <vector>

#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node.h"

namespace fernweave {
namespace {

SortKey KeyFor(const Node& container, std::string_view attribute, std::string_view backward,
               std::string_view transform) {
  SortKey key;
  const std::string name = container.GetString(attribute);
  if (!name.empty() && container.HasAttribute(name)) {
    key.attribute = container.GetAttribute(name);
  }
  key.backward = container.GetBoolean(backward);
  key.transformer = Transformer::Named(container.GetString(transform));
  return key;
}

int CompareValues(const SortKey& key, const Value* a, const Value* b) {
  const int c = a->compare(*b, key.transformer);
  return key.backward ? -c : c;
}

}  // namespace

SortSettings SortSettings::For(const Node& container) {
  SortSettings settings;
  settings.primary = KeyFor(container, "Sort", "SortBackward", "SortTransform");
  settings.secondary = KeyFor(container, "SortAlso", "SortBackwardAlso", "SortAlsoTransform");
  return settings;
}

int CompareBy(const SortKey& key, const Node& a, const Node& b) {
  if (key.attribute == nullptr) {
    return 0;
  }
  return CompareValues(key, a.Get(key.attribute), b.Get(key.attribute));
}

bool Node::SortNow() {
  if (Son() == nullptr || Son()->Brother() == nullptr) {
    return false;
  }
  const SortSettings settings = SortSettings::For(*this);
  if (settings.primary.attribute == nullptr) {
    return false;
  }
  // Read every child's values once: nothing changes while sorting, and a lookup per
  // comparison would dominate the sort.
  struct Item {
    Node* node;
    const Value* primary;
    const Value* secondary;
  };
  // A computed attribute replaces its result at the next read, so those results are
  // copied; every other value stays put while the children are only reordered.
  const Attribute* primary = settings.primary.attribute;
  const Attribute* secondary = settings.secondary.attribute;
  const bool copy_primary = primary->ComputesValues();
  const bool copy_secondary = secondary != nullptr && secondary->ComputesValues();
  std::vector<ValuePtr> copies;
  auto read = [&copies](const Node* n, const Attribute* a, bool copy) -> const Value* {
    if (a == nullptr) {
      return nullptr;
    }
    const Value* v = n->Get(a);
    if (!copy) {
      return v;
    }
    copies.push_back(v->Clone());
    return copies.back().get();
  };
  std::vector<Item> items;
  for (Node* c = Son(); c != nullptr; c = c->Brother()) {
    items.push_back(Item{c, read(c, primary, copy_primary), read(c, secondary, copy_secondary)});
  }
  std::stable_sort(items.begin(), items.end(), [&settings](const Item& a, const Item& b) {
    const int c = CompareValues(settings.primary, a.primary, b.primary);
    if (c != 0) {
      return c < 0;
    }
    if (a.secondary == nullptr || b.secondary == nullptr) {
      return false;
    }
    return CompareValues(settings.secondary, a.secondary, b.secondary) < 0;
  });
  std::vector<Tree*> order;
  order.reserve(items.size());
  for (const Item& item : items) {
    order.push_back(item.node);
  }
  SetChildOrder(order);
  return true;
}

void Hypertext::UpdateSorting() {
  StChanges changes(this);
  for (Node* n = Root(); n != nullptr; n = n->Next()) {
    if (n->SortNow()) {
      n->Changed(facet::kChildren);
    }
  }
}

}  // namespace fernweave
