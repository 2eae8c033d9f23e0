#include "model/node_vector.h"

#include <gtest/gtest.h>

#include "model/node.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

TEST(NodeVectorTest, AddKeepsOneOfEachAndFiltersSeeKinds) {
  auto doc = test::MakeDocument("A\n  x\nB\nC");
  Node* a = test::At(doc.get(), "A");
  Node* b = test::At(doc.get(), "B");
  Node* x = test::At(doc.get(), "A/x");
  Node* shape = doc->MakeNode(Hypertext::NoteKind::kAdornment, "shape", nullptr, nullptr, 0, 0);
  NodeVector v;
  v.Add(a);
  v.Add(b);
  v.Add(a);
  v.Add(nullptr);
  EXPECT_EQ(v.TitleList(), "A, B");
  EXPECT_TRUE(v.SameParent());
  v.Add(x);
  EXPECT_FALSE(v.SameParent());
  v.Insert(shape, 99);
  EXPECT_EQ(v.TitleList(), "A, B, x, shape");
  EXPECT_EQ(v.AgentsAndContainers().TitleList(), "A");
  EXPECT_FALSE(v.OnlyAdornments());
  v.RemoveAdornments();
  EXPECT_EQ(v.size(), 3u);
  v.Remove(b);
  EXPECT_FALSE(v.Has(b));
  EXPECT_TRUE(NodeVector(std::vector<Node*>{shape}).OnlyAdornments());
  EXPECT_FALSE(NodeVector().OnlyAdornments());
  b->SetBoolean("Lock", true);
  NodeVector all = doc->AllNodes();
  EXPECT_FALSE(all.Unlocked().Has(b));
  EXPECT_TRUE(all.Unlocked().Has(a));
}

TEST(NodeVectorTest, NewestAndSharedValues) {
  test::PinnedClock clock("2009-05-03T09:05:07");
  auto doc = test::MakeDocument("Old");
  clock.Set("2010-05-03T09:05:07");
  Node* mid = doc->MakeNode("Mid", nullptr, nullptr, 0, 0);
  clock.Set("2011-05-03T09:05:07");
  Node* young = doc->MakeNode("Young", nullptr, nullptr, 0, 0);
  Node* old = test::At(doc.get(), "Old");
  ConstNodeVector v(std::vector<const Node*>{old, young, mid});
  EXPECT_EQ(v.Newest(2).TitleList(), "Young, Mid");
  clock.Set("2012-01-01T00:00:00");
  old->HasBeenModified();
  EXPECT_EQ(v.MostRecentlyModified(1).TitleList(), "Old");
  EXPECT_EQ(v.SharedNumber("Width"), 3.0);
  EXPECT_EQ(v.SharedBoolean("Lock"), false);
  ASSERT_NE(v.SharedValue("Color"), nullptr);
  EXPECT_EQ(v.SharedValue("Color")->AsString(), "cool gray");
  // Colour names resolve through the colour table, not here: both read as black.
  mid->Set("Color", "red");
  EXPECT_EQ(v.SharedValue("Color"), nullptr);
  EXPECT_EQ(v.SharedColor("Color"), PColor());
  mid->Set("Color", "#ff0000");
  EXPECT_EQ(v.SharedColor("Color"), std::nullopt);
  EXPECT_EQ(ConstNodeVector().SharedNumber("Width"), std::nullopt);
}

}  // namespace
}  // namespace fernweave
