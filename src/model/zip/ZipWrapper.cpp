#include "model/zip/ZipWrapper.h"

#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

#include "model/zip/TraditionalCipher.h"
#include "model/zip/ZipLimits.h"

namespace {

// Bit 0 of an entry's general-purpose flag: the entry is encrypted.
constexpr unsigned long kFlagEncrypted = 1;
// Entries are written as made by MS-DOS with no attributes, as always.
constexpr unsigned long kVersionMadeBy = 0;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Whole seconds from Date1980 to the file's modification time, cut to the
// 32 bits of the entry's date field.
std::uint32_t dateFieldFor(const struct stat& st) {
  const std::time_t base = std::chrono::system_clock::to_time_t(ZipWrapper::Date1980());
  const std::time_t when = st.st_mtime != 0 ? st.st_mtime : std::time(nullptr);
  return static_cast<std::uint32_t>(static_cast<std::int64_t>(when) - static_cast<std::int64_t>(base));
}

zip_fileinfo entryInfo(std::uint32_t dateField) {
  zip_fileinfo info{};
  info.dosDate = dateField;
  return info;
}

// One pass over the file for the CRC that the encryption header needs before
// the first byte of data goes out.
bool checksum(const std::filesystem::path& file, std::uint32_t& crc, std::uint64_t& size) {
  FilePtr in(std::fopen(file.c_str(), "rb"));
  if (!in) return false;
  std::vector<unsigned char> buffer(ziplimits::kChunkBytes);
  uLong running = crc32(0L, Z_NULL, 0);
  size = 0;
  std::size_t n;
  while ((n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
    running = crc32(running, buffer.data(), static_cast<uInt>(n));
    size += n;
  }
  if (std::ferror(in.get())) return false;
  crc = static_cast<std::uint32_t>(running);
  return true;
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
    case ZipFailure::TooLarge: return "the archive expands beyond the allowed size";
    case ZipFailure::FileWrite: return "a file or folder cannot be written in the target folder";
  }
  return "unknown failure";
}

ZipWrapper::ZipWrapper() = default;

ZipWrapper::~ZipWrapper() {
  CloseZipFile2();
  UnzipCloseFile();
}

bool ZipWrapper::fail(ZipFailure failure) {
  lastFailure_ = failure;
  return false;
}

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

bool ZipWrapper::CreateZipFile2(const std::filesystem::path& path) {
  if (zipFile_ != nullptr) {
    const std::string keep = password_;
    CloseZipFile2();
    password_ = keep;
  }
  lastFailure_ = ZipFailure::None;
  zipFile_ = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
  return zipFile_ != nullptr ? true : fail(ZipFailure::CannotOpen);
}

bool ZipWrapper::CreateZipFile2(const std::filesystem::path& path, const std::string& password) {
  if (zipFile_ != nullptr) CloseZipFile2();
  password_ = password;
  return CreateZipFile2(path);
}

bool ZipWrapper::CloseZipFile2() {
  password_.clear();
  if (zipFile_ == nullptr) return fail(ZipFailure::NotOpen);
  const int rc = zipClose(static_cast<zipFile>(zipFile_), nullptr);
  zipFile_ = nullptr;
  return rc == ZIP_OK ? true : fail(ZipFailure::ArchiveWrite);
}

bool ZipWrapper::addFileToZip(const std::filesystem::path& file, const std::string& newname) {
  if (zipFile_ == nullptr) return fail(ZipFailure::NotOpen);
  lastFailure_ = ZipFailure::None;
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0) return fail(ZipFailure::CannotRead);
  const bool isFolder = S_ISDIR(st.st_mode);
  if (!isFolder && static_cast<std::uint64_t>(st.st_size) >= 0xFFFFFFFFull) return fail(ZipFailure::CannotRead);
  const std::uint32_t dateField = dateFieldFor(st);
  return password_.empty() ? addPlainEntry(file, isFolder, newname, dateField)
                           : addEncryptedEntry(file, isFolder, newname, dateField);
}

namespace {

// A folder entry has no content to read; a file that can't be opened fails it.
bool openEntrySource(const std::filesystem::path& file, bool isFolder, FilePtr& in) {
  if (isFolder) return true;
  in.reset(std::fopen(file.c_str(), "rb"));
  return in != nullptr;
}

}  // namespace

