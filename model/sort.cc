#include "model/sort.h"

#include <algorithm>
#include <string>
#include <vector>

#include "model/attribute.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/values.h"

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

int Sign(int c) {
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

// A value's text and transformed text, read once for a sort with a transform instead
// of at every comparison.
struct KeyText {
  bool text_value;  // the value is text: compare `key`, then `text`
  std::string text;
  std::string key;
};

// The order of CompareValues, from texts read up front where there are any.
int CompareKeyed(const SortKey& key, const Value* a, const Value* b, const KeyText* ka,
                 const KeyText* kb) {
  if (ka == nullptr || !ka->text_value) {
    return CompareValues(key, a, b);
  }
  int c = Sign(ka->key.compare(kb->key));
  if (c == 0) {
    c = Sign(ka->text.compare(kb->text));
  }
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
    const KeyText* primary_key;  // null without a transform
    const KeyText* secondary_key;
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
  const size_t count = ChildCount();
  std::vector<KeyText> keys;
  keys.reserve(2 * count);  // never reallocated: items point into it
  auto key_for = [&keys](const SortKey& key, const Value* v) -> const KeyText* {
    if (v == nullptr || key.transformer.kind() == Transformer::Kind::kNone) {
      return nullptr;
    }
    std::string text = v->AsString();
    std::string transformed = key.transformer.Transform(text);
    keys.push_back(KeyText{dynamic_cast<const StringValue*>(v) != nullptr, std::move(text),
                           std::move(transformed)});
    return &keys.back();
  };
  std::vector<Item> items;
  items.reserve(count);
  for (Node* c = Son(); c != nullptr; c = c->Brother()) {
    const Value* p = read(c, primary, copy_primary);
    const Value* s = read(c, secondary, copy_secondary);
    items.push_back(Item{c, p, s, key_for(settings.primary, p), key_for(settings.secondary, s)});
  }
  std::stable_sort(items.begin(), items.end(), [&settings](const Item& a, const Item& b) {
    const int c =
        CompareKeyed(settings.primary, a.primary, b.primary, a.primary_key, b.primary_key);
    if (c != 0) {
      return c < 0;
    }
    if (a.secondary == nullptr || b.secondary == nullptr) {
      return false;
    }
    return CompareKeyed(settings.secondary, a.secondary, b.secondary, a.secondary_key,
                        b.secondary_key) < 0;
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
