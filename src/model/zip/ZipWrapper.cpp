// Common part of ZipWrapper and its writing side: entries are deflated and,
// with a password, encrypted with the traditional cipher on worker threads,
// then written in order through minizip's raw mode.
#include "model/zip/ZipWrapper.h"

#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <ctime>
#include <functional>
#include <vector>

#include "model/zip/OrderedWork.h"
#include "model/zip/ZipLimits.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/StopRequest.h"

namespace fs = std::filesystem;

namespace {

// Bit 0 of an entry's general-purpose flag: the entry is encrypted.
constexpr unsigned long kFlagEncrypted = 1;
// Entries are written as made by MS-DOS with no attributes, as always.
constexpr unsigned long kVersionMadeBy = 0;
// Files up to this size are read, compressed and encrypted whole on a worker
// thread; larger ones are streamed by the writing thread. With the entries
// held ahead of the writer this bounds the memory of an export: about
// threads x (4 + 3) x this size at worst, a few megabytes for drawings.
constexpr std::uint64_t kWholeFileBytes = 2u << 20;
// Entries compressed ahead of the one being written, per worker thread: on a
// busy machine a worker that is descheduled holds up the writer, and the
// others go on only as far as this.
constexpr std::size_t kAheadPerThread = 4;

// Whole seconds from Date1980 to the file's modification time, cut to the
// 32 bits of the entry's date field.
std::uint32_t dateFieldFor(const struct stat& st, std::time_t base) {
  const std::time_t when = st.st_mtime != 0 ? st.st_mtime : std::time(nullptr);
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(when) - static_cast<std::int64_t>(base));
}

// errno as text; safe on the worker threads.
std::string reason() { return std::error_code(errno, std::generic_category()).message(); }

// Raw deflate at zlib's default level, then (with a password) the cipher over
// each piece of output, which goes to the sink in order. Feeding the input in
// one piece or many gives the same bytes.
class EntryEncoder {
 public:
  using Sink = std::function<bool(const std::uint8_t*, std::size_t)>;

