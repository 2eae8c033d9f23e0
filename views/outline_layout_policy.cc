#include "views/outline_layout_policy.h"

#include <algorithm>
#include <cmath>

#include "foundation/error.h"
#include "model/node.h"

namespace fernweave {

namespace {

LayoutInfo* Record(LayoutMap* map, const Node* n) {
  LayoutInfo* info = map->Get(n);
  Require(info != nullptr, "outline: a note has no layout record");
  return info;
}

}  // namespace

void HideInChart(Node* top, LayoutMap* map) {
  for (Node* n = top; n != nullptr; n = n->NextWithin(top)) {
    if (n->IsAdornment()) {
      continue;
    }
    LayoutInfo* info = Record(map, n);
    info->visible = false;
    info->placed = true;
  }
}

bool OutlineLayoutPolicy::CanLayout(const Node* note) const { return !note->IsAdornment(); }

void OutlineLayoutPolicy::Initialize() { row_ = 0; }

void OutlineLayoutPolicy::SetSpacing(int, int vertical) { vertical_spacing_ = vertical; }

void OutlineLayoutPolicy::Expand(Node* note, LayoutMap* map, bool siblings, bool descendants) {
  LayoutInfo* info = map->Get(note);
  if (info == nullptr) {
    return;
  }
  const bool state = !info->expanded;
  info->expanded = state;
  if (descendants) {
    for (Node* n = note->NextWithin(note); n != nullptr; n = n->NextWithin(note)) {
      if (LayoutInfo* r = map->Get(n)) {
        r->expanded = state;
      }
    }
  }
  if (siblings && !note->IsRootNote() && note->Father() != nullptr) {
    for (Node* s = note->Father()->Son(); s != nullptr; s = s->Brother()) {
      if (LayoutInfo* r = map->Get(s)) {
        r->expanded = state;
      }
    }
  }
}

void OrvexOutlineLayoutPolicy::CalcSize(double, LayoutInfo* info, const SRect& area) {
  Require(info != nullptr && info->node != nullptr, "outline: a layout record has no note");
  if (attribute_document_ != info->node->GetHypertext()) {
    attribute_document_ = info->node->GetHypertext();
    text_size_attribute_ = info->node->GetAttribute("OutlineTextSize");
  }
  const int size = PercentTextSize(info->node, text_size_attribute_, TextSize());
  info->frame = SRect{10, 0, area.right, size};
  if (info->node->IsSeparator()) {
    info->frame.bottom += 4;
  } else {
    info->frame.right -= 10;
  }
  info->text_size = size;
}

void OrvexOutlineLayoutPolicy::Layout(double scale, Node* root, LayoutMap* map, const SRect&) {
  row_ = 0;
  LayoutInfo* root_info = Record(map, root);
  root_info->placed = true;
  root_row_height_ = Height(root_info->frame);
  indent_unit_ = 2 * root_row_height_;
  Node* start = root;
  if (root->IsRootNote()) {
    // The document root has no row: its children are the top-level rows.
    start = root->Son();
    root_info->visible = false;
    root_info->expanded = true;
  }
  if (start == nullptr) {
    return;
  }
  PlaceInChart(start, root, map);
  AdjustChart(scale, start, root, map);
}

int OrvexOutlineLayoutPolicy::PlaceInChart(Node* start, Node* root, LayoutMap* map) {
  const int first_row = row_;
  // Pre-order walk with an explicit stack of the next sibling to visit at each level.
  struct Pending {
    Node* note;
    int level;
  };
  std::vector<Pending> stack{{start, 0}};
  const bool start_is_root = start == root;
  while (!stack.empty()) {
    Pending& top = stack.back();
    Node* n = top.note;
    const int level = top.level;
    // Only the start's own siblings can lie outside the root; children never do.
    if (n == nullptr || (level == 0 && !n->IsDescendedFrom(root))) {
      stack.pop_back();
      continue;
    }
    // The layout root itself has no following siblings in the outline.
    top.note = (start_is_root && level == 0) ? nullptr : n->Brother();
    if (n->IsAdornment()) {
      continue;
    }
    LayoutInfo* info = Record(map, n);
    info->level = level;
    info->position = row_;
    info->visible = true;
    info->placed = true;
    info->inside = false;
    ++row_;
    if (n->Son() == nullptr) {
      continue;
    }
    if (info->expanded) {
      stack.push_back({n->Son(), level + 1});
    } else {
      for (Node* child = n->Son(); child != nullptr; child = child->Brother()) {
        HideInChart(child, map);
      }
    }
  }
  return row_ - first_row;
}

void OrvexOutlineLayoutPolicy::AdjustChart(double scale, Node* start, Node* root,
                                           LayoutMap* map) {
  int64_t y = 10;
  const int page = PageHeight();
  for (Node* n = start; n != nullptr; n = n->NextWithin(root)) {
    LayoutInfo* info = map->Get(n);
    if (info == nullptr) {
      continue;
    }
    const double indent = (indent_unit_ + extra_indent_) * info->level;
    const int32_t x = ClampPixel(indent);
    SRect frame = info->frame;
    const int32_t old_right = frame.right;
    frame = Offset(frame, x, 0);
    frame.bottom = AddClamped(frame.bottom - frame.top, y);
    frame.top = AddClamped(0, y);
    if (Width(info->frame) > int64_t{x} + 50) {
      frame.right = old_right;
    } else {
      frame.right = AddClamped(frame.left, int64_t{x} + 50);
    }
    if (info->visible) {
      Measure(info, &frame);
      if (page > 0 && frame.top / page < frame.bottom / page) {
        // A row never straddles a page break: it moves to the top of the next page.
        const int32_t shift = (frame.bottom / page) * page - frame.top;
        frame = Offset(frame, 0, shift);
        y += shift;
      }
      y += std::max<int64_t>(ClampPixel(scale), Height(frame)) + vertical_spacing_;
      y = std::min<int64_t>(y, kMaxViewCoordinate);
    }
    info->frame = frame;
  }
}

void OrvexOutlineLayoutPolicy::Measure(LayoutInfo* info, SRect* rect) const {
  const Node* note = info->node;
  const int size = info->text_size;
  if (size != info->measured_text_size) {
    info->measured_height = 0;
  }
  if (info->measured_height >= 1) {
    rect->bottom = AddClamped(rect->top, info->measured_height);
    return;
  }
  SRect r = *rect;
  r.right = std::max(r.right, AddClamped(r.left, int64_t{10} * size));
  const FontSpec font = NameFont(note, size);
  const FontMetrics m = Measurer().Metrics(font);
  const int32_t line = ClampPixel(std::ceil(m.ascent + m.descent + m.leading));
  const int32_t h = line + 2;
  int32_t row_height = 0;
  if (Width(r) > 3 * h + 70) {
    r.right -= 70;
    double needed = Measurer().WrappedHeight(font, note->DisplayName(), Width(r));
    const double leading = note->GetDouble("NameLeading");
    if (std::isfinite(leading) && leading > 0) {
      needed += std::trunc(needed / size) * std::min(leading, 1000.0);
    }
    row_height = std::max(ClampPixel(needed), h);
    rect->bottom = AddClamped(rect->top, row_height);
  } else {
    rect->bottom = AddClamped(rect->top, int64_t{h} + 1);
    row_height = line + 3;
  }
  info->measured_height = row_height;
  info->measured_text_size = size;
}

}  // namespace fernweave
