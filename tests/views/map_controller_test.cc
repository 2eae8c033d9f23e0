#include <string>

#include <gtest/gtest.h>

#include "model/action.h"
#include "model/node.h"
#include "tests/support/model_builder.h"
#include "views/map_controller.h"

namespace fernweave {
namespace {

using test::At;

std::string Geometry(const Node* n) {
  return n->GetString("Xpos") + "," + n->GetString("Ypos") + " " + n->GetString("Width") + "x" +
         n->GetString("Height");
}

// At the standard scale 36: A's frame is 2,2,106,34; B's 182,2,286,34; Box's
// 2,146,214,286 with Inner drawn inside it.
struct Scene {
  Scene() : doc(test::MakeDocument("A\nB\nBox\n  Inner")) {
    Place("A", 0, 0, 3, 1);
    Place("B", 5, 0, 3, 1);
    Place("Box", 0, 4, 6, 4);
    Place("Box/Inner", 0, 0, 2, 1);
    map = std::make_unique<MapController>(doc->Root(), nullptr);
  }
  void Place(const char* path, double x, double y, double w, double h) {
    Node* n = At(doc.get(), path);
    n->SetDouble("Xpos", x);
    n->SetDouble("Ypos", y);
    n->SetDouble("Width", w);
    n->SetDouble("Height", h);
  }
  void Drag(ViewPoint from, ViewPoint to, PointerModifiers m = {}) {
    map->PointerDown(from, m);
    map->PointerMove(ViewPoint{(from.x + to.x) / 2, (from.y + to.y) / 2});
    map->PointerUp(to, m);
  }
  Node* Note(const char* path) { return At(doc.get(), path); }
  void Undo() { doc->UndoHistory().Undo(); }
  std::unique_ptr<Orvex> doc;
  std::unique_ptr<MapController> map;
};

TEST(MapControllerTest, DraggingMovesTheSelectionAsOneUndoableStep) {
  Scene s;
  // A press that moves less than the threshold only selects.
  s.Drag({10, 10}, {12, 12});
  EXPECT_TRUE(s.Note("A")->IsSelected());
  EXPECT_EQ(Geometry(s.Note("A")), "0,0 3x1");
  s.map->PointerDown({190, 10}, PointerModifiers{.extend = true});
  s.map->PointerUp({190, 10}, {});
  s.Drag({10, 10}, {82, 46});  // two units right, one down
  EXPECT_EQ(Geometry(s.Note("A")), "2,1 3x1");
  EXPECT_EQ(Geometry(s.Note("B")), "7,1 3x1");
  EXPECT_EQ(s.map->Map().Get(s.Note("B"))->frame.left, 254);
  s.Undo();
  EXPECT_EQ(Geometry(s.Note("A")), "0,0 3x1");
  EXPECT_EQ(Geometry(s.Note("B")), "5,0 3x1");
}

TEST(MapControllerTest, DropOnAContainerBoxMovesCopiesOrAliasesIntoIt) {
  const struct {
    PointerModifiers modifiers;
    int children_of_box;
    bool a_moved;
  } cases[] = {{{}, 2, true}, {{.copy = true}, 2, false}, {{.alias = true}, 2, false}};
  for (const auto& c : cases) {
    Scene s;
    Node* a = s.Note("A");
    Node* box = s.Note("Box");
    s.Drag({10, 10}, {100, 250}, c.modifiers);
    EXPECT_EQ(box->ChildCount(), size_t(c.children_of_box));
    EXPECT_EQ(a->Father() == box, c.a_moved);
    EXPECT_EQ(s.doc->Root()->ChildCount(), c.a_moved ? 2u : 3u);
    s.Undo();
    EXPECT_EQ(box->ChildCount(), 1u);
    EXPECT_EQ(a->Father(), s.doc->Root());
  }
}

TEST(MapControllerTest, ResizingIsLiveUndoableAndCancellable) {
  Scene s;
  s.Drag({10, 10}, {10, 10});  // select A
  s.map->PointerDown({107, 35}, {});  // handle 5, bottom-right
  EXPECT_EQ(s.map->Gesture(), MapGesture::kResize);
  s.map->PointerMove({182, 74});
  EXPECT_EQ(Geometry(s.Note("A")), "0,0 5x2");
  s.map->Cancel();
  EXPECT_EQ(Geometry(s.Note("A")), "0,0 3x1");
  s.map->PointerDown({107, 35}, {});
  s.map->PointerUp({182, 74}, {});
  EXPECT_EQ(Geometry(s.Note("A")), "0,0 5x2");
  s.Undo();
  EXPECT_EQ(Geometry(s.Note("A")), "0,0 3x1");
}

TEST(MapControllerTest, BackgroundPressesFollowToolAndOptionKey) {
  const struct {
    MapTool tool;
    bool option;
    int selected;  // after dragging from 0,0 to 190,10 (touching A and B)
    int created;
  } cases[] = {{MapTool::kMarquee, false, 2, 0}, {MapTool::kSelect, true, 2, 0},
               {MapTool::kCreate, false, 0, 1}, {MapTool::kCreate, true, 2, 0},
               {MapTool::kSelect, false, 0, 0}, {MapTool::kMarquee, true, 0, 0}};
  for (const auto& c : cases) {
    Scene s;
    s.map->SetTool(c.tool);
    s.Drag({0, 0}, {190, 10}, PointerModifiers{.option = c.option});
    EXPECT_EQ(static_cast<int>(s.doc->Selection().size()), c.selected);
    EXPECT_EQ(s.doc->Root()->ChildCount(), size_t(3 + c.created));
    if (c.created) {
      EXPECT_EQ(s.map->LastCreated()->Father(), s.doc->Root());
      EXPECT_NE(s.map->Map().Get(s.map->LastCreated()), nullptr);
    }
  }
  Scene s;
  s.map->SetTool(MapTool::kCreate);
  s.Drag({20, 20}, {20, 20});  // on A: nothing is made
  EXPECT_EQ(s.map->LastCreated(), nullptr);
  EXPECT_EQ(s.doc->Root()->ChildCount(), 3u);
}

TEST(MapControllerTest, PanZoomAndScrollMemory) {
  Scene s;
  Node* box = s.Note("Box");
  const double k = s.map->Policy().InteriorScale(box);
  s.Drag({100, 250}, {64, 250}, PointerModifiers{.grab = true});
  EXPECT_DOUBLE_EQ(box->GetDouble("MapScrollX"), k);
  EXPECT_EQ(s.map->Map().Get(s.Note("A"))->frame.right, 106);
  const ZoomAnimation animation = s.map->SetZoom(6);
  EXPECT_GT(animation.Steps(), 0);
  EXPECT_GT(s.map->Map().Get(s.Note("A"))->frame.right, 106);
  s.map->ShowZoomStep(animation, 1);
  EXPECT_DOUBLE_EQ(s.map->CurrentScale(), animation.ScaleAt(1));
  s.map->EndZoomAnimation();
  s.map->SetZoom(5);
  s.map->RememberScroll({72, 36});
  EXPECT_EQ(s.doc->Root()->GetDouble("MapScrollX"), 2);
  EXPECT_EQ(s.map->RememberedScroll(), (ViewPoint{72, 36}));
}

}  // namespace
}  // namespace fernweave
