// Sorting a container's children by its sort settings: the primary attribute named by
// `Sort` and the secondary one named by `SortAlso`, each optionally backward
// (`SortBackward`, `SortBackwardAlso`) and compared through a transform
// (`SortTransform`, `SortAlsoTransform`: "lowercase" or "case-insensitive" compare
// lower-cased texts, "last word" the last words, anything else the texts unchanged).
// Numbers and dates compare numerically whatever the transform. The sort is stable.

#ifndef FERNWEAVE_MODEL_SORT_H_
#define FERNWEAVE_MODEL_SORT_H_

#include "model/transformer.h"

namespace fernweave {

class Attribute;
class Node;

// One sort key: an attribute, its transform and direction.
struct SortKey {
  const Attribute* attribute = nullptr;  // null: no key
  Transformer transformer;
  bool backward = false;
};

// The keys the container's settings ask for. The primary key is null when `Sort` does
// not name a valid attribute; the secondary one when `SortAlso` does not.
struct SortSettings {
  SortKey primary;
  SortKey secondary;

  static SortSettings For(const Node& container);
};

// Compares the effective values of a and b under the key: negative when a sorts
// first (after the direction is applied), zero when the key cannot tell them apart.
int CompareBy(const SortKey& key, const Node& a, const Node& b);

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_SORT_H_
