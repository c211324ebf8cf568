#pragma once
// File helpers on std::filesystem with the phone's file-manager manners:
// boolean results, no exceptions, copies and moves that refuse to overwrite.
#include <cerrno>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Expected.h"
#include "platform/foundation/Value.h"

namespace fd::files {

namespace fs = std::filesystem;

bool exists(const fs::path& p);
bool isDirectory(const fs::path& p);
bool createDirectory(const fs::path& p);  // with parents; true if it already exists
// Files and folders (recursive). Refuse (false) when the destination exists.
// A failure the file system answered leaves its error in `why` when given
// (ENOSPC for a full disk), and nothing of the copy behind.
bool copyItem(const fs::path& from, const fs::path& to, std::error_code* why = nullptr);
// One regular file to a new path, its mode kept: empty, or the error the file
// system gave (ENOSPC on a full disk, where a plain copy says only that it
// could not finish). A file left half written is the caller's to remove.
std::error_code copyFile(const fs::path& from, const fs::path& to);
// Copies what the folder `from` holds into the folder `into`, entry by entry,
// links as links, each file as copyFile copies it: empty once whole, else why
// it stopped, at the first entry that cannot be copied (a pipe, a socket: ENOTSUP;
// a full disk: ENOSPC) or once `goOn`, asked after each entry, answers false
// (ECANCELED). What was copied stays for the caller to remove.
std::error_code copyContents(const fs::path& from, const fs::path& into, const std::function<bool()>& goOn);
// A second name `to` for the file `from`, as linkat(2) makes it, each name
// within the folder open as the descriptor before it (AT_FDCWD: the working
// folder); 0, or why not as an error number. Tests' write fault answers for
// it by the path `toFolder` / `to`, as a file system refusing links would.
int linkFile(int fromFolder, const std::string& from, int toFolder, const std::string& to,
             const fs::path& toFolderPath);
bool moveItem(const fs::path& from, const fs::path& to, std::error_code* why = nullptr);
// A file descriptor closed when its owner goes.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& o) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd();
  int get() const { return fd_; }
  // The descriptor, no longer closed here.
  int release() { return std::exchange(fd_, -1); }

 private:
  int fd_ = -1;
};
// Writes every byte, going on after a signal or a short write; false, errno
// saying why (EIO for a write that took nothing), at the first refusal.
// Tests may make its writes short (setShortWritesForTesting).
bool writeAll(int fd, const void* bytes, std::size_t size);
// The same, for a writer of its own writing the file `file`: a test's fault
// for that file answers in place of the real writes, as it does for the file
// layer's own.
bool writeAll(int fd, const void* bytes, std::size_t size, const fs::path& file);

