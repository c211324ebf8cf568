#pragma once
// Move-only owners of GL object names. Each frees its name when it goes out
// of scope, so no GL user deletes a texture, program, shader, buffer,
// framebuffer or renderbuffer by hand. The context that created the name must
// be current on the thread that destroys the owner (as GL itself requires);
// the owner does not switch contexts.
#include <GLES2/gl2.h>

#include <utility>

namespace glx {

template <typename Traits>
class Handle {
 public:
  Handle() = default;
  // Adopts a name made elsewhere (0 means none).
  explicit Handle(GLuint name) : name_(name) {}
  ~Handle() { reset(); }

  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  Handle(Handle&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      reset();
      name_ = std::exchange(other.name_, 0);
    }
    return *this;
  }

  // Makes a fresh name (glGen*/glCreate*); the previous one is freed.
  static Handle make() { return Handle(Traits::create()); }

  GLuint get() const { return name_; }
  explicit operator bool() const { return name_ != 0; }

  // Frees the name now.
  void reset() {
    if (name_ != 0) Traits::destroy(name_);
    name_ = 0;
  }
  // Gives the name up without freeing it.
  GLuint release() { return std::exchange(name_, 0); }

 private:
  GLuint name_ = 0;
};

namespace detail {
struct TextureTraits {
  static GLuint create() { GLuint n = 0; glGenTextures(1, &n); return n; }
  static void destroy(GLuint n) { glDeleteTextures(1, &n); }
};
struct BufferTraits {
  static GLuint create() { GLuint n = 0; glGenBuffers(1, &n); return n; }
  static void destroy(GLuint n) { glDeleteBuffers(1, &n); }
};
struct FramebufferTraits {
  static GLuint create() { GLuint n = 0; glGenFramebuffers(1, &n); return n; }
  static void destroy(GLuint n) { glDeleteFramebuffers(1, &n); }
};
struct RenderbufferTraits {
  static GLuint create() { GLuint n = 0; glGenRenderbuffers(1, &n); return n; }
  static void destroy(GLuint n) { glDeleteRenderbuffers(1, &n); }
};
struct ProgramTraits {
  static GLuint create() { return glCreateProgram(); }
  static void destroy(GLuint n) { glDeleteProgram(n); }
};
}  // namespace detail

using TextureHandle = Handle<detail::TextureTraits>;
using BufferHandle = Handle<detail::BufferTraits>;
using FramebufferHandle = Handle<detail::FramebufferTraits>;
using RenderbufferHandle = Handle<detail::RenderbufferTraits>;
using ProgramHandle = Handle<detail::ProgramTraits>;

// Shaders need their type at creation, so they have an owner of their own.
class ShaderHandle {
 public:
  ShaderHandle() = default;
  explicit ShaderHandle(GLuint name) : name_(name) {}
  ~ShaderHandle() { reset(); }
  ShaderHandle(const ShaderHandle&) = delete;
  ShaderHandle& operator=(const ShaderHandle&) = delete;
  ShaderHandle(ShaderHandle&& o) noexcept : name_(std::exchange(o.name_, 0)) {}
  ShaderHandle& operator=(ShaderHandle&& o) noexcept {
    if (this != &o) {
      reset();
      name_ = std::exchange(o.name_, 0);
    }
    return *this;
  }

  static ShaderHandle make(GLenum type) { return ShaderHandle(glCreateShader(type)); }

  GLuint get() const { return name_; }
  explicit operator bool() const { return name_ != 0; }
  void reset() {
    if (name_ != 0) glDeleteShader(name_);
    name_ = 0;
  }
  GLuint release() { return std::exchange(name_, 0); }

 private:
  GLuint name_ = 0;
};

}  // namespace glx
