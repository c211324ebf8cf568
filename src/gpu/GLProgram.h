#pragma once
// One GLSL program from a vertex and a fragment shader source, with
// attribute locations fixed by the order in which its owner adds them.
// Built, linked and used on the processing queue only.
#include <GLES2/gl2.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/gl/Handles.h"

class GLProgram {
 public:
  // Compiles both shaders and attaches them; a failed compile is logged and
  // shows up at link(). A missing source (nullopt) is logged as not loaded.
  GLProgram(const std::optional<std::string>& vertexShader, const std::optional<std::string>& fragmentShader);
  GLProgram(const GLProgram&) = delete;
  GLProgram& operator=(const GLProgram&) = delete;

  // Registers an attribute at the next location; a name already added is ignored.
  void addAttribute(const std::string& name);
  // The attribute's position in the added list (its bound location); -1 when unknown.
  GLint attributeIndex(const std::string& name) const;
  GLint uniformIndex(const std::string& name) const;

  bool link();
  void use() const;
  void validate() const;

  GLuint program() const { return program_.get(); }
  bool initialized() const { return initialized_; }

  // Info logs; nullopt when the object has none (or no longer exists).
  std::optional<std::string> programLog() const;
  std::optional<std::string> vertexShaderLog() const;
  std::optional<std::string> fragmentShaderLog() const;
  // The three lines every owner writes when a link fails.
  void logLinkFailure() const;

 private:
  static bool compileShader(glx::ShaderHandle& shader, GLenum type, const std::optional<std::string>& source);

  std::vector<std::string> attributes_;
  glx::ProgramHandle program_;
  glx::ShaderHandle vertShader_;
  glx::ShaderHandle fragShader_;
  bool initialized_ = false;
};
