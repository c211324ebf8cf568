// The page files: sizes, composition of the open layers, missing and broken
// layer files, atomic replacement, and how large the files of drawings are.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

#include "canvas/DrawsView.h"
#include "canvas/PageFiles.h"
#include "model/ExtendDataModel.h"
#include "model/ProjectDataModel.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "support/Sandbox.h"

namespace {

namespace fs = std::filesystem;

// A premultiplied picture of one colour over the top `coverRows` rows (the
// rest transparent), as the canvas hands its backing out.
gfx::Image layerPicture(int w, int h, std::uint8_t r, std::uint8_t g, std::uint8_t b, int coverRows) {
  gfx::Image image(w, h);
  image.setPremultiplied(true);
  for (int y = 0; y < coverRows; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      p[0] = r;
      p[1] = g;
      p[2] = b;
      p[3] = 255;
    }
  return image;
}

class PageFilesTest : public testing_support::SandboxTest {
 protected:
  PageFiles::FrameTargets targets() const {
    PageFiles::FrameTargets t;
    t.layers = {root() / "mid.png", root() / "fore.png"};
    t.snapshot = root() / "frameSnapshot.png";
    t.icon = root() / "frameIcon.png";
    return t;
  }
  static gfx::Image read(const fs::path& p) {
    auto image = gfx::readPNG(p);
    EXPECT_TRUE(image.ok()) << image.error();
    return image ? std::move(*image) : gfx::Image();
  }
};

TEST_F(PageFilesTest, SizesAtScaleOneAndTwo) {
  for (float scale : {1.0f, 2.0f}) {
    const int w = static_cast<int>(384 * scale), h = static_cast<int>(288 * scale);
    EXPECT_TRUE(PageFiles::writeLayer(layerPicture(w, h, 255, 0, 0, h), 2, targets(), scale).ok());
    const gfx::Image layer = read(root() / "fore.png");
    EXPECT_EQ(layer.pixelWidth(), w);
    EXPECT_EQ(layer.pixelHeight(), h);
    const gfx::Image snapshot = read(root() / "frameSnapshot.png");
    EXPECT_EQ(snapshot.pixelWidth(), 384);
    EXPECT_EQ(snapshot.pixelHeight(), 288);
    const gfx::Image icon = read(root() / "frameIcon.png");
    EXPECT_EQ(icon.pixelWidth(), static_cast<int>(108 * scale));
    EXPECT_EQ(icon.pixelHeight(), static_cast<int>(81 * scale));
    EXPECT_FALSE(fs::exists(root() / "mid.png")) << "only the edited layer is written";
  }
}

TEST_F(PageFilesTest, LayerFileKeepsThePixelsExactly) {
  gfx::Image layer = layerPicture(768, 576, 10, 200, 30, 100);
  // Half-transparent premultiplied pixels survive the straight-alpha file.
  for (int x = 0; x < 768; ++x) {
    std::uint8_t* p = layer.pixel(x, 300);
    p[0] = 60, p[1] = 0, p[2] = 13, p[3] = 128;
  }
  EXPECT_TRUE(PageFiles::writeLayer(layer, 1, targets(), 2).ok());
  gfx::Image back = read(root() / "mid.png");
  back.premultiply();
  EXPECT_EQ(back.bytes(), layer.bytes());
}

TEST_F(PageFilesTest, EveryFastEncodingIsLossless) {
  gfx::Image picture(97, 31);
  for (std::size_t i = 0; i < picture.bytes().size(); ++i)
    picture.bytes()[i] = static_cast<std::uint8_t>((i * 7919u) >> 3);
  using F = gfx::PngEncoding::Filter;
  for (F filter : {F::Adaptive, F::None, F::Sub, F::Up, F::Average, F::Paeth}) {
    for (bool runLength : {false, true}) {
      auto png = gfx::encodePNG(picture, gfx::PngEncoding{1, filter, runLength});
      ASSERT_TRUE(png.ok()) << png.error();
      auto back = gfx::decodePNG(*png);
      ASSERT_TRUE(back.ok()) << back.error();
      EXPECT_EQ(back->bytes(), picture.bytes()) << static_cast<int>(filter) << " " << runLength;
    }
  }
}

TEST_F(PageFilesTest, SnapshotComposesOnlyOpenLayersInOrder) {
  auto t = targets();
  // The middle ground is red everywhere; the foreground blue on its top half.
  EXPECT_TRUE(PageFiles::writeLayer(layerPicture(768, 576, 255, 0, 0, 576), 1, t, 2).ok());
  EXPECT_TRUE(PageFiles::writeLayer(layerPicture(768, 576, 0, 0, 255, 288), 2, t, 2).ok());
  gfx::Image snap = read(*t.snapshot);
  EXPECT_EQ(snap.pixel(10, 10)[2], 255) << "the foreground lies over the middle ground";
  EXPECT_EQ(snap.pixel(10, 10)[0], 0);
  EXPECT_EQ(snap.pixel(10, 280)[0], 255);

  t.layerOpen = {false, true};
  EXPECT_TRUE(PageFiles::writeSnapshotAndIcon(layerPicture(768, 576, 0, 0, 255, 288), 2, t, 2).ok());
  snap = read(*t.snapshot);
  EXPECT_EQ(snap.pixel(10, 10)[2], 255);
  EXPECT_EQ(snap.pixel(10, 280)[3], 0) << "a closed middle ground is left out";
  const gfx::Image icon = read(*t.icon);
  EXPECT_EQ(icon.pixel(5, 150)[3], 0) << "and so from the icon";
  EXPECT_EQ(icon.pixel(5, 5)[2], 255);

  t.layerOpen = {true, false};
  EXPECT_TRUE(PageFiles::writeSnapshotAndIcon(layerPicture(768, 576, 0, 0, 255, 288), 2, t, 2).ok());
  snap = read(*t.snapshot);
  EXPECT_EQ(snap.pixel(10, 10)[0], 255) << "a closed edited layer is left out too";
  EXPECT_TRUE(fs::exists(root() / "fore.png"));
}

TEST_F(PageFilesTest, MissingOrBrokenOtherLayerIsLeftOut) {
  auto t = targets();
  EXPECT_TRUE(PageFiles::writeLayer(layerPicture(384, 288, 0, 255, 0, 144), 2, t, 1).ok());
  gfx::Image snap = read(*t.snapshot);
  EXPECT_EQ(snap.pixel(10, 10)[1], 255);
  EXPECT_EQ(snap.pixel(10, 200)[3], 0) << "no middle-ground file: only the foreground";

  std::ofstream(root() / "mid.png") << "not a picture";
  EXPECT_TRUE(PageFiles::writeLayer(layerPicture(384, 288, 0, 255, 0, 144), 2, t, 1).ok());
  snap = read(*t.snapshot);
  EXPECT_EQ(snap.pixel(10, 200)[3], 0);

  t.layers[0].reset();  // a frame without a middle-ground layer
  EXPECT_TRUE(PageFiles::writeLayer(layerPicture(384, 288, 0, 255, 0, 144), 2, t, 1).ok());
  EXPECT_EQ(read(*t.snapshot).pixel(10, 10)[1], 255);
}

// Soft strokes as the canvas leaves them: premultiplied, every alpha.
gfx::Image softPicture(int w, int h, unsigned seed) {
  gfx::Image image(w, h);
  image.setPremultiplied(true);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      std::uint8_t* p = image.pixel(x, y);
      const unsigned a = static_cast<unsigned>(std::abs((x * 3 + y * 5 + static_cast<int>(seed) * 31) % 511 - 255));
      p[3] = static_cast<std::uint8_t>(a);
      p[0] = static_cast<std::uint8_t>(a * ((x + seed) % 256) / 255);
      p[1] = static_cast<std::uint8_t>(a * ((y * 3) % 256) / 255);
      p[2] = static_cast<std::uint8_t>(a * (seed * 40 % 256) / 255);
    }
  return image;
}

