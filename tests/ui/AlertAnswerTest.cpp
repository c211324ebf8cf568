// An alert's answer comes before anything else the user does: from the press
// of a button until the answer has acted (its fade on the clock), a finger put
// down reaches nothing beneath, whether it is the second tap of a quick double
// tap on the button or a tap elsewhere, and a close request waits and is made
// once the answer is done, so that what it asks is about the screen as the
// answer left it. Sheets and delegates that go inside their own answers are
// never used once freed (the sanitizer build reports any use).
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AlertReading.h"
#include "UiTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/Alert.h"
#include "platform/ui/DelegateRef.h"
#include "platform/ui/Label.h"
#include "platform/ui/Screen.h"

using namespace ui;

namespace {

using ui_test::SheetLog;

// Asked whether the program may end: refuses with an alert of its own while
// it must, and notes how many sheets were on screen when asked.
class Closing : public ApplicationDelegate {
 public:
  bool refuse = true;
  std::vector<std::size_t> sheetsWhenAsked;
  bool shouldTerminate(Application&) override {
    sheetsWhenAsked.push_back(visibleButtonSheets().size());
    if (!refuse) return true;
    AlertView::make("Page not saved", "It stays open until it can be saved.", nullptr, "OK")->show();
    return false;
  }
};

class AlertAnswerTest : public ui_test::BeneathAlertsTest {
 protected:
  Point tapButton(const std::string& title) {
    const std::optional<Point> at = host->tapAlertButton(title);
    EXPECT_TRUE(at.has_value()) << title;
    return at.value_or(Point{});
  }
};

}  // namespace

TEST_F(AlertAnswerTest, NothingBeneathHearsAFingerUntilTheAnswerHasActed) {
  for (const double delay : {0.0, 0.05, 0.1, 0.16}) {
    SCOPED_TRACE(delay);
    beneath->heard.clear();
    SheetLog log;
    std::vector<std::string> heardWhenAnswered{"none"};
    log.onDismissed = [&](ButtonSheet&, int) { heardWhenAnswered = beneath->heard; };
    AlertView::make("Warning", "Clear this Frames", &log, "OK", {"Cancel"})->show();
    const Point button = tapButton("OK");
    // The second tap of a quick double tap lands where the button was.
    host->advance(0.03);
    host->tap(button);
    host->advance(delay);
    host->tap({60, 60});
    // A finger that goes down during the fade and lifts after the answer.
    host->touchDown(3, {300, 250});
    host->advance(ButtonSheet::kFadeDuration);
    host->runUntilIdle();
    EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 0", "will 0", "did 0"}));
    EXPECT_TRUE(heardWhenAnswered.empty());
    EXPECT_FALSE(Application::shared().isInputHeld());
    host->touchMove(3, {310, 250});
    host->touchUp(3, {310, 250});
    EXPECT_TRUE(beneath->heard.empty());
    // Once answered the screen hears the user again.
    host->tap({60, 60});
    EXPECT_EQ(beneath->heard, (std::vector<std::string>{"began 1", "ended"}));
  }
}

// A busy loop (a slow frame, a page write, a loaded machine) reads input
// late: the fade's end and the hold's release are due first and run first,
// then the fingers made meanwhile are read. Each is judged by when it was
// made: one put down before the release is swallowed with its moves and
// lift, even after the fade's own length while the loop had not yet ended
// it (the alert still showed); one put down after the release acts.
TEST_F(AlertAnswerTest, AFingerReadLateIsJudgedByWhenItWentDown) {
  fd::RunLoop& loop = fd::RunLoop::main();
  SheetLog log;
  AlertView::make("Warning", "Clear this Frames", &log, "OK", {"Cancel"})->show();
  const Point cancel = tapButton("Cancel");
  const double lifted = loop.now();
  host->advance(0.03);
  loop.stall(0.57);
  host->runUntilIdle();
  ASSERT_EQ(log.events, (std::vector<std::string>{"clicked 1", "will 1", "did 1"}));
  ASSERT_FALSE(Application::shared().isInputHeld());
  const double released = loop.now();
  ASSERT_GT(released, lifted + ButtonSheet::kFadeDuration + 0.1);

  // The second tap of a double tap on the button, then a stroke elsewhere.
  host->touchDown(1, cancel, lifted + 0.1);
  host->touchUp(1, cancel, lifted + 0.12);
  host->touchDown(1, {60, 60}, lifted + 0.2);
  host->touchMove(1, {120, 90}, lifted + 0.25);
  host->touchMove(1, {160, 90});
  host->touchUp(1, {160, 90});
  host->touchDown(2, {200, 200}, lifted + ButtonSheet::kFadeDuration + 0.1);
  host->touchUp(2, {200, 200}, released + 0.01);
  EXPECT_TRUE(beneath->heard.empty());
  EXPECT_EQ(Application::shared().touches().activeTouches(), 0u);

  // Two fingers in one event: the one put down during the hold stays out.
  host->touches({{3, {60, 60}, TouchPhase::Began, released - 0.001}, {4, {300, 200}, TouchPhase::Began, released}});
  EXPECT_EQ(beneath->heard, (std::vector<std::string>{"began 1"}));
  host->touches({{3, {70, 60}, TouchPhase::Moved}, {4, {300, 210}, TouchPhase::Moved}});
  host->touches({{3, {70, 60}, TouchPhase::Ended}, {4, {300, 210}, TouchPhase::Ended}});
  EXPECT_EQ(beneath->heard, (std::vector<std::string>{"began 1", "moved", "ended"}));

  // Read late too, but made once the answer had acted: it acts.
  beneath->heard.clear();
  host->touchDown(5, {60, 60}, released + 0.02);
  host->touchUp(5, {60, 60});
  EXPECT_EQ(beneath->heard, (std::vector<std::string>{"began 1", "ended"}));
}

