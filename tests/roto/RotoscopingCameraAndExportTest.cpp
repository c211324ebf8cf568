// The rotoscoping screen with the cameras and movies a person really has: a
// phone's movie filmed sideways, a file that is no movie, a FIFO, a movie
// whose pictures cannot be decoded, a FIFO fed a movie whose index comes
// last; a trim made by touch that exports exactly the pictures it kept; a
// recording that cannot be played; an alert outliving the screen that showed it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <fstream>

#include "desk/DesktopManagerController.h"
#include "desk/VTImageCache.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/Paths.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/Image.h"
#include "platform/media/MovieReader.h"
#include "platform/media/StreamCopy.h"
#include "roto/RotoScreenFixture.h"
#include "support/Fifos.h"
#include "support/HostileMovies.h"

namespace {

namespace fs = std::filesystem;
using roto::VTRotoscopingViewController;
using roto_test::RotoscopingScreenTest;

// Films for a while in real time, as a person holds the record button down.
void filmFor(ui::HeadlessHost& host, double seconds) {
  const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < until) {
    host.runUntilIdle();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool deskIsOpen(ZTLoadingViewController* launch) {
  return dynamic_cast<DesktopManagerController*>(launch->presentedViewController()) != nullptr;
}

// The pictures of the project's pages at one layer position.
std::vector<gfx::Image> pages(int position) {
  std::vector<gfx::Image> out;
  ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
  for (int page = 1; page <= static_cast<int>(project.imagesArray().size()); ++page) {
    auto path = project.layFullPathAtPage(page, false, position);
    auto image = path ? gfx::readImage(*path) : fd::Expected<gfx::Image>(fd::fail("no path"));
    out.push_back(image ? *image : gfx::Image());
  }
  return out;
}

TEST_F(RotoscopingScreenTest, APhoneMovieAsTheCameraGivesUprightPages) {
  // Upright, a black block in the top left quarter of white paper; the phone
  // stores it turned a quarter to the left and the turn back in the matrix.
  auto upright = media::PixelBuffer::make(640, 480);
  for (int y = 0; y < 480; ++y)
    for (int x = 0; x < 640; ++x) {
      const bool ink = x >= 60 && x < 300 && y >= 40 && y < 200;
      std::uint8_t* px = upright->row(y) + 4 * x;
      px[0] = px[1] = px[2] = ink ? 0 : 255;
      px[3] = 255;
    }
  const auto stored = media::turnedPixelBuffer(*upright, 270);
  roto_test::MoviePlan plan;
  plan.seconds = 2;
  plan.width = stored->width;
  plan.height = stored->height;
  plan.sound = false;
  plan.transform = {0, 1, -1, 0, static_cast<float>(stored->height), 0};
  plan.picture = [&](int) { return stored; };
  const fs::path phone = root() / "phone.mov";
  ASSERT_TRUE(roto_test::writeTestMovie(phone, plan).ok());
  ::setenv("FLIPDESK_CAMERA", ("file:" + phone.string()).c_str(), 1);

  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_EQ(screen->videoView()->cameraFailure(), "");
  screen->recordAction();
  filmFor(*host, 1.2);
  screen->recordAction();
  ASSERT_TRUE(pumpUntil([&] { return screen->moviePlayer() != nullptr && screen->moviePlayer()->duration() > 0; }));
  screen->saveAction();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Forground")));
  ASSERT_TRUE(pumpUntil([&] { return deskIsOpen(launch); }));
  EXPECT_EQ(ZTDataModel::sharedInstance().curProjectName(), "Roto");
  const auto exported = pages(2);
  ASSERT_GE(exported.size(), 5u);
  for (std::size_t i = 0; i < exported.size(); ++i) {
    SCOPED_TRACE(i);
    ASSERT_FALSE(exported[i].empty());
    EXPECT_EQ(exported[i].pixelWidth(), 640);
    EXPECT_EQ(exported[i].pixelHeight(), 480);
    // The sketch draws the block's edges in grey: where they lie, weighed by
    // their ink, is the block's middle (a sideways picture has it low left).
    double weight = 0, x = 0, y = 0;
    for (int py = 0; py < 480; ++py)
      for (int px = 0; px < 640; ++px) {
        const int alpha = exported[i].pixel(px, py)[3];
        if (alpha < 24) continue;
        weight += alpha;
        x += alpha * px;
        y += alpha * py;
      }
    ASSERT_GT(weight, 255.0 * 200);
    EXPECT_NEAR(x / weight, 180, 30);
    EXPECT_NEAR(y / weight, 120, 30);
  }
}

// Camera sources that film nothing: the pattern stands in.
class CameraFailureTest : public RotoscopingScreenTest {
 protected:
  // What a person sees once the camera has answered: the alert saying why
  // and, once that is dismissed, the moving test pattern on the screen and in
  // a recording that replays.
  void expectToldAndPatternFilmed(VTRotoscopingViewController* screen, const std::string& file,
                                  const std::string& reason) {
    ASSERT_TRUE(screen->videoView()->isCameraOpen());
    EXPECT_TRUE(screen->waitingView()->isHidden());
    ASSERT_EQ(host->alerts().size(), 1u);
    EXPECT_EQ(host->alerts()[0]->title(), fd::Localized("The camera could not be opened"));
    const std::string message = host->alerts()[0]->message();
    EXPECT_NE(message.find(file), std::string::npos) << message;
    EXPECT_NE(message.find(reason), std::string::npos) << message;
    EXPECT_NE(message.find(fd::Localized("The test pattern is filmed instead.")), std::string::npos) << message;
    ASSERT_TRUE(host->pressAlertButton("OK"));
    host->runUntilIdle();
    EXPECT_TRUE(host->alerts().empty());

    GPUView* camera = screen->videoView()->displayView();
    ui::Application& app = ui::Application::shared();
    int changedPictures = 0;
    for (int i = 0; i < 3; ++i) {
      const std::uint64_t before = camera->presentCount();
      app.composeScreen();
      const std::vector<std::uint32_t> shown = cameraPixels(screen);
      ASSERT_TRUE(pumpUntil([&] { return camera->presentCount() > before; }));
      app.composeScreen();
      if (cameraPixels(screen) != shown) ++changedPictures;
    }
    EXPECT_GE(changedPictures, 2) << "the moving pattern shows on the screen";

    screen->recordAction();
    filmFor(*host, 0.8);
    screen->recordAction();
    ASSERT_TRUE(pumpUntil([&] { return screen->moviePlayer() != nullptr; }));
    EXPECT_TRUE(screen->moviePlayer()->isLoaded()) << screen->moviePlayer()->loadError();
    EXPECT_GT(screen->moviePlayer()->duration(), 0.3);
    EXPECT_FALSE(screen->trimButton()->isHidden());
    EXPECT_TRUE(screen->saveButton()->isEnabled());
    EXPECT_TRUE(host->alerts().empty());
  }
};

TEST_F(CameraFailureTest, ACameraThatIsNoMovieIsToldAndThePatternIsFilmed) {
  const fs::path notes = root() / "notes.mov";
  std::ofstream(notes) << "These are notes, not a movie.\n";
  ::setenv("FLIPDESK_CAMERA", ("file:" + notes.string()).c_str(), 1);
  VTRotoscopingViewController* screen = openScreen(start());
  ASSERT_NE(screen, nullptr);
  expectToldAndPatternFilmed(screen, "notes.mov", "is not a movie");
}

TEST_F(RotoscopingScreenTest, AFifoAsTheCameraKeepsTheProgramGoingBehindTheWaitingView) {
  const fs::path fifo = root() / "camera.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ::setenv("FLIPDESK_CAMERA", ("file:" + fifo.string()).c_str(), 1);
  ZTLoadingViewController* launch = start();
  launch->chooseEntry(ZTLoadingViewController::kRotoscoping);
  host->runUntilIdle();
  auto* screen = dynamic_cast<VTRotoscopingViewController*>(launch->presentedViewController());
  ASSERT_NE(screen, nullptr);
  ASSERT_NE(screen->videoView(), nullptr);
  EXPECT_FALSE(screen->videoView()->isCameraOpen());
  EXPECT_FALSE(screen->waitingView()->isHidden());
  // Nobody writes yet: the main loop goes on.
  bool ticked = false;
  fd::RunLoop::main().performAfterDelay(0.2, [&] { ticked = true; });
  host->advance(0.3);
  EXPECT_TRUE(ticked);
  EXPECT_FALSE(screen->waitingView()->isHidden());
  // A writer comes and goes without a word: not a movie, and the pattern films.
  std::thread writer = testing_support::fifoWriter(fifo, [](int) {});
  const bool opened = pumpUntil([&] { return screen->videoView()->isCameraOpen(); });
  writer.join();
  ASSERT_TRUE(opened);
  EXPECT_TRUE(screen->waitingView()->isHidden());
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_NE(host->alerts()[0]->message().find("camera.fifo"), std::string::npos) << host->alerts()[0]->message();
}

TEST_F(CameraFailureTest, AMovieWhosePicturesCannotBeDecodedIsToldAndThePatternIsFilmed) {
  roto_test::MoviePlan plan;
  plan.seconds = 1;
  const fs::path movie = root() / "junk pictures.mp4";
  ASSERT_TRUE(roto_test::writeTestMovie(movie, plan).ok());
  ASSERT_TRUE(testing_support::scrambleMovieData(movie));
  ::setenv("FLIPDESK_CAMERA", ("file:" + movie.string()).c_str(), 1);
  VTRotoscopingViewController* screen = openScreen(start());
  ASSERT_NE(screen, nullptr);
  expectToldAndPatternFilmed(screen, "junk pictures.mp4", "cannot be decoded");
}

TEST_F(CameraFailureTest, AFifoFedAMovieWhoseIndexIsAtTheEndIsToldAndThePatternIsFilmed) {
  const fs::path movie = root() / "noise.mp4";
  ASSERT_TRUE(testing_support::writeNoiseMovie(movie).ok());
  ASSERT_TRUE(testing_support::indexAfterPictures(movie));
  const fs::path fifo = root() / "camera.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ::setenv("FLIPDESK_CAMERA", ("file:" + fifo.string()).c_str(), 1);
  std::thread writer = testing_support::feedFifo(fifo, movie);
  VTRotoscopingViewController* screen = openScreen(start());
  writer.join();
  ASSERT_NE(screen, nullptr);
  expectToldAndPatternFilmed(screen, "camera.fifo", "index comes after its pictures");
}

TEST_F(RotoscopingScreenTest, ARecordingThatCannotBePlayedIsToldAndOffersNoTrimOrExport) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  const fs::path recording = roto::VTRotoscopingFileManager::recordSaveFilePath();
  fs::remove(recording);
  screen->ddGpuVideoViewDidEndRecordAtPath(nullptr, recording.string());
  host->runUntilIdle();
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->title(), "The recording could not be played");
  EXPECT_EQ(host->alerts()[0]->message(), "Its movie cannot be read.");
  ASSERT_TRUE(host->pressAlertButton("OK"));
  host->runUntilIdle();
  EXPECT_TRUE(screen->trimButton()->isHidden());
  EXPECT_FALSE(screen->saveButton()->isEnabled());
  EXPECT_TRUE(screen->playButton()->isHidden());
  EXPECT_TRUE(screen->recordButton()->isHidden());
  EXPECT_TRUE(screen->timestampView()->isHidden());
  screen->saveAction();
  screen->trimAction();
  host->runUntilIdle();
  EXPECT_TRUE(host->alerts().empty());
  EXPECT_FALSE(screen->isCurrentTrim());
  EXPECT_TRUE(screen->waitingView()->isHidden());
}

