#include "model/value.h"

#include <cmath>
#include <limits>
#include <string>

#include <gtest/gtest.h>

#include "foundation/stime.h"
#include "model/transformer.h"
#include "model/values.h"
#include "tests/support/date_helpers.h"
#include "tests/support/fakes.h"

namespace fernweave {
namespace {

// The class of a value, as a short name tables can state.
std::string KindOf(const Value& value) {
  if (dynamic_cast<const CountedBooleanValue*>(&value))
    return "boolean";
  if (dynamic_cast<const CountedLongValue*>(&value))
    return "shared long";
  if (dynamic_cast<const LongValue*>(&value))
    return "long";
  if (dynamic_cast<const CountedStringValue*>(&value))
    return "empty";
  if (dynamic_cast<const StringValue*>(&value))
    return "string";
  if (dynamic_cast<const UnsignedValue*>(&value))
    return "unsigned";
  if (dynamic_cast<const DoubleValue*>(&value))
    return "double";
  if (dynamic_cast<const DateValue*>(&value))
    return "date";
  if (dynamic_cast<const ColorValue*>(&value))
    return "color";
  if (dynamic_cast<const FileValue*>(&value))
    return "file";
  if (dynamic_cast<const RectValue*>(&value))
    return "rect";
  return "unknown";
}

// Every test must give back every value it made, shared ones included.
class ValueTest : public ::testing::Test {
 protected:
  void SetUp() override { live_before_ = Value::LiveCount(); }
  void TearDown() override { EXPECT_EQ(Value::LiveCount(), live_before_) << "values leaked"; }

