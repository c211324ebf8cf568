#include "desk/DeskCanvasView.h"

#include "platform/ui/Responder.h"

DeskCanvasView::DeskCanvasView(const ui::Rect& frame, DrawsView* canvas, float scale)
    : ui::GLView(frame, scale), canvas_(canvas) {
  setUserInteractionEnabled(true);
  setMultipleTouchEnabled(true);
  setBackgroundColor(ui::Color::clear());
  canvas_->layer().setPresentHandler([this](const gfx::Image& picture) { present(picture); });
  // The canvas may have drawn before it was put on the desk.
  if (auto picture = canvas_->image()) {
    picture->setScale(scale);
    present(std::move(*picture));
  }
}

DeskCanvasView::~DeskCanvasView() {
  if (canvas_) canvas_->layer().setPresentHandler({});
}

std::vector<CanvasTouch> DeskCanvasView::canvasTouches(const ui::TouchSet& touches, const ui::Event& event) const {
  // The canvas sees every finger of the event that began on it, as the phone's
  // view does with multiple touch on; the changed ones are among them.
  std::vector<CanvasTouch> out;
  ui::TouchSet mine = event.touchesForView(this);
  if (mine.empty()) mine = touches;
  for (const ui::Touch* t : mine) {
    ui::Point p = t->locationInView(this);
    ui::Point q = t->previousLocationInView(this);
    out.push_back({{p.x, p.y}, {q.x, q.y}, t->tapCount()});
  }
  return out;
}

void DeskCanvasView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  auto t = canvasTouches(touches, event);
  note(t);
  canvas_->touchesBegan(t);
}
void DeskCanvasView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  auto t = canvasTouches(touches, event);
  note(t);
  canvas_->touchesMoved(t);
}
void DeskCanvasView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  auto t = canvasTouches(touches, event);
  note(t);
  canvas_->touchesEnded(t);
}
void DeskCanvasView::touchesCancelled(const ui::TouchSet& touches, const ui::Event& event) {
  auto t = canvasTouches(touches, event);
  note(t);
  canvas_->touchesCancelled(t);
}

void DeskCanvasView::note(const std::vector<CanvasTouch>& touches) {
  if (!touches.empty()) last_ = {touches.front().location.x, touches.front().location.y};
}
