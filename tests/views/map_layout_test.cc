#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/node.h"
#include "tests/support/model_builder.h"
#include "tests/support/recording_draw_context.h"
#include "views/layout_map.h"
#include "views/map_layout_policy.h"
#include "views/map_scale.h"
#include "views/outline_layout_policy.h"
#include "views/treemap_layout_policy.h"

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

struct MapSetup {
  explicit MapSetup(std::string_view outline) : doc(test::MakeDocument(outline)) {}
  void Lay(double scale, Node* container = nullptr) {
    LayOutView(&policy, scale, container ? container : doc->Root(), &map, SRect{});
  }
  std::string Frame(std::string_view path) {
    const LayoutInfo* info = map.Get(At(doc.get(), path));
    return info == nullptr ? "none" : RectText(info->frame);
  }
  std::unique_ptr<Orvex> doc;
  OrvexMapLayoutPolicy policy;
  LayoutMap map;
};

TEST(MapScaleTest, SettingsGiveTheScaleAndBadSettingsAreClamped) {
  OrvexMapLayoutPolicy map_policy;
  OrvexOutlineLayoutPolicy outline_policy;
  const double at_one = 6 + 30 / 11.180339887498949;
  struct Case {
    const LayoutPolicy* policy;
    int setting;
    double scale;
  } cases[] = {
      {&map_policy, 5, 36.0},       {&map_policy, 1, at_one},  {&map_policy, 0, at_one},
      {&map_policy, -7, at_one},    {&outline_policy, 5, 16.0}, {nullptr, 5, 1.0},
      {&map_policy, 10, 6 + 30 * 10 * std::sqrt(10.0) / 11.180339887498949},
  };
  for (const Case& c : cases) {
    MapScale scale(c.policy);
    scale.Set(c.setting);
    EXPECT_NEAR(scale.Scale(), c.scale, 1e-9) << "setting " << c.setting;
    EXPECT_GE(scale.Setting(), MapScale::kMinSetting);
  }
  MapScale scale(&map_policy);
  scale.SetTemporaryScale(std::nan(""));
  scale.SetTemporaryScale(0);
  EXPECT_DOUBLE_EQ(scale.Scale(), 36.0);
  scale.SetTemporaryScale(50);
  EXPECT_DOUBLE_EQ(scale.Scale(), 50.0);
  EXPECT_TRUE(MapScale::ShouldAnimate(36.0, 36.1));
  EXPECT_FALSE(MapScale::ShouldAnimate(36.0, 36.09));
  const ZoomAnimation zoom(6, 36);
  ASSERT_EQ(zoom.Steps(), 8);
  EXPECT_EQ(std::vector<double>({zoom.ScaleAt(-1), zoom.ScaleAt(4), zoom.ScaleAt(8), zoom.ScaleAt(9)}),
            std::vector<double>({6, 21, 36, 36}));
  EXPECT_EQ(ZoomAnimation(36, 36.05).Steps(), 0);
  EXPECT_EQ(ZoomAnimation(std::nan(""), 36).Steps(), 0);
}

TEST(MapLayoutTest, BoxFramesFollowPositionSizeAndInset) {
  MapSetup s("A\nB\nC");
  Place(At(s.doc.get(), "A"), 1, 2, 3, 1);
  // A note far to the right: 36,002 pixels, beyond what 16 bits hold.
  Place(At(s.doc.get(), "B"), 1000, 0, 3, 1);
  Place(At(s.doc.get(), "C"), -2, -1, 0.5, 0.5);
  s.Lay(36);
  EXPECT_EQ(s.Frame("A"), "38,74,142,106");
  EXPECT_EQ(s.Frame("B"), "36002,2,36106,34");
  EXPECT_EQ(s.Frame("C"), "-70,-34,-56,-20");
}

TEST(MapLayoutTest, AnAdornmentWithNoWidthIsSixPixelsWide) {
  auto doc = test::MakeDocument("");
  Node* a = doc->MakeNode(Hypertext::NoteKind::kAdornment, "Line", nullptr, nullptr, 0, 0);
  for (int border : {1, 9}) {
    Place(a, 0, 0, 0, 2);
    a->SetLong("Border", border);
    OrvexMapLayoutPolicy policy;
    LayoutMap map;
    LayOutView(&policy, 36, doc->Root(), &map, SRect{});
    EXPECT_EQ(RectText(map.Get(a)->frame), "2,2,4,70") << "border " << border;
  }
}

