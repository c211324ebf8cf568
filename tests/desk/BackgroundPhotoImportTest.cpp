// Importing album photos as backgrounds: the photos a user really has
// (baseline, progressive and grey JPEG, a JPEG turned by its EXIF
// orientation, grey, palette and 16-bit PNG) read upright; the editor's
// window and fit; the whole road from the gallery's Import button through the
// album picker and the editor to a 384 x 288 user background; and pictures
// that cannot be read refused with a message, changing nothing.
#include "desk/BackgroundPhotoImport.h"

#include <algorithm>
#include <cmath>

#include "desk/BackgroundsView.h"
#include "desk/DeskTestSupport.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Paths.h"

namespace {

namespace bi = background_import;

std::filesystem::path data(const char* name) { return std::filesystem::path(FLIPDESK_TEST_DATA) / name; }

double luma(const std::uint8_t* p) { return 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2]; }

TEST(BackgroundPhotoReadTest, PhotosOfEveryCommonKindReadUpright) {
  struct Case {
    const char* file;
    int width, height;
  };
  constexpr Case kCases[] = {
      {"bg_rocket.jpg", 640, 427},         {"bg_rocket_progressive.jpg", 640, 427},
      {"bg_rocket_grey.jpg", 640, 427},    {"bg_rocket_rotated.jpg", 427, 640},
      {"bg_coins_grey.png", 384, 303},     {"bg_green_palette.png", 320, 240},
      {"bg_chessboard_16bit.png", 200, 200}, {"bg_rocket_cmyk.jpg", 640, 427},
      {"bg_cat_interlaced.png", 150, 100},
  };
  for (const Case& c : kCases) {
    auto photo = bi::readPhoto(data(c.file));
    ASSERT_TRUE(photo.ok()) << c.file << ": " << photo.error();
    EXPECT_EQ(photo->pixelWidth(), c.width) << c.file;
    EXPECT_EQ(photo->pixelHeight(), c.height) << c.file;
  }
  // The progressive and grey files carry the same photo as the baseline one.
  auto base = bi::readPhoto(data("bg_rocket.jpg"));
  auto progressive = bi::readPhoto(data("bg_rocket_progressive.jpg"));
  auto grey = bi::readPhoto(data("bg_rocket_grey.jpg"));
  auto turned = bi::readPhoto(data("bg_rocket_rotated.jpg"));
  auto cmyk = bi::readPhoto(data("bg_rocket_cmyk.jpg"));
  ASSERT_TRUE(base.ok() && progressive.ok() && grey.ok() && turned.ok() && cmyk.ok());
  double diffP = 0, diffG = 0, diffT = 0, diffC = 0;
  int n = 0;
  for (int y = 0; y < 427; y += 7)
    for (int x = 0; x < 640; x += 7, ++n) {
      diffP += std::fabs(luma(base->pixel(x, y)) - luma(progressive->pixel(x, y)));
      diffG += std::fabs(luma(base->pixel(x, y)) - luma(grey->pixel(x, y)));
      // Orientation 6: the stored row y is the upright column 426 - y.
      diffT += std::fabs(luma(base->pixel(x, y)) - luma(turned->pixel(426 - y, x)));
      // Ink values stored the inverted way an APP14 "Adobe" segment announces.
      for (int ch = 0; ch < 3; ++ch) diffC += std::abs(base->pixel(x, y)[ch] - cmyk->pixel(x, y)[ch]) / 3.0;
    }
  EXPECT_LT(diffP / n, 1.0);
  EXPECT_LT(diffG / n, 3.0);
  EXPECT_LT(diffT / n, 1.0);
  EXPECT_LT(diffC / n, 4.0);
  // The interlaced PNG is the same cat as the plain one it was written from.
  auto plain = bi::readPhoto(data("gpu_cat.png"));
  auto interlaced = bi::readPhoto(data("bg_cat_interlaced.png"));
  ASSERT_TRUE(plain.ok() && interlaced.ok());
  for (int y = 0; y < 100; y += 9)
    for (int x = 0; x < 150; x += 9)
      for (int ch = 0; ch < 4; ++ch) EXPECT_EQ(plain->pixel(x, y)[ch], interlaced->pixel(x, y)[ch]);
  const std::uint8_t* g = grey->pixel(320, 200);
  EXPECT_EQ(g[0], g[1]);
  EXPECT_EQ(g[1], g[2]);
}

