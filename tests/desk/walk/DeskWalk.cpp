#include "desk/walk/DeskWalk.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <thread>
#include <tuple>

#include "desk/BackgroundsView.h"
#include "desk/DeskArt.h"
#include "desk/DeskCanvasView.h"
#include "desk/GraphToolView.h"
#include "desk/frames/FrameMenu.h"
#include "desk/frames/ShowSimpleView.h"
#include "desk/frames/SoundTrack.h"
#include "desk/frames/ZTPaperView.h"
#include "desk/frames/ZTPicManagerView.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Localized.h"
#include "platform/ui/Application.h"
#include "platform/ui/Screen.h"
#include "platform/ui/Window.h"

namespace desk_walk {

namespace {

// Colours of the palette far enough apart to be told from each other and
// from the paper on screen, 0-based palette indices.
constexpr int kColours[] = {43, 12, 14, 16, 20, 22};
constexpr int kMaxFrames = 12;
// A finger moves 8 points a sixtieth of a second, as the stroke profiles were measured.
constexpr float kStrokeStep = 8;
// Pixels may differ from the model by this much beyond its ranges (0..1).
constexpr float kPictureTolerance = 4.0f / 255;
constexpr float kScreenTolerance = 8.0f / 255;
// The stamp tool's size, and where a finger may grip it to move it (on its
// frame, beside the window and clear of its buttons and handles) and where
// its exit area is.
constexpr float kToolHalfWidth = 95, kToolHalfHeight = 95.5f;
constexpr ui::Point kToolGrips[] = {{176, 100}, {176, 40}, {176, 70}, {176, 130}, {176, 150}, {20, 140}, {20, 148}};
constexpr ui::Point kToolExit{17, 70};
// The brush strip's bands for the default pen, the eraser and the fill, as y on the screen.
constexpr float kPenBand = 84, kEraserBand = 20, kFillBand = 290;

ZTDataModel& dataModel() { return ZTDataModel::sharedInstance(); }
ProjectDataModel& project() { return *dataModel().prjDataModel(); }
ExtendDataModel& settings() { return dataModel().extendDataModel(); }

std::string fmt(const char* f, double a = 0, double b = 0, double c = 0, double d = 0, double e = 0) {
  char text[200];
  std::snprintf(text, sizeof text, f, a, b, c, d, e);
  return text;
}

Range overWithAlpha(const Range& src, float viewAlpha, const Range& dst) {
  Range r;
  for (int k = 0; k < 4; ++k) {
    r.lo[k] = std::clamp(src.lo[k] * viewAlpha + dst.lo[k] * (1 - src.hi[3] * viewAlpha), 0.0f, 1.0f);
    r.hi[k] = std::clamp(src.hi[k] * viewAlpha + dst.hi[k] * (1 - src.lo[3] * viewAlpha), 0.0f, 1.0f);
  }
  return r;
}

// The sheet of paper under the page, from the desk's own picture of it (the
// page lies 6 points inside it).
const Sheet& paperSheet(float scale) {
  static Sheet paper;
  static float madeAt = 0;
  if (madeAt != scale) {
    const gfx::Image art = desk_art::draw("desktop_paper.png", scale);
    paper = Sheet::fromImage(art.cropped({6 * scale, 6 * scale, kPageWidth * scale, kPageHeight * scale}));
    madeAt = scale;
  }
  return paper;
}

// What an onion view or the playback view shows for a page without a snapshot.
const Sheet& missingSnapshotSheet(float scale) {
  static Sheet sheet;
  static float madeAt = 0;
  if (madeAt != scale) {
    sheet = Sheet::fromImage(desk_art::draw("emptyImage.png", scale));
    madeAt = scale;
  }
  return sheet;
}

bool inside(const ui::Rect& r, ui::Point p) { return p.x >= r.x && p.x < r.x + r.width && p.y >= r.y && p.y < r.y + r.height; }

}  // namespace

DeskWalk::DeskWalk(ui::HeadlessHost& host, DesktopManagerController& desk, Model& model, std::uint64_t seed)
    : host_(host), desk_(desk), model_(model), seed_(seed),
      scale_(ui::Screen::main().scale() > 0 ? ui::Screen::main().scale() : 1.0f) {
  model_.clock = [] { return fd::RunLoop::main().now(); };
}

// --- time

double DeskWalk::now() const { return fd::RunLoop::main().now(); }

void DeskWalk::passTime(double seconds) {
  host_.advance(seconds);
  settle();
  catchUp();
}

void DeskWalk::catchUp() {
  const std::optional<double> at = model_.autosaveAt();
  if (!at || *at > now()) return;
  const bool background = model_.desk.backgroundMode;
  const int page = model_.desk.page;
  note(fmt("the first change not written has waited since %.2f s: the ", *at - Model::kSaveDelay) +
       (background ? "background" : "page") + " is written");
  model_.autosave();
  autosaved_ = true;
  if (background) paintedWritten_ = true;
  else written_.push_back(page);
}

void DeskWalk::waitForPageWrites() {
  desk_.drawsView()->waitForPageWrites();
  settle();
}

// --- touches

ui::Point DeskWalk::onScreen(gfx::Point page) const {
  const ui::Rect f = desk_.canvas()->frame();
  return {f.x + page.x, f.y + page.y};
}

ui::View* DeskWalk::hitAt(ui::Point p) const {
  const auto windows = ui::Application::shared().windows();
  for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
    if ((*it)->isHidden()) continue;
    if (ui::View* v = (*it)->hitTest(p, nullptr)) return v;
  }
  return nullptr;
}

void DeskWalk::tap(ui::View* control, const char* what) {
  ASSERT_NE(control, nullptr) << what << " does not exist";
  ASSERT_NE(control->window(), nullptr) << what << " is not on screen";
  const ui::Rect r = control->convertRectTo(control->bounds(), nullptr);
  ui::Point p{r.x + r.width / 2, r.y + r.height / 2};
  ui::View* hit = hitAt(p);
  GraphToolView* tool = desk_.graphToolView();
  const bool onTool = tool && control->isDescendantOf(tool);
  if (tool && model_.desk.tool.shown && !(hit && hit->isDescendantOf(control)) &&
      (onTool || (hit && hit->isDescendantOf(tool)))) {
    // The stamp tool lies over the control, or has its own button off the
    // screen or under another control: a person moves it back to the middle.
    moveToolBy(std::round((desk_.view()->bounds().width / 2 - model_.desk.tool.centre.x) / kCell) * kCell,
               std::round((desk_.view()->bounds().height / 2 - model_.desk.tool.centre.y) / kCell) * kCell);
    const ui::Rect moved = control->convertRectTo(control->bounds(), nullptr);
    p = {moved.x + moved.width / 2, moved.y + moved.height / 2};
    hit = hitAt(p);
  }
  ASSERT_TRUE(hit != nullptr && hit->isDescendantOf(control))
      << what << " is covered at (" << p.x << ", " << p.y << ") or not on show";
  host_.tap(p);
  settle();
}

void DeskWalk::tapAt(ui::Point p) {
  host_.tap(p);
  settle();
}

void DeskWalk::stroke(gfx::Point from, gfx::Point to) {
  const float len = std::hypot(to.x - from.x, to.y - from.y);
  strokeBegan_ = now();
  // A finger on a canvas that takes it holds the page's write off.
  drag(onScreen(from), onScreen(to), std::max(3, static_cast<int>(std::ceil(len / kStrokeStep))), model_.canDraw());
}

void DeskWalk::stroked(const Sheet& picture) {
  model_.canvasChanged(picture, strokeBegan_);
  catchUp();
}

void DeskWalk::drag(ui::Point from, ui::Point to, int steps, bool onCanvas) {
  host_.drag(from, to, steps);
  settle();
  if (!onCanvas) catchUp();
}

void DeskWalk::settle() { host_.runUntilIdle(); }

ui::Button* DeskWalk::buttonTitled(ui::View* root, const std::string& title) const {
  if (!root) return nullptr;
  if (auto* b = dynamic_cast<ui::Button*>(root); b && b->currentTitle() == title) return b;
  for (const auto& sub : root->subviews())
    if (ui::Button* b = buttonTitled(sub.get(), title)) return b;
  return nullptr;
}

void DeskWalk::pressAlertButton(const std::string& title, const std::function<void()>& pressed) {
  const std::vector<ui::ButtonSheet*> sheets = host_.alerts();
  ASSERT_FALSE(sheets.empty()) << "no alert asks";
  ui::Button* b = buttonTitled(sheets.back(), title);
  ASSERT_NE(b, nullptr) << "the alert has no button " << title;
  if (!timedAlerts_) {
    tap(b, title.c_str());
    if (pressed) pressed();
    passTime(ui::ButtonSheet::kFadeDuration + 0.05);
    return;
  }
  host_.setInstantAnimations(false);
  const ui::Rect where = b->convertRectTo(b->bounds(), nullptr);
  tap(b, title.c_str());
  // A quick user's next tap lands while the alert fades: the second of a
  // double tap on the button, or anywhere on the screen. Until the answer
  // has acted nothing hears it, so the model expects nothing of it.
  const ui::Rect screen = desk_.view()->bounds();
  const ui::Point next = chance(0.5) ? ui::Point{where.x + where.width / 2, where.y + where.height / 2}
                                     : ui::Point{static_cast<float>(uniform(2, screen.width - 2)),
                                                 static_cast<float>(uniform(2, screen.height - 2))};
  note(fmt("a tap at (%.0f,%.0f) during the fade", next.x, next.y));
  // The frames composed during the fade, then the main thread busy as it
  // ends: the composition after is where the alert's window goes, and where
  // the desk hears of the dismissal and acts on the button.
  for (int frame = 0; frame < 3; ++frame) {
    fd::RunLoop::main().stall(1.0 / 30);
    if (frame == 1) host_.tap(next);
    (void)host_.screenshot();
  }
  fd::RunLoop::main().stall(ui::ButtonSheet::kFadeDuration);
  const std::size_t shown = host_.alerts().size();
  (void)host_.screenshot();
  host_.setInstantAnimations(true);
  EXPECT_EQ(host_.alerts().size(), shown - 1) << "the alert's fade ended inside the composition";
  if (pressed) pressed();
  settle();
  catchUp();
}

