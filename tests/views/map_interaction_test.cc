#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/action.h"
#include "model/node.h"
#include "model/undo_texts.h"
#include "tests/support/model_builder.h"
#include "tests/support/recording_draw_context.h"
#include "views/map_interaction.h"
#include "views/map_layout_policy.h"

namespace fernweave {
namespace {

using test::At;
using test::RectText;

void Place(Node* n, double x, double y, double w, double h) {
  n->SetDouble("Xpos", x);
  n->SetDouble("Ypos", y);
  n->SetDouble("Width", w);
  n->SetDouble("Height", h);
}

std::string Geometry(const Node* n) {
  return n->GetString("Xpos") + "," + n->GetString("Ypos") + " " + n->GetString("Width") + "x" +
         n->GetString("Height");
}

struct MapSetup {
  explicit MapSetup(std::string_view outline) : doc(test::MakeDocument(outline)) {}
  void Lay() { LayOutView(&policy, 36, doc->Root(), &map, SRect{}); }
  Node* Note(std::string_view path) { return At(doc.get(), path); }
  std::unique_ptr<Orvex> doc;
  OrvexMapLayoutPolicy policy;
  LayoutMap map;
};

TEST(ResizeTest, HandlesSnappingAndFrames) {
  const SRect frame{38, 74, 142, 106};
  EXPECT_EQ(RectText(ResizeHandleRect(frame, 1)), "34,70,39,75");
  EXPECT_EQ(RectText(ResizeHandleRect(frame, 4)), "88,105,92,110");
  EXPECT_EQ(RectText(ResizeHandleRect(frame, 6)), "141,88,146,92");
  EXPECT_EQ(RectText(ResizeHandleRect(frame, 0)), "0,0,0,0");
  struct Case {
    int handle;
    ViewPoint p;
    const char* frame;
  } cases[] = {
      {5, {180, 120}, "38,74,180,120"}, {2, {10, 999}, "10,74,142,106"},
      {8, {999, 50}, "38,50,142,106"},  {1, {200, 200}, "142,106,200,200"},  // normalised
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RectText(AdjustResizeFrame(frame, c.handle, c.p)), c.frame) << "handle " << c.handle;
  }
  const ViewPoint snapped = SnapToHalfUnits({200, 120}, 36);
  EXPECT_EQ(snapped, (ViewPoint{198, 126}));
  const MapGeometry g = FrameToGeometry({36, 72, 89, 108}, 36);  // 53 pixels wide
  EXPECT_EQ(g.width, 1.5);
  EXPECT_EQ(g.height, 1.0);
  EXPECT_EQ(g.x, 1.0);
  EXPECT_EQ(g.y, 2.0);
  const MapGeometry empty = FrameToGeometry({10, 10, 10, 10}, 36);
  EXPECT_EQ(empty.width, 0.5);
  EXPECT_EQ(empty.height, 0.5);
}

TEST(ResizeTest, ASessionResizesLiveAndUndoesInOneStep) {
  MapSetup s("A");
  Node* a = s.Note("A");
  Place(a, 1, 2, 3, 1);
  s.Lay();
  {
    ResizeSession session(a, s.map.Get(a)->frame, 5, 36);
    session.Drag({200, 120});
    EXPECT_EQ(Geometry(a), "1,2 4.5x1.5");  // written while the button is down
    ASSERT_TRUE(session.Finish());
  }
  EXPECT_EQ(Geometry(a), "1,2 4.5x1.5");
  s.doc->UndoHistory().Undo();
  EXPECT_EQ(Geometry(a), "1,2 3x1");
  s.doc->UndoHistory().Redo();
  EXPECT_EQ(Geometry(a), "1,2 4.5x1.5");
  {
    // A session abandoned without Finish puts the note back.
    s.Lay();
    ResizeSession session(a, s.map.Get(a)->frame, 1, 36);
    session.Drag({0, 0});
    EXPECT_EQ(Geometry(a), "0,0 5.5x3.5");
  }
  EXPECT_EQ(Geometry(a), "1,2 4.5x1.5");
}

TEST(MapEditTest, CreatingAtAPointIsUndoableAndRefusedOnANote) {
  MapSetup s("A");
  Place(s.Note("A"), 1, 1, 3, 1);
  s.Lay();
  EXPECT_EQ(CreateNoteAt(s.policy, s.map, s.doc->Root(), 36, {40, 40}), nullptr);
  Node* made = CreateNoteAt(s.policy, s.map, s.doc->Root(), 36, {360, 72});
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->GetString("Xpos") + "," + made->GetString("Ypos"), "10,2");
  EXPECT_EQ(test::ChildNames(s.doc->Root()), "A untitled");
  s.doc->UndoHistory().Undo();
  EXPECT_EQ(test::ChildNames(s.doc->Root()), "A");
}

