#include "model/CombineJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <optional>
#include <string_view>

#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "model/StagingFolder.h"
#include "platform/foundation/CrashPoint.h"

namespace fs = std::filesystem;

namespace {

// The journal in the target's folder while the combination runs. Its first
// line is the stamp of the target's list ("-" when it had none), its second
// the byte count of the target folder's name, ':' and the name (which a
// journal moved out of the folder no longer tells by its place), then one
// page file's name a line.
constexpr const char* kJournalName = ".combining";
// Once the start has found its pages to be taken back, the journal is moved
// under kMovedName into a hidden folder of the projects folder marked so.
constexpr std::string_view kTakingBackMark = ".taking-back-";
constexpr const char* kMovedName = "pages";
// The names are written in pieces of about this size.
constexpr std::size_t kWriteSize = 64 * 1024;

std::string stampLine(const std::optional<fd::files::FileStamp>& stamp) {
  if (!stamp) return "-\n";
  char line[128];
  std::snprintf(line, sizeof line, "%" PRIu64 " %" PRIu64 " %" PRIu64 " %" PRId64 " %" PRId64 "\n", stamp->device,
                stamp->inode, stamp->size, stamp->modifiedNs, stamp->changedNs);
  return line;
}

bool writeAll(int file, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(file, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Only names of the files a combination carries (layer, icon and snapshot
// pictures) are ever removed, whatever a journal says.
bool isPageFileName(std::string_view name) { return isPlainPathComponent(name) && name.ends_with(".png"); }

// Removes the pages the journal in `folder` names from the target's folder;
// false when the end of the program came first. The ids a later run draws
// are later than any the killed one drew (fd::countedTimestampId never runs
// ahead of the clock), so no file made since bears a name written down here.
bool takeBackPages(const fs::path& folder, const std::atomic<bool>& ending) {
  std::ifstream in(folder / kMovedName, std::ios::binary);
  std::string line;
  std::string count;
  if (!std::getline(in, line) || !std::getline(in, count, ':')) return true;
  std::size_t size = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), size);
  if (error != std::errc() || end != count.data() + count.size() || size > 4096) return true;
  std::string name(size, '\0');
  if (!in.read(name.data(), static_cast<std::streamsize>(size)) || in.get() != '\n' || !isPlainPathComponent(name)) {
    return true;
  }
  // Held open, so that the pages are found even if the project is renamed
  // meanwhile; a project gone since took its pages with it.
  const fd::files::UniqueFd target(
      ::open((folder.parent_path() / name).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (target.get() < 0) return true;
  while (std::getline(in, line)) {
    if (ending) return false;
    // A last line the kill cut short names nothing.
    if (in.eof()) break;
    if (isPageFileName(line) && ::unlinkat(target.get(), line.c_str(), 0) == 0) {
      fd::crashPoint("combine.taking-back.page-removed");
    }
  }
  return true;
}

}  // namespace

CombineJournal::CombineJournal(const fs::path& targetFolder) : path_(targetFolder / kJournalName) {
  fd::files::UniqueFd file(::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (file.get() < 0) return;
  const std::string name = targetFolder.filename().string();
  const std::string head = stampLine(fd::files::fileStamp(targetFolder / projectplist::kFileName)) +
                           std::to_string(name.size()) + ":" + name + "\n";
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 || ::fchmod(file.get(), 0600) != 0 || !writeAll(file.get(), head)) {
    ::unlink(path_.c_str());
    return;
  }
  file_ = std::move(file);
}

CombineJournal::~CombineJournal() {
  if (valid()) ::unlink(path_.c_str());
}

bool CombineJournal::note(const std::vector<std::pair<std::string, std::string>>& renamed) {
  if (!valid()) return false;
  std::string piece;
  piece.reserve(kWriteSize + 256);
  for (const auto& [oldName, newName] : renamed) {
    piece += newName;
    piece += '\n';
    if (piece.size() >= kWriteSize) {
      if (!writeAll(file_.get(), piece)) return false;
      piece.clear();
    }
  }
  return writeAll(file_.get(), piece);
}

bool CombineJournal::isTakingBackName(std::string_view name) { return staging::isHiddenName(name, kTakingBackMark); }

void CombineJournal::takeBackKilled(const fs::path& projects, const std::string& name) {
  const fs::path folder = projects / name;
  const fs::path journal = folder / kJournalName;
  const fd::files::UniqueFd file(::open(journal.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return;
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
      (st.st_mode & 07777) != (S_IRUSR | S_IWUSR)) {
    staging::leaveAsItIs(journal, "it is not a list of pages as a combination writes one");
    return;
  }
  // Held: a combination in flight in another run of the program.
  if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0) return;
  char head[160];
  const ssize_t read = ::pread(file.get(), head, sizeof head, 0);
  const std::string_view text(head, read > 0 ? static_cast<std::size_t>(read) : 0);
  const std::size_t eol = text.find('\n');
  // Cut short before its first line, it was left before any page was made.
  if (eol == std::string_view::npos ||
      text.substr(0, eol + 1) != stampLine(fd::files::fileStamp(folder / projectplist::kFileName))) {
    ::unlink(journal.c_str());
    return;
  }
  staging::Folder aside(projects, staging::hiddenPrefix(name, kTakingBackMark));
  if (!aside.valid() || fd::files::renameToFreeName(journal, aside.path() / kMovedName) != 0) return;
  staging::emptyInBackground(std::move(aside), takeBackPages);
}

void CombineJournal::sweepTakingBack(const fs::path& projects) {
  staging::sweep(
      projects, isTakingBackName,
      [](const fs::path& folder) {
        std::error_code ec;
        const std::vector<std::string> inside = fd::files::contentsOfDirectory(folder);
        if (inside.empty() || (inside.size() == 1 && inside.front() == kMovedName &&
                               fs::is_regular_file(fs::symlink_status(folder / kMovedName, ec)))) {
          return true;
        }
        return staging::leaveAsItIs(folder, "it holds more than the list of pages to take back");
      },
      takeBackPages);
}