// --- choices

double DeskWalk::uniform(double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng_); }
int DeskWalk::below(int n) { return n <= 1 ? 0 : std::uniform_int_distribution<int>(0, n - 1)(rng_); }
bool DeskWalk::chance(double p) { return uniform(0, 1) < p; }

gfx::Point DeskWalk::pointOnPage(float margin) {
  return {static_cast<float>(std::round(uniform(margin, kPageWidth - margin))),
          static_cast<float>(std::round(uniform(margin, kPageHeight - margin)))};
}

bool DeskWalk::canvasPointFree(gfx::Point p) const {
  const ui::Point s = onScreen(p);
  const StampTool& tool = model_.desk.tool;
  if (tool.shown && std::abs(s.x - tool.centre.x) < kToolHalfWidth + 8 && std::abs(s.y - tool.centre.y) < kToolHalfHeight + 8)
    return false;
  ui::View* hit = hitAt(s);
  return hit == desk_.drawsView() || hit == desk_.canvas() || hit == desk_.view();
}

std::optional<gfx::Point> DeskWalk::freePagePoint(float margin) {
  for (int i = 0; i < 40; ++i) {
    const gfx::Point p = pointOnPage(margin);
    if (canvasPointFree(p)) return p;
  }
  return std::nullopt;
}

Rgb DeskWalk::colour() const {
  const gfx::Color c = settings().colors()[static_cast<std::size_t>(model_.desk.colour.value_or(43))];
  return {c.r, c.g, c.b};
}

void DeskWalk::note(std::string what) {
  log_.push_back("step " + std::to_string(stepNumber_) + ": " + what);
  // DESK_WALK_TRACE=1 prints the whole walk as it goes.
  static const bool trace = std::getenv("DESK_WALK_TRACE") != nullptr;
  if (trace) std::fprintf(stderr, "walk %llu %s\n", static_cast<unsigned long long>(seed_), log_.back().c_str());
  while (log_.size() > 40) log_.pop_front();
}

std::string DeskWalk::recentActions() const {
  std::string out;
  for (const std::string& s : log_) out += "  " + s + "\n";
  return out;
}

gfx::Rect DeskWalk::windowOnPage() const { return model_.desk.tool.window(desk_.canvas()->frame()); }

Region DeskWalk::windowRegion() const { return Region::ofRect(windowOnPage()); }

Region DeskWalk::outlineRegion(gfx::Point windowCorner) const {
  std::vector<gfx::Point> points = *model_.desk.tool.outline;
  for (gfx::Point& p : points) p = {p.x + windowCorner.x, p.y + windowCorner.y};
  return Region::ofPolygon(std::move(points));
}

std::optional<bool> DeskWalk::regionHolds(const Sheet& sheet, const Region& region) const {
  bool maybe = false;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const Region::Side side = region.side(Sheet::centre(c, r));
      if (side == Region::Side::Out) continue;
      const Range& v = sheet.at(c, r);
      if (side == Region::Side::In && v.lo[3] > 0.1f) return true;
      if (v.hi[3] > 1.5f / 255) maybe = true;
    }
  if (maybe) return std::nullopt;
  return false;
}

bool DeskWalk::playing() const { return desk_.playState() != 0; }

// --- tools of the brush strip and the colour picker

void DeskWalk::chooseColour(bool force) {
  if (!force && model_.desk.colour && !chance(0.25)) return;
  const int n = static_cast<int>(std::size(kColours));
  int pick = below(n);
  if (model_.desk.colour && kColours[pick] == *model_.desk.colour) pick = (pick + 1 + below(n - 1)) % n;
  const int index = kColours[pick];
  tap(desk_.colorBtn(), "the colour button");
  ColorSelectView* picker = desk_.colorSel();
  ASSERT_FALSE(picker->isHidden()) << "the colour picker did not open";
  const float paletteX = (picker->bounds().width - ColorSelectView::kPaletteWidth) / 2;
  const int col = index % 11, row = index / 11;
  tapAt(picker->convertPointTo({paletteX + 14 + col * 41 + 20.5f, 78 + row * 41 + 20.5f}, nullptr));
  // A touch beside the palette closes the picker and gives the brush the colour.
  tapAt({desk_.view()->bounds().width / 2, 300});
  ASSERT_TRUE(picker->isHidden());
  model_.desk.colour = index;
  note("colour " + std::to_string(index));
}

void DeskWalk::chooseBrushBand(float y) {
  const float w = desk_.view()->bounds().width;
  const ui::Rect strip = desk_.brushAndEraInteractView()->frame();
  host_.touchDown(1, {strip.x + strip.width / 2, strip.y + strip.height / 2});
  host_.touchMove(1, {w - 20, y});
  host_.touchUp(1, {w - 20, y});
  settle();
}

void DeskWalk::useTool(Tool tool) {
  if (tool_ == tool) return;
  static constexpr float kBands[] = {kPenBand, kEraserBand, kFillBand};
  chooseBrushBand(kBands[static_cast<int>(tool)]);
  tool_ = tool;
  EXPECT_EQ(desk_.drawsView()->isFillTool(), tool == Tool::Fill);
  if (tool != Tool::Fill) {
    EXPECT_EQ(desk_.eaglBrushType(), tool == Tool::Pen ? 2 : 0);
  }
}

// --- drawing

void DeskWalk::draw() {
  chooseColour(!model_.desk.colour);
  useTool(Tool::Pen);
  std::optional<gfx::Point> from = freePagePoint(14);
  if (!from) return;
  gfx::Point to = *from;
  for (int i = 0; i < 20 && std::hypot(to.x - from->x, to.y - from->y) < 24; ++i) {
    const double angle = uniform(0, 2 * M_PI), len = uniform(30, 230);
    to = {std::clamp(static_cast<float>(std::round(from->x + len * std::cos(angle))), 8.0f, kPageWidth - 8),
          std::clamp(static_cast<float>(std::round(from->y + len * std::sin(angle))), 8.0f, kPageHeight - 8)};
  }
  note(fmt("draw (%.0f,%.0f)-(%.0f,%.0f)", from->x, from->y, to.x, to.y) + " on layer " +
       std::to_string(model_.desk.edited) + " of page " + std::to_string(model_.desk.page));
  stroke(*from, to);
  if (model_.canDraw()) {
    Sheet s = model_.desk.canvas.current();
    s.paint(*from, to, colour(), penProfile(scale_));
    stroked(s);
  }
}

void DeskWalk::drawBox() {
  chooseColour(!model_.desk.colour);
  useTool(Tool::Pen);
  const float w = static_cast<float>(std::round(uniform(70, 170))), h = static_cast<float>(std::round(uniform(70, 150)));
  const gfx::Point o = {static_cast<float>(std::round(uniform(12, kPageWidth - 12 - w))),
                        static_cast<float>(std::round(uniform(12, kPageHeight - 12 - h)))};
  const gfx::Point corners[4] = {o, {o.x + w, o.y}, {o.x + w, o.y + h}, {o.x, o.y + h}};
  for (const gfx::Point& c : corners)
    if (!canvasPointFree(c)) return draw();
  note(fmt("box (%.0f,%.0f) %.0f x %.0f", o.x, o.y, w, h));
  for (int i = 0; i < 4; ++i) {
    stroke(corners[i], corners[(i + 1) % 4]);
    if (model_.canDraw()) {
      Sheet s = model_.desk.canvas.current();
      s.paint(corners[i], corners[(i + 1) % 4], colour(), penProfile(scale_));
      stroked(s);
    }
  }
}

void DeskWalk::erase() {
  useTool(Tool::Eraser);
  std::optional<gfx::Point> from = freePagePoint(14);
  if (!from) return;
  const double angle = uniform(0, 2 * M_PI), len = uniform(40, 200);
  const gfx::Point to{std::clamp(static_cast<float>(std::round(from->x + len * std::cos(angle))), 8.0f, kPageWidth - 8),
                      std::clamp(static_cast<float>(std::round(from->y + len * std::sin(angle))), 8.0f, kPageHeight - 8)};
  note(fmt("erase (%.0f,%.0f)-(%.0f,%.0f)", from->x, from->y, to.x, to.y));
  stroke(*from, to);
  if (model_.canDraw()) {
    Sheet s = model_.desk.canvas.current();
    s.erase(*from, to, eraserProfile(scale_));
    stroked(s);
  }
}

