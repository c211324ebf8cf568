#pragma once
// The desk's canvas: the editor canvas that also remembers where its latest
// finger was, so that the desk can keep the eraser ring under the finger.
#include <memory>

#include "canvas/DrawsView.h"

class DeskCanvasView : public DrawsView {
 public:
  // nullptr when GL could not be set up.
  static std::shared_ptr<DeskCanvasView> initDrawViewWithScaleFactor(float scale);

  // The first finger of the latest touch delivery, in this view's points.
  ui::Point lastLocation() const { return last_; }

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  using DrawsView::touchesBegan;
  using DrawsView::touchesMoved;
  using DrawsView::touchesEnded;

 private:
  DeskCanvasView(gfx::Rect backingFrame, float scale) : DrawsView(backingFrame, scale) {}
  void note(const ui::TouchSet& touches);
  ui::Point last_;
};