// The disk refuses the recording while it is made: the alert says it could
// not be made and why in the user's words, naming no file and no library's
// message, and offers nothing to replay.
TEST_F(RotoscopingScreenTest, ARecordingTheDiskRefusesIsToldInTheUsersWords) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  const fs::path folder = roto::VTRotoscopingFileManager::recordSaveFilePath().parent_path();
  for (const auto& [error, why] : {std::pair{ENOSPC, "the disk is full"},
                                   std::pair{EROFS, "the Documents folder cannot be written"}}) {
    SCOPED_TRACE(why);
    fd::files::setWriteFaultForTesting(
        [folder, error](const fs::path& file) { return file.parent_path() == folder ? error : 0; });
    screen->recordAction();
    filmFor(*host, 0.4);
    screen->recordAction();
    const bool replaced = pumpUntil([&] { return screen->moviePlayer() != nullptr; });
    fd::files::setWriteFaultForTesting({});
    ASSERT_TRUE(replaced);
    ASSERT_EQ(host->alerts().size(), 1u);
    EXPECT_EQ(host->alerts()[0]->title(), "The recording could not be made");
    EXPECT_EQ(host->alerts()[0]->message(), std::string("Its movie could not be written: ") + why + ".");
    EXPECT_TRUE(screen->trimButton()->isHidden());
    EXPECT_FALSE(screen->saveButton()->isEnabled());
    ASSERT_TRUE(host->pressAlertButton("OK"));
    // The screen records once: the second kind of refusal on a new screen.
    screen->closeAction();
    host->runUntilIdle();
    screen = openScreen(launch);
    ASSERT_NE(screen, nullptr);
  }
}