void DeskWalk::fill() {
  chooseColour(!model_.desk.colour);
  useTool(Tool::Fill);
  const Sheet& now = model_.desk.canvas.current();
  std::optional<gfx::Point> seed;
  for (int i = 0; i < 40 && !seed; ++i) {
    std::optional<gfx::Point> p = freePagePoint(6);
    if (p && Sheet::surelyEmpty(now.at(static_cast<int>(p->x / kCell), static_cast<int>(p->y / kCell)))) seed = p;
  }
  if (!seed) return;
  note(fmt("fill at (%.0f,%.0f)", seed->x, seed->y));
  tapAt(onScreen(*seed));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (desk_.drawsView()->fillTool() && desk_.drawsView()->fillTool()->hasPendingFill()) {
    settle();
    ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "the fill never came back";
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  settle();
  if (model_.canDraw()) {
    Sheet s = now;
    s.fill(*seed, colour());
    model_.canvasChanged(s);
  }
}

// --- the tools drawer

void DeskWalk::openDrawer() {
  if (!desk_.tools() || desk_.tools()->isHidden() || desk_.tools()->frame().x != 0) tap(desk_.toolBtn(), "the tools button");
  ASSERT_TRUE(desk_.tools() && desk_.tools()->frame().x == 0) << "the tools drawer did not open";
}

void DeskWalk::inDrawer(int tag) {
  openDrawer();
  ui::Button* b = tag == DesktopManagerController::kTagStamp ? desk_.stampBtn() : desk_.drawerButton(tag);
  tap(b, ("drawer button " + std::to_string(tag)).c_str());
}

void DeskWalk::undoOrRedo(bool redo, int times) {
  note(std::string(redo ? "redo" : "undo") + (times > 1 ? " " + std::to_string(times) + " times" : "") +
       ((redo ? model_.desk.canvas.canRedo() : model_.desk.canvas.canUndo()) ? "" : " (nothing there)"));
  openDrawer();
  for (int i = 0; i < times; ++i) {
    // The undo history refuses to step while it moves a snapshot to its file
    // (a long history spills); a person's finger comes later than that.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (desk_.drawsView()->undoManager()->processCount() != 0 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    const bool can = redo ? model_.desk.canvas.canRedo() : model_.desk.canvas.canUndo();
    tap(redo ? desk_.redoBtn() : desk_.undoBtn(), redo ? "redo" : "undo");
    // A button without a step to take is disabled: the canvas hears nothing.
    if (can) redo ? model_.redo() : model_.undo();
  }
  tapAt({desk_.view()->bounds().width - 3, 3});
}

void DeskWalk::scribble() {
  const int strokes = 6 + below(15);
  note("scribble " + std::to_string(strokes) + " short strokes");
  for (int i = 0; i < strokes; ++i) {
    chooseColour(false);
    useTool(chance(0.8) ? Tool::Pen : Tool::Eraser);
    std::optional<gfx::Point> from = freePagePoint(14);
    if (!from) return;
    const double angle = uniform(0, 2 * M_PI), len = uniform(20, 60);
    const gfx::Point to{std::clamp(static_cast<float>(std::round(from->x + len * std::cos(angle))), 8.0f, kPageWidth - 8),
                        std::clamp(static_cast<float>(std::round(from->y + len * std::sin(angle))), 8.0f, kPageHeight - 8)};
    stroke(*from, to);
    if (model_.canDraw()) {
      Sheet s = model_.desk.canvas.current();
      if (tool_ == Tool::Pen) s.paint(*from, to, colour(), penProfile(scale_));
      else s.erase(*from, to, eraserProfile(scale_));
      stroked(s);
    }
  }
}

// --- pages

void DeskWalk::nextPage() {
  const int page = model_.desk.page;
  const bool adds = page == model_.disk.count();
  note(adds ? "next on the last page: a new page" : "next page");
  tap(desk_.nextFrameBtn(), "the next page button");
  if (model_.savePage()) written_.push_back(page);
  if (adds) model_.addFrame(false);
  else model_.turnTo(page + 1);
}

void DeskWalk::previousPage() {
  const int page = model_.desk.page;
  note("previous page");
  tap(desk_.previousFrameBtn(), "the previous page button");
  if (model_.savePage()) written_.push_back(page);
  if (page > 1) model_.turnTo(page - 1);
}

void DeskWalk::addOrDuplicate(bool duplicate) {
  const int page = model_.desk.page;
  note(duplicate ? "duplicate the page" : "add a page");
  inDrawer(duplicate ? DesktopManagerController::kTagDuplicate : DesktopManagerController::kTagAddFrame);
  tapAt({desk_.view()->bounds().width - 3, 3});
  if (model_.savePage()) written_.push_back(page);
  model_.addFrame(duplicate);
  written_.push_back(model_.desk.page);
}

void DeskWalk::deletePage() {
  const bool yes = chance(0.8);
  note(yes ? "delete the page" : "delete the page, cancelled");
  inDrawer(DesktopManagerController::kTagDelete);
  pressAlertButton(fd::Localized(yes ? "Delete:" : "Cancel"), [&] {
    model_.plistSaved();
    if (!yes) return;
    model_.deleteFrame(model_.desk.page);
    model_.turnTo(std::min(model_.desk.page, model_.disk.count()));
  });
  tapAt({desk_.view()->bounds().width - 3, 3});
}

void DeskWalk::clearPage() {
  const bool yes = chance(0.8);
  note(yes ? "clear the page" : "clear the page, cancelled");
  inDrawer(DesktopManagerController::kTagClear);
  // "OK" clears, "Cancel" keeps.
  pressAlertButton(fd::Localized(yes ? "OK" : "Cancel"), [&] {
    model_.plistSaved();
    if (yes) model_.canvasChanged(Sheet());
  });
}

// --- the layer panel, the onion skin, background mode

void DeskWalk::layerPanel() {
  tap(desk_.groundBtn(), "the layer button");
  if (model_.desk.tool.shown) {
    model_.withdrawCut();
    model_.desk.tool.shown = false;
  }
  if (model_.savePage()) written_.push_back(model_.desk.page);
  ASSERT_TRUE(desk_.layerManager() && !desk_.layerManager()->isHidden()) << "the layer panel did not open";
  StoredPage& page = model_.disk.page(model_.desk.page);
  EXPECT_EQ(desk_.fVisibleBtn()->isSelected(), !page.visible[1]);
  EXPECT_EQ(desk_.mVisibleBtn()->isSelected(), !page.visible[0]);
  const int actions = 1 + below(3);
  for (int i = 0; i < actions; ++i) {
    const int what = below(10);
    if (what < 4) {
      const int position = chance(0.5) ? 2 : 1;
      note("layer panel: edit layer " + std::to_string(position));
      tap(position == 2 ? desk_.foregroundRowBtn() : desk_.middleRowBtn(), "a layer row");
      if (model_.desk.backgroundMode) {
        model_.leaveBackgroundMode(position);
      } else if (position != model_.desk.edited) {
        model_.desk.edited = position;
        model_.loadPage();
      }
    } else if (what < 9) {
      const int position = chance(0.5) ? 2 : 1;
      const bool shown = model_.disk.page(model_.desk.page).visible[static_cast<std::size_t>(position - 1)];
      note("layer panel: " + std::string(shown ? "hide" : "show") + " layer " + std::to_string(position));
      tap(position == 2 ? desk_.fVisibleBtn() : desk_.mVisibleBtn(), "a layer's eye");
      model_.setVisible(position, !shown);
      written_.push_back(model_.desk.page);
    } else {
      note("layer panel: background eye");
      tap(desk_.bgVisibleBtn(), "the background's eye");
      model_.setBackgroundOpen(!model_.disk.backgroundOpen);
    }
  }
  tapAt({desk_.view()->bounds().width / 2, 305});
  EXPECT_TRUE(desk_.layerManager()->isHidden());
}

void DeskWalk::onionPanel() {
  tap(desk_.onionBtn(), "the onion button");
  const int presses = 1 + below(2);
  for (int i = 0; i < presses; ++i) {
    const int mode = below(3);
    note("onion mode " + std::to_string(mode));
    tap(desk_.onionModeBtn(mode), "an onion mode");
    model_.desk.onion = model_.desk.onion == mode ? -1 : mode;
  }
  tapAt({desk_.view()->bounds().width / 2, 305});
  EXPECT_TRUE(desk_.skin()->isHidden());
}

void DeskWalk::enterBackground() {
  note("background mode");
  tap(desk_.groundBtn(), "the layer button");
  if (model_.desk.tool.shown) {
    model_.withdrawCut();
    model_.desk.tool.shown = false;
  }
  if (model_.savePage()) written_.push_back(model_.desk.page);
  tap(desk_.backgroundRowButton(), "the background row");
  BackgroundsView* gallery = desk_.backgroundsView();
  ASSERT_NE(gallery, nullptr);
  if (!model_.disk.userBackground) {
    tap(gallery->backgroundsArray().back()->newButton(), "the new background button");
    ui::Button* create = nullptr;
    for (const auto& w : ui::Application::shared().windows())
      if (!create) create = buttonTitled(w.get(), fd::Localized("Create"));
    tap(create, "Create");
    const std::string name = dataModel().backgroundArray().back();
    BackgroundView* cell = gallery->cellNamed(name);
    ASSERT_NE(cell, nullptr);
    // A double tap opens it.
    tap(cell->selectedButton(), "the new background");
    passTime(0.05);
    tap(cell->selectedButton(), "the new background");
  } else {
    ui::Button* edit = gallery->editButton(BackgroundsView::kTagEdit);
    if (edit->isHidden() || !edit->isEnabled()) {
      const std::optional<std::string> name = project().curBackgroundName();
      ASSERT_TRUE(name.has_value()) << "the project lost its background";
      BackgroundView* cell = gallery->cellNamed(*name);
      ASSERT_NE(cell, nullptr);
      tap(cell->selectedButton(), "the project's background");
    }
    tap(edit, "the background's Edit button");
  }
  ASSERT_TRUE(settings().isBackground()) << "background mode did not start";
  model_.enterBackgroundMode();
}

void DeskWalk::leaveBackground() {
  tap(desk_.groundBtn(), "the layer button");
  if (model_.desk.tool.shown) {
    model_.withdrawCut();
    model_.desk.tool.shown = false;
  }
  model_.savePage();
  if (chance(0.3)) {
    const int position = chance(0.5) ? 2 : 1;
    const bool shown = model_.disk.page(model_.desk.page).visible[static_cast<std::size_t>(position - 1)];
    note("background mode: " + std::string(shown ? "hide" : "show") + " layer " + std::to_string(position));
    tap(position == 2 ? desk_.fVisibleBtn() : desk_.mVisibleBtn(), "a layer's eye");
    model_.setVisible(position, !shown);
    written_.push_back(model_.desk.page);
  }
  const int position = chance(0.5) ? 2 : 1;
  note("leave background mode for layer " + std::to_string(position));
  tap(position == 2 ? desk_.foregroundRowBtn() : desk_.middleRowBtn(), "a layer row");
  model_.leaveBackgroundMode(position);
  tapAt({desk_.view()->bounds().width / 2, 305});
}

// --- the stamp tool

void DeskWalk::showOrHideStamp() {
  StampTool& tool = model_.desk.tool;
  note(tool.shown ? "hide the stamp tool" : "show the stamp tool");
  inDrawer(DesktopManagerController::kTagStamp);
  model_.withdrawCut();
  if (tool.shown) {
    tool.shown = false;
    return;
  }
  tool.shown = true;
  tool.centre = {desk_.view()->bounds().width / 2, desk_.view()->bounds().height / 2};
  tool.stampInterface = false;
  tool.held.reset();
  tool.outline.reset();
}

void DeskWalk::stampCopy() {
  reachTool(desk_.graphToolView()->duplicateBtn());
  StampTool& tool = model_.desk.tool;
  const gfx::Rect w = windowOnPage();
  note(fmt("stamp copy at (%.1f,%.1f)", w.x, w.y) + (tool.outline ? " inside the outline" : ""));
  tap(desk_.graphToolView()->duplicateBtn(), "the stamp tool's copy");
  Sheet held = model_.desk.canvas.current().cutOut(windowRegion());
  if (tool.lasso && tool.outline) held = held.cutOut(outlineRegion({w.x, w.y}));
  tool.held = held;
  tool.heldAt = {w.x, w.y};
  tool.stampInterface = !tool.lasso || tool.outline.has_value();
  tool.outline.reset();
}

void DeskWalk::stampCut() {
  reachTool(desk_.graphToolView()->cutBtn());
  StampTool& tool = model_.desk.tool;
  const gfx::Rect w = windowOnPage();
  const Region region = tool.lasso && tool.outline ? outlineRegion({w.x, w.y}) : windowRegion();
  const Sheet before = model_.desk.canvas.current();
  const std::optional<bool> holds = regionHolds(before, region);
  // Whether giving the piece back changes the page decides whether that is an
  // undo step; a region whose content the model cannot tell is left alone.
  if (!holds) return stampMove();
  note(fmt("stamp cut at (%.1f,%.1f)", w.x, w.y) + (tool.outline ? " inside the outline" : ""));
  tap(desk_.graphToolView()->cutBtn(), "the stamp tool's cut");
  Sheet held = before.cutOut(windowRegion());
  if (tool.outline) held = held.cutOut(region);
  Sheet after = before;
  after.clear(region);
  model_.canvasChanged(after);
  PendingCut cut;
  cut.before = before;
  cut.region = region;
  cut.cutStep = model_.desk.canvas.currentStep();
  cut.took = *holds;
  model_.desk.cut = std::move(cut);
  tool.held = held;
  tool.heldAt = {w.x, w.y};
  tool.stampInterface = true;
  tool.outline.reset();
}

void DeskWalk::stampPaste() {
  reachTool(desk_.graphToolView()->pasteBtn());
  StampTool& tool = model_.desk.tool;
  const gfx::Rect w = windowOnPage();
  note(fmt("stamp paste at (%.1f,%.1f)", w.x, w.y));
  tap(desk_.graphToolView()->pasteBtn(), "the stamp tool's paste");
  Sheet s = model_.desk.canvas.current();
  s.stamp(*tool.held, static_cast<int>(std::lround(w.x - tool.heldAt.x)), static_cast<int>(std::lround(w.y - tool.heldAt.y)),
          windowRegion());
  model_.canvasChanged(s);
  if (model_.desk.cut) {
    model_.desk.cut->placedStep = model_.desk.canvas.currentStep();
    model_.desk.cut->placedUndone = false;
  }
}

void DeskWalk::stampClear() {
  reachTool(desk_.graphToolView()->clearBtn());
  StampTool& tool = model_.desk.tool;
  note("stamp clear");
  tap(desk_.graphToolView()->clearBtn(), "the stamp tool's clear");
  model_.withdrawCut();
  tool.held.reset();
  tool.stampInterface = false;
  tool.outline.reset();
}

void DeskWalk::stampLasso() {
  reachTool(desk_.graphToolView()->arbitraryClipBtn());
  StampTool& tool = model_.desk.tool;
  note(tool.lasso ? "lasso off" : "lasso on");
  tap(desk_.graphToolView()->arbitraryClipBtn(), "the stamp tool's lasso");
  tool.lasso = !tool.lasso;
  tool.outline.reset();
  if (!tool.lasso && tool.held) tool.stampInterface = true;
}

void DeskWalk::stampOutline() {
  reachTool(desk_.graphToolView()->pathView());
  StampTool& tool = model_.desk.tool;
  const gfx::Rect w = windowOnPage();
  const float x0 = std::round(w.x + static_cast<float>(uniform(10, 50))), y0 = std::round(w.y + static_cast<float>(uniform(10, 50)));
  const float x1 = std::round(w.x + w.width - static_cast<float>(uniform(10, 50)));
  const float y1 = std::round(w.y + w.height - static_cast<float>(uniform(10, 50)));
  std::vector<gfx::Point> moves;
  auto edge = [&](gfx::Point a, gfx::Point b) {
    const int n = std::max(1, static_cast<int>(std::ceil(std::hypot(b.x - a.x, b.y - a.y) / kStrokeStep)));
    for (int i = 1; i <= n; ++i) moves.push_back({a.x + (b.x - a.x) * i / n, a.y + (b.y - a.y) * i / n});
  };
  edge({x0, y0}, {x1, y0});
  edge({x1, y0}, {x1, y1});
  edge({x1, y1}, {x0, y1});
  edge({x0, y1}, {x0, y0 + 1});
  note(fmt("lasso outline (%.0f,%.0f)-(%.0f,%.0f)", x0, y0, x1, y1));
  ArbitraryPathClip* path = desk_.graphToolView()->pathView();
  ASSERT_NE(path, nullptr);
  const ui::Point start = onScreen({x0, y0});
  ui::View* hit = hitAt(start);
  ASSERT_TRUE(hit && hit->isDescendantOf(path)) << "the lasso does not take the finger";
  host_.touchDown(1, start);
  for (const gfx::Point& p : moves) {
    host_.advance(1.0 / 60);
    host_.touchMove(1, onScreen(p));
  }
  host_.touchUp(1, onScreen(moves.back()));
  settle();
  catchUp();
  for (gfx::Point& p : moves) p = {p.x - w.x, p.y - w.y};
  tool.outline = moves;
  if (tool.held) {
    // An outline over a held piece trims the piece, where it was taken.
    tool.held = tool.held->cutOut(outlineRegion(tool.heldAt));
    tool.stampInterface = true;
    tool.outline.reset();
  }
}

void DeskWalk::stampMove() {
  const gfx::Rect w = windowOnPage();
  auto offset = [&](float at, float limit) {
    for (int i = 0; i < 20; ++i) {
      const float d = static_cast<float>(kCell * (below(31) - 15));
      if (at + d >= 0 && at + d <= limit) return d;
    }
    return 0.0f;
  };
  const float dx = offset(w.x, kPageWidth - w.width), dy = offset(w.y, kPageHeight - w.height);
  moveToolBy(dx, dy);
}

void DeskWalk::moveToolBy(float dx, float dy) {
  note(fmt("move the stamp tool by (%.0f,%.0f)", dx, dy));
  GraphToolView* view = desk_.graphToolView();
  std::optional<ui::Point> grip;
  for (ui::Point local : kToolGrips) {
    const ui::Point p = view->convertPointTo(local, nullptr);
    if (hitAt(p) == view) {
      grip = p;
      break;
    }
  }
  ASSERT_TRUE(grip.has_value()) << "the stamp tool's frame is covered or off the screen";
  drag(*grip, {grip->x + dx, grip->y + dy}, 8, false);
  StampTool& tool = model_.desk.tool;
  tool.centre = {tool.centre.x + dx, tool.centre.y + dy};
}

void DeskWalk::reachTool(ui::View* control) {
  GraphToolView* view = desk_.graphToolView();
  const ui::Point middle{desk_.view()->bounds().width / 2, desk_.view()->bounds().height / 2};
  StampTool& tool = model_.desk.tool;
  if (!view || (tool.centre.x == middle.x && tool.centre.y == middle.y)) return;
  auto reachable = [&](ui::View* v, ui::Point local) {
    ui::View* hit = hitAt(v->convertPointTo(local, nullptr));
    return hit && hit->isDescendantOf(v);
  };
  const ui::Rect b = control->bounds(), w = view->drawView()->bounds();
  bool ok = reachable(control, {b.width / 2, b.height / 2});
  for (ui::Point corner : {ui::Point{1, 1}, ui::Point{w.width - 1, 1}, ui::Point{1, w.height - 1}, ui::Point{w.width - 1, w.height - 1}})
    ok = ok && reachable(view, view->drawView()->convertPointTo(corner, view));
  // A tool partly under another control or off the screen: a person moves it back to the middle.
  if (!ok) moveToolBy(middle.x - tool.centre.x, middle.y - tool.centre.y);
}

void DeskWalk::stampExit() {
  reachTool(desk_.graphToolView()->exitBtn());
  note("stamp tool exit");
  GraphToolView* view = desk_.graphToolView();
  const ui::Point exit = view->convertPointTo(kToolExit, nullptr);
  ui::View* hit = hitAt(exit);
  ASSERT_TRUE(hit && hit->isDescendantOf(view->exitBtn())) << "the exit area is covered";
  tapAt(exit);
  model_.withdrawCut();
  model_.desk.tool.shown = false;
}

// --- the frame manager

void DeskWalk::frameManager() {
  note("open the frame manager");
  tap(desk_.frameManagerBtn(), "the frame manager button");
  if (model_.savePage()) written_.push_back(model_.desk.page);
  model_.plistSaved();
  // The desk comes to rest first: the player bar goes away.
  model_.desk.playerShown = false;
  auto* panel = dynamic_cast<ZTPicManagerView*>(desk_.picManagerView());
  ASSERT_NE(panel, nullptr);
  auto settleFrames = [&] {
    settle();
    ZTPaperView::waitForLoads();
    settle();
  };
  settleFrames();
  for (const auto& v : panel->subviews())
    if (auto* tip = dynamic_cast<ShowSimpleView*>(v.get())) {
      tapAt(tip->convertPointTo({240, 150}, nullptr));
      break;
    }
  if (panel->soundTrack()->isShow()) tap(panel->soundTrack()->tabBtn(), "the sound track's tab");
  auto slotCentre = [&](int slot) {
    const ui::Rect r = panel->imagesView()->convertRectTo({(slot % 5) * 80.0f, (slot / 5) * 69.0f + 20, 80, 64}, nullptr);
    return ui::Point{r.x + r.width / 2, r.y + r.height / 2};
  };
  int selected = 0;
  bool menuShown = false;
  auto goToStripPage = [&](int c) {
    // Paging takes the menu away.
    if (panel->curImagesViewPage() != c) menuShown = false;
    for (int i = 0; i < 6 && panel->curImagesViewPage() < c; ++i) tap(panel->rollForwardBtn(), "the strip's forward");
    for (int i = 0; i < 6 && panel->curImagesViewPage() > c; ++i) tap(panel->rollBackBtn(), "the strip's back");
    ASSERT_EQ(panel->curImagesViewPage(), c);
  };
  const int ops = 1 + below(3);
  for (int i = 0; i < ops; ++i) {
    const int count = model_.disk.count();
    const int stripPages = (count + 4) / 5;
    goToStripPage(1 + below(stripPages));
    const int c = panel->curImagesViewPage();
    const int b = 5 * (c - 1);
    const int here = std::min(5, count - b);
    const int what = below(11);
    const int parked = static_cast<int>(model_.disk.tray.size());
    if (what >= 8 && parked < ZTPicManagerView::kDepositoryCapacity && here > 0 && (what < 10 || parked == 0)) {
      const int from = below(here);
      const int o = b + from + 1;
      note("frame manager: park frame " + std::to_string(o) + " in the depository");
      const ui::Rect slot = panel->temporaryView()->convertRectTo({parked * 80.0f, 0, 80, 64}, nullptr);
      drag(slotCentre(from), {slot.x + slot.width / 2, slot.y + slot.height / 2}, 6, false);
      settleFrames();
      model_.parkFrame(o);
      menuShown = false;
      continue;
    }
    if (what == 10 && parked > 0 && count < kMaxFrames) {
      const int entry = 1 + below(parked);
      const int to = below(5), s = to + 1;
      const int target = s < 2 ? b + 1 : count - b < s ? count + 1 : b + s;
      note("frame manager: depository entry " + std::to_string(entry) + " back at slot " + std::to_string(s));
      const ui::Rect from = panel->temporaryView()->convertRectTo({(entry - 1) * 80.0f, 0, 80, 64}, nullptr);
      drag({from.x + from.width / 2, from.y + from.height / 2}, slotCentre(to), 6, false);
      settleFrames();
      model_.unparkFrame(entry, target);
      menuShown = false;
      continue;
    }
    if (what < 5) {
      const int from = below(here), to = below(5);
      const int o = b + from + 1;
      const int s = to + 1;
      const int target = s < 2 ? b + 1 : count - b < s ? count + 1 : b + s;
      note("frame manager: move frame " + std::to_string(o) + " to slot " + std::to_string(s));
      drag(slotCentre(from), slotCentre(to), 6, false);
      settleFrames();
      model_.moveFrame(o, target);
      // A drag takes the menu away; the selection stays.
      menuShown = false;
    } else {
      const int p = b + below(here) + 1;
      // A tap selects the frame and puts its menu under it; a tap on the
      // frame already selected changes nothing.
      if (!(menuShown && selected == p)) {
        tapAt(slotCentre(p - b - 1));
        settleFrames();
        if (p != selected) menuShown = true, selected = p;
        EXPECT_EQ(panel->frameMenu() != nullptr, menuShown) << "the frame menu after a tap on frame " << p;
        if (!menuShown) {
          note("frame manager: frame " + std::to_string(p) + " tapped again, no menu");
          continue;
        }
      }
      FrameMenu* menu = panel->frameMenu();
      ASSERT_NE(menu, nullptr);
      if (what < 7 && count > 1) {
        const bool yes = chance(0.8);
        note("frame manager: delete frame " + std::to_string(p) + (yes ? "" : ", cancelled"));
        tap(menu->button(FrameMenu::kDelete), "the frame menu's delete");
        pressAlertButton(fd::Localized(yes ? "Delete" : "Cancel"));
        settleFrames();
        if (yes) {
          model_.deleteFrame(p);
          selected = 0;
          menuShown = false;
        }
      } else if (count < kMaxFrames) {
        note("frame manager: copy frame " + std::to_string(p));
        tap(menu->button(FrameMenu::kCopy), "the frame menu's copy");
        settleFrames();
        model_.copyFrame(p);
        written_.push_back(p + 1);
      }
    }
    EXPECT_EQ(panel->frameMenu() != nullptr, menuShown) << "the frame menu";
  }
  note("close the frame manager");
  tapAt({10, 100});
  settleFrames();
  EXPECT_EQ(desk_.picManagerView(), nullptr) << "the frame manager did not close";
  model_.turnTo(std::clamp(model_.desk.page, 1, model_.disk.count()));
}

// --- playback

void DeskWalk::playback() {
  if (!model_.desk.playerShown || chance(0.1)) {
    note(model_.desk.playerShown ? "hide the player" : "show the player");
    tap(desk_.playerBtn(), "the player button");
    model_.desk.playerShown = !model_.desk.playerShown;
    if (!model_.desk.playerShown) return;
  }
  const bool forward = chance(0.7);
  const int tag = forward ? DesktopManagerController::kTagPlay : DesktopManagerController::kTagReverse;
  const double seconds = uniform(0.05, 2.5);
  note(fmt(forward ? "play for %.2f s" : "play backwards for %.2f s", seconds));
  tap(desk_.playerButton(tag), "a player button");
  if (model_.savePage()) written_.push_back(model_.desk.page);
  for (double t = 0; t < seconds && playing(); t += 0.1) {
    passTime(0.1);
    if (playing() && chance(0.2)) checkScreen();
  }
  if (!playing()) {
    // Played once through: playback stopped on the first or last page.
    model_.turnTo(forward ? 1 : model_.disk.count());
    note("playback ended by itself");
    return;
  }
  checkScreen();
  const int at = settings().curPage();
  ASSERT_TRUE(at >= 1 && at <= model_.disk.count()) << "playback stands on page " << at;
  tap(desk_.playerButton(tag), "a player button");
  note("stopped on page " + std::to_string(at));
  model_.turnTo(at);
}

void DeskWalk::playerJump() {
  if (!model_.desk.playerShown) {
    note("show the player");
    tap(desk_.playerBtn(), "the player button");
    model_.desk.playerShown = true;
  }
  const int page = model_.desk.page, count = model_.disk.count();
  static constexpr int kTags[] = {DesktopManagerController::kTagFirst, DesktopManagerController::kTagLast,
                                  DesktopManagerController::kTagPrevious, DesktopManagerController::kTagNext};
  const int tag = kTags[below(4)];
  note("player button " + std::to_string(tag));
  tap(desk_.playerButton(tag), "a player button");
  if (model_.savePage()) written_.push_back(page);
  if (tag == DesktopManagerController::kTagFirst) model_.turnTo(1);
  else if (tag == DesktopManagerController::kTagLast) model_.turnTo(count);
  else if (tag == DesktopManagerController::kTagPrevious && page > 1) model_.turnTo(page - 1);
  else if (tag == DesktopManagerController::kTagNext && page < count) model_.turnTo(page + 1);
}

void DeskWalk::pause() {
  // Long enough for a changed page to be written, or not.
  const double seconds = chance(0.35) ? uniform(0.3, 1.9) : uniform(2.05, 4.0);
  note(fmt("a pause of %.2f s", seconds));
  passTime(seconds);
}

// --- the walk

void DeskWalk::begin(int n, std::uint64_t kind) {
  stepNumber_ = n;
  rng_.seed(seed_ * 0x9E3779B97F4A7C15ULL + static_cast<std::uint64_t>(n) * 0xBF58476D1CE4E5B9ULL + kind);
  written_.clear();
  autosaved_ = paintedWritten_ = false;
  catchUp();
}

void DeskWalk::step(int n) {
  begin(n, 1);
  const Desk& d = model_.desk;
  const StampTool& tool = d.tool;
  const int count = model_.disk.count();
  std::vector<Pick> picks;
  auto add = [&](double weight, std::function<void()> f) {
    if (weight > 0) picks.emplace_back(weight, std::move(f));
  };
  add(18, [this] { draw(); });
  add(2, [this] { drawBox(); });
  add(6, [this] { erase(); });
  add(4, [this] { fill(); });
  add(d.canvas.canUndo() ? 6 : 1.5, [this] { undoOrRedo(false, 1); });
  add(d.canvas.canRedo() ? 6 : 1, [this] { undoOrRedo(true, 1); });
  add(1.5, [this] { scribble(); });
  add(d.canvas.canUndo() ? 1.5 : 0, [this] { undoOrRedo(false, 2 + below(55)); });
  add(d.canvas.canRedo() ? 1.5 : 0, [this] { undoOrRedo(true, 2 + below(30)); });
  add(1.5, [this] { clearPage(); });
  add(1.5, [this] { pause(); });
  add(3, [this] { showOrHideStamp(); });
  if (tool.shown) {
    add(tool.stampInterface ? 0 : 5, [this] { stampCopy(); });
    add(tool.stampInterface ? 0 : 5, [this] { stampCut(); });
    add(tool.stampInterface && tool.held ? 7 : 0, [this] { stampPaste(); });
    add(tool.stampInterface ? 3 : 0, [this] { stampClear(); });
    add(tool.stampInterface ? 0 : 3, [this] { stampLasso(); });
    add(!tool.stampInterface && tool.lasso ? 5 : 0, [this] { stampOutline(); });
    add(4, [this] { stampMove(); });
    add(1, [this] { stampExit(); });
  }
  if (d.backgroundMode) {
    add(5, [this] { leaveBackground(); });
  } else {
    add(6, [this] { nextPage(); });
    add(5, [this] { previousPage(); });
    add(count < kMaxFrames ? 2.5 : 0, [this] { addOrDuplicate(false); });
    add(count < kMaxFrames ? 2.5 : 0, [this] { addOrDuplicate(true); });
    add(count > 8 ? 5 : 2.5, [this] { deletePage(); });
    // The layer panel puts the stamp tool away.
    add(tool.shown ? 2 : 6, [this] { layerPanel(); });
    add(3, [this] { onionPanel(); });
    add(tool.shown ? 0.4 : 1.2, [this] { enterBackground(); });
    add(3, [this] { frameManager(); });
    add(2.5, [this] { playback(); });
    add(1.5, [this] { playerJump(); });
  }
  double total = 0;
  for (const Pick& p : picks) total += p.first;
  double at = uniform(0, total);
  for (const Pick& p : picks) {
    if (at < p.first) {
      p.second();
      break;
    }
    at -= p.first;
  }
  if (::testing::Test::HasFatalFailure()) return;
  // A person looks later than the background write takes.
  if (autosaved_) waitForPageWrites();
  checkDesk();
  checkWritten();
}

void DeskWalk::checkWritten() {
  for (int page : written_) {
    if (page >= 1 && page <= model_.disk.count()) checkSavedPage(page);
  }
  if (paintedWritten_ && model_.disk.painted) {
    const std::optional<std::string>& name = settings().backgroundName();
    ASSERT_TRUE(name.has_value()) << "background mode without a background";
    checkPainted(*name, nullptr, nullptr);
  }
}

void DeskWalk::holdStroke(int n) {
  begin(n, 2);
  if (autosaved_) waitForPageWrites();
  useTool(Tool::Pen);
  std::optional<gfx::Point> from = freePagePoint(40);
  if (!from) return;
  note(fmt("a stroke from (%.0f,%.0f), the finger still down", from->x, from->y));
  const Project before = model_.disk;
  host_.touchDown(1, onScreen(*from));
  for (int i = 1; i <= 6; ++i) {
    host_.advance(1.0 / 60);
    host_.touchMove(1, onScreen({from->x + (from->x < kPageWidth / 2 ? 8.0f : -8.0f) * i, from->y}));
  }
  settle();
  // A finger on a layer that cannot be drawn on never reaches the canvas,
  // so the paused drawing may be being written as the program is killed.
  autosaved_ = false;
  catchUp();
  if (autosaved_) model_.unsure = before;
}

bool DeskWalk::somethingToSave(int n) {
  begin(n, 3);
  if (autosaved_) waitForPageWrites();
  if (model_.autosaveAt()) return true;
  if (!model_.canDraw() || playing()) return false;
  draw();
  checkDesk();
  return model_.autosaveAt().has_value();
}

void DeskWalk::pauseShortOfSave(int n) {
  if (!somethingToSave(n)) return;
  const double wait = *model_.autosaveAt() - 0.05 - now();
  note(fmt("a pause of %.2f s, just short of the write", wait));
  autosaved_ = false;
  if (wait > 0) passTime(wait);
  EXPECT_FALSE(autosaved_) << "the model wrote the page too early";
}

void DeskWalk::pauseUntilSaveStarts(int n) {
  if (!somethingToSave(n)) return;
  const Project before = model_.disk;
  const double wait = *model_.autosaveAt() + 0.01 - now();
  // The kill falls while the disk holds the write back before any of its
  // files is in place (as a slow disk or a busy machine can), or a moment
  // after it started, wherever it then is.
  const bool held = chance(0.5);
  note(fmt("a pause of %.2f s, the write just started", wait) + (held ? " and is held by the disk" : ""));
  if (held) {
    // Every write of the process waits behind the held one: one on the main
    // thread before the kill would delay the kill, not hang the walk.
    fd::files::setWriteFaultForTesting([](const std::filesystem::path&) {
      std::this_thread::sleep_for(std::chrono::seconds(5));
      return 0;
    });
  }
  host_.advance(wait);
  catchUp();
  model_.unsure = before;
  if (!held) std::this_thread::sleep_for(std::chrono::microseconds(below(20000)));
}

void DeskWalk::pauseUntilSaved(int n) {
  if (!somethingToSave(n)) return;
  const double wait = *model_.autosaveAt() + 0.01 - now();
  note(fmt("a pause of %.2f s, until the write is done", wait));
  passTime(wait);
  ASSERT_TRUE(autosaved_) << "the model did not write the page";
  waitForPageWrites();
  // The project's list goes on the model's own write queue.
  ProjectDataModel::waitForImageWrites();
  checkDesk();
  checkWritten();
}

// --- checks

void DeskWalk::checkDesk() {
  checkState();
  checkCanvas();
  checkViews();
  checkScreen();
}

void DeskWalk::checkViews() {
  const Desk& d = model_.desk;
  if (d.backgroundMode || playing()) return;
  auto pictureOf = [](ui::ImageView* v) {
    const gfx::Image* image = v->image().image();
    return image ? *image : gfx::Image();
  };
  const StoredPage& page = model_.disk.page(d.page);
  checkSheet(pictureOf(desk_.layer()), page.layer[static_cast<std::size_t>(2 - d.edited)], kPictureTolerance,
             "the other layer's view (page " + std::to_string(d.page) + ", layer " + std::to_string(3 - d.edited) + ")");
  const int count = model_.disk.count(), p = d.page;
  int nearer = 0, farther = 0;
  switch (d.onion) {
    case 0: nearer = p - 1, farther = p - 2; break;
    case 1: nearer = p + 1 <= count ? p + 1 : 0, farther = p - 1; break;
    case 2: nearer = p + 1 <= count ? p + 1 : 0, farther = p + 2 <= count && nearer ? p + 2 : 0; break;
    default: break;
  }
  const float scale = scale_;
  for (auto [view, n, name] : {std::tuple{desk_.frame2(), nearer, "the nearer onion page"},
                               std::tuple{desk_.frame1(), farther, "the farther onion page"}}) {
    const gfx::Image shown = pictureOf(view);
    if (n < 1 || n > count) {
      EXPECT_TRUE(shown.empty()) << name << " shows a picture where there is no page";
      continue;
    }
    const StoredPage& other = model_.disk.page(n);
    checkSheet(shown, other.snapshot ? *other.snapshot : missingSnapshotSheet(scale), kPictureTolerance,
               std::string(name) + " (page " + std::to_string(n) + ")");
  }
}

void DeskWalk::checkState() {
  const Desk& d = model_.desk;
  const int count = model_.disk.count();
  ASSERT_EQ(static_cast<int>(project().imagesArray().size()), count) << "frames";
  EXPECT_EQ(settings().isBackground(), d.backgroundMode) << "background mode";
  if (!d.backgroundMode) {
    ASSERT_EQ(settings().curPage(), d.page) << "the page on the desk";
    char text[32];
    std::snprintf(text, sizeof text, "%03d/%03d", d.page, count);
    EXPECT_EQ(desk_.pageIndicator()->text(), text);
    EXPECT_EQ(desk_.displayPattern(), d.onion) << "onion mode";
    const StoredPage& page = model_.disk.page(d.page);
    EXPECT_EQ(desk_.canvasView()->isHidden(), !page.visible[static_cast<std::size_t>(d.edited - 1)]) << "the canvas's eye";
    EXPECT_EQ(desk_.layer()->isHidden(), !page.visible[static_cast<std::size_t>(2 - d.edited)]) << "the other layer's eye";
  } else {
    EXPECT_FALSE(desk_.canvasView()->isHidden());
  }
  EXPECT_EQ(desk_.contentPattern(), d.edited == 2 ? 1 : 0) << "the edited layer";
  EXPECT_EQ(desk_.undoBtn()->isEnabled(), d.canvas.canUndo()) << "undo (history depth " << d.canvas.depth() << ")";
  EXPECT_EQ(desk_.redoBtn()->isEnabled(), d.canvas.canRedo()) << "redo";
  EXPECT_EQ(desk_.drawsView()->operated(), d.operated) << "the page's changed flag";
  EXPECT_EQ(project().isOpenBackground(), model_.disk.backgroundOpen) << "the background's eye";
  GraphToolView* tool = desk_.graphToolView();
  EXPECT_EQ(tool != nullptr && !tool->isHidden(), d.tool.shown) << "the stamp tool on show";
  if (tool && d.tool.shown) {
    EXPECT_EQ(tool->center(), (ui::Point{d.tool.centre.x, d.tool.centre.y})) << "the stamp tool's place";
    EXPECT_EQ(tool->pasteBtn()->superview() == tool, d.tool.stampInterface) << "the stamp tool's interface";
    EXPECT_EQ(tool->arbitraryClipBtn()->isSelected(), d.tool.lasso) << "the lasso";
    EXPECT_EQ(!tool->maskView()->image().empty(), d.tool.held.has_value()) << "the held piece";
    const ui::Rect w = tool->drawView()->convertRectTo(tool->drawView()->bounds(), desk_.drawsView());
    const gfx::Rect m = windowOnPage();
    EXPECT_TRUE(std::abs(w.x - m.x) < 0.01f && std::abs(w.y - m.y) < 0.01f && std::abs(w.width - m.width) < 0.01f &&
                std::abs(w.height - m.height) < 0.01f)
        << "the stamp window lies at " << w.x << "," << w.y << " " << w.width << "x" << w.height;
  }
}

int DeskWalk::misfits(const gfx::Image& image, const Sheet& expected, float tolerance) {
  int wrong = 0;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const gfx::Point p = Sheet::centre(c, r);
      const std::array<float, 4> v = image.empty() ? std::array<float, 4>{} : pixelAt(image, p.x, p.y);
      if (!expected.at(c, r).admits(v, tolerance)) ++wrong;
    }
  return wrong;
}

