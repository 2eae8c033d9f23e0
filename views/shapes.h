// The outlines of boxes that are not rectangles, chosen by a note's `Shape`. Names
// are matched ignoring case, blanks and hyphens ("tag left" and "tagLeft" agree).

#ifndef FERNWEAVE_VIEWS_SHAPES_H_
#define FERNWEAVE_VIEWS_SHAPES_H_

#include <string_view>

#include "foundation/geometry.h"
#include "views/draw_context.h"

namespace fernweave {

enum class ShapeKind {
  kRectangle,
  kOval,
  kDiamond,
  kTagLeft,
  kTagRight,
  kLozenge,
  kBubble,
  kLeaf,
  kLotus,
  kBanner,
  kCloud,
};

// The kind a `Shape` value names; kRectangle for "" and for any name it does not know.
ShapeKind ShapeNamed(std::string_view name);

// The outline of the shape filling the rectangle. Empty for kRectangle.
ShapePath ShapeOutline(ShapeKind kind, const SRect& r);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_SHAPES_H_
