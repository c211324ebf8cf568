// The program's start: the delegate's launch builds the launch screen for the
// screen size, entries that lead nowhere yet say so, and going to the
// background or terminating saves the model. Then the real program, headless
// and in a window under a virtual X server, exits cleanly with its files
// written.
#include <gtest/gtest.h>

#include <iterator>

#include <fstream>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <csignal>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/AppTestSupport.h"
#include "app/ZTLoadingViewController.h"
#include "model/DeviceScreen.h"
#include "platform/graphics/Image.h"
#include "model/ZTDataModel.h"
#include "model/ZipTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Application.h"
#include "platform/ui/Compositor.h"
#include "platform/ui/HeadlessHost.h"
#include "platform/ui/Screen.h"
#include "services/VTSystemManager.h"
#include "support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

class LaunchTest : public app_test::AppTest {
 protected:
  // Launched with animations timed as the program times them.
  AppDelegate* launch(bool tall) {
    start(tall);
    host->setInstantAnimations(false);
    return AppDelegate::sharedAppDelegate();
  }
};

fs::path programPath() { return fs::path(FLIPDESK_BUILD_RESOURCES).parent_path() / "flipdesk"; }

// Its output goes to `log`.
int runProgram(const std::string& prefix, const fs::path& home, const std::string& args,
               const fs::path& log = "/dev/null") {
  std::string cmd = "FLIPDESK_HOME='" + home.string() + "' FLIPDESK_RESOURCES='" + FLIPDESK_BUILD_RESOURCES + "' " +
                    prefix + " '" + programPath().string() + "' " + args + " >'" + log.string() + "' 2>&1";
  int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The program started in the background, its output dropped.
pid_t startProgram(const fs::path& home, const std::string& args) {
  const std::string cmd = "exec env FLIPDESK_HOME='" + home.string() + "' FLIPDESK_RESOURCES='" +
                          FLIPDESK_BUILD_RESOURCES + "' '" + programPath().string() + "' " + args +
                          " >/dev/null 2>&1";
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execl("/bin/sh", "sh", "-c", cmd.c_str(), static_cast<char*>(nullptr));
    ::_exit(127);
  }
  return pid;
}

// Whether process `pid` holds a lock on the folder, as the kernel lists it.
bool holdsLock(pid_t pid, const fs::path& folder) {
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0) return false;
  std::ifstream locks("/proc/locks");
  const std::string inode = ":" + std::to_string(st.st_ino);
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string id, kind, advisory, mode, owner, file;
    fields >> id >> kind >> advisory >> mode >> owner >> file;
    if (kind == "FLOCK" && owner == std::to_string(pid) && file.ends_with(inode)) return true;
  }
  return false;
}

void expectSavedModel(const fs::path& home) {
  EXPECT_TRUE(fs::exists(home / "Library/Preferences/flipdesk.plist"));
  EXPECT_TRUE(fs::exists(home / "Library/Projects" / ZTDataModel::kDefaultProjectName / "Project.plist"));
}

}  // namespace

TEST_F(LaunchTest, LaunchBuildsTheLaunchScreenAndHidesTheStatusBar) {
  AppDelegate* d = launch(false);
  ui::Application& app = ui::Application::shared();
  EXPECT_EQ(AppDelegate::sharedAppDelegate(), d);
  EXPECT_TRUE(app.isStatusBarHidden());
  EXPECT_EQ(app.registeredRemoteNotificationTypes(), AppDelegate::kRemoteNotificationTypes);
  ASSERT_NE(app.keyWindow(), nullptr);
  ZTLoadingViewController* launch = d->loadingViewController();
  ASSERT_NE(launch, nullptr);
  EXPECT_EQ(app.keyWindow()->rootViewController(), launch);
  EXPECT_EQ(launch->view()->bounds(), (ui::Rect{0, 0, 480, 320}));
  EXPECT_EQ(launch->projectName()->text(), ZTDataModel::sharedInstance().curProjectName());
  // A project never drawn in shows a blank page rather than nothing.
  EXPECT_FALSE(launch->projectBackground()->image().empty());
  for (int i = 0; i < ZTLoadingViewController::kEntryCount; ++i)
    ASSERT_NE(launch->entryButton(i), nullptr);
  // The screen really shows something: not a black frame.
  gfx::Image shot = host->screenshot();
  EXPECT_GT(shot.pixel(5, 300)[0], 150);
}