void DeskWalk::checkSheet(const gfx::Image& image, const Sheet& expected, float tolerance, const std::string& what) {
  int wrong = 0;
  std::ostringstream report;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const Range& e = expected.at(c, r);
      const gfx::Point p = Sheet::centre(c, r);
      const std::array<float, 4> v = image.empty() ? std::array<float, 4>{} : pixelAt(image, p.x, p.y);
      if (e.admits(v, tolerance)) continue;
      if (++wrong <= 6) {
        report << "\n  at page point (" << p.x << "," << p.y << "): rgba " << std::lround(v[0] * 255) << ","
               << std::lround(v[1] * 255) << "," << std::lround(v[2] * 255) << "," << std::lround(v[3] * 255)
               << " expected " << std::lround(e.lo[0] * 255) << "-" << std::lround(e.hi[0] * 255) << ","
               << std::lround(e.lo[1] * 255) << "-" << std::lround(e.hi[1] * 255) << "," << std::lround(e.lo[2] * 255)
               << "-" << std::lround(e.hi[2] * 255) << "," << std::lround(e.lo[3] * 255) << "-"
               << std::lround(e.hi[3] * 255);
      }
    }
  EXPECT_EQ(wrong, 0) << what << ": " << wrong << " places differ from the model" << report.str();
}

