#pragma once
// The desk's small tool views: the invisible touch strips at the right edge,
// the pop-up bars of brush, opacity, size and shape, the page roller, and the
// full-screen overlays that close a panel when the user touches outside it.
// Each reports to a delegate it does not own.
#include <memory>
#include <string>

#include "platform/ui/ImageView.h"
#include "platform/ui/Label.h"
#include "platform/ui/View.h"

// What the strips report; each message takes the touch.
class UserInteractDelegate {
 public:
  virtual ~UserInteractDelegate() = default;
  virtual void respondToBrushBegin(ui::Touch*) = 0;
  virtual void respondToBrushMove(ui::Touch*) = 0;
  virtual void respondToBrushEnd(ui::Touch*) = 0;
  virtual void respondToOpacityBegin(ui::Touch*) = 0;
  virtual void respondToOpacityMove(ui::Touch*) = 0;
  virtual void respondToOpacityEnd(ui::Touch*) = 0;
  virtual void respondToSizeBegin(ui::Touch*) = 0;
  virtual void respondToSizeMove(ui::Touch*) = 0;
  virtual void respondToSizeEnd(ui::Touch*) = 0;
  virtual void respondToShapeBegin(ui::Touch*) = 0;
  virtual void respondToShapeMove(ui::Touch*) = 0;
  virtual void respondToShapeEnd(ui::Touch*) = 0;
  virtual void respondToDrawToolBegin(ui::Touch*) = 0;
  virtual void respondToDrawToolMove(ui::Touch*) = 0;
  virtual void respondToDrawToolEnd(ui::Touch*) = 0;
};

class RollerOperationDelegate {
 public:
  virtual ~RollerOperationDelegate() = default;
  virtual void respondToRollerMoveDown() = 0;
  virtual void respondToRollerMoveUp() = 0;
};

// The tools drawer's overlay asks its delegate to close it.
class ToolViewDelegate {
 public:
  virtual ~ToolViewDelegate() = default;
  virtual void toolsHidden(bool animated) = 0;
};

// An invisible strip that forwards its touches by its identifier ("brush",
// "size", "opacity", "drawTool"; "shape" and any other swallow them).
class UserInteractView : public ui::View {
 public:
  static std::shared_ptr<UserInteractView> initUserInteractView(const ui::Rect& frame, const std::string& identifier);
  explicit UserInteractView(const ui::Rect& frame);

  UserInteractDelegate* delegate() const { return delegate_; }
  void setDelegate(UserInteractDelegate* d) { delegate_ = d; }
  const std::string& identifier() const { return identifier_; }
  void setIdentifier(std::string id) { identifier_ = std::move(id); }

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet&, const ui::Event&) override {}

 private:
  enum class Phase { Began, Moved, Ended };
  void forward(const ui::TouchSet& touches, Phase phase);
  UserInteractDelegate* delegate_ = nullptr;
  std::string identifier_;
};

// The brush bar: nine tools whose top edges are the brush bands.
class BrushAndEraserSelectView : public ui::View {
 public:
  static constexpr int kToolCount = 9;
  static std::shared_ptr<BrushAndEraserSelectView> initBrushAndEraserSelectView();
  BrushAndEraserSelectView();
  void layoutSubviews() override;

  // 0 eraser, 1..6 pens, 7 smudge, 8 fill.
  ui::ImageView* toolTag(int index) const;
  ui::ImageView* eraserTag() const { return toolTag(0); }
  ui::ImageView* fillToolTag() const { return toolTag(8); }
  void setAllToolsAlpha(float alpha);
  UserInteractDelegate* delegate() const { return delegate_; }
  void setDelegate(UserInteractDelegate* d) { delegate_ = d; }

 private:
  UserInteractDelegate* delegate_ = nullptr;
  std::shared_ptr<ui::ImageView> brushAndEraserCan_;
  std::shared_ptr<ui::ImageView> tools_[kToolCount];
};

// The opacity or the size bar: a bar image with a slider, the last applied
// value (ori...) under the value being chosen (cur...) and a label.
class ValueSelectView : public ui::View {
 public:
  ui::ImageView* slider() const { return slider_.get(); }
  ui::ImageView* oriView() const { return ori_.get(); }
  ui::ImageView* curView() const { return cur_.get(); }
  ui::Label* label() const { return label_.get(); }
  UserInteractDelegate* delegate() const { return delegate_; }
  void setDelegate(UserInteractDelegate* d) { delegate_ = d; }
  void layoutSubviews() override;

