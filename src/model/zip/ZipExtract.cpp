// Reading side of ZipWrapper: judging an archive's directory, then streaming
// each entry through decryption, inflation and CRC into a temporary file.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <optional>
#include <random>

#include "model/zip/EntryName.h"
#include "model/zip/TraditionalCipher.h"
#include "model/zip/ZipLimits.h"
#include "model/zip/ZipWrapper.h"
#include "platform/foundation/Log.h"

namespace fs = std::filesystem;

namespace {

constexpr unsigned long kFlagEncrypted = 0x0001;
constexpr unsigned long kFlagDataDescriptor = 0x0008;
constexpr unsigned long kFlagStrongEncryption = 0x0040;
constexpr unsigned long kFlagMaskedHeader = 0x2000;
constexpr int kMethodStored = 0;
constexpr int kMethodDeflated = Z_DEFLATED;
// Info-ZIP's extended timestamp extra field; its modification time is the
// true one when a package was packed by another zip tool.
constexpr unsigned kExtendedTimestampId = 0x5455;

std::optional<std::int64_t> extendedModificationTime(const unsigned char* extra, std::size_t size) {
  std::size_t at = 0;
  while (at + 4 <= size) {
    const unsigned id = extra[at] | (extra[at + 1] << 8);
    const std::size_t length = extra[at + 2] | (extra[at + 3] << 8);
    at += 4;
    if (at + length > size) break;
    if (id == kExtendedTimestampId && length >= 5 && (extra[at] & 1) != 0) {
      const std::uint32_t t = static_cast<std::uint32_t>(extra[at + 1]) | (static_cast<std::uint32_t>(extra[at + 2]) << 8) |
                              (static_cast<std::uint32_t>(extra[at + 3]) << 16) |
                              (static_cast<std::uint32_t>(extra[at + 4]) << 24);
      return static_cast<std::int32_t>(t);
    }
    at += length;
  }
  return std::nullopt;
}

// The 64-bit layout keeps 0xFFFFFFFF in a 32-bit size field and the true
// value in the extra field 0x0001, which holds, in this order and only for
// the fields that overflowed: the uncompressed size, the compressed size, the
// local header offset, the disk number. The minizip Debian ships leaves the
// sizes at 0xFFFFFFFF on 64-bit machines, so they are read here.
constexpr unsigned kZip64ExtraId = 0x0001;
constexpr std::uint64_t kZip64Marker = 0xFFFFFFFFu;

std::uint64_t readLittle64(const unsigned char* at) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | at[i];
  return v;
}

// false when the sizes are marked as 64-bit but the extra field lacks them.
bool applyZip64Sizes(const unsigned char* extra, std::size_t size, std::uint64_t& uncompressed,
                     std::uint64_t& compressed) {
  const bool wideUncompressed = uncompressed == kZip64Marker;
  const bool wideCompressed = compressed == kZip64Marker;
  if (!wideUncompressed && !wideCompressed) return true;
  std::size_t at = 0;
  while (at + 4 <= size) {
    const unsigned id = extra[at] | (extra[at + 1] << 8);
    const std::size_t length = extra[at + 2] | (extra[at + 3] << 8);
    at += 4;
    if (at + length > size) return false;
    if (id == kZip64ExtraId) {
      std::size_t field = at;
      const std::size_t end = at + length;
      if (wideUncompressed) {
        if (field + 8 > end) return false;
        uncompressed = readLittle64(extra + field);
        field += 8;
      }
      if (wideCompressed) {
        if (field + 8 > end) return false;
        compressed = readLittle64(extra + field);
      }
      return true;
    }
    at += length;
  }
  return false;
}

bool writeAll(int fd, const unsigned char* bytes, std::size_t count) {
  while (count > 0) {
    const ssize_t n = ::write(fd, bytes, count);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    count -= static_cast<std::size_t>(n);
  }
  return true;
}

