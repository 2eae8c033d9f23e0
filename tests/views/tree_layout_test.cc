#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "foundation/error.h"
#include "lang/language.h"
#include "model/alias_node.h"
#include "model/node.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"
#include "tests/support/recording_draw_context.h"
#include "views/chart_layout_policy.h"
#include "views/outline_layout_policy.h"
#include "views/treemap_layout_policy.h"

namespace fernweave {
namespace {

using test::At;
using test::RectText;

// "name level top" for every visible record, in document order.
std::string Rows(Hypertext* doc, const LayoutMap& map) {
  std::string out;
  for (Node* n = doc->Root()->Son(); n != nullptr; n = n->Next()) {
    const LayoutInfo* info = map.Get(n);
    if (info != nullptr && info->visible) {
      out += n->Name() + " " + std::to_string(static_cast<int>(info->level)) + " " +
             std::to_string(info->frame.top) + "\n";
    }
  }
  return out;
}

const SRect kOutlineArea{0, 0, 600, 0};

TEST(OutlineLayoutTest, DocumentRootShowsTopLevelRowsAndExpandingShowsChildren) {
  auto doc = test::MakeDocument("A\n  A1\n    A11\n  A2\nB\n  B1");
  OrvexOutlineLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_FALSE(map.Get(doc->Root())->visible);
  EXPECT_EQ(Rows(doc.get(), map), "A 0 10\nB 0 27\n");
  policy.Expand(At(doc.get(), "A"), &map, false, false);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(Rows(doc.get(), map), "A 0 10\nA1 1 27\nA2 1 44\nB 0 61\n");
  // Indented by twice the root row's height per level.
  EXPECT_EQ(map.Get(At(doc.get(), "A/A1"))->frame.left, 10 + 24);
  policy.Expand(At(doc.get(), "A"), &map, true, true);  // collapses A, its subtree and B
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(Rows(doc.get(), map), "A 0 10\nB 0 27\n");
  EXPECT_FALSE(map.Get(At(doc.get(), "A/A1/A11"))->expanded);
}

TEST(OutlineLayoutTest, FoldedSubtreesGetNoRowsAndKeepTheirInnerStateWhenFoldedAgain) {
  auto doc = test::MakeDocument("A\n  A1\n    A11\n      A111\n  A2\nB");
  OrvexOutlineLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(map.Get(At(doc.get(), "A/A1")), nullptr);
  EXPECT_EQ(map.size(), 3u);  // the root, A and B
  policy.Expand(At(doc.get(), "A"), &map, false, false);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  policy.Expand(At(doc.get(), "A/A1"), &map, false, false);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(Rows(doc.get(), map), "A 0 10\nA1 1 27\nA11 2 44\nA2 1 61\nB 0 78\n");
  // Folding A hides A1 and A11 but keeps A1 expanded for when A opens again.
  policy.Expand(At(doc.get(), "A"), &map, false, false);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(Rows(doc.get(), map), "A 0 10\nB 0 27\n");
  ASSERT_NE(map.Get(At(doc.get(), "A/A1")), nullptr);
  EXPECT_TRUE(map.Get(At(doc.get(), "A/A1"))->expanded);
  policy.Expand(At(doc.get(), "A"), &map, false, false);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(Rows(doc.get(), map), "A 0 10\nA1 1 27\nA11 2 44\nA2 1 61\nB 0 78\n");
  // A hit below the last row finds nothing, not a hidden row's stale frame.
  EXPECT_EQ(policy.FindNodeAt(ViewPoint{40, 100}, map, true), nullptr);
}

TEST(OutlineLayoutTest, RangeSelectionTakesShownRowsAndOptimizeDropsPlainHiddenOnes) {
  auto doc = test::MakeDocument("A\n  A1\nB\nC\nD");
  OrvexOutlineLayoutPolicy policy;
  LayoutMap map;
  policy.Expand(At(doc.get(), "A"), &map, false, false);  // no record yet: nothing
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  auto selected = [&] {
    std::string out;
    for (const Node* n : doc->Selection()) {
      out += n->Name() + " ";
    }
    return out;
  };
  EXPECT_EQ(policy.RangeSelect(At(doc.get(), "C"), At(doc.get(), "A"), map, false), 3);
  EXPECT_EQ(selected(), "A B C ");
  EXPECT_EQ(policy.RangeSelect(At(doc.get(), "D"), At(doc.get(), "D"), map, false), 1);
  EXPECT_EQ(selected(), "D ");
  // A1 shown once, then folded away with nothing of its own to keep.
  policy.Expand(At(doc.get(), "A"), &map, false, false);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(policy.RangeSelect(At(doc.get(), "A"), At(doc.get(), "B"), map, true), 3);
  policy.Expand(At(doc.get(), "A"), &map, false, false);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(policy.Optimize(doc->Root(), &map), 1);
  EXPECT_EQ(map.Get(At(doc.get(), "A/A1")), nullptr);
  EXPECT_EQ(Rows(doc.get(), map), "A 0 10\nB 0 27\nC 0 44\nD 0 61\n");
}

TEST(OutlineLayoutTest, NamesWrapWithinTheFirstColumn) {
  auto doc = test::MakeDocument("alpha beta gamma delta epsilon\nB");
  OrvexOutlineLayoutPolicy policy;
  LayoutMap map;
  policy.SetUseCheckbox(true);  // 16 pixels less room still holds the name
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(Rows(doc.get(), map), "alpha beta gamma delta epsilon 0 10\nB 0 27\n");
  // The first column's 200 pixels less the row's 10, the check box's 16 and the 70
  // kept free leave 104: the name takes three lines of 14.4 pixels.
  policy.SetColumnLayout({{"Name", 200}, {"Xpos", 80}});
  policy.ChangedSize(&map);
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  EXPECT_EQ(Rows(doc.get(), map), "alpha beta gamma delta epsilon 0 10\nB 0 53\n");
  policy.SetColumnLayout({});
  EXPECT_EQ(policy.WithColumnLayout(), nullptr);
}

TEST(OutlineLayoutTest, OnlyRowsWiderThanThreeLinesAndSeventyAreWrapped) {
  auto doc = test::MakeDocument("alpha beta gamma delta");
  OrvexOutlineLayoutPolicy policy;
  LayoutInfo info;
  info.node = At(doc.get(), "alpha beta gamma delta");
  info.text_size = 12;
  // A line of 12-pixel text is 15 pixels, so H is 17 and 3H + 70 is 121.
  struct Case {
    int32_t width;
    int32_t bottom;
  } cases[] = {{121, 18}, {122, 57}, {400, 17}};
  for (const Case& c : cases) {
    info.measured_height = 0;
    SRect rect{0, 0, c.width, 0};
    policy.Measure(&info, &rect);
    EXPECT_EQ(rect.bottom, c.bottom) << "width " << c.width;
  }
  // The height is cached until the text size changes.
  SRect rect{0, 0, 122, 0};
  policy.Measure(&info, &rect);
  EXPECT_EQ(rect.bottom, 17);
  info.text_size = 24;
  policy.Measure(&info, &rect);
  EXPECT_NE(rect.bottom, 17);
}

TEST(OutlineLayoutTest, RowsNeverStraddleAPageBreak) {
  auto doc = test::MakeDocument("a\nb\nc\nd\ne\nf\ng");
  OrvexOutlineLayoutPolicy policy;
  policy.SetPageHeight(100);
  LayoutMap map;
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  // The sixth row would span 95–112: it moves to 100, and the seventh follows it.
  EXPECT_EQ(Rows(doc.get(), map), "a 0 10\nb 0 27\nc 0 44\nd 0 61\ne 0 78\nf 0 100\ng 0 117\n");
}

TEST(OutlineLayoutTest, ThousandsOfRowsKeepIncreasingPositions) {
  auto doc = test::MakeDocument("");
  for (int i = 0; i < 2000; ++i) {
    doc->MakeNode("n", nullptr, doc->Root()->YoungestSon(), 0, 0);
  }
  OrvexOutlineLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 16, doc->Root(), &map, kOutlineArea);
  int32_t previous = 0;
  for (Node* n = doc->Root()->Son(); n != nullptr; n = n->Brother()) {
    ASSERT_GT(map.Get(n)->frame.top, previous);
    previous = map.Get(n)->frame.top;
  }
  EXPECT_EQ(previous, 10 + 1999 * 17);  // past 32,767, where 16 bits would wrap
}

TEST(OutlineLayoutTest, PlacingWithoutPreparingIsAnInternalError) {
  auto doc = test::MakeDocument("A");
  OrvexOutlineLayoutPolicy policy;
  LayoutMap map;
  EXPECT_FW_ERROR(policy.Layout(16, doc->Root(), &map, kOutlineArea), "asrt");
}

TEST(ChartLayoutTest, LeavesStackAndParentsCentreOnTheirChildren) {
  auto doc = test::MakeDocument("R\n  L1\n  L2");
  Node* r = At(doc.get(), "R");
  ChartLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{});
  // Boxes are 4 × 36 + 20 wide and 22 high; R loses 17 pixels for its expander; the
  // sibling gap is 22 / 2 + 2.
  EXPECT_EQ(RectText(map.Get(At(doc.get(), "R/L1"))->frame), "173,10,337,32");
  EXPECT_EQ(RectText(map.Get(At(doc.get(), "R/L2"))->frame), "173,45,337,67");
  EXPECT_EQ(RectText(map.Get(r)->frame), "10,28,157,50");
}

