#include "platform/ui/Window.h"

#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ViewController.h"

namespace ui {

Window::Window(const Rect& frame) : View(frame) {}

Window::~Window() = default;

void Window::setRootViewController(std::shared_ptr<ViewController> controller) {
  if (root_ && root_->isViewLoaded() && root_->view()->superview() == this) root_->view()->removeFromSuperview();
  root_ = std::move(controller);
  if (!root_) return;
  std::shared_ptr<View> v = root_->viewShared();
  v->setFrame(bounds());
  addSubview(v);
}

void Window::setWindowLevel(float level) {
  if (level_ != level) Screen::noteChange();
  level_ = level;
}

void Window::makeKeyAndVisible() {
  bool wasShown = !isHidden() && shown_;
  setHidden(false);
  shown_ = true;
  Application::shared().addWindow(std::static_pointer_cast<Window>(shared_from_this()));
  if (root_ && !wasShown) {
    root_->viewWillAppear(false);
    root_->viewDidAppear(false);
  }
}

}  // namespace ui