// A fresh file next to the target, never following a link and never reusing
// an existing name.
int openTemporarySibling(const fs::path& folder, fs::path& made) {
  thread_local std::mt19937_64 random{std::random_device{}()};
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".unzip-%016llx.part", static_cast<unsigned long long>(random()));
    made = folder / suffix;
    const int fd = ::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

void setModificationTime(const fs::path& path, std::int64_t seconds) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) fd::Log("Failed to set attributes\n");
}

}  // namespace

struct ZipWrapper::EntryPlan {
  std::string name;
  std::vector<std::string> components;
  bool isFolder = false;
  unsigned long flag = 0;
  int method = 0;
  std::uint64_t compressedSize = 0;
  std::uint64_t uncompressedSize = 0;
  std::uint32_t crc = 0;
  std::uint32_t dateField = 0;
  std::optional<std::int64_t> unixTime;
  unz64_file_pos position{};
};

bool ZipWrapper::UnzipOpenFile(const fs::path& path) {
  if (unzFile_ != nullptr) {
    const std::string keep = password_;
    UnzipCloseFile();
    password_ = keep;
  }
  lastFailure_ = ZipFailure::None;
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) return fail(ZipFailure::CannotOpen);
  unzFile unz = unzOpen64(path.c_str());
  if (unz == nullptr) return fail(ZipFailure::CannotOpen);
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(unz, &global) != UNZ_OK) {
    unzClose(unz);
    return fail(ZipFailure::CannotOpen);
  }
  unzFile_ = unz;
  archiveBytes_ = size;
  return true;
}

bool ZipWrapper::UnzipOpenFile(const fs::path& path, const std::string& password) {
  if (unzFile_ != nullptr) UnzipCloseFile();
  password_ = password;
  return UnzipOpenFile(path);
}

bool ZipWrapper::UnzipCloseFile() {
  password_.clear();
  if (unzFile_ == nullptr) return true;
  const int rc = unzClose(static_cast<unzFile>(unzFile_));
  unzFile_ = nullptr;
  archiveBytes_ = 0;
  return rc == UNZ_OK;
}

