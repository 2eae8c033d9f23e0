#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/hypertext.h"
#include "model/content.h"
#include "model/link.h"
#include "model/node.h"
#include "tests/support/model_builder.h"
#include "tests/support/recording_draw_context.h"
#include "views/map_artist.h"
#include "views/map_interaction.h"
#include "views/tree_artist.h"
#include "views/outline_layout_policy.h"

namespace fernweave {
namespace {

using test::At;
using test::RecordingDrawContext;
using test::RectText;

void Place(Node* n, double x, double y, double w, double h) {
  n->SetDouble("Xpos", x);
  n->SetDouble("Ypos", y);
  n->SetDouble("Width", w);
  n->SetDouble("Height", h);
}

// A map of three notes, two adornments between them in sibling order, and one link.
struct Scene {
  Scene() : doc(test::MakeDocument("Eldest\nMiddle\nYoungest")) {
    Node* root = doc->Root();
    Node* first = doc->MakeNode(Hypertext::NoteKind::kAdornment, "Back", root, nullptr, 0, 0);
    doc->MakeNode(Hypertext::NoteKind::kAdornment, "Front", root, first, 0, 0);
    Place(At(doc.get(), "Back"), 0, 0, 12, 6);
    Place(At(doc.get(), "Front"), 1, 1, 10, 4);
    Place(At(doc.get(), "Eldest"), 1, 1, 3, 1);
    Place(At(doc.get(), "Middle"), 2, 1.5, 3, 1);
    Place(At(doc.get(), "Youngest"), 6, 3, 3, 1);
    LinkRecord record;
    record.add_to_document = true;
    record.source = At(doc.get(), "Eldest");
    record.dest = At(doc.get(), "Youngest");
    record.name = "supports";
    doc->CreateLink(record);
    LayOutView(&layout, 36, doc->Root(), &map, SRect{});
  }
  std::unique_ptr<Orvex> doc;
  OrvexMapLayoutPolicy layout;
  LayoutMap map;
  OrvexMapDrawingPolicy drawing{&layout, nullptr};
  PlainLinkPolicy links;
  MapArtist artist{&map, doc->Root(), &layout, &drawing, &links};
};

const SRect kBounds{0, 0, 500, 300};

TEST(MapArtistTest, PaintsGridAdornmentsLinksThenNotesEldestOnTop) {
  Scene s;
  RecordingDrawContext dc;
  s.artist.Draw(&dc, kBounds, kBounds);
  // Adornments youngest first, every link line before any label, notes youngest first.
  EXPECT_EQ(dc.Texts(), (std::vector<std::string>{"Front", "Back", "supports", "Youngest",
                                                  "Middle", "Eldest"}));
  const std::vector<std::string>& log = dc.log();
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.front(), "erase 0,0,500,300 #ffffff");
  auto first = [&](const std::string& prefix) {
    return std::find_if(log.begin(), log.end(),
                        [&](const std::string& l) { return l.rfind(prefix, 0) == 0; }) -
           log.begin();
  };
  // The grid's ticks come right after the erase, in the background faded to 5/6.
  EXPECT_EQ(log[1].substr(log[1].size() - 7), "#d5d5d5");
  EXPECT_LT(first("text Back"), first("line #000000"));
  EXPECT_LT(first("line #000000"), first("text supports"));
}

TEST(MapArtistTest, LayersAreDrawnOnceAndCopiedAfterwards) {
  Scene s;
  RecordingDrawContext dc(/*layers=*/true);
  s.artist.SetDrawLinks(false);
  s.artist.Draw(&dc, kBounds, kBounds);
  s.artist.Draw(&dc, kBounds, SRect{0, 0, 10, 10});
  EXPECT_EQ(dc.log(), (std::vector<std::string>{"layer", "layer", "layer", "layer"}));
  // Once the layers are let go, drawing goes straight to a context that makes none,
  // and a small update area leaves out the boxes it misses.
  s.artist.ChangedLayout();
  RecordingDrawContext direct;
  s.artist.Draw(&direct, kBounds, SRect{0, 0, 30, 30});
  EXPECT_EQ(direct.Texts(), (std::vector<std::string>{"Back"}));
}

// An adornment's picture lies over its body and under its border and title, inside the
// border and clipped to its outline; an adornment without one draws no picture.
TEST(MapArtistTest, AdornmentPictureLiesBetweenBodyAndBorder) {
  struct Case {
    const char* shape;
    double border;
    std::vector<std::string> expected;
  };
  // Back's frame is 2,2,430,214; Border 2 is 2 pixels at this size.
  const Case cases[] = {
      {"rectangle", 2,
       {"save", "clip 4,4,428,212", "picture 4,4,428,212 5", "restore", "frame 2,2,430,214"}},
      {"rectangle", 0, {"save", "clip 2,2,430,214", "picture 2,2,430,214 5", "restore", "text"}},
      {"oval", 2, {"save", "clip path", "picture 4,4,428,212 5", "restore", "stroke"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.shape) + " border " + std::to_string(c.border));
    Scene s;
    Node* back = At(s.doc.get(), "Back");
    back->GetContent()->set_picture("\x89PNG!");
    back->Set("Shape", c.shape);
    back->SetDouble("Border", c.border);
    s.artist.SetDrawLinks(false);
    RecordingDrawContext dc;
    s.artist.Draw(&dc, kBounds, kBounds);
    std::vector<std::string> log = dc.log();
    const auto picture = std::find_if(log.begin(), log.end(), [](const std::string& l) {
      return l.rfind("picture", 0) == 0;
    });
    ASSERT_NE(picture, log.end());
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string& l) { return l.rfind("picture", 0) == 0; }),
              1);
    // The body's fill comes just before; the border (or the title) just after.
    EXPECT_EQ(picture[-3].substr(0, 4), c.shape == std::string("oval") ? "path" : "fill");
    for (size_t i = 0; i < c.expected.size(); ++i) {
      EXPECT_EQ(picture[static_cast<ptrdiff_t>(i) - 2].substr(0, c.expected[i].size()),
                c.expected[i]);
    }
  }
}

