#pragma once
// The drawing desk's canvas: one layer of one frame on a 384 x 288 point page.
// Adds zoom and move by two fingers, the eight brush types of the desk, the
// flood fill at touch end, the stamp tool's print-view role, the `operated`
// flag that tells whether the page must be saved, and the page files.
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "canvas/FillTool.h"
#include "canvas/PageFiles.h"
#include "canvas/PendingCut.h"
#include "canvas/VTEAGLView.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/RunLoop.h"

// Held for the desk; the canvas sends it nothing.
class EraserOperateDelegate {
 public:
  virtual ~EraserOperateDelegate() = default;
};

class Zoom_MoveOperateDelegate {
 public:
  virtual ~Zoom_MoveOperateDelegate() = default;
  virtual void drawViewFrameChanged(gfx::Rect) {}
};

class PrintDrawViewDelegate {
 public:
  virtual ~PrintDrawViewDelegate() = default;
  virtual void printImageInDrawview() {}
};

class DrawsView : public VTEAGLView, public FillToolDelegate {
 public:
  static constexpr float kPageWidth = 384;
  static constexpr float kPageHeight = 288;
  static constexpr float kMaxZoom = 3;
  // A pinch may overshoot the 1x-3x range while the fingers move (the end
  // snaps back), but never so far that the frame collapses or explodes.
  static constexpr float kMinPinchZoom = 0.25f;
  static constexpr float kMaxPinchZoom = 6;
  static constexpr float kPinchDistanceScale = 400;
  static constexpr float kDampedStep = 0.25f;
  static constexpr int kFillTolerance = 10;
  static constexpr int kFillTransactType = 4;

  // nullptr when GL could not be set up.
  static std::shared_ptr<DrawsView> initDrawViewWithScaleFactor(float scale);
  ~DrawsView() override;

  // --- brushes
  void setBrushType(int type) override;
  void reflushSettings();

  // --- geometry
  gfx::Rect drawRect() const { return drawRect_; }
  void setDrawRect(gfx::Rect r);
  gfx::Rect baseRect() const { return baseRect_; }
  void setBaseRect(gfx::Rect r);
  float factor() const { return factor_; }
  float cScaleFactor() const { return cScaleFactor_; }
  // The desk's view animates the frame changes that end a gesture; it learns
  // of every frame change here (animated: inside an animation block).
  void setFrameObserver(std::function<void(gfx::Rect frame, bool animated)> observer) {
    frameObserver_ = std::move(observer);
  }

  // Where a zoom gesture ends: r clamped into 1x..3x of base, covering it.
  static gfx::Rect endRectWithinZoom(gfx::Rect r, gfx::Rect base);
  // Where a two-finger double tap at `l` (in the canvas's points) takes a
  // canvas shown at `r`: from the base size to 3x about that point, from any
  // other size back to base.
  static gfx::Rect doubleTapTarget(gfx::Rect r, gfx::Rect base, gfx::Point l);
  static float distanceBetweenPoints(gfx::Point p, gfx::Point q);
  static gfx::Point rectOffsetWithPoints(gfx::Point pPre, gfx::Point pLocal, gfx::Point qPre, gfx::Point qLoc);

  // --- flags and delegates
  bool isFillTool() const { return isFillTool_; }
  void setIsFillTool(bool on) { isFillTool_ = on; }
  bool isPrintView() const { return isPrintView_; }
  void setIsPrintView(bool on) { isPrintView_ = on; }
  bool enabledZoom() const { return enabledZoom_; }
  void setEnabledZoom(bool on) { enabledZoom_ = on; }
  bool operated() const { return operated_; }
  // YES counts as a change of the picture (it is written at the next save).
  void setOperated(bool on);
  bool isZoomEnd() const { return isZoomEnd_; }
  bool isDraw() const { return isDraw_; }
  FillTool* fillTool() const { return fillTool_.get(); }

