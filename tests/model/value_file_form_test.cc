// AppendXML of every kind of value appends exactly what AsXML returns, and what it calls
// plain needs no escaping: the file writer forms values with it, so any difference
// would change saved documents.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/clock.h"
#include "foundation/date_translator.h"
#include "foundation/stime.h"
#include "foundation/xml_writer.h"
#include "model/value.h"
#include "model/values.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

TEST(ValueFileFormTest, AppendXMLAppendsAsXML) {
  test::ScopedTimeZone zone("America/New_York");
  test::PinnedClock clock("2009-05-04T10:17:33");
  std::vector<ValuePtr> values;
  for (int32_t n :
       {0, 1, -1, 42, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
    values.push_back(Value::ForInt(n));
  }
  for (uint32_t n : {0u, 7u, std::numeric_limits<uint32_t>::max()}) {
    values.push_back(Value::ForUnsigned(n));
  }
  for (double x : {0.0, -0.0, 661.7, 1234567.5, 1e300, -2.5e-8}) {
    values.push_back(Value::ForDouble(x));
  }
  values.push_back(Value::ForBoolean(true));
  values.push_back(Value::ForBoolean(false));
  for (const char* text : {"", "Note 9", "a<b & \"c\"", "caf\xC3\xA9\r\t", "Rect[ 1 2 3 4]"}) {
    values.push_back(Value::Create(AttributeType::kString, text));
  }
  values.push_back(Value::ForColor("#336699"));
  values.push_back(Value::ForColor("dark red"));
  values.push_back(Value::ForFile("/tmp/notes/52.txt"));
  values.push_back(Value::ForRectangle(SRect{1, 2, 443, 40}));
  values.push_back(Value::ForRectangle(SRect{-32768, -1, 0, 32767}));
  values.push_back(Value::ForRectangle(SRect{-40000, 0, 40000, 5}));  // clamped
  values.push_back(Value::ForDate(int64_t{0}));
  values.push_back(Value::ForDate(std::string_view("\"tomorrow\"")));  // deferred
  values.push_back(Value::ForDate(std::string_view("today")));
  values.push_back(Value::ForDate(STime::kEarliest));
  values.push_back(Value::ForDate(STime::kLatest));
  values.push_back(Value::ForDate(int64_t{-1}));
  // Spring forward and fall back: offsets on both sides of each change.
  for (const char* iso : {"2024-03-10T01:59:59", "2024-03-10T03:00:00", "2024-11-03T00:59:59",
                          "2024-11-03T02:00:00", "2024-07-01T12:00:00"}) {
    values.push_back(Value::ForDate(std::string_view(iso)));
  }

  ZoneOffsetCache offsets;
  // Each value twice, so the cache answers from what it kept as well.
  for (int pass = 0; pass < 3; ++pass) {
    for (const ValuePtr& v : values) {
      const std::string expected = v->AsXML();
      std::string out = "before:";
      const bool plain = v->AppendXML(&out, pass == 0 ? nullptr : &offsets);
      EXPECT_EQ(out, "before:" + expected) << "pass " << pass << ": " << expected;
      // The writer skips escaping what a value calls plain.
      if (plain) {
        EXPECT_EQ(XMLWriter::ToXML(expected, false), expected) << expected;
      }
    }
  }
}

}  // namespace
}  // namespace fernweave

namespace fernweave {
namespace {

// The file form of dates is read by a shortcut; it must give what the general date
// reader gives for the same text, and leave every other text to it.
TEST(ValueFileFormTest, FileFormDatesReadAsTheDateReaderReadsThem) {
  test::ScopedTimeZone zone("America/New_York");
  test::PinnedClock clock("2009-05-04T10:17:33");
  for (const char* text : {
           "2024-05-31T11:33:20-04:00", "2024-05-31T11:33:20+05:30", "2024-05-31T11:33:20Z",
           "2024-05-31T11:33:20", "2024-03-10T02:30:00-05:00",  // a wall clock the zone skips
           "2023-02-31T10:00:00+00:00",                         // a day past the month's end
           "0001-01-01T00:00:00+00:00", "9999-12-31T23:59:59+00:00",
           "2024-13-01T00:00:00+00:00",  // not a month: the general reader decides
           "2024-00-10T00:00:00", "2024-05-00T00:00:00", "2024-05-31T25:61:61-04:00",
           "2024-05-31 11:33:20", "2024-05-31T11:33:20+0400", "2024-05-31T11:33:2a-04:00",
           "2024-05-31T11:33:20-04:00x"}) {
    DateTranslator translator(text);
    const int64_t expected = translator.IsValid() ? translator.GetTime().GetNew() : 0;
    EXPECT_EQ(Value::ForDate(std::string_view(text))->AsDate(), expected) << text;
  }
}

}  // namespace
}  // namespace fernweave
