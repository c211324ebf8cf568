#pragma once
// The program's one way into zip files: writes a new archive file by file,
// optionally password-protected, and extracts a whole archive into a folder,
// refusing entries that would land outside it or expand without bound.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Optional receiver of the wrapper's reports. A delegate that does not answer
// a message keeps the wrapper's default (no report; overwriting allowed).
class ZipWrapperDelegate {
 public:
  virtual ~ZipWrapperDelegate() = default;
  virtual bool answersErrorMessage() const { return false; }
  virtual void ErrorMessage(const std::string& message) { (void)message; }
  virtual bool answersOverWriteOperation() const { return false; }
  virtual bool OverWriteOperation(const std::filesystem::path& path) {
    (void)path;
    return true;
  }
};

// Why the last operation answered NO; the texts sent to the delegate stay
// the short ones callers have always seen.
enum class ZipFailure {
  None,
  NotOpen,            // no archive open on that side
  CannotOpen,         // missing file, or not a zip (truncated, no directory)
  CannotRead,         // a source file could not be read while adding
  ArchiveWrite,       // the zip layer refused a write or close
  PasswordRequired,   // an encrypted entry and no password set
  WrongPassword,      // header check, CRC or inflate failed after decryption
  CorruptEntry,       // CRC, size or inflate failure of an unencrypted entry
  UnsupportedEntry,   // compression method or encryption we cannot read
  UnsafeName,         // traversal, absolute, drive-letter or malformed name
  LinkEntry,          // a symbolic link (or other non-file) entry
  TooManyEntries,
  TooLarge,           // expanded total beyond the bounds of ZipLimits.h
  FileWrite,          // the target folder refused a file or folder
};
const char* describe(ZipFailure failure);

class ZipWrapper {
 public:
  ZipWrapper();
  ~ZipWrapper();
  ZipWrapper(const ZipWrapper&) = delete;
  ZipWrapper& operator=(const ZipWrapper&) = delete;

  // Writing.
  bool CreateZipFile2(const std::filesystem::path& path);
  bool CreateZipFile2(const std::filesystem::path& path, const std::string& password);
  bool addFileToZip(const std::filesystem::path& file, const std::string& newname);
  bool addFolderToZip(const std::filesystem::path& folder, const std::string& newname);
  bool CloseZipFile2();

  // Reading.
  bool UnzipOpenFile(const std::filesystem::path& path);
  bool UnzipOpenFile(const std::filesystem::path& path, const std::string& password);
  // Extracts every entry below folder. The whole directory is judged first
  // (names, links, counts, sizes): a hostile archive writes nothing. Each file
  // is written under a temporary name and renamed only once its CRC and size
  // check out, so a failing entry leaves no partial file.
  bool UnzipFileTo(const std::filesystem::path& folder, bool overWrite);
  std::vector<std::string> getZipFileContents();
  bool UnzipCloseFile();

  static bool isDirectory(const std::filesystem::path& path);
  // 1980-01-01 00:00 in the local time zone: the base of entry dates.
  static std::chrono::system_clock::time_point Date1980();

  void OutputErrorMessage(const std::string& text);
  bool OverWrite(const std::filesystem::path& path);

  const std::shared_ptr<ZipWrapperDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<ZipWrapperDelegate> delegate) { delegate_ = std::move(delegate); }

  ZipFailure lastFailure() const { return lastFailure_; }

 private:
  struct EntryPlan;
  bool fail(ZipFailure failure);
  bool addEncryptedEntry(const std::filesystem::path& file, bool isFolder, const std::string& name,
                         std::uint32_t dateField);
  bool addPlainEntry(const std::filesystem::path& file, bool isFolder, const std::string& name,
                     std::uint32_t dateField);
  bool planExtraction(std::vector<EntryPlan>& plans);
  bool extractEntry(const EntryPlan& plan, const std::filesystem::path& folder, bool overWrite);
  bool streamEntryTo(const EntryPlan& plan, int fd);

  void* zipFile_ = nullptr;  // minizip zipFile
  void* unzFile_ = nullptr;  // minizip unzFile
  std::string password_;
  std::uint64_t archiveBytes_ = 0;
  std::shared_ptr<ZipWrapperDelegate> delegate_;
  ZipFailure lastFailure_ = ZipFailure::None;
};
