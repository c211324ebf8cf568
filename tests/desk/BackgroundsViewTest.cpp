// The background gallery opened from the desk's layer panel and driven by
// taps and swipes through the view tree: the grid, the edit bar per kind of
// background, choosing, double taps, deselecting, closing without a choice,
// adding, duplicating and deleting user backgrounds, swiping and scrolling,
// and icons read off the main thread.
#include <array>
#include <cmath>
#include <cstdlib>
#include <functional>

#include "desk/BackgroundsView.h"
#include "desk/DeskPalette.h"
#include "platform/ui/Screen.h"

#include "desk/DeskTestSupport.h"
#include "model/Backgrounds.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"

namespace {

class BackgroundsViewTest : public desk_test::DeskTest {
 protected:
  BackgroundsView& openGallery() {
    if (!desk) start();
    // The layer panel stays up after a row is chosen; open it when it is not.
    if (!desk->layerManager() || desk->layerManager()->isHidden()) tapView(desk->groundBtn());
    tapView(desk->backgroundRowButton());
    EXPECT_EQ(desk->state(), 1);
    return *desk->backgroundsView();
  }
  // A fresh desk on a screen of that scale, its gallery open.
  BackgroundsView& openGalleryAt(float scale) {
    stop();
    start(false, scale);
    return openGallery();
  }
  // The "new" cell's add button pressed: the add dialog, or null.
  ui::View* openAddDialog() {
    tapView(gallery().backgroundsArray().back()->newButton());
    return gallery().newBackgroundView();
  }
  BackgroundsView& gallery() { return *desk->backgroundsView(); }
  // Lets every icon load asked for so far finish and reach the cells.
  void showIcons() {
    gallery().iconLoads().drain();
    host->runUntilIdle();
  }
  // A finger across the gallery's own area, in gallery points.
  void swipe(ui::Point from, ui::Point to) {
    auto screen = [&](ui::Point p) {
      const ui::Rect r = gallery().convertRectTo({p.x, p.y, 0, 0}, nullptr);
      return ui::Point{r.x, r.y};
    };
    host->drag(screen(from), screen(to), 6);
    host->runUntilIdle();
  }
  static std::uint8_t firstGrey(const ui::Picture& p) { return p.image() ? p.image()->pixel(0, 0)[0] : 0; }
  BackgroundView* cell(std::size_t i) { return gallery().backgroundsArray().at(i).get(); }
  void tapCell(BackgroundView* c) {
    tapView(c->selectedButton());
    host->advance(0.5);  // well past a double tap
  }
  void doubleTapCell(BackgroundView* c) {
    tapView(c->selectedButton());
    host->advance(0.05);
    tapView(c->selectedButton());
  }
  static gfx::Image greyPicture(int width, int height, std::uint8_t grey) {
    gfx::Image img(width, height);
    for (std::size_t i = 0; i < img.bytes().size(); i += 4) {
      img.bytes()[i] = img.bytes()[i + 1] = img.bytes()[i + 2] = grey;
      img.bytes()[i + 3] = 255;
    }
    return img;
  }
  // A user background with a picture and icon in the library.
  std::string addUserBackground(std::uint8_t grey = 90) {
    auto name = gallery().addBackgroundWithImage(greyPicture(768, 576, grey));
    EXPECT_TRUE(name.has_value());
    host->advance(1.1);  // the next name gets another time stamp
    return name.value_or("");
  }
  // The colour of the screen's picture at a point, and how far apart two are.
  using Rgb = std::array<int, 3>;
  static Rgb colourAt(const gfx::Image& shot, ui::Point p) {
    const float s = ui::Screen::main().scale();
    const std::uint8_t* px = shot.pixel(static_cast<int>(p.x * s), static_cast<int>(p.y * s));
    return {px[0], px[1], px[2]};
  }
  static int apart(Rgb a, Rgb b) { return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]); }
  static bool sameBytes(const std::filesystem::path& a, const std::filesystem::path& b) {
    auto x = testing_support::fileBytes(a), y = testing_support::fileBytes(b);
    return x && y && *x == *y;
  }
};

