// The desk's creation, its view tree on both screens, the canvas set-up, the
// rest state, the zoom indicator, the undo and redo buttons and the tools
// drawer.
#include <atomic>
#include <cmath>
#include <cstdio>
#include <numbers>

#include "desk/DeskArt.h"
#include "desk/DeskCanvasView.h"
#include "desk/Unavailable.h"
#include "desk/DesktopManagerController.h"
#include "model/ZTDataModel.h"
#include "platform/foundation/Localized.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/ui/Screen.h"

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
// The page and the layers beside it follow a zoom or pan in this time.
constexpr double kZoomMoveSeconds = 0.2;

// The one live desk. A desk being destroyed clears it only when it still
// names that desk: a newer desk may already have taken its place.
std::atomic<DesktopManagerController*> gSharedDesk{nullptr};

ui::Font font(float size, bool bold = false) { return {"DejaVu Sans", size, bold}; }

std::shared_ptr<ui::Label> label(const ui::Rect& frame, const std::string& text, float size,
                                 ui::TextAlignment align = ui::TextAlignment::Center) {
  auto l = std::make_shared<ui::Label>(frame);
  l->setText(text);
  l->setFont(font(size, true));
  l->setTextColor({1, 0.94f, 0.8f, 1});
  l->setBackgroundColor(ui::Color::clear());
  l->setTextAlignment(align);
  l->setUserInteractionEnabled(false);
  return l;
}

std::shared_ptr<ui::ImageView> picture(const char* name, const ui::Rect& frame) {
  auto v = std::make_shared<ui::ImageView>(frame);
  v->setImage(desk_art::named(name));
  return v;
}

// The tools drawer's buttons, left to right.
struct DrawerItem {
  const char* image;
  const char* title;
  int tag;
};
// Room for the six items and the stamp tool's button.
constexpr float kDrawerStep = 64;
constexpr DrawerItem kDrawerItems[] = {
    {"tools_undo.png", "Undo", DesktopManagerController::kTagUndo},
    {"tools_redo.png", "Redo", DesktopManagerController::kTagRedo},
    {"tools_duplicate.png", "Duplicate", DesktopManagerController::kTagDuplicate},
    {"tools_add.png", "Add frame", DesktopManagerController::kTagAddFrame},
    {"tools_delete.png", "Delete", DesktopManagerController::kTagDelete},
    {"tools_clear.png", "Clear", DesktopManagerController::kTagClear},
};

// The player bar's buttons, left to right.
struct PlayerItem {
  const char* image;
  int tag;
};
constexpr PlayerItem kPlayerItems[] = {
    {"player_mute.png", DesktopManagerController::kTagMute},   {"player_first.png", DesktopManagerController::kTagFirst},
    {"player_prev.png", DesktopManagerController::kTagPrevious}, {"player_reverse.png", DesktopManagerController::kTagReverse},
    {"player_3fps.png", DesktopManagerController::kTagSpeed},  {"player_play.png", DesktopManagerController::kTagPlay},
    {"player_next.png", DesktopManagerController::kTagNext},   {"player_last.png", DesktopManagerController::kTagLast},
    {"player_loop.png", DesktopManagerController::kTagLoop},
};

constexpr const char* kOnionModeTitles[] = {"Preivous 2 Frames", "Previous & Next Frames", "Next 2 Frame"};
// The onion panel's rows: where the selection frame stands for each mode,
// low enough for the last row to end inside the 201-point panel.
constexpr float kOnionRowY = 40, kOnionRowStep = 60, kOnionRowHeight = 40;

}  // namespace

// Where things sit; the tall screen moves the page and everything right of
// the left column by half the extra width.
struct DesktopManagerController::Layout {
  float width;
  const char* backdrop;
};

namespace {
constexpr float kPageX = 50, kPageY = 9;
constexpr float kPlayerShownY = 262, kPlayerHiddenY = 284;
}  // namespace

const DesktopManagerController::Layout& DesktopManagerController::layout() const {
  static constexpr Layout kLayouts[] = {{480, "desktop_background.png"}, {568, "desktop_background-568h.png"}};
  return kLayouts[nibName_ == "DesktopManagerController_iphone5" ? 1 : 0];
}

float DesktopManagerController::rootWidth() const { return layout().width; }

ui::Rect DesktopManagerController::pageRect() const {
  return {kPageX + (rootWidth() - 480) / 2, kPageY, DrawsView::kPageWidth, DrawsView::kPageHeight};
}