  EntryEncoder(const std::string& password, Sink sink) : sink_(std::move(sink)) {
    if (!password.empty()) cipher_.emplace(password);
    ready_ = deflateInit2(&stream_, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~EntryEncoder() {
    if (ready_) deflateEnd(&stream_);
  }
  EntryEncoder(const EntryEncoder&) = delete;
  EntryEncoder& operator=(const EntryEncoder&) = delete;

  // The encryption header goes first; its last byte carries the CRC's top.
  bool header(const zipcrypto::HeaderSalt& salt, std::uint32_t crc) {
    if (!cipher_) return true;
    auto bytes = zipcrypto::makeHeader(*cipher_, salt, crc);
    return sink_(bytes.data(), bytes.size());
  }

  // How much output one call for this much input can make at most.
  std::size_t bound(std::size_t input) { return ready_ ? deflateBound(&stream_, input) : 0; }

  bool feed(const std::uint8_t* data, std::size_t count, bool last, std::vector<std::uint8_t>& out) {
    if (!ready_) return false;
    const int flush = last ? Z_FINISH : Z_NO_FLUSH;
    stream_.next_in = const_cast<Bytef*>(data);
    stream_.avail_in = static_cast<uInt>(count);
    int rc;
    do {
      stream_.next_out = out.data();
      stream_.avail_out = static_cast<uInt>(out.size());
      rc = deflate(&stream_, flush);
      if (rc == Z_STREAM_ERROR) return false;
      const std::size_t have = out.size() - stream_.avail_out;
      if (cipher_) cipher_->encrypt(out.data(), have);
      if (have > 0 && !sink_(out.data(), have)) return false;
    } while (stream_.avail_out == 0 || (last && rc != Z_STREAM_END));
    return true;
  }

 private:
  Sink sink_;
  std::optional<zipcrypto::TraditionalCipher> cipher_;
  z_stream stream_{};
  bool ready_ = false;
};

// One entry as the workers hand it to the writing thread.
struct PreparedEntry {
  std::string name;
  fs::path file;
  bool isFolder = false;
  std::uint32_t dateField = 0;
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  // The stored bytes (header, deflate stream, encrypted); empty and
  // `streamed` for a file too large to hold, which the writer reads itself.
  std::vector<std::uint8_t> stored;
  bool streamed = false;
  ZipFailure failure = ZipFailure::None;
  std::string error;
};

// One pass for the CRC that the encryption header needs before the first
// byte of data goes out.
fd::Status checksum(const fs::path& file, std::uint32_t& crc, std::uint64_t& size) {
  zipio::FilePtr in(std::fopen(file.c_str(), "rb"));
  if (!in) return fd::fail("cannot open " + file.string() + ": " + reason());
  std::vector<unsigned char> buffer(ziplimits::kChunkBytes);
  uLong running = crc32(0L, Z_NULL, 0);
  size = 0;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
    running = crc32(running, buffer.data(), static_cast<uInt>(n));
    size += n;
  }
  if (std::ferror(in.get())) return fd::fail("cannot read " + file.string() + ": " + reason());
  crc = static_cast<std::uint32_t>(running);
  return {};
}

// Everything a worker does for one entry: stat, read, CRC, deflate, encrypt.
PreparedEntry prepare(const fs::path& file, const std::string& name, const std::string& password,
                      const zipcrypto::HeaderSalt& salt, std::time_t dateBase) {
  PreparedEntry entry;
  entry.name = name;
  entry.file = file;
  const auto refuse = [&](ZipFailure kind, std::string error) {
    entry.failure = kind;
    entry.error = std::move(error);
    return std::move(entry);
  };
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return refuse(ZipFailure::CannotRead, "cannot read " + file.string() + ": " + reason());
  entry.isFolder = S_ISDIR(st.st_mode);
  entry.dateField = dateFieldFor(st, dateBase);
  const auto size = static_cast<std::uint64_t>(st.st_size);
  if (!entry.isFolder && size >= 0xFFFFFFFFull) {
    return refuse(ZipFailure::CannotRead, file.string() + " is too large for a package entry");
  }
  if (!entry.isFolder && size > kWholeFileBytes) {
    if (auto sum = checksum(file, entry.crc, entry.size); !sum) return refuse(ZipFailure::CannotRead, sum.error());
    entry.streamed = true;
    return entry;
  }
  std::vector<std::uint8_t> content;
  if (!entry.isFolder) {
    // A file that grew since its size was taken is read as one read finds
    // it, still within the size held in memory.
    fd::Expected<fd::Data> read = fd::files::readFile(file, kWholeFileBytes);
    if (!read) return refuse(ZipFailure::CannotRead, "cannot read " + file.string() + ": " + read.error());
    content = std::move(read).value();
  }
  entry.size = content.size();
  entry.crc = static_cast<std::uint32_t>(crc32(crc32(0L, Z_NULL, 0), content.data(), static_cast<uInt>(content.size())));
  EntryEncoder encoder(password, [&](const std::uint8_t* bytes, std::size_t count) {
    entry.stored.insert(entry.stored.end(), bytes, bytes + count);
    return true;
  });
  std::vector<std::uint8_t> out(encoder.bound(content.size()) + 64);
  entry.stored.reserve(out.size() + zipcrypto::kHeaderSize);
  if (!encoder.header(salt, entry.crc) || !encoder.feed(content.data(), content.size(), true, out)) {
    return refuse(ZipFailure::ArchiveWrite, "cannot compress " + name);
  }
  return entry;
}

}  // namespace

const char* describe(ZipFailure failure) {
  switch (failure) {
    case ZipFailure::None: return "no failure";
    case ZipFailure::NotOpen: return "no zip file is open";
    case ZipFailure::CannotOpen: return "not a readable zip file";
    case ZipFailure::CannotRead: return "a file to be added cannot be read";
    case ZipFailure::ArchiveWrite: return "the zip file cannot be written";
    case ZipFailure::PasswordRequired: return "the entry is encrypted and no password was given";
    case ZipFailure::WrongPassword: return "wrong password";
    case ZipFailure::CorruptEntry: return "an entry is damaged (CRC, size or compressed data)";
    case ZipFailure::UnsupportedEntry: return "an entry uses a method that cannot be read";
    case ZipFailure::UnsafeName: return "an entry name points outside the target folder";
    case ZipFailure::LinkEntry: return "an entry is a symbolic link or special file";
    case ZipFailure::TooManyEntries: return "the archive holds too many entries";
    case ZipFailure::TooLarge: return "an entry is larger than any file an archive may hold";
    case ZipFailure::NoRoom: return "the archive unpacks to more than the disk has free";
    case ZipFailure::Overlap: return "entries share stored data or lie outside the archive";
    case ZipFailure::LongName: return "an entry name is longer than a folder holds";
    case ZipFailure::NameClash: return "a file and a folder have one name";
    case ZipFailure::MissingEntry: return "a file the archive must hold is missing";
    case ZipFailure::FileWrite: return "a file or folder cannot be written in the target folder";
    case ZipFailure::Ended: return "the program is ending";
  }
  return "unknown failure";
}

ZipWrapper::ZipWrapper() = default;

