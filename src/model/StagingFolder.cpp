#include "model/StagingFolder.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>

#include "model/SafeName.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StopRequest.h"

namespace fs = std::filesystem;

namespace staging {

namespace {

constexpr std::string_view kSuffixTemplate = "XXXXXX";

// The folder opened without following a link, for its lock.
fd::files::UniqueFd openFolder(const fs::path& folder) {
  return fd::files::UniqueFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// A folder handed over, and what its emptying does first.
struct Handed {
  Folder folder;
  Emptier first;
};

// The folders handed over to be emptied, and whether a thread empties them.
struct Emptying {
  std::mutex mutex;
  std::condition_variable idle;
  std::deque<Handed> waiting;
  bool working = false;
  // Tests hold the emptying to look at a folder while it waits.
  bool held = false;
  // Set by the end of the program: the thread stops between two files.
  std::atomic<bool> ending{false};
  // The process the above belongs to: a child forked meanwhile has none of
  // the parent's threads, and leaves the parent's folders to it.
  pid_t owner = 0;
};

Emptying& emptying() {
  // Never destroyed: a thread may still be at work when the program ends.
  static auto* e = new Emptying;
  return *e;
}

// Under the lock: the state this process owns.
void takeOwnership(Emptying& e) {
  if (e.owner == ::getpid()) return;
  for (Handed& inherited : e.waiting) inherited.folder.handOver();
  e.waiting.clear();
  e.working = false;
  e.owner = ::getpid();
}

// Removes what the folder holds, one entry at a time (the folder of a
// project inside a staging folder, file by file); false when the program
// ended first.
bool removeContents(const fs::path& folder, const std::atomic<bool>& ending, bool intoFolders) {
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (ending) return false;
    const fs::path entry = it->path();
    std::error_code removed;
    if (fs::remove(entry, removed) || !removed) {
      fd::crashPoint("staging.emptying.entry-removed");
      continue;
    }
    // A folder with something in it.
    if (intoFolders && fs::is_directory(fs::symlink_status(entry, removed))) {
      if (!removeContents(entry, ending, false)) return false;
      fs::remove(entry, removed);
    } else {
      fs::remove_all(entry, removed);
    }
  }
  return true;
}

void endEmptying() {
  Emptying& e = emptying();
  std::unique_lock lock(e.mutex);
  if (e.owner != ::getpid()) return;
  e.ending = true;
  e.idle.notify_all();
  e.idle.wait(lock, [&] { return !e.working; });
}

// The folder goes with what is left of it, its lock with it; once the
// program ends it is left as it is, hidden and no longer held.
void emptyOne(Handed handed, const std::atomic<bool>& ending) {
  Folder& folder = handed.folder;
  if ((handed.first && !handed.first(folder.path(), ending)) || !removeContents(folder.path(), ending, true)) {
    folder.handOver();
  }
}

void emptyWaiting() {
  Emptying& e = emptying();
  std::unique_lock lock(e.mutex);
  e.idle.wait(lock, [&] { return !e.held || e.ending; });
  while (!e.waiting.empty() && !e.ending) {
    Handed handed = std::move(e.waiting.front());
    e.waiting.pop_front();
    lock.unlock();
    emptyOne(std::move(handed), e.ending);
    lock.lock();
  }
  e.working = false;
  e.idle.notify_all();
}

}  // namespace

std::string hiddenPrefix(std::string_view name, std::string_view mark) {
  std::string prefix = ".";
  prefix += name.substr(0, kMaxProjectNameBytes);
  prefix += mark;
  return prefix;
}

bool isHiddenName(std::string_view name, std::string_view mark) {
  const std::size_t at = name.rfind(mark);
  if (name.size() < 2 || name.front() != '.' || at == std::string_view::npos || at < 2) return false;
  return fd::files::isUniqueTempSuffix(name.substr(at + mark.size()));
}

std::string nameInHiddenName(std::string_view hidden, std::string_view mark) {
  return std::string(hidden.substr(1, hidden.rfind(mark) - 1));
}

Folder::Folder(const fs::path& parent, const std::string& prefix) {
  std::error_code ec;
  fs::create_directories(parent, ec);
  std::string pattern = (parent / (prefix + std::string(kSuffixTemplate))).string();
  if (::mkdtemp(pattern.data()) == nullptr) return;
  fd::files::UniqueFd lock = openFolder(pattern);
  if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    fs::remove_all(pattern, ec);
    return;
  }
  path_ = std::move(pattern);
  lock_ = std::move(lock);
}

