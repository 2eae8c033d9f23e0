#ifndef FERNWEAVE_FOUNDATION_CLOCK_H_
#define FERNWEAVE_FOUNDATION_CLOCK_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace fernweave {

// The platform time service. "Now" is the local wall-clock reading in seconds since
// 1904-01-01 00:00. The environment variable FERNWEAVE_NOW (ISO 8601 local time such as
// "2009-05-03T09:05:07") pins it for tests and reproducible runs; tests may also pin it
// with SetNowForTesting, which wins over the environment.

// The current local wall-clock time in whole seconds since 1904.
int64_t NowLocalSeconds();

// The zone's offset from GMT, in seconds, at the local wall-clock reading `local_seconds`
// (east positive, so New York in summer gives -14400). Uses the TZ of the process. A
// reading the clock passed twice (set back) or skipped (set forward) gets the offset in
// effect before the change, whatever was asked before.
int GmtOffsetSecondsAt(int64_t local_seconds);

// Zone offsets for many wall-clock readings in a row, such as the dates of a document
// being saved. At() gives what GmtOffsetSecondsAt gives. Readings in the same hour share
// the lookups of the offset three hours before that hour and three hours after it; when
// the two agree, the hour keeps that offset. Readings near a change of offset, where a
// wall-clock reading may be skipped or repeated, are looked up one by one. Keep a cache
// only while the zone stays the same: it never rereads TZ.
class ZoneOffsetCache {
 public:
  int At(int64_t local_seconds);

 private:
  // The mark of an hour near a change of offset; no zone is this far from GMT.
  static constexpr int kNearChange = -1000000;
  // No hour at all: the cache covers years 1 to 9999 only.
  static constexpr int64_t kNoHour = INT64_MIN;
  static constexpr size_t kSlots = 4096;

  struct Slot {
    int64_t hour;  // hours since 1904
    int offset;    // the offset known to hold for the whole hour, or kNearChange
  };
  // Direct-mapped by hour; made on first use.
  std::vector<Slot> slots_;
};

// The offset from GMT now (at the pinned time when "now" is pinned).
int GmtOffsetSecondsNow();

// Sixtieths of a second since the process started; never goes backwards.
uint64_t Ticks();

// Makes Ticks answer from `source` (a clock a test advances by hand); an empty function
// restores the real clock.
void SetTicksForTesting(std::function<uint64_t()> source);

// Sleeps `ticks` sixtieths of a second (nothing for 0 or less).
void SleepTicks(int ticks);

// Pins "now" to `local_seconds`, or unpins it with std::nullopt.
void SetNowForTesting(std::optional<int64_t> local_seconds);

// Reads "YYYY-MM-DDTHH:MM:SS" (the seconds, or the whole time, may be left out) as a
// local wall-clock reading. Returns std::nullopt when the text is not of that form.
std::optional<int64_t> ParseClockOverride(const std::string& text);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_CLOCK_H_