TEST_F(LaunchTest, ADrawnProjectWithoutABackgroundShowsItsDrawingOnAPage) {
  AppDelegate* d = launch(false);
  ZTLoadingViewController* launch = d->loadingViewController();
  ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
  // An icon as the canvas writes it: a stroke on a transparent picture.
  gfx::Image icon(108, 81);
  for (int x = 10; x < 90; ++x) std::copy_n(std::array<std::uint8_t, 4>{20, 20, 20, 255}.data(), 4, icon.pixel(x, 40));
  const auto path = project.iconFullPathAtPage(1, false);
  ASSERT_TRUE(path);
  ASSERT_TRUE(gfx::writePNG(*path, icon).ok());
  ASSERT_FALSE(project.backgroundFullPath());
  launch->reloadProject();
  EXPECT_FALSE(launch->projectIcon()->image().empty());
  // Under the icon lies a page, not the frame's dark colour.
  ASSERT_FALSE(launch->projectBackground()->image().empty());
  host->runUntilIdle();
  gfx::Image shot = host->screenshot();
  const ui::Rect r = launch->projectIcon()->convertRectTo(launch->projectIcon()->bounds(), nullptr);
  const std::uint8_t* paper = shot.pixel(static_cast<int>(r.x + 4), static_cast<int>(r.y + 4));
  EXPECT_GT(paper[0], 200);
  EXPECT_GT(paper[1], 200);
  EXPECT_GT(paper[2], 200);
}

// A background the user made is transparent where nothing is painted on it,
// and a project may have no background at all: either way the launch
// screen's preview shows the page in the colour the desk shows it in, never
// the dark frame around the preview.
TEST_F(LaunchTest, ThePreviewsPageIsTheDesksPaper) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale == 2 ? "2x" : "1x");
    TearDown();
    SetUp();
    ZTLoadingViewController* launch = start(false, scale);
    host->runUntilIdle();
    const auto colourAt = [&](ui::Point p) {
      const gfx::Image shot = host->screenshot();
      const std::uint8_t* px = shot.pixel(static_cast<int>(p.x * scale), static_cast<int>(p.y * scale));
      return std::array<int, 3>{px[0], px[1], px[2]};
    };
    const ui::Rect preview = launch->projectBackground()->convertRectTo(launch->projectBackground()->bounds(), nullptr);
    const ui::Point corner{preview.x + 8, preview.y + 8};
    // The sandbox is kept from one scale to the next: start without a background.
    ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
    project.setCurBackgroundName(std::nullopt);
    launch->reloadProject();
    host->runUntilIdle();
    const std::array<int, 3> blank = colourAt(corner);

    ASSERT_TRUE(project.setCurBackgroundName(std::string("US20260101120000000")));
    const auto path = project.backgroundFullPath();
    ASSERT_TRUE(path);
    gfx::Image painted(384, 288);
    for (int x = 40; x < 340; ++x)
      for (int y = 140; y < 146; ++y) std::copy_n(std::array<std::uint8_t, 4>{20, 20, 20, 255}.data(), 4, painted.pixel(x, y));
    ASSERT_TRUE(gfx::writePNG(*path, painted).ok());
    launch->reloadProject();
    host->runUntilIdle();
    const std::array<int, 3> onBackground = colourAt(corner);
    const std::array<int, 3> stroke = colourAt({preview.x + preview.width / 2, preview.y + preview.height / 2});
    EXPECT_LT(stroke[0] + stroke[1] + stroke[2], 3 * 80) << "the background's stroke shows";

    DesktopManagerController* desk = openDesk(launch);
    ASSERT_NE(desk, nullptr);
    const ui::Rect page = desk->canvas()->frame();
    const std::array<int, 3> paper = colourAt({page.x + 8, page.y + 8});
    for (const auto& [what, seen] : {std::pair{"no background", blank}, std::pair{"a painted background", onBackground}})
      for (int i = 0; i < 3; ++i) EXPECT_NEAR(seen[static_cast<std::size_t>(i)], paper[static_cast<std::size_t>(i)], 4) << what;
  }
}

TEST_F(LaunchTest, TallScreenGetsItsOwnLayout) {
  AppDelegate* d = launch(true);
  ZTLoadingViewController* launch = d->loadingViewController();
  EXPECT_EQ(launch->view()->bounds().width, 568);
  ui::Rect c = launch->carousel()->frame();
  EXPECT_LE(c.x + c.width, 568);
  EXPECT_GT(c.x + c.width, 480);  // uses the extra width
  EXPECT_TRUE(ZTDataModel::sharedInstance().extendDataModel().isIphone5ScreenSize());
}

