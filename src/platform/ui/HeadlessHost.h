#pragma once
// The screen without a display, for tests and the program's headless mode:
// synthetic multi-finger touches, the run loop's (virtual) clock, a mode that
// ends animations at once while keeping their callbacks' order, pressing the
// buttons of alerts and action sheets, and reading the screen as an image.
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/ui/Alert.h"
#include "platform/ui/MouseFingers.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TouchDispatcher.h"

namespace ui {

class HeadlessHost {
 public:
  // Resets the application (windows, delegate, touches, animations) and sets
  // up the screen.
  explicit HeadlessHost(bool tall = false, float scale = 1.0f);
  ~HeadlessHost();
  HeadlessHost(const HeadlessHost&) = delete;
  HeadlessHost& operator=(const HeadlessHost&) = delete;

  // --- fingers (screen points); `madeAt`, when given, is when the finger did
  // it on the run loop's clock, for input a late loop reads after the fact
  void touchDown(std::int64_t finger, Point p, std::optional<double> madeAt = std::nullopt);
  void touchMove(std::int64_t finger, Point p, std::optional<double> madeAt = std::nullopt);
  void touchUp(std::int64_t finger, Point p, std::optional<double> madeAt = std::nullopt);
  void touchCancel(std::int64_t finger);
  // Several fingers changing in one event.
  void touches(const std::vector<FingerChange>& changes);
  void tap(Point p, std::int64_t finger = 1);
  // Down at `from`, `steps` moves to `to` each `stepTime` apart, up.
  void drag(Point from, Point to, int steps = 5, double stepTime = 1.0 / 60);

  // --- the mouse (screen points), making the fingers the window host makes
  // of it: with Ctrl, two
  void mouse(MouseFingers::Action action, Point p, MouseModifiers modifiers = {},
             std::optional<double> madeAt = std::nullopt);
  void click(Point p, MouseModifiers modifiers = {});
  // Two clicks `apart` seconds apart on the clock.
  void doubleClick(Point p, MouseModifiers modifiers = {}, double apart = 0.1);

  // --- the keyboard: to the text field that edits, if any
  void typeText(const std::string& utf8, std::optional<double> madeAt = std::nullopt);
  void pressKey(EditingKey key, std::optional<double> madeAt = std::nullopt);

  // --- time: the run loop's clock moves forward, running what falls due.
  void advance(double seconds);
  void runUntilIdle();
  void setInstantAnimations(bool on);

  // --- alerts and action sheets on screen, oldest first
  std::vector<ButtonSheet*> alerts() const;
  // Presses a button of the newest sheet; false when there is none or no
  // such button.
  bool pressAlertButton(int index);
  bool pressAlertButton(const std::string& title);
  // The screen point at the middle of that button of the newest sheet, where
  // a finger taps it; nullopt when there is no such button.
  std::optional<Point> alertButtonPoint(const std::string& title) const;
  // Taps it there as a finger does (the fade then runs on the clock unless
  // animations end at once); where it tapped, or nullopt.
  std::optional<Point> tapAlertButton(const std::string& title);

  // --- the screen as it shows now
  gfx::Image screenshot();

 private:
  MouseFingers mouse_;
};

}  // namespace ui