// --- creation

DesktopManagerController* DesktopManagerController::sharedViewController() { return gSharedDesk.load(); }

std::shared_ptr<DesktopManagerController> DesktopManagerController::initWithNibName(const std::string& nibName) {
  return std::make_shared<DesktopManagerController>(nibName);
}

DesktopManagerController::DesktopManagerController(std::string nibName) : nibName_(std::move(nibName)) {
  gSharedDesk.store(this);
  instoreObserver_ = fd::NotificationCenter::defaultCenter().addObserver(
      kShowInstoreNotification, [this](const fd::Notification&) { showInstore(); }, this);
}

DesktopManagerController::~DesktopManagerController() {
  fd::NotificationCenter::defaultCenter().removeObserver(this);
  fd::RunLoop::main().cancelPerforms(this);
  if (playTimer_) playTimer_->invalidate();
  DesktopManagerController* self = this;
  gSharedDesk.compare_exchange_strong(self, nullptr);
  // The canvas must not call a delegate that is gone.
  if (drawsView_) {
    drawsView_->setDelegate(nullptr);
    drawsView_->setIsCanDrawDelegate(nullptr);
    drawsView_->setEraserDelegate(nullptr);
    drawsView_->setZoom_moveDelegate(nullptr);
    drawsView_->setPageWriteObserver({});
    drawsView_->setSaveHandler(0, {});
    drawsView_->removeFromSuperview();
  }
}

DrawsView* DesktopManagerController::drawsView() const { return drawsView_.get(); }

bool DesktopManagerController::shouldAutorotateToInterfaceOrientation(int orientation) const {
  // Landscape left (3) and right (4) only.
  return orientation == 3 || orientation == 4;
}

int DesktopManagerController::frameCount() const {
  const auto& project = ZTDataModel::sharedInstance().prjDataModel();
  return project ? static_cast<int>(project->imagesArray().size()) : 0;
}

std::shared_ptr<ui::Button> DesktopManagerController::makeButton(const char* image, const ui::Rect& frame, int tag,
                                                                 std::function<void(ui::Button*)> action) {
  auto b = ui::Button::make(ui::ButtonType::Custom, frame);
  if (image) b->setImage(desk_art::named(image));
  b->setTag(tag);
  if (action)
    b->addTarget(this, [action](ui::Control* c, const ui::Event*) { action(static_cast<ui::Button*>(c)); },
                 ui::TouchUpInside);
  return b;
}

// --- the view tree

void DesktopManagerController::buildPage(ui::View* root) {
  const ui::Rect page = pageRect();
  onionSkinStatusOne_ = picture("onion_sheet.png", {page.x - 6 + 4.5f, page.y + 4, 12, 290});
  onionSkinStatusTwo_ = picture("onion_sheet.png", {page.x - 6 + 12, page.y + 4, 12, 290});
  root->addSubview(onionSkinStatusOne_);
  root->addSubview(onionSkinStatusTwo_);
  desktopBackground_ = picture("desktop_paper.png", {page.x - 6, page.y - 6, 396, 300});
  root->addSubview(desktopBackground_);

  canvas_ = std::make_shared<ui::View>(page);
  const ui::Rect inner{0, 0, page.width, page.height};
  background_ = std::make_shared<ui::ImageView>(inner);
  frame1_ = std::make_shared<ui::ImageView>(inner);
  frame1_->setAlpha(0.2f);
  frame2_ = std::make_shared<ui::ImageView>(inner);
  frame2_->setAlpha(0.4f);
  layer_ = std::make_shared<ui::ImageView>(inner);
  layer_->setAlpha(0.75f);
  playView_ = std::make_shared<ui::ImageView>(inner);
  for (auto* v : {background_.get(), frame1_.get(), frame2_.get(), layer_.get()}) {
    v->setUserInteractionEnabled(false);
    canvas_->addSubview(v->self());
  }
  canvas_->addSubview(playView_);
}

