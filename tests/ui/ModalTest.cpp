// Controllers: view loading, modal presentation and dismissal order (animated
// or not); alerts and action sheets answering by index and title; the
// low-memory notification.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "UiTestSupport.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Alert.h"

using namespace ui;

namespace {
std::vector<std::string> journal;

class Logged : public ViewController {
 public:
  explicit Logged(std::string name) : name_(std::move(name)) {}
  void loadView() override {
    journal.push_back(name_ + " loadView");
    ViewController::loadView();
  }
  void viewDidLoad() override { journal.push_back(name_ + " viewDidLoad"); }
  void viewWillAppear(bool a) override { journal.push_back(name_ + " willAppear" + (a ? " animated" : "")); }
  void viewDidAppear(bool) override { journal.push_back(name_ + " didAppear"); }
  void viewWillDisappear(bool) override { journal.push_back(name_ + " willDisappear"); }
  void viewDidDisappear(bool) override { journal.push_back(name_ + " didDisappear"); }
  void didReceiveMemoryWarning() override { journal.push_back(name_ + " memory"); }

 private:
  std::string name_;
};

class SheetLog : public ButtonSheetDelegate {
 public:
  std::vector<std::string> events;
  void clickedButtonAtIndex(ButtonSheet& s, int i) override {
    events.push_back("clicked " + std::to_string(i) + " " + s.buttonTitleAtIndex(i));
  }
  void willDismissWithButtonIndex(ButtonSheet&, int i) override { events.push_back("will " + std::to_string(i)); }
  void didDismissWithButtonIndex(ButtonSheet&, int i) override { events.push_back("did " + std::to_string(i)); }
};
}  // namespace

class ModalTest : public ui_test::UiTest {
 protected:
  void SetUp() override {
    journal.clear();
    host = std::make_unique<HeadlessHost>();
    window = std::make_shared<Window>(Rect{0, 0, 480, 320});
    desk = std::make_shared<Logged>("launch");
    window->setRootViewController(desk);
    window->makeKeyAndVisible();
    journal.clear();
  }
  std::shared_ptr<Logged> desk;
};

TEST_F(ModalTest, ViewLoadsOnceOnFirstUse) {
  auto c = std::make_shared<Logged>("c");
  EXPECT_FALSE(c->isViewLoaded());
  View* v = c->view();
  EXPECT_EQ(c->view(), v);
  EXPECT_EQ(journal, (std::vector<std::string>{"c loadView", "c viewDidLoad"}));
  EXPECT_EQ(v->viewController(), c.get());
  EXPECT_EQ(v->bounds(), (Rect{0, 0, 480, 320}));
}

TEST_F(ModalTest, PresentWithoutAnimationRunsTheCallbacksInOrder) {
  auto next = std::make_shared<Logged>("desk");
  bool done = false;
  desk->presentViewController(next, false, [&] { done = true; });
  EXPECT_TRUE(done);
  EXPECT_EQ(journal, (std::vector<std::string>{"desk loadView", "desk viewDidLoad", "launch willDisappear",
                                               "desk willAppear", "desk didAppear", "launch didDisappear"}));
  EXPECT_EQ(desk->presentedViewController(), next.get());
  EXPECT_EQ(next->presentingViewController(), desk.get());
  EXPECT_EQ(next->view()->window(), window.get());
  EXPECT_EQ(desk->view()->superview(), nullptr);  // covered: out of the window
  journal.clear();
  next->dismissViewController(false);
  EXPECT_EQ(journal, (std::vector<std::string>{"desk willDisappear", "launch willAppear", "desk didDisappear",
                                               "launch didAppear"}));
  EXPECT_EQ(desk->presentedViewController(), nullptr);
  EXPECT_EQ(desk->view()->window(), window.get());
  EXPECT_EQ(next->view()->superview(), nullptr);
}

TEST_F(ModalTest, AnimatedPresentationSlidesUpAndFinishesOnTheClock) {
  auto next = std::make_shared<Logged>("desk");
  next->view();
  journal.clear();
  bool done = false;
  desk->presentViewController(next, true, [&] { done = true; });
  EXPECT_EQ(journal, (std::vector<std::string>{"launch willDisappear", "desk willAppear animated"}));
  EXPECT_FALSE(done);
  EXPECT_TRUE(next->isBeingPresented());
  host->advance(ViewController::kModalDuration / 2);
  float y = next->view()->presentationFrame().y;
  EXPECT_GT(y, 0);
  EXPECT_LT(y, 320);
  host->advance(ViewController::kModalDuration / 2);
  EXPECT_TRUE(done);
  EXPECT_EQ(journal.back(), "launch didDisappear");
  EXPECT_EQ(next->view()->frame().y, 0);
  // A second presentation while one stands is refused.
  auto third = std::make_shared<Logged>("third");
  desk->presentViewController(third, false);
  EXPECT_EQ(desk->presentedViewController(), next.get());
  // Dismissing from the presenter, animated.
  journal.clear();
  bool gone = false;
  desk->dismissViewController(true, [&] { gone = true; });
  host->advance(ViewController::kModalDuration);
  EXPECT_TRUE(gone);
  EXPECT_EQ(journal, (std::vector<std::string>{"desk willDisappear", "launch willAppear animated",
                                               "desk didDisappear", "launch didAppear"}));
}

TEST_F(ModalTest, DismissingAStackDismissesWhatTheTopPresents) {
  auto a = std::make_shared<Logged>("a"), b = std::make_shared<Logged>("b");
  desk->presentViewController(a, false);
  a->presentViewController(b, false);
  journal.clear();
  desk->dismissViewController(false);
  EXPECT_EQ(desk->presentedViewController(), nullptr);
  EXPECT_EQ(a->presentedViewController(), nullptr);
  EXPECT_EQ(b->view()->superview(), nullptr);
  EXPECT_EQ(a->view()->superview(), nullptr);
  EXPECT_EQ(journal.back(), "launch didAppear");
}