TEST(BackgroundPhotoReadTest, LargePhotosAreReadSmallerWholeAndUpright) {
  auto dir = testing_support::makeTempDir("bgimport_large");
  auto base = gfx::readImage(data("bg_rocket.jpg"));
  ASSERT_TRUE(base.ok());
  // A camera-sized JPEG and a PNG wider than the longest side kept.
  const gfx::Image large = base->scaledTo(4096, 2731);
  auto jpeg = gfx::encodeJPEG(large, 0.85f);
  ASSERT_TRUE(jpeg.ok());
  ASSERT_TRUE(fd::files::writeFileAtomically(dir / "camera.jpg", *jpeg));
  ASSERT_TRUE(gfx::writePNG(dir / "wide.png", base->scaledTo(5000, 300), 1));
  for (const char* file : {"camera.jpg", "wide.png"}) {
    auto photo = bi::readPhoto(dir / file);
    ASSERT_TRUE(photo.ok()) << file << ": " << photo.error();
    EXPECT_LE(std::max(photo->pixelWidth(), photo->pixelHeight()), bi::kLongestSide) << file;
    EXPECT_GE(std::max(photo->pixelWidth(), photo->pixelHeight()), bi::kLongestSide / 2) << file;
  }
  // The reduced camera photo still shows the same picture.
  auto photo = bi::readPhoto(dir / "camera.jpg");
  ASSERT_TRUE(photo.ok());
  double diff = 0;
  int n = 0;
  for (int y = 10; y < 420; y += 20)
    for (int x = 10; x < 630; x += 20, ++n) {
      const int px = x * photo->pixelWidth() / 640, py = y * photo->pixelHeight() / 427;
      diff += std::fabs(luma(base->pixel(x, y)) - luma(photo->pixel(px, py)));
    }
  EXPECT_LT(diff / n, 12.0);
  std::filesystem::remove_all(dir);
}

TEST(BackgroundPhotoReadTest, UnreadablePicturesFailWithTheirName) {
  auto dir = testing_support::makeTempDir("bgimport");
  const auto empty = dir / "empty.jpg", text = dir / "notes.png";
  ASSERT_TRUE(fd::files::writeFileAtomically(empty, std::string()));
  ASSERT_TRUE(fd::files::writeFileAtomically(text, std::string("not a picture at all")));
  for (const auto& p : {empty, text, data("bg_truncated.jpg"), dir / "missing.jpg"}) {
    auto photo = bi::readPhoto(p);
    if (p.filename() == "bg_truncated.jpg" && photo.ok()) {
      // A decoder may fill the missing rows; what comes back is still whole.
      EXPECT_EQ(photo->pixelWidth(), 100);
      continue;
    }
    ASSERT_FALSE(photo.ok()) << p;
    EXPECT_NE(photo.error().find(p.filename().string()), std::string::npos) << photo.error();
  }
  std::filesystem::remove_all(dir);
}

TEST(BackgroundPhotoReadTest, WindowAndFit) {
  // A 320 x 460 view: the window is a full-width 4 : 3 band, centred.
  EXPECT_EQ(bi::clipRectForViewSize({320, 460}, {384, 288}), (ui::Rect{0, 110, 320, 240}));
  EXPECT_EQ(bi::clipRectForViewSize({480, 320}, {384, 288}), (ui::Rect{27, 0, 426, 320}));
  const ui::Rect window{0, 110, 320, 240};
  // Pinched smaller than the window: springs back to cover it.
  const ui::Rect small = bi::fittedPhotoFrame({100, 150, 160, 107}, window, {640, 427});
  EXPECT_GE(small.width, 320 - 0.01f);
  EXPECT_GE(small.height, 240 - 0.01f);
  EXPECT_LE(small.x, 0);
  EXPECT_GE(small.x + small.width, 320 - 0.01f);
  EXPECT_LE(small.y, 110);
  EXPECT_GE(small.y + small.height, 350 - 0.01f);
  // Dragged away leaving a gap: pulled back, size kept.
  const ui::Rect moved = bi::fittedPhotoFrame({90, 100, 480, 320}, window, {640, 427});
  EXPECT_EQ(moved, (ui::Rect{0, 100, 480, 320}));
  // Far larger than 1.5 times its own size: brought back, still covering.
  const ui::Rect huge = bi::fittedPhotoFrame({-2000, -2000, 4000, 2670}, window, {100, 67});
  EXPECT_GE(huge.width, 320 - 0.01f);
  EXPECT_GE(huge.height, 240 - 0.01f);
  EXPECT_LT(huge.width, 4000);
}

class BackgroundImportFlowTest : public desk_test::DeskTest {
 protected:
  BackgroundsView& openImport() {
    start();
    if (!desk->layerManager() || desk->layerManager()->isHidden()) tapView(desk->groundBtn());
    tapView(desk->backgroundRowButton());
    BackgroundsView& g = *desk->backgroundsView();
    tapView(g.backgroundsArray().back()->newButton());
    g.selectedBackground();
    host->runUntilIdle();
    return g;
  }
  // Puts a test photo in the album and picks it there.
  bool pick(SelectedBackgroundViewController& picker, const char* file) {
    const auto album = fd::paths::documents() / "Pictures";
    fd::files::createDirectory(album);
    EXPECT_TRUE(fd::files::copyItem(data(file), album / file));
    const bool picked = picker.pickFile(album / file);
    host->runUntilIdle();
    return picked;
  }
};