void DesktopManagerController::buildLeftColumn(ui::View* root) {
  // The buttons stand close together so that the onion and player buttons
  // have room for their names underneath.
  backBtn_ = makeButton("desktop_back.png", {4, 1, 40, 40}, 0, [this](ui::Button*) { back(); });
  fileManagerBtn_ = makeButton("desktop_file.png", {4, 42, 40, 40}, 0, [this](ui::Button*) { fileManager(); });
  frameManagerBtn_ = makeButton("desktop_frames.png", {4, 83, 40, 40}, 0, [this](ui::Button*) { picManager(); });
  groundBtn_ = makeButton(nullptr, {2, 124, 44, 44}, 0, [this](ui::Button*) { setEditingLayer(); });
  onionBtn_ = makeButton("desktop_onion.png", {4, 169, 40, 40}, 0, [this](ui::Button*) { onionSkinDisplayorHidden(); });
  playerBtn_ = makeButton("desktop_player.png", {4, 220, 40, 40}, 0, [this](ui::Button*) { playerDisplayorHidden(); });
  for (auto* b : {backBtn_.get(), fileManagerBtn_.get(), frameManagerBtn_.get(), groundBtn_.get(), onionBtn_.get(),
                  playerBtn_.get()})
    root->addSubview(b->self());
  onionLabel_ = label({0, 208, 48, 12}, fd::Localized("onion skin"), 9);
  playerLabel_ = label({0, 259, 48, 12}, fd::Localized("Player"), 9);
  for (auto* l : {onionLabel_.get(), playerLabel_.get()}) {
    l->setAdjustsFontSizeToFitWidth(true, 7);
    root->addSubview(l->self());
  }

  toolFootView_ = std::make_shared<ui::View>(ui::Rect{0, 270, 48, 50});
  toolFootView_->setUserInteractionEnabled(false);
  root->addSubview(toolFootView_);
  toolBtn_ = makeButton("desktop_tools.png", {4, 273, 40, 32}, 0, [this](ui::Button* b) { toolsDisplayorHidden(b); });
  root->addSubview(toolBtn_);
  toolLabel_ = label({0, 305, 48, 14}, fd::Localized("Tooler"), 9);
  root->addSubview(toolLabel_);
}

void DesktopManagerController::buildRightColumn(ui::View* root) {
  const float W = rootWidth();
  zoomLabel_ = label({W - 46, 2, 44, 16}, "100%", 10);
  root->addSubview(zoomLabel_);
  auto opacityLabel = label({W - 46, 18, 44, 14}, fd::Localized("Opacity"), 9);
  auto sizeLabel = label({W - 46, 100, 44, 14}, fd::Localized("Size"), 9);
  auto brushLabel = label({W - 46, 184, 44, 14}, fd::Localized("Brush"), 9);
  for (auto& l : {opacityLabel, sizeLabel, brushLabel}) {
    l->setTransform(gfx::AffineTransform::makeRotation(-kPi / 12));
    root->addSubview(l);
  }
  opacityDisplay_ = picture("Opacity_Display_L.png", {W - 38, 46, 34, 34});
  sizeDisplay_ = picture("Size_display01.png", {});
  pensView_ = picture("s_pen02.png", {W - 38, 164, 34, 22});
  for (auto* v : {opacityDisplay_.get(), sizeDisplay_.get(), pensView_.get()}) {
    v->setUserInteractionEnabled(false);
    root->addSubview(v->self());
  }
  colorBtn_ = makeButton("Paint_can.png", {W - 46, 206, 43, 49}, 0, [this](ui::Button*) { colorSelected(); });
  colorselect_ = std::make_shared<ui::ImageView>(ui::Rect{0, 0, 43, 49});
  colorselect_->setUserInteractionEnabled(false);
  colorBtn_->insertSubview(colorselect_, 0);
  previousFrameBtn_ = makeButton("desktop_pre_frame.png", {W - 44, 258, 40, 30}, kTagPreviousPage,
                                 [this](ui::Button* b) { pageOperation(b->tag()); });
  previousFrameBtn_->setAlpha(0.5f);
  nextFrameBtn_ = makeButton(nullptr, {W - 44, 289, 40, 30}, kTagAddFrame, [this](ui::Button*) { pressNextBtn(); });
  nextFrameBtn_->setImage(desk_art::named("desktop_next_frame.png"));
  nextFrameBtn_->setImage(desk_art::named("desktop_add_frame.png"), ui::StateSelected);
  root->addSubview(previousFrameBtn_);
  root->addSubview(nextFrameBtn_);
}

