#include "canvas/CanvasTouch.h"

#include "platform/ui/View.h"

std::vector<CanvasTouch> canvasTouches(const ui::TouchSet& touches, const ui::View& view) {
  std::vector<CanvasTouch> out;
  out.reserve(touches.size());
  for (const ui::Touch* t : touches) {
    if (t == nullptr) continue;
    out.push_back({t->locationInView(&view), t->previousLocationInView(&view), t->tapCount()});
  }
  return out;
}

std::vector<CanvasTouch> canvasTouches(const ui::TouchSet& touches, const ui::Event& event, const ui::View& view) {
  const ui::TouchSet mine = event.touchesForView(&view);
  return canvasTouches(mine.empty() ? touches : mine, view);
}