  int64_t live_before_ = 0;
};

// The seconds count of a local reading "YYYY-MM-DDTHH:MM:SS".
int64_t Seconds(const char* iso) {
  return test::At(iso).GetNew();
}

struct NumberCase {
  const char* text;
  const char* kind;
  double number;
  const char* display;
};

TEST_F(ValueTest, NumberTexts) {
  constexpr double kMax = std::numeric_limits<double>::max();
  const NumberCase cases[] = {
      {"1,234", "long", 1234, "1234"},
      {"1,234.5", "double", 1234.5, "1234.5"},
      {"2e3", "double", 2000, "2000"},
      {"2E3", "double", 2000, "2000"},
      {"abc", "shared long", 0, "0"},
      {"", "shared long", 0, "0"},
      {"1", "shared long", 1, "1"},
      {"12abc", "long", 12, "12"},
      {" -7", "long", -7, "-7"},
      {"+42", "long", 42, "42"},
      {"1.5e-7", "double", 1.5e-7, "1.5e-07"},
      {".5", "double", 0.5, "0.5"},
      // Integers outside the 32-bit range keep their value as real numbers.
      {"2147483647", "long", 2147483647, "2147483647"},
      {"-2147483648", "long", -2147483648.0, "-2147483648"},
      {"2147483648", "double", 2147483648.0, "2147483648"},
      {"3000000000", "double", 3e9, "3000000000"},
      {"3,000,000,000", "double", 3e9, "3000000000"},
      {"-99999999999999999999999", "double", -1e23, "-1e+23"},
      // Too large for a double: the largest one, never infinity.
      {"1e999", "double", kMax, "1.797693135e+308"},
      {"1e-999", "double", 0, "0"},
      // Words are not numbers.
      {"inf", "shared long", 0, "0"},
      {"nan", "shared long", 0, "0"},
  };
  for (const NumberCase& c : cases) {
    ValuePtr value = Value::Create(AttributeType::kNumber, c.text);
    EXPECT_EQ(KindOf(*value), c.kind) << c.text;
    EXPECT_EQ(value->AsDouble(), c.number) << c.text;
    EXPECT_EQ(value->AsString(), c.display) << c.text;
  }
}

TEST_F(ValueTest, BooleanTexts) {
  const struct {
    const char* text;
    bool value;
  } cases[] = {{"true", true}, {"false", false}, {"1", true},   {"0", false},   {"", false},
               {"no", true},   {"False", true},  {"yes", true}, {"never", true}};
  for (const auto& c : cases) {
    ValuePtr value = Value::Create(AttributeType::kBoolean, c.text);
    EXPECT_EQ(value->AsBoolean(), c.value) << c.text;
    EXPECT_EQ(value.get(), Value::ForBoolean(c.value).get()) << c.text;
    EXPECT_EQ(value->AsXML(), c.value ? "true" : "false") << c.text;
  }
}

TEST_F(ValueTest, TypedParseForEveryType) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  const struct {
    int type;
    const char* text;
    const char* kind;
    const char* display;
  } cases[] = {
      {0, "hello", "string", "hello"},
      {0, "", "empty", ""},
      {0, "Long[ 12 ]", "string", "Long[ 12 ]"},
      {1, "#ff0000", "color", "#ff0000"},
      {1, "cool gray", "color", "cool gray"},
      {3, "Disk:notes:a.txt", "file", "Disk:notes:a.txt"},
      {5, "never", "date", "never"},
      {5, "", "date", "never"},
      {5, "not a date at all", "date", "never"},
      {5, "(today)", "date", "\"today\""},
      {6, "42", "unsigned", "42"},
      {6, "", "unsigned", "0"},
      {6, "x", "unsigned", "0"},
      {6, "4294967295", "unsigned", "4294967295"},
      {6, "4294967296", "unsigned", "4294967295"},
      {6, "-5", "unsigned", "0"},
      {7, "$Color=\"red\"", "string", "$Color=\"red\""},
      {8, "a;b;c", "string", "a;b;c"},
      {9, "http://example.com/a b", "string", "http://example.com/a b"},
      {10, "Rect[ 10 20 300 200]", "rect", "Rect[ 10 20 300 200]"},
      {10, "", "empty", ""},
      {42, "Long[ 7 ]", "long", "7"},
      {-1, "plain", "string", "plain"},
  };
  for (const auto& c : cases) {
    ValuePtr value = Value::Create(AttributeTypeFromCode(c.type), c.text);
    EXPECT_EQ(KindOf(*value), c.kind) << c.type << " " << c.text;
    EXPECT_EQ(value->AsString(), c.display) << c.type << " " << c.text;
  }
}

TEST_F(ValueTest, GenericParseOfTaggedForms) {
  const struct {
    const char* text;
    const char* kind;
    const char* display;
  } cases[] = {
      {"Long[ 12 ]", "long", "12"},
      {"Long[ 1 ]", "shared long", "1"},
      {"Long[ 3000000000 ]", "double", "3000000000"},
      {"Rect[ 10 20 300 200]", "rect", "Rect[ 10 20 300 200]"},
      {"  Rect[10 20 300 200 ]", "rect", "Rect[ 10 20 300 200]"},
      {"Rect[ -5 0 100000 -100000]", "rect", "Rect[ -5 0 32767 -32768]"},
      {"Double[ 2.5 ]", "double", "2.5"},
      {"Color[ #ff0000 ]", "color", "#ff0000"},
      {"Date[ never ]", "date", "never"},
      // A tag without its number stays the user's text.
      {"Long[ish] words", "string", "Long[ish] words"},
      {"Rect[ 1 2 ]", "string", "Rect[ 1 2 ]"},
      {"Double[ x ]", "string", "Double[ x ]"},
      {"plain words", "string", "plain words"},
      {"", "empty", ""},
  };
  for (const auto& c : cases) {
    ValuePtr value = Value::Create(c.text);
    EXPECT_EQ(KindOf(*value), c.kind) << c.text;
    EXPECT_EQ(value->AsString(), c.display) << c.text;
  }
  EXPECT_EQ(Value::Create("Rect[ 10 20 300 200]")->AsRect(), (SRect{10, 20, 300, 200}));
}

TEST_F(ValueTest, DoubleDisplayShortAndFileForms) {
  const struct {
    double x;
    const char* display;
    const char* short_form;
    const char* file;
  } cases[] = {
      {0.1 + 0.2, "0.3", "0.3", "0.30000000000000004"},
      {1234567.5, "1234567.5", "1.23457e+06", "1234567.5"},
      {1.0 / 3, "0.3333333333", "0.333333", "0.3333333333333333"},
      {123456789012.0, "1.23456789e+11", "1.23457e+11", "123456789012"},
      {-2.5, "-2.5", "-2.5", "-2.5"},
      {1e300, "1e+300", "1e+300", "1e+300"},
      {5e-324, "4.940656458e-324", "4.94066e-324", "5e-324"},
      {3e9, "3000000000", "3e+09", "3e+09"},
      {-0.0, "-0", "-0", "-0.0"},
  };
  for (const auto& c : cases) {
    ValuePtr value = Value::ForDouble(c.x);
    EXPECT_EQ(value->AsString(), c.display) << c.file;
    EXPECT_EQ(value->AsShortString(), c.short_form) << c.file;
    EXPECT_EQ(value->AsXML(), c.file) << c.file;
    // The file form reads back to exactly the same number.
    EXPECT_EQ(Value::Create(AttributeType::kNumber, value->AsXML())->AsDouble(), c.x) << c.file;
  }
}

TEST_F(ValueTest, FileFormRoundTripsThroughTypedParse) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  const struct {
    AttributeType type;
    const char* text;
  } cases[] = {
      {AttributeType::kString, "hello, world"},
      {AttributeType::kString, ""},
      {AttributeType::kNumber, "1,234"},
      {AttributeType::kNumber, "-17"},
      {AttributeType::kNumber, "1e-300"},
      {AttributeType::kBoolean, "no"},
      {AttributeType::kBoolean, "0"},
      {AttributeType::kDate, "2009-05-03T09:05:07"},
      {AttributeType::kDate, "1899-12-31T23:59:59"},
      {AttributeType::kDate, "never"},
      {AttributeType::kDate, "(today)"},
      {AttributeType::kDate, "\"tomorrow\""},
      {AttributeType::kColor, "#ff8000"},
      {AttributeType::kColor, "hsv(30,50,100)"},
      {AttributeType::kColor, "cool gray"},
      {AttributeType::kFile, "Disk:notes:a.txt"},
      {AttributeType::kUnsigned, "4294967295"},
      {AttributeType::kRectangle, "Rect[ -5 0 300 200]"},
      {AttributeType::kSet, "a;b;c"},
      {AttributeType::kURL, "http://example.com/"},
  };
  for (const auto& c : cases) {
    ValuePtr first = Value::Create(c.type, c.text);
    std::string file = first->AsXML();
    ValuePtr second = Value::Create(c.type, file);
    EXPECT_EQ(KindOf(*second), KindOf(*first)) << c.text;
    EXPECT_EQ(second->AsXML(), file) << c.text;
    EXPECT_TRUE(first->equal(*second)) << c.text << " -> " << file;
  }
}

