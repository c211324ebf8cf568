#include "support/Sandbox.h"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

namespace testing_support {

bool runMainUntil(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    fd::RunLoop::main().runOnce(0.02);
  }
  return true;
}

std::filesystem::path makeTempDir(const char* prefix) {
  std::string templ = (std::filesystem::temp_directory_path() / (std::string(prefix) + "XXXXXX")).string();
  char* made = ::mkdtemp(templ.data());
  if (made == nullptr) throw std::runtime_error("mkdtemp failed");
  return std::filesystem::path(made);
}

std::optional<fd::Data> fileBytes(const std::filesystem::path& p) {
  return fd::files::readFile(p, std::uintmax_t{1} << 30).toOptional();
}

std::uint64_t bytesRead() {
  std::ifstream io("/proc/self/io");
  std::string key;
  std::uint64_t value = 0;
  while (io >> key >> value) {
    if (key == "rchar:") return value;
  }
  ADD_FAILURE() << "the bytes read are not counted here";
  return 0;
}

ScopedSandbox::ScopedSandbox() : root_(makeTempDir("flipdesk-test-")) {
  fd::paths::setHomeOverride(root_);
  fd::paths::ensureSandbox();
  fd::UserDefaults::resetStandardForTesting();
  fd::RunLoop::resetMainForTesting(true);
}

ScopedSandbox::~ScopedSandbox() {
  fd::UserDefaults::resetStandardForTesting();
  fd::paths::setHomeOverride({});
  std::error_code ec;
  if (std::getenv("FLIPDESK_KEEP_TEST_SANDBOX") == nullptr) std::filesystem::remove_all(root_, ec);
}

}  // namespace testing_support
