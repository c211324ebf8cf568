// The one-line text field: a touch makes it take the keyboard, typed text and
// editing keys reach only the field that edits (and none while an alert is
// up), Return tells the field's owner, a text wider than the field shows
// its end with the caret, in either direction, and a text given holds what
// the field shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Alert.h"
#include "platform/ui/TextField.h"

using namespace ui;

namespace {

class TextFieldTest : public ui_test::UiTest {
 protected:
  std::shared_ptr<TextField> field(const Rect& frame, const std::string& name) {
    auto f = std::make_shared<TextField>(frame);
    rootView()->addSubview(f);
    for (auto [event, what] : {std::pair{EditingDidBegin, "begin"}, std::pair{EditingChanged, "changed"},
                               std::pair{EditingDidEnd, "end"}, std::pair{EditingDidEndOnExit, "return"}}) {
      f->addTarget(this, [this, name, what = std::string(what)](Control*, const Event*) {
        log.push_back(name + " " + what);
      }, event);
    }
    return f;
  }
  void tapOn(View* v) {
    const Rect r = v->convertRectTo(v->bounds(), nullptr);
    host->tap(rectCenter(r));
  }
  std::vector<std::string> log;
};

bool isCaret(const std::uint8_t* p) { return p[0] > 180 && p[1] < 150 && p[2] < 80; }

TEST_F(TextFieldTest, ATouchTakesTheKeyboardAndReturnEndsEditing) {
  auto a = field({20, 20, 200, 30}, "a");
  a->setText("Walk");
  host->typeText("x");  // nothing edits yet
  EXPECT_EQ(a->text(), "Walk");
  EXPECT_EQ(editingTextField(), nullptr);

  tapOn(a.get());
  EXPECT_TRUE(a->isEditing());
  host->typeText("ing\x01\x7f!");  // control characters are not text
  EXPECT_EQ(a->text(), "Walking!");
  host->pressKey(EditingKey::Backspace);
  EXPECT_EQ(a->text(), "Walking");
  // Return tells the owner, who ends the editing when the text will do.
  host->pressKey(EditingKey::Return);
  EXPECT_TRUE(a->isEditing());
  ASSERT_TRUE(a->resignFirstResponder());
  EXPECT_EQ(log, (std::vector<std::string>{"a begin", "a changed", "a changed", "a return", "a end"}));
  host->typeText("more");
  EXPECT_EQ(a->text(), "Walking");
}

TEST_F(TextFieldTest, AnAlertOnScreenTakesTheKeyboardAway) {
  auto a = field({20, 20, 200, 30}, "a");
  ASSERT_TRUE(a->becomeFirstResponder());
  AlertView::make("Title", "Message", nullptr, "OK")->show();
  host->typeText("x");
  host->pressKey(EditingKey::Return);
  EXPECT_EQ(a->text(), "");
  ASSERT_TRUE(host->pressAlertButton(0));
  host->advance(ButtonSheet::kFadeDuration + 0.1);
  EXPECT_TRUE(host->alerts().empty());
  host->typeText("y");
  EXPECT_EQ(a->text(), "y");
  EXPECT_EQ(log, (std::vector<std::string>{"a begin", "a changed"}));
}

// Keys typed while an alert's answer was on its way go nowhere, even when a
// busy loop reads them after the answer has acted; those typed after it act.
TEST_F(TextFieldTest, AKeyReadLateIsJudgedByWhenItWasTyped) {
  fd::RunLoop& loop = fd::RunLoop::main();
  auto a = field({20, 20, 200, 30}, "a");
  ASSERT_TRUE(a->becomeFirstResponder());
  host->typeText("ab");
  host->setInstantAnimations(false);
  AlertView::make("Title", "Message", nullptr, "OK")->show();
  ASSERT_TRUE(host->tapAlertButton("OK").has_value());
  const double answered = loop.now();
  loop.stall(ButtonSheet::kFadeDuration + 0.3);
  host->runUntilIdle();
  ASSERT_TRUE(host->alerts().empty());
  ASSERT_FALSE(Application::shared().isInputHeld());
  const double released = loop.now();
  host->typeText("x", answered + 0.05);
  host->pressKey(EditingKey::Backspace, answered + 0.1);
  host->pressKey(EditingKey::Return, released - 0.01);
  EXPECT_EQ(a->text(), "ab");
  host->pressKey(EditingKey::Backspace, released);
  host->typeText("y", released + 0.01);
  host->typeText("z");
  EXPECT_EQ(a->text(), "ayz");
  EXPECT_EQ(log, (std::vector<std::string>{"a begin", "a changed", "a changed", "a changed", "a changed"}));
}

TEST_F(TextFieldTest, BackspaceAndTheLengthLimitTakeWholeCharacters) {
  auto a = field({20, 20, 200, 30}, "a");
  ASSERT_TRUE(a->becomeFirstResponder());
  host->typeText("Sp\xc3\xa4t");  // "Spät"
  host->pressKey(EditingKey::Backspace);
  host->pressKey(EditingKey::Backspace);
  EXPECT_EQ(a->text(), "Sp");
  a->setMaximumLength(4);
  host->typeText("\xc3\xa4\xc3\xa4");  // two two-byte characters: only one fits
  EXPECT_EQ(a->text(), "Sp\xc3\xa4");
  host->typeText("x");
  EXPECT_EQ(a->text(), "Sp\xc3\xa4");
  // Backspace on an empty field changes nothing and says nothing.
  a->setText("");
  log.clear();
  host->pressKey(EditingKey::Backspace);
  EXPECT_TRUE(log.empty());
}

TEST_F(TextFieldTest, OneFieldEditsAtATime) {
  auto a = field({20, 20, 200, 30}, "a");
  auto b = field({20, 80, 200, 30}, "b");
  tapOn(a.get());
  tapOn(b.get());
  EXPECT_FALSE(a->isEditing());
  EXPECT_TRUE(b->isEditing());
  host->typeText("q");
  EXPECT_EQ(a->text(), "");
  EXPECT_EQ(b->text(), "q");
  // Escape ends editing without the Return event; leaving the window too.
  host->pressKey(EditingKey::Escape);
  EXPECT_EQ(editingTextField(), nullptr);
  tapOn(a.get());
  a->removeFromSuperview();
  EXPECT_EQ(editingTextField(), nullptr);
  EXPECT_EQ(log, (std::vector<std::string>{"a begin", "a end", "b begin", "b changed", "b end", "a begin", "a end"}));
  // A disabled field, or one in no window, does not take the keyboard.
  b->setEnabled(false);
  tapOn(b.get());
  EXPECT_FALSE(b->becomeFirstResponder());
  EXPECT_FALSE(a->becomeFirstResponder());
}

TEST_F(TextFieldTest, ALongTextShowsItsEndWithTheCaret) {
  auto a = field({20, 20, 80, 30}, "a");
  a->setText(std::string(40, 'M'));
  ASSERT_TRUE(a->becomeFirstResponder());
  const gfx::Image picture = a->renderToImage(1);
  // The caret follows the text's end: it stands just inside the right edge
  // only when the text is shifted to show its end.
  int caret = 0;
  for (int x = 60; x < 80 - static_cast<int>(TextField::kTextInset) + 1; ++x) {
    if (isCaret(picture.pixel(x, 15))) ++caret;
  }
  EXPECT_GT(caret, 0);
}

// A text read either way or both, wider than the field or fitting it: the
// caret stands in sight after the character typed last, on the side typing
// in its direction goes on, and that character shows beside it (typed as
// another letter of its width, only the pixels beside the caret change), at
// both scales; a text that fits stands at its paragraph's start, the left
// edge when it reads left to right, the right edge when it reads right to
// left.
TEST_F(TextFieldTest, TheCaretAndTheLastTypedCharacterShowWhicheverWayTheTextReads) {
  struct Case {
    const char* what;
    std::string text, typed, instead;
    bool typedRightOfCaret;
    float width = 100;
    bool fromTheRight = false;  // for a text that fits: its paragraph reads right to left
    float nearBy = 3;           // how far from the caret the two letters first differ
  };
  const std::string hebrew = "\u05de\u05d7\u05d6\u05d5\u05e8 \u05d4\u05dc\u05d9\u05db\u05d4 \u05e9\u05e0\u05d9";
  const std::string lamed = "\u05dc", bet = "\u05d1";  // as wide as each other, as are n and u
  const std::string shalom = "\u05e9\u05dc\u05d5\u05dd", marhaba = "\u0645\u0631\u062d\u0628\u0627";
  // One shape but zain's dot, a few points into the letter; both join only
  // to the letter before them.
  const std::string reh = "\u0631", zain = "\u0632";
  for (const Case& c : {Case{"left to right", "Walking cycle second take", "n", "u", false},
                        Case{"right to left", hebrew, lamed, bet, true},
                        Case{"read left to right, ending right to left", "Walking cycle " + hebrew, lamed, bet, true},
                        Case{"read right to left, ending left to right", hebrew + " walk", "n", "u", false},
                        Case{"left to right, fitting", "Walk", "n", "u", false, 200, false},
                        Case{"Hebrew, fitting", shalom, lamed, bet, true, 200, true},
                        Case{"Arabic, fitting", marhaba, reh, zain, true, 200, true, 6},
                        Case{"read left to right, ending right to left, fitting", "Walk " + shalom, lamed, bet, true,
                             200, false},
                        Case{"read right to left, ending left to right, fitting", shalom + " walk", "n", "u", false,
                             200, true}}) {
    for (const float scale : {1.0f, 2.0f}) {
      SCOPED_TRACE(testing::Message() << c.what << " at scale " << scale);
      auto a = field({20, 20, c.width, 30}, "a");
      ASSERT_TRUE(a->becomeFirstResponder());
      a->setText(c.text);
      host->typeText(c.typed);
      const gfx::Image typed = a->renderToImage(scale);
      host->pressKey(EditingKey::Backspace);
      host->typeText(c.instead);
      const gfx::Image instead = a->renderToImage(scale);
      a->removeFromSuperview();
      const int from = static_cast<int>(TextField::kTextInset * scale),
                to = static_cast<int>((c.width - TextField::kTextInset) * scale);
      std::vector<int> caret, changed, ink;
      for (int x = from; x < to; ++x) {
        if (isCaret(typed.pixel(x, static_cast<int>(15 * scale)))) caret.push_back(x);
        for (int y = static_cast<int>(4 * scale); y < static_cast<int>(26 * scale); ++y) {
          const std::uint8_t *p = typed.pixel(x, y), *q = instead.pixel(x, y);
          if (std::abs(p[0] - q[0]) + std::abs(p[1] - q[1]) + std::abs(p[2] - q[2]) > 60) {
            changed.push_back(x);
            break;
          }
        }
        for (int y = static_cast<int>(4 * scale); y < static_cast<int>(26 * scale); ++y) {
          const std::uint8_t* p = typed.pixel(x, y);
          if (!isCaret(p) && p[0] + p[1] + p[2] < 3 * 128) {
            ink.push_back(x);
            break;
          }
        }
      }
      ASSERT_FALSE(caret.empty()) << "no caret in sight";
      ASSERT_FALSE(changed.empty()) << "the letter typed is out of sight";
      // The letter lies beside the caret, no wider than a letter.
      const float at = (caret.front() + caret.back()) / 2.0f;
      const float near = c.typedRightOfCaret ? changed.front() - at : at - changed.back();
      const float far = c.typedRightOfCaret ? changed.back() - at : at - changed.front();
      EXPECT_GE(near, -1.5f * scale);
      EXPECT_LE(near, c.nearBy * scale);
      EXPECT_LE(far, 12 * scale);
      if (c.width > 100) {
        ASSERT_FALSE(ink.empty());
        // The caret's room and a letter's side bearing from the edge.
        const int edge = c.fromTheRight ? to - std::max(ink.back(), caret.back()) - 1
                                        : std::min(ink.front(), caret.front()) - from;
        EXPECT_LE(edge, 5 * scale) << "the text stands away from its paragraph's start";
      }
    }
  }
}

// A name another program gave a folder may hold line breaks and tabs: the
// field holds the spaces it shows, so what is read back is what was seen.
TEST_F(TextFieldTest, ATextGivenHoldsWhatTheFieldShows) {
  auto a = field({20, 20, 200, 30}, "a");
  a->setText("Walk\ncycle\ttwo\r\nthree\x01");
  EXPECT_EQ(a->text(), "Walk cycle two three ");
}

}  // namespace
