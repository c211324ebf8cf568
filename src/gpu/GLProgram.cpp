#include "gpu/GLProgram.h"

#include <algorithm>

#include "platform/foundation/Log.h"

namespace {

template <typename LengthQuery, typename LogRead>
std::optional<std::string> logForOpenGLObject(GLuint object, LengthQuery infoCallback, LogRead logFunc) {
  if (object == 0) return std::nullopt;
  GLint length = 0;
  infoCallback(object, GL_INFO_LOG_LENGTH, &length);
  if (length < 1) return std::nullopt;
  std::string log(static_cast<std::size_t>(length), '\0');
  logFunc(object, length, &length, log.data());
  log.resize(static_cast<std::size_t>(std::max(length, 0)));
  return log;
}

}  // namespace

GLProgram::GLProgram(const std::optional<std::string>& vertexShader,
                     const std::optional<std::string>& fragmentShader)
    : program_(glx::ProgramHandle::make()) {
  if (!compileShader(vertShader_, GL_VERTEX_SHADER, vertexShader)) fd::Log("Failed to compile vertex shader\n");
  if (!compileShader(fragShader_, GL_FRAGMENT_SHADER, fragmentShader)) {
    fd::Log("Failed to compile fragment shader\n");
  }
  if (vertShader_) glAttachShader(program_.get(), vertShader_.get());
  if (fragShader_) glAttachShader(program_.get(), fragShader_.get());
}

bool GLProgram::compileShader(glx::ShaderHandle& shader, GLenum type, const std::optional<std::string>& source) {
  if (!source) {
    fd::Log("Failed to load vertex shader\n");
    return false;
  }
  shader = glx::ShaderHandle::make(type);
  const char* text = source->c_str();
  glShaderSource(shader.get(), 1, &text, nullptr);
  glCompileShader(shader.get());
  GLint status = 0;
  glGetShaderiv(shader.get(), GL_COMPILE_STATUS, &status);
  if (status != GL_TRUE) {
    if (auto log = logForOpenGLObject(shader.get(), glGetShaderiv, glGetShaderInfoLog)) {
      fd::Log("Shader compile log:\n%s\n", log->c_str());
    }
  }
  return status == GL_TRUE;
}

void GLProgram::addAttribute(const std::string& name) {
  if (std::find(attributes_.begin(), attributes_.end(), name) != attributes_.end()) return;
  attributes_.push_back(name);
  glBindAttribLocation(program_.get(), static_cast<GLuint>(attributes_.size() - 1), name.c_str());
}

GLint GLProgram::attributeIndex(const std::string& name) const {
  auto it = std::find(attributes_.begin(), attributes_.end(), name);
  return it == attributes_.end() ? -1 : static_cast<GLint>(it - attributes_.begin());
}

GLint GLProgram::uniformIndex(const std::string& name) const {
  return glGetUniformLocation(program_.get(), name.c_str());
}

bool GLProgram::link() {
  glLinkProgram(program_.get());
  GLint status = 0;
  glGetProgramiv(program_.get(), GL_LINK_STATUS, &status);
  if (status == 0) return false;
  // The shaders are no longer needed once linked; their logs go with them.
  vertShader_.reset();
  fragShader_.reset();
  initialized_ = true;
  return true;
}

void GLProgram::use() const { glUseProgram(program_.get()); }

void GLProgram::validate() const {
  glValidateProgram(program_.get());
  if (auto log = programLog()) fd::Log("Program validate log:\n%s\n", log->c_str());
}

std::optional<std::string> GLProgram::programLog() const {
  return logForOpenGLObject(program_.get(), glGetProgramiv, glGetProgramInfoLog);
}
std::optional<std::string> GLProgram::vertexShaderLog() const {
  return logForOpenGLObject(vertShader_.get(), glGetShaderiv, glGetShaderInfoLog);
}
std::optional<std::string> GLProgram::fragmentShaderLog() const {
  return logForOpenGLObject(fragShader_.get(), glGetShaderiv, glGetShaderInfoLog);
}

void GLProgram::logLinkFailure() const {
  fd::Log("Program link log: %s\n", programLog().value_or("(null)").c_str());
  fd::Log("Fragment shader compile log: %s\n", fragmentShaderLog().value_or("(null)").c_str());
  fd::Log("Vertex shader compile log: %s\n", vertexShaderLog().value_or("(null)").c_str());
}
