#include "platform/ui/Application.h"

#include <algorithm>
#include <csignal>

#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StopRequest.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace ui {

namespace {
void onStopSignal(int) { fd::requestStop(); }
}  // namespace

Application& Application::shared() {
  // Never destroyed: what its windows hold is released by reset(), in order,
  // never by the end of the process reaching objects already gone.
  static Application* app = new Application;
  return *app;
}

void Application::reset() {
  if (signalWatch_) signalWatch_->invalidate();
  signalWatch_.reset();
  touches_.reset();
  windows_.clear();
  Screen::noteChange();
  delegate_.reset();
  Animator::shared().reset();
  statusBarHidden_ = false;
  terminated_ = active_ = background_ = false;
  remoteTypes_ = 0;
  exitStatus_ = 0;
  holds_ = 0;
  ++holdGeneration_;
  heldUntil_ = -std::numeric_limits<double>::infinity();
  closeWaiting_ = false;
}

std::shared_ptr<Application::InputHold> Application::holdInput() {
  ++holds_;
  return std::shared_ptr<InputHold>(new InputHold(holdGeneration_));
}

void Application::InputHold::release() {
  if (released_) return;
  released_ = true;
  Application& app = shared();
  if (generation_ != app.holdGeneration_ || app.holds_ == 0) return;
  if (--app.holds_ > 0) return;
  app.heldUntil_ = fd::RunLoop::main().now();
  if (!app.closeWaiting_) return;
  // The close is made once what released the hold has finished: the answer
  // that released it may still be acting.
  app.closeWaiting_ = false;
  fd::RunLoop::main().post([generation = generation_] {
    Application& a = shared();
    if (generation == a.holdGeneration_) a.requestTermination();
  });
}

bool Application::isInputHeldAt(std::optional<double> madeAt) const {
  if (holds_ > 0) return true;
  return madeAt.value_or(fd::RunLoop::main().now()) < heldUntil_;
}

std::vector<std::shared_ptr<Window>> Application::windows() const {
  std::vector<std::shared_ptr<Window>> out;
  for (auto& w : windows_)
    if (!w->isHidden()) out.push_back(w);
  std::stable_sort(out.begin(), out.end(), [](const std::shared_ptr<Window>& a, const std::shared_ptr<Window>& b) {
    return a->windowLevel() < b->windowLevel();
  });
  return out;
}

Window* Application::keyWindow() const {
  for (auto it = windows_.rbegin(); it != windows_.rend(); ++it)
    if ((*it)->windowLevel() == Window::kLevelNormal && !(*it)->isHidden()) return it->get();
  return nullptr;
}

void Application::addWindow(std::shared_ptr<Window> window) {
  removeWindow(window.get());
  windows_.push_back(std::move(window));
  Screen::noteChange();
}

void Application::removeWindow(const Window* window) {
  if (std::erase_if(windows_, [window](const std::shared_ptr<Window>& w) { return w.get() == window; }) > 0)
    Screen::noteChange();
}

void Application::launch() {
  if (delegate_) delegate_->didFinishLaunching(*this);
  active_ = true;
  if (delegate_) delegate_->didBecomeActive(*this);
}

void Application::enterBackground() {
  if (background_ || terminated_) return;
  touches_.cancelAll();
  active_ = false;
  if (delegate_) delegate_->willResignActive(*this);
  background_ = true;
  if (delegate_) delegate_->didEnterBackground(*this);
  fd::NotificationCenter::defaultCenter().post(kDidEnterBackgroundNotification, this);
}

void Application::enterForeground() {
  if (!background_ || terminated_) return;
  background_ = false;
  if (delegate_) delegate_->willEnterForeground(*this);
  fd::NotificationCenter::defaultCenter().post(kWillEnterForegroundNotification, this);
  active_ = true;
  if (delegate_) delegate_->didBecomeActive(*this);
}

void Application::terminate() {
  if (terminated_) return;
  enterBackground();
  terminated_ = true;
  if (delegate_) delegate_->willTerminate(*this);
  fd::NotificationCenter::defaultCenter().post(kWillTerminateNotification, this);
  fd::RunLoop::main().stop();
}

bool Application::requestTermination() {
  if (!terminated_ && holds_ > 0) {
    closeWaiting_ = true;
    return false;
  }
  if (!terminated_ && delegate_ && !delegate_->shouldTerminate(*this)) return false;
  terminate();
  return true;
}

void Application::terminateOnSignals() {
  fd::clearStopRequest();
  std::signal(SIGINT, onStopSignal);
  std::signal(SIGTERM, onStopSignal);
  if (signalWatch_) signalWatch_->invalidate();
  signalWatch_ = fd::RunLoop::main().scheduleTimer(0.1, true, [this] {
    if (fd::stopRequested()) terminate();
  });
}

void Application::simulateMemoryWarning() {
  if (delegate_) delegate_->didReceiveMemoryWarning(*this);
  fd::NotificationCenter::defaultCenter().post(fd::kLowMemoryNotification, this);
}

bool Application::composeScreen() {
  // An animation's end or a layout may close a window (an alert whose fade
  // ends removes its own) or open one: the windows are listed once those
  // have run, and every list taken is held until the frame is drawn.
  Animator::shared().update();
  std::vector<std::vector<std::shared_ptr<Window>>> held;
  held.push_back(windows());
  constexpr int kLayoutRounds = 4;
  for (int round = 0; round < kLayoutRounds; ++round) {
    for (const auto& w : held.back()) w->layoutIfNeeded();
    std::vector<std::shared_ptr<Window>> now = windows();
    if (now == held.back()) break;
    held.push_back(std::move(now));
  }
  const Screen& s = Screen::main();
  Rect b = s.bounds();
  return compositor_.composeScreen(held.back(), {b.width, b.height}, s.scale());
}

gfx::Image Application::screenshot() {
  composeScreen();
  return compositor_.frameImage();
}

}  // namespace ui
