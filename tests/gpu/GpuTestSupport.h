#pragma once
// Helpers of the GPU pipeline's tests: a target that records what its source
// tells it, and a latch that holds the processing queue still.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "gpu/GPUOpenGLESContext.h"
#include "gpu/GPUOutput.h"

namespace gputest {

// Records every message in order as text; answers as a plain target.
class RecordingTarget : public GPUInput {
 public:
  void newFrameReadyAtTime(CMTime t, int i) override {
    log("frame " + std::to_string(i) + (CMTIME_IS_INDEFINITE(t) ? " still" : ""));
    ++frames;
  }
  void setInputTexture(GLuint tex, int i) override {
    texture = tex;
    log("texture " + std::string(tex == 0 ? "0" : "set") + " " + std::to_string(i));
  }
  void setTextureDelegate(GPUTextureDelegate* d, int i) override {
    delegate = d;
    log(std::string(d == nullptr ? "no delegate " : "delegate ") + std::to_string(i));
  }
  int nextAvailableTextureIndex() const override { return nextIndex; }
  void setInputSize(gfx::Size s, int i) override {
    size = s;
    log("size " + std::to_string(static_cast<int>(s.width)) + "x" + std::to_string(static_cast<int>(s.height)) +
        " " + std::to_string(i));
  }
  void setInputRotation(RotationMode r, int i) override {
    log("rotation " + std::to_string(r) + " " + std::to_string(i));
  }
  gfx::Size maximumOutputSize() const override { return {}; }
  void endProcessing() override { log("end"); }
  bool shouldIgnoreUpdatesToThisTarget() const override { return ignoreUpdates; }
  bool enabled() const override { return true; }
  void conserveMemoryForNextFrame() override {
    log("conserve");
    ++conserveRequests;
  }

  std::vector<std::string> messages() {
    std::lock_guard lock(m_);
    return messages_;
  }
  void clear() {
    std::lock_guard lock(m_);
    messages_.clear();
  }

  int nextIndex = 0;
  bool ignoreUpdates = false;
  int frames = 0;
  int conserveRequests = 0;
  GLuint texture = 0;
  gfx::Size size;
  GPUTextureDelegate* delegate = nullptr;

 private:
  void log(std::string text) {
    std::lock_guard lock(m_);
    messages_.push_back(std::move(text));
  }
  std::mutex m_;
  std::vector<std::string> messages_;
};

// Blocks the processing queue from construction until release().
class QueueLatch {
 public:
  QueueLatch() {
    performOnProcessingQueueAsync([this] {
      std::unique_lock lock(m_);
      cv_.wait(lock, [this] { return released_; });
    });
  }
  ~QueueLatch() { release(); }
  void release() {
    {
      std::lock_guard lock(m_);
      released_ = true;
    }
    cv_.notify_all();
    performOnProcessingQueueSync([] {});
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool released_ = false;
};

// Waits until every job queued on the processing queue so far has run.
inline void drainProcessingQueue() { performOnProcessingQueueSync([] {}); }

}  // namespace gputest
