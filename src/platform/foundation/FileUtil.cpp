#include "platform/foundation/FileUtil.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <utility>

#include "platform/foundation/CrashPoint.h"

namespace fd::files {

namespace {

bool pathTaken(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

// The injected failure of tests; read under its mutex only while armed.
struct WriteFault {
  std::atomic<bool> armed{false};
  std::atomic<std::size_t> shortWrites{0};
  std::mutex m;
  std::function<int(const fs::path&)> fault;
  FaultAt at = FaultAt::Bytes;
};

WriteFault& writeFault() {
  static WriteFault* f = new WriteFault;  // never destroyed: writes may run while the process ends
  return *f;
}

// What a test's fault answers for one file's write, asked once for it.
struct Injected {
  int error = 0;
  FaultAt at = FaultAt::Bytes;
  // The error standing in for the result of a call of this kind, 0 for none.
  int standingAt(FaultAt call) const { return call == at ? error : 0; }
};

Injected injectedFor(const fs::path& file) {
  WriteFault& f = writeFault();
  if (!f.armed.load(std::memory_order_relaxed)) return {};
  std::lock_guard lock(f.m);
  return f.fault ? Injected{f.fault(file), f.at} : Injected{};
}

// At most what a test lets a write or copy take at once.
std::size_t shortened(std::size_t size) {
  const std::size_t most = writeFault().shortWrites.load(std::memory_order_relaxed);
  return most != 0 ? std::min(size, most) : size;
}

// Closed all the same: a close that fails still frees its descriptor.
int closeFile(int fd, int injected) {
  const int closed = ::close(fd);
  return through(injected, [&] { return closed; });
}

int syncFile(int fd, int injected) {
  return through(injected, [&] { return ::fsync(fd); });
}

bool writeAllThrough(int fd, const void* bytes, std::size_t size, int injected) {
  const auto* p = static_cast<const char*>(bytes);
  while (size > 0) {
    const ssize_t n = through(injected, [&] { return ::write(fd, p, shortened(size)); });
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}


// Files no write may replace, by their path.
struct Holds {
  std::atomic<bool> any{false};
  std::mutex m;
  struct Hold {
    std::string reason;
    std::shared_ptr<std::function<bool()>> release;
  };
  std::map<fs::path, Hold> held;
};

Holds& holds() {
  static Holds* h = new Holds;  // never destroyed: writes may run while the process ends
  return *h;
}

// Why a write to p must not go ahead, if it must not: the hold's release is
// tried first (outside the lock: it moves files).
std::optional<std::string> heldReason(const fs::path& p) {
  Holds& h = holds();
  if (!h.any.load(std::memory_order_relaxed)) return std::nullopt;
  const fs::path key = p.lexically_normal();
  Holds::Hold hold;
  {
    std::lock_guard lock(h.m);
    auto it = h.held.find(key);
    if (it == h.held.end()) return std::nullopt;
    hold = it->second;
  }
  if (!(*hold.release)()) return hold.reason;
  std::lock_guard lock(h.m);
  auto it = h.held.find(key);
  // A hold made again meanwhile stands.
  if (it != h.held.end() && it->second.release == hold.release) h.held.erase(it);
  h.any = !h.held.empty();
  return std::nullopt;
}

// mkstemp's template: the six characters it replaces with letters and digits.
constexpr std::string_view kTempSuffixTemplate = "XXXXXX";

bool sameFile(int fd, const std::string& path) {
  struct stat opened {}, named {};
  return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
         opened.st_ino == named.st_ino;
}

// A temp file next to the target, held under an exclusive lock until it is
// closed, so that a cleaner never takes the file of a write in flight. -1 on
// failure.
int openLockedTemp(const fs::path& dir, const fs::path& target, std::string& temp) {
  // A target named near the file system's limit lends only its end (where
  // its extension, by which leftovers are known, stands), from a whole
  // character on.
  constexpr std::size_t kNameMax = 255;
  std::string name = target.filename().string();
  const std::size_t room = kNameMax - 2 - kTempSuffixTemplate.size();
  if (name.size() > room) {
    std::size_t from = name.size() - room;
    while (from < name.size() && (static_cast<unsigned char>(name[from]) & 0xC0) == 0x80) ++from;
    name.erase(0, from);
  }
  for (int attempt = 0; attempt < 3; ++attempt) {
    temp = (dir / ("." + name + "." + std::string(kTempSuffixTemplate))).string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return -1;
    // A cleaner may have taken the file between mkstemp and the lock: then the
    // name no longer leads to this file, and a new one is made.
    if (::flock(fd, LOCK_EX) == 0 && sameFile(fd, temp)) return fd;
    ::close(fd);
  }
  return -1;
}

void syncDirectory(const fs::path& dir) {
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

bool writeAll(int fd, const void* bytes, std::size_t size) { return writeAllThrough(fd, bytes, size, 0); }

bool writeAll(int fd, const void* bytes, std::size_t size, const fs::path& file) {
  return writeAllThrough(fd, bytes, size, injectedFor(file).standingAt(FaultAt::Bytes));
}

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

std::error_code copyFile(const fs::path& from, const fs::path& to) {
  const auto refused = [](int error) { return std::error_code(error, std::generic_category()); };
  // Not blocking: a pipe where a file was expected is refused, not waited on.
  const UniqueFd in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (in.get() < 0 || ::fstat(in.get(), &st) != 0) return refused(errno);
  if (!S_ISREG(st.st_mode)) return refused(EINVAL);
  UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777));
  if (out.get() < 0) return refused(errno);
  const Injected fault = injectedFor(to);
  const int atBytes = fault.standingAt(FaultAt::Bytes);
  // The kernel copies where it can; where it cannot (another file system
  // on an old kernel), the bytes pass through here.
  bool byKernel = true;
  std::vector<char> buffer;
  for (;;) {
    ssize_t n = -1;
    if (byKernel) {
      n = through(atBytes, [&] {
        return ::copy_file_range(in.get(), nullptr, out.get(), nullptr, shortened(std::size_t{1} << 30), 0);
      });
      if (n < 0 && (errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)) {
        byKernel = false;
        buffer.resize(std::size_t{1} << 16);
        continue;
      }
    } else {
      n = ::read(in.get(), buffer.data(), buffer.size());
      if (n > 0 && !writeAllThrough(out.get(), buffer.data(), static_cast<std::size_t>(n), atBytes))
        return refused(errno);
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return refused(errno);
    if (n == 0) break;
  }
  // A file system that writes behind (over a network, in user space) may
  // tell a refused write only at the close.
  if (closeFile(out.release(), fault.standingAt(FaultAt::Close)) != 0) return refused(errno);
  return {};
}

bool copyItem(const fs::path& from, const fs::path& to, std::error_code* why) {
  std::error_code ec;
  if (!pathTaken(from) || pathTaken(to)) return false;
  const fs::file_status top = fs::symlink_status(from, ec);
  if (fs::is_regular_file(top)) {
    ec = copyFile(from, to);
  } else if (fs::is_symlink(top)) {
    fs::copy_symlink(from, to, ec);
  } else if (fs::create_directory(to, from, ec); !ec) {
    for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path target = to / it->path().lexically_relative(from);
      const fs::file_status status = it->symlink_status(ec);
      if (ec) break;
      if (fs::is_directory(status)) {
        fs::create_directory(target, it->path(), ec);
      } else if (fs::is_symlink(status)) {
        fs::copy_symlink(it->path(), target, ec);
      } else {
        ec = copyFile(it->path(), target);
      }
      if (ec) break;  // before the next step clears it
    }
  }
  if (ec) {
    if (why != nullptr) *why = ec;
    // Leave nothing half-copied behind: the destination did not exist before.
    fs::remove_all(to, ec);
    return false;
  }
  return true;
}

std::error_code copyContents(const fs::path& from, const fs::path& into, const std::function<bool()>& goOn) {
  std::error_code ec;
  for (fs::recursive_directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path target = into / it->path().lexically_relative(from);
    const fs::file_status status = it->symlink_status(ec);
    if (ec) return ec;
    if (fs::is_directory(status)) {
      fs::create_directory(target, it->path(), ec);
    } else if (fs::is_symlink(status)) {
      fs::copy_symlink(it->path(), target, ec);
    } else if (fs::is_regular_file(status)) {
      ec = copyFile(it->path(), target);
    } else {
      return std::make_error_code(std::errc::not_supported);
    }
    if (ec) return ec;
    if (!goOn()) return std::make_error_code(std::errc::operation_canceled);
  }
  return ec;
}

int linkFile(int fromFolder, const std::string& from, int toFolder, const std::string& to,
             const fs::path& toFolderPath) {
  const bool armed = writeFault().armed.load(std::memory_order_relaxed);
  const int injected = armed ? injectedFor(toFolderPath / to).standingAt(FaultAt::Bytes) : 0;
  const int linked = through(injected, [&] { return ::linkat(fromFolder, from.c_str(), toFolder, to.c_str(), 0); });
  return linked == 0 ? 0 : errno;
}

bool moveItem(const fs::path& from, const fs::path& to, std::error_code* why) {
  std::error_code ec;
  if (!pathTaken(from) || pathTaken(to)) return false;
  fs::rename(from, to, ec);
  if (!ec) return true;
  if (ec != std::errc::cross_device_link) {
    if (why != nullptr) *why = ec;
    return false;
  }
  if (!copyItem(from, to, why)) return false;
  fs::remove_all(from, ec);
  return true;
}

UniqueFd& UniqueFd::operator=(UniqueFd&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(o.fd_, -1);
  }
  return *this;
}

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) ::close(fd_);
}

