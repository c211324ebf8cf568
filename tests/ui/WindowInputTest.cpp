// The window host on a real X server of the test's own, clicked as a person
// and as other programs click: a tap made while an alert's answer fades and
// read only after a loop stopped for longer than any fade reaches nothing,
// judged by the server's stamp; clicks another program sends (stamped 0) are
// taken as made when read, so after an alert answered that way the next one
// acts; a stroke after the window was unmapped with the button held draws,
// and one under way when another program takes the pointer is cancelled; a
// close asked during long work is seen by the work.
// Each runs in a child, where the window system is this test's alone.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "UiTestSupport.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/StopRequest.h"
#include "platform/ui/Alert.h"
#include "platform/ui/SdlHost.h"
#include "support/ChildProcess.h"
#include "support/VirtualXServer.h"
// Last: its macros (Status, None, ...) would rename names of the headers above.
#include <X11/Xlib.h>

using namespace ui;

namespace {

// Another program on the test's server, as a window manager asks a window
// to close and takes the pointer.
class OtherProgram {
 public:
  explicit OtherProgram(const std::string& display) : display_(XOpenDisplay(display.c_str())) {}
  ~OtherProgram() {
    if (display_ != nullptr) XCloseDisplay(display_);
  }
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;
  bool connected() const { return display_ != nullptr; }
  // The close a window's close button asks for; back once the server has
  // sent it on.
  void askToClose(const std::string& window) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = std::stoul(window);
    e.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
    e.xclient.data.l[1] = CurrentTime;
    XSendEvent(display_, e.xclient.window, False, NoEventMask, &e);
    XSync(display_, False);
  }
  void takeFocus() {
    XSetInputFocus(display_, PointerRoot, RevertToPointerRoot, CurrentTime);
    XSync(display_, False);
  }
  int grabPointer() {
    const int result = XGrabPointer(display_, DefaultRootWindow(display_), False, ButtonPressMask | ButtonReleaseMask,
                                    GrabModeAsync, GrabModeAsync, None, None, CurrentTime);
    XSync(display_, False);
    return result;
  }
  void ungrabPointer() {
    XUngrabPointer(display_, CurrentTime);
    XSync(display_, False);
  }

 private:
  Display* display_;
};

using Clock = std::chrono::steady_clock;

class WindowInputTest : public ui_test::BeneathAlertsTest {
 protected:
  void SetUp() override {
    if (!testing_support::VirtualXServer::installed(true)) GTEST_SKIP() << "Xvfb or xdotool is not installed";
    server_ = std::make_unique<testing_support::VirtualXServer>();
    ASSERT_FALSE(server_->display().empty()) << "Xvfb did not start";
    BeneathAlertsTest::SetUp();
  }
  void TearDown() override {
    BeneathAlertsTest::TearDown();
    server_.reset();
  }

