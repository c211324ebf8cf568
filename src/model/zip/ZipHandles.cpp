#include "model/zip/ZipHandles.h"

#include <fcntl.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>

#include <cerrno>
#include <system_error>
#include <random>
#include <utility>

namespace zipio {

int closeZipForWriting(void* handle) { return zipClose(static_cast<zipFile>(handle), nullptr) == ZIP_OK ? 0 : -1; }

int closeZipForReading(void* handle) { return unzClose(static_cast<unzFile>(handle)) == UNZ_OK ? 0 : -1; }

fd::Expected<ZipWriteHandle> createZip(const std::filesystem::path& path) {
  ZipWriteHandle made(zipOpen64(path.c_str(), APPEND_STATUS_CREATE));
  if (!made) return fd::fail("cannot create " + path.string());
  return made;
}

fd::Expected<UnzipHandle> openZip(const std::filesystem::path& path) {
  UnzipHandle made(unzOpen64(path.c_str()));
  if (!made) return fd::fail(path.filename().string());
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(static_cast<unzFile>(made.get()), &global) != UNZ_OK) {
    return fd::fail(path.filename().string() + ": no readable directory");
  }
  return made;
}

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
  if (this != &other) {
    FileDescriptor old(std::move(*this));
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

fd::Status FileDescriptor::close() {
  const int fd = std::exchange(fd_, -1);
  if (fd < 0) return {};
  if (::close(fd) != 0) return fd::fail(std::string("closing a file failed: ") + std::error_code(errno, std::generic_category()).message());
  return {};
}

fd::Expected<TemporaryFile> TemporaryFile::createIn(const std::filesystem::path& folder) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".unzip-%016llx.part", static_cast<unsigned long long>(random()));
    const std::filesystem::path path = folder / suffix;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      TemporaryFile made;
      made.file_ = FileDescriptor(fd);
      made.path_ = path;
      return made;
    }
    if (errno != EEXIST) break;
  }
  return fd::fail("cannot create a file in " + folder.string() + ": " + std::error_code(errno, std::generic_category()).message());
}

TemporaryFile::~TemporaryFile() { discard(); }

TemporaryFile::TemporaryFile(TemporaryFile&& other) noexcept
    : file_(std::move(other.file_)), path_(std::exchange(other.path_, {})) {}

TemporaryFile& TemporaryFile::operator=(TemporaryFile&& other) noexcept {
  if (this != &other) {
    discard();
    file_ = std::move(other.file_);
    path_ = std::exchange(other.path_, {});
  }
  return *this;
}

void TemporaryFile::discard() {
  file_ = FileDescriptor();
  if (!path_.empty()) ::unlink(path_.c_str());
  path_.clear();
}

fd::Status TemporaryFile::close() { return file_.close(); }

fd::Status TemporaryFile::moveTo(const std::filesystem::path& target) {
  if (auto closed = file_.close(); !closed) return closed;
  if (::rename(path_.c_str(), target.c_str()) != 0) {
    return fd::fail("cannot move into place " + target.string() + ": " + std::error_code(errno, std::generic_category()).message());
  }
  path_.clear();
  return {};
}

}  // namespace zipio
