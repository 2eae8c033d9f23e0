#include "views/chart_layout_policy.h"

#include <algorithm>
#include <cmath>

#include "foundation/error.h"
#include "model/node.h"
#include "views/outline_layout_policy.h"

namespace fernweave {

bool ChartLayoutPolicy::CanLayout(const Node* note) const {
  if (note->IsAdornment()) {
    return false;
  }
  return note->Son() != nullptr || !IsSeparatorNote(note);
}

void ChartLayoutPolicy::Initialize() { cursor_ = 0; }

void ChartLayoutPolicy::Prepare(double scale, Node* root, LayoutMap* map, const SRect& bounds,
                                int depth) {
  RequireNotNull(root, "ChartLayoutPolicy::Prepare: no root");
  Initialize();
  Collect(scale, root, map, bounds, depth, true);
}

void ChartLayoutPolicy::Collect(double scale, Node* root, LayoutMap* map, const SRect& bounds,
                                int depth, bool prepare) {
  entries_.clear();
  entries_map_ = map;
  // Depth first with a stack of the entries whose subtrees are still open: a note is
  // entered before its children and finished after them, so entries_ is in tree order
  // while records are made children first. A note's attributes are all read when it
  // is finished, one after the other.
  std::vector<size_t> open{0};
  entries_.push_back(Entry{root, nullptr, 0, false});
  Node* next = root->Son();
  while (true) {
    if (next != nullptr) {
      open.push_back(entries_.size());
      entries_.push_back(Entry{next, nullptr, 0, false});
      next = next->Son();
      continue;
    }
    Entry& e = entries_[open.back()];
    open.pop_back();
    e.end = entries_.size();
    e.layoutable = CanLayout(e.note);
    if (prepare) {
      bool created = false;
      e.info = map->CreateFor(e.note, &created);
      if (created) {
        e.info->expanded = InitiallyExpanded(e.note, root);
        e.info->visible = e.layoutable;
        e.info->measured_height = 0;
        e.info->depth = depth;
      }
      e.info->used = true;
      CalcSize(scale, e.info, bounds);
    } else {
      e.info = map->Get(e.note);
    }
    if (open.empty()) {
      break;
    }
    next = e.note->Brother();
  }
}

void ChartLayoutPolicy::CalcSize(double scale, LayoutInfo* info, const SRect&) {
  Require(info != nullptr && info->node != nullptr, "chart: a layout record has no note");
  const Node* note = info->node;
  const double s = std::clamp(std::isfinite(scale) ? scale : 36.0, 1.0, 1000.0);
  const int font_size = static_cast<int>(s * 16 / 36 + 4);
  const int text_size = font_size - 4;
  info->frame = SRect{0, 0, static_cast<int32_t>(4 * s + font_size), font_size + 2};
  info->scale = s;
  info->text_size = text_size;
  const bool has_children = note->Son() != nullptr;
  if (has_children) {
    // Room for the expander.
    info->frame.right -= static_cast<int32_t>(0.25 * s + 8);
  }
  // A name measured at this text size is not measured again until ChangedSize (a new
  // name, a new font) forgets it; the width it was measured at is kept with it.
  if (info->measured_height > 0 && info->measured_text_size == text_size) {
    if (info->widened && !has_children) {
      info->frame.right = static_cast<int32_t>(400 * s / 36);
    }
    info->frame.bottom = std::max(info->frame.bottom, info->measured_height);
    return;
  }
  const FontSpec font = NameFont(note, text_size);
  const std::string name = DisplayName(note);
  auto text_width = [&]() {
    return std::max(1, Width(info->frame) - std::min(text_size, 24));
  };
  int needed = info->measured_height;
  if (text_size > 8) {
    needed = ClampPixel(Measurer().WrappedHeight(font, name, text_width())) + 2;
  }
  info->widened = false;
  if (needed > Height(info->frame) && !has_children) {
    info->frame.right = static_cast<int32_t>(400 * s / 36);
    info->widened = true;
    needed = ClampPixel(Measurer().WrappedHeight(font, name, text_width()));
  }
  if (needed > Height(info->frame)) {
    info->frame.bottom = info->frame.top + needed;
  }
  info->measured_height = needed;
  info->measured_text_size = text_size;
}

void ChartLayoutPolicy::Layout(double scale, Node* root, LayoutMap* map, const SRect& area) {
  // The notes Prepare kept are used when they are this root's in this map; otherwise
  // they are collected again from the records the map has.
  if (entries_map_ != map || entries_.empty() || entries_.front().note != root) {
    Collect(scale, root, map, area, 0, false);
  }
  // Nothing is kept past the pass, however it ends.
  struct Forget {
    ChartLayoutPolicy* policy;
    ~Forget() {
      policy->entries_.clear();
      policy->entries_map_ = nullptr;
    }
  } forget{this};
  LayoutInfo* root_info = entries_.front().info;
  if (root_info == nullptr || !root_info->visible) {
    return;
  }
  box_width_ = Width(root_info->frame);
  box_height_ = Height(root_info->frame);
  level_gap_ = 16;
  sibling_gap_ = Height(root_info->frame) / 2 + 2;
  cursor_ = 0;
  PlaceInChart(map);
  AdjustChart(map);
}

int ChartLayoutPolicy::PlaceInChart(LayoutMap* map) {
  // Post-order with an explicit stack: a note's slot is known once its children's
  // extents are summed. Children are the entries from at + 1 to the note's end, each
  // followed by its own subtree.
  struct Frame {
    size_t at;
    LayoutInfo* info;
    int level;
    int slot;
    int extent;  // sum of the children's extents so far
    size_t next_child;
  };
  std::vector<Frame> stack;
  int result = 0;
  auto enter = [&](size_t at, int level) -> bool {
    const Entry& e = entries_[at];
    if (!e.layoutable) {
      return false;
    }
    LayoutInfo* info = e.info;
    Require(info != nullptr, "chart: a note has no layout record");
    info->visible = true;
    info->placed = true;
    info->inside = false;
    Frame f{at, info, level, Height(info->frame) + sibling_gap_, 0, e.end};
    if (info->expanded) {
      f.next_child = at + 1;
    } else {
      for (Node* child = e.note->Son(); child != nullptr; child = child->Brother()) {
        HideInChart(child, map);
      }
    }
    stack.push_back(f);
    return true;
  };
  if (!enter(0, 0)) {
    return 0;
  }
  while (!stack.empty()) {
    Frame& f = stack.back();
    if (f.next_child < entries_[f.at].end) {
      const size_t child = f.next_child;
      f.next_child = entries_[child].end;
      const int level = f.level + 1;
      enter(child, level);  // a child it cannot lay out adds nothing
      continue;
    }
    // Every child is placed: place the note itself.
    LayoutInfo* info = f.info;
    const int s = f.slot;
    const int e = f.extent;
    int extent = 0;
    info->level = f.level;
    if (e == 0) {
      info->position = cursor_;
      cursor_ += s;
      extent = s;
    } else if (e >= s) {
      info->position = cursor_ - e / 2 - s / 2;
      extent = e;
    } else {
      // The children take less room than the note: it keeps its slot and their
      // subtree moves down to its middle.
      cursor_ += s - e;
      MoveDescendants(f.at, (s - e) / 2);
      info->position = cursor_ - s;
      extent = s;
    }
    cursor_ = std::min(cursor_, kMaxViewCoordinate);
    stack.pop_back();
    if (stack.empty()) {
      result = extent;
    } else {
      stack.back().extent += extent;
    }
  }
  return result;
}

void ChartLayoutPolicy::MoveDescendants(size_t at, int dy) {
  for (size_t i = at + 1; i < entries_[at].end; ++i) {
    if (LayoutInfo* info = entries_[i].info) {
      info->position += dy;
    }
  }
}

void ChartLayoutPolicy::AdjustChart(LayoutMap* map) {
  map->ForEach([this](LayoutInfo* info) {
    const double x = (box_width_ + level_gap_) * info->level + 10;
    const double y = info->position + 10;
    info->frame = Offset(info->frame, ClampPixel(x), ClampPixel(y));
  });
}

}  // namespace fernweave
