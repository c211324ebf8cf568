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
#include <string_view>
#include <system_error>

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

bool ensureSandbox() {
  const fs::path lib = library();
  const fs::path folders[] = {lib / "Projects", lib / "Background", lib / "Audio", preferences(), caches(),
                              documents(), temporary()};
  bool ok = true;
  for (const fs::path& f : folders) {
    std::error_code ec;
    fs::create_directories(f, ec);
    ok = fs::is_directory(f, ec) && ok;
  }
  return ok;
}

bool holdSandbox() {
  const fs::path root = home();
  // Never closed: the lock lasts as long as the process.
  const int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) {
    Log("cannot open the data folder %s to hold it: %s", root.c_str(), std::strerror(errno));
    return true;
  }
  if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
  const int error = errno;
  ::close(fd);
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
