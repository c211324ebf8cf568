#pragma once
// The legacy drawing canvas as a control: turns touches into brush dabs,
// eraser dabs, pen strokes, flood fills, pinch zoom and two-finger moves on
// the ES 1 surface below it, on a page of 384 x 288 points times the screen
// scale. It answers to the live canvas's messages and tells the live
// canvas's delegates; the eraser ring is told through the richer protocol
// below when the eraser delegate has it.
#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <vector>

#include "canvas/CanvasTouch.h"
#include "canvas/DrawsView.h"
#include "canvas/FillTool.h"
#include "platform/ui/ActivityIndicatorView.h"
#include "legacy/OpenGLES2DView.h"
#include "legacy/PointsArrayOfQuardCurveLine.h"

// Where the eraser is, for the desk's eraser ring: the touch in the canvas's
// superview and the eraser's diameter in points.
class EraserOperationDelegate : public EraserOperateDelegate {
 public:
  virtual void respondToBeginEraserOperation(gfx::Point /*location*/, float /*diameter*/) {}
  virtual void respondToMoveEraserOperation(gfx::Point /*location*/, float /*diameter*/) {}
  virtual void respondToEndEraserOperation() {}
};

class DrawView : public OpenGLES2DView, public FillToolDelegate {
 public:
  static constexpr float kPageWidth = 384;
  static constexpr float kPageHeight = 288;
  static constexpr float kMaxZoom = 3;
  static constexpr float kPinchDistanceScale = 400;
  static constexpr float kDampedStep = 0.25f;
  // Strokes ending closer together than this share one undo step.
  static constexpr double kUndoStepInterval = 0.3;
  static constexpr int kFillTransactType = 4;
  static constexpr int kFillExtentBord = 10;
  static constexpr int kEraser = 0;
  static constexpr int kPen = 6;

  // nullptr when GL could not be set up.
  static std::shared_ptr<DrawView> initDrawViewWithScaleFactor(float scale);
  ~DrawView() override;

  // --- geometry
  gfx::Rect baseRect() const { return baseRect_; }
  void setBaseRect(gfx::Rect r);
  gfx::Rect drawRect() const { return drawRect_; }
  void setDrawRect(gfx::Rect r);
  // Clamped into 1x..3x of the base, covering it, and animated.
  void setDrawRectEnd(gfx::Rect r);
  float factor() const { return factor_; }
  float widthZoomFactor() const { return widthZoomFactor_; }
  float heightZoomFactor() const { return heightZoomFactor_; }

  // --- tools: 0 eraser, 1 to 5 brushes, 6 pen
  int toolPattern() const { return toolPattern_; }
  void setToolPattern(int tool);
  float toolSize() const { return toolSize_; }
  void setToolSize(float size) { toolSize_ = size; }
  gfx::Color brushColor() const { return {brushR_, brushG_, brushB_, brushA_}; }
  void setBrushColor(const gfx::Color& c);
  void setBrushAlpha(float alpha);
  // Loads the tool's brush tip and its alpha degree.
  void setToolPatternTextrue();
  // Speed-dependent sizes for the current brush (the "brush0N" default).
  bool isInduction() const { return isInduction_; }

  // The last points and sizes of the curve generator (backing pixels).
  const std::vector<gfx::Point>& points() const { return points_; }
  const std::vector<float>& sizes() const { return sizes_; }
  // Dabs drawn since the canvas was made (brushes, pen and eraser).
  std::uint64_t dabCount() const { return dabCount_; }

