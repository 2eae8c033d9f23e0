#include "views/treemap_layout_policy.h"

#include <algorithm>
#include <cmath>

#include "foundation/error.h"
#include "model/node.h"

namespace fernweave {

int TreemapLayoutPolicy::CountChildren(const Node* note) const {
  int n = 0;
  for (const Node* c = note->Son(); c != nullptr; c = c->Brother()) {
    if (CanLayout(c)) {
      ++n;
    }
  }
  return n;
}

void TreemapLayoutPolicy::Prepare(double, Node* root, LayoutMap* map, const SRect& bounds, int) {
  RequireNotNull(root, "TreemapLayoutPolicy::Prepare: no root");
  Initialize();
  const SRect start = Inset(Normalized(bounds), 5);
  // An explicit stack in place of recursion; each box shrinks by at least 10 pixels a
  // level, so the stack stays short, but no tree depth can overflow it.
  struct Pending {
    Node* note;
    SRect rect;
    bool horizontal;
  };
  std::vector<Pending> stack{{root, start, 2 * int64_t{Width(start)} > 3 * int64_t{Height(start)}}};
  while (!stack.empty()) {
    const Pending p = stack.back();
    stack.pop_back();
    const SRect& r = p.rect;
    if (Width(r) < 5 || Height(r) < 5 || p.note == nullptr || p.note->IsAdornment()) {
      continue;
    }
    LayoutInfo* info = map->CreateFor(p.note);
    info->visible = true;
    info->frame = r;
    info->inside = false;
    info->horizontal = p.horizontal;
    info->depth = 0;
    info->expanded = true;
    info->placed = true;
    info->scale = 36.0;
    const int n = CountChildren(p.note);
    if (n == 0) {
      continue;
    }
    SRect area = Inset(r, 5);
    area.top = AddClamped(area.top, TextSize());
    if (area.top > area.bottom || area.right < area.left) {
      info->expanded = false;
      continue;
    }
    SRect child = area;
    if (p.horizontal) {
      child.right = AddClamped(child.left, (int64_t{Width(area)} - 5 * n + 5) / n);
    } else {
      child.bottom = AddClamped(child.top, (int64_t{Height(area)} - 5 * n + 5) / n);
    }
    // Pushed in reverse so the stack hands them out in sibling order.
    std::vector<Pending> children;
    for (Node* c = p.note->Son(); c != nullptr; c = c->Brother()) {
      if (c->IsAdornment() || c->IsSeparator()) {
        continue;
      }
      children.push_back({c, child, !p.horizontal});
      child = p.horizontal ? Offset(child, int64_t{Width(child)} + 5, 0)
                           : Offset(child, 0, int64_t{Height(child)} + 5);
    }
    stack.insert(stack.end(), children.rbegin(), children.rend());
  }
}

LayoutInfo* TreemapLayoutPolicy::FindNodeAt(ViewPoint p, const LayoutMap& map, bool) const {
  LayoutInfo* best = nullptr;
  for (LayoutInfo* r : map.ReverseRecords()) {
    if (r->inside || !Contains(r->frame, p)) {
      continue;
    }
    if (best == nullptr || r->node->IsDescendedFrom(best->node)) {
      best = r;
    }
  }
  return best;
}

SRect TreemapTitleRect(const LayoutInfo& info, int view_text_size) {
  const SRect inset = Inset(info.frame, 1);
  const int size = PercentTextSize(info.node, "MapTextSize", view_text_size);
  const int32_t half = std::max(0, Height(inset) / 2);
  const int32_t band = std::min(half, ClampPixel(size * info.scale / 36 + 5));
  SRect title = inset;
  title.bottom = std::min(inset.bottom, AddClamped(inset.top, band));
  return title;
}

SRect TreemapBodyRect(const LayoutInfo& info, int view_text_size) {
  SRect body = Inset(info.frame, 1);
  body.top = std::min(body.bottom, AddClamped(TreemapTitleRect(info, view_text_size).bottom, 1));
  return body;
}

}  // namespace fernweave
