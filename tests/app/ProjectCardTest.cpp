// A project's card in the file panel shows its first page as the desk shows
// it: the drawing over the project's background picture. Where the drawing
// is transparent, the card, the launch screen's preview and the desk show the
// same colour, for a built-in still, a photo imported as a background and a
// background the user painted (transparent where unpainted, over the paper);
// where the drawing is opaque over an opaque background, all three show the
// drawing's colour.
#include <array>
#include <cmath>
#include <optional>
#include <string>

#include "app/AppTestSupport.h"
#include "desk/DeskPalette.h"
#include "platform/graphics/Image.h"

namespace {

using Rgb = std::array<float, 3>;

constexpr float kPageWidth = 384, kPageHeight = 288;

float apart(const Rgb& a, const Rgb& b) {
  return std::max({std::fabs(a[0] - b[0]), std::fabs(a[1] - b[1]), std::fabs(a[2] - b[2])});
}

Rgb paperColour() {
  const gfx::Color paper = desk_palette::kPaper;
  return {paper.r * 255, paper.g * 255, paper.b * 255};
}

// The colour a picture shows over the desk's paper, averaged over a part of
// the page (page points).
std::optional<Rgb> pageColour(const gfx::Image& picture, ui::Rect part) {
  const float sx = picture.pixelWidth() / kPageWidth, sy = picture.pixelHeight() / kPageHeight;
  const Rgb under = paperColour();
  Rgb sum{};
  int n = 0;
  for (int y = static_cast<int>(part.y * sy); y < static_cast<int>((part.y + part.height) * sy); ++y)
    for (int x = static_cast<int>(part.x * sx); x < static_cast<int>((part.x + part.width) * sx); ++x) {
      const std::uint8_t* p = picture.pixel(x, y);
      const float a = p[3] / 255.0f;
      for (int c = 0; c < 3; ++c)
        sum[c] += (picture.premultiplied() ? p[c] : p[c] * a) + under[c] * (1 - a);
      ++n;
    }
  if (n == 0) return std::nullopt;
  for (float& v : sum) v /= n;
  return sum;
}

// How far the mean colour of a part of the page moves when the part is
// shifted by a few points: how much a preview's rounding to its pixels may
// change what it shows there.
float drift(const gfx::Image& picture, ui::Rect part) {
  const std::optional<Rgb> here = pageColour(picture, part);
  float most = 0;
  for (float dy : {-3.0f, 0.0f, 3.0f})
    for (float dx : {-3.0f, 0.0f, 3.0f})
      if (auto moved = pageColour(picture, {part.x + dx, part.y + dy, part.width, part.height}))
        most = std::max(most, apart(*moved, *here));
  return most;
}

// The least opacity of a picture over a part of the page (page points).
int leastAlpha(const gfx::Image& picture, ui::Rect part) {
  const float sx = picture.pixelWidth() / kPageWidth, sy = picture.pixelHeight() / kPageHeight;
  int least = 255;
  for (int y = std::max(0, static_cast<int>(part.y * sy));
       y < std::min(picture.pixelHeight(), static_cast<int>((part.y + part.height) * sy)); ++y)
    for (int x = std::max(0, static_cast<int>(part.x * sx));
         x < std::min(picture.pixelWidth(), static_cast<int>((part.x + part.width) * sx)); ++x)
      least = std::min<int>(least, picture.pixel(x, y)[3]);
  return least;
}

// The screen's colour averaged over a part of the page shown by a view that
// holds the whole page (4 : 3, as every preview of a page is).
Rgb shownColour(const gfx::Image& shot, const ui::View* view, ui::Rect part) {
  const ui::Rect r = view->convertRectTo(view->bounds(), nullptr);
  const float s = ui::Screen::main().scale();
  const float kx = r.width / kPageWidth, ky = r.height / kPageHeight;
  const int x0 = static_cast<int>(std::lround((r.x + part.x * kx) * s));
  const int y0 = static_cast<int>(std::lround((r.y + part.y * ky) * s));
  const int x1 = std::max(x0 + 1, static_cast<int>(std::lround((r.x + (part.x + part.width) * kx) * s)));
  const int y1 = std::max(y0 + 1, static_cast<int>(std::lround((r.y + (part.y + part.height) * ky) * s)));
  Rgb sum{};
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x)
      for (int c = 0; c < 3; ++c) sum[c] += shot.pixel(x, y)[c];
  for (float& v : sum) v /= static_cast<float>((x1 - x0) * (y1 - y0));
  return sum;
}

