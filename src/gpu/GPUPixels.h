#pragma once
// Pixels between the platform and the pipeline: 32-bit BGRA with
// premultiplied alpha, rows top-down as they lie in memory.
#include <GLES2/gl2.h>

#include <cstdint>
#include <vector>

#include "platform/gl/Handles.h"
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

// On the processing queue: reads a whole texture of the given size through a
// scratch framebuffer (made on first use) into out, in R, G, B, A order or,
// with bgra, B, G, R, A. False when the texture cannot be read that way
// (not colour-renderable); the caller then draws it instead.
bool readTexturePixels(GLuint texture, glx::FramebufferHandle& scratch, int width, int height, std::uint8_t* out,
                       bool bgra);
