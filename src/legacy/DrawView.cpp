#include "legacy/DrawView.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <optional>
#include <string>

#include "canvas/DabRandom.h"
#include "model/ExtendDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Animation.h"

namespace {

// The brush tip of each tool and the degree the tool's brush keeps; the tool
// number is the row.
struct ToolTip {
  const char* image;
  bool eraser;
  float alphaDegree;
};
constexpr std::array<ToolTip, 7> kToolTips = {{
    {"Brush03.png", true, 1.0f},
    {"Brush01.png", false, 1.0f},
    {"Brush02.png", false, 1.0f},
    {"Brush03.png", false, 1.0f},
    {"Brush04.png", false, 5.0f},
    {"Brush05.png", false, 2.0f},
    {"Brush06.png", false, 1.0f},
}};

// The decoded tips, read once: the pen reloads its tip at every move.
const gfx::Image* tipImage(const char* name) {
  static std::array<std::optional<gfx::Image>, kToolTips.size()> cache;
  static std::array<bool, kToolTips.size()> tried{};
  for (std::size_t i = 0; i < kToolTips.size(); ++i) {
    if (std::string(kToolTips[i].image) != name) continue;
    if (!tried[i]) {
      tried[i] = true;
      cache[i] = gfx::readPNG(fd::paths::resource(name)).toOptional();
    }
    return cache[i] ? &*cache[i] : nullptr;
  }
  return nullptr;
}

std::function<double()>& clockOverride() {
  static std::function<double()> clock;
  return clock;
}

double now() { return clockOverride() ? clockOverride()() : fd::RunLoop::main().now(); }

// One time stamp for the whole process: the last undo step a stroke took.
double& lastUndoStep() {
  static double stamp = -std::numeric_limits<double>::infinity();
  return stamp;
}

bool contains(const gfx::Rect& outer, const gfx::Rect& inner) {
  return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width &&
         inner.y + inner.height <= outer.y + outer.height;
}

bool usable(const gfx::Rect& r) {
  return std::isfinite(r.x) && std::isfinite(r.y) && std::isfinite(r.width) && std::isfinite(r.height) &&
         r.width > 0 && r.height > 0;
}

constexpr gfx::Point kNoDabYet{-100, -100};

}  // namespace

void DrawView::seedDabRotation(std::uint32_t seed) { dab_random::seed(seed); }

void DrawView::setClockForTesting(std::function<double()> clock) {
  clockOverride() = std::move(clock);
  lastUndoStep() = -std::numeric_limits<double>::infinity();
}

std::shared_ptr<DrawView> DrawView::initDrawViewWithScaleFactor(float scale) {
  // Made at the backing's size in points so that the backing is the page
  // times the scale; the frame then shrinks to the page in points.
  std::shared_ptr<DrawView> view(new DrawView({0, 0, kPageWidth * scale, kPageHeight * scale}, scale));
  if (!view->isValid()) return nullptr;
  return view;
}

DrawView::DrawView(gfx::Rect backingFrame, float scale) : OpenGLES2DView(backingFrame) {
  setOpaque(false);
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
  setFrame({0, 0, kPageWidth, kPageHeight});
  setScaleFactor(scale);
  widthZoomFactor_ = heightZoomFactor_ = scale;
  factor_ = 1;
  baseRect_ = drawRect_ = frame();
}

DrawView::~DrawView() = default;

// --- geometry

void DrawView::applyFactors(gfx::Rect r) {
  factor_ = r.width / kPageWidth;
  widthZoomFactor_ = cScaleFactor() / factor_;
  heightZoomFactor_ = cScaleFactor() / (r.height / kPageHeight);
}

void DrawView::applyFrame(gfx::Rect r) {
  drawRect_ = r;
  setFrame(r);
  if (zoomMoveDelegate_ != nullptr) zoomMoveDelegate_->drawViewFrameChanged(r);
}

void DrawView::setBaseRect(gfx::Rect r) {
  baseRect_ = r;
  setDrawRect(r);
}

void DrawView::setDrawRect(gfx::Rect r) {
  // A frame without area would leave no scale to map touches with.
  if (!usable(r)) return;
  applyFactors(r);
  applyFrame(r);
}