// The handles close themselves; a zip still open for writing gets its
// central directory then.
ZipWrapper::~ZipWrapper() = default;

bool ZipWrapper::isDirectory(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_directory(path, ec);
}

std::chrono::system_clock::time_point ZipWrapper::Date1980() {
  std::tm tm{};
  tm.tm_year = 80;
  tm.tm_mon = 0;
  tm.tm_mday = 1;
  tm.tm_isdst = -1;
  return std::chrono::system_clock::from_time_t(std::mktime(&tm));
}

void ZipWrapper::OutputErrorMessage(const std::string& text) {
  if (delegate_ && delegate_->answersErrorMessage()) delegate_->ErrorMessage(text);
}

bool ZipWrapper::OverWrite(const std::filesystem::path& path) {
  if (delegate_ && delegate_->answersOverWriteOperation()) return delegate_->OverWriteOperation(path);
  return true;
}

fd::Failure ZipWrapper::refuse(ZipFailure kind, const std::string& detail, ZipConcern concern) {
  lastFailure_ = kind;
  lastError_ = detail.empty() ? std::string(describe(kind)) : std::string(describe(kind)) + ": " + detail;
  lastConcern_ = std::move(concern);
  return fd::fail(lastError_, lastConcern_.error);
}

bool ZipWrapper::answer(const fd::Status& status) { return status.ok(); }

bool ZipWrapper::CreateZipFile2(const std::filesystem::path& path) {
  if (zip_) {
    const std::string keep = password_;
    CloseZipFile2();
    password_ = keep;
  }
  lastFailure_ = ZipFailure::None;
  lastError_.clear();
  auto made = zipio::createZip(path);
  if (!made) return answer(refuse(ZipFailure::CannotOpen, made.error(), {{}, 0, made.errorNumber()}));
  zip_ = std::move(*made);
  return true;
}

bool ZipWrapper::CreateZipFile2(const std::filesystem::path& path, const std::string& password) {
  if (zip_) CloseZipFile2();
  password_ = password;
  return CreateZipFile2(path);
}

void ZipWrapper::seedHeaderSource(std::uint32_t seed) { headerSource_ = zipcrypto::HeaderSource(seed); }

bool ZipWrapper::CloseZipFile2() {
  password_.clear();
  if (!zip_) return answer(refuse(ZipFailure::NotOpen, ""));
  if (zip_.close() && zip_.writeError() == 0) return true;
  return answer(refuse(ZipFailure::ArchiveWrite, "the central directory cannot be written", {{}, 0, zip_.writeError()}));
}

bool ZipWrapper::addFileToZip(const std::filesystem::path& file, const std::string& newname) {
  return addFilesToZip({{file, newname}});
}

bool ZipWrapper::addFilesToZip(const std::vector<std::pair<fs::path, std::string>>& files) {
  if (!zip_) return answer(refuse(ZipFailure::NotOpen, ""));
  lastFailure_ = ZipFailure::None;
  lastError_.clear();
  return answer(addFiles(files));
}

namespace {

// The writing thread's part for one entry: a raw entry in minizip with the
// precomputed CRC and size; its stored bytes were made by a worker, or are
// made here for a large file.
fd::Status writeEntry(zipFile zip, PreparedEntry& entry, const std::string& password,
                      const zipcrypto::HeaderSalt& salt, ZipFailure& kind) {
  zip_fileinfo info{};
  info.dosDate = entry.dateField;
  const bool encrypted = !password.empty();
  if (zipOpenNewFileInZip4(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                           Z_DEFAULT_COMPRESSION, /*raw=*/1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                           /*password=*/nullptr, 0, kVersionMadeBy, encrypted ? kFlagEncrypted : 0) != ZIP_OK) {
    kind = ZipFailure::ArchiveWrite;
    return fd::fail("cannot start entry " + entry.name);
  }
  const auto write = [zip](const std::uint8_t* bytes, std::size_t count) {
    while (count > 0) {
      const unsigned piece = static_cast<unsigned>(std::min<std::size_t>(count, 1u << 30));
      if (zipWriteInFileInZip(zip, bytes, piece) != ZIP_OK) return false;
      bytes += piece;
      count -= piece;
    }
    return true;
  };
  bool written = true;
  fd::Status status;
  if (!entry.streamed) {
    written = write(entry.stored.data(), entry.stored.size());
  } else {
    // A file that changed since its CRC was taken would carry a wrong one.
    zipio::FilePtr in(std::fopen(entry.file.c_str(), "rb"));
    EntryEncoder encoder(password, write);
    std::vector<std::uint8_t> input(ziplimits::kChunkBytes), output(ziplimits::kChunkBytes);
    uLong crc = crc32(0L, Z_NULL, 0);
    std::uint64_t size = 0;
    bool readFailed = !in;
    written = !readFailed && encoder.header(salt, entry.crc);
    while (written && !readFailed) {
      const std::size_t n = std::fread(input.data(), 1, input.size(), in.get());
      readFailed = n == 0 && std::ferror(in.get());
      crc = crc32(crc, input.data(), static_cast<uInt>(n));
      size += n;
      written = encoder.feed(input.data(), n, n == 0, output);
      if (n == 0) break;
    }
    if (readFailed || size != entry.size || static_cast<std::uint32_t>(crc) != entry.crc) {
      kind = ZipFailure::CannotRead;
      status = fd::fail(entry.file.string() + " changed or could not be read while it was packed");
    }
  }
  const bool closed = zipCloseFileInZipRaw(zip, static_cast<uLong>(entry.size), entry.crc) == ZIP_OK;
  if (!status) return status;
  if (!written || !closed) {
    kind = ZipFailure::ArchiveWrite;
    return fd::fail("cannot write entry " + entry.name);
  }
  return {};
}

}  // namespace

