#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "support/Sandbox.h"

using fd::UserDefaults;
using fd::Value;

class UserDefaultsTest : public testing_support::SandboxTest {};

TEST_F(UserDefaultsTest, SettersStayInMemoryUntilSynchronize) {
  auto& d = UserDefaults::standard();
  EXPECT_EQ(d.filePath(), fd::paths::preferences() / "flipdesk.plist");
  d.setObject("count", 3);
  EXPECT_EQ(d.integerForKey("count"), 3);
  EXPECT_FALSE(fd::files::exists(d.filePath()));

  UserDefaults::resetStandardForTesting();
  EXPECT_TRUE(UserDefaults::standard().objectForKey("count").isNull()) << "never synchronized";
}

TEST_F(UserDefaultsTest, ValuesSurviveAReopen) {
  {
    auto& d = UserDefaults::standard();
    d.setObject("name", "Proj 1");
    d.setObject("scale", 1.5);
    d.setObject("flag", true);
    d.setObject("big", 9000000000LL);
    d.setObject("list", fd::Array{Value(1), Value("a")});
    d.setObject("gone", 1);
    d.removeObjectForKey("gone");
    ASSERT_TRUE(d.synchronize());
  }
  UserDefaults::resetStandardForTesting();
  auto& d = UserDefaults::standard();
  EXPECT_EQ(d.stringForKey("name"), "Proj 1");
  EXPECT_DOUBLE_EQ(d.doubleForKey("scale"), 1.5);
  EXPECT_FLOAT_EQ(d.floatForKey("scale"), 1.5f);
  EXPECT_TRUE(d.boolForKey("flag"));
  EXPECT_EQ(d.integerForKey("big"), 9000000000LL);
  EXPECT_EQ(d.objectForKey("list"), Value(fd::Array{Value(1), Value("a")}));
  EXPECT_TRUE(d.objectForKey("gone").isNull());
}

TEST_F(UserDefaultsTest, TypedGettersCoerceAndDefault) {
  auto& d = UserDefaults::standard();
  d.setObject("s", "12abc");
  d.setObject("yes", "YES");
  d.setObject("n", 7);
  EXPECT_EQ(d.integerForKey("s"), 12);
  EXPECT_TRUE(d.boolForKey("yes"));
  EXPECT_EQ(d.stringForKey("n"), "7");
  EXPECT_EQ(d.integerForKey("unset"), 0);
  EXPECT_FALSE(d.boolForKey("unset"));
  EXPECT_EQ(d.stringForKey("unset"), "");
  d.setObject("n", nullptr);
  EXPECT_TRUE(d.objectForKey("n").isNull());
}

TEST_F(UserDefaultsTest, UnreadableFileStartsEmptyAndIsReplacedOnSynchronize) {
  auto path = fd::paths::preferences() / "flipdesk.plist";
  ASSERT_TRUE(fd::files::writeFileAtomically(path, std::string("garbage")));
  UserDefaults::resetStandardForTesting();
  auto& d = UserDefaults::standard();
  EXPECT_TRUE(d.objectForKey("x").isNull());
  d.setObject("x", 1);
  ASSERT_TRUE(d.synchronize());
  EXPECT_EQ((*fd::readPropertyList(path))["x"], Value(1));
}

TEST_F(UserDefaultsTest, ConcurrentUseKeepsEveryKey) {
  auto& d = UserDefaults::standard();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&d, t] {
      for (int i = 0; i < 50; ++i) {
        d.setObject("k" + std::to_string(t) + "_" + std::to_string(i), i);
        if (i % 10 == 0) d.synchronize();
        d.integerForKey("k0_0");
      }
    });
  for (auto& th : threads) th.join();
  ASSERT_TRUE(d.synchronize());
  UserDefaults::resetStandardForTesting();
  auto stored = fd::readPropertyList(fd::paths::preferences() / "flipdesk.plist");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->count(), 200u);
  EXPECT_EQ(UserDefaults::standard().integerForKey("k3_49"), 49);
}