// A writer that keeps its workspace keeps the other layer's picture between
// writes: its snapshots and icons are still those of a write made afresh as
// that layer's file is replaced, removed, broken or written by the writer
// itself, for either layer edited and either spread.
TEST_F(PageFilesTest, AKeptWorkspaceWritesWhatAFreshWriteWrites) {
  for (PageFiles::Spread spread : {PageFiles::Spread::Threads, PageFiles::Spread::Sequential}) {
    const std::string how = spread == PageFiles::Spread::Threads ? "threads" : "sequential";
    PageFiles::Workspace kept;
    PageFiles::FrameTargets t = targets();
    PageFiles::FrameTargets fresh = t;
    fresh.snapshot = root() / "freshSnapshot.png";
    fresh.icon = root() / "freshIcon.png";
    unsigned seed = 1;
    // Writes the edited layer through the kept workspace, then the same
    // frame afresh, and compares their snapshots and icons.
    auto check = [&](int position, const std::string& what) {
      const gfx::Image layer = softPicture(768, 576, seed++);
      ASSERT_TRUE(PageFiles::writeLayer(layer, position, t, 2, spread, &kept).ok()) << what;
      ASSERT_TRUE(PageFiles::writeSnapshotAndIcon(layer, position, fresh, 2).ok()) << what;
      EXPECT_EQ(read(*t.snapshot).bytes(), read(*fresh.snapshot).bytes()) << how << ": " << what;
      EXPECT_EQ(read(*t.icon).bytes(), read(*fresh.icon).bytes()) << how << ": " << what;
    };
    ASSERT_TRUE(PageFiles::writePNG(*t.layers[0], softPicture(768, 576, 100)));
    check(2, "the middle ground read");
    check(2, "the middle ground kept");
    ASSERT_TRUE(PageFiles::writePNG(*t.layers[0], softPicture(768, 576, 101)));
    check(2, "the middle ground replaced");
    fs::remove(*t.layers[0]);
    check(2, "the middle ground removed");
    std::ofstream(*t.layers[0]) << "not a picture";
    check(2, "the middle ground broken");
    check(1, "the middle ground edited");
    check(2, "the middle ground as the writer left it");
    check(1, "the foreground above the edited layer");
    ASSERT_TRUE(PageFiles::writePNG(*t.layers[1], softPicture(768, 576, 102)));
    check(1, "the foreground replaced");
    t.layerOpen = fresh.layerOpen = {true, false};
    check(1, "the foreground closed");
    t.layerOpen = fresh.layerOpen = {true, true};
    check(1, "the foreground open again");
  }
}

