// The statistics facade: counting events into the local record.
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <limits>
#include <optional>
#include <thread>

#include "platform/foundation/PropertyList.h"
#include "services/VTSystemManager.h"
#include "support/BinaryPlist.h"
#include "support/KeptCopies.h"
#include "support/ListBound.h"
#include "support/Sandbox.h"

namespace {

class VTSystemManagerTest : public testing_support::SandboxTest {
 protected:
  void SetUp() override {
    VTSystemManager::resetSharedManagerForTesting();
    fd::takeDamagedFileReports();
  }
  void TearDown() override {
    VTSystemManager::resetSharedManagerForTesting();
    fd::files::setWriteFaultForTesting({});
    fd::takeDamagedFileReports();
  }
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

// A record carried from elsewhere may hold any count a list holds: the
// largest signed one counted again stays (it once wrapped to the most
// negative), and one above the signed range keeps its digits.
TEST_F(VTSystemManagerTest, CountsAtTheLargestAreKeptNotWrapped) {
  constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
  constexpr unsigned long long above = 18446744073709551615ULL;
  std::filesystem::create_directories(VTSystemManager::recordPath().parent_path());
  ASSERT_TRUE(fd::writePropertyList(
      VTSystemManager::recordPath(),
      fd::Value(fd::Dictionary{
          {"Events", fd::Value(fd::Dictionary{{"a", fd::Value(largest)}, {"b", fd::Value(above)},
                                              {"c", fd::Value(largest - 1)}})},
          {"TimedEvents",
           fd::Value(fd::Dictionary{{"t", fd::Value(fd::Dictionary{{"Count", fd::Value(largest)},
                                                                   {"Duration", fd::Value(1.0)}})}})}})));
  VTSystemManager& m = VTSystemManager::sharedManager();
  m.event("a");
  m.event("b");
  m.event("c");
  m.beginEvent("t");
  m.endEvent("t");
  const fd::Value record = m.record();
  EXPECT_EQ(record["Events"]["a"].integerValue(), largest);
  EXPECT_EQ(record["Events"]["b"].largeUnsigned(), std::optional<std::uint64_t>(above));
  EXPECT_EQ(record["Events"]["c"].integerValue(), largest);
  EXPECT_EQ(record["TimedEvents"]["t"]["Count"].integerValue(), largest);
  fd::Expected<fd::Value> stored = fd::readPropertyList(VTSystemManager::recordPath());
  ASSERT_TRUE(stored);
  EXPECT_EQ((*stored)["Events"]["b"].largeUnsigned(), std::optional<std::uint64_t>(above));
  EXPECT_EQ((*stored)["Events"]["a"].integerValue(), largest);
}

TEST_F(VTSystemManagerTest, ARecordWhoseTopIsAListStartsAfresh) {
  std::filesystem::create_directories(VTSystemManager::recordPath().parent_path());
  ASSERT_TRUE(fd::writePropertyList(VTSystemManager::recordPath(), fd::Value(fd::Array{fd::Value("Events")})));
  VTSystemManager& m = VTSystemManager::sharedManager();
  m.event("a");
  EXPECT_EQ(m.record()["Events"]["a"].integerValue(), 1);
}

// The record is one of the program's lists: one that cannot be read is set
// aside under a free name and told, and the next event writes a fresh record
// beside it. A record just past the size bound once became a record of a few
// hundred bytes at the next event, untold, and a sparse one of gigabytes was
// left where it was; neither may be written over, nor one garbled, nor one
// whose shared objects would build gigabytes.
TEST_F(VTSystemManagerTest, AnUnreadableRecordIsKeptAndToldNeverWrittenOver) {
  const std::filesystem::path record = VTSystemManager::recordPath();
  std::filesystem::create_directories(record.parent_path());
  const std::string list = fd::serializePropertyListXML(fd::Value(fd::Dictionary{{"Events", fd::Dictionary{{"a", 7}}}}));
  const fd::Data shared = testing_support::sharedDataList();
  struct Case {
    const char* what;
    std::function<void()> write;
    std::uintmax_t size;
    const char* reason;
  };
  const std::uintmax_t pastTheBound = fd::kMaxPropertyListBytes + (std::uintmax_t{1} << 17);
  const std::vector<Case> cases = {
      {"past the size bound",
       [&] { std::ofstream(record, std::ios::binary) << list << std::string(pastTheBound - list.size(), '\n'); },
       pastTheBound, "larger than the 64 MiB it may be"},
      {"sparse and gigabytes",
       [&] {
         std::ofstream(record, std::ios::binary) << list;
         std::filesystem::resize_file(record, std::uintmax_t{3} << 30);
       },
       std::uintmax_t{3} << 30, "the file is 3.0 GiB"},
      {"garbled", [&] { testing_support::writeBytes(record, "\x01garbled\x02"); }, 9, "not a valid property list"},
      {"shared objects", [&] { ASSERT_TRUE(fd::files::writeFileAtomically(record, shared)); }, shared.size(), "256 MiB"},
  };
  for (const Case& c : cases) {
    c.write();
    VTSystemManager::resetSharedManagerForTesting();
    VTSystemManager::sharedManager().event("stamp");
    const std::vector<std::filesystem::path> kept = testing_support::keptCopies(record);
    ASSERT_EQ(kept.size(), 1u) << c.what;
    EXPECT_EQ(std::filesystem::file_size(kept[0]), c.size) << c.what;
    const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
    ASSERT_EQ(reports.size(), 1u) << c.what;
    EXPECT_EQ(reports[0].name, "events.plist");
    EXPECT_EQ(reports[0].keptAs, kept[0]);
    EXPECT_NE(reports[0].reason.find(c.reason), std::string::npos) << c.what << ": " << reports[0].reason;
    const fd::Expected<fd::Value> fresh = fd::readPropertyList(record);
    ASSERT_TRUE(fresh) << c.what << ": " << fresh.error();
    EXPECT_EQ((*fresh)["Events"], fd::Value(fd::Dictionary{{"stamp", 1}})) << c.what;
    std::filesystem::remove(kept[0]);
  }
}

// A record the program takes is one it takes again once it has written it
// back with the indentation of stored files; one grown by its own events
// past what would be read again is not written and stays as it was; one
// whose written form would pass the bound is refused at its first read, set
// aside and told, and a fresh record is kept beside it.
TEST_F(VTSystemManagerTest, ARecordTakenIsTakenAgainOnceWritten) {
  testing_support::ScopedListFileBound bound(64 << 10);
  const std::filesystem::path record = VTSystemManager::recordPath();
  std::filesystem::create_directories(record.parent_path());
  const auto events = [](int names) {
    std::string xml = "<plist version=\"1.0\"><dict><key>Events</key><dict>";
    for (int i = 0; i < names; ++i) xml += "<key>e" + std::to_string(10000 + i) + "</key><integer>3</integer>";
    xml += "</dict></dict></plist>";
    return fd::Data(xml.begin(), xml.end());
  };
  const auto counted = [] { return VTSystemManager::sharedManager().record()["Events"].count(); };

  ASSERT_TRUE(fd::files::writeFileAtomically(record, events(1400)));
  VTSystemManager::sharedManager().event("stamp");
  VTSystemManager::resetSharedManagerForTesting();
  EXPECT_EQ(counted(), 1401u);
  const std::optional<fd::Data> written = testing_support::fileBytes(record);
  VTSystemManager::sharedManager().event(std::string(6000, 'n'));
  EXPECT_EQ(counted(), 1402u) << "counted all the same";
  EXPECT_EQ(testing_support::fileBytes(record), written);
  VTSystemManager::resetSharedManagerForTesting();
  EXPECT_EQ(counted(), 1401u);
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());

