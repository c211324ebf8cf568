#include "desk/DeskCanvasView.h"

std::shared_ptr<DeskCanvasView> DeskCanvasView::initDrawViewWithScaleFactor(float scale) {
  // As the editor canvas is made: the backing is the page times the scale.
  std::shared_ptr<DeskCanvasView> view(
      new DeskCanvasView({0, 0, kPageWidth * scale, kPageHeight * scale}, scale));
  if (!view->isValid()) return nullptr;
  return view;
}

void DeskCanvasView::note(const ui::TouchSet& touches) {
  if (!touches.empty()) last_ = touches.front()->locationInView(this);
}

void DeskCanvasView::touchesBegan(const ui::TouchSet& touches, const ui::Event& event) {
  note(touches);
  DrawsView::touchesBegan(touches, event);
}
void DeskCanvasView::touchesMoved(const ui::TouchSet& touches, const ui::Event& event) {
  note(touches);
  DrawsView::touchesMoved(touches, event);
}
void DeskCanvasView::touchesEnded(const ui::TouchSet& touches, const ui::Event& event) {
  note(touches);
  DrawsView::touchesEnded(touches, event);
}