TEST_F(ModalTest, LowMemoryReachesEveryController) {
  auto a = std::make_shared<Logged>("a");
  Application::shared().simulateMemoryWarning();
  EXPECT_EQ(journal, (std::vector<std::string>{"launch memory", "a memory"}));
  journal.clear();
  fd::NotificationCenter::defaultCenter().post(fd::kLowMemoryNotification);
  EXPECT_EQ(journal.size(), 2u);
}

TEST_F(ModalTest, AlertAnswersByIndexWithTheCancelFirst) {
  SheetLog log;
  auto alert = AlertView::make("Warning", "delete paper", &log, "Cancel", {"Delete"});
  EXPECT_EQ(alert->numberOfButtons(), 2);
  EXPECT_EQ(alert->cancelButtonIndex(), 0);
  EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
  EXPECT_EQ(alert->buttonTitleAtIndex(1), "Delete");
  EXPECT_EQ(alert->buttonTitleAtIndex(5), "");
  alert->show();
  alert.reset();  // the screen keeps it
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->message(), "delete paper");
  EXPECT_FALSE(host->pressAlertButton("Nope"));
  EXPECT_TRUE(host->pressAlertButton("Delete"));
  EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1 Delete", "will 1"}));
  // A second press during the fade does nothing.
  EXPECT_TRUE(host->pressAlertButton(0));
  host->advance(ButtonSheet::kFadeDuration);
  EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1 Delete", "will 1", "did 1"}));
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_FALSE(host->pressAlertButton(0));
}

TEST_F(ModalTest, ASheetWhoseDelegateHasGoneTellsNobody) {
  host->setInstantAnimations(false);
  // The delegate goes while its alert is up; another object is then built in
  // the very same place. Neither hears the press.
  std::optional<SheetLog> slot;
  slot.emplace();
  auto alert = AlertView::make("Export to...", "", &*slot, "Cancel", {"Forground"});
  alert->show();
  auto sheet = ActionSheet::make("", &*slot, "Cancel", std::nullopt, {"camera"});
  sheet->showInView(desk->view());
  slot.reset();
  slot.emplace();
  EXPECT_EQ(alert->delegate(), nullptr);
  EXPECT_EQ(sheet->delegate(), nullptr);
  EXPECT_TRUE(host->pressAlertButton("camera"));  // the sheet is on top
  host->advance(ButtonSheet::kFadeDuration);
  EXPECT_TRUE(host->pressAlertButton("Forground"));
  host->advance(ButtonSheet::kFadeDuration);
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_TRUE(slot->events.empty());

  // A delegate freed by its own click (a screen that closes itself there)
  // hears nothing of the dismissal.
  struct SelfFreeing : ButtonSheetDelegate {
    std::unique_ptr<SelfFreeing>* self = nullptr;
    int* heard = nullptr;
    void clickedButtonAtIndex(ButtonSheet&, int) override {
      ++*heard;
      self->reset();
    }
    void willDismissWithButtonIndex(ButtonSheet&, int) override { ++*heard; }
    void didDismissWithButtonIndex(ButtonSheet&, int) override { ++*heard; }
  };
  int heard = 0;
  auto freeing = std::make_unique<SelfFreeing>();
  freeing->self = &freeing;
  freeing->heard = &heard;
  AlertView::make("Warning", "", freeing.get(), "OK")->show();
  EXPECT_TRUE(host->pressAlertButton("OK"));
  host->advance(ButtonSheet::kFadeDuration);
  EXPECT_EQ(freeing, nullptr);
  EXPECT_EQ(heard, 1);
}

TEST_F(ModalTest, AlertButtonsAnswerRealTouches) {
  SheetLog log;
  auto alert = AlertView::make("Warning", "Clear this Frames", &log, "OK", {"Cancel"});
  alert->show();
  host->setInstantAnimations(true);
  // Find the second button on screen and tap it: the touch goes to the alert
  // window, not to the program's window below.
  View* other = alert->viewWithTag(1);
  ASSERT_NE(other, nullptr);
  Rect r = other->convertRectTo(other->bounds(), nullptr);
  host->tap({r.x + r.width / 2, r.y + r.height / 2});
  host->runUntilIdle();
  EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1 Cancel", "will 1", "did 1"}));
}

TEST_F(ModalTest, ActionSheetIndicesPutTheCancelLast) {
  SheetLog log;
  auto sheet = ActionSheet::make("", &log, "Cancel", "Delete", {"camera", "open Library"});
  EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
  EXPECT_EQ(sheet->firstOtherButtonIndex(), 1);
  EXPECT_EQ(sheet->cancelButtonIndex(), 3);
  auto plain = ActionSheet::make("", &log, std::nullopt, std::nullopt, {"camera", "open Library"});
  EXPECT_EQ(plain->cancelButtonIndex(), -1);
  EXPECT_EQ(plain->buttonTitleAtIndex(0), "camera");
  plain->showInView(desk->view());
  host->setInstantAnimations(true);
  EXPECT_TRUE(host->pressAlertButton(1));
  host->runUntilIdle();
  EXPECT_EQ(log.events, (std::vector<std::string>{"clicked 1 open Library", "will 1", "did 1"}));
  // Dismissed by the program: no click.
  log.events.clear();
  sheet->showInView(desk->view());
  sheet->dismissWithClickedButtonIndex(3, false);
  EXPECT_EQ(log.events, (std::vector<std::string>{"will 3", "did 3"}));
}