int renameToFreeName(const fs::path& from, const fs::path& to) {
  const Injected fault = injectedFor(to);
  const int injected = fault.at == FaultAt::Close ? 0 : fault.error;
  const auto rename = [&] { return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE); };
  if (through(injected, rename) == 0) return 0;
  const int error = errno;
  // A file system that cannot rename without replacing: the name is checked
  // first instead.
  if (error != EINVAL && error != ENOSYS) return error;
  if (pathTaken(to)) return EEXIST;
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
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

std::optional<FileStamp> fileStamp(const fs::path& p) {
  struct stat st {};
  if (::stat(p.c_str(), &st) != 0) return std::nullopt;
  constexpr std::int64_t kNs = 1000000000;
  return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                   static_cast<std::uint64_t>(st.st_size), st.st_mtim.tv_sec * kNs + st.st_mtim.tv_nsec,
                   st.st_ctim.tv_sec * kNs + st.st_ctim.tv_nsec};
}

std::optional<std::uintmax_t> fileSize(const fs::path& p) {
  std::error_code ec;
  auto size = fs::file_size(p, ec);
  if (ec) return std::nullopt;
  return size;
}

const char* describeWriteError(int error) {
  switch (error) {
    case ENOSPC: return "the disk is full";
    case EDQUOT: return "the disk space allowed to you is used up";
    case EROFS: return "the disk can only be read";
    case EFBIG: return "a file would be larger than the disk takes";
    case EIO: return "the disk failed while it was written";
    default: return nullptr;
  }
}

