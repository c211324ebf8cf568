#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/foundation/CrashPoint.h"
#include "support/ChildProcess.h"
#include "support/Sandbox.h"

using testing_support::runInChild;

namespace {

// The step dies on the armed hit, not before: files written by earlier passes
// are there, later ones are not.
TEST(CrashPointTest, DiesOnTheArmedHitAndNotBefore) {
  auto dir = testing_support::makeTempDir("crashpoint-");
  auto result = runInChild([&] {
    fd::armCrashPoint("write", 3);
    for (int i = 1; i <= 5; ++i) {
      fd::crashPoint("other");
      fd::crashPoint("write");
      std::ofstream(dir / std::to_string(i)) << i;
    }
  });
  EXPECT_TRUE(result.crashedAtPoint());
  EXPECT_TRUE(std::filesystem::exists(dir / "2"));
  EXPECT_FALSE(std::filesystem::exists(dir / "3"));
  std::filesystem::remove_all(dir);
}

TEST(CrashPointTest, UnarmedOrDisarmedStepsRunThrough) {
  auto result = runInChild([] {
    fd::crashPoint("write");
    fd::armCrashPoint("write");
    fd::disarmCrashPoint();
    fd::crashPoint("write");
  });
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 0);
}

}  // namespace