void DeskWalk::checkCanvas() {
  std::optional<gfx::Image> picture = desk_.drawsView()->image();
  ASSERT_TRUE(picture.has_value());
  checkSheet(*picture, model_.desk.canvas.current(), kPictureTolerance,
             "the canvas (page " + std::to_string(model_.desk.page) + ", layer " + std::to_string(model_.desk.edited) + ")");
}

void DeskWalk::checkScreen() {
  const gfx::Image shot = host_.screenshot();
  const float scale = static_cast<float>(shot.pixelWidth()) / desk_.view()->bounds().width;
  const ui::Rect pageRect = desk_.canvas()->frame();
  const Desk& d = model_.desk;
  const bool play = playing();
  const int page = play ? settings().curPage() : d.page;
  if (page < 1 || page > model_.disk.count()) {
    ADD_FAILURE() << "the desk shows page " << page;
    return;
  }
  auto snapshotOf = [&](int n) -> const Sheet& {
    const StoredPage& p = model_.disk.page(n);
    return p.snapshot ? *p.snapshot : missingSnapshotSheet(scale);
  };
  // The views of the page, bottom up, with their alphas.
  std::vector<std::pair<const Sheet*, float>> stack;
  const Sheet& paper = paperSheet(scale);
  if (!d.backgroundMode && model_.disk.backgroundOpen && model_.disk.background) stack.push_back({&*model_.disk.background, 1});
  if (play) {
    stack.push_back({&snapshotOf(page), 1});
  } else if (d.backgroundMode) {
    stack.push_back({&d.canvas.current(), 1});
  } else {
    const int count = model_.disk.count();
    int nearer = 0, farther = 0;
    switch (d.onion) {
      case 0: nearer = page - 1, farther = page - 2; break;
      case 1: nearer = page + 1 <= count ? page + 1 : 0, farther = page - 1; break;
      case 2: nearer = page + 1 <= count ? page + 1 : 0, farther = page + 2 <= count && nearer ? page + 2 : 0; break;
      default: break;
    }
    if (farther >= 1 && farther <= count) stack.push_back({&snapshotOf(farther), 0.2f});
    if (nearer >= 1 && nearer <= count) stack.push_back({&snapshotOf(nearer), 0.4f});
    const StoredPage& p = model_.disk.page(page);
    const std::size_t other = static_cast<std::size_t>(2 - d.edited);
    if (p.visible[other]) stack.push_back({&p.layer[other], 0.75f});
    if (p.visible[static_cast<std::size_t>(d.edited - 1)]) stack.push_back({&d.canvas.current(), 1});
  }
  // What lies over the page: the page number plate at the top, the player
  // bar at the bottom, the page number while playing, the stamp tool.
  std::vector<ui::Rect> covered{{pageRect.x + pageRect.width / 2 - 52, 0, 104, 22},
                                desk_.playerView()->frame()};
  if (!desk_.pageNumberShowDesk()->isHidden()) covered.push_back(desk_.pageNumberShowDesk()->frame());
  if (d.tool.shown)
    covered.push_back({d.tool.centre.x - kToolHalfWidth - 3, d.tool.centre.y - kToolHalfHeight - 3,
                       2 * kToolHalfWidth + 6, 2 * kToolHalfHeight + 6});
  int wrong = 0;
  std::ostringstream report;
  for (int r = 0; r < kRows; ++r)
    for (int c = 0; c < kCols; ++c) {
      const gfx::Point p = Sheet::centre(c, r);
      const ui::Point s{pageRect.x + p.x, pageRect.y + p.y};
      if (std::any_of(covered.begin(), covered.end(), [&](const ui::Rect& k) { return inside(k, s); })) continue;
      Range e = paper.at(c, r);
      for (const auto& [sheet, alpha] : stack) e = overWithAlpha(sheet->at(c, r), alpha, e);
      const std::uint8_t* px = shot.pixel(static_cast<int>(s.x * scale), static_cast<int>(s.y * scale));
      const std::array<float, 4> v{px[0] / 255.0f, px[1] / 255.0f, px[2] / 255.0f, e.lo[3]};
      if (e.admits(v, kScreenTolerance)) continue;
      if (++wrong <= 6) {
        report << "\n  at page point (" << p.x << "," << p.y << "): rgb " << int(px[0]) << "," << int(px[1]) << ","
               << int(px[2]) << " expected " << std::lround(e.lo[0] * 255) << "-" << std::lround(e.hi[0] * 255) << ","
               << std::lround(e.lo[1] * 255) << "-" << std::lround(e.hi[1] * 255) << ","
               << std::lround(e.lo[2] * 255) << "-" << std::lround(e.hi[2] * 255);
      }
    }
  if (wrong > 0) {
    if (const char* dir = std::getenv("DESK_WALK_SHOTS")) {
      const std::string name = std::string(dir) + "/walk-" + std::to_string(seed_) + "-" + std::to_string(stepNumber_) + ".png";
      (void)gfx::writePNG(name, shot);
    }
  }
  EXPECT_EQ(wrong, 0) << "the screen (page " << page << (play ? ", playing" : "") << "): " << wrong
                      << " places differ from the model" << report.str();
}