TEST_F(BackgroundsViewTest, EightCellsWithoutUserBackgroundsTheNewCellLast) {
  openGallery();
  showIcons();
  ASSERT_EQ(gallery().backgroundsArray().size(), 8u);
  for (std::size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(cell(i)->backgroundName(), std::string(BackgroundsView::kBuiltIn[i]));
    EXPECT_FALSE(cell(i)->imageView()->image().empty()) << "icon of cell " << i;
  }
  EXPECT_FALSE(cell(7)->backgroundName().has_value());
  EXPECT_EQ(cell(7)->frame(), (ui::Rect{330, 83, 108, 81}));
  EXPECT_EQ(cell(5)->frame(), (ui::Rect{110, 83, 108, 81}));
  EXPECT_EQ(gallery().scrollView()->contentSize().height, 2 * 83.0f);
  // The gallery is on screen: the new cell's add button takes the tap.
  EXPECT_FALSE(cell(7)->selectedButton()->isEnabled());
  tapView(cell(7)->newButton());
  ASSERT_NE(gallery().newBackgroundView(), nullptr);
  gallery().createBackground();
  ASSERT_EQ(gallery().backgroundsArray().size(), 9u);
  EXPECT_EQ(model().backgroundArray().size(), 1u);
  EXPECT_EQ(cell(7)->imageType(), kBackgroundUserStill);
  EXPECT_EQ(cell(8)->frame(), (ui::Rect{0, 166, 108, 81}));
}

TEST_F(BackgroundsViewTest, EditBarFollowsTheKindOfTheSelection) {
  openGallery();
  const std::string user = addUserBackground();
  auto enabled = [&](int tag) { return gallery().editButton(tag)->isEnabled(); };
  auto shown = [&] { return !gallery().backgroundEdit()->isHidden() && !gallery().editButton(0)->isHidden(); };

  tapCell(gallery().cellNamed("SDBackground001_"));
  EXPECT_FALSE(shown());
  tapCell(gallery().cellNamed("SCBackground000_"));
  EXPECT_FALSE(shown());
  tapCell(gallery().cellNamed("SSBackground000"));
  EXPECT_TRUE(shown());
  // Only a user's background can be opened, deleted or duplicated.
  EXPECT_FALSE(enabled(BackgroundsView::kTagEdit));
  EXPECT_FALSE(enabled(BackgroundsView::kTagDelete));
  EXPECT_FALSE(enabled(BackgroundsView::kTagDuplicate));
  tapView(gallery().editButton(BackgroundsView::kTagDuplicate));
  EXPECT_EQ(model().backgroundArray().size(), 1u);
  tapCell(gallery().cellNamed(user));
  EXPECT_TRUE(shown());
  EXPECT_TRUE(enabled(0) && enabled(1) && enabled(2));
  // Each button lies whole on the screen with its word readable on it.
  const ui::Rect screen = ui::Screen::main().bounds();
  for (int tag = 0; tag < 3; ++tag) {
    ui::Button* b = gallery().editButton(tag);
    const ui::Rect r = b->convertRectTo(b->bounds(), nullptr);
    EXPECT_LE(r.y + r.height, screen.height) << tag;
    b->layoutIfNeeded();
    const ui::Rect t = b->titleLabel()->frame();
    EXPECT_GE(t.width, b->titleLabel()->sizeThatFits({1000, 100}).width) << tag;
    EXPECT_GE(t.x, 0) << tag;
    EXPECT_LE(t.x + t.width, b->bounds().width) << tag;
  }
  EXPECT_EQ(gallery().countOfSelected(), 1);
  // Pressing the selected cell again deselects it and hides the bar.
  tapCell(gallery().cellNamed(user));
  EXPECT_EQ(gallery().countOfSelected(), 0);
  EXPECT_FALSE(shown());
}

