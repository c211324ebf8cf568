#include "model/zip/ZipHandles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>
#include <zip.h>
#include <ioapi.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <random>
#include <utility>
#include <vector>

#include "model/zip/ZipLimits.h"
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
  // What a test's fault stands in for at this kind of call, 0 for none.
  static int fault(const ZipWriteIo& io, fd::files::FaultAt call) { return fd::files::injectedWriteError(io.path, call); }
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
    const uLong written = fd::files::through(fault(io, fd::files::FaultAt::Bytes),
                                             [&] { return io.stdio.zwrite_file(io.stdio.opaque, stream, buf, size); });
    if (written != size) io.keep(errno);
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
  // Closed all the same: a close that fails still frees its stream.
  static int ZCALLBACK close(voidpf opaque, voidpf stream) {
    ZipWriteIo& io = of(opaque);
    const int closed = io.stdio.zclose_file(io.stdio.opaque, stream);
    const int answered = fd::files::through(fault(io, fd::files::FaultAt::Close), [&] { return closed; });
    if (answered != 0) io.keep(errno);
    return answered;
  }
  static int ZCALLBACK failed(voidpf opaque, voidpf stream) {
    ZipWriteIo& io = of(opaque);
    return io.stdio.zerror_file(io.stdio.opaque, stream);
  }
};

namespace {

constexpr std::uint32_t kEndSignature = 0x06054b50;
constexpr std::uint32_t kEnd64Signature = 0x06064b50;
constexpr std::uint32_t kLocatorSignature = 0x07064b50;
constexpr std::size_t kEndBytes = 22;
constexpr std::size_t kEnd64Bytes = 56;
constexpr std::size_t kLocatorBytes = 20;
constexpr std::size_t kMaxCommentBytes = 0xFFFF;
constexpr std::uint64_t kCutCount = 0xFFFF;
// Version 4.5 of the format brought the 64-bit records.
constexpr std::uint64_t kVersion64 = 45;

void putLittle(std::vector<unsigned char>& into, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) into.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

std::string reasonOf(int error) { return std::error_code(error, std::generic_category()).message(); }

}  // namespace

std::uint64_t little(const unsigned char* at, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | at[i];
  return v;
}

int readAt(int fd, unsigned char* into, std::size_t count, std::uint64_t at) {
  while (count > 0) {
    const ssize_t n = ::pread(fd, into, count, static_cast<off_t>(at));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    into += n;
    at += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return 0;
}

namespace {

// Writes through the file layer's door, with what a test's fault `injected`.
int writeAt(int fd, const unsigned char* bytes, std::size_t count, std::uint64_t at, int injected) {
  while (count > 0) {
    const ssize_t n = fd::files::through(injected, [&] { return ::pwrite(fd, bytes, count, static_cast<off_t>(at)); });
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : EIO;
    bytes += n;
    at += static_cast<std::uint64_t>(n);
    count -= static_cast<std::size_t>(n);
  }
  return 0;
}

// How many records the directory holds, walked from their own lengths; a
// failure when one is garbled or the last runs past the directory's end.
fd::Expected<std::uint64_t> countRecords(int fd, const DirectoryExtent& extent) {
  std::vector<unsigned char> window(std::size_t{1} << 20);
  std::uint64_t windowStart = 0, windowEnd = 0, count = 0, at = extent.prefix + extent.offset;
  const std::uint64_t end = at + extent.size;
  while (at < end) {
    if (at < windowStart || at + ziplimits::kRecordFixedBytes > windowEnd) {
      const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(window.size(), end - at));
      if (n < ziplimits::kRecordFixedBytes) return fd::fail("the directory ends inside a record");
      if (const int error = readAt(fd, window.data(), n, at)) return fd::fail("cannot read the directory: " + reasonOf(error), error);
      windowStart = at;
      windowEnd = at + n;
    }
    const unsigned char* record = window.data() + (at - windowStart);
    if (little(record, 4) != kRecordSignature) return fd::fail("the directory is garbled");
    at += ziplimits::kRecordFixedBytes + little(record + 28, 2) + little(record + 30, 2) + little(record + 32, 2);
    ++count;
  }
  if (at != end) return fd::fail("the directory ends inside a record");
  return count;
}

// minizip writes 0xFFFF in the end record's 16-bit counts from 65,535
// entries on, but the 64-bit end record that then gives the true count only
// for an archive past 4 GiB: other readers take 65,535 entries and find the
// directory garbled after them. The record and its locator go in here,
// before the end record, with the count the directory itself holds.
fd::Status completeEndRecords(const std::filesystem::path& path) {
  auto extent = readDirectoryExtent(path);
  if (!extent) return extent.failure();
  if (!extent->countCut) return {};
  FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
  if (!file) return fd::fail("cannot complete " + path.string() + ": " + reasonOf(errno), errno);
  struct stat st {};
  if (::fstat(file.get(), &st) != 0) return fd::fail("cannot complete " + path.string() + ": " + reasonOf(errno), errno);
  const auto count = countRecords(file.get(), *extent);
  if (!count) return fd::fail("cannot complete " + path.string() + ": " + count.error(), count.errorNumber());
  // The end record and its comment move up behind the new records.
  std::vector<unsigned char> end(static_cast<std::size_t>(static_cast<std::uint64_t>(st.st_size) - extent->endRecord));
  if (const int error = readAt(file.get(), end.data(), end.size(), extent->endRecord))
    return fd::fail("cannot complete " + path.string() + ": " + reasonOf(error), error);
  std::vector<unsigned char> tail;
  tail.reserve(kEnd64Bytes + kLocatorBytes + end.size());
  putLittle(tail, kEnd64Signature, 4);
  putLittle(tail, kEnd64Bytes - 12, 8);  // the record's size after this field
  putLittle(tail, kVersion64, 2);        // made by
  putLittle(tail, kVersion64, 2);        // needed to extract
  putLittle(tail, 0, 4);                 // this disk
  putLittle(tail, 0, 4);                 // the directory's disk
  putLittle(tail, *count, 8);            // entries on this disk
  putLittle(tail, *count, 8);            // entries in all
  putLittle(tail, extent->size, 8);
  putLittle(tail, extent->offset, 8);
  putLittle(tail, kLocatorSignature, 4);
  putLittle(tail, 0, 4);  // the 64-bit record's disk
  putLittle(tail, extent->endRecord, 8);
  putLittle(tail, 1, 4);  // disks in all
  tail.insert(tail.end(), end.begin(), end.end());
  using fd::files::FaultAt;
  int error = writeAt(file.get(), tail.data(), tail.size(), extent->endRecord,
                      fd::files::injectedWriteError(path, FaultAt::Bytes));
  if (auto closed = file.close(fd::files::injectedWriteError(path, FaultAt::Close)); !closed && error == 0)
    error = closed.errorNumber();
  if (error != 0) return fd::fail("cannot complete " + path.string() + ": " + reasonOf(error), error);
  return {};
}

}  // namespace

