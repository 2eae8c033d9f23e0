#ifndef FERNWEAVE_FOUNDATION_CLOCK_H_
#define FERNWEAVE_FOUNDATION_CLOCK_H_

#include <cstdint>
#include <optional>
#include <string>

namespace fernweave {

// The platform time service. "Now" is the local wall-clock reading in seconds since
// 1904-01-01 00:00. The environment variable FERNWEAVE_NOW (ISO 8601 local time such as
// "2009-05-03T09:05:07") pins it for tests and reproducible runs; tests may also pin it
// with SetNowForTesting, which wins over the environment.

// The current local wall-clock time in whole seconds since 1904.
int64_t NowLocalSeconds();

// The zone's offset from GMT, in seconds, at the local wall-clock reading `local_seconds`
// (east positive, so New York in summer gives -14400). Uses the TZ of the process.
int GmtOffsetSecondsAt(int64_t local_seconds);

// The offset from GMT now (at the pinned time when "now" is pinned).
int GmtOffsetSecondsNow();

// Sixtieths of a second since the process started; never goes backwards.
uint64_t Ticks();

// Sleeps `ticks` sixtieths of a second (nothing for 0 or less).
void SleepTicks(int ticks);

// Pins "now" to `local_seconds`, or unpins it with std::nullopt.
void SetNowForTesting(std::optional<int64_t> local_seconds);

// Reads "YYYY-MM-DDTHH:MM:SS" (the seconds, or the whole time, may be left out) as a
// local wall-clock reading. Returns std::nullopt when the text is not of that form.
std::optional<int64_t> ParseClockOverride(const std::string& text);

}  // namespace fernweave

#endif  // FERNWEAVE_FOUNDATION_CLOCK_H_
