#include "foundation/clock.h"

#include <time.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

#include "foundation/calendar.h"
#include "foundation/clock_reads.h"

namespace fernweave {
namespace {

std::optional<int64_t> pinned_now;
std::atomic<uint64_t> now_reads{0};

// The wall-clock reading of a Unix time in the process's zone.
int64_t LocalSecondsOfUnixTime(time_t t) {
  struct tm fields = {};
  localtime_r(&t, &fields);
  return SecondsFromFields(fields.tm_year + 1900LL, fields.tm_mon + 1, fields.tm_mday,
                           fields.tm_hour, fields.tm_min, fields.tm_sec);
}

constexpr int64_t kDay = 86400;

// The zone's offset from GMT at a Unix time; nothing when the time is out of range.
std::optional<int> OffsetOfUnixTime(int64_t unix_seconds) {
  const time_t t = static_cast<time_t>(unix_seconds);
  struct tm fields = {};
  if (localtime_r(&t, &fields) == nullptr) {
    return std::nullopt;
  }
  return static_cast<int>(fields.tm_gmtoff);
}

}  // namespace

std::optional<int64_t> ParseClockOverride(const std::string& text) {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  int consumed = 0;
  const int n = std::sscanf(text.c_str(), "%d-%d-%dT%d:%d:%d%n", &year, &month, &day, &hour,
                            &minute, &second, &consumed);
  if (n < 3 || month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 ||
      minute < 0 || minute > 59 || second < 0 || second > 60) {
    return std::nullopt;
  }
  return SecondsFromFields(year, month, day, hour, minute, second);
}

uint64_t NowReadCount() { return now_reads.load(std::memory_order_relaxed); }

int64_t NowLocalSeconds() {
  now_reads.fetch_add(1, std::memory_order_relaxed);
  if (pinned_now) {
    return *pinned_now;
  }
  if (const char* env = std::getenv("FERNWEAVE_NOW"); env != nullptr && *env != '\0') {
    if (std::optional<int64_t> seconds = ParseClockOverride(env)) {
      return *seconds;
    }
  }
  return LocalSecondsOfUnixTime(time(nullptr));
}

int GmtOffsetSecondsAt(int64_t local_seconds) {
  // The offset o is right for the reading when the instant reading - o has offset o.
  // Where the zone's offset changed, a reading may have two such instants (the clock
  // was set back) or none (the clock skipped it). Both are settled the same way, and
  // never by what an earlier call happened to ask: the offset in effect before the
  // change. Offsets stay within a day of GMT, so a day before and after the reading
  // taken as GMT lie on either side of a change close to it.
  const int64_t as_gmt = local_seconds - kSecondsFrom1904To1970;
  const std::optional<int> before = OffsetOfUnixTime(as_gmt - kDay);
  const std::optional<int> after = OffsetOfUnixTime(as_gmt + kDay);
  if (!before.has_value() || !after.has_value()) {
    return 0;
  }
  const auto fits = [as_gmt](int offset) { return OffsetOfUnixTime(as_gmt - offset) == offset; };
  if (fits(*before)) {
    return *before;
  }
  if (*after != *before && fits(*after)) {
    return *after;
  }
  // Two changes within a day of each other: the offset the instant itself suggests.
  const std::optional<int> near = OffsetOfUnixTime(as_gmt - *before);
  if (near.has_value() && fits(*near)) {
    return *near;
  }
  return *before;
}

int ZoneOffsetCache::At(int64_t local_seconds) {
  constexpr int64_t kHour = 3600;
  constexpr int64_t kMargin = 3 * kHour;
  // Hours are shared only in years 1 to 9999; readings outside them are rare enough to
  // be looked up one by one.
  static const int64_t kFirst = SecondsFromFields(1, 1, 1, 0, 0, 0) + kMargin + kHour;
  static const int64_t kLast = SecondsFromFields(9999, 12, 31, 0, 0, 0) - kMargin - kHour;
  if (local_seconds < kFirst || local_seconds > kLast) {
    return GmtOffsetSecondsAt(local_seconds);
  }
  // The hour that holds the reading, rounded towards the past.
  const int64_t hour =
      local_seconds >= 0 ? local_seconds / kHour : -((-local_seconds + kHour - 1) / kHour);
  if (slots_.empty()) {
    slots_.assign(kSlots, Slot{kNoHour, 0});
  }
  Slot& slot = slots_[static_cast<uint64_t>(hour) % kSlots];
  if (slot.hour != hour) {
    // With one offset from three hours before the hour to three hours after it, no
    // change of offset lies near the hour, and every reading in it has that offset. An
    // hour that met another in its slot is simply worked out again.
    const int64_t start = hour * kHour;
    const int before = GmtOffsetSecondsAt(start - kMargin);
    const int after = GmtOffsetSecondsAt(start + kHour - 1 + kMargin);
    slot = Slot{hour, before == after ? before : kNearChange};
  }
  return slot.offset != kNearChange ? slot.offset : GmtOffsetSecondsAt(local_seconds);
}

int GmtOffsetSecondsNow() { return GmtOffsetSecondsAt(NowLocalSeconds()); }

namespace {
std::function<uint64_t()>& TickSource() {
  static std::function<uint64_t()> source;
  return source;
}
}  // namespace

void SetTicksForTesting(std::function<uint64_t()> source) { TickSource() = std::move(source); }

uint64_t Ticks() {
  if (TickSource()) {
    return TickSource()();
  }
  static const auto start = std::chrono::steady_clock::now();
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * 60 / 1000000);
}

void SleepTicks(int ticks) {
  if (ticks <= 0) {
    return;
  }
  std::this_thread::sleep_for(std::chrono::microseconds(ticks * 1000000LL / 60));
}

void SetNowForTesting(std::optional<int64_t> local_seconds) { pinned_now = local_seconds; }

}  // namespace fernweave
