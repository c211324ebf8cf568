#pragma once
// The CPU reference for the pipeline's own sampling: what a texture holds
// after upload, how a quad with a rotation reads its input (GL_LINEAR with
// clamp to edge at pixel centres), the two passes in order with 8-bit
// storage between them, and the display view's fill modes. Pictures are kept
// in memory order (row 0 first, as textures are uploaded and read back).
#include <array>
#include <functional>
#include <string>

#include "platform/graphics/Image.h"

namespace gpuref {

using Colour = std::array<float, 4>;  // r, g, b, a in 0..1
using Sampler = std::function<Colour(float s, float t)>;
// A fragment shader: the colour at texture coordinate (s, t) of one sampler.
using Shader = std::function<Colour(const Sampler& input, float s, float t)>;

// A test picture from tests/data.
gfx::Image loadPicture(const std::string& name);

// What an uploaded picture holds: premultiplied RGBA (resampled when the
// size differs, as the upload does).
gfx::Image uploaded(const gfx::Image& picture);

// GL_LINEAR at (s, t) with clamp to edge.
Colour sampleLinear(const gfx::Image& texture, float s, float t);
// The input coordinate a quad with the rotation reads at output point (x, y).
std::array<float, 2> readPoint(int rotation, float x, float y);
bool swapsSides(int rotation);

// A filter: output of the rotated size, each pixel the shader at the
// rotated coordinate of its centre, stored as 8 bits.
gfx::Image filter(const gfx::Image& input, int rotation, const Shader& shader);
// The shader that copies its input.
Colour passThrough(const Sampler& input, float s, float t);

// The display view: a picture of viewWidth x viewHeight pixels, top row first
// (as presented), background opaque black.
gfx::Image view(const gfx::Image& input, int rotation, int fillMode, int viewWidth, int viewHeight);

// Per-pixel comparison: the largest difference of any channel, and how many
// pixels differ by more than `tolerance` (more than `borderTolerance` within
// `border` pixels of the edge).
struct Comparison {
  int maxDifference = 0;
  int badPixels = 0;
  std::string firstBad;
};
Comparison compare(const gfx::Image& actual, const gfx::Image& expected, int tolerance = 1, int borderTolerance = 2,
                   int border = 1);

}  // namespace gpuref