std::string describeSize(std::uintmax_t bytes) {
  constexpr std::uintmax_t kKiB = 1024, kMiB = kKiB * 1024, kGiB = kMiB * 1024;
  char text[64];
  if (bytes >= kGiB)
    std::snprintf(text, sizeof text, "%.1f GiB", static_cast<double>(bytes) / static_cast<double>(kGiB));
  else if (bytes >= kMiB && bytes % kMiB == 0)
    std::snprintf(text, sizeof text, "%ju MiB", bytes / kMiB);
  else if (bytes >= kMiB)
    std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / static_cast<double>(kMiB));
  else if (bytes >= kKiB)
    std::snprintf(text, sizeof text, "%ju KiB", (bytes + kKiB / 2) / kKiB);
  else
    std::snprintf(text, sizeof text, "%ju bytes", bytes);
  return text;
}

std::string describeSizePast(std::uintmax_t bytes, std::uintmax_t bound) {
  const std::string said = describeSize(bytes);
  struct Unit {
    std::string_view name;
    std::uintmax_t bytes;
  };
  static constexpr Unit kUnits[] = {{" GiB", std::uintmax_t{1} << 30}, {" MiB", std::uintmax_t{1} << 20}, {" KiB", 1024}};
  std::uintmax_t unit = 1;
  for (const Unit& u : kUnits)
    if (said.ends_with(u.name)) unit = u.bytes;
  if (bytes <= bound || std::strtod(said.c_str(), nullptr) > static_cast<double>(bound) / static_cast<double>(unit))
    return said;
  const std::uintmax_t over = bytes - bound;
  return describeSize(bound) + " and " + (over == 1 ? std::string("1 byte") : describeSize(over));
}

