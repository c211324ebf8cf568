#pragma once
// A recording file on slow or full storage, on the run loop's virtual clock:
// every write the recorder's writer makes to it takes time on the clock (so
// much a write, or so much a 4 KiB page, as a network or user-space mount
// keeps a program waiting), one write may stall, and writes may be refused
// for want of space. Before each write the file on disk is looked at: how
// much sound it holds beyond what its header counts. A watch on the main loop
// tells the longest time it went without a turn.
#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "platform/foundation/RunLoop.h"
#include "platform/media/Recorder.h"

namespace testing_support {

struct WriteCost {
  double perWrite = 0;
  double perPage = 0;  // for each 4 KiB page or part of one
};

class SlowRecordingWrites {
 public:
  // Writes cost so much for the next `lasting` seconds of the clock.
  explicit SlowRecordingWrites(WriteCost cost, double lasting = 30) : cost_(cost) {
    recoversAt_ = fd::RunLoop::main().now() + lasting;
    media::setRecordingWriteHookForTesting(
        [this](const std::filesystem::path& file, std::size_t bytes) { return meet(file, bytes); });
  }
  explicit SlowRecordingWrites(double perWrite, double lasting = 30) : SlowRecordingWrites(WriteCost{perWrite, 0}, lasting) {}
  ~SlowRecordingWrites() { media::setRecordingWriteHookForTesting(nullptr); }
  SlowRecordingWrites(const SlowRecordingWrites&) = delete;
  SlowRecordingWrites& operator=(const SlowRecordingWrites&) = delete;

  // The first write begun at or after `at` on the clock takes `seconds`.
  void stallOnce(double at, double seconds) {
    std::lock_guard lock(m_);
    stallAt_ = at;
    stall_ = seconds;
  }
  // Every write begun at or after `at` is refused: the disk is full.
  void refuseFrom(double at) {
    std::lock_guard lock(m_);
    refuseFrom_ = at;
  }
  // Seconds of sound the file held past its header at worst, before any write.
  double largestHeaderLag() const {
    std::lock_guard lock(m_);
    return static_cast<double>(largestLag_) / 44100;
  }
  int writes() const {
    std::lock_guard lock(m_);
    return writes_;
  }
  // Samples the file held when the first write was refused; nullopt while
  // none has been.
  std::optional<std::int64_t> heldWhenRefused() const {
    std::lock_guard lock(m_);
    return heldWhenRefused_;
  }
  // When the stalled write began; nullopt while none has.
  std::optional<double> stalledAt() const {
    std::lock_guard lock(m_);
    return stalledAt_;
  }
  // Runs on the writer's thread before each write, after the look at the
  // file (a test kills there).
  std::function<void()> beforeEach;

 private:
  media::RecordingWrite meet(const std::filesystem::path& file, std::size_t bytes) {
    const double now = fd::RunLoop::main().now();
    std::lock_guard lock(m_);
    look(file);
    if (beforeEach) beforeEach();
    if (refuseFrom_ && now >= *refuseFrom_) {
      if (!heldWhenRefused_) heldWhenRefused_ = held_;
      return {0, ENOSPC};
    }
    if (stall_ > 0 && now >= stallAt_) {
      stalledAt_ = now;
      return {std::exchange(stall_, 0.0), 0};
    }
    if (now >= recoversAt_) return {};
    const double pages = std::max(1.0, std::ceil(static_cast<double>(bytes) / 4096));
    return {cost_.perWrite + cost_.perPage * pages, 0};
  }

  // A 16-bit mono file: what lies past the header's bytes is sound. The
  // header's size is the file's size before the first write.
  void look(const std::filesystem::path& file) {
    ++writes_;
    std::error_code ec;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file, ec));
    if (ec) return;
    if (!headerBytes_) headerBytes_ = size;
    held_ = (size - *headerBytes_) / 2;
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    if (f == nullptr) return;
    sf_close(f);
    largestLag_ = std::max(largestLag_, (size - *headerBytes_) / 2 - static_cast<std::int64_t>(info.frames));
  }

  mutable std::mutex m_;
  WriteCost cost_;
  double recoversAt_ = 0;
  double stallAt_ = 0, stall_ = 0;
  std::optional<double> stalledAt_;
  std::optional<double> refuseFrom_;
  std::optional<std::int64_t> headerBytes_;
  std::int64_t largestLag_ = 0;
  std::int64_t held_ = 0;
  std::optional<std::int64_t> heldWhenRefused_;
  int writes_ = 0;
};

// The longest the main loop went without a turn, seen by a timer every 10 ms.
class LoopTurnWatch {
 public:
  LoopTurnWatch() : last_(fd::RunLoop::main().now()) {
    timer_ = fd::RunLoop::main().scheduleTimer(0.01, true, [this] { note(); });
  }
  ~LoopTurnWatch() { timer_->invalidate(); }
  LoopTurnWatch(const LoopTurnWatch&) = delete;
  LoopTurnWatch& operator=(const LoopTurnWatch&) = delete;
  double longestWait() const { return longest_; }

 private:
  void note() {
    const double now = fd::RunLoop::main().now();
    longest_ = std::max(longest_, now - last_);
    last_ = now;
  }
  fd::TimerRef timer_;
  double last_;
  double longest_ = 0;
};

// Turns the main loop without moving the clock until `done` holds (the
// recorder's thread completing a file), for at most a few real seconds.
template <class Done>
bool turnUntil(Done done) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    fd::RunLoop::main().runUntilIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace testing_support