// The disk refuses the exported frames: the user is told so in words, and
// no project is made of what was written, listed or left in a folder.
TEST_F(RotoscopingScreenTest, FramesTheDiskRefusesAreToldAndMakeNoProject) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  record(screen, 0.4);
  ASSERT_TRUE(pumpUntil([&] { return screen->moviePlayer()->duration() > 0; }));
  const fs::path projects = fd::paths::library() / "Projects";
  const std::vector<std::string> before = fd::files::contentsOfDirectory(projects);
  fd::files::setWriteFaultForTesting([projects](const fs::path& file) {
    return file.parent_path().parent_path() == projects ? ENOSPC : 0;
  });
  screen->saveAction();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Forground")));
  const bool told = pumpUntil([&] { return !host->alerts().empty() && host->alerts()[0]->title() != "Export to..."; });
  fd::files::setWriteFaultForTesting({});
  ASSERT_TRUE(told);
  EXPECT_EQ(host->alerts()[0]->title(), "Export not finished");
  EXPECT_EQ(host->alerts()[0]->message(),
            "The frames could not be exported: the disk is full.\nNo project was made of them.");
  EXPECT_FALSE(deskIsOpen(launch));
  EXPECT_EQ(fd::files::contentsOfDirectory(projects), before);
}

TEST_F(RotoscopingScreenTest, AScreenThatClosedItselfIsNeverCalledByItsFadingAlert) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  const std::weak_ptr<ui::ViewController> weak = screen->shared_from_this();
  record(screen, 0.4);
  ASSERT_TRUE(pumpUntil([&] { return screen->moviePlayer()->duration() > 0; }));
  host->setInstantAnimations(false);
  screen->saveAction();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Forground")));
  // The short export ends and the screen goes while "Export to..." still fades.
  ASSERT_TRUE(pumpUntil([&] { return weak.expired(); }));
  ASSERT_EQ(host->alerts().size(), 1u);
  host->advance(ui::ButtonSheet::kFadeDuration * 2);
  host->runUntilIdle();
  EXPECT_TRUE(host->alerts().empty());
  ASSERT_TRUE(pumpUntil([&] { return deskIsOpen(launch); }));
}

