#include "platform/ui/ViewController.h"

#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Animation.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ui {

void NavigationItem::setTitle(std::string t) {
  title_ = std::move(t);
  if (changed_) changed_();
}
void NavigationItem::setLeftBarButtonItem(std::shared_ptr<BarButtonItem> item) {
  left_ = std::move(item);
  if (changed_) changed_();
}
void NavigationItem::setRightBarButtonItem(std::shared_ptr<BarButtonItem> item) {
  right_ = std::move(item);
  if (changed_) changed_();
}

ViewController::ViewController() {
  memoryObserver_ = fd::NotificationCenter::defaultCenter().addObserver(
      fd::kLowMemoryNotification, [this](const fd::Notification&) { didReceiveMemoryWarning(); }, this);
}

ViewController::~ViewController() {
  fd::NotificationCenter::defaultCenter().removeObserver(memoryObserver_);
  if (view_ && view_->controller_ == this) view_->controller_ = nullptr;
  if (presented_) presented_->presenting_ = nullptr;
}

void ViewController::loadView() {
  view_ = std::make_shared<View>(Screen::main().bounds());
  view_->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
}

View* ViewController::view() { return viewShared().get(); }

std::shared_ptr<View> ViewController::viewShared() {
  if (!view_) {
    loadView();
    if (!view_) ViewController::loadView();
    view_->controller_ = this;
    viewDidLoad();
  }
  return view_;
}

void ViewController::setView(std::shared_ptr<View> view) {
  if (view_ && view_->controller_ == this) view_->controller_ = nullptr;
  view_ = std::move(view);
  if (view_) view_->controller_ = this;
}

void ViewController::setTitle(const std::string& t) {
  title_ = t;
  navigationItem_.setTitle(t);
}

NavigationController* ViewController::navigationController() const {
  for (ViewController* p = parent_; p; p = p->parent_)
    if (auto* nav = dynamic_cast<NavigationController*>(p)) return nav;
  return nullptr;
}

Responder* ViewController::nextResponder() const {
  if (view_ && view_->superview()) return view_->superview();
  return parent_;
}

ViewController* ViewController::presentationRoot() {
  ViewController* p = this;
  while (p->parent_) p = p->parent_;
  return p;
}

void ViewController::presentViewController(std::shared_ptr<ViewController> controller, bool animated,
                                           std::function<void()> completion) {
  if (!controller) return;
  ViewController* presenter = presentationRoot();
  if (presenter->presented_) {
    fd::Log("Warning: attempt to present a controller while a presentation is in progress\n");
    return;
  }
  std::shared_ptr<View> presenterView = presenter->viewShared();
  Window* window = presenterView->window();
  if (!window) {
    fd::Log("Warning: attempt to present on a controller whose view is not in a window\n");
    return;
  }
  presenter->presented_ = controller;
  controller->presenting_ = presenter;
  std::shared_ptr<View> v = controller->viewShared();
  Rect full = window->bounds();
  v->setFrame(full);
  presenter->viewWillDisappear(animated);
  controller->viewWillAppear(animated);
  window->addSubview(v);

  std::weak_ptr<ViewController> wp = presenter->weak_from_this(), wc = controller;
  auto finish = [wp, wc, animated, completion, presenterView] {
    auto c = wc.lock();
    if (c) c->transitioning_ = false;
    if (presenterView->superview() && c && c->presenting_) presenterView->removeFromSuperview();
    if (c) c->viewDidAppear(animated);
    if (auto p = wp.lock()) p->viewDidDisappear(animated);
    if (completion) completion();
  };
  if (!animated) {
    finish();
    return;
  }
  controller->transitioning_ = true;
  if (controller->transitionStyle_ == ModalTransitionStyle::CrossDissolve) {
    v->setAlpha(0);
    Animations::animate(kModalDuration, [v] { v->setAlpha(1); }, [finish](bool) { finish(); });
  } else {
    Point c = v->center();
    v->setCenter({c.x, c.y + full.height});
    Animations::animate(kModalDuration, [v, c] { v->setCenter(c); }, [finish](bool) { finish(); });
  }
}

void ViewController::dismissViewController(bool animated, std::function<void()> completion) {
  ViewController* presenter = presented_ ? this : presenting_;
  if (!presenter && parent_) {
    presentationRoot()->dismissViewController(animated, std::move(completion));
    return;
  }
  if (!presenter || !presenter->presented_) return;
  presenter->finishDismiss(animated, std::move(completion));
}

void ViewController::finishDismiss(bool animated, std::function<void()> completion) {
  std::shared_ptr<ViewController> controller = presented_;
  if (controller->presented_) controller->finishDismiss(false, {});
  std::shared_ptr<View> v = controller->viewShared();
  Window* window = v->window();
  std::shared_ptr<View> mine = viewShared();
  controller->viewWillDisappear(animated);
  viewWillAppear(animated);
  if (window && !mine->superview()) {
    mine->setFrame(window->bounds());
    window->insertSubviewBelow(mine, v.get());
  }
  std::weak_ptr<ViewController> wp = weak_from_this();
  auto finish = [wp, controller, animated, completion, v] {
    v->removeFromSuperview();
    controller->transitioning_ = false;
    controller->viewDidDisappear(animated);
    if (auto p = wp.lock()) {
      p->viewDidAppear(animated);
      if (p->presented_ == controller) p->presented_.reset();
    }
    controller->presenting_ = nullptr;
    if (completion) completion();
  };
  if (!animated || !window) {
    finish();
    return;
  }
  controller->transitioning_ = true;
  if (controller->transitionStyle_ == ModalTransitionStyle::CrossDissolve) {
    Animations::animate(kModalDuration, [v] { v->setAlpha(0); }, [finish](bool) { finish(); });
  } else {
    Point c = v->center();
    float h = window->bounds().height;
    Animations::animate(kModalDuration, [v, c, h] { v->setCenter({c.x, c.y + h}); }, [finish](bool) { finish(); });
  }
}

}  // namespace ui
