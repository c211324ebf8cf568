#pragma once
// The application's delegate: on launch it touches the model, builds the
// launch screen for the screen size, registers for pushes and starts the
// statistics facade; on termination it first ends a recording under way as
// its stop button does; on going to the background and on termination it
// saves the open page, waits for the model's write queue, and saves the model and
// the community login record. A close the user asks for while the open page,
// or the open project's list, cannot be written is refused with an alert
// saying why; a termination nobody can be asked about says on standard error
// which page or project was lost and why, and sets the exit status
// kPageNotSavedExitStatus.
#include <memory>
#include <optional>
#include <string>

#include "model/ProjectNotice.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Application.h"
#include "platform/ui/Window.h"

class ZTLoadingViewController;

// The open project's list, tried once more, when the disk still refuses it;
// none when it is stored or was refused as too large.
std::optional<ProjectNotice> listTheDiskRefuses();
// Why the open project stays open for that, and what mends it: closing the
// window again, or trying again (`closing` false).
std::string keptOpenInWords(const ProjectNotice& refused, bool closing);

class AppDelegate : public ui::ApplicationDelegate {
 public:
  AppDelegate();
  ~AppDelegate() override;
  // The live delegate, or nullptr before one is made.
  static AppDelegate* sharedAppDelegate();

  bool didFinishLaunching(ui::Application& app) override;
  void willEnterForeground(ui::Application& app) override;
  void didEnterBackground(ui::Application& app) override;
  bool shouldTerminate(ui::Application& app) override;
  void willTerminate(ui::Application& app) override;

  ui::Window* window() const { return window_.get(); }
  ZTLoadingViewController* loadingViewController() const { return loading_.get(); }
  int saveCount() const { return saves_; }
  // A close is held on screen because the open project's list cannot be
  // written.
  bool holdsQuit() const;

  // Badge and alert, as the program asks.
  static constexpr unsigned kRemoteNotificationTypes = 1u | 4u;
  // The program ended without the open page, or the open project's list,
  // that it could not write.
  static constexpr int kPageNotSavedExitStatus = 3;

 private:
  // Whether the open page, and the open project's list, were written.
  struct Saved {
    bool page = true;
    bool list = true;
  };
  Saved saveModel();
  std::shared_ptr<ui::Window> window_;
  std::weak_ptr<ui::AlertView> quitHeldAlert_;
  std::shared_ptr<ZTLoadingViewController> loading_;
  int saves_ = 0;
};
