#include "model/StagingFolder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>

#include <cerrno>
#include <system_error>
#include <utility>

#include "model/SafeName.h"

namespace fs = std::filesystem;

namespace staging {

namespace {

constexpr std::string_view kSuffixTemplate = "XXXXXX";

// The folder opened without following a link, for its lock.
fd::files::UniqueFd openFolder(const fs::path& folder) {
  return fd::files::UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

}  // namespace

std::string hiddenPrefix(std::string_view name, std::string_view mark) {
  std::string prefix = ".";
  prefix += name.substr(0, kMaxProjectNameBytes);
  prefix += mark;
  return prefix;
}

bool isHiddenName(std::string_view name, std::string_view mark) {
  const std::size_t at = name.rfind(mark);
  if (name.size() < 2 || name.front() != '.' || at == std::string_view::npos || at < 2) return false;
  return fd::files::isUniqueTempSuffix(name.substr(at + mark.size()));
}

Folder::Folder(const fs::path& parent, const std::string& prefix) {
  std::error_code ec;
  fs::create_directories(parent, ec);
  std::string pattern = (parent / (prefix + std::string(kSuffixTemplate))).string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  fd::files::UniqueFd lock = openFolder(pattern);
  if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    fs::remove_all(pattern, ec);
    return;
  }
  path_ = std::move(pattern);
  lock_ = std::move(lock);
}

Folder::Folder(Folder&& other) noexcept : path_(std::exchange(other.path_, {})), lock_(std::move(other.lock_)) {}

Folder::~Folder() {
  std::error_code ec;
  if (!path_.empty()) fs::remove_all(path_, ec);
}

void sweep(const fs::path& parent, const std::function<bool(std::string_view name)>& ours,
           const std::function<bool(const fs::path& folder)>& settle) {
  for (const std::string& name : fd::files::contentsOfDirectory(parent)) {
    if (!ours(name)) continue;
    const fs::path folder = parent / name;
    std::error_code ec;
    if (!fs::is_directory(fs::symlink_status(folder, ec))) continue;
    // Held while it goes, so that no operation starts in it meanwhile.
    const fd::files::UniqueFd lock = openFolder(folder);
    if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) continue;
    if (!settle || settle(folder)) fs::remove_all(folder, ec);
  }
}

}  // namespace staging