TEST(MapLayoutTest, DamagedValuesGiveClampedFramesNeverAWrap) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double values[] = {nan, inf, -inf, 1e300, -1e300, 1e9};
  const char* names[] = {"Xpos", "Ypos", "Width", "Height"};
  for (const char* name : names) {
    for (double v : values) {
      MapSetup s("A\n  B");
      Node* a = At(s.doc.get(), "A");
      Place(a, 1, 1, 4, 3);
      Place(At(s.doc.get(), "A/B"), 1, 1, 1, 1);
      a->SetDouble(name, v);
      s.Lay(36);
      const LayoutInfo* info = s.map.Get(a);
      ASSERT_NE(info, nullptr) << name << "=" << v;
      for (int32_t edge : {info->frame.left, info->frame.top, info->frame.right, info->frame.bottom}) {
        EXPECT_LE(std::abs(static_cast<int64_t>(edge)), int64_t{kMaxViewCoordinate} + 2)
            << name << "=" << v;
      }
      if (std::isnan(v)) {
        // A value that is not a number counts as 0.
        const int32_t expected = std::string(name) == "Xpos" || std::string(name) == "Ypos" ? 2 : -2;
        const int32_t got = std::string(name) == "Xpos"    ? info->frame.left
                            : std::string(name) == "Ypos"  ? info->frame.top
                            : std::string(name) == "Width" ? info->frame.right - 36
                                                           : info->frame.bottom - 36;
        EXPECT_EQ(got, expected) << name;
      }
    }
  }
}

TEST(MapLayoutTest, InteriorsAreOneLevelDeepAndPlacedAroundTheScrollPoint) {
  MapSetup s("A\n  B\n    C\n  Far");
  Node* a = At(s.doc.get(), "A");
  Place(a, 1, 1, 4, 3);
  a->SetDouble("InteriorScale", 4);
  a->SetDouble("MapScrollX", 1);
  a->SetDouble("MapScrollY", 0.5);
  Place(At(s.doc.get(), "A/B"), 2, 1, 2, 1);
  Place(At(s.doc.get(), "A/Far"), 100, 0, 1, 1);
  s.Lay(36);
  EXPECT_EQ(s.Frame("A"), "38,38,178,142");
  // 38 + (2 − 1) × 36 ÷ 4 + 4 × 36 × 0.5 across, 38 + (1 − 0.5) × 9 + 36 × 3 × 0.5 down.
  EXPECT_EQ(s.Frame("A/B"), "119,96,137,105");
  EXPECT_TRUE(s.map.Get(At(s.doc.get(), "A/B"))->inside);
  EXPECT_EQ(s.Frame("A/B/C"), "none");  // grandchildren never get records
  EXPECT_EQ(s.Frame("A/Far"), "none");  // outside the box: not drawn
}

TEST(MapLayoutTest, AnInteriorScaleThatIsNotPositiveFallsBackToTheFixedOne) {
  std::string expected;
  for (double k : {6.0, 0.0, -2.0, std::nan(""), std::numeric_limits<double>::infinity()}) {
    MapSetup s("A\n  B");
    Node* a = At(s.doc.get(), "A");
    Place(a, 0, 0, 6, 4);
    a->SetDouble("InteriorScale", k);
    Place(At(s.doc.get(), "A/B"), 2, 1, 3, 1);
    s.Lay(36);
    const std::string frame = s.Frame("A/B");
    if (expected.empty()) {
      expected = frame;
    }
    EXPECT_EQ(frame, expected) << "InteriorScale " << k;
  }
}

TEST(MapLayoutTest, RecordsOfNotesGoneFromTheMapAreDropped) {
  MapSetup s("A\nB");
  s.Lay(36);
  ASSERT_EQ(s.map.size(), 2u);
  Node* b = At(s.doc.get(), "B");
  b->Hide(true);
  s.map.CleanupDeletedNodes(*s.doc);
  EXPECT_EQ(s.map.size(), 1u);
  b->Hide(false);
  s.Lay(36);
  EXPECT_EQ(s.map.size(), 2u);
  At(s.doc.get(), "A")->DoMoveTo(b, nullptr);
  s.Lay(36);  // A now lies inside B
  EXPECT_TRUE(s.map.Get(At(s.doc.get(), "B/A"))->inside);
}

