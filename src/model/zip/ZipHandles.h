#pragma once
// Owning wrappers for the foreign handles the zip code holds: minizip's
// writing and reading handles, C streams and file descriptors. Each closes
// on destruction; close() is there for callers that must know the answer.
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/foundation/Expected.h"

namespace zipio {

// A zip being written (minizip zipFile). The central directory is written
// only by a close that succeeds.
class ZipWriteHandle {
 public:
  ZipWriteHandle() = default;
  static fd::Expected<ZipWriteHandle> create(const std::filesystem::path& path);
  ~ZipWriteHandle();
  ZipWriteHandle(ZipWriteHandle&& other) noexcept;
  ZipWriteHandle& operator=(ZipWriteHandle&& other) noexcept;
  ZipWriteHandle(const ZipWriteHandle&) = delete;
  ZipWriteHandle& operator=(const ZipWriteHandle&) = delete;

  void* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  fd::Status close();

 private:
  void* handle_ = nullptr;
};

// A zip being read (minizip unzFile), with its global information read.
class UnzipHandle {
 public:
  UnzipHandle() = default;
  static fd::Expected<UnzipHandle> open(const std::filesystem::path& path);
  ~UnzipHandle();
  UnzipHandle(UnzipHandle&& other) noexcept;
  UnzipHandle& operator=(UnzipHandle&& other) noexcept;
  UnzipHandle(const UnzipHandle&) = delete;
  UnzipHandle& operator=(const UnzipHandle&) = delete;

  void* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  fd::Status close();

 private:
  void* handle_ = nullptr;
};

struct StreamCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, StreamCloser>;

class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor();
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  FileDescriptor& operator=(FileDescriptor&& other) noexcept;
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  fd::Status close();

 private:
  int fd_ = -1;
};

// A file under a temporary name that is removed unless it was moved to its
// final name.
class TemporaryFile {
 public:
  TemporaryFile() = default;
  // A fresh file in folder, never following a link, never reusing a name.
  static fd::Expected<TemporaryFile> createIn(const std::filesystem::path& folder);
  ~TemporaryFile();
  TemporaryFile(TemporaryFile&& other) noexcept;
  TemporaryFile& operator=(TemporaryFile&& other) noexcept;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int fd() const { return file_.get(); }
  const std::filesystem::path& path() const { return path_; }
  // Closes the file, reporting a failed close.
  fd::Status close();
  // Closes the file and renames it to target; it is no longer removed.
  fd::Status moveTo(const std::filesystem::path& target);

 private:
  void discard();
  FileDescriptor file_;
  std::filesystem::path path_;
};

}  // namespace zipio
