// Every way the program ends on purpose keeps what was drawn: termination
// (closing the window, --exit-after) writes the open page, or the background
// being painted, before the model is saved, and waits for the pictures on the
// model's write queue, and a recording under way ends as its stop button
// ends it, whole and with its tag; SIGTERM and SIGINT end it the same way; losing the
// window system saves and ends the process without touching objects the end
// of the process has destroyed, and so does any exit with the desk still on
// screen. A page or a project's list that cannot be written (a full disk) is
// never dropped in silence: closing the window is refused until it can be
// saved, and the ends that cannot ask name it on standard error, saying why
// in words, and end with a status of their own.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>

#include "app/AppTestSupport.h"
#include "desk/frames/SoundTrack.h"
#include "desk/frames/ZTPicManagerView.h"
#include "desk/sound/AudioRecorderManager.h"
#include "model/ProjectDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/graphics/Image.h"
#include "platform/media/AudioCapture.h"
#include "platform/media/AudioFile.h"
#include "platform/ui/SdlHost.h"
#include "support/ChildProcess.h"
#include "support/Pictures.h"
#include "support/VirtualXServer.h"

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
  void TearDown() override {
    fd::files::setWriteFaultForTesting({});
    AppTest::TearDown();
  }
  // The desk, open with a stroke drawn on its page.
  DesktopManagerController* deskWithAStroke() {
    DesktopManagerController* desk = openDesk(start());
    if (desk == nullptr) return nullptr;
    host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
    host->runUntilIdle();
    return desk;
  }
  // Every write into the open project's folder fails as on a full disk (or
  // with the error given).
  static void fillTheDisk(int error = ENOSPC) {
    const fs::path folder = ZTDataModel::sharedInstance().prjDataModel()->projectDicPath();
    fd::files::setWriteFaultForTesting(
        [folder, error](const fs::path& file) { return file.parent_path() == folder ? error : 0; });
  }
  // Only the open project's list fails so, at its bytes or at its rename;
  // its pages are written.
  static void refuseTheList(fd::files::FaultAt at) {
    const fs::path list = ZTDataModel::sharedInstance().prjDataModel()->plistFilePath();
    fd::files::setWriteFaultForTesting([list](const fs::path& file) { return file == list ? ENOSPC : 0; }, at);
  }
  // The desk, its foreground hidden with its eye in the layer panel while
  // the disk refuses the project's list.
  DesktopManagerController* deskWithTheForegroundHiddenNotSaved(fd::files::FaultAt at = fd::files::FaultAt::Bytes) {
    DesktopManagerController* desk = openDesk(start());
    if (desk == nullptr) return nullptr;
    refuseTheList(at);
    tap(desk->groundBtn());
    tap(desk->fVisibleBtn());
    EXPECT_FALSE(ZTDataModel::sharedInstance().prjDataModel()->layIsOpenAtPage(1, 2, false));
    return desk;
  }
  // The desk on a full disk, with a stroke its pause could not write (and
  // said so).
  DesktopManagerController* deskWithAStrokeNotSaved(int error = ENOSPC) {
    DesktopManagerController* desk = openDesk(start());
    if (desk == nullptr) return nullptr;
    fillTheDisk(error);
    host->drag(onPage(desk, 40, 40), onPage(desk, 300, 200), 8);
    host->advance(2.1);
    desk->drawsView()->waitForPageWrites();
    host->runUntilIdle();
    EXPECT_TRUE(desk->drawsView()->operated());
    EXPECT_EQ(host->alerts().size(), 1u) << "the failed write was told";
    return desk;
  }
  static std::string textOf(const fs::path& file) {
    std::ifstream in(file);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }
  // Where the page's layer is written, as the project on disk names it.
  static fs::path layerOnDisk() {
    auto project = projectOnDisk();
    auto layer = project ? project->layFullPathAtPage(1, false, 2) : std::nullopt;
    EXPECT_TRUE(layer) << "the project on disk names the page";
    return layer ? *layer : fs::path();
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

// A quit with nothing changed since the last save writes no file: a long
// project's list took seconds to reach the disk at every quit. The project's
// list, its pages, the preferences and the login record stay the very files
// they were.
TEST_F(QuitTest, AQuitWithNothingChangedWritesNoFile) {
  ASSERT_NE(deskWithAStroke(), nullptr);
  ui::Application& app = ui::Application::shared();
  AppDelegate::sharedAppDelegate()->didEnterBackground(app);
  const auto stamps = [&] {
    std::map<std::string, fd::files::FileStamp> found;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root()))
      if (entry.is_regular_file()) found[entry.path().lexically_relative(root()).string()] = *fd::files::fileStamp(entry);
    return found;
  };
  const auto before = stamps();
  const fs::path list = ZTDataModel::sharedInstance().prjDataModel()->plistFilePath();
  ASSERT_TRUE(before.contains(list.lexically_relative(root()).string()));
  EXPECT_TRUE(app.requestTermination());
  EXPECT_EQ(app.exitStatus(), 0);
  const auto after = stamps();
  for (const auto& [file, stamp] : after)
    EXPECT_TRUE(before.contains(file) && before.at(file) == stamp) << file << " written";
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

