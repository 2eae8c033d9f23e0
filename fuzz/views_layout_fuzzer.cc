// Arbitrary bytes as a document file, then every view of it: the map of the root and
// of each top-level note, the outline, the chart and the treemap, and the map drawn.
// Damaged positions, sizes and scales in a file must never crash a layout, divide by
// zero, loop without end or give a frame outside the view's plane.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"

#include "model/action.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "persist/orvex_reader.h"
#include "views/chart_layout_policy.h"
#include "views/map_artist.h"
#include "views/map_controller.h"
#include "views/map_layout_policy.h"
#include "views/outline_layout_policy.h"
#include "views/tree_artist.h"
#include "views/treemap_layout_policy.h"

namespace {

using namespace fernweave;  // NOLINT: a fuzz target of one function

// Draws nothing; the artist's arithmetic runs all the same.
class NullContext : public DrawContext {
 public:
  void FillRect(const SRect&, const DrawColor&) override {}
  void FrameRect(const SRect&, const DrawColor&, double) override {}
  void EraseRect(const SRect&, const DrawColor&) override {}
  void FillPath(const ShapePath&, const DrawColor&) override {}
  void StrokePath(const ShapePath&, const DrawColor&, const LineStyle&) override {}
  void DrawLine(DrawPoint, DrawPoint, const DrawColor&, const LineStyle&) override {}
  void DrawText(std::string_view, const SRect&, const TextStyle&) override {}
  void Save() override {}
  void Restore() override {}
  void ClipRect(const SRect&) override {}
  void ClipPath(const ShapePath&) override {}
  std::unique_ptr<DrawLayer> CreateLayer(const SRect&) override { return nullptr; }
  void DrawLayerAt(DrawLayer*) override {}
};

void CheckFrames(const LayoutMap& map) {
  map.ForEach([](LayoutInfo* r) {
    for (int32_t edge : {r->frame.left, r->frame.top, r->frame.right, r->frame.bottom}) {
      fernweave::fuzz::Check(edge >= -2 * kMaxViewCoordinate && edge <= 2 * kMaxViewCoordinate);
    }
  });
}

void LayOutMap(Node* container) {
  OrvexMapLayoutPolicy policy;
  LayoutMap map;
  LayOutView(&policy, 36, container, &map, SRect{});
  CheckFrames(map);
  OrvexMapDrawingPolicy drawing(&policy, nullptr);
  PlainLinkPolicy links;
  MapArtist artist(&map, container, &policy, &drawing, &links);
  NullContext dc;
  artist.Draw(&dc, SRect{0, 0, 2000, 2000}, SRect{0, 0, 2000, 2000});
}

// A window's gestures on the map: a drag of the first box onto the map, one into
// the last box, a resize by a handle, an interior pan, a marquee and a new note, each
// undone; the frames stay on the plane throughout.
void WorkOnMap(Node* container) {
  MapController map(container, nullptr);
  NullContext dc;
  auto centre = [](const LayoutInfo* r) {
    return ViewPoint{r->frame.left + Width(r->frame) / 2, r->frame.top + Height(r->frame) / 2};
  };
  auto undo = [&] {
    container->GetHypertext()->UndoHistory().Undo();
    map.Layout();
    CheckFrames(map.Map());
  };
  const std::vector<LayoutInfo*> records = map.Map().Records();
  if (records.empty()) {
    return;
  }
  Node* first_note = records.front()->node;
  const ViewPoint first = centre(records.front());
  const ViewPoint last = centre(records.back());
  map.PointerDown(first, {});
  map.PointerMove(ViewPoint{first.x + 40, first.y + 25});
  map.PointerUp(ViewPoint{first.x + 40, first.y + 25}, {});
  undo();
  map.PointerDown(first, {});
  map.PointerUp(last, PointerModifiers{.copy = true});
  undo();
  if (const LayoutInfo* r = map.Map().Get(first_note)) {
    const ViewPoint corner{r->frame.right + 1, r->frame.bottom + 1};
    map.PointerDown(centre(r), {});
    map.PointerUp(centre(r), {});
    map.PointerDown(corner, {});
    map.PointerUp(ViewPoint{corner.x + 37, corner.y - 19}, {});
    undo();
  }
  map.PointerDown(last, PointerModifiers{.grab = true});
  map.PointerUp(ViewPoint{last.x - 30, last.y + 30}, {});
  map.SetTool(MapTool::kMarquee);
  map.PointerDown(ViewPoint{-5, -5}, {});
  map.PointerUp(ViewPoint{2000, 2000}, {});
  map.SetTool(MapTool::kCreate);
  map.PointerDown(ViewPoint{-3000, -3000}, {});
  map.PointerUp(ViewPoint{-3000, -3000}, {});
  map.Draw(&dc, SRect{0, 0, 800, 600}, SRect{0, 0, 800, 600});
  CheckFrames(map.Map());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 64 * 1024) {
    return 0;
  }
  fernweave::fuzz::Silence();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  auto doc = OrvexReader::ReadDocumentFromString(bytes);
  if (doc == nullptr) {
    return 0;
  }
  Node* root = doc->Root();
  LayOutMap(root);
  for (Node* n = root->Son(); n != nullptr; n = n->Brother()) {
    LayOutMap(n);
  }
  {
    // Every note expanded, with check boxes and columns, then folded again.
    OrvexOutlineLayoutPolicy policy;
    policy.SetUseCheckbox(true);
    policy.SetColumnLayout({{"Name", 150}, {"Xpos", 60}});
    LayoutMap map;
    for (Node* n = root; n != nullptr; n = n->Next()) {
      map.CreateFor(n)->expanded = true;
    }
    LayOutView(&policy, 16, root, &map, SRect{0, 0, 600, 0});
    CheckFrames(map);
    TreeDrawing drawing;
    drawing.root = root;
    drawing.update = SRect{0, 0, 600, 4000};
    drawing.checkboxes = true;
    drawing.columns = policy.WithColumnLayout();
    NullContext dc;
    DrawTreeView(&dc, map, drawing);
    if (root->Son() != nullptr) {
      policy.Expand(root->Son(), &map, true, true);
      LayOutView(&policy, 16, root, &map, SRect{0, 0, 600, 0});
      policy.Optimize(root, &map);
      CheckFrames(map);
    }
  }
  {
    ChartLayoutPolicy policy;
    LayoutMap map;
    LayOutView(&policy, 36, root, &map, SRect{});
    CheckFrames(map);
  }
  {
    TreemapLayoutPolicy policy;
    LayoutMap map;
    LayOutView(&policy, 36, root, &map, SRect{0, 0, 1024, 768});
    CheckFrames(map);
  }
  WorkOnMap(root);
  return 0;
}
