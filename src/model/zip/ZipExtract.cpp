// Reading side of ZipWrapper: judging an archive's directory, then streaming
// entries through decryption, inflation and CRC into temporary files on
// worker threads (each with its own reading handle), and moving them to their
// names in archive order on the calling thread.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <unzip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <system_error>
#include <numeric>
#include <optional>
#include <unordered_map>

#include "model/zip/EntryName.h"
#include "model/zip/OrderedWork.h"
#include "model/zip/TraditionalCipher.h"
#include "model/zip/ZipLimits.h"
#include "model/zip/ZipWrapper.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/StopRequest.h"

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

// The 64-bit layout keeps 0xFFFFFFFF in a 32-bit field of a directory record
// and the true value in the extra field 0x0001, which holds, in this order and
// only for the fields that overflowed: the uncompressed size, the compressed
// size, the local header's offset, the disk number. The minizip Debian ships
// leaves these at 0xFFFFFFFF on 64-bit machines (and so cannot open an entry
// past 4 GiB), so they are read here from the record's own fields.
constexpr unsigned kZip64ExtraId = 0x0001;
constexpr std::uint64_t kZip64Marker = 0xFFFFFFFFu;
constexpr std::uint64_t kDiskMarker = 0xFFFFu;
constexpr std::uint32_t kLocalSignature = 0x04034b50;
constexpr std::size_t kLocalHeaderBytes = 30;
using zipio::kRecordSignature;
using zipio::little;

// An entry's sizes and where its local header is, from its directory record
// (the fixed part) and extra field; false when a field is marked as 64-bit
// but the extra field lacks it.
bool readRecordFields(const unsigned char* record, const unsigned char* extra, std::size_t size,
                      std::uint64_t& uncompressed, std::uint64_t& compressed, std::uint64_t& localHeader) {
  compressed = little(record + 20, 4);
  uncompressed = little(record + 24, 4);
  localHeader = little(record + 42, 4);
  const bool wideUncompressed = uncompressed == kZip64Marker;
  const bool wideCompressed = compressed == kZip64Marker;
  const bool wideOffset = localHeader == kZip64Marker;
  if (!wideUncompressed && !wideCompressed && !wideOffset) return true;
  std::size_t at = 0;
  while (at + 4 <= size) {
    const unsigned id = extra[at] | (extra[at + 1] << 8);
    const std::size_t length = extra[at + 2] | (extra[at + 3] << 8);
    at += 4;
    if (at + length > size) return false;
    if (id == kZip64ExtraId) {
      std::size_t field = at;
      const std::size_t end = at + length;
      for (auto [wide, value] : {std::pair{wideUncompressed, &uncompressed}, std::pair{wideCompressed, &compressed},
                                 std::pair{wideOffset, &localHeader}}) {
        if (!wide) continue;
        if (field + 8 > end) return false;
        *value = little(extra + field, 8);
        field += 8;
      }
      return true;
    }
    at += length;
  }
  return false;
}

void setModificationTime(const fs::path& path, std::int64_t seconds) {
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(seconds);
  times[1].tv_nsec = 0;
  if (::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0) fd::Log("Failed to set attributes\n");
}

// The names an archive's entries make, as a tree of parts: a file and a
// folder of one name cannot both be unpacked, and that is the archive's own
// fault, known from its directory. Each part is looked up under its folder,
// so a name costs its length however deep it goes.
class NameTree {
 public:
  // False when the name makes a file where a folder is, or the other way.
  bool add(const std::vector<std::string>& parts, bool isFolder) {
    std::uint64_t parent = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
      const bool file = !isFolder && i + 1 == parts.size();
      std::string key(reinterpret_cast<const char*>(&parent), sizeof parent);
      key += parts[i];
      const auto [at, made] = nodes_.try_emplace(std::move(key), Node{next_, file});
      if (made) ++next_;
      if (at->second.file != file) return false;
      parent = at->second.id;
    }
    return true;
  }

 private:
  struct Node {
    std::uint64_t id;
    bool file;
  };
  std::unordered_map<std::string, Node> nodes_;
  std::uint64_t next_ = 1;
};

}  // namespace

