// The values a note stores itself: a small vector of (attribute, value) pairs kept in
// attribute-name order (byte-wise), which is the order the file writer emits them in.
// A note typically stores a handful of values, so lookups scan the pointers, which is
// faster than any tree or hash at that size.

#ifndef FERNWEAVE_MODEL_PROPERTY_MAP_H_
#define FERNWEAVE_MODEL_PROPERTY_MAP_H_

#include <cstddef>
#include <utility>
#include <vector>

#include "model/value.h"

namespace fernweave {

class Attribute;

class PropertyMap {
 public:
  struct Entry {
    const Attribute* attribute;
    ValuePtr value;
  };

  PropertyMap() = default;
  PropertyMap(const PropertyMap&) = delete;
  PropertyMap& operator=(const PropertyMap&) = delete;

  // The stored value, or null. Does not own the result.
  const Value* Find(const Attribute* attribute) const {
    for (const Entry& e : entries_) {
      if (e.attribute == attribute) {
        return e.value.get();
      }
    }
    return nullptr;
  }
  bool Has(const Attribute* attribute) const { return Find(attribute) != nullptr; }
  // Stores value (owned), destroying any value stored before. A null value is ignored.
  void Put(const Attribute* attribute, ValuePtr value);
  // Destroys the stored value; returns whether there was one.
  bool Erase(const Attribute* attribute);
  // Destroys every value stored for `attribute` pointers for which pred is true.
  template <typename Pred>
  void EraseIf(Pred pred) {
    std::erase_if(entries_, [&pred](const Entry& e) { return pred(e.attribute); });
  }
  void Clear() { entries_.clear(); }
  // Gives back the room the vector keeps beyond its entries.
  void ShrinkToFit() {
    if (entries_.capacity() != entries_.size()) {
      entries_.shrink_to_fit();
    }
  }
  void Reserve(size_t count) { entries_.reserve(count); }

  size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  // In attribute-name order.
  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_PROPERTY_MAP_H_
