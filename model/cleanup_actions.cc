#include "model/cleanup_actions.h"

#include <algorithm>
#include <cmath>

#include "foundation/error.h"
#include "model/change.h"
#include "model/hypertext.h"
#include "model/undo_texts.h"

namespace fernweave {
namespace {

double RoundToHalf(double v) {
  return std::round(v * 2) / 2;
}

// A note lies on an adornment when its centre is inside the adornment's box.
bool LiesOn(const Node* note, const Node* adornment) {
  const MapPoint p = note->Position();
  const MapPoint a = adornment->Position();
  const double cx = p.x + note->Width() / 2;
  const double cy = p.y + note->Height() / 2;
  return cx >= a.x && cx <= a.x + adornment->Width() && cy >= a.y &&
         cy <= a.y + adornment->Height();
}

}  // namespace

NodeCleanupAction::NodeCleanupAction(Node* container, double spacing, bool staggered)
    : NodeAction(container, undo_index::kCleanup), spacing_(spacing), staggered_(staggered) {
  Choose();
}

NodeCleanupAction::NodeCleanupAction(Node* container, double spacing, int)
    : NodeAction(container, undo_index::kCleanup), spacing_(spacing) {}

std::vector<Node*> NodeCleanupAction::MovedNodes(const Node* container) {
  std::vector<Node*> smart;
  for (Node* c = container->Son(); c != nullptr; c = c->Brother()) {
    if (c->IsAdornment() && !c->GetString("AgentQuery").empty()) {
      smart.push_back(c);
    }
  }
  std::vector<Node*> candidates;
  size_t selected = 0;
  for (Node* c = container->Son(); c != nullptr; c = c->Brother()) {
    if (c->IsAdornment() || c->IsSeparator() || c->GetBoolean("Lock")) {
      continue;
    }
    if (std::any_of(smart.begin(), smart.end(), [c](const Node* a) { return LiesOn(c, a); })) {
      continue;
    }
    candidates.push_back(c);
    selected += c->IsSelected() ? 1 : 0;
  }
  if (selected >= 2) {
    std::erase_if(candidates, [](const Node* c) { return !c->IsSelected(); });
  }
  return candidates;
}

void NodeCleanupAction::Choose() {
  const std::vector<Node*> notes = MovedNodes(GetNode());
  if (!notes.empty() && GetHypertext()->CanEdit()) {
    Prepare(notes);
  }
}

void NodeCleanupAction::Add(Node* note, MapPoint new_position) {
  moves_.push_back(Move{note, note->Position(), new_position});
}

void NodeCleanupAction::Prepare(const std::vector<Node*>& notes) {
  const Node* container = GetNode();
  const size_t n = notes.size();
  const double k = std::round(std::sqrt(static_cast<double>(n)));
  double widths = 0;
  for (const Node* note : notes) {
    widths += note->Width();
  }
  const double mean = widths / static_cast<double>(n) + spacing_;
  const double scale = container->GetDouble("InteriorScale");
  double x0;
  double y0;
  if (n != container->ChildCount()) {
    x0 = notes.front()->Position().x;
    y0 = notes.front()->Position().y;
    for (const Node* note : notes) {
      x0 = std::min(x0, note->Position().x);
      y0 = std::min(y0, note->Position().y);
    }
  } else {
    x0 = -0.5 * container->Width() * scale + 0.5;
    y0 = -0.5 * container->Height() * scale + 0.5;
  }
  x0 = RoundToHalf(x0);
  y0 = RoundToHalf(y0);
  if (!container->IsRootNote() && !container->IsAgent()) {
    y0 += scale * container->Height() * 0.25;  // room for the container's title
  }
  double x = x0;
  double y = y0;
  double row_height = 0;
  bool odd_row = false;
  for (Node* note : notes) {
    Add(note, MapPoint{x, y});
    row_height = std::max(row_height, note->Height());
    x += note->Width() + spacing_;
    if (x >= x0 + mean * k) {
      y += row_height + spacing_;
      odd_row = !odd_row;
      row_height = 0;
      x = staggered_ && odd_row ? x0 + 0.5 * spacing_ + 0.5 * mean : x0;
    }
  }
}

void NodeCleanupAction::RedoSelf() {
  StChanges changes(GetHypertext());
  for (const Move& m : moves_) {
    m.note->SetPosition(m.new_position);
  }
}

void NodeCleanupAction::UndoSelf() {
  StChanges changes(GetHypertext());
  for (const Move& m : moves_) {
    m.note->SetPosition(m.old_position);
  }
}

NodeCleanupRowAction::NodeCleanupRowAction(Node* container, double spacing)
    : NodeCleanupAction(container, spacing, 0) {
  Choose();
}

void NodeCleanupRowAction::Prepare(const std::vector<Node*>& notes) {
  MapPoint p = notes.front()->Position();
  for (Node* note : notes) {
    Add(note, p);
    p.x += note->Width() + Spacing();
  }
}

NodeCleanupColumnAction::NodeCleanupColumnAction(Node* container, double spacing)
    : NodeCleanupAction(container, spacing, 0) {
  Choose();
}

void NodeCleanupColumnAction::Prepare(const std::vector<Node*>& notes) {
  MapPoint p = notes.front()->Position();
  for (Node* note : notes) {
    Add(note, p);
    p.y += note->Height() + Spacing();
  }
}

NodeCleanupBoxAction::NodeCleanupBoxAction(Node* container, double spacing)
    : NodeCleanupAction(container, spacing, 0) {
  Choose();
}

void NodeCleanupBoxAction::Prepare(const std::vector<Node*>& notes) {
  const size_t n = notes.size();
  if (n < 2) {
    return;
  }
  const size_t a = n / 4;
  const size_t vertical = std::max<size_t>(a, 1);
  const size_t horizontal = std::max<size_t>((n - 2 * a + 1) / 2, 2);
  // Top, right, bottom, left; every side's count together covers n.
  const size_t counts[4] = {horizontal, vertical, horizontal, vertical};
  int side = 0;
  size_t on_side = 0;
  MapPoint p{0, 0};
  for (Node* note : notes) {
    while (side < 3 && on_side == counts[side]) {
      ++side;
      on_side = 0;
    }
    Add(note, p);
    ++on_side;
    switch (side) {
      case 0:
        p.x += note->Width() + Spacing();
        break;
      case 1:
        p.y += note->Height() + Spacing();
        break;
      case 2:
        p.x -= note->Width() + Spacing();
        break;
      default:
        p.y -= note->Height() + Spacing();
        break;
    }
  }
}

NodeNudgeAction::NodeNudgeAction(Node* container, double factor)
    : NodeCleanupAction(container, 0, 0), factor_(factor) {
  Choose();
}

void NodeNudgeAction::Prepare(const std::vector<Node*>& notes) {
  for (Node* note : notes) {
    const MapPoint p = note->Position();
    Add(note, MapPoint{p.x * factor_, p.y * factor_});
  }
}

}  // namespace fernweave