fd::Status ZipWrapper::addFiles(const std::vector<std::pair<fs::path, std::string>>& files) {
  // Salts are drawn here in entry order, so that a seeded source gives the
  // same archive whichever thread compresses which entry.
  std::vector<zipcrypto::HeaderSalt> salts(files.size());
  if (!password_.empty()) {
    for (auto& salt : salts) salt = headerSource_.next();
  }
  auto* zip = static_cast<zipFile>(zip_.get());
  const std::string password = password_;
  // The time zone is read here, once, rather than on every worker.
  const std::time_t dateBase = std::chrono::system_clock::to_time_t(Date1980());
  fd::Status outcome;
  const std::size_t threads = orderedwork::threadsFor(files.size());
  orderedwork::run<PreparedEntry>(
      files.size(), threads, threads * kAheadPerThread,
      [&] {
        return [&](std::size_t i) { return prepare(files[i].first, files[i].second, password, salts[i], dateBase); };
      },
      [&](std::size_t i, PreparedEntry& entry) {
        if (fd::endAsked()) {
          outcome = refuse(ZipFailure::Ended, "");
          return false;
        }
        if (entry.failure != ZipFailure::None) {
          outcome = refuse(entry.failure, entry.error, {files[i].second});
          return false;
        }
        ZipFailure kind = ZipFailure::None;
        if (auto written = writeEntry(zip, entry, password, salts[i], kind); !written) {
          outcome = refuse(kind, written.error(), {files[i].second, 0, kind == ZipFailure::ArchiveWrite ? zip_.writeError() : 0});
          return false;
        }
        if (const int error = zip_.writeError()) {
          outcome = refuse(ZipFailure::ArchiveWrite, "cannot write entry " + files[i].second, {files[i].second, 0, error});
          return false;
        }
        fd::crashPoint("zip.entry-written");
        return true;
      });
  return outcome;
}

namespace {

// The folder's entry, then its items sorted by name, folders depth first.
fd::Status listFolder(const fs::path& folder, const std::string& name,
                      std::vector<std::pair<fs::path, std::string>>& into) {
  const std::string prefix = name + "/";
  into.emplace_back(folder, prefix);
  std::error_code ec;
  std::vector<std::string> items;
  for (const auto& entry : fs::directory_iterator(folder, ec)) items.push_back(entry.path().filename().string());
  if (ec) return fd::fail("cannot list " + folder.string() + ": " + ec.message());
  std::sort(items.begin(), items.end());
  for (const std::string& item : items) {
    const fs::path full = folder.string() + "/" + item;
    // Only real folders are descended into, so a link to an ancestor cannot
    // make the walk endless.
    if (fs::is_directory(fs::symlink_status(full, ec))) {
      if (auto listed = listFolder(full, prefix + item, into); !listed) return listed;
    } else {
      into.emplace_back(full, prefix + item);
    }
  }
  return {};
}

}  // namespace

bool ZipWrapper::addFolderToZip(const std::filesystem::path& folder, const std::string& newname) {
  if (!zip_) return answer(refuse(ZipFailure::NotOpen, ""));
  std::vector<std::pair<fs::path, std::string>> files;
  // Entries listed before an unreadable folder still go in, as one by one.
  const fd::Status listed = listFolder(folder, newname, files);
  if (!addFilesToZip(files)) return false;
  return listed ? true : answer(refuse(ZipFailure::CannotRead, listed.error()));
}
