#include "model/ImageOrientation.h"

#include <numbers>

#include "platform/foundation/Log.h"
#include "platform/graphics/Context.h"

namespace {

using gfx::Orientation;

bool isSideways(Orientation o) {
  return o == Orientation::Left || o == Orientation::Right || o == Orientation::LeftMirrored ||
         o == Orientation::RightMirrored;
}

// The transform that brings the stored pixels upright in a bitmap of the
// shown size w x h (y up, as a plain bitmap context has it).
gfx::AffineTransform uprightTransform(Orientation o, float w, float h) {
  constexpr float kPi = std::numbers::pi_v<float>;
  gfx::AffineTransform t;
  switch (o) {
    case Orientation::Down:
    case Orientation::DownMirrored:
      t = t.translated(w, h).rotated(kPi);
      break;
    case Orientation::Left:
    case Orientation::LeftMirrored:
      t = t.translated(w, 0).rotated(kPi / 2);
      break;
    case Orientation::Right:
    case Orientation::RightMirrored:
      t = t.translated(0, h).rotated(-kPi / 2);
      break;
    default:
      break;
  }
  switch (o) {
    case Orientation::UpMirrored:
    case Orientation::DownMirrored:
      t = t.translated(w, 0).scaled(-1, 1);
      break;
    case Orientation::LeftMirrored:
    case Orientation::RightMirrored:
      t = t.translated(h, 0).scaled(-1, 1);
      break;
    default:
      break;
  }
  return t;
}

}  // namespace

ImageRef ImageOrientation::imageWithImage(const ImageRef& image) {
  if (!image) return image;
  return rotate(image, image->orientation());
}

ImageRef ImageOrientation::rotate(const ImageRef& image, gfx::Orientation orientation) {
  if (!image || orientation == Orientation::Up) return image;
  // The size as shown, whatever the orientation asked for.
  const gfx::Size shown = image->size();
  const int width = static_cast<int>(shown.width);
  const int height = static_cast<int>(shown.height);
  gfx::Context context(width, height, 1.0f, gfx::Origin::BottomLeft);
  if (!context.valid()) {
    fd::Log("alloc memory fail!\n");
    return image;
  }
  context.clear();
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  context.concat(uprightTransform(orientation, w, h));
  if (image->scale() == 1.0f) context.setInterpolation(gfx::Interpolation::Nearest);
  const gfx::Rect drawn = isSideways(orientation) ? gfx::Rect{0, 0, h, w} : gfx::Rect{0, 0, w, h};
  context.drawImageYUp(*image, drawn);
  return std::make_shared<const gfx::Image>(context.makeImage(true));
}
