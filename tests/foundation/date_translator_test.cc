#include "foundation/date_translator.h"

#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/date_text_reader.h"
#include "tests/support/date_helpers.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

using test::At;
using test::Dump;

// Exposes the result fields so a single recogniser can be run on its own.
class Probe : public DateTranslator {
 public:
  using DateTranslator::DateTranslator;
  std::string time() const { return Dump(time_); }
  bool valid() const { return valid_; }
};

// A note's attributes, as the translator sees them.
class FakeNote : public DateAttributeSource {
 public:
  explicit FakeNote(std::map<std::string, std::string> attributes)
      : attributes_(std::move(attributes)) {}
  std::string GetAttributeText(const std::string& name) const override {
    auto it = attributes_.find(name);
    return it == attributes_.end() ? "" : it->second;
  }

 private:
  std::map<std::string, std::string> attributes_;
};

// Now is Monday 4 May 2009, 10:17:33 in New York.
class DateTranslatorTest : public ::testing::Test {
 protected:
  void SetUp() override { DateTranslator::cache().Clear(); }

  test::ScopedTimeZone zone_{"America/New_York"};
  test::PinnedClock clock_{"2009-05-04T10:17:33"};
  test::ScopedIcuLocale locale_{"en_US"};
};

struct Case {
  const char* text;
  const char* expected;  // Dump of the time
  bool valid;
};

void ExpectTranslations(const std::vector<Case>& cases, const DateAttributeSource* node = nullptr) {
  for (const Case& c : cases) {
    DateTranslator translator(c.text, node);
    EXPECT_EQ(translator.IsValid(), c.valid) << "'" << c.text << "'";
    EXPECT_EQ(Dump(translator.GetTime()), c.expected) << "'" << c.text << "'";
  }
}

TEST_F(DateTranslatorTest, KeywordsAndWeekdays) {
  ExpectTranslations({
      {"never", "never", true},
      {"", "never", true},  // an empty text is the number 0
      {"   ", "never", true},
      {"today", "2009-05-04 10:17:00", true},
      {"now", "2009-05-04 10:17:00", true},
      {"Today +2 days", "2009-05-06 10:17:00", true},
      {"yesterday", "2009-05-03 10:17:00", true},
      {"tomorrow 9:30 pm", "2009-05-05 21:30:00", true},
      {"Tomorrow +1 week 8:00", "2009-05-12 08:00:00", true},
      {"today 10:30 +2 days", "2009-05-04 10:30:00", true},  // the tail must lead
      {"now -25 hours", "2009-05-03 09:17:00", true},
      {"Monday", "2009-05-11 10:17:00", true},  // today's own name: a week ahead
      {"Tuesday", "2009-05-05 10:17:00", true},
      {"Sun", "2009-05-10 10:17:00", true},
      {"Sat 7:15", "2009-05-09 07:15:00", true},
      {"Mon.", "2009-05-11 10:17:00", true},
      {"Friday 5pm", "2009-05-08 10:17:00", true},  // no colon: no time of day
      {"Wednesday +1 week", "2009-05-13 10:17:00", true},
  });
}

TEST_F(DateTranslatorTest, DayOfWeekNeedsAStandAloneName) {
  struct Name {
    const char* text;
    int day;
    const char* rest;
  } names[] = {{"Monday", 2, ""},     {"mon", 2, ""},
               {"Mon.", 2, "."},      {"Month", 0, ""},
               {"Sunny", 0, ""},      {"Thu 5", 5, " 5"},
               {"Sat", 7, ""},        {"", 0, ""},
               {"saturday!", 7, "!"}, {"Fri\t9:00", 6, "\t9:00"},
               {"fr", 0, ""}};
  for (const Name& n : names) {
    Probe probe(n.text);
    std::string rest;
    EXPECT_EQ(probe.DayOfWeek(&rest), n.day) << "'" << n.text << "'";
    if (n.day != 0) {
      EXPECT_EQ(rest, n.rest) << "'" << n.text << "'";
    }
  }
}

