#pragma once
// The one adaptor between the toolkit's touches and the canvas: the fingers
// an event holds for a canvas view, as the canvas sees them.
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/ui/Responder.h"

// One finger: locations in the canvas's own points (origin at the top left,
// as the toolkit reports them) and the finger's tap count.
struct CanvasTouch {
  gfx::Point location;
  gfx::Point previousLocation;
  int tapCount = 1;
};

// The given fingers.
std::vector<CanvasTouch> canvasTouches(const ui::TouchSet& touches, const ui::View& view);
// Every finger of the event that belongs to `view`, in the order they went
// down; the changed touches themselves when the event holds none for it.
std::vector<CanvasTouch> canvasTouches(const ui::TouchSet& touches, const ui::Event& event, const ui::View& view);