// On either screen at either scale the edit bar's three buttons lie whole
// inside the gallery, its frame and the screen, and each answers right up to
// its right end; the add dialog carries its title.
TEST_F(BackgroundsViewTest, TheEditBarFitsTheScreenAndTheAddDialogHasItsTitle) {
  for (bool tall : {false, true})
    for (float scale : {1.0f, 2.0f}) {
      SCOPED_TRACE(std::string(tall ? "tall" : "short") + (scale == 2 ? " 2x" : " 1x"));
      stop();
      start(tall, scale);
      openGallery();
      const std::string user = addUserBackground();
      tapCell(gallery().cellNamed(user));
      const ui::Rect screen = ui::Screen::main().bounds();
      const ui::Rect panel = gallery().convertRectTo(gallery().bounds(), nullptr);
      ui::View* frame = desk->backgroundCloseButton()->superview();
      ASSERT_NE(frame, nullptr);
      const ui::Rect framed = frame->convertRectTo(frame->bounds(), nullptr);
      for (int tag = 0; tag < 3; ++tag) {
        ui::Button* b = gallery().editButton(tag);
        const ui::Rect r = b->convertRectTo(b->bounds(), nullptr);
        for (const ui::Rect& inside : {screen, panel, framed}) {
          EXPECT_GE(r.x, inside.x) << tag;
          EXPECT_LE(r.x + r.width, inside.x + inside.width) << tag;
          EXPECT_LE(r.y + r.height, inside.y + inside.height) << tag;
        }
      }
      // A tap at the right end of Duplicate duplicates the selection.
      ui::Button* duplicate = gallery().editButton(BackgroundsView::kTagDuplicate);
      const ui::Rect d = duplicate->convertRectTo(duplicate->bounds(), nullptr);
      const std::size_t before = model().backgroundArray().size();
      host->tap({d.x + d.width - 4, d.y + d.height / 2});
      host->runUntilIdle();
      EXPECT_EQ(model().backgroundArray().size(), before + 1);

      // The "new" cell, last in the grid, scrolled into sight.
      const ui::Rect grid = gallery().scrollView()->convertRectTo(gallery().scrollView()->bounds(), nullptr);
      host->drag({grid.x + 200, grid.y + grid.height - 10}, {grid.x + 200, grid.y + 10}, 8);
      host->runUntilIdle();
      tapView(gallery().backgroundsArray().back()->newButton());
      ui::View* dialog = gallery().newBackgroundView();
      ASSERT_NE(dialog, nullptr);
      const ui::Label* title = nullptr;
      std::function<void(ui::View*)> find = [&](ui::View* v) {
        if (auto* l = dynamic_cast<ui::Label*>(v); l && l->text() == fd::Localized("Add Background")) title = l;
        for (const auto& sub : v->subviews()) find(sub.get());
      };
      find(dialog);
      ASSERT_NE(title, nullptr) << "the dialog names itself";
      EXPECT_FALSE(title->isHidden());
      const ui::Rect t = title->convertRectTo(title->bounds(), nullptr);
      EXPECT_NEAR(t.x + t.width / 2, screen.width / 2, 0.5f) << "centred over the box";
      EXPECT_GE(t.y, 69);
      EXPECT_LE(t.y + t.height, 69 + 40);
      gallery().cancel();
    }
}

// The add dialog's Create, Import and Cancel are drawn buttons, brass-edged
// and lit up while pressed, and all three lie on the same ground of the box:
// none straddles an edge of its art.
TEST_F(BackgroundsViewTest, TheAddDialogsButtonsAreDrawnOnOneGroundOfTheBox) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale == 2 ? "2x" : "1x");
    openGalleryAt(scale);
    ui::View* dialog = openAddDialog();
    ASSERT_NE(dialog, nullptr);
    std::vector<ui::Button*> buttons;
    std::function<void(ui::View*)> find = [&](ui::View* v) {
      if (auto* b = dynamic_cast<ui::Button*>(v)) buttons.push_back(b);
      for (const auto& sub : v->subviews()) find(sub.get());
    };
    find(dialog);
    ASSERT_EQ(buttons.size(), 3u);
    for (ui::Button* b : buttons) {
      const ui::Picture normal = b->backgroundImageForState(ui::StateNormal);
      const ui::Picture pressed = b->backgroundImageForState(ui::StateHighlighted);
      ASSERT_FALSE(normal.empty()) << b->currentTitle();
      ASSERT_FALSE(pressed.empty()) << b->currentTitle();
      EXPECT_NE(*normal.image(), *pressed.image()) << b->currentTitle();
    }

    const gfx::Image shot = host->screenshot();
    const ui::Rect first = buttons[0]->convertRectTo(buttons[0]->bounds(), nullptr);
    const Rgb ground = colourAt(shot, {first.x - 6, first.y + first.height / 2});
    for (ui::Button* b : buttons) {
      const ui::Rect r = b->convertRectTo(b->bounds(), nullptr);
      for (float y = r.y + 1; y < r.y + r.height - 1; y += 1)
        EXPECT_LE(apart(colourAt(shot, {r.x - 6, y}), ground), 6) << b->currentTitle() << " beside row " << y;
      // The brass edge along the top, above the title.
      EXPECT_GT(apart(colourAt(shot, {r.x + r.width / 2, r.y + 1.5f}), ground), 60) << b->currentTitle();
    }

    // A finger held on Cancel lights it up; lifted outside, nothing happens.
    const ui::Rect cancel = buttons[2]->convertRectTo(buttons[2]->bounds(), nullptr);
    const ui::Point face{cancel.x + 12, cancel.y + cancel.height / 2};
    host->touchDown(1, face);
    host->runUntilIdle();
    const gfx::Image held = host->screenshot();
    EXPECT_GT(apart(colourAt(held, face), colourAt(shot, face)), 60);
    host->touchMove(1, {10, 10});
    host->touchUp(1, {10, 10});
    host->runUntilIdle();
    EXPECT_NE(gallery().newBackgroundView(), nullptr);
    gallery().cancel();
  }
}