TEST_F(DateTranslatorTest, IsoTimestamps) {
  ExpectTranslations({
      {"2009-05-03T09:05:07", "2009-05-03 09:05:07", true},
      {"2009-02-29T10:00", "2009-03-01 10:00:00", true},
      {"2000-02-29", "2000-02-29 00:00:00", true},
      {"2009-05-03T09:05:07-07:00", "2009-05-03 09:05:07", true},  // zone ignored
      {"2009-05-03 23:59", "2009-05-03 23:59:00", true},
      {"0009-05-03", "9-05-03 00:00:00", true},  // no two-digit correction
      {"2009-05-45", "2009-06-14 00:00:00", false},
      {"2009-05-00T12:00", "2009-04-30 12:00:00", false},
      // Absurdly large fields are failed reads, never overflows.
      {"2009-05-03T99999999999:00", "2009-05-03 00:00:00", true},
  });
}

TEST_F(DateTranslatorTest, LocaleFormsAndTheirTails) {
  ExpectTranslations({
      {"May 3, 2009", "2009-05-03 10:17:00", true},  // date only: the current time
      {"5/3/09", "2009-05-03 10:17:00", true},
      {"5/3/09, 9:05 AM", "2009-05-03 09:05:00", true},
      {"12/25/09 3:30 pm", "2009-12-25 15:30:00", true},
      {"May 3, 2009, 9:05:07 PM", "2009-05-03 21:05:07", true},
      {"December 25, 2009 3:30 PM", "2009-12-25 15:30:00", true},
      {"May 3, 2009 +2 days", "2009-05-05 10:17:00", true},
      {"May 3, 2009 -1 week 8:15", "2009-04-26 08:15:00", true},
      {"5/3/09 +1 week 8:00", "2009-05-10 08:00:00", true},
      {"2/29/2000", "2000-02-29 10:17:00", true},
  });
  EXPECT_TRUE(DateTranslator::cache().Has("May 3, 2009"));
  EXPECT_TRUE(DateTranslator::cache().Has("5/3/09"));  // stored without the tail
  EXPECT_FALSE(DateTranslator::cache().Has("5/3/09 +1 week 8:00"));
  // A tail that names no unit is part of the date text.
  EXPECT_FALSE(DateTranslator::cache().Has("-"));
}

TEST_F(DateTranslatorTest, NumbersAreSecondsSince1904) {
  const std::string nines(400, '9');
  ExpectTranslations({
      {"3324186307", "2009-05-03 09:05:07", true},
      {"3324186307.9", "2009-05-03 09:05:07", true},
      {" 12345 ", "1904-01-01 03:25:45", true},
      {".", "never", true},
      {"99999999999999999999999999999", "32767-12-31 23:59:59", true},
      {nines.c_str(), "32767-12-31 23:59:59", true},  // past what a double holds
  });
}

TEST_F(DateTranslatorTest, AmericanDates) {
  // Through Translate the locale parser takes most of these first; run the
  // month/day/year reader itself to pin its own rules.
  struct American {
    const char* text;
    const char* expected;
    bool valid;
  } cases[] = {
      {"12/25/09", "2009-12-25 10:17:00", true},
      {"12/25/40", "1940-12-25 10:17:00", true},
      {"12/25/2009 3:30:15 pm", "2009-12-25 15:30:15", true},
      {"12/25/09 12:05 am", "2009-12-25 00:05:00", true},
      {"5/0/09", "2009-04-30 10:17:00", true},
      {"12/25", "2009-12-25 10:17:00", true},
      {"13/1/09", "2010-01-01 10:17:00", false},
      {"0/1/09", "2008-12-01 10:17:00", false},
      {"5/32/09", "2009-06-01 10:17:00", false},
      {"5/3/99999999999", "2009-05-03 10:17:00", true},  // an unreadable year keeps now's
      {"-1/3/5", "2004-11-03 10:17:00", false},
  };
  for (const American& c : cases) {
    Probe probe(c.text);
    EXPECT_TRUE(probe.AmericanDate()) << c.text;
    EXPECT_EQ(probe.valid(), c.valid) << c.text;
    EXPECT_EQ(probe.time(), c.expected) << c.text;
  }
  // The locale parser refuses month 13 rather than rolling it over, so the reader above
  // decides.
  ExpectTranslations(
      {{"13/1/09", "2010-01-01 10:17:00", false}, {"5/0/09", "2009-04-30 10:17:00", true}});
}