TEST(MapEditTest, DroppingMovesOntoTheMapOrIntoABox) {
  MapSetup s("A\nBox");
  Node* a = s.Note("A");
  Node* box = s.Note("Box");
  Place(a, 0, 0, 2, 1);
  Place(box, 5, 0, 4, 3);
  box->SetDouble("MapScrollX", 1);
  s.Lay();
  const SRect f = s.map.Get(box)->frame;  // 182,2,322,106
  // Into the box, 14 pixels right of and 4 below its centre: × 6 ÷ 36, plus the scroll.
  const ViewPoint p{f.left + Width(f) / 2 + 18, f.top + Height(f) / 2 + 6};
  ASSERT_EQ(DropNote(s.policy, s.map, s.doc->Root(), a, 36, p, DropMode::kIntoBox, DropAs::kMove), a);
  EXPECT_EQ(a->Father(), box);
  EXPECT_EQ(a->GetString("Xpos") + "," + a->GetString("Ypos"), "4,1");
  s.doc->UndoHistory().Undo();
  EXPECT_EQ(a->Father(), s.doc->Root());
  EXPECT_EQ(a->GetString("Xpos"), "0");
  // On the map the point itself gives the position, whatever lies beneath.
  ASSERT_EQ(DropNote(s.policy, s.map, s.doc->Root(), a, 36, p, DropMode::kOnMap, DropAs::kMove), a);
  EXPECT_EQ(a->Father(), s.doc->Root());
  EXPECT_EQ(a->GetString("Xpos"), "7.5");
  // A box cannot be dropped into itself.
  EXPECT_EQ(DropNote(s.policy, s.map, s.doc->Root(), box, 36, p, DropMode::kIntoBox, DropAs::kMove)
                ->Father(),
            s.doc->Root());
}

TEST(MapEditTest, ACopyDroppedIntoABoxIsOneUndoStep) {
  MapSetup s("A\nBox");
  Place(s.Note("A"), 0, 0, 2, 1);
  Place(s.Note("Box"), 5, 0, 4, 3);
  s.Lay();
  const SRect f = s.map.Get(s.Note("Box"))->frame;
  const ViewPoint centre{f.left + Width(f) / 2, f.top + Height(f) / 2};
  Node* copy =
      DropNote(s.policy, s.map, s.doc->Root(), s.Note("A"), 36, centre, DropMode::kIntoBox, DropAs::kCopy);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(test::Dump(s.doc->Root(), {"Xpos"}), "A Xpos=0\nBox Xpos=5\n  A copy Xpos=0\n");
  s.doc->UndoHistory().Undo();
  EXPECT_EQ(test::Dump(s.doc->Root(), {"Xpos"}), "A Xpos=0\nBox Xpos=5\n");
  EXPECT_EQ(test::CheckInvariants(*s.doc), "");
}

TEST(MapHitTest, AHandleCoveredByABoxPaintedAboveItIsNotHit) {
  MapSetup s("Elder\nYounger");
  Place(s.Note("Elder"), 10, 0, 3, 2);    // 362,2,466,70
  Place(s.Note("Younger"), 11, 1, 3, 2);  // 398,38,502,106
  s.Lay();
  auto hit = [&](ViewPoint p) {
    const MapItem item = HitTest(s.policy, s.map, p);
    return item.record == nullptr ? std::string("none")
                                  : item.record->node->Name() + " " + std::to_string(item.handle);
  };
  s.Note("Younger")->Select(true);
  EXPECT_EQ(hit({396, 36}), "Elder 0");  // the elder box covers the younger's corner
  EXPECT_EQ(hit({503, 107}), "Younger 5");
  s.Note("Younger")->Select(false);
  s.Note("Elder")->Select(true);
  EXPECT_EQ(hit({467, 71}), "Elder 5");  // above the younger box
}

