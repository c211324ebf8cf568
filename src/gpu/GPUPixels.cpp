#include "gpu/GPUPixels.h"

#include <utility>

#include "gpu/GPUOpenGLESContext.h"
#include "platform/gl/Extensions.h"
#include "platform/gl/Util.h"

void swapRedAndBlue(std::uint8_t* pixels, std::size_t pixelCount) {
  for (std::size_t i = 0; i < pixelCount; ++i) std::swap(pixels[i * 4], pixels[i * 4 + 2]);
}

std::vector<std::uint8_t> bgraBytesFromImage(const gfx::Image& image, int width, int height) {
  gfx::Image pixels = (image.pixelWidth() == width && image.pixelHeight() == height)
                          ? image
                          : image.scaledTo(width, height);
  pixels.premultiply();
  std::vector<std::uint8_t> bytes = std::move(pixels.bytes());
  bytes.resize(static_cast<std::size_t>(width) * height * 4);
  swapRedAndBlue(bytes.data(), static_cast<std::size_t>(width) * height);
  return bytes;
}

void uploadBGRATexture(int width, int height, const std::uint8_t* bytes) {
  if (GPUOpenGLESContext::supportsBGRATextures()) {
    glTexImage2D(GL_TEXTURE_2D, 0, glx::kFormatBGRA, width, height, 0, glx::kFormatBGRA, GL_UNSIGNED_BYTE, bytes);
    return;
  }
  std::vector<std::uint8_t> rgba;
  if (bytes != nullptr) {
    rgba.assign(bytes, bytes + static_cast<std::size_t>(width) * height * 4);
    swapRedAndBlue(rgba.data(), static_cast<std::size_t>(width) * height);
  }
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE,
               rgba.empty() ? nullptr : rgba.data());
}

bool readTexturePixels(GLuint texture, glx::FramebufferHandle& scratch, int width, int height, std::uint8_t* out,
                       bool bgra) {
  if (texture == 0) return false;
  if (!scratch) scratch = glx::FramebufferHandle::make();
  glBindFramebuffer(GL_FRAMEBUFFER, scratch.get());
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, texture, 0);
  const bool readable = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
  if (readable) {
    glx::readPixels(0, 0, width, height, out);
    if (bgra) swapRedAndBlue(out, static_cast<std::size_t>(width) * height);
  }
  // Detached again, so the source may delete or resize its texture freely.
  glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, 0, 0);
  return readable;
}