TEST_F(ValueTest, DeferredDatesResolveOnFirstUse) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  ValuePtr today = Value::ForDate("(today)");
  ValuePtr tomorrow = Value::Create(AttributeType::kDate, "\"tomorrow\"");
  const auto* today_date = dynamic_cast<const DateValue*>(today.get());
  ASSERT_NE(today_date, nullptr);
  EXPECT_TRUE(today_date->IsDeferred());
  EXPECT_FALSE(today_date->IsResolved());
  EXPECT_EQ(today->AsString(), "\"today\"");
  EXPECT_FALSE(today_date->IsResolved()) << "the display form shows the text unread";

  // The first use reads the text; "today" is now to the minute.
  EXPECT_EQ(today->AsDate(), Seconds("2009-05-03T09:05:00"));
  EXPECT_TRUE(today_date->IsResolved());
  // Later reads keep that time even when the clock has moved on.
  clock.Set("2009-06-01T12:00:00");
  EXPECT_EQ(today->AsDate(), Seconds("2009-05-03T09:05:00"));
  EXPECT_EQ(tomorrow->AsDate(), Seconds("2009-06-02T12:00:00"));
  EXPECT_EQ(today->AsXML(), "2009-05-03T09:05:00-04:00");
  EXPECT_EQ(today->AsString(), "\"today\"");

  // A copy of a read date keeps its time; a copy of an unread one reads on its own use.
  ValuePtr copy = today->Clone();
  EXPECT_EQ(copy->AsDate(), Seconds("2009-05-03T09:05:00"));
  ValuePtr unread = Value::ForDate("\"today\"");
  ValuePtr unread_copy = unread->Clone();
  clock.Set("2010-01-01T08:00:00");
  EXPECT_EQ(unread_copy->AsDate(), Seconds("2010-01-01T08:00:00"));

  // Quotes and parentheses nest; a quoted text that is no date is never.
  EXPECT_EQ(Value::ForDate("(\"(today)\")")->AsDate(), Seconds("2010-01-01T08:00:00"));
  EXPECT_EQ(Value::ForDate("\"gibberish\"")->AsDate(), 0);
  EXPECT_EQ(Value::ForDate("\"")->AsDate(), 0);
}