TEST(MapArtistTest, NotesCastShadowsUnlessSwitchedOff) {
  Scene scene;
  auto shadow_core = [&] {
    RecordingDrawContext dc;
    scene.artist.SetUseLayers(false);
    scene.artist.Draw(&dc, kBounds, kBounds);
    // Eldest's frame 38,38,142,70 moved by its 5-pixel distance and widened by a
    // quarter of its 10-pixel blur.
    return std::count_if(dc.log().begin(), dc.log().end(), [](const std::string& line) {
      return line.rfind("fill 41,41,149,77 #000000", 0) == 0;
    });
  };
  EXPECT_EQ(shadow_core(), 1);
  At(scene.doc.get(), "Eldest")->SetBoolean("Shadow", false);
  EXPECT_EQ(shadow_core(), 0);
}

TEST(MapArtistTest, SelectedBoxesGetSolidHandlesOffScreenAndFramedOnScreen) {
  Scene s;
  Node* eldest = At(s.doc.get(), "Eldest");
  eldest->Select(true);
  const SRect frame = s.map.Get(eldest)->frame;
  auto handle_fills = [&](const RecordingDrawContext& dc, const std::string& op) {
    int count = 0;
    for (int h = 1; h <= 8; ++h) {
      const std::string wanted = op + " " + RectText(ResizeHandleRect(frame, h));
      count += static_cast<int>(std::count_if(dc.log().begin(), dc.log().end(), [&](auto& l) {
        return l.rfind(wanted, 0) == 0;
      }));
    }
    return count;
  };
  RecordingDrawContext offscreen;
  s.artist.Draw(&offscreen, kBounds, kBounds);
  EXPECT_EQ(handle_fills(offscreen, "fill"), 8);
  s.artist.SetOffscreen(false);
  RecordingDrawContext screen;
  s.artist.Draw(&screen, kBounds, kBounds);
  EXPECT_EQ(handle_fills(screen, "fill"), 0);
  EXPECT_EQ(handle_fills(screen, "erase"), 8);
  EXPECT_EQ(handle_fills(screen, "frame"), 8);
}

TEST(TreeArtistTest, OutlineDrawsVisibleRowsInTreeOrder) {
  auto doc = test::MakeDocument("A\n  A1\nB\n  B1");
  OrvexOutlineLayoutPolicy policy;
  LayoutMap map;
  policy.Prepare(16, doc->Root(), &map, SRect{0, 0, 400, 0}, 0);
  map.Get(At(doc.get(), "A"))->expanded = true;
  LayOutView(&policy, 16, doc->Root(), &map, SRect{0, 0, 400, 0});
  RecordingDrawContext dc;
  TreeDrawing drawing;
  drawing.root = doc->Root();
  drawing.update = SRect{0, 0, 400, 400};
  DrawTreeView(&dc, map, drawing);
  EXPECT_EQ(dc.Texts(), (std::vector<std::string>{"A", "A1", "B"}));
}

}  // namespace
}  // namespace fernweave
