#pragma once
// A stack of controllers under a 44-point bar that shows the top one's title
// and bar buttons; push and pop slide sideways when animated.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"

namespace ui {

enum class BarButtonStyle { Plain, Bordered, Done };

class BarButtonItem {
 public:
  BarButtonItem(std::string title, BarButtonStyle style, std::function<void()> action)
      : title_(std::move(title)), style_(style), action_(std::move(action)) {}
  const std::string& title() const { return title_; }
  BarButtonStyle style() const { return style_; }
  bool isEnabled() const { return enabled_; }
  void setEnabled(bool on) { enabled_ = on; }
  void trigger() const {
    if (enabled_ && action_) action_();
  }

 private:
  std::string title_;
  BarButtonStyle style_;
  std::function<void()> action_;
  bool enabled_ = true;
};

class NavigationBar : public View {
 public:
  explicit NavigationBar(const Rect& frame);
  // Shows the item's title and buttons.
  void showItem(NavigationItem* item);
  Label* titleLabel() { return title_.get(); }
  Button* leftButton() { return left_.get(); }
  Button* rightButton() { return right_.get(); }
  void layoutSubviews() override;

  static constexpr float kHeight = 44;

 private:
  void configure(Button& b, BarButtonItem* item);
  std::shared_ptr<Label> title_;
  std::shared_ptr<Button> left_, right_;
  NavigationItem* item_ = nullptr;
};

class NavigationController : public ViewController {
 public:
  explicit NavigationController(std::shared_ptr<ViewController> root);
  ~NavigationController() override;

  void pushViewController(std::shared_ptr<ViewController> controller, bool animated);
  // The controller taken off, or nullptr at the root.
  std::shared_ptr<ViewController> popViewController(bool animated);
  void popToRootViewController(bool animated);
  ViewController* topViewController() const;
  const std::vector<std::shared_ptr<ViewController>>& viewControllers() const { return stack_; }
  NavigationBar* navigationBar() { return bar_.get(); }

  void loadView() override;
  void layoutContent();
  void viewWillAppear(bool animated) override;
  void viewDidAppear(bool animated) override;
  void viewWillDisappear(bool animated) override;
  void viewDidDisappear(bool animated) override;

  static constexpr double kSlideDuration = 0.3;

 private:
  Rect contentFrame() const;
  void show(ViewController* incoming, ViewController* outgoing, bool animated, bool forward,
            std::shared_ptr<ViewController> keepAlive);
  std::vector<std::shared_ptr<ViewController>> stack_;
  std::shared_ptr<NavigationBar> bar_;
  bool visible_ = false;
};

}  // namespace ui