// A background made with Create has no picture until it is painted: its
// cell shows the blank page the desk paints it on, and once painted (a
// picture transparent where nothing is drawn) its strokes on that page.
TEST_F(BackgroundsViewTest, AUsersBackgroundShowsOnTheDesksPaperInItsCell) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale == 2 ? "2x" : "1x");
    openGalleryAt(scale);
    const std::size_t before = model().backgroundArray().size();
    ASSERT_NE(openAddDialog(), nullptr);
    gallery().createBackground();
    ASSERT_EQ(model().backgroundArray().size(), before + 1);
    const std::string name = model().backgroundArray().back();
    showIcons();
    const auto pixelIn = [&](BackgroundView* c, float fx, float fy) {
      ui::View* icon = c->imageView();
      const ui::Rect r = icon->convertRectTo(icon->bounds(), nullptr);
      return colourAt(host->screenshot(), {r.x + r.width * fx, r.y + r.height * fy});
    };
    const Rgb paper{static_cast<int>(std::lround(desk_palette::kPaper.r * 255)),
                    static_cast<int>(std::lround(desk_palette::kPaper.g * 255)),
                    static_cast<int>(std::lround(desk_palette::kPaper.b * 255))};
    const auto near = [](Rgb a, Rgb b) { return apart(a, b) <= 6; };
    for (float f : {0.2f, 0.5f, 0.8f}) EXPECT_TRUE(near(pixelIn(gallery().cellNamed(name), f, f), paper)) << f;

    // Painted: a stroke across the middle of a transparent picture.
    gfx::Image icon(static_cast<int>(BackgroundView::kWidth), static_cast<int>(BackgroundView::kHeight));
    for (int x = 10; x < 98; ++x)
      for (int y = 38; y < 43; ++y) std::copy_n(std::array<std::uint8_t, 4>{20, 20, 20, 255}.data(), 4, icon.pixel(x, y));
    const auto iconPath = model().backgroundIconFullPathWithBackgroundName(name);
    ASSERT_TRUE(iconPath);
    ASSERT_TRUE(gfx::writePNG(*iconPath, icon).ok());
    desk->closeBackgroundView(false);
    openGallery();
    showIcons();
    BackgroundView* painted = gallery().cellNamed(name);
    ASSERT_NE(painted, nullptr);
    EXPECT_TRUE(near(pixelIn(painted, 0.5f, 0.2f), paper));
    const Rgb stroke = pixelIn(painted, 0.5f, 0.5f);
    EXPECT_LT(stroke[0] + stroke[1] + stroke[2], 3 * 80);
    // The program's own pictures cover their cells as before.
    const Rgb shipped = pixelIn(gallery().cellNamed("SSBackground000"), 0.5f, 0.1f);
    EXPECT_FALSE(near(shipped, paper));
    // The next scale starts with the same grid.
    tapCell(painted);
    gallery().deleteSelected();
    ASSERT_EQ(model().backgroundArray().size(), before);
  }
}