TEST_F(DateTranslatorTest, MonthDayYearAndDayMonthYear) {
  ExpectTranslations({
      {"May 3, 2009 5pm", "2009-05-03 05:17:00", true},  // hour 5, current minute
      {"Feb 29, 2009", "2009-03-01 10:17:00", true},
      {"Sept 3, 2009", "2008-12-03 10:17:00", false},
      {"May. 3, 2009", "2009-05-03 10:17:00", true},  // the locale parser is lenient,
      {"Month", "2008-12-04 10:17:00", false},
      {"3 May 09 +2 days", "2009-05-05 10:17:00", true},
      {"3 May 2009 10:30 pm", "2009-05-03 22:30:00", true},
      {"3 May 2009 12:10:05 am", "2009-05-03 00:10:05", true},
      {"31 Jan 2009 10:30 -1 day", "2009-01-30 10:30:00", true},
      {"3 Foo 2009", "2008-12-03 10:17:00", false},
      {"3 May 99999999999", "2009-05-03 10:17:00", true},
      {"???", "never", false},  // no recogniser applies
  });
  struct MonthCase {
    const char* word;
    int month;
  } months[] = {{"May", 5},  {"Sept", 0},    {"may", 0}, {"May.", 0}, {"December", 12},
                {"Dec", 12}, {"January", 1}, {"Jan", 1}, {"", 0},     {"Janu", 0}};
  for (const MonthCase& m : months) {
    EXPECT_EQ(DateTranslator::GetMonth(m.word), m.month) << "'" << m.word << "'";
  }
  struct YearCase {
    int in, out;
  } years[] = {{0, 2000},  {9, 2009},    {39, 2039}, {40, 1940},      {99, 1999},
               {100, 100}, {2009, 2009}, {-1, 1999}, {-32768, -30768}};
  for (const YearCase& y : years) {
    EXPECT_EQ(DateTranslator::FixYear(y.in), y.out) << y.in;
  }
  for (const char* text : {"min", "2 hours", "days", "weeks", "months", "a year"}) {
    EXPECT_TRUE(DateTranslator::IsTimeModifier(text)) << text;
  }
  for (const char* text : {"", "May 3", "+2", "Mon", "DAYS"}) {
    EXPECT_FALSE(DateTranslator::IsTimeModifier(text)) << text;
  }
}

TEST_F(DateTranslatorTest, AttributeReferences) {
  FakeNote note({{"Due", "2009-05-03T09:05:07"},
                 {"Alias", "$Due"},
                 {"Start2", "May 1, 2009"},
                 {"Bad", "not a date"}});
  ExpectTranslations(
      {
          {"$Due", "2009-05-03 09:05:07", true},
          {"$Due +2 days", "2009-05-05 09:05:07", true},
          {"$Due 10:30", "2009-05-03 10:30:00", true},
          {"$Due+1 week", "2009-05-10 09:05:07", true},
          {"$Start2 -1 day", "2009-04-30 10:17:00", true},
          // A reference to a reference is read without the note: the current time.
          {"$Alias", "2009-05-04 10:17:00", true},
          {"$Missing", "never", true},
          {"$Due +99999999999999999999 days", "2009-05-03 09:05:07", true},
      },
      &note);
  // Without a note the base is now.
  ExpectTranslations({{"$Due +2 days", "2009-05-06 10:17:00", true}});

  Probe probe("$Due_2 rest");
  std::string name, rest;
  ASSERT_TRUE(probe.IsAttributeReference(&name, &rest));
  EXPECT_EQ(name, "$Due");
  EXPECT_EQ(rest, "_2 rest");
}