  // In the child: the window on the test's server, shown.
  void openWindow() {
    ::setenv("DISPLAY", server_->display().c_str(), 1);
    ::setenv("SDL_VIDEODRIVER", "x11", 1);
    sdl = std::make_unique<SdlHost>();
    const std::string title = "flipdesk input " + std::to_string(::getpid());
    std::string error;
    ASSERT_TRUE(sdl->open(title, &error)) << error;
    windowId = output("timeout 10 xdotool search --sync --name '^" + title + "$' | head -1");
    ASSERT_FALSE(windowId.empty()) << "the window is not on the server";
    pumpFor(0.3);
  }
  static std::string output(const std::string& command) {
    std::string out;
    if (FILE* p = ::popen(command.c_str(), "r")) {
      char buffer[256];
      while (std::fgets(buffer, sizeof buffer, p) != nullptr) out += buffer;
      ::pclose(p);
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == ' ')) out.pop_back();
    return out;
  }
  // xdotool's words, with "W" for the window.
  std::string xdotoolCommand(std::string words) const {
    for (std::size_t at = words.find(" W "); at != std::string::npos; at = words.find(" W "))
      words.replace(at, 3, " " + windowId + " ");
    return "timeout 10 xdotool " + words;
  }
  void xdotool(const std::string& words) {
    ASSERT_EQ(std::system(xdotoolCommand(words).c_str()), 0) << words;
  }
  // The loop reading the window promptly for this long, its clock keeping
  // pace with the server's; or until `done`.
  template <typename Done>
  bool pumpUntil(double seconds, Done done) {
    const Clock::time_point start = Clock::now();
    Clock::time_point last = start;
    while (Clock::now() - start < std::chrono::duration<double>(seconds)) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      const Clock::time_point now = Clock::now();
      host->advance(std::chrono::duration<double>(now - last).count());
      last = now;
      sdl->pump();
      if (done()) return true;
    }
    return done();
  }
  void pumpFor(double seconds) {
    pumpUntil(seconds, [] { return false; });
  }
  static bool has(const std::vector<std::string>& events, const std::string& e) {
    return std::find(events.begin(), events.end(), e) != events.end();
  }
  // Pumps until `e` is among the events, for three seconds at most.
  bool pumpUntilHeard(const std::vector<std::string>& events, const std::string& e) {
    return pumpUntil(3, [&] { return has(events, e); });
  }
  // The body in a child, the window open on the test's server.
  void inTheWindow(const std::function<void()>& body) {
    const testing_support::ChildResult child = testing_support::runInChild([&] {
      openWindow();
      if (!HasFatalFailure()) body();
    });
    EXPECT_TRUE(child.ranThrough()) << child;
  }
  // The middle of the newest alert's button, in window pixels.
  std::string buttonAt(const std::string& title) const {
    const std::optional<Point> p = host->alertButtonPoint(title);
    EXPECT_TRUE(p.has_value()) << title;
    return p ? std::to_string(int(p->x)) + " " + std::to_string(int(p->y)) : "0 0";
  }

  std::unique_ptr<testing_support::VirtualXServer> server_;
  std::unique_ptr<SdlHost> sdl;
  std::string windowId;
};

}  // namespace

TEST_F(WindowInputTest, ATapMadeDuringTheFadeAndReadAfterALongStallReachesNothing) {
  inTheWindow([&] {
    // A click the loop reads at once acts, and shows the loop how the
    // server's clock stands to its own.
    xdotool("mousemove --window W 60 60 click 1");
    ASSERT_TRUE(pumpUntilHeard(beneath->heard, "ended"));
    beneath->heard.clear();

    ui_test::SheetLog answers;
    AlertView::make("Warning", "Clear this Frames", &answers, "OK", {"Cancel"})->show();
    pumpFor(0.5);
    // Cancel, and soon after, while the alert fades, a tap beside it. The
    // loop reads Cancel at once and then stops, for longer than ten seconds,
    // before it ends the fade and reads the tap.
    const std::string words =
        "mousemove --window W " + buttonAt("Cancel") + " click 1 sleep 0.1 mousemove --window W 60 60 click 1";
    FILE* clicks = ::popen(xdotoolCommand(words).c_str(), "r");
    ASSERT_NE(clicks, nullptr);
    ASSERT_TRUE(pumpUntilHeard(answers.events, "clicked 1"));
    ::pclose(clicks);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    fd::RunLoop::main().stall(12);
    host->runUntilIdle();
    ASSERT_TRUE(has(answers.events, "did 1")) << "the fade's end ran first";
    // Then it reads the window, a moment after.
    host->advance(0.01);
    for (int i = 0; i < 20; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(3));
      sdl->pump();
    }
    host->runUntilIdle();
    EXPECT_TRUE(beneath->heard.empty()) << "the tap made during the fade went through";

    // A click another program sends then acts, taken as made when read.
    xdotool("click --window W 1");
    EXPECT_TRUE(pumpUntilHeard(beneath->heard, "ended"));
  });
}