TEST_F(BackgroundImportFlowTest, ATurnedPhotoBecomesAnUprightCropOfTheWindow) {
  BackgroundsView& g = openImport();
  SelectedBackgroundViewController* picker = g.importPicker();
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(desk->presentedViewController(), picker);
  ASSERT_TRUE(pick(*picker, "bg_rocket_rotated.jpg"));
  auto* editor = dynamic_cast<BackgroundEditController*>(picker->topViewController());
  ASSERT_NE(editor, nullptr);
  host->advance(0.5);
  // The portrait photo covers the window's width, centred.
  const ui::Rect window = editor->imageRect(), photo = editor->imageView()->frame();
  EXPECT_NEAR(photo.width, window.width, 0.5);
  EXPECT_NEAR(photo.y + photo.height / 2, window.y + window.height / 2, 0.5);
  editor->ok();
  host->advance(1.0);
  ASSERT_EQ(model().backgroundArray().size(), 1u);
  const std::string name = model().backgroundArray()[0];
  auto picture = gfx::readImage(*model().backgroundFullPathWithBackgroundName(name));
  auto icon = gfx::readImage(*model().backgroundIconFullPathWithBackgroundName(name));
  ASSERT_TRUE(picture && icon);
  EXPECT_EQ(picture->pixelWidth(), 384);
  EXPECT_EQ(picture->pixelHeight(), 288);
  EXPECT_EQ(icon->pixelWidth(), 108);
  EXPECT_EQ(icon->pixelHeight(), 81);
  // Compare with the stored photo turned by hand: upright column u is stored
  // row 426 - u; the window shows the middle band of the upright photo.
  auto stored = gfx::readImage(data("bg_rocket.jpg"));
  ASSERT_TRUE(stored.ok());
  const double s = 427.0 / 384, top = (640 - 288 * s) / 2;
  double diff = 0;
  int n = 0;
  for (int v = 4; v < 284; v += 8)
    for (int u = 4; u < 380; u += 8, ++n) {
      const int ux = static_cast<int>(u * s), uy = static_cast<int>(top + v * s);
      diff += std::fabs(luma(picture->pixel(u, v)) - luma(stored->pixel(uy, 426 - ux)));
    }
  EXPECT_LT(diff / n, 12.0);
  EXPECT_EQ(desk->presentedViewController(), nullptr);
  EXPECT_NE(g.cellNamed(name), nullptr);
}

TEST_F(BackgroundImportFlowTest, DraggingAndPinchingThePhotoChangesWhatTheWindowShows) {
  BackgroundsView& g = openImport();
  SelectedBackgroundViewController* picker = g.importPicker();
  ASSERT_TRUE(pick(*picker, "bg_rocket_rotated.jpg"));
  auto* editor = dynamic_cast<BackgroundEditController*>(picker->topViewController());
  ASSERT_NE(editor, nullptr);
  host->advance(0.5);
  const ui::Rect window = editor->imageRect();
  const ui::Rect before = editor->imageView()->frame();
  auto toScreen = [&](float x, float y) {
    const ui::Rect r = editor->view()->convertRectTo({x, y, 0, 0}, nullptr);
    return ui::Point{r.x, r.y};
  };
  // One finger down by 40 points: the photo follows, the window shows more of its top.
  host->drag(toScreen(200, 100), toScreen(200, 140), 4);
  host->advance(0.5);
  const ui::Rect moved = editor->imageView()->frame();
  EXPECT_GT(moved.y, before.y + 30);
  EXPECT_LE(moved.y, window.y);  // never a gap above the photo
  EXPECT_EQ(moved.width, before.width);
  // A drag far to the side is pulled back: the photo still covers the window.
  host->drag(toScreen(100, 150), toScreen(400, 150), 4);
  host->advance(0.5);
  const ui::Rect side = editor->imageView()->frame();
  EXPECT_LE(side.x, window.x + 0.01f);
  EXPECT_GE(side.x + side.width, window.x + window.width - 0.01f);
  // Two fingers spreading apart: the photo grows about its centre.
  const ui::Point a0 = toScreen(180, 150), b0 = toScreen(260, 150);
  host->touches({{1, a0, ui::TouchPhase::Began}, {2, b0, ui::TouchPhase::Began}});
  for (int i = 1; i <= 4; ++i)
    host->touches({{1, {a0.x - 20.0f * i, a0.y}, ui::TouchPhase::Moved}, {2, {b0.x + 20.0f * i, b0.y}, ui::TouchPhase::Moved}});
  host->touches({{1, {a0.x - 80, a0.y}, ui::TouchPhase::Ended}, {2, {b0.x + 80, b0.y}, ui::TouchPhase::Ended}});
  host->advance(0.5);
  const ui::Rect pinched = editor->imageView()->frame();
  EXPECT_GT(pinched.width, side.width * 1.2f);
  EXPECT_NEAR(pinched.height / pinched.width, side.height / side.width, 0.01);
  // OK crops exactly what the window shows of the photo where it now lies.
  const ui::Rect last = editor->imageView()->frame();
  editor->ok();
  host->advance(1.0);
  ASSERT_EQ(model().backgroundArray().size(), 1u);
  auto picture = gfx::readImage(*model().backgroundFullPathWithBackgroundName(model().backgroundArray()[0]));
  auto stored = gfx::readImage(data("bg_rocket.jpg"));
  ASSERT_TRUE(picture && stored);
  const double perPixel = 427.0 / last.width;  // photo pixels per view point
  double diff = 0;
  int n = 0;
  for (int v = 8; v < 280; v += 16)
    for (int u = 8; u < 376; u += 16, ++n) {
      const double vx = window.x + u * window.width / 384, vy = window.y + v * window.width / 384;
      const int ux = std::clamp(static_cast<int>((vx - last.x) * perPixel), 0, 426);
      const int uy = std::clamp(static_cast<int>((vy - last.y) * perPixel), 0, 639);
      diff += std::fabs(luma(picture->pixel(u, v)) - luma(stored->pixel(uy, 426 - ux)));
    }
  EXPECT_LT(diff / n, 14.0);
}

