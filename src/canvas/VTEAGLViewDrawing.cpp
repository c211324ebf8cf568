// Strokes, stamps and shapes of the brush canvas.
#include <algorithm>
#include <cmath>

#include "canvas/DabRandom.h"
#include "canvas/VTEAGLView.h"
#include "canvas/shape/Unitily.h"

namespace {

// Which bit of the shapes mask admits each recognised kind; 0: never drawn.
constexpr unsigned kShapeBits[] = {0x001, 0x002, 0x010, 0x004, 0x008, 0x040, 0x020, 0x000, 0x100, 0x200};

std::vector<gfx::Point> toPoints(std::span<const ShapePoint> vertices) {
  std::vector<gfx::Point> points;
  points.reserve(vertices.size());
  for (const ShapePoint& v : vertices) points.push_back({v.x, v.y});
  return points;
}

}  // namespace

void VTEAGLView::drawWithBeginPoint(gfx::Point p) {
  updateSettings();
  if (enableRecogition_) points_.clear();
  lineOptimization_.newBeginningWithPoint(p);
  shaderObject()->setLineBegin(true);
  shaderObject()->setBeginPoint(p);
  if (enableRecogition_) points_.push_back(p);
}

void VTEAGLView::generateAndDraw(gfx::Point p, bool endOfStroke) {
  const int n = endOfStroke ? lineOptimization_.genWithEndPoint(p, genPoints_, genSizes_)
                            : lineOptimization_.genWithNewPoint(p, genPoints_, genSizes_);
  if (endOfStroke) shaderObject()->setLineBegin(false);
  if (n <= 0) return;
  if (!settings_.autoresize && std::abs(static_cast<int>(settings_.sizeMax - settings_.sizeMin)) >= 2) {
    randSize(genSizes_.data(), n);
  }
  drawPoints(genPoints_.data(), genSizes_.data(), n);
}

void VTEAGLView::drawWithMovePoint(gfx::Point p) {
  generateAndDraw(p, false);
  if (enableRecogition_) points_.push_back(p);
}

void VTEAGLView::drawWithEndPoint(gfx::Point p) {
  generateAndDraw(p, true);
  if (enableRecogition_) {
    points_.push_back(p);
    std::vector<ShapePoint> stroke;
    stroke.reserve(points_.size());
    for (const gfx::Point& q : points_) stroke.push_back({q.x, q.y});
    const ShapeRecord shape = Unitily::recogniseWithPoints(stroke);
    // In recognition mode a stroke stands only as the shape it was taken for:
    // the picture from before the stroke comes back, and when no admitted
    // shape replaces it the canvas is exactly its last marked state, so there
    // is nothing new to mark.
    if (tempData_) {
      beginRender();
      shaderObject()->setData(tempData_->data(),
                              {static_cast<float>(backingWidth()), static_cast<float>(backingHeight())}, bounds(), 0);
      finishRender();
    }
    if (!drawShape(shape)) return;
  }
  bool marked = false;
  if (autoMark()) marked = mark();
  if (enableRecogition_) refreshTempData(marked);
}

void VTEAGLView::strokeDidCancel() { shaderObject()->setLineBegin(false); }

int VTEAGLView::randWithMin(int min, int max) const {
  if (min == max) return min;
  return min + dab_random::next() % (max - min);
}

void VTEAGLView::randSize(float* sizes, int count) const {
  const int lo = static_cast<int>(std::min(settings_.sizeMin, settings_.sizeMax));
  const int hi = static_cast<int>(std::max(settings_.sizeMin, settings_.sizeMax));
  for (int i = 0; i < count; ++i) sizes[i] = static_cast<float>(randWithMin(lo, hi));
}

void VTEAGLView::refreshTempData(bool afterMark) {
  if (afterMark && undoManager() != nullptr) {
    tempData_ = undoManager()->currentImageDataOfItem();
  } else {
    tempData_ = curImageData();
  }
}

SnapshotData VTEAGLView::curImageData() { return readBacking(); }

void VTEAGLView::clear() {
  updateSettings();
  EAGLView::clear();
  if (undoManager() != nullptr) tempData_ = undoManager()->currentImageDataOfItem();
}