void DrawView::setDrawRectEnd(gfx::Rect r) {
  r = DrawsView::endRectWithinZoom(r, baseRect_);
  if (!usable(r)) return;
  applyFactors(r);
  // The canvas keeps taking touches where it shows while it moves (the
  // second tap of a double tap).
  ui::Animations::animate(0.2, 0, {.allowUserInteraction = true}, [this, r] { applyFrame(r); });
}

gfx::Rect DrawView::pinchStep(const std::vector<CanvasTouch>& touches, bool atEnd) const {
  const CanvasTouch& a = touches[0];
  const CanvasTouch& b = touches[1];
  const float distanceNow = DrawsView::distanceBetweenPoints(a.location, b.location);
  const float distanceBefore = DrawsView::distanceBetweenPoints(a.previousLocation, b.previousLocation);
  float z = (distanceNow - distanceBefore) / kPinchDistanceScale;
  if (drawRect_.width >= kMaxZoom * baseRect_.width || drawRect_.width < baseRect_.width) z *= kDampedStep;
  gfx::Point o = DrawsView::rectOffsetWithPoints(a.previousLocation, a.location, b.previousLocation, b.location);
  const bool inside = contains(baseRect_, drawRect_);
  if ((!atEnd && inside) || (atEnd && !inside)) o = {o.x * kDampedStep, o.y * kDampedStep};
  const gfx::Rect f = frame();
  const float dw = f.width * z, dh = f.height * z;
  return {f.x - o.x - dw / 2, f.y - o.y - dh / 2, f.width + dw, f.height + dh};
}

void DrawView::doubleTapZoom(gfx::Point p) { setDrawRectEnd(DrawsView::doubleTapTarget(frame(), baseRect_, p)); }

gfx::Point DrawView::backingPoint(gfx::Point p) const {
  return {p.x * widthZoomFactor_, (frame().height - p.y) * heightZoomFactor_};
}

// --- tools

void DrawView::setToolPattern(int tool) {
  toolPattern_ = tool;
  setToolPatternTextrue();
}

void DrawView::setToolPatternTextrue() {
  if (toolPattern_ < 0 || toolPattern_ >= static_cast<int>(kToolTips.size())) return;
  const ToolTip& tip = kToolTips[toolPattern_];
  setAlphaDegree(tip.alphaDegree);
  bindTextureWithImage(tipImage(tip.image), tip.eraser);
}

void DrawView::setBrushColor(const gfx::Color& c) {
  brushR_ = c.r;
  brushG_ = c.g;
  brushB_ = c.b;
  brushA_ = c.a;
}

void DrawView::setBrushAlpha(float alpha) {
  setBrushTexureAlpha(alpha);
  setToolPatternTextrue();
}

// --- touches

void DrawView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  touchesBegan(canvasTouches(touches, event, *this));
}
void DrawView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  touchesMoved(canvasTouches(touches, event, *this));
}
void DrawView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  touchesEnded(canvasTouches(touches, event, *this));
}
// A cancelled gesture draws and fills nothing more; what was drawn stays.
void DrawView::touchesCancelled(const ui::TouchSet&, const ui::Event&) {
  if (!isDraw_) return;
  isDraw_ = false;
  ZTDataModel::sharedInstance().extendDataModel().setIsDrawing(false);
  if (toolPattern_ == kEraser) eraserEnded();
}

void DrawView::touchesBegan(const std::vector<CanvasTouch>& touches) { route(touches, Phase::Began); }
void DrawView::touchesMoved(const std::vector<CanvasTouch>& touches) { route(touches, Phase::Moved); }
void DrawView::touchesEnded(const std::vector<CanvasTouch>& touches) { route(touches, Phase::Ended); }

bool DrawView::passesGate() {
  const bool canDraw = delegate() == nullptr || delegate()->isCanDraw();
  const ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  return !(settings.isOpicaty() || settings.isSize() || settings.isBrush()) && canDraw;
}

void DrawView::eraserBegan(gfx::Point l) {
  if (auto* d = dynamic_cast<EraserOperationDelegate*>(eraserDelegate_)) {
    d->respondToBeginEraserOperation({l.x + frame().x, l.y + frame().y}, toolSize_ * factor_);
  }
}
void DrawView::eraserMoved(gfx::Point l) {
  if (auto* d = dynamic_cast<EraserOperationDelegate*>(eraserDelegate_)) {
    d->respondToMoveEraserOperation({l.x + frame().x, l.y + frame().y}, toolSize_ * factor_);
  }
}
void DrawView::eraserEnded() {
  if (auto* d = dynamic_cast<EraserOperationDelegate*>(eraserDelegate_)) d->respondToEndEraserOperation();
}