Folder Folder::takeOver(const fs::path& folder, const std::string& prefix) {
  Folder place(folder.parent_path(), prefix);
  if (!place.valid()) return place;
  // Over the empty folder just made, which holds the name meanwhile.
  std::error_code ec;
  const bool moved = ::rename(folder.c_str(), place.path_.c_str()) == 0;
  fd::files::UniqueFd lock = moved ? openFolder(place.path_) : fd::files::UniqueFd();
  if (lock.get() < 0 || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
    if (moved) ::rename(place.path_.c_str(), folder.c_str());
    fs::remove(place.path_, ec);  // the empty one, when nothing moved
    place.path_.clear();
    return place;
  }
  fs::permissions(place.path_, fs::perms::owner_all, ec);
  place.lock_ = std::move(lock);
  return place;
}

Folder::Folder(Folder&& other) noexcept : path_(std::exchange(other.path_, {})), lock_(std::move(other.lock_)) {}

Folder::~Folder() {
  if (path_.empty()) return;
  // An operation given up because the program is ending does not hold the
  // end while what it made goes: the exit stops the emptying and the next
  // start sweeps the rest. (The emptying's own thread removes what it was
  // handed.)
  if (fd::isMainThread() && fd::endAsked()) {
    emptyInBackground(Folder(std::move(*this)));
    return;
  }
  std::error_code ec;
  fs::remove_all(path_, ec);
}

void emptyInBackground(Folder folder, Emptier first) {
  if (!folder.valid()) return;
  Emptying& e = emptying();
  {
    std::lock_guard lock(e.mutex);
    takeOwnership(e);
    e.waiting.push_back(Handed{std::move(folder), std::move(first)});
    if (e.working) return;
    e.working = true;
  }
  static const bool endHeard = std::atexit(endEmptying) == 0;
  (void)endHeard;
  fd::detachThread(emptyWaiting, fd::DispatchQueue::Priority::Background);
}

void holdEmptyingForTesting(bool held) {
  Emptying& e = emptying();
  std::lock_guard lock(e.mutex);
  takeOwnership(e);
  e.held = held;
  e.idle.notify_all();
}

void waitForEmptying() {
  Emptying& e = emptying();
  std::unique_lock lock(e.mutex);
  takeOwnership(e);
  e.idle.wait(lock, [&] { return !e.working; });
}

bool madeByProgram(const fs::path& folder) {
  struct stat st {};
  if (::lstat(folder.c_str(), &st) != 0) return false;
  if (!S_ISDIR(st.st_mode)) return leaveAsItIs(folder, "it is no folder");
  if (st.st_uid != ::geteuid()) return leaveAsItIs(folder, "it belongs to another user");
  if ((st.st_mode & 07777) != S_IRWXU) return leaveAsItIs(folder, "it is not private to the user");
  return true;
}

bool leaveAsItIs(const fs::path& path, std::string_view why) {
  fd::Log("Left %s as it is, though named as the program's work: %.*s\n", path.c_str(), static_cast<int>(why.size()),
          why.data());
  return false;
}

void sweep(const fs::path& parent, const std::function<bool(std::string_view name)>& ours,
           const std::function<bool(const fs::path& folder)>& settle, const Emptier& first) {
  sweep(parent, fd::files::contentsOfDirectory(parent), ours, settle, first);
}

void sweep(const fs::path& parent, const std::vector<std::string>& names,
           const std::function<bool(std::string_view name)>& ours,
           const std::function<bool(const fs::path& folder)>& settle, const Emptier& first) {
  for (const std::string& name : names) {
    if (!ours(name)) continue;
    const fs::path folder = parent / name;
    // Held while it goes, so that no operation starts in it meanwhile; held
    // first, so that the shape looked at is not that of a folder an
    // operation in flight is still making.
    fd::files::UniqueFd lock = openFolder(folder);
    if (lock.get() >= 0 && ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) continue;
    if (!madeByProgram(folder) || lock.get() < 0) continue;
    if (settle && !settle(folder)) continue;
    emptyInBackground(Folder(folder, std::move(lock)), first);
  }
}

}  // namespace staging