// A leaf separator takes no slot; one that stops being a separator gets its slot on
// the next pass, and L2 moves down by a slot (box height 22 + gap 13).
TEST(ChartLayoutTest, ALeafSeparatorTakesNoSlotUntilItStopsBeingOne) {
  auto doc = test::MakeDocument("R\n  L1\n  S\n  L2");
  Node* r = At(doc.get(), "R");
  Node* s = At(doc.get(), "R/S");
  s->SetBoolean("Separator", true);
  ChartLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{});
  EXPECT_FALSE(map.Get(s)->visible);
  EXPECT_EQ(map.Get(At(doc.get(), "R/L2"))->frame.top, 45);
  s->SetBoolean("Separator", false);
  LayOutView(&policy, 36, r, &map, SRect{});
  EXPECT_TRUE(map.Get(s)->visible);
  EXPECT_EQ(map.Get(At(doc.get(), "R/L2"))->frame.top, 80);
}

TEST(ChartLayoutTest, ASingleSmallerChildMovesDownToTheMiddleOfItsParentsSlot) {
  auto doc = test::MakeDocument("R\n  C");
  Node* r = At(doc.get(), "R");
  Node* c = At(doc.get(), "R/C");
  r->SetName("a name long enough to wrap over three lines of the box");
  ChartLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{});
  const LayoutInfo* root = map.Get(r);
  const LayoutInfo* child = map.Get(c);
  const int h = Height(root->frame);
  ASSERT_GT(h, 22);  // the wrapped name makes R's box taller than C's
  // R's slot is h + G, C's 22 + G: C moves down by half the difference.
  EXPECT_EQ(root->position, 0);
  EXPECT_EQ(child->position, (h - 22) / 2);
}

