#pragma once
// The program's one way into zip files: writes a new archive file by file,
// optionally password-protected, and extracts a whole archive into a folder,
// refusing entries that would land outside it or expand without bound.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/zip/TraditionalCipher.h"
#include "model/zip/ZipHandles.h"
#include "platform/foundation/Expected.h"

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
  TooLarge,           // an entry larger than any file ZipLimits.h lets an archive hold
  NoRoom,             // the files unpacked would take more than the disk has free
  Overlap,            // entries share stored bytes, or lie outside the archive
  LongName,           // a name, or a part of one, longer than a folder can hold
  NameClash,          // a file and a folder of one name
  MissingEntry,       // the file the caller requires is not in the directory
  FileWrite,          // the target folder refused a file or folder
  Ended,              // the program was asked to end between two entries
};
const char* describe(ZipFailure failure);

// What the last failure concerned, for the words a user is told: the entry
// (as the archive names it), the bound the archive went past (a count of
// entries, or bytes once unpacked), the system's error number of a write it
// refused (ENOSPC on a full disk). Empty or 0 where none applies.
struct ZipConcern {
  std::string entry;
  std::uint64_t bound = 0;
  int error = 0;
};

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
  // Adds files as entries in the order given, as addFileToZip one after the
  // other would, stopping at the first failure or once the program is asked
  // to end (fd::endAsked). Entries are compressed and
  // encrypted on several threads and written in order: the archive's bytes
  // are those of the one-by-one calls.
  bool addFilesToZip(const std::vector<std::pair<std::filesystem::path, std::string>>& files);
  bool CloseZipFile2();
  // Encryption headers drawn from a seeded source make an archive's bytes
  // reproducible; unseeded they are unpredictable.
  void seedHeaderSource(std::uint32_t seed);

  // Reading.
  bool UnzipOpenFile(const std::filesystem::path& path);
  bool UnzipOpenFile(const std::filesystem::path& path, const std::string& password);
  // Extracts every entry below folder. The whole directory is judged first
  // (names, links, counts, sizes): a hostile archive writes nothing. Entries
  // are inflated on several threads into temporary files, each moved to its
  // name in archive order only once its CRC and size check out, so a failing
  // entry leaves no partial file and no later entry in place. An end asked
  // (fd::endAsked) stops it between two entries.
  // A `required` file name the directory does not list, the files' total
  // past the free space of folder's disk, are refused before anything is
  // written too.
  bool UnzipFileTo(const std::filesystem::path& folder, bool overWrite, std::string_view required = {});
  // Judges the open archive's directory as UnzipFileTo does before it writes
  // anything (but for the free space): NO, with the failure UnzipFileTo
  // would give, when it would refuse the archive whole.
  bool checkDirectory(std::string_view required = {});
  std::vector<std::string> getZipFileContents();
  bool UnzipCloseFile();

  static bool isDirectory(const std::filesystem::path& path);
  // 1980-01-01 00:00 in the local time zone: the base of entry dates.
  static std::chrono::system_clock::time_point Date1980();

  void OutputErrorMessage(const std::string& text);
  bool OverWrite(const std::filesystem::path& path);

  const std::shared_ptr<ZipWrapperDelegate>& delegate() const { return delegate_; }
  void setDelegate(std::shared_ptr<ZipWrapperDelegate> delegate) { delegate_ = std::move(delegate); }

  // Why the last operation answered NO: its kind, and a readable message
  // naming the entry or file concerned.
  ZipFailure lastFailure() const { return lastFailure_; }
  const std::string& lastError() const { return lastError_; }
  const ZipConcern& lastConcern() const { return lastConcern_; }

  // One entry as the directory describes it, judged before extraction.
  struct EntryPlan {
    std::string name;
    bool isFolder = false;
    unsigned long flag = 0;
    int method = 0;
    std::uint64_t compressedSize = 0;
    std::uint64_t uncompressedSize = 0;
    std::uint32_t crc = 0;
    std::uint32_t dateField = 0;
    std::optional<std::int64_t> unixTime;
    // Where the entry's local header is in the archive file, and where the
    // next entry's (or the directory) begins: its stored bytes lie between.
    std::uint64_t localHeader = 0;
    std::uint64_t end = 0;
  };

 private:
  // A failure of the given kind with a message; remembered as the last one.
  fd::Failure refuse(ZipFailure kind, const std::string& detail, ZipConcern concern = {});
  bool answer(const fd::Status& status);
  fd::Status addFiles(const std::vector<std::pair<std::filesystem::path, std::string>>& files);
  // The entries of the open archive's directory, judged whole; `total`, the
  // bytes its files unpack to; `folderBytes`, the length of the path they go
  // below.
  fd::Status planExtraction(std::vector<EntryPlan>& plans, std::uint64_t& total, std::size_t folderBytes,
                            std::string_view required);
  // Gives each entry the end of the room its stored bytes may take, refusing
  // entries that overlap one another or the directory at directoryStart.
  fd::Status placeStoredBytes(std::vector<EntryPlan>& plans, std::uint64_t directoryStart);
  fd::Status extractAll(const std::vector<EntryPlan>& plans, const std::filesystem::path& folder, bool overWrite);
  // Makes the entry's folders and, for a file that may be written, hands its
  // target path to moveInto; then sets the modification time.
  fd::Status placeEntry(const EntryPlan& plan, const std::filesystem::path& folder, bool overWrite,
                        const std::function<fd::Status(const std::filesystem::path&)>& moveInto);

  zipio::ZipWriteHandle zip_;
  zipio::UnzipHandle unz_;
  std::filesystem::path unzPath_;
  std::string password_;
  std::uint64_t archiveBytes_ = 0;
  zipcrypto::HeaderSource headerSource_;
  std::shared_ptr<ZipWrapperDelegate> delegate_;
  ZipFailure lastFailure_ = ZipFailure::None;
  std::string lastError_;
  ZipConcern lastConcern_;
};