TEST(MapEditTest, AnAliasDropIsOneUndoStepAndMayGoInsideItsOriginal) {
  MapSetup s("A\nBox");
  Place(s.Note("A"), 0, 0, 2, 1);
  Place(s.Note("Box"), 5, 0, 4, 3);
  s.Lay();
  const SRect f = s.map.Get(s.Note("Box"))->frame;
  const ViewPoint centre{f.left + Width(f) / 2, f.top + Height(f) / 2};
  Node* alias = DropNote(s.policy, s.map, s.doc->Root(), s.Note("A"), 36, centre,
                         DropMode::kIntoBox, DropAs::kAlias);
  ASSERT_NE(alias, nullptr);
  EXPECT_TRUE(alias->IsAliasFor(s.Note("A")));
  EXPECT_EQ(test::Dump(s.doc->Root(), {"Xpos"}), "A Xpos=0\nBox Xpos=5\n  A Xpos=0\n");
  EXPECT_EQ(UndoMenuText(s.doc->UndoHistory().Current()), "Undo Make Alias");
  s.doc->UndoHistory().Undo();
  EXPECT_EQ(test::Dump(s.doc->Root(), {"Xpos"}), "A Xpos=0\nBox Xpos=5\n");
  s.doc->UndoHistory().Redo();
  EXPECT_EQ(alias->Father(), s.Note("Box"));
  // An alias of the box inside the box itself; an alias of an alias stands for the
  // original.
  Node* inner = DropNote(s.policy, s.map, s.doc->Root(), alias, 36, centre, DropMode::kIntoBox,
                         DropAs::kAlias);
  ASSERT_NE(inner, nullptr);
  EXPECT_TRUE(inner->IsAliasFor(s.Note("A")));
  EXPECT_NE(DropNote(s.policy, s.map, s.doc->Root(), s.Note("Box"), 36, centre, DropMode::kIntoBox,
                     DropAs::kAlias),
            nullptr);
  EXPECT_EQ(test::CheckInvariants(*s.doc), "");
}

TEST(MapEditTest, PanningMovesTheInteriorScrollPoint) {
  MapSetup s("Box\n  Inner");
  Node* box = s.Note("Box");
  PanSession pan(s.policy, box, {100, 100}, 36);
  pan.Drag({64, 82});  // k is the fixed 6 while InteriorScale is 0
  EXPECT_EQ(box->GetString("MapScrollX") + "," + box->GetString("MapScrollY"), "6,3");
  s.policy.RecordScrollPosition(box, 2.5, std::nan(""));
  EXPECT_EQ(box->GetString("MapScrollX") + "," + box->GetString("MapScrollY"), "2.5,0");
}

TEST(MapEditTest, MarqueeSelectsTouchingUnlockedTopLevelNotes) {
  MapSetup s("A\nB\nLocked\nBox\n  Inner");
  Place(s.Note("A"), 0, 0, 2, 1);       // frame 2,2,70,34
  Place(s.Note("B"), 10, 0, 2, 1);      // far right
  Place(s.Note("Locked"), 0, 2, 2, 1);  // frame 2,74,70,106
  s.Note("Locked")->SetBoolean("Lock", true);
  Place(s.Note("Box"), 0, 4, 6, 4);
  Place(s.Note("Box/Inner"), 0, 0, 6, 6);
  s.Lay();
  ASSERT_TRUE(s.map.Get(s.Note("Box/Inner"))->inside);
  EXPECT_EQ(SelectWithin(s.map, s.doc.get(), SRect{70, 34, 0, 400}, false), 2);  // touches A
  EXPECT_TRUE(s.Note("A")->IsSelected());
  EXPECT_TRUE(s.Note("Box")->IsSelected());
  EXPECT_FALSE(s.Note("Locked")->IsSelected());
  EXPECT_FALSE(s.Note("Box/Inner")->IsSelected());
  EXPECT_EQ(SelectWithin(s.map, s.doc.get(), SRect{360, 0, 400, 40}, true), 1);
  EXPECT_TRUE(s.Note("A")->IsSelected());
  EXPECT_EQ(SelectWithin(s.map, s.doc.get(), SRect{360, 0, 400, 40}, false), 1);
  EXPECT_FALSE(s.Note("A")->IsSelected());
}

TEST(MapEditTest, HitTestingFindsHandlesOfSelectedBoxesAndTitles) {
  MapSetup s("A");
  Place(s.Note("A"), 1, 1, 4, 2);  // frame 38,38,178,106
  s.Lay();
  EXPECT_EQ(HitTest(s.policy, s.map, {36, 36}).part, MapPart::kNone);
  s.Note("A")->Select(true);
  const MapItem corner = HitTest(s.policy, s.map, {36, 36});
  EXPECT_EQ(corner.part, MapPart::kResizeHandle);
  EXPECT_EQ(corner.handle, 1);
  EXPECT_EQ(HitTest(s.policy, s.map, {40, 40}).part, MapPart::kTitle);
  EXPECT_EQ(HitTest(s.policy, s.map, {40, 100}).part, MapPart::kBody);
}

}  // namespace
}  // namespace fernweave