// Renames a file or folder to a name that must be free, never over anything
// there, not even a file that appears meanwhile: 0 when it moved, EEXIST when
// the name is taken, otherwise the error number the folder refused it with.
int renameToFreeName(const fs::path& from, const fs::path& to);
bool removeItem(const fs::path& p);  // recursive; false when nothing was there
// Names directly inside a folder, sorted.
std::vector<std::string> contentsOfDirectory(const fs::path& dir);
// Every file and folder below, as paths relative to dir ("a", "a/b.png"), sorted.
std::vector<std::string> subpaths(const fs::path& dir);
std::optional<std::uintmax_t> fileSize(const fs::path& p);
// What tells one version of a file from the next: a file replaced under its
// name, or written in place, has another stamp. nullopt when nothing is there.
struct FileStamp {
  std::uint64_t device = 0, inode = 0, size = 0;
  std::int64_t modifiedNs = 0, changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> fileStamp(const fs::path& p);

// The whole of a regular file, held to at most maxBytes: a larger file is
// refused by its size before a byte is read, and one that grows while it is
// read is refused once it passes the bound, so no file can make the reader
// take more memory than the bound. The failure says why in words ("the file
// is 3.0 GiB, larger than the 64 MiB it may be"; one just past the bound "64 MiB
// and 1 byte").
Expected<Data> readFile(const fs::path& p, std::uintmax_t maxBytes);
// Why the file system refused a write, as the user can act on it ("the disk
// is full" for ENOSPC, "the disk space allowed to you is used up" for
// EDQUOT); nullptr for an error no user words are kept for.
const char* describeWriteError(int error);
// A size as a person reads it, in units of 1024 named so: "512 bytes",
// "64 MiB", "3.0 GiB" (an address-space limit set as 593920 KiB is 580 MiB,
// as ulimit counts it).
std::string describeSize(std::uintmax_t bytes);
// A size past a bound, told so that it reads larger than the bound: one that
// rounds to the bound ("64.0 MiB" past "64 MiB") is told as the bound and
// what it has over it ("64 MiB and 1 byte").
std::string describeSizePast(std::uintmax_t bytes, std::uintmax_t bound);
// What a write does when the file already holds the very bytes it would put
// down: writes them again, or leaves the file as it is and succeeds (a state
// file saved again and again unchanged, a long project's list among them).
enum class IfSame { Write, Keep };
// Temp file in the same folder, fsync, rename: the old file survives a failure.
// The temp file is "." + the file's name + "." + six letters or digits, and is
// locked while the write is in flight.
bool writeFileAtomically(const fs::path& p, const void* bytes, std::size_t size);
bool writeFileAtomically(const fs::path& p, const Data& bytes);
bool writeFileAtomically(const fs::path& p, const std::string& text);
// The same write, with the reason of a failure in words ("cannot write
// <path>: No space left on device").
Status writeFileAtomicallyReporting(const fs::path& p, const void* bytes, std::size_t size,
                                    IfSame same = IfSame::Write);
Status writeFileAtomicallyReporting(const fs::path& p, const Data& bytes);
// Whether p is a file holding exactly these bytes, read no further than
// their size: a write of them would change nothing on disk.
bool holdsBytes(const fs::path& p, const void* bytes, std::size_t size);

// The same write in two steps, for files that belong together: each is
// staged (written under its temporary name, flushed to disk, still locked),
// then all are committed at once (renamed over their targets, and each
// folder they went to flushed once instead of once a file). A staged file
// dropped without a commit takes its temporary file with it.
class StagedFile {
 public:
  StagedFile(StagedFile&& other) noexcept;
  StagedFile& operator=(StagedFile&& other) noexcept;
  ~StagedFile();
  const fs::path& target() const { return target_; }

 private:
  friend Expected<StagedFile> stageFile(const fs::path& p, const void* bytes, std::size_t size, IfSame same);
  friend Status commitFiles(std::vector<StagedFile> files);
  StagedFile(fs::path target, std::string temp, int fd);
  void discard();
  fs::path target_;
  std::string temp_;
  int fd_ = -1;
  // What a test's fault answers for the rename and the close that end the write.
  int renameFault_ = 0;
  int closeFault_ = 0;
};
Expected<StagedFile> stageFile(const fs::path& p, const void* bytes, std::size_t size, IfSame same = IfSame::Write);
// Every file is tried; the first failure is answered.
Status commitFiles(std::vector<StagedFile> files);

// A file another writer fills by its path (a zip writer opening it itself)
// that takes its name only whole, wherever its folder is: it is made beside
// the target under writeFileAtomically's temp-file name, private and locked
// while in flight (so removeAtomicWriteLeftovers leaves it, and takes it once
// a kill left it), and renamed to the target, never over anything there. It
// is removed when dropped unplaced.
class FileInFlight {
 public:
  // Not valid() when it cannot be made.
  explicit FileInFlight(const fs::path& target);
  FileInFlight(const FileInFlight&) = delete;
  FileInFlight& operator=(const FileInFlight&) = delete;
  ~FileInFlight();
  bool valid() const { return fd_.get() >= 0; }
  // Where the writer writes.
  const fs::path& path() const { return temp_; }
  // Flushed to disk and given the target's name, then readable by others as
  // the program's files are: 0, EEXIST when the name was taken meanwhile, or
  // the error number the folder refused it with.
  int place();

