#pragma once
// What the live camera view tells its owner: the camera has opened (or why it
// could not, the test pattern standing in), and a recording has ended and
// where its movie is (the writer may still be finishing the file).
#include <string>

namespace roto {

class DDGPUVideoView;

class DDGPUVideoViewDelegate {
 public:
  virtual ~DDGPUVideoViewDelegate() = default;
  virtual void ddGpuVideoViewDidEndRecordAtPath(DDGPUVideoView*, const std::string& /*path*/) {}
  // On the main thread; an empty failure when the camera opened.
  virtual void ddGpuVideoViewDidOpenCamera(DDGPUVideoView*, const std::string& /*failure*/) {}
};

}  // namespace roto
