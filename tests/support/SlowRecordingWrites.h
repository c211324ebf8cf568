#pragma once
// A recording file on a slow file system, on the run loop's virtual clock:
// every write the recorder makes to it takes a fixed time (the clock moves on
// while it lasts, as a network or user-space mount keeps a program waiting),
// and before each one the file on disk is looked at: how much sound it holds
// beyond what its header counts. A watch on the main loop tells the longest
// time it went without a turn.
#include <sndfile.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <system_error>

#include "platform/foundation/RunLoop.h"
#include "platform/media/Recorder.h"

namespace testing_support {

class SlowRecordingWrites {
 public:
  // Writes take `perWrite` seconds for the next `lasting` seconds of the
  // clock, so that a recorder that never lets go of the loop still ends.
  explicit SlowRecordingWrites(double perWrite, double lasting = 30) {
    const double recoversAt = fd::RunLoop::main().now() + lasting;
    media::setRecordingWriteHookForTesting([this, perWrite, recoversAt](const std::filesystem::path& file) {
      look(file);
      if (beforeEach) beforeEach();
      if (fd::RunLoop::main().now() < recoversAt) fd::RunLoop::main().stall(perWrite);
    });
  }
  ~SlowRecordingWrites() { media::setRecordingWriteHookForTesting(nullptr); }
  SlowRecordingWrites(const SlowRecordingWrites&) = delete;
  SlowRecordingWrites& operator=(const SlowRecordingWrites&) = delete;

  // Seconds of sound the file held past its header at worst, before any write.
  double largestHeaderLag() const { return static_cast<double>(largestLag_) / 44100; }
  int writes() const { return writes_; }
  // Runs before each write, after the look at the file (a test kills there).
  std::function<void()> beforeEach;

 private:
  // A 16-bit mono file: what lies past the header's bytes is sound. The
  // header's size is the file's size before the first write.
  void look(const std::filesystem::path& file) {
    ++writes_;
    std::error_code ec;
    const auto size = static_cast<std::int64_t>(std::filesystem::file_size(file, ec));
    if (ec) return;
    if (!headerBytes_) headerBytes_ = size;
    SF_INFO info{};
    SNDFILE* f = sf_open(file.c_str(), SFM_READ, &info);
    if (f == nullptr) return;
    sf_close(f);
    largestLag_ = std::max(largestLag_, (size - *headerBytes_) / 2 - static_cast<std::int64_t>(info.frames));
  }
  std::optional<std::int64_t> headerBytes_;
  std::int64_t largestLag_ = 0;
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

}  // namespace testing_support
