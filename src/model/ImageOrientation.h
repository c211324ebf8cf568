#pragma once
// Redraws a photo upright (orientation Up) before it is used as a background.
#include "model/ProjectDataModel.h"

class ImageOrientation {
 public:
  // The picture drawn upright for its own orientation.
  static ImageRef imageWithImage(const ImageRef& image);
  // The picture drawn upright for the given orientation, into a bitmap of its
  // size as shown in whole points. An upright picture is answered as itself.
  static ImageRef rotate(const ImageRef& image, gfx::Orientation orientation);
};
