#include "model/zip/ZipHandles.h"

#include <fcntl.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>
#include <ioapi.h>

#include <cerrno>
#include <system_error>
#include <random>
#include <utility>

#include "platform/foundation/FileUtil.h"

namespace zipio {

int closeZipForWriting(void* handle) { return zipClose(static_cast<zipFile>(handle), nullptr) == ZIP_OK ? 0 : -1; }

int closeZipForReading(void* handle) { return unzClose(static_cast<unzFile>(handle)) == UNZ_OK ? 0 : -1; }

// The C library's stream calls, each keeping the error of the first one the
// system refused; a write a test's fault refuses fails as a full disk would.
// A refused write is answered as done, and nothing more is written after it:
// minizip, told of a failure while it starts an entry, keeps the record it
// allocated for that entry for good, so the writer reads writeError() after
// each entry and at the close instead, and gives the archive up there.
struct ZipWriteIo {
  zlib_filefunc64_def stdio{};
  std::filesystem::path path;
  int error = 0;

  static ZipWriteIo& of(voidpf opaque) { return *static_cast<ZipWriteIo*>(opaque); }
  void keep(int e) {
    if (error == 0) error = e != 0 ? e : EIO;
  }
  static voidpf ZCALLBACK open(voidpf opaque, const void* name, int mode) {
    ZipWriteIo& io = of(opaque);
    voidpf stream = io.stdio.zopen64_file(io.stdio.opaque, name, mode);
    if (stream == nullptr) io.keep(errno);
    return stream;
  }
  static uLong ZCALLBACK read(voidpf opaque, voidpf stream, void* buf, uLong size) {
    ZipWriteIo& io = of(opaque);
    return io.stdio.zread_file(io.stdio.opaque, stream, buf, size);
  }
  static uLong ZCALLBACK write(voidpf opaque, voidpf stream, const void* buf, uLong size) {
    ZipWriteIo& io = of(opaque);
    if (io.error != 0) return size;
    if (const int injected = fd::files::injectedWriteError(io.path)) {
      io.keep(injected);
    } else if (io.stdio.zwrite_file(io.stdio.opaque, stream, buf, size) != size) {
      io.keep(errno);
    }
    return size;
  }
  static ZPOS64_T ZCALLBACK tell(voidpf opaque, voidpf stream) {
    ZipWriteIo& io = of(opaque);
    return io.stdio.ztell64_file(io.stdio.opaque, stream);
  }
  static long ZCALLBACK seek(voidpf opaque, voidpf stream, ZPOS64_T offset, int origin) {
    ZipWriteIo& io = of(opaque);
    const long moved = io.stdio.zseek64_file(io.stdio.opaque, stream, offset, origin);
    if (moved != 0) io.keep(errno);
    return moved;
  }
  static int ZCALLBACK close(voidpf opaque, voidpf stream) {
    ZipWriteIo& io = of(opaque);
    const int closed = io.stdio.zclose_file(io.stdio.opaque, stream);
    if (closed != 0) io.keep(errno);
    return closed;
  }
  static int ZCALLBACK failed(voidpf opaque, voidpf stream) {
    ZipWriteIo& io = of(opaque);
    return io.stdio.zerror_file(io.stdio.opaque, stream);
  }
};

ZipWriteHandle::ZipWriteHandle() = default;
ZipWriteHandle::ZipWriteHandle(std::unique_ptr<ZipWriteIo> io, void* handle)
    : io_(std::move(io)), handle_(handle) {}
ZipWriteHandle::ZipWriteHandle(ZipWriteHandle&&) noexcept = default;
ZipWriteHandle& ZipWriteHandle::operator=(ZipWriteHandle&& other) noexcept {
  if (this != &other) {
    handle_.close();  // the old zip closes through its own calls before they go
    handle_ = std::move(other.handle_);
    io_ = std::move(other.io_);
  }
  return *this;
}
ZipWriteHandle::~ZipWriteHandle() = default;

int ZipWriteHandle::writeError() const { return io_ ? io_->error : 0; }

fd::Expected<ZipWriteHandle> createZip(const std::filesystem::path& path) {
  auto io = std::make_unique<ZipWriteIo>();
  fill_fopen64_filefunc(&io->stdio);
  io->path = path;
  zlib_filefunc64_def calls{};
  calls.zopen64_file = ZipWriteIo::open;
  calls.zread_file = ZipWriteIo::read;
  calls.zwrite_file = ZipWriteIo::write;
  calls.ztell64_file = ZipWriteIo::tell;
  calls.zseek64_file = ZipWriteIo::seek;
  calls.zclose_file = ZipWriteIo::close;
  calls.zerror_file = ZipWriteIo::failed;
  calls.opaque = io.get();
  void* handle = zipOpen2_64(path.c_str(), APPEND_STATUS_CREATE, nullptr, &calls);
  if (handle == nullptr) return fd::fail("cannot create " + path.string(), io->error);
  return ZipWriteHandle(std::move(io), handle);
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
  if (::close(fd) != 0) {
    const int error = errno;
    return fd::fail(std::string("closing a file failed: ") + std::error_code(error, std::generic_category()).message(), error);
  }
  return {};
}

fd::Expected<TemporaryFile> TemporaryFile::createIn(const std::filesystem::path& folder) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".unzip-%016llx.part", static_cast<unsigned long long>(random()));
    const std::filesystem::path path = folder / suffix;
    if (const int injected = fd::files::injectedWriteError(path)) {
      return fd::fail("cannot create a file in " + folder.string() + ": " +
                          std::error_code(injected, std::generic_category()).message(),
                      injected);
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      TemporaryFile made;
      made.file_ = FileDescriptor(fd);
      made.path_ = path;
      return made;
    }
    if (errno != EEXIST) break;
  }
  const int error = errno;
  return fd::fail("cannot create a file in " + folder.string() + ": " + std::error_code(error, std::generic_category()).message(),
                  error);
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
    const int error = errno;
    return fd::fail("cannot move into place " + target.string() + ": " + std::error_code(error, std::generic_category()).message(),
                    error);
  }
  path_.clear();
  return {};
}

}  // namespace zipio
