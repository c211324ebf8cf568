#pragma once
// Extensions of the current GL context, for code that must choose a path by
// what the driver offers (BGRA textures above all).
#include <GLES2/gl2.h>
#include <GLES2/gl2ext.h>

#include <string_view>

namespace glx {

// Whether the context current on the calling thread lists the extension
// (matched as a whole word of GL_EXTENSIONS). false without a context.
bool hasExtension(std::string_view name);

// 32-bit BGRA pixels as a texture format (GL_EXT_texture_format_BGRA8888).
// Under that extension the internal format must equal the format.
constexpr GLenum kFormatBGRA = GL_BGRA_EXT;
bool supportsBGRATextures();

}  // namespace glx