// The bytes of sound a CAF file holds: from its sound chunk's edit count to
// the end of the file, whatever its header counts.
std::int64_t soundBytesOnDisk(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  const std::size_t data = bytes.find("data", 8);
  return data == std::string::npos ? -1 : static_cast<std::int64_t>(bytes.size() - (data + 12 + 4));
}

// A recording under way when the program is ended, by SIGTERM or by a close
// the desk allows, ends as its stop button ends it: every sample recorded is
// counted by the file's header, read back as the microphone gave it, and its
// tag is saved with the project.
TEST_F(QuitTest, EndingTheProgramDuringARecordingKeepsItWholeWithItsTag) {
  std::vector<float> fed(10 * 44100);
  for (std::size_t i = 0; i < fed.size(); ++i) fed[i] = std::round(0.4f * std::sin(float(i) * 0.031f) * 32768) / 32768;
  const fs::path mic = root() / "mic.caf";
  ASSERT_TRUE(media::writeMonoCaf(mic, fed));
  for (const bool bySignal : {true, false}) {
    SCOPED_TRACE(bySignal ? "SIGTERM" : "close");
    const fs::path home = root() / (bySignal ? "signal" : "close");
    testing_support::ChildResult child = testing_support::runInChild([&] {
      fd::paths::setHomeOverride(home);
      fd::paths::ensureSandbox();
      media::setCaptureInputFile(mic);
      ZTLoadingViewController* launch = start();
      // Frames enough for three seconds of recording at the sound speed.
      ZTDataModel& model = ZTDataModel::sharedInstance();
      model.setShowPicSimple(false);  // the frame manager with its sound track
      for (int i = 0; i < 30; ++i) ASSERT_TRUE(model.prjDataModel()->createImageAtPage(1));
      ASSERT_TRUE(model.prjDataModel()->saveData());
      DesktopManagerController* desk = openDesk(launch);
      ASSERT_NE(desk, nullptr);
      tap(desk->frameManagerBtn());
      auto* frames = dynamic_cast<ZTPicManagerView*>(desk->picManagerView());
      ASSERT_NE(frames, nullptr);
      SoundTrack& track = *frames->soundTrack();
      if (!track.isShow()) tap(track.tabBtn());
      frames->playView()->setPage(1);
      tap(track.recorderBtn());
      host->advance(2.0);
      ASSERT_TRUE(AudioRecorderManager::sharedManager().isRecording());
      ui::Application& app = ui::Application::shared();
      if (bySignal) {
        app.terminateOnSignals();
        ::raise(SIGTERM);
        for (int i = 0; i < 20 && !app.isTerminated(); ++i) host->advance(0.05);
      } else {
        EXPECT_TRUE(app.requestTermination());
      }
      EXPECT_TRUE(app.isTerminated());
    });
    ASSERT_TRUE(child.exited) << "killed by signal " << child.signal;
    EXPECT_EQ(child.exitCode, 0);
    fd::paths::setHomeOverride(home);
    std::vector<std::string> names;
    for (const std::string& name : fd::files::contentsOfDirectory(fd::paths::documents()))
      if (name.rfind("Rec", 0) == 0) names.push_back(name);
    ASSERT_EQ(names.size(), 1u);
    const fs::path file = fd::paths::documents() / names[0];
    auto samples = media::decodeSound(file);
    ASSERT_TRUE(samples.ok()) << samples.error();
    EXPECT_GE(samples->size(), 1.9 * 44100);  // two seconds, less the button's delay
    EXPECT_EQ(static_cast<std::int64_t>(samples->size()) * 2, soundBytesOnDisk(file));
    for (std::size_t i = 0; i < samples->size(); ++i) ASSERT_EQ((*samples)[i], fed[i]) << i;
    auto project = projectOnDisk();
    ASSERT_TRUE(project);
    EXPECT_EQ(project->soundNameArray(), std::vector<std::string>{names[0]});
    fd::paths::setHomeOverride(root());
  }
}

