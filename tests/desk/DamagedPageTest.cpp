// A page picture that is there but cannot be read never loses the drawing:
// the desk, the one reader of the pictures it writes back, moves such a layer
// (or the background being painted) aside beside itself, says which page and
// layer it was, and the page goes on empty; what is drawn then is saved in
// its place while the kept file stays as it was (under a numbered name when
// the time-stamped one is taken). A layer that cannot be moved aside is never
// written over: the page stays unsaved and open, as on a full disk. Readers that only show
// pictures (onion skin, playback, the frame manager, packages) move nothing,
// and a page's snapshot and icon, drawn from its layers, are drawn again
// when the page is written.
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <fstream>

#include "desk/DeskTestSupport.h"
#include "desk/frames/PictureLoad.h"
#include "desk/frames/ZTPaperView.h"
#include "desk/frames/ZTPicManagerView.h"
#include "graphics/MemoryCeiling.h"
#include "model/PackageZipOperator.h"
#include "platform/foundation/DamagedFile.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/TimestampId.h"
#include "support/ChildProcess.h"
#include "support/KeptCopies.h"

namespace fs = std::filesystem;

namespace {

using Kind = fd::DamagedFileReport::Kind;
using testing_support::fileText;
using testing_support::keptCopies;
using testing_support::writeBytes;

// A PNG signature and header chunk claiming a picture of that size, and no
// pixels at all.
std::string pngClaiming(std::uint32_t width, std::uint32_t height) {
  auto bigEndian = [](std::string& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>((v >> shift) & 0xff));
  };
  std::string header = "IHDR";
  bigEndian(header, width);
  bigEndian(header, height);
  header += std::string("\x08\x06\x00\x00\x00", 5);
  std::string png = "\x89PNG\r\n\x1a\n";
  bigEndian(png, 13);
  png += header;
  bigEndian(png, static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(header.data()),
                                                  static_cast<uInt>(header.size()))));
  return png;
}

