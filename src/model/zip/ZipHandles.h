#pragma once
// Owning wrappers for the foreign handles the zip code holds: minizip's
// writing and reading handles, C streams and file descriptors. Each closes
// on destruction; close() is there for callers that must know the answer.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "platform/foundation/Expected.h"

namespace zipio {

// minizip's closing calls: for a zip being written it also writes the
// central directory. 0 when the close succeeded.
int closeZipForWriting(void* handle);
int closeZipForReading(void* handle);

// An open minizip handle (zipFile or unzFile), closed on destruction.
template <int (*Close)(void*)>
class MinizipHandle {
 public:
  MinizipHandle() = default;
  explicit MinizipHandle(void* handle) : handle_(handle) {}
  ~MinizipHandle() {
    if (handle_ != nullptr) Close(handle_);
  }
  MinizipHandle(MinizipHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
  MinizipHandle& operator=(MinizipHandle&& other) noexcept {
    if (this != &other) {
      MinizipHandle old(std::move(*this));
      handle_ = other.handle_;
      other.handle_ = nullptr;
    }
    return *this;
  }
  MinizipHandle(const MinizipHandle&) = delete;
  MinizipHandle& operator=(const MinizipHandle&) = delete;

  void* get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  // Closes now; true when the close succeeded or nothing was open.
  bool close() {
    void* handle = handle_;
    handle_ = nullptr;
    return handle == nullptr || Close(handle) == 0;
  }

 private:
  void* handle_ = nullptr;
};

using UnzipHandle = MinizipHandle<closeZipForReading>;

struct ZipWriteIo;

// A zip being written, closed on destruction. Its file is written through
// calls that keep the error number of the first write or close the system
// refused, which minizip's own answers do not carry; minizip is not told of
// a refused write, and its writer asks writeError() instead.
class ZipWriteHandle {
 public:
  ZipWriteHandle();
  ZipWriteHandle(std::unique_ptr<ZipWriteIo> io, void* handle);
  ZipWriteHandle(ZipWriteHandle&&) noexcept;
  ZipWriteHandle& operator=(ZipWriteHandle&&) noexcept;
  ~ZipWriteHandle();

  void* get() const { return handle_.get(); }
  explicit operator bool() const { return static_cast<bool>(handle_); }
  // Writes the central directory and the end records, the 64-bit ones too
  // wherever the 16- and 32-bit fields cannot hold the archive's figures.
  bool close();
  // ENOSPC for a full disk, and so on; 0 when every write went through.
  int writeError() const;

 private:
  std::unique_ptr<ZipWriteIo> io_;  // outlives the handle, which writes through it
  MinizipHandle<closeZipForWriting> handle_;
};

// Where an archive's central directory lies and how many entries it counts,
// as its end records tell.
struct DirectoryExtent {
  std::uint64_t offset = 0;
  std::uint64_t size = 0;
  std::uint64_t entries = 0;
  // Where the end record (the 32-bit one) starts.
  std::uint64_t endRecord = 0;
  // Bytes before the archive proper (a program an archive was appended to):
  // the offsets the records give count from there.
  std::uint64_t prefix = 0;
  // The 16-bit count is full (0xFFFF) and no 64-bit end record gives the
  // true one: only the directory's own bytes tell how many entries it holds.
  bool countCut = false;
};
// The end records of the archive at path; a failure when it has none that
// lie within the file.
fd::Expected<DirectoryExtent> readDirectoryExtent(const std::filesystem::path& path);

// Reads count bytes at the given position: 0, or why not (EIO for a file
// that ends before them).
int readAt(int fd, unsigned char* into, std::size_t count, std::uint64_t at);
// The unsigned number of `bytes` bytes at `at`, least significant first, as
// every field of the format is stored.
std::uint64_t little(const unsigned char* at, int bytes);
// A central directory record begins with it.
inline constexpr std::uint32_t kRecordSignature = 0x02014b50;

// Creates (or truncates) a zip for writing. A failure carries the error
// number the file was refused with.
fd::Expected<ZipWriteHandle> createZip(const std::filesystem::path& path);
// Opens a zip for reading and reads its global information. A failure names
// the file (and what is wrong beyond its not being a readable zip), for the
// caller to give after its own word for the failure.
fd::Expected<UnzipHandle> openZip(const std::filesystem::path& path);

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
  // Closes now; a test's fault `injected` stands in for the close's answer.
  fd::Status close(int injected = 0);

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