bool VTEAGLView::undo() {
  const bool ok = EAGLView::undo();
  if (undoManager() != nullptr) tempData_ = undoManager()->currentImageDataOfItem();
  return ok;
}

bool VTEAGLView::redo() {
  const bool ok = EAGLView::redo();
  if (undoManager() != nullptr) tempData_ = undoManager()->currentImageDataOfItem();
  return ok;
}

template <typename Render>
void VTEAGLView::stamp(bool takeLock, Render&& render) {
  updateSettings();
  if (takeLock) bufferAccessSemaphore().wait();
  beginRender();
  if (RenderObject* r = shaderObject()) {
    if (liveCanvasCount() >= 2) r->recoverySetting();
    setEdited(true);
    render(*r);
  }
  finishRender();
  if (takeLock) bufferAccessSemaphore().signal();
  bool marked = false;
  if (autoMark()) marked = mark();
  if (enableRecogition_) refreshTempData(marked);
}

void VTEAGLView::drawImage(const gfx::Image& image, gfx::Rect rect) {
  stamp(true, [&](RenderObject& r) { r.drawImage(image, rect, 0); });
}

void VTEAGLView::drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect) {
  stamp(true, [&](RenderObject& r) { r.drawData(bytes, dataSize, rect, 0); });
}

void VTEAGLView::drawImage(const gfx::Image& image, gfx::Size size, gfx::Point center, float radian) {
  stamp(false, [&](RenderObject& r) { r.drawImage(image, size, center, radian); });
}

void VTEAGLView::drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center,
                          float radian) {
  stamp(false, [&](RenderObject& r) { r.drawData(bytes, dataSize, size, center, radian); });
}

void VTEAGLView::eraseWithMask(const gfx::Image& mask, gfx::Size size, gfx::Point center, float radian) {
  stamp(false, [&](RenderObject& r) { r.eraseWithMask(mask, size, center, radian); });
}

void VTEAGLView::setImage(const gfx::Image* image, gfx::Rect rect) {
  stamp(false, [&](RenderObject& r) { r.setImage(image, rect, 0); });
}

void VTEAGLView::setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect) {
  stamp(false, [&](RenderObject& r) { r.setData(bytes, dataSize, rect, 0); });
}

void VTEAGLView::setImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float radian) {
  stamp(false, [&](RenderObject& r) { r.setImage(image, size, center, radian); });
}

void VTEAGLView::setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center,
                         float radian) {
  stamp(false, [&](RenderObject& r) { r.setData(bytes, dataSize, size, center, radian); });
}

bool VTEAGLView::shapeAdmitted(const ShapeRecord& shape) const {
  if (shape.type < 0 || shape.type >= static_cast<int>(std::size(kShapeBits))) return false;
  const unsigned bit = kShapeBits[shape.type];
  return bit != 0 && (shapesMark_ & bit) != 0;
}

bool VTEAGLView::drawShape(const ShapeRecord& shape) {
  updateSettings();
  if (!shapeAdmitted(shape)) return false;
  beginRender();
  if (shape.type != kShapeArrow) setEdited(true);
  RenderObject* r = shaderObject();
  switch (shape.type) {
    case kShapeCircle: {
      const auto& c = shape.output.circle;
      const float radius = static_cast<float>(c.radius);
      r->drawEllipsesWithCenter({c.center.x, c.center.y}, radius, radius, 0);
      break;
    }
    case kShapeEllipse: {
      const auto& e = shape.output.ellipse;
      r->drawEllipsesWithCenter({e.center.x, e.center.y}, e.width / 2, e.height / 2, static_cast<float>(e.angle));
      break;
    }
    case kShapePolyline:
    case kShapeArrow: {
      const std::vector<gfx::Point> points = toPoints(shape.vertices());
      r->drawLines(points.data(), static_cast<int>(points.size()));
      break;
    }
    default: {
      const std::vector<gfx::Point> points = toPoints(shape.vertices());
      r->drawPolygon(points.data(), static_cast<int>(points.size()));
      break;
    }
  }
  finishRender();
  return true;
}
