#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/cleanup_actions.h"
#include "model/hypertext.h"
#include "model/orvex.h"
#include "tests/support/fakes.h"
#include "tests/support/model_builder.h"

namespace fernweave {
namespace {

struct Place {
  const char* name;
  double x, y;
};

// `prefix` is "" for top-level notes or the container's path with a trailing "/".
void ExpectPlaces(Hypertext* doc, const std::string& prefix, const std::vector<Place>& places) {
  for (const Place& p : places) {
    Node* n = test::At(doc, prefix + p.name);
    ASSERT_NE(n, nullptr) << p.name;
    EXPECT_NEAR(n->Position().x, p.x, 1e-9) << p.name;
    EXPECT_NEAR(n->Position().y, p.y, 1e-9) << p.name;
  }
}

void Size(Node* n, double x, double y, double w, double h) {
  n->SetPosition(MapPoint{x, y});
  n->SetDouble("Width", w);
  n->SetDouble("Height", h);
}

TEST(NodeCleanupActionTest, StaggeredGridInAContainerWithATitle) {
  // Every child moves, so the grid starts at the container's own corner:
  // x0 = -0.5 * 10 * 2 + 0.5, y0 = -0.5 * 8 * 2 + 0.5 + 2 * 8 * 0.25 (title room).
  // Five notes: k = 2, mean width + spacing = 2.4 + 0.5; a row ends at x >= -3.7.
  auto doc = test::MakeDocument("Box\n  N1\n  N2\n  N3\n  N4\n  N5");
  Node* box = test::At(doc.get(), "Box");
  box->SetDouble("Width", 10);
  box->SetDouble("Height", 8);
  box->SetDouble("InteriorScale", 2);
  const double sizes[][2] = {{2, 1}, {4, 2}, {3, 1}, {1, 1}, {2, 3}};
  int i = 0;
  for (Node* c = box->Son(); c != nullptr; c = c->Brother(), ++i) {
    Size(c, 20 + i, 20, sizes[i][0], sizes[i][1]);
  }
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeCleanupAction>(box, 0.5, true)));
  ExpectPlaces(doc.get(), "Box/",
               {{"N1", -9.5, -3.5},
                {"N2", -7.0, -3.5},
                {"N3", -9.5 + 0.25 + 1.45, -1.0},  // the odd row starts half a column in
                {"N4", -9.5 + 0.25 + 1.45 + 3.5, -1.0},
                {"N5", -9.5, 0.5}});
  doc->UndoHistory().Undo();
  ExpectPlaces(doc.get(), "Box/", {{"N1", 20, 20}, {"N3", 22, 20}, {"N5", 24, 20}});
  doc->UndoHistory().Redo();
  ExpectPlaces(doc.get(), "Box/", {{"N5", -9.5, 0.5}});
}

TEST(NodeCleanupActionTest, CandidatesAndTheOriginOfAPartialGrid) {
  // A locked note and an adornment stay: the grid starts at the smallest position of
  // the notes it moves (the root has no title). Three notes: k = 2, w = 3.5.
  auto doc = test::MakeDocument("Locked\nP\nQ\nR\nOnSmart");
  Node* locked = test::At(doc.get(), "Locked");
  locked->SetBoolean("Lock", true);
  Size(locked, 100, 100, 3, 1);
  Size(test::At(doc.get(), "P"), 5, 3, 3, 1);
  Size(test::At(doc.get(), "Q"), 2, 7, 3, 1);
  Size(test::At(doc.get(), "R"), 9, 1.2, 3, 1);
  Node* smart = doc->CreateAdornment(nullptr, test::At(doc.get(), "R"));
  smart->SetName("Ad");
  Size(smart, 50, 50, 10, 10);
  smart->Set("AgentQuery", "$Checked");
  Size(test::At(doc.get(), "OnSmart"), 52, 52, 3, 1);  // lies on the smart adornment
  EXPECT_EQ(NodeCleanupAction::MovedNodes(doc->Root()).size(), 3u);
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeCleanupAction>(doc->Root(), 0.5)));
  // y0 = 1.2 rounds to the half unit 1.0.
  ExpectPlaces(doc.get(), "",
               {{"P", 2, 1},
                {"Q", 5.5, 1},
                {"R", 2, 2.5},
                {"Locked", 100, 100},
                {"OnSmart", 52, 52},
                {"Ad", 50, 50}});

  // Two selected notes: only they move.
  test::At(doc.get(), "Q")->Select(true);
  test::At(doc.get(), "R")->Select(true);
  EXPECT_EQ(NodeCleanupAction::MovedNodes(doc->Root()).size(), 2u);
  // Nothing to move: not posted.
  auto empty = test::MakeDocument("Only");
  test::At(empty.get(), "Only")->SetBoolean("Lock", true);
  EXPECT_FALSE(empty->PostAction(std::make_unique<NodeCleanupAction>(empty->Root(), 0.5)));
}

TEST(NodeCleanupFormsTest, RowColumnBoxAndNudge) {
  auto doc = test::MakeDocument("A\nB\nC\nD\nE");
  const double widths[] = {1, 2, 3, 1, 2};
  int i = 0;
  for (Node* c = doc->Root()->Son(); c != nullptr; c = c->Brother(), ++i) {
    Size(c, 4 - i, 2 + i, widths[i], 1);
  }
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeCleanupRowAction>(doc->Root(), 0.5)));
  ExpectPlaces(doc.get(), "",
               {{"A", 4, 2}, {"B", 5.5, 2}, {"C", 8, 2}, {"D", 11.5, 2}, {"E", 13, 2}});
  doc->UndoHistory().Undo();
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeCleanupColumnAction>(doc->Root(), 1)));
  ExpectPlaces(doc.get(), "", {{"A", 4, 2}, {"B", 4, 4}, {"E", 4, 10}});
  doc->UndoHistory().Undo();
  // Five notes round a box: a = 1, two on each long side, one on each short side.
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeCleanupBoxAction>(doc->Root(), 0.5)));
  ExpectPlaces(doc.get(), "",
               {{"A", 0, 0}, {"B", 1.5, 0}, {"C", 4, 0}, {"D", 4, 1.5}, {"E", 2.5, 1.5}});
  doc->UndoHistory().Undo();
  ASSERT_TRUE(doc->PostAction(std::make_unique<NodeNudgeAction>(doc->Root(), 1.5)));
  ExpectPlaces(doc.get(), "", {{"A", 6, 3}, {"E", 0, 9}});
  doc->UndoHistory().Undo();
  ExpectPlaces(doc.get(), "", {{"A", 4, 2}, {"E", 0, 6}});
  auto one = test::MakeDocument("Only");
  EXPECT_FALSE(one->PostAction(std::make_unique<NodeCleanupBoxAction>(one->Root(), 0.5)));
}

}  // namespace
}  // namespace fernweave
