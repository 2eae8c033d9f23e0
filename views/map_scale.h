// A view's zoom: an integer setting turned into pixels per map unit by the view's
// layout policy. With setting n, minimum scale m and standard scale s the scale is
// m + (s − m) × n^1.5 ÷ 5^1.5, so setting 5 gives the standard scale. A temporary
// scale (used while a change of zoom is animated) overrides the computed one.

#ifndef FERNWEAVE_VIEWS_MAP_SCALE_H_
#define FERNWEAVE_VIEWS_MAP_SCALE_H_

#include "foundation/geometry.h"
#include "model/node.h"
#include "views/view_geometry.h"

namespace fernweave {

class LayoutPolicy;

class MapScale {
 public:
  static constexpr int kInitialSetting = 5;
  // Settings are kept within these bounds; a setting below 1 would give a scale
  // below the minimum (or, below 0, no number at all).
  static constexpr int kMinSetting = 1;
  static constexpr int kMaxSetting = 50;

  // `policy` (not owned, may be null) supplies the minimum and standard scales.
  explicit MapScale(const LayoutPolicy* policy = nullptr) : policy_(policy) {}

  // Clamped to kMinSetting..kMaxSetting.
  void Set(int setting);
  int Setting() const { return setting_; }
  double Scale() const;
  double Scale(double value) const { return value * Scale(); }
  ViewPoint Scale(MapPoint p) const;
  // A map rectangle (left, top, right, bottom in map units) in pixels.
  SRect Scale(double left, double top, double right, double bottom) const;
  // Scale ÷ standard scale (1 when the standard scale is 0).
  double RelativeScale() const;
  // 1 and 0 without a policy.
  double StandardScale() const;
  double MinimumScale() const;
  // A scale that is not a positive finite number is ignored.
  void SetTemporaryScale(double scale);
  void EndTemporaryScale() { temporary_ = 0; }
  // A change of scale this large is animated.
  static bool ShouldAnimate(double from, double to);

 private:
  const LayoutPolicy* policy_;
  int setting_ = kInitialSetting;
  double temporary_ = 0;
};

// The steps of an animated change of zoom, as a pure function of the step: the window
// sets each step's scale as the temporary scale, lays out and draws, and ends the
// temporary scale after the last. A change too small to animate has no steps.
class ZoomAnimation {
 public:
  static constexpr int kSteps = 8;

  ZoomAnimation(double from, double to);
  // 0 when the change is not animated (MapScale::ShouldAnimate is false).
  int Steps() const { return steps_; }
  // The scale shown at step 1..Steps(), moving from `from` to `to` evenly; steps past
  // the last give `to`, steps before the first `from`.
  double ScaleAt(int step) const;

 private:
  double from_;
  double to_;
  int steps_;
};

}  // namespace fernweave

#endif  // FERNWEAVE_VIEWS_MAP_SCALE_H_