// Closing the window is the user's request: while the open page cannot be
// written it is refused with the alert a page turn gives, and the program
// goes on with the page still changed; once space is freed the next close
// saves the page and ends.
TEST_F(QuitTest, ACloseThatWouldLoseThePageIsRefusedUntilItCanBeSaved) {
  DesktopManagerController* desk = deskWithAStrokeNotSaved();
  ASSERT_NE(desk, nullptr);
  while (!host->alerts().empty() && host->pressAlertButton(0)) host->runUntilIdle();
  ui::Application& app = ui::Application::shared();

  EXPECT_FALSE(app.requestTermination());
  EXPECT_FALSE(app.isTerminated());
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->title(), fd::Localized("Page not saved"));
  EXPECT_EQ(host->alerts()[0]->message(),
            "Page 1 of \u201c\u2068test\u2069\u201d could not be saved: the disk is full.\nIt stays open until it can be saved: "
            "free some space, then try again.");
  // Closing again while it is up stacks no second alert.
  EXPECT_FALSE(app.requestTermination());
  EXPECT_EQ(host->alerts().size(), 1u);
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();
  EXPECT_TRUE(desk->drawsView()->operated());
  EXPECT_FALSE(fs::exists(layerOnDisk()));
  EXPECT_EQ(DesktopManagerController::sharedViewController(), desk) << "the desk is still there";

  fd::files::setWriteFaultForTesting({});
  EXPECT_TRUE(app.requestTermination());
  EXPECT_TRUE(app.isTerminated());
  EXPECT_EQ(app.exitStatus(), 0);
  EXPECT_GT(inkOnDisk(), 500);
}

// What only the project's list holds (a layer's eye) is told at once when
// the disk refuses it (here at its rename, its bytes being down), and stays
// in memory: closing the window is refused with the reason, once, until the
// list can be written, and the close then stores it.
TEST_F(QuitTest, AListTheDiskRefusesIsToldAndHoldsTheCloseUntilItIsStored) {
  ASSERT_NE(deskWithTheForegroundHiddenNotSaved(fd::files::FaultAt::Rename), nullptr);
  host->runUntilIdle();
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->title(), fd::Localized("Project not saved"));
  EXPECT_EQ(host->alerts()[0]->message(),
            "The project \u201c\u2068test\u2069\u201d could not be saved: the disk is full. What was changed since its last save "
            "stays here, and is saved at the next save that succeeds.");
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();
  EXPECT_TRUE(projectOnDisk()->layIsOpenAtPage(1, 2, false));

  ui::Application& app = ui::Application::shared();
  for (int close = 0; close < 2; ++close) EXPECT_FALSE(app.requestTermination());
  host->runUntilIdle();
  EXPECT_FALSE(app.isTerminated());
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->message(),
            "The project \u201c\u2068test\u2069\u201d could not be saved: the disk is full. It stays open until it can be saved: "
            "free some space, then close it again.");
  ASSERT_TRUE(host->pressAlertButton(0));
  host->runUntilIdle();
  EXPECT_FALSE(ZTDataModel::sharedInstance().prjDataModel()->layIsOpenAtPage(1, 2, false));

  fd::files::setWriteFaultForTesting({});
  EXPECT_TRUE(app.requestTermination());
  EXPECT_EQ(app.exitStatus(), 0);
  EXPECT_FALSE(projectOnDisk()->layIsOpenAtPage(1, 2, false));
}