TEST_F(PageFilesTest, FailedWriteKeepsThePreviousFile) {
  const fs::path target = root() / "page.png";
  ASSERT_TRUE(PageFiles::writePNG(target, layerPicture(16, 16, 255, 0, 0, 16)));
  const auto before = testing_support::fileBytes(target);
  // A picture that cannot be encoded, then a folder that cannot be written.
  EXPECT_FALSE(PageFiles::writePNG(target, gfx::Image()));
  EXPECT_EQ(testing_support::fileBytes(target), before);
  EXPECT_FALSE(PageFiles::writePNG(root() / "no-such-folder" / "page.png", layerPicture(16, 16, 1, 2, 3, 16)));
  // Replacing leaves no temporary files behind.
  ASSERT_TRUE(PageFiles::writePNG(target, layerPicture(16, 16, 0, 0, 255, 16)));
  EXPECT_EQ(read(target).pixel(0, 0)[2], 255);
  std::vector<std::string> leftovers;
  for (const auto& e : fs::directory_iterator(root()))
    if (e.is_regular_file() && e.path().filename() != "page.png") leftovers.push_back(e.path().filename());
  EXPECT_TRUE(leftovers.empty()) << leftovers.front();
}

TEST_F(PageFilesTest, AFileThatCannotBeWrittenIsReported) {
  PageFiles::FrameTargets t = targets();
  // The layer's place is taken by a folder: its file cannot be replaced.
  fs::create_directories(*t.layers[1]);
  const fd::Status layer = PageFiles::writeLayer(layerPicture(384, 288, 0, 255, 0, 144), 2, t, 1);
  ASSERT_FALSE(layer.ok());
  EXPECT_NE(layer.error().find(t.layers[1]->filename().string()), std::string::npos) << layer.error();
  EXPECT_TRUE(fs::exists(*t.snapshot)) << "the other files are still written";
  fs::remove(*t.layers[1]);
  EXPECT_TRUE(PageFiles::writeLayer(layerPicture(384, 288, 0, 255, 0, 144), 2, t, 1).ok());

  fs::remove(*t.icon);
  fs::create_directories(*t.icon);
  EXPECT_FALSE(PageFiles::writeSnapshotAndIcon(layerPicture(384, 288, 0, 255, 0, 144), 2, t, 1).ok());
  const fs::path icon = root() / "bgIcon.png";
  fs::create_directories(icon);
  EXPECT_FALSE(PageFiles::writeBackground(layerPicture(384, 288, 9, 9, 9, 288), {root() / "bg.png", icon}, {}, 1).ok());
  EXPECT_TRUE(fs::exists(root() / "bg.png"));
}