TEST_F(ValueTest, NeverDate) {
  for (const char* text : {"never", ""}) {
    ValuePtr never = Value::Create(AttributeType::kDate, text);
    EXPECT_EQ(never->AsXML(), "never") << text;
    EXPECT_EQ(never->AsString(), "never") << text;
    EXPECT_EQ(never->AsExportString("y-M0-D", nullptr), "never") << text;
    EXPECT_FALSE(never->AsBoolean()) << text;
    EXPECT_EQ(never->AsDate(), 0) << text;
  }
  ValuePtr date = Value::ForDate(Seconds("2009-05-03T09:05:07"));
  EXPECT_EQ(date->AsExportString("y-M0-D h:mm", nullptr), "2009-05-03 09:05");
  // Past 2^32 seconds the 32-bit reading keeps the low bits.
  EXPECT_EQ(Value::ForDate(int64_t{0x100000005})->AsLong(), 5);
}

TEST_F(ValueTest, SharedValuesAreCountedAndFreedWithTheLastReference) {
  int64_t before = Value::LiveCount();
  {
    ValuePtr zero = Value::ForInt(0);
    EXPECT_EQ(Value::LiveCount(), before + 1);
    ValuePtr zero_again = Value::Create(AttributeType::kNumber, "abc");
    ValuePtr zero_clone = zero->Clone();
    EXPECT_EQ(zero.get(), zero_again.get());
    EXPECT_EQ(zero.get(), zero_clone.get());
    EXPECT_EQ(Value::LiveCount(), before + 1);
    EXPECT_EQ(dynamic_cast<const CountedLongValue&>(*zero).references(), 3u);

    ValuePtr one = Value::ForInt(1);
    ValuePtr no = Value::ForBoolean(false);
    ValuePtr yes = Value::ForBoolean(true);
    ValuePtr empty = Value::ForString("");
    ValuePtr empty_again = StringValue::CreateFor("");
    EXPECT_EQ(Value::LiveCount(), before + 5);
    EXPECT_EQ(empty.get(), empty_again.get());
    EXPECT_EQ(empty.get(), Value::Create(AttributeType::kString, "").get());
    EXPECT_NE(static_cast<const void*>(zero.get()), static_cast<const void*>(no.get()));
    EXPECT_NE(static_cast<const void*>(one.get()), static_cast<const void*>(yes.get()));
    EXPECT_EQ(no->AsString(), "false");
    EXPECT_EQ(zero->AsString(), "0");
    EXPECT_EQ(dynamic_cast<const CountedStringValue&>(*empty).references(), 2u);
  }
  EXPECT_EQ(Value::LiveCount(), before);
  // Made again on next use, and usable.
  ValuePtr zero = Value::ForInt(0);
  EXPECT_EQ(zero->AsLong(), 0);
  EXPECT_EQ(Value::LiveCount(), before + 1);
}