 public:
  // Pictures and frames of one bar.
  struct Look {
    const char* bar;
    const char* slider;
    ui::Rect sliderFrame;
    const char* ori;
    const char* cur;
    ui::Rect displayFrame;
    float oriAlpha;
  };

 protected:
  explicit ValueSelectView(const Look& look);

 private:
  const Look& look_;
  UserInteractDelegate* delegate_ = nullptr;
  std::shared_ptr<ui::ImageView> bar_, slider_, ori_, cur_;
  std::shared_ptr<ui::Label> label_;
};

class OpacitySelectView : public ValueSelectView {
 public:
  static std::shared_ptr<OpacitySelectView> initOpacitySelectView();
  OpacitySelectView();
  ui::ImageView* opacitySlider() const { return slider(); }
  ui::ImageView* oriOpacity() const { return oriView(); }
  ui::ImageView* curOpacity() const { return curView(); }
  ui::Label* opacityLabel() const { return label(); }
};

class SizeSelectView : public ValueSelectView {
 public:
  static std::shared_ptr<SizeSelectView> initSizeSelectView();
  SizeSelectView();
  ui::ImageView* sizeSlider() const { return slider(); }
  ui::ImageView* oriSize() const { return oriView(); }
  ui::ImageView* curSize() const { return curView(); }
  ui::Label* sizeLabel() const { return label(); }
};

// The six mask shapes (open and solid triangle, circle, rectangle).
class ShapeSelectView : public ui::View {
 public:
  static constexpr int kShapeCount = 6;
  static std::shared_ptr<ShapeSelectView> initShapeSelectView();
  ShapeSelectView();
  void layoutSubviews() override;
  ui::ImageView* shape(int index) const;
  // Shows the index's second picture and the others' first; -1 for none.
  void highlight(int index);
  UserInteractDelegate* delegate() const { return delegate_; }
  void setDelegate(UserInteractDelegate* d) { delegate_ = d; }

 private:
  UserInteractDelegate* delegate_ = nullptr;
  std::shared_ptr<ui::ImageView> bar_;
  std::shared_ptr<ui::ImageView> shapes_[kShapeCount];
};

// A small wheel left of the page: rolling it down or up turns the page.
class RollerView : public ui::View {
 public:
  static std::shared_ptr<RollerView> initRollerView();
  RollerView();
  RollerOperationDelegate* delegate() const { return delegate_; }
  void setDelegate(RollerOperationDelegate* d) { delegate_ = d; }
  int rollerState() const { return rollerState_; }
  ui::ImageView* imageView() const { return imageView_.get(); }

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  RollerOperationDelegate* delegate_ = nullptr;
  std::shared_ptr<ui::ImageView> imageView_;
  ui::Point prePoint_;
  int rollerState_ = 0;
};

// The tools drawer's overlay: a touch outside the drawer and outside the page
// closes it; a touch on the page travels on to the desk.
class ToolView : public ui::View {
 public:
  static constexpr ui::Rect kToolsRect{0, 206, 469, 51};
  static constexpr ui::Rect kDrawViewRect{50, 9, 384, 288};
  explicit ToolView(const ui::Rect& frame);
  ToolViewDelegate* delegate() const { return delegate_; }
  void setDelegate(ToolViewDelegate* d) { delegate_ = d; }
  // The page's rectangle in this overlay (the tall screen moves it right).
  void setDrawViewRect(const ui::Rect& r) { drawViewRect_ = r; }
  void setToolsRect(const ui::Rect& r) { toolsRect_ = r; }

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  bool onPage(const ui::TouchSet& touches) const;
  ToolViewDelegate* delegate_ = nullptr;
  ui::Rect toolsRect_ = kToolsRect, drawViewRect_ = kDrawViewRect;
};

// Overlays of the onion panel and the layer panel: a touch outside the
// panel's rectangle hides the overlay.
class PanelOverlay : public ui::View {
 public:
  PanelOverlay(const ui::Rect& frame, ui::Size panel, float panelTop);
  ui::Rect panelRect() const;
  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  ui::Size panel_;
  float top_;
};

class SkinView : public PanelOverlay {
 public:
  explicit SkinView(const ui::Rect& frame) : PanelOverlay(frame, {215, 201}, 60) {}
};

class LayerManger : public PanelOverlay {
 public:
  explicit LayerManger(const ui::Rect& frame) : PanelOverlay(frame, {224, 148}, 88) {}
};
