#include "canvas/DrawsView.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <utility>

#include "canvas/PageFiles.h"
#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace {

// Brush tips by brush type; the type number is also the texture index.
constexpr const char* kBrushTextureNames[] = {
    "DefaultTexture.bundle/brusherase.png",
    "DefaultTexture.bundle/brushImage1.png",
    "DefaultTexture.bundle/brushImage2.png",
    "brushImage3.png",
    "newBrush04.png",
    "newBrush05.png",
    "newBrush06.png",
    "DefaultTexture.bundle/brushSmudge.png",
};

}  // namespace

std::shared_ptr<DrawsView> DrawsView::initDrawViewWithScaleFactor(float scale) {
  // The base is made with the frame in pixels so that the backing gets the
  // page size times the screen scale; the frame then shrinks to points.
  std::shared_ptr<DrawsView> view(new DrawsView({0, 0, kPageWidth * scale, kPageHeight * scale}, scale));
  if (!view->isValid()) return nullptr;
  return view;
}

DrawsView::DrawsView(gfx::Rect backingFrame, float scale) : VTEAGLView(backingFrame) {
  if (!isValid()) return;
  // The brush canvas ends its set-up with brush type 1. On this canvas that
  // means the desk's row for type 1, not the engine's bare preset that the
  // base applied while this object was not yet a DrawsView.
  setBrushType(1);
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
  operated_ = false;
  setFrame({0, 0, kPageWidth, kPageHeight});
  cScaleFactor_ = scale;
  factor_ = 1;
  baseRect_ = frame();
  drawRect_ = frame();
  std::vector<gfx::Image> textures;
  for (const char* name : kBrushTextureNames) {
    if (auto image = gfx::readPNG(fd::paths::resource(name))) textures.push_back(std::move(*image));
  }
  setTextureImages(textures);
}

DrawsView::~DrawsView() {
  if (saveTimer_) saveTimer_->invalidate();
  // The queue's destruction runs the writes still queued: what was to be
  // saved is saved.
  pageQueue_.reset();
}

float DrawsView::distanceBetweenPoints(gfx::Point p, gfx::Point q) {
  const double dx = static_cast<double>(p.x) - q.x;
  const double dy = static_cast<double>(p.y) - q.y;
  return static_cast<float>(std::sqrt(dx * dx + dy * dy));
}

gfx::Point DrawsView::rectOffsetWithPoints(gfx::Point pPre, gfx::Point pLocal, gfx::Point qPre, gfx::Point qLoc) {
  return {((pPre.x - pLocal.x) + (qPre.x - qLoc.x)) / 2, ((pPre.y - pLocal.y) + (qPre.y - qLoc.y)) / 2};
}

// --- content

// A fill started on the old picture must not be drawn over the new one.
void DrawsView::pageReplaced() {
  if (fillTool_) fillTool_->cancelPendingFill();
  ++changeGeneration_;
}

void DrawsView::changed() {
  operated_ = true;
  ++changeGeneration_;
  noteUnsaved();
  scheduleSave();
}

void DrawsView::noteUnsaved() {
  if (!unsavedSince_) unsavedSince_ = changeTime();
}

double DrawsView::changeTime() const { return inputMadeAt_ ? *inputMadeAt_ : fd::RunLoop::main().now(); }

void DrawsView::setOperated(bool on) {
  if (on) {
    changed();
    return;
  }
  operated_ = false;
  unsavedSince_.reset();
}

// A loaded picture is the page as stored: no history, nothing to save, and
// no cut of the previous picture left to withdraw.
void DrawsView::pageLoaded() {
  resetUndoManager();
  operated_ = false;
  unsavedSince_.reset();
  pendingCut_.reset();
}

void DrawsView::setImage(const gfx::Image* image, gfx::Rect rect) {
  pageReplaced();
  VTEAGLView::setImage(image, rect);
  pageLoaded();
}

void DrawsView::setImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float radian) {
  pageReplaced();
  VTEAGLView::setImage(image, size, center, radian);
  pageLoaded();
}

void DrawsView::setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect) {
  pageReplaced();
  VTEAGLView::setData(bytes, dataSize, rect);
  pageLoaded();
}

void DrawsView::setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center,
                        float radian) {
  pageReplaced();
  VTEAGLView::setData(bytes, dataSize, size, center, radian);
  pageLoaded();
}

void DrawsView::drawImage(const gfx::Image& image, gfx::Rect rect) {
  VTEAGLView::drawImage(image, rect);
  changed();
}

void DrawsView::drawImage(const gfx::Image& image, gfx::Size size, gfx::Point center, float radian) {
  VTEAGLView::drawImage(image, size, center, radian);
  changed();
}

void DrawsView::drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect) {
  VTEAGLView::drawData(bytes, dataSize, rect);
  changed();
}

void DrawsView::drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center,
                         float radian) {
  VTEAGLView::drawData(bytes, dataSize, size, center, radian);
  changed();
}

