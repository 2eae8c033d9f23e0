#include "views/map_scale.h"

#include <algorithm>
#include <cmath>

#include "views/layout_policy.h"

namespace fernweave {

namespace {
constexpr double kFiveRootFive = 11.180339887498949;  // 5 × √5
}  // namespace

void MapScale::Set(int setting) { setting_ = std::clamp(setting, kMinSetting, kMaxSetting); }

double MapScale::StandardScale() const {
  return policy_ == nullptr ? 1.0 : policy_->StandardScale();
}

double MapScale::MinimumScale() const { return policy_ == nullptr ? 0.0 : policy_->MinScale(); }

double MapScale::Scale() const {
  if (temporary_ > 0) {
    return temporary_;
  }
  const double n = setting_;
  const double m = MinimumScale();
  return m + (StandardScale() - m) * n * std::sqrt(n) / kFiveRootFive;
}

ViewPoint MapScale::Scale(MapPoint p) const {
  const double s = Scale();
  return ViewPoint{ClampPixel(p.x * s), ClampPixel(p.y * s)};
}

SRect MapScale::Scale(double left, double top, double right, double bottom) const {
  const double s = Scale();
  return SRect{ClampPixel(left * s), ClampPixel(top * s), ClampPixel(right * s),
               ClampPixel(bottom * s)};
}

double MapScale::RelativeScale() const {
  const double standard = StandardScale();
  return standard == 0 ? 1.0 : Scale() / standard;
}

void MapScale::SetTemporaryScale(double scale) {
  if (std::isfinite(scale) && scale > 0) {
    temporary_ = std::min(scale, 1.0e4);
  }
}

bool MapScale::ShouldAnimate(double from, double to) { return std::fabs(to - from) >= 0.1; }

ZoomAnimation::ZoomAnimation(double from, double to)
    : from_(from),
      to_(to),
      steps_(std::isfinite(from) && std::isfinite(to) && MapScale::ShouldAnimate(from, to)
                 ? kSteps
                 : 0) {}

double ZoomAnimation::ScaleAt(int step) const {
  if (step >= steps_) {
    return to_;
  }
  if (step <= 0) {
    return from_;
  }
  return from_ + (to_ - from_) * step / steps_;
}

}  // namespace fernweave
