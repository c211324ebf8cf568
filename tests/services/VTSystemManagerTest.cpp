// The statistics facade: counting events into the local record.
#include <gtest/gtest.h>

#include <thread>

#include "platform/foundation/PropertyList.h"
#include "services/VTSystemManager.h"
#include "support/Sandbox.h"

namespace {

class VTSystemManagerTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override { VTSystemManager::resetSharedManagerForTesting(); }
  void TearDown() override { VTSystemManager::resetSharedManagerForTesting(); }
};

TEST_F(VTSystemManagerTest, EventsAreCountedAndKept) {
  VTSystemManager& m = VTSystemManager::sharedManager();
  EXPECT_EQ(&m, &VTSystemManager::sharedManager());
  m.event("stamp");
  m.event("stamp");
  m.event("share");
  EXPECT_EQ(m.record()["Events"]["stamp"].integerValue(), 2);

  VTSystemManager::resetSharedManagerForTesting();
  VTSystemManager& again = VTSystemManager::sharedManager();
  again.event("stamp");
  EXPECT_EQ(again.record()["Events"]["stamp"].integerValue(), 3);
  fd::Expected<fd::Value> stored = fd::readPropertyList(VTSystemManager::recordPath());
  ASSERT_TRUE(stored);
  EXPECT_EQ((*stored)["Events"]["share"].integerValue(), 1);
}

TEST_F(VTSystemManagerTest, TimedEventsEndTheLastOneBegun) {
  VTSystemManager& m = VTSystemManager::sharedManager();
  double now = 100.0;
  m.setClockForTesting([&] { return now; });
  m.endEvent("nothing begun");
  EXPECT_FALSE(m.record()["TimedEvents"].contains("nothing begun"));
  m.beginEvent("outer");
  now = 101.0;
  m.beginEvent("inner");
  now = 103.5;
  m.endEvent("inner");
  now = 110.0;
  m.endEvent("outer");
  m.beginEvent("outer");
  now = 111.0;
  m.endEvent("outer");
  const fd::Value record = m.record();
  EXPECT_EQ(record["TimedEvents"]["inner"]["Count"].integerValue(), 1);
  EXPECT_DOUBLE_EQ(record["TimedEvents"]["inner"]["Duration"].doubleValue(), 2.5);
  EXPECT_EQ(record["TimedEvents"]["outer"]["Count"].integerValue(), 2);
  EXPECT_DOUBLE_EQ(record["TimedEvents"]["outer"]["Duration"].doubleValue(), 11.0);
}

TEST_F(VTSystemManagerTest, ManyThreadsCountEveryEvent) {
  VTSystemManager& m = VTSystemManager::sharedManager();
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&m] {
      for (int i = 0; i < 50; ++i) m.event("tap");
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(m.record()["Events"]["tap"].integerValue(), 200);
}

TEST_F(VTSystemManagerTest, ACorruptRecordStartsAfresh) {
  std::filesystem::create_directories(VTSystemManager::recordPath().parent_path());
  ASSERT_TRUE(fd::writePropertyList(VTSystemManager::recordPath(),
                                    fd::Value(fd::Dictionary{{"Events", fd::Value(fd::Dictionary{{"a", fd::Value("x")}, {"b", fd::Value(4)}})},
                                                             {"TimedEvents", fd::Value(3)}})));
  VTSystemManager& m = VTSystemManager::sharedManager();
  m.event("a");
  m.event("b");
  EXPECT_EQ(m.record()["Events"]["a"].integerValue(), 1);
  EXPECT_EQ(m.record()["Events"]["b"].integerValue(), 5);
  EXPECT_TRUE(m.record()["TimedEvents"].isDictionary());
}

TEST_F(VTSystemManagerTest, ARecordWhoseTopIsAListStartsAfresh) {
  std::filesystem::create_directories(VTSystemManager::recordPath().parent_path());
  ASSERT_TRUE(fd::writePropertyList(VTSystemManager::recordPath(), fd::Value(fd::Array{fd::Value("Events")})));
  VTSystemManager& m = VTSystemManager::sharedManager();
  m.event("a");
  EXPECT_EQ(m.record()["Events"]["a"].integerValue(), 1);
}

}  // namespace
