#pragma once
// A window: the root of a view tree on the screen, with its root controller.
// Alerts show in windows of a higher level above the program's.
#include <memory>

#include "platform/ui/View.h"

namespace ui {

class ViewController;

class Window : public View {
 public:
  static constexpr float kLevelNormal = 0;
  static constexpr float kLevelAlert = 2000;

  explicit Window(const Rect& frame);
  ~Window() override;

  ViewController* rootViewController() const { return root_.get(); }
  // The controller's view fills the window.
  void setRootViewController(std::shared_ptr<ViewController> controller);

  // Shows the window and puts it among the application's windows.
  void makeKeyAndVisible();
  float windowLevel() const { return level_; }
  void setWindowLevel(float level);

 private:
  std::shared_ptr<ViewController> root_;
  float level_ = kLevelNormal;
  bool shown_ = false;
};

}  // namespace ui