void DrawView::route(const std::vector<CanvasTouch>& touches, Phase phase) {
  if (touches.empty() || !passesGate()) return;
  const std::size_t n = touches.size();
  const bool doubleTap = n >= 2 && touches.front().tapCount >= 2 && !isPrintView_;
  const bool pinch = n >= 2 && !isPrintView_;
  const gfx::Point l = touches.front().location;
  const bool eraser = toolPattern_ == kEraser;
  ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  switch (phase) {
    case Phase::Began:
      settings.setIsDrawing(true);
      isDraw_ = true;
      setToolPatternTextrue();
      if (doubleTap) {
        doubleTapZoom(l);
        isDraw_ = false;
      } else if (pinch) {
        isDraw_ = false;
      } else {
        began(touches.front());
      }
      break;
    case Phase::Moved:
      if (doubleTap) {
        if (eraser) eraserEnded();
        isDraw_ = false;
      } else if (!pinch && isDraw_) {
        moved(touches.front());
      } else {
        if (pinch) {
          setDrawRect(pinchStep(touches, false));
          isDraw_ = false;
        }
        if (eraser) eraserEnded();
      }
      break;
    case Phase::Ended:
      settings.setIsDrawing(false);
      if (doubleTap) {
        isDraw_ = false;
        if (eraser) eraserEnded();
      } else if (pinch) {
        setDrawRectEnd(pinchStep(touches, true));
        isDraw_ = false;
        if (eraser) eraserEnded();
      } else if (!isDraw_) {
        if (eraser) eraserEnded();
      } else {
        ended(touches.front());
      }
      break;
  }
}

void DrawView::began(const CanvasTouch& touch) {
  if (isOpenFillTool_) return;
  const gfx::Point l = touch.location;
  if (toolPattern_ == kEraser) {
    eraserBegan(l);
    preSize_ = -1;
    cline_.beginEraseOperation();
    cline_.canGetEraserPointsAfterSendingPoint(backingPoint(l), false, false);
    return;
  }
  if (toolPattern_ < 1 || toolPattern_ > kPen) return;
  char key[] = "brush00";
  key[6] = static_cast<char>('0' + toolPattern_);
  isInduction_ = fd::UserDefaults::standard().boolForKey(key);
  gfx::Point p = l;
  if (toolPattern_ == kPen) {
    isPenInduction_ = !isInduction_;
    preSize_ = toolSize_ / 1.5f;
    addPoint(l);
    addPoint(l);
  } else {
    preSize_ = -1;
    p = backingPoint(l);
  }
  cline_.beginOneNewQuardCurveLineWithBrushMaxSize(toolSize_, cScaleFactor(), toolPattern_ == 4);
  cline_.canGetQuardCurveLinePointsAfterSendingPoint(p, false, false);
}

void DrawView::moved(const CanvasTouch& touch) {
  if (isOpenFillTool_) return;
  const gfx::Point l = touch.location;
  if (toolPattern_ == kPen) {
    setToolPatternTextrue();
    addPoint(l);
    draw();
  } else if (toolPattern_ == kEraser) {
    eraserMoved(l);
    if (cline_.canGetEraserPointsAfterSendingPoint(backingPoint(l), false, false)) erasing();
  } else if (toolPattern_ >= 1 && toolPattern_ <= 5) {
    if (cline_.canGetQuardCurveLinePointsAfterSendingPoint(backingPoint(l), false, false)) drawing();
  }
}

