// Fuzz target for property lists read at start-up: the same bytes stand as
// the preferences file, the current project's Project.plist and the two
// settings files, and the model singleton is made from them the way the
// program starts. It must never crash, and what it saves must read back.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "platform/foundation/UserDefaults.h"

namespace fs = std::filesystem;

namespace {

void makeSandbox() {
  static const bool made = [] {
    std::string templ = (fs::temp_directory_path() / "flipdesk-fuzz-plist-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    fd::paths::setHomeOverride(templ);
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(fd::paths::home(), ec);
    });
    return true;
  }();
  (void)made;
}

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "fuzz_plist: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  makeSandbox();
  std::error_code ec;
  fs::remove_all(fd::paths::library(), ec);
  fd::paths::ensureSandbox();
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();

  const fd::Data bytes(data, data + size);
  const fs::path project = fd::paths::library() / "Projects" / ZTDataModel::kDefaultProjectName / "Project.plist";
  for (const fs::path& file : {fd::UserDefaults::standard().filePath(), project, ExtendDataModel::limitFramesPath(),
                               ExtendDataModel::lumistoPath()}) {
    fd::files::createDirectory(file.parent_path());
    check(fd::files::writeFileAtomically(file, bytes), "cannot write the input");
  }
  fd::UserDefaults::resetStandardForTesting();

  ZTDataModel& model = ZTDataModel::sharedInstance();
  check(model.prjDataModel() != nullptr, "no current project after start-up");
  model.saveData();
  if (const auto written = model.prjDataModel()->plistFilePath(); fd::files::exists(written)) {
    auto back = fd::readPropertyList(written);
    check(back.ok() && back->isDictionary(), "a saved Project.plist does not read back");
  }
  ZTDataModel::resetSharedInstanceForTesting();
  fd::UserDefaults::resetStandardForTesting();
  return 0;
}
