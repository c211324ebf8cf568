#pragma once
// Hidden folders in which a project folder or a package is made or unmade
// (an import unpacking, a duplicate being copied, a deleted project being
// emptied, a package being written), so that a kill at any moment leaves
// nothing that looks like a project or a package, only a folder the next
// start removes. Beside projects such a folder is named "." + the project's
// name + a mark (".import-", ".copying-", ...) + six letters or digits, and is
// private to the user (mode 0700). While its operation runs the folder is
// locked, and the start leaves a locked one alone: another run of the program
// may be at work in it.
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/FileUtil.h"

namespace staging {

// "." + name + mark, the name cut to the longest a project may be given, so
// that a name listed longer still leaves room within a file name.
std::string hiddenPrefix(std::string_view name, std::string_view mark);
// A name hiddenPrefix(anything, mark) + six letters or digits gives.
bool isHiddenName(std::string_view name, std::string_view mark);
// The name such a hidden name was made for (as hiddenPrefix kept it).
std::string nameInHiddenName(std::string_view hidden, std::string_view mark);

// What such a folder is given once it has its own name and is no longer the
// program's work: a plain folder, readable by others.
constexpr std::filesystem::perms kPlainFolderPermissions =
    std::filesystem::perms::owner_all | std::filesystem::perms::group_read | std::filesystem::perms::group_exec |
    std::filesystem::perms::others_read | std::filesystem::perms::others_exec;

// Work a folder's emptying does first (taking back files a killed operation
// left elsewhere, as the folder's own files tell): false when the end of the
// program stopped it, and the folder is left whole for the next start.
using Emptier = std::function<bool(const std::filesystem::path& folder, const std::atomic<bool>& ending)>;

class Folder {
 public:
  // A new folder in parent (made when missing) named prefix + six letters or
  // digits, private to the user and locked; not valid() when it cannot be made.
  Folder(const std::filesystem::path& parent, const std::string& prefix);
  // Removed with what it holds, unless it was handed over; once the program
  // was asked to end (fd::endAsked), off the calling thread as
  // emptyInBackground does.
  ~Folder();
  Folder(Folder&& other) noexcept;
  Folder(const Folder&) = delete;
  Folder& operator=(const Folder&) = delete;
  Folder& operator=(Folder&&) = delete;

  // A folder made elsewhere in the same parent, moved in one rename under a
  // new name (prefix + six letters or digits), private and locked as one made
  // here; not valid(), with the folder where it was, when it cannot be moved.
  static Folder takeOver(const std::filesystem::path& folder, const std::string& prefix);

  bool valid() const { return !path_.empty(); }
  const std::filesystem::path& path() const { return path_; }
  // It was moved to where it belongs: nothing is removed on the way out.
  void handOver() { path_.clear(); }

 private:
  friend void sweep(const std::filesystem::path&, const std::vector<std::string>&,
                    const std::function<bool(std::string_view)>&,
                    const std::function<bool(const std::filesystem::path&)>&, const Emptier&);
  // A folder already there, held by the lock given.
  Folder(std::filesystem::path path, fd::files::UniqueFd lock) : path_(std::move(path)), lock_(std::move(lock)) {}

  std::filesystem::path path_;
  fd::files::UniqueFd lock_;
};

// Removes the folder, with what it holds, off the calling thread: a thread
// of low priority empties it under its lock, so that the start of another run
// leaves it alone, and a kill leaves part of it for the next start to sweep.
// When no thread can start it is emptied here. The end of the program
// (exit) stops the emptying between two files and leaves the rest, hidden,
// for the next start, so a quit never waits for a large folder to go.
// `first`, when given, runs on that thread before the folder is emptied.
void emptyInBackground(Folder folder, Emptier first = {});
// Waits until every folder this process handed to emptyInBackground is gone.
void waitForEmptying();
// While held, folders handed to emptyInBackground wait untouched (tests).
void holdEmptyingForTesting(bool held);

// Whether the folder has the shape Folder gives: a real folder (not a link),
// the user's own and private to the user. A name alone tells nothing: a
// folder of the user's may bear one of the program's. Logs why not.
bool madeByProgram(const std::filesystem::path& folder);
// Logs that what stands at path, though named as the program's work, is left
// as it is, and why; false, for a sweep's `settle` to answer.
bool leaveAsItIs(const std::filesystem::path& path, std::string_view why);

// Hands the folders directly in parent whose names `ours` accepts and that
// madeByProgram to emptyInBackground, held (a folder a kill left may hold
// hundreds of thousands of files, and a start would wait seconds for them),
// unless an operation in flight holds one; anything else of such a name
// stays, and is logged. `settle`, when given, sees each folder first (held,
// so no run starts in it), may move out what must not go, and answers
// whether the folder goes. `first` is handed on with the folder.
void sweep(const std::filesystem::path& parent, const std::function<bool(std::string_view name)>& ours,
           const std::function<bool(const std::filesystem::path& folder)>& settle = {}, const Emptier& first = {});
// The same over the names of parent's entries the caller already listed.
void sweep(const std::filesystem::path& parent, const std::vector<std::string>& names,
           const std::function<bool(std::string_view name)>& ours,
           const std::function<bool(const std::filesystem::path& folder)>& settle = {}, const Emptier& first = {});

}  // namespace staging
