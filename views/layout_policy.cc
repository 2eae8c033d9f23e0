#include "views/layout_policy.h"

#include <algorithm>
#include <cmath>

#include "foundation/error.h"
#include "model/hypertext.h"
#include "model/node.h"
#include "model/path_evaluator.h"

namespace fernweave {

LayoutPolicy::LayoutPolicy() = default;
LayoutPolicy::~LayoutPolicy() = default;

bool LayoutPolicy::CanLayout(const Node* note) const {
  return !note->IsAdornment() && !IsSeparatorNote(note);
}

void LayoutPolicy::Prepare(double scale, Node* root, LayoutMap* map, const SRect& bounds,
                           int depth) {
  RequireNotNull(root, "LayoutPolicy::Prepare: no root");
  Initialize();
  const std::vector<Node*> notes = ListPostOrder(root);
  std::vector<LayoutInfo*> records;
  records.reserve(notes.size());
  for (Node* n : notes) {
    bool created = false;
    LayoutInfo* info = map->CreateFor(n, &created);
    if (created) {
      info->expanded = InitiallyExpanded(n, root);
      info->visible = CanLayout(n);
      info->measured_height = 0;
      info->depth = depth;
    }
    info->used = true;
    records.push_back(info);
  }
  for (LayoutInfo* info : records) {
    CalcSize(scale, info, bounds);
  }
}

void LayoutPolicy::Layout(double, Node*, LayoutMap*, const SRect&) {}

void LayoutPolicy::CalcSize(double, LayoutInfo*, const SRect&) {}

void LayoutPolicy::ChangedSize(LayoutInfo* info) {
  if (info != nullptr) {
    info->measured_height = 0;
  }
}

void LayoutPolicy::ChangedSize(LayoutMap* map) {
  map->ForEach([this](LayoutInfo* r) { ChangedSize(r); });
}

bool LayoutPolicy::IsAbove(const Node* a, const Node* b) const {
  for (const Node* s = a->Brother(); s != nullptr; s = s->Brother()) {
    if (s == b) {
      return true;
    }
  }
  return false;
}

LayoutInfo* LayoutPolicy::FindNodeAt(ViewPoint p, const LayoutMap& map,
                                     bool include_inside) const {
  LayoutInfo* best = nullptr;
  for (LayoutInfo* r : map.Records()) {
    if (!r->visible || !Contains(r->frame, p)) {
      continue;
    }
    const bool adornment = r->IsAdornment();
    if (!r->inside) {
      if (!include_inside && !adornment) {
        return r;
      }
      if (best == nullptr) {
        best = r;
        continue;
      }
      const bool best_adornment = best->IsAdornment();
      if (best_adornment != adornment) {
        // A note beats an adornment.
        if (best_adornment) {
          best = r;
        }
      } else if (IsAbove(r->node, best->node)) {
        // The elder sibling is drawn on top, so it wins.
        best = r;
      }
      continue;
    }
    if (!include_inside || adornment) {
      continue;
    }
    // A note drawn inside a container is hit only through its container's body: not
    // under the container's title band.
    const LayoutInfo* container = map.Get(r->node->Father());
    if (container != nullptr && container->visible && container->expanded &&
        Contains(container->frame, p) && !Contains(container->title, p)) {
      return r;
    }
  }
  return best;
}

LayoutInfo* LayoutPolicy::FindNodeNear(ViewPoint p, const LayoutMap& map, int slop) const {
  if (LayoutInfo* hit = FindNodeAt(p, map, false)) {
    return hit;
  }
  LayoutInfo* best = nullptr;
  int64_t best_distance = int64_t{std::max(0, slop)} + 1;
  for (LayoutInfo* r : map.Records()) {
    if (!r->visible || r->inside || IsEmpty(r->frame)) {
      continue;
    }
    // Distance to the frame: 0 inside; the larger of the gaps along x and y outside.
    const int64_t dx = std::max<int64_t>({0, int64_t{r->frame.left} - p.x,
                                          int64_t{p.x} - (int64_t{r->frame.right} - 1)});
    const int64_t dy = std::max<int64_t>({0, int64_t{r->frame.top} - p.y,
                                          int64_t{p.y} - (int64_t{r->frame.bottom} - 1)});
    const int64_t distance = std::max(dx, dy);
    if (distance < best_distance) {
      best = r;
      best_distance = distance;
    }
  }
  return best;
}

bool LayoutPolicy::ChooseScrollLoc(const SRect& rect, int32_t* x, int32_t* y) const {
  if (!CanScroll()) {
    return false;
  }
  const int32_t margin = std::max(0, AllowMargin());
  *x = AddClamped(rect.left, -int64_t{margin});
  *y = AddClamped(rect.top, -int64_t{margin});
  return true;
}

ViewPoint LayoutPolicy::ChooseScrollLoc(const SRect& rect) const {
  ViewPoint p{rect.left, rect.top};
  ChooseScrollLoc(rect, &p.x, &p.y);
  return p;
}

int LayoutPolicy::RangeSelect(Node* anchor, Node* note, const LayoutMap& map,
                              bool extend) const {
  if (anchor == nullptr || note == nullptr) {
    return 0;
  }
  Hypertext* doc = note->GetHypertext();
  if (!extend) {
    std::vector<Node*> selected(doc->Selection().begin(), doc->Selection().end());
    for (Node* n : selected) {
      n->Select(false);
    }
  }
  // The anchor comes first when the note follows it in outline order.
  Node* first = note;
  Node* last = anchor;
  for (Node* n = anchor; n != nullptr; n = n->Next()) {
    if (n == note) {
      first = anchor;
      last = note;
      break;
    }
  }
  int count = 0;
  for (Node* n = first; n != nullptr; n = n->Next()) {
    const LayoutInfo* r = map.Get(n);
    if (r != nullptr && r->visible && !r->inside && !n->IsHidden()) {
      n->Select(true);
      ++count;
    }
    if (n == last) {
      break;
    }
  }
  return count;
}

int LayoutPolicy::Optimize(Node* root, LayoutMap* map) const {
  // Marked unused and dropped in one sweep: removing records one by one would scan
  // the map for each.
  int dropped = 0;
  map->ForEach([&](LayoutInfo* r) {
    r->used = r->visible || r->node == root || r->expanded != InitiallyExpanded(r->node, root);
    dropped += r->used ? 0 : 1;
  });
  map->CleanupUnusedEntries();
  return dropped;
}

double LayoutPolicy::Scale(double scale, double v) const {
  const double standard = StandardScale();
  return standard == 0 ? v : v * scale / standard;
}

double LayoutPolicy::Unscale(double scale, double v) const {
  return scale == 0 ? v : v * StandardScale() / scale;
}

void LayoutPolicy::SetTextSize(int size) { text_size_ = std::max(1, size); }

void LayoutPolicy::SetPageHeight(int height) { page_height_ = std::max(0, height); }

void LayoutPolicy::SetSpacing(int, int) {}

void LayoutPolicy::SetTextMeasurer(const TextMeasurer* measurer) { measurer_ = measurer; }

const TextMeasurer& LayoutPolicy::Measurer() const {
  return measurer_ != nullptr ? *measurer_ : fixed_;
}

FontSpec LayoutPolicy::NameFont(const Node* note, double size) const {
  UseDocumentOf(note);
  FontSpec font;
  font.family = note->Get(name_font_)->AsString();
  font.size = size;
  font.bold = note->Get(name_bold_)->AsBoolean();
  font.italic = note->IsAlias();
  return font;
}

void LayoutPolicy::UseDocumentOf(const Node* note) const {
  const uint64_t stamp = note->GetHypertext()->Properties().Stamp();
  if (attribute_stamp_ == stamp) {
    return;
  }
  attribute_stamp_ = stamp;
  name_font_ = note->GetAttribute("NameFont");
  name_bold_ = note->GetAttribute("NameBold");
  // Keep in sync with Node::IsSeparator.
  separator_ = note->GetAttribute("Separator");
  name_leading_ = note->GetAttribute("NameLeading");
  // Keep in sync with Node::Name and Node::DisplayName.
  name_ = note->GetHypertext()->GetNameAttribute();
  display_expression_ = note->GetAttribute("DisplayExpression");
}

bool LayoutPolicy::IsSeparatorNote(const Node* note) const {
  UseDocumentOf(note);
  return note->Get(separator_)->AsBoolean();
}

double LayoutPolicy::NameLeading(const Node* note) const {
  UseDocumentOf(note);
  return note->Get(name_leading_)->AsDouble();
}

std::string LayoutPolicy::DisplayName(const Node* note) const {
  UseDocumentOf(note);
  if (InstalledPathEvaluator() != nullptr && !note->Get(display_expression_)->AsString().empty()) {
    return note->DisplayName();
  }
  if (note->GetOriginal() == nullptr) {
    return std::string();
  }
  return note->Get(name_)->AsString();
}

int PercentTextSize(const Node* note, const char* attribute, int base_size) {
  return PercentTextSize(note, note->GetAttribute(attribute), base_size);
}

int PercentTextSize(const Node* note, const Attribute* attribute, int base_size) {
  double percent = note->GetDouble(attribute);
  if (std::isnan(percent) || percent < 0.01) {
    percent = 100;
  }
  percent = std::min(percent, 10000.0);
  const long size = std::lround(percent / 100.0 * base_size);
  return static_cast<int>(std::max(8L, size));
}

std::vector<Node*> ListPostOrder(Node* top) {
  std::vector<Node*> out;
  // Each entry is a note whose children are still being listed; the note itself is
  // listed when its last child is done.
  std::vector<Node*> stack{top};
  std::vector<Node*> pending_child{top->Son()};
  while (!stack.empty()) {
    Node* child = pending_child.back();
    if (child == nullptr) {
      out.push_back(stack.back());
      stack.pop_back();
      pending_child.pop_back();
      continue;
    }
    pending_child.back() = child->Brother();
    stack.push_back(child);
    pending_child.push_back(child->Son());
  }
  return out;
}

void LayOutView(LayoutPolicy* policy, double scale, Node* root, LayoutMap* map,
                const SRect& bounds) {
  map->MarkAllNodesUnused();
  policy->Prepare(scale, root, map, bounds, 0);
  policy->Layout(scale, root, map, bounds);
  map->CleanupUnusedEntries();
}

}  // namespace fernweave