// The edit bar's words are bright on a button that acts and faded on one
// that would do nothing: Duplicate on a built-in still picture is faded like
// Edit and Delete, and bright on a user's background.
TEST_F(BackgroundsViewTest, AButtonThatWouldDoNothingLooksDisabled) {
  for (float scale : {1.0f, 2.0f}) {
    SCOPED_TRACE(scale == 2 ? "2x" : "1x");
    openGalleryAt(scale);
    const std::string user = addUserBackground();
    // The brightest pixel of the button's word.
    const auto wordLight = [&](int tag) {
      const gfx::Image shot = host->screenshot();  // lays the button out
      ui::Label* word = gallery().editButton(tag)->titleLabel();
      const ui::Rect r = word->convertRectTo(word->bounds(), nullptr);
      EXPECT_GT(r.width, 20) << tag;
      int light = 0;
      for (int y = static_cast<int>(r.y * scale); y < static_cast<int>((r.y + r.height) * scale); ++y)
        for (int x = static_cast<int>(r.x * scale); x < static_cast<int>((r.x + r.width) * scale); ++x) {
          const std::uint8_t* p = shot.pixel(x, y);
          light = std::max(light, p[0] + p[1] + p[2]);
        }
      return light;
    };
    tapCell(gallery().cellNamed("SSBackground000"));
    ASSERT_FALSE(gallery().editButton(BackgroundsView::kTagDuplicate)->isHidden());
    const int builtInDuplicate = wordLight(BackgroundsView::kTagDuplicate);
    const int builtInEdit = wordLight(BackgroundsView::kTagEdit);
    tapCell(gallery().cellNamed(user));
    const int userDuplicate = wordLight(BackgroundsView::kTagDuplicate);
    EXPECT_GT(userDuplicate, 3 * 200);
    EXPECT_LT(builtInDuplicate, userDuplicate - 3 * 60);
    EXPECT_NEAR(builtInDuplicate, builtInEdit, 3 * 12) << "faded as Edit is";
    gallery().deleteSelected();  // the next scale starts with the same grid
  }
}

TEST_F(BackgroundsViewTest, ChoosingAStillCopiesItIntoTheProject) {
  openGallery();
  tapCell(gallery().cellNamed("SSBackground001"));
  EXPECT_EQ(project().curBackgroundName(), std::string("SSBackground001"));
  ASSERT_TRUE(project().backgroundFullPath().has_value());
  EXPECT_TRUE(sameBytes(*project().backgroundFullPath(),
                        *model().backgroundFullPathWithBackgroundName(std::string("SSBackground001"))));
  tapView(desk->backgroundCloseButton());
  EXPECT_EQ(desk->state(), 0);
  EXPECT_EQ(desk->backgroundCloseButton()->superview(), nullptr);
  // The desk shows the project's copy under the layers.
  EXPECT_FALSE(desk->background()->image().empty());
  // An animated one: the name changes and the still copy is not refreshed.
  openGallery();
  tapCell(gallery().cellNamed("SDBackground000_"));
  tapView(desk->backgroundCloseButton());
  EXPECT_EQ(project().backgroundType(), kBackgroundShippedLoop);
}

// A disk that refuses the project's copy of the picture: the alert says
// what could not be done and why in the user's words, with no file's name
// or the system's message, and the project keeps its background.
TEST_F(BackgroundsViewTest, ABackgroundTheDiskRefusesIsToldInTheUsersWords) {
  for (const auto& [error, why] : {std::pair{ENOSPC, "the disk is full"},
                                   std::pair{EACCES, "the projects folder cannot be written"}}) {
    SCOPED_TRACE(why);
    stop();
    openGallery();
    const std::optional<std::string> before = project().curBackgroundName();
    fd::files::setWriteFaultForTesting([error](const std::filesystem::path&) { return error; });
    tapCell(gallery().cellNamed("SSBackground001"));
    ASSERT_EQ(host->alerts().size(), 1u);
    EXPECT_EQ(host->alerts()[0]->message(), "The background could not be given to \u201c\u2068" +
                                                model().curProjectName() + "\u2069\u201d: " + why +
                                                ".\nThe project keeps the background it had.");
    EXPECT_EQ(project().curBackgroundName(), before);
    ASSERT_TRUE(host->pressAlertButton("OK"));
    // The refused choice is not left chosen: closing the gallery neither
    // tells the refusal again nor, with room again, takes it unasked.
    host->advance(0.5);
    tapView(desk->backgroundCloseButton());
    fd::files::setWriteFaultForTesting({});
    EXPECT_TRUE(host->alerts().empty());
    EXPECT_EQ(project().curBackgroundName(), before);
  }
}

