#include "model/CombineJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <optional>
#include <unordered_set>

#include "model/ProjectPlistKeys.h"
#include "model/SafeName.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/DamagedFile.h"

namespace fs = std::filesystem;

namespace {

// The hidden folder beside the target's: "." + name + kMark + XXXXXX, holding
// the list kListName: the byte count of the target folder's name, ':' and the
// name on its first line, then one page file's name a line.
constexpr std::string_view kMark = ".combining-";
constexpr const char* kListName = "pages";
// The target's list as it was before the combination saved it.
constexpr const char* kKeptListName = "list";
// The names are written in pieces of about this size.
constexpr std::size_t kWriteSize = 64 * 1024;

// The target folder's name, from the list's first line; nullopt when the
// kill cut it short.
std::optional<std::string> readTarget(std::istream& in) {
  std::string count;
  if (!std::getline(in, count, ':')) return std::nullopt;
  std::size_t size = 0;
  const auto [end, error] = std::from_chars(count.data(), count.data() + count.size(), size);
  if (error != std::errc() || end != count.data() + count.size() || size > 4096) return std::nullopt;
  std::string target(size, '\0');
  if (!in.read(target.data(), static_cast<std::streamsize>(size)) || in.get() != '\n' ||
      !isPlainPathComponent(target)) {
    return std::nullopt;
  }
  return target;
}

// Every string and key the target's list holds (the ids of its layers and
// frames among them); nullopt when it cannot be read.
std::optional<std::unordered_set<std::string>> namesInList(const fs::path& list) {
  const fd::Expected<fd::Value> contents = fd::peekStoredDictionary(list);
  if (!contents) return std::nullopt;
  std::unordered_set<std::string> names;
  std::vector<const fd::Value*> open = {&*contents};
  while (!open.empty()) {
    const fd::Value* v = open.back();
    open.pop_back();
    if (const std::string* s = v->string()) {
      names.insert(*s);
    } else if (const fd::Array* a = v->array()) {
      for (const fd::Value& item : *a) open.push_back(&item);
    } else if (const fd::Dictionary* d = v->dictionary()) {
      for (const auto& [key, item] : *d) {
        names.insert(key);
        open.push_back(&item);
      }
    }
  }
  return names;
}

// Whether the list names the page file: its id (the name without ".png",
// and without "Icon" or "Snapshot" for a frame's pictures) is among its
// strings.
bool isNamed(const std::unordered_set<std::string>& names, std::string_view page) {
  page.remove_suffix(std::string_view(".png").size());
  for (const std::string_view suffix : {"Icon", "Snapshot"}) {
    if (page.ends_with(suffix) && names.contains(std::string(page.substr(0, page.size() - suffix.size())))) return true;
  }
  return names.contains(std::string(page));
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
  const std::string head = std::to_string(name.size()) + ":" + name + "\n";
  if (file.get() >= 0 && fd::files::writeAll(file.get(), head.data(), head.size(), folder_.path() / kListName))
    file_ = std::move(file);
}

bool CombineJournal::write(std::string_view bytes) const {
  return fd::files::writeAll(file_.get(), bytes.data(), bytes.size(), folder_.path() / kListName);
}

bool CombineJournal::keepList(const fs::path& list) {
  if (!valid()) return false;
  const fs::path kept = folder_.path() / kKeptListName;
  // A second name shares the bytes, however long the list; a file system
  // without links gets a copy.
  const int linked = fd::files::linkFile(AT_FDCWD, list, AT_FDCWD, kept, {});
  if (linked == 0) return true;
  if (linked == ENOENT) return false;
  const std::error_code copied = fd::files::copyFile(list, kept);
  if (!copied) return true;
  std::error_code ec;
  fs::remove(kept, ec);
  return false;
}

bool CombineJournal::putListBack(const fs::path& list) {
  if (!valid()) return false;
  const fs::path kept = folder_.path() / kKeptListName;
  if (::rename(kept.c_str(), list.c_str()) != 0) return false;
  // The folder flushed, so that the list put back is the one a crash finds.
  const fd::files::UniqueFd folder(::open(list.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) ::fsync(folder.get());
  return true;
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
      if (!write(piece)) return false;
      piece.clear();
    }
  }
  return write(piece);
}

bool CombineJournal::isJournalName(std::string_view name) { return staging::isHiddenName(name, kMark); }

bool CombineJournal::settle(const fs::path& folder) {
  const std::vector<std::string> inside = fd::files::contentsOfDirectory(folder);
  if (inside.empty()) return true;
  std::error_code ec;
  const bool onlyOwn = std::all_of(inside.begin(), inside.end(), [&](const std::string& name) {
    return (name == kListName || name == kKeptListName) && fs::is_regular_file(fs::symlink_status(folder / name, ec));
  });
  if (!onlyOwn || std::find(inside.begin(), inside.end(), kListName) == inside.end()) {
    return staging::leaveAsItIs(folder, "a combination's hidden folder holds its list of pages and a kept project list alone");
  }
  return true;
}

bool CombineJournal::takeBack(const fs::path& folder, const std::atomic<bool>& ending) {
  std::ifstream in(folder / kListName, std::ios::binary);
  // Cut short before the target was named, it was left before any page was made.
  const std::optional<std::string> name = in ? readTarget(in) : std::nullopt;
  if (!name) return true;
  // Held open, so that the pages are found even if the project is renamed
  // meanwhile; a project gone since took its pages with it. The ids a later
  // run draws are later than any the killed one drew (fd::countedTimestampId
  // never runs ahead of the clock), so no file made since bears a name
  // written down here.
  const fs::path targetFolder = folder.parent_path() / *name;
  const fd::files::UniqueFd target(::open(targetFolder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (target.get() < 0) return true;
  // What the target's list names stays, whatever saved it since (the
  // combination, or the program's end saving the open project as it was);
  // a list that cannot be read keeps every page.
  const std::optional<std::unordered_set<std::string>> named =
      namesInList(targetFolder / projectplist::kFileName);
  if (!named) return true;
  std::string line;
  while (std::getline(in, line)) {
    if (ending) return false;
    // A last line the kill cut short names nothing.
    if (in.eof()) break;
    if (isPageFileName(line) && !isNamed(*named, line) && ::unlinkat(target.get(), line.c_str(), 0) == 0) {
      fd::crashPoint("combine.taking-back.page-removed");
    }
  }
  return true;
}