  const fd::Data past = events(1600);
  ASSERT_LE(past.size(), std::size_t{64} << 10);
  ASSERT_TRUE(fd::files::writeFileAtomically(record, past));
  VTSystemManager::resetSharedManagerForTesting();
  VTSystemManager::sharedManager().event("stamp");
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].reason.starts_with("it is too large to open: its file of ")) << reports[0].reason;
  EXPECT_EQ(testing_support::fileBytes(reports[0].keptAs), past);
  const fd::Expected<fd::Value> fresh = fd::readPropertyList(record);
  ASSERT_TRUE(fresh) << fresh.error();
  EXPECT_EQ((*fresh)["Events"], fd::Value(fd::Dictionary{{"stamp", 1}}));
}

// A record its folder will not let be moved aside stays as it was: the
// events are counted, but no write replaces the file.
TEST_F(VTSystemManagerTest, ARecordThatCannotBeMovedAsideIsNotWrittenOver) {
  const std::filesystem::path record = VTSystemManager::recordPath();
  std::filesystem::create_directories(record.parent_path());
  testing_support::writeBytes(record, "\x01garbled\x02");
  testing_support::refuseKeptCopies(EROFS);
  VTSystemManager& m = VTSystemManager::sharedManager();
  m.event("stamp");
  m.event("stamp");
  EXPECT_EQ(m.record()["Events"]["stamp"].integerValue(), 2);
  EXPECT_EQ(testing_support::fileText(record), "\x01garbled\x02");
  EXPECT_TRUE(testing_support::keptCopies(record).empty());
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].keptAs.empty());
  EXPECT_FALSE(reports[0].notMoved.empty());
}

}  // namespace
