#pragma once
// A view of the toolkit as a pipeline source: each update renders the view's
// subtree at pixel resolution into a texture and sends it as a frame, timed
// by the run loop's clock from the first update.
#include <memory>

#include "gpu/GPUOutput.h"
#include "platform/ui/View.h"

class GPUUIElement : public GPUOutput {
 public:
  // Renders and sends at once.
  explicit GPUUIElement(std::shared_ptr<ui::View> view);

  // The view's bounds times the main screen's scale.
  gfx::Size layerSizeInPixels() const;
  // Renders the view on the calling thread (the main thread, as for any view
  // drawing), then uploads and sends on the processing queue.
  void update();

  CMTime time() const { return time_; }

 private:
  std::shared_ptr<ui::View> view_;
  CMTime time_ = kCMTimeInvalid;
  double actualTimeOfLastUpdate_ = 0;
};