void DesktopManagerController::buildBottomBar(ui::View* root) {
  const ui::Rect page = pageRect();
  auto plate = picture("page_indicator.png", {page.x + page.width / 2 - 50, 0, 100, 20});
  plate->setUserInteractionEnabled(false);
  root->addSubview(plate);
  pageIndicator_ = label({page.x + page.width / 2 - 50, 1, 100, 18}, "", 11);
  root->addSubview(pageIndicator_);
  pageNumberShowDesk_ = label({page.x + page.width - 110, page.y + 6, 104, 20}, "", 13);
  pageNumberShowDesk_->setBackgroundColor({0, 0, 0, 0.45f});
  root->addSubview(pageNumberShowDesk_);

  // The player bar: a plate in the lower part of its view, so that the
  // hidden bar only peeks above the bottom edge.
  playerView_ = std::make_shared<ui::View>(ui::Rect{page.x + 27, kPlayerHiddenY, 330, 58});
  playerView_->addSubview(picture("player_bar.png", {0, 20, 330, 38}));
  playerButtons_.clear();
  for (std::size_t i = 0; i < std::size(kPlayerItems); ++i) {
    auto b = makeButton(kPlayerItems[i].image, {8 + i * 35.0f, 23, 32, 32}, kPlayerItems[i].tag,
                        [this](ui::Button* sender) { pressPlayBtnEvent(sender); });
    b->setAlpha(0.5f);
    playerView_->addSubview(b);
    playerButtons_.push_back(b);
  }
  metuBtn_ = playerButtons_[0];
  reverseBtn_ = playerButtons_[3];
  speedBtn_ = playerButtons_[4];
  playBtn_ = playerButtons_[5];
  playLoopBtn_ = playerButtons_[8];
  root->addSubview(playerView_);
}

void DesktopManagerController::buildToolsDrawer() {
  toolsView_ = std::make_shared<ui::View>(ui::Rect{0, 0, 469, 51});
  toolsView_->addSubview(picture("tools_drawer.png", {0, 0, 469, 51}));
  drawerButtons_.clear();
  drawerLabels_.clear();
  for (std::size_t i = 0; i < std::size(kDrawerItems); ++i) {
    const DrawerItem& item = kDrawerItems[i];
    const float x = 22 + i * kDrawerStep;
    auto b = makeButton(item.image, {x, 2, 36, 34}, item.tag, [this, tag = item.tag](ui::Button* sender) {
      if (tag == kTagUndo || tag == kTagRedo) redo_undoOperation(sender);
      else paperOperation(sender);
    });
    if (item.tag != kTagUndo && item.tag != kTagRedo) b->setAlpha(0.5f);
    toolsView_->addSubview(b);
    drawerButtons_.push_back(b);
    auto l = label({x - 18, 35, 72, 14}, fd::Localized(item.title), 9);
    toolsView_->addSubview(l);
    drawerLabels_.push_back(l);
  }
  undoBtn_ = drawerButtons_[0];
  redoBtn_ = drawerButtons_[1];
  // The stamp tool's button closes the row; it shows and hides the tool.
  const float x = 22 + std::size(kDrawerItems) * kDrawerStep;
  stampBtn_ = makeButton("desktop_stamp.png", {x, 2, 36, 34}, kTagStamp,
                         [this](ui::Button* sender) {
                           // The drawer closes like a menu, out of the tool's way.
                           toolsHidden(true);
                           displayGraphToolView(sender);
                         });
  toolsView_->addSubview(stampBtn_);
  auto l = label({x - 18, 35, 72, 14}, fd::Localized("Stamp"), 9);
  toolsView_->addSubview(l);
}

void DesktopManagerController::buildOnionPanel() {
  onionSkinView_ = std::make_shared<ui::View>(ui::Rect{0, 0, 215, 201});
  onionSkinView_->addSubview(picture("onion_panel.png", {0, 0, 215, 201}));
  onionSkinView_->addSubview(label({0, 8, 215, 24}, fd::Localized("Onion Skin"), 15));
  selectOneView_ = picture("panel_selection.png", {8, kOnionRowY, 199, kOnionRowHeight});
  onionSkinView_->addSubview(selectOneView_);
  onionBtnAry_.clear();
  onionLabAry_.clear();
  static constexpr const char* kIcons[] = {"onion_mode_0.png", "onion_mode_1.png", "onion_mode_2.png"};
  for (int i = 0; i < 3; ++i) {
    // The whole row answers, icon and words alike: the button covers the
    // selection frame's place, with its icon at the left and the row's name
    // laid over it.
    auto b = makeButton(kIcons[i], {8, kOnionRowY + i * kOnionRowStep, 199, kOnionRowHeight}, kTagOnionMode0 + i,
                        [this](ui::Button* sender) { desktopDisplay(sender); });
    b->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Left);
    b->setContentEdgeInsets({0, 6, 0, 0});
    onionSkinView_->addSubview(b);
    onionBtnAry_.push_back(b);
    auto l = label({78, kOnionRowY + i * kOnionRowStep, 130, kOnionRowHeight}, fd::Localized(kOnionModeTitles[i]), 11,
                   ui::TextAlignment::Left);
    l->setNumberOfLines(2);
    onionSkinView_->addSubview(l);
    onionLabAry_.push_back(l);
  }
}