TEST_F(PageFilesTest, BackgroundAndItsIcon) {
  EXPECT_TRUE(PageFiles::writeBackground(layerPicture(768, 576, 9, 9, 9, 576), {root() / "bg.png", root() / "bgIcon.png"}, {}, 2).ok());
  EXPECT_EQ(read(root() / "bg.png").pixelWidth(), 768);
  const gfx::Image icon = read(root() / "bgIcon.png");
  EXPECT_EQ(icon.pixelWidth(), 216);
  EXPECT_EQ(icon.pixelHeight(), 162);
  EXPECT_EQ(icon.pixel(100, 100)[0], 9);
}

// --- how large the files of drawings are, held against libpng's own writer
// with every setting left as it is.

std::size_t libpngDefaultSize(const gfx::Image& picture) {
  gfx::Image straight = picture;
  if (straight.premultiplied()) straight.unpremultiply();
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(straight.pixelWidth());
  image.height = static_cast<png_uint_32>(straight.pixelHeight());
  image.format = PNG_FORMAT_RGBA;
  png_alloc_size_t size = 0;  // no memory given: the size the file takes
  if (!png_image_write_to_memory(&image, nullptr, &size, 0, straight.bytes().data(), 0, nullptr)) return 0;
  return size;
}

// Soft-edged strokes over transparency, premultiplied: waves whose ink falls
// off across them as a bell curve, each in its own colour and strength,
// laid over one another.
gfx::Image softStrokes(int w, int h, unsigned seed) {
  std::mt19937 random(seed);
  auto uniform = [&](float from, float to) { return from + (to - from) * static_cast<float>(random() % 1000) / 1000; };
  std::vector<float> ink(static_cast<std::size_t>(w) * h * 4, 0);
  for (int stroke = 0; stroke < 12; ++stroke) {
    const float colour[3] = {uniform(0, 1), uniform(0, 1), uniform(0, 1)};
    const float strength = uniform(0.6f, 1), middle = uniform(0, static_cast<float>(h)), height = uniform(20, 100);
    const float phase = uniform(0, 6.28f), frequency = uniform(0.005f, 0.015f), width = uniform(2, 6);
    for (int x = 0; x < w; ++x) {
      const float centre = middle + height * std::sin(static_cast<float>(x) * frequency + phase);
      const int from = std::max(0, static_cast<int>(centre - 4 * width));
      const int to = std::min(h - 1, static_cast<int>(centre + 4 * width));
      for (int y = from; y <= to; ++y) {
        const float d = (static_cast<float>(y) - centre) / width, a = strength * std::exp(-d * d / 2);
        float* p = &ink[(static_cast<std::size_t>(y) * w + x) * 4];
        for (int k = 0; k < 3; ++k) p[k] = colour[k] * a + p[k] * (1 - a);
        p[3] = a + p[3] * (1 - a);
      }
    }
  }
  gfx::Image picture(w, h);
  picture.setPremultiplied(true);
  for (std::size_t i = 0; i < ink.size(); ++i)
    picture.pixels()[i] = static_cast<std::uint8_t>(std::lround(ink[i] * 255));
  return picture;
}