  // --- flags and delegates
  bool isPrintView() const { return isPrintView_; }
  void setIsPrintView(bool on) { isPrintView_ = on; }
  bool isOpenFillTool() const { return isOpenFillTool_; }
  void setIsOpenFillTool(bool on) { isOpenFillTool_ = on; }
  bool isFillState() const { return isFillState_; }
  bool isDraw() const { return isDraw_; }
  FillTool* fillTool() const { return fillTool_.get(); }
  // The spinner shown while a fill is on its way (made on the first fill).
  ui::ActivityIndicatorView* activityIndicator() const { return activityIndicator_.get(); }
  Zoom_MoveOperateDelegate* zoom_moveDelegate() const { return zoomMoveDelegate_; }
  void setZoom_moveDelegate(Zoom_MoveOperateDelegate* d) { zoomMoveDelegate_ = d; }
  EraserOperateDelegate* eraserDelegate() const { return eraserDelegate_; }
  void setEraserDelegate(EraserOperateDelegate* d) { eraserDelegate_ = d; }
  PrintDrawViewDelegate* printViewDelegate() const { return printViewDelegate_; }
  void setPrintViewDelegate(PrintDrawViewDelegate* d) { printViewDelegate_ = d; }

  // --- touches from the responder chain, through the canvas-touch adaptor
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;
  // Every finger of the event that belongs to this canvas.
  void touchesBegan(const std::vector<CanvasTouch>& touches);
  void touchesMoved(const std::vector<CanvasTouch>& touches);
  void touchesEnded(const std::vector<CanvasTouch>& touches);

  // --- drawing steps
  void drawing();
  void draw();
  void erasing();
  void addPoint(gfx::Point viewPoint);

  // --- flood fill: a fill at a point in backing pixels (origin top left) of
  // the surface now; its result is laid over the canvas on the main thread.
  void fillToolColorWithPoint(gfx::Point backingPoint);
  void relpaceDrawViewWithImage(const gfx::Image& image);
  void fillToolDidFinished();
  void fillToolDidFinishedWithFillData(const gfx::Image& layer) override;

  // --- tests: the dab rotation's random source and the undo step's clock
  // (seconds; empty restores the real one, and the last step's time is forgotten).
  static void seedDabRotation(std::uint32_t seed);
  static void setClockForTesting(std::function<double()> clock);

 protected:
  DrawView(gfx::Rect backingFrame, float scale);
  // A fill started on the old page is dropped.
  void pageReplaced() override;

 private:
  enum class Phase { Began, Moved, Ended };
  bool passesGate();
  void route(const std::vector<CanvasTouch>& touches, Phase phase);
  void began(const CanvasTouch& touch);
  void moved(const CanvasTouch& touch);
  void ended(const CanvasTouch& touch);
  gfx::Rect pinchStep(const std::vector<CanvasTouch>& touches, bool atEnd) const;
  void doubleTapZoom(gfx::Point location);
  void applyFactors(gfx::Rect r);
  void applyFrame(gfx::Rect r);
  gfx::Point backingPoint(gfx::Point viewPoint) const;
  void dab(gfx::Point at, float halfSize, bool rotated);
  void undoStep();
  void eraserBegan(gfx::Point location);
  void eraserMoved(gfx::Point location);
  void eraserEnded();

  int toolPattern_ = 1;
  float toolSize_ = 10;
  std::vector<gfx::Point> points_;
  std::vector<float> sizes_;
  PointsArrayOfQuardCurveLine cline_;
  float brushR_ = 0, brushG_ = 0, brushB_ = 0, brushA_ = 1;
  float factor_ = 1;
  float widthZoomFactor_ = 1, heightZoomFactor_ = 1;
  bool isDraw_ = false;
  gfx::Rect baseRect_;
  gfx::Rect drawRect_;
  bool isPrintView_ = false;
  Zoom_MoveOperateDelegate* zoomMoveDelegate_ = nullptr;
  EraserOperateDelegate* eraserDelegate_ = nullptr;
  PrintDrawViewDelegate* printViewDelegate_ = nullptr;
  bool isOpenFillTool_ = false;
  bool isFillState_ = false;
  std::unique_ptr<FillTool> fillTool_;
  std::shared_ptr<ui::ActivityIndicatorView> activityIndicator_;
  bool isInduction_ = false;
  bool isPenInduction_ = false;
  float preSize_ = -1;
  gfx::Point location_, previousLocation_, control_;
  std::uint64_t dabCount_ = 0;
};
