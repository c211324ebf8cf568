#pragma once
// Names that become parts of file paths (project names, layer ids, icon names,
// sound and background names) must be one plain path component, whoever
// supplied them: a hostile or corrupt name must never reach outside its folder.
#include <cstddef>
#include <string>
#include <string_view>

#include "platform/foundation/PropertyListCheck.h"

inline bool isPlainPathComponent(std::string_view name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (char c : name) {
    if (c == '/' || c == '\0') return false;
  }
  return true;
}

// A name the user may give a project: besides being a plain path component,
// it is not hidden (names beginning with a dot are the program's own, such as
// an import's staging folder, which start-up removes), holds no control
// characters, and leaves room for the longest name built from it (a staging
// folder adds 15 bytes) within a file name's 255 bytes.
inline constexpr std::size_t kMaxProjectNameBytes = 120;

inline bool isValidProjectName(std::string_view name) {
  if (!isPlainPathComponent(name) || name.front() == '.' || name.size() > kMaxProjectNameBytes) return false;
  // The lists that name it keep only what a list written as XML carries
  // (a file name may hold bytes that are not UTF-8).
  if (fd::plistcheck::uncarriedIn(name)) return false;
  for (char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return true;
}

// The name a project takes from a name field holding `name`: on one line as
// the field holds it (gfx::heldOnOneLine), without the spaces of any kind
// around it (fd::withoutOuterSpaces). The
// Rename stores a name so, and a package is named so, so that what another
// program put in a folder's name (a line feed, a tab) never reaches a
// package's file name, and its import takes the name a Rename would give.
std::string nameAsStored(std::string_view name);