bool ZipWrapper::UnzipOpenFile(const fs::path& path) {
  if (unz_) {
    const std::string keep = password_;
    UnzipCloseFile();
    password_ = keep;
  }
  lastFailure_ = ZipFailure::None;
  lastError_.clear();
  std::error_code ec;
  const auto size = fs::file_size(path, ec);
  if (ec) return answer(refuse(ZipFailure::CannotOpen, path.filename().string() + ": " + ec.message()));
  auto opened = zipio::openZip(path);
  if (!opened) return answer(refuse(ZipFailure::CannotOpen, opened.error()));
  unz_ = std::move(*opened);
  unzPath_ = path;
  archiveBytes_ = size;
  return true;
}

bool ZipWrapper::UnzipOpenFile(const fs::path& path, const std::string& password) {
  if (unz_) UnzipCloseFile();
  password_ = password;
  return UnzipOpenFile(path);
}

bool ZipWrapper::UnzipCloseFile() {
  password_.clear();
  archiveBytes_ = 0;
  unzPath_.clear();
  return unz_.close();
}

fd::Status ZipWrapper::planExtraction(std::vector<EntryPlan>& plans, std::uint64_t& total, std::size_t folderBytes,
                                      std::string_view required) {
  auto* unz = static_cast<unzFile>(unz_.get());
  unz_global_info64 global{};
  if (unzGetGlobalInfo64(unz, &global) != UNZ_OK) return refuse(ZipFailure::CannotOpen, "no readable directory");
  const auto extent = zipio::readDirectoryExtent(unzPath_);
  if (!extent) return refuse(ZipFailure::CannotOpen, extent.error());
  // The count is only believed as far as the directory has room for it, so
  // no count makes the reader reserve or walk beyond what the file holds.
  const std::uint64_t room = ziplimits::entryRoom(extent->size);
  if (global.number_entry > room) {
    OutputErrorMessage(describe(ZipFailure::TooManyEntries));
    return refuse(ZipFailure::TooManyEntries, std::to_string(global.number_entry) + " entries in a directory of " +
                                                  std::to_string(extent->size) + " bytes",
                  {{}, room});
  }
  plans.reserve(static_cast<std::size_t>(global.number_entry));
  // The directory's records are read here too, for the fields the zip layer
  // leaves 64-bit archives' entries without.
  zipio::FileDescriptor archive(::open(unzPath_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!archive) return refuse(ZipFailure::CannotOpen, unzPath_.filename().string());
  if (unzGoToFirstFile(unz) != UNZ_OK) {
    OutputErrorMessage("Failed");
    return refuse(ZipFailure::CannotOpen, "no first entry");
  }
  total = 0;
  NameTree tree;
  bool holdsRequired = required.empty();
  std::vector<char> name(ziplimits::kMaxNameBytes + 1);
  std::vector<unsigned char> extra(0x10000);
  int rc = UNZ_OK;
  // The bytes of the records walked so far.
  std::uint64_t walked = 0;
  while (rc == UNZ_OK) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(unz, &info, name.data(), name.size(), extra.data(), extra.size(), nullptr, 0) !=
        UNZ_OK) {
      OutputErrorMessage("Error occurs while getting file info");
      return refuse(ZipFailure::CorruptEntry, "entry " + std::to_string(plans.size() + 1) + " has no readable record");
    }
    // With the folder it goes below, the whole path must be one the
    // system takes.
    if (info.size_filename > ziplimits::kMaxNameBytes || folderBytes + 1 + info.size_filename >= PATH_MAX) {
      OutputErrorMessage(describe(ZipFailure::LongName));
      return refuse(ZipFailure::LongName, "a name of " + std::to_string(info.size_filename) + " bytes");
    }
    EntryPlan plan;
    const std::string raw(name.data(), info.size_filename);
    const auto checked = zipnames::check(raw);
    if (checked.verdict == zipnames::Verdict::LongPart) {
      OutputErrorMessage(describe(ZipFailure::LongName));
      return refuse(ZipFailure::LongName, std::string(zipnames::describe(checked.verdict)));
    }
    if (checked.verdict != zipnames::Verdict::Safe) {
      OutputErrorMessage(std::string(zipnames::describe(checked.verdict)) + ": " + raw);
      // Only a name that would land elsewhere is told: one that is no name
      // (empty, not UTF-8, holding NUL) could not be shown.
      return refuse(ZipFailure::UnsafeName, std::string(zipnames::describe(checked.verdict)) + ": " + raw,
                    {zipnames::climbsOut(checked.verdict) ? raw : std::string()});
    }
    // The high half of the external attributes holds a Unix mode when the
    // archive was made there; only plain files and folders are extracted.
    const unsigned long type = (info.external_fa >> 16) & S_IFMT;
    if (type != 0 && type != S_IFREG && type != S_IFDIR) {
      OutputErrorMessage(std::string(describe(ZipFailure::LinkEntry)) + ": " + raw);
      return refuse(ZipFailure::LinkEntry, raw, {raw});
    }
    walked += ziplimits::kRecordFixedBytes + info.size_filename + info.size_file_extra + info.size_file_comment;
    plan.name = zipnames::normalize(raw);
    plan.isFolder = zipnames::namesFolder(raw) || type == S_IFDIR;
    if (!tree.add(checked.components, plan.isFolder)) {
      OutputErrorMessage(describe(ZipFailure::NameClash));
      return refuse(ZipFailure::NameClash, raw, {raw});
    }
    if (!plan.isFolder && plan.name == required) holdsRequired = true;
    plan.flag = info.flag;
    plan.method = static_cast<int>(info.compression_method);
    unz64_file_pos position{};
    unsigned char record[ziplimits::kRecordFixedBytes];
    if (unzGetFilePos64(unz, &position) != UNZ_OK ||
        zipio::readAt(archive.get(), record, sizeof record, extent->prefix + position.pos_in_zip_directory) != 0 ||
        little(record, 4) != kRecordSignature) {
      return refuse(ZipFailure::CorruptEntry, raw + ": its record cannot be read", {raw});
    }
    const std::size_t extraSize = std::min<std::size_t>(info.size_file_extra, extra.size());
    if (little(record + 34, 2) == kDiskMarker ||
        !readRecordFields(record, extra.data(), extraSize, plan.uncompressedSize, plan.compressedSize,
                          plan.localHeader)) {
      OutputErrorMessage("Error occurs while getting file info");
      return refuse(ZipFailure::CorruptEntry, raw + ": 64-bit fields without their extra field", {raw});
    }
    plan.localHeader += extent->prefix;
    plan.crc = static_cast<std::uint32_t>(info.crc);
    plan.dateField = static_cast<std::uint32_t>(info.dosDate);
    plan.unixTime = extendedModificationTime(extra.data(), extraSize);
    if (!plan.isFolder) {
      const bool knownMethod = plan.method == kMethodStored || plan.method == kMethodDeflated;
      if (!knownMethod || (plan.flag & (kFlagStrongEncryption | kFlagMaskedHeader)) != 0) {
        OutputErrorMessage(std::string(describe(ZipFailure::UnsupportedEntry)) + ": " + raw);
        return refuse(ZipFailure::UnsupportedEntry, raw, {raw});
      }
      if (plan.uncompressedSize > ziplimits::kMaxEntryBytes) {
        OutputErrorMessage(describe(ZipFailure::TooLarge));
        return refuse(ZipFailure::TooLarge, raw + ": more than " + std::to_string(ziplimits::kMaxEntryBytes) + " bytes",
                      {raw, ziplimits::kMaxEntryBytes});
      }
      total += plan.uncompressedSize;
    }
    plans.push_back(std::move(plan));
    rc = unzGoToNextFile(unz);
  }
  // Earlier versions wrote packages of 65,535 entries and more with the
  // 16-bit count cut to 0xFFFF and no 64-bit count: the directory's own bytes
  // tell whether every entry was read, wherever the zip layer stopped. A
  // count cut to less than the records the directory holds (65,537 wrapping
  // to 1) stops the zip layer early, and is a part taken for the whole.
  const bool whole = walked == extent->size && (extent->countCut || rc == UNZ_END_OF_LIST_OF_FILE);
  if (!whole) {
    OutputErrorMessage("Error occurs while getting file info");
    return refuse(ZipFailure::CorruptEntry, "the directory ends early");
  }
  if (!holdsRequired) return refuse(ZipFailure::MissingEntry, std::string(required), {std::string(required)});
  return placeStoredBytes(plans, extent->prefix + extent->offset);
}

