#include "platform/foundation/TimestampId.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>

#include <cstdio>
#include <mutex>
#include <thread>

namespace fd {

namespace {

using namespace std::chrono;

// Local wall-clock time as a calendar reading, in milliseconds counted as if
// it were UTC. Ids compare by this reading, so steps of the clock or of the
// time zone never make an id smaller than the one before.
using CivilMillis = sys_time<milliseconds>;

CivilMillis localReading(system_clock::time_point t) {
  auto ms = floor<milliseconds>(t);
  auto secs = floor<seconds>(ms);
  time_t tt = system_clock::to_time_t(time_point_cast<system_clock::duration>(secs));
  tm local{};
  localtime_r(&tt, &local);
  auto day = year{local.tm_year + 1900} / month{static_cast<unsigned>(local.tm_mon + 1)} /
             std::chrono::day{static_cast<unsigned>(local.tm_mday)};
  return sys_days{day} + hours{local.tm_hour} + minutes{local.tm_min} + seconds{local.tm_sec} + (ms - secs);
}

std::string format(CivilMillis reading) {
  auto day = floor<days>(reading);
  year_month_day ymd{day};
  hh_mm_ss<milliseconds> time{reading - day};
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d%02u%02u%02d%02d%02d%03d", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()),
                static_cast<int>(time.hours().count()), static_cast<int>(time.minutes().count()),
                static_cast<int>(time.seconds().count()), static_cast<int>(time.subseconds().count()));
  return buffer;
}

// Ids a millisecond may still give after its plain one.
constexpr int kMostCounted = 9999;

struct State {
  std::mutex m;
  std::function<system_clock::time_point()> clock;
  std::function<void(milliseconds)> wait;
  bool issued = false;
  CivilMillis last{};
  int counted = 0;    // the count of the last id, within `last`'s millisecond
  pid_t process = 0;  // the process that issued `last`
};

State& state() {
  static State* s = new State;  // never destroyed
  return *s;
}

std::string withCount(CivilMillis reading, int count) {
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "-%04d", count);
  return format(reading) + suffix;
}

// The next id; `counting` lets an id share the last one's millisecond.
std::string nextId(bool counting) {
  State& s = state();
  std::lock_guard lock(s.m);
  auto read = [&s] { return localReading(s.clock ? s.clock() : system_clock::now()); };
  CivilMillis reading = read();
  if (s.process != ::getpid() && !s.clock) {
    // A program started (or forked) within the millisecond of another one's
    // last id would repeat it: the first id of a process waits for a fresh
    // millisecond, which no earlier process can have used, nor counted in.
    s.last = std::max(s.issued ? s.last : reading, reading);
    s.issued = true;
    s.counted = kMostCounted;
  }
  s.process = ::getpid();
  if (s.issued && reading <= s.last) {
    if (counting && s.counted < kMostCounted) {
      // Within the last id's millisecond, or a clock stepped back: the count
      // moves on and the time stays, never further ahead than it was.
      return withCount(s.last, ++s.counted);
    }
    if (s.last - reading < kTimestampLongestWait) {
      // Counting on from the last id without waiting is what let a burst run
      // seconds ahead of the clock, into the ids of the next start.
      while (reading <= s.last) {
        const milliseconds missing = s.last - reading + milliseconds{1};
        if (s.wait) {
          s.wait(missing);
        } else {
          std::this_thread::sleep_for(missing);
        }
        reading = read();
      }
    } else {
      reading = s.last + milliseconds{1};
    }
  }
  s.last = reading;
  s.counted = 0;
  s.issued = true;
  return format(reading);
}

}  // namespace

std::string formatTimestampId(std::chrono::system_clock::time_point t) { return format(localReading(t)); }

std::string timestampId() { return nextId(false); }

std::string countedTimestampId() { return nextId(true); }

void setTimestampClockForTesting(std::function<std::chrono::system_clock::time_point()> clock,
                                 std::function<void(std::chrono::milliseconds)> wait) {
  State& s = state();
  std::lock_guard lock(s.m);
  s.clock = std::move(clock);
  s.wait = std::move(wait);
  s.issued = false;  // each test starts a fresh sequence
}

}  // namespace fd
