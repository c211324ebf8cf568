#pragma once
// What the fuzz targets share: one sandbox root for the whole run, removed at
// exit, and a check that stops the run with a message.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/foundation/Paths.h"

namespace fuzz_support {

inline const std::filesystem::path& sandbox() {
  static const std::filesystem::path root = [] {
    std::string templ = (std::filesystem::temp_directory_path() / "flipdesk-fuzz-XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) std::abort();
    fd::paths::setHomeOverride(templ);
    fd::paths::ensureSandbox();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(fd::paths::home(), ec);
    });
    return std::filesystem::path(templ);
  }();
  return root;
}

inline void check(bool condition, const char* target, const std::string& what) {
  if (!condition) {
    std::fprintf(stderr, "%s: %s\n", target, what.c_str());
    std::abort();
  }
}

}  // namespace fuzz_support
