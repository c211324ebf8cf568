#include "platform/ui/NavigationController.h"

#include "platform/ui/Animation.h"
#include "platform/ui/Screen.h"

namespace ui {

namespace {
constexpr Color kBarColor{0.43f, 0.52f, 0.64f, 1};
}

NavigationBar::NavigationBar(const Rect& frame) : View(frame) {
  setBackgroundColor(kBarColor);
  setAutoresizingMask(FlexibleWidth);
  title_ = std::make_shared<Label>();
  Font f;
  f.size = 20;
  f.bold = true;
  title_->setFont(f);
  title_->setTextColor(Color::white(1));
  title_->setTextAlignment(TextAlignment::Center);
  left_ = Button::make(ButtonType::Custom);
  right_ = Button::make(ButtonType::Custom);
  for (auto& b : {left_, right_}) {
    b->setBackgroundColor({0.3f, 0.38f, 0.5f, 1});
    b->titleLabel()->setFont({"DejaVu Sans", 12, true});
    b->setHidden(true);
  }
  addSubview(title_);
  addSubview(left_);
  addSubview(right_);
}

void NavigationBar::configure(Button& b, BarButtonItem* item) {
  b.setHidden(item == nullptr);
  b.removeTarget(nullptr, AllEvents);
  if (!item) return;
  b.setTitle(item->title());
  b.setEnabled(item->isEnabled());
  b.addTarget(this, [item](Control*, const Event*) { item->trigger(); }, TouchUpInside);
}

void NavigationBar::showItem(NavigationItem* item) {
  if (item_ && item_ != item) item_->setChangeHandler({});
  item_ = item;
  if (item) item->setChangeHandler([this] { showItem(item_); });
  title_->setText(item ? item->title() : std::string{});
  configure(*left_, item ? item->leftBarButtonItem() : nullptr);
  configure(*right_, item ? item->rightBarButtonItem() : nullptr);
  setNeedsLayout();
}

void NavigationBar::layoutSubviews() {
  Rect b = bounds();
  auto width = [](Button& btn) { return std::max(50.0f, btn.sizeThatFits({200, 30}).width + 16); };
  float lw = left_->isHidden() ? 0 : width(*left_), rw = right_->isHidden() ? 0 : width(*right_);
  left_->setFrame({5, 7, lw, 30});
  right_->setFrame({b.width - 5 - rw, 7, rw, 30});
  float side = std::max(lw, rw) + 10;
  title_->setFrame({side, 0, std::max(0.0f, b.width - 2 * side), b.height});
}

NavigationController::NavigationController(std::shared_ptr<ViewController> root) {
  if (root) {
    root->setParent(this);
    stack_.push_back(std::move(root));
  }
}

NavigationController::~NavigationController() {
  for (auto& c : stack_) c->setParent(nullptr);
  if (bar_) bar_->showItem(nullptr);
}

void NavigationController::loadView() {
  Rect screen = Screen::main().bounds();
  auto v = std::make_shared<View>(screen);
  v->setAutoresizingMask(FlexibleWidth | FlexibleHeight);
  v->setClipsToBounds(true);
  bar_ = std::make_shared<NavigationBar>(Rect{0, 0, screen.width, NavigationBar::kHeight});
  v->addSubview(bar_);
  setView(v);
  if (ViewController* top = topViewController()) {
    std::shared_ptr<View> tv = top->viewShared();
    tv->setFrame(contentFrame());
    v->insertSubviewBelow(tv, bar_.get());
    bar_->showItem(&top->navigationItem());
  }
}

Rect NavigationController::contentFrame() const {
  Rect b = loadedView()->bounds();
  return {0, NavigationBar::kHeight, b.width, b.height - NavigationBar::kHeight};
}

ViewController* NavigationController::topViewController() const { return stack_.empty() ? nullptr : stack_.back().get(); }

void NavigationController::show(ViewController* incoming, ViewController* outgoing, bool animated, bool forward,
                                std::shared_ptr<ViewController> keepAlive) {
  View* root = view();
  Rect content = contentFrame();
  std::shared_ptr<View> in = incoming ? incoming->viewShared() : nullptr;
  std::shared_ptr<View> out = outgoing && outgoing->isViewLoaded() ? outgoing->viewShared() : nullptr;
  if (visible_) {
    if (outgoing) outgoing->viewWillDisappear(animated);
    if (incoming) incoming->viewWillAppear(animated);
  }
  if (in) {
    in->setFrame(content);
    root->insertSubviewBelow(in, bar_.get());
  }
  bar_->showItem(incoming ? &incoming->navigationItem() : nullptr);
  bool visible = visible_;
  auto finish = [incoming, outgoing, out, animated, visible, keepAlive] {
    if (out && out->superview()) out->removeFromSuperview();
    if (visible) {
      if (outgoing) outgoing->viewDidDisappear(animated);
      if (incoming) incoming->viewDidAppear(animated);
    }
  };
  if (!animated || !in) {
    finish();
    return;
  }
  float w = content.width;
  Point c = in->center();
  in->setCenter({c.x + (forward ? w : -w), c.y});
  Animations::animate(kSlideDuration, [in, out, c, w, forward] {
    in->setCenter(c);
    if (out) out->setCenter({out->center().x + (forward ? -w : w), out->center().y});
  }, [finish](bool) { finish(); });
}

void NavigationController::pushViewController(std::shared_ptr<ViewController> controller, bool animated) {
  if (!controller) return;
  ViewController* outgoing = topViewController();
  controller->setParent(this);
  stack_.push_back(controller);
  if (isViewLoaded()) show(controller.get(), outgoing, animated, true, nullptr);
}

std::shared_ptr<ViewController> NavigationController::popViewController(bool animated) {
  if (stack_.size() <= 1) return nullptr;
  std::shared_ptr<ViewController> gone = stack_.back();
  stack_.pop_back();
  if (isViewLoaded()) show(topViewController(), gone.get(), animated, false, gone);
  gone->setParent(nullptr);
  return gone;
}

void NavigationController::popToRootViewController(bool animated) {
  while (stack_.size() > 2) {
    stack_[stack_.size() - 2]->setParent(nullptr);
    stack_.erase(stack_.end() - 2);
  }
  popViewController(animated);
}

void NavigationController::viewWillAppear(bool animated) {
  if (ViewController* top = topViewController()) top->viewWillAppear(animated);
}
void NavigationController::viewDidAppear(bool animated) {
  visible_ = true;
  if (ViewController* top = topViewController()) top->viewDidAppear(animated);
}
void NavigationController::viewWillDisappear(bool animated) {
  if (ViewController* top = topViewController()) top->viewWillDisappear(animated);
}
void NavigationController::viewDidDisappear(bool animated) {
  visible_ = false;
  if (ViewController* top = topViewController()) top->viewDidDisappear(animated);
}

}  // namespace ui
