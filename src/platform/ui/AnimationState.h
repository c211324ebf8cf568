#pragma once
// Per-view record of running property animations (internal to the toolkit).
#include <memory>
#include <vector>

#include "platform/ui/Animation.h"

namespace ui {

struct PropValue {
  Rect rect;
  Point point;
  AffineTransform transform;
  float scalar = 0;
  Color color;
};

struct PropAnim {
  Animator::Property prop;
  PropValue from, to;
  double begin = 0, duration = 0;
  AnimationCurve curve = AnimationCurve::EaseInOut;
  float repeatCount = 0;
  bool autoreverses = false;
  std::shared_ptr<Animator::Group> group;
};

struct ViewAnimationState {
  std::vector<PropAnim> anims;
};

// The eased value 0..1 of a curve at linear time x in 0..1.
float easeCurve(AnimationCurve curve, float x);

}  // namespace ui
