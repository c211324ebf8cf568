#include "platform/foundation/TimestampId.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>

#include "support/ChildProcess.h"
#include "support/Sandbox.h"

using namespace std::chrono;

namespace {

// Runs the test body in UTC so calendar readings are known.
class TimestampIdTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    hadTz_ = tz != nullptr;
    if (hadTz_) savedTz_ = tz;
    ::setenv("TZ", "UTC", 1);
    ::tzset();
  }
  void TearDown() override {
    fd::setTimestampClockForTesting({});
    if (hadTz_)
      ::setenv("TZ", savedTz_.c_str(), 1);
    else
      ::unsetenv("TZ");
    ::tzset();
  }
  // A clock that stands still unless an id waits for it.
  void setClock(system_clock::time_point t) {
    now_ = t;
    fd::setTimestampClockForTesting([this] { return now_; }, [this](milliseconds d) {
      now_ += d;
      waited_ += d;
    });
  }
  system_clock::time_point now_;
  milliseconds waited_{0};

 private:
  bool hadTz_ = false;
  std::string savedTz_;
};

system_clock::time_point utc(int y, unsigned mo, unsigned d, int h, int mi, int s, int ms) {
  return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s} + milliseconds{ms};
}

// Two programs, one started right after the other, each drawing `count` ids
// as fast as it can: each process starts with no id issued, as a fresh
// program does. No id is issued twice, nor ahead of the clock.
void expectTwoBurstsShareNoId(std::string (*draw)(), int count) {
  namespace fs = std::filesystem;
  const fs::path dir = testing_support::makeTempDir("timestamp-");
  auto burst = [&](const fs::path& file) {
    return testing_support::runInChild([&, file] {
      std::ofstream out(file);
      for (int i = 0; i < count; ++i) {
        const std::string id = draw();
        if (id.substr(0, 17) > fd::formatTimestampId(system_clock::now())) std::_Exit(2);  // ahead of the clock
        out << id << "\n";
      }
    });
  };
  auto first = burst(dir / "first");
  auto second = burst(dir / "second");
  ASSERT_TRUE(first.ranThrough()) << first;
  ASSERT_TRUE(second.ranThrough()) << second;
  std::set<std::string> seen;
  for (const char* name : {"first", "second"}) {
    std::ifstream in(dir / name);
    int lines = 0;
    for (std::string id; std::getline(in, id); ++lines) EXPECT_TRUE(seen.insert(id).second) << "repeated id " << id;
    EXPECT_EQ(lines, count);
  }
  fs::remove_all(dir);
}

}  // namespace

TEST_F(TimestampIdTest, FormatsLocalTimeToTheMillisecond) {
  EXPECT_EQ(fd::formatTimestampId(utc(2013, 5, 7, 8, 3, 9, 45)), "20130507080309045");
  EXPECT_EQ(fd::formatTimestampId(utc(2013, 5, 7, 8, 3, 9, 45) + microseconds{999}), "20130507080309045");
}

TEST_F(TimestampIdTest, StrictlyIncreasingWithinOneMillisecondByWaitingForTheClock) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  EXPECT_EQ(fd::timestampId(), "20200228120000500");
  EXPECT_EQ(fd::timestampId(), "20200228120000501");
  EXPECT_EQ(fd::timestampId(), "20200228120000502");
  EXPECT_EQ(waited_, milliseconds{2}) << "each id waited for the clock to move on";
  EXPECT_EQ(fd::formatTimestampId(now_), "20200228120000502") << "ids never run ahead of the clock";
  now_ += milliseconds{10};
  EXPECT_EQ(fd::timestampId(), "20200228120000512");
  EXPECT_EQ(waited_, milliseconds{2}) << "a clock that moved on is not waited for";
}

TEST_F(TimestampIdTest, ClockSteppingBackContinuesFromTheLastId) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  EXPECT_EQ(fd::timestampId(), "20200228120000500");
  now_ -= hours{1};
  EXPECT_EQ(fd::timestampId(), "20200228120000501");
  now_ += hours{2};
  EXPECT_EQ(fd::timestampId(), "20200228130000500");
  EXPECT_EQ(waited_, milliseconds{0}) << "an hour back is a stepped clock, not one to wait for";
}