fd::Status ZipWrapper::placeStoredBytes(std::vector<EntryPlan>& plans, std::uint64_t directoryStart) {
  // Each entry's local header and stored bytes must lie before the next
  // entry's and before the directory, as other readers require: records
  // pointing at one stream would otherwise each inflate it in full, and an
  // archive's work would grow with its directory's lies, not its size.
  std::vector<std::size_t> order(plans.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return plans[a].localHeader < plans[b].localHeader; });
  for (std::size_t k = 0; k < order.size(); ++k) {
    EntryPlan& plan = plans[order[k]];
    plan.end = k + 1 < order.size() ? plans[order[k + 1]].localHeader : directoryStart;
    // The least the entry takes: its local header with the name its record
    // gives, and its stored bytes.
    const std::uint64_t least = kLocalHeaderBytes + plan.name.size();
    if (plan.end < plan.localHeader || plan.end - plan.localHeader < least ||
        plan.end - plan.localHeader - least < plan.compressedSize) {
      OutputErrorMessage(describe(ZipFailure::Overlap));
      return refuse(ZipFailure::Overlap, plan.name + ": its data overlap another entry's or the directory",
                    {plan.name});
    }
  }
  return {};
}

bool ZipWrapper::UnzipFileTo(const fs::path& folder, bool overWrite, std::string_view required) {
  if (!unz_) return answer(refuse(ZipFailure::NotOpen, ""));
  lastFailure_ = ZipFailure::None;
  lastError_.clear();
  std::vector<EntryPlan> plans;
  std::uint64_t total = 0;
  std::error_code ec;
  const fs::path absolute = fs::absolute(folder, ec);
  if (auto planned = planExtraction(plans, total, absolute.native().size(), required); !planned) return false;
  fs::create_directories(folder, ec);
  if (!fs::is_directory(folder, ec)) return answer(refuse(ZipFailure::FileWrite, folder.string(), {{}, 0, ec.value()}));
  // What no disk of this size could take is refused before a file of it is
  // written; the disk filling meanwhile is told as any refused write.
  const fs::space_info space = fs::space(folder, ec);
  if (!ec && total > space.available) {
    OutputErrorMessage(describe(ZipFailure::NoRoom));
    return answer(refuse(ZipFailure::NoRoom, std::to_string(total) + " bytes, " + std::to_string(space.available) + " free",
                         {{}, space.available}));
  }
  return answer(extractAll(plans, folder, overWrite));
}

