// Draws the outline, chart and treemap from their layout records: outline rows with
// their expanders and names, chart boxes joined to their parents, treemap boxes with
// their title bands, parents before children.

#ifndef FERNWEAVE_VIEWS_TREE_ARTIST_H_
#define FERNWEAVE_VIEWS_TREE_ARTIST_H_

#include <vector>

#include "views/draw_context.h"
#include "views/layout_map.h"
#include "views/outline_layout_policy.h"

namespace fernweave {

class Node;

enum class TreeViewKind { kOutline, kChart, kTreemap };

struct TreeDrawing {
  TreeViewKind kind = TreeViewKind::kOutline;
  Node* root = nullptr;  // the layout root
  SRect update;          // only records meeting this area are drawn
  int text_size = 12;    // the view's text size (the treemap's title bands)
  DrawColor background = DrawColor::Gray(1);
  // Outline only: a check box before each name, and the columns (not owned; null for
  // none) with the names kept to the first.
  bool checkboxes = false;
  const std::vector<OutlineColumn>* columns = nullptr;
};

// Paints every visible record of the map that meets the update area. REQUIRES: the map
// was laid out by the policy of that kind for `root`.
void DrawTreeView(DrawContext* dc, const LayoutMap& map, const TreeDrawing& drawing);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_TREE_ARTIST_H_
