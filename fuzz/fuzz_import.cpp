// Fuzz target for the package import path: arbitrary bytes as a package in
// Documents, imported into the projects folder, then the same bytes through
// the zip wrapper with and without a password. The run must never crash,
// never write outside its sandbox, and leave no half-imported project.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "FuzzSandbox.h"
#include "model/PackageZipOperator.h"
#include "model/StagingFolder.h"
#include "model/zip/ZipWrapper.h"
#include "platform/foundation/Paths.h"

namespace fs = std::filesystem;

namespace {

const fs::path& sandbox() { return fuzz_support::sandbox(); }
void check(bool condition, const char* what) { fuzz_support::check(condition, "fuzz_import", what); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const fs::path root = sandbox();
  const fs::path package = fd::paths::documents() / "Fuzz.zt2";
  {
    std::ofstream out(package, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  const fs::path projects = fd::paths::library() / "Projects";
  const fs::path target = projects / "Target";
  ZipOperator op;
  const bool imported = op.import("Fuzz", target, true);
  std::error_code ec;
  check(imported == fs::exists(target / "Project.plist", ec), "import answer does not match the disk");
  fs::remove_all(target, ec);
  // What a refused import unpacked goes off the calling thread; it is left
  // behind only if it is still there once that is done.
  staging::waitForEmptying();
  for (const auto& entry : fs::directory_iterator(projects, ec)) {
    check(false, ("left behind in Projects: " + entry.path().filename().string()).c_str());
  }

  const fs::path out = root / "out";
  for (const char* password : {"", ZipOperator::kPackagePassword}) {
    ZipWrapper zip;
    if (*password ? zip.UnzipOpenFile(package, password) : zip.UnzipOpenFile(package)) {
      zip.getZipFileContents();
      zip.UnzipFileTo(out, false);
      zip.UnzipCloseFile();
    }
    fs::remove_all(out, ec);
  }
  // Only the standard folders may stand at the sandbox's top level.
  for (const auto& entry : fs::directory_iterator(root, ec)) {
    const std::string name = entry.path().filename().string();
    check(name == "Library" || name == "Documents" || name == "tmp", "something was written outside");
  }
  fs::remove(package, ec);
  return 0;
}