void DrawView::ended(const CanvasTouch& touch) {
  const gfx::Point l = touch.location;
  if (isOpenFillTool_) {
    if (isFillState_) return;
    // Only the part of the canvas that its superview shows takes a fill.
    if (const ui::View* parent = superview()) {
      const gfx::Rect f = frame();
      const gfx::Rect shown{-f.x, -f.y, parent->bounds().width, parent->bounds().height};
      if (!(l.x >= shown.x && l.y >= shown.y && l.x < shown.x + shown.width && l.y < shown.y + shown.height)) return;
    }
    if (!fillTool_) {
      const float s = cScaleFactor();
      fillTool_ = std::make_unique<FillTool>(kFillTransactType, gfx::Size{kPageWidth * s, kPageHeight * s},
                                             kFillExtentBord, this);
    }
    if (!activityIndicator_) {
      activityIndicator_ = std::make_shared<ui::ActivityIndicatorView>(ui::ActivityIndicatorStyle::White);
      addSubview(activityIndicator_);
    }
    if (const ui::View* parent = superview()) {
      const gfx::Rect f = frame();
      activityIndicator_->setCenter({parent->bounds().width / 2 - f.x, parent->bounds().height / 2 - f.y});
    }
    if (activityIndicator_->isHidden()) activityIndicator_->startAnimating();
    isFillState_ = true;
    fillToolColorWithPoint({l.x * widthZoomFactor_, l.y * heightZoomFactor_});
    return;
  }
  if (toolPattern_ == kEraser) {
    eraserEnded();
    if (!cline_.canGetEraserPointsAfterSendingPoint(backingPoint(l), false, false)) return;
    erasing();
    if (!isPrintView_) undoStep();
    setOperated(true);
    return;
  }
  if (toolPattern_ < 1 || toolPattern_ > kPen) return;
  const gfx::Point p = toolPattern_ == kPen ? l : backingPoint(l);
  if (!cline_.canGetQuardCurveLinePointsAfterSendingPoint(p, true, false)) return;
  if (toolPattern_ == kPen) {
    addPoint(l);
    draw();
  } else {
    drawing();
  }
  if (!isPrintView_) undoStep();
  if (printViewDelegate_ != nullptr) printViewDelegate_->printImageInDrawview();
  setOperated(true);
}

void DrawView::undoStep() {
  const double t = now();
  if (t - lastUndoStep() > kUndoStepInterval) {
    saveToBuffer();
    lastUndoStep() = t;
  }
}

// --- drawing

void DrawView::dab(gfx::Point at, float r, bool rotated) {
  glPushMatrix();
  glTranslatef(at.x, at.y, 0);
  if (rotated) glRotatef(static_cast<GLfloat>(dab_random::next() % 360), 0, 0, 1);
  const GLfloat vertices[] = {-r, -r, r, -r, r, r, -r, r};
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, vertices);
  glTexCoordPointer(2, GL_FLOAT, 0, kDabTexCoords);
  glDrawArrays(GL_TRIANGLE_FAN, 0, 4);
  glPopMatrix();
  ++dabCount_;
}

void DrawView::drawing() {
  const PointsArrayOfQuardCurveLine::PointsWithSizes& result = cline_.GetQuardCurveLinePointsWithSizes();
  points_ = result.points;
  sizes_ = result.sizes;
  if (!beginDrawing()) return;
  glBindTexture(GL_TEXTURE_2D, brushTexture());
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(brushR_, brushG_, brushB_, 1);
  const float h = toolSize_ * cScaleFactor() * 0.5f;
  const std::size_t m = static_cast<std::size_t>(toolSize_ / 15 + 1);
  const int tool = toolPattern_;
  gfx::Point last = kNoDabYet;
  gfx::Point pos = kNoDabYet;
  float r = h;
  auto clampHalf = [h](float v) { return std::clamp(v, 0.25f * h, 0.6f * h); };
  for (std::size_t k = 0; k < points_.size(); ++k) {
    // Brush 2 uses every m-th point, keeping its place past the list's end.
    const std::size_t at = tool == 2 ? k * m : k;
    if (!isInduction_) {
      r = h;
    } else if (tool == 4) {
      r = sizes_[k];
    } else if (tool == 1) {
      r = clampHalf(sizes_[k] * 0.5f);
    } else if (tool == 2) {
      if (at < sizes_.size()) r = clampHalf(sizes_[at] * 0.5f);
    } else {
      r = sizes_[k] * 0.5f;
    }
    if (at < points_.size()) pos = points_[at];
    const bool everyPoint = tool == 4 || tool == 5;
    if (everyPoint || DrawsView::distanceBetweenPoints(pos, last) >= r / 2 || r <= 0) {
      dab(pos, r, tool != 5);
      last = pos;
    }
  }
  presentRenderbuffer();
}