fd::Expected<DirectoryExtent> readDirectoryExtent(const std::filesystem::path& path) {
  const auto refused = [&](const std::string& why, int error = 0) {
    return fd::fail(path.filename().string() + ": " + why, error);
  };
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!file || ::fstat(file.get(), &st) != 0) return refused(reasonOf(errno), errno);
  const auto size = static_cast<std::uint64_t>(st.st_size);
  const std::size_t tailBytes = static_cast<std::size_t>(std::min<std::uint64_t>(size, kEndBytes + kMaxCommentBytes));
  if (tailBytes < kEndBytes) return refused("no end record");
  std::vector<unsigned char> tail(tailBytes);
  if (const int error = readAt(file.get(), tail.data(), tail.size(), size - tailBytes)) return refused(reasonOf(error), error);
  // The last end record in the file counts, as for every reader.
  std::size_t at = tailBytes - kEndBytes + 1;
  do {
    --at;
  } while (at > 0 && little(tail.data() + at, 4) != kEndSignature);
  if (little(tail.data() + at, 4) != kEndSignature) return refused("no end record");
  const unsigned char* record = tail.data() + at;
  DirectoryExtent extent;
  extent.endRecord = size - tailBytes + at;
  extent.entries = little(record + 10, 2);
  extent.size = little(record + 12, 4);
  extent.offset = little(record + 16, 4);
  std::uint64_t directoryEnd = extent.endRecord;
  unsigned char locator[kLocatorBytes];
  if (extent.endRecord >= kLocatorBytes &&
      readAt(file.get(), locator, sizeof locator, extent.endRecord - kLocatorBytes) == 0 &&
      little(locator, 4) == kLocatorSignature) {
    const std::uint64_t wideAt = little(locator + 8, 8);
    unsigned char wide[kEnd64Bytes];
    if (wideAt > extent.endRecord - kLocatorBytes || extent.endRecord - kLocatorBytes - wideAt < kEnd64Bytes ||
        readAt(file.get(), wide, sizeof wide, wideAt) != 0 || little(wide, 4) != kEnd64Signature) {
      return refused("its 64-bit end record is missing");
    }
    extent.entries = little(wide + 32, 8);
    extent.size = little(wide + 40, 8);
    extent.offset = little(wide + 48, 8);
    directoryEnd = wideAt;
  } else {
    extent.countCut = extent.entries == kCutCount;
  }
  // The directory ends where the record after it starts, as every reader
  // takes it; what lies before the offset it gives is a prefix.
  if (extent.size > directoryEnd || directoryEnd - extent.size < extent.offset)
    return refused("its directory lies outside it");
  extent.prefix = directoryEnd - extent.size - extent.offset;
  return extent;
}

ZipWriteHandle::ZipWriteHandle() = default;
ZipWriteHandle::ZipWriteHandle(std::unique_ptr<ZipWriteIo> io, void* handle)
    : io_(std::move(io)), handle_(handle) {}
ZipWriteHandle::ZipWriteHandle(ZipWriteHandle&&) noexcept = default;
ZipWriteHandle& ZipWriteHandle::operator=(ZipWriteHandle&& other) noexcept {
  if (this != &other) {
    if (handle_) close();  // the old zip closes through its own calls before they go
    handle_ = std::move(other.handle_);
    io_ = std::move(other.io_);
  }
  return *this;
}
// A zip given up unclosed still gets its directory and end records.
ZipWriteHandle::~ZipWriteHandle() {
  if (handle_) close();
}

int ZipWriteHandle::writeError() const { return io_ ? io_->error : 0; }

bool ZipWriteHandle::close() {
  if (!handle_.close() || !io_ || io_->error != 0) return false;
  if (auto completed = completeEndRecords(io_->path); !completed) {
    io_->keep(completed.errorNumber());
    return false;
  }
  return true;
}

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

fd::Status FileDescriptor::close(int injected) {
  const int fd = std::exchange(fd_, -1);
  if (fd < 0) return {};
  const int closed = ::close(fd);
  if (fd::files::through(injected, [&] { return closed; }) != 0) {
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
    const int fd = fd::files::through(fd::files::injectedWriteError(path, fd::files::FaultAt::Bytes), [&] {
      return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    });
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
