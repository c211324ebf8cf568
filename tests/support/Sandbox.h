#pragma once
// A fresh sandbox root per test: a temporary folder that the paths layer points
// at, fresh user defaults, and a main run loop on a virtual clock.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>

#include "platform/foundation/Value.h"

namespace testing_support {

class ScopedSandbox {
 public:
  ScopedSandbox();
  ~ScopedSandbox();
  const std::filesystem::path& root() const { return root_; }

 private:
  std::filesystem::path root_;
};

// Test fixture owning a ScopedSandbox.
class SandboxTest : public ::testing::Test {
 protected:
  const std::filesystem::path& root() const { return sandbox_.root(); }

 private:
  ScopedSandbox sandbox_;
};

// Turns a real-clock main loop until done() holds (true) or the seconds have
// passed (false).
bool runMainUntil(const std::function<bool()>& done, double seconds = 10);

// A unique empty temporary folder, removed by the caller.
std::filesystem::path makeTempDir(const char* prefix);

// The bytes of a file a test made or compares (up to 1 GB), or nothing when
// it cannot be read.
std::optional<fd::Data> fileBytes(const std::filesystem::path& p);

// The bytes the process has read so far, through the read calls of all its
// threads (/proc/self/io); 0, and a failure, where they are not counted.
std::uint64_t bytesRead();

}  // namespace testing_support
