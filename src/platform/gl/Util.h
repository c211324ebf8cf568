#pragma once
// Small GL helpers shared by every GL user: read-back, limits and the error log.
#include <GLES2/gl2.h>

#include <cstdint>

namespace glx {

// Reads a rectangle of the bound framebuffer (pixels, origin bottom-left) as
// tightly packed RGBA rows, bottom row first.
void readPixels(int x, int y, int width, int height, std::uint8_t* out);

// GL_MAX_TEXTURE_SIZE of the current context (read once per process).
int maxTextureSize();
// GL_MAX_RENDERBUFFER_SIZE of the current context (read once per process).
int maxRenderbufferSize();

// "GL_INVALID_ENUM", ... or "(ERROR: Unknown Error Enum)".
const char* errorName(GLenum error);
// Drains the error flag, logging each as "GLError %s set in File:%s Line:%d\n".
void logErrors(const char* file, int line);
// Drains the error flag silently.
void clearErrors();

}  // namespace glx
