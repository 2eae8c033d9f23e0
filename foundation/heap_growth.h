// `HeapGrowth` asks the system to back the memory a large read adds to the process's
// heap with large pages. Building a large document fills fresh memory page after
// page, and on a virtual machine the first touch of each small page is costly: for a
// 100 MB document the faults took a third as long as parsing the file. A large page is
// one fault for 512 small ones.
//
// While it lives, the heap grows in steps of at least one large page, so that each
// step can be backed by whole large pages; it only follows the heap's break (where the
// allocator grows the heap it extends). Where the system has no large pages, or the
// allocator grows the heap otherwise, it changes nothing.

#ifndef FERNWEAVE_FOUNDATION_HEAP_GROWTH_H_
#define FERNWEAVE_FOUNDATION_HEAP_GROWTH_H_

#include <cstdint>

namespace fernweave {

class HeapGrowth {
 public:
  // Starts from the heap's present end.
  HeapGrowth();
  // Lets the heap grow in small steps again.
  ~HeapGrowth();
  HeapGrowth(const HeapGrowth&) = delete;
  HeapGrowth& operator=(const HeapGrowth&) = delete;

  // Asks for large pages over what the heap gained since the last call. Cheap when
  // the heap has not grown: call it as often as every note.
  void Advise();

 private:
  uintptr_t advised_end_;
  bool supported_ = true;
};

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_HEAP_GROWTH_H_