bool ZipWrapper::checkDirectory(std::string_view required) {
  if (!unz_) return answer(refuse(ZipFailure::NotOpen, ""));
  lastFailure_ = ZipFailure::None;
  lastError_.clear();
  std::vector<EntryPlan> plans;
  std::uint64_t total = 0;
  return answer(planExtraction(plans, total, 0, required));
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
  RawEntry(const RawEntry&) = delete;
  RawEntry& operator=(const RawEntry&) = delete;
  bool isOpen() const { return open_; }

 private:
  unzFile unz_;
  bool open_ = false;
};

// An entry's stored bytes, read straight from the archive at the place its
// local header gives, never past the size its directory record gives.
class StoredBytes {
 public:
  StoredBytes(int archive, std::uint64_t start, std::uint64_t size) : archive_(archive), at_(start), left_(size) {}
  // Reads up to count bytes; 0 at their end, negative on a read failure.
  int read(unsigned char* into, std::size_t count) {
    count = static_cast<std::size_t>(std::min<std::uint64_t>({count, left_, std::uint64_t{1} << 30}));
    if (count == 0) return 0;
    for (;;) {
      const ssize_t n = ::pread(archive_, into, count, static_cast<off_t>(at_));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return -1;  // the archive ends before the entry does
      at_ += static_cast<std::uint64_t>(n);
      left_ -= static_cast<std::uint64_t>(n);
      return static_cast<int>(n);
    }
  }
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
  int archive_;
  std::uint64_t at_, left_;
};