enum class Kind { ShippedStill, ImportedPhoto, Painted };

class ProjectCardTest : public app_test::AppTest {
 protected:
  FileManagerView* panelOf(DesktopManagerController* desk) {
    return dynamic_cast<FileManagerView*>(desk->fileManeagerView());
  }
  void tapCell(BackgroundView* cell) {
    ASSERT_NE(cell, nullptr);
    tap(cell->selectedButton());
    host->advance(0.5);  // well past a double tap
  }

  // Gives the open project a background of that kind, as the user does.
  void giveBackground(DesktopManagerController* desk, Kind kind) {
    if (kind == Kind::ShippedStill) {
      tapCell(openGallery(desk).cellNamed("SSBackground001"));
      tap(desk->backgroundCloseButton());
      return;
    }
    if (kind == Kind::ImportedPhoto) {
      // What the photo editor hands the gallery: a 384 x 288 picture, here
      // blocks of strong colours.
      gfx::Image photo(384, 288);
      for (int y = 0; y < 288; ++y)
        for (int x = 0; x < 384; ++x) {
          std::uint8_t* p = photo.pixel(x, y);
          p[0] = x < 192 ? 40 : 200;
          p[1] = y < 144 ? 150 : 60;
          p[2] = (x / 96) % 2 ? 210 : 30;
          p[3] = 255;
        }
      BackgroundsView& gallery = openGallery(desk);
      const std::optional<std::string> name = gallery.addBackgroundWithImage(photo);
      ASSERT_TRUE(name.has_value());
      tapCell(gallery.cellNamed(*name));
      tap(desk->backgroundCloseButton());
      return;
    }
    // A new background painted with a broad band in a bright colour of the
    // palette, unlike the drawing's, and back to the foreground and the
    // drawing's colour (the choice of colour outlives the desk).
    paintNewBackground(desk);
    if (HasFatalFailure()) return;
    ExtendDataModel& settings = ZTDataModel::sharedInstance().extendDataModel();
    const int drawingColour = settings.cuColorIndex();
    for (int i = 0; i < ExtendDataModel::kPaletteSize; ++i) {
      settings.setCuColorIndex(i);
      const gfx::Color c = settings.cuColor();
      if (std::max({c.r, c.g, c.b}) > 0.7f && std::min({c.r, c.g, c.b}) < 0.3f) break;
    }
    desk->respondToColorSelected(settings.cuColor());
    for (float y = 180; y <= 250; y += 5) {
      host->drag(onPage(desk, 40, y), onPage(desk, 360, y), 80);
      host->runUntilIdle();
    }
    settings.setCuColorIndex(drawingColour);
    desk->respondToColorSelected(settings.cuColor());
    tap(desk->groundBtn());
    tap(desk->foregroundRowBtn());
    ASSERT_FALSE(settings.isBackground());
    // The layer panel stays up after a row is chosen: a touch outside closes it.
    host->tap({10, 10});
    host->runUntilIdle();
  }