TEST_F(AlertAnswerTest, TheProgramsOwnAnimatedDismissalHoldsTheScreenToo) {
  SheetLog log;
  auto alert = AlertView::make("Warning", "", &log, "OK");
  alert->show();
  alert->dismissWithClickedButtonIndex(0, true);
  EXPECT_TRUE(Application::shared().isInputHeld());
  host->tap({60, 60});
  host->advance(ButtonSheet::kFadeDuration);
  EXPECT_EQ(log.events, (std::vector<std::string>{"will 0", "did 0"}));
  EXPECT_FALSE(Application::shared().isInputHeld());
  EXPECT_TRUE(beneath->heard.empty());

  // At once: nothing to wait for, nothing held.
  auto sheet = ActionSheet::make("", &log, "Cancel", std::nullopt, {"camera"});
  sheet->showInView(rootView());
  sheet->dismissWithClickedButtonIndex(1, false);
  EXPECT_FALSE(Application::shared().isInputHeld());
  host->tap({60, 60});
  EXPECT_EQ(beneath->heard, (std::vector<std::string>{"began 1", "ended"}));
}

TEST_F(AlertAnswerTest, ACloseDuringTheFadeIsAskedOnceTheAnswerHasActed) {
  auto closing = std::make_shared<Closing>();
  Application& app = Application::shared();
  app.setDelegate(closing);
  SheetLog log;
  AlertView::make("Page not saved", "", &log, "OK")->show();
  tapButton("OK");
  host->advance(0.1);
  EXPECT_FALSE(app.requestTermination());
  EXPECT_FALSE(app.requestTermination());  // two closes, one question
  EXPECT_TRUE(closing->sheetsWhenAsked.empty()) << "asked while the answer was still to come";
  host->advance(ButtonSheet::kFadeDuration);
  host->runUntilIdle();
  ASSERT_EQ(log.events.size(), 3u);
  // Asked after the answer, with no alert left that could seem to be up: it
  // refused and its own alert shows.
  EXPECT_EQ(closing->sheetsWhenAsked, (std::vector<std::size_t>{0}));
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->title(), "Page not saved");
  EXPECT_FALSE(app.isTerminated());

  // Now it may end: a close during the next fade ends the program after it.
  closing->refuse = false;
  tapButton("OK");
  host->advance(0.05);
  EXPECT_FALSE(app.requestTermination());
  EXPECT_FALSE(app.isTerminated());
  host->advance(ButtonSheet::kFadeDuration);
  host->runUntilIdle();
  EXPECT_TRUE(app.isTerminated());
  EXPECT_EQ(closing->sheetsWhenAsked, (std::vector<std::size_t>{0, 0}));
}

TEST_F(AlertAnswerTest, AHoldEndsWithItsAnswerOrTheApplicationsReset) {
  Application& app = Application::shared();
  std::shared_ptr<Application::InputHold> first = app.holdInput();
  {
    std::shared_ptr<Application::InputHold> second = app.holdInput();
    first->release();
    first->release();  // once is once
    EXPECT_TRUE(app.isInputHeld());
  }
  EXPECT_FALSE(app.isInputHeld());

  // A fade that never ends (the application reset under it) holds nothing
  // afterwards, and its hold going later takes nothing from a new one.
  AlertView::make("Warning", "", nullptr, "OK")->show();
  tapButton("OK");
  std::shared_ptr<Application::InputHold> stale = app.holdInput();
  app.reset();
  EXPECT_FALSE(app.isInputHeld());
  std::shared_ptr<Application::InputHold> fresh = app.holdInput();
  stale.reset();
  EXPECT_TRUE(app.isInputHeld());
  fresh.reset();
  EXPECT_FALSE(app.isInputHeld());

  // What was made before a hold's end is judged against it until a reset.
  host->advance(1);
  app.holdInput()->release();
  const double ended = fd::RunLoop::main().now();
  EXPECT_TRUE(app.isInputHeldAt(ended - 0.5));
  EXPECT_FALSE(app.isInputHeldAt(ended));
  app.reset();
  EXPECT_FALSE(app.isInputHeldAt(ended - 0.5));
}

