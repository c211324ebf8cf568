#include "platform/foundation/FileUtil.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>

namespace fd::files {

namespace {

bool pathTaken(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

bool writeAll(int fd, const void* bytes, std::size_t size) {
  const auto* p = static_cast<const char*>(bytes);
  while (size > 0) {
    ssize_t n = ::write(fd, p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

void syncDirectory(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(p, ec);
}

bool isDirectory(const fs::path& p) {
  std::error_code ec;
  return fs::is_directory(p, ec);
}

bool createDirectory(const fs::path& p) {
  std::error_code ec;
  fs::create_directories(p, ec);
  return fs::is_directory(p, ec);
}

bool copyItem(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!pathTaken(from) || pathTaken(to)) return false;
  fs::copy(from, to, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
  if (ec) {
    // Leave nothing half-copied behind: the destination did not exist before.
    fs::remove_all(to, ec);
    return false;
  }
  return true;
}

bool moveItem(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  if (!pathTaken(from) || pathTaken(to)) return false;
  fs::rename(from, to, ec);
  if (!ec) return true;
  if (ec != std::errc::cross_device_link) return false;
  if (!copyItem(from, to)) return false;
  fs::remove_all(from, ec);
  return true;
}

bool removeItem(const fs::path& p) {
  std::error_code ec;
  auto removed = fs::remove_all(p, ec);
  return !ec && removed != static_cast<std::uintmax_t>(-1) && removed > 0;
}

std::vector<std::string> contentsOfDirectory(const fs::path& dir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> subpaths(const fs::path& dir) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    paths.push_back(it->path().lexically_relative(dir).generic_string());
  std::sort(paths.begin(), paths.end());
  return paths;
}

std::optional<std::uintmax_t> fileSize(const fs::path& p) {
  std::error_code ec;
  auto size = fs::file_size(p, ec);
  if (ec) return std::nullopt;
  return size;
}

std::optional<Data> readFile(const fs::path& p) {
  std::error_code ec;
  if (!fs::is_regular_file(p, ec)) return std::nullopt;
  std::ifstream in(p, std::ios::binary);
  if (!in) return std::nullopt;
  Data bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

bool writeFileAtomically(const fs::path& p, const void* bytes, std::size_t size) {
  if (p.filename().empty()) return false;
  fs::path dir = p.parent_path().empty() ? fs::path(".") : p.parent_path();
  std::string temp = (dir / ("." + p.filename().string() + ".XXXXXX")).string();
  int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = ::fchmod(fd, 0644) == 0 && writeAll(fd, bytes, size) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), p.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  syncDirectory(dir);
  return true;
}

bool writeFileAtomically(const fs::path& p, const Data& bytes) {
  return writeFileAtomically(p, bytes.data(), bytes.size());
}

bool writeFileAtomically(const fs::path& p, const std::string& text) {
  return writeFileAtomically(p, text.data(), text.size());
}

}  // namespace fd::files
