#include "platform/foundation/UserDefaults.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <fcntl.h>

#include <thread>
#include <vector>

#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/PropertyList.h"
#include "support/BinaryPlist.h"
#include "support/ChildProcess.h"
#include "support/ListBound.h"
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

// A kill while the preferences were written left ".flipdesk.plist.XXXXXX"
// beside them for good. The next start removes it, and leaves the temp file
// of a write still in flight and the temp files of other names.
TEST_F(UserDefaultsTest, TheNextStartRemovesWhatAKilledWriteLeft) {
  const std::filesystem::path folder = UserDefaults::standard().filePath().parent_path();
  UserDefaults::standard().setObject("kept", 1);
  ASSERT_TRUE(UserDefaults::standard().synchronize());
  const testing_support::ChildResult child = testing_support::runInChild([] {
    fd::armCrashPoint("file.atomic-write.renaming");
    UserDefaults::standard().setObject("lost", 2);
    UserDefaults::standard().synchronize();
  });
  ASSERT_TRUE(child.crashedAtPoint()) << child;
  const auto temps = [&] {
    std::vector<std::string> found;
    for (const std::string& name : fd::files::contentsOfDirectory(folder))
      if (!fd::files::atomicWriteTarget(name).empty()) found.push_back(name);
    return found;
  };
  ASSERT_EQ(temps().size(), 1u);
  const std::string inFlight = ".flipdesk.plist.Ab12Cd", other = ".limits.plist.Ab12Cd";
  for (const std::string& name : {inFlight, other}) ASSERT_TRUE(fd::files::touchFile(folder / name).ok());
  const fd::files::UniqueFd held(::open((folder / inFlight).c_str(), O_RDONLY | O_CLOEXEC));
  ASSERT_EQ(::flock(held.get(), LOCK_EX), 0);

  UserDefaults::resetStandardForTesting();
  EXPECT_EQ(UserDefaults::standard().integerForKey("kept"), 1);
  EXPECT_EQ(temps(), (std::vector<std::string>{inFlight, other}));
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

// Preferences the program takes are taken again once written back at quit,
// each shared date written out in full; a key added past what would be read
// again is not written and the file stays as it was; preferences whose
// written form would pass the bound are refused at the start, set aside and
// told, and the store starts empty.
TEST_F(UserDefaultsTest, PreferencesTakenAreTakenAgainOnceWritten) {
  testing_support::ScopedListFileBound bound(256 << 10);
  fd::takeDamagedFileReports();
  const std::filesystem::path file = UserDefaults::standard().filePath();
  const fd::Data within = testing_support::sharedDateList(10, 650);
  ASSERT_TRUE(fd::files::writeFileAtomically(file, within));
  UserDefaults::resetStandardForTesting();
  const Value dates = UserDefaults::standard().objectForKey("dates");
  ASSERT_EQ(dates.count(), 10u);
  ASSERT_TRUE(UserDefaults::standard().synchronize());
  UserDefaults::resetStandardForTesting();
  EXPECT_FALSE(UserDefaults::standard().startedFromDamagedFile());
  EXPECT_EQ(UserDefaults::standard().objectForKey("dates"), dates);

  const std::optional<fd::Data> written = testing_support::fileBytes(file);
  UserDefaults::standard().setObject("more", std::string(30000, 'm'));
  EXPECT_FALSE(UserDefaults::standard().synchronize());
  EXPECT_EQ(testing_support::fileBytes(file), written);
  UserDefaults::resetStandardForTesting();
  EXPECT_FALSE(UserDefaults::standard().startedFromDamagedFile());
  EXPECT_EQ(UserDefaults::standard().objectForKey("dates"), dates);
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  const fd::Data past = testing_support::sharedDateList(10, 800);
  ASSERT_TRUE(fd::files::writeFileAtomically(file, past));
  UserDefaults::resetStandardForTesting();
  EXPECT_TRUE(UserDefaults::standard().startedFromDamagedFile());
  EXPECT_TRUE(UserDefaults::standard().objectForKey("dates").isNull());
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].reason, "it is too large to open: its file of " + fd::files::describeSize(past.size()) +
                                   " holds what would be saved as 289 KiB, more than the 256 KiB a list may be");
  EXPECT_EQ(testing_support::fileBytes(reports[0].keptAs), past);
}