// A picture of the user's, added or duplicated, that the disk refuses: the
// alert says so in the user's words, and no cell or name of a background
// without its picture is left.
TEST_F(BackgroundsViewTest, APictureTheDiskRefusesIsToldAndAddsNoBackground) {
  openGallery();
  const std::string mine = addUserBackground();
  tapCell(gallery().cellNamed(mine));
  const std::size_t cells = gallery().backgroundsArray().size();
  const std::vector<std::string> names = model().backgroundArray();
  const std::filesystem::path folder = model().backgroundFullPathWithBackgroundName(mine)->parent_path();
  const std::vector<std::string> files = fd::files::contentsOfDirectory(folder);
  for (const auto& [add, said] : std::vector<std::pair<std::function<void()>, std::string>>{
           {[&] { EXPECT_FALSE(gallery().addBackgroundWithImage(greyPicture(768, 576, 40))); },
            "The picture could not be added to the backgrounds: the disk is full."},
           {[&] { tapView(gallery().editButton(BackgroundsView::kTagDuplicate)); },
            "The background could not be duplicated: the disk is full."}}) {
    fd::files::setWriteFaultForTesting([](const std::filesystem::path&) { return ENOSPC; });
    add();
    fd::files::setWriteFaultForTesting({});
    ASSERT_EQ(host->alerts().size(), 1u) << said;
    EXPECT_EQ(host->alerts()[0]->message(), said);
    ASSERT_TRUE(host->pressAlertButton("OK"));
    host->advance(0.5);  // the alert gone, touches reach the gallery again
    EXPECT_EQ(gallery().backgroundsArray().size(), cells);
    EXPECT_EQ(model().backgroundArray(), names);
    EXPECT_EQ(fd::files::contentsOfDirectory(folder), files);
  }
}

// Fault: closing with nothing selected attached "no background", which
// deleted the project's copy of its picture.
TEST_F(BackgroundsViewTest, ClosingWithoutAChoiceKeepsTheProjectsBackground) {
  openGallery();
  const std::string user = addUserBackground(120);
  tapCell(gallery().cellNamed(user));
  tapView(desk->backgroundCloseButton());
  ASSERT_EQ(project().curBackgroundName(), user);
  const auto copy = *project().backgroundFullPath();
  ASSERT_TRUE(fd::files::exists(copy));

  openGallery();
  EXPECT_TRUE(gallery().cellNamed(user)->selected());
  tapCell(gallery().cellNamed(user));  // deselected: no choice left
  EXPECT_EQ(gallery().selectedBackgroundName(), std::nullopt);
  tapView(desk->backgroundCloseButton());
  EXPECT_EQ(project().curBackgroundName(), user);
  EXPECT_TRUE(fd::files::exists(copy));
  EXPECT_FALSE(desk->background()->image().empty());
  EXPECT_FALSE(settings().isBackground());
}

// Fault: deselecting a cell set background mode without the desk entering
// it, and a double tap removed the desk's view instead of taking the Edit
// path.
TEST_F(BackgroundsViewTest, DeselectingNeverHalfEntersBackgroundMode) {
  openGallery();
  const std::string user = addUserBackground();
  tapCell(gallery().cellNamed(user));
  tapCell(gallery().cellNamed(user));
  EXPECT_FALSE(gallery().cellNamed(user)->selected());
  EXPECT_FALSE(settings().isBackground());
  tapView(desk->backgroundCloseButton());
  EXPECT_FALSE(settings().isBackground());
  // The desk still saves pages, not a background.
  EXPECT_NE(desk->pageIndicator()->text(), "");
  EXPECT_FALSE(desk->pageIndicator()->isHidden());
}

TEST_F(BackgroundsViewTest, DoubleTapOnAUserBackgroundOpensItLikeEdit) {
  openGallery();
  const std::string user = addUserBackground();
  doubleTapCell(gallery().cellNamed(user));
  EXPECT_TRUE(settings().isBackground());
  EXPECT_EQ(settings().backgroundName(), user);
  // The Edit path: the panel closed, the background attached, the desk in the mode.
  EXPECT_EQ(desk->state(), 0);
  EXPECT_EQ(desk->backgroundCloseButton()->superview(), nullptr);
  EXPECT_NE(desk->view()->window(), nullptr);
  EXPECT_EQ(project().curBackgroundName(), user);
  EXPECT_EQ(desk->pageIndicator()->text(), "001/001");
  EXPECT_TRUE(desk->pageIndicator()->isHidden());
  EXPECT_TRUE(desk->frameManagerBtn()->isHidden());
}

TEST_F(BackgroundsViewTest, DoubleTapOnABuiltInJustTogglesTwice) {
  openGallery();
  BackgroundView* still = gallery().cellNamed("SSBackground002");
  doubleTapCell(still);
  EXPECT_FALSE(settings().isBackground());
  EXPECT_FALSE(still->selected());
  EXPECT_EQ(desk->state(), 1);
}

