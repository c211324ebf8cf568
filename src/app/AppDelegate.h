#pragma once
// The application's delegate: on launch it touches the model, builds the
// launch screen for the screen size, registers for pushes and starts the
// statistics facade; on going to the background and on termination it saves
// the open page, waits for the model's write queue, and saves the model and
// the community login record.
#include <memory>

#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

class ZTLoadingViewController;

class AppDelegate : public ui::ApplicationDelegate {
 public:
  AppDelegate();
  ~AppDelegate() override;
  // The live delegate, or nullptr before one is made.
  static AppDelegate* sharedAppDelegate();

  bool didFinishLaunching(ui::Application& app) override;
  void willEnterForeground(ui::Application& app) override;
  void didEnterBackground(ui::Application& app) override;
  void willTerminate(ui::Application& app) override;

  ui::Window* window() const { return window_.get(); }
  ZTLoadingViewController* loadingViewController() const { return loading_.get(); }
  int saveCount() const { return saves_; }

  // Badge and alert, as the program asks.
  static constexpr unsigned kRemoteNotificationTypes = 1u | 4u;

 private:
  void saveModel();
  std::shared_ptr<ui::Window> window_;
  std::shared_ptr<ZTLoadingViewController> loading_;
  int saves_ = 0;
};
