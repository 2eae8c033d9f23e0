// Pixel geometry shared by the laid-out views: points and rectangles in view pixels,
// and the conversions that turn a note's map values into pixels without overflow.
//
// Frames are 32-bit. Every conversion from a map value clamps to ±kMaxViewCoordinate,
// so that a frame offset by another clamped value still fits in 32 bits, and treats a
// value that is not a number as 0. A note placed far away, or with a damaged value,
// therefore gets a frame at the edge of the plane instead of a wrapped coordinate.

#ifndef FERNWEAVE_VIEWS_VIEW_GEOMETRY_H_
#define FERNWEAVE_VIEWS_VIEW_GEOMETRY_H_

#include <cstdint>

#include "foundation/geometry.h"

namespace fernweave {

// A point in view pixels.
struct ViewPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const ViewPoint&, const ViewPoint&) = default;
};

// The largest coordinate a frame edge takes (2^28): twice it still fits in 32 bits.
inline constexpr int32_t kMaxViewCoordinate = 1 << 28;
// The largest map position and extent a layout uses, in map units.
inline constexpr double kMaxMapCoordinate = 1.0e6;
inline constexpr double kMaxMapExtent = 1.0e5;

// v truncated toward zero, 0 when v is not a number, clamped to ±kMaxViewCoordinate.
int32_t ClampPixel(double v);
// v clamped to ±limit; 0 when v is not a number.
double SaneMapValue(double v, double limit);
// A width or height: as SaneMapValue, and never below 0.
double SaneMapExtent(double v);
// The sum, clamped to ±kMaxViewCoordinate.
int32_t AddClamped(int32_t a, int64_t b);

inline int32_t Width(const SRect& r) { return r.right - r.left; }
inline int32_t Height(const SRect& r) { return r.bottom - r.top; }
inline bool IsEmpty(const SRect& r) { return r.right <= r.left || r.bottom <= r.top; }

// Each side moved inwards by d (outwards for a negative d).
SRect Inset(const SRect& r, int32_t d);
SRect Offset(const SRect& r, int64_t dx, int64_t dy);
// Left not right of right, top not below bottom.
SRect Normalized(const SRect& r);
SRect Union(const SRect& a, const SRect& b);
// The point lies in the rectangle: left ≤ x < right, top ≤ y < bottom.
bool Contains(const SRect& r, ViewPoint p);
// The two rectangles share area.
bool Overlaps(const SRect& a, const SRect& b);
// The two rectangles share area or touch along an edge or at a corner.
bool Touches(const SRect& a, const SRect& b);

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_VIEW_GEOMETRY_H_