TEST_F(ValueTest, ClonesOfEachKind) {
  const struct {
    ValuePtr value;
    const char* kind;
    const char* text;
  } cases[] = {
      // Colour and file values copy as text values with the same text.
      {Value::ForColor("#ff0000"), "string", "#ff0000"},
      {Value::ForFile("Disk:a"), "string", "Disk:a"},
      {Value::ForColor(""), "empty", ""},
      {Value::ForRectangle(SRect{1, 2, 3, 4}), "rect", "Rect[ 1 2 3 4]"},
      // A text that looks like a tagged form stays exactly the user's text.
      {StringValue::CreateFor("Long[ 12 ] apples"), "string", "Long[ 12 ] apples"},
      {StringValue::CreateFor("Date[ never ]"), "string", "Date[ never ]"},
      {Value::ForInt(5), "long", "5"},
      {Value::ForUnsigned(7), "unsigned", "7"},
      {Value::ForDouble(2.5), "double", "2.5"},
      {Value::ForDate("never"), "date", "never"},
  };
  for (const auto& c : cases) {
    int64_t before = Value::LiveCount();
    ValuePtr copy = c.value->Clone();
    EXPECT_EQ(KindOf(*copy), c.kind) << c.text;
    EXPECT_EQ(copy->AsString(), c.text) << c.text;
    if (c.kind != std::string("empty")) {
      EXPECT_NE(copy.get(), c.value.get()) << c.text;
      EXPECT_EQ(Value::LiveCount(), before + 1) << c.text;
    }
  }
  ValuePtr red = Value::ForColor("#ff0000");
  EXPECT_EQ(red->AsColor(), PColor(65535, 0, 0));
  EXPECT_EQ(red->Clone()->AsColor(), PColor()) << "a copied colour is text";
  EXPECT_TRUE(red->EvaluateFor(nullptr)->equal(*red));
}

TEST_F(ValueTest, Conversions) {
  const struct {
    const char* text;
    bool boolean;
    int32_t number;
  } strings[] = {
      {"", false, 0},
      {"false", false, 0},
      {"0", false, 0},
      {"no", true, 0},
      {"never", true, 0},
      {"12.7", true, 12},
      {"-12.7", true, -12},
      {"1e3 apples", true, 1000},
      {"3000000000", true, 2147483647},
      {"-1e20", true, -2147483647 - 1},
  };
  for (const auto& c : strings) {
    ValuePtr value = StringValue::CreateFor(c.text);
    EXPECT_EQ(value->AsBoolean(), c.boolean) << c.text;
    EXPECT_EQ(value->AsLong(), c.number) << c.text;
  }

  const struct {
    const char* text;
    bool boolean;
  } colors[] = {{"", false},       {"black", false},    {"Black", false},  {"normal", false},
                {"#000000", true}, {"cool gray", true}, {"#ff0000", true}, {"transparent", true}};
  for (const auto& c : colors) {
    EXPECT_EQ(Value::ForColor(c.text)->AsBoolean(), c.boolean) << c.text;
  }
  EXPECT_EQ(StringValue::CreateFor("#ff0000")->AsColor(), PColor());
  EXPECT_EQ(Value::ForColor(PColor(65535, 32896, 0))->AsString(), "#ff8000");

  // Real numbers outside the integer ranges saturate; NaN reads as 0 but is true.
  const double nan = std::nan("");
  EXPECT_EQ(Value::ForDouble(1e20)->AsLong(), std::numeric_limits<int32_t>::max());
  EXPECT_EQ(Value::ForDouble(-1e20)->AsLong(), std::numeric_limits<int32_t>::min());
  EXPECT_EQ(Value::ForDouble(nan)->AsLong(), 0);
  EXPECT_TRUE(Value::ForDouble(nan)->AsBoolean());
  EXPECT_EQ(Value::ForDouble(1e20)->AsUnsignedLong(), std::numeric_limits<uint32_t>::max());
  EXPECT_EQ(Value::ForDouble(-3)->AsUnsignedLong(), 0u);
  EXPECT_EQ(Value::ForInt(-3)->AsUnsignedLong(), 0u);
  EXPECT_EQ(Value::ForDouble(1e300)->AsDate(), std::numeric_limits<int64_t>::max());
  EXPECT_EQ(Value::ForUnsigned(4294967295u)->AsDouble(), 4294967295.0);

  EXPECT_EQ(StringValue::CreateFor("Rect[ 1 2 3 4]")->AsRect(), (SRect{1, 2, 3, 4}));
  EXPECT_EQ(Value::ForFile("a:b")->AsFile(), "a:b");
  EXPECT_EQ(Value::ForDouble(1234567.5)->AsExportString("", nullptr), "1.23457e+06");
}

