#include "platform/gl/Extensions.h"

namespace glx {

bool hasExtension(std::string_view name) {
  const auto* list = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
  if (list == nullptr || name.empty()) return false;
  std::string_view all(list);
  for (std::size_t pos = all.find(name); pos != std::string_view::npos; pos = all.find(name, pos + 1)) {
    const bool startsWord = pos == 0 || all[pos - 1] == ' ';
    const std::size_t end = pos + name.size();
    const bool endsWord = end == all.size() || all[end] == ' ';
    if (startsWord && endsWord) return true;
  }
  return false;
}

bool supportsBGRATextures() { return hasExtension("GL_EXT_texture_format_BGRA8888"); }

}  // namespace glx
