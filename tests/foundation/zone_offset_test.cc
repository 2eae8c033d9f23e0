// Zone offsets looked up through ZoneOffsetCache agree with direct lookups everywhere,
// above all across changes of offset where a wall-clock reading is skipped or repeated;
// and the file form of dates built by hand agrees with its own definition.

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "foundation/calendar.h"
#include "foundation/clock.h"
#include "foundation/stime.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

// Every quarter hour (plus some odd seconds) of the days around each given date, read
// twice through one cache, in order and then backwards.
void CheckAround(const char* zone, std::initializer_list<int64_t> changes) {
  test::ScopedTimeZone scoped(zone);
  ZoneOffsetCache cache;
  for (int64_t change : changes) {
    for (int pass = 0; pass < 2; ++pass) {
      for (int64_t step = -2 * 96; step <= 2 * 96; ++step) {
        const int64_t t = change + (pass == 0 ? step : -step) * 900 + (step % 3 == 0 ? 7 : 0);
        ASSERT_EQ(cache.At(t), GmtOffsetSecondsAt(t))
            << zone << " at " << STime(t).ISO8601DateString() << " pass " << pass;
      }
    }
  }
}

TEST(ZoneOffsetCacheTest, AgreesAcrossChangesOfOffset) {
  // Spring forward (02:00-03:00 never happens) and fall back (01:00-02:00 twice).
  CheckAround("America/New_York",
              {SecondsFromFields(2024, 3, 10, 2, 30, 0), SecondsFromFields(2024, 11, 3, 1, 30, 0),
               SecondsFromFields(1970, 4, 26, 2, 0, 0)});
  // A half-hour change, and a zone east of GMT that changes at midnight-ish hours.
  CheckAround("Australia/Lord_Howe",
              {SecondsFromFields(2024, 4, 7, 1, 45, 0), SecondsFromFields(2024, 10, 6, 2, 15, 0)});
  CheckAround("Europe/London",
              {SecondsFromFields(2024, 3, 31, 1, 0, 0), SecondsFromFields(2024, 10, 27, 1, 0, 0)});
  // A zone that moved across the date line and skipped a whole day.
  CheckAround("Pacific/Apia", {SecondsFromFields(2011, 12, 30, 0, 0, 0)});
}

TEST(ZoneOffsetCacheTest, AgreesForScatteredAndExtremeReadings) {
  test::ScopedTimeZone scoped("America/New_York");
  ZoneOffsetCache cache;
  std::mt19937_64 rng(5);
  std::uniform_int_distribution<int64_t> any(SecondsFromFields(1800, 1, 1, 0, 0, 0),
                                             SecondsFromFields(2200, 1, 1, 0, 0, 0));
  for (int i = 0; i < 3000; ++i) {
    const int64_t t = any(rng);
    // The same hour three times: checked and kept, then answered from the cache.
    for (int64_t d : {0, 60, 1800}) {
      ASSERT_EQ(cache.At(t + d), GmtOffsetSecondsAt(t + d)) << STime(t + d).ISO8601DateString();
    }
  }
  for (int64_t t : {STime::kEarliest, STime::kEarliest + 3600, int64_t{-1}, int64_t{0},
                    SecondsFromFields(1, 1, 1, 0, 0, 0), SecondsFromFields(9999, 12, 31, 23, 0, 0),
                    STime::kLatest - 3600, STime::kLatest}) {
    for (int repeat = 0; repeat < 3; ++repeat) {
      ASSERT_EQ(cache.At(t), GmtOffsetSecondsAt(t)) << t;
    }
  }
}

