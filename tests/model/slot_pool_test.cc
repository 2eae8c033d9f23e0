// The pool behind attribute values: slots are reused by size, large requests go to
// the heap, and the bytes in use are counted. (Under AddressSanitizer values use the
// heap; the pool itself is tested here, with its free slots poisoned.)

#include "model/slot_pool.h"

#include <cstdint>
#include <cstring>
#include <set>
#include <vector>

#include <gtest/gtest.h>


namespace fernweave {
namespace {

TEST(SlotPoolTest, SlotsAreReusedBySizeAndCounted) {
  SlotPool pool;
  void* a = pool.Allocate(24);
  void* b = pool.Allocate(20);  // rounds up to the same slot size as 24
  EXPECT_NE(a, b);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % 8, 0u);
  EXPECT_EQ(pool.BytesInUse(), 48u);
  std::memset(a, 0xAB, 24);
  std::memset(b, 0xCD, 24);
  pool.Free(a, 24);
  EXPECT_EQ(pool.BytesInUse(), 24u);
  // The freed slot comes back for the same size, not for another one.
  void* other = pool.Allocate(40);
  EXPECT_NE(other, a);
  EXPECT_EQ(pool.Allocate(17), a);
  EXPECT_EQ(pool.SlabCount(), 1u);
  pool.Free(a, 17);
  pool.Free(b, 20);
  pool.Free(other, 40);
  pool.Free(nullptr, 8);
  EXPECT_EQ(pool.BytesInUse(), 0u);
}

TEST(SlotPoolTest, ManySlotsFillNewSlabsAndLargeOnesUseTheHeap) {
  SlotPool pool;
  std::vector<void*> slots;
  std::set<void*> distinct;
  const size_t count = 3 * SlotPool::kSlabBytes / 64;
  for (size_t i = 0; i < count; ++i) {
    slots.push_back(pool.Allocate(64));
    std::memset(slots.back(), static_cast<int>(i), 64);
    distinct.insert(slots.back());
  }
  EXPECT_EQ(distinct.size(), count);
  EXPECT_EQ(pool.SlabCount(), 3u);
  void* large = pool.Allocate(SlotPool::kLargestSlot + 1);
  std::memset(large, 0, SlotPool::kLargestSlot + 1);
  EXPECT_EQ(pool.SlabCount(), 3u);
  EXPECT_EQ(pool.BytesInUse(), count * 64);
  pool.Free(large, SlotPool::kLargestSlot + 1);
  for (void* p : slots) {
    pool.Free(p, 64);
  }
  EXPECT_EQ(pool.BytesInUse(), 0u);
}

}  // namespace
}  // namespace fernweave
