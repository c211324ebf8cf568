#pragma once
// Puts the editor canvas into the desk's view tree: shows each picture the
// canvas presents, and hands the fingers that touch it to the canvas in the
// canvas's own points. The canvas itself is owned by the desk.
#include <memory>
#include <vector>

#include "canvas/DrawsView.h"
#include "platform/ui/GLView.h"

class DeskCanvasView : public ui::GLView {
 public:
  DeskCanvasView(const ui::Rect& frame, DrawsView* canvas, float scale);
  ~DeskCanvasView() override;

  DrawsView* canvas() const { return canvas_; }
  // Where the first finger of the latest touch delivery was, in this view.
  ui::Point lastLocation() const { return last_; }
  // The canvas's fingers of an event, in its own points.
  std::vector<CanvasTouch> canvasTouches(const ui::TouchSet& touches, const ui::Event& event) const;

  void touchesBegan(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesMoved(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesEnded(const ui::TouchSet& touches, const ui::Event& event) override;
  void touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) override;

 private:
  void note(const std::vector<CanvasTouch>& touches);
  DrawsView* canvas_;
  ui::Point last_;
};
