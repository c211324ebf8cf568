#pragma once
// What the reduction tests share: a corner of a picture, and frames sent one
// by one through a raw-data source.
#include <algorithm>
#include <memory>

#include "gpu/GPURawData.h"
#include "gpu/GpuReference.h"
#include "gpu/GpuTestSupport.h"

namespace reductiontest {

// The picture's top-left corner.
inline gfx::Image crop(const gfx::Image& picture, int w, int h) {
  gfx::Image out(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) std::copy_n(picture.pixel(x, y), 4, out.pixel(x, y));
  return out;
}

// One source whose frames change: each send uploads the picture (as the
// picture source would hold it) and waits until the frame has passed.
class FrameFeeder {
 public:
  explicit FrameFeeder(gfx::Size size) : size_(size) {
    std::vector<std::uint8_t> blank(static_cast<std::size_t>(size.width * size.height * 4), 0);
    source_ = std::make_shared<GPURawDataInput>(blank.data(), size, GL_RGBA);
  }
  GPURawDataInput& source() { return *source_; }
  void send(const gfx::Image& picture) {
    const gfx::Image up = gpuref::uploaded(picture);
    source_->updateDataFromBytes(up.pixels(), size_);
    source_->processData();
    gputest::drainProcessingQueue();
  }

 private:
  gfx::Size size_;
  std::shared_ptr<GPURawDataInput> source_;
};

}  // namespace reductiontest