void DeskWalk::checkSavedPage(int number) { checkPageFiles(model_.disk.page(number), number, false); }

namespace {

// Of the picture a file should hold and an earlier one it may still hold,
// the one it holds (the first when it holds neither).
const Sheet& eitherOf(bool fitsNow, bool fitsEarlier, const Sheet& now, const Sheet* earlier) {
  return earlier && !fitsNow && fitsEarlier ? *earlier : now;
}

}  // namespace

int DeskWalk::iconMisfits(const gfx::Image& icon, const Sheet& source) {
  // The icon is the snapshot made small: each of its pixels lies within the
  // cells it was made from.
  const float k = static_cast<float>(icon.pixelWidth()) / kPageWidth;
  int wrong = 0;
  for (int y = 0; y < icon.pixelHeight(); ++y)
    for (int x = 0; x < icon.pixelWidth(); ++x) {
      const int c0 = std::max(0, static_cast<int>((x / k - 2) / kCell)), c1 = std::min(kCols - 1, static_cast<int>(((x + 1) / k + 2) / kCell));
      const int r0 = std::max(0, static_cast<int>((y / k - 2) / kCell)), r1 = std::min(kRows - 1, static_cast<int>(((y + 1) / k + 2) / kCell));
      Range e = source.at(c0, r0);
      for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) e = Range::hull(e, source.at(c, r));
      const std::uint8_t* px = icon.pixel(x, y);
      if (!e.admits({px[0] / 255.0f, px[1] / 255.0f, px[2] / 255.0f, px[3] / 255.0f}, kPictureTolerance)) ++wrong;
    }
  return wrong;
}

