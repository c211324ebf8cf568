#pragma once
// The application object: its delegate, windows, the touch dispatcher, the
// life-cycle (launch, background, foreground, termination) and the
// low-memory notification, and the picture of the screen.
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/TouchDispatcher.h"

namespace ui {

class Application;
class Window;

// The program's delegate of the application's life-cycle.
class ApplicationDelegate {
 public:
  virtual ~ApplicationDelegate() = default;
  virtual bool didFinishLaunching(Application&) { return true; }
  virtual void didBecomeActive(Application&) {}
  virtual void willResignActive(Application&) {}
  virtual void didEnterBackground(Application&) {}
  virtual void willEnterForeground(Application&) {}
  // The user asks the program to end (closes its window): false refuses, and
  // the program goes on as it was; the delegate tells the user why.
  virtual bool shouldTerminate(Application&) { return true; }
  virtual void willTerminate(Application&) {}
  virtual void didReceiveMemoryWarning(Application&) {}
};

// Notifications the application posts alongside its delegate calls.
inline constexpr const char* kDidEnterBackgroundNotification = "UIApplicationDidEnterBackgroundNotification";
inline constexpr const char* kWillEnterForegroundNotification = "UIApplicationWillEnterForegroundNotification";
inline constexpr const char* kWillTerminateNotification = "UIApplicationWillTerminateNotification";

class Application {
 public:
  static Application& shared();
  // Windows, delegate, touches and animations back to nothing (tests).
  void reset();

  void setDelegate(std::shared_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }
  ApplicationDelegate* delegate() const { return delegate_.get(); }

  // Windows on screen, back to front by level then order shown. The list
  // owns them: a callback run while it is walked may close any of them.
  std::vector<std::shared_ptr<Window>> windows() const;
  Window* keyWindow() const;
  void addWindow(std::shared_ptr<Window> window);
  void removeWindow(const Window* window);

  bool isStatusBarHidden() const { return statusBarHidden_; }
  void setStatusBarHidden(bool hidden) { statusBarHidden_ = hidden; }
  // Push registration is recorded; nothing is sent on this platform.
  void registerForRemoteNotifications(unsigned types) { remoteTypes_ = types; }
  unsigned registeredRemoteNotificationTypes() const { return remoteTypes_; }

  TouchDispatcher& touches() { return touches_; }

  // From the press of an alert's button until its answer has acted, nothing
  // beneath may hear the user: the answer is about the screen as it was
  // asked. While any hold is kept, fingers that go down and keys are
  // swallowed, and a close request waits until the last hold goes, then is
  // made. A hold ends when released or destroyed, whichever comes first.
  // Input is judged by when it was made, not when the loop reads it: a late
  // loop may run the fade's end before it reads a finger put down during
  // the fade, and that finger is swallowed all the same.
  class InputHold {
   public:
    InputHold(const InputHold&) = delete;
    InputHold& operator=(const InputHold&) = delete;
    ~InputHold() { release(); }
    void release();

   private:
    friend class Application;
    explicit InputHold(unsigned generation) : generation_(generation) {}
    unsigned generation_;
    bool released_ = false;
  };
  std::shared_ptr<InputHold> holdInput();
  bool isInputHeld() const { return holds_ > 0; }
  // Whether input made at `madeAt` on the run loop's clock (none: now) falls
  // to a hold: one is kept now, or it was made before the last hold ended.
  // A hold is only taken while a sheet shows, so anything made before its
  // end was made over the sheet or while its answer was still to come.
  bool isInputHeldAt(std::optional<double> madeAt) const;

  // Life-cycle, as the phone's system drives it.
  void launch();
  void enterBackground();
  void enterForeground();
  // Resigns, goes to the background, tells the delegate it terminates, then
  // stops the main run loop. A second call does nothing. This is the end
  // nobody can be asked about (a signal, a time limit, the display gone).
  void terminate();
  bool isTerminated() const { return terminated_; }
  // The user's request to end (the window's close): terminates unless the
  // delegate refuses. True when the application terminated. While input is
  // held the request waits, and false is returned.
  bool requestTermination();
  // From now on SIGINT and SIGTERM terminate the application, at the main
  // loop's next turn (within a tenth of a second), as the phone's system
  // ends a program.
  void terminateOnSignals();
  // The status the process ends with once terminated: 0 unless the delegate
  // set another (work it could not keep).
  int exitStatus() const { return exitStatus_; }
  void setExitStatus(int status) { exitStatus_ = status; }
  bool isActive() const { return active_; }
  // Posts fd::kLowMemoryNotification and tells the delegate.
  void simulateMemoryWarning();

  // The screen as it shows now (presentation values). Animations move on and
  // layouts run first; windows their callbacks close are not drawn, and the
  // windows drawn stay alive until the pass ends. Only what changed since
  // the last compose is drawn again; true when anything was.
  bool composeScreen();
  Compositor& compositor() { return compositor_; }
  gfx::Image screenshot();

 private:
  Application() = default;
  std::shared_ptr<ApplicationDelegate> delegate_;
  std::vector<std::shared_ptr<Window>> windows_;
  TouchDispatcher touches_;
  Compositor compositor_;
  bool statusBarHidden_ = false;
  bool terminated_ = false;
  bool active_ = false;
  bool background_ = false;
  unsigned remoteTypes_ = 0;
  int exitStatus_ = 0;
  fd::TimerRef signalWatch_;
  int holds_ = 0;
  // Holds taken before a reset do not count after it.
  unsigned holdGeneration_ = 0;
  // When the last hold ended, on the run loop's clock: input read later but
  // made before it is still swallowed.
  double heldUntil_ = -std::numeric_limits<double>::infinity();
  bool closeWaiting_ = false;
};

}  // namespace ui