void DesktopManagerController::buildLayerPanel() {
  layerManagerView_ = std::make_shared<ui::View>(ui::Rect{0, 0, 224, 230});
  layerManagerView_->addSubview(picture("layer_panel.png", {0, 0, 224, 230}));
  layerManagerView_->addSubview(label({0, 8, 224, 24}, fd::Localized("Layer"), 15));
  layerPageLabel_ = label({150, 10, 66, 20}, "", 10, ui::TextAlignment::Right);
  layerManagerView_->addSubview(layerPageLabel_);
  laySelected_ = picture("panel_selection.png", {8, 55, 208, 50});
  layerManagerView_->addSubview(laySelected_);
  struct Row {
    const char* icon;
    const char* title;
    float y;
    int rowTag, visibleTag;
  };
  static constexpr Row kRows[] = {
      {"Foreground.png", "Forground", 58, kTagForegroundRow, kTagForegroundVisible},
      {"Middle_ground.png", "Middle Ground", 118, kTagMiddleRow, kTagMiddleVisible},
      {"Background.png", "Background", 178, 0, kTagBackgroundVisible},
  };
  for (const Row& r : kRows) {
    // A row is the selection frame's place: icon and name both answer, and
    // the eye lies over its right end.
    std::shared_ptr<ui::Button> row = makeButton(r.icon, {8, r.y - 3, 208, 50}, r.rowTag, [this](ui::Button* b) {
      if (b->tag() != 0) selectGround(b->tag());
      else setBackgound();
    });
    row->setTitle(fd::Localized(r.title));
    row->setTitleColor(ui::Color{1, 0.94f, 0.8f, 1});
    row->setContentHorizontalAlignment(ui::ContentHorizontalAlignment::Left);
    row->setContentEdgeInsets({0, 6, 0, 48});
    row->setTitleEdgeInsets({0, 10, 0, 0});
    // Longer words shrink rather than lose their ends.
    row->titleLabel()->setAdjustsFontSizeToFitWidth(true, 10);
    layerManagerView_->addSubview(row);
    if (r.rowTag == 0) {
      // The background row opens the gallery; its two marks tell whether a
      // background picture is shown and whether it is being painted.
      backgroundRowBtn_ = row;
      // Each mark shows only while highlighted.
      backgroundAddState_ = std::make_shared<ui::ImageView>(ui::Rect{150, r.y + 30, 10, 10});
      backgroundAddState_->setHighlightedImage(desk_art::named("background_shown_mark.png"));
      backgroundEditState_ = std::make_shared<ui::ImageView>(ui::Rect{160, r.y + 30, 10, 10});
      backgroundEditState_->setHighlightedImage(desk_art::named("background_painting_mark.png"));
      backgroundAddState_->setUserInteractionEnabled(false);
      backgroundEditState_->setUserInteractionEnabled(false);
      layerManagerView_->addSubview(backgroundAddState_);
      layerManagerView_->addSubview(backgroundEditState_);
    }
    auto eye = makeButton("layer_visible.png", {172, r.y + 4, 36, 36}, r.visibleTag,
                          [this](ui::Button* b) { setLayerOpenState(b->tag()); });
    eye->setImage(desk_art::named("layer_hidden.png"), ui::StateSelected);
    layerManagerView_->addSubview(eye);
    if (r.visibleTag == kTagForegroundVisible) {
      fVisibleBtn_ = eye;
      foregroundRowBtn_ = row;
    } else if (r.visibleTag == kTagMiddleVisible) {
      mVisibleBtn_ = eye;
      middleRowBtn_ = row;
    } else {
      bgVisibleBtn_ = eye;
    }
  }
}