TEST_F(BackgroundImportFlowTest, PhotosOfOtherSizesGiveThePageSizedPicture) {
  BackgroundsView& g = openImport();
  for (const char* file : {"bg_coins_grey.png", "bg_green_palette.png", "bg_chessboard_16bit.png"}) {
    SelectedBackgroundViewController* picker = g.importPicker();
    ASSERT_TRUE(pick(*picker, file)) << file;
    auto* editor = dynamic_cast<BackgroundEditController*>(picker->topViewController());
    ASSERT_NE(editor, nullptr);
    host->advance(0.5);
    editor->ok();
    host->advance(1.0);
    const std::string name = model().backgroundArray().back();
    auto picture = gfx::readImage(*model().backgroundFullPathWithBackgroundName(name));
    ASSERT_TRUE(picture.ok()) << file;
    EXPECT_EQ(picture->pixelWidth(), 384);
    EXPECT_EQ(picture->pixelHeight(), 288);
    // The window is covered: no transparent corner.
    EXPECT_EQ(picture->pixel(0, 0)[3], 255) << file;
    EXPECT_EQ(picture->pixel(383, 287)[3], 255) << file;
    tapView(g.backgroundsArray().back()->newButton());
    g.selectedBackground();
    host->runUntilIdle();
  }
  EXPECT_EQ(model().backgroundArray().size(), 3u);
}

TEST_F(BackgroundImportFlowTest, AnUnreadablePictureIsRefusedWithAMessage) {
  BackgroundsView& g = openImport();
  SelectedBackgroundViewController* picker = g.importPicker();
  const auto album = fd::paths::documents() / "Pictures";
  fd::files::createDirectory(album);
  ASSERT_TRUE(fd::files::writeFileAtomically(album / "empty.jpg", std::string()));
  ASSERT_TRUE(fd::files::writeFileAtomically(album / "notes.png", std::string("not a picture at all")));
  // Each refusal is told in an alert that names the file.
  for (const char* file : {"empty.jpg", "notes.png"}) {
    const std::size_t alerts = host->alerts().size();
    EXPECT_FALSE(picker->pickFile(album / file));
    host->runUntilIdle();
    EXPECT_NE(picker->lastFailure().find(file), std::string::npos) << picker->lastFailure();
    ASSERT_EQ(host->alerts().size(), alerts + 1) << file;
    EXPECT_NE(host->alerts().back()->message().find(file), std::string::npos) << host->alerts().back()->message();
    EXPECT_TRUE(host->pressAlertButton(0));
    host->runUntilIdle();
    EXPECT_EQ(host->alerts().size(), alerts);
    EXPECT_EQ(dynamic_cast<BackgroundEditController*>(picker->topViewController()), nullptr);
  }
  EXPECT_TRUE(model().backgroundArray().empty());
  EXPECT_TRUE(fd::files::contentsOfDirectory(model().backgroundPath()).empty());
  // Cancelling closes the picker through the gallery.
  picker->cancel();
  host->advance(1.0);
  EXPECT_EQ(desk->presentedViewController(), nullptr);
}

}  // namespace
