#pragma once
// Pixels between the platform and the pipeline: 32-bit BGRA with
// premultiplied alpha, rows top-down as they lie in memory.
#include <GLES2/gl2.h>

#include <cstdint>
#include <vector>

#include "platform/graphics/Image.h"

// The image's stored pixels (orientation is not applied), premultiplied,
// resampled to width x height when that differs, in B, G, R, A order.
std::vector<std::uint8_t> bgraBytesFromImage(const gfx::Image& image, int width, int height);

// Uploads BGRA bytes to level 0 of the texture bound to GL_TEXTURE_2D, as BGRA
// where the driver takes it and swizzled to RGBA on the processor otherwise.
// On the processing queue.
void uploadBGRATexture(int width, int height, const std::uint8_t* bytes);

// Swaps the first and third byte of every 4-byte pixel.
void swapRedAndBlue(std::uint8_t* pixels, std::size_t pixelCount);
