#pragma once
// Reading an alert as a person does: its title and message as laid out, and
// whether every line of the message is seen, scrolling it with a finger
// where it scrolls.
#include <gtest/gtest.h>

#include <vector>

#include "platform/graphics/Text.h"
#include "platform/ui/Alert.h"
#include "platform/ui/Button.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"
#include "platform/ui/ScrollView.h"

namespace alert_reading {

// The labels of an alert, top to bottom, its buttons' left out: its title,
// then its message (shown plainly or in the box it scrolls in).
inline std::vector<ui::Label*> alertLabels(const ui::View& view) {
  std::vector<ui::Label*> out;
  for (const auto& v : view.subviews()) {
    if (dynamic_cast<ui::Button*>(v.get()) != nullptr) continue;
    if (auto* label = dynamic_cast<ui::Label*>(v.get())) out.push_back(label);
    for (ui::Label* inner : alertLabels(*v)) out.push_back(inner);
  }
  return out;
}

// The box the label scrolls in, if any.
inline ui::ScrollView* scrollBoxOf(const ui::Label& label) {
  for (ui::View* v = label.superview(); v != nullptr; v = v->superview())
    if (auto* box = dynamic_cast<ui::ScrollView*>(v)) return box;
  return nullptr;
}

// The alert and every view in it lie on the screen, and each of its labels
// has the room its text takes.
inline void expectOnTheScreenWithRoomForItsText(const ui::View& alert) {
  const ui::Rect screen = ui::Screen::main().bounds();
  const ui::Rect f = alert.frame();
  EXPECT_GE(f.x, 0);
  EXPECT_LE(f.x + f.width, screen.width);
  EXPECT_GE(f.y, 0);
  EXPECT_LE(f.y + f.height, screen.height);
  for (const auto& v : alert.subviews()) {
    const ui::Rect r = v->convertRectTo(v->bounds(), nullptr);
    EXPECT_GE(r.y, 0);
    EXPECT_LE(r.y + r.height, screen.height);
  }
  for (const ui::Label* label : alertLabels(alert))
    EXPECT_LE(label->sizeThatFits({label->frame().width, 100000}).height, label->frame().height + 1) << label->text();
}

// Every line of the label is seen: none is cut off by a count of lines or by
// its frame, its first line is on the screen at once and, when it scrolls in
// a box, a finger dragging up over the box brings its last line into the box.
inline void expectEveryLineSeen(ui::HeadlessHost& host, const ui::Label& label) {
  gfx::TextStyle whole = label.style();
  whole.numberOfLines = 0;
  whole.lineBreak = gfx::LineBreak::WordWrap;
  const float width = label.frame().width, all = gfx::measureText(label.text(), whole, width).height;
  EXPECT_GE(gfx::measureText(label.text(), label.style(), width).height + 1, all) << "lines are cut off";
  EXPECT_GE(label.frame().height + 1, all) << "lines lie outside the label";
  const ui::ScrollView* box = scrollBoxOf(label);
  const ui::Rect screen = ui::Screen::main().bounds();
  const ui::Rect window = box != nullptr ? box->convertRectTo(box->bounds(), nullptr) : screen;
  EXPECT_GE(window.y, 0);
  EXPECT_LE(window.y + window.height, screen.height);
  auto shown = [&] { return label.convertRectTo(label.bounds(), nullptr); };
  EXPECT_GE(shown().y + 1, window.y) << "the first line is not on the screen";
  const float bottom = window.y + window.height;
  for (int drags = 0; box != nullptr && drags < 40 && shown().y + shown().height > bottom + 1; ++drags) {
    const float x = window.x + window.width / 2;
    host.drag({x, bottom - 4}, {x, window.y + 4}, 8);
    host.runUntilIdle();
  }
  EXPECT_LE(shown().y + shown().height, bottom + 1) << "the last line is never on the screen";
}

}  // namespace alert_reading