TEST_F(LaunchTest, SecondEntryOpensRotoscopingAndTheThirdSaysItLeadsNowhereYet) {
  AppDelegate* d = launch(false);
  ZTLoadingViewController* launch = d->loadingViewController();
  host->setInstantAnimations(true);
  ui::Button* first = launch->entryButton(ZTLoadingViewController::kPreviousWork);
  ui::Rect r = first->convertRectTo(first->bounds(), nullptr);
  // Swiping the carousel reaches the other entries.
  host->drag({r.x + r.width - 10, r.y + 40}, {r.x + 10, r.y + 40});
  host->runUntilIdle();
  EXPECT_EQ(launch->carousel()->contentOffset().x, launch->carousel()->bounds().width);
  host->tap({r.x + r.width / 2, r.y + r.height / 2});
  host->runUntilIdle();
  EXPECT_TRUE(host->alerts().empty());
  auto* roto = dynamic_cast<roto::VTRotoscopingViewController*>(launch->presentedViewController());
  ASSERT_NE(roto, nullptr);
  EXPECT_EQ(roto->view()->window(), ui::Application::shared().keyWindow());
  EXPECT_EQ(roto->videoCameraRect().x, 83);
  roto->closeAction();
  host->runUntilIdle();
  EXPECT_EQ(launch->presentedViewController(), nullptr);
  launch->chooseEntry(ZTLoadingViewController::kCommunity);
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->title(), "Community");
}

// The screen is composed only when something changed: the carousel is
// drawn while it pages and while the finger drags it, and not once it rests.
TEST_F(LaunchTest, TheCarouselIsComposedOnlyWhileItMoves) {
  AppDelegate* d = launch(false);
  ZTLoadingViewController* launch = d->loadingViewController();
  ui::Application& app = ui::Application::shared();
  app.composeScreen();
  EXPECT_FALSE(app.composeScreen());
  host->advance(3);
  EXPECT_FALSE(app.composeScreen()) << "the resting launch screen costs nothing";
  ui::Button* first = launch->entryButton(ZTLoadingViewController::kPreviousWork);
  const ui::Rect r = first->convertRectTo(first->bounds(), nullptr);
  const ui::Rect c = launch->carousel()->convertRectTo(launch->carousel()->bounds(), nullptr);
  host->touchDown(1, {r.x + r.width - 10, r.y + 40});
  int dragged = 0;
  for (int i = 1; i <= 5; ++i) {
    host->advance(1.0 / 60);
    host->touchMove(1, {r.x + r.width - 10 - 25.0f * i, r.y + 40});
    if (app.composeScreen()) ++dragged;
    for (const ui::PixelRect& p : app.compositor().changedRects()) {
      EXPECT_GE(p.x, c.x - 4);
      EXPECT_LE(p.x + p.width, c.x + c.width + 4);
    }
  }
  EXPECT_GE(dragged, 4);
  host->touchUp(1, {r.x + r.width - 135, r.y + 40});
  int paging = 0;
  for (int i = 0; i < 30; ++i) {
    host->advance(1.0 / 60);
    if (app.composeScreen()) ++paging;
  }
  EXPECT_GE(paging, 5) << "the carousel is drawn while it pages";
  EXPECT_EQ(launch->carousel()->contentOffset().x, launch->carousel()->bounds().width);
  host->advance(1);
  app.composeScreen();
  EXPECT_FALSE(app.composeScreen()) << "and not once it rests";
}

TEST_F(LaunchTest, BackgroundAndTerminationSaveTheModel) {
  AppDelegate* d = launch(false);
  fs::remove(fd::UserDefaults::standard().filePath());
  ui::Application& app = ui::Application::shared();
  app.enterBackground();
  EXPECT_EQ(d->saveCount(), 1);
  expectSavedModel(root());
  app.enterBackground();  // already there: no second save
  EXPECT_EQ(d->saveCount(), 1);
  app.enterForeground();
  // Termination passes through the background (a save) and then saves again.
  app.terminate();
  EXPECT_EQ(d->saveCount(), 3);
  EXPECT_TRUE(app.isTerminated());
  app.terminate();
  EXPECT_EQ(d->saveCount(), 3);
}

TEST_F(LaunchTest, ProgramRunsHeadlessAndExitsWithTheModelSaved) {
  ASSERT_TRUE(fs::exists(programPath())) << programPath();
  fs::path home = root() / "run";
  EXPECT_EQ(runProgram("", home, "--headless --exit-after 0.3 --tall --scale 2"), 0);
  expectSavedModel(home);
  EXPECT_EQ(runProgram("", home, "--bogus"), 2);
  EXPECT_EQ(runProgram("", home, "--scale 3"), 2);
}

