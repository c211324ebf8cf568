#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <new>

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

// Armed for an allocation failure, the step throws std::bad_alloc on the
// armed hit, once: what the caller does to recover passes it again, and the
// process never ends there. A crash armed over it dies again.
TEST(CrashPointTest, AnAllocationFailureIsThrownOnceOnTheArmedHit) {
  auto thrown = runInChild([] {
    fd::armAllocationFailure("read", 2);
    EXPECT_NO_THROW(fd::crashPoint("read"));
    EXPECT_NO_THROW(fd::crashPoint("other"));
    EXPECT_THROW(fd::crashPoint("read"), std::bad_alloc);
    EXPECT_NO_THROW(fd::crashPoint("read"));
    fd::armAllocationFailure("read");
    fd::disarmCrashPoint();
    EXPECT_NO_THROW(fd::crashPoint("read"));
  });
  EXPECT_TRUE(thrown.exited);
  EXPECT_EQ(thrown.exitCode, 0);
  auto crashed = runInChild([] {
    fd::armAllocationFailure("read");
    fd::armCrashPoint("read");
    try {
      fd::crashPoint("read");
    } catch (const std::bad_alloc&) {
    }
  });
  EXPECT_TRUE(crashed.crashedAtPoint());
}

}  // namespace
