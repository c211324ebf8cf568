#pragma once
// Cropping, scaling and turning pictures for the rotoscoping screen (its
// timeline thumbnails). Each returns a new picture of scale 1 with straight
// alpha; the given one is left as it is.
#include "platform/graphics/Image.h"

namespace roto {

// The part of the stored pixels inside r (pixels).
gfx::Image imageAtRect(const gfx::Image& image, const gfx::Rect& r);
// Drawn into the whole of s: the aspect ratio is not kept.
gfx::Image imageByScalingToSize(const gfx::Image& image, gfx::Size s);
// Fitted inside s and centred along the side with room to spare.
gfx::Image imageByScalingProportionallyToSize(const gfx::Image& image, gfx::Size s);
// Covering s, centred, the overflow cut.
gfx::Image imageByScalingProportionallyToMinimumSize(const gfx::Image& image, gfx::Size s);
// Turned about its centre into its turned bounding box.
gfx::Image imageRotatedByDegrees(const gfx::Image& image, float degrees);
gfx::Image imageRotatedByRadians(const gfx::Image& image, float radians);

// Where the proportional scalings draw the picture inside s (exposed for the
// timeline's layout checks).
gfx::Rect proportionalRect(gfx::Size picture, gfx::Size s, bool cover);

}  // namespace roto