Expected<Data> readFile(const fs::path& p, std::uintmax_t maxBytes) {
  // Not blocking: a pipe put where a file was expected must not hang the
  // reader before it is found to be no file.
  const UniqueFd file(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return fail(std::string("the file cannot be opened (") + std::strerror(errno) + ")");
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) return fail("it is not a file that can be read");
  const auto size = static_cast<std::uintmax_t>(st.st_size);
  if (size > maxBytes)
    return fail("the file is " + describeSizePast(size, maxBytes) + ", larger than the " + describeSize(maxBytes) + " it may be");
  const auto grew = [&] {
    return fail("the file grew past the " + describeSize(maxBytes) + " it may be while it was read");
  };
  // Room for what stat saw and one byte more, which tells a file that has
  // grown since; the room grows only up to one byte past the bound.
  const std::uintmax_t ceiling = maxBytes + 1;
  constexpr std::uintmax_t kStep = 64 * 1024;
  Data bytes(static_cast<std::size_t>(size + 1));
  std::size_t have = 0;
  for (;;) {
    if (have == bytes.size()) {
      if (have >= ceiling) return grew();
      bytes.resize(static_cast<std::size_t>(std::min(ceiling, std::max<std::uintmax_t>(have * 2, have + kStep))));
    }
    const ssize_t n = ::read(file.get(), bytes.data() + have, bytes.size() - have);
    if (n < 0) {
      if (errno == EINTR) continue;
      return fail(std::string("the file cannot be read (") + std::strerror(errno) + ")");
    }
    if (n == 0) break;
    have += static_cast<std::size_t>(n);
  }
  if (have > maxBytes) return grew();
  bytes.resize(have);
  return bytes;
}

namespace {

Failure writeFailure(const fs::path& p, int error) {
  return fail("cannot write " + p.string() + (error != 0 ? ": " + std::string(std::strerror(error)) : ""), error);
}

fs::path folderOf(const fs::path& p) { return p.parent_path().empty() ? fs::path(".") : p.parent_path(); }

}  // namespace

StagedFile::StagedFile(fs::path target, std::string temp, int fd)
    : target_(std::move(target)), temp_(std::move(temp)), fd_(fd) {}

StagedFile::StagedFile(StagedFile&& other) noexcept
    : target_(std::move(other.target_)),
      temp_(std::move(other.temp_)),
      fd_(std::exchange(other.fd_, -1)),
      renameFault_(other.renameFault_),
      closeFault_(other.closeFault_) {}

StagedFile& StagedFile::operator=(StagedFile&& other) noexcept {
  if (this != &other) {
    discard();
    target_ = std::move(other.target_);
    temp_ = std::move(other.temp_);
    fd_ = std::exchange(other.fd_, -1);
    renameFault_ = other.renameFault_;
    closeFault_ = other.closeFault_;
  }
  return *this;
}

StagedFile::~StagedFile() { discard(); }

