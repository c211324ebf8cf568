#include "canvas/ProgramObject.h"

#include <utility>

#include "canvas/RenderFunctions.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"

ProgramObject::ProgramObject(std::string vertSrc, std::string fragSrc)
    : vertSrc_(std::move(vertSrc)), fragSrc_(std::move(fragSrc)) {}

ProgramObject ProgramObject::initWithVertShaderName(const std::string& vertName, const std::string& fragName) {
  return ProgramObject(readFile(vertName).value_or(""), readFile(fragName).value_or(""));
}

ProgramObject ProgramObject::initWithVertShaderPath(const std::string& vertPath, const std::string& fragPath) {
  return ProgramObject(readFileWithPath(vertPath).value_or(""), readFileWithPath(fragPath).value_or(""));
}

std::optional<std::string> ProgramObject::readFile(const std::string& resourceName) {
  return readFileWithPath(fd::paths::resource(resourceName).string());
}

std::optional<std::string> ProgramObject::readFileWithPath(const std::string& path) {
  const fd::Expected<fd::Data> bytes = fd::files::readFile(path, fd::paths::kMaxResourceTextBytes);
  if (!bytes) return std::nullopt;
  return std::string(bytes->begin(), bytes->end());
}

void ProgramObject::loadShadersWithAttribCount(const std::vector<const char*>& attribNames,
                                               const std::vector<const char*>& uniformNames) {
  destory();
  attribLoc_.resize(attribNames.size());
  for (std::size_t i = 0; i < attribLoc_.size(); ++i) attribLoc_[i] = static_cast<GLint>(i);
  uniformLoc_.assign(uniformNames.size(), -1);
  BuildProgram(vertSrc_.c_str(), fragSrc_.c_str(), static_cast<int>(attribNames.size()), attribNames.data(),
               attribLoc_.data(), static_cast<int>(uniformNames.size()), uniformNames.data(), uniformLoc_.data(),
               &program_);
}

void ProgramObject::destory() { program_.reset(); }
