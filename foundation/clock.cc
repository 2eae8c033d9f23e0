#include "foundation/clock.h"

#include <time.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "foundation/calendar.h"

namespace fernweave {
namespace {

std::optional<int64_t> pinned_now;

// The wall-clock reading of a Unix time in the process's zone.
int64_t LocalSecondsOfUnixTime(time_t t) {
  struct tm fields = {};
  localtime_r(&t, &fields);
  return SecondsFromFields(fields.tm_year + 1900LL, fields.tm_mon + 1, fields.tm_mday,
                           fields.tm_hour, fields.tm_min, fields.tm_sec);
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

int64_t NowLocalSeconds() {
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
  // Find the Unix time whose local reading is `local_seconds`: let mktime resolve the
  // wall-clock fields (it knows the zone's rules), then read the offset it used.
  const CivilDateTime f = FieldsFromSeconds(local_seconds);
  struct tm fields = {};
  fields.tm_year = static_cast<int>(f.year - 1900);
  fields.tm_mon = f.month - 1;
  fields.tm_mday = f.day;
  fields.tm_hour = f.hour;
  fields.tm_min = f.minute;
  fields.tm_sec = f.second;
  fields.tm_isdst = -1;
  if (mktime(&fields) == static_cast<time_t>(-1)) {
    return 0;
  }
  return static_cast<int>(fields.tm_gmtoff);
}

int GmtOffsetSecondsNow() { return GmtOffsetSecondsAt(NowLocalSeconds()); }

uint64_t Ticks() {
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
