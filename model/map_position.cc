#include "model/map_position.h"

#include <algorithm>

#include "model/node.h"

namespace fernweave {

std::optional<MapRect> ChildrenBounds(const Node& container) {
  std::optional<MapRect> bounds;
  for (const Node* c = container.Son(); c != nullptr; c = c->Brother()) {
    const MapPoint p = c->Position();
    const MapRect r{p.x, p.y, p.x + c->Width(), p.y + c->Height()};
    if (!bounds) {
      bounds = r;
    } else {
      bounds->left = std::min(bounds->left, r.left);
      bounds->top = std::min(bounds->top, r.top);
      bounds->right = std::max(bounds->right, r.right);
      bounds->bottom = std::max(bounds->bottom, r.bottom);
    }
  }
  return bounds;
}

MapPoint Node::Position() const {
  return MapPoint{GetDouble("Xpos"), GetDouble("Ypos")};
}

void Node::SetPosition(const MapPoint& p) {
  SetDouble("Xpos", p.x);
  SetDouble("Ypos", p.y);
}

double Node::Width() const {
  return GetDouble("Width");
}

double Node::Height() const {
  return GetDouble("Height");
}

MapPoint Node::CalculateMapPosition(const Node* parent, const Node* before,
                                    const Node* after) const {
  // A note that stays under its father keeps its place, also when it moves to the top
  // of its container (no neighbour before it).
  if (parent == nullptr || parent == Father()) {
    return Position();
  }
  if (before == nullptr && after == nullptr) {
    return MapPoint{0, 0};
  }
  return AvoidCollision(parent, FindAPlaceNear(before, after));
}

MapPoint Node::FindAPlaceNear(const Node* before, const Node* after) const {
  const double w = Width();
  const double h = Height();
  if (before == nullptr && after == nullptr) {
    return Position();
  }
  if (before == nullptr) {
    const MapPoint a = after->Position();
    return MapPoint{a.x - (w + kMapGap), a.y};
  }
  const MapPoint b = before->Position();
  if (after != nullptr) {
    const MapPoint a = after->Position();
    if (b.x < a.x) {
      return MapPoint{(b.x + a.x) / 2, (b.y + a.y) / 2};
    }
    return MapPoint{b.x + before->Width() + kMapGap, b.y};
  }
  MapPoint p{b.x + before->Width() + kMapGap, b.y};
  // Only a neighbour before: past the end of the row, start a new row at the left
  // edge below everything.
  if (const Node* father = before->Father()) {
    if (std::optional<MapRect> bounds = ChildrenBounds(*father)) {
      if (p.x >= std::max(bounds->right, bounds->left + kMinimumRowWidth)) {
        p = MapPoint{bounds->left, bounds->bottom + kMapGap + h};
      }
    }
  }
  return p;
}

MapPoint Node::AvoidCollision(const Node* container, MapPoint proposed) const {
  if (container == nullptr || IsHidden()) {
    return proposed;
  }
  const Node* father = Father();
  const bool in_agent = father != nullptr && father->IsAgent();
  const Node* original = GetOriginal();
  std::vector<const Node*> considered;
  for (const Node* c = container->Son(); c != nullptr; c = c->Brother()) {
    if (c == this || c->IsAdornment() || c->IsSeparator()) {
      continue;
    }
    if (in_agent && c->GetOriginal() == original) {
      continue;  // another alias of the same note in the agent
    }
    if (c->IsHidden()) {
      return proposed;
    }
    considered.push_back(c);
  }
  const double w = Width();
  const double h = Height();
  double below = proposed.y;
  for (const Node* c : considered) {
    below = std::max(below, c->GetDouble("Ypos") + c->Height());
  }
  MapPoint p = proposed;
  for (const Node* c : considered) {
    const MapPoint cp = c->Position();
    const double cw = c->Width();
    const double ch = c->Height();
    const bool collides = cp.y <= p.y + h && p.y < cp.y + ch && cp.x <= p.x + w && p.x < cp.x + cw;
    if (!collides) {
      continue;
    }
    const double e = cw > 0 ? cp.x + cw : cp.x + kMapGap;
    if (e - proposed.x > kMaximumShift) {
      p.y = below;
    } else {
      p.x = e;
    }
  }
  return p;
}

}  // namespace fernweave
