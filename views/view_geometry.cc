#include "views/view_geometry.h"

#include <algorithm>
#include <cmath>

namespace fernweave {

int32_t ClampPixel(double v) {
  if (std::isnan(v)) {
    return 0;
  }
  const double limit = kMaxViewCoordinate;
  return static_cast<int32_t>(std::trunc(std::clamp(v, -limit, limit)));
}

double SaneMapValue(double v, double limit) {
  if (std::isnan(v)) {
    return 0;
  }
  return std::clamp(v, -limit, limit);
}

double SaneMapExtent(double v) { return std::max(0.0, SaneMapValue(v, kMaxMapExtent)); }

int32_t AddClamped(int32_t a, int64_t b) {
  const int64_t sum = static_cast<int64_t>(a) + b;
  return static_cast<int32_t>(std::clamp<int64_t>(sum, -kMaxViewCoordinate, kMaxViewCoordinate));
}

SRect Inset(const SRect& r, int32_t d) {
  return SRect{AddClamped(r.left, d), AddClamped(r.top, d), AddClamped(r.right, -int64_t{d}),
               AddClamped(r.bottom, -int64_t{d})};
}

SRect Offset(const SRect& r, int64_t dx, int64_t dy) {
  return SRect{AddClamped(r.left, dx), AddClamped(r.top, dy), AddClamped(r.right, dx),
               AddClamped(r.bottom, dy)};
}

SRect Normalized(const SRect& r) {
  return SRect{std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
               std::max(r.top, r.bottom)};
}

SRect Union(const SRect& a, const SRect& b) {
  return SRect{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
               std::max(a.bottom, b.bottom)};
}

bool Contains(const SRect& r, ViewPoint p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

bool Overlaps(const SRect& a, const SRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Touches(const SRect& a, const SRect& b) {
  return a.left <= b.right && b.left <= a.right && a.top <= b.bottom && b.top <= a.bottom;
}

}  // namespace fernweave