TEST_F(RotoscopingScreenTest, ATrimByTouchExportsExactlyThePicturesOfTheStretch) {
  ZTLoadingViewController* launch = start();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  // Four seconds with a key frame every 1.5 s; picture i has its square at x = 2i.
  roto_test::MoviePlan plan;
  plan.seconds = 4;
  plan.width = 320;
  plan.height = 120;
  plan.keyFrameInterval = 45;
  plan.sound = false;
  plan.picture = [](int i) { return roto_test::squarePicture(320, 120, i); };
  record(screen, plan);
  ASSERT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
  ASSERT_NEAR(screen->timestampView()->maxTime(), 4.0, 1e-4);
  screen->trimAction();
  screen->timestampView()->updateFirstCrop();
  screen->timestampView()->updateLastCrop();
  dragHandle(screen, screen->timestampView()->cropFirstTime(), 0.5f);
  dragHandle(screen, screen->timestampView()->cropLastTime(), 3.5f);
  ASSERT_FLOAT_EQ(screen->timestampView()->cropFirstTime(), 0.5f);
  ASSERT_FLOAT_EQ(screen->timestampView()->cropLastTime(), 3.5f);
  screen->trimAction();
  ASSERT_TRUE(host->pressAlertButton("OK"));
  const fs::path trimmed = roto::FilmTrimerFileManager::folder() / "clipkeep_temp_file_A.mp4";
  ASSERT_TRUE(pumpUntil([&] { return screen->savedPath() == trimmed.string(); }));
  host->advance(0.05);
  ASSERT_TRUE(pumpUntil([&] { return screen->curThumbnailNumber() == 15; }));
  const double d = screen->moviePlayer()->duration();
  EXPECT_NEAR(d, 3.0, 0.01);

  screen->saveAction();
  ASSERT_TRUE(host->pressAlertButton(fd::Localized("Middle Ground")));
  EXPECT_EQ(screen->totalExportNumber(), 31);
  ASSERT_TRUE(pumpUntil([&] { return deskIsOpen(launch); }));
  const auto exported = pages(1);
  ASSERT_EQ(exported.size(), 31u);
  for (int i = 0; i < 31; ++i) {
    SCOPED_TRACE(i);
    // The picture on show at the page's time in the kept stretch: picture 15
    // (0.5 s) and on, none from before the first handle.
    const double t = i * d / 31;
    const int shown = 15 + static_cast<int>(std::floor(t * 30 + 1e-6));
    const roto_test::Ink ink = roto_test::inkOf(exported[static_cast<std::size_t>(i)]);
    ASSERT_GT(ink.count, 100);
    EXPECT_NEAR(ink.x, 2 * shown + 7.5, 0.75);
  }
}