TEST_F(DateTranslatorTest, RecognisersRunInOrder) {
  FakeNote note(std::map<std::string, std::string>{{"never", "2009-05-03T09:05:07"}});
  ExpectTranslations(
      {
          {"never 2009-05-03", "never", true},                 // never before anything
          {"$never", "2009-05-03 09:05:07", true},             // the attribute, not the keyword
          {"nowhere", "2009-05-04 10:17:00", true},            // a keyword prefix is enough
          {"Sunday 2009-05-03", "2009-05-10 10:17:00", true},  // weekday before ISO
      },
      &note);

  struct Scan {
    const char* text;
    bool colon, slash, number;
  } scans[] = {{"", false, false, true},
               {" 12.5 ", false, false, true},
               {"1.2.3", false, false, false},
               {"5/3/09 9:05", true, true, false},
               {"-5", false, false, false}};
  for (const Scan& s : scans) {
    DateTranslator translator(s.text);
    translator.Translate();
    EXPECT_EQ(translator.HasColon(), s.colon) << s.text;
    EXPECT_EQ(translator.HasSlash(), s.slash) << s.text;
    EXPECT_EQ(translator.IsNumber(), s.number) << s.text;
  }

  // For substitutes now for an invalid text; STime::For keeps what was computed.
  EXPECT_EQ(Dump(DateTranslator::For("Sept 3, 2009")), "2009-05-04 10:17:00");
  EXPECT_EQ(Dump(STime::For("Sept 3, 2009")), "2008-12-03 10:17:00");
  EXPECT_EQ(Dump(DateTranslator::For("tomorrow")), "2009-05-05 10:17:00");
}

TEST_F(DateTranslatorTest, TranslatesOnce) {
  DateTranslator translator("now");
  EXPECT_TRUE(translator.Translate());
  clock_.Set("2010-01-01T00:00:00");
  EXPECT_TRUE(translator.IsValid());
  EXPECT_EQ(Dump(translator.GetTime()), "2009-05-04 10:17:00");
}

TEST_F(DateTranslatorTest, CacheEmptiesPastAThousandEntries) {
  DateTranslatorCache& cache = DateTranslator::cache();
  CachedDate date;
  date.time = At("2009-05-03T09:05:07");
  for (size_t i = 0; i <= DateTranslatorCache::kMaxEntries; ++i) {
    cache.Add("entry " + std::to_string(i), date);
  }
  EXPECT_EQ(cache.size(), DateTranslatorCache::kMaxEntries + 1);
  EXPECT_TRUE(cache.Has("entry 0"));
  cache.Add("one more", date);
  EXPECT_EQ(cache.size(), 1u);
  EXPECT_FALSE(cache.Has("entry 0"));
  CachedDate got;
  ASSERT_TRUE(cache.Get("one more", &got));
  EXPECT_EQ(Dump(got.time), "2009-05-03 09:05:07");
  EXPECT_FALSE(cache.Get("entry 5", &got));

  // Translating fills it again, and a cached entry gives the same result.
  EXPECT_EQ(Dump(STime::For("May 3, 2009, 9:05:07 AM")), "2009-05-03 09:05:07");
  EXPECT_TRUE(cache.Has("May 3, 2009, 9:05:07 AM"));
  EXPECT_EQ(Dump(STime::For("May 3, 2009, 9:05:07 AM")), "2009-05-03 09:05:07");
}