TEST_F(TimestampIdTest, AClockABitBehindTheLastIdIsWaitedFor) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  EXPECT_EQ(fd::timestampId(), "20200228120000500");
  now_ -= milliseconds{300};
  EXPECT_EQ(fd::timestampId(), "20200228120000501");
  EXPECT_EQ(fd::formatTimestampId(now_), "20200228120000501");
  EXPECT_EQ(waited_, milliseconds{301});
}

TEST_F(TimestampIdTest, TheNextMillisecondCarriesThroughTheCalendar) {
  setClock(utc(2020, 2, 28, 12, 34, 59, 999));
  EXPECT_EQ(fd::timestampId(), "20200228123459999");
  EXPECT_EQ(fd::timestampId(), "20200228123500000");

  setClock(utc(2020, 2, 28, 23, 59, 59, 999));
  fd::timestampId();
  EXPECT_EQ(fd::timestampId(), "20200229000000000") << "leap day";

  setClock(utc(2019, 12, 31, 23, 59, 59, 999));
  fd::timestampId();
  EXPECT_EQ(fd::timestampId(), "20200101000000000");
}

TEST_F(TimestampIdTest, RealClockIdsIncrease) {
  fd::setTimestampClockForTesting({});
  std::string last = fd::timestampId();
  for (int i = 0; i < 1000; ++i) {
    std::string id = fd::timestampId();
    ASSERT_EQ(id.size(), 17u);
    ASSERT_GT(id, last);
    last = id;
  }
}

TEST_F(TimestampIdTest, ABurstNeverRunsAheadOfTheRealClock) {
  fd::setTimestampClockForTesting({});
  for (int i = 0; i < 200; ++i) {
    std::string id = fd::timestampId();
    ASSERT_LE(id, fd::formatTimestampId(system_clock::now())) << "id " << i;
  }
}

// A program started again right after another made a burst of ids must not
// hand out any of them: each process here starts with no id issued, as a
// fresh program does.
TEST_F(TimestampIdTest, AProgramStartedRightAfterABurstIssuesOtherIds) {
  fd::setTimestampClockForTesting({});
  expectTwoBurstsShareNoId(fd::timestampId, 300);
}

// Ids drawn together by the thousand (a combination's layers and frames)
// waited a millisecond each, so a long project took minutes to combine.
TEST_F(TimestampIdTest, CountedIdsShareAMillisecondWithoutWaiting) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000500");
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000500-0001");
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000500-0002");
  for (int i = 3; i < 9999; ++i) fd::countedTimestampId();
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000500-9999");
  EXPECT_EQ(waited_, milliseconds{0});
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000501") << "the count ran out: the next millisecond";
  EXPECT_EQ(waited_, milliseconds{1}) << "and it was waited for, not run ahead to";
  now_ += milliseconds{5};
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000506") << "a clock that moved on gives a plain id";
  EXPECT_EQ(fd::formatTimestampId(now_), "20200228120000506");
}

TEST_F(TimestampIdTest, PlainAndCountedIdsIncreaseTogether) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  std::vector<std::string> ids = {fd::timestampId(), fd::countedTimestampId(), fd::countedTimestampId()};
  ids.push_back(fd::timestampId());
  EXPECT_EQ(ids.back(), "20200228120000501") << "a plain id waits past the counted ones";
  ids.push_back(fd::countedTimestampId());
  now_ += milliseconds{1};
  ids.push_back(fd::countedTimestampId());
  ids.push_back(fd::countedTimestampId());
  for (std::size_t i = 1; i < ids.size(); ++i) EXPECT_LT(ids[i - 1], ids[i]) << i;
  EXPECT_EQ(ids[4], "20200228120000501-0001");
  EXPECT_EQ(ids[6], "20200228120000502-0001");
}

TEST_F(TimestampIdTest, CountedIdsStayAtTheLastIdWhenTheClockStepsBack) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000500");
  now_ -= hours{1};
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000500-0001");
  now_ += minutes{59} + seconds{59} + milliseconds{800};
  EXPECT_EQ(fd::countedTimestampId(), "20200228120000500-0002") << "200 ms behind: counted, not waited for";
  EXPECT_EQ(waited_, milliseconds{0});
}

TEST_F(TimestampIdTest, AProgramStartedRightAfterABurstOfCountedIdsIssuesOtherIds) {
  fd::setTimestampClockForTesting({});
  expectTwoBurstsShareNoId(fd::countedTimestampId, 5000);
}
