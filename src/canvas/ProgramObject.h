#pragma once
// A GLSL program built from two shader texts, with fixed attribute locations
// (attribute i at location i) and the looked-up uniform locations.
#include <GLES2/gl2.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/gl/Handles.h"

class ProgramObject {
 public:
  ProgramObject(std::string vertSrc, std::string fragSrc);
  ProgramObject(const ProgramObject&) = delete;
  ProgramObject& operator=(const ProgramObject&) = delete;
  ProgramObject(ProgramObject&&) noexcept = default;
  ProgramObject& operator=(ProgramObject&&) noexcept = default;

  // Texts from bundle resources by name, or from files; an unreadable one is empty.
  static ProgramObject initWithVertShaderName(const std::string& vertName, const std::string& fragName);
  static ProgramObject initWithVertShaderPath(const std::string& vertPath, const std::string& fragPath);
  static std::optional<std::string> readFile(const std::string& resourceName);
  static std::optional<std::string> readFileWithPath(const std::string& path);

  // Builds the program with the current context; programID() is 0 on failure.
  void loadShadersWithAttribCount(const std::vector<const char*>& attribNames,
                                  const std::vector<const char*>& uniformNames);
  void destory();

  bool isEnabled() const { return static_cast<bool>(program_); }
  GLuint programID() const { return program_.get(); }
  const std::string& vertSrc() const { return vertSrc_; }
  const std::string& fragSrc() const { return fragSrc_; }
  unsigned attribCount() const { return static_cast<unsigned>(attribLoc_.size()); }
  const std::vector<GLint>& attribLoc() const { return attribLoc_; }
  unsigned uniformCount() const { return static_cast<unsigned>(uniformLoc_.size()); }
  const std::vector<GLint>& uniformLoc() const { return uniformLoc_; }
  GLint uniform(unsigned index) const { return index < uniformLoc_.size() ? uniformLoc_[index] : -1; }

 private:
  glx::ProgramHandle program_;
  std::string vertSrc_, fragSrc_;
  std::vector<GLint> attribLoc_;
  std::vector<GLint> uniformLoc_;
};
