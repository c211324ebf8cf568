#include "platform/foundation/Paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <optional>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"

namespace fd::paths {

namespace fs = std::filesystem;

namespace {

std::mutex& overrideMutex() {
  static std::mutex m;
  return m;
}

fs::path& homeOverride() {
  static fs::path* p = new fs::path;  // never destroyed: files are written until the process ends
  return *p;
}

fs::path& resourcesOverride() {
  static fs::path* p = new fs::path;  // never destroyed, as the home's
  return *p;
}

fs::path envPath(const char* name) {
  const char* v = std::getenv(name);
  return (v != nullptr && *v != '\0') ? fs::path(v) : fs::path();
}

fs::path userHome() {
  fs::path h = envPath("HOME");
  if (!h.empty()) return h;
  if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return fs::temp_directory_path();
}

}  // namespace

fs::path home() {
  {
    std::lock_guard lock(overrideMutex());
    if (!homeOverride().empty()) return homeOverride();
  }
  if (fs::path p = envPath("FLIPDESK_HOME"); !p.empty()) return p;
  if (fs::path p = envPath("XDG_DATA_HOME"); !p.empty()) return p / "flipdesk";
  return userHome() / ".local" / "share" / "flipdesk";
}

void setHomeOverride(const fs::path& root) {
  std::lock_guard lock(overrideMutex());
  homeOverride() = root;
}

fs::path library() { return home() / "Library"; }
fs::path documents() { return home() / "Documents"; }
fs::path temporary() { return home() / "tmp"; }
fs::path caches() { return library() / "Caches"; }
fs::path preferences() { return library() / "Preferences"; }

namespace {
// Folders the program itself keeps in Documents.
constexpr const char* kPhotoLibraryFolder = "Pictures";
constexpr std::array<std::string_view, 1> kOwnDocumentsFolders = {kPhotoLibraryFolder};
}  // namespace

fs::path photoLibrary() { return documents() / kPhotoLibraryFolder; }

bool isOwnDocumentsFolder(const std::string& name) {
  return std::find(kOwnDocumentsFolders.begin(), kOwnDocumentsFolders.end(), name) != kOwnDocumentsFolders.end();
}

namespace {

// The standard folders, each under the root.
std::vector<fs::path> standardFolders() {
  const fs::path lib = library();
  return {lib / "Projects", lib / "Background", lib / "Audio", preferences(), caches(), documents(), temporary()};
}

// Why a folder of the data folder cannot be made or written in, in words.
std::string refusal(int error) {
  switch (error) {
    case EROFS: return "read-only file system";
    case EACCES:
    case EPERM: return "permission denied";
    case EEXIST:
    case ENOTDIR: return "a file stands where a folder belongs";
    default:
      if (const char* words = files::describeWriteError(error)) return words;
      return std::strerror(error);
  }
}

// The failure naming `folder` inside `root` and why.
Failure refusedIn(const fs::path& root, const fs::path& folder, int error) {
  return fail(folder.lexically_relative(root).string() + ": " + refusal(error), error);
}

// 0 when a file can be made in `folder`, else the error number.
int probeWrite(const fs::path& folder) {
  if (const int injected = files::injectedWriteError(folder)) return injected;
  const files::UniqueFd unnamed(::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
  if (unnamed.get() >= 0) return 0;
  const int error = errno;
  if (error != EOPNOTSUPP && error != EISDIR && error != EINVAL) return error;
  // A file system without unnamed files: a named one, removed at once.
  std::string name = (folder / ".write-probe-XXXXXX").string();
  const files::UniqueFd named(::mkostemp(name.data(), O_CLOEXEC));
  if (named.get() < 0) return errno;
  ::unlink(name.c_str());
  return 0;
}

}  // namespace

bool ensureSandbox() { return makeSandbox().ok(); }

Status makeSandbox() {
  const fs::path root = home();
  std::error_code ec;
  const bool rootWas = fs::is_directory(root, ec);
  std::optional<Failure> first;
  for (const fs::path& f : standardFolders()) {
    fs::create_directories(f, ec);
    std::error_code looked;
    if (fs::is_directory(f, looked) || first) continue;
    const int error = ec ? ec.value() : ENOTDIR;
    first = rootWas ? refusedIn(root, f, error) : fail(refusal(error), error);
  }
  if (first) return *first;
  return {};
}

Status sandboxWritable() {
  const fs::path root = home();
  for (const fs::path& f : standardFolders())
    if (const int error = probeWrite(f)) return refusedIn(root, f, error);
  return {};
}

bool holdSandbox() {
  const fs::path root = home();
  // Kept open for the life of the process: the lock lasts as long as it.
  files::UniqueFd held(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (held.get() < 0) {
    Log("cannot open the data folder %s to hold it: %s", root.c_str(), std::strerror(errno));
    return true;
  }
  if (::flock(held.get(), LOCK_EX | LOCK_NB) == 0) {
    held.release();
    return true;
  }
  const int error = errno;
  if (error == EWOULDBLOCK) return false;
  Log("the data folder %s cannot be locked (%s); it is used without", root.c_str(), std::strerror(error));
  return true;
}

fs::path resources() {
  {
    std::lock_guard lock(overrideMutex());
    if (!resourcesOverride().empty()) return resourcesOverride();
  }
  if (fs::path p = envPath("FLIPDESK_RESOURCES"); !p.empty()) return p;
#ifdef FLIPDESK_DEFAULT_RESOURCES
  return fs::path(FLIPDESK_DEFAULT_RESOURCES);
#else
  return fs::path("resources");
#endif
}

void setResourcesOverride(const fs::path& folder) {
  std::lock_guard lock(overrideMutex());
  resourcesOverride() = folder;
}

fs::path resource(const std::string& name) { return resources() / name; }

Expected<fs::path> resourceNamed(const std::string& name) {
  const std::string quoted = "\"" + name.substr(0, name.find('\0')) + "\"";
  if (name.empty() || name.find('\0') != std::string::npos) return fail("no resource is named " + quoted);
  const fs::path relative(name);
  if (relative.has_root_path()) return fail(quoted + " is a path, not the name of one of the program's resources");
  for (const fs::path& part : relative)
    if (part == "..") return fail(quoted + " leads out of the program's resources");
  const fs::path folder = resources();
  const fs::path candidate = folder / relative;
  // A link inside the folder must not lead out of it either.
  std::error_code folderError, fileError;
  const fs::path realFolder = fs::weakly_canonical(folder, folderError);
  const fs::path realFile = fs::weakly_canonical(candidate, fileError);
  if (!folderError && !fileError) {
    auto [inFolder, inFile] = std::mismatch(realFolder.begin(), realFolder.end(), realFile.begin(), realFile.end());
    if (inFolder != realFolder.end()) return fail(quoted + " leads out of the program's resources");
  }
  return candidate;
}

}  // namespace fd::paths
