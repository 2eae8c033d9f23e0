#include "model/slot_pool.h"

#include <new>

// Free slots are poisoned for AddressSanitizer, so a use after free is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define FW_POOL_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FW_POOL_ASAN 1
#endif
#endif

#ifdef FW_POOL_ASAN
#include <sanitizer/asan_interface.h>
#define FW_POISON(p, n) ASAN_POISON_MEMORY_REGION((p), (n))
#define FW_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION((p), (n))
#else
#define FW_POISON(p, n) ((void)(p), (void)(n))
#define FW_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace fernweave {
namespace {

size_t SlotSize(size_t size) {
  return size == 0 ? 8 : (size + 7) & ~size_t{7};
}

}  // namespace

SlotPool::~SlotPool() {
  for (void* slab : slabs_) {
    FW_UNPOISON(slab, kSlabBytes);
    ::operator delete(slab);
  }
}

void* SlotPool::Allocate(size_t size) {
  if (size > kLargestSlot) {
    return ::operator new(size);
  }
  const size_t slot = SlotSize(size);
  std::lock_guard<std::mutex> lock(mutex_);
  FreeSlot*& head = free_[slot / 8 - 1];
  if (head != nullptr) {
    FreeSlot* p = head;
    FW_UNPOISON(p, slot);
    head = p->next;
    in_use_ += slot;
    return p;
  }
  if (uncut_ < slot) {
    // The rest of the old slab (less than one slot of this size) stays unused.
    cutting_ = static_cast<char*>(::operator new(kSlabBytes));
    FW_POISON(cutting_, kSlabBytes);
    slabs_.push_back(cutting_);
    uncut_ = kSlabBytes;
  }
  void* p = cutting_;
  cutting_ += slot;
  uncut_ -= slot;
  in_use_ += slot;
  FW_UNPOISON(p, slot);
  return p;
}

void SlotPool::Free(void* p, size_t size) {
  if (p == nullptr) {
    return;
  }
  if (size > kLargestSlot) {
    ::operator delete(p);
    return;
  }
  const size_t slot = SlotSize(size);
  std::lock_guard<std::mutex> lock(mutex_);
  FreeSlot*& head = free_[slot / 8 - 1];
  auto* freed = static_cast<FreeSlot*>(p);
  freed->next = head;
  head = freed;
  in_use_ -= slot;
  FW_POISON(p, slot);
}

size_t SlotPool::SlabCount() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return slabs_.size();
}

size_t SlotPool::BytesInUse() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return in_use_;
}

}  // namespace fernweave
