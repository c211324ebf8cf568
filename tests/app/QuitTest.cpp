// Every way the program ends on purpose keeps what was drawn: termination
// (closing the window, --exit-after) writes the open page, or the background
// being painted, before the model is saved, and waits for the pictures on the
// model's write queue; SIGTERM and SIGINT end it the same way; losing the
// window system saves and ends the process without touching objects the end
// of the process has destroyed, and so does any exit with the desk still on
// screen.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/AppTestSupport.h"
#include "model/ProjectDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"
#include "platform/graphics/Image.h"
#include "platform/ui/SdlHost.h"
#include "support/ChildProcess.h"
#include "support/Pictures.h"

namespace fs = std::filesystem;

namespace {

using testing_support::inkedPixels;

// The project as the next start finds it on disk.
std::shared_ptr<ProjectDataModel> projectOnDisk(const std::string& name = ZTDataModel::kDefaultProjectName) {
  return ProjectDataModel::initWithProjectName(name);
}

// The layer the desk edits when it opens (the foreground of the last frame),
// as the project on disk names it.
long inkOnDisk(int page = 1, int position = 2) {
  auto project = projectOnDisk();
  if (!project) return -1;
  auto path = project->layFullPathAtPage(page, false, position);
  return path ? inkedPixels(*path) : -1;
}

class QuitTest : public app_test::AppTest {
 protected:
  // The desk, open with a stroke drawn on its page.
  DesktopManagerController* deskWithAStroke() {
    DesktopManagerController* desk = openDesk(start());
    if (desk == nullptr) return nullptr;
    host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
    host->runUntilIdle();
    return desk;
  }
};

TEST_F(QuitTest, TerminationWritesTheOpenPageBeforeTheModel) {
  DesktopManagerController* desk = deskWithAStroke();
  ASSERT_NE(desk, nullptr);
  ASSERT_TRUE(desk->drawsView()->operated());
  ui::Application::shared().terminate();
  EXPECT_GT(inkOnDisk(), 500);
  // Snapshot and icon of the page follow its layer.
  auto project = projectOnDisk();
  ASSERT_TRUE(project);
  EXPECT_GT(inkedPixels(*project->snapshotFullPathAtPage(1, false)), 100);
  EXPECT_GT(inkedPixels(*project->iconFullPathAtPage(1, false)), 10);
  EXPECT_FALSE(desk->drawsView()->operated());
}

TEST_F(QuitTest, TerminationInBackgroundModeWritesTheBackground) {
  DesktopManagerController* desk = openDesk(start());
  ASSERT_NE(desk, nullptr);
  ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
  const std::string name = "US20240101120000000";
  settings.setIsBackground(true);
  settings.setBackgroundName(name);
  desk->editBackground();
  host->drag(onPage(desk, 40, 100), onPage(desk, 300, 100), 8);
  host->runUntilIdle();
  ui::Application::shared().terminate();
  const auto picture = ZTDataModel::sharedInstance().backgroundFullPathWithBackgroundName(name);
  ASSERT_TRUE(picture);
  EXPECT_GT(inkedPixels(*picture), 500);
}

TEST_F(QuitTest, TerminationWaitsForThePicturesOnTheWriteQueue) {
  start();
  ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
  // The queue is busy for a while, as it is while a movie's frames are handed in.
  ProjectDataModel::afterImageWrites([] { std::this_thread::sleep_for(std::chrono::milliseconds(300)); });
  gfx::Image picture(384, 288);
  for (int x = 0; x < 384; ++x) picture.pixel(x, 100)[3] = 255;
  ASSERT_TRUE(project.addFrameWithImage(std::make_shared<const gfx::Image>(picture), 1));
  ui::Application::shared().terminate();
  auto onDisk = projectOnDisk();
  ASSERT_TRUE(onDisk);
  ASSERT_EQ(onDisk->imagesArray().size(), 2u);
  auto layer = onDisk->layFullPathAtPage(2, false, 1);
  ASSERT_TRUE(layer);
  EXPECT_EQ(inkedPixels(*layer), 384) << "written before the termination ended";
}

// SIGTERM and SIGINT end the program as its termination does: in a child,
// which the signal really reaches.
TEST_F(QuitTest, SignalsEndTheProgramWithThePageWritten) {
  for (int signal : {SIGTERM, SIGINT}) {
    const fs::path home = root() / ("signal" + std::to_string(signal));
    testing_support::ChildResult child = testing_support::runInChild([&] {
      fd::paths::setHomeOverride(home);
      fd::paths::ensureSandbox();
      DesktopManagerController* desk = deskWithAStroke();
      ASSERT_NE(desk, nullptr);
      ui::Application& app = ui::Application::shared();
      app.terminateOnSignals();
      ::raise(signal);
      for (int i = 0; i < 20 && !app.isTerminated(); ++i) host->advance(0.05);
      EXPECT_TRUE(app.isTerminated());
    });
    ASSERT_TRUE(child.exited) << "signal " << signal << " killed the child: " << child.signal;
    EXPECT_EQ(child.exitCode, 0) << signal;
    fd::paths::setHomeOverride(home);
    EXPECT_GT(inkOnDisk(), 500) << signal;
    fd::paths::setHomeOverride(root());
  }
}

// When the window system goes away the host terminates the application and
// ends the process: the page is saved, and the end of the process reaches no
// object it has already destroyed (the sanitizer build checks the latter).
TEST_F(QuitTest, LosingTheWindowSystemSavesAndEndsCleanly) {
  testing_support::ChildResult child = testing_support::runInChild([&] {
    DesktopManagerController* desk = deskWithAStroke();
    ASSERT_NE(desk, nullptr);
    ui::SdlHost::displayLost();
  });
  ASSERT_TRUE(child.exited) << "killed by signal " << child.signal;
  EXPECT_EQ(child.exitCode, ui::SdlHost::kDisplayLostExitCode);
  EXPECT_GT(inkOnDisk(), 500);
}

// An exit with the desk still on screen and the model open (what a library
// ending the process does) destroys the process's objects in some order; none
// may reach another already gone.
TEST_F(QuitTest, ExitWithTheDeskOnScreenEndsCleanly) {
  testing_support::ChildResult child = testing_support::runInChild([&] {
    DesktopManagerController* desk = deskWithAStroke();
    ASSERT_NE(desk, nullptr);
    std::fflush(nullptr);
    std::exit(0);
  });
  ASSERT_TRUE(child.exited) << "killed by signal " << child.signal;
  EXPECT_EQ(child.exitCode, 0);
}

// The real program in a window on a virtual X server.
class ProgramOnXTest : public QuitTest {
 protected:
  void TearDown() override {
    if (program_ > 0) {
      ::kill(program_, SIGKILL);
      ::waitpid(program_, nullptr, 0);
    }
    stopServer();
    QuitTest::TearDown();
  }
  // The server picks a free display and says which; "" when it cannot start.
  std::string startServer() {
    int ready[2];
    if (::pipe(ready) != 0) return {};
    server_ = ::fork();
    if (server_ == 0) {
      ::close(ready[0]);
      const std::string fd = std::to_string(ready[1]);
      ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(ready[1]);
    std::string display;
    char c = 0;
    while (server_ > 0 && ::read(ready[0], &c, 1) == 1 && c != '\n') display += c;
    ::close(ready[0]);
    return display.empty() ? std::string() : ":" + display;
  }
  void stopServer() {
    if (server_ <= 0) return;
    ::kill(server_, SIGKILL);
    ::waitpid(server_, nullptr, 0);
    server_ = 0;
  }
  // The program in a window on that display, its messages in the log; back
  // once its launch has read its model (its folders are made) and a moment
  // more for the window.
  void startProgram(const std::string& display) {
    const fs::path program = fs::path(FLIPDESK_BUILD_RESOURCES).parent_path() / "flipdesk";
    program_ = ::fork();
    if (program_ == 0) {
      ::setenv("DISPLAY", display.c_str(), 1);
      ::setenv("SDL_VIDEODRIVER", "x11", 1);
      ::setenv("FLIPDESK_HOME", home().c_str(), 1);
      ::setenv("FLIPDESK_RESOURCES", FLIPDESK_BUILD_RESOURCES, 1);
      // The X and session-bus client libraries keep a few allocations for the
      // process's life; leak checking of this child would report theirs.
      ::setenv("ASAN_OPTIONS", "detect_leaks=0:abort_on_error=1", 1);
      if (std::freopen(log().c_str(), "w", stderr) == nullptr) ::_exit(126);
      ::execl(program.c_str(), program.c_str(), "--exit-after", "60", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    for (int i = 0; i < 300 && !fs::exists(home() / "Library/Projects"); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  }
  // It ends by itself, with its own status, not through a crash or a
  // sanitizer report, its model saved.
  void expectCleanEnd() {
    int status = 0;
    for (int i = 0; i < 1500 && ::waitpid(program_, &status, WNOHANG) == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (::waitpid(program_, &status, WNOHANG) == 0) FAIL() << "the program did not end when its display went away";
    program_ = 0;
    std::ifstream in(log());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status) << "\n" << text;
    EXPECT_EQ(WEXITSTATUS(status), ui::SdlHost::kDisplayLostExitCode) << text;
    EXPECT_EQ(text.find("Sanitizer"), std::string::npos) << text;
    EXPECT_TRUE(fs::exists(home() / "Library/Preferences/flipdesk.plist"));
    EXPECT_TRUE(fs::exists(home() / "Library/Projects" / ZTDataModel::kDefaultProjectName / "Project.plist"));
  }
  fs::path home() const { return root() / "x11"; }
  fs::path log() const { return root() / "x11.log"; }

 private:
  pid_t server_ = 0;
  pid_t program_ = 0;
};

TEST_F(ProgramOnXTest, TheProgramSurvivesItsXServerGoingAway) {
  if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed";
  const std::string display = startServer();
  ASSERT_FALSE(display.empty()) << "Xvfb did not start";
  startProgram(display);
  stopServer();
  expectCleanEnd();
}

// The window destroyed under the program (as `xdotool windowclose` does):
// the server refuses what the program then asks of it.
TEST_F(ProgramOnXTest, TheProgramSurvivesItsWindowBeingDestroyed) {
  if (std::system("command -v Xvfb >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "Xvfb or xdotool is not installed";
  const std::string display = startServer();
  ASSERT_FALSE(display.empty()) << "Xvfb did not start";
  startProgram(display);
  const std::string close = "DISPLAY=" + display +
                            " timeout 20 sh -c 'xdotool windowclose $(xdotool search --sync --name flipdesk | head -1)'";
  ASSERT_EQ(std::system(close.c_str()), 0);
  expectCleanEnd();
}

}  // namespace