ui::Button* DesktopManagerController::onionModeBtn(int mode) const {
  return mode >= 0 && mode < static_cast<int>(onionBtnAry_.size()) ? onionBtnAry_[static_cast<std::size_t>(mode)].get()
                                                                    : nullptr;
}
ui::Label* DesktopManagerController::onionModeLabel(int mode) const {
  return mode >= 0 && mode < static_cast<int>(onionLabAry_.size()) ? onionLabAry_[static_cast<std::size_t>(mode)].get()
                                                                    : nullptr;
}
ui::Button* DesktopManagerController::drawerButton(int tag) const {
  for (const auto& b : drawerButtons_)
    if (b->tag() == tag) return b.get();
  return nullptr;
}
ui::Button* DesktopManagerController::playerButton(int tag) const {
  for (const auto& b : playerButtons_)
    if (b->tag() == tag) return b.get();
  return nullptr;
}

void DesktopManagerController::loadView() {
  const float W = rootWidth();
  auto root = std::make_shared<ui::ImageView>(ui::Rect{0, 0, W, 320});
  root->setImage(desk_art::named(layout().backdrop));
  root->setUserInteractionEnabled(true);
  root->setMultipleTouchEnabled(true);
  buildPage(root.get());
  buildLeftColumn(root.get());
  buildRightColumn(root.get());
  buildBottomBar(root.get());
  buildToolsDrawer();
  buildOnionPanel();
  buildLayerPanel();

  ZTDataModel& model = ZTDataModel::sharedInstance();
  ExtendDataModel& settings = model.extendDataModel();
  // The canvas: a page at the screen's scale.
  const float scale = ui::Screen::main().scale() > 0 ? ui::Screen::main().scale() : 1.0f;
  drawsView_ = DeskCanvasView::initDrawViewWithScaleFactor(scale);
  if (drawsView_) {
    drawsView_->setAutoMark(true);
    drawsView_->setDelegate(this);
    drawsView_->setIsCanDrawDelegate(this);
    drawsView_->setEraserDelegate(this);
    drawsView_->setZoom_moveDelegate(this);
    drawsView_->setBrushType(2);
    drawsView_->setEnabledZoom(true);
    drawsView_->setBrushColor(settings.colors().back());
    drawsView_->setPageWriteObserver([this](const fd::Status& status) { pageWriteFinished(status); });
    drawsView_->setSaveHandler(kSaveDelay, [this] { saveCurPageInBackground(); });
    canvas_->insertSubviewBelow(drawsView_, playView_.get());
  }
  erser_ = picture("erase.png", {-100, -100, 32, 32});
  erser_->setHidden(true);
  erser_->setUserInteractionEnabled(false);
  canvas_->addSubview(erser_);
  playView_->setHidden(true);
  canvas_->setClipsToBounds(true);
  root->insertSubviewAbove(canvas_, desktopBackground_.get());

  setView(root);
  if (auto& project = model.prjDataModel()) project->setAnimationSpeed(1.0f);
  initDefaultProjectSetting();

  brushAndEraserSelection_ = BrushAndEraserSelectView::initBrushAndEraserSelectView();
  shapeSelection_ = ShapeSelectView::initShapeSelectView();
  sizeSelection_ = SizeSelectView::initSizeSelectView();
  opacitySelection_ = OpacitySelectView::initOpacitySelectView();
  brushAndEraserSelection_->setDelegate(this);
  shapeSelection_->setDelegate(this);
  sizeSelection_->setDelegate(this);
  opacitySelection_->setDelegate(this);
  brushStrip_ = UserInteractView::initUserInteractView({W - 40, 155, 39, 43}, "brush");
  shapeStrip_ = UserInteractView::initUserInteractView({444, 123, 37, 33}, "shape");
  sizeStrip_ = UserInteractView::initUserInteractView({W - 40, 105, 39, 48}, "size");
  opacityStrip_ = UserInteractView::initUserInteractView({W - 40, 50, 41, 54}, "opacity");
  for (auto* s : {brushStrip_.get(), shapeStrip_.get(), sizeStrip_.get(), opacityStrip_.get()}) s->setDelegate(this);

  root->addSubview(brushAndEraserSelection_);
  root->addSubview(shapeSelection_);
  root->addSubview(sizeSelection_);
  root->addSubview(opacitySelection_);
  root->addSubview(brushStrip_);
  root->addSubview(shapeStrip_);
  root->addSubview(sizeStrip_);
  root->addSubview(opacityStrip_);
  // The drawer and the onion panel live in their overlays once opened.
  root->addSubview(colorBtn_);
  colorSel_ = ColorSelectView::initColorSelectViewWithFrame(root->bounds());
  colorSel_->setDelegate(this);
  root->addSubview(colorSel_);
  model.setShowDeskSimple(true);
}