TEST(MapLayoutTest, TitleBarHeightTakesTheFirstFractionAboveTheText) {
  struct Case {
    int frame_height;
    double height, title_height, scale, text;
    int expected;
  } cases[] = {
      {104, 3, 0, 36, 20, 26},    // a quarter of the box is enough
      {36, 1, 0, 36, 20, 20},     // no fraction is: the text's own height
      {36, 1, 0, 36, 50, 36},     // never taller than the box
      {104, 3, 1, 36, 20, 36},    // TitleHeight in map units when the text fits
      {104, 3, 0.5, 36, 20, 20},  // too small for the text: the text's height
      {20, 3, 0.1, 36, 20, 5},    // ... unless that is most of the box
      {104, 3, 9, 36, 20, 108},   // TitleHeight is taken as at most Height
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TitleBarHeight(c.frame_height, c.height, c.title_height, c.scale, c.text), c.expected)
        << c.frame_height << " " << c.height << " " << c.title_height << " " << c.text;
  }
}

TEST(MapHitTest, ElderSiblingsNotesAndTitlesWin) {
  MapSetup s("Box\n  Inner\nElder\nYounger");
  Node* box = At(s.doc.get(), "Box");
  Place(box, 0, 0, 4, 4);
  // The inner note sits at the top of the box, under its title band.
  box->SetDouble("MapScrollY", 1.9 * 6);
  Place(At(s.doc.get(), "Box/Inner"), 0, 0, 12, 24);
  Place(At(s.doc.get(), "Elder"), 10, 0, 3, 2);
  Place(At(s.doc.get(), "Younger"), 11, 1, 3, 2);
  s.Lay(36);
  const LayoutInfo* box_info = s.map.Get(box);
  const LayoutInfo* inner = s.map.Get(At(s.doc.get(), "Box/Inner"));
  ASSERT_NE(inner, nullptr);
  ASSERT_LT(box_info->title.bottom, inner->frame.bottom);
  ASSERT_LE(inner->frame.top, box_info->title.top + 5);
  auto hit = [&](ViewPoint p, bool inside) {
    const LayoutInfo* info = s.policy.FindNodeAt(p, s.map, inside);
    return info == nullptr ? std::string("none") : info->node->Name();
  };
  const ViewPoint in_title{inner->frame.left + 1, inner->frame.top + 1};
  const ViewPoint in_body{inner->frame.left + 1, box_info->title.bottom + 2};
  EXPECT_EQ(hit(in_title, true), "Box");
  EXPECT_EQ(hit(in_body, true), "Inner");
  EXPECT_EQ(hit(in_body, false), "Box");
  EXPECT_EQ(hit({11 * 36 + 10, 36 + 10}, true), "Elder");
  EXPECT_EQ(hit({13 * 36 + 10, 2 * 36 + 10}, true), "Younger");
  EXPECT_EQ(hit({30 * 36, 30 * 36}, true), "none");
}

TEST(MapHitTest, NearestBoxWithinTheSlopAndWhereToScroll) {
  MapSetup s("A\nB");
  Place(At(s.doc.get(), "A"), 0, 0, 2, 1);  // 2,2,70,34
  Place(At(s.doc.get(), "B"), 4, 0, 2, 1);  // 146,2,214,34
  s.Lay(36);
  struct Case {
    ViewPoint p;
    int slop;
    const char* expected;
  } cases[] = {
      {{10, 10}, 0, "A"},   {{75, 10}, 5, "none"}, {{75, 10}, 6, "A"},
      {{100, 10}, 40, "A"}, {{120, 10}, 40, "B"},  {{100, 100}, 10, "none"},
  };
  for (const Case& c : cases) {
    const LayoutInfo* near = s.policy.FindNodeNear(c.p, s.map, c.slop);
    EXPECT_EQ(near == nullptr ? std::string("none") : near->node->Name(), c.expected)
        << c.p.x << "," << c.p.y << " slop " << c.slop;
  }
  const SRect target{100, 50, 200, 80};
  EXPECT_EQ(s.policy.ChooseScrollLoc(target), (ViewPoint{100, 50}));  // no margin
  EXPECT_EQ(OrvexOutlineLayoutPolicy().ChooseScrollLoc(target), (ViewPoint{95, 45}));
  int32_t x = 7;
  int32_t y = 7;
  EXPECT_FALSE(TreemapLayoutPolicy().ChooseScrollLoc(target, &x, &y));
  EXPECT_EQ(x + y, 14);
}

}  // namespace
}  // namespace fernweave