bool ZipWrapper::planExtraction(std::vector<EntryPlan>& plans) {
  auto* unz = static_cast<unzFile>(unzFile_);
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(unz, &global) != UNZ_OK) return fail(ZipFailure::CannotOpen);
  if (global.number_entry > ziplimits::kMaxEntryCount) {
    OutputErrorMessage(describe(ZipFailure::TooManyEntries));
    return fail(ZipFailure::TooManyEntries);
  }
  if (unzGoToFirstFile(unz) != UNZ_OK) {
    OutputErrorMessage("Failed");
    return fail(ZipFailure::CannotOpen);
  }
  const std::uint64_t budget = ziplimits::extractionBudget(archiveBytes_);
  std::uint64_t total = 0;
  std::vector<char> name(ziplimits::kMaxNameBytes + 1);
  std::vector<unsigned char> extra(0x10000);
  int rc = UNZ_OK;
  while (rc == UNZ_OK) {
    if (plans.size() >= ziplimits::kMaxEntryCount) {
      OutputErrorMessage(describe(ZipFailure::TooManyEntries));
      return fail(ZipFailure::TooManyEntries);
    }
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(unz, &info, name.data(), name.size(), extra.data(), extra.size(), nullptr, 0) !=
        UNZ_OK) {
      OutputErrorMessage("Error occurs while getting file info");
      return fail(ZipFailure::CorruptEntry);
    }
    if (info.size_filename > ziplimits::kMaxNameBytes) {
      OutputErrorMessage(describe(ZipFailure::UnsafeName));
      return fail(ZipFailure::UnsafeName);
    }
    EntryPlan plan;
    const std::string raw(name.data(), info.size_filename);
    const auto checked = zipnames::check(raw);
    if (checked.verdict != zipnames::Verdict::Safe) {
      OutputErrorMessage(std::string(zipnames::describe(checked.verdict)) + ": " + raw);
      return fail(ZipFailure::UnsafeName);
    }
    // The high half of the external attributes holds a Unix mode when the
    // archive was made there; only plain files and folders are extracted.
    const unsigned long type = (info.external_fa >> 16) & S_IFMT;
    if (type != 0 && type != S_IFREG && type != S_IFDIR) {
      OutputErrorMessage(std::string(describe(ZipFailure::LinkEntry)) + ": " + raw);
      return fail(ZipFailure::LinkEntry);
    }
    plan.name = zipnames::normalize(raw);
    plan.components = checked.components;
    plan.isFolder = zipnames::namesFolder(raw) || type == S_IFDIR;
    plan.flag = info.flag;
    plan.method = static_cast<int>(info.compression_method);
    plan.compressedSize = info.compressed_size;
    plan.uncompressedSize = info.uncompressed_size;
    if (!applyZip64Sizes(extra.data(), std::min<std::size_t>(info.size_file_extra, extra.size()),
                         plan.uncompressedSize, plan.compressedSize)) {
      OutputErrorMessage("Error occurs while getting file info");
      return fail(ZipFailure::CorruptEntry);
    }
    plan.crc = static_cast<std::uint32_t>(info.crc);
    plan.dateField = static_cast<std::uint32_t>(info.dosDate);
    plan.unixTime = extendedModificationTime(extra.data(), std::min<std::size_t>(info.size_file_extra, extra.size()));
    if (!plan.isFolder) {
      const bool knownMethod = plan.method == kMethodStored || plan.method == kMethodDeflated;
      if (!knownMethod || (plan.flag & (kFlagStrongEncryption | kFlagMaskedHeader)) != 0) {
        OutputErrorMessage(std::string(describe(ZipFailure::UnsupportedEntry)) + ": " + raw);
        return fail(ZipFailure::UnsupportedEntry);
      }
      total += plan.uncompressedSize;
      if (plan.uncompressedSize > budget || total > budget) {
        OutputErrorMessage(describe(ZipFailure::TooLarge));
        return fail(ZipFailure::TooLarge);
      }
    }
    if (unzGetFilePos64(unz, &plan.position) != UNZ_OK) return fail(ZipFailure::CorruptEntry);
    plans.push_back(std::move(plan));
    rc = unzGoToNextFile(unz);
  }
  if (rc != UNZ_END_OF_LIST_OF_FILE) {
    OutputErrorMessage("Error occurs while getting file info");
    return fail(ZipFailure::CorruptEntry);
  }
  return true;
}

bool ZipWrapper::UnzipFileTo(const fs::path& folder, bool overWrite) {
  if (unzFile_ == nullptr) return fail(ZipFailure::NotOpen);
  lastFailure_ = ZipFailure::None;
  std::vector<EntryPlan> plans;
  if (!planExtraction(plans)) return false;
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return fail(ZipFailure::FileWrite);
  for (const EntryPlan& plan : plans) {
    if (!extractEntry(plan, folder, overWrite)) return false;
  }
  return true;
}