void DesktopManagerController::viewDidLoad() {
  ZTDataModel& model = ZTDataModel::sharedInstance();
  const auto& project = model.prjDataModel();
  bgVisibleBtn_->setSelected(project ? !project->isOpenBackground() : false);
  background_->setHidden(bgVisibleBtn_->isSelected());

  if (toolLabel_) toolLabel_->setText(fd::Localized("Tooler"));
  playerLabel_->setText(fd::Localized("Player"));
  onionLabel_->setText(fd::Localized("onion skin"));
  for (int i = 0; i < 3; ++i) onionLabAry_[static_cast<std::size_t>(i)]->setText(fd::Localized(kOnionModeTitles[i]));

  setPageIndicator();
  pageNumberShowDesk_->setHidden(true);

  showGroundButton(false);
  groundBtn_->setTitleEdgeInsets({0, 10, 2, 0});
  // The layer keeps its name as the title; the picture already shows it.
  groundBtn_->titleLabel()->setFont({"DejaVu Sans", 1, false});
  groundBtn_->setTitleColor(ui::Color::clear());

  paintCan({0, 0, 0, 1});

  if (model.showDeskSimple()) {
    fd::UserDefaults& defaults = fd::UserDefaults::standard();
    for (int i = 1; i <= 6; ++i) {
      char key[16];
      std::snprintf(key, sizeof key, "brush0%d", i);
      defaults.setObject(key, fd::Value(true));
    }
  }
  model.setShowDeskSimple(false);

  respondToColorSelected(model.extendDataModel().cuColor());
  isPlayAudio_ = false;
  isPlaying_ = false;
  isPlaySound();
  picker_ = std::make_shared<ui::ImagePickerController>();
}

void DesktopManagerController::initDefaultProjectSetting() {
  if (drawsView_) {
    drawsView_->setBrushType(2);
    drawsView_->setBrushColor(gfx::Color{0, 0, 0, 1});
    drawsView_->setBrushSize(32);
  }
  setZoomIndicator();
  toolSize_ = 32;
  if (sizeDisplay_) placeSizeDisplay();
  playState_ = 0;
  direction_ = 0;
  playPattern_ = 1;
  modifyProjectSetting();
}

void DesktopManagerController::defaultState() {
  if (playState_ != 0) restoreState();
  if (playerView_->frame().y == kPlayerShownY) {
    ui::Animations::begin("Hidden");
    ui::Rect f = playerView_->frame();
    f.y = kPlayerHiddenY;
    playerView_->setFrame(f);
    ui::Animations::commit();
    view()->bringSubviewToFront(fileManagerBtn_.get());
  }
  if (tools_ && !tools_->isHidden() && tools_->frame().x == 0) {
    // The drawer is open: it closes as its overlay would close it.
    ui::Animations::begin("Hidden");
    ui::Rect f = tools_->frame();
    f.x = rootWidth() + 20;
    tools_->setFrame(f);
    ui::Animations::commit();
    toolBtn_->setTransform({});
    toolBtn_->setHidden(false);
    toolLabel_->setHidden(false);
    toolFootView_->setHidden(false);
  }
  playerBtn_->setEnabled(true);
  toolBtn_->setEnabled(true);
  colorBtn_->setEnabled(true);
}

void DesktopManagerController::pageNumber() { pageNumberShowDesk_->setHidden(true); }

// --- zoom

void DesktopManagerController::setZoomIndicator() {
  if (!drawsView_ || !zoomLabel_) return;
  const float base = drawsView_->baseRect().width;
  char text[32];
  std::snprintf(text, sizeof text, "%.0f%%", base > 0 ? drawsView_->drawRect().width / base * 100 : 100.0);
  zoomLabel_->setText(text);
}

void DesktopManagerController::drawViewFrameChanged(gfx::Rect frame) {
  // The page takes touches where it shows while it zooms: the second tap of
  // a double tap comes during the first's move.
  ui::Animations::animate(kZoomMoveSeconds, 0, {.allowUserInteraction = true}, [&] {
    for (ui::View* v : {static_cast<ui::View*>(drawsView_.get()), static_cast<ui::View*>(background_.get()),
                        static_cast<ui::View*>(frame1_.get()), static_cast<ui::View*>(frame2_.get()),
                        static_cast<ui::View*>(layer_.get())})
      if (v) v->setFrame(frame);
  });
  setZoomIndicator();
}

