#pragma once
// What the live camera view tells its owner: a recording has ended and where
// its movie is (the writer may still be finishing the file).
#include <string>

namespace roto {

class DDGPUVideoView;

class DDGPUVideoViewDelegate {
 public:
  virtual ~DDGPUVideoViewDelegate() = default;
  virtual void ddGpuVideoViewDidEndRecordAtPath(DDGPUVideoView*, const std::string& /*path*/) {}
};

}  // namespace roto
