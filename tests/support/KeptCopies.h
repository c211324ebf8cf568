#pragma once
// Finding the copies the program kept of a file it could not read.
#include <filesystem>
#include <vector>

#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"

namespace testing_support {

// The files beside `file` that keep it aside, oldest first.
inline std::vector<std::filesystem::path> keptCopies(const std::filesystem::path& file) {
  std::vector<std::filesystem::path> copies;
  const std::string prefix = file.filename().string() + fd::kDamagedSuffix;
  for (const std::string& name : fd::files::contentsOfDirectory(file.parent_path()))
    if (name.starts_with(prefix)) copies.push_back(file.parent_path() / name);
  return copies;
}

}  // namespace testing_support
