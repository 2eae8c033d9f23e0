#include <string>

#include <gtest/gtest.h>

#include "foundation/stime.h"
#include "model/value.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

// Every date value survives its file form: dates outside years 1 to 9999, which the
// file reader could not read back, are never.
TEST(DateRangeTest, DatesOutsideTheReadableYearsAreNever) {
  test::ScopedTimeZone zone("America/New_York");
  const int64_t first = ClampedSecondsFromFields(1, 1, 1, 0, 0, 0);
  const int64_t last = ClampedSecondsFromFields(9999, 12, 31, 23, 59, 59);
  const struct {
    ValuePtr value;
    bool never;
  } kCases[] = {
      {Value::ForDate(first), false},
      {Value::ForDate(last), false},
      {Value::ForDate(first - 1), true},
      {Value::ForDate(last + 1), true},
      {Value::ForDate(STime::kEarliest), true},
      {Value::ForDate(STime(STime::kLatest)), true},
      // Read as seconds since 1904: a date in the year -473.
      {Value::Create(AttributeType::kDate, "-75000000000"), true},
      {Value::Create(AttributeType::kDate, "0412-08-23T10:17:00"), false},
      {Value::ForDate(std::string_view("\"-75000000000\"")), true},  // deferred
  };
  for (const auto& c : kCases) {
    const std::string file = c.value->AsXML();
    EXPECT_EQ(file == "never", c.never) << file;
    EXPECT_EQ(Value::Create(AttributeType::kDate, file)->AsXML(), file);
  }
}

}  // namespace
}  // namespace fernweave
