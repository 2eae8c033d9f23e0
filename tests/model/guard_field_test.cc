#include "model/guard_field.h"

#include <gtest/gtest.h>

#include "model/random_source.h"
#include "model/reading_history.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// Installs a seeded source for the test's scope.
class ScopedRandom {
 public:
  explicit ScopedRandom(uint64_t seed) : source_(seed), previous_(SetRandom(&source_)) {}
  ~ScopedRandom() { SetRandom(previous_); }

 private:
  SeededRandom source_;
  RandomSource* previous_;
};

TEST(GuardFieldTest, LexerSplitsTokens) {
  GuardField g("~ \"My Note\" & ?(3)|word");
  std::string dump;
  for (const GuardField::Token& t : g.tokens()) {
    dump += std::to_string(static_cast<int>(t.kind)) + ":" + t.text + " ";
  }
  EXPECT_EQ(dump, "0:~ 3:My Note 1:& 4:3 2:| 5:word ");
}

TEST(GuardFieldTest, WordsAndOperators) {
  struct Case {
    const char* guard;
    const char* context;
    bool expected;
  };
  const Case cases[] = {
      {"", "anything", true},
      {"red", "red", true},
      {"red", "RED", true},
      {"red", "blue", false},
      {"red", "", false},
      {"red", "*", true},
      {"Textlink", "blue", true},
      {"big\xC2\xA0top", "Big Top", true},
      {"~red", "red", false},
      {"~~red", "red", true},
      // a & b | c is a & (b | c)
      {"a & b | c", "c", false},
      {"c | a & b", "c", true},
      {"a | b & c", "a", true},
      {"x & y", "x", false},
      {"y | x", "x", true},
      // Malformed guards are not satisfied where reading fails, and never throw.
      {"&", "x", false},
      {"x &", "x", false},
      {"~", "x", false},
      {"~&", "x", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GuardField(c.guard).Satisfied(c.context, nullptr), c.expected)
        << c.guard << " / " << c.context;
  }
}

TEST(GuardFieldTest, HasReadFollowsTheReadingHistory) {
  auto doc = test::MakeDocument("Chapter One\nOther");
  GuardField not_read("~\"Chapter One\"");
  GuardField read("\"Chapter One\" & go");
  EXPECT_TRUE(not_read.Satisfied("", doc.get()));
  EXPECT_FALSE(read.Satisfied("go", doc.get()));
  doc->History().MarkRead(test::At(doc.get(), "Chapter One"));
  EXPECT_FALSE(not_read.Satisfied("", doc.get()));
  EXPECT_TRUE(read.Satisfied("go", doc.get()));
  EXPECT_FALSE(GuardField("\"No Such Note\"").Satisfied("", doc.get()));
}

// How many of `draws` tries satisfy `guard` with the source seeded by `seed`.
int CountSatisfied(const char* guard, uint64_t seed, int draws) {
  ScopedRandom seeded(seed);
  int count = 0;
  for (int i = 0; i < draws; ++i) {
    count += GuardField(guard).Satisfied("", nullptr) ? 1 : 0;
  }
  return count;
}

TEST(GuardFieldTest, RandomGuardOfOneBehavesAsTwo) {
  const int ones = CountSatisfied("?(1)", 42, 2000);
  EXPECT_EQ(ones, CountSatisfied("?(2)", 42, 2000));
  EXPECT_GT(ones, 850);
  EXPECT_LT(ones, 1150);
  const int tenths = CountSatisfied("?(10)", 7, 5000);
  EXPECT_GT(tenths, 400);
  EXPECT_LT(tenths, 600);
  // A huge n must not overflow into a true result.
  ScopedRandom seeded(7);
  EXPECT_FALSE(GuardField("?(2000000000)").Satisfied("", nullptr) &&
               GuardField("?(2000000000)").Satisfied("", nullptr) &&
               GuardField("?(2000000000)").Satisfied("", nullptr));
}

TEST(GuardFieldTest, SeededSourceRepeatsAndStaysInRange) {
  SeededRandom a(5);
  SeededRandom b(5);
  for (uint32_t n : {1u, 2u, 7u, 1000u, 0xffffffffu}) {
    uint32_t x = a.Next(n);
    EXPECT_EQ(x, b.Next(n)) << n;
    EXPECT_LT(x, n) << n;
  }
  EXPECT_EQ(a.Next(0), 0u);
}

}  // namespace
}  // namespace fernweave
