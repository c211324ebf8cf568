#include "platform/ui/HeadlessHost.h"

#include "platform/foundation/RunLoop.h"
#include "platform/ui/Animation.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"

namespace ui {

HeadlessHost::HeadlessHost(bool tall, float scale) {
  Application::shared().reset();
  Screen::configure(tall, scale);
}

HeadlessHost::~HeadlessHost() { Application::shared().reset(); }

void HeadlessHost::touches(const std::vector<FingerChange>& changes) {
  Application::shared().touches().dispatch(changes);
}
void HeadlessHost::touchDown(std::int64_t f, Point p, std::optional<double> madeAt) {
  touches({{f, p, TouchPhase::Began, madeAt}});
}
void HeadlessHost::touchMove(std::int64_t f, Point p, std::optional<double> madeAt) {
  touches({{f, p, TouchPhase::Moved, madeAt}});
}
void HeadlessHost::touchUp(std::int64_t f, Point p, std::optional<double> madeAt) {
  touches({{f, p, TouchPhase::Ended, madeAt}});
}
void HeadlessHost::touchCancel(std::int64_t f) {
  Touch* t = Application::shared().touches().touchFor(f);
  Point p = t ? t->locationInView(nullptr) : Point{};
  touches({{f, p, TouchPhase::Cancelled}});
}

void HeadlessHost::tap(Point p, std::int64_t finger) {
  touchDown(finger, p);
  touchUp(finger, p);
}

void HeadlessHost::drag(Point from, Point to, int steps, double stepTime) {
  touchDown(1, from);
  for (int i = 1; i <= steps; ++i) {
    advance(stepTime);
    float k = float(i) / float(steps);
    touchMove(1, {from.x + (to.x - from.x) * k, from.y + (to.y - from.y) * k});
  }
  touchUp(1, to);
}

void HeadlessHost::mouse(MouseFingers::Action action, Point p, MouseModifiers modifiers,
                         std::optional<double> madeAt) {
  MouseFingers::dispatch(mouse_.change(action, p, modifiers, madeAt));
}

void HeadlessHost::click(Point p, MouseModifiers modifiers) {
  mouse(MouseFingers::Action::Down, p, modifiers);
  mouse(MouseFingers::Action::Up, p, modifiers);
}

void HeadlessHost::doubleClick(Point p, MouseModifiers modifiers, double apart) {
  click(p, modifiers);
  advance(apart);
  click(p, modifiers);
}

void HeadlessHost::typeText(const std::string& utf8, std::optional<double> madeAt) {
  deliverTypedText(utf8, madeAt);
}
void HeadlessHost::pressKey(EditingKey key, std::optional<double> madeAt) { deliverEditingKey(key, madeAt); }

void HeadlessHost::advance(double seconds) { fd::RunLoop::main().advance(seconds); }
void HeadlessHost::runUntilIdle() { fd::RunLoop::main().runUntilIdle(); }
void HeadlessHost::setInstantAnimations(bool on) { Animator::shared().setInstant(on); }

std::vector<ButtonSheet*> HeadlessHost::alerts() const { return visibleButtonSheets(); }

bool HeadlessHost::pressAlertButton(int index) {
  auto sheets = alerts();
  if (sheets.empty() || index < 0 || index >= sheets.back()->numberOfButtons()) return false;
  sheets.back()->pressButton(index);
  return true;
}

bool HeadlessHost::pressAlertButton(const std::string& title) {
  auto sheets = alerts();
  if (sheets.empty()) return false;
  ButtonSheet* s = sheets.back();
  for (int i = 0; i < s->numberOfButtons(); ++i)
    if (s->buttonTitleAtIndex(i) == title) {
      s->pressButton(i);
      return true;
    }
  return false;
}

std::optional<Point> HeadlessHost::alertButtonPoint(const std::string& title) const {
  auto sheets = alerts();
  if (sheets.empty()) return std::nullopt;
  ButtonSheet* s = sheets.back();
  for (int i = 0; i < s->numberOfButtons(); ++i) {
    if (s->buttonTitleAtIndex(i) != title) continue;
    // The sheet's own tag may be the button's index: its buttons are looked for.
    for (const std::shared_ptr<View>& v : s->subviews()) {
      if (v->tag() != i || dynamic_cast<Button*>(v.get()) == nullptr) continue;
      const Rect r = v->convertRectTo(v->bounds(), nullptr);
      return Point{r.x + r.width / 2, r.y + r.height / 2};
    }
  }
  return std::nullopt;
}

std::optional<Point> HeadlessHost::tapAlertButton(const std::string& title) {
  const std::optional<Point> at = alertButtonPoint(title);
  if (at) tap(*at);
  return at;
}

gfx::Image HeadlessHost::screenshot() { return Application::shared().screenshot(); }

}  // namespace ui
