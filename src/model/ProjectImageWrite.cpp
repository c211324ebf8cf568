// Pictures handed to a project from outside (a video turned into frames):
// PNG encoding and icon drawing run on one process-wide serial queue, so the
// hand-over does not wait for them.
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "model/ProjectDataModel.h"
#include "platform/foundation/CrashPoint.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/Context.h"

namespace {

constexpr gfx::Rect kIconRect{0, 0, 108, 81};

struct ImageWriteQueue {
  fd::DispatchQueue queue{"org.flipdesk.model.data-write"};
  // Held while a job draws its icon.
  fd::Semaphore iconPermit{1};
  // Projects with a save held back behind a queued one.
  std::mutex heldBackMutex;
  std::vector<std::weak_ptr<const ProjectDataModel>> heldBack;
};

// The queue once something has been handed to it (its worker thread starts
// then, not before: a process that forks starts no thread it does not need).
std::atomic<ImageWriteQueue*> gStarted{nullptr};

ImageWriteQueue& imageWriteQueue() {
  // Never destroyed: pictures handed in until the end are written, and the
  // termination waits for them.
  static ImageWriteQueue* q = gStarted = new ImageWriteQueue;
  return *q;
}

struct WriteJob {
  ImageRef image;
  std::shared_ptr<const ProjectDataModel> project;  // kept alive until written
  OptionalPath layerPath;
  OptionalPath snapshotPath;
  OptionalPath iconPath;
};

}  // namespace

void ProjectDataModel::noteImageWriteFailure(const fd::Failure& failure) const {
  fd::Log("A picture handed to the project was not written: %s\n", failure.message.c_str());
  std::lock_guard lock(imageWriteFailureMutex_);
  if (!imageWriteFailure_) imageWriteFailure_ = failure;
}

std::optional<fd::Failure> ProjectDataModel::imageWriteFailure() const {
  std::lock_guard lock(imageWriteFailureMutex_);
  return imageWriteFailure_;
}

namespace {

void runWriteJob(const WriteJob& job) {
  const auto write = [&](const OptionalPath& path, const fd::Data& png) {
    if (!path) return;
    if (fd::Status written = fd::files::writeFileAtomicallyReporting(*path, png); !written)
      job.project->noteImageWriteFailure(written.failure());
  };
  if (fd::Expected<fd::Data> png = gfx::encodePNG(*job.image, gfx::kQuickPngEncoding)) {
    write(job.layerPath, *png);
    write(job.snapshotPath, *png);
  }
  ImageWriteQueue& q = imageWriteQueue();
  q.iconPermit.wait();
  gfx::Context icon(static_cast<int>(kIconRect.width), static_cast<int>(kIconRect.height));
  icon.drawImage(*job.image, kIconRect);
  fd::Expected<fd::Data> iconPng = gfx::encodePNG(icon.makeImage(), gfx::kQuickPngEncoding);
  q.iconPermit.signal();
  if (iconPng) write(job.iconPath, *iconPng);
  fd::crashPoint("project.image-written");
}

}  // namespace

bool ProjectDataModel::setImage(const ImageRef& image, int layPosition, int index) {
  if (!image || index < 1 || index > static_cast<int>(state_.frames_.size())) return false;
  if (layPosition < 1 || layPosition > frameLayCount_) return false;
  asyncWriteImage(image, layPosition, index);
  saveDataInBackground();
  return true;
}

bool ProjectDataModel::addFrameWithImage(const ImageRef& image, int layPosition) {
  if (!image || layPosition < 1 || layPosition > frameLayCount_) return false;
  createImageAtPage(static_cast<int>(state_.frames_.size()) + 1);
  asyncWriteImage(image, layPosition, static_cast<int>(state_.frames_.size()));
  saveDataInBackground();
  return true;
}

void ProjectDataModel::saveDataInBackground() {
  ImageWriteQueue& q = imageWriteQueue();
  if (saveQueued_.exchange(true)) {
    if (!saveHeldBack_.exchange(true)) {
      std::lock_guard lock(q.heldBackMutex);
      q.heldBack.push_back(weak_from_this());
    }
    return;
  }
  saveHeldBack_ = false;
  std::shared_ptr<ProjectDataModel> self = shared_from_this();
  q.queue.async([self, path = plistFilePath(), plist = plistValue(), generation = ++plistGeneration_] {
    if (fd::Status written = self->writePlist(path, plist, generation, {}, ListFailure::Noted);
        !written && !written.error().starts_with(kListRefused))
      self->noteImageWriteFailure(written.failure());
    self->saveQueued_ = false;
  });
}

void ProjectDataModel::asyncWriteImage(const ImageRef& image, int layPosition, int index) {
  if (!image || layPosition > frameLayCount_ || index > static_cast<int>(state_.frames_.size())) return;
  // Paths are taken now: the frame list may change before the job runs.
  WriteJob job{image, shared_from_this(), layFullPathAtPage(index, false, layPosition),
               snapshotFullPathAtPage(index, false), iconFullPathAtPage(index, false)};
  imageWriteQueue().queue.async([job = std::move(job)] { runWriteJob(job); });
}

void ProjectDataModel::waitForImageWrites() {
  if (gStarted.load() == nullptr) return;  // nothing was ever queued
  ImageWriteQueue& q = imageWriteQueue();
  q.queue.drain();
  std::vector<std::weak_ptr<const ProjectDataModel>> heldBack;
  {
    std::lock_guard lock(q.heldBackMutex);
    heldBack.swap(q.heldBack);
  }
  for (const std::weak_ptr<const ProjectDataModel>& weak : heldBack) {
    std::shared_ptr<const ProjectDataModel> p = weak.lock();
    if (p && p->saveHeldBack_) p->saveData();
  }
}

void ProjectDataModel::afterImageWrites(std::function<void()> work) { imageWriteQueue().queue.async(std::move(work)); }