bool ZipWrapper::extractEntry(const EntryPlan& plan, const fs::path& folder, bool overWrite) {
  const std::size_t folderLevels = plan.isFolder ? plan.components.size() : plan.components.size() - 1;
  fs::path dir = folder;
  std::error_code ec;
  // Folders are made one level at a time so that a link planted inside the
  // target cannot carry later levels elsewhere.
  for (std::size_t i = 0; i < folderLevels; ++i) {
    dir /= plan.components[i];
    const auto status = fs::symlink_status(dir, ec);
    if (fs::is_symlink(status)) {
      OutputErrorMessage(std::string(describe(ZipFailure::LinkEntry)) + ": " + plan.name);
      return fail(ZipFailure::LinkEntry);
    }
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) return fail(ZipFailure::FileWrite);
    } else if (!fs::create_directory(dir, ec) && !fs::is_directory(fs::symlink_status(dir, ec))) {
      return fail(ZipFailure::FileWrite);
    }
  }
  if (plan.isFolder) return true;

  const fs::path target = dir / plan.components.back();
  const auto status = fs::symlink_status(target, ec);
  if (fs::exists(status)) {
    if (fs::is_directory(status)) return fail(ZipFailure::FileWrite);
    if (!overWrite && !OverWrite(target)) return true;
  }

  auto* unz = static_cast<unzFile>(unzFile_);
  unz64_file_pos position = plan.position;
  if (unzGoToFilePos64(unz, &position) != UNZ_OK) {
    OutputErrorMessage("Error occurs");
    return fail(ZipFailure::CorruptEntry);
  }
  fs::path temporary;
  const int fd = openTemporarySibling(dir, temporary);
  if (fd < 0) return fail(ZipFailure::FileWrite);
  bool ok = streamEntryTo(plan, fd);
  if (::close(fd) != 0 && ok) ok = fail(ZipFailure::FileWrite);
  if (ok && ::rename(temporary.c_str(), target.c_str()) != 0) ok = fail(ZipFailure::FileWrite);
  if (!ok) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (plan.unixTime) {
    setModificationTime(target, *plan.unixTime);
  } else if (plan.dateField != 0) {
    setModificationTime(target, std::chrono::system_clock::to_time_t(Date1980()) + plan.dateField);
  }
  return true;
}

namespace {

// Holds an entry open in raw mode and closes it on every way out.
class RawEntry {
 public:
  explicit RawEntry(unzFile unz) : unz_(unz) {
    int method = 0, level = 0;
    open_ = unzOpenCurrentFile2(unz_, &method, &level, 1) == UNZ_OK;
  }
  ~RawEntry() {
    if (open_) unzCloseCurrentFile(unz_);
  }
  bool isOpen() const { return open_; }
  // Reads up to count stored bytes; negative on a read failure.
  int read(unsigned char* into, std::size_t count) { return unzReadCurrentFile(unz_, into, static_cast<unsigned>(count)); }
  bool readExactly(unsigned char* into, std::size_t count) {
    while (count > 0) {
      const int n = read(into, count);
      if (n <= 0) return false;
      into += n;
      count -= static_cast<std::size_t>(n);
    }
    return true;
  }

 private:
  unzFile unz_;
  bool open_ = false;
};

// Output checks shared by stored and deflated entries: never more than the
// declared size, a running CRC, and the bytes handed on to the file.
struct Sink {
  int fd;
  std::uint64_t declared;
  std::uint64_t written = 0;
  uLong crc = crc32(0L, Z_NULL, 0);
  bool overflow = false;
  bool writeFailed = false;

  bool put(const unsigned char* bytes, std::size_t count) {
    if (count == 0) return true;
    if (written + count > declared) {
      overflow = true;
      return false;
    }
    crc = crc32(crc, bytes, static_cast<uInt>(count));
    written += count;
    if (!writeAll(fd, bytes, count)) {
      writeFailed = true;
      return false;
    }
    return true;
  }
};

}  // namespace

