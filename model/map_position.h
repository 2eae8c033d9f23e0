// Map geometry of notes in their container's map: where a moved note goes and how it
// is kept clear of its new siblings. The operations themselves are members of `Node`
// (`CalculateMapPosition`, `FindAPlaceNear`, `AvoidCollision`); this header holds the
// helpers they share.

#ifndef FERNWEAVE_MODEL_MAP_POSITION_H_
#define FERNWEAVE_MODEL_MAP_POSITION_H_

#include <optional>

namespace fernweave {

class Node;

// A rectangle in map units.
struct MapRect {
  double left = 0;
  double top = 0;
  double right = 0;
  double bottom = 0;
};

// The smallest rectangle holding every child of `container` (each from (Xpos, Ypos)
// to (Xpos + Width, Ypos + Height)); nullopt when it has no children.
std::optional<MapRect> ChildrenBounds(const Node& container);

// Distance a note is placed from its neighbour, in map units.
inline constexpr double kMapGap = 0.5;
// Shortest row FindAPlaceNear fills before starting a new row below.
inline constexpr double kMinimumRowWidth = 20;
// How far AvoidCollision pushes a note to the right before dropping it below
// everything instead.
inline constexpr double kMaximumShift = 100;

}  // namespace fernweave

#endif  // FERNWEAVE_MODEL_MAP_POSITION_H_