// A second start on a data folder in use (a launcher clicked twice) opened the
// same projects as the first, each writing over the other's lists and pages.
// While another process holds the data folder, a start says so and ends,
// touching nothing in it; once it is let go, the program starts.
TEST_F(LaunchTest, ASecondStartOnADataFolderInUseIsToldAndEnds) {
  const fs::path home = root() / "shared", log = root() / "second.log";
  ASSERT_EQ(runProgram("", home, "--headless --exit-after 0.2"), 0);
  const auto before = ziptest::snapshotTree(home);
  {
    const fd::files::UniqueFd first(::open(home.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_EQ(::flock(first.get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(runProgram("timeout 20", home, "--headless --exit-after 3", log), 1);
  }
  std::ifstream in(log);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("flipdesk is already running with the data folder " + home.string()), std::string::npos)
      << text;
  EXPECT_TRUE(ziptest::snapshotTree(home) == before) << "the second start changed the data folder";
  EXPECT_EQ(runProgram("", home, "--headless --exit-after 0.2"), 0);

  // Two runs of the program: the first keeps the folder for as long as it runs.
  const pid_t first = startProgram(home, "--headless --exit-after 120");
  ASSERT_GT(first, 0);
  for (int i = 0; i < 3000 && !holdsLock(first, home); ++i) ::usleep(10000);
  EXPECT_EQ(runProgram("timeout 20", home, "--headless --exit-after 3", log), 1);
  EXPECT_EQ(::waitpid(first, nullptr, WNOHANG), 0) << "the first run ended";
  ::kill(first, SIGTERM);
  int status = 0;
  ASSERT_EQ(::waitpid(first, &status, 0), first);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// A read-only data folder gave no window and said "cannot create the data
// folder" of one that exists. The start says it cannot be written and why,
// in a window too, and ends with status 1.
TEST_F(LaunchTest, AReadOnlyDataFolderIsToldAndTheStartEnds) {
  const fs::path home = root() / "readonly", log = root() / "readonly.log";
  ASSERT_EQ(runProgram("", home, "--headless --exit-after 0.2"), 0);
  // A read-only mount of the folder, seen by the program alone.
  const std::string readOnly =
      "unshare -m sh -c 'mount --bind \"$FLIPDESK_HOME\" \"$FLIPDESK_HOME\" && "
      "mount -o remount,bind,ro \"$FLIPDESK_HOME\" && exec \"$0\" \"$@\"'";
  if (runProgram(readOnly, home, "--version") != 2) GTEST_SKIP() << "no read-only mount can be made here";
  for (const char* args : {"--headless --exit-after 20", "--exit-after 2"}) {
    EXPECT_EQ(runProgram("timeout 30 " + readOnly, home, args, log), 1) << args;
    std::ifstream in(log);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("flipdesk cannot write in its data folder " + home.string() +
                        " (Library/Projects: read-only file system)"),
              std::string::npos)
        << text;
  }
}

// With no display a window would be drawn nowhere and the program would run
// until killed: it says so, names --headless and stops.
TEST_F(LaunchTest, WithoutADisplayTheProgramStopsAndNamesHeadless) {
  fs::path home = root() / "nodisplay";
  fs::path log = root() / "nodisplay.log";
  std::string cmd = "env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER FLIPDESK_HOME='" + home.string() +
                    "' FLIPDESK_RESOURCES='" + FLIPDESK_BUILD_RESOURCES + "' timeout 20 '" + programPath().string() +
                    "' --exit-after 15 >'" + log.string() + "' 2>&1";
  int status = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  std::ifstream in(log);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("--headless"), std::string::npos) << text;
}

TEST_F(LaunchTest, ProgramOpensAWindowUnderAVirtualXServer) {
  if (std::system("command -v xvfb-run >/dev/null 2>&1") != 0) GTEST_SKIP() << "xvfb-run is not installed";
  fs::path home = root() / "x11";
  fs::path shot = root() / "window.png";
  // The X and session-bus client libraries keep a few allocations for the
  // process's life; leak checking of this child would report theirs.
  EXPECT_EQ(runProgram("ASAN_OPTIONS=detect_leaks=0 SDL_VIDEODRIVER=x11 xvfb-run -a", home,
                       "--exit-after 1 --screenshot '" + shot.string() + "'"),
            0);
  expectSavedModel(home);
  auto picture = gfx::readPNG(shot);
  ASSERT_TRUE(picture.ok());
  EXPECT_EQ(picture->pixelWidth(), 480);
}