std::string encoded(const gfx::Image& picture) {
  fd::Expected<fd::Data> bytes = gfx::encodePNG(picture);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// Damage of every kind a layer file meets: each must be kept, byte for byte.
std::vector<std::pair<std::string, std::string>> damages() {
  const std::string whole = encoded(testing_support::seededPicture(384, 288, 33));
  std::string junk;
  for (int i = 0; i < 400; ++i) junk.push_back(static_cast<char>((i * 131 + 17) % 256));
  return {{"empty", ""},
          {"cut short", whole.substr(0, whole.size() / 2)},
          {"junk", junk},
          {"wider than any page", encoded(gfx::Image(20000, 2))},
          {"too large to decode", pngClaiming(16000, 16000)}};
}

class DamagedPageTest : public desk_test::DeskTest {
 protected:
  void SetUp() override { fd::takeDamagedFileReports(); }
  void TearDown() override {
    fd::files::setWriteFaultForTesting({});
    fd::setTimestampClockForTesting({});
    picture_load::waitAll();
    DeskTest::TearDown();
    fd::takeDamagedFileReports();
  }
  void prepareModel() override {
    while (static_cast<int>(project().imagesArray().size()) < frames) ASSERT_TRUE(project().createImageAtPage(1));
    for (int page = 1; page <= frames; ++page) {
      const auto seed = static_cast<std::uint8_t>(page * 20);
      ASSERT_TRUE(gfx::writePNG(layerFile(page, 1), testing_support::seededPicture(384, 288, seed)));
      ASSERT_TRUE(gfx::writePNG(layerFile(page, 2), testing_support::seededPicture(384, 288, seed + 7)));
      ASSERT_TRUE(gfx::writePNG(*project().snapshotFullPathAtPage(page, false), testing_support::seededPicture(384, 288, seed)));
      ASSERT_TRUE(gfx::writePNG(*project().iconFullPathAtPage(page, false), testing_support::seededPicture(108, 81, seed)));
    }
    ASSERT_TRUE(project().saveData());
    prepareFiles();
  }
  // Damage done before the desk opens the project.
  virtual void prepareFiles() {}

  fs::path layerFile(int page, int position) {
    auto p = project().layFullPathAtPage(page, false, position);
    return p ? *p : fs::path();
  }
  std::size_t keptInProject() {
    std::size_t n = 0;
    for (const std::string& name : fd::files::contentsOfDirectory(project().projectDicPath()))
      if (name.find(fd::kDamagedSuffix) != std::string::npos) ++n;
    return n;
  }
  long canvasInk() {
    auto img = desk->drawsView()->image();
    return img ? testing_support::inkedPixels(*img) : -1;
  }
  void turnBack() { tapView(desk->previousFrameBtn()); }
  void dismissAlerts() {
    while (!host->alerts().empty() && host->pressAlertButton(0)) host->runUntilIdle();
  }
  void turnOn() { tapView(desk->nextFrameBtn()); }

  int frames = 3;
};

TEST_F(DamagedPageTest, AnUnreadableLayerIsKeptToldOnceAndThePageGoesOnEmpty) {
  const auto kinds = damages();
  frames = static_cast<int>(kinds.size()) + 1;
  start();
  ASSERT_EQ(curPage(), frames);
  // Page k's foreground damaged in the k-th way while the desk is elsewhere.
  for (std::size_t k = 0; k < kinds.size(); ++k) writeBytes(layerFile(static_cast<int>(k) + 1, 2), kinds[k].second);

  for (int page = static_cast<int>(kinds.size()); page >= 1; --page) {
    const auto& [what, bytes] = kinds[static_cast<std::size_t>(page) - 1];
    turnBack();
    ASSERT_EQ(curPage(), page) << what;
    const fs::path file = layerFile(page, 2);
    const std::vector<fs::path> kept = keptCopies(file);
    ASSERT_EQ(kept.size(), 1u) << what;
    EXPECT_EQ(fileText(kept[0]), bytes) << what;
    EXPECT_FALSE(fs::exists(file)) << what;
    // Told which page and which layer, why, and where the file is now.
    const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
    ASSERT_EQ(reports.size(), 1u) << what;
    EXPECT_EQ(reports[0].kind, Kind::Picture);
    EXPECT_NE(reports[0].name.find("foreground"), std::string::npos) << reports[0].name;
    EXPECT_NE(reports[0].name.find("page " + std::to_string(page)), std::string::npos) << reports[0].name;
    EXPECT_NE(reports[0].name.find(project().curProjectName()), std::string::npos) << reports[0].name;
    EXPECT_EQ(reports[0].keptAs, kept[0]);
    EXPECT_FALSE(reports[0].reason.empty()) << what;
    // The page goes on empty, with its readable middle ground still shown.
    EXPECT_EQ(canvasInk(), 0) << what;
    EXPECT_FALSE(desk->layer()->image().empty()) << what;
    stroke(onPage(40, 40.0f + 10.0f * page), onPage(340, 40.0f + 10.0f * page));
  }
  turnOn();  // writes page 1
  // Every page drawn again has a new layer of its own; each damaged file is
  // still beside it as it was.
  for (int page = 1; page <= static_cast<int>(kinds.size()); ++page) {
    const auto& [what, bytes] = kinds[static_cast<std::size_t>(page) - 1];
    const fs::path file = layerFile(page, 2);
    EXPECT_GT(inkedPixels(file), 100) << what;
    EXPECT_LT(inkedPixels(file), 384 * 288 / 4) << what << ": only the new stroke";
    const std::vector<fs::path> kept = keptCopies(file);
    ASSERT_EQ(kept.size(), 1u) << what;
    EXPECT_EQ(fileText(kept[0]), bytes) << what;
  }
  // Visiting the pages again tells nothing more.
  for (int page = 1; page < frames; ++page) turnOn();
  for (int page = frames; page > 1; --page) turnBack();
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());
  // The snapshot and icon are drawn from the layers, never set aside.
  for (int page = 1; page <= frames; ++page) {
    EXPECT_TRUE(keptCopies(*project().snapshotFullPathAtPage(page, false)).empty());
    EXPECT_TRUE(keptCopies(*project().iconFullPathAtPage(page, false)).empty());
  }
}

// The layer that is not being edited is shown, and may be chosen and drawn
// on next: it is kept aside as soon as the page opens, here the page the desk
// opens on.
class DamagedOtherLayerTest : public DamagedPageTest {
 protected:
  void prepareFiles() override { writeBytes(layerFile(frames, 1), "not a picture"); }
};

TEST_F(DamagedOtherLayerTest, TheLayerNotEditedIsKeptBeforeItCanBeDrawnOn) {
  start();
  ASSERT_EQ(curPage(), frames);
  const fs::path file = layerFile(frames, 1);
  ASSERT_EQ(keptCopies(file).size(), 1u);
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].name.find("middle ground"), std::string::npos) << reports[0].name;
  EXPECT_TRUE(desk->layer()->image().empty());
  EXPECT_GT(canvasInk(), 1000) << "the readable foreground is on the canvas";

  inLayerPanel({desk->middleRowBtn()});
  ASSERT_EQ(desk->contentPattern(), 0);
  EXPECT_EQ(canvasInk(), 0);
  stroke(onPage(40, 100), onPage(340, 100));
  turnBack();
  EXPECT_GT(inkedPixels(file), 100);
  EXPECT_LT(inkedPixels(file), 384 * 288 / 4);
  EXPECT_EQ(fileText(keptCopies(file).at(0)), "not a picture");
  EXPECT_TRUE(fd::takeDamagedFileReports().empty());
}