void StagedFile::discard() {
  if (fd_ < 0) return;
  ::unlink(temp_.c_str());
  ::close(fd_);
  fd_ = -1;
}

Expected<StagedFile> stageFile(const fs::path& p, const void* bytes, std::size_t size, IfSame same) {
  if (p.filename().empty()) return writeFailure(p, EINVAL);
  if (std::optional<std::string> held = heldReason(p))
    return fail("cannot write " + p.string() + ": " + *held, kHeldFromWriting);
  // Nothing to commit: the file is what the write would make of it.
  if (same == IfSame::Keep && holdsBytes(p, bytes, size)) return StagedFile(p, {}, -1);
  std::string temp;
  int fd = openLockedTemp(folderOf(p), p, temp);
  if (fd < 0) return writeFailure(p, errno);
  StagedFile staged(p, std::move(temp), fd);
  const Injected fault = injectedFor(p);
  const int atBytes = fault.standingAt(FaultAt::Bytes);
  if (::fchmod(fd, 0644) != 0 || !writeAllThrough(fd, bytes, size, atBytes) || syncFile(fd, atBytes) != 0)
    return writeFailure(p, errno);
  staged.renameFault_ = fault.standingAt(FaultAt::Rename);
  staged.closeFault_ = fault.standingAt(FaultAt::Close);
  return staged;
}

Status commitFiles(std::vector<StagedFile> files) {
  std::optional<Failure> first;
  std::vector<fs::path> folders;
  for (StagedFile& f : files) {
    if (f.fd_ < 0) continue;
    crashPoint("file.atomic-write.renaming");
    // Renamed while still open and locked: a cleaner sees either the temp file
    // locked or the target, never a temp file it may take.
    int error = through(f.renameFault_, [&] { return ::rename(f.temp_.c_str(), f.target_.c_str()); }) == 0 ? 0 : errno;
    if (error != 0) ::unlink(f.temp_.c_str());
    if (closeFile(std::exchange(f.fd_, -1), f.closeFault_) != 0 && error == 0) error = errno;
    if (error != 0) {
      if (!first) first = writeFailure(f.target_, error);
      continue;
    }
    fs::path folder = folderOf(f.target_);
    if (std::find(folders.begin(), folders.end(), folder) == folders.end()) folders.push_back(std::move(folder));
  }
  for (const fs::path& folder : folders) syncDirectory(folder);
  if (first) return *first;
  return {};
}

Status writeFileAtomicallyReporting(const fs::path& p, const void* bytes, std::size_t size, IfSame same) {
  Expected<StagedFile> staged = stageFile(p, bytes, size, same);
  if (!staged) return staged.failure();
  std::vector<StagedFile> one;
  one.push_back(std::move(*staged));
  return commitFiles(std::move(one));
}

Status writeFileAtomicallyReporting(const fs::path& p, const Data& bytes) {
  return writeFileAtomicallyReporting(p, bytes.data(), bytes.size());
}

