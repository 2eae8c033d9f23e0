#include "model/map_position.h"

#include <gtest/gtest.h>

#include "model/alias_node.h"
#include "model/node.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

// Makes a child of parent at (x, y) with the given size.
Node* Box(Hypertext* doc, Node* parent, const char* name, double x, double y, double w = 3,
          double h = 1) {
  Node* n = doc->MakeNode(name, parent, parent->YoungestSon(), x, y);
  n->SetDouble("Width", w);
  n->SetDouble("Height", h);
  return n;
}

TEST(MapPositionTest, FindAPlaceNearTheNeighbours) {
  auto doc = test::MakeDocument("Map\nMover");
  Node* map = test::At(doc.get(), "Map");
  Node* mover = test::At(doc.get(), "Mover");
  mover->SetDouble("Width", 4);
  mover->SetDouble("Height", 2);
  Node* left = Box(doc.get(), map, "left", 1, 1);
  Node* right = Box(doc.get(), map, "right", 9, 3);
  // Only a neighbour after: to its left, one gap apart.
  EXPECT_EQ(mover->FindAPlaceNear(nullptr, right), (MapPoint{9 - 4.5, 3}));
  // Both, in order on the map: halfway between them.
  EXPECT_EQ(mover->FindAPlaceNear(left, right), (MapPoint{5, 2}));
  // Both, out of order: after the one before.
  EXPECT_EQ(mover->FindAPlaceNear(right, left), (MapPoint{12.5, 3}));
  // Only one before, inside a row narrower than 20: right after it.
  EXPECT_EQ(mover->FindAPlaceNear(left, nullptr), (MapPoint{4.5, 1}));
  // Only one before at the end of a full row: a new row at the left, below all.
  Node* far = Box(doc.get(), map, "far", 30, 0);
  EXPECT_EQ(mover->FindAPlaceNear(far, nullptr), (MapPoint{1, 4 + 0.5 + 2}));
}

TEST(MapPositionTest, AvoidCollisionShiftsRightOrDropsBelow) {
  auto doc = test::MakeDocument("Map\nMover");
  Node* map = test::At(doc.get(), "Map");
  Node* mover = test::At(doc.get(), "Mover");  // width 3, height 1
  Box(doc.get(), map, "a", 0, 0, 3, 1);
  Box(doc.get(), map, "b", 3.5, 0, 2, 1);
  Node* sep = Box(doc.get(), map, "sep", 6, 0, 5, 1);
  sep->SetBoolean("Separator", true);  // separators are not obstacles
  doc->MakeNode(Hypertext::NoteKind::kAdornment, "shape", map, nullptr, 0, 0)
      ->SetDouble("Width", 50);
  // Pushed past a, then past b.
  EXPECT_EQ(mover->AvoidCollision(map, MapPoint{1, 0}), (MapPoint{5.5, 0}));
  // Clear space: unchanged.
  EXPECT_EQ(mover->AvoidCollision(map, MapPoint{0, 5}), (MapPoint{0, 5}));
  // A wide obstacle ending more than 100 to the right: dropped below everything.
  Box(doc.get(), map, "wide", 0, 2, 150, 2);
  EXPECT_EQ(mover->AvoidCollision(map, MapPoint{10, 3}), (MapPoint{10, 4}));
  // A zero-width obstacle that the note overlaps from the left pushes it to half a
  // unit past the obstacle's edge.
  Node* other = doc->MakeNode("Other", nullptr, nullptr, 0, 0);
  Box(doc.get(), other, "thin", 0, 0, 0, 1);
  EXPECT_EQ(mover->AvoidCollision(other, MapPoint{-1, 0}), (MapPoint{0.5, 0}));
  EXPECT_EQ(mover->AvoidCollision(nullptr, MapPoint{1, 1}), (MapPoint{1, 1}));
}

TEST(MapPositionTest, AliasesOfTheSameNoteInAnAgentDoNotCollide) {
  auto doc = test::MakeDocument("Original");
  Node* original = test::At(doc.get(), "Original");
  Node* agent = doc->MakeNode(Hypertext::NoteKind::kAgent, "Agent", nullptr, nullptr, 0, 0);
  AliasNode* first = AliasNode::CreateFor(original, agent, nullptr, 0, 0, false);
  AliasNode* second = AliasNode::CreateFor(original, agent, first, 0, 0, false);
  EXPECT_EQ(second->AvoidCollision(agent, MapPoint{0, 0}), (MapPoint{0, 0}));
  Node* plain = doc->MakeNode("Plain", nullptr, nullptr, 0, 0);
  AliasNode* third = AliasNode::CreateFor(original, plain, nullptr, 0, 0, false);
  AliasNode* fourth = AliasNode::CreateFor(original, plain, third, 0, 0, false);
  EXPECT_EQ(fourth->AvoidCollision(plain, MapPoint{0, 0}), (MapPoint{3, 0}));
}

TEST(MapPositionTest, MovedNotesKeepOrFindTheirPlace) {
  auto doc = test::MakeDocument("Map\nMover");
  Node* map = test::At(doc.get(), "Map");
  Node* mover = test::At(doc.get(), "Mover");
  mover->SetPosition(MapPoint{7, 7});
  // Into an empty container, with no neighbours: the origin.
  ASSERT_TRUE(mover->DoMoveTo(map, nullptr));
  EXPECT_EQ(mover->Position(), (MapPoint{0, 0}));
  Box(doc.get(), map, "a", 0, 0);
  mover->SetPosition(MapPoint{7, 7});
  // To the top of its own container: it keeps its place.
  ASSERT_TRUE(mover->DoMoveTo(map, nullptr));
  EXPECT_EQ(mover->Position(), (MapPoint{7, 7}));
  EXPECT_EQ(map->Son(), mover);
  // Into another container after a neighbour: beside it, clear of the others.
  Node* other = doc->MakeNode("Other", nullptr, nullptr, 0, 0);
  Node* b = Box(doc.get(), other, "b", 2, 2);
  Box(doc.get(), other, "c", 5.5, 2);
  // Halfway between b and c (3.75, 2), then pushed past b (to 5) and past c (to 8.5).
  ASSERT_TRUE(mover->DoMoveTo(other, b));
  EXPECT_EQ(mover->Position(), (MapPoint{8.5, 2}));
}

}  // namespace
}  // namespace fernweave
