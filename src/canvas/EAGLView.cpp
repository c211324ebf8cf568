#include "canvas/EAGLView.h"

#include <chrono>
#include <cmath>
#include <new>

namespace {

std::function<double()>& clockOverride() {
  static std::function<double()> clock;
  return clock;
}

double now() {
  if (clockOverride()) return clockOverride()();
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

void EAGLView::setClockForTesting(std::function<double()> clock) { clockOverride() = std::move(clock); }

std::shared_ptr<EAGLView> EAGLView::create(gfx::Rect frame) {
  std::shared_ptr<EAGLView> view(new EAGLView(frame));
  if (!view->isValid()) return nullptr;
  return view;
}

EAGLView::EAGLView(gfx::Rect frame, float contentScaleFactor) : ES2Renderer(frame, contentScaleFactor) {
  if (!isValid()) return;
  loadShaderObject();
  loadUndoManager();
}

EAGLView::~EAGLView() {
  if (context() == nullptr) return;
  // The renderer's textures and program belong to this canvas's context.
  glx::ContextGuard guard(*context());
  shaderObject_.reset();
  undoManager_.reset();
}

void EAGLView::loadShaderObject() {
  bindForSettings();
  if (!shaderObject_) {
    shaderObject_ = std::make_unique<RenderObject>(static_cast<unsigned>(backingWidth()),
                                                   static_cast<unsigned>(backingHeight()));
  }
  shaderObject_->openProgramWithViewWidth(static_cast<unsigned>(backingWidth()),
                                          static_cast<unsigned>(backingHeight()), contentScaleFactor());
  shaderObject_->setRenderColor(gfx::Color{1, 0, 0, 1});
  shaderObject_->setRenderSize(4.0f);
}

SnapshotData EAGLView::readBacking() {
  try {
    auto bytes = std::make_shared<fd::Data>(static_cast<std::size_t>(backingWidth()) * backingHeight() * 4);
    readData(bytes->data(), {0, 0, static_cast<float>(backingWidth()), static_cast<float>(backingHeight())});
    return bytes;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void EAGLView::loadUndoManager() {
  if (!undoManager_) {
    SnapshotData initial = readBacking();
    undoManager_ = initial ? std::make_unique<ImagesUndoManager>(std::move(initial))
                           : std::make_unique<ImagesUndoManager>();
  }
  // Snapshot files are named by the bare item name.
  undoManager_->setFilePathExtension(std::nullopt);
  markTimeInterval_ = 0;
  preTimeInterval_ = now();
}

void EAGLView::layoutSubviews() {
  ES2Renderer::layoutSubviews();
  beginRender();
  if (shaderObject_) shaderObject_->updateViewWidth(viewWidth(), viewHeight());
  finishRender();
}

bool EAGLView::resizeFromLayer(glx::GLLayer& layer) {
  const bool ok = ES2Renderer::resizeFromLayer(layer);
  if (shaderObject_) {
    shaderObject_->updateBackingWidth(static_cast<unsigned>(backingWidth()), static_cast<unsigned>(backingHeight()));
  }
  return ok;
}

void EAGLView::boundsSizeChanged(ui::Size oldSize) {
  ES2Renderer::boundsSizeChanged(oldSize);
  if (!shaderObject_) return;
  auto guard = contextGuard();
  shaderObject_->updateViewWidth(viewWidth(), viewHeight());
}

std::optional<std::filesystem::path> EAGLView::tempDirectory() const {
  return undoManager_ ? undoManager_->tempDirectory() : std::nullopt;
}

void EAGLView::setTempDirectory(const std::optional<std::filesystem::path>& dir) {
  if (undoManager_) undoManager_->setTempDirectory(dir);
}

bool EAGLView::canUndo() const { return undoManager_ && undoManager_->canUndo(); }
bool EAGLView::canRedo() const { return undoManager_ && undoManager_->canRedo(); }

void EAGLView::notifyAvailability(bool couldUndo, bool couldRedo) {
  if (delegate_ == nullptr) return;
  if (canUndo() != couldUndo) delegate_->eaglViewNeedUpdateUndoState(this, canUndo());
  if (canRedo() != couldRedo) delegate_->eaglViewNeedUpdateRedoState(this, canRedo());
}

bool EAGLView::mark() {
  const double t = now();
  if (!edited_) return false;
  if (t - preTimeInterval_ < markTimeInterval_) return false;
  preTimeInterval_ = t;
  const bool couldUndo = canUndo(), couldRedo = canRedo();
  beginRender();
  if (SnapshotData snapshot = readBacking(); snapshot && undoManager_) {
    edited_ = false;
    undoManager_->addItemWithImageData(std::move(snapshot));
  }
  notifyAvailability(couldUndo, couldRedo);
  return true;
}

bool EAGLView::step(bool forward) {
  if (!undoManager_ || !(forward ? undoManager_->canRedo() : undoManager_->canUndo())) return false;
  const bool couldUndo = canUndo(), couldRedo = canRedo();
  if (!(forward ? undoManager_->redo() : undoManager_->undo())) return false;
  SnapshotData snapshot = undoManager_->currentImageDataOfItem();
  if (!snapshot || snapshot->size() != static_cast<std::size_t>(backingWidth()) * backingHeight() * 4) {
    // The snapshot vanished after the check (or does not fit): step back and
    // leave the picture as it is rather than lose it. Reading it may have
    // spilled another snapshot, so the step back must not wait on file writes.
    undoManager_->revertStep(forward);
    return false;
  }
  beginRender();
  if (shaderObject_) {
    shaderObject_->setData(snapshot->data(),
                           {static_cast<float>(backingWidth()), static_cast<float>(backingHeight())}, bounds(), 0);
  }
  finishRender();
  notifyAvailability(couldUndo, couldRedo);
  return true;
}

bool EAGLView::undo() { return step(false); }
bool EAGLView::redo() { return step(true); }

void EAGLView::resetUndoManager() {
  if (!undoManager_) return;
  const bool couldUndo = canUndo(), couldRedo = canRedo();
  if (SnapshotData snapshot = readBacking()) undoManager_->resetWithImageDataOfCurrentItem(std::move(snapshot));
  notifyAvailability(couldUndo, couldRedo);
}

void EAGLView::forgetRedoSteps() {
  if (!undoManager_) return;
  const bool couldUndo = canUndo(), couldRedo = canRedo();
  undoManager_->dropRedoItems();
  notifyAvailability(couldUndo, couldRedo);
}

void EAGLView::clear() {
  beginRender();
  if (shaderObject_) {
    edited_ = true;
    shaderObject_->clearWithRed(0, 0, 0, 0);
  }
  finishRender();
  if (autoMark_) mark();
}

void EAGLView::drawPoints(const gfx::Point* points, const float* sizes, int count) {
  bufferAccessSemaphore().wait();
  beginRender();
  if (shaderObject_) {
    edited_ = true;
    shaderObject_->drawPoints(points, sizes, count);
    finishRender(shaderObject_->lastDabBounds());
  } else {
    finishRender();
  }
  bufferAccessSemaphore().signal();
}

void EAGLView::drawPoint(gfx::Point point, float size) { drawPoints(&point, &size, 1); }

void EAGLView::drawWithBeginPoint(gfx::Point p) { drawPoint(p, 5.0f); }
void EAGLView::drawWithMovePoint(gfx::Point p) { drawPoint(p, 5.0f); }
void EAGLView::drawWithEndPoint(gfx::Point p) { drawPoint(p, 5.0f); }

std::optional<gfx::Point> EAGLView::toCanvasPoint(gfx::Point location) const {
  if (!std::isfinite(location.x) || !std::isfinite(location.y)) return std::nullopt;
  return gfx::Point{location.x, frame().height - location.y};
}

void EAGLView::touchesBegan(gfx::Point location) {
  const auto p = toCanvasPoint(location);
  if (!p) return;
  strokeActive_ = true;
  drawWithBeginPoint(*p);
  if (delegate_ != nullptr) delegate_->eaglViewDidTouchBegin(this);
}

void EAGLView::touchesMoved(gfx::Point location) {
  const auto p = toCanvasPoint(location);
  if (!p || !strokeActive_) return;
  drawWithMovePoint(*p);
  if (delegate_ != nullptr) delegate_->eaglViewDidTouchMove(this);
}

void EAGLView::touchesEnded(gfx::Point location) {
  if (!strokeActive_) return;
  const auto p = toCanvasPoint(location);
  if (!p) {
    // The lifting point is unusable; the stroke still has to end, and the
    // delegate still hears that the touch ended.
    cancelStroke();
    if (delegate_ != nullptr) delegate_->eaglViewDidTouchEnd(this);
    return;
  }
  strokeActive_ = false;
  drawWithEndPoint(*p);
  if (delegate_ != nullptr) delegate_->eaglViewDidTouchEnd(this);
}

// A cancelled finger ends its stroke as a lift at the same place does: the
// stroke keeps its last segment and its undo step.
void EAGLView::touchesCancelled(gfx::Point location) { touchesEnded(location); }

namespace {
// Any one finger of the set: the first the adaptor gives.
std::optional<gfx::Point> anyLocation(const ui::TouchSet& touches, const ui::View& view) {
  const std::vector<CanvasTouch> fingers = canvasTouches(touches, view);
  if (fingers.empty()) return std::nullopt;
  return fingers.front().location;
}
}  // namespace

void EAGLView::touchesBegan(const ui::TouchSet& touches, const ui::Event& /*event*/) {
  if (auto p = anyLocation(touches, *this)) touchesBegan(*p);
}
void EAGLView::touchesMoved(const ui::TouchSet& touches, const ui::Event& /*event*/) {
  if (auto p = anyLocation(touches, *this)) touchesMoved(*p);
}
void EAGLView::touchesEnded(const ui::TouchSet& touches, const ui::Event& /*event*/) {
  if (auto p = anyLocation(touches, *this)) touchesEnded(*p);
}
void EAGLView::touchesCancelled(const ui::TouchSet& touches, const ui::Event& /*event*/) {
  if (auto p = anyLocation(touches, *this)) touchesCancelled(*p);
}

void EAGLView::cancelStroke() {
  if (!strokeActive_) return;
  strokeActive_ = false;
  strokeDidCancel();
  if (autoMark_) mark();
}
