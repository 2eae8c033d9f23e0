#include "foundation/heap_growth.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

namespace fernweave {
namespace {

// The size of a large page, and the step the heap grows by meanwhile.
constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
constexpr int kGrowthStep = 32 << 20;
// The C library's own step, restored afterwards.
constexpr int kDefaultStep = 128 << 10;

uintptr_t HeapEnd() {
  return reinterpret_cast<uintptr_t>(::sbrk(0));
}

}  // namespace

HeapGrowth::HeapGrowth() : advised_end_(HeapEnd()) {
#ifdef M_TOP_PAD
  ::mallopt(M_TOP_PAD, kGrowthStep);
#endif
}

HeapGrowth::~HeapGrowth() {
#ifdef M_TOP_PAD
  ::mallopt(M_TOP_PAD, kDefaultStep);
#endif
}

void HeapGrowth::Advise() {
  if (!supported_) {
    return;
  }
  const uintptr_t end = HeapEnd();
  if (end <= advised_end_) {
    // Unchanged, or the heap gave memory back: follow it down.
    advised_end_ = end;
    return;
  }
#ifdef MADV_HUGEPAGE
  // From the first large page the heap did not reach before: the part below it was
  // in use already and stays in small pages.
  const uintptr_t start = (advised_end_ + kLargePage - 1) & ~(kLargePage - 1);
  if (start < end &&
      ::madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE) != 0) {
    supported_ = false;
  }
#else
  supported_ = false;
#endif
  advised_end_ = end;
}

}  // namespace fernweave