 private:
  fs::path target_, temp_;
  UniqueFd fd_;
};

// A file that must not be written over (one that could not be read and could
// not be kept aside): every atomic write to it fails, saying `reason`, until
// `release` (tried at each write first) answers true, when it has moved the
// file away or found it gone, its failure carrying kHeldFromWriting. A later
// hold of the same file replaces this one.
inline constexpr int kHeldFromWriting = EBUSY;
void holdFromWriting(const fs::path& p, std::string reason, std::function<bool()> release);

// Tests: every atomic write and copy to a file for which `fault` answers an
// error number (not 0) fails with it, as writes to a full disk do, and an
// atomic write leaves the file as it was. The fault is asked once a file;
// its error is the result of the real calls it stands at, in place of
// theirs, so that a writer that drops a call's result is caught by the test:
// at `Bytes`, each call that puts the bytes down (a write, a copy, the flush)
// and a rename to a free name (renameToFreeName) or link (linkFile), neither
// made; at `Rename`, the rename that gives a staged file, or one to a free
// name, its name once its bytes are down (not made); at `Close`, the close
// that ends the write once the bytes are down (made all the same), as a file
// system that writes behind tells a full disk. An empty function ends it.
enum class FaultAt { Bytes, Rename, Close };
void setWriteFaultForTesting(std::function<int(const fs::path& file)> fault, FaultAt at = FaultAt::Bytes);
// Tests: while `most` is not 0, each write and copy of the file layer's,
// writeAll's among them, takes at most that many bytes, as writes a signal
// cuts short do, and the writer must go on with the rest. 0 ends it.
void setShortWritesForTesting(std::size_t most);
// The error the test's fault answers for a write to this file, wherever it
// stands, 0 when none (always 0 in the program). Writers of their own (the
// zip writer) ask it before writing.
int injectedWriteError(const fs::path& file);
// The error the test's fault stands at for calls of the given kind on this
// file, 0 for none: what a writer of its own hands `through` at each call.
int injectedWriteError(const fs::path& file, FaultAt call);
// The one door of every write: each real call that puts a file's bytes
// down, ends its write or gives it its name passes here, and answers its own
// result, or, where a test's fault `injected` an error for it, -1 with errno
// that error, the call not made, as a full disk takes nothing.
template <class Call>
auto through(int injected, Call&& call) -> decltype(call()) {
  if (injected == 0) return call();
  errno = injected;
  return static_cast<decltype(call())>(-1);
}

// Six letters or digits, as mkstemp and mkdtemp fill in the end of a
// temporary name.
bool isUniqueTempSuffix(std::string_view suffix);
// The name of the file a temp file of writeFileAtomically was to become, for
// a name of that pattern ("" otherwise).
std::string atomicWriteTarget(std::string_view tempName);
// Removes, directly inside dir, the temp files that writes killed before their
// rename left behind, for targets that `ownTarget` accepts; temp files of
// writes still in flight (in any process) are left alone. Answers how many went.
int removeAtomicWriteLeftovers(const fs::path& dir, const std::function<bool(std::string_view target)>& ownTarget);
// The same, among the names of dir the caller has listed already.
int removeAtomicWriteLeftovers(const fs::path& dir, const std::vector<std::string>& names,
                               const std::function<bool(std::string_view target)>& ownTarget);
// The same for one file's own writes: what its reader does before it first
// reads a state file of its own folder (the preferences, a settings file).
int removeAtomicWriteLeftoversOf(const fs::path& file);
// Makes an empty file where none is; one there stays as it is. The failure
// says why in words.
Status touchFile(const fs::path& p);

}  // namespace fd::files