void DrawsView::clear() {
  pageReplaced();
  VTEAGLView::clear();
  changed();
}

bool DrawsView::undo() {
  pageReplaced();
  const std::string from = undoManager() ? undoManager()->currentStringItem() : std::string();
  const bool done = VTEAGLView::undo();
  if (done && pendingCut_) pendingCut_->undidFrom(from);
  changed();
  return done;
}

bool DrawsView::redo() {
  pageReplaced();
  const bool done = VTEAGLView::redo();
  if (done && pendingCut_ && undoManager()) pendingCut_->redidTo(undoManager()->currentStringItem());
  changed();
  return done;
}

// --- the stamp tool's cut

template <class Cut>
void DrawsView::takeCut(Cut&& cut) {
  pageReplaced();
  SnapshotData before = curImageData();
  cut();
  changed();
  SnapshotData after = curImageData();
  pendingCut_.emplace(std::move(before), std::move(after),
                      undoManager() ? undoManager()->currentStringItem() : std::string());
}

void DrawsView::cutRegion(const gfx::Image* replacement, gfx::Size size, gfx::Point center, float radian) {
  takeCut([&] { VTEAGLView::setImage(replacement, size, center, radian); });
}

void DrawsView::cutOutline(const gfx::Image& mask, gfx::Size size, gfx::Point center, float radian) {
  takeCut([&] { eraseWithMask(mask, size, center, radian); });
}

void DrawsView::cutPiecePlaced() {
  if (pendingCut_ && undoManager()) pendingCut_->placedBy(undoManager()->currentStringItem());
}

bool DrawsView::withdrawCut() {
  if (!cutOutstanding()) {
    pendingCut_.reset();
    return false;
  }
  const PendingCut cut = std::move(*pendingCut_);
  pendingCut_.reset();
  // Nothing since the cut: the cut is taken back as if it had never been,
  // with no step left to redo it.
  if (undoManager() && undoManager()->currentStringItem() == cut.cutStep() && !edited() && undo()) {
    forgetRedoSteps();
    return true;
  }
  SnapshotData now = curImageData();
  SnapshotData restored = now ? cut.withdrawnFrom(*now) : nullptr;
  if (!restored) return false;
  VTEAGLView::setData(restored->data(), {static_cast<float>(backingWidth()), static_cast<float>(backingHeight())},
                      bounds());
  changed();
  return true;
}

std::optional<gfx::Image> DrawsView::pagePicture() {
  if (cutOutstanding()) {
    if (SnapshotData now = curImageData()) {
      if (SnapshotData restored = pendingCut_->withdrawnFrom(*now))
        return gfx::Image::fromPixelBlock(restored->data(), backingWidth(), backingHeight(), 1.0f);
    }
  }
  return image();
}

PageFiles::Picture DrawsView::pictureToWrite() {
  if (cutOutstanding()) {
    std::optional<gfx::Image> picture = pagePicture();
    return picture ? std::make_shared<const gfx::Image>(std::move(*picture)) : nullptr;
  }
  // The last picture is read into again unless a write still holds it.
  if (!readBack_ || readBack_.use_count() > 1) readBack_ = std::make_shared<gfx::Image>();
  if (!readImage(*readBack_)) return nullptr;
  return readBack_;
}

// --- flood fill

void DrawsView::fillStart(gfx::Point location) {
  if (!fillTool_) {
    fillTool_ = std::make_unique<FillTool>(
        kFillTransactType,
        gfx::Size{static_cast<float>(backingWidth()), static_cast<float>(backingHeight())}, kFillTolerance, this);
  }
  // One fill at a time: the tool still owns the previous picture until its
  // result has been drawn.
  if (fillTool_->hasPendingFill()) return;
  const std::size_t size = static_cast<std::size_t>(backingWidth()) * backingHeight() * 4;
  std::unique_ptr<std::uint8_t[]> pixels(new (std::nothrow) std::uint8_t[size]);
  if (pixels) {
    readData(pixels.get(), {0, 0, static_cast<float>(backingWidth()), static_cast<float>(backingHeight())});
    fillTool_->setImageData(pixels.get(),
                            {static_cast<float>(backingWidth()), static_cast<float>(backingHeight())});
  }
  fillTool_->setFillColor(ZTDataModel::sharedInstance().extendDataModel().cuColor());
  fillTool_->fillImageDataWithPosition(bufferPointWithPoint(location));
}

void DrawsView::fillToolDidFinishedWithImageData(const FillImageData& result) {
  drawData(result.bytes, result.size, bounds());
}

// --- page files