TEST_F(DateTranslatorTest, CachedDateOnlyTextTakesTheCurrentTimeOfDay) {
  EXPECT_EQ(Dump(STime::For("May 3, 2009")), "2009-05-03 10:17:00");
  clock_.Set("2009-05-04T15:42:10");
  ASSERT_TRUE(DateTranslator::cache().Has("May 3, 2009"));
  EXPECT_EQ(Dump(STime::For("May 3, 2009")), "2009-05-03 15:42:00");
  // A text with its own time of day keeps it.
  EXPECT_EQ(Dump(STime::For("5/3/09, 9:05 AM")), "2009-05-03 09:05:00");
  clock_.Set("2009-05-04T18:00:00");
  EXPECT_EQ(Dump(STime::For("5/3/09, 9:05 AM")), "2009-05-03 09:05:00");
}

TEST_F(DateTranslatorTest, IsoTextRoundTrips) {
  for (const char* iso : {"2009-05-03T09:05:07", "2000-02-29T23:59:59", "1904-01-01T00:00:01",
                          "1903-12-31T23:59:59", "1600-03-01T12:00:00", "2038-01-19T03:14:08",
                          "2106-02-07T06:28:16", "9999-12-31T23:59:59", "2009-11-01T01:30:00"}) {
    const STime time = At(iso);
    const std::string text = time.ISO8601DateString();
    EXPECT_EQ(text.substr(0, 19), iso);
    EXPECT_EQ(STime::For(text), time) << text;
  }
}

TEST_F(DateTranslatorTest, ParsesFromManyThreads) {
  // The locale parsers and the cache are shared; each thread's results must be its own.
  auto work = [](int offset, std::vector<std::string>* out) {
    for (int day = 1; day <= 28; ++day) {
      const std::string text = "February " + std::to_string(day) + ", " +
                               std::to_string(2000 + offset) + " at 1:30:00 PM GMT";
      out->push_back(Dump(STime::For(text)));
    }
  };
  std::vector<std::string> a, b;
  std::thread first(work, 1, &a);
  std::thread second(work, 2, &b);
  first.join();
  second.join();
  ASSERT_EQ(a.size(), 28u);
  ASSERT_EQ(b.size(), 28u);
  for (int day = 1; day <= 28; ++day) {
    const std::string dd = (day < 10 ? "0" : "") + std::to_string(day);
    EXPECT_EQ(a[day - 1], "2001-02-" + dd + " 13:30:00");
    EXPECT_EQ(b[day - 1], "2002-02-" + dd + " 13:30:00");
  }
}

TEST(DateTextReaderTest, BehavesLikeStreamExtraction) {
  DateTextReader in("  12:x 99999");
  int16_t hour = -1, minute = -1, big = -1;
  char separator = 0;
  EXPECT_TRUE(in.Read(&hour));
  EXPECT_TRUE(in.ReadChar(&separator));
  EXPECT_FALSE(in.Read(&minute));  // no digits: fails, target unchanged
  EXPECT_EQ(minute, -1);
  EXPECT_FALSE(in.Read(&big));  // and every later read fails too
  EXPECT_EQ(hour, 12);
  EXPECT_EQ(separator, ':');

  DateTextReader overflow("40000 5");
  EXPECT_FALSE(overflow.Read(&big));  // too large for 16 bits: a failed read
  EXPECT_EQ(big, -1);
  EXPECT_TRUE(overflow.failed());

  DateTextReader limits("-9223372036854775808 9223372036854775808");
  int64_t value = 0;
  EXPECT_TRUE(limits.ReadNumber(INT64_MIN, INT64_MAX, &value));
  EXPECT_EQ(value, INT64_MIN);
  EXPECT_FALSE(limits.ReadNumber(INT64_MIN, INT64_MAX, &value));

  DateTextReader words("  pm\t+7");
  std::string word;
  EXPECT_TRUE(words.ReadWord(&word));
  EXPECT_EQ(word, "pm");
  EXPECT_EQ(words.Peek(), '\t');
  EXPECT_TRUE(words.ReadNumber(-10, 10, &value));
  EXPECT_EQ(value, 7);
  EXPECT_FALSE(words.ReadWord(&word));
  EXPECT_EQ(word, "pm");
}

}  // namespace
}  // namespace fernweave