bool ZipWrapper::addPlainEntry(const std::filesystem::path& file, bool isFolder, const std::string& name,
                               std::uint32_t dateField) {
  FilePtr in;
  if (!openEntrySource(file, isFolder, in)) return fail(ZipFailure::CannotRead);
  auto* zip = static_cast<zipFile>(zipFile_);
  const zip_fileinfo info = entryInfo(dateField);
  if (zipOpenNewFileInZip(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                          Z_DEFAULT_COMPRESSION) != ZIP_OK) {
    return fail(ZipFailure::ArchiveWrite);
  }
  bool ok = true;
  if (in) {
    std::vector<unsigned char> buffer(ziplimits::kChunkBytes);
    std::size_t n;
    while (ok && (n = std::fread(buffer.data(), 1, buffer.size(), in.get())) > 0) {
      ok = zipWriteInFileInZip(zip, buffer.data(), static_cast<unsigned>(n)) == ZIP_OK;
    }
    if (ok && std::ferror(in.get())) {
      zipCloseFileInZip(zip);
      return fail(ZipFailure::CannotRead);
    }
  }
  const bool closed = zipCloseFileInZip(zip) == ZIP_OK;
  return ok && closed ? true : fail(ZipFailure::ArchiveWrite);
}

// Debian's minizip is built without its cipher, so encrypted entries are made
// here: raw deflate, then the traditional cipher, handed to minizip as a raw
// entry whose size and CRC are given on closing.
bool ZipWrapper::addEncryptedEntry(const std::filesystem::path& file, bool isFolder, const std::string& name,
                                   std::uint32_t dateField) {
  std::uint32_t crc = static_cast<std::uint32_t>(crc32(0L, Z_NULL, 0));
  std::uint64_t size = 0;
  if (!isFolder && !checksum(file, crc, size)) return fail(ZipFailure::CannotRead);
  FilePtr in;
  if (!openEntrySource(file, isFolder, in)) return fail(ZipFailure::CannotRead);

  auto* zip = static_cast<zipFile>(zipFile_);
  const zip_fileinfo info = entryInfo(dateField);
  if (zipOpenNewFileInZip4(zip, name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr, Z_DEFLATED,
                           Z_DEFAULT_COMPRESSION, /*raw=*/1, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY,
                           /*password=*/nullptr, 0, kVersionMadeBy, kFlagEncrypted) != ZIP_OK) {
    return fail(ZipFailure::ArchiveWrite);
  }

  zipcrypto::TraditionalCipher cipher(password_);
  auto header = zipcrypto::makeHeader(cipher, crc);
  bool ok = zipWriteInFileInZip(zip, header.data(), static_cast<unsigned>(header.size())) == ZIP_OK;

  z_stream stream{};
  ok = ok && deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK;
  std::vector<unsigned char> input(ziplimits::kChunkBytes), output(ziplimits::kChunkBytes);
  uLong secondCrc = crc32(0L, Z_NULL, 0);
  std::uint64_t secondSize = 0;
  bool readFailed = false;
  int flush = Z_NO_FLUSH;
  while (ok && flush != Z_FINISH) {
    std::size_t n = in ? std::fread(input.data(), 1, input.size(), in.get()) : 0;
    if (n == 0) {
      readFailed = in && std::ferror(in.get());
      flush = Z_FINISH;
    }
    secondCrc = crc32(secondCrc, input.data(), static_cast<uInt>(n));
    secondSize += n;
    stream.next_in = input.data();
    stream.avail_in = static_cast<uInt>(n);
    do {
      stream.next_out = output.data();
      stream.avail_out = static_cast<uInt>(output.size());
      const int rc = deflate(&stream, flush);
      if (rc == Z_STREAM_ERROR) {
        ok = false;
        break;
      }
      const std::size_t have = output.size() - stream.avail_out;
      cipher.encrypt(output.data(), have);
      if (have > 0 && zipWriteInFileInZip(zip, output.data(), static_cast<unsigned>(have)) != ZIP_OK) ok = false;
    } while (ok && stream.avail_out == 0);
  }
  deflateEnd(&stream);
  // A file that changed between the two passes would carry a wrong CRC.
  const bool sameContent = !readFailed && secondSize == size && static_cast<std::uint32_t>(secondCrc) == crc;
  const bool closed = zipCloseFileInZipRaw(zip, static_cast<uLong>(size), crc) == ZIP_OK;
  if (!sameContent) return fail(ZipFailure::CannotRead);
  return ok && closed ? true : fail(ZipFailure::ArchiveWrite);
}

bool ZipWrapper::addFolderToZip(const std::filesystem::path& folder, const std::string& newname) {
  const std::string prefix = newname + "/";
  if (!addFileToZip(folder, prefix)) return false;
  std::error_code ec;
  std::vector<std::string> items;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    items.push_back(entry.path().filename().string());
  }
  if (ec) return fail(ZipFailure::CannotRead);
  std::sort(items.begin(), items.end());
  for (const std::string& item : items) {
    const std::filesystem::path full = folder.string() + "/" + item;
    // Only real folders are descended into, so a link to an ancestor cannot
    // make the walk endless.
    const bool realFolder = std::filesystem::is_directory(std::filesystem::symlink_status(full, ec));
    const bool ok = realFolder ? addFolderToZip(full, prefix + item) : addFileToZip(full, prefix + item);
    if (!ok) return false;
  }
  return true;
}
