#pragma once
// Names that become parts of file paths (project names, layer ids, icon names,
// sound and background names) must be one plain path component, whoever
// supplied them: a hostile or corrupt name must never reach outside its folder.
#include <string_view>

inline bool isPlainPathComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\0') return false;
  }
  return true;
}