TEST_F(BackgroundsViewTest, EditButtonOpensTheSelectedUserBackground) {
  openGallery();
  const std::string user = addUserBackground();
  tapCell(gallery().cellNamed(user));
  tapView(gallery().editButton(BackgroundsView::kTagEdit));
  EXPECT_TRUE(settings().isBackground());
  EXPECT_EQ(settings().backgroundName(), user);
  EXPECT_EQ(desk->state(), 0);
}

TEST_F(BackgroundsViewTest, DuplicateAndDeleteTouchOnlyUserBackgrounds) {
  openGallery();
  const std::string first = addUserBackground(30);
  const std::string second = addUserBackground(60);
  tapCell(gallery().cellNamed(first));
  tapView(gallery().editButton(BackgroundsView::kTagDuplicate));
  ASSERT_EQ(model().backgroundArray().size(), 3u);
  const std::string copy = model().backgroundArray()[1];
  EXPECT_NE(copy, first);
  EXPECT_EQ(model().backgroundArray()[2], second);
  EXPECT_EQ(gallery().backgroundsArray()[8]->backgroundName(), copy);
  EXPECT_TRUE(sameBytes(*model().backgroundFullPathWithBackgroundName(first),
                        *model().backgroundFullPathWithBackgroundName(copy)));

  // Only built-ins selected: nothing changes on disk or in the list.
  tapCell(gallery().cellNamed("SSBackground000"));
  const auto builtIn = *model().backgroundFullPathWithBackgroundName(std::string("SSBackground000"));
  gallery().deleteSelected();
  EXPECT_TRUE(fd::files::exists(builtIn));
  EXPECT_EQ(model().backgroundArray().size(), 3u);
  EXPECT_EQ(gallery().backgroundsArray().size(), 11u);

  tapCell(gallery().cellNamed(copy));
  ASSERT_TRUE(gallery().canDelete());
  const auto copyPicture = *model().backgroundFullPathWithBackgroundName(copy);
  gallery().deleteSelected();
  EXPECT_FALSE(fd::files::exists(copyPicture));
  EXPECT_EQ(model().backgroundArray(), (std::vector<std::string>{first, second}));
  EXPECT_EQ(gallery().cellNamed(copy), nullptr);
  EXPECT_EQ(gallery().backgroundsArray().size(), 10u);
}

TEST_F(BackgroundsViewTest, IconsAreReadOffTheMainThreadAndSetOnIt) {
  openGallery();
  showIcons();
  // Hold the icon queue: the main thread goes on without the icon.
  fd::Semaphore gate(0);
  gallery().iconLoads().async([&gate] { gate.wait(); });
  const std::string user = addUserBackground(70);
  BackgroundView* cell = gallery().cellNamed(user);
  ASSERT_NE(cell, nullptr);
  host->runUntilIdle();
  EXPECT_TRUE(cell->imageView()->image().empty());
  EXPECT_TRUE(cell->isLoadingIcon());
  gate.signal();
  showIcons();
  EXPECT_FALSE(cell->isLoadingIcon());
  ASSERT_FALSE(cell->imageView()->image().empty());
  EXPECT_EQ(cell->imageView()->image().size(), (ui::Size{108, 81}));
  EXPECT_EQ(firstGrey(cell->imageView()->image()), 70);
}

// A load answered after the cell moved on to something newer is dropped.
TEST_F(BackgroundsViewTest, AStaleIconNeverReplacesANewerOne) {
  openGallery();
  const std::string dark = addUserBackground(20);
  const std::string light = addUserBackground(220);
  showIcons();
  fd::Semaphore gate(0);

  // Emptied while the icon of its old name was on its way.
  BackgroundView* cell = gallery().cellNamed(dark);
  gallery().iconLoads().async([&gate] { gate.wait(); });
  cell->setBackgroundName(light);
  cell->setBackgroundName(std::nullopt);
  gate.signal();
  showIcons();
  EXPECT_TRUE(cell->imageView()->image().empty());

  // Named again afterwards: the new name's icon comes.
  cell->setBackgroundName(dark);
  showIcons();
  EXPECT_EQ(firstGrey(cell->imageView()->image()), 20);

  // A cell deleted with its load on the way: the answer finds no cell.
  BackgroundView* doomed = gallery().cellNamed(light);
  tapCell(doomed);
  gallery().iconLoads().async([&gate] { gate.wait(); });
  doomed->setBackgroundName(light);
  gallery().deleteSelected();
  EXPECT_EQ(gallery().cellNamed(light), nullptr);
  gate.signal();
  showIcons();
  EXPECT_EQ(gallery().backgroundsArray().size(), 9u);
}