TEST(ChartLayoutTest, NamesAreMeasuredAgainOnlyAfterChangedSize) {
  auto doc = test::MakeDocument("R\n  Leaf");
  Node* r = At(doc.get(), "R");
  Node* leaf = At(doc.get(), "R/Leaf");
  ChartLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{});
  const std::string before = RectText(map.Get(leaf)->frame);
  leaf->SetName("a leaf whose name no longer fits on one line of its box");
  LayOutView(&policy, 36, r, &map, SRect{});
  EXPECT_EQ(RectText(map.Get(leaf)->frame), before);
  policy.ChangedSize(map.Get(leaf));
  LayOutView(&policy, 36, r, &map, SRect{});
  // A leaf with a long name is widened to 400 × 36 ÷ 36 pixels, then grows downwards.
  EXPECT_EQ(Width(map.Get(leaf)->frame), 400);
  EXPECT_GT(Height(map.Get(leaf)->frame), 22);
}

// A folded note keeps its box and hides its subtree, so B follows A by one slot
// (22 + 13); a pass over one map never reuses the notes prepared for another.
TEST(ChartLayoutTest, FoldedNotesHideTheirSubtreesAndLayoutReadsOnlyItsOwnMap) {
  auto doc = test::MakeDocument("R\n  A\n    A1\n    A2\n  B");
  Node* r = At(doc.get(), "R");
  ChartLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{});
  map.Get(At(doc.get(), "R/A"))->expanded = false;
  LayOutView(&policy, 36, r, &map, SRect{});
  EXPECT_TRUE(map.Get(At(doc.get(), "R/A"))->visible);
  EXPECT_FALSE(map.Get(At(doc.get(), "R/A/A1"))->visible);
  EXPECT_FALSE(map.Get(At(doc.get(), "R/A/A2"))->visible);
  EXPECT_EQ(map.Get(At(doc.get(), "R/B"))->frame.top,
            map.Get(At(doc.get(), "R/A"))->frame.top + 35);

  LayoutMap prepared;
  policy.Prepare(36, r, &prepared, SRect{}, 0);
  LayoutMap other;
  other.CreateFor(r)->visible = true;
  EXPECT_FW_ERROR(policy.Layout(36, r, &other, SRect{}), "asrt");
  EXPECT_FALSE(prepared.Get(At(doc.get(), "R/A/A1"))->placed);
}