void DrawView::addPoint(gfx::Point p) {
  previousLocation_ = control_;
  control_ = location_;
  location_ = {p.x * widthZoomFactor_, (bounds().height - p.y) * heightZoomFactor_};
}

void DrawView::draw() {
  if (!beginDrawing()) return;
  const float c = contentsScale();
  const float f = c > 1 ? c * 0.8f : c;
  const float d = DrawsView::distanceBetweenPoints(previousLocation_, location_);
  const int steps = static_cast<int>(std::ceil(d * c));
  const int n = static_cast<int>(steps * 1.2f);
  if (steps < 1 || n < 2) return;
  const float T = toolSize_ / 1.25f;
  const float rootT = std::sqrt(T);
  const float S = std::max(std::min(f * T * 20 / n, T), rootT);
  const float P = preSize_;
  float N = S;
  if (!(P - rootT <= S && S <= P + rootT)) {
    const float stepBy = std::fabs(S - P) < 2.1f ? rootT : rootT / 1.2f;
    N = S > P ? P + stepBy : P - stepBy;
  }
  if (P == -1) preSize_ = T;
  glBindTexture(GL_TEXTURE_2D, brushTexture());
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glBlendFunc(GL_ONE, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(brushR_, brushG_, brushB_, 1);
  const int half = n / 2;
  gfx::Point lastDrawn = previousLocation_;
  for (int i = 1; i < half; ++i) {
    const float t = static_cast<float>(i) / n;
    const float a = (1 - t) * (1 - t), b = 2 * t * (1 - t), e = t * t;
    const gfx::Point q{a * previousLocation_.x + b * control_.x + e * location_.x,
                       a * previousLocation_.y + b * control_.y + e * location_.y};
    const float r = isPenInduction_ ? toolSize_ * cScaleFactor() * 0.25f
                                    : (preSize_ + i * (N - preSize_) / (half - 1)) / 1.5f;
    dab(q, r, true);
    lastDrawn = q;
  }
  preSize_ = N;
  control_ = lastDrawn;
  presentRenderbuffer();
}

void DrawView::erasing() {
  points_ = cline_.GetEraserPoints();
  const float r = toolSize_ * cScaleFactor() * 0.5f;
  if (!beginDrawing()) return;
  glBindTexture(GL_TEXTURE_2D, brushTexture());
  glEnable(GL_TEXTURE_2D);
  glEnable(GL_BLEND);
  glPushMatrix();
  glBlendFunc(GL_ZERO, GL_ONE_MINUS_SRC_ALPHA);
  glColor4f(1, 1, 1, brushTextureAlpha());
  gfx::Point last = kNoDabYet;
  for (const gfx::Point& p : points_) {
    if (DrawsView::distanceBetweenPoints(p, last) >= r / 2 || r <= 1) {
      dab(p, r, false);
      last = p;
    }
  }
  glPopMatrix();
  presentRenderbuffer();
}

// --- flood fill

void DrawView::fillToolColorWithPoint(gfx::Point p) {
  isFillState_ = true;
  std::optional<gfx::Image> picture = image();
  if (!fillTool_ || !picture || !fillTool_->setImage(&*picture)) {
    fillToolDidFinished();
    return;
  }
  fillTool_->setFillColorWithRed(brushR_, brushG_, brushB_, brushA_);
  if (!fillTool_->fillDataWithPosition(p)) fillToolDidFinished();
}

void DrawView::fillToolDidFinishedWithFillData(const gfx::Image& layer) { relpaceDrawViewWithImage(layer); }

void DrawView::relpaceDrawViewWithImage(const gfx::Image& image) {
  const gfx::Rect f = frame();
  drawToolGraphImage(&image, {f.width / 2, f.height / 2, f.width, f.height}, 0, true);
  fillToolDidFinished();
}

void DrawView::fillToolDidFinished() {
  if (activityIndicator_ && !activityIndicator_->isHidden()) activityIndicator_->stopAnimating();
  isFillState_ = false;
}

void DrawView::pageReplaced() {
  if (fillTool_ && fillTool_->hasPendingFill()) fillTool_->cancelPendingFill();
  fillToolDidFinished();
}