TEST_F(RotoscopingScreenTest, AFirstHandleDraggedOffTheLeftEndTrimsFromTheStart) {
  VTRotoscopingViewController* screen = openWithRecording(start(), 3.0);
  ASSERT_NE(screen, nullptr);
  screen->trimAction();
  screen->timestampView()->updateFirstCrop();
  const float last = screen->timestampView()->cropLastTime();
  dragHandle(screen, screen->timestampView()->cropFirstTime(), -0.4f);
  EXPECT_LT(screen->timestampView()->cropFirstTime(), 0);
  screen->trimAction();
  ASSERT_TRUE(host->pressAlertButton("OK"));
  host->runUntilIdle();
  ASSERT_TRUE(pumpUntil([&] { return screen->waitingView()->isHidden(); }));
  EXPECT_TRUE(host->alerts().empty());
  const fs::path trimmed = roto::FilmTrimerFileManager::folder() / "clipkeep_temp_file_A.mp4";
  EXPECT_EQ(screen->savedPath(), trimmed.string());
  auto reader = media::MovieReader::open(trimmed);
  ASSERT_TRUE(reader.ok());
  auto first = (*reader)->nextVideoFrame();
  ASSERT_TRUE(first.has_value());
  // The recording's first picture: its square at the left edge.
  double sum = 0;
  int dark = 0;
  for (int y = 0; y < first->pixels->height; ++y)
    for (int x = 0; x < first->pixels->width; ++x)
      if (first->pixels->row(y)[4 * x + 1] < 64) {
        sum += x;
        ++dark;
      }
  ASSERT_GT(dark, 100);
  EXPECT_NEAR(sum / dark, 7.5, 1.0);
  EXPECT_NEAR(*media::movieDuration(trimmed), last, 0.05);
}

TEST_F(RotoscopingScreenTest, TheHandlePictureComesFromTheSharedImageCacheAtTheSameWidth) {
  ZTLoadingViewController* launch = start();
  VTImageCache::sharedCache().didReceiveMemoryWarning();
  const std::size_t before = VTImageCache::sharedCache().loads();
  VTRotoscopingViewController* screen = openScreen(launch);
  ASSERT_NE(screen, nullptr);
  EXPECT_EQ(VTImageCache::sharedCache().loads(), before + 1);  // loaded once, asked three times
  const ui::Picture mark = VTImageCache::imageNamed("rotoscroping_trim_limited@2x.png");
  EXPECT_EQ(VTImageCache::sharedCache().loads(), before + 1);
  ASSERT_FALSE(mark.empty());
  EXPECT_FLOAT_EQ(mark.size().width, 10);
  EXPECT_FLOAT_EQ(screen->timestampView()->firstCropIndicator()->frame().width, 10);
  EXPECT_FLOAT_EQ(screen->timestampView()->lastCropIndicator()->frame().width, 10);
}

}  // namespace