// An icon written anew while the gallery is up (as painting a background
// writes it) shows once the grid is laid out again: when a background is
// added, deleted or duplicated. A cell kept the icon it read first.
TEST_F(BackgroundsViewTest, EachLayoutShowsTheIconsAsTheyAreOnDisk) {
  openGallery();
  const std::string user = addUserBackground(20);
  showIcons();
  ASSERT_EQ(firstGrey(gallery().cellNamed(user)->imageView()->image()), 20);
  auto repaintIcon = [&](std::uint8_t grey) {
    ASSERT_TRUE(gfx::writePNG(*model().backgroundIconFullPathWithBackgroundName(user), greyPicture(108, 81, grey)));
  };
  auto shown = [&] {
    showIcons();
    return firstGrey(gallery().cellNamed(user)->imageView()->image());
  };

  repaintIcon(200);
  ASSERT_NE(openAddDialog(), nullptr);
  gallery().createBackground();
  EXPECT_EQ(shown(), 200) << "after a background was added";

  repaintIcon(120);
  tapCell(gallery().backgroundsArray()[gallery().backgroundsArray().size() - 2].get());
  gallery().deleteSelected();
  EXPECT_EQ(shown(), 120) << "after a background was deleted";

  repaintIcon(60);
  tapCell(gallery().cellNamed(user));
  gallery().duplicate();
  EXPECT_EQ(shown(), 60) << "after a background was duplicated";
}

TEST_F(BackgroundsViewTest, SwipesOverTheGalleryTurnBackAndLayTheGridOut) {
  openGallery();
  EXPECT_EQ(gallery().curPage(), 1);
  // The strip above the grid belongs to the gallery itself.
  const float y = 7;
  gallery().setCurPage(3);
  swipe({120, y}, {300, y});
  EXPECT_EQ(gallery().curPage(), 2);
  swipe({120, y}, {300, y});
  EXPECT_EQ(gallery().curPage(), 1);
  swipe({120, y}, {300, y});
  EXPECT_EQ(gallery().curPage(), 1);  // never below the first
  // A page on lays the grid out again: a cell knocked out of place returns.
  gallery().setCurPage(2);
  cell(2)->setFrame({400, 400, 108, 81});
  swipe({300, y}, {120, y});
  EXPECT_EQ(gallery().curPage(), 2);
  EXPECT_EQ(cell(2)->frame(), (ui::Rect{220, 0, 108, 81}));
  // Ten points or less, or up and down, is no swipe.
  swipe({200, y}, {210, y});
  swipe({200, 2}, {200, 14});
  EXPECT_EQ(gallery().curPage(), 2);
}

TEST_F(BackgroundsViewTest, TheGridScrollsToBackgroundsBelowTheFirstRows) {
  openGallery();
  for (int i = 0; i < 14; ++i) {
    gallery().createBackground();
    host->advance(1.1);  // each name its own time stamp
  }
  ASSERT_EQ(gallery().backgroundsArray().size(), 22u);
  EXPECT_EQ(gallery().scrollView()->contentSize().height, 6 * 83.0f);
  const std::string last = model().backgroundArray().back();
  BackgroundView* far = gallery().cellNamed(last);
  ASSERT_EQ(far->frame(), (ui::Rect{0, 5 * 83.0f, 108, 81}));
  // A drag up over the grid scrolls it (it does not turn the gallery's page).
  const ui::Rect grid = gallery().scrollView()->convertRectTo(gallery().scrollView()->bounds(), nullptr);
  gallery().setCurPage(2);
  host->drag({grid.x + 200, grid.y + grid.height - 10}, {grid.x + 200, grid.y + 10}, 8);
  host->runUntilIdle();
  EXPECT_GT(gallery().scrollView()->contentOffset().y, 150);
  EXPECT_EQ(gallery().curPage(), 2);
  host->drag({grid.x + 200, grid.y + grid.height - 10}, {grid.x + 200, grid.y + 10}, 8);
  host->runUntilIdle();
  EXPECT_EQ(gallery().scrollView()->contentOffset().y, 6 * 83.0f - gallery().scrollView()->bounds().height);
  // The last background, out of sight at first, is now a tap away.
  tapCell(far);
  EXPECT_TRUE(far->selected());
  EXPECT_EQ(gallery().selectedBackgroundName(), last);
}

}  // namespace
