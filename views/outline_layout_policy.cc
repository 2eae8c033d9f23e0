#include "views/outline_layout_policy.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "foundation/error.h"
#include "model/hypertext.h"
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
  for (Node* n = top; n != nullptr;) {
    LayoutInfo* info = n->IsAdornment() ? nullptr : map->Get(n);
    if (info == nullptr) {
      // An outline makes rows only below expanded notes: a note without a record has
      // none below it either, and an adornment is never shown.
      n = NextOutside(n, top);
      continue;
    }
    info->visible = false;
    info->placed = true;
    n = n->NextWithin(top);
  }
}

Node* NextOutside(const Node* n, const Node* top) {
  for (; n != nullptr && n != top; n = n->Father()) {
    if (n->Brother() != nullptr) {
      return n->Brother();
    }
  }
  return nullptr;
}

bool OutlineLayoutPolicy::CanLayout(const Node* note) const { return !note->IsAdornment(); }

void OutlineLayoutPolicy::Initialize() { row_ = 0; }

void OutlineLayoutPolicy::Prepare(double scale, Node* root, LayoutMap* map, const SRect& bounds,
                                  int depth) {
  RequireNotNull(root, "OutlineLayoutPolicy::Prepare: no root");
  Initialize();
  // Rows are made and sized only where the outline can show them: the root and every
  // note below an expanded one. A folded subtree costs nothing however large it is.
  for (Node* n = root; n != nullptr;) {
    bool created = false;
    LayoutInfo* info = map->CreateFor(n, &created);
    if (created) {
      info->expanded = InitiallyExpanded(n, root);
      info->visible = CanLayout(n);
      info->measured_height = 0;
      info->depth = depth;
    }
    info->used = true;
    CalcSize(scale, info, bounds);
    // The document root has no row of its own and always shows its children.
    const bool open = (info->expanded || n->IsRootNote()) && !n->IsAdornment();
    n = open ? n->NextWithin(root) : NextOutside(n, root);
  }
  // Rows shown before and folded away since keep their state (a note expanded inside a
  // folded one is still expanded when it shows again), hidden.
  map->ForEach([root](LayoutInfo* r) {
    if (!r->used && r->node->IsDescendedFrom(root)) {
      r->used = true;
      r->visible = false;
      r->placed = true;
    }
  });
}

void OutlineLayoutPolicy::SetSpacing(int, int vertical) { vertical_spacing_ = vertical; }

void OutlineLayoutPolicy::SetColumnLayout(std::vector<OutlineColumn> columns) {
  for (OutlineColumn& c : columns) {
    c.width = std::max(1, c.width);
  }
  columns_ = std::move(columns);
}

void OutlineLayoutPolicy::Expand(Node* note, LayoutMap* map, bool siblings, bool descendants) {
  LayoutInfo* info = map->Get(note);
  if (info == nullptr) {
    return;
  }
  const bool state = !info->expanded;
  info->expanded = state;
  // Notes folded away so far have no rows yet; they are made here so that they show
  // in the new state.
  if (descendants) {
    for (Node* n = note->NextWithin(note); n != nullptr; n = n->NextWithin(note)) {
      map->CreateFor(n)->expanded = state;
    }
  }
  if (siblings && !note->IsRootNote() && note->Father() != nullptr) {
    for (Node* s = note->Father()->Son(); s != nullptr; s = s->Brother()) {
      map->CreateFor(s)->expanded = state;
    }
  }
}

void OrvexOutlineLayoutPolicy::CalcSize(double, LayoutInfo* info, const SRect& area) {
  Require(info != nullptr && info->node != nullptr, "outline: a layout record has no note");
  const uint64_t stamp = info->node->GetHypertext()->Properties().Stamp();
  if (attribute_stamp_ != stamp) {
    attribute_stamp_ = stamp;
    text_size_attribute_ = info->node->GetAttribute("OutlineTextSize");
  }
  const int size = PercentTextSize(info->node, text_size_attribute_, TextSize());
  info->frame = SRect{10, 0, area.right, size};
  if (IsSeparatorNote(info->node)) {
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
  for (Node* n = start; n != nullptr;) {
    LayoutInfo* info = map->Get(n);
    if (info == nullptr) {
      n = NextOutside(n, root);
      continue;
    }
    // Rows inside a folded note are hidden: their frames are not needed.
    const bool open = (info->expanded || n->IsRootNote()) && !n->IsAdornment();
    Node* next = open ? n->NextWithin(root) : NextOutside(n, root);
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
      // The name is set beside the check box and within the first column, so it
      // wraps within that room.
      SRect measured = frame;
      if (use_checkbox_) {
        measured.left = AddClamped(measured.left, CheckboxWidth(info->text_size));
      }
      if (const std::vector<OutlineColumn>* columns = WithColumnLayout()) {
        measured.right = std::min(measured.right, (*columns)[0].width);
      }
      measured.right = std::max(measured.right, measured.left);
      Measure(info, &measured);
      frame.bottom = measured.bottom;
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
    n = next;
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
    double needed = Measurer().WrappedHeight(font, DisplayName(note), Width(r));
    const double leading = NameLeading(note);
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