  OpenGLESDrawDelegate* isCanDrawDelegate() const { return isCanDrawDelegate_; }
  void setIsCanDrawDelegate(OpenGLESDrawDelegate* d) { isCanDrawDelegate_ = d; }
  Zoom_MoveOperateDelegate* zoom_moveDelegate() const { return zoomMoveDelegate_; }
  void setZoom_moveDelegate(Zoom_MoveOperateDelegate* d) { zoomMoveDelegate_ = d; }
  PrintDrawViewDelegate* printDrawViewDelegate() const { return printDrawViewDelegate_; }
  void setPrintDrawViewDelegate(PrintDrawViewDelegate* d) { printDrawViewDelegate_ = d; }
  EraserOperateDelegate* eraserDelegate() const { return eraserDelegate_; }
  void setEraserDelegate(EraserOperateDelegate* d) { eraserDelegate_ = d; }

  // --- content: loading a page resets the undo history and `operated`;
  // stamping, clearing, undo and redo set `operated`.
  void setImage(const gfx::Image* image, gfx::Rect rect);
  void setImage(const gfx::Image* image, gfx::Size size, gfx::Point center, float radian);
  void setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect);
  void setData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center, float radian);
  void drawImage(const gfx::Image& image, gfx::Rect rect);
  void drawImage(const gfx::Image& image, gfx::Size size, gfx::Point center, float radian);
  void drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Rect rect);
  void drawData(const std::uint8_t* bytes, gfx::Size dataSize, gfx::Size size, gfx::Point center, float radian);
  void clear() override;
  bool undo() override;
  bool redo() override;

  // --- a cut whose piece the stamp tool holds until it places it. The
  // replacement (nullptr clears) takes the turned rectangle as one undo step.
  // While the piece is off the canvas the page is stored as before the cut,
  // so leaving the page or closing the tool never loses the piece.
  void cutRegion(const gfx::Image* replacement, gfx::Size size, gfx::Point center, float radian);
  // The same for what lies under the mask's opaque part (a lasso outline):
  // every pixel outside it stays exactly as it was.
  void cutOutline(const gfx::Image& mask, gfx::Size size, gfx::Point center, float radian);
  // The held piece was just stamped onto the page: the cut stands.
  void cutPiecePlaced();
  // Puts back what an outstanding cut took: its undo step is taken back when
  // nothing followed it, else the cut pixels return under what was drawn
  // since, as a new step. NO when nothing was outstanding.
  bool withdrawCut();
  bool cutOutstanding() const { return pendingCut_ && pendingCut_->outstanding(); }
  // The picture the page files take: the canvas, an outstanding cut withdrawn.
  std::optional<gfx::Image> pagePicture();

  // --- page files of the model's current page. The picture is read off the
  // canvas on the main thread. Background writes are encoded and written on
  // the canvas's own low-priority page queue, one file after the other; the
  // synchronous writers first wait for those (a later write never lands
  // before an earlier one), then write at once: NO when a file could not be
  // written (logged); `operated` then stays set, so the next call writes the
  // page again. YES when everything was written or nothing had changed.
  bool writeToFileForLay(int position);
  bool writeSnapAndIconImage(int position);
  bool writeToFileForBackground();
  // The same layer and background writes without waiting: the canvas stays
  // changed until its files are on disk and nothing was drawn since.
  void writeToFileForLayInBackground(int position);
  void writeToFileForBackgroundInBackground();
  // Waits until every page write started so far has finished (its outcome
  // reaches the observer at the main loop's next turn).
  void waitForPageWrites();
  // Hears the outcome of every page write, on the main thread.
  void setPageWriteObserver(std::function<void(const fd::Status&)> observer) {
    pageWriteObserver_ = std::move(observer);
  }
  // Called on the main thread, never while a finger is down, once the
  // earliest change not yet taken by a write has waited `delay` seconds: at
  // the first lift after that, or then if no finger is down. Strokes that
  // follow one another without a pause do not put it off. Times are when the
  // input was made, not when it was read. An empty handler switches it off.
  void setSaveHandler(double delay, std::function<void()> handler);

  // --- touches from the responder chain, through the canvas-touch adaptor
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;
  // The gesture logic: every finger of the event that belongs to this canvas,
  // made at `madeAt` on the run loop's clock (none: as it is read).
  void touchesBegan(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt = std::nullopt);
  void touchesMoved(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt = std::nullopt);
  void touchesEnded(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt = std::nullopt);
  void touchesCancelled(const std::vector<CanvasTouch>& touches, std::optional<double> madeAt = std::nullopt);

  // The flood fill's result, on the main thread.
  void fillToolDidFinishedWithImageData(const FillImageData& result) override;

 protected:
  DrawsView(gfx::Rect backingFrame, float scale);
  void applyBrushSize(float size) override;

 private:
  enum class Phase { Began, Moved, Ended };
  void route(const std::vector<CanvasTouch>& touches, Phase phase);
  bool passesGates();
  void singleFinger(const CanvasTouch& touch, Phase phase);
  void twoFingers(const std::vector<CanvasTouch>& touches, Phase phase);
  void doubleTapZoom(gfx::Point location);
  void setDrawRectEnd(gfx::Rect r);
  gfx::Rect pinchStep(const std::vector<CanvasTouch>& touches, bool atEnd) const;
  void fillStart(gfx::Point location);
  void pageReplaced();
  void pageLoaded();
  // Takes one cut as an undo step whose piece is held until placed.
  template <class Cut>
  void takeCut(Cut&& cut);
  void applyFrame(gfx::Rect r, bool animated);
  // Every change of the picture: the page must be written, and the save
  // handler is due once the first change since the last write has waited.
  void changed();
  void noteUnsaved();
  // When the change being made was made: the touch event's time while one
  // is handled, else now.
  double changeTime() const;
  void scheduleSave();
  void touchesDown(bool down);
  // pagePicture() for a page write, read into the memory of the last one.
  PageFiles::Picture pictureToWrite();
  bool writePage(fd::Expected<PageFiles::Job> job, bool wait, bool savesChange);
  void pageWritten(std::uint64_t sequence, std::uint64_t generation, std::optional<double> unsavedSince,
                   const fd::Status& status);

  bool isFillTool_ = false;
  std::unique_ptr<FillTool> fillTool_;
  std::optional<PendingCut> pendingCut_;
  bool isPrintView_ = false;
  float cScaleFactor_ = 1;
  gfx::Rect baseRect_;
  gfx::Rect drawRect_;
  float factor_ = 1;
  bool enabledZoom_ = false;
  bool isZoomEnd_ = false;
  bool isDraw_ = false;
  bool operated_ = false;
  EraserOperateDelegate* eraserDelegate_ = nullptr;
  Zoom_MoveOperateDelegate* zoomMoveDelegate_ = nullptr;
  PrintDrawViewDelegate* printDrawViewDelegate_ = nullptr;
  OpenGLESDrawDelegate* isCanDrawDelegate_ = nullptr;
  std::function<void(gfx::Rect, bool)> frameObserver_;

  // Counts every change and every load of the picture: a write saves the
  // page only if no change came after the picture it wrote.
  std::uint64_t changeGeneration_ = 0;
  std::uint64_t writeSequence_ = 0;
  std::uint64_t reportedSequence_ = 0;
  std::unique_ptr<fd::DispatchQueue> pageQueue_;
  // Every page write of this canvas goes through it, waited for or not.
  std::shared_ptr<PageFiles::Workspace> pageWorkspace_ = std::make_shared<PageFiles::Workspace>();
  std::shared_ptr<gfx::Image> readBack_;
  std::function<void(const fd::Status&)> pageWriteObserver_;
  bool touchDown_ = false;
  std::optional<double> inputMadeAt_;
  // When the earliest change that no write has taken yet was made; none
  // while the page on disk (or a write under way) holds every change.
  std::optional<double> unsavedSince_;
  double saveDelay_ = 0;
  std::function<void()> saveHandler_;
  fd::TimerRef saveTimer_;
};