// A close made while the alert's answer fades waits for the answer: it is
// then asked as any close is, so it is refused with an alert of its own while
// the page cannot be written, and ends the program once it can.
TEST_F(QuitTest, ACloseDuringAnAlertsFadeIsAnsweredOnceTheFadeEnds) {
  DesktopManagerController* desk = deskWithAStrokeNotSaved();
  ASSERT_NE(desk, nullptr);
  ui::Application& app = ui::Application::shared();
  for (const double delay : {0.0, 0.1, 0.15}) {
    SCOPED_TRACE(delay);
    ASSERT_EQ(host->alerts().size(), 1u);
    host->setInstantAnimations(false);
    ASSERT_TRUE(host->tapAlertButton(fd::Localized("OK")));
    host->advance(delay);
    EXPECT_FALSE(app.requestTermination());
    host->advance(ui::ButtonSheet::kFadeDuration + 0.1);
    host->runUntilIdle();
    host->setInstantAnimations(true);
    EXPECT_FALSE(app.isTerminated());
    ASSERT_EQ(host->alerts().size(), 1u) << "the refused close told nothing";
    EXPECT_EQ(host->alerts()[0]->title(), fd::Localized("Page not saved"));
  }
  EXPECT_TRUE(desk->drawsView()->operated());

  fd::files::setWriteFaultForTesting({});
  host->setInstantAnimations(false);
  ASSERT_TRUE(host->tapAlertButton(fd::Localized("OK")));
  host->advance(0.1);
  EXPECT_FALSE(app.requestTermination());
  host->advance(ui::ButtonSheet::kFadeDuration);
  host->runUntilIdle();
  EXPECT_TRUE(app.isTerminated());
  EXPECT_EQ(app.exitStatus(), 0);
  EXPECT_GT(inkOnDisk(), 500);
}

// SIGTERM and SIGINT cannot ask: the writes are tried once more; when they
// still fail the program ends anyway, with a status that says so and the lost
// page, or project, named on standard error with the reason in words. A disk
// freed meanwhile ends it as usual.
TEST_F(QuitTest, ASignalWhileThePageOrListCannotBeWrittenEndsSayingWhatWasLost) {
  struct Case {
    int signal;
    bool freedBeforeTheSignal;
    int error;
    bool onlyTheList;
    const char* said;
    fd::files::FaultAt listRefusedAt = fd::files::FaultAt::Bytes;
  };
  const std::string page = "page 1 of \u201c\u2068test\u2069\u201d was not saved: ";
  const std::string list = "the project \u201c\u2068test\u2069\u201d was not saved: the disk is full; what was changed since its "
                           "last save is lost.";
  const Case cases[] = {{SIGTERM, false, ENOSPC, false, "the disk is full."},
                        {SIGINT, false, ENOSPC, false, "the disk is full."},
                        {SIGTERM, false, EROFS, false, "the projects folder cannot be written."},
                        {SIGTERM, true, ENOSPC, false, ""},
                        {SIGTERM, false, ENOSPC, true, ""},
                        {SIGTERM, false, ENOSPC, true, "", fd::files::FaultAt::Rename}};
  for (const Case& c : cases) {
    const std::string what = std::to_string(c.signal) + (c.freedBeforeTheSignal ? " freed " : " full ") +
                             std::to_string(c.error) + (c.onlyTheList ? " list" : " page") +
                             (c.listRefusedAt == fd::files::FaultAt::Rename ? " renamed" : "");
    const fs::path home = root() / ("signal-" + what);
    const fs::path errors = root() / ("stderr-" + what);
    testing_support::ChildResult child = testing_support::runInChild([&] {
      fd::paths::setHomeOverride(home);
      fd::paths::ensureSandbox();
      ASSERT_NE(c.onlyTheList ? deskWithTheForegroundHiddenNotSaved(c.listRefusedAt) : deskWithAStrokeNotSaved(c.error),
                nullptr);
      if (c.freedBeforeTheSignal) fd::files::setWriteFaultForTesting({});
      ui::Application& app = ui::Application::shared();
      app.terminateOnSignals();
      ASSERT_NE(std::freopen(errors.c_str(), "w", stderr), nullptr);
      ::raise(c.signal);
      for (int i = 0; i < 20 && !app.isTerminated(); ++i) host->advance(0.05);
      EXPECT_TRUE(app.isTerminated());
      // As the program's entry ends once the application has terminated.
      std::fflush(nullptr);
      std::exit(::testing::Test::HasFailure() ? 1 : app.exitStatus());
    });
    ASSERT_TRUE(child.exited) << what << " killed the child: " << child.signal;
    // What the program says, apart from its console log.
    std::string said;
    std::istringstream lines(textOf(errors));
    for (std::string line; std::getline(lines, line);)
      if (line.starts_with("flipdesk: ")) said += line + "\n";
    fd::paths::setHomeOverride(home);
    if (c.freedBeforeTheSignal) {
      EXPECT_EQ(child.exitCode, 0) << what;
      EXPECT_EQ(said.find("not saved"), std::string::npos) << said;
      EXPECT_GT(inkOnDisk(), 500) << what;
    } else {
      EXPECT_EQ(child.exitCode, AppDelegate::kPageNotSavedExitStatus) << what;
      if (c.onlyTheList) {
        EXPECT_EQ(said.find(page), std::string::npos) << said;
      } else {
        EXPECT_NE(said.find(page + c.said), std::string::npos) << said;
      }
      if (c.error == ENOSPC) {
        EXPECT_NE(said.find(list), std::string::npos) << said;
      }
      // Nothing the user never sees: no path, no system message.
      EXPECT_EQ(said.find(home.string()), std::string::npos) << said;
      EXPECT_EQ(said.find(std::strerror(c.error)), std::string::npos) << said;
      EXPECT_FALSE(fs::exists(layerOnDisk())) << what;
      if (c.onlyTheList) {
        EXPECT_TRUE(projectOnDisk()->layIsOpenAtPage(1, 2, false)) << "the list on disk is the one saved last";
      }
    }
    fd::paths::setHomeOverride(root());
  }
}