TEST(ZoneOffsetTest, ReadingsAroundAChangeTakeTheOffsetBeforeItWhateverWasAskedBefore) {
  test::ScopedTimeZone scoped("America/New_York");
  const struct {
    int64_t reading;
    int offset;
  } cases[] = {
      {SecondsFromFields(2024, 3, 10, 1, 59, 59), -5 * 3600},
      {SecondsFromFields(2024, 3, 10, 2, 30, 0), -5 * 3600},  // skipped
      {SecondsFromFields(2024, 3, 10, 3, 0, 0), -4 * 3600},
      {SecondsFromFields(2024, 11, 3, 0, 59, 59), -4 * 3600},
      {SecondsFromFields(2024, 11, 3, 1, 30, 0), -4 * 3600},  // passed twice
      {SecondsFromFields(2024, 11, 3, 2, 0, 0), -5 * 3600},
  };
  // In order, backwards, and after a lookup on the far side of the change: earlier
  // lookups must not sway the answer.
  for (int pass = 0; pass < 3; ++pass) {
    for (size_t i = 0; i < std::size(cases); ++i) {
      const auto& c = cases[pass == 1 ? std::size(cases) - 1 - i : i];
      if (pass == 2) {
        GmtOffsetSecondsAt(c.offset == -5 * 3600 ? SecondsFromFields(2024, 7, 1, 0, 0, 0)
                                                 : SecondsFromFields(2024, 1, 1, 0, 0, 0));
      }
      EXPECT_EQ(GmtOffsetSecondsAt(c.reading), c.offset)
          << STime(c.reading).ISO8601DateString() << " pass " << pass;
    }
  }
}

TEST(ZoneOffsetTest, TheSecondBeforeTheUnixEpochHasItsRealOffset) {
  // mktime answers -1 for 1969-12-31 23:59:59 GMT, which is not a failure.
  test::ScopedTimeZone scoped("America/New_York");
  EXPECT_EQ(GmtOffsetSecondsAt(SecondsFromFields(1969, 12, 31, 18, 59, 59)), -5 * 3600);
  EXPECT_EQ(GmtOffsetSecondsAt(SecondsFromFields(1969, 12, 31, 19, 0, 0)), -5 * 3600);
  EXPECT_EQ(STime(SecondsFromFields(1969, 12, 31, 18, 59, 59)).ISO8601DateString(),
            "1969-12-31T18:59:59-05:00");
}

// The file form by its definition, with printf.
std::string ExpectedISO8601(int64_t seconds) {
  const CivilDateTime f = FieldsFromSeconds(seconds);
  const int offset = GmtOffsetSecondsAt(seconds);
  const int magnitude = offset < 0 ? -offset : offset;
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "%lld-%02d-%02dT%02d:%02d:%02d%c%02d:%02d",
                static_cast<long long>(f.year), f.month, f.day, f.hour, f.minute, f.second,
                offset < 0 ? '-' : '+', magnitude / 3600, magnitude % 3600 / 60);
  return buffer;
}

TEST(ISO8601FormTest, AppendedFormMatchesItsDefinition) {
  for (const char* zone : {"America/New_York", "Asia/Kolkata", "UTC", "America/St_Johns"}) {
    test::ScopedTimeZone scoped(zone);
    ZoneOffsetCache cache;
    // Years of one to five digits, before 1904 (negative counts) and year 0 and below.
    for (int64_t t :
         {STime::kEarliest, SecondsFromFields(-1, 6, 1, 12, 0, 0),
          SecondsFromFields(0, 1, 1, 0, 0, 0), SecondsFromFields(7, 3, 4, 5, 6, 7),
          SecondsFromFields(999, 12, 31, 23, 59, 59), int64_t{-1}, int64_t{1},
          SecondsFromFields(2009, 5, 3, 9, 5, 7), SecondsFromFields(2024, 11, 3, 1, 30, 0),
          SecondsFromFields(10000, 1, 1, 0, 0, 0), STime::kLatest}) {
      const STime time(t);
      const std::string expected = ExpectedISO8601(time.GetNew());
      EXPECT_EQ(time.ISO8601DateString(), expected) << zone << " " << t;
      std::string out = "<";
      time.AppendISO8601DateString(&out, &cache);
      time.AppendISO8601DateString(&out, nullptr);
      EXPECT_EQ(out, "<" + expected + expected) << zone << " " << t;
    }
  }
}

}  // namespace
}  // namespace fernweave
