#pragma once
// The live camera view of the rotoscoping screen: the camera through a filter
// chain onto an on-screen GPU view and, while recording, into a movie writer
// at the end of the chain with the microphone's sound. The recording's file
// is complete once the view is gone (or waitForRecording has returned).
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "gpu/GPUFilter.h"
#include "gpu/GPUMovieWriter.h"
#include "gpu/GPUTwoInputFilter.h"
#include "gpu/GPUVideoCamera.h"
#include "gpu/GPUView.h"
#include "platform/ui/View.h"
#include "roto/DDGPUVideoViewDelegate.h"

namespace roto {

class DDGPUVideoView : public ui::View {
 public:
  // Builds and starts the default chain: camera, pass-through filter, display.
  explicit DDGPUVideoView(const ui::Rect& frame);
  ~DDGPUVideoView() override;

  void setDelegate(DDGPUVideoViewDelegate* d) { delegate_ = d; }
  // Camera into the first input of the blend through filter1 and into its
  // second through filter2; the blend feeds the display (and the writer).
  void setVideoRecordFilter(const std::shared_ptr<GPUFilter>& filter1, const std::shared_ptr<GPUFilter>& filter2,
                            const std::shared_ptr<GPUTwoInputFilter>& blend);
  // Camera, the filter, the display.
  void setVideoRecordFilter(const std::shared_ptr<GPUFilter>& filter);
  void setVideoRecordOrientation(int orientation);
  void setVideoRecordQuality(int) {}
  void rotateCamera();

  // No path: "ddGpuVideo_temp.mp4" in the temporary folder. Always true.
  bool prepareForVideoRecordingWithPath(const std::optional<std::filesystem::path>& path);
  void startRecord();
  // Tells the delegate at once; the writer finishes on its own thread.
  void endRecord();
  // Returns once every started and finished recording has been written.
  void waitForRecording();
  // Why the last recording could not be written, with the system's error
  // number (no message when it was, or while it is being written).
  fd::Failure recordingFailure() const;

  // The camera opens off the main thread: until it has, the view shows nothing.
  bool isCameraOpen() const { return cameraOpen_; }
  // Why the camera could not be opened; empty when it opened.
  const std::string& cameraFailure() const { return cameraFailure_; }

  ui::Size recordMovieSize() const { return recordMovieSize_; }
  void setRecordMovieSize(ui::Size s) { recordMovieSize_ = s; }
  const std::filesystem::path& savePath() const { return savePath_; }
  GPUFilter* filter() const { return filter_.get(); }
  GPUView* displayView() const { return displayView_.get(); }
  GPUVideoCamera* videoCamera() const { return videoCamera_.get(); }
  GPUMovieWriter* movieWriter() const { return movieWriter_.get(); }

  // Every flexible edge and size.
  static void setAutoresizingMaskForView(ui::View* view) { view->setAutoresizingMask(63); }

 private:
  void dropTargets();
  void cameraDidOpen(const std::string& failure);
  DDGPUVideoViewDelegate* delegate_ = nullptr;
  bool cameraOpen_ = false;
  std::string cameraFailure_;
  // Lives as long as the view: notices from the capture thread check it.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
  std::shared_ptr<GPUFilter> filter_;
  std::shared_ptr<GPUView> displayView_;
  std::shared_ptr<GPUVideoCamera> videoCamera_;
  std::shared_ptr<GPUMovieWriter> movieWriter_;
  std::filesystem::path savePath_;
  ui::Size recordMovieSize_{640, 480};
  std::vector<std::thread> writerThreads_;
};

}  // namespace roto