// Losing the window system cannot ask either: the same word on standard
// error, and the process ends with the status of the page lost.
TEST_F(QuitTest, LosingTheWindowSystemWhileThePageCannotBeWrittenSaysWhichPageWasLost) {
  const fs::path errors = root() / "stderr";
  testing_support::ChildResult child = testing_support::runInChild([&] {
    ASSERT_NE(deskWithAStrokeNotSaved(), nullptr);
    ASSERT_NE(std::freopen(errors.c_str(), "w", stderr), nullptr);
    ui::SdlHost::displayLost();
  });
  ASSERT_TRUE(child.exited) << "killed by signal " << child.signal;
  EXPECT_EQ(child.exitCode, AppDelegate::kPageNotSavedExitStatus);
  const std::string said = textOf(errors);
  EXPECT_NE(said.find("display was lost"), std::string::npos) << said;
  EXPECT_NE(said.find("page 1 of \u201c\u2068test\u2069\u201d was not saved: the disk is full."), std::string::npos) << said;
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
  void SetUp() override {
    QuitTest::SetUp();
    if (!testing_support::VirtualXServer::installed()) GTEST_SKIP() << "Xvfb is not installed";
  }
  void TearDown() override {
    if (program_ > 0) {
      ::kill(program_, SIGKILL);
      ::waitpid(program_, nullptr, 0);
    }
    server_.reset();
    QuitTest::TearDown();
  }
  // The program in a window on a server of the test's own, its messages in
  // the log; back once its launch has read its model (its folders are made)
  // and a moment more for the window.
  void startProgramOnItsOwnServer() {
    server_ = std::make_unique<testing_support::VirtualXServer>();
    const std::string display = server_->display();
    ASSERT_FALSE(display.empty()) << "Xvfb did not start";
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

  std::unique_ptr<testing_support::VirtualXServer> server_;

 private:
  pid_t program_ = 0;
};

TEST_F(ProgramOnXTest, TheProgramSurvivesItsXServerGoingAway) {
  ASSERT_NO_FATAL_FAILURE(startProgramOnItsOwnServer());
  server_->stop();
  expectCleanEnd();
}

// The window destroyed under the program (as `xdotool windowclose` does):
// the server refuses what the program then asks of it.
TEST_F(ProgramOnXTest, TheProgramSurvivesItsWindowBeingDestroyed) {
  if (!testing_support::VirtualXServer::installed(true)) GTEST_SKIP() << "xdotool is not installed";
  ASSERT_NO_FATAL_FAILURE(startProgramOnItsOwnServer());
  const std::string close = "DISPLAY=" + server_->display() +
                            " timeout 20 sh -c 'xdotool windowclose $(xdotool search --sync --name flipdesk | head -1)'";
  ASSERT_EQ(std::system(close.c_str()), 0);
  expectCleanEnd();
}

}  // namespace