// Notes store every value they set; keep the common kinds within a cache line or two.
TEST(ValueSizeTest, ValuesStaySmall) {
  EXPECT_LE(sizeof(LongValue), 16u);
  EXPECT_LE(sizeof(CountedBooleanValue), 16u);
  EXPECT_LE(sizeof(DoubleValue), 16u);
  EXPECT_LE(sizeof(RectValue), 16u);
  EXPECT_LE(sizeof(DateValue), 32u);
  EXPECT_LE(sizeof(StringValue), 8 + sizeof(std::string) + sizeof(double));
}

TEST_F(ValueTest, CompareTextWithTransforms) {
  const struct {
    const char* a;
    const char* b;
    const char* transform;
    int expected;
  } cases[] = {
      {"apple", "Banana", "", 1},
      {"apple", "Banana", "case-sensitive", 1},
      {"apple", "Banana", "lowercase", -1},
      {"apple", "Banana", "case-insensitive", -1},
      // Equal once transformed: the untransformed texts decide.
      {"Apple", "apple", "lowercase", -1},
      {"apple", "apple", "lowercase", 0},
      {"\u00C9cole", "\u00E9cole", "lowercase", -1},
      {"\u00C9b", "\u00E9a", "lowercase", 1},
      {"John Smith", "Adam Zed", "last word", -1},
      {"Adam Zed", "Zed", "last word", -1},
      {"x  ", "y", "last word", -1},
      {"b", "a", "normal", 1},
      {"B", "a", "something else", -1},
      // Text is compared as text, not as numbers.
      {"10", "9", "", -1},
  };
  for (const auto& c : cases) {
    ValuePtr a = StringValue::CreateFor(c.a);
    ValuePtr b = StringValue::CreateFor(c.b);
    Transformer transformer = Transformer::Named(c.transform);
    EXPECT_EQ(a->compare(*b, transformer), c.expected) << c.a << " " << c.b << " " << c.transform;
    EXPECT_EQ(b->compare(*a, transformer), -c.expected) << c.a << " " << c.b;
  }
}

TEST_F(ValueTest, CompareNumbersDatesAndOthers) {
  Transformer lowercase = Transformer::Named("lowercase");
  const double nan = std::nan("");
  // Numbers compare by value and ignore the transform.
  EXPECT_EQ(Value::ForInt(2)->compare(*Value::ForInt(10), lowercase), -1);
  EXPECT_EQ(Value::ForInt(10)->compare(*Value::ForDouble(9.5)), 1);
  EXPECT_EQ(Value::ForUnsigned(4000000000u)->compare(*Value::ForInt(-1)), 1);
  EXPECT_EQ(Value::ForBoolean(true)->compare(*Value::ForInt(1)), 0);
  EXPECT_EQ(Value::ForDouble(nan)->compare(*Value::ForInt(1)), 1);
  EXPECT_EQ(Value::ForInt(1)->compare(*Value::ForDouble(nan)), -1);
  EXPECT_EQ(Value::ForDouble(nan)->compare(*Value::ForDouble(nan)), 0);

  // Dates by time, never after every real date, also those before 1904.
  ValuePtr never = Value::ForDate("never");
  ValuePtr early = Value::ForDate(int64_t{-100});
  ValuePtr late = Value::ForDate(Seconds("2009-05-03T00:00:00"));
  EXPECT_EQ(early->compare(*late), -1);
  EXPECT_EQ(late->compare(*never), -1);
  EXPECT_EQ(never->compare(*early), 1);
  EXPECT_EQ(never->compare(*Value::ForDate("")), 0);
  EXPECT_TRUE(late->equal(*Value::ForDate(Seconds("2009-05-03T00:00:00"))));

  // Other kinds compare their file forms.
  EXPECT_EQ(Value::ForColor("#aaaaaa")->compare(*Value::ForColor("#bbbbbb")), -1);
  EXPECT_FALSE(Value::ForInt(3)->equal(nullptr));
}

}  // namespace
}  // namespace fernweave