bool holdsBytes(const fs::path& p, const void* bytes, std::size_t size) {
  const UniqueFd file(::open(p.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  struct stat st {};
  if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::uintmax_t>(st.st_size) != size)
    return false;
  // One byte more than the bytes tells a file that grew meanwhile.
  constexpr std::size_t kChunk = std::size_t{1} << 16;
  std::vector<char> chunk(std::min(size + 1, kChunk));
  const auto* want = static_cast<const char*>(bytes);
  std::size_t have = 0;
  for (;;) {
    const ssize_t n = ::read(file.get(), chunk.data(), std::min(chunk.size(), size + 1 - have));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return have == size;
    const auto got = static_cast<std::size_t>(n);
    if (have + got > size || std::memcmp(chunk.data(), want + have, got) != 0) return false;
    have += got;
  }
}

bool writeFileAtomically(const fs::path& p, const void* bytes, std::size_t size) {
  return writeFileAtomicallyReporting(p, bytes, size).ok();
}

FileInFlight::FileInFlight(const fs::path& target) : target_(target) {
  std::string temp;
  UniqueFd fd(openLockedTemp(folderOf(target), target, temp));
  if (fd.get() < 0) return;
  temp_ = std::move(temp);
  fd_ = std::move(fd);
}

FileInFlight::~FileInFlight() {
  if (fd_.get() >= 0 && !temp_.empty()) ::unlink(temp_.c_str());
}

int FileInFlight::place() {
  if (fd_.get() < 0 || temp_.empty()) return EBADF;
  if (::fsync(fd_.get()) != 0) return errno;
  if (const int moved = renameToFreeName(temp_, target_); moved != 0) return moved;
  temp_.clear();
  ::fchmod(fd_.get(), 0644);
  syncDirectory(folderOf(target_));
  fd_ = UniqueFd();
  return 0;
}

void holdFromWriting(const fs::path& p, std::string reason, std::function<bool()> release) {
  Holds& h = holds();
  std::lock_guard lock(h.m);
  h.held.insert_or_assign(p.lexically_normal(),
                          Holds::Hold{std::move(reason), std::make_shared<std::function<bool()>>(std::move(release))});
  h.any = true;
}

int injectedWriteError(const fs::path& file) { return injectedFor(file).error; }

int injectedWriteError(const fs::path& file, FaultAt call) { return injectedFor(file).standingAt(call); }

void setWriteFaultForTesting(std::function<int(const fs::path& file)> fault, FaultAt at) {
  WriteFault& f = writeFault();
  std::lock_guard lock(f.m);
  f.armed = static_cast<bool>(fault);
  f.fault = std::move(fault);
  f.at = at;
}

void setShortWritesForTesting(std::size_t most) { writeFault().shortWrites = most; }

bool writeFileAtomically(const fs::path& p, const Data& bytes) {
  return writeFileAtomically(p, bytes.data(), bytes.size());
}

bool writeFileAtomically(const fs::path& p, const std::string& text) {
  return writeFileAtomically(p, text.data(), text.size());
}

bool isUniqueTempSuffix(std::string_view suffix) {
  return suffix.size() == kTempSuffixTemplate.size() && std::all_of(suffix.begin(), suffix.end(), [](char c) {
           return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
         });
}

std::string atomicWriteTarget(std::string_view name) {
  const std::size_t suffix = kTempSuffixTemplate.size() + 1;
  if (name.size() < suffix + 2 || name.front() != '.' || name[name.size() - suffix] != '.') return {};
  if (!isUniqueTempSuffix(name.substr(name.size() - kTempSuffixTemplate.size()))) return {};
  return std::string(name.substr(1, name.size() - suffix - 1));
}

int removeAtomicWriteLeftovers(const fs::path& dir, const std::function<bool(std::string_view target)>& ownTarget) {
  return removeAtomicWriteLeftovers(dir, contentsOfDirectory(dir), ownTarget);
}

int removeAtomicWriteLeftovers(const fs::path& dir, const std::vector<std::string>& names,
                               const std::function<bool(std::string_view target)>& ownTarget) {
  int removed = 0;
  for (const std::string& name : names) {
    const std::string target = atomicWriteTarget(name);
    if (target.empty() || !ownTarget(target)) continue;
    const std::string path = (dir / name).string();
    int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) continue;
    struct stat st {};
    // Unlocked means its writer is gone: a live writer holds the lock until
    // after its rename.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 && sameFile(fd, path) &&
        ::unlink(path.c_str()) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  return removed;
}

int removeAtomicWriteLeftoversOf(const fs::path& file) {
  const fs::path name = file.filename();
  return removeAtomicWriteLeftovers(file.parent_path(), [&](std::string_view target) { return target == name.native(); });
}

Status touchFile(const fs::path& p) {
  const UniqueFd file(::open(p.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0644));
  if (file.get() < 0) return fail("cannot make " + p.string() + ": " + std::strerror(errno));
  return {};
}

}  // namespace fd::files
