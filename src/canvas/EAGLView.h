#pragma once
// The GL surface as a touch drawing surface with snapshot undo: owns the
// canvas's renderer and undo manager, turns touches into the three stroke
// calls, draws dab batches under the buffer lock and takes a snapshot of the
// whole backing (a mark) after a change.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "canvas/CanvasTouch.h"
#include "canvas/ES2Renderer.h"
#include "canvas/ImagesUndoManager.h"
#include "canvas/RenderObject.h"

class EAGLView;

// Optional messages of the drawing surface; the defaults do nothing.
class EAGLViewDelegate {
 public:
  virtual ~EAGLViewDelegate() = default;
  virtual void eaglViewNeedUpdateUndoState(EAGLView* /*view*/, bool /*canUndo*/) {}
  virtual void eaglViewNeedUpdateRedoState(EAGLView* /*view*/, bool /*canRedo*/) {}
  virtual void eaglViewDidTouchBegin(EAGLView* /*view*/) {}
  virtual void eaglViewDidTouchMove(EAGLView* /*view*/) {}
  virtual void eaglViewDidTouchEnd(EAGLView* /*view*/) {}
};

// What the desk answers to the canvas; isCanDraw is asked before drawing.
class OpenGLESDrawDelegate {
 public:
  virtual ~OpenGLESDrawDelegate() = default;
  virtual void enableRedo() = 0;
  virtual void enableUndo() = 0;
  virtual void disableRedo() = 0;
  virtual void disableUndo() = 0;
  virtual bool isCanDraw() = 0;
};

class EAGLView : public ES2Renderer {
 public:
  // nullptr when GL could not be set up.
  static std::shared_ptr<EAGLView> create(gfx::Rect frame);
  ~EAGLView() override;

  RenderObject* shaderObject() const { return shaderObject_.get(); }
  ImagesUndoManager* undoManager() const { return undoManager_.get(); }

  void loadShaderObject();
  void loadUndoManager();
  void layoutSubviews() override;
  bool resizeFromLayer(glx::GLLayer& layer) override;

  std::optional<std::filesystem::path> tempDirectory() const;
  void setTempDirectory(const std::optional<std::filesystem::path>& dir);

  // Snapshot of the whole backing as a new undo step, when something was drawn
  // and markTimeInterval has passed since the last one.
  bool mark();
  bool canUndo() const;
  bool canRedo() const;
  // NO, with the picture untouched, when there is no step or its snapshot is gone.
  virtual bool undo();
  virtual bool redo();
  // The picture now on the canvas becomes the current state, history emptied.
  void resetUndoManager();
  // The undone steps are dropped: nothing is left to redo.
  void forgetRedoSteps();
  virtual void clear();

  void drawPoints(const gfx::Point* points, const float* sizes, int count);
  void drawPoint(gfx::Point point, float size);
  // Stroke calls, in view points with the origin at the bottom left.
  virtual void drawWithBeginPoint(gfx::Point p);
  virtual void drawWithMovePoint(gfx::Point p);
  virtual void drawWithEndPoint(gfx::Point p);

  // Touches from the responder chain: any one finger of the set, through
  // the canvas-touch adaptor, to the point entries below.
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

  // Touch entry: location in view points with the origin at the top left, as
  // the UI reports it. A move or end reaches the stroke calls only after a
  // begin of this canvas; a cancel ends the stroke as a lift there does.
  // Non-finite locations are dropped.
  virtual void touchesBegan(gfx::Point location);
  virtual void touchesMoved(gfx::Point location);
  virtual void touchesEnded(gfx::Point location);
  virtual void touchesCancelled(gfx::Point location);
  // A stroke is under way (begun and not yet ended or cancelled).
  bool strokeActive() const { return strokeActive_; }
  // Ends the stroke under way without drawing (a second finger turned it into
  // a gesture, say); what was drawn is kept and marked with autoMark.
  void cancelStroke();

  bool edited() const { return edited_; }
  bool autoMark() const { return autoMark_; }
  void setAutoMark(bool on) { autoMark_ = on; }
  float markTimeInterval() const { return markTimeInterval_; }
  void setMarkTimeInterval(float seconds) { markTimeInterval_ = seconds; }
  EAGLViewDelegate* delegate() const { return delegate_; }
  void setDelegate(EAGLViewDelegate* d) { delegate_ = d; }

  // Seconds since 1970 used by mark; tests replace it (empty restores).
  static void setClockForTesting(std::function<double()> clock);

 protected:
  explicit EAGLView(gfx::Rect frame, float contentScaleFactor = 1.0f);
  // The renderer follows the view's size.
  void boundsSizeChanged(ui::Size oldSize) override;
  // Called when a stroke ends without its end call (a second finger).
  virtual void strokeDidCancel() {}
  void notifyAvailability(bool couldUndo, bool couldRedo);
  void setEdited(bool e) { edited_ = e; }
  SnapshotData readBacking();

 private:
  bool step(bool forward);
  std::optional<gfx::Point> toCanvasPoint(gfx::Point location) const;

  std::unique_ptr<RenderObject> shaderObject_;
  std::unique_ptr<ImagesUndoManager> undoManager_;
  bool edited_ = false;
  bool autoMark_ = false;
  float markTimeInterval_ = 0;
  double preTimeInterval_ = 0;
  EAGLViewDelegate* delegate_ = nullptr;
  bool strokeActive_ = false;
};