// A raw inflate stream, ended on every way out.
class Inflater {
 public:
  Inflater() { ready_ = inflateInit2(&stream_, -MAX_WBITS) == Z_OK; }
  ~Inflater() {
    if (ready_) inflateEnd(&stream_);
  }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;
  bool ready() const { return ready_; }
  z_stream& stream() { return stream_; }

 private:
  z_stream stream_{};
  bool ready_ = false;
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
  int writeError = 0;

  bool put(const unsigned char* bytes, std::size_t count) {
    if (count == 0) return true;
    if (written + count > declared) {
      overflow = true;
      return false;
    }
    crc = crc32(crc, bytes, static_cast<uInt>(count));
    written += count;
    if (!fd::files::writeAll(fd, bytes, count)) {
      writeFailed = true;
      writeError = errno;
      return false;
    }
    return true;
  }
};

// One entry inflated on a worker: its verified content under a temporary
// name, or why not, with the short text the delegate is told.
struct ExtractedEntry {
  zipio::TemporaryFile file;
  ZipFailure failure = ZipFailure::None;
  std::string error;
  std::string report;
  int errorNumber = 0;  // of a write the system refused

  static ExtractedEntry refused(ZipFailure kind, std::string error, std::string report = {}) {
    ExtractedEntry e;
    e.failure = kind;
    e.error = std::move(error);
    e.report = std::move(report);
    return e;
  }
  static ExtractedEntry notWritten(const fd::Failure& why) {
    ExtractedEntry e = refused(ZipFailure::FileWrite, why.message);
    e.errorNumber = why.error;
    return e;
  }
};

using EntryPlan = ZipWrapper::EntryPlan;