TEST_F(WindowInputTest, ClicksAnotherProgramSendsAfterAnAnswerItSentAct) {
  inTheWindow([&] {
    xdotool("mousemove --window W 60 60");
    pumpFor(0.2);
    ui_test::SheetLog answers;
    AlertView::make("Warning", "Clear this Frames", &answers, "OK", {"Cancel"})->show();
    pumpFor(0.5);
    xdotool("mousemove --window W " + buttonAt("OK"));
    pumpFor(0.2);
    xdotool("click --window W 1");
    ASSERT_TRUE(pumpUntilHeard(answers.events, "did 0"));
    // Where the button was, the screen beneath, half a second and 1.5 s after.
    for (const double wait : {0.5, 1.0}) {
      pumpFor(wait);
      beneath->heard.clear();
      xdotool("click --window W 1");
      EXPECT_TRUE(pumpUntilHeard(beneath->heard, "ended")) << wait;
    }
  });
}

// Ctrl held for one click, read only after Ctrl was let go (a busy loop): the
// click is two fingers still, as the keys stood when it was made.
TEST_F(WindowInputTest, ACtrlClickReadAfterCtrlWasLetGoIsStillTwoFingers) {
  beneath->setMultipleTouchEnabled(true);
  inTheWindow([&] {
    xdotool("mousemove --window W 100 100");
    pumpFor(0.2);
    xdotool("keydown ctrl click 1 keyup ctrl");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    ASSERT_TRUE(pumpUntilHeard(beneath->heard, "ended"));
    EXPECT_EQ(beneath->heard.front(), "began 2");
  });
}

// The button held while the window is unmapped: the window never hears its
// release, and the toolkit beneath the host still holds it down. The stroke
// under way is cancelled, and once the window is back the next press, its
// moves and its release reach the screen as a stroke of their own.
TEST_F(WindowInputTest, AStrokeAfterTheWindowWasUnmappedWithTheButtonHeldReachesTheScreen) {
  inTheWindow([&] {
    xdotool("mousemove --window W 60 60 mousedown 1 mousemove --window W 80 70");
    ASSERT_TRUE(pumpUntilHeard(beneath->heard, "moved"));
    xdotool("windowunmap --sync W mouseup 1 windowmap --sync W sleep 0.1");
    pumpFor(0.3);
    EXPECT_EQ(beneath->heard.back(), "cancelled");
    beneath->heard.clear();
    xdotool("mousemove --window W 200 150 mousedown 1 mousemove --window W 240 170 mouseup 1");
    ASSERT_TRUE(pumpUntilHeard(beneath->heard, "ended"));
    EXPECT_EQ(beneath->heard, (std::vector<std::string>{"began 1", "moved", "ended"}));
  });
}

// The button held in the window when another program takes the pointer (a
// window manager's switch takes the focus, the toolkit beneath the host lets
// the pointer go, and the manager grabs it): the window hears no more of the
// button, so the stroke under way is cancelled, and the next stroke reaches
// the screen whole.
TEST_F(WindowInputTest, AStrokeIsCancelledWhenAnotherProgramTakesThePointer) {
  inTheWindow([&] {
    xdotool("mousemove --window W 60 60 mousedown 1 mousemove --window W 80 70");
    ASSERT_TRUE(pumpUntilHeard(beneath->heard, "moved"));
    OtherProgram manager(server_->display());
    ASSERT_TRUE(manager.connected());
    manager.takeFocus();
    pumpFor(0.2);
    ASSERT_EQ(manager.grabPointer(), GrabSuccess);
    EXPECT_TRUE(pumpUntilHeard(beneath->heard, "cancelled"));
    xdotool("mouseup 1");
    manager.ungrabPointer();
    beneath->heard.clear();
    xdotool("mousemove --window W 200 150 mousedown 1 mousemove --window W 240 170 mouseup 1");
    ASSERT_TRUE(pumpUntilHeard(beneath->heard, "ended"));
    EXPECT_EQ(beneath->heard, (std::vector<std::string>{"began 1", "moved", "ended"}));
  });
}

// A close asked while long work holds the loop, which reads no input, is
// seen by the work's next look once the host's time between two reads of
// the window system (30 ms) has passed.
TEST_F(WindowInputTest, ACloseAskedDuringLongWorkIsSeenByItsNextLook) {
  inTheWindow([&] {
    OtherProgram manager(server_->display());
    ASSERT_TRUE(manager.connected());
    ASSERT_FALSE(fd::endAsked());
    manager.askToClose(windowId);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_TRUE(fd::endAsked());
  });
}
