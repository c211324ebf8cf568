#include "roto/DDGPUVideoView.h"

#include <system_error>

#include "gpu/GPUOpenGLESContext.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"

namespace roto {

DDGPUVideoView::DDGPUVideoView(const ui::Rect& frame) : ui::View(frame) {
  setBackgroundColor(ui::Color::clear());
  filter_ = std::make_shared<GPUFilter>();
  displayView_ = std::make_shared<GPUView>(ui::Rect{0, 0, frame.width, frame.height});
  displayView_->setFillMode(kGPUFillModePreserveAspectRatioAndFill);
  displayView_->setBackgroundColor(ui::Color::clear());
  displayView_->setOpaque(false);
  setAutoresizingMaskForView(displayView_.get());
  addSubview(displayView_);
  videoCamera_ = GPUVideoCamera::make();
  // The camera's notice comes on its capture thread; the view hears it on the
  // main thread while it lives.
  auto notice = [this, alive = std::weak_ptr<int>(alive_)](const std::string& failure) {
    fd::performOnMain([this, alive, failure] {
      if (alive.lock()) cameraDidOpen(failure);
    }, false);
  };
  if (!videoCamera_) {
    notice("there is no camera to film with");
    return;
  }
  videoCamera_->setOpenHandler([notice](const fd::Status& opened) { notice(opened.error()); });
  videoCamera_->addTarget(filter_);
  filter_->addTarget(displayView_);
  videoCamera_->startCameraCapture();
}

DDGPUVideoView::~DDGPUVideoView() {
  if (videoCamera_) {
    videoCamera_->stopCameraCapture();
    videoCamera_->setAudioEncodingTarget(nullptr);
  }
  waitForRecording();
  dropTargets();
}

void DDGPUVideoView::waitForRecording() {
  for (std::thread& t : writerThreads_)
    if (t.joinable()) t.join();
  writerThreads_.clear();
}

void DDGPUVideoView::cameraDidOpen(const std::string& failure) {
  cameraOpen_ = true;
  cameraFailure_ = failure;
  if (delegate_) delegate_->ddGpuVideoViewDidOpenCamera(this, failure);
}

fd::Failure DDGPUVideoView::recordingFailure() const {
  if (!movieWriter_) return {};
  return {movieWriter_->error(), movieWriter_->errorNumber()};
}

void DDGPUVideoView::dropTargets() {
  if (videoCamera_) videoCamera_->removeAllTargets();
  if (filter_) filter_->removeAllTargets();
}

void DDGPUVideoView::setVideoRecordFilter(const std::shared_ptr<GPUFilter>& f1, const std::shared_ptr<GPUFilter>& f2,
                                          const std::shared_ptr<GPUTwoInputFilter>& blend) {
  dropTargets();
  if (videoCamera_) {
    videoCamera_->addTarget(f1);
    videoCamera_->addTarget(f2);
  }
  filter_ = blend;
  f1->addTarget(blend);
  f2->addTarget(blend);
  blend->addTarget(displayView_);
}

void DDGPUVideoView::setVideoRecordFilter(const std::shared_ptr<GPUFilter>& filter) {
  dropTargets();
  filter_ = filter;
  if (videoCamera_) videoCamera_->addTarget(filter);
  filter->addTarget(displayView_);
}

void DDGPUVideoView::setVideoRecordOrientation(int orientation) {
  if (videoCamera_) videoCamera_->setOutputImageOrientation(orientation);
}

void DDGPUVideoView::rotateCamera() {
  if (videoCamera_) videoCamera_->rotateCamera();
}

bool DDGPUVideoView::prepareForVideoRecordingWithPath(const std::optional<std::filesystem::path>& path) {
  savePath_ = path ? *path : fd::paths::temporary() / "ddGpuVideo_temp.mp4";
  std::error_code ec;
  std::filesystem::remove(savePath_, ec);
  movieWriter_ = std::make_shared<GPUMovieWriter>(savePath_, recordMovieSize_);
  filter_->addTarget(movieWriter_);
  if (videoCamera_) videoCamera_->setAudioEncodingTarget(movieWriter_);
  return true;
}

void DDGPUVideoView::startRecord() {
  if (!movieWriter_) return;
  writerThreads_.emplace_back([writer = movieWriter_] { writer->startRecording(); });
}

void DDGPUVideoView::endRecord() {
  if (movieWriter_) {
    // The start may still be under way on its own thread; the finish follows it.
    std::vector<std::thread> before = std::move(writerThreads_);
    writerThreads_.clear();
    writerThreads_.emplace_back([writer = movieWriter_, before = std::move(before)]() mutable {
      for (std::thread& t : before)
        if (t.joinable()) t.join();
      writer->finishRecording();
    });
    filter_->removeTarget(movieWriter_);
  }
  if (videoCamera_) videoCamera_->setAudioEncodingTarget(nullptr);
  if (delegate_) delegate_->ddGpuVideoViewDidEndRecordAtPath(this, savePath_.string());
}

}  // namespace roto