  // A part of the page where the drawing is transparent and the background
  // shows an even colour far from the paper's, for the screens to agree on.
  std::optional<ui::Rect> tellingPart(const gfx::Image& background, const gfx::Image& drawing) {
    const Rgb paper = paperColour();
    std::optional<ui::Rect> best;
    float farthest = 60;  // at least this far from the paper to tell them apart
    for (float y = 12; y + 24 < kPageHeight - 12; y += 8)
      for (float x = 12; x + 24 < kPageWidth - 12; x += 8) {
        const ui::Rect around{x - 8, y - 8, 40, 40};
        const ui::Rect part{x, y, 24, 24};
        const std::optional<Rgb> drawn = pageColour(drawing, around);
        if (!drawn || apart(*drawn, paper) > 1 || drift(background, part) > 4) continue;
        const float d = apart(*pageColour(background, part), paper);
        if (d > farthest) {
          farthest = d;
          best = part;
        }
      }
    return best;
  }

  // A part of the page where the drawing is opaque and even, over a part of
  // the background at least half opaque and of another colour: there the
  // drawing must win.
  std::optional<ui::Rect> inkedPart(const gfx::Image& background, const gfx::Image& drawing) {
    std::optional<ui::Rect> best;
    float farthest = 60;  // the drawing's colour this far from the background's
    for (float y = 12; y + 16 < kPageHeight - 12; y += 4)
      for (float x = 12; x + 16 < kPageWidth - 12; x += 4) {
        const ui::Rect part{x, y, 16, 16};
        // A soft brush leaves its inside a shade short of opaque; the
        // background brush paints a good deal short of it, unevenly.
        if (leastAlpha(drawing, {x - 4, y - 4, 24, 24}) < 250 || leastAlpha(background, part) < 128) continue;
        if (drift(drawing, part) > 4) continue;
        const float d = apart(*pageColour(drawing, part), *pageColour(background, part));
        if (d > farthest) {
          farthest = d;
          best = part;
        }
      }
    return best;
  }

  void checkCase(Kind kind, float scale, bool tall, const char* what) {
    SCOPED_TRACE(std::string(what) + (scale == 2 ? " at 2x" : " at 1x") + (tall ? ", tall" : ""));
    TearDown();
    SetUp();
    ZTLoadingViewController* launch = start(tall, scale);
    DesktopManagerController* desk = openDesk(launch);
    ASSERT_NE(desk, nullptr);
    // A drawing of close strokes in the page's lower left, where a painted
    // background is painted too; the rest of the page is transparent.
    for (float y = 196; y <= 236; y += 4) {
      host->drag(onPage(desk, 50, y), onPage(desk, 160, y), 12);
      host->runUntilIdle();
    }
    giveBackground(desk, kind);
    if (HasFatalFailure()) return;
    ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
    ASSERT_TRUE(project.backgroundFullPath().has_value());

    // The file panel saves the page (its icon) and lists the project.
    tap(desk->fileManagerBtn());
    FileManagerView* panel = panelOf(desk);
    ASSERT_NE(panel, nullptr);
    const auto background = gfx::readImage(*project.backgroundFullPath());
    const auto drawing = gfx::readImage(*project.layFullPathAtPage(1, false, 2));
    ASSERT_TRUE(background && drawing);
    const std::optional<ui::Rect> part = tellingPart(*background, *drawing);
    ASSERT_TRUE(part.has_value()) << "the background has no even part unlike the paper";
    const Rgb expected = *pageColour(*background, *part);
    const std::optional<ui::Rect> inked = inkedPart(*background, *drawing);
    ASSERT_TRUE(inked.has_value()) << "the drawing lies nowhere over an opaque background of another colour";
    const Rgb drawn = *pageColour(*drawing, *inked);

    ProjectsView* projects = panel->projsView();
    ASSERT_EQ(projects->projectNames().size(), 1u);
    ASSERT_NE(projects->cardPreview(0), nullptr);
    host->runUntilIdle();
    const gfx::Image panelShot = host->screenshot();
    const Rgb onCard = shownColour(panelShot, projects->cardPreview(0), *part);
    EXPECT_LT(apart(onCard, expected), 16) << "the card leaves out the background";
    // The drawing lies over it, on the card as on the desk.
    EXPECT_LT(apart(shownColour(panelShot, projects->cardPreview(0), *inked), drawn), 16)
        << "the card lays the background over the drawing";

    tap(panel->closeButton());
    const gfx::Image deskShot = host->screenshot();
    const Rgb onDesk = shownColour(deskShot, desk->canvas(), *part);
    EXPECT_LT(apart(onDesk, expected), 16) << "the desk";
    EXPECT_LT(apart(onDesk, onCard), 16) << "the card and the desk differ";
    EXPECT_LT(apart(shownColour(deskShot, desk->canvas(), *inked), drawn), 16) << "the drawing on the desk";

    tap(desk->backBtn());
    ASSERT_EQ(launch->presentedViewController(), nullptr);
    host->runUntilIdle();
    const gfx::Image launchShot = host->screenshot();
    const Rgb onLaunch = shownColour(launchShot, launch->projectPreview(), *part);
    EXPECT_LT(apart(onLaunch, onCard), 16) << "the card and the launch screen differ";
    EXPECT_LT(apart(shownColour(launchShot, launch->projectPreview(), *inked), drawn), 16)
        << "the launch screen lays the background over the drawing";
    // The page-sized pictures are held no larger than the preview shows them.
    const ProjectPreviewView* preview = launch->projectPreview();
    for (const ui::ImageView* v : {preview->pageView(), preview->drawingView()}) {
      ASSERT_FALSE(v->image().empty());
      EXPECT_LE(v->image().image()->pixelWidth(), std::ceil(preview->bounds().width * scale));
      EXPECT_LE(v->image().image()->pixelHeight(), std::ceil(preview->bounds().height * scale));
    }
  }
};

}  // namespace