TEST_F(DamagedPageTest, AnUnreadableBackgroundBeingPaintedIsKept) {
  start();
  const std::string name = "US20240101120000000";
  const fs::path file = *model().backgroundFullPathWithBackgroundName(name);
  fs::create_directories(file.parent_path());
  writeBytes(file, pngClaiming(16000, 16000));
  settings().setIsBackground(true);
  settings().setBackgroundName(name);
  desk->editBackground();
  ASSERT_EQ(keptCopies(file).size(), 1u);
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_EQ(reports[0].kind, Kind::Picture);
  EXPECT_NE(reports[0].name.find("background"), std::string::npos) << reports[0].name;
  EXPECT_EQ(canvasInk(), 0);
  stroke(onPage(60, 100), onPage(300, 100));
  host->advance(2.1);
  desk->drawsView()->waitForPageWrites();
  host->runUntilIdle();
  EXPECT_GT(inkedPixels(file), 100);
  EXPECT_EQ(fileText(keptCopies(file).at(0)), pngClaiming(16000, 16000));
}

// The names a kept copy would take at this millisecond and the next ones hold
// other files already: the layer is kept under a numbered name after the time
// stamp, and what is drawn is saved in its place.
TEST_F(DamagedPageTest, ALayerWhoseKeptNamesAreTakenIsKeptUnderAnother) {
  start();
  const fs::path file = layerFile(2, 2);
  writeBytes(file, "garbled");
  std::chrono::system_clock::time_point clock = std::chrono::system_clock::now();
  const std::chrono::system_clock::time_point stood = clock;
  fd::setTimestampClockForTesting([&clock] { return clock; },
                                  [&clock](std::chrono::milliseconds d) { clock += d; });
  std::vector<fs::path> taken;
  for (int later = 0; later < 30; ++later) {
    fs::path other = file;
    other += fd::kDamagedSuffix + fd::formatTimestampId(stood + std::chrono::milliseconds{later});
    writeBytes(other, "another file");
    taken.push_back(other);
  }
  turnBack();
  ASSERT_EQ(curPage(), 2);
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  ASSERT_FALSE(reports[0].keptAs.empty()) << reports[0].notMoved;
  EXPECT_EQ(std::find(taken.begin(), taken.end(), reports[0].keptAs), taken.end());
  EXPECT_EQ(fileText(reports[0].keptAs), "garbled");
  stroke(onPage(40, 100), onPage(340, 100));
  turnOn();
  fd::setTimestampClockForTesting({});
  EXPECT_GT(inkedPixels(file), 100);
  EXPECT_EQ(fileText(reports[0].keptAs), "garbled");
  for (const fs::path& other : taken) EXPECT_EQ(fileText(other), "another file");
}

// The folder will not let the layer be moved aside: the page goes on empty,
// and what is drawn stays unsaved, the page open, as on a full disk, until
// the folder lets the layer go; then it is kept and the page saved.
TEST_F(DamagedPageTest, ALayerThatCannotBeMovedAsideKeepsThePageUnsaved) {
  start();
  const fs::path file = layerFile(2, 2);
  writeBytes(file, "garbled");
  testing_support::refuseKeptCopies();
  turnBack();
  ASSERT_EQ(curPage(), 2);
  const std::vector<fd::DamagedFileReport> reports = fd::takeDamagedFileReports();
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_TRUE(reports[0].keptAs.empty());
  EXPECT_EQ(canvasInk(), 0);

  stroke(onPage(40, 100), onPage(340, 100));
  host->advance(2.1);
  desk->drawsView()->waitForPageWrites();
  host->runUntilIdle();
  ASSERT_EQ(host->alerts().size(), 1u);
  EXPECT_EQ(host->alerts()[0]->title(), fd::Localized("Page not saved"));
  EXPECT_NE(host->alerts()[0]->message().find("could not be moved aside"), std::string::npos)
      << host->alerts()[0]->message();
  dismissAlerts();
  turnOn();
  EXPECT_EQ(curPage(), 2) << "the page is not left unsaved";
  EXPECT_EQ(host->alerts().size(), 1u);
  dismissAlerts();
  EXPECT_EQ(fileText(file), "garbled");
  EXPECT_TRUE(keptCopies(file).empty());
  EXPECT_GT(canvasInk(), 100);

  fd::files::setWriteFaultForTesting({});
  turnOn();
  EXPECT_EQ(curPage(), 3);
  EXPECT_GT(inkedPixels(file), 100);
  testing_support::expectKeptOnceAndTold(file, "garbled");
}