ExtractedEntry streamEntry(int archive, const EntryPlan& plan, const std::string& password, int fd) {
  unsigned char local[kLocalHeaderBytes];
  if (zipio::readAt(archive, local, sizeof local, plan.localHeader) != 0 || little(local, 4) != kLocalSignature) {
    return ExtractedEntry::refused(ZipFailure::CorruptEntry, plan.name + ": cannot be found", "Error occurs");
  }
  if (static_cast<int>(little(local + 8, 2)) != plan.method) {
    return ExtractedEntry::refused(ZipFailure::CorruptEntry, plan.name + ": cannot be opened", "Error occurs");
  }
  const std::uint64_t dataStart = plan.localHeader + kLocalHeaderBytes + little(local + 26, 2) + little(local + 28, 2);
  if (dataStart > plan.end || plan.end - dataStart < plan.compressedSize) {
    return ExtractedEntry::refused(ZipFailure::Overlap, plan.name + ": its data overlap the next entry's",
                                   "Error occurs");
  }
  StoredBytes entry(archive, dataStart, plan.compressedSize);
  const bool encrypted = (plan.flag & kFlagEncrypted) != 0;
  // After decryption a bad stream can only be told apart from a wrong
  // password by the header's check byte, which a wrong password passes once in
  // 256 tries; everything failing after it is reported as the password then.
  const ZipFailure dataFailure = encrypted ? ZipFailure::WrongPassword : ZipFailure::CorruptEntry;
  std::optional<zipcrypto::TraditionalCipher> cipher;
  if (encrypted) {
    if (password.empty()) return ExtractedEntry::refused(ZipFailure::PasswordRequired, plan.name, "Error occurs");
    std::array<unsigned char, zipcrypto::kHeaderSize> header{};
    if (plan.compressedSize < header.size() || !entry.readExactly(header.data(), header.size())) {
      return ExtractedEntry::refused(ZipFailure::CorruptEntry, plan.name + ": no encryption header",
                                     "Failed to reading zip file");
    }
    // With sizes in a trailing descriptor the writer did not know the CRC
    // yet and checked against the entry's time instead.
    const std::uint32_t check =
        (plan.flag & kFlagDataDescriptor) != 0 ? (plan.dateField & 0xFFFFu) << 16 : plan.crc;
    cipher.emplace(password);
    if (!zipcrypto::acceptHeader(*cipher, header, check)) {
      return ExtractedEntry::refused(ZipFailure::WrongPassword, plan.name, "Error occurs");
    }
  }

  Sink sink{fd, plan.uncompressedSize};
  std::vector<unsigned char> input(ziplimits::kChunkBytes), output(ziplimits::kChunkBytes);
  const bool deflated = plan.method == kMethodDeflated;
  std::optional<Inflater> inflater;
  if (deflated && !inflater.emplace().ready()) {
    return ExtractedEntry::refused(ZipFailure::CorruptEntry, plan.name + ": inflate cannot start");
  }
  bool ended = !deflated;
  bool bad = false;
  bool readFailed = false;
  // Reads stop at the size the directory gives, whatever the zip layer
  // thinks the entry's end is.
  std::uint64_t remaining = plan.compressedSize - (encrypted ? zipcrypto::kHeaderSize : 0);
  for (;;) {
    const int n = remaining == 0 ? 0 : entry.read(input.data(), std::min<std::uint64_t>(input.size(), remaining));
    if (n < 0) {
      readFailed = bad = true;
      break;
    }
    if (n == 0) break;
    remaining -= static_cast<std::uint64_t>(n);
    if (cipher) cipher->decrypt(input.data(), static_cast<std::size_t>(n));
    if (!deflated) {
      if (!sink.put(input.data(), static_cast<std::size_t>(n))) break;
      continue;
    }
    if (ended) {  // bytes after the end of the compressed stream
      bad = true;
      break;
    }
    z_stream& stream = inflater->stream();
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
  if (sink.writeFailed) {
    return ExtractedEntry::notWritten(
        fd::fail(plan.name + ": " + std::error_code(sink.writeError, std::generic_category()).message(), sink.writeError));
  }
  if (bad || sink.overflow || !ended || sink.written != plan.uncompressedSize ||
      static_cast<std::uint32_t>(sink.crc) != plan.crc) {
    return ExtractedEntry::refused(dataFailure, plan.name + (readFailed ? ": read failed" : ": CRC, size or data wrong"),
                                   readFailed ? "Failed to reading zip file" : "");
  }
  return {};
}

// Extracted entries held ahead of the one being moved into place, per thread;
// they wait on disk, not in memory, so a descheduled worker need not stall
// the others soon.
constexpr std::size_t kExtractedAheadPerThread = 16;

}  // namespace

fd::Status ZipWrapper::extractAll(const std::vector<EntryPlan>& plans, const fs::path& folder, bool overWrite) {
  const fs::path archive = unzPath_;
  const std::string password = password_;
  fd::Status outcome;
  const std::size_t threads = orderedwork::threadsFor(plans.size());
  orderedwork::run<ExtractedEntry>(
      plans.size(), threads, threads * kExtractedAheadPerThread,
      [&] {
        // Each thread reads through a descriptor of its own.
        zipio::FileDescriptor opened(::open(archive.c_str(), O_RDONLY | O_CLOEXEC));
        const std::string cannotOpen = opened ? std::string() : archive.filename().string();
        return [&plans, &folder, &password, opened = std::move(opened), cannotOpen](std::size_t i) {
          const EntryPlan& plan = plans[i];
          if (plan.isFolder) return ExtractedEntry{};
          if (!opened) return ExtractedEntry::refused(ZipFailure::CannotOpen, cannotOpen, "Error occurs");
          // Temporary files wait in the target folder itself, where the
          // move into place is a rename.
          auto file = zipio::TemporaryFile::createIn(folder);
          if (!file) return ExtractedEntry::notWritten(file.failure());
          ExtractedEntry extracted = streamEntry(opened.get(), plan, password, file->fd());
          if (extracted.failure != ZipFailure::None) return extracted;
          if (auto closed = file->close(); !closed) return ExtractedEntry::notWritten(closed.failure());
          extracted.file = std::move(*file);
          return extracted;
        };
      },
      [&](std::size_t i, ExtractedEntry& extracted) {
        if (fd::endAsked()) {
          outcome = refuse(ZipFailure::Ended, "");
          return false;
        }
        outcome = placeEntry(plans[i], folder, overWrite, [&](const fs::path& target) -> fd::Status {
          if (extracted.failure != ZipFailure::None) {
            if (!extracted.report.empty()) OutputErrorMessage(extracted.report);
            return refuse(extracted.failure, extracted.error, {plans[i].name, 0, extracted.errorNumber});
          }
          if (auto moved = extracted.file.moveTo(target); !moved) {
            return refuse(ZipFailure::FileWrite, moved.error(), {plans[i].name, 0, moved.errorNumber()});
          }
          fd::crashPoint("zip.entry-extracted");
          return {};
        });
        return outcome.ok();
      });
  return outcome;
}

