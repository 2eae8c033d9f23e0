// How often the process has read the wall clock. Work that must know whether its
// result depends on the moment it ran (an export deciding whether its pages can be
// reused) compares two readings of the count taken before and after the work.

#ifndef FERNWEAVE_FOUNDATION_CLOCK_READS_H_
#define FERNWEAVE_FOUNDATION_CLOCK_READS_H_

#include <cstdint>

namespace fernweave {

// How many times "now" (NowLocalSeconds, foundation/clock.h) has been read in this
// process, by any thread, pinned or not.
uint64_t NowReadCount();

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_CLOCK_READS_H_