// A file far larger than any picture is refused before it is read: turning to
// its page takes no memory to speak of.
TEST_F(DamagedPageTest, AHugeLayerFileIsKeptWithoutBeingRead) {
  testing_support::ChildResult child = testing_support::runInChild([&] {
    start();
    const fs::path file = layerFile(2, 2);
    {
      std::ofstream out(file, std::ios::binary | std::ios::trunc);
      out << "\x89PNG\r\n\x1a\n";
    }
    fs::resize_file(file, std::uintmax_t{3} << 30);  // sparse: no disk is taken
    testing_support::limitAddressSpaceGrowth(std::size_t{512} << 20);
    turnBack();
    ASSERT_EQ(curPage(), 2);
    EXPECT_FALSE(fs::exists(file));
    ASSERT_EQ(keptCopies(file).size(), 1u);
    EXPECT_EQ(fs::file_size(keptCopies(file)[0]), std::uintmax_t{3} << 30);
    EXPECT_EQ(canvasInk(), 0);
  });
  EXPECT_TRUE(child.exited);
  EXPECT_EQ(child.exitCode, 0);
  for (const fs::path& kept : keptCopies(layerFile(2, 2))) fs::remove(kept);
}

// Onion skin, playback, the frame manager's papers and a package export only
// read: a damaged page shown by them keeps all its files where they are, and
// nothing is told. The page itself, once open on the desk, sets its layers
// aside; its damaged snapshot and icon are simply drawn again from the layers
// when the page is written.
TEST_F(DamagedPageTest, ReadersThatOnlyShowMoveNothing) {
  start();
  ASSERT_EQ(curPage(), 3);
  const fs::path files[] = {layerFile(1, 1), layerFile(1, 2), *project().snapshotFullPathAtPage(1, false),
                            *project().iconFullPathAtPage(1, false)};
  for (const fs::path& f : files) writeBytes(f, "garbled");

  auto movedNothing = [&](const char* reader) {
    for (const fs::path& f : files) EXPECT_EQ(fileText(f), "garbled") << reader << ": " << f;
    EXPECT_EQ(keptInProject(), 0u) << reader;
    EXPECT_TRUE(fd::takeDamagedFileReports().empty()) << reader;
  };
  desk->renewDesktopDisplay();  // onion mode 0 shows pages 2 and 1
  EXPECT_FALSE(desk->frame1()->image().empty()) << "the empty-page picture stands in";
  movedNothing("onion skin");
  tapView(desk->frameManagerBtn());
  ASSERT_NE(desk->picManagerView(), nullptr);
  ZTPaperView::waitForLoads();
  host->runUntilIdle();
  movedNothing("frame manager");
  // The left band closes the manager (a first touch may only take its tip
  // away); the desk stays on page 3.
  for (int touch = 0; touch < 3 && desk->picManagerView() != nullptr; ++touch) {
    host->tap({10, 20});
    host->runUntilIdle();
  }
  ASSERT_EQ(desk->picManagerView(), nullptr);
  ASSERT_EQ(curPage(), 3);
  ZipOperator op;
  ASSERT_TRUE(op.exportAndIsUpgradeVersion(project(), true)) << op.lastError();
  movedNothing("package export");
  desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagReverse));
  for (int step = 0; step < 100 && curPage() != 1; ++step) host->advance(0.05);
  ASSERT_EQ(curPage(), 1);
  EXPECT_FALSE(desk->playView()->image().empty());
  movedNothing("playback");

  // Playback ends on page 1, or is stopped there: the page opens on the desk.
  if (desk->playState() != 0) desk->pressPlayBtnEvent(desk->playerButton(DesktopManagerController::kTagReverse));
  desk->gotoFrame(0);
  ASSERT_EQ(curPage(), 1);
  EXPECT_EQ(fd::takeDamagedFileReports().size(), 2u);
  EXPECT_EQ(keptCopies(files[0]).size(), 1u);
  EXPECT_EQ(keptCopies(files[1]).size(), 1u);
  EXPECT_EQ(fileText(files[2]), "garbled") << "a snapshot is not set aside";
  stroke(onPage(40, 100), onPage(340, 100));
  turnOn();
  EXPECT_GT(inkedPixels(files[2]), 100) << "the snapshot is drawn again";
  EXPECT_GT(inkedPixels(files[3]), 10) << "so is the icon";
  EXPECT_EQ(keptInProject(), 2u);
}

}  // namespace
