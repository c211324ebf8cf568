#include "platform/foundation/TimestampId.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

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
  void setClock(system_clock::time_point t) {
    now_ = t;
    fd::setTimestampClockForTesting([this] { return now_; });
  }
  system_clock::time_point now_;

 private:
  bool hadTz_ = false;
  std::string savedTz_;
};

system_clock::time_point utc(int y, unsigned mo, unsigned d, int h, int mi, int s, int ms) {
  return sys_days{year{y} / month{mo} / day{d}} + hours{h} + minutes{mi} + seconds{s} + milliseconds{ms};
}

}  // namespace

TEST_F(TimestampIdTest, FormatsLocalTimeToTheMillisecond) {
  EXPECT_EQ(fd::formatTimestampId(utc(2013, 5, 7, 8, 3, 9, 45)), "20130507080309045");
  EXPECT_EQ(fd::formatTimestampId(utc(2013, 5, 7, 8, 3, 9, 45) + microseconds{999}), "20130507080309045");
}

TEST_F(TimestampIdTest, StrictlyIncreasingWithinOneMillisecond) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  EXPECT_EQ(fd::timestampId(), "20200228120000500");
  EXPECT_EQ(fd::timestampId(), "20200228120000501");
  EXPECT_EQ(fd::timestampId(), "20200228120000502");
  now_ += milliseconds{10};
  EXPECT_EQ(fd::timestampId(), "20200228120000510");
}

TEST_F(TimestampIdTest, ClockSteppingBackContinuesFromTheLastId) {
  setClock(utc(2020, 2, 28, 12, 0, 0, 500));
  EXPECT_EQ(fd::timestampId(), "20200228120000500");
  now_ -= hours{1};
  EXPECT_EQ(fd::timestampId(), "20200228120000501");
  now_ += hours{2};
  EXPECT_EQ(fd::timestampId(), "20200228130000500");
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
