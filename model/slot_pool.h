// Fixed-size slots for the many small objects a document holds (attribute values).
// Each size up to kLargestSlot bytes has its own free list, fed from slabs of
// kSlabBytes, so a small object costs its own size rounded up to 8 bytes and no heap
// header, and making or dropping one is a push or pop on a list. Slabs are kept for
// reuse once their objects are gone and never given back, so the memory a pool holds
// is that of the most objects it ever held at once.
//
// A pool is safe to share between threads (one lock per call). Larger sizes go to the
// general heap.

#ifndef FERNWEAVE_MODEL_SLOT_POOL_H_
#define FERNWEAVE_MODEL_SLOT_POOL_H_

#include <array>
#include <cstddef>
#include <mutex>
#include <vector>

namespace fernweave {

class SlotPool {
 public:
  static constexpr size_t kLargestSlot = 64;
  static constexpr size_t kSlabBytes = 64 * 1024;

  SlotPool() = default;
  // Frees the slabs. REQUIRES: no object of the pool is still in use.
  ~SlotPool();
  SlotPool(const SlotPool&) = delete;
  SlotPool& operator=(const SlotPool&) = delete;

  // Room for `size` bytes, aligned for any object of that size up to 8-byte alignment.
  // Throws std::bad_alloc like operator new.
  void* Allocate(size_t size);
  // REQUIRES: p came from Allocate(size) of this pool, with the same size, and is not
  // in use any more. A null p is ignored.
  void Free(void* p, size_t size);

  // The slabs made so far, and the bytes of slots handed out and not yet freed (for
  // tests and memory accounting).
  size_t SlabCount() const;
  size_t BytesInUse() const;

 private:
  struct FreeSlot {
    FreeSlot* next;
  };
  static constexpr size_t kClasses = kLargestSlot / 8;

  mutable std::mutex mutex_;
  std::array<FreeSlot*, kClasses> free_{};
  // The slab being cut into slots, and how much of it is still uncut.
  char* cutting_ = nullptr;
  size_t uncut_ = 0;
  std::vector<void*> slabs_;
  size_t in_use_ = 0;
};

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_SLOT_POOL_H_
