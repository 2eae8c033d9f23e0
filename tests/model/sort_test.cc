#include "model/sort.h"

#include <string>

#include <gtest/gtest.h>

#include "model/cnode.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// A container "Box" and user attributes "Key" (string), "Rank" (number) and "Due"
// (date) to sort its children by.
struct Fixture {
  std::unique_ptr<Orvex> doc = test::MakeDocument("Box");
  Node* box = test::At(doc.get(), "Box");

  Fixture() {
    doc->Properties().CreateBasicAttribute("Key", kUserCategory, true, AttributeType::kString);
    doc->Properties().CreateBasicAttribute("Rank", kUserCategory, true, AttributeType::kNumber);
    doc->Properties().CreateBasicAttribute("Due", kUserCategory, true, AttributeType::kDate);
  }
  void Add(const std::string& name, const std::string& key, const std::string& rank) {
    Node* n = doc->MakeNode(name, box, box->YoungestSon(), 0, 0);
    n->Set("Key", key);
    n->Set("Rank", rank);
  }
};

TEST(SortTest, NothingHappensWithoutAValidSortAttribute) {
  Fixture f;
  f.Add("b", "", "0");
  f.Add("a", "", "0");
  EXPECT_FALSE(f.box->SortNow());
  f.box->Set("Sort", "NoSuchThing");
  EXPECT_FALSE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "b a");
  f.box->Set("Sort", "$Name");
  EXPECT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "a b");
  Node* leaf = test::At(f.doc.get(), "Box/a");
  leaf->Set("Sort", "Name");
  EXPECT_FALSE(leaf->SortNow());  // fewer than two children
}

TEST(SortTest, EachTransformAndDirection) {
  const struct {
    const char* transform;
    bool backward;
    const char* order;
  } kCases[] = {
      {"case-sensitive", false, "n1 n2 n3 n4"},  // "Beta" < "Zed" < "alpha" < "alpha"
      {"", false, "n1 n2 n3 n4"},
      {"normal", false, "n1 n2 n3 n4"},
      {"unknown transform", false, "n1 n2 n3 n4"},
      {"lowercase", false, "n3 n4 n1 n2"},
      {"case-insensitive", false, "n3 n4 n1 n2"},
      {"last word", false, "n3 n4 n2 n1"},      // by "alpha", "alpha", "x", "y"
      {"case-sensitive", true, "n3 n4 n2 n1"},  // equal keys keep their order backward too
  };
  for (const auto& c : kCases) {
    Fixture f;
    f.Add("n3", "alpha", "0");
    f.Add("n1", "Beta y", "0");
    f.Add("n4", "alpha", "0");
    f.Add("n2", "Zed x", "0");
    f.box->Set("Sort", "Key");
    f.box->Set("SortTransform", c.transform);
    f.box->SetBoolean("SortBackward", c.backward);
    ASSERT_TRUE(f.box->SortNow());
    EXPECT_EQ(test::ChildNames(f.box), c.order) << c.transform << (c.backward ? " backward" : "");
  }
}

TEST(SortTest, NumbersAndDatesCompareNumericallyWhateverTheTransform) {
  Fixture f;
  f.Add("ten", "", "10");
  f.Add("nine", "", "9");
  f.Add("half", "", "0.5");
  f.box->Set("Sort", "Rank");
  f.box->Set("SortTransform", "lowercase");
  ASSERT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "half nine ten");
  test::At(f.doc.get(), "Box/ten")->Set("Due", "2001-02-03T00:00:00");
  test::At(f.doc.get(), "Box/nine")->Set("Due", "1999-02-03T00:00:00");
  f.box->Set("Sort", "Due");  // "half" is never: after every real date
  ASSERT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "nine ten half");
}

TEST(SortTest, SecondaryKeyDecidesTiesInItsOwnDirection) {
  Fixture f;
  f.Add("a1", "a", "1");
  f.Add("b2", "b", "2");
  f.Add("a3", "a", "3");
  f.Add("b1", "b", "1");
  f.box->Set("Sort", "Key");
  f.box->Set("SortAlso", "Rank");
  f.box->SetBoolean("SortBackwardAlso", true);
  ASSERT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "a3 a1 b2 b1");
  f.box->SetBoolean("SortBackward", true);
  ASSERT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "b2 b1 a3 a1");
  f.box->Set("SortAlso", "Missing");  // an invalid secondary key: ties keep their order
  ASSERT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "b2 b1 a3 a1");
}

TEST(SortTest, ComputedAndInheritedValuesAreCompared) {
  Fixture f;
  f.Add("one", "", "0");
  f.Add("two", "", "0");
  f.Add("three", "", "0");
  Node* one = test::At(f.doc.get(), "Box/one");
  Node* three = test::At(f.doc.get(), "Box/three");
  f.doc->MakeNode("c", three, nullptr, 0, 0);
  f.doc->MakeNode("c", three, nullptr, 0, 0);
  f.doc->MakeNode("c", one, nullptr, 0, 0);
  f.box->Set("Sort", "ChildCount");
  f.box->SetBoolean("SortBackward", true);
  ASSERT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "three one two");
  // A child without its own key sorts by its prototype's.
  auto* two = static_cast<CNode*>(test::At(f.doc.get(), "Box/two"));
  Node* proto = f.doc->MakeNode("proto", nullptr, nullptr, 0, 0);
  proto->Set("Key", "m");
  two->SetPrototypeCache(proto);
  two->Remove("Key");
  one->Set("Key", "z");
  three->Set("Key", "a");
  f.box->Set("Sort", "Key");
  f.box->SetBoolean("SortBackward", false);
  ASSERT_TRUE(f.box->SortNow());
  EXPECT_EQ(test::ChildNames(f.box), "three two one");
}

TEST(SortTest, UpdateSortingReportsEverySortedContainer) {
  auto doc = test::MakeDocument("A\n  b\n  a\nB\n  y\n  x\nC");
  test::At(doc.get(), "A")->Set("Sort", "Name");
  test::RecordingView view(doc.get());
  doc->UpdateSorting();
  EXPECT_EQ(test::Dump(doc->Root()), "A\n  a\n  b\nB\n  y\n  x\nC\n");
  EXPECT_EQ(view.Joined(), "A:2");
}

}  // namespace
}  // namespace fernweave