bool ZipWrapper::streamEntryTo(const EntryPlan& plan, int fd) {
  RawEntry entry(static_cast<unzFile>(unzFile_));
  if (!entry.isOpen()) {
    OutputErrorMessage("Error occurs");
    return fail(ZipFailure::CorruptEntry);
  }
  const bool encrypted = (plan.flag & kFlagEncrypted) != 0;
  // After decryption a bad stream can only be told apart from a wrong
  // password by the header's check byte, which a wrong password passes once in
  // 256 tries; everything failing after it is reported as the password then.
  const ZipFailure dataFailure = encrypted ? ZipFailure::WrongPassword : ZipFailure::CorruptEntry;
  std::optional<zipcrypto::TraditionalCipher> cipher;
  if (encrypted) {
    if (password_.empty()) {
      OutputErrorMessage("Error occurs");
      return fail(ZipFailure::PasswordRequired);
    }
    std::array<unsigned char, zipcrypto::kHeaderSize> header{};
    if (plan.compressedSize < header.size() || !entry.readExactly(header.data(), header.size())) {
      OutputErrorMessage("Failed to reading zip file");
      return fail(ZipFailure::CorruptEntry);
    }
    // With sizes in a trailing descriptor the writer did not know the CRC
    // yet and checked against the entry's time instead.
    const std::uint32_t check =
        (plan.flag & kFlagDataDescriptor) != 0 ? (plan.dateField & 0xFFFFu) << 16 : plan.crc;
    cipher.emplace(password_);
    if (!zipcrypto::acceptHeader(*cipher, header, check)) {
      OutputErrorMessage("Error occurs");
      return fail(ZipFailure::WrongPassword);
    }
  }

  Sink sink{fd, plan.uncompressedSize};
  std::vector<unsigned char> input(ziplimits::kChunkBytes), output(ziplimits::kChunkBytes);
  z_stream stream{};
  const bool deflated = plan.method == kMethodDeflated;
  if (deflated && inflateInit2(&stream, -MAX_WBITS) != Z_OK) return fail(ZipFailure::CorruptEntry);
  bool ended = !deflated;
  bool bad = false;
  // Reads stop at the size the directory gives, whatever the zip layer
  // thinks the entry's end is.
  std::uint64_t remaining = plan.compressedSize - (encrypted ? zipcrypto::kHeaderSize : 0);
  for (;;) {
    const int n = remaining == 0 ? 0 : entry.read(input.data(), std::min<std::uint64_t>(input.size(), remaining));
    if (n > 0) remaining -= static_cast<std::uint64_t>(n);
    if (n < 0) {
      OutputErrorMessage("Failed to reading zip file");
      bad = true;
      break;
    }
    if (n == 0) break;
    if (cipher) cipher->decrypt(input.data(), static_cast<std::size_t>(n));
    if (!deflated) {
      if (!sink.put(input.data(), static_cast<std::size_t>(n))) break;
      continue;
    }
    if (ended) {  // bytes after the end of the compressed stream
      bad = true;
      break;
    }
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(n);
    do {
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      const int rc = inflate(&stream, Z_NO_FLUSH);
      if (rc == Z_STREAM_END) {
        ended = true;
      } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
        bad = true;
      }
      if (!bad && !sink.put(output.data(), output.size() - stream.avail_out)) bad = true;
    } while (!bad && !ended && stream.avail_out == 0);
    if (bad) break;
    if (ended && stream.avail_in > 0) {
      bad = true;
      break;
    }
  }
  if (deflated) inflateEnd(&stream);
  if (sink.writeFailed) return fail(ZipFailure::FileWrite);
  if (bad || sink.overflow || !ended || sink.written != plan.uncompressedSize ||
      static_cast<std::uint32_t>(sink.crc) != plan.crc) {
    return fail(dataFailure);
  }
  return true;
}

std::vector<std::string> ZipWrapper::getZipFileContents() {
  std::vector<std::string> names;
  if (unzFile_ == nullptr) {
    fail(ZipFailure::NotOpen);
    return names;
  }
  auto* unz = static_cast<unzFile>(unzFile_);
  std::vector<char> name(ziplimits::kMaxNameBytes + 1);
  int rc = unzGoToFirstFile(unz);
  while (rc == UNZ_OK && names.size() < ziplimits::kMaxEntryCount) {
    unz_file_info64 info{};
    {
      RawEntry entry(unz);
      if (!entry.isOpen()) {
        OutputErrorMessage("Error occured");
        fail(ZipFailure::CorruptEntry);
        return names;
      }
      if (unzGetCurrentFileInfo64(unz, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK) {
        OutputErrorMessage("Error occurs while getting file info");
        fail(ZipFailure::CorruptEntry);
        return names;
      }
    }
    const std::size_t length = std::min<std::size_t>(info.size_filename, ziplimits::kMaxNameBytes);
    names.push_back(zipnames::normalize(std::string_view(name.data(), length)));
    rc = unzGoToNextFile(unz);
  }
  return names;
}