fd::Status ZipWrapper::placeEntry(const EntryPlan& plan, const fs::path& folder, bool overWrite,
                                  const std::function<fd::Status(const fs::path&)>& moveInto) {
  // The name was judged safe when planned; its parts are found again here
  // rather than held for every entry of a long archive.
  const std::vector<std::string> components = zipnames::check(plan.name).components;
  if (components.empty()) return refuse(ZipFailure::UnsafeName, plan.name);
  const std::size_t folderLevels = plan.isFolder ? components.size() : components.size() - 1;
  fs::path dir = folder;
  std::error_code ec;
  // Folders are made one level at a time so that a link planted inside the
  // target cannot carry later levels elsewhere.
  for (std::size_t i = 0; i < folderLevels; ++i) {
    dir /= components[i];
    const auto status = fs::symlink_status(dir, ec);
    if (fs::is_symlink(status)) {
      OutputErrorMessage(std::string(describe(ZipFailure::LinkEntry)) + ": " + plan.name);
      return refuse(ZipFailure::LinkEntry, dir.string(), {plan.name});
    }
    if (fs::exists(status)) {
      if (!fs::is_directory(status)) return refuse(ZipFailure::FileWrite, dir.string() + " is not a folder");
    } else if (!fs::create_directory(dir, ec)) {
      const int why = ec.value();
      if (!fs::is_directory(fs::symlink_status(dir, ec)))
        return refuse(ZipFailure::FileWrite, "cannot create " + dir.string(), {plan.name, 0, why});
    }
  }
  if (plan.isFolder) return {};

  const fs::path target = dir / components.back();
  const auto status = fs::symlink_status(target, ec);
  if (fs::exists(status)) {
    if (fs::is_directory(status)) return refuse(ZipFailure::FileWrite, target.string() + " is a folder");
    if (!overWrite && !OverWrite(target)) return {};
  }
  if (auto moved = moveInto(target); !moved) return moved;
  if (plan.unixTime) {
    setModificationTime(target, *plan.unixTime);
  } else if (plan.dateField != 0) {
    setModificationTime(target, std::chrono::system_clock::to_time_t(Date1980()) + plan.dateField);
  }
  return {};
}

std::vector<std::string> ZipWrapper::getZipFileContents() {
  std::vector<std::string> names;
  if (!unz_) {
    (void)refuse(ZipFailure::NotOpen, "");
    return names;
  }
  auto* unz = static_cast<unzFile>(unz_.get());
  std::vector<char> name(ziplimits::kMaxNameBytes + 1);
  int rc = unzGoToFirstFile(unz);
  while (rc == UNZ_OK && names.size() < ziplimits::entryRoom(archiveBytes_)) {
    unz_file_info64 info{};
    {
      RawEntry entry(unz);
      if (!entry.isOpen()) {
        OutputErrorMessage("Error occured");
        (void)refuse(ZipFailure::CorruptEntry, "entry " + std::to_string(names.size() + 1) + " cannot be opened");
        return names;
      }
      if (unzGetCurrentFileInfo64(unz, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK) {
        OutputErrorMessage("Error occurs while getting file info");
        (void)refuse(ZipFailure::CorruptEntry, "entry " + std::to_string(names.size() + 1) + " has no readable record");
        return names;
      }
    }
    const std::size_t length = std::min<std::size_t>(info.size_filename, ziplimits::kMaxNameBytes);
    names.push_back(zipnames::normalize(std::string_view(name.data(), length)));
    rc = unzGoToNextFile(unz);
  }
  return names;
}