// --- undo and redo

void DesktopManagerController::enableUndo() {
  undoBtn_->setEnabled(true);
  undoBtn_->setAlpha(0.5f);
}
void DesktopManagerController::enableRedo() {
  redoBtn_->setEnabled(true);
  redoBtn_->setAlpha(0.5f);
}
void DesktopManagerController::disableUndo() { undoBtn_->setEnabled(false); }
void DesktopManagerController::disableRedo() { redoBtn_->setEnabled(false); }

// The canvas says when its history changes; the buttons follow it.
void DesktopManagerController::eaglViewNeedUpdateUndoState(EAGLView*, bool canUndo) {
  if (canUndo) enableUndo();
  else disableUndo();
}
void DesktopManagerController::eaglViewNeedUpdateRedoState(EAGLView*, bool canRedo) {
  if (canRedo) enableRedo();
  else disableRedo();
}

void DesktopManagerController::flashButton(ui::View* button) {
  button->setAlpha(1.0f);
  std::weak_ptr<ui::View> weak = button->self();
  fd::RunLoop::main().performAfterDelay(0.5, [weak] {
    if (auto b = weak.lock()) b->setAlpha(0.5f);
  }, this);
}

void DesktopManagerController::changePlayBtnAlpha(ui::View* button) { button->setAlpha(0.5f); }

void DesktopManagerController::redo_undoOperation(ui::Button* sender) {
  flashButton(sender);
  if (!drawsView_) return;
  if (sender->tag() == kTagUndo) drawsView_->undo();
  else if (sender->tag() == kTagRedo) drawsView_->redo();
}

void DesktopManagerController::colorSelected() {
  colorSel_->colorCanAutoController();
  view()->bringSubviewToFront(colorSel_.get());
}

// --- the tools drawer

void DesktopManagerController::toolsDisplayorHidden(ui::Button* sender) {
  toolFootView_->setHidden(true);
  for (std::size_t i = 0; i < std::min(drawerLabels_.size(), std::size(kDrawerItems)); ++i)
    drawerLabels_[i]->setText(fd::Localized(kDrawerItems[i].title));
  toolLabel_->setText(fd::Localized("Tools"));
  const ui::Rect b = view()->bounds();
  if (!tools_) {
    tools_ = std::make_shared<ToolView>(ui::Rect{b.width, 0, b.width, b.height});
    tools_->setDelegate(this);
    tools_->setBackgroundColor(ui::Color::clear());
    const ui::Rect drawer{b.width - 469, 215, 469, 51};
    tools_->setToolsRect(drawer);
    tools_->setDrawViewRect(pageRect());
    view()->addSubview(tools_);
    toolsView_->setFrame(drawer);
    tools_->addSubview(toolsView_);
  }
  view()->bringSubviewToFront(tools_.get());
  ui::Animations::begin("toolOpen");
  ui::Animations::setDuration(0.2);
  ui::Animations::setDelegate(this);
  sender->setTransform(gfx::AffineTransform::makeRotation(-kPi / 2));
  tools_->setHidden(false);
  ui::Animations::commit();
}

void DesktopManagerController::toolsHidden(bool) {
  if (!tools_) return;
  ui::Animations::begin("ToolsHidden");
  ui::Animations::setDuration(0.2);
  ui::Animations::setDelegate(this);
  ui::Rect f = tools_->frame();
  f.x = rootWidth() + 20;
  tools_->setFrame(f);
  ui::Animations::commit();
}

void DesktopManagerController::animationDidStop(const std::string& name, bool, void*) {
  if (name == "toolOpen") {
    toolBtn_->setTransform(gfx::AffineTransform::makeRotation(-kPi / 2));
    ui::Animations::begin("ToolsDisplayorHidden");
    ui::Animations::setDuration(0.2);
    ui::Rect f = tools_->frame();
    f.x = 0;
    tools_->setFrame(f);
    ui::Animations::commit();
    toolBtn_->setHidden(true);
    toolLabel_->setHidden(true);
  } else if (name == "ToolsHidden") {
    ui::Animations::begin();
    ui::Animations::setDuration(0.2);
    toolBtn_->setTransform({});
    ui::Animations::commit();
    toolFootView_->setHidden(false);
    toolLabel_->setHidden(false);
    toolBtn_->setHidden(false);
  } else if (name == "showLayerLay") {
    ui::Animations::begin();
    ui::Animations::setDuration(0.5);
    ui::Animations::commit();
  }
}