// The changed flag stays set until the files are on disk, so a page whose
// write failed is written again the next time the page is left.
bool DrawsView::writePage(fd::Expected<PageFiles::Job> job, bool wait, bool savesChange) {
  const std::uint64_t sequence = ++writeSequence_;
  const std::uint64_t generation = changeGeneration_;
  if (!job) {
    const fd::Status failure = job.failure();
    PageFiles::reported(failure);
    pageWritten(sequence, generation, std::nullopt, failure);
    return false;
  }
  // The write holds every change so far; a later one waits its own time.
  std::optional<double> unsavedSince;
  if (savesChange) unsavedSince = std::exchange(unsavedSince_, std::nullopt).value_or(changeTime());
  if (wait) {
    // After the writes already started, at the caller's own priority: the
    // caller is waiting.
    waitForPageWrites();
    const fd::Status status = (*job)();
    PageFiles::reported(status);
    pageWritten(sequence, generation, unsavedSince, status);
    return status.ok();
  }
  if (!pageQueue_) {
    pageQueue_ = std::make_unique<fd::DispatchQueue>("org.flipdesk.canvas.page-write",
                                                     fd::DispatchQueue::Priority::Background);
  }
  std::weak_ptr<DrawsView> self = std::static_pointer_cast<DrawsView>(shared_from_this());
  pageQueue_->async([job = std::move(*job), self, sequence, generation, unsavedSince] {
    fd::Status status = job();
    PageFiles::reported(status);
    fd::RunLoop::main().post([self, sequence, generation, unsavedSince, status] {
      if (std::shared_ptr<DrawsView> view = self.lock()) view->pageWritten(sequence, generation, unsavedSince, status);
    });
  });
  return true;
}

// `unsavedSince`: when the oldest change the write was to save was made, for
// a write that saves the page's changes.
void DrawsView::pageWritten(std::uint64_t sequence, std::uint64_t generation, std::optional<double> unsavedSince,
                            const fd::Status& status) {
  // A write that finished after a later one was reported says nothing new.
  if (sequence < reportedSequence_) return;
  reportedSequence_ = sequence;
  if (unsavedSince && status.ok() && generation == changeGeneration_) operated_ = false;
  // Its changes wait on from when they were made: the next lift tries again.
  if (unsavedSince && !status.ok() && operated_)
    unsavedSince_ = std::min(unsavedSince_.value_or(*unsavedSince), *unsavedSince);
  if (pageWriteObserver_) pageWriteObserver_(status);
}

bool DrawsView::writeToFileForLay(int position) {
  if (!operated_) return true;
  return writePage(PageFiles::currentLayerJob(pictureToWrite(), position, cScaleFactor_, PageFiles::Spread::Threads,
                                              pageWorkspace_),
                   true, true);
}

bool DrawsView::writeSnapAndIconImage(int position) {
  return writePage(PageFiles::currentSnapshotAndIconJob(pictureToWrite(), position, cScaleFactor_,
                                                        PageFiles::Spread::Threads, pageWorkspace_),
                   true, false);
}

bool DrawsView::writeToFileForBackground() {
  if (!operated_) return true;
  return writePage(
      PageFiles::currentBackgroundJob(pictureToWrite(), cScaleFactor_, PageFiles::Spread::Threads, pageWorkspace_), true,
      true);
}

void DrawsView::writeToFileForLayInBackground(int position) {
  if (!operated_) return;
  writePage(PageFiles::currentLayerJob(pictureToWrite(), position, cScaleFactor_, PageFiles::Spread::Sequential,
                                       pageWorkspace_),
            false, true);
}

void DrawsView::writeToFileForBackgroundInBackground() {
  if (!operated_) return;
  writePage(
      PageFiles::currentBackgroundJob(pictureToWrite(), cScaleFactor_, PageFiles::Spread::Sequential, pageWorkspace_),
      false, true);
}

void DrawsView::waitForPageWrites() {
  if (pageQueue_) pageQueue_->drain();
}

// --- saving as the drawing goes on

void DrawsView::setSaveHandler(double delay, std::function<void()> handler) {
  saveDelay_ = delay;
  saveHandler_ = std::move(handler);
  scheduleSave();
}

// Due at the first change's time plus the delay, on the loop's clock: a timer
// for a pause, the lift for drawing that goes on through it.
void DrawsView::scheduleSave() {
  if (saveTimer_) saveTimer_->invalidate();
  saveTimer_.reset();
  if (!saveHandler_ || touchDown_ || !operated_ || !unsavedSince_) return;
  const double wait = std::max(0.0, *unsavedSince_ + saveDelay_ - fd::RunLoop::main().now());
  std::weak_ptr<DrawsView> self = std::static_pointer_cast<DrawsView>(shared_from_this());
  saveTimer_ = fd::RunLoop::main().scheduleTimer(wait, false, [self] {
    std::shared_ptr<DrawsView> view = self.lock();
    if (!view || view->touchDown_ || !view->operated_ || !view->unsavedSince_ || !view->saveHandler_) return;
    view->saveHandler_();
  });
}

void DrawsView::touchesDown(bool down) {
  touchDown_ = down;
  if (down) {
    if (saveTimer_) saveTimer_->invalidate();
    saveTimer_.reset();
    return;
  }
  if (saveHandler_ && operated_ && unsavedSince_ && changeTime() - *unsavedSince_ >= saveDelay_) {
    saveHandler_();
    return;
  }
  scheduleSave();
}