// A delegate that dismisses its sheet at once inside the click, and lets go of
// it, leaves the press to finish on a sheet that is still alive: it hears
// each message once, and nothing is held after.
TEST_F(AlertAnswerTest, ASheetItsDelegateDismissesInsideTheClickIsNotUsedOnceFreed) {
  for (const bool byFinger : {false, true}) {
    SCOPED_TRACE(byFinger);
    SheetLog log;
    std::shared_ptr<AlertView> alert = AlertView::make("Warning", "", &log, "Cancel", {"Delete"});
    log.onClick = [&alert](ButtonSheet& s, int i) {
      s.dismissWithClickedButtonIndex(i, false);
      alert.reset();
    };
    alert->show();
    if (byFinger) {
      tapButton("Delete");
    } else {
      EXPECT_TRUE(host->pressAlertButton("Delete"));
    }
    host->advance(ButtonSheet::kFadeDuration);
    EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1", "will 1", "did 1"}));
    EXPECT_TRUE(host->alerts().empty());
    EXPECT_FALSE(Application::shared().isInputHeld());
  }
}

// A delegate copied from another is a delegate of its own: a reference to
// either lapses with it alone, whether made by copying or by assigning.
TEST_F(AlertAnswerTest, ACopiedDelegateHasALifeOfItsOwn) {
  SheetLog original;
  std::optional<SheetLog> copy(original);
  DelegateRef<ButtonSheetDelegate> toOriginal = &original;
  DelegateRef<ButtonSheetDelegate> toCopy = &*copy;
  auto alert = AlertView::make("Warning", "", &*copy, "OK");
  alert->show();
  copy.reset();
  EXPECT_EQ(toCopy.get(), nullptr);
  EXPECT_EQ(alert->delegate(), nullptr);
  EXPECT_EQ(toOriginal.get(), &original);
  EXPECT_TRUE(host->pressAlertButton("OK"));
  host->advance(ButtonSheet::kFadeDuration);
  EXPECT_TRUE(original.events.empty());

  auto assigned = std::make_unique<SheetLog>();
  DelegateRef<ButtonSheetDelegate> toAssigned = assigned.get();
  *assigned = original;
  EXPECT_EQ(toAssigned.get(), assigned.get()) << "assigning ended the delegate's own life";
  {
    SheetLog passing;
    toOriginal = &passing;
    passing = *assigned;
  }
  EXPECT_EQ(toOriginal.get(), nullptr);
  EXPECT_EQ(toAssigned.get(), assigned.get());
}

// An alert fits the screen at both layouts and scales whatever it says: a
// long path is shortened in the middle, a long message is cut, and every
// button can be tapped. A short alert shows its texts whole.
TEST_F(AlertAnswerTest, EveryAlertFitsTheScreenAndCanBeAnswered) {
  const std::string home = "/home/" + std::string(124, 'h');
  const std::string name(120, 'n');
  const std::string path = home + "/.local/share/flipdesk/Library/Projects/" + name + "/20261208013150123.png";
  std::string essay;
  for (int i = 0; i < 400; ++i) essay += "a sentence that goes on ";
  struct Case {
    std::string title, message;
    std::vector<std::string> others;
  };
  const Case cases[] = {
      {"Picture could not be read", "The foreground of page 1 of \u201c" + name + "\u201d (" + path +
                                        ") could not be read. It was kept as " + path + ".damaged-20261208.",
       {}},
      {"\u201c" + name + "\u201d could not be opened", essay, {"Delete", "Keep"}},
      {name + name + name, path, {"Retry"}},
  };
  for (const bool tall : {false, true}) {
    for (const float scale : {1.0f, 2.0f}) {
      host = std::make_unique<HeadlessHost>(tall, scale);
      host->setInstantAnimations(true);
      for (const Case& c : cases) {
        SCOPED_TRACE(c.title.substr(0, 20) + (tall ? " tall" : "") + " x" + std::to_string(scale));
        SheetLog log;
        auto alert = AlertView::make(c.title, c.message, &log, "OK", c.others);
        alert->show();
        alert_reading::expectOnTheScreenWithRoomForItsText(*alert);
        EXPECT_EQ(alert->message(), c.message) << "the alert's own text changed";
        const std::string last = c.others.empty() ? "OK" : c.others.back();
        ASSERT_TRUE(host->tapAlertButton(last).has_value());
        host->runUntilIdle();
        EXPECT_TRUE(host->alerts().empty());
        ASSERT_FALSE(log.events.empty());
        EXPECT_EQ(log.events[0], "clicked " + std::to_string(c.others.size()));
      }
    }
  }
  // Short texts are shown whole.
  auto plain = AlertView::make("Warning", "Clear this Frames", nullptr, "OK", {"Cancel"});
  plain->show();
  std::vector<std::string> shown;
  for (const auto& v : plain->subviews())
    if (auto* label = dynamic_cast<Label*>(v.get())) shown.push_back(label->text());
  EXPECT_EQ(shown, (std::vector<std::string>{"Warning", "Clear this Frames"}));
}
