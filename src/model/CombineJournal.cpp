#include "model/CombineJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <fstream>
#include <optional>

#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "platform/foundation/CrashPoint.h"

namespace fs = std::filesystem;

namespace {

// The hidden folder beside the target's: "." + name + kMark + XXXXXX. The
// list in it is called kListName, and kMarkedName once the start found its
// pages to be taken back. Its first line is the stamp of the target's list
// ("-" when it had none), its second the byte count of the target folder's
// name, ':' and the name, then one page file's name a line.
constexpr std::string_view kMark = ".combining-";
constexpr const char* kListName = "pages";
constexpr const char* kMarkedName = "pages-to-take-back";
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

// The list's first two lines: the stamp line (with its end) and the target
// folder's name; nullopt when the kill cut them short.
struct Head {
  std::string stamp;
  std::string target;
};

std::optional<Head> readHead(std::istream& in) {
  Head head;
  std::string count;
  if (!std::getline(in, head.stamp) || !std::getline(in, count, ':')) return std::nullopt;
  head.stamp += '\n';
  std::size_t size = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), size);
  if (error != std::errc() || end != count.data() + count.size() || size > 4096) return std::nullopt;
  head.target.resize(size);
  if (!in.read(head.target.data(), static_cast<std::streamsize>(size)) || in.get() != '\n' ||
      !isPlainPathComponent(head.target)) {
    return std::nullopt;
  }
  return head;
}

// Only names of the files a combination carries (layer, icon and snapshot
// pictures) are ever removed, whatever a list says.
bool isPageFileName(std::string_view name) { return isPlainPathComponent(name) && name.ends_with(".png"); }

}  // namespace

CombineJournal::CombineJournal(const fs::path& targetFolder)
    : folder_(targetFolder.parent_path(), staging::hiddenPrefix(targetFolder.filename().string(), kMark)) {
  if (!folder_.valid()) return;
  fd::files::UniqueFd file(
      ::open((folder_.path() / kListName).c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  const std::string name = targetFolder.filename().string();
  const std::string head = stampLine(fd::files::fileStamp(targetFolder / projectplist::kFileName)) +
                           std::to_string(name.size()) + ":" + name + "\n";
  if (file.get() >= 0 && writeAll(file.get(), head)) file_ = std::move(file);
}

CombineJournal::~CombineJournal() {
  if (!folder_.valid()) return;
  std::error_code ec;
  fs::remove_all(folder_.path(), ec);
  folder_.handOver();
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

bool CombineJournal::isJournalName(std::string_view name) { return staging::isHiddenName(name, kMark); }

bool CombineJournal::settle(const fs::path& folder) {
  const std::vector<std::string> inside = fd::files::contentsOfDirectory(folder);
  if (inside.empty()) return true;
  std::error_code ec;
  const std::string& list = inside.front();
  if (inside.size() != 1 || (list != kListName && list != kMarkedName) ||
      !fs::is_regular_file(fs::symlink_status(folder / list, ec))) {
    return staging::leaveAsItIs(folder, "a combination's hidden folder holds its list of pages alone");
  }
  if (list == kMarkedName) return true;
  // Cut short before the target was named, it was left before any page was made.
  std::ifstream in(folder / list, std::ios::binary);
  const std::optional<Head> head = readHead(in);
  const fs::path targetList = folder.parent_path() / (head ? head->target : std::string()) / projectplist::kFileName;
  if (head && head->stamp == stampLine(fd::files::fileStamp(targetList))) {
    fd::files::renameToFreeName(folder / kListName, folder / kMarkedName);
  }
  return true;
}

bool CombineJournal::takeBack(const fs::path& folder, const std::atomic<bool>& ending) {
  std::ifstream in(folder / kMarkedName, std::ios::binary);
  const std::optional<Head> head = in ? readHead(in) : std::nullopt;
  if (!head) return true;
  // Held open, so that the pages are found even if the project is renamed
  // meanwhile; a project gone since took its pages with it. The ids a later
  // run draws are later than any the killed one drew (fd::countedTimestampId
  // never runs ahead of the clock), so no file made since bears a name
  // written down here.
  const fd::files::UniqueFd target(
      ::open((folder.parent_path() / head->target).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (target.get() < 0) return true;
  std::string line;
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