class DrawingFilesTest : public PageFilesTest {
 protected:
  void SetUp() override {
    ZTDataModel::resetSharedInstanceForTesting();
    ZTDataModel::sharedInstance().setPrjDataModel(ProjectDataModel::initWithProjectName("drawings"));
    ZTDataModel::sharedInstance().extendDataModel().setCurPage(1);
  }
  void TearDown() override { ZTDataModel::resetSharedInstanceForTesting(); }

  // Slow waves across the page in eight colours, as a hand draws them with
  // the brush type at the size.
  static gfx::Image drawnWaves(DrawsView& view, int brushType, float size, int layer) {
    static constexpr std::uint8_t kColours[8][3] = {{200, 30, 40},  {30, 120, 220}, {40, 170, 60}, {240, 190, 20},
                                                    {130, 50, 170}, {20, 20, 20},   {240, 120, 160}, {90, 60, 30}};
    view.clear();
    view.setBrushType(brushType);
    view.setBrushSize(size);
    for (int i = 0; i < 8; ++i) {
      const std::uint8_t* c = kColours[(i + layer) % 8];
      view.setBrushColor(gfx::Color::rgba8(c[0], c[1], c[2]));
      const float y = static_cast<float>(20 + 33 * i + 9 * layer), height = static_cast<float>(15 + 3 * i);
      const float phase = 0.7f * static_cast<float>(i + layer);
      auto at = [&](int k) {
        const float t = static_cast<float>(k);
        return gfx::Point{12.0f + 3.0f * t, y + height * std::sin(0.4f * t + phase)};
      };
      gfx::Point last = at(0);
      view.touchesBegan({{last, last, 1}});
      for (int k = 1; k < 120; ++k) {
        const gfx::Point p = at(k);
        view.touchesMoved({{p, last, 1}});
        last = p;
      }
      view.touchesEnded({{last, last, 1}});
    }
    auto picture = view.image();
    EXPECT_TRUE(picture);
    return picture ? std::move(*picture) : gfx::Image();
  }

  // Writes both layers of a page as the canvas does; each layer file and
  // the snapshot of both then stay within 1.1 times the size libpng's
  // default writer gives the same pixels.
  void expectFilesNearLibpngSize(const gfx::Image& layer1, const gfx::Image& layer2, const std::string& what) {
    const PageFiles::FrameTargets t = targets();
    ASSERT_TRUE(PageFiles::writeLayer(layer1, 1, t, 2).ok()) << what;
    ASSERT_TRUE(PageFiles::writeLayer(layer2, 2, t, 2).ok()) << what;
    for (const fs::path& file : {*t.layers[0], *t.layers[1], *t.snapshot}) {
      const gfx::Image picture = read(file);
      const std::size_t byLibpng = libpngDefaultSize(picture);
      ASSERT_GT(byLibpng, 0u) << what;
      const double ratio = static_cast<double>(fs::file_size(file)) / static_cast<double>(byLibpng);
      EXPECT_LE(ratio, 1.1) << what << ", " << file.filename() << ": " << fs::file_size(file) << " bytes, libpng "
                            << byLibpng;
    }
  }
};

TEST_F(DrawingFilesTest, FilesOfDrawingsAreNearlyAsSmallAsLibpngsOwn) {
  auto view = DrawsView::initDrawViewWithScaleFactor(2);
  ASSERT_TRUE(view) << "no GL canvas";
  // The soft marker and the tapered brush pen: soft edges, ink laid over ink.
  expectFilesNearLibpngSize(drawnWaves(*view, 2, 50, 1), drawnWaves(*view, 2, 50, 2), "soft marker");
  expectFilesNearLibpngSize(drawnWaves(*view, 5, 80, 1), drawnWaves(*view, 5, 50, 2), "brush pen");
  // The grainy pencil: speckled strokes.
  expectFilesNearLibpngSize(drawnWaves(*view, 1, 30, 1), drawnWaves(*view, 1, 30, 2), "pencil");
  // Bell-curve strokes made here, smoother than any brush tip.
  expectFilesNearLibpngSize(softStrokes(768, 576, 7), softStrokes(768, 576, 8), "generated soft strokes");
}

}  // namespace