// Boxes fit the name a note shows: its display expression's value, an alias's
// original's name. A leaf whose shown name is long is widened to 400 pixels.
TEST(ChartLayoutTest, BoxesAreSizedForTheNamesNotesShow) {
  InstallLanguage();
  auto doc = test::MakeDocument("R\n  Short\n  Shown\n  a name too long for one line of a box");
  Node* r = At(doc.get(), "R");
  At(doc.get(), "R/Shown")->Set("DisplayExpression", "\"a display name too long for one line\"");
  AliasNode::CreateFor(At(doc.get(), "R/a name too long for one line of a box"), r,
                       At(doc.get(), "R/Shown"), 0, 0, false);
  ChartLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{});
  std::string widths;
  for (Node* n = r->Son(); n != nullptr; n = n->Brother()) {
    widths += std::to_string(Width(map.Get(n)->frame)) + " ";
  }
  // Short, Shown, the alias, its original.
  EXPECT_EQ(widths, "164 400 400 400 ");
}

TEST(TreemapLayoutTest, ChildrenShareTheAreaBelowTheTitleBand) {
  auto doc = test::MakeDocument("R\n  A\n    A1\n    A2\n  B");
  Node* r = At(doc.get(), "R");
  TreemapLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{0, 0, 400, 300});
  auto frame = [&](std::string_view path) { return RectText(map.Get(At(doc.get(), path))->frame); };
  EXPECT_EQ(frame("R"), "5,5,395,295");
  EXPECT_FALSE(map.Get(r)->horizontal);  // 2 × 390 is not more than 3 × 290
  EXPECT_EQ(frame("R/A"), "10,22,390,153");
  EXPECT_EQ(frame("R/B"), "10,158,390,289");
  EXPECT_EQ(frame("R/A/A1"), "15,39,197,148");
  EXPECT_EQ(frame("R/A/A2"), "202,39,384,148");
  const LayoutInfo* hit = policy.FindNodeAt({100, 100}, map, false);
  ASSERT_NE(hit, nullptr);
  EXPECT_EQ(hit->node->Name(), "A1");
}

TEST(TreemapLayoutTest, TooSmallAreasMakeNoRecordsAndCrampedNotesCollapse) {
  auto doc = test::MakeDocument("R\n  A");
  Node* r = At(doc.get(), "R");
  TreemapLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, r, &map, SRect{0, 0, 14, 100});
  EXPECT_EQ(map.size(), 0u);
  LayOutView(&policy, 36, r, &map, SRect{0, 0, 100, 30});
  ASSERT_EQ(map.size(), 1u);
  EXPECT_FALSE(map.Get(r)->expanded);
  EXPECT_EQ(map.Get(At(doc.get(), "R/A")), nullptr);
}

}  // namespace
}  // namespace fernweave
