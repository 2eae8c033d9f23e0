// The walk ahead of a scan over the document's notes, shared by agent scans and searches.

#ifndef FERNWEAVE_AGENTS_FETCH_AHEAD_H_
#define FERNWEAVE_AGENTS_FETCH_AHEAD_H_

#include <cstddef>

#include "model/node.h"
#include "model/property_map.h"

namespace fernweave {

// Notes lie scattered in memory, and examining one mostly waits for it, its stored
// entries and its values to arrive. Fetched in stages ahead of the walk (the values of
// `next`, the entries of the note after it in document order, the note after that),
// they arrive while earlier notes are examined. Hints only: nothing is read beyond the
// live tree. Call it with the note the walk examines next.
inline void FetchAhead(const Node* next) {
  for (const PropertyMap::Entry& e : next->Properties().entries()) {
    __builtin_prefetch(e.value.get());
  }
  const Node* second = next->Next();
  if (second == nullptr) {
    return;
  }
  __builtin_prefetch(second->Properties().entries().data());
  if (const Node* third = second->Next()) {
    const char* bytes = reinterpret_cast<const char*>(third);
    for (size_t at = 0; at < sizeof(Node); at += 64) {
      __builtin_prefetch(bytes + at);
    }
  }
}

}  // namespace fernweave

#endif  // FERNWEAVE_AGENTS_FETCH_AHEAD_H_