TEST_F(ProjectCardTest, ACardShowsItsBuiltInStillUnderTheDrawing) {
  for (float scale : {1.0f, 2.0f}) checkCase(Kind::ShippedStill, scale, false, "a built-in still");
  checkCase(Kind::ShippedStill, 2, true, "a built-in still");
}

TEST_F(ProjectCardTest, ACardShowsAnImportedPhotoUnderTheDrawing) {
  for (float scale : {1.0f, 2.0f}) checkCase(Kind::ImportedPhoto, scale, false, "an imported photo");
}

TEST_F(ProjectCardTest, ACardShowsAPaintedBackgroundOnThePaperUnderTheDrawing) {
  for (float scale : {1.0f, 2.0f}) checkCase(Kind::Painted, scale, false, "a painted background");
}

// A background the user hid is hidden on the desk, so the card and the launch
// screen show the page without it.
TEST_F(ProjectCardTest, AHiddenBackgroundIsLeftOutOfTheCardAsOnTheDesk) {
  ZTLoadingViewController* launch = start();
  DesktopManagerController* desk = openDesk(launch);
  ASSERT_NE(desk, nullptr);
  giveBackground(desk, Kind::ShippedStill);
  ProjectDataModel& project = *ZTDataModel::sharedInstance().prjDataModel();
  tap(desk->groundBtn());
  tap(desk->bgVisibleBtn());
  host->tap({10, 10});
  host->runUntilIdle();
  ASSERT_FALSE(project.isOpenBackground());
  const Rgb paper = paperColour();
  const ui::Rect part{250, 220, 40, 40};  // on the dark hill of the still
  EXPECT_LT(apart(shownColour(host->screenshot(), desk->canvas(), part), paper), 16);
  tap(desk->fileManagerBtn());
  FileManagerView* panel = panelOf(desk);
  ASSERT_NE(panel, nullptr);
  host->runUntilIdle();
  EXPECT_LT(apart(shownColour(host->screenshot(), panel->projsView()->cardPreview(0), part), paper), 16);
  tap(panel->closeButton());
  tap(desk->backBtn());
  host->runUntilIdle();
  EXPECT_LT(apart(shownColour(host->screenshot(), launch->projectPreview(), part), paper), 16);
}