void DeskWalk::checkPageFiles(const StoredPage& page, int number, bool tray, const StoredPage* earlier,
                              StoredPage* found) {
  StoredPage local;
  StoredPage& held = found ? *found : local;
  held = page;
  const std::string name = (tray ? "depository entry " : "page ") + std::to_string(number);
  for (int position = 1; position <= 2; ++position) {
    const std::size_t i = static_cast<std::size_t>(position - 1);
    const auto path = project().layFullPathAtPage(number, tray, position);
    ASSERT_TRUE(path.has_value());
    gfx::Image image;
    if (fd::files::exists(*path)) {
      auto read = gfx::readImage(*path);
      ASSERT_TRUE(read.ok()) << "layer file " << path->string() << " cannot be read";
      image = std::move(*read);
    }
    const Sheet* before = earlier ? &earlier->layer[i] : nullptr;
    held.layer[i] = eitherOf(misfits(image, page.layer[i], kPictureTolerance) == 0,
                             before && misfits(image, *before, kPictureTolerance) == 0, page.layer[i], before);
    checkSheet(image, held.layer[i], kPictureTolerance, "layer " + std::to_string(position) + " of " + name + " on disk");
  }
  const auto snap = project().snapshotFullPathAtPage(number, tray);
  ASSERT_TRUE(snap.has_value());
  const bool snapExists = fd::files::exists(*snap);
  std::optional<gfx::Image> read = snapExists ? gfx::readImage(*snap).toOptional() : std::nullopt;
  ASSERT_TRUE(read.has_value() || !snapExists) << "the snapshot of " << name << " cannot be read";
  auto holds = [&](const std::optional<Sheet>& s) { return s ? read && misfits(*read, *s, kPictureTolerance) == 0 : !snapExists; };
  if (earlier && !holds(page.snapshot) && holds(earlier->snapshot)) held.snapshot = earlier->snapshot;
  if (!held.snapshot) {
    EXPECT_FALSE(snapExists) << name << " has a snapshot the model knows nothing of";
    return;
  }
  ASSERT_TRUE(read.has_value()) << name << " has no snapshot";
  checkSheet(*read, *held.snapshot, kPictureTolerance, "the snapshot of " + name);
  const auto iconPath = project().iconFullPathAtPage(number, tray);
  ASSERT_TRUE(iconPath.has_value());
  auto icon = fd::files::exists(*iconPath) ? gfx::readImage(*iconPath).toOptional() : std::nullopt;
  ASSERT_TRUE(icon.has_value()) << name << " has no icon";
  icon->premultiply();
  // Written before the snapshot, the icon may be a write ahead of it.
  std::optional<Sheet> source = page.icon() ? page.icon() : held.snapshot;
  if (earlier && earlier->icon() && iconMisfits(*icon, *source) != 0 && iconMisfits(*icon, *earlier->icon()) == 0)
    source = earlier->icon();
  held.iconSource = source == held.snapshot ? std::nullopt : source;
  const int wrong = iconMisfits(*icon, *source);
  EXPECT_EQ(wrong, 0) << "the icon of " << name << ": " << wrong << " pixels are not made from its snapshot";
}

