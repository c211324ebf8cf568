#include "gpu/GPUTypes.h"

gfx::Point rotatedPoint(gfx::Point p, int mode) {
  switch (validRotation(mode)) {
    case RotationNone: return p;
    case RotationLeft: return {1.0f - p.y, p.x};
    case RotationRight: return {p.y, 1.0f - p.x};
    case RotationFlipVertical: return {p.x, 1.0f - p.y};
    case RotationFlipHorizontal: return {1.0f - p.x, p.y};
    case RotationRightFlipVertical: return {p.y, p.x};
    case Rotation180: return {1.0f - p.x, 1.0f - p.y};
  }
  return p;
}
