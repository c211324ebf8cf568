#pragma once
// Value types shared by the whole pipeline: uniform values, the seven input
// rotations with their texture-coordinate quads, and the full-frame quad.
#include <array>
#include <cstdint>

#include "platform/graphics/Geometry.h"

struct GPUVector3 {
  float one = 0, two = 0, three = 0;
  bool operator==(const GPUVector3&) const = default;
};
struct GPUVector4 {
  float one = 0, two = 0, three = 0, four = 0;
  bool operator==(const GPUVector4&) const = default;
};
struct GPUMatrix3x3 {
  GPUVector3 one, two, three;
  bool operator==(const GPUMatrix3x3&) const = default;
};
struct GPUMatrix4x4 {
  GPUVector4 one, two, three, four;
  bool operator==(const GPUMatrix4x4&) const = default;
};

// One pixel of the raw-data output's colour lookup.
struct GPUByteColorVector {
  std::uint8_t red = 0, green = 0, blue = 0, alpha = 0;
  bool operator==(const GPUByteColorVector&) const = default;
};

// How a source's texture is turned while a target reads it.
enum RotationMode : int {
  RotationNone = 0,
  RotationLeft = 1,
  RotationRight = 2,
  RotationFlipVertical = 3,
  RotationFlipHorizontal = 4,
  RotationRightFlipVertical = 5,
  Rotation180 = 6,
};
inline constexpr int kRotationModeCount = 7;

// Four (x, y) or (s, t) pairs: the corners in triangle-strip order
// bottom-left, bottom-right, top-left, top-right.
using GPUQuad = std::array<float, 8>;

inline constexpr GPUQuad kFullFrameVertices = {-1.0f, -1.0f, 1.0f, -1.0f, -1.0f, 1.0f, 1.0f, 1.0f};

// The texture coordinate at each corner of the full-frame quad, by mode.
inline constexpr std::array<GPUQuad, kRotationModeCount> kRotationTextureCoordinates = {{
    {0, 0, 1, 0, 0, 1, 1, 1},  // none
    {1, 0, 1, 1, 0, 0, 0, 1},  // left
    {0, 1, 0, 0, 1, 1, 1, 0},  // right
    {0, 1, 1, 1, 0, 0, 1, 0},  // flip vertical
    {1, 0, 0, 0, 1, 1, 0, 1},  // flip horizontal
    {0, 0, 0, 1, 1, 0, 1, 1},  // right, then flip vertical
    {1, 1, 0, 1, 1, 0, 0, 0},  // 180 degrees
}};

// Modes outside 0..6 read as none: every caller passes one of the seven, and
// an unturned picture is the harmless answer to one that does not.
constexpr RotationMode validRotation(int mode) {
  return mode >= 0 && mode < kRotationModeCount ? static_cast<RotationMode>(mode) : RotationNone;
}
constexpr const GPUQuad& textureCoordinatesForRotation(int mode) {
  return kRotationTextureCoordinates[validRotation(mode)];
}
// Quarter turns exchange width and height.
constexpr bool rotationSwapsWidthAndHeight(int mode) {
  return mode == RotationLeft || mode == RotationRight || mode == RotationRightFlipVertical;
}
// The input coordinate read at the normalised output point p.
gfx::Point rotatedPoint(gfx::Point p, int mode);