void DeskWalk::checkPainted(const std::string& name, const std::optional<Sheet>* earlier, std::optional<Sheet>* found) {
  const std::optional<Sheet>& expected = model_.disk.painted;
  if (found) *found = expected;
  const auto painted = dataModel().backgroundFullPathWithBackgroundName(name);
  ASSERT_TRUE(painted.has_value());
  const bool exists = fd::files::exists(*painted);
  auto read = exists ? gfx::readImage(*painted).toOptional() : std::nullopt;
  // A background is created without a file and has none until it is first
  // painted and written: a picture never written is no file, not a blank one.
  auto holds = [&](const std::optional<Sheet>& s) { return s ? read && misfits(*read, *s, kPictureTolerance) == 0 : !exists; };
  if (earlier && !holds(expected) && holds(*earlier)) {
    if (found) *found = *earlier;
    return;
  }
  if (!expected) {
    EXPECT_FALSE(exists) << "the background has a painted picture the model knows nothing of";
    return;
  }
  ASSERT_TRUE(read.has_value()) << "the painted background is gone";
  checkSheet(*read, *expected, kPictureTolerance, "the painted background");
}

void DeskWalk::checkProjectOnDisk() {
  // What the model allowed in place of the last write is settled here, once.
  const std::optional<Project> unsure = std::exchange(model_.unsure, std::nullopt);
  const Project* earlier = unsure ? &*unsure : nullptr;
  if (earlier) {
    ASSERT_EQ(earlier->frames, model_.disk.frames) << "a paused drawing's write changed the frames";
    ASSERT_EQ(earlier->tray, model_.disk.tray) << "a paused drawing's write changed the depository";
  }
  auto stored = ProjectDataModel::initWithProjectName(project().curProjectName());
  ASSERT_NE(stored, nullptr);
  ASSERT_EQ(static_cast<int>(stored->imagesArray().size()), model_.disk.count()) << "frames on disk";
  ASSERT_EQ(stored->temporarysArray().size(), model_.disk.tray.size()) << "depository entries on disk";
  for (bool tray : {false, true}) {
    const std::vector<int>& ids = tray ? model_.disk.tray : model_.disk.frames;
    for (int n = 1; n <= static_cast<int>(ids.size()); ++n) {
      const int id = ids[static_cast<std::size_t>(n - 1)];
      StoredPage& page = model_.disk.pages.at(id);
      EXPECT_EQ(stored->layIsOpenAtPage(n, 1, tray), page.visible[0]) << (tray ? "entry " : "page ") << n;
      EXPECT_EQ(stored->layIsOpenAtPage(n, 2, tray), page.visible[1]) << (tray ? "entry " : "page ") << n;
      StoredPage found;
      checkPageFiles(page, n, tray, earlier ? &earlier->pages.at(id) : nullptr, &found);
      page = std::move(found);
    }
  }
  if (earlier && stored->isOpenBackground() == earlier->backgroundOpenSaved)
    model_.disk.backgroundOpenSaved = model_.disk.backgroundOpen = earlier->backgroundOpenSaved;
  EXPECT_EQ(stored->isOpenBackground(), model_.disk.backgroundOpenSaved) << "the background's eye on disk";
  const auto copy = stored->backgroundFullPath();
  const bool copied = copy && fd::files::exists(*copy);
  const auto read = copied ? gfx::readImage(*copy).toOptional() : std::nullopt;
  // A kill in the write of a painting may come before or after its copy.
  auto holds = [&](const std::optional<Sheet>& s) { return s ? read && misfits(*read, *s, kPictureTolerance) == 0 : !copied; };
  if (earlier && !holds(model_.disk.background) && holds(earlier->background)) {
    model_.disk.background = earlier->background;
  } else if (model_.disk.background) {
    ASSERT_TRUE(copied) << "the project lost its background";
    ASSERT_TRUE(read.has_value());
    checkSheet(*read, *model_.disk.background, kPictureTolerance, "the project's background");
  } else {
    EXPECT_FALSE(copied) << "the project has a background the model knows nothing of";
  }
  if (model_.disk.userBackground && stored->curBackgroundName()) {
    std::optional<Sheet> found;
    checkPainted(*stored->curBackgroundName(), earlier ? &earlier->painted : nullptr, &found);
    model_.disk.painted = std::move(found);
  }
}

}  // namespace desk_walk
